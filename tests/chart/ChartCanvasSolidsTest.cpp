// The canvas's solids as data: generated points, drawn faces, their order and
// shades, through the recording backend; and one picture of each.
#include <gtest/gtest.h>

#include <QLabel>
#include <cmath>
#include <numbers>

#include "chart/ChartCanvas.h"
#include "platform/PainterDC.h"
#include "platform/RecordingDC.h"
#include "support/QtApp.h"

namespace {

constexpr double kDeg = std::numbers::pi / 180;
constexpr TColor kGrey = RGB(200, 200, 200);
using TSizes = std::vector<size_t>;

struct Solids : ::testing::Test {
  TRecordingDC dc{{400, 300}};
  TChartCanvas3D canvas{&dc};
  TView3DOptions view;  // orthogonal at 45 degrees: (x, y, z) lands near (x + z, y - z)
  void Open(bool is3D) {
    canvas.SetOffscreenBuffering(false);
    canvas.OpenFrame(&dc, &view, clWhite, is3D, {0, 0, 400, 300});
    canvas.Projection(100, {0, 0, 400, 300});  // projection centre (200, 150)
    dc.SetBrush({TDCBrushStyle::Solid, kGrey, {}});
    dc.List.clear();
  }
  TSizes Sizes() const {
    TSizes out;
    for (const TDCRecord* r : dc.Of(TDCOp::Polygon)) out.push_back(r->Points.size());
    return out;
  }
};

}  // namespace

TEST_F(Solids, PieArcPointsWallsAndSides) {
  struct Case { double from, to; int radius; TSizes sizes; } cases[] = {  // cap (arc points + 1), wall runs
      {0, 360, 100, {97, 94}}, {0, 1, 100, {3}}, {0, 5, 100, {5}},  // 0.5 and 2.5 steps round to even
      {270, 630, 1000, {97, 52, 50}},                             // the wall wraps round at the end
      {180, 362, 1000, {94, 186}}};                               // the last step turns back: still drawn
  for (const Case& c : cases) {
    Open(false);
    canvas.SolidPie(0, 0, c.radius, c.radius, 0, 10, c.from * kDeg, c.to * kDeg, false, false, 0, nullptr);
    EXPECT_EQ(Sizes(), c.sizes) << c.from << ".." << c.to;
  }
  for (int hole : {50, 0}) {  // both sides, then the cap; a hole adds the inner wall first
    Open(false);
    canvas.SolidPie(100, 100, 150, 150, 0, 10, 0, 90 * kDeg, true, true, hole, nullptr);
    EXPECT_EQ(Sizes(), (hole ? TSizes{94, 4, 4, 95} : TSizes{4, 4, 48}));
  }
  const auto p = dc.Of(TDCOp::Polygon);  // without a hole the sides meet at the centre; shaded, the cap not
  EXPECT_EQ(p[0]->Points[0], (TPoint{100, 100}));
  EXPECT_EQ((std::vector{p[0]->Brush.Color, p[2]->Brush.Color}), (std::vector{RGB(168, 168, 168), kGrey}));
}

TEST_F(Solids, ConeSidesShadesAndCaps) {
  for (int tip : {100, 50, 0}) {
    Open(false);  // flat: the faces whose x grows face the viewer; only a cylinder closes the last one
    canvas.Cone(true, {100, 50, 200, 250}, 0, 40, true, tip);
    const auto p = dc.Of(TDCOp::Polygon);
    ASSERT_EQ(p.size(), tip == 100 ? 9u : 8u);
    for (size_t f = 0; f + 1 < p.size(); ++f)  // 0, 8, ... in vertex order; the closing face as face 14
      EXPECT_EQ(p[f]->Brush.Color, DarkenChannels(kGrey, f < 7 ? 8 * int(f) : 112));
    EXPECT_EQ(p.back()->Brush.Color, DarkenChannels(kGrey, 64));
    if (tip == 100) { EXPECT_EQ(p[0]->Points, (std::vector<TPoint>{{104, 50}, {104, 250}, {115, 250}, {115, 50}})); }
    if (tip == 0) { EXPECT_EQ(p.back()->Points, std::vector<TPoint>(16, {150, 50})); }  // pointed
  }
  dc.List.clear();
  SolidSideCount = 0;
  canvas.Cone(true, {100, 50, 200, 250}, 0, 40, true, 50);
  SolidSideCount = 16;
  EXPECT_TRUE(dc.List.empty());
}

