// The chart's legend layout, its hit test and clicks, and the 3-D walls,
// measured through the recording backend; one picture per legend alignment.
#include <QTest>

#include <algorithm>
#include <map>

#include <gtest/gtest.h>

#include "chart/Chart.h"
#include "chart/Series.h"
#include "platform/RecordingDC.h"
#include "support/QtApp.h"

namespace {

struct LegendChart {
  bool App = EnsureQApplication() != nullptr;
  TChart Chart;
  LegendChart(TLegendAlignment alignment, int series, int width, int height) {
    Chart.SetBounds(width, height);
    Chart.BevelOuter = bvNone;
    Chart.Title().SetVisible(false);
    Chart.SetView3D(false);
    Chart.SetMarginUnits(muPixels);
    Chart.SetMargins(0, 0, 0, 0);
    Chart.Legend().Alignment = alignment;
    for (int i = 0; i < series; ++i) {
      auto s = std::make_unique<TFastLineSeries>();
      s->SetTitle("S" + std::to_string(i));
      for (int k = 0; k < 5; ++k) s->AppendPoint(k, (i * 7 + k * 3) % 11);
      Chart.AddSeries(std::move(s));
    }
  }
  const TLegendLayout& Lay() {
    Chart.BuildMetafile(Chart.PanelRectangle());
    return Chart.Legend().Layout;
  }
};

}  // namespace

TEST(ChartLegendTest, RowsAndColumnsThatFit) {
  struct Case {
    TLegendAlignment alignment;
    int series, maxRows, rowsThatFit, columnsThatFit, rows, columns;
  } cases[] = {
      {laRight, 25, 10, 12, 0, 12, 1},  // one column of the first 12 series
      {laLeft, 3, 10, 12, 0, 3, 1},
      {laBottom, 10, 2, 0, 4, 2, 4},  // 8 of 10 items in 2 rows
      {laTop, 3, 10, 0, 4, 1, 3},
  };
  for (const Case& c : cases) {
    LegendChart probe(c.alignment, c.series, 600, 400);
    const TLegendLayout first = probe.Lay();
    ASSERT_GT(first.RowHeight, 0);
    // A frame with room for the wanted rows below the legend's top (TopPos 10 %), or columns.
    const int rh = first.RowHeight, cw = first.SymbolWidth + first.T + 8;
    const int height = c.rowsThatFit ? (c.rowsThatFit * rh + 2 + rh / 2) * 10 / 9 : 400;
    const int width = c.columnsThatFit ? c.columnsThatFit * cw + 10 + cw / 2 : 600;
    LegendChart f(c.alignment, c.series, width, height);
    f.Chart.Legend().MaxNumRows = c.maxRows;
    const TLegendLayout& l = f.Lay();
    EXPECT_EQ(l.Rows, c.rows) << int(c.alignment);
    EXPECT_EQ(l.Columns, c.columns) << int(c.alignment);
    EXPECT_EQ(l.TotalItems, std::min(c.series, c.rows * c.columns)) << int(c.alignment);
    EXPECT_EQ(l.Items.front().Text[0], "S0");
    // The plot gave its room up to the legend.
    const TRect& p = f.Chart.TCustomChartPanel::PlotRect;
    if (c.alignment == laRight) { EXPECT_LT(p.Right, l.Box.Left); }
    if (c.alignment == laBottom) { EXPECT_LT(p.Bottom, l.Box.Top); }
  }
}

// Without a margin of its own a side legend keeps 3 % of the plot's width
// from it: 15 pixels of 500, 5 more than a margin of 10.
TEST(ChartLegendTest, SideLegendGap) {
  LegendChart f(laRight, 3, 500, 400);
  const TLegendLayout& l = f.Lay();
  const int gap = l.Box.Left - f.Chart.TCustomChartPanel::PlotRect.Right;
  f.Chart.Legend().HorizMargin = 10;
  f.Lay();
  EXPECT_EQ(gap - (l.Box.Left - f.Chart.TCustomChartPanel::PlotRect.Right), 15 - 10);
}

