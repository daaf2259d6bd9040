// Copying series and charts, the sources of labels and colours, sample
// values, the series class filter, the chart's colour test, the custom-axis
// master chain, depth values on the depth axis, the logarithmic minor grid
// and a line entering the plot on a logarithmic axis.
#include <gtest/gtest.h>

#include <QImage>

#include <cmath>

#include "chart/Chart.h"
#include "chart/ChartSplineFunction.h"
#include "chart/Series.h"
#include "platform/RecordingDC.h"
#include "support/QtApp.h"

namespace {

struct QtFirst {
  QtFirst() { EnsureQApplication(); }
};

struct Charted : QtFirst {
  Charted() { chart.SetBounds(400, 300); }
  template <class T = TChartSeries>
  T* Add() {
    return chart.AddSeries(std::make_unique<T>());
  }
  TRecordingDC Draw() {
    TRecordingDC dc({400, 300});
    chart.Draw(dc, chart.PanelRectangle());
    return dc;
  }
  TChart chart;
};

// A series with depth values of its own.
struct DepthSeries : TChartSeries {
  double LowestZ() const override { return 3; }
  double HighestZ() const override { return 7; }
  bool HasZValues() const override { return true; }
};

}  // namespace

TEST(ChartCopy, SeriesAssignCopiesSettingsPointsOrSourcesAndFunction) {
  Charted c;
  TChartSeries& from = *c.Add();
  from.AppendPoint(1, 10, "a", clRed);
  from.AppendPoint(2, 20, "b");
  from.ValueFormat = "0.0";
  from.SetSeriesColor(clGreen);
  from.SetXLabelsSource("L");
  from.SetVertAxis(aRightAxis);
  from.Depth = 4;
  TChartSeries& to = *c.Add();
  to.AppendPoint(9, 9);
  to.Assign(from);
  EXPECT_EQ(to.Count(), 2);
  EXPECT_EQ(to.LabelAt(1), "b");
  EXPECT_EQ(to.PointColorStored(0), clRed);
  EXPECT_EQ(to.ValueFormat, "0.0");
  EXPECT_EQ(to.SeriesColor(), clGreen);
  EXPECT_EQ(to.XLabelsSource(), "L");
  EXPECT_EQ(to.VertAxis(), aRightAxis);
  EXPECT_EQ(to.Depth, 4);

  // A series fed by a smoothing function hands its source and a copy of its
  // function on: the copy computes the same curve on its own.
  auto f = std::make_unique<TSmoothingFunction>();
  f->SetFactor(2);
  TChartSeries& smooth = *c.Add();
  smooth.AttachFunction(std::move(f));
  smooth.SetDataSource(&from);
  TChartSeries& twin = *c.Add();
  twin.Assign(smooth);
  ASSERT_NE(twin.FunctionType(), smooth.FunctionType());
  EXPECT_EQ(static_cast<TSmoothingFunction*>(twin.FunctionType())->Factor(), 2);
  EXPECT_EQ(twin.DataSource(), &from);
  ASSERT_EQ(twin.Count(), smooth.Count());
  EXPECT_EQ(twin.YValue(twin.Count() / 2), smooth.YValue(smooth.Count() / 2));
}

