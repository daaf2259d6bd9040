#pragma once
// The band analyzer's measuring logic, free of any widget: the band scan
// (range, step command, scan points, end rule, smoothing once at the end),
// the peak finder, the tune-and-dwell visit of every peak, the station
// records and the marker's record. The window draws what it holds (the scan
// points, the smoothed curve, the marks, the cursor) and hears of every change
// through IBandScanObserver.
//
// Everything runs on the GUI thread: the tuner's state calls, the transport's
// packets and the RDS decoder's change notifications are all delivered there.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "chart/ChartSpline.h"
#include "platform/Clock.h"
#include "receiver/DataChange.h"
#include "receiver/Tuner.h"

class TCom;
class TRDSCollector;
struct TSettingsRecord;

// One station found by the analyzer (shared with the station list).
struct TColumnRecord {
  int32_t Point = 0;  // index in the smoothed points
  std::string PI;
  std::string PS;
  std::string Mode;
  std::string AFList;
  std::string Freq;
  std::string Level;
};

enum class TScanStep : uint8_t { Fine, Normal, Fast };

// What the analyzer needs of the tuner, the transport and the RDS decoder.
class IBandScanReceiver {
 public:
  virtual ~IBandScanReceiver() = default;
  virtual uint16_t PLLWord() const = 0;
  virtual bool InjectionSide() const = 0;
  virtual double TargetFreq() const = 0;
  virtual double CurrentFreq() const = 0;
  virtual bool Tuned() const = 0;
  virtual bool Stereo() const = 0;
  virtual void SetFrequency(double MHz) = 0;
  virtual void SetIdle() = 0;
  virtual void SendCommand(uint8_t Command) = 0;
  virtual void ResetRDS() = 0;
  // The decoder's pending changes, read during the change notification.
  virtual const TDataChangeQueue& RDSChanges() const = 0;
  virtual std::string PIText() = 0;
  virtual std::string PSText() = 0;
  virtual std::string AFSummaryText() = 0;
};

class TBandScanController;

// The real receiver objects behind IBandScanReceiver.
class TBandScanReceiver final : public IBandScanReceiver {
 public:
  TBandScanReceiver(TTuner& Tuner, TCom& Com, TRDSCollector& RDS);

  // Toggles the controller's three handlers: the tuner state listener, the
  // data handler for packet types {1, 2, 3} and the RDS change listener.
  // Called once to register and once more to unregister (GUI thread).
  void ToggleHandlers(TBandScanController& Controller);

  uint16_t PLLWord() const override;
  bool InjectionSide() const override;
  double TargetFreq() const override;
  double CurrentFreq() const override;
  bool Tuned() const override;
  bool Stereo() const override;
  void SetFrequency(double MHz) override;
  void SetIdle() override;
  void SendCommand(uint8_t Command) override;
  void ResetRDS() override;
  const TDataChangeQueue& RDSChanges() const override;
  std::string PIText() override;
  std::string PSText() override;
  std::string AFSummaryText() override;

 private:
  TTuner& Tuner_;
  TCom& Com_;
  TRDSCollector& RDS_;
};

// What the window hears; every call comes after the controller's state is
// updated.
class IBandScanObserver {
 public:
  virtual ~IBandScanObserver() = default;
  // Scan pending, scanning or analyzing changed: buttons follow.
  virtual void ModeChanged() {}
  // A scan point was appended at the end of PointX/PointY.
  virtual void PointAppended() {}
  // The scan ended: smoothed points, description and marks are new.
  virtual void ScanEnded() {}
  // The station list is to show exactly Stations(), in order.
  virtual void StationsReset() {}
  // Stations()[Index] is to be added to the station list.
  virtual void StationAdded(int Index) {}
  // Stations()[Index] changed; its row is to be rewritten.
  virtual void StationUpdated(int Index) {}
  // The label or visibility of a mark changed, or its marker colour (the
  // old and the new marker point are both reported).
  virtual void MarkChanged(int Point) {}
  virtual void CursorMoved() {}
};

class TBandScanController {
 public:
  static constexpr int kSmoothFactor = 10;
  static constexpr int64_t kDwellMs = 5000;
  static constexpr double kCursorLimit = 97.5;

  struct TMark {
    std::string Label;
    bool Visible = false;
  };

  TBandScanController(IBandScanReceiver& Receiver, IClock& Clock, const TSettingsRecord& Settings);

  // Set while the remote server runs: the three handlers then return at once.
  std::function<bool()> RemoteActive;
  IBandScanObserver* Observer = nullptr;

  // ---- Operator entries ----------------------------------------------------------
  // The range edits as shown (an empty text is an empty box); StartScan
  // writes the normalised range back here.
  void SetRange(const std::string& StartText, const std::string& EndText);
  const std::string& RangeStart() const { return rangeStart_; }
  const std::string& RangeEnd() const { return rangeEnd_; }
  void SetStep(TScanStep Step) { step_ = Step; }
  TScanStep Step() const { return step_; }
  void SetReference(double Level) { reference_ = Level; }
  double Reference() const { return reference_; }
  void SetCursorX(double X) { cursorX_ = X; }
  double CursorX() const { return cursorX_; }