TEST(ChartLegendTest, TopLegendIsCentredAndMovedByTopPos) {
  LegendChart f(laTop, 1, 600, 400);
  f.Chart.Legend().LegendStyle = lsSeries;
  f.Chart.Legend().Symbol.WidthUnits = lcsPixels;
  const TLegendLayout first = f.Lay();
  f.Chart.Legend().Symbol.Width = 188 - first.T;  // one item: T + symbol + 12 = 200
  int center = 0;
  f.Chart.OnGetLegendRect = [&](TCustomChart& c, TRect&) { center = c.PlotCenterX; };
  const TLegendLayout& l = f.Lay();
  EXPECT_EQ(f.Chart.FrameBounds.Width(), 600);
  EXPECT_EQ(l.Box.Width(), 200);
  EXPECT_EQ((l.Box.Left + l.Box.Right) / 2, center + 40);
}

TEST(ChartLegendTest, ItemAtHasInclusiveEdges) {
  LegendChart side(laRight, 3, 600, 400);
  const TLegendLayout s = side.Lay();
  const TChartLegend& g = side.Chart.Legend();
  const int mid = (s.Box.Left + s.Box.Right) / 2, row0 = s.ItemsTop + 1;
  EXPECT_EQ(g.LegendItemAt(mid, row0), 0);
  EXPECT_EQ(g.LegendItemAt(mid, row0 + s.RowHeight), 0);  // the upper row wins the shared edge
  EXPECT_EQ(g.LegendItemAt(mid, row0 + s.RowHeight + 1), 1);
  EXPECT_EQ(g.LegendItemAt(mid, s.Box.Bottom), -1);  // below the last row
  EXPECT_EQ(g.LegendItemAt(s.Box.Right + 1, row0), -1);
  LegendChart bottom(laBottom, 3, 600, 400);
  const TLegendLayout b = bottom.Lay();
  const int cw = b.Box.Width() / b.Columns, y = b.ItemsTop + 2;
  EXPECT_EQ(bottom.Chart.Legend().LegendItemAt(b.Box.Left + 1 + cw, y), 1);  // the later column wins
  EXPECT_EQ(bottom.Chart.Legend().LegendItemAt(b.Box.Left + cw, y), 0);
  bottom.Chart.Legend().Inverted = true;
  EXPECT_EQ(bottom.Chart.Legend().LegendItemAt(b.Box.Left + cw, y), 2);
}

TEST(ChartLegendTest, ClicksSwitchSeriesAndIndexesAreChecked) {
  LegendChart f(laRight, 3, 600, 400);
  TChart& c = f.Chart;
  c.Legend().CheckBoxes = true;
  int clicks = 0;
  c.OnClickLegend = [&](TCustomChart&, TMouseButton, TShiftState, int, int) { ++clicks; };
  const TLegendLayout l = f.Lay();
  const int x = (l.Box.Left + l.Box.Right) / 2, y1 = l.ItemsTop + 1 + l.RowHeight + l.RowHeight / 2;
  EXPECT_EQ(c.PartAtPoint(x, y1).Part, hpLegend);
  c.MouseDown(mbLeft, {}, x, y1);
  EXPECT_FALSE(c.Series(1)->Active());
  EXPECT_EQ(clicks, 1);
  c.Legend().SetCheckBoxesStyle(cbsRadio);
  c.MouseDown(mbLeft, {}, x, y1);
  EXPECT_EQ((std::vector<bool>{c.Series(0)->Active(), c.Series(1)->Active(), c.Series(2)->Active()}),
            (std::vector<bool>{false, true, false}));
  // Out-of-range indexes give nothing instead of reading past the lists.
  EXPECT_EQ(c.LegendValueText(*c.Series(0), 5), "");
  EXPECT_EQ(c.LegendValueText(*c.Series(0), -1), "");
  EXPECT_EQ(c.Series(0)->LegendTextAt(99, ltsPlain), "");
  c.PaintLegendRow(99);
  c.PaintLegendRow(-1);
}