// Line, area and fast-line series copy what their classes hold: b draws
// a's star pointers, not its own rectangles, and its stairs, pens, area
// brush, origin and flags are a's.
TEST(ChartCopy, LineAreaAndFastLineAssignTheirOwnSettings) {
  Charted c;
  auto* a = c.Add<TCustomSeries>();
  a->SetSeriesColor(clRed);
  a->Pointer().SetVisible(true);
  a->Pointer().SetStyle(psStar);
  a->LinePen().SetWidth(3);
  a->SetStairs(true), a->SetInvertedStairs(true);
  a->AreaChartBrush().SetStyle(bsCross);
  a->AreaLinesPen().SetVisible(false);
  a->SetAreaColor(clTeal);
  a->SetClickableLine(false), a->SetColorEachLine(false), a->SetDark3D(false);
  a->SetTransparency(40);
  a->Gradient().SetVisible(true);
  for (int i = 0; i < 4; ++i) a->AppendPoint(i, i % 2 ? 10 : 20);
  auto* b = c.Add<TCustomSeries>();
  b->Assign(*a);
  a->SetActive(false);
  c.chart.Legend().SetVisible(false);
  int rectangles = 0, starStrokes = 0 /* the pointer's black pen */, wideLines = 0;
  for (const TDCRecord& r : c.Draw().List) {
    if (r.Op == TDCOp::Rectangle && r.Brush.Color == clRed) ++rectangles;
    if (r.Op == TDCOp::LineTo && r.Pen.Color == clBlack && r.Pen.Width == 1) ++starStrokes;
    if (r.Op == TDCOp::LineTo && r.Pen.Width == 3) ++wideLines;
  }
  EXPECT_EQ(rectangles, 0);
  EXPECT_EQ(starStrokes, 4 * 4);
  EXPECT_EQ(wideLines, 3 * 2) << "three steps of two strokes each";
  EXPECT_TRUE(b->Stairs() && b->InvertedStairs());
  EXPECT_EQ(b->AreaChartBrush().Style(), bsCross);
  EXPECT_FALSE(b->AreaLinesPen().Visible());
  EXPECT_EQ(b->AreaColor(), clTeal);
  EXPECT_FALSE(b->ClickableLine() || b->ColorEachLine() || b->Dark3D());
  EXPECT_EQ(b->Transparency(), 40);
  EXPECT_TRUE(b->Gradient().Visible());
  EXPECT_FALSE(b->DrawArea());

  auto* area = c.Add<TAreaSeries>();
  area->SetUseYOrigin(true), area->SetYOrigin(5);
  area->SetMultiArea(maStacked);
  area->Pointer().SetVisible(true);
  auto* areaCopy = c.Add<TAreaSeries>();
  areaCopy->Assign(*area);
  EXPECT_TRUE(areaCopy->UseYOrigin());
  EXPECT_EQ(areaCopy->YOrigin(), 5);
  EXPECT_EQ(areaCopy->MultiArea(), maStacked);
  EXPECT_TRUE(areaCopy->Pointer().Visible() && areaCopy->DrawArea());

  auto* fast = c.Add<TFastLineSeries>();
  fast->SetAutoRepaint(false), fast->SetDrawAllPoints(false), fast->SetIgnoreNulls(false);
  fast->SetStairs(true), fast->SetInvertedStairs(true);
  fast->LinePen().SetStyle(psDot);
  auto* fastCopy = c.Add<TFastLineSeries>();
  fastCopy->Assign(*fast);
  EXPECT_FALSE(fastCopy->AutoRepaint() || fastCopy->DrawAllPoints() || fastCopy->IgnoreNulls());
  EXPECT_TRUE(fastCopy->Stairs() && fastCopy->InvertedStairs());
  EXPECT_EQ(fastCopy->LinePen().Style(), psDot);
}

TEST(ChartCopy, ChartAssignCopiesTitlesLegendWallsAxesAndPaging) {
  Charted a, b;
  a.chart.Title().Text = {"Band"};
  a.chart.Title().Color = clYellow;
  a.chart.Legend().Alignment = laBottom;
  a.chart.Legend().Title().Text = {"Series"};
  a.chart.BackWall().Size = 5;
  a.chart.ColorPaletteIndex = 3;
  a.chart.LeftAxis().FixRange(3, 9);
  a.chart.SetAxisBehind(false);
  a.chart.SetMaxPointsPerPage(5);
  a.chart.PaletteColors = {clRed, clBlue};
  TChartAxis& custom = a.chart.AddCustomAxis(false);
  custom.MasterAxis = &a.chart.LeftAxis();
  b.chart.AddCustomAxis(true);
  b.chart.AddCustomAxis(true);
  b.chart.Assign(a.chart);
  EXPECT_EQ(b.chart.Title().Text, a.chart.Title().Text);
  EXPECT_EQ(TColor(b.chart.Title().Color), clYellow);
  EXPECT_EQ(b.chart.Legend().Alignment, laBottom);
  EXPECT_EQ(b.chart.Legend().Title().Text, a.chart.Legend().Title().Text);
  EXPECT_EQ(b.chart.BackWall().Size, 5);
  EXPECT_EQ(b.chart.ColorPaletteIndex, 3);
  EXPECT_EQ(b.chart.LeftAxis().Minimum(), 3);
  EXPECT_FALSE(b.chart.AxisBehind());
  EXPECT_EQ(b.chart.MaxPointsPerPage(), 5);
  EXPECT_EQ(b.chart.PaletteColors, a.chart.PaletteColors);
  ASSERT_EQ(b.chart.AllAxes().size(), 7u);
  EXPECT_FALSE(b.chart.AllAxes()[6]->Horizontal());
  // The copied master is the copy's own left axis.
  b.chart.LeftAxis().FixRange(-1, 1);
  EXPECT_EQ(b.chart.AllAxes()[6]->Maximum(), 1);
  EXPECT_EQ(custom.Maximum(), 0);
}

