#include "support/ChartFixtures.h"

#include <algorithm>
#include <cmath>

#include "chart/ChartSetup.h"
#include "chart/ChartSplineFunction.h"

namespace {

// A level in raw units (0..18) of a band with a few stations on a noise floor.
double SpectrumLevel(double mhz) {
  double level = 1.5 + 0.4 * std::sin(mhz * 37.0);
  for (double st : {88.3, 91.7, 94.2, 98.5, 101.1, 104.6, 107.3})
    level += 14.0 * std::exp(-std::pow((mhz - st) / 0.08, 2));
  return level;
}

}  // namespace

TSpectrumFixture MakeSpectrum(int points, int stations, int searchStopLevel) {
  TSpectrumFixture f = MakeSpectrumChart(searchStopLevel);
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
  f.Chart = MakePlainChart(4, 4, 4, 0, 600, 400);
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