TEST(ChartLegendTest, ValuesLegendJoinsLinesAndSkipsFirstValues) {
  LegendChart f(laRight, 1, 600, 400);
  f.Chart.Series(0)->SetTitle("");
  f.Chart.Legend().TextStyle = ltsPlain;
  f.Chart.Series(0)->SetLabelAt(1, "a\rb");
  f.Chart.Legend().SetFirstValue(1);
  const TLegendLayout& l = f.Lay();
  EXPECT_EQ(l.Style, lsValues);
  ASSERT_EQ(l.TotalItems, 4);
  EXPECT_EQ(l.Items[0].Text[0], "a b");
  EXPECT_EQ(f.Chart.Legend().LegendItemAt((l.Box.Left + l.Box.Right) / 2, l.ItemsTop + 2), 1);
}

TEST(ChartLegendTest, ValueColumnsEndAtTheirRightEdge) {
  LegendChart f(laRight, 0, 600, 400);
  auto s = std::make_unique<TFastLineSeries>();
  s->AppendPoint(0, 5, "a");
  s->AppendPoint(1, 1234, "b");
  f.Chart.AddSeries(std::move(s));
  f.Chart.Legend().TextStyle = ltsLeftValue;
  f.Chart.SetAxisVisible(false);  // the labels are the legend's alone
  std::map<std::string, int> at;  // text -> its x
  for (const TDCRecord& r : f.Chart.BuildMetafile(f.Chart.PanelRectangle()).Records)
    if (r.Op == TDCOp::TextOut) at[r.Text] = r.Args[0];
  const int textX = f.Chart.Legend().Layout.TextX;
  EXPECT_EQ(at["1,234"], textX);  // the widest value fills its column
  EXPECT_GT(at["5"], textX);
  EXPECT_EQ(at["a"], at["b"]);
}

TEST(ChartLegendTest, ThreeDWallsAsPlanesAndCubes) {
  LegendChart f(laRight, 1, 600, 400);
  TChart& c = f.Chart;
  c.Legend().SetVisible(false);
  c.SetView3D(true);
  c.BottomWall().Transparent = false;
  const TRect& p = c.TCustomChartPanel::PlotRect;
  const TChartCanvas3D& k = c.Canvas();
  // Whether a four-cornered polygon of the picture has the corners (x0, y0..y1) at 0 and (x1, y1..y0) at depth D.
  auto drawn = [&](int x0, int y0, int x1, int y1) {
    const std::vector<TDCRecord> list = c.BuildMetafile(c.PanelRectangle()).Records;
    const int D = c.Depth3D();
    const std::vector<TPoint> quad{k.ProjectToPoint(x0, y0, 0), k.ProjectToPoint(x0, y0, D),
                                   k.ProjectToPoint(x1, y1, D), k.ProjectToPoint(x1, y1, 0)};
    return std::any_of(list.begin(), list.end(), [&](const TDCRecord& r) {
      return r.Op == TDCOp::Polygon && std::is_permutation(r.Points.begin(), r.Points.end(), quad.begin(), quad.end());
    });
  };
  c.BuildMetafile(c.PanelRectangle());  // lays the plot out
  EXPECT_TRUE(drawn(p.Left, p.Bottom, p.Right, p.Bottom));  // bottom: a plane at the plot's bottom edge
  EXPECT_TRUE(drawn(p.Left, p.Top, p.Left, p.Bottom));      // left: from the top to the bottom
  EXPECT_FALSE(c.WallSideAt(p.Left));  // the default view shows the left wall, not the right one
  EXPECT_FALSE(c.WallSideAt(p.Right));
  c.BottomWall().Size = 6;  // a solid wall instead of the plane
  EXPECT_FALSE(drawn(p.Left, p.Bottom, p.Right, p.Bottom));
}

