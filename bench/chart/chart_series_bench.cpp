// Series paths of the band analyzer's chart: a scan of 2,600 points smoothed
// to 601 through a series with the smoothing function (target: at most
// 100 us), and a refill chain of three series linked one to the next, each
// copying 2,600 points (target: at most 1 ms).
#include <benchmark/benchmark.h>

#include <cmath>

#include "chart/ChartSplineFunction.h"
#include "support/QtApp.h"

namespace {
struct ScanChart {
  TCustomAxisPanel* panel;
  TChartSeries* scan;
  ScanChart() {
    EnsureQApplication();
    panel = new TCustomAxisPanel;
    scan = panel->AddSeries(std::make_unique<TChartSeries>());
    scan->BeginUpdate();
    for (int i = 0; i < 2600; ++i) scan->AppendPoint(87.0 + i * 0.0081, 8 + 6 * std::sin(i * 0.37) + (i * 7919 % 13) * 0.1);
    scan->EndUpdate();
  }
  ~ScanChart() { delete panel; }
  TChartSeries* Linked(TChartSeries* source) {
    TChartSeries* s = panel->AddSeries(std::make_unique<TChartSeries>());
    s->SetDataSource(source);
    return s;
  }
};
}  // namespace

static void BM_SmoothSeries2600To601(benchmark::State& state) {
  ScanChart c;
  TChartSeries* smooth = c.panel->AddSeries(std::make_unique<TChartSeries>());
  auto f = std::make_unique<TSmoothingFunction>();
  f->SetFactor(10);
  f->SetInterpolate(state.range(0) != 0);
  smooth->AttachFunction(std::move(f));
  smooth->SetDataSource(c.scan);
  for (auto _ : state) smooth->RefreshFromSource();
  if (smooth->Count() != 601) state.SkipWithError("not 601 points");
}
BENCHMARK(BM_SmoothSeries2600To601)->Arg(0)->Arg(1)->ArgName("interpolate")->Unit(benchmark::kMicrosecond);

static void BM_RefillChainOfThree(benchmark::State& state) {
  ScanChart c;
  TChartSeries* first = c.Linked(c.scan);
  TChartSeries* last = c.Linked(c.Linked(first));
  for (auto _ : state) first->RefreshFromSource();
  if (last->Count() != 2600) state.SkipWithError("chain not refilled");
}
BENCHMARK(BM_RefillChainOfThree)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
