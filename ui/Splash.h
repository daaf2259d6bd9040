#pragma once
// The splash window: the start-up and shut-down steps (and the database
// backup progress) as a status line over the splash picture.
#include <QDialog>
#include <string>

#include "logstore/SplashProgress.h"
#include "platform/Clock.h"

class QLabel;
class TDropShadow;
class TImage;

// Also the log store's progress display during the database backup.
class TSplashForm : public QDialog, public ISplashProgress {
  Q_OBJECT
 public:
  explicit TSplashForm(QWidget* parent = nullptr, IClock& clock = SystemClock());

  // Shows Text, repaints, handles the pending window events, then waits Ms
  // milliseconds (steps wait 100 ms so they can be read; progress passes 0).
  void ShowStatus(const QString& Text, unsigned Ms);
  void ShowStatus(const std::string& Text, unsigned Ms) override;

  TImage* ImageAbout;
  TImage* Image1;
  TImage* Image2;
  TImage* Image3;
  QLabel* infoLabel;
  // The window's drop shadow, where the desktop can show one.
  TDropShadow* Shadow;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate();

  IClock& Clock;
};
