// The chart canvas: projection, gradients, blending, text effects and shapes,
// checked through the recording backend and, for pixels, a QImage.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "chart/ChartCanvas.h"
#include "platform/PainterDC.h"
#include "platform/RecordingDC.h"
#include "support/QtApp.h"

namespace {

// A canvas drawing straight onto a recording surface.
struct Recorded {
  TRecordingDC dc{{400, 300}};
  TChartCanvas3D canvas{&dc};
  TView3DOptions view;
  Recorded() { canvas.SetOffscreenBuffering(false); }
  void Open(bool is3D, const TRect& r = {0, 0, 400, 300}, int depth = 100) {
    canvas.OpenFrame(&dc, &view, clWhite, is3D, r);
    canvas.Projection(depth, r);
  }
  std::vector<TColor> FillColors() const {
    std::vector<TColor> out;
    for (const TDCRecord* r : dc.Of(TDCOp::FillRect)) out.push_back(r->Brush.Color);
    return out;
  }
};

}  // namespace

TEST(ChartCanvas, ProjectionCases) {
  Recorded r;
  r.Open(false);
  r.canvas.LineToAtDepth(10, 20, 999);
  EXPECT_EQ(r.dc.Of(TDCOp::LineTo)[0]->Args, (std::vector<int>{10, 20}));

  r.view.SetOrthoAngle(135);
  r.Open(true);
  EXPECT_EQ(r.canvas.OrthoStepX, -1.0);
  EXPECT_NEAR(r.canvas.OrthoStepY, 1.0, 1e-12);  // 45 degrees, not exactly 1
  r.view.SetOrthoAngle(90);
  r.Open(true);
  EXPECT_EQ(r.canvas.OrthoStepY, 1.0);

  r.view.SetOrthogonal(false);
  r.view.SetPerspective(0);
  r.Open(true);
  EXPECT_FALSE(r.canvas.PerspectiveOn);
  r.view.SetPerspective(15);
  r.Open(true, {0, 0, 0, 300});  // no width: no perspective division
  EXPECT_FALSE(r.canvas.PerspectiveOn);
  TPoint p;
  EXPECT_FALSE(r.canvas.Project(NAN, 0, 0, p));
  EXPECT_FALSE(r.canvas.Project(INFINITY, 0, 0, p));
}

TEST(ChartCanvas, UnprojectInvertsOrthogonalAndRotatedViews) {
  Recorded r;
  r.view.SetZoom(130);
  for (bool orthogonal : {true, false}) {
    r.view.SetOrthogonal(orthogonal);
    r.view.SetPerspective(0);
    r.Open(true);
    for (int x = -50; x <= 450; x += 37)
      for (int y = -20; y <= 320; y += 41)
        for (int z : {0, 30, 100}) {
          const TPoint d = r.canvas.ProjectToPoint(x, y, z), back = r.canvas.UnprojectPoint(d.X, d.Y, z);
          EXPECT_LE(std::abs(back.X - x), 1) << orthogonal << " " << x << "," << y << "," << z;
          EXPECT_LE(std::abs(back.Y - y), 1) << orthogonal << " " << x << "," << y << "," << z;
        }
  }
}

