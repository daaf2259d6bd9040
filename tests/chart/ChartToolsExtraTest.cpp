#include <gtest/gtest.h>

#include <set>

#include "chart/ChartToolRegistration.h"
#include "chart/ChartToolsExtra.h"
#include "platform/RecordingDC.h"
#include "support/QtApp.h"

namespace {

// A series whose points answer clicks within 3 pixels.
struct DotSeries : TChartSeries {
  int Clicked(int x, int y) override {
    for (int i = 0; i < Count(); ++i)
      if (std::abs(PointPixelX(i) - x) <= 3 && std::abs(PointPixelY(i) - y) <= 3) return i;
    return -1;
  }
};

struct QtFirst {
  QtFirst() { EnsureQApplication(); }
};

// A 2-D axis panel with eleven points (0..10, y = x) laid out once.
struct ToolChart : QtFirst {
  TCustomAxisPanel panel;
  DotSeries* s;
  ToolChart() {
    panel.SetView3D(false);
    s = panel.AddSeries(std::make_unique<DotSeries>());
    for (int i = 0; i <= 10; ++i) s->AppendPoint(i, i);
    Draw();
  }
  std::unique_ptr<TRecordingDC> Draw() {
    auto dc = std::make_unique<TRecordingDC>(TSize{400, 250});
    panel.Draw(*dc, panel.PanelRectangle());
    return dc;
  }
  TPoint At(double x, double y) { return {panel.BottomAxis().PixelOfValue(x), panel.LeftAxis().PixelOfValue(y)}; }
  void Drag(TPoint a, TPoint b) {
    panel.MouseDown(mbLeft, 0, a.X, a.Y);
    panel.MouseMove(0, b.X, b.Y);
    panel.MouseUp(mbLeft, 0, b.X, b.Y);
  }
};

}  // namespace

TEST(ChartToolTypes, StartUpRegistersSixteenClassesAndShutDownRemovesThem) {
  RegisterChartToolTypes();
  RegisterChartToolTypes();  // a second registration adds nothing
  std::set<std::string> names, descriptions;
  for (const TChartToolTypeEntry& e : ChartToolTypes().Entries()) {
    names.insert(e.ClassName);
    descriptions.insert(e.Description);
    EXPECT_EQ(e.Create()->Description(), e.Description) << e.ClassName;
  }
  EXPECT_EQ(ChartToolTypes().Entries().size(), 16u);
  EXPECT_EQ(names.size(), 16u);
  EXPECT_EQ(descriptions.size(), 16u);
  EXPECT_TRUE(names.count("TCursorTool") && names.count("TColorBandTool") && names.count("TClipSeriesTool"));
  RemoveChartToolTypes();
  EXPECT_TRUE(ChartToolTypes().Entries().empty());
}

TEST(DrawLineTool, PressAndRelease) {
  struct Case {
    const char* name;
    bool select, draw, lineUnderPress;
    TPoint from, to;
    int lines;
    bool selected;
  } cases[] = {
      {"one pixel adds no line", true, true, false, {100, 100}, {100, 100}, 0, false},
      {"a drag adds a line", true, true, false, {100, 100}, {150, 120}, 1, false},
      {"drawing off", true, false, false, {100, 100}, {150, 120}, 0, false},
      {"a press on a line selects it", true, true, true, {100, 100}, {100, 100}, 1, true},
      {"without selecting every press draws", false, true, true, {100, 100}, {150, 120}, 2, false},
  };
  for (const Case& k : cases) {
    ToolChart c;
    TDrawLineTool tool;
    tool.SetParentChart(&c.panel);
    tool.EnableSelect = k.select, tool.EnableDraw = k.draw;
    const TChartAxis &h = c.panel.BottomAxis(), &v = c.panel.LeftAxis();
    if (k.lineUnderPress) tool.AddLine(h.ValueAtPixel(80), v.ValueAtPixel(100), h.ValueAtPixel(120), v.ValueAtPixel(100));
    int newLines = 0;
    tool.OnNewLine = [&](TDrawLineTool&) { ++newLines; };
    c.Drag(k.from, k.to);
    EXPECT_EQ(tool.LineCount(), k.lines) << k.name;
    EXPECT_EQ(tool.Selected() != nullptr, k.selected) << k.name;
    if (k.lines > 0 && !k.lineUnderPress) {
      EXPECT_EQ(tool.StartPixel(*tool.Line(0)), k.from) << k.name;
      EXPECT_EQ(tool.EndPixel(*tool.Line(0)), k.to) << k.name;
    }
    EXPECT_EQ(newLines, k.lines - (k.lineUnderPress ? 1 : 0)) << k.name;
    EXPECT_EQ(tool.Line(k.lines), nullptr);
    // Freeing the selected line clears the selection.
    tool.DeleteLine(0);
    EXPECT_EQ(tool.Selected(), nullptr) << k.name;
  }
}

