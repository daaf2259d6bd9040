#pragma once
// The MPX deviation measurement behind the MPX analyzer: a time-stamped
// history of deviation samples (kHz), the window of it that the time chart
// shows, the running average, minimum and maximum, and the exceedance table
// (which share of all samples reached each measured value). Plain data; the
// window copies the results into its chart series.
#include <cstdint>
#include <vector>

#include "platform/Clock.h"
#include "platform/DateTime.h"

struct TFMPart {
  double Value = 0;  // kHz
  TDateTime Time = 0;
};
using PartsArray = std::vector<TFMPart>;

// The samples of the time chart's window.
struct TFMWindow {
  TDateTime StartTime = 0;
  TDateTime EndTime = 0;
  int32_t Count = 0;
  std::vector<double> Values;
  std::vector<double> Times;
};

// One exceedance table entry.
struct TFMDev {
  double Value = 0;     // kHz, rounded to 0.01
  int32_t Count = 0;    // samples with exactly this value
  double Percent = 0;   // share of all samples at or above Value, in %
  int32_t CumCount = 0; // samples at or above Value
};
using DevsArray = std::vector<TFMDev>;  // by Value ascending, values unique

struct TDeviation {
  DevsArray Devs;
};

struct TDeviationPoint {
  double Value = 0;
  double Percent = 0;
};

// One point of the exceedance chart: X = value, Y = percent, its colour.
struct TDeviationChartPoint {
  double X = 0;
  double Y = 0;
  uint32_t Color = 0;
};

// Appends a sample; returns its index.
int FMAddPart(PartsArray& parts, double value, TDateTime time);
// Deletes count samples from start; nothing for an empty array, a start
// outside it or a count below 1; a count reaching past the end stops there.
void FMDeleteParts(PartsArray& parts, int start, int count);
// Index of the last sample before t (0 when the first one is at t); -1 when
// no sample lies after t or the first one already does.
int FMFindPartByTime(const PartsArray& parts, TDateTime t);
// Index of the entry holding exactly value, or -1.
int FMFindDevByValue(const DevsArray& devs, double value);
// Adds an entry (count 1) at its place in the order; returns its index.
int FMAddDev(DevsArray& devs, double value);

class TFMCollector {
 public:
  static constexpr double kNone = 65535;  // MinValue/MaxValue before the first sample
  static constexpr uint32_t kColorGreen = 32768;
  static constexpr uint32_t kColorYellow = 65535;
  static constexpr uint32_t kColorRed = 255;

  explicit TFMCollector(IClock& clock = SystemClock());

  // Mode 0 = peak hold, 1 = mean: how a sample arriving within 20 ms of the
  // newest one is merged into it.
  void AddSample(int Mode, TDateTime Time, double Value);
  void Clear();
  void ResetAverage();
  double GetAverage() const;
  // Counts Value into the exceedance table (when DeviationOn). Its shares
  // are worked out when the table is next read: samples come 50 times a
  // second, the table is read at most ten times.
  void UpdateDeviation(double Value);

  // Fills Window with the last WindowMs of history; false (and nothing done)
  // while the history is empty.
  bool PrepareWindow(int WindowMs);
  // The table thinned for display; a tolerance of -1 switches its test off.
  // 0.0 and the thresholds are always kept.
  std::vector<TDeviationPoint> GetDeviationPoints(double ValueTolerance, double PercentTolerance) const;
  // The exceedance chart's points, one per table entry, coloured by value.
  std::vector<TDeviationChartPoint> DeviationChartPoints() const;
  uint32_t DeviationColor(double Value) const;

  const PartsArray& Parts() const { return parts_; }
  const TFMWindow& Window() const { return window_; }
  const DevsArray& Devs() const { return Shares(); }
  double MinValue() const { return minValue_; }
  double MaxValue() const { return maxValue_; }

  int32_t WindowMs = 60000;    // chart window, ms
  int32_t HistoryMs = 600000;  // history kept, ms
  bool DeviationOn = false;
  double Threshold1 = 0;  // kHz: green up to here
  double Threshold2 = 0;  // kHz: yellow up to here, red above

 private:
  void Trim();

  IClock* clock_;
  PartsArray parts_;
  TFMWindow window_;
  int32_t avgCount_ = 0;
  double avgSum_ = 0;
  // The table with its cumulative counts and shares brought up to date.
  const DevsArray& Shares() const;
  mutable TDeviation devs_;
  mutable bool sharesStale_ = false;  // counts changed since the shares were worked out
  double minValue_ = kNone;
  double maxValue_ = kNone;
};
