#pragma once
// The MPX analyzer's measuring logic, free of any widget: it takes the MPX
// deviation reading out of the receiver's status packets, turns it into kHz
// through the device calibration and the meter's table, feeds the deviation
// statistics, publishes the live values for the remote client, and prepares
// the texts and chart data that the window shows. The window hears of every
// change through IMPXObserver and draws from what the controller holds.
//
// Everything runs on the GUI thread: the transport delivers its packets there.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "receiver/Tuner.h"
#include "ui/mpx/FM_Collector.h"

class TCom;
class TRemoteObject;
struct TSettingsRecord;

// What the analyzer needs of the tuner and the settings.
class IMPXReceiver {
 public:
  virtual ~IMPXReceiver() = default;
  virtual bool Configured() const = 0;
  virtual TCalibration Calibration() const = 0;
  virtual double CurrentFreq() const = 0;
  virtual int32_t Level() const = 0;  // 0..15
  virtual bool SensitivityDX() const = 0;
};

class TMPXController;

// The real tuner and settings behind IMPXReceiver.
class TMPXReceiver final : public IMPXReceiver {
 public:
  TMPXReceiver(TTuner& Tuner, TCom& Com, const TSettingsRecord& Settings);

  // Toggles the controller's data handler for packet types {1, 2}: called
  // once to register and once more to unregister (GUI thread).
  void ToggleHandler(TMPXController& Controller);

  bool Configured() const override;
  TCalibration Calibration() const override;
  double CurrentFreq() const override;
  int32_t Level() const override;
  bool SensitivityDX() const override;

 private:
  TTuner& Tuner_;
  TCom& Com_;
  const TSettingsRecord& Settings_;
};

// What the window hears; every call comes after the controller's state is
// updated.
class IMPXObserver {
 public:
  virtual ~IMPXObserver() = default;
  // A reading came while the measurement is still buffering: the time chart's
  // axis goes to BufferAxisMin() .. BufferAxisMax(), the deviation series is
  // emptied and "Print" disabled.
  virtual void Buffering() {}
  // A sample was taken: "Print" is enabled and MeasureTimeText() is new. With
  // RefreshCharts the average line, the time chart (TimeWindow()) and the
  // deviation chart (DeviationPoints()) are to be redrawn from the new data;
  // without it (print preview or remote dialog open) they stay as they are.
  virtual void SampleTaken(bool RefreshCharts) {}
  // InfoText() is new.
  virtual void InfoChanged() {}
  // The measurement restarted: average line at 0, both series empty.
  virtual void MeasurementReset() {}
  // The units changed: the deviation chart's bottom-axis labels are
  // DeviationAxisLabels(), the average text follows UnitText/UnitFactor.
  virtual void UnitsChanged() {}
  // Whether the charts are on show. Hidden, they are not refilled: the
  // window calls PrepareCharts when it shows them again.
  virtual bool ChartsShown() const { return true; }
};

// One custom label of the deviation chart's bottom axis.
struct TMPXAxisLabel {
  double Value = 0;  // kHz
  std::string Text;
};

class TMPXController {
 public:
  static constexpr int64_t kBufferingMs = 2000;
  static constexpr int64_t kLedsIntervalMs = 1000;
  static constexpr int64_t kDevIntervalMs = 3000;
  static constexpr int32_t kWindowMs = 60000;
  static constexpr int32_t kHistoryMs = 61000;
  static constexpr double kThreshold1 = 75.0;
  static constexpr double kThreshold2 = 80.0;
  static constexpr const char* kBufferingText = "BUFFERING";

  TMPXController(IMPXReceiver& Receiver, IClock& Clock);

  IMPXObserver* Observer = nullptr;
  // The remote variable table and whether the remote dialog is open: while
  // it is, "LEDS" and "DEV" are published and the charts left alone.
  TRemoteObject* Remote = nullptr;
  std::function<bool()> RemoteOpen;
  // How far local time runs ahead of UTC now, in ms (summer time and
  // half-hour zones included), for the "LEDS" stamp.
  std::function<int64_t()> ZoneMsAhead = SystemZoneMsAhead;

