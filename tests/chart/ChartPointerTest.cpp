// Series pointers: the shape of every style flat, at depth and as a solid
// (through the recording), their blend and gradient (through pixels), the
// point's own style, the hit rule, the legend symbol and the callout's end.
#include <gtest/gtest.h>

#include <QTest>

#include <map>

#include "chart/ChartSetup.h"
#include "chart/Series.h"
#include "platform/PainterDC.h"
#include "platform/RecordingDC.h"
#include "support/QtApp.h"

namespace {

constexpr TSeriesPointerStyle kStyles[] = {psRectangle, psCircle,  psTriangle, psDownTriangle,
                                           psCross,     psDiagCross, psStar,   psDiamond,
                                           psSmallDot,  psNothing, psLeftTriangle, psRightTriangle};
const char* const kStyleNames[] = {"Rectangle", "Circle",   "Triangle", "DownTriangle", "Cross",        "DiagCross",
                                   "Star",      "Diamond",  "SmallDot", "Nothing",      "LeftTriangle", "RightTriangle"};

// One series per style, a row each; `view` 0 flat, 1 orthogonal, 2 rotated.
std::unique_ptr<TChart> StylesChart(int view) {
  auto c = MakePlainChart(30, 10, 10, 20, 760, 520);
  c->Legend().SetVisible(true);
  c->SetView3D(view > 0);
  c->View3DOptions().SetOrthogonal(view == 1);
  c->SetChart3DPercent(30);
  for (int s = 0; s < 12; ++s) {
    auto* series = AddChartSeries<TCustomSeries>(*c, c->PaletteColorAt(s), kStyleNames[s]);
    // In 3-D all share one depth, and only the pointers are drawn.
    series->DepthOrder = 0, series->Depth = 14;
    series->LinePen().SetVisible(view == 0);
    series->Pointer().SetStyle(kStyles[s]);
    series->Pointer().SetHorizSize(7), series->Pointer().SetVertSize(7);
    for (int i = 0; i < 5; ++i) series->AppendPoint(i, 12 - s + 0.3 * (i % 2));
  }
  // The rectangles filled with a gradient, the circles half transparent.
  TSeriesPointer& rectangles = static_cast<TCustomSeries*>(c->Series(0))->Pointer();
  rectangles.Gradient().SetVisible(true), rectangles.Gradient().SetEndColor(clRed);
  static_cast<TCustomSeries*>(c->Series(1))->Pointer().SetTransparency(50);
  return c;
}

// A pointer drawn alone on a canvas, flat or in an orthogonal view at 45
// degrees where depth z moves a point by (+z, -z).
struct PointerCanvas {
  TView3DOptions view;
  TSeriesPointer pointer;
  void Draw(TChartCanvas3D& c, IDeviceContext& dc, bool is3D, TSeriesPointerStyle style, TColor color) {
    c.SetOffscreenBuffering(false);
    c.OpenFrame(&dc, &view, clWhite, is3D, {0, 0, 200, 200});
    c.Projection(100, {0, 0, 200, 200});
    pointer.PrepareCanvas(c, color);
    pointer.DrawShape(c, is3D, {100, 100}, {4, 3}, style, {10, 15, 20});
  }
};

// The drawing calls as text, relative to the pointer's centre at its start depth.
std::string Calls(const TRecordingDC& dc, TPoint centre) {
  std::string out;
  auto add = [&](int x, int y) { out += std::to_string(x - centre.X) + "," + std::to_string(y - centre.Y) + " "; };
  for (const TDCRecord& r : dc.List) {
    static const std::map<TDCOp, char> kOps = {{TDCOp::MoveTo, 'M'}, {TDCOp::LineTo, 'L'}, {TDCOp::Polygon, 'P'},
                                               {TDCOp::Rectangle, 'R'}, {TDCOp::Ellipse, 'E'}, {TDCOp::SetPixel, 'S'}};
    const auto op = kOps.find(r.Op);
    if (op == kOps.end()) continue;
    out += op->second;
    for (const TPoint& p : r.Points) add(p.X, p.Y);
    const size_t n = r.Op == TDCOp::Rectangle || r.Op == TDCOp::Ellipse ? 4 : r.Points.empty() ? 2 : 0;
    for (size_t i = 0; i + 1 < n && i + 1 < r.Args.size(); i += 2) add(r.Args[i], r.Args[i + 1]);
  }
  return out;
}

}  // namespace