TEST(ChartLegendTest, TitleTakesRoomAboveTheRows) {
  for (auto [alignment, transparent] : {std::pair{laRight, true}, {laBottom, true}, {laLeft, false}}) {
    LegendChart f(alignment, 2, 600, 400);
    f.Chart.Legend().LegendStyle = lsSeries;
    const TLegendLayout plain = f.Lay();
    TLegendTitle& t = f.Chart.Legend().Title();
    t.Text = {"A legend title wider than its items"};
    t.Transparent = transparent;
    const TLegendLayout& l = f.Lay();
    const int room = l.TitleSize.cy + 2 + (transparent ? 0 : 2);  // and the shadow below an opaque title
    EXPECT_EQ(l.ItemsTop - l.Box.Top, room) << int(alignment);
    EXPECT_EQ(l.Box.Height(), plain.Box.Height() + room) << int(alignment);
    EXPECT_TRUE(alignment == laBottom || l.Box.Width() == l.TitleSize.cx);  // side legends widen to the title
    EXPECT_EQ(f.Chart.Legend().LegendItemAt(l.Box.Left + 2, l.ItemsTop - 1), -1);
    EXPECT_EQ(f.Chart.Legend().LegendItemAt(l.Box.Left + 2, l.ItemsTop + 2), 0);
  }
}

TEST(ChartLegendTest, SeriesDrawTheirOwnSymbols) {
  // A fast line: one line across the symbol's middle; an area: the symbol
  // filled in the area colour; a line with pointers: the line and the
  // pointer's shape centred, its half sizes at most a third of the symbol.
  enum Kind { kLine, kArea, kPointer };
  for (Kind kind : {kLine, kArea, kPointer}) {
    LegendChart f(laRight, 0, 600, 400);
    f.Chart.Legend().LegendStyle = lsSeries;
    auto a = std::make_unique<TAreaSeries>();
    a->SetAreaColor(clLime);
    std::unique_ptr<TChartSeries> owned = std::move(a);
    if (kind == kLine) owned = std::make_unique<TFastLineSeries>();
    if (kind == kPointer) {
      auto p = std::make_unique<TCustomSeries>();
      p->Pointer().SetStyle(psDiamond);
      owned = std::move(p);
    }
    f.Chart.AddSeries(std::move(owned))->SetSeriesColor(clRed);
    const TLegendLayout l = f.Lay();
    const int top = l.ItemsTop + 3, bottom = l.ItemsTop + l.RowHeight - 1, mid = (top + bottom) / 2;
    const int x0 = l.SymbolX, x1 = x0 + l.SymbolWidth, xm = (x0 + x1) / 2;
    const int h = std::min(4, (x1 - x0) / 3), v = std::min(4, (bottom - top) / 3);
    const std::vector<TPoint> diamond = {{xm, mid - v}, {xm + h, mid}, {xm, mid + v}, {xm - h, mid}};
    const std::vector<TDCRecord> list = f.Chart.BuildMetafile(f.Chart.PanelRectangle()).Records;
    int line = 0, filled = 0, pointer = 0;
    for (size_t i = 1; i < list.size(); ++i) {
      const TDCRecord& r = list[i];
      line += r.Op == TDCOp::LineTo && r.Args == std::vector<int>{x1, mid} && r.Pen.Color == clRed &&
              list[i - 1].Args == std::vector<int>{x0, mid};
      filled += r.Op == TDCOp::Rectangle && r.Args == std::vector<int>{x0, top, x1, bottom} && r.Brush.Color == clLime;
      pointer += r.Op == TDCOp::Polygon && r.Points == diamond && r.Brush.Color == clRed;
    }
    EXPECT_EQ(line, kind == kArea ? 0 : 1);
    EXPECT_EQ(filled, kind == kArea ? 1 : 0);
    EXPECT_EQ(pointer, kind == kPointer ? 1 : 0);
  }
}

