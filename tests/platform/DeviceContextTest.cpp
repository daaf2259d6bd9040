// GDI pixel conventions of the QPainter backend, and the recording backend.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <functional>
#include <memory>

#include "platform/DCSupport.h"
#include "platform/PainterDC.h"
#include "platform/RecordingDC.h"
#include "support/QtApp.h"

namespace {

struct Surface {
  QImage image{64, 40, QImage::Format_RGB32};
  Surface() { image.fill(Qt::white); }
  void Draw(const std::function<void(IDeviceContext&)>& f) {
    TPainterDC dc(&image);
    f(dc);
  }
  bool Ink(int x, int y) const { return image.pixel(x, y) != qRgb(255, 255, 255); }
  // Columns L..R and rows T..B (inclusive) of every non-white pixel.
  TRect InkBox() const {
    TRect b{1000, 1000, -1, -1};
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if (Ink(x, y)) b = {std::min(b.Left, x), std::min(b.Top, y), std::max(b.Right, x), std::max(b.Bottom, y)};
    return b;
  }
  std::string Row(int y, int from, int to) const {
    std::string s;
    for (int x = from; x < to; ++x) s += Ink(x, y) ? '#' : '.';
    return s;
  }
};

const TDCBrush kClear{TDCBrushStyle::Clear, clWhite, {}};
const TDCBrush kBlack{TDCBrushStyle::Solid, clBlack, {}};
const TDCPen kNoPen{TDCPenStyle::Clear, 1, clBlack};

}  // namespace

TEST(PainterDC, ShapeAndLineExtentsAreHalfOpen) {
  EnsureQApplication();
  struct Case {
    const char* name;
    std::function<void(IDeviceContext&)> draw;
    TRect ink;  // inclusive
  } cases[] = {
      {"outlined rectangle", [](IDeviceContext& dc) { dc.SetBrush(kClear); dc.Rectangle({2, 2, 8, 6}); }, {2, 2, 7, 5}},
      {"rectangle, clear pen", [](IDeviceContext& dc) { dc.SetPen(kNoPen); dc.SetBrush(kBlack); dc.Rectangle({2, 2, 8, 6}); }, {2, 2, 6, 4}},
      {"inverted rectangle", [](IDeviceContext& dc) { dc.SetBrush(kClear); dc.Rectangle({8, 6, 2, 2}); }, {2, 2, 7, 5}},
      {"fill", [](IDeviceContext& dc) { dc.SetBrush(kBlack); dc.FillRect({2, 2, 8, 6}); }, {2, 2, 7, 5}},
      {"ellipse", [](IDeviceContext& dc) { dc.Ellipse({2, 2, 9, 9}); }, {2, 2, 8, 8}},
      {"line without end pixel", [](IDeviceContext& dc) { dc.MoveTo(1, 1); dc.LineTo(8, 1); }, {1, 1, 7, 1}},
      {"polyline without last point", [](IDeviceContext& dc) {
         const TPoint p[] = {{1, 1}, {6, 1}, {6, 5}};
         dc.Polyline(p, 3);
       }, {1, 1, 6, 4}},
      {"pattern block", [](IDeviceContext& dc) { dc.SetBrush(kBlack); dc.PatBlt({3, 3, 5, 9}, TDCRop3::PatCopy); }, {3, 3, 4, 8}},
      {"pixel", [](IDeviceContext& dc) { dc.SetPixel(9, 7, clRed); }, {9, 7, 9, 7}},
  };
  for (const Case& c : cases) {
    Surface s;
    s.Draw(c.draw);
    EXPECT_EQ(s.InkBox(), c.ink) << c.name;
  }
}