TEST(DrawLineTool, DraggedEndAndHandles) {
  ToolChart c;
  TDrawLineTool tool;
  tool.SetParentChart(&c.panel);
  TDrawLine& l = tool.AddLine(2, 2, 6, 6);
  c.Drag(c.At(4, 4), c.At(4, 4));  // selects
  ASSERT_EQ(tool.Selected(), &l);
  const auto dc = c.Draw();
  EXPECT_EQ(dc->Count(TDCOp::FillRect) >= 2, true);
  const TPoint end = c.At(6, 6);
  c.Drag(end, {end.X + 10, end.Y});
  EXPECT_EQ(tool.EndPixel(l), (TPoint{end.X + 10, end.Y}));
  EXPECT_EQ(tool.StartPixel(l), c.At(2, 2));
}

TEST(AxisArrowTool, PressScrollsByPercent) {
  struct Case {
    int percent;
    bool inverted, atStart;
    double share;
    int clicks;
  } cases[] = {{0, false, true, 0, 0}, {10, false, true, 0.1, 1}, {10, false, false, -0.1, 1}, {10, true, true, -0.1, 1}};
  for (const Case& k : cases) {
    ToolChart c;
    TAxisArrowTool tool;
    tool.SetAxis(&c.panel.BottomAxis());
    tool.ScrollPercent = k.percent, tool.ScrollInverted = k.inverted;
    const TChartAxis& a = c.panel.BottomAxis();
    const double min = a.Minimum(), range = a.Maximum() - a.Minimum();
    int clicks = 0;
    bool clickedStart = false;
    tool.OnClick = [&](TAxisArrowTool&, bool atStart) { ++clicks, clickedStart = atStart; };
    const int along = k.atStart ? a.PixelFrom + 8 : a.PixelTo - 8;
    c.panel.MouseDown(mbLeft, 0, along, a.AxisLinePos + 1);
    EXPECT_DOUBLE_EQ(a.Minimum(), min + range * k.share) << k.percent << k.atStart;
    EXPECT_EQ(clicks, k.clicks);
    if (clicks) {
      EXPECT_EQ(clickedStart, k.atStart);
    }
    EXPECT_EQ(a.Automatic(), k.percent == 0);
  }
}

TEST(AxisArrowTool, ArrowsAndHitStretches) {
  ToolChart c;
  const int before = c.Draw()->Count(TDCOp::Polygon);
  TAxisArrowTool tool;
  tool.SetAxis(&c.panel.LeftAxis());
  EXPECT_EQ(c.Draw()->Count(TDCOp::Polygon), before + 2);
  const TChartAxis& a = c.panel.LeftAxis();
  struct Case {
    int along, across, want;
  } cases[] = {{a.PixelFrom + 1, 0, 1}, {a.PixelFrom, 0, 0}, {a.PixelFrom + 16, 0, 0}, {a.PixelTo - 1, 2, 2},
               {a.PixelTo - 1, 3, 0}};
  for (const Case& k : cases) EXPECT_EQ(tool.ArrowAt(a.AxisLinePos + k.across, k.along), k.want) << k.along;
  c.panel.LeftAxis().SetVisible(false);
  EXPECT_EQ(tool.ArrowAt(a.AxisLinePos, a.PixelFrom + 1), 0);
}

