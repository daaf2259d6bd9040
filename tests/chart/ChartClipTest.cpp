// The clip stack under every drawing path: pushes and pops nested in any
// order, with and without a mapping, and charts that clip their series to
// the plot (a rectangle in 2-D, the projected cube in 3-D) while their
// pointers, gradients and marks push clips of their own. Run under
// AddressSanitizer too: a clip the surface has freed must never be read.
#include <gtest/gtest.h>

#include <QImage>

#include "chart/ChartSetup.h"
#include "chart/Series.h"
#include "platform/PainterDC.h"
#include "support/QtApp.h"

namespace {

enum class ClipKind { Rect, RoundRect, Polygon, Ellipse, Path };

// Narrows the clip to the shape of `kind` inside 20..60 (device pixels).
void ClipTo(TPainterDC& dc, ClipKind kind, int scale) {
  const int a = 20 / scale, b = 60 / scale, m = 40 / scale;
  switch (kind) {
    case ClipKind::Rect: dc.ClipRect({a, a, b, b}); break;
    case ClipKind::RoundRect: dc.ClipRoundRect({a, a, b, b}, 8 / scale, 8 / scale); break;
    case ClipKind::Polygon: {
      const TPoint diamond[] = {{m, a}, {b, m}, {m, b}, {a, m}};
      dc.ClipPolygon(diamond, 4);
      break;
    }
    case ClipKind::Ellipse: dc.ClipEllipse({a, a, b, b}, false); break;
    case ClipKind::Path:
      dc.BeginPath();
      dc.Ellipse({a, a, b, b});
      dc.EndPath();
      dc.ClipToPath();
      break;
  }
}

}  // namespace

// Each clip shape, nested with a rectangle and popped again, on a plain and a
// scaled surface: after every push and pop the same pen and brush fill
// exactly the region then in force.
TEST(ChartClip, NestedPushesAndPops) {
  EnsureQApplication();
  const QRgb white = qRgb(255, 255, 255), red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255);
  for (int scale : {1, 2}) {
    for (ClipKind kind : {ClipKind::Rect, ClipKind::RoundRect, ClipKind::Polygon, ClipKind::Ellipse, ClipKind::Path}) {
      SCOPED_TRACE(::testing::Message() << "scale " << scale << " kind " << int(kind));
      QImage image(100, 100, QImage::Format_RGB32);
      image.fill(Qt::white);
      TPainterDC dc(&image);
      if (scale != 1) dc.SetMapping({{0, 0}, {1, 1}, {0, 0}, {scale, scale}});
      const TRect all{0, 0, 100 / scale, 100 / scale};
      dc.SetPen({TDCPenStyle::Clear, 1, clBlack});
      dc.SetBrush({TDCBrushStyle::Solid, clRed, {}});
      dc.PushClip();
      ClipTo(dc, kind, scale);
      EXPECT_TRUE(dc.HasClip());
      dc.Rectangle(all);
      EXPECT_EQ(image.pixel(40, 24), red);
      EXPECT_EQ(image.pixel(40, 70), white);
      // A rectangle inside: only where both overlap.
      dc.PushClip();
      dc.ClipRect({40 / scale, 40 / scale, 80 / scale, 80 / scale});
      dc.SetBrush({TDCBrushStyle::Solid, clBlue, {}});
      dc.Rectangle(all);
      EXPECT_EQ(image.pixel(44, 44), blue);
      EXPECT_EQ(image.pixel(40, 24), red);
      EXPECT_EQ(image.pixel(70, 70), white);
      // Back to the shape, then to none, drawing with the same pen and brush.
      dc.PopClip();
      dc.Rectangle(all);
      EXPECT_EQ(image.pixel(40, 24), blue);
      EXPECT_EQ(image.pixel(70, 70), white);
      dc.PopClip();
      EXPECT_FALSE(dc.HasClip());
      dc.Rectangle(all);
      EXPECT_EQ(image.pixel(70, 70), blue);
      EXPECT_EQ(image.pixel(2, 97), blue);
      // A pen stroke after the last pop reaches the corner too.
      dc.SetPen({TDCPenStyle::Solid, 1, clLime});
      dc.PushClip();
      ClipTo(dc, kind, scale);
      dc.MoveTo(0, 0), dc.LineTo(all.Right, all.Bottom);
      dc.PopClip();
      dc.MoveTo(0, 0), dc.LineTo(all.Right, all.Bottom);
      EXPECT_EQ(image.pixel(90, 90), qRgb(0, 255, 0));
    }
  }
}

// Charts that clip their points in 2-D, orthogonal 3-D and rotated 3-D, with
// pointers and marks: one series (the smallest chart that brought a freed
// clip back), and two sharing a depth slot, one with a pointer gradient,
// their marks clipped. Every frame is drawn whole, the marks' boxes included.
TEST(ChartClip, PointersAndMarksInEveryView) {
  EnsureQApplication();
  for (int view = 0; view < 3; ++view) {
    for (int series : {1, 2}) {
      SCOPED_TRACE(::testing::Message() << "view " << view << " series " << series);
      auto c = MakePlainChart(10, 10, 10, 10, 320, 240);
      c->SetView3D(view > 0);
      c->View3DOptions().SetOrthogonal(view == 1);
      ASSERT_TRUE(c->ClipPoints());
      for (int k = 0; k < series; ++k) {
        auto* s = AddChartSeries<TCustomSeries>(*c, k ? clBlue : clRed, k ? "b" : "a");
        s->DepthOrder = 0;  // one depth slot: drawn point by point together
        s->Pointer().SetVisible(true);
        s->Pointer().Gradient().SetVisible(k == 1);
        s->Marks().SetVisible(true);
        s->Marks().SetClip(k == 1);
        s->Marks().SetColor(clYellow);
        for (int i = 0; i < 5; ++i) s->AppendPoint(i, i * i + k);
      }
      QImage image;
      c->AssignTo(image);
      ASSERT_FALSE(image.isNull());
      int yellow = 0;
      for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) yellow += image.pixel(x, y) == qRgb(255, 255, 0);
      EXPECT_GT(yellow, 100);
    }
  }
}