TEST(ChartLegendTest, BackImageInsideLiesInThePlot) {
  for (auto [inside, view3D, wallPen] : {std::tuple{false, false, true}, {true, false, false}, {true, true, true}}) {
    LegendChart f(laRight, 1, 600, 400);
    TChart& c = f.Chart;
    c.SetView3D(view3D);
    c.BackWall().Pen().SetVisible(wallPen);
    c.BackImage().SetImage(QImage(8, 8, QImage::Format_RGB32));
    c.SetBackImageInside(inside);
    std::vector<std::vector<int>> drawn;
    for (const TDCRecord& r : c.BuildMetafile(c.PanelRectangle()).Records)
      if (r.Op == TDCOp::StretchDraw) drawn.push_back(r.Args);
    const TRect& p = c.TCustomChartPanel::PlotRect;
    const TPoint a = c.Canvas().ProjectToPoint(p.Left + wallPen, p.Top + wallPen, c.Depth3D()),
                 b = c.Canvas().ProjectToPoint(p.Right, p.Bottom, c.Depth3D());
    const std::vector<int> want = inside ? std::vector<int>{a.X, a.Y, b.X, b.Y} : std::vector<int>{0, 0, 600, 400};
    EXPECT_EQ(drawn, std::vector<std::vector<int>>{want}) << inside << view3D << wallPen;
  }
}

TEST(ChartLegendTest, OrthogonalDepthAndWallsShrinkThePlot) {
  struct Case {
    int orthoAngle, backSize, rightSize, left, right;  // left/right: pixels taken besides D
  } cases[] = {{45, 0, -1, 0, 0}, {45, 6, -1, 0, 6}, {45, 6, 4, 0, 11}, {135, 6, -1, 7, 0}};  // -1: hidden
  for (const Case& k : cases) {
    LegendChart f(laRight, 1, 600, 400);
    TChart& c = f.Chart;
    c.Legend().SetVisible(false);
    c.SetAxisVisible(false);
    f.Lay();
    const TRect flat = c.TCustomChartPanel::PlotRect;
    c.SetView3D(true);
    c.View3DOptions().SetOrthoAngle(k.orthoAngle);
    c.BackWall().Size = k.backSize;
    c.RightWall().SetVisible(k.rightSize >= 0);
    c.RightWall().Size = std::max(0, k.rightSize);
    f.Lay();
    const TRect& p = c.TCustomChartPanel::PlotRect;
    const int D = std::min(flat.Width(), flat.Height()) * 15 / 100;
    EXPECT_EQ(c.Depth3D(), D);
    EXPECT_EQ((std::vector<int>{p.Left - flat.Left, p.Top - flat.Top, flat.Right - p.Right}),
              (std::vector<int>{k.left ? D + k.left : 0, D + k.backSize, k.left ? 0 : D + k.right}))
        << k.orthoAngle << " " << k.rightSize;
  }
}

TEST(ChartLegendTest, RotatedChartProjectsAxesAndGridNotTheLegend) {
  LegendChart f(laRight, 2, 600, 400);
  TChart& c = f.Chart;
  c.SetView3D(true);
  c.View3DOptions().SetOrthogonal(false);
  const std::vector<TDCRecord> list = c.BuildMetafile(c.PanelRectangle()).Records;
  auto drawn = [&](TPoint a, TPoint b) {  // a line from a to b
    for (size_t i = 1; i < list.size(); ++i)
      if (list[i].Op == TDCOp::LineTo && list[i].Args == std::vector<int>{b.X, b.Y} &&
          list[i - 1].Args == std::vector<int>{a.X, a.Y})
        return true;
    return false;
  };
  const TCanvas3D& v = c.Canvas();
  const TRect& p = c.TCustomChartPanel::PlotRect;
  const TChartAxis &bottom = c.BottomAxis(), &left = c.LeftAxis();
  EXPECT_TRUE(drawn(v.ProjectToPoint(bottom.PixelFrom, bottom.AxisLinePos, 0), v.ProjectToPoint(bottom.PixelTo, bottom.AxisLinePos, 0)));
  const TPoint onAxis = v.ProjectToPoint(bottom.PixelTo - 20, bottom.AxisLinePos + 1, 0);
  EXPECT_TRUE(bottom.HitTest(onAxis.X, onAxis.Y)) << "hit where it is drawn";
  ASSERT_GT(left.Ticks_.size(), 2u);
  const int t = left.Ticks_[1], D = c.Depth3D();
  EXPECT_TRUE(drawn(v.ProjectToPoint(p.Left, t, D), v.ProjectToPoint(p.Right, t, D))) << "on the back wall";
  EXPECT_TRUE(drawn(v.ProjectToPoint(p.Left, t, 0), v.ProjectToPoint(p.Left, t, D))) << "along the left wall";
  const TRect b = c.Legend().Layout.Box;
  const std::vector<TPoint> frame{{b.Left, b.Top}, {b.Right, b.Top}, {b.Right, b.Bottom}, {b.Left, b.Bottom}};
  EXPECT_TRUE(std::any_of(list.begin(), list.end(), [&](const TDCRecord& r) { return r.Points == frame; }))
      << "the frame is upright around the legend's rows";
}