TEST(AxisScrollTool, DragShiftsTheRangeByPixels) {
  ToolChart c;
  TAxisScrollTool tool;
  tool.SetParentChart(&c.panel);
  const TChartAxis& a = c.panel.BottomAxis();
  const double min = a.Minimum(), range = a.Maximum() - a.Minimum(), leftMin = c.panel.LeftAxis().Minimum();
  const TPoint p{a.PixelMiddle, a.AxisLinePos + 2};
  c.Drag(p, {p.X + 20, p.Y});
  EXPECT_DOUBLE_EQ(a.Minimum(), min + range * 20 / a.PixelSpan);
  EXPECT_EQ(c.panel.LeftAxis().Minimum(), leftMin);
}

TEST(NearestTool, NearestVisiblePoint) {
  ToolChart c;
  TNearestTool tool;
  tool.SetParentChart(&c.panel);
  tool.SetSeries(c.s);
  const TPoint p3 = c.At(3, 3);
  EXPECT_EQ(tool.NearestPoint(p3.X + 2, p3.Y + 1), 3);
  c.s->AppendPoint(3, 3);  // an equal distance: the first index wins
  EXPECT_EQ(tool.NearestPoint(p3.X, p3.Y), 3);
  c.panel.MouseMove(0, p3.X, p3.Y);
  EXPECT_EQ(tool.Point, 3);
  static_cast<TCustomChartPanel&>(c.panel).MouseLeave();
  EXPECT_EQ(tool.Point, -1);
  // Every point outside the plot rectangle: none.
  c.panel.LeftAxis().SetAutomatic(false);
  c.panel.LeftAxis().SetMaximum(200);
  c.panel.LeftAxis().SetMinimum(100);
  c.Draw();
  EXPECT_EQ(tool.NearestPoint(p3.X, p3.Y), -1);
  // A marked point that the series lost is not drawn.
  tool.Point = 50;
  c.Draw();
}

TEST(RotateTool, ElevationStaysIn270To360) {
  struct Case {
    TRotateToolStyles style;
    int dx, dy, rotation, elevation;
  } cases[] = {{rsAll, 400, 250, 360, 360}, {rsAll, -400, -250, 255, 270}, {rsRotation, 40, -250, 354, 345},
               {rsElevation, 40, -25, 345, 336}};
  for (const Case& k : cases) {
    ToolChart c;
    TRotateTool tool;
    tool.SetParentChart(&c.panel);
    tool.Style = k.style;
    c.Drag({200, 125}, {200 + k.dx, 125 + k.dy});
    EXPECT_EQ(c.panel.View3DOptions().Rotation(), k.rotation) << k.dx << " " << k.dy;
    EXPECT_EQ(c.panel.View3DOptions().Elevation(), k.elevation) << k.dx << " " << k.dy;
    EXPECT_TRUE(c.panel.View3D());
  }
}

TEST(AnnotationTool, BoxByPosition) {
  ToolChart c;
  TAnnotationTool tool;
  tool.SetParentChart(&c.panel);
  tool.SetText("Fenwisk\r98.5");
  const int w = c.panel.Width(), h = c.panel.Height();
  struct Case {
    TAnnotationPosition pos;
    int left, top, right, bottom;  // -1: depends on the text
  } cases[] = {{ppLeftTop, 6, 8, -1, -1}, {ppLeftBottom, 6, -1, -1, h - 6}, {ppRightTop, -1, 8, w - 6, -1},
               {ppRightBottom, -1, -1, w - 6, h - 6}};
  for (const Case& k : cases) {
    tool.Position = k.pos;
    const TRect r = tool.ShapeBounds();
    for (auto [got, want] : {std::pair{r.Left, k.left}, {r.Top, k.top}, {r.Right, k.right}, {r.Bottom, k.bottom}})
      if (want >= 0) {
        EXPECT_EQ(got, want) << int(k.pos);
      }
  }
  int clicks = 0;
  tool.OnClick = [&](TAnnotationTool&, TMouseButton, TShiftState, int, int) { ++clicks; };
  const TRect r = tool.ShapeBounds();
  c.panel.MouseDown(mbLeft, 0, r.Left + 1, r.Top + 1);
  c.panel.MouseDown(mbLeft, 0, r.Left - 1, r.Top + 1);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(c.Draw()->Count(TDCOp::TextOut), ToolChart().Draw()->Count(TDCOp::TextOut) + 2);
}

