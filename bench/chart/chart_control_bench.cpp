// Frames of the program's charts and the live trace's incremental drawing:
// a full spectrum frame at 1920 x 400 with 2,600 discrete and 601 smoothed
// points, station marks and the 19 custom level labels (target: at most
// 5 ms); the deviation chart's area with 10,000 coloured points (at most
// 10 ms); one point added to a live trace drawn as one segment (at most
// 20 us), on the MPX time graph and on the spectrum's discrete trace (its
// smoothed series are refilled by the scan, not by each point).
#include <benchmark/benchmark.h>

#include "support/ChartFixtures.h"
#include "support/QtApp.h"

namespace {

void Frame(TChart& c, benchmark::State& state) {
  c.Paint();
  for (auto _ : state) {
    c.Invalidate();
    c.Paint();
  }
}

void BM_SpectrumFrame(benchmark::State& state) {
  EnsureQApplication();
  auto f = MakeSpectrum(2600, 6);
  f.Chart->SetBounds(1920, 400);
  Frame(*f.Chart, state);
  state.counters["smooth_points"] = f.Smooth->Count();
}
BENCHMARK(BM_SpectrumFrame)->Unit(benchmark::kMillisecond);

void BM_DeviationArea10000(benchmark::State& state) {
  EnsureQApplication();
  auto f = MakeDevChart(10000);
  f.Chart->SetBounds(1920, 400);
  Frame(*f.Chart, state);
}
BENCHMARK(BM_DeviationArea10000)->Unit(benchmark::kMillisecond);

void BM_IncrementalAppendMpx(benchmark::State& state) {
  EnsureQApplication();
  auto f = MakeMpxChart(2000);
  TChart& c = *f.Chart;
  c.Paint();
  TFastLineSeries& s = *f.MPXSeries;
  double x = s.XValue(s.Count() - 1);
  constexpr double ms = 1.1574074074e-08;
  // Inside the visible window, so every segment is drawn and shown.
  c.BottomAxis().FixRange(x - 2000 * ms, x + 1e7 * ms);
  c.Paint();
  int i = 0;
  for (auto _ : state) s.AppendPoint(x += ms, 60 + (i++ % 50));
}
BENCHMARK(BM_IncrementalAppendMpx)->Unit(benchmark::kMicrosecond);

void BM_IncrementalAppendSpectrum(benchmark::State& state) {
  EnsureQApplication();
  auto f = MakeSpectrum(2600, 0);
  TChart& c = *f.Chart;
  c.SetBounds(1920, 400);
  c.Paint();
  TFastLineSeries& d = *f.Discrete;
  double x = 108.0;
  int i = 0;
  for (auto _ : state) d.AppendPoint(x += 1e-6, 5 + (i++ % 10));
}
BENCHMARK(BM_IncrementalAppendSpectrum)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