TEST(PainterDC, LinesLeaveOutTheirEndPixelInEveryDirection) {
  EnsureQApplication();
  const TPoint c{20, 20};
  const TPoint ends[] = {{30, 20}, {10, 20}, {20, 10}, {20, 30}, {27, 27}, {13, 13},
                         {13, 27}, {27, 13}, {29, 24}, {11, 16}, {16, 29}, {24, 11}};
  for (TPoint e : ends) {
    Surface s;
    s.Draw([&](IDeviceContext& dc) {
      dc.MoveTo(c.X, c.Y);
      dc.LineTo(e.X, e.Y);
    });
    int n = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 64; ++x) n += s.Ink(x, y);
    EXPECT_TRUE(s.Ink(c.X, c.Y)) << e.X << "," << e.Y;
    EXPECT_FALSE(s.Ink(e.X, e.Y)) << e.X << "," << e.Y;
    EXPECT_EQ(n, std::max(std::abs(e.X - c.X), std::abs(e.Y - c.Y))) << e.X << "," << e.Y;
  }
}

TEST(PainterDC, TextIsPlacedByTheAlignmentFlags) {
  EnsureQApplication();
  const int x = 32, y = 20;
  TDCTextMetrics tm;
  struct Case {
    unsigned align;
    std::function<bool(const TRect&)> ok;
  } cases[] = {
      {TA_LEFT | TA_TOP, [&](const TRect& b) { return b.Left >= x && b.Left <= x + 2 && b.Top >= y && b.Top <= y + tm.InternalLeading + 2; }},
      {TA_RIGHT | TA_BASELINE, [&](const TRect& b) { return b.Right < x && b.Right >= x - 3 && b.Bottom == y - 1; }},
      {TA_CENTER | TA_BOTTOM, [&](const TRect& b) { return std::abs((b.Left + b.Right) / 2 - x) <= 1 && b.Bottom == y - tm.Descent - 1; }},
  };
  for (const Case& c : cases) {
    Surface s;
    s.Draw([&](IDeviceContext& dc) {
      tm = dc.TextMetrics();
      dc.SetBkMode(TDCBkMode::Transparent);
      dc.SetTextAlign(c.align);
      dc.TextOut(x, y, "EH");
    });
    EXPECT_TRUE(c.ok(s.InkBox())) << "align " << c.align;
  }
}

TEST(PainterDC, OpaqueTextFillsTheCellWithTheBackground) {
  EnsureQApplication();
  Surface s;
  TSize ext;
  s.Draw([&](IDeviceContext& dc) {
    dc.SetBkColor(clRed);
    dc.SetTextCharacterExtra(2);
    ext = dc.TextExtent("ab");
    dc.TextOut(10, 5, "ab");
  });
  EXPECT_EQ(s.InkBox(), (TRect{10, 5, 10 + ext.cx - 1, 5 + ext.cy - 1}));
  EXPECT_EQ(s.image.pixel(10, 5), qRgb(255, 0, 0));
  EXPECT_EQ(s.image.pixel(10 + ext.cx - 1, 5 + ext.cy - 1), qRgb(255, 0, 0));
}

TEST(PainterDC, CosmeticDashesAndAlternateDots) {
  EnsureQApplication();
  struct Case {
    TDCPenStyle style;
    const char* row;
  } cases[] = {
      {TDCPenStyle::Alternate, "#.#.#.#.#.#.#.#.#.#.#.#.#.#.#.#."},
      {TDCPenStyle::Dot, "###...###...###...###...###...##"},
      {TDCPenStyle::Dash, "##################......########"},
      {TDCPenStyle::DashDot, "#########......###......########"},
  };
  for (const Case& c : cases) {
    Surface s;
    s.Draw([&](IDeviceContext& dc) {
      dc.SetPen({c.style, 1, clBlack});
      dc.MoveTo(0, 3);
      dc.LineTo(40, 3);
    });
    EXPECT_EQ(s.Row(3, 0, 32), c.row) << int(c.style);
  }
}