TEST(RectangleTool, MovesAndResizes) {
  ToolChart c;
  TRectangleTool tool;
  tool.SetParentChart(&c.panel);
  EXPECT_EQ(tool.ShapeBounds(), (TRect{10, 10, 60, 60}));
  c.Drag({30, 30}, {40, 35});
  EXPECT_EQ(tool.ShapeBounds(), (TRect{20, 15, 70, 65}));
  c.Drag({70, 40}, {80, 40});
  EXPECT_EQ(tool.ShapeBounds(), (TRect{20, 15, 80, 65}));
}

TEST(MarksTipTool, HintOfThePointUnderTheMouse) {
  ToolChart c;
  TMarksTipTool tool;
  tool.SetParentChart(&c.panel);
  tool.Style = smsValue;
  std::vector<std::string> shown;
  TMarksTipTool::ShowHint = [&](TCustomAxisPanel&, const std::string& t, TPoint) { shown.push_back(t); };
  tool.OnGetText = [](TMarksTipTool&, std::string& t) { t += " dB"; };
  const TPoint p = c.At(7, 7);
  c.panel.MouseMove(0, p.X, p.Y);
  c.panel.MouseMove(0, p.X + 1, p.Y);  // the same text: shown once
  c.panel.MouseMove(0, 5, 5);
  TMarksTipTool::ShowHint = nullptr;
  EXPECT_EQ(shown, (std::vector<std::string>{"7 dB", ""}));
  EXPECT_EQ(c.s->Marks().Style(), smsLabel);
}

TEST(DragMarksTool, MovesTheMarkAndForgetsALostOne) {
  ToolChart c;
  c.s->Marks().SetVisible(true);
  c.Draw();
  TDragMarksTool tool;
  tool.SetParentChart(&c.panel);
  const TSeriesMarkPosition before = c.s->Marks().Positions()[4];
  const TRect b = before.Bounds();
  c.Drag({b.Left + 2, b.Top + 2}, {b.Left + 12, b.Top + 7});
  const TSeriesMarkPosition& after = c.s->Marks().Positions()[4];
  EXPECT_TRUE(after.Custom);
  EXPECT_EQ(after.LeftTop, (TPoint{before.LeftTop.X + 10, before.LeftTop.Y + 5}));
  // The marks lose their positions during a drag: the move is dropped.
  c.panel.MouseDown(mbLeft, 0, after.LeftTop.X + 2, after.LeftTop.Y + 2);
  c.s->Marks().Clear();
  c.panel.MouseMove(0, 300, 200);
  EXPECT_TRUE(c.s->Marks().Positions().empty());
}

TEST(ChartToolsExtra, HooksCutWhenEitherSideIsFreed) {
  {  // Grid band: the tool goes, the axis keeps no painter; bands under the grid.
    ToolChart c;
    const int fills = c.Draw()->Count(TDCOp::FillRect);
    auto tool = std::make_unique<TGridBandTool>();
    tool->SetAxis(&c.panel.LeftAxis());
    tool->Band1().SetColor(clYellow);
    tool->Band2().SetStyle(bsClear);
    EXPECT_GT(c.Draw()->Count(TDCOp::FillRect), fills);
    tool->SetAxis(&c.panel.BottomAxis());
    EXPECT_EQ(c.panel.LeftAxis().GridPainter, nullptr);
    tool.reset();
    EXPECT_EQ(c.panel.BottomAxis().GridPainter, nullptr);
    EXPECT_EQ(c.panel.LeftAxis().GridPainter, nullptr);
    EXPECT_EQ(c.Draw()->Count(TDCOp::FillRect), fills);
  }
  {  // Grid band: the chart goes first.
    TGridBandTool tool;
    {
      ToolChart c;
      tool.SetAxis(&c.panel.LeftAxis());
    }
    EXPECT_EQ(tool.Axis(), nullptr);
    EXPECT_EQ(tool.ParentChart(), nullptr);
  }
  {  // Clip series: clipped to the series' axes; the tool goes, the series draws unhooked.
    ToolChart c;
    auto tool = std::make_unique<TClipSeriesTool>();
    tool->SetParentChart(&c.panel);
    tool->SetSeries(c.s);
    const auto dc = c.Draw();
    const TChartAxis &h = c.panel.BottomAxis(), &v = c.panel.LeftAxis();
    bool found = false;
    for (const TDCRecord* r : dc->Of(TDCOp::ClipRect))
      found |= r->Args == std::vector<int>{h.PixelFrom, v.PixelFrom, h.PixelTo, v.PixelTo};
    EXPECT_TRUE(found);
    EXPECT_EQ(dc->Count(TDCOp::PushClip), dc->Count(TDCOp::PopClip));
    tool.reset();
    EXPECT_FALSE(c.s->BeforeDrawValues);
    EXPECT_FALSE(c.s->AfterDrawValues);
    c.Draw();
  }
  {  // Clip series: the series goes first.
    ToolChart c;
    TClipSeriesTool tool;
    tool.SetSeries(c.s);
    delete c.s;
    EXPECT_EQ(tool.Series(), nullptr);
  }
}

