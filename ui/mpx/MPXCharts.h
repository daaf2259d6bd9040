#pragma once
// The MPX analyzer's two charts with their series and tools, empty: the time
// graph of the last minute's deviation and the exceedance chart. The window
// shows them; benchmarks and chart tests fill them with made-up data.
//
// (Chart types only: keep this header out of units that also see the
// receiver's rectangle of the same name.)
#include <memory>

#include "chart/Chart.h"
#include "chart/ChartTools.h"
#include "chart/Series.h"

struct TMPXTimeChart {
  std::unique_ptr<TChart> Chart;
  TFastLineSeries* MPXSeries = nullptr;
  // The usual deviation band and the average line (declared after the chart,
  // so they leave it before it goes).
  std::unique_ptr<TColorBandTool> MPXArea;
  std::unique_ptr<TColorLineTool> AverageTool;
};
// Bottom axis date-time "hh:nn:ss", one-millisecond increment, range set by
// the owner; left axis -0.5 .. 130 kHz.
TMPXTimeChart MakeMPXTimeChart();

struct TMPXDevChart {
  std::unique_ptr<TChart> Chart;
  TAreaSeries* DevSerie = nullptr;
  std::unique_ptr<TCursorTool> DEVVTool;
  std::unique_ptr<TColorLineTool> DEVHTool;
};
// Bottom axis 0 .. 135 kHz, left axis 0 .. 100 %.
TMPXDevChart MakeMPXDevChart();
