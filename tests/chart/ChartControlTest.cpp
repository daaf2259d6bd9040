// The chart control and its two series on the program's charts: mouse
// panning, zooming, the wheel, click order, incremental drawing, fills.
#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <cmath>

#include <gtest/gtest.h>

#include "support/ChartFixtures.h"
#include "support/QtApp.h"

namespace {

QRgb Rgb(TColor c) { return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
QRgb PixelAt(TChart& c, int x, int y) {
  c.Paint();
  return c.WindowImage().pixel(x, y);
}

class RecordingTool : public TChartCustomTool {
 public:
  std::vector<int> Heard;
  bool Take = false;  // takes every press, as a tool under the mouse does
  void NotifyMouseAction(TChartMouseEventKind e, TMouseButton, TShiftState, int, int) override {
    Heard.push_back(int(e));
    if (Take && e == kToolMouseDown) ParentChart()->StopMouseBroadcast = true;
  }
};

}  // namespace

TEST(ChartControlScreenshot, ProgramCharts) {
  EnsureQApplication();
  auto spectrum = MakeSpectrum();
  auto mpx = MakeMpxChart();
  auto dev = MakeDevChart();
  auto zoom = MakeZoomChart();
  const std::pair<TChart*, const char*> charts[] = {
      {spectrum.Chart.get(), "chart_spectrum"}, {mpx.Chart.get(), "chart_mpx"},
      {dev.Chart.get(), "chart_deviation"}, {zoom.Chart.get(), "chart_zoom"}};
  for (auto [chart, name] : charts) {
    TChartHost host(*chart);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    SaveScreenshot(&host, name);
    EXPECT_FALSE(chart->Canvas().BufferStale()) << name;
  }
  // The deviation fill reaches the bottom edge of the plot in its point's colour.
  TChart& d = *dev.Chart;
  const TRect& p = d.TCustomChartPanel::PlotRect;
  EXPECT_EQ(PixelAt(d, p.Left + 3, p.Bottom - 1), Rgb(DeviationColor(0)));
}

TEST(ChartControlTest, SpectrumRightDragPansHorizontalAxesWithinTheBand) {
  EnsureQApplication();
  auto f = MakeSpectrum(400, 0);
  TChart& c = *f.Chart;
  c.BottomAxis().FixRange(102.5, 107.5);
  int scrolls = 0, asksBottom = 0, asksTop = 0;
  c.OnScroll = [&](TCustomAxisPanel&) { ++scrolls; };
  c.OnAllowScroll = [&](TChartAxis& a, double& lo, double& hi, bool& allow) {
    (&a == &c.BottomAxis() ? asksBottom : asksTop)++;
    VetoOutsideBand(a, lo, hi, allow);
  };
  TChartHost host(c);
  host.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
  c.Paint();
  const QPoint start(500, 200);
  QTest::mousePress(&host, Qt::RightButton, {}, start);
  const int steps = 12;
  for (int i = 1; i <= steps; ++i) QTest::mouseMove(&host, start - QPoint(30 * i, 0));
  QTest::mouseRelease(&host, Qt::RightButton, {}, start - QPoint(30 * steps, 0));
  EXPECT_EQ(scrolls, steps);
  EXPECT_EQ(asksBottom, steps);
  EXPECT_EQ(asksTop, steps);
  EXPECT_LE(c.BottomAxis().Maximum(), 108.0);
  EXPECT_GT(c.BottomAxis().Maximum(), 107.5);  // it moved until the veto held it
  EXPECT_FALSE(c.TopAxis().Automatic());        // the top axis was moved too
  EXPECT_DOUBLE_EQ(c.LeftAxis().Maximum(), 18.0);

  // The left button neither zooms nor pans.
  const double lo = c.BottomAxis().Minimum();
  QTest::mousePress(&host, Qt::LeftButton, {}, start);
  QTest::mouseMove(&host, start + QPoint(100, 50));
  QTest::mouseRelease(&host, Qt::LeftButton, {}, start + QPoint(100, 50));
  EXPECT_EQ(c.BottomAxis().Minimum(), lo);
  EXPECT_EQ(scrolls, steps);

  // A wheel notch down scrolls the left axis by 3 % of its range; a fine
  // wheel sends it in quarters.
  for (int i = 0; i < 4; ++i) {
    QWheelEvent wheel(QPointF(start), QPointF(host.mapToGlobal(start)), {}, QPoint(0, -30), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&host, &wheel);
  }
  EXPECT_NEAR(c.LeftAxis().Minimum(), 0.54, 1e-9);
  EXPECT_NEAR(c.LeftAxis().Maximum(), 18.54, 1e-9);

  // The pointer over the reference line shows the split arrow, and the
  // chart's own arrow again once it is off it.
  c.Paint();
  const int ref = c.LeftAxis().PixelOfValue(f.ChartToolH->YValue());
  QTest::mouseMove(&host, QPoint(400, ref));
  EXPECT_EQ(host.cursor().shape(), Qt::SplitVCursor);
  QTest::mouseMove(&host, QPoint(400, ref + 40));
  EXPECT_EQ(host.cursor().shape(), Qt::ArrowCursor);
}

TEST(ChartControlTest, ZoomDragToTheRightZoomsAndToTheLeftUndoes) {
  EnsureQApplication();
  auto f = MakeZoomChart();
  TChart& c = *f.Chart;
  TChartHost host(c);
  host.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
  for (bool allow : {false, true}) {
    c.SetAllowZoom(allow);
    c.Paint();
    QTest::mousePress(&host, Qt::LeftButton, {}, QPoint(150, 250));  // right and up
    QTest::mouseMove(&host, QPoint(300, 150));
    QTest::mouseRelease(&host, Qt::LeftButton, {}, QPoint(300, 150));
    EXPECT_EQ(c.Zoomed, allow);
  }
  EXPECT_GT(c.BottomAxis().Minimum(), 20);
  EXPECT_LT(c.BottomAxis().Maximum(), 55);
  c.Paint();
  QTest::mousePress(&host, Qt::LeftButton, {}, QPoint(300, 250));
  QTest::mouseMove(&host, QPoint(150, 150));
  QTest::mouseRelease(&host, Qt::LeftButton, {}, QPoint(150, 150));
  EXPECT_FALSE(c.Zoomed);
  EXPECT_EQ(c.BottomAxis().Minimum(), 0);
  EXPECT_EQ(c.BottomAxis().Maximum(), 100);
  EXPECT_FALSE(c.HasSavedRanges());
}

TEST(ChartControlTest, AnimatedZoomRepaintsOnceAStepAndLandsExactly) {
  EnsureQApplication();
  auto f = MakeZoomChart();
  TChart& c = *f.Chart;
  c.SetAnimatedZoom(true);
  c.SetAnimatedZoomSteps(5);
  int draws = 0, zooms = 0;
  std::vector<double> minima;
  c.OnAfterDraw = [&](TCustomAxisPanel&) { ++draws, minima.push_back(c.BottomAxis().Minimum()); };
  c.OnZoom = [&](TCustomAxisPanel&) { ++zooms; };
  c.ZoomToRanges(0, 1, 30, 60, 10, 20, 0, 1);
  EXPECT_EQ(draws, 4);
  EXPECT_EQ(zooms, 1);
  ASSERT_EQ(minima.size(), 4u);
  EXPECT_DOUBLE_EQ(minima[0], 10);  // one third of the way from 0 to 30
  EXPECT_EQ(c.BottomAxis().Minimum(), 30);
  EXPECT_EQ(c.BottomAxis().Maximum(), 60);
  EXPECT_EQ(c.LeftAxis().Minimum(), 10);
  EXPECT_EQ(c.LeftAxis().Maximum(), 20);
  c.RevertZoom();
  EXPECT_EQ(c.LeftAxis().Maximum(), 100);
}

TEST(ChartControlTest, IncrementalAddDrawsOneSegmentWithoutRepaint) {
  EnsureQApplication();
  auto f = MakeSpectrum(0, 0);
  TChart& c = *f.Chart;
  TFastLineSeries& d = *f.Discrete;
  d.AppendPoint(90, 5);
  int draws = 0;
  c.OnAfterDraw = [&](TCustomAxisPanel&) { ++draws; };
  c.Paint();
  ASSERT_EQ(draws, 1);
  const QImage before = c.WindowImage().copy();
  d.AppendPoint(95, 12);
  EXPECT_EQ(draws, 1);
  EXPECT_FALSE(c.Canvas().BufferStale());
  const QImage after = c.WindowImage();
  const int x0 = d.PointPixelX(0), x1 = d.PointPixelX(1), y0 = d.PointPixelY(0), y1 = d.PointPixelY(1);
  int changed = 0;
  for (int y = 0; y < after.height(); ++y)
    for (int x = 0; x < after.width(); ++x)
      if (after.pixel(x, y) != before.pixel(x, y)) {
        ++changed;
        EXPECT_TRUE(x >= x0 - 2 && x <= x1 + 2 && y >= std::min(y0, y1) - 2 && y <= std::max(y0, y1) + 2);
      }
  EXPECT_GE(changed, x1 - x0);
  EXPECT_EQ(after.pixel((x0 + x1) / 2, (y0 + y1) / 2), Rgb(clRed));
  // The buffer holds the segment too: a repaint from it shows the same.
  c.Paint();
  EXPECT_EQ(c.WindowImage(), after);
}

TEST(ChartControlTest, FastLineSameColumnPointsAndPlotEdges) {
  EnsureQApplication();
  auto f = MakeZoomChart();
  TChart& c = *f.Chart;
  TFastLineSeries& s = *f.Line;
  // Points in one column: with DrawAllPoints their stroke up shows.
  for (bool all : {true, false}) {
    s.Clear();
    for (auto [x, y] : {std::pair{0.0, 5.0}, {0.001, 90.0}, {0.002, 7.0}, {50.0, 20.0}}) s.AppendPoint(x, y);
    s.SetDrawAllPoints(all);
    c.Paint();
    EXPECT_EQ(c.WindowImage().pixel(s.PointPixelX(0), c.LeftAxis().PixelOfValue(60)) == Rgb(clBlue), all);
  }
  // Zoomed in between points, the line runs from the plot's left edge to its right.
  s.Clear();
  for (double x : {5, 15, 25}) s.AppendPoint(x, x == 15 ? 100 : 0);
  c.BottomAxis().FixRange(10, 20);
  c.Paint();
  for (double v : {10.5, 19.8}) {
    const int x = c.BottomAxis().PixelOfValue(v);
    bool drawn = false;
    for (int y = c.TCustomChartPanel::PlotRect.Top; y < c.TCustomChartPanel::PlotRect.Bottom; ++y)
      drawn = drawn || c.WindowImage().pixel(x, y) == Rgb(clBlue);
    EXPECT_TRUE(drawn) << v;
  }
}

TEST(ChartControlTest, AreaFillsEachSegmentInItsRightPointsColourDownToThePlotEdge) {
  EnsureQApplication();
  auto f = MakeDevChart(0);
  TChart& c = *f.Chart;
  c.LeftAxis().FixRange(-50, 100);
  TAreaSeries& a = *f.DevSerie;
  a.LinePen().Hide();
  a.AppendPoint(0, 50, {}, clRed);
  a.AppendPoint(40, 50, {}, clYellow);
  a.AppendPoint(80, 50, {}, clLime);
  c.Paint();
  const int bottom = c.TCustomChartPanel::PlotRect.Bottom - 1;
  EXPECT_EQ(c.WindowImage().pixel(c.BottomAxis().PixelOfValue(20), bottom), Rgb(clYellow));
  EXPECT_EQ(c.WindowImage().pixel(c.BottomAxis().PixelOfValue(60), bottom), Rgb(clLime));
  c.BottomAxis().FixRange(0, 60);  // the fill reaches the edge between two points
  c.Paint();
  EXPECT_EQ(c.WindowImage().pixel(c.TCustomChartPanel::PlotRect.Right - 1, bottom), Rgb(clLime));
  c.BottomAxis().FixRange(0, 135);
  // An origin below the values widens an automatic axis down to it.
  c.LeftAxis().SetAutomatic(true);
  a.SetUseYOrigin(true);
  a.SetYOrigin(-20);
  c.Paint();
  EXPECT_LE(c.LeftAxis().Minimum(), -20);
  // Stacking set on one area series stacks every area series of the chart.
  auto second = std::make_unique<TAreaSeries>();
  TAreaSeries* b = c.AddSeries(std::move(second));
  b->SetMultiArea(maStacked);
  EXPECT_EQ(a.MultiArea(), maStacked);
  // Stacked over an axis that starts above 0, the lowest area ends at the
  // plot's edge even unclipped.
  a.SetUseYOrigin(false);
  c.SetClipPoints(false);
  c.LeftAxis().FixRange(20, 150);
  for (int x : {0, 40, 80}) b->AppendPoint(x, 30);
  EXPECT_NE(PixelAt(c, c.BottomAxis().PixelOfValue(20), c.TCustomChartPanel::PlotRect.Bottom + 3), Rgb(clYellow));
  // A monochrome chart has no colour left.
  c.SetMonochrome(true);
  c.Paint();
  int coloured = 0;
  for (int y = 0; y < c.WindowImage().height(); ++y)
    for (int x = 0; x < c.WindowImage().width(); ++x) {
      const QRgb p = c.WindowImage().pixel(x, y);
      coloured += qRed(p) != qGreen(p) || qGreen(p) != qBlue(p);
    }
  EXPECT_EQ(coloured, 0);
  c.SetMonochrome(false);
  a.SetMultiArea(maStacked100);
  EXPECT_EQ(a.MaxYValue(), 100);
}

TEST(ChartControlTest, ToolsHearEachMouseActionOnceInTheirNumbering) {
  EnsureQApplication();
  auto f = MakeZoomChart();
  TChart& c = *f.Chart;
  c.Zoom().Allow = false;
  RecordingTool tool;
  tool.SetParentChart(&c);
  c.Paint();
  c.MouseDown(mbLeft, 0, 100, 100);
  c.MouseMove(0, 110, 100);
  c.MouseUp(mbLeft, 0, 110, 100);
  EXPECT_EQ(tool.Heard, (std::vector<int>{0, 1, 2}));
  // A press the tool takes reaches no click event and starts no zoom.
  c.Zoom().Allow = true;
  tool.Take = true;
  int clicks = 0;
  c.OnClickBackground = [&](TCustomChart&, TMouseButton, TShiftState, int, int) { ++clicks; };
  c.MouseDown(mbLeft, 0, 100, 100);
  EXPECT_EQ(clicks, 0);
  EXPECT_FALSE(c.Zoom().Active);
  c.MouseUp(mbLeft, 0, 100, 100);
  tool.Take = false;
  c.MouseDown(mbLeft, 0, 100, 100);
  EXPECT_EQ(clicks, 1);
  tool.SetParentChart(nullptr);
}

TEST(ChartControlTest, SeriesOwnClickFiresBeforeTheChartsAndLaterSeriesWins) {
  EnsureQApplication();
  auto f = MakeZoomChart();
  TChart& c = *f.Chart;
  auto over = std::make_unique<TFastLineSeries>();
  for (int i = 0; i <= 100; ++i) over->AppendPoint(i, 50 + 40 * std::sin(i * 0.1));
  TFastLineSeries* top = c.AddSeries(std::move(over));
  std::vector<std::string> order;
  f.Line->OnClick = [&](TChartSeries&, int, TMouseButton, TShiftState, int, int) { order.push_back("line"); };
  top->OnClick = [&](TChartSeries&, int, TMouseButton, TShiftState, int, int) { order.push_back("series"); };
  c.OnClickSeries = [&](TCustomChart&, TChartSeries& s, int, TMouseButton, TShiftState, int, int) {
    order.push_back(&s == top ? "chart" : "chart-line");
  };
  c.Paint();
  c.MouseDown(mbLeft, 0, top->PointPixelX(10), top->PointPixelY(10));
  EXPECT_EQ(order, (std::vector<std::string>{"series", "chart"}));
  EXPECT_FALSE(c.Zoom().Active);  // the handled press starts no zoom
}

TEST(ChartControlTest, IndexedListsAreChecked) {
  EnsureQApplication();
  auto f = MakeZoomChart();
  TChart& c = *f.Chart;
  EXPECT_EQ(c.GetSeries(-1), nullptr);
  EXPECT_EQ(c.GetSeries(1), nullptr);
  EXPECT_EQ(c.GetSeries(0), f.Line);
  c.ChoosePalette(4);
  EXPECT_EQ(c.ColorPaletteIndex, 4);
  c.ChoosePalette(10);
  c.ChoosePalette(-1);
  EXPECT_EQ(c.ColorPaletteIndex, 4);
  c.ChoosePalette(0);
  EXPECT_TRUE(c.PaletteColors.empty());
  EXPECT_THROW(c.Legend().SetFirstValue(-1), LegendException);
  EXPECT_EQ(c.Legend().FirstValue(), 0);
  EXPECT_EQ(c.Legend().LegendItemAt(10, 10), -1);
  TFastLineSeries* second = c.AddSeries(std::make_unique<TFastLineSeries>());
  c.Legend().SetCheckBoxesStyle(cbsRadio);
  EXPECT_TRUE(f.Line->Active());
  EXPECT_FALSE(second->Active());
  TSeriesPointer pointer;
  EXPECT_THROW(pointer.SetHorizSize(0), ChartException);
  EXPECT_THROW(pointer.SetVertSize(-2), ChartException);
  EXPECT_EQ(pointer.HorizSize(), 4);
  EXPECT_EQ(pointer.VertSize(), 4);
}

TEST(ChartControlTest, SeriesGroupsAndAxisItems) {
  EnsureQApplication();
  auto f = MakeSpectrum(50, 0);
  TSeriesGroup g;
  g.SetSeries({f.Discrete, f.Smooth, f.SmoothArea});
  f.SmoothArea->SetActive(false);
  EXPECT_EQ(g.Active(), gaSome);
  g.SetActive(gaSome);
  EXPECT_TRUE(f.Discrete->Active());
  g.SetActive(gaNo);
  EXPECT_EQ(g.Active(), gaNo);
  TAxisItems items(f.Chart->LeftAxis());
  EXPECT_EQ(items.Count(), 19);
  items.Clear();
  EXPECT_EQ(f.Chart->LeftAxis().LabelStyleInUse(), talValue);
}

TEST(ChartControlTest, StockPenModeNeedsTheDeviceContextPen) {
  TFastLineSeries s;
  ChartDCPenAvailable = false;
  s.SetStockPenMode(true);
  ChartDCPenAvailable = true;
  EXPECT_FALSE(s.StockPenMode());
  s.SetStockPenMode(true);
  EXPECT_TRUE(s.StockPenMode());
}

TEST(ChartControlTest, AfterDrawOverlayIsInTheBufferBeforeItIsShown) {
  EnsureQApplication();
  auto f = MakeMpxChart(10);
  TChart& c = *f.Chart;
  const TColor magenta = 0xFF00FF;
  c.OnAfterDraw = [&](TCustomAxisPanel&) {
    c.Canvas().DC().SetBrush({TDCBrushStyle::Solid, magenta, {}});
    c.Canvas().FillRect({5, 5, 15, 15});
  };
  EXPECT_EQ(PixelAt(c, 10, 10), Rgb(magenta));
  EXPECT_EQ(c.Canvas().Buffer().pixel(10, 10), Rgb(magenta));
}

TEST(ChartControlTest, FlatBackWallIsOnePixelLargerThanThePlotAndTitleTakesItsSpace) {
  EnsureQApplication();
  auto f = MakeZoomChart();
  TChart& c = *f.Chart;
  f.Line->SetActive(false);
  c.Paint();
  const TRect& p = c.TCustomChartPanel::PlotRect;
  EXPECT_EQ(c.WindowImage().pixel(p.Left + 5, p.Top + 5), Rgb(0xE0FFFF));
  EXPECT_EQ(c.WindowImage().pixel(p.Right, (p.Top + p.Bottom) / 2), Rgb(clBlack));
  EXPECT_GT(p.Top, c.Title().ShapeBounds.Bottom);
  EXPECT_EQ(c.PartAtPoint((c.Title().ShapeBounds.Left + c.Title().ShapeBounds.Right) / 2,
                          c.Title().ShapeBounds.Top + 2).Part, hpTitle);
}

// A step rises at the end of its segment, inverted at its start, on both
// series; a null point breaks the fast line unless nulls are ignored.
TEST(ChartControlTest, StairsAndNulls) {
  EnsureQApplication();
  TChart c;
  c.SetBounds(300, 200);
  c.SetView3D(false);
  c.Legend().SetVisible(false);
  TFastLineSeries* line = c.AddSeries(std::make_unique<TFastLineSeries>());
  TAreaSeries* area = c.AddSeries(std::make_unique<TAreaSeries>());
  line->SetSeriesColor(clFuchsia);
  for (TChartSeries* s : {static_cast<TChartSeries*>(line), static_cast<TChartSeries*>(area)})
    s->AppendPoint(0, 0), s->AppendPoint(1, 10);
  for (bool inverted : {false, true}) {
    line->SetStairs(true), line->SetInvertedStairs(inverted);
    area->SetStairs(true), area->SetInvertedStairs(inverted);
    const std::vector<TDCRecord> list = c.BuildMetafile(c.PanelRectangle()).Records;
    const int x0 = c.BottomAxis().PixelOfValue(0), x1 = c.BottomAxis().PixelOfValue(1);
    const int y0 = c.LeftAxis().PixelOfValue(0), y1 = c.LeftAxis().PixelOfValue(10);
    const TPoint corner = inverted ? TPoint{x0, y1} : TPoint{x1, y0};
    int lineCorners = 0, areaSteps = 0;
    for (const TDCRecord& r : list) {
      lineCorners += r.Op == TDCOp::LineTo && r.Pen.Color == clFuchsia && r.Args == std::vector<int>{corner.X, corner.Y};
      areaSteps += r.Op == TDCOp::Polygon && r.Points.size() == 4 && r.Points[0] == TPoint{x0, corner.Y} &&
                   r.Points[1] == TPoint{x1, corner.Y};
    }
    EXPECT_EQ(lineCorners, 1) << inverted;
    EXPECT_EQ(areaSteps, 1) << inverted;
  }
  line->SetStairs(false);
  line->AppendPoint(2, 5, {}, clNone);
  line->AppendPoint(3, 0);
  for (bool ignore : {true, false}) {
    line->SetIgnoreNulls(ignore);
    int lines = 0;
    for (const TDCRecord& r : c.BuildMetafile(c.PanelRectangle()).Records)
      lines += r.Op == TDCOp::LineTo && r.Pen.Color == clFuchsia;
    EXPECT_EQ(lines, ignore ? 3 : 2) << ignore;
  }
}

// The spectrum's labels as the band analyzer places them: a station on the
// measured point just below 87.0 MHz keeps its label, two stations 200 kHz
// apart both show theirs, the axis' last label is whole, and a marker just
// outside the range draws no line.
TEST(ChartControlTest, SpectrumLabelsAreWholeAndApart) {
  EnsureQApplication();
  TSpectrumChart f = MakeSpectrumChart();
  TChart& c = *f.Chart;
  const double stations[] = {87.0, 95.0, 95.2};
  f.Discrete->BeginUpdate();
  for (int i = 0; i <= 2100; ++i) {
    double mhz = 86.995 + 0.01 * i, y = 0;
    for (double at : stations) y += 11 * std::exp(-std::pow((mhz - at) / 0.04, 2));
    f.Discrete->AppendPoint(mhz, y);
  }
  f.Discrete->EndUpdate();
  TFastLineSeries& m = *f.SmoothMarks;
  m.Marks().SetVisible(true);
  for (int i = 0; i < m.Count(); ++i) m.Marks().Item(i).SetVisible(false);
  std::vector<int> marks;
  for (double at : stations) {
    int best = 0;
    for (int i = 0; i < m.Count(); ++i)
      if (std::abs(m.XValue(i) - at) < std::abs(m.XValue(best) - at)) best = i;
    m.SetLabelAt(best, "PI:5E07\r" + std::to_string(at) + "\rRADIO 99");
    m.Marks().Item(best).SetVisible(true);
    marks.push_back(best);
  }
  ASSERT_EQ(marks[0], 0);
  c.Paint();
  const TRect plot = c.PlotRect();
  TRect b[3];
  for (int k = 0; k < 3; ++k) b[k] = m.Marks().Positions().at(size_t(marks[k])).Bounds();
  EXPECT_TRUE(b[0].Width() > 0 && b[0].Left >= plot.Left && b[0].Top >= 0);
  EXPECT_TRUE(b[1].Bottom <= b[2].Top || b[2].Bottom <= b[1].Top);
  int right = -1;  // the rightmost ink of the axis labels
  for (int y = plot.Bottom + 2; y < c.Height(); ++y)
    for (int x = c.Width() - 60; x < c.Width(); ++x)
      if (qGray(c.WindowImage().pixel(x, y)) < 100) right = std::max(right, x);
  EXPECT_TRUE(right > c.Width() - 40 && right < c.Width() - 1) << right;
  f.ChartToolV->SetXValue(86.9);
  c.Paint();
  const QImage marker = c.WindowImage().copy();
  f.ChartToolV->SetActive(false);
  c.Paint();
  EXPECT_EQ(marker, c.WindowImage());
}