TEST(PainterDC, HatchesTileFromTheOriginInBothBackgroundModes) {
  EnsureQApplication();
  for (int style = int(TDCBrushStyle::Horizontal); style <= int(TDCBrushStyle::DiagCross); ++style) {
    for (TDCBkMode mode : {TDCBkMode::Transparent, TDCBkMode::Opaque}) {
      Surface s;
      s.Draw([&](IDeviceContext& dc) {
        dc.SetBkMode(mode);
        dc.SetBkColor(clLime);
        dc.SetBrush({TDCBrushStyle(style), clBlue, {}});
        dc.FillRect({3, 3, 19, 19});
      });
      const uint8_t* bits = HatchBits(TDCBrushStyle(style));
      const QRgb off = mode == TDCBkMode::Opaque ? qRgb(0, 255, 0) : qRgb(255, 255, 255);
      int wrong = 0;
      for (int y = 3; y < 19; ++y)
        for (int x = 3; x < 19; ++x)
          wrong += s.image.pixel(x, y) != ((bits[y % 8] & (0x80 >> (x % 8))) ? qRgb(0, 0, 255) : off);
      EXPECT_EQ(wrong, 0) << "hatch " << style << " mode " << int(mode);
      EXPECT_FALSE(s.Ink(19, 10)) << "hatch " << style;
    }
  }
}

TEST(PainterDC, NotXorDrawnTwiceRestoresTheImage) {
  EnsureQApplication();
  Surface s;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 64; ++x) s.image.setPixel(x, y, qRgb(x * 4, y * 6, (x * y) & 255));
  const QImage before = s.image.copy();
  s.Draw([](IDeviceContext& dc) {
    dc.SetRop2(TDCRop2::NotXorPen);
    dc.SetPen({TDCPenStyle::Solid, 3, RGB(200, 30, 90)});
    dc.SetBrush({TDCBrushStyle::Solid, RGB(17, 99, 250), {}});
    for (int pass = 0; pass < 2; ++pass) {
      dc.Rectangle({5, 5, 40, 30});
      dc.MoveTo(0, 39);
      dc.LineTo(63, 0);
    }
  });
  EXPECT_EQ(s.image, before);
}

TEST(PainterDC, ClipStackRestoresEachLevel) {
  EnsureQApplication();
  Surface s;
  s.Draw([](IDeviceContext& dc) {
    dc.SetBrush(kBlack);
    dc.PushClip();
    dc.ClipRect({10, 10, 30, 30});
    dc.PushClip();
    dc.ClipEllipse({10, 10, 30, 30}, true);
    dc.FillRect({0, 0, 64, 40});  // only the rectangle's corners
    EXPECT_EQ(dc.GetPixel(20, 20), CLR_INVALID);
    dc.PopClip();
    dc.FillRect({0, 0, 20, 40});  // the left half of the rectangle
    dc.PopClip();
    EXPECT_FALSE(dc.HasClip());
    dc.FillRect({60, 0, 64, 40});  // unclipped again
    dc.PushClip();
    dc.ClipEllipse({40, 0, 60, 20}, false);  // a second, many-rectangle clip still clips
    dc.FillRect({40, 0, 60, 20});
    dc.PopClip();
  });
  EXPECT_FALSE(s.Ink(40, 0));
  EXPECT_TRUE(s.Ink(50, 10));
  EXPECT_TRUE(s.Ink(10, 10));
  EXPECT_TRUE(s.Ink(15, 20));
  EXPECT_FALSE(s.Ink(25, 20));
  EXPECT_FALSE(s.Ink(9, 20));
  EXPECT_TRUE(s.Ink(29, 29));
  EXPECT_FALSE(s.Ink(30, 29));
  EXPECT_TRUE(s.Ink(60, 0));
}

TEST(PainterDC, MappingScalesLogicalUnitsForPrinting) {
  EnsureQApplication();
  Surface s;
  s.Draw([](IDeviceContext& dc) {
    dc.SetMapping({{0, 0}, {10, 10}, {4, 2}, {20, 20}});  // two pixels a unit, moved by (4, 2)
    dc.SetBrush(kBlack);
    dc.FillRect({1, 1, 3, 2});
  });
  EXPECT_EQ(s.InkBox(), (TRect{6, 4, 9, 5}));
}

