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
//
// Through the window: the same points reach the shown band analyzer (default
// settings, offscreen), each followed by one pass of the event loop that
// paints what the point and the marker's move invalidated. Budget: a point in
// at most 100 us of UI-thread time, a tenth of a core at 1,000 points/s.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>
#include <QRadioButton>
#include <cstdlib>

#include "chart/Chart.h"
#include "logstore/SettingsRecord.h"
#include "support/FakeBandScanReceiver.h"
#include "support/FakeClock.h"
#include "ui/band/BandAnalyzer.h"

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

struct TWindowBench {
  TFakeBandScanReceiver rx;
  TFakeClock clock;
  TSettingsRecord settings = DecodeConfig(DefaultConfigRow());
  TBandAnalyzerForm form{rx, clock, settings, [](const TSettingsRecord&) {}};
  std::vector<std::vector<uint8_t>> packets;

  TWindowBench() {
    form.stPrecise->setChecked(true);
    for (int k = 0; k < kFinePoints; ++k)
      packets.push_back(ScanPointPacket(static_cast<uint16_t>(kFirstWord + k), (k * 7919) % 16));
    form.show();
    QApplication::processEvents();
  }
  void Start() {
    form.btnScanClick();
    form.Controller().TunerState(tnsPostTune);
    QApplication::processEvents();
  }
  // One point `StepMs` after the last one, then what the event loop paints.
  void Feed(const std::vector<uint8_t>& p, int64_t StepMs) {
    clock.Advance(StepMs);
    form.Controller().ComData(p.data(), static_cast<int>(p.size()) - 1);
    QApplication::processEvents();
  }
  void End() { Feed(ScanPointPacket(kEndWord, 0), 1); }
};

// A scan of 2,600 points through the window, the points Arg ms apart (1: the
// device's 1,000 points/s; 5: the simulated receiver's 200 points/s); the
// UI-thread time per point, painting included.
void BM_ScanPointThroughWindow(benchmark::State& state) {
  TWindowBench b;
  for (auto _ : state) {
    state.PauseTiming();
    if (b.form.Controller().Scanning()) b.End();
    b.Start();
    state.ResumeTiming();
    for (const auto& p : b.packets) b.Feed(p, state.range(0));
  }
  state.counters["point"] =
      benchmark::Counter(kFinePoints, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ScanPointThroughWindow)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond);

// With FW_SCAN_GRAB set, the chart after one whole scan is written there as
// a picture, to compare the window's drawing before and after a change.
void GrabScannedChart(const char* File) {
  TWindowBench b;
  b.Start();
  for (const auto& p : b.packets) b.Feed(p, 5);
  b.End();
  b.form.SpectrumHost->grab().save(File);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (const char* file = std::getenv("FW_SCAN_GRAB")) GrabScannedChart(file);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