  // ---- Device handler --------------------------------------------------------
  void ComData(const uint8_t* Packet, int High);
  // One reading (calibrated, before the table) received at Time.
  void UpdateMeasurement(TDateTime Time, double Reading);

  // ---- Operator entries --------------------------------------------------------
  // 0 = kHz, 1 = percent of 75 kHz (RBDS); the measurement stays in kHz.
  void SetDeviationUnits(int Units);
  // "Clear" and the main window's display reset.
  void ResetMeasurement();
  // "Reset Average".
  void ResetAverage() { collector_.ResetAverage(); }
  // Set while the print preview is open.
  void SetPrinting(bool Value) { printing_ = Value; }
  bool Printing() const { return printing_; }

  // ---- State -------------------------------------------------------------------
  const TFMCollector& Collector() const { return collector_; }
  bool ChartsShouldRefresh() const;
  // Fills the chart data (TimeWindow(), DeviationPoints()) from the
  // measurement now.
  void PrepareCharts();
  // Within the first two seconds of the measurement (the charts' overlay).
  bool InBuffering() const;
  bool PrintEnabled() const { return printEnabled_; }
  TDateTime StartTime() const { return startTime_; }
  TDateTime BufferAxisMin() const { return bufferAxisMin_; }
  TDateTime BufferAxisMax() const { return bufferAxisMax_; }
  int LastToggle() const { return lastToggle_; }
  const std::string& UnitText() const { return unitText_; }
  double UnitFactor() const { return unitFactor_; }
  const std::vector<TMPXAxisLabel>& DeviationAxisLabels() const { return axisLabels_; }
  const std::string& InfoText() const { return infoText_; }
  const std::string& MeasureTimeText() const { return measureTimeText_; }

  // Chart data as of the last refresh.
  double Average() const { return collector_.GetAverage(); }
  const TFMWindow& TimeWindow() const {
    PrepareDueCharts();
    return collector_.Window();
  }
  const std::vector<TDeviationChartPoint>& DeviationPoints() const {
    PrepareDueCharts();
    return devPoints_;
  }

  // The print preview's subtitle: InfoText() and the date and time now.
  std::string PrintSubtitle() const;
  // The average beside its line: " %3.1f %s " in the chosen units.
  std::string AverageText() const;
  // The reading at the deviation chart's cursor: always in kHz.
  static std::string CursorText(double KHz, double Percent);

  // The meter's table: calibrated reading -> kHz.
  static double ReadingToKHz(double Reading);
  static const std::vector<double>& TableRaw();
  static const std::vector<double>& TableKHz();

  static int64_t SystemZoneMsAhead();

 private:
  void PublishRemote(double KHz);
  // Readings come about 56 times a second, the charts follow at most 10 times:
  // a refresh only marks the chart data due, and it is made when read (or
  // before anything changes what it was to be made from).
  void PrepareDueCharts() const;
  bool IsRemoteOpen() const { return RemoteOpen && RemoteOpen(); }

  IMPXReceiver& rx_;
  IClock& clock_;
  TFMCollector collector_;

  std::string unitText_ = "KHz";
  double unitFactor_ = 1.0;
  std::vector<TMPXAxisLabel> axisLabels_;
  TDateTime startTime_ = 0;
  int lastToggle_ = -1;
  bool printing_ = false;
  TDateTime measureStart_ = 0;
  int64_t lastLeds_ = 0;
  TDateTime lastDev_ = 0;

  bool printEnabled_ = false;
  TDateTime bufferAxisMin_ = 0, bufferAxisMax_ = 0;
  struct TInfoValues {
    double Freq = 0;
    bool DX = false;
    int32_t Level = 0;
    bool operator==(const TInfoValues&) const = default;
  };
  TInfoValues infoValues_;
  std::string infoText_;
  int measureTimeShown_ = -1;  // the seconds measureTimeText_ shows
  std::string measureTimeText_;
  std::vector<TDeviationChartPoint> devPoints_;
  mutable bool chartsDue_ = false;
};
