#pragma once
// The set-up the program's charts share: a plain flat chart (no legend, title,
// walls, zoom or bevel; margins in pixels), series added with their colour and
// ascending X, and the tools on the left axis that the analyzers use.
#include <memory>

#include "chart/Chart.h"
#include "chart/ChartTools.h"

std::unique_ptr<TChart> MakePlainChart(int Left, int Top, int Right, int Bottom, int Width, int Height);

template <class T>
T* AddChartSeries(TChart& Chart, TColor Color, const char* Name) {
  auto s = std::make_unique<T>();
  s->Name = Name;
  s->SetSeriesColor(Color);
  s->XValues().SetOrder(loAscending);
  return Chart.AddSeries(std::move(s));
}

// A cursor with a pen of width 2, snapping to SnapTo when given.
std::unique_ptr<TCursorTool> MakeCursorTool(TChart& Chart, TCursorToolStyle Style, TColor Color,
                                            TChartSeries* SnapTo);
// A band on the left axis drawn behind the axes, without a pen.
std::unique_ptr<TColorBandTool> MakeBandTool(TChart& Chart, TColor Color, int Transparency, double Start,
                                             double End);
// A fixed (not draggable) flat line on the left axis.
std::unique_ptr<TColorLineTool> MakeLineTool(TChart& Chart, TColor Color, TPenStyle Style);
