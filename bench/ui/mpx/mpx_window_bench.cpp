// The MPX analyzer window per sample. Assumed device rate: about 56 readings
// a second (one every 16-20 ms, 18 on average); the target is 100x that.
// Flat out: every sample refills both chart series (a full one-minute
// window, ~2,700 points, and the grown exceedance table) and, in the second
// case, paints both charts, so the window's refresh cap is taken out (its
// steady clock runs kChartRefreshMs times as fast: every sample is due).
// At the real rate: a minute of device time through the shown window as the
// program runs it, the cap included, with one event-loop pass per reading.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <algorithm>
#include <QTabWidget>

#include "support/FakeClock.h"
#include "support/FakeMPXReceiver.h"
#include "ui/mpx/MPXGraph.h"

namespace {

// Wall time from the fake clock; steady time `SteadyFactor` times as fast.
class TBenchClock final : public IClock {
 public:
  explicit TBenchClock(int64_t SteadyFactor) : factor_(SteadyFactor) {}
  TFakeClock Fake;
  TDateTime Now() override { return Fake.Now(); }
  int64_t SteadyMs() override { return Fake.SteadyMs() * factor_; }
  void SleepMs(int ms) override { Fake.SleepMs(ms); }

 private:
  int64_t factor_;
};

struct TRig {
  TBenchClock clock;
  TFakeMPXReceiver rx;
  TMPXGraphForm form{rx, clock};
  uint32_t seed = 1;

  explicit TRig(int64_t SteadyFactor) : clock(SteadyFactor) {
    form.resize(820, 420);
    clock.Fake.Advance(TMPXController::kBufferingMs);
    for (int i = 0; i < 4000; ++i) Next(false, 22);
  }
  uint32_t Random() { return (seed = seed * 1103515245u + 12345u) >> 8; }
  void Next(bool refresh, int64_t stepMs) {
    clock.Fake.Advance(stepMs);
    form.Controller().SetPrinting(!refresh);
    form.Controller().UpdateMeasurement(clock.Now(), double(Random() % 1001));
  }
};

}  // namespace

// One sample with the series refilled, without painting.
static void BM_SampleWithSeriesRefill(benchmark::State& state) {
  TRig rig(TMPXGraphForm::kChartRefreshMs);
  for (auto _ : state) rig.Next(true, 22);
  state.SetItemsProcessed(state.iterations());
  state.counters["points"] = rig.form.TimePointCount();
}
BENCHMARK(BM_SampleWithSeriesRefill)->Unit(benchmark::kMicrosecond);

// One sample, then both charts painted (the whole window's refresh).
static void BM_SampleAndPaintBothCharts(benchmark::State& state) {
  TRig rig(TMPXGraphForm::kChartRefreshMs);
  for (auto _ : state) {
    rig.Next(true, 22);
    benchmark::DoNotOptimize(rig.form.TimeChartPicture());
    benchmark::DoNotOptimize(rig.form.DeviationChartPicture());
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["table"] = rig.form.DeviationPointCount();
}
BENCHMARK(BM_SampleAndPaintBothCharts)->Unit(benchmark::kMicrosecond);

// 60 s of device time at 56 readings a second (16-20 ms apart) through the
// shown window, the time graph in front; after each reading, and after a
// held-back chart refresh at the time its timer would fire, one pass of the
// event loop paints whatever the window invalidated. Reports the CPU time per
// device-second and the headroom (device-seconds per CPU-second).
static void BM_RealRateDeviceMinute(benchmark::State& state) {
  constexpr int64_t kDeviceMs = 60000;
  TRig rig(1);
  rig.form.pages->setCurrentIndex(0);
  rig.form.show();
  QApplication::processEvents();
  int readings = 0;
  const int refreshesBefore = rig.form.ChartRefreshCount();
  for (auto _ : state) {
    for (int64_t t = 0; t < kDeviceMs;) {
      int64_t step = 16 + rig.Random() % 5;
      t += step;
      const int64_t due = rig.form.ChartRefreshDueMs();
      if (due >= 0 && due <= rig.clock.SteadyMs() + step) {
        const int64_t wait = std::max<int64_t>(0, due - rig.clock.SteadyMs());
        rig.clock.Fake.Advance(wait);
        step -= wait;
        rig.form.RefreshHeldBackCharts();
        QApplication::processEvents();
      }
      rig.Next(true, step);
      QApplication::processEvents();
      ++readings;
    }
  }
  const double deviceSeconds = double(kDeviceMs) / 1000 * double(state.iterations());
  state.counters["readings_per_s"] = readings / deviceSeconds;
  state.counters["refreshes_per_s"] = (rig.form.ChartRefreshCount() - refreshesBefore) / deviceSeconds;
  // Divided by the CPU time: device-seconds per CPU-second, and its inverse
  // in CPU-milliseconds per device-second.
  state.counters["headroom"] = benchmark::Counter(deviceSeconds, benchmark::Counter::kIsRate);
  state.counters["cpu_ms_per_device_s"] =
      benchmark::Counter(deviceSeconds / 1000, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RealRateDeviceMinute)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
