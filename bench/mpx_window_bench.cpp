// The MPX analyzer window per sample: the controller's refresh copied into
// both chart series (a full one-minute window, ~2,700 points, and the grown
// exceedance table) and both charts painted. The device gives about 56
// readings a second; the target is 100x that (at most ~180 us a sample).
// Samples are 22 ms apart, as the device sends them.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "support/FakeClock.h"
#include "support/FakeMPXReceiver.h"
#include "ui/MPXGraph.h"

namespace {

struct TRig {
  TFakeClock clock;
  TFakeMPXReceiver rx;
  TMPXGraphForm form{rx, clock};
  uint32_t seed = 1;

  TRig() {
    form.resize(820, 420);
    clock.Advance(TMPXController::kBufferingMs);
    for (int i = 0; i < 4000; ++i) Next(false);
  }
  void Next(bool refresh) {
    clock.Advance(22);
    seed = seed * 1103515245u + 12345u;
    form.Controller().SetPrinting(!refresh);
    form.Controller().UpdateMeasurement(clock.Now(), double((seed >> 8) % 1001));
  }
};

}  // namespace

// One sample with the series refilled, without painting.
static void BM_SampleWithSeriesRefill(benchmark::State& state) {
  TRig rig;
  for (auto _ : state) rig.Next(true);
  state.SetItemsProcessed(state.iterations());
  state.counters["points"] = rig.form.TimePointCount();
}
BENCHMARK(BM_SampleWithSeriesRefill)->Unit(benchmark::kMicrosecond);

// One sample, then both charts painted (the whole window's refresh).
static void BM_SampleAndPaintBothCharts(benchmark::State& state) {
  TRig rig;
  for (auto _ : state) {
    rig.Next(true);
    benchmark::DoNotOptimize(rig.form.TimeChartPicture());
    benchmark::DoNotOptimize(rig.form.DeviationChartPicture());
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["table"] = rig.form.DeviationPointCount();
}
BENCHMARK(BM_SampleAndPaintBothCharts)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
