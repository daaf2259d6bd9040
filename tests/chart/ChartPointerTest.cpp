// Series pointers: every style flat, at depth and as a solid (recorded), the
// blend and gradient (pixels), a point's own style and the hit rule.
#include <gtest/gtest.h>

#include <QTest>

#include "chart/ChartSetup.h"
#include "chart/Series.h"
#include "platform/PainterDC.h"
#include "platform/RecordingDC.h"
#include "support/QtApp.h"

namespace {

// A pointer of half sizes 4 x 3 at (100, 100), flat or in the orthogonal view
// at 45 degrees where depth z moves a point by (+z, -z); depths 10, 15, 20.
void DrawPointer(TSeriesPointer& pointer, IDeviceContext& dc, bool is3D, TSeriesPointerStyle style) {
  TView3DOptions view;
  TChartCanvas3D c(&dc);
  c.SetOffscreenBuffering(false);
  c.OpenFrame(&dc, &view, clWhite, is3D, {0, 0, 200, 200});
  c.Projection(100, {0, 0, 200, 200});
  pointer.PrepareCanvas(c, clRed);
  pointer.DrawShape(c, is3D, {100, 100}, {4, 3}, style, {10, 15, 20});
}

}  // namespace

// The drawing calls relative to the centre at the start depth ("" in the last
// two columns: as the column before): rectangles become cubes and up and down
// triangles pyramids with Draw3D; a small dot lies at the middle depth.
TEST(ChartPointer, ShapesFlatAtDepthAndSolid) {
  const char* const cube = "P-4,-3 4,-3 4,3 -4,3 P4,-3 14,-13 14,-7 4,3 P6,-13 14,-13 4,-3 -4,-3 ";
  const struct {
    TSeriesPointerStyle style;
    const char *flat, *depth, *solid;
  } cases[] = {
      {psRectangle, "R-4,-3 5,4 ", "P-4,-3 4,-3 4,3 -4,3 ", cube},
      {psCircle, "E-4,-3 4,3 ", "", ""},
      {psTriangle, "P-4,3 0,-3 4,3 ", "", "P-4,3 5,-8 4,3 P4,3 5,-8 14,-7 "},
      {psDownTriangle, "P-4,-3 4,-3 0,3 ", "", "P-4,-3 5,-2 4,-3 P4,-3 5,-2 14,-13 P-4,-3 4,-3 14,-13 6,-13 "},
      {psLeftTriangle, "P-4,0 4,-3 4,3 ", "", ""},
      {psRightTriangle, "P-4,-3 4,0 -4,3 ", "", ""},
      {psCross, "M-4,0 L5,0 M0,-3 L0,4 ", "", ""},
      {psDiagCross, "M-4,-3 L5,4 M-4,3 L5,-4 ", "", ""},
      {psStar, "M-4,0 L5,0 M0,-3 L0,4 M-4,-3 L5,4 M-4,3 L5,-4 ", "", ""},
      {psDiamond, "P0,-3 4,0 0,3 -4,0 ", "", ""},
      {psSmallDot, "S0,0 ", "S5,-5 ", ""},
      {psNothing, "", "", ""},
  };
  EnsureQApplication();
  for (const auto& c : cases) {
    std::string want;
    for (int mode = 0; mode < 3; ++mode) {
      const char* column = mode == 0 ? c.flat : mode == 1 ? c.depth : c.solid;
      if (mode == 0 || *column) want = column;
      TRecordingDC dc({200, 200});
      TSeriesPointer pointer;
      pointer.SetDraw3D(mode == 2);
      DrawPointer(pointer, dc, mode > 0, c.style);
      const TPoint o = mode ? TPoint{110, 90} : TPoint{100, 100};
      std::string calls;
      for (const TDCRecord& r : dc.List) {
        const char op = r.Op == TDCOp::MoveTo ? 'M' : r.Op == TDCOp::LineTo ? 'L' : r.Op == TDCOp::Polygon ? 'P'
                        : r.Op == TDCOp::Rectangle ? 'R' : r.Op == TDCOp::Ellipse ? 'E' : r.Op == TDCOp::SetPixel ? 'S' : 0;
        if (!op) continue;
        std::vector<TPoint> pts = r.Points;  // else the call's first one or two points
        if (pts.empty()) pts = {{r.Args[0], r.Args[1]}};
        if (op == 'R' || op == 'E') pts.push_back({r.Args[2], r.Args[3]});
        calls += op;
        for (TPoint p : pts) calls += std::to_string(p.X - o.X) + "," + std::to_string(p.Y - o.Y) + " ";
      }
      EXPECT_EQ(calls, want) << int(c.style) << " " << mode;
    }
  }
}