TEST(RecordingDC, KeepsCallsWithTheirAttributesAndMeasuresLikeThePainter) {
  EnsureQApplication();
  QImage image(8, 8, QImage::Format_RGB32);
  TPainterDC painter(&image);
  TRecordingDC rec;
  TDCFont bold;
  bold.Weight = 700;
  for (IDeviceContext* dc : {static_cast<IDeviceContext*>(&painter), static_cast<IDeviceContext*>(&rec)}) dc->SetFont(bold);
  EXPECT_EQ(rec.TextExtent("Band 87.5 MHz"), painter.TextExtent("Band 87.5 MHz"));
  EXPECT_EQ(rec.TextMetrics().Ascent, painter.TextMetrics().Ascent);

  rec.SetPen({TDCPenStyle::Clear, 3, clRed});
  rec.SetPen({TDCPenStyle::Clear, 3, clRed});  // unchanged: not recorded
  const TPoint tri[] = {{0, 0}, {5, 0}, {0, 5}};
  rec.Polygon(tri, 3);
  rec.TextOut(1, 2, "x");
  ASSERT_EQ(rec.Count(TDCOp::SetPen), 1);
  const TDCRecord& poly = *rec.Of(TDCOp::Polygon)[0];
  EXPECT_EQ(poly.Points.size(), 3u);
  EXPECT_EQ(poly.Pen.Width, 3);
  EXPECT_EQ(rec.Of(TDCOp::TextOut)[0]->Font.Weight, 700);
}

TEST(DeviceContext, ColoursAndFaces) {
  EXPECT_EQ(ColorToRGB(0x02123456), 0x123456u);  // palette-relative prefix masked
  EXPECT_EQ(ColorToRGB(clBtnFace), RGB(240, 240, 240));
  EXPECT_EQ(ColorToRGB(clWindow), clWhite);
  EXPECT_EQ(MapFontFace("arial"), "Liberation Sans");
  EXPECT_EQ(MapFontFace("DejaVu Sans"), "DejaVu Sans");
}

TEST(PainterDC, EscapementTurnsTextAboutTheReferencePoint) {
  EnsureQApplication();
  Surface s;
  s.Draw([](IDeviceContext& dc) {
    TDCFont f;
    f.Escapement = 900;  // reads upwards
    dc.SetFont(f);
    dc.SetBkMode(TDCBkMode::Transparent);
    dc.TextOut(20, 38, "HHHH");
  });
  const TRect b = s.InkBox();
  EXPECT_GT(b.Bottom - b.Top, 2 * (b.Right - b.Left));
  EXPECT_LE(b.Bottom, 38);
  EXPECT_GE(b.Left, 20);
}

TEST(PainterDC, VectorTargetsDrawWithoutRasterOperations) {
  EnsureQApplication();
  QTemporaryDir dir;
  const QString file = dir.filePath("chart.pdf");
  {
    QPdfWriter pdf(file);
    TPainterDC dc(&pdf);
    EXPECT_FALSE(dc.IsRaster());
    EXPECT_EQ(dc.Image(), nullptr);
    dc.SetRop2(TDCRop2::XorPen);  // drawn as a copy
    dc.Rectangle({10, 10, 200, 100});
    dc.TextOut(20, 20, "Spectrum");
    EXPECT_EQ(dc.GetPixel(10, 10), CLR_INVALID);
  }
  EXPECT_GT(QFileInfo(file).size(), 500);
}

TEST(PainterDC, ArcsTurnCounterClockwiseAndPathsFill) {
  EnsureQApplication();
  Surface s;
  TPoint end;
  s.Draw([&](IDeviceContext& dc) {
    dc.Arc({0, 0, 21, 21}, {30, 10}, {10, -5});  // 3 o'clock to 12 o'clock
    dc.MoveTo(30, 30);
    dc.ArcTo({30, 0, 51, 21}, {60, 10}, {40, -5}, true);  // clockwise: the long way round
    end = dc.CurrentPosition();
    dc.BeginPath();
    const TPoint tri[] = {{2, 25}, {20, 25}, {2, 38}};
    dc.Polygon(tri, 3);
    dc.EndPath();
    dc.SetBrush(kBlack);
    dc.FillPath();
    dc.SetTextAlign(TA_UPDATECP);
    dc.MoveTo(40, 30);
    dc.SetBkMode(TDCBkMode::Transparent);
    dc.TextOut(0, 0, "ab");
    EXPECT_EQ(dc.CurrentPosition().X, 40 + dc.TextExtent("ab").cx);
  });
  EXPECT_TRUE(s.Ink(17, 3));    // upper right quarter
  EXPECT_FALSE(s.Ink(3, 17));   // lower left quarter
  EXPECT_TRUE(s.Ink(33, 17));   // the clockwise arc passes the lower left
  EXPECT_EQ(end, (TPoint{40, 0}));
  EXPECT_TRUE(s.Ink(5, 28));    // the path's inside
}

