#include "ui/mpx/FM_Collector.h"

#include <algorithm>
#include <cmath>

namespace {
// A sample closer than this to the newest one is merged into it.
constexpr int64_t kMergeMs = 20;
// The history is trimmed only once more than this many samples fell out of
// it, so samples are not shifted one by one.
constexpr int kTrimBlock = 100;
}  // namespace

int FMAddPart(PartsArray& parts, double value, TDateTime time) {
  parts.push_back({value, time});
  return static_cast<int>(parts.size()) - 1;
}

void FMDeleteParts(PartsArray& parts, int start, int count) {
  const int size = static_cast<int>(parts.size());
  if (size == 0 || start < 0 || start >= size || count <= 0) return;
  const int end = count > size - start ? size : start + count;
  parts.erase(parts.begin() + start, parts.begin() + end);
}

int FMFindPartByTime(const PartsArray& parts, TDateTime t) {
  if (parts.empty() || parts.back().Time <= t || parts.front().Time > t) return -1;
  const auto notBefore = std::lower_bound(parts.begin(), parts.end(), t,
                                          [](const TFMPart& p, TDateTime v) { return p.Time < v; });
  const int index = static_cast<int>(notBefore - parts.begin());
  return index > 0 ? index - 1 : 0;
}

int FMFindDevByValue(const DevsArray& devs, double value) {
  const auto it = std::lower_bound(devs.begin(), devs.end(), value,
                                   [](const TFMDev& d, double v) { return d.Value < v; });
  return it != devs.end() && it->Value == value ? static_cast<int>(it - devs.begin()) : -1;
}

int FMAddDev(DevsArray& devs, double value) {
  const auto it = std::upper_bound(devs.begin(), devs.end(), value,
                                   [](double v, const TFMDev& d) { return v < d.Value; });
  const auto index = it - devs.begin();
  devs.insert(it, TFMDev{value, 1, 0, 0});
  return static_cast<int>(index);
}

TFMCollector::TFMCollector(IClock& clock) : clock_(&clock) {}

void TFMCollector::AddSample(int Mode, TDateTime Time, double Value) {
  // A reading made from a garbled calibration would poison the average and
  // the order of the table.
  if (!std::isfinite(Value)) return;
  if (parts_.size() >= 2) {
    TFMPart& last = parts_.back();
    if (dt::MillisecondsBetween(last.Time, clock_->Now()) >= kMergeMs) {
      FMAddPart(parts_, Value, Time);
    } else if (Mode == 0) {
      last.Value = std::max(last.Value, Value);
    } else if (Mode == 1) {
      last.Value = (last.Value + Value) / 2;
    }
    Trim();
  } else {
    FMAddPart(parts_, Value, Time);
  }
  avgSum_ += Value;
  ++avgCount_;
  UpdateDeviation(Value);
  if (minValue_ == kNone || minValue_ > Value) minValue_ = Value;
  if (maxValue_ == kNone || maxValue_ < Value) maxValue_ = Value;
}

void TFMCollector::Trim() {
  const TDateTime cutOff = dt::AddMilliseconds(parts_.back().Time, -static_cast<int64_t>(HistoryMs));
  const int i = FMFindPartByTime(parts_, cutOff);
  if (i > kTrimBlock) FMDeleteParts(parts_, 0, i + 1);
}

void TFMCollector::Clear() {
  parts_.clear();
  window_ = TFMWindow{};
  devs_.Devs.clear();
  ResetAverage();
  minValue_ = maxValue_ = kNone;
}

void TFMCollector::ResetAverage() {
  avgSum_ = 0;
  avgCount_ = 0;
}

double TFMCollector::GetAverage() const { return avgCount_ == 0 ? 0 : avgSum_ / avgCount_; }

void TFMCollector::UpdateDeviation(double Value) {
  DevsArray& devs = devs_.Devs;
  if (devs.empty()) {
    // 0.0 and the thresholds are always on the chart, even before a sample
    // reaches them; a threshold equal to another seed is entered once.
    for (double seed : {0.0, Threshold1, Threshold2})
      if (FMFindDevByValue(devs, seed) < 0) {
        const int k = FMAddDev(devs, seed);
        devs[k].Count = 0;
      }
  }
  if (DeviationOn && std::isfinite(Value)) {
    const double r = std::nearbyint(Value * 100) / 100;
    const int i = FMFindDevByValue(devs, r);
    if (i < 0) FMAddDev(devs, r);
    else ++devs[i].Count;
  }
  sharesStale_ = true;
}

const DevsArray& TFMCollector::Shares() const {
  DevsArray& devs = devs_.Devs;
  if (!sharesStale_ || devs.empty()) return devs;
  sharesStale_ = false;
  int32_t cum = 0;
  for (auto it = devs.rbegin(); it != devs.rend(); ++it) cum = it->CumCount = cum + it->Count;
  // With no sample counted yet the table shows only its seeds: 0.0 at 100 %
  // as always, the rest at 0 (there is no share of nothing).
  const int32_t total = devs.front().CumCount;
  for (TFMDev& d : devs)
    d.Percent = total > 0 ? static_cast<double>(d.CumCount) / total * 100 : (d.Value == 0.0 ? 100 : 0);
  return devs;
}

bool TFMCollector::PrepareWindow(int W) {
  if (parts_.empty()) return false;
  const int newest = static_cast<int>(parts_.size()) - 1;
  window_.EndTime = parts_[newest].Time;
  const int i = std::max(FMFindPartByTime(parts_, dt::AddMilliseconds(window_.EndTime, -W)), 0);
  window_.StartTime = parts_[i].Time;
  // A short history is drawn from the left edge of a full-width window.
  if (W > dt::MillisecondsBetween(window_.StartTime, window_.EndTime))
    window_.EndTime = dt::AddMilliseconds(window_.StartTime, W);
  window_.Count = newest - i + 1;
  window_.Values.resize(window_.Count);
  window_.Times.resize(window_.Count);
  for (int k = 0; k < window_.Count; ++k) {
    window_.Values[k] = parts_[i + k].Value;
    window_.Times[k] = parts_[i + k].Time;
  }
  return true;
}

std::vector<TDeviationPoint> TFMCollector::GetDeviationPoints(double ValueTolerance,
                                                              double PercentTolerance) const {
  std::vector<TDeviationPoint> points;
  TDeviationPoint last;
  for (const TFMDev& d : Shares()) {
    const bool always = d.Value == 0.0 || d.Value == Threshold1 || d.Value == Threshold2;
    if (!always && ((ValueTolerance != -1 && std::fabs(d.Value - last.Value) < ValueTolerance) ||
                    (PercentTolerance != -1 && std::fabs(d.Percent - last.Percent) < PercentTolerance)))
      continue;
    last = {d.Value, d.Percent};
    points.push_back(last);
  }
  return points;
}

uint32_t TFMCollector::DeviationColor(double Value) const {
  // Equal thresholds leave no yellow band.
  if (Value <= Threshold1) return kColorGreen;
  return Value > Threshold2 ? kColorRed : kColorYellow;
}

std::vector<TDeviationChartPoint> TFMCollector::DeviationChartPoints() const {
  std::vector<TDeviationChartPoint> points;
  const DevsArray& devs = Shares();
  points.reserve(devs.size());
  for (const TFMDev& d : devs) points.push_back({d.Value, d.Percent, DeviationColor(d.Value)});
  return points;
}