TEST(ChartLegendScreenshot, OnePerAlignment) {
  EnsureQApplication();
  const std::pair<TLegendAlignment, const char*> cases[] = {
      {laLeft, "legend_left"}, {laRight, "legend_right_3d_walls"}, {laTop, "legend_top"}, {laBottom, "legend_bottom"},
      {laRight, "legend_right_3d_rotated"}};
  for (auto [alignment, name] : cases) {
    LegendChart f(alignment, 6, 640, 400);
    f.Chart.Legend().CheckBoxes = alignment == laLeft;
    f.Chart.Legend().DividingLines.SetVisible(alignment == laBottom);
    f.Chart.SetView3D(alignment == laRight);
    f.Chart.View3DOptions().SetOrthogonal(std::string_view(name).ends_with("rotated") == false);
    f.Chart.BottomWall().Transparent = false;
    if (alignment == laRight) f.Chart.Legend().Title().Text = {"Series"}, f.Chart.Legend().Symbol.WidthUnits = lcsPixels;
    TChartHost host(f.Chart);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    SaveScreenshot(&host, name);
    EXPECT_FALSE(f.Chart.Legend().Layout.Box.IsEmpty()) << name;
  }
}

// With check boxes an inactive series keeps its row: its title and its box,
// drawn without a tick, between the ticked boxes of the active ones.
TEST(ChartLegendTest, CheckBoxesKeepInactiveSeries) {
  for (TLegendAlignment alignment : {laRight, laBottom}) {
    SCOPED_TRACE(int(alignment));
    LegendChart f(alignment, 3, 600, 400);
    TChart& c = f.Chart;
    c.Legend().CheckBoxes = true;
    c.Series(1)->SetActive(false);
    std::map<std::string, TPoint> titles;
    std::vector<TRect> boxes;
    std::vector<TPoint> ticks;
    for (const TDCRecord& r : c.BuildMetafile(c.PanelRectangle()).Records) {
      if (r.Op == TDCOp::TextOut && r.Text.size() == 2 && r.Text[0] == 'S') titles[r.Text] = {r.Args[0], r.Args[1]};
      if (r.Op == TDCOp::Rectangle && r.Args[2] - r.Args[0] == 11 && r.Args[3] - r.Args[1] == 11)
        boxes.push_back({r.Args[0], r.Args[1], r.Args[2], r.Args[3]});
      if (r.Op == TDCOp::MoveTo) ticks.push_back({r.Args[0], r.Args[1]});
    }
    EXPECT_EQ(c.Legend().Layout.TotalItems, 3);
    ASSERT_EQ(titles.size(), 3u);
    ASSERT_EQ(boxes.size(), 3u);
    // Each title has its box just before it on its row; a tick only in the
    // boxes of the active series.
    for (const auto& [title, at] : titles) {
      const auto box = std::find_if(boxes.begin(), boxes.end(), [&](const TRect& b) {
        return b.Right <= at.X && at.X - b.Right < 40 && b.Top >= at.Y - 2 && b.Top <= at.Y + 12;
      });
      ASSERT_NE(box, boxes.end()) << title;
      const bool ticked = std::count(ticks.begin(), ticks.end(), TPoint{box->Left + 2, box->Top + 5}) > 0;
      EXPECT_EQ(ticked, title != "S1") << title;
    }
  }
}
