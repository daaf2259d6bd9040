// The band analyzer's scan on the GUI thread: the cost of one scan point
// (type-3 packet decoded, end rule checked, point appended, observer told)
// and of the scan's end (smoothing 2,600 points to 601, description, marks).
//
// Assumed device rate: at most one scan point per USB frame, 1,000 points/s
// (a fine sweep of 87..108 MHz is 2,564 points, so at least 2.6 s). The
// benchmark scans 2,600 points, ending just below the 108.0 MHz word.
// Budgets at 20x headroom: a point in at most 50 us (1 ms / 20); the scan's
// end in at most 50 us too, so the GUI thread is free again before the next
// packet of the device would be due.
#include <benchmark/benchmark.h>

#include "logstore/SettingsRecord.h"
#include "support/FakeBandScanReceiver.h"
#include "support/FakeClock.h"

namespace {

constexpr int kFinePoints = 2600;
constexpr uint16_t kEndWord = 13211;  // 108.0 MHz, high side
constexpr uint16_t kFirstWord = kEndWord - kFinePoints;

struct TCountingObserver final : IBandScanObserver {
  int Points = 0;
  void PointAppended() override { ++Points; }
};

struct TScanBench {
  TFakeBandScanReceiver rx;
  TFakeClock clock;
  TSettingsRecord settings{};
  TBandScanController ctl{rx, clock, settings};
  TCountingObserver observer;
  std::vector<std::vector<uint8_t>> packets;

  TScanBench() {
    ctl.Observer = &observer;
    ctl.SetStep(TScanStep::Fine);
    for (int k = 0; k < kFinePoints; ++k)
      packets.push_back(ScanPointPacket(static_cast<uint16_t>(kFirstWord + k), (k * 7919) % 16));
  }
  void Start() {
    ctl.ScanClick();
    ctl.TunerState(tnsPostTune);
  }
  void Feed(const std::vector<uint8_t>& p) { ctl.ComData(p.data(), static_cast<int>(p.size()) - 1); }
};

// One scan of 2,600 points per iteration; the time per point is reported.
void BM_ScanPoint(benchmark::State& state) {
  TScanBench b;
  const std::vector<uint8_t> end = ScanPointPacket(kEndWord, 0);
  for (auto _ : state) {
    state.PauseTiming();
    if (b.ctl.Scanning()) b.Feed(end);
    b.Start();
    state.ResumeTiming();
    for (const auto& p : b.packets) b.Feed(p);
  }
  // Seconds per point.
  state.counters["point"] =
      benchmark::Counter(kFinePoints, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetItemsProcessed(state.iterations() * kFinePoints);
}
BENCHMARK(BM_ScanPoint)->Unit(benchmark::kMicrosecond);

// The end word arrives after 2,600 points: the scan stops and smooths once.
void BM_ScanEnd2600(benchmark::State& state) {
  TScanBench b;
  const std::vector<uint8_t> end = ScanPointPacket(kEndWord, 0);
  for (auto _ : state) {
    state.PauseTiming();
    b.Start();
    for (const auto& p : b.packets) b.Feed(p);
    state.ResumeTiming();
    b.Feed(end);
  }
  if (b.ctl.PointX().size() != kFinePoints || b.ctl.Smooth().size() != 601)
    state.SkipWithError("the scan did not end with 2,600 points smoothed to 601");
}
BENCHMARK(BM_ScanEnd2600)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
