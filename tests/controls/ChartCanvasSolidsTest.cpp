// The canvas's solids as data: generated points, drawn faces, their order and
// shades, through the recording backend; and one picture of each.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "controls/ChartCanvas.h"
#include "platform/PainterDC.h"
#include "platform/RecordingDC.h"
#include "support/QtApp.h"

namespace {

constexpr double kDeg = std::numbers::pi / 180;
constexpr TColor kGrey = RGB(200, 200, 200);

struct Solids : ::testing::Test {
  TRecordingDC dc{{400, 300}};
  TChartCanvas3D canvas{&dc};
  TView3DOptions view;  // orthogonal at 45 degrees: (x, y, z) lands near (x + z, y - z)
  void Open(bool is3D) {
    canvas.SetOffscreenBuffering(false);
    canvas.OpenFrame(&dc, &view, clWhite, is3D, {0, 0, 400, 300});
    canvas.Projection(100, {0, 0, 400, 300});
    dc.SetBrush({TDCBrushStyle::Solid, kGrey, {}});
    dc.List.clear();
  }
  std::vector<const TDCRecord*> Polygons() const { return dc.Of(TDCOp::Polygon); }
  std::vector<size_t> Sizes() const {
    std::vector<size_t> out;
    for (const TDCRecord* r : Polygons()) out.push_back(r->Points.size());
    return out;
  }
};

}  // namespace

TEST_F(Solids, PieArcPointsAndFrontWalls) {
  struct Case {
    double from, to;
    int radius;
    std::vector<size_t> sizes;  // the cap (arc points + 1), then each wall run
  } cases[] = {{0, 360, 100, {97, 94}}, {0, 1, 100, {3}},  // one degree: round(0.5) is 0
               {0, 5, 100, {5}},                            // 2.5 steps round to 2
               {270, 630, 1000, {97, 52, 50}},               // the wall wraps round at the end
               {180, 362, 1000, {94, 186}}};                 // the last step turns back: still drawn
  for (const Case& c : cases) {
    Open(false);
    canvas.SolidPie(0, 0, c.radius, c.radius, 0, 10, c.from * kDeg, c.to * kDeg, false, false, 0, nullptr);
    EXPECT_EQ(Sizes(), c.sizes) << c.from << ".." << c.to;
  }
}

TEST_F(Solids, PieHoleSidesAndShades) {
  for (int hole : {0, 50}) {
    Open(false);  // the projection centre (200, 150) lies between both side faces
    canvas.SolidPie(100, 100, 150, 150, 0, 10, 0, 90 * kDeg, true, true, hole, nullptr);
    const auto p = Polygons();
    const size_t sides = hole ? 1 : 0;  // after the inner wall of 2 * 47 points
    ASSERT_EQ(Sizes().size(), sides + 3);
    if (hole) { EXPECT_EQ(p[0]->Points.size(), 94u); }
    for (size_t i = sides; i < sides + 2; ++i) {
      EXPECT_EQ(p[i]->Points.front() == (TPoint{100, 100}), hole == 0);  // sides meet at the centre
      EXPECT_EQ(p[i]->Brush.Color, RGB(168, 168, 168));
    }
    EXPECT_EQ(p[sides + 2]->Points.size(), hole ? 95u : 48u);  // the cap, unshaded
    EXPECT_EQ(p[sides + 2]->Brush.Color, kGrey);
  }
}

TEST_F(Solids, ConeSidesShadesAndCaps) {
  struct Case {
    int tip;
    size_t sides;
  } cases[] = {{100, 8}, {50, 7}, {0, 7}};  // only a cylinder closes its last face
  for (const Case& c : cases) {
    Open(false);  // flat: the faces whose x grows face the viewer
    canvas.Cone(true, {100, 50, 200, 250}, 0, 40, true, c.tip);
    const auto p = Polygons();
    ASSERT_EQ(p.size(), c.sides + 1) << c.tip;
    if (c.tip == 100) { EXPECT_EQ(p[0]->Points, (std::vector<TPoint>{{104, 50}, {104, 250}, {115, 250}, {115, 50}})); }
    for (size_t f = 0; f < 7; ++f) EXPECT_EQ(p[f]->Brush.Color, DarkenChannels(kGrey, 8 * int(f)));
    if (c.tip == 100) { EXPECT_EQ(p[7]->Brush.Color, DarkenChannels(kGrey, 112)); }  // the face before it
    EXPECT_EQ(p.back()->Brush.Color, DarkenChannels(kGrey, 64));
    if (c.tip == 0) { EXPECT_EQ(p.back()->Points, std::vector<TPoint>(16, {150, 50})); }  // pointed
    std::vector<TColor> shades;
    for (const TDCRecord* r : dc.Of(TDCOp::SetBrush)) shades.push_back(r->Brush.Color);
    ASSERT_EQ(shades.size(), 15u);  // faces 1..14 in vertex order, then the cap
    for (int f = 1; f < 15; ++f) EXPECT_EQ(shades[f - 1], DarkenChannels(kGrey, 8 * f));
  }
  dc.List.clear();
  SolidSideCount = 0;
  canvas.Cone(true, {100, 50, 200, 250}, 0, 40, true, 50);
  SolidSideCount = 16;
  EXPECT_TRUE(dc.List.empty());
}

