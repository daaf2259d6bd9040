// Smoothing cost: a scan-sized source of 2,600 points smoothed to 601 points,
// as the band analyzer recomputes it when a scan ends (target: at most
// 100 us), approximating and interpolating.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "chart/ChartSpline.h"

static void BM_Smooth2600To601(benchmark::State& state) {
  std::vector<double> x, y;
  for (int i = 0; i < 2600; ++i) {
    x.push_back(87.0 + i * 0.0081);
    y.push_back(8 + 6 * std::sin(i * 0.37) + (i * 7919 % 13) * 0.1);
  }
  const bool interpolate = state.range(0) != 0;
  for (auto _ : state) benchmark::DoNotOptimize(BSplineSmooth(x, y, 10, interpolate));
}
BENCHMARK(BM_Smooth2600To601)->Arg(0)->Arg(1)->ArgName("interpolate")->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