TEST_F(Solids, PyramidsShowTheFacesTowardsTheViewer) {
  struct Case { bool vertical; TRect r; TSizes sizes; } cases[] = {  // triangles, then the flat base
      {true, {100, 100, 200, 200}, {3, 3}},      // front, right
      {true, {100, 200, 200, 100}, {3, 3, 4}},   // upside down: its base on top
      {false, {100, 100, 200, 200}, {3, 3}},     // front, upper
      {false, {200, 100, 100, 200}, {3, 3, 4}},  // pointing left: its base on the right
      {true, {100, 150, 200, 150}, {4}}};        // flat: its base, seen from above
  for (const Case& c : cases) {
    Open(true);
    canvas.Pyramid(c.vertical, c.r, 0, 50, false);
    EXPECT_EQ(Sizes(), c.sizes) << c.vertical << c.r.Top << c.r.Left;
  }
  for (int halfWidth : {20, 0}) {  // base, front, right, top; a ridge has no top
    Open(true);
    canvas.TruncatedPyramid({100, 100, 200, 200}, 0, 40, halfWidth, 10);
    EXPECT_EQ(Sizes().size(), halfWidth ? 4u : 3u);
  }
  Open(true);  // each corner moved by its own depth
  canvas.SolidTriangle({200, 150, 0}, {210, 150, 10}, {200, 170, 30});
  EXPECT_EQ(dc.Of(TDCOp::Polygon).at(0)->Points, (std::vector<TPoint>{{200, 150}, {220, 140}, {230, 140}}));
}

TEST_F(Solids, DonutPathAndEllipseOutline) {
  for (double hole : {0.0, 50.0}) {  // the inner arc runs back clockwise
    Open(false);
    canvas.Donut(100, 100, 50, 40, 0, kDeg * 90, hole);
    const auto arcs = dc.Of(TDCOp::ArcTo);
    ASSERT_EQ(arcs.size(), hole ? 2u : 1u);
    EXPECT_EQ(arcs[0]->Args, (std::vector<int>{50, 60, 150, 140, 150, 100, 100, 60, 0}));
    if (hole) { EXPECT_EQ(arcs[1]->Args, (std::vector<int>{75, 80, 125, 120, 100, 80, 125, 100, 1})); }
  }
  view.SetOrthogonal(false), view.SetElevation(0), view.SetRotation(0), view.SetPerspective(0);
  Open(true);  // rotated by nothing: the outline's own points, from the bottom through the right side
  canvas.EllipseAtDepth({50, 50, 150, 121}, 20);
  const auto& pts = dc.Of(TDCOp::Polyline).at(0)->Points;
  EXPECT_EQ((std::vector{pts[0], pts[16], pts[63]}), (std::vector<TPoint>{{100, 121}, {150, 84}, {100, 120}}));
}

TEST_F(Solids, NonFiniteInputAndBadIndicesDrawNothing) {
  Open(true);
  const TPoint pt[1] = {{1, 1}};
  canvas.Sphere(100, 100, 0, NAN);
  canvas.SolidPie(100, 100, 50, 50, 0, 10, -1e308, 1e308, true, true, 0, nullptr);
  canvas.Donut(100, 100, 50, 50, 0, INFINITY, 0);
  canvas.Polygon(pt, -3);
  canvas.ClipToPolygon(pt, -1);  // still a clip level for the RestoreClip that follows
  EXPECT_EQ(dc.List.size(), 1u);
}

TEST(SolidsPicture, Screenshots) {
  EnsureQApplication();
  TChartGradient gradient;
  gradient.SetStartColor(clYellow), gradient.SetEndColor(clRed);
  TView3DOptions view;
  view.SetOrthogonal(false);
  const std::pair<const char*, std::function<void(TChartCanvas3D&)>> solids[] = {
      {"solid_donut", [](TChartCanvas3D& c) { c.Donut(180, 130, 110, 90, 20 * kDeg, 300 * kDeg, 45); }},
      {"solid_pie", [&](TChartCanvas3D& c) { c.SolidPie(180, 130, 130, 90, 0, 40, 0.3, 4.8, true, true, 40, &gradient); }},
      {"solid_cone", [](TChartCanvas3D& c) { c.Cone(true, {110, 40, 250, 220}, 10, 90, true, 0); }},
      {"solid_cylinder", [](TChartCanvas3D& c) { c.Cylinder(false, {60, 70, 300, 190}, 10, 90, true); }},
      {"solid_pyramid", [](TChartCanvas3D& c) { c.Pyramid(true, {100, 40, 260, 220}, 10, 90, true); }},
      {"solid_truncated_pyramid", [](TChartCanvas3D& c) { c.TruncatedPyramid({90, 60, 270, 220}, 10, 90, 40, 15); }},
      {"solid_sphere", [](TChartCanvas3D& c) { c.Sphere(180, 130, 50, 90); }}};
  for (const auto& [name, draw] : solids) {
    QImage image(360, 260, QImage::Format_RGB32);
    image.fill(Qt::white);
    TPainterDC dc(&image);
    TChartCanvas3D canvas(&dc);
    canvas.SetOffscreenBuffering(false);
    canvas.OpenFrame(&dc, &view, clWhite, true, {0, 0, 360, 260});
    canvas.Projection(100, {0, 0, 360, 260});
    dc.SetBrush({TDCBrushStyle::Solid, RGB(70, 130, 220), {}});
    draw(canvas);
    dc.Flush();
    QLabel label;
    label.setPixmap(QPixmap::fromImage(image));
    label.resize(image.size());
    if (!SaveScreenshot(&label, name)) GTEST_SKIP() << "FW_SCREENSHOT_DIR not set";
  }
}