TEST_F(Solids, PyramidsShowTheFacesTowardsTheViewer) {
  struct Case {
    bool vertical;
    TRect r;
    std::vector<size_t> sizes;  // triangles, then the flat base
  } cases[] = {{true, {100, 100, 200, 200}, {3, 3}},          // front, right
               {true, {100, 200, 200, 100}, {3, 3, 4}},       // upside down: its base on top
               {false, {100, 100, 200, 200}, {3, 3}},         // front, upper
               {false, {200, 100, 100, 200}, {3, 3, 4}},      // pointing left: its base on the right
               {true, {100, 150, 200, 150}, {4}}};            // flat: its base, seen from above
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
}

TEST_F(Solids, DonutPathAndEllipseOutline) {
  for (double hole : {0.0, 50.0}) {
    Open(false);
    canvas.Donut(100, 100, 50, 40, 0, kDeg * 90, hole);
    const auto arcs = dc.Of(TDCOp::ArcTo);
    ASSERT_EQ(arcs.size(), hole ? 2u : 1u);
    EXPECT_EQ(arcs[0]->Args, (std::vector<int>{50, 60, 150, 140, 150, 100, 100, 60, 0}));
    if (hole) { EXPECT_EQ(arcs[1]->Args, (std::vector<int>{75, 80, 125, 120, 100, 80, 125, 100, 1})); }
    EXPECT_EQ(dc.Of(TDCOp::LineTo).back()->Args, (std::vector<int>{150, 100}));
    EXPECT_EQ(dc.Count(TDCOp::StrokeAndFillPath), 1);
  }
  view.SetOrthogonal(false), view.SetElevation(0), view.SetRotation(0), view.SetPerspective(0);
  Open(true);  // rotated by nothing: the outline's own points
  canvas.EllipseAtDepth({50, 50, 150, 121}, 20);
  const auto& pts = dc.Of(TDCOp::Polyline).at(0)->Points;
  EXPECT_EQ(pts[0], (TPoint{100, 121}));   // the bottom, not the centre plus the half height
  EXPECT_EQ(pts[16], (TPoint{150, 84}));   // then the right side
  EXPECT_EQ(pts[63], (TPoint{100, 120}));
}

TEST_F(Solids, NonFiniteInputAndBadIndicesDrawNothing) {
  Open(true);
  canvas.Sphere(100, 100, 0, NAN);
  canvas.SolidPie(100, 100, 50, 50, 0, 10, NAN, 1, true, true, 0, nullptr);
  canvas.SolidPie(100, 100, 50, 50, 0, 10, -1e308, 1e308, true, true, 0, nullptr);
  canvas.Donut(100, 100, 50, 50, 0, INFINITY, 0);
  const TPoint pt[1] = {{1, 1}};
  canvas.Polygon(pt, -3);
  canvas.PolylineAtDepth(pt, -2, 0);
  EXPECT_TRUE(dc.List.empty());
}

TEST(SolidsPicture, Screenshots) {
  EnsureQApplication();
  TChartGradient gradient;
  gradient.SetStartColor(clYellow), gradient.SetEndColor(clRed);
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
    TView3DOptions view;
    view.SetOrthogonal(false);
    {
      TPainterDC dc(&image);
      TChartCanvas3D canvas(&dc);
      canvas.SetOffscreenBuffering(false);
      canvas.OpenFrame(&dc, &view, clWhite, true, {0, 0, 360, 260});
      canvas.Projection(100, {0, 0, 360, 260});
      dc.SetBrush({TDCBrushStyle::Solid, RGB(70, 130, 220), {}});
      draw(canvas);
    }
    if (!SaveScreenshot(image, name)) GTEST_SKIP() << "FW_SCREENSHOT_DIR not set";
  }
}