TEST(ChartCanvas, BandGradientsAsData) {
  Recorded r;
  r.Open(false);
  r.canvas.GradientFill({0, 0, 10, 600}, clWhite, clYellow, gdTopBottom, 50);
  const auto fills = r.dc.Of(TDCOp::FillRect);
  ASSERT_EQ(fills.size(), 256u);
  int two = 0, three = 0;
  for (const TDCRecord* f : fills) (f->Args[3] - f->Args[1] == 2 ? two : three)++;
  EXPECT_EQ(two, 168);
  EXPECT_EQ(three, 88);
  EXPECT_EQ(fills[0]->Args[3], 600);  // band 0, the start colour, at the bottom
  for (int i : {0, 1, 100, 255}) EXPECT_EQ(GetBValue(fills[i]->Brush.Color), 255 - i) << i;

  r.dc.List.clear();
  r.canvas.GradientFill({0, 0, 300, 5}, clRed, clBlue, gdLeftRight, 50);
  EXPECT_EQ(r.dc.Of(TDCOp::FillRect)[0]->Args[2], 300);  // start at the right
  EXPECT_EQ(r.dc.Of(TDCOp::FillRect)[0]->Brush.Color, clRed);

  struct Case {
    int balance;
    int at[5];
  } cases[] = {{0, {16, 23, 128, 180, 255}}, {100, {0, 0, 16, 64, 255}}};
  for (const Case& c : cases) {
    r.dc.List.clear();
    r.canvas.GradientFill({0, 0, 1, 256}, clBlack, clWhite, gdTopBottom, c.balance);
    const auto colors = r.FillColors();
    const int bands[] = {0, 1, 63, 127, 255};
    for (int k = 0; k < 5; ++k) EXPECT_EQ(GetRValue(colors[bands[k]]), c.at[k]) << c.balance << " band " << bands[k];
  }

  r.dc.List.clear();
  r.canvas.GradientFill({0, 0, 50, 1}, clBlack, clWhite, gdTopBottom, 50);  // one pixel high
  r.canvas.GradientFill({0, 0, 9, 9}, clBlack, clWhite, gdTopBottom, -300);   // channels kept in range
  EXPECT_EQ(r.dc.Count(TDCOp::FillRect), 9);
  for (TColor c : r.FillColors()) EXPECT_LE(c, clWhite);
}

TEST(ChartCanvas, DegenerateFillsUseTheStartColour) {
  EnsureQApplication();
  Recorded r;
  r.Open(false);
  TChartGradient radial;
  radial.SetDirection(gdRadial);
  radial.SetStartColor(clRed);
  radial.Draw(r.canvas, {5, 5, 6, 6});
  ASSERT_EQ(r.dc.Count(TDCOp::Ellipse), 1);
  EXPECT_EQ(r.dc.Of(TDCOp::Ellipse)[0]->Brush.Color, clRed);
  r.canvas.GradientFill({5, 5, 6, 6}, clLime, clBlue, gdFromCenter, 50);
  EXPECT_EQ(r.FillColors(), std::vector<TColor>{clLime});

  TChartShadow smooth({}, clBlack, 0);
  smooth.SetHorizSize(3);  // no vertical strip: its lines are skipped
  EXPECT_TRUE(smooth.Draw(r.canvas, {10, 10, 50, 40}));
  EXPECT_EQ(r.dc.Count(TDCOp::LineTo), 3);
}

TEST(ChartCanvas, BlendIsExactPerChannel) {
  auto px = [](int r, int g, int b) { return 0xFF000000u | (r << 16) | (g << 8) | b; };
  struct Case {
    int percent;
    uint32_t drawn, back, want;
  } cases[] = {
      {70, px(200, 0, 0), px(0, 0, 255), px(60, 0, 178)},
      {70, px(255, 255, 255), px(0, 0, 0), px(77, 77, 77)},
      {100, px(12, 200, 7), px(1, 2, 3), px(1, 2, 3)},
      {0, px(12, 200, 7), px(1, 2, 3), px(12, 200, 7)},
      {0, px(255, 255, 255), px(1, 2, 3), px(254, 255, 255)},  // the white rule
  };
  for (const Case& c : cases) {
    uint32_t d = c.drawn;
    BlendPixels(&d, &c.back, 1, c.percent);
    EXPECT_EQ(d, c.want) << c.percent;
  }
  EXPECT_EQ(BlendPercent(127), 100);  // not wrapped to 67
  EXPECT_EQ(BlendPercent(101), 100);
  EXPECT_EQ(BlendPercent(128 + 30), 30);
}

