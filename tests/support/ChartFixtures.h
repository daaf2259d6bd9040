#pragma once
// The program's three charts as their windows set them up (spectrum of the
// band analyzer, the MPX analyzer's time graph and deviation chart), filled
// with plausible data, and one chart that allows zooming.
#include <memory>

#include "chart/Chart.h"
#include "chart/ChartTools.h"
#include "chart/Series.h"
#include "ui/band/SpectrumChart.h"
#include "ui/mpx/MPXCharts.h"

// The band analyzer's own chart, filled.
using TSpectrumFixture = TSpectrumChart;
// `points` discrete levels over 87.5..108 MHz (0 none); the smoothed series
// follow through the smoothing function. `stations` marks are shown.
// `searchStopLevel` 0..3 puts the search band's start at 3, 5, 7 or 10.
TSpectrumFixture MakeSpectrum(int points = 2600, int stations = 3, int searchStopLevel = 0);

using TMpxFixture = TMPXTimeChart;
// The window's charts with `points` samples, one a millisecond from `start` (days).
TMpxFixture MakeMpxChart(int points = 2000, double start = 46000.5);

using TDevFixture = TMPXDevChart;
// `points` deviation percentages over 0..135 kHz, green, yellow or red.
TDevFixture MakeDevChart(int points = 136);
// The program's colour of a deviation bin by its percentage.
TColor DeviationColor(double percent);

// A chart with a title, a back wall and one line that zooms with the left button.
struct TZoomFixture {
  std::unique_ptr<TChart> Chart;
  TFastLineSeries* Line = nullptr;
};
TZoomFixture MakeZoomChart();