TEST(ChartSeriesSources, LabelAndColourSourcesRefreshSampleValuesAndClassFilter) {
  Charted c;
  TChartSeries& src = *c.Add();
  for (int i = 0; i < 4; ++i) src.AppendPoint(i, i * i);
  TChartSeries& s = *c.Add();
  s.SetDataSource(&src);
  s.Clear();
  s.SetXLabelsSource("Text");
  EXPECT_EQ(s.Count(), 4);  // refreshed from its source
  s.Clear();
  s.SetXLabelsSource("Text");  // unchanged: no refresh
  EXPECT_EQ(s.Count(), 0);
  s.SetColorSource("Colors");
  EXPECT_EQ(s.Count(), 4);

  TChartSeries& samples = *c.Add();
  EXPECT_THROW(samples.FillSampleValues(-1), ChartException);
  samples.FillSampleValues(25);
  ASSERT_EQ(samples.Count(), 25);
  EXPECT_EQ(samples.XValue(24), 24);
  const double y5 = samples.YValue(5);
  samples.FillSampleValues(25);
  EXPECT_EQ(samples.YValue(5), y5);
  try {
    samples.FillSampleValues(-3);
  } catch (const ChartException& e) {
    EXPECT_STREQ(e.what(), "FillSampleValues NumValues must be > 0");
  }

  c.Add<TFastLineSeries>();
  c.Add<TAreaSeries>();  // a line series too, but not a fast line
  c.chart.DestroyAllSeries<TFastLineSeries>();
  EXPECT_EQ(c.chart.SeriesTotal(), 4);
  c.chart.DestroyAllSeries<TCustomSeries>();
  EXPECT_EQ(c.chart.SeriesTotal(), 3);
  c.chart.DestroyAllSeries();
  EXPECT_EQ(c.chart.SeriesTotal(), 0);
}

TEST(ChartColours, BackgroundColoursAreRefusedOnlyWhenAsked) {
  Charted c;
  c.chart.SetColor(clYellow);
  c.chart.BackWall().Color = clAqua;
  EXPECT_FALSE(c.chart.ColorIsUnused(clYellow, true, nullptr));
  EXPECT_FALSE(c.chart.ColorIsUnused(clAqua, true, nullptr));
  EXPECT_TRUE(c.chart.ColorIsUnused(clYellow, false, nullptr));
  EXPECT_TRUE(c.chart.ColorIsUnused(clAqua, false, nullptr));
  c.chart.PaletteColors = {clAqua, clNavy};
  EXPECT_EQ(c.chart.FirstUnusedColor(true, nullptr), clNavy);
  EXPECT_EQ(c.chart.FirstUnusedColor(false, nullptr), clAqua);
}

TEST(ChartAxes, CustomAxesFollowTheirMasterDownTheChainAndLoopsEnd) {
  Charted c;
  TChartAxis& b = c.chart.AddCustomAxis(false);
  TChartAxis& d = c.chart.AddCustomAxis(false);
  b.MasterAxis = &c.chart.LeftAxis();
  d.MasterAxis = &b;
  c.chart.LeftAxis().FixRange(2, 5);
  EXPECT_EQ(d.Minimum(), 2);
  EXPECT_EQ(d.Maximum(), 5);
  b.MasterAxis = &d;  // a loop: still ends
  b.FixRange(7, 8);
  EXPECT_EQ(d.Maximum(), 8);
  EXPECT_EQ(c.chart.LeftAxis().Maximum(), 5);
}

TEST(ChartAxes, DepthAxisShowsSeriesDepthValuesElseSlots) {
  Charted c;
  c.Add()->AppendPoint(1, 1);
  c.chart.DepthSlots = 1;
  EXPECT_EQ(c.chart.RangeFromSeries(c.chart.DepthAxis(), false), -0.5);
  EXPECT_EQ(c.chart.RangeFromSeries(c.chart.DepthAxis(), true), 1.5);
  c.chart.DestroyAllSeries();
  c.Add<DepthSeries>()->AppendPoint(1, 1);
  EXPECT_EQ(c.chart.RangeFromSeries(c.chart.DepthAxis(), false), 3);
  EXPECT_EQ(c.chart.RangeFromSeries(c.chart.DepthAxis(), true), 7);
  EXPECT_EQ(c.chart.AutoLabelStyle(c.chart.DepthAxis()), talValue);
}

