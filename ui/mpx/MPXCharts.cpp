#include "ui/mpx/MPXCharts.h"

#include "chart/ChartSetup.h"

namespace {
constexpr double kOneMsDays = 1.1574074074e-08;
constexpr int kWidth = 800, kHeight = 300;
}  // namespace

TMPXTimeChart MakeMPXTimeChart() {
  TMPXTimeChart f;
  f.Chart = MakePlainChart(2, 8, 2, 4, kWidth, kHeight);
  TChart& c = *f.Chart;
  TChartAxis& b = c.BottomAxis();
  b.DateTimeAxis = true;
  b.SetDateTimeFormat("hh:nn:ss");
  b.SetIncrement(kOneMsDays);
  c.LeftAxis().FixRange(-0.5, 130);
  f.MPXSeries = AddChartSeries<TFastLineSeries>(c, clRed, "MPXSeries");
  // Every new sample is drawn as one more segment, without a full repaint.
  f.MPXSeries->SetAutoRepaint(false);
  f.MPXSeries->SetStockPenMode(true);
  f.MPXArea = MakeBandTool(c, clGreen, 80, 40, 100);
  f.AverageTool = MakeLineTool(c, clBlue, psDash);
  return f;
}

TMPXDevChart MakeMPXDevChart() {
  TMPXDevChart f;
  f.Chart = MakePlainChart(2, 8, 4, 4, kWidth, kHeight);
  TChart& c = *f.Chart;
  c.BottomAxis().FixRange(0, 135);
  c.BottomAxis().SetAxisValuesFormat("#,##0.### KHz");
  c.LeftAxis().FixRange(0, 100);
  c.LeftAxis().SetAxisValuesFormat("#,##0.###%");
  f.DevSerie = AddChartSeries<TAreaSeries>(c, clGreen, "DevSerie");
  // One point per measured value: the lines between the points' areas
  // would bury the colours.
  f.DevSerie->AreaLinesPen().Hide();
  f.DEVVTool = MakeCursorTool(c, cssVertical, clGreen, f.DevSerie);
  f.DEVHTool = MakeLineTool(c, clRed, psDashDot);
  return f;
}