TEST(ChartCanvas, FrameBufferTransparencyAndStaleness) {
  EnsureQApplication();
  QImage screen(40, 30, QImage::Format_RGB32);
  screen.fill(Qt::black);
  TPainterDC screenDC(&screen);
  TChartCanvas3D canvas(&screenDC);
  int repaints = 0;
  canvas.OnRepaint = [&] { ++repaints; };
  const TRect area = canvas.OpenFrame(&screenDC, nullptr, clWhite, false, {0, 0, 40, 30});
  EXPECT_EQ(area, (TRect{0, 0, 40, 30}));
  canvas.DC().SetBrush({TDCBrushStyle::Solid, clBlue, {}});
  canvas.FillRect(area);
  TChartFont font;
  font.SetSize(20);
  canvas.PrepareFont(font);
  auto blend = canvas.StartTransparency({5, 5, 15, 15}, 70);
  canvas.DC().SetBrush({TDCBrushStyle::Solid, RGB(200, 0, 0), {}});
  canvas.FillRect({0, 0, 40, 30});
  canvas.SetTextAlign(TA_CENTER | TA_BOTTOM);  // a text under the blend
  canvas.DC().SetFont(TDCFont{});
  canvas.FinishTransparency(std::move(blend));
  EXPECT_EQ(canvas.GetTextAlign(), unsigned(TA_LEFT | TA_TOP));
  EXPECT_EQ(canvas.DC().Font().Height, font.DCFont().Height);
  // A 30 % blend around an 80 % one finishes with its own percentage.
  auto outer = canvas.StartTransparency({20, 0, 40, 10}, 30);
  auto inner = canvas.StartTransparency({30, 0, 40, 10}, 80);
  canvas.DC().SetBrush({TDCBrushStyle::Solid, clBlue, {}});
  canvas.FillRect({20, 0, 40, 10});
  canvas.FinishTransparency(std::move(inner));
  canvas.FinishTransparency(std::move(outer));
  EXPECT_EQ(canvas.Transparency(), 80) << "the last percentage is kept";
  canvas.DC().SetPen({TDCPenStyle::Solid, 5, clLime});
  canvas.WritePixelAtDepth(10, 22, 0, clLime);  // a dot of the pen's width
  EXPECT_TRUE(canvas.BufferStale());
  canvas.PresentBuffer(&screenDC, &screenDC, area);
  EXPECT_EQ(screen.pixel(10, 10), qRgb(60, 0, 178));
  EXPECT_EQ(screen.pixel(20, 20), qRgb(200, 0, 0));
  EXPECT_EQ(screen.pixel(25, 5), qRgb(60, 0, 179));
  // The dot is the pen's width square, centred on the point: 8..12 x 20..24.
  int dot = 0;
  TRect box{100, 100, -1, -1};
  for (int y = 15; y < 30; ++y)
    for (int x = 0; x < 20; ++x)
      if (screen.pixel(x, y) == qRgb(0, 255, 0)) {
        ++dot;
        box = {std::min(box.Left, x), std::min(box.Top, y), std::max(box.Right, x), std::max(box.Bottom, y)};
      }
  EXPECT_EQ(dot, 25) << "as wide as the pen";
  EXPECT_EQ(box, (TRect{8, 20, 12, 24}));
  EXPECT_FALSE(canvas.BufferStale());

  screen.fill(Qt::black);
  EXPECT_TRUE(canvas.RepaintFromBuffer());
  EXPECT_EQ(screen.pixel(20, 20), qRgb(200, 0, 0));
  canvas.PanelResized({40, 30});
  EXPECT_FALSE(canvas.BufferStale());
  canvas.PanelResized({41, 30});
  EXPECT_FALSE(canvas.RepaintFromBuffer());
  canvas.SetMonochrome(true);
  canvas.SetMonochrome(true);
  EXPECT_EQ(repaints, 1);

  const QImage before = screen.copy();
  EXPECT_EQ(canvas.OpenFrame(&screenDC, nullptr, clWhite, false, {0, 0, 0, 30}), (TRect{0, 0, 0, 30}));
  canvas.FillRect({0, 0, 40, 30});  // a panel without width shows nothing
  canvas.PresentBuffer(&screenDC, &screenDC, {0, 0, 0, 30});
  EXPECT_EQ(screen, before);
  EXPECT_FALSE(canvas.RepaintFromBuffer());
}