  // "Start Scan" / "Stop Scan".
  void ScanClick();
  // "Start Analyze" / "Stop Analyze".
  void AnalyzeClick();
  void StopScan();
  void StopAnalyze();
  // The window closes: whatever runs stops and the tuner goes back. A start
  // still waiting for its tune ends as a scan without points.
  void StopAll();
  // A double-click on the chart at X: places the marker on the strongest
  // point of the run around X, tunes to it and opens its record.
  void MarkAt(double X);
  void SetMarker(int PointIndex);
  // Hides every station label; each comes back only when something labels
  // it anew (a visit, a double-click, the marker's upkeep).
  void HideMarks();
  void RemoveStation(int PointIndex);
  // Index of the last record of the point; with Create a missing one is
  // appended (and reported added). -1 when none (or not a smoothed point).
  int FindStation(int PointIndex, bool Create);

  // ---- Device handlers -----------------------------------------------------------
  void TunerState(TTunerState State);
  void ComData(const uint8_t* Packet, int High);
  void RDSDataChange();

  // ---- State ---------------------------------------------------------------------
  bool ScanPending() const { return scanPending_; }
  bool Scanning() const { return scanning_; }
  bool Analyzing() const { return analyzing_; }
  const std::vector<double>& PointX() const { return pointX_; }
  const std::vector<double>& PointY() const { return pointY_; }
  const std::vector<TSplinePoint>& Smooth() const { return smooth_; }
  const std::vector<TMark>& Marks() const { return marks_; }
  bool MarksShown() const { return marksShown_; }
  const std::vector<int>& Peaks() const { return peaks_; }
  int PeakIndex() const { return peakIndex_; }
  const std::vector<TColumnRecord>& Stations() const { return stations_; }
  int Marker() const { return marker_; }
  bool MarkerPending() const { return markerPending_; }
  const std::string& Description() const { return description_; }
  const std::string& DescriptionStamped() const { return descriptionStamped_; }

 private:
  enum class TVisit { Tune, Tuning, Dwell };

  void StartScan();
  void StartAnalyze();
  void ScanPoint(const uint8_t* Packet, int High);
  void CloseVisit();
  void OpenVisit();
  double VisitFreq() const;
  bool TakeRDSChanges(TColumnRecord& Record);
  void UpkeepMarker(uint8_t Type);
  void SetLabel(int Point, const std::string& Label);
  void Retune(uint16_t Word);
  void MoveCursor(double X);
  bool Quiet() const { return RemoteActive && RemoteActive(); }
  int64_t SinceTuneMs() const;

  IBandScanReceiver& rx_;
  IClock& clock_;
  const TSettingsRecord& settings_;

  std::string rangeStart_ = "87.0";
  std::string rangeEnd_ = "108.0";
  TScanStep step_ = TScanStep::Normal;
  double reference_ = 0;
  double cursorX_ = 87.0;

  uint16_t savedPLL_ = 0;
  std::string description_;
  int marker_ = -1;
  bool markerPending_ = true;
  std::vector<int> peaks_;
  int peakIndex_ = -1;
  double savedCursorX_ = 0;
  int64_t tuneMs_ = 0;
  std::string curPS_;
  std::string curPI_;
  TColumnRecord early_;  // decoded on the visited frequency before the tune was reported done
  std::vector<TColumnRecord> stations_;
  bool scanning_ = false;
  bool scanPending_ = false;
  bool analyzing_ = false;
  std::string descriptionStamped_;
  TVisit visit_ = TVisit::Tune;

  std::vector<double> pointX_, pointY_;
  std::vector<TSplinePoint> smooth_;
  std::vector<TMark> marks_;
  bool marksShown_ = false;
};

// ---- Pure rules, shared with the window and the station list ------------------------

// A range edit's text after Enter or at scan start: empty (or no number) gives
// the default, anything else is clamped to the band; "%3.1f".
std::string RangeEditText(const std::string& Text, double Default);
// A station's frequency ("%3.1f MHz") and level ("%3.1f dBµV", UTF-8) texts.
std::string FreqText(double MHz);
std::string LevelText(double Level);
// The command byte of a scan step (0x0B, 0x0C, 0x0D) and its name.
uint8_t ScanStepCommand(TScanStep Step);
const char* ScanStepName(TScanStep Step);
// Frequency in MHz of a scan point's PLL word, unrounded.
double ScanWordToMHz(uint16_t Word, bool InjectionSide);
// Indexes of the peaks: in each run of points at or above the reference, the
// first strictly greatest; a run still open at the last point is dropped.
std::vector<int> FindPeaks(const std::vector<TSplinePoint>& Points, double Reference);
// The marker point a double-click at X picks on the points, or -1.
int MarkerPointAt(const std::vector<TSplinePoint>& Points, double X, double Reference);
// The number a station-list text holds without its unit (the last UnitChars
// characters, counted as characters, not bytes); -1 when it holds none.
double TextWithoutUnit(const std::string& Text, int UnitChars);
// Items joined by ',' as one comma text: an item holding a blank, a comma, a
// quote or a control character is quoted with '"' (inner quotes doubled).
std::string CommaText(const std::vector<std::string>& Items);
// The AF summary's lines ("2A 89.6" CR LF "93.3" CR LF) on one line as a
// visit lists them ("2A 89.6,93.3"); a text without line breaks as it is.
std::string AFListOfSummary(const std::string& Summary);
