#include "support/ChartFixtures.h"

#include <algorithm>
#include <cmath>

#include "controls/ChartSetup.h"
#include "controls/ChartSplineFunction.h"

namespace {

std::unique_ptr<TChart> PlainChart(int left, int right, int top, int width, int height) {
  return MakePlainChart(left, top, right, 0, width, height);
}

// A level in raw units (0..18) of a band with a few stations on a noise floor.
double SpectrumLevel(double mhz) {
  double level = 1.5 + 0.4 * std::sin(mhz * 37.0);
  for (double st : {88.3, 91.7, 94.2, 98.5, 101.1, 104.6, 107.3})
    level += 14.0 * std::exp(-std::pow((mhz - st) / 0.08, 2));
  return level;
}

}  // namespace

void VetoOutsideBand(TChartAxis& axis, double& aMin, double& aMax, bool& allow) {
  if (axis.Horizontal() && !axis.OtherSide() && (aMax > 108.0 || aMin < 87.0)) allow = false;
}

TSpectrumFixture MakeSpectrum(int points, int stations, int searchStopLevel) {
  TSpectrumFixture f;
  f.Chart = PlainChart(2, 4, 18, 1000, 400);
  TChart& c = *f.Chart;
  c.AllowPanning = pmHorizontal;
  c.Title().Text = {"Spectrum"};
  c.Title().AdjustFrame = false;
  c.Zoom().Direction = tzdHorizontal;
  TChartAxis& b = c.BottomAxis();
  b.FixRange(87.0, 108.0);
  b.SetAxisValuesFormat("#,##0.### MHz");
  b.SetLabelStyle(talValue);
  b.SetLabelsOnAxis(false);
  c.LeftAxis().FixRange(0, 18.0);
  // Chart texts are Latin-1, as the device-context layer draws them.
  const char* labels[] = {"dB\xB5V", "1.9",  "7.9",  "11.6", "15.3", "19.2", "22.9", "26.7", "30.4", "34.2",
                          "38.0", "41.7", "45.5", "49.2", "53.0", "60.0", "67.0", "74.0", "81.0"};
  TAxisItems items(c.LeftAxis());
  for (int i = 0; i < 19; ++i) items.Add(i, labels[i]);

  f.Discrete = AddChartSeries<TFastLineSeries>(c, clRed, "Discrete");
  f.Smooth = AddChartSeries<TFastLineSeries>(c, TColor(0xFF0000), "Smooth");
  f.SmoothArea = AddChartSeries<TAreaSeries>(c, TColor(0xFF0000), "SmoothArea");
  f.SmoothMarks = AddChartSeries<TFastLineSeries>(c, TColor(0xFF0000), "SmoothMarks");
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

  f.Discrete->BeginUpdate();
  for (int i = 0; i < points; ++i) {
    const double mhz = 87.5 + 20.5 * i / std::max(1, points - 1);
    f.Discrete->AppendPoint(mhz, SpectrumLevel(mhz));
  }
  f.Discrete->EndUpdate();
  TFastLineSeries& m = *f.SmoothMarks;
  m.Marks().SetVisible(m.Count() > 0 && stations > 0);
  for (int i = 0; i < m.Count(); ++i) m.Marks().Item(i).SetVisible(false);
  const double found[] = {88.3, 94.2, 98.5, 101.1, 104.6, 107.3};
  for (int k = 0; k < stations && k < 6 && m.Count() > 0; ++k) {
    int best = 0;
    for (int i = 0; i < m.Count(); ++i)
      if (std::abs(m.XValue(i) - found[k]) < std::abs(m.XValue(best) - found[k])) best = i;
    char text[32];
    std::snprintf(text, sizeof text, "%3.1f MHz\r", found[k]);
    m.SetLabelAt(best, text);
    m.Marks().Item(best).SetVisible(true);
    m.Marks().Item(best).SetColor(TColor(0x02AAFFAA));
  }
  constexpr TColor kCursorGreen = 0x408000;
  f.ChartToolH = MakeCursorTool(c, cssHorizontal, kCursorGreen, nullptr);
  f.ChartToolV = MakeCursorTool(c, cssVertical, kCursorGreen, f.Smooth);
  const double searchStart[] = {3.0, 5.0, 7.0, 10.0};
  f.SSLevel = MakeBandTool(c, TColor(0x808040), 70, searchStart[std::clamp(searchStopLevel, 0, 3)], 15.0);
  return f;
}

TMpxFixture MakeMpxChart(int points, double start) {
  TMpxFixture f = MakeMPXTimeChart();
  constexpr double ms = 1.1574074074e-08;
  f.Chart->BottomAxis().FixRange(start, start + std::max(1, points) * ms);
  f.MPXSeries->BeginUpdate();
  for (int i = 0; i < points; ++i)
    f.MPXSeries->AppendPoint(start + i * ms, 60 + 25 * std::sin(i * 0.05) + 8 * std::sin(i * 0.71));
  f.MPXSeries->EndUpdate();
  return f;
}

TColor DeviationColor(double percent) { return percent < 40 ? clLime : percent < 75 ? clYellow : clRed; }

TDevFixture MakeDevChart(int points) {
  TDevFixture f = MakeMPXDevChart();
  f.DevSerie->BeginUpdate();
  for (int i = 0; i < points; ++i) {
    const double khz = 135.0 * i / std::max(1, points - 1);
    const double pct = 100 * std::exp(-std::pow(khz / 60, 2));
    f.DevSerie->AppendPoint(khz, pct, {}, DeviationColor(100 - pct));
  }
  f.DevSerie->EndUpdate();
  return f;
}

TZoomFixture MakeZoomChart() {
  TZoomFixture f;
  f.Chart = PlainChart(4, 4, 4, 600, 400);
  TChart& c = *f.Chart;
  c.Zoom().Allow = true;
  // A title and the flat back wall, which the program's charts do not show.
  c.Title().SetVisible(true);
  c.Title().Text = {"Zoom"};
  c.SetView3DWalls(true);
  c.BackWall().Transparent = false;
  c.BackWall().Color = TColor(0xE0FFFF);
  c.BottomAxis().FixRange(0, 100);
  c.LeftAxis().FixRange(0, 100);
  f.Line = AddChartSeries<TFastLineSeries>(c, clBlue, "Line");
  for (int i = 0; i <= 100; ++i) f.Line->AppendPoint(i, 50 + 40 * std::sin(i * 0.1));
  return f;
}