// Each style flat, at the start depth (a small dot at the middle one) and
// with Draw3D, where rectangles become cubes and up and down triangles
// pyramids; "" in the last two columns: as the column before.
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
    std::string want = c.flat;
    for (int mode = 0; mode < 3; ++mode) {
      const char* column = mode == 1 ? c.depth : mode == 2 ? c.solid : c.flat;
      if (*column) want = column;
      TRecordingDC dc({200, 200});
      TChartCanvas3D canvas(&dc);
      PointerCanvas p;
      p.pointer.SetDraw3D(mode == 2);
      p.Draw(canvas, dc, mode > 0, c.style, clRed);
      EXPECT_EQ(Calls(dc, mode ? TPoint{110, 90} : TPoint{100, 100}), want) << kStyleNames[c.style] << " " << mode;
    }
  }
}

// The blend covers the shape wherever it lies, its edges included; the
// gradient fills inside the outline.
TEST(ChartPointer, TransparencyAndGradientInPixels) {
  const struct {
    const char* name;
    TSeriesPointerStyle style;
    bool is3D, gradient;
    TPoint at;
    QRgb want;
  } cases[] = {
      {"half transparent", psRectangle, false, false, {100, 100}, qRgb(255, 127, 127)},
      {"its right edge", psRectangle, false, false, {104, 100}, qRgb(127, 127, 127)},
      {"beside it", psRectangle, false, false, {106, 100}, qRgb(255, 255, 255)},
      {"at depth 10", psCircle, true, false, {110, 90}, qRgb(255, 127, 127)},
      {"gradient inside", psDiamond, false, true, {100, 100}, qRgb(0, 0, 255)},
      {"outline kept", psRectangle, false, true, {100, 97}, qRgb(0, 0, 0)},
  };
  EnsureQApplication();
  for (const auto& c : cases) {
    QImage image(200, 200, QImage::Format_RGB32);
    image.fill(Qt::white);
    TPainterDC dc(&image);
    TChartCanvas3D canvas(&dc);
    PointerCanvas p;
    p.pointer.SetDraw3D(false);
    p.pointer.SetTransparency(c.gradient ? 0 : 50);
    p.pointer.Gradient().SetVisible(c.gradient);
    p.pointer.Gradient().SetStartColor(clBlue), p.pointer.Gradient().SetEndColor(clBlue);
    p.Draw(canvas, dc, c.is3D, c.style, clRed);
    dc.Flush();
    EXPECT_EQ(image.pixel(c.at.X, c.at.Y), c.want) << c.name;
  }
}

// A point's own style decides its shape and whether it can be hit; a hit
// lies less than the half sizes away and fires OnClickPointer.
TEST(ChartPointer, PointStylesAndHits) {
  EnsureQApplication();
  auto c = MakePlainChart(0, 0, 0, 0, 200, 200);
  auto* s = AddChartSeries<TCustomSeries>(*c, clRed, "s");
  s->LinePen().SetVisible(false);
  s->ClickableLine = false;
  for (int i = 0; i < 3; ++i) s->AppendPoint(i, i);
  s->OnGetPointerStyle = [](TChartSeries&, int i) { return i == 0 ? psTriangle : i == 1 ? psNothing : psCircle; };
  std::vector<int> clicked;
  s->OnClickPointer = [&](TChartSeries&, int i) { clicked.push_back(i); };
  std::map<TDCOp, int> shapes;
  for (const TDCRecord& r : c->BuildMetafile(c->PanelRectangle()).Records)
    if (r.Brush.Color == clRed && (r.Op == TDCOp::Polygon || r.Op == TDCOp::Ellipse || r.Op == TDCOp::Rectangle))
      ++shapes[r.Op];
  EXPECT_EQ(shapes, (std::map<TDCOp, int>{{TDCOp::Polygon, 1}, {TDCOp::Ellipse, 1}}));

  const TPoint p1{s->PointPixelX(1), s->PointPixelY(1)}, p2{s->PointPixelX(2), s->PointPixelY(2)};
  const std::pair<TPoint, int> hits[] = {
      {{p2.X + 3, p2.Y - 3}, 2}, {{p2.X + 4, p2.Y}, -1}, {{p2.X, p2.Y + 4}, -1},
      {{p1.X + 1, p1.Y}, -1},  // no pointer to hit
      {p1, 1}};                // but the point itself
  for (const auto& [at, index] : hits) EXPECT_EQ(s->Clicked(at.X, at.Y), index) << at.X << "," << at.Y;
  EXPECT_EQ(clicked, std::vector<int>{2});
}

// Pictures of every style flat, orthogonal and rotated: written only with FW_SCREENSHOT_DIR.
TEST(ChartPointerScreenshot, EveryStyleFlatAndIn3D) {
  EnsureQApplication();
  const char* names[] = {"pointers_2d", "pointers_3d_orthogonal", "pointers_3d_rotated"};
  for (int view = 0; view < 3; ++view) {
    auto c = StylesChart(view);
    TChartHost host(*c);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    if (!SaveScreenshot(&host, names[view])) GTEST_SKIP() << "FW_SCREENSHOT_DIR not set";
  }
}
