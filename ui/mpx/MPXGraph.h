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
#include <utility>

#include "ui/mpx/MPXController.h"

class QLabel;
class QPushButton;
class QTabWidget;
class QTimer;
class TChart;

class TMPXGraphForm : public QWidget, public IMPXObserver {
 public:
  static constexpr const char* kCaption = "MPX Analyzer";
  // The charts are redrawn at most this often: a minute over some 750 pixels
  // moves the time graph by one column every 80 ms, and a full repaint costs
  // far more than a reading. Every reading still goes into the measurement,
  // the labels and the remote values.
  static constexpr int64_t kChartRefreshMs = 100;

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
  void btnResetAverageClick();
  void btnClearClick();
  void btnPrintClick();

  // What the charts show, for the tests.
  int TimePointCount() const;
  // The time graph's point i: time and kHz.
  std::pair<double, double> TimePoint(int I) const;
  int DeviationPointCount() const;
  double AverageLineValue() const;
  // The overlay text each chart draws now ("BUFFERING", the average, the
  // cursor readout).
  std::string TimeOverlayText() const;
  std::string DeviationOverlayText() const;
  // How often the charts were refilled from the measurement, and the steady
  // time (IClock::SteadyMs) a held-back refresh is due at, -1 for none.
  int ChartRefreshCount() const { return refreshCount_; }
  int64_t ChartRefreshDueMs() const;
  // What the refresh timer runs when it fires: the held-back refresh, unless
  // the charts are frozen by then (print preview, remote dialog).
  void RefreshHeldBackCharts();
  // Both charts as pictures for the printed page, which carries the logo
  // itself: the pictures have none.
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
  bool ChartsShown() const override { return isVisible(); }

 protected:
  void showEvent(QShowEvent* Event) override;

 private:
  struct TCharts;
  // The chart drawn into a picture for the printed page, without the logo.
  QImage CapturedChart(TChart& Chart, bool Monochrome);
  void RefreshCharts();
  void ForgetRefresh();
  void ShowMeasureTime();
  IClock& clock_;
  TMPXController controller_;
  std::unique_ptr<TCharts> charts_;
  QTimer* refreshTimer_;
  bool refreshedOnce_ = false;  // since the measurement (re)started
  bool pendingRefresh_ = false;
  int64_t lastRefreshMs_ = 0;
  int refreshCount_ = 0;
  bool chartsBehind_ = false;  // samples were taken while hidden
  // What the labels were last given.
  std::string infoShown_, measureTimeShown_;
};

// Runs the MPX print preview modally (the preview's own unit).
void RunMPXPrintPreview(const QImage& Colour, const QImage& Mono, const QString& Title, const QString& Subtitle,
                        QWidget* Owner);
