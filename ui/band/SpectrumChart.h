#pragma once
// The band analyzer's spectrum chart as the window lays it out: the scan
// points (Discrete), their smoothed curve (Smooth, through the smoothing
// function), the area under it, the station labels (the marks of
// SmoothMarks), the reference and marker cursors and the search band.
#include <memory>

#include "chart/Chart.h"
#include "chart/ChartSetup.h"
#include "chart/ChartTools.h"
#include "chart/Series.h"

struct TSpectrumChart {
  std::unique_ptr<TChart> Chart;
  TFastLineSeries* Discrete = nullptr;
  TFastLineSeries* Smooth = nullptr;
  TAreaSeries* SmoothArea = nullptr;
  TFastLineSeries* SmoothMarks = nullptr;
  // The reference level, the marker snapped to Smooth, and the search band
  // (declared after the chart, so they leave it before it goes).
  std::unique_ptr<TCursorTool> ChartToolH, ChartToolV;
  std::unique_ptr<TColorBandTool> SSLevel;
};

// Start of the search band for the settings' search-stop level 0..3.
double SearchBandStart(int SearchStopLevel);
// The empty chart, 87..108 MHz by 0..18 raw levels, 1000 x 400 pixels.
TSpectrumChart MakeSpectrumChart(int SearchStopLevel = 0);
// The band analyzer's refusal to pan the bottom axis beyond 87..108 MHz.
void VetoOutsideBand(TChartAxis& axis, double& aMin, double& aMax, bool& allow);