TEST(ChartCanvas, ArrowsCubesAndEllipsesThroughTheRecording) {
  Recorded r;
  r.Open(false);
  r.canvas.Arrow(true, {10, 10}, {10, 10}, 8, 6, 0);
  EXPECT_TRUE(r.dc.List.empty());
  r.canvas.Arrow(true, {10, 10}, {14, 10}, 8, 6, 0);  // head 4 long, not 6
  const auto poly = r.dc.Of(TDCOp::Polygon);
  ASSERT_EQ(poly.size(), 1u);
  ASSERT_EQ(poly[0]->Points.size(), 7u);
  EXPECT_EQ(poly[0]->Points[3], (TPoint{14, 10}));
  EXPECT_EQ(poly[0]->Points[2], (TPoint{10, 14}));
  r.canvas.Arrow(false, {0, 0}, {100, 0}, 8, 6, 0);
  EXPECT_EQ(r.dc.Count(TDCOp::LineTo), 3);

  struct Case {
    bool is3D, orthogonal;
    int faces;
  } cubes[] = {{false, true, 1}, {true, true, 3}, {true, false, 3}};
  for (const Case& c : cubes) {
    r.dc.List.clear();
    r.view.SetOrthogonal(c.orthogonal);
    r.view.SetRotation(330);
    r.view.SetElevation(340);
    r.Open(c.is3D);
    r.canvas.Cube({100, 100, 200, 180}, 0, 50, true);
    EXPECT_EQ(r.dc.Count(TDCOp::Polygon), c.faces) << c.is3D << c.orthogonal;
  }

  r.dc.List.clear();
  r.view.SetOrthogonal(false);
  r.Open(true);
  r.canvas.EllipseAtDepth({50, 50, 150, 120}, 20);
  ASSERT_EQ(r.dc.Count(TDCOp::Polyline), 1);
  EXPECT_EQ(r.dc.Of(TDCOp::Polyline)[0]->Points.size(), 64u);
  EXPECT_EQ(r.dc.Count(TDCOp::Polygon), 63);  // the filled fan
}

TEST(ChartCanvas, PensAndTextEffects) {
  EnsureQApplication();
  Recorded r;
  r.Open(false);
  TChartPen red;
  red.SetColor(clRed);
  red.SetWidth(3);
  red.SetEndStyle(esFlat);
  r.canvas.PreparePen(red);
  EXPECT_EQ(r.dc.Pen(), (TDCPen{TDCPenStyle::Solid, 3, clRed, TDCPenCap::Flat, TDCPenJoin::Miter}));
  TChartHiddenPen hidden;
  r.canvas.PreparePen(hidden);
  EXPECT_EQ(r.dc.Pen().Style, TDCPenStyle::Clear);
  EXPECT_EQ(r.dc.Pen().Color, clRed);
  EXPECT_EQ(r.dc.Pen().Width, 3);

  TChartFont font;
  font.Shadow().SetHorizSize(-3);
  font.Shadow().SetVertSize(2);
  r.canvas.PrepareFont(font);
  r.canvas.TextOut(50, 60, "Band");
  auto texts = r.dc.Of(TDCOp::TextOut);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0]->Args, (std::vector<int>{50, 62}));  // the shadow stays at x
  EXPECT_EQ(texts[1]->Args, (std::vector<int>{53, 60}));  // the text moves right
  EXPECT_EQ(r.canvas.TextWidth("Band"), r.dc.TextExtent("Band").cx + 3);

  r.dc.List.clear();
  font.Shadow().SetSize(0);
  r.canvas.RotatedText(10, 10, "MHz", 450);
  EXPECT_EQ(r.dc.Of(TDCOp::TextOut)[0]->Font.Escapement, 900);
  EXPECT_EQ(r.dc.Font().Escapement, 0);  // the temporary font is gone

  r.dc.List.clear();
  font.OutLine().SetVisible(true);
  r.canvas.TextOut(0, 0, "A");  // outlined and filled, nothing created on the font
  EXPECT_EQ(r.dc.Count(TDCOp::StrokeAndFillPath), 1);
  EXPECT_FALSE(font.HasGradient());
  r.dc.List.clear();
  font.Gradient().SetVisible(true);
  r.canvas.TextOut(0, 0, "A");
  EXPECT_EQ(r.dc.Count(TDCOp::ClipToPath), 1);
  EXPECT_EQ(r.dc.Count(TDCOp::StrokePath), 1);
  EXPECT_EQ(r.dc.Count(TDCOp::PopClip), 1);
}

TEST(ChartCanvas, GeometryAndColourHelpers) {
  EXPECT_EQ(RoundPixel(2.5), 2);  // ties to even
  EXPECT_EQ(RoundPixel(3.5), 4);
  EXPECT_EQ(RoundPixel(1e300), kPixelLimit);  // saturated, not undefined
  EXPECT_EQ(RoundPixel(-1e300), -kPixelLimit);
  EXPECT_EQ(NormalizeRect({9, 8, 1, 2}), (TRect{1, 2, 9, 8}));
  EXPECT_EQ(RectCenter({-3, 0, 0, 5}), (TPoint{-1, 2}));
  EXPECT_TRUE(PointInRect({0, 0, 4, 4}, {4, 4}));
  EXPECT_EQ(DarkenChannels(RGB(100, 20, 200), 64), RGB(36, 0, 136));
  EXPECT_EQ(LightenChannels(RGB(100, 20, 200), 64), RGB(164, 84, 255));
  EXPECT_EQ(PointAlongLine({0, 0}, {30, 40}, 10), (TPoint{6, 8}));
}

