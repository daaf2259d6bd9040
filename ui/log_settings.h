#pragma once
// The log settings dialog: raw log, extended log with its interval, the
// change log with its eleven per-kind switches, and how many days rows are
// kept. The interval edit is enabled only with the extended log, the kind
// boxes only with the change log; disabled boxes keep their states.
#include <QDialog>
#include <array>
#include <functional>
#include <memory>

#include "controls/DBCtrlsEx.h"
#include "logstore/SettingsRecord.h"

class QCheckBox;
class QLabel;
class QPushButton;
class Ui_TLogSettingsForm;

class TLogSettingsForm : public QDialog {
  Q_OBJECT
 public:
  // Lowest and highest value of the interval and keep-time edits.
  static constexpr int kMinEditValue = 1;
  static constexpr int kMaxEditValue = 30;

  // Centred on Owner (the main window) when shown.
  explicit TLogSettingsForm(QWidget* Owner = nullptr);
  ~TLogSettingsForm() override;

  QCheckBox* CheckBox1;
  QCheckBox* CheckBox2;
  QCheckBox* datachange;
  QCheckBox* freq;
  QCheckBox* TP;
  QCheckBox* TA;
  QCheckBox* MS;
  QCheckBox* PI;
  QCheckBox* PTY;
  QCheckBox* DI;
  QCheckBox* RT;
  QCheckBox* PS;
  QCheckBox* CT;
  QCheckBox* AF;
  QLabel* Label1;  // "at"
  QLabel* Label2;  // "min."
  QLabel* Label3;  // "Keep Log for"
  QLabel* Label4;  // "day(s)"
  TDBNumberEditEx* logtime;
  TDBNumberEditEx* loglive;
  QPushButton* btnOK;
  QPushButton* btnCancel;

  // The eleven kind boxes in the settings record's order: frequency, TP, TA,
  // MS, PI, PTY, DI, CT, RT, PS, AF.
  std::array<QCheckBox*, 11> KindBoxes() const;

  // Sets every box and edit from the settings, then applies both enabling
  // rules.
  void Preset(const TSettingsRecord& Settings);
  // Reads everything back in the same mapping; an empty edit reads as 1 and
  // the edits' values are held to 1..30.
  void ReadBack(TSettingsRecord& Settings) const;

  // The whole of the main window's log settings button: preset, show
  // modally and on "OK" read back and save. True when confirmed.
  static bool Execute(QWidget* Owner, TSettingsRecord& Settings,
                      const std::function<void(const TSettingsRecord&)>& Save);

  void CheckBox2Click();
  void datachangeClick();
  void logtimeExit(QObject* Sender);
  void logtimeKeyUp(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  static int EditValue(const TDBNumberEditEx* Edit);
  void FillEmpty();

  std::unique_ptr<Ui_TLogSettingsForm> ui_;
};