// Solid one-pixel runs and outline-less rectangles are written straight into
// 32-bit rasters; a 24-bit raster takes Qt's own rasterizers. Both must give
// the same picture, interleaved with raster operations and under every clip.
TEST(PainterDC, DirectRunsAndRectanglesMatchQtsRasterizers) {
  EnsureQApplication();
  const auto scene = [](IDeviceContext& dc) {
    const TDCMapping unit{{0, 0}, {200, 300}, {0, 0}, {200, 300}};  // scale 1, not the default mapping
    const std::function<void()> clips[] = {
        [] {}, [&] { dc.ClipRect({30, 40, 170, 260}); },
        [&] { dc.ClipRect({0, 0, 120, 300}), dc.ClipEllipse({60, 100, 140, 200}, true); }};
    for (const auto& clip : clips) {
      dc.PushClip();
      clip();
      dc.SetPen({TDCPenStyle::Solid, 1, clRed});
      for (int dy : {-140, -128, -127, -60, -2, -1, 0, 1, 2, 3, 61, 127, 128, 140})
        for (int dx : {-3, -1, 0, 1, 2}) dc.MoveTo(100 + dx * 7, 150), dc.LineTo(100 + dx * 8, 150 + dy);
      dc.MoveTo(-20, 10), dc.LineTo(220, 10);    // through both edges
      dc.MoveTo(199, 250), dc.LineTo(200, 380);  // steep, leaving the image
      dc.SetMapping(unit);
      dc.MoveTo(5, 5), dc.LineTo(6, 80);
      dc.SetMapping({});
      dc.SetPen(kNoPen);
      dc.SetBrush({TDCBrushStyle::Solid, clBlue, {}});
      const TPoint rects[][4] = {{{10, 200}, {13, 200}, {13, 290}, {10, 290}},
                                 {{20, 290}, {20, 210}, {21, 210}, {21, 290}},
                                 {{30, 200}, {30, 200}, {31, 290}, {30, 290}},  // a slope
                                 {{40, 250}, {44, 250}, {40, 250}, {44, 250}},  // no area
                                 {{190, 280}, {230, 280}, {230, 320}, {190, 320}}};
      for (const auto& r : rects) dc.Polygon(r, 4);
      dc.SetRop2(TDCRop2::NotXorPen);
      dc.SetPen({TDCPenStyle::Solid, 1, RGB(200, 30, 90)});
      dc.MoveTo(0, 0), dc.LineTo(199, 299);
      dc.MoveTo(50, 0), dc.LineTo(50, 299);
      dc.SetRop2(TDCRop2::CopyPen);
      for (TDCPenStyle style : {TDCPenStyle::Dot, TDCPenStyle::Dash, TDCPenStyle::DashDot, TDCPenStyle::DashDotDot,
                                TDCPenStyle::Alternate}) {
        dc.SetPen({style, 1, clGreen});
        const int at = 20 + int(style) * 9;
        for (int len : {1, 2, 5, 17, 140}) {
          dc.MoveTo(60 + len, at), dc.LineTo(60, at), dc.LineTo(60 + len, at + 4);  // leftwards, then a slope
          dc.MoveTo(at, 299 - len), dc.LineTo(at, 300);  // down to the edge
        }
      }
      dc.PopClip();
    }
  };
  auto draw = [&](QImage::Format format) {
    QImage image(200, 300, format);
    image.fill(Qt::white);
    scene(*std::make_unique<TPainterDC>(&image));  // the painter ends with the statement
    return image.convertToFormat(QImage::Format_RGB32);
  };
  EXPECT_EQ(draw(QImage::Format_RGB32), draw(QImage::Format_RGB888));
}