TEST(ChartImageTool, StretchedOverTheSeriesRange) {
  ToolChart c;
  TChartImageTool tool;
  tool.SetParentChart(&c.panel);
  EXPECT_EQ(c.Draw()->Count(TDCOp::StretchDraw), 0);  // no picture
  QImage image(4, 4, QImage::Format_RGB32);
  image.fill(Qt::blue);
  tool.Picture().SetImage(image);
  tool.SetSeries(c.s);
  c.s->Delete(0);
  const auto dc = c.Draw();
  ASSERT_EQ(dc->Count(TDCOp::StretchDraw), 1);
  const TPoint a = c.At(1, 10), b = c.At(10, 1);
  EXPECT_EQ(dc->Of(TDCOp::StretchDraw)[0]->Args, (std::vector<int>{a.X, a.Y, b.X, b.Y}));
}

TEST(SeriesAnimationTool, RunsOrAbortsWhenTheSeriesChanges) {
  enum What { kNothing, kAddPoint, kChangeValue, kFreeSeries, kFreeTool };
  struct Case {
    What what;
    bool finished;
    int steps;
  } cases[] = {{kNothing, true, 4}, {kAddPoint, false, 2}, {kChangeValue, false, 2}, {kFreeSeries, false, 2},
               {kFreeTool, false, 2}};
  TSeriesAnimationTool::ProcessMessages = [] {};
  for (const Case& k : cases) {
    ToolChart c;
    auto tool = std::make_unique<TSeriesAnimationTool>();
    tool->SetParentChart(&c.panel);
    tool->SetSeries(c.s);
    tool->Steps = 4;
    std::vector<double> seen;
    int steps = 0;
    TSeriesAnimationTool* t = tool.get();
    tool->OnStep = [&](TSeriesAnimationTool&, int step) {
      ++steps;
      seen.push_back(c.s->YValue(10));
      if (step < 2) return;
      if (k.what == kAddPoint) c.s->AppendPoint(11, 11);
      if (k.what == kChangeValue) c.s->YValues().SetValue(3, 99);
      if (k.what == kFreeSeries) delete c.s, c.s = nullptr;
      if (k.what == kFreeTool) tool.reset();
    };
    EXPECT_EQ(t->Execute(), k.finished);
    if (k.what != kFreeTool) {
      EXPECT_FALSE(tool->Running());
    }
    EXPECT_EQ(steps, k.steps) << int(k.what);
    EXPECT_EQ(seen.front(), 2.5);  // from the minimum 0 towards 10
    if (k.what == kNothing) {
      EXPECT_EQ(c.s->YValue(10), 10);
    }
    if (k.what == kAddPoint) {
      EXPECT_EQ(c.s->Count(), 12);
    }
    if (k.what == kChangeValue) {
      EXPECT_EQ(c.s->YValue(3), 99);
    }
  }
  TSeriesAnimationTool::ProcessMessages = nullptr;
}
