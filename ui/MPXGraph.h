#pragma once
// The MPX analyzer window: the deviation over the last minute ("Time Graph")
// and the exceedance curve ("Deviation") of the multiplex signal, drawn from
// what TMPXController measures, with its print preview. The main window
// creates it at start-up, shows and hides it with its button.
//
// (No Q_OBJECT and no chart headers here: the main window's units also see
// the receiver's rectangle type, which the chart's shares a name with.)
#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>

#include "ui/MPXController.h"

class QLabel;
class QPushButton;
class QTabWidget;

class TMPXGraphForm : public QWidget, public IMPXObserver {
 public:
  static constexpr const char* kCaption = "MPX Analyzer";

  TMPXGraphForm(IMPXReceiver& Receiver, IClock& Clock, QWidget* Owner = nullptr);
  ~TMPXGraphForm() override;

  TMPXController& Controller() { return controller_; }

  QLabel* infoLabel;
  QLabel* lbMeasureTime;
  QTabWidget* pages;
  QPushButton* btnResetAverage;
  QPushButton* btnClear;
  QPushButton* btnPrint;

  void SetDeviationUnits(int Units) { controller_.SetDeviationUnits(Units); }
  void ResetMeasurement() { controller_.ResetMeasurement(); }
  void btnPrintClick();

  // What the charts show, for the tests.
  int TimePointCount() const;
  int DeviationPointCount() const;
  double AverageLineValue() const;
  // The overlay text each chart draws now ("BUFFERING", the average, the
  // cursor readout).
  std::string TimeOverlayText() const;
  std::string DeviationOverlayText() const;
  // Both charts as pictures (print and screenshots).
  QImage TimeChartPicture(bool Monochrome = false);
  QImage DeviationChartPicture(bool Monochrome = false);
  // The print preview runs modally; tests replace it.
  std::function<void(const QImage& Colour, const QImage& Mono, const QString& Title, const QString& Subtitle)>
      RunPrintPreview;

  // IMPXObserver
  void Buffering() override;
  void SampleTaken(bool RefreshCharts) override;
  void InfoChanged() override;
  void MeasurementReset() override;
  void UnitsChanged() override;

 private:
  struct TCharts;
  TMPXController controller_;
  std::unique_ptr<TCharts> charts_;
};

// Runs the MPX print preview modally (the preview's own unit).
void RunMPXPrintPreview(const QImage& Colour, const QImage& Mono, const QString& Title, const QString& Subtitle,
                        QWidget* Owner);