TEST(ChartAxes, LogarithmicMinorGridReachesBelowTheFirstLabel) {
  Charted c;
  TChartAxis& left = c.chart.LeftAxis();
  c.Add()->AppendPoint(0, 5);
  left.SetLogarithmic(true);
  left.FixRange(4, 50);  // one label only, at 10
  left.MinorGrid().SetVisible(true);
  c.Draw();
  const std::vector<int> minor = left.MinorPositions();
  // The step below 10 starts at 1: 3.25, 5.5, 7.75, of which 5.5 and 7.75
  // lie on the axis; above 10: 32.5 (55 and 77.5 are beyond 50).
  for (double v : {5.5, 7.75, 32.5})
    EXPECT_NE(std::find(minor.begin(), minor.end(), left.PixelOfValue(v)), minor.end()) << v;
  EXPECT_EQ(std::find(minor.begin(), minor.end(), left.PixelOfValue(3.25)), minor.end());
}

TEST(ChartLines, LineEnteringTheLeftEdgeOfALogarithmicAxisFollowsTheLogs) {
  Charted c;
  auto* line = c.Add<TCustomSeries>();
  line->AppendPoint(0, 1);
  line->AppendPoint(10, 1000);
  c.chart.LeftAxis().SetLogarithmic(true);
  c.chart.LeftAxis().FixRange(1, 1000);
  c.chart.BottomAxis().FixRange(5, 10);  // the first point lies left of the plot
  const TRecordingDC dc = c.Draw();
  // Halfway in X on the logarithms: 10^1.5, not the value halfway (500.5).
  const int expected = c.chart.LeftAxis().PixelOfValue(std::pow(10, 1.5));
  bool found = false;
  for (const TDCRecord* r : dc.Of(TDCOp::LineTo))
    for (const TDCRecord* m : dc.Of(TDCOp::MoveTo))
      if (m->Args.size() >= 2 && m->Args[0] == c.chart.TCustomChartPanel::PlotRect.Left &&
          std::abs(m->Args[1] - expected) <= 1 && r > m)
        found = true;
  EXPECT_TRUE(found) << "no segment from the left edge at y " << expected;
}

TEST(ChartLines, FastLineReachesItsLastPoint) {
  Charted c;
  auto* line = c.Add<TFastLineSeries>();
  for (double y : {0, 8, 3, 9}) line->Add(y);
  const TRecordingDC dc = c.Draw();
  const auto to = dc.Of(TDCOp::LineTo);
  ASSERT_FALSE(to.empty());
  EXPECT_EQ(to.back()->Args[0], line->PointPixelX(3));
  EXPECT_EQ(to.back()->Args[1], line->PointPixelY(3));
}

// A line series' stairs step at the end of each segment (level first, then
// up), inverted stairs at its start (up first, then level), in pixels.
TEST(ChartLines, LineSeriesStairsStepAtTheEndOrInvertedAtTheStart) {
  for (bool inverted : {false, true}) {
    SCOPED_TRACE(inverted);
    Charted c;
    c.chart.SetView3D(false);
    c.chart.SetColor(clWhite);
    c.chart.Legend().SetVisible(false);
    auto* s = c.Add<TCustomSeries>();
    s->SetSeriesColor(clRed);
    s->Pointer().SetVisible(false);
    s->SetStairs(true);
    s->SetInvertedStairs(inverted);
    s->AppendPoint(0, 0);
    s->AppendPoint(10, 10);
    s->AppendPoint(20, 10);  // level: no second rise
    QImage image;
    c.chart.AssignTo(image);
    const TChartAxis& h = c.chart.BottomAxis();
    const TChartAxis& v = c.chart.LeftAxis();
    const QRgb red = qRgb(255, 0, 0);
    // Halfway along the first segment: level with point 0, or with point 1.
    const int x = h.PixelOfValue(5);
    EXPECT_EQ(image.pixel(x, v.PixelOfValue(0)) == red, !inverted);
    EXPECT_EQ(image.pixel(x, v.PixelOfValue(10)) == red, inverted);
    // The rise: at point 1's column, or at point 0's.
    const int y = v.PixelOfValue(5);
    EXPECT_EQ(image.pixel(h.PixelOfValue(10), y) == red, !inverted);
    EXPECT_EQ(image.pixel(h.PixelOfValue(0), y) == red, inverted);
  }
}
