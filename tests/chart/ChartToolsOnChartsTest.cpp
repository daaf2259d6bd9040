// The cursor and band tools on the program's own charts, through the chart's
// window: dragging and snapping, the hit tolerance, the blended search band.
#include <QTest>

#include <gtest/gtest.h>

#include "support/ChartFixtures.h"
#include "support/QtApp.h"

namespace {

QPoint At(int x, int y) { return {x, y}; }

// Drags `cursor` from its place through the pixels of `values` on the bottom
// axis and checks it snapped to `series` with a change per move and a snap
// event per new point.
void DragSnaps(TChart& c, TCursorTool& cursor, TChartSeries& series, const std::vector<double>& values,
               int snapEvents, const char* name) {
  TChartHost host(c);
  host.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
  c.Paint();
  int changes = 0, snaps = 0, last = -2;
  cursor.OnChange = [&](TCursorTool&, int, int, double, double, TChartSeries*, int i) { ++changes, last = i; };
  cursor.OnSnapChange = [&](TCursorTool&, int, int, double, double, TChartSeries*, int) { ++snaps; };
  const int y = c.TCustomChartPanel::PlotRect.Top + 30;
  QTest::mousePress(&host, Qt::LeftButton, {}, At(cursor.CursorPixelX(), y));
  EXPECT_EQ(cursor.Dragging(), 2) << name;
  for (double v : values) QTest::mouseMove(&host, At(c.BottomAxis().PixelOfValue(v), y));
  QTest::mouseRelease(&host, Qt::LeftButton, {}, At(c.BottomAxis().PixelOfValue(values.back()), y));
  EXPECT_EQ(changes, int(values.size())) << name;
  EXPECT_EQ(snaps, snapEvents) << name;
  ASSERT_GE(last, 0) << name;
  EXPECT_EQ(cursor.XValue(), series.XValue(last)) << name;
  EXPECT_EQ(cursor.CursorPixelX(), c.BottomAxis().PixelOfValue(series.XValue(last))) << name;
  EXPECT_EQ(cursor.Dragging(), 0) << name;
  cursor.OnChange = nullptr, cursor.OnSnapChange = nullptr;
}

QRgb Rgb(int r, int g, int b) { return qRgb(r, g, b) & 0xFFFFFF; }

// The chart white, without grids or series, so only the band shows.
QImage BandAlone(TChart& c) {
  c.SetColor(clWhite);
  for (TChartAxis* a : {&c.BottomAxis(), &c.LeftAxis()}) a->Grid().Hide();
  for (TChartSeries* s : c.SeriesList()) s->SetActive(false);
  c.Paint();
  return c.WindowImage();
}

}  // namespace

TEST(ChartToolsOnCharts, VerticalCursorDragSnapsToTheSeries) {
  EnsureQApplication();
  auto spectrum = MakeSpectrum();
  // Two moves to one pixel land on one point: one snap event for them.
  DragSnaps(*spectrum.Chart, *spectrum.ChartToolV, *spectrum.Smooth, {95.0, 95.0, 100.0}, 2, "Spectrum");
  auto dev = MakeDevChart();
  // 50.2 and 50.4 kHz share the point at 50 kHz.
  DragSnaps(*dev.Chart, *dev.DEVVTool, *dev.DevSerie, {50.2, 50.4, 80.0, 20.0}, 3, "DevChart");
  EXPECT_EQ(dev.DEVVTool->XValue(), 20.0);
}

TEST(ChartToolsOnCharts, PressTwoPixelsFromTheMarkerHitsAndThreeDoesNot) {
  EnsureQApplication();
  auto f = MakeSpectrum();
  TChart& c = *f.Chart;
  TChartHost host(c);
  host.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
  c.Paint();
  // Off the other line: x at 90 MHz, y 30 px into the plot.
  const int x = c.BottomAxis().PixelOfValue(90.0), y = c.TCustomChartPanel::PlotRect.Top + 30;
  const struct {
    TCursorTool& tool;
    int dx, dy, dragging;
  } cases[] = {{*f.ChartToolV, -2, 0, 2}, {*f.ChartToolV, 2, 0, 2}, {*f.ChartToolV, 3, 0, 0},
               {*f.ChartToolV, -3, 0, 0}, {*f.ChartToolH, 0, -2, 1}, {*f.ChartToolH, 0, 3, 0}};
  for (const auto& k : cases) {
    const QPoint p = At(k.dx ? k.tool.CursorPixelX() + k.dx : x, k.dy ? k.tool.CursorPixelY() + k.dy : y);
    QTest::mousePress(&host, Qt::LeftButton, {}, p);
    EXPECT_EQ(k.tool.Dragging(), k.dragging) << k.dx << "," << k.dy;
    QTest::mouseRelease(&host, Qt::LeftButton, {}, p);
  }
}

TEST(ChartToolsOnCharts, TransparentBandsBlendWithTheWhiteChartUpToTheirEdges) {
  EnsureQApplication();
  auto spectrum = MakeSpectrum(0, 0);
  auto mpx = MakeMpxChart(0);
  struct Case {
    const char* name;
    TChart& chart;
    TColorBandTool& band;
    QRgb blended;
  } cases[] = {
      // $808040 at 70 %: 0.3 of the colour, 0.7 of white, truncated.
      {"SSLevel", *spectrum.Chart, *spectrum.SSLevel, Rgb(197, 216, 216)},
      {"MPXArea", *mpx.Chart, *mpx.MPXArea, Rgb(204, 229, 204)},
  };
  for (const Case& k : cases) {
    const QImage img = BandAlone(k.chart);
    const TChartAxis& left = k.chart.LeftAxis();
    const TRect& plot = k.chart.TCustomChartPanel::PlotRect;
    const int top = left.PixelOfValue(k.band.EndValue()), bottom = left.PixelOfValue(k.band.StartValue());
    // Clear of the cursors, which start in the middle.
    const int mid = (3 * plot.Left + plot.Right) / 4, row = (3 * top + bottom) / 4;
    // The fill covers both values' rows up to the frame (two pixels wide on
    // the right, drawn over the band). The
    // blend reaches one row further, where the untouched white comes back
    // with red 254: the blend's mark of a white pixel.
    const struct {
      int x, y;
      QRgb rgb;
    } points[] = {{mid, top, k.blended},           {mid, bottom, k.blended},    {plot.Left + 1, row, k.blended},
                  {plot.Right - 2, row, k.blended}, {mid, top - 1, Rgb(255, 255, 255)},
                  {mid, bottom + 1, Rgb(254, 255, 255)}, {mid, bottom + 2, Rgb(255, 255, 255)}};
    for (const auto& p : points) EXPECT_EQ(img.pixel(p.x, p.y) & 0xFFFFFF, p.rgb) << k.name << " " << p.x << "," << p.y;
  }
}

TEST(ChartToolsOnCharts, BandWhollyAboveTheAxisDrawsNothing) {
  EnsureQApplication();
  auto f = MakeSpectrum(0, 0);
  f.SSLevel->SetActive(false);
  const QImage without = BandAlone(*f.Chart);
  f.SSLevel->SetActive(true);
  f.SSLevel->SetStartValue(18.5);
  f.SSLevel->SetEndValue(25);
  EXPECT_TRUE(f.SSLevel->BoundsRect().IsEmpty());
  EXPECT_EQ(BandAlone(*f.Chart), without);
  f.SSLevel->SetStartValue(17);  // reaching into the range it shows again
  EXPECT_NE(BandAlone(*f.Chart), without);
}