TEST(ChartCanvas, MidColourMeetsAtTheSplitAndFontsZoom) {
  EnsureQApplication();
  Recorded r;
  r.Open(false);
  TChartGradient g;
  g.SetStartColor(clRed);
  g.SetMidColor(clLime);
  g.SetEndColor(clBlue);
  g.Draw(r.canvas, {0, 0, 10, 100});
  const auto fills = r.dc.Of(TDCOp::FillRect);
  ASSERT_EQ(fills.size(), 100u);
  EXPECT_EQ(fills[0]->Args[3], 100);  // start at the bottom
  EXPECT_EQ(fills[0]->Brush.Color, clRed);
  EXPECT_EQ(fills[49]->Brush.Color, clLime);
  EXPECT_EQ(fills[50]->Args[3], 50);  // the upper half starts at the split
  EXPECT_EQ(fills[50]->Brush.Color, clLime);
  EXPECT_EQ(fills[99]->Brush.Color, clBlue);

  r.view.SetFontZoom(150);
  r.Open(false);
  TChartFont font;  // 8 points
  r.canvas.PrepareFont(font);
  EXPECT_EQ(r.dc.Font().Height, -16);  // 12 points at 96 pixels an inch
}

// A w x h picture filled with `background`, drawn on straight through a
// canvas without an offscreen buffer.
template <class TDraw>
QImage PaintedDirectly(int w, int h, QRgb background, TDraw draw) {
  EnsureQApplication();
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(background);
  {
    TPainterDC dc(&image);
    TChartCanvas3D canvas(&dc);
    canvas.SetOffscreenBuffering(false);
    canvas.OpenFrame(&dc, nullptr, clWhite, false, {0, 0, w, h});
    draw(canvas, dc);
  }
  return image;
}

TEST(ChartCanvas, NestedClipsFramesAndFlatMode) {
  const QImage image = PaintedDirectly(40, 30, qRgb(255, 255, 255), [](TChartCanvas3D& canvas, TPainterDC& dc) {
    canvas.Frame3D({0, 0, 10, 10}, clRed, clBlue, 2);
    canvas.ClipToRect({20, 0, 40, 30});
    canvas.ClipToEllipse({20, 0, 40, 30}, true);
    canvas.RestoreClip();  // back to the rectangle, not to no clip
    dc.SetBrush({TDCBrushStyle::Solid, clBlack, {}});
    canvas.FillRect({15, 0, 40, 30});
    canvas.RestoreClip();
  });
  struct Case {
    int x, y;
    QRgb want;
  } pixels[] = {{0, 0, qRgb(255, 0, 0)}, {1, 1, qRgb(255, 0, 0)}, {9, 9, qRgb(0, 0, 255)}, {8, 8, qRgb(0, 0, 255)},
                {2, 2, qRgb(255, 255, 255)}, {17, 5, qRgb(255, 255, 255)}, {30, 15, qRgb(0, 0, 0)}};
  for (const Case& c : pixels) EXPECT_EQ(image.pixel(c.x, c.y), c.want) << c.x << "," << c.y;

  Recorded r;
  r.view.SetOrthogonal(true);
  r.Open(true);
  r.canvas.EnterFlatMode();
  r.canvas.EnterFlatMode();
  r.canvas.LeaveFlatMode();
  EXPECT_FALSE(r.canvas.View3DActive);
  r.canvas.LeaveFlatMode();
  EXPECT_TRUE(r.canvas.View3DActive);
}

