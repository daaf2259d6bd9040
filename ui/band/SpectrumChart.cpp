#include "ui/band/SpectrumChart.h"

#include <algorithm>

#include "chart/ChartSplineFunction.h"

double SearchBandStart(int SearchStopLevel) {
  const double start[] = {3.0, 5.0, 7.0, 10.0};
  return start[std::clamp(SearchStopLevel, 0, 3)];
}

void VetoOutsideBand(TChartAxis& axis, double& aMin, double& aMax, bool& allow) {
  if (axis.Horizontal() && !axis.OtherSide() && (aMax > 108.0 || aMin < 87.0)) allow = false;
}

TSpectrumChart MakeSpectrumChart(int SearchStopLevel) {
  TSpectrumChart f;
  f.Chart = MakePlainChart(2, 18, 4, 0, 1000, 400);
  TChart& c = *f.Chart;
  c.Title().Text = {"Spectrum"};
  c.Title().AdjustFrame = false;
  c.Zoom().Direction = tzdHorizontal;
  c.AllowPanning = pmHorizontal;
  TChartAxis& b = c.BottomAxis();
  b.FixRange(87.0, 108.0);
  b.SetAxisValuesFormat("#,##0.### MHz");
  b.SetLabelStyle(talValue);
  b.SetLabelsOnAxis(false);
  // A label centred on the axis' last (or first) pixels would hang over the
  // chart's edge: it moves in until it is whole.
  b.OnDrawLabel = [&c](TChartAxis& axis, int& x, int&, int&, std::string& text, bool&) {
    const int half = c.AxisMeasure().TextWidth(axis.LabelsFont(), text) / 2 + 1;
    const TRect& f = c.FrameBounds;
    x = std::max(f.Left + half, std::min(x, f.Right - half));
  };
  c.LeftAxis().FixRange(0, 18.0);
  // Chart texts are Latin-1, as the device-context layer draws them; each
  // label is the dBuV value of the raw level.
  const char* labels[] = {"dB\xB5V", "1.9",  "7.9",  "11.6", "15.3", "19.2", "22.9", "26.7", "30.4", "34.2",
                          "38.0",    "41.7", "45.5", "49.2", "53.0", "60.0", "67.0", "74.0", "81.0"};
  TAxisItems items(c.LeftAxis());
  for (int i = 0; i < 19; ++i) items.Add(i, labels[i]);

  f.Discrete = AddChartSeries<TFastLineSeries>(c, clRed, "Discrete");
  f.Smooth = AddChartSeries<TFastLineSeries>(c, TColor(0xFF0000), "Smooth");
  f.SmoothArea = AddChartSeries<TAreaSeries>(c, TColor(0xFF0000), "SmoothArea");
  f.SmoothMarks = AddChartSeries<TFastLineSeries>(c, TColor(0xFF0000), "SmoothMarks");
  // Every scan point is drawn as one new segment, without a repaint.
  f.Discrete->SetAutoRepaint(false);
  f.Discrete->SetStockPenMode(true);
  auto smoothing = std::make_unique<TSmoothingFunction>();
  smoothing->SetFactor(10);
  smoothing->SetInterpolate(false);
  smoothing->SetPeriod(1);
  f.Smooth->AttachFunction(std::move(smoothing));
  f.Smooth->SetDataSource(f.Discrete);
  f.SmoothArea->LinePen().Hide();
  f.SmoothArea->AreaLinesPen().Hide();
  f.SmoothArea->SetDataSource(f.Smooth);
  f.SmoothMarks->LinePen().Hide();
  f.SmoothMarks->Marks().SetMultiLine(true);
  f.SmoothMarks->SetDataSource(f.Smooth);

  constexpr TColor kCursorGreen = 0x408000;
  f.ChartToolH = MakeCursorTool(c, cssHorizontal, kCursorGreen, nullptr);
  f.ChartToolV = MakeCursorTool(c, cssVertical, kCursorGreen, f.Smooth);
  f.SSLevel = MakeBandTool(c, TColor(0x808040), 70, SearchBandStart(SearchStopLevel), 15.0);
  return f;
}