// The blend covers the shape wherever it lies, its edges included; the
// gradient fills inside the outline.
TEST(ChartPointer, TransparencyAndGradientInPixels) {
  const struct {
    TSeriesPointerStyle style;
    bool is3D, gradient;
    TPoint at;
    QRgb want;
  } cases[] = {
      {psRectangle, false, false, {100, 100}, qRgb(255, 127, 127)}, {psRectangle, false, false, {104, 100}, qRgb(127, 127, 127)},
      {psRectangle, false, false, {106, 100}, qRgb(255, 255, 255)}, {psCircle, true, false, {110, 90}, qRgb(255, 127, 127)},
      {psDiamond, false, true, {100, 100}, qRgb(0, 0, 255)},        {psRectangle, false, true, {100, 97}, qRgb(0, 0, 0)},
      // In 3-D the gradient fills the face at the start depth.
      {psRectangle, true, true, {110, 90}, qRgb(0, 0, 255)},        {psDiamond, true, true, {111, 90}, qRgb(0, 0, 255)},
      {psCircle, true, true, {110, 90}, qRgb(0, 0, 255)},
  };
  EnsureQApplication();
  for (const auto& c : cases) {
    QImage image(200, 200, QImage::Format_RGB32);
    image.fill(Qt::white);
    TPainterDC dc(&image);
    TSeriesPointer pointer;
    pointer.SetDraw3D(false);
    pointer.SetTransparency(c.gradient ? 0 : 50);
    pointer.Gradient().SetVisible(c.gradient);
    pointer.Gradient().SetStartColor(clBlue), pointer.Gradient().SetEndColor(clBlue);
    DrawPointer(pointer, dc, c.is3D, c.style);
    dc.Flush();
    EXPECT_EQ(image.pixel(c.at.X, c.at.Y), c.want) << c.at.X << "," << c.at.Y;
  }
}

// A point's own style decides its shape and whether it can be hit; a hit
// lies less than the half sizes away and fires OnClickPointer.
TEST(ChartPointer, PointStylesAndHits) {
  EnsureQApplication();
  auto c = MakePlainChart(0, 0, 0, 0, 200, 200);
  auto* s = AddChartSeries<TCustomSeries>(*c, clRed, "s");
  s->SetClickableLine(false);
  for (int i = 0; i < 3; ++i) s->AppendPoint(i, i);
  s->OnGetPointerStyle = [](TChartSeries&, int i) { return i == 0 ? psTriangle : i == 1 ? psNothing : psCircle; };
  std::vector<int> clicked;
  s->OnClickPointer = [&](TChartSeries&, int i) { clicked.push_back(i); };
  std::vector<TDCOp> shapes;
  for (const TDCRecord& r : c->BuildMetafile(c->PanelRectangle()).Records)
    if (r.Brush.Color == clRed && (r.Op == TDCOp::Polygon || r.Op == TDCOp::Ellipse || r.Op == TDCOp::Rectangle))
      shapes.push_back(r.Op);
  EXPECT_EQ(shapes, (std::vector<TDCOp>{TDCOp::Polygon, TDCOp::Ellipse}));
  const TPoint p1{s->PointPixelX(1), s->PointPixelY(1)}, p2{s->PointPixelX(2), s->PointPixelY(2)};
  const std::pair<TPoint, int> hits[] = {{{p2.X + 3, p2.Y - 2}, 2}, {{p2.X + 4, p2.Y}, -1}, {{p2.X, p2.Y + 4}, -1},
                                         {{p1.X + 1, p1.Y}, -1} /* no pointer */, {p1, 1} /* the point itself */};
  for (const auto& [at, index] : hits) EXPECT_EQ(s->Clicked(at.X, at.Y), index) << at.X << "," << at.Y;
  EXPECT_EQ(clicked, std::vector<int>{2});
}

// Pictures of every style flat, orthogonal and rotated (only with FW_SCREENSHOT_DIR):
// in 3-D all styles share one depth and only the pointers are drawn; the
// rectangles have a gradient, the circles are half transparent.
TEST(ChartPointerScreenshot, EveryStyleFlatAndIn3D) {
  EnsureQApplication();
  const char* names[] = {"Rectangle", "Circle", "Triangle", "DownTriangle", "Cross", "DiagCross",
                         "Star", "Diamond", "SmallDot", "Nothing", "LeftTriangle", "RightTriangle"};
  const char* pictures[] = {"pointers_2d", "pointers_3d_orthogonal", "pointers_3d_rotated"};
  for (int view = 0; view < 3; ++view) {
    auto c = MakePlainChart(30, 10, 10, 20, 760, 520);
    c->Legend().SetVisible(true);
    c->SetView3D(view > 0);
    c->View3DOptions().SetOrthogonal(view == 1);
    for (int s = 0; s < 12; ++s) {
      auto* series = AddChartSeries<TCustomSeries>(*c, c->PaletteColorAt(s), names[s]);
      series->DepthOrder = 0, series->Depth = 14;
      series->LinePen().SetVisible(view == 0);
      TSeriesPointer& p = series->Pointer();
      p.SetStyle(TSeriesPointerStyle(s)), p.SetHorizSize(7), p.SetVertSize(7);
      p.Gradient().SetVisible(s == 0), p.Gradient().SetEndColor(clRed), p.SetTransparency(s == 1 ? 50 : 0);
      for (int i = 0; i < 5; ++i) series->AppendPoint(i, 12 - s + 0.3 * (i % 2));
    }
    TChartHost host(*c);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    if (!SaveScreenshot(&host, pictures[view])) GTEST_SKIP() << "FW_SCREENSHOT_DIR not set";
  }
}