TEST(ChartCanvas, LineAndCornerGradientsCoverEveryPixelOnce) {
  for (TGradientDirection d : {gdDiagonalUp, gdDiagonalDown, gdFromTopLeft, gdFromBottomLeft, gdFromCenter}) {
    const QImage image = PaintedDirectly(30, 20, qRgb(0, 255, 0), [d](TChartCanvas3D& canvas, TPainterDC&) {
      canvas.GradientFill({5, 5, 25, 16}, clBlack, clRed, d, 50);
    });
    int untouched = 0, outside = 0;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 30; ++x) {
        const bool in = x >= 5 && x < 25 && y >= 5 && y < 16;
        const bool green = image.pixel(x, y) == qRgb(0, 255, 0);
        untouched += in && green;
        outside += !in && !green;
      }
    EXPECT_EQ(untouched, 0) << int(d);
    EXPECT_EQ(outside, 0) << int(d);
  }
}

TEST(ChartCanvas, ShadowStripsCubeClipAndZoomedText) {
  EnsureQApplication();
  Recorded r;
  r.Open(false);
  TChartShadow hard({}, clBlack, 3);
  hard.SetSmooth(false);
  hard.Draw(r.canvas, {10, 10, 50, 40});
  const auto strips = r.dc.Of(TDCOp::FillRect);
  ASSERT_EQ(strips.size(), 2u);
  EXPECT_EQ(strips[0]->Args, (std::vector<int>{13, 40, 53, 43}));
  EXPECT_EQ(strips[1]->Args, (std::vector<int>{50, 13, 53, 43}));
  r.canvas.ClipToCube({10, 10, 50, 40}, 0, 10);
  EXPECT_EQ(r.dc.Of(TDCOp::ClipRect)[0]->Args, (std::vector<int>{10, 10, 51, 41}));

  r.view.SetZoom(200);
  r.Open(true);
  TChartFont font;
  r.canvas.PrepareFont(font);
  r.canvas.TextAtDepth(0, 0, 0, "x");
  EXPECT_EQ(r.dc.Of(TDCOp::TextOut)[0]->Font.Height, -21);  // 16 points for the doubled zoom
  EXPECT_EQ(r.dc.Font().Height, -11);                        // and back afterwards
}

// Effects seen in the picture: a radial gradient's two colours, a smooth
// shadow's brightening lines, a square pen end and a half-transparent text shadow.
TEST(ChartCanvas, EffectsAsPixels) {
  const QImage image = PaintedDirectly(160, 60, qRgb(255, 255, 255), [](TChartCanvas3D& canvas, TPainterDC&) {
    TChartGradient radial;
    radial.SetDirection(gdRadial), radial.SetStartColor(clRed), radial.SetEndColor(clBlue);
    radial.Draw(canvas, {0, 0, 40, 40});
    TChartShadow({}, clBlack, 4).Draw(canvas, {50, 5, 80, 25});
    TChartPen square;
    square.SetColor(clGreen), square.SetWidth(6), square.SetEndStyle(esSquare);
    canvas.PreparePen(square);
    canvas.Line(90, 10, 110, 10);
    TChartFont font;
    font.SetColor(clWhite), font.SetSize(20);
    font.Shadow().SetColor(clBlack), font.Shadow().SetSize(3), font.Shadow().SetTransparency(50);
    canvas.PrepareFont(font);
    canvas.SetBackgroundMode(cbmTransparent);
    canvas.TextOut(120, 20, "W");
  });
  struct Case {
    int x, y;
    QRgb want;
  } pixels[] = {{20, 20, qRgb(255, 0, 0)}, {20, 1, qRgb(0, 0, 255)},  // start in the middle, end at the rim
                {60, 25, qRgb(0, 0, 0)},   {60, 28, qRgb(192, 192, 192)},  // one step of 64 a line
                {112, 10, qRgb(0, 128, 0)}, {112, 12, qRgb(0, 128, 0)}};
  for (const Case& c : pixels) {
    const QRgb p = image.pixel(c.x, c.y);
    EXPECT_LE(std::abs(qRed(p) - qRed(c.want)) + std::abs(qGreen(p) - qGreen(c.want)) + std::abs(qBlue(p) - qBlue(c.want)), 32)
        << c.x << "," << c.y;
  }
  int darkest = 255, shadowed = 0;
  for (int y = 15; y < 60; ++y)
    for (int x = 118; x < 160; ++x) {
      darkest = std::min(darkest, qRed(image.pixel(x, y)));
      shadowed += qRed(image.pixel(x, y)) < 200;
    }
  EXPECT_GT(shadowed, 20);
  EXPECT_GE(darkest, 120) << "half of the white background shows through the shadow";
}
