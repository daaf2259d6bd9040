// Costs of the number texts that edit boxes and chart axes produce and read.
#include <benchmark/benchmark.h>

#include "platform/ExLibVCL.h"
#include "controls/NumberEditModel.h"

static void BM_FormatFloatAxisLabel(benchmark::State& state) {
  double v = 87.0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatFloat("#,##0.###", v));
    v += 0.1;
  }
}
BENCHMARK(BM_FormatFloatAxisLabel);

static void BM_FormatFloatSectionsAndExponent(benchmark::State& state) {
  double v = -12345.678;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatFloat("0.00E+00;(0.00E+00);\"zero\"", v));
    v *= -1.0001;
  }
}
BENCHMARK(BM_FormatFloatSectionsAndExponent);

static void BM_FloatToStr(benchmark::State& state) {
  double v = 1.0 / 3.0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FloatToStr(v));
    v += 1.0;
  }
}
BENCHMARK(BM_FloatToStr);

static void BM_StrToFloat(benchmark::State& state) {
  double v = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(TryStrToFloat(" 98.45E-1 ", v));
  }
}
BENCHMARK(BM_StrToFloat);

static void BM_TypingTest(benchmark::State& state) {
  TNumberEditModel m;
  m.SetMinValue(87.0);
  m.SetMaxValue(108.0);
  m.SetDecimalPlaces(1);
  m.SetDisplayFormat("#.0");
  for (auto _ : state) benchmark::DoNotOptimize(m.IsValidChar("98.", 3, 0, '5'));
}
BENCHMARK(BM_TypingTest);

BENCHMARK_MAIN();
