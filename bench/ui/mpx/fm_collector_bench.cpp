// MPX deviation statistics: samples per second through AddSample, and the
// data of one chart refresh (the time window and the coloured exceedance
// points). A new MPX reading comes with a status packet whose measurement
// toggle changed; we take at most 50 readings a second (anything closer than
// 20 ms is merged anyway), so the target is 5,000 samples a second. The
// stream is a minute of history at 100 ms steps with values spread over
// 0..150 kHz, so the exceedance table grows towards its full 15,000 entries.
#include <benchmark/benchmark.h>

#include "ui/mpx/FM_Collector.h"

namespace {
struct TStepClock final : IClock {
  TDateTime T = dt::EncodeDate(2026, 1, 1);
  TDateTime Now() override { return T; }
  int64_t SteadyMs() override { return 0; }
  void SleepMs(int) override {}
};

void Setup(TFMCollector& c) {
  c.HistoryMs = 61000;
  c.DeviationOn = true;
  c.Threshold1 = 75.0;
  c.Threshold2 = 80.0;
}

double Reading(uint32_t& seed) {
  seed = seed * 1103515245u + 12345u;
  return (seed >> 8) % 15000 / 100.0;
}
}  // namespace

static void BM_AddSample(benchmark::State& state) {
  TStepClock clock;
  TFMCollector c(clock);
  Setup(c);
  uint32_t seed = 1;
  for (auto _ : state) {
    clock.T = dt::AddMilliseconds(clock.T, 100);
    c.AddSample(0, clock.T, Reading(seed));
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["table"] = static_cast<double>(c.Devs().size());
}
BENCHMARK(BM_AddSample);

static void BM_ChartRefreshData(benchmark::State& state) {
  TStepClock clock;
  TFMCollector c(clock);
  Setup(c);
  uint32_t seed = 1;
  for (int i = 0; i < 20000; ++i) {
    clock.T = dt::AddMilliseconds(clock.T, 100);
    c.AddSample(0, clock.T, Reading(seed));
  }
  for (auto _ : state) {
    c.PrepareWindow(c.WindowMs);
    benchmark::DoNotOptimize(c.DeviationChartPoints());
  }
  state.counters["window"] = c.Window().Count;
  state.counters["table"] = static_cast<double>(c.Devs().size());
}
BENCHMARK(BM_ChartRefreshData)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
