// The chart panel core: plot rectangle, print margins and placement, frames
// into foreign surfaces, mouse broadcast and the zoom rectangle; the window
// host through QTest.
#include <gtest/gtest.h>

#include <QCursor>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "ChartPanelFixture.h"
#include "chart/ChartPanelHost.h"
#include "platform/PainterDC.h"
#include "platform/RecordingDC.h"
#include "support/QtApp.h"

namespace {

struct PlotCase {
  int w, h;
  TChartUnits units;
  int margins[4];
  TBevelCut bevel;
  TRect expected;
};

TRect PlotRectOf(const PlotCase& c) {
  TSamplePanel p;
  p.BevelOuter = c.bevel;
  p.SetBounds(c.w, c.h);
  p.SetMarginUnits(c.units);
  p.SetMargins(c.margins[0], c.margins[1], c.margins[2], c.margins[3]);
  TRecordingDC dc({c.w, c.h});
  p.Draw(dc, p.PanelRectangle());
  return p.PlotRect;
}

// Bounds of the pixels of one colour.
QRect Extent(const QImage& img, QRgb colour) {
  QRect r;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if ((img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) r |= QRect(x, y, 1, 1);
  return r;
}

struct Listener : IChartEventListener {
  std::vector<int> heard;
  bool stop = false;
  TCustomChartPanel* panel = nullptr;
  void ChartEvent(const TChartEvent& e) override {
    if (auto* m = dynamic_cast<const TChartMouseEvent*>(&e)) heard.push_back(m->Event * 10000 + m->X * 100 + m->Y);
    else heard.push_back(-1);
    if (stop) panel->StopMouseBroadcast = true;
  }
};

}  // namespace

TEST(ChartPanel, PlotRectCases) {
  EnsureQApplication();
  const PlotCase cases[] = {
      {792, 383, muPixels, {2, 18, 4, 0}, bvNone, {2, 18, 788, 383}},
      {400, 250, muPercent, {3, 4, 3, 4}, bvNone, {12, 10, 388, 240}},
      {400, 250, muPercent, {3, 4, 3, 4}, bvRaised, {13, 11, 387, 239}},
      {400, 250, muPixels, {300, 0, 300, 0}, bvNone, {300, 0, 301, 250}},   // crossed: one pixel wide
      {400, 250, muPixels, {200, 0, 200, 0}, bvNone, {200, 0, 600, 250}},   // met: the panel's width added
      {400, 250, muPixels, {-5, -5, 0, 0}, bvNone, {0, 0, 400, 250}},       // raised to the frame
  };
  for (const PlotCase& c : cases) EXPECT_EQ(PlotRectOf(c), c.expected) << c.w << "x" << c.h << " " << c.margins[0];
}

TEST(ChartPanel, PrintMarginsToFit) {
  EnsureQApplication();
  struct Case {
    int w, h, dpiX;
    TRect expected;
  } cases[] = {{600, 300, 600, {15, 37, 15, 37}}, {300, 600, 600, {26, 15, 26, 15}}, {0, 0, 600, {15, 15, 15, 15}},
               {600, 300, 1200, {15, 24, 15, 24}}};  // twice as many dots across: half as tall
  for (const Case& c : cases) {
    TCustomChartPanel p;
    p.SetBounds(c.w, c.h);
    const TCustomChartPanel::TPageInfo page{4800, 6600, c.dpiX, 600};
    EXPECT_EQ(p.PrintMarginsToFit(&page), c.expected) << c.w << "x" << c.h << " " << c.dpiX;
  }
  TCustomChartPanel p;  // a form keeps the margins only when one differs from 15
  EXPECT_FALSE(p.IsPrintMarginsStored());
  p.PrintMargins[3] = 10;
  EXPECT_TRUE(p.IsPrintMarginsStored());
}

// The chart lands exactly on the print rectangle whatever its logical size.
TEST(ChartPanel, PrintIntoRectPlacement) {
  EnsureQApplication();
  for (int detail : {0, -100, 100, 150}) {
    TSamplePanel p;
    p.SetBounds(400, 250);
    p.SetPrintDetail(detail);
    QImage page(1000, 800, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
      TPainterDC dc(&page);
      p.PrintIntoRect(dc, {900, 550, 100, 50});  // given the wrong way round
      EXPECT_EQ(dc.Mapping(), TDCMapping{}) << "mapping restored";
    }
    if (detail < 100) {
      EXPECT_EQ(Extent(page, qRgb(0, 0, 255)), QRect(100, 50, 800, 500)) << detail;
    }
    EXPECT_FALSE(p.Printing);
  }
  TSamplePanel p;
  TRecordingDC dc;
  p.PrintIntoRect(dc, {50, 50, 50, 300});
  EXPECT_TRUE(dc.List.empty()) << "an empty rectangle prints nothing";
}

TEST(ChartPanel, FailedDrawRestoresSettings) {
  EnsureQApplication();
  TSamplePanel p;
  p.Fail = true;
  TRecordingDC dc;
  EXPECT_THROW(p.PrintIntoRect(dc, {0, 0, 100, 100}), std::runtime_error);
  EXPECT_FALSE(p.Printing);
  EXPECT_FALSE(p.Canvas().Metafiling);
  EXPECT_TRUE(p.OffscreenBuffering());
  EXPECT_EQ(dc.Mapping(), TDCMapping{});
  EXPECT_FALSE(dc.HasClip());
}

TEST(ChartPanel, NewBitmapFilledWithBackColour) {
  EnsureQApplication();
  for (TColor back : {clWhite, clRed}) {
    TCustomChartPanel p;  // draws nothing
    const QImage img = p.MakeSizedBitmap(back, {0, 0, 37, 21});
    ASSERT_EQ(img.size(), QSize(37, 21));
    const QRgb want = back == clWhite ? qRgb(255, 255, 255) : qRgb(255, 0, 0);
    EXPECT_EQ(Extent(img, want), QRect(0, 0, 37, 21)) << std::hex << back;
  }
}

// A raised bevel is light at the top left and dark at the bottom right, on
// the panel and on a shape.
TEST(ChartPanel, RaisedBevelsLightTheTopLeft) {
  EnsureQApplication();
  const auto rgb = [](TColor c) { c = ColorToRGB(c); return qRgb(GetRValue(c), GetGValue(c), GetBValue(c)); };
  TSamplePanel p;
  p.BevelOuter = bvRaised;
  QImage img = p.MakeSizedBitmap(clWhite, {0, 0, 60, 40});
  {
    TPainterDC dc(&img);
    p.Canvas().SetOffscreenBuffering(false);
    p.Canvas().OpenFrame(&dc, nullptr, clWhite, false, {0, 0, 60, 40});
    TChartShape shape(&p);
    shape.Bevel = bvRaised;
    shape.PaintRotatedShape(p.Canvas(), {20, 10, 40, 30}, 0);
  }
  for (TPoint light : {TPoint{0, 0}, {20, 10}}) EXPECT_EQ(img.pixel(light.X, light.Y), rgb(clBtnHighlight));
  for (TPoint dark : {TPoint{59, 39}, {39, 29}}) EXPECT_EQ(img.pixel(dark.X, dark.Y), rgb(clBtnShadow));
}

TEST(ChartPanel, MouseBroadcastStopsAfterStopper) {
  EnsureQApplication();
  TCustomChartPanel p;
  Listener a, b, c;
  for (Listener* l : {&a, &b, &c}) l->panel = &p, p.Listeners.push_back(l);
  b.stop = true;
  p.MouseDown(mbLeft, 0, 5, 6);
  EXPECT_EQ(a.heard, std::vector<int>{506});
  EXPECT_EQ(b.heard.size(), 1u);
  EXPECT_TRUE(c.heard.empty());
  b.stop = false;
  p.Designing = true;
  p.MouseMove(0, 7, 8);
  EXPECT_EQ(a.heard.size(), 1u) << "no move while designing";
  p.SetView3D(false);  // other events reach every listener
  EXPECT_EQ(c.heard, std::vector<int>{-1});
  p.Cursor = 5, p.StashedCursor = 2, p.Panning.Activate(1, 1);
  EXPECT_EQ(p.MouseLeave(), 2);
  EXPECT_FALSE(p.Panning.Active);
}

TEST(ChartPanel, ZoomRectangleErasesItself) {
  EnsureQApplication();
  TSamplePanel p;
  p.Paint();
  const QImage before = p.WindowImage().copy();
  p.Zoom().Activate(20, 30);
  p.Zoom().X1 = 200, p.Zoom().Y1 = 150;
  p.DrawZoomRectangle();
  EXPECT_NE(p.WindowImage(), before);
  p.DrawZoomRectangle();
  EXPECT_EQ(p.WindowImage(), before);
}

TEST(ChartPanel, PrintedPdfRendersThePlacedChart) {
  EnsureQApplication();
  QTemporaryDir dir;
  const QString pdf = dir.filePath("chart.pdf");
  TSamplePanel p;
  p.SetBounds(600, 300);
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdf);
  printer.setFullPage(true);
  PrintChartPage(p, printer, pdf);
  ASSERT_TRUE(QFileInfo(pdf).size() > 0);
  // At 72 dpi an A4 page is 595 × 842; the proportional margins of a 2:1
  // chart are (15, 37, 15, 37) percent.
  ASSERT_EQ(QProcess::execute("pdftoppm", {"-r", "72", "-png", "-singlefile", pdf, dir.filePath("page")}), 0);
  const QImage page(dir.filePath("page.png"));
  ASSERT_FALSE(page.isNull());
  const QRect blue = Extent(page.convertToFormat(QImage::Format_RGB32), qRgb(0, 0, 255));
  EXPECT_NEAR(blue.left(), 595 * 15 / 100, 2);
  EXPECT_NEAR(blue.right() + 1, 595 * 85 / 100, 2);
  EXPECT_NEAR(blue.top(), 842 * 37 / 100, 2);
  EXPECT_NEAR(blue.bottom() + 1, 842 * 63 / 100, 2);
  if (qEnvironmentVariableIsSet("FW_SCREENSHOT_DIR")) page.save(qEnvironmentVariable("FW_SCREENSHOT_DIR") + "/chart_print.png");
}

TEST(ChartPanelHost, PaintsTheBufferAndForwardsTheMouse) {
  EnsureQApplication();
  TSamplePanel p;
  p.Cursor = Qt::CrossCursor;
  TChartPanelHost host(p);
  host.resize(320, 200);
  host.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
  EXPECT_EQ(p.Width(), 320);
  const QImage shown = host.grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(Extent(shown, qRgb(255, 0, 0)), QRect(10, 9, 300, 182)) << "the red plot rectangle";
  Listener l;
  l.panel = &p;
  p.Listeners.push_back(&l);
  QTest::mousePress(&host, Qt::LeftButton, {}, QPoint(30, 40));
  EXPECT_EQ(l.heard, std::vector<int>{3040});
  QCursor::setPos(host.mapToGlobal(QPoint(25, -5)));  // also outside the window
  EXPECT_EQ(p.GetCursorPos(), (TPoint{25, -5}));
  p.Cursor = Qt::WaitCursor;
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&host, &leave);
  EXPECT_EQ(host.cursor().shape(), Qt::CrossCursor);
  SaveScreenshot(&host, "chart_panel");
}

TEST(ChartPanel, BackImageModes) {
  EnsureQApplication();
  QImage tile(10, 10, QImage::Format_RGB32);
  tile.fill(Qt::green);
  struct Case {
    TChartBackImageMode mode;
    std::vector<TRect> expected;
  } cases[] = {
      {pbmStretch, {{0, 0, 35, 25}}},
      {pbmTile, {{0, 0, 10, 10}, {10, 0, 20, 10}, {20, 0, 30, 10}, {30, 0, 40, 10}, {0, 10, 10, 20}, {10, 10, 20, 20},
                 {20, 10, 30, 20}, {30, 10, 40, 20}, {0, 20, 10, 30}, {10, 20, 20, 30}, {20, 20, 30, 30}, {30, 20, 40, 30}}},
      {pbmCenter, {{12, 7, 22, 17}}},
      {pbmCustom, {{3, 4, 13, 14}}},
  };
  for (const Case& c : cases) {
    TSamplePanel p;
    p.SetBounds(35, 25);
    p.BackImage().SetImage(tile);
    p.BackImage().SetMode(c.mode);
    p.BackImage().SetLeft(3), p.BackImage().SetTop(4);
    TRecordingDC dc({35, 25});
    p.Draw(dc, p.PanelRectangle());
    std::vector<TRect> drawn;
    for (const TDCRecord* r : dc.Of(TDCOp::StretchDraw)) drawn.push_back({r->Args[0], r->Args[1], r->Args[2], r->Args[3]});
    EXPECT_EQ(drawn, c.expected) << int(c.mode);
    EXPECT_EQ(dc.Count(TDCOp::ClipRect), c.mode == pbmStretch ? 0 : 1);
    EXPECT_EQ(dc.Count(TDCOp::PushClip), dc.Count(TDCOp::PopClip)) << int(c.mode);
  }
}

// The picture a panel hands over is what its window shows; a transparent
// back image lets the panel's colour through where its bottom-left colour is.
TEST(ChartPanel, AssignToAndTransparentBackImage) {
  EnsureQApplication();
  QImage image(6, 6, QImage::Format_RGB32);
  image.fill(Qt::green);
  image.setPixel(0, 5, qRgb(255, 255, 255));
  image.setPixel(2, 2, qRgb(255, 255, 255));
  for (bool transparent : {false, true}) {
    TSamplePanel p;
    p.BevelOuter = bvNone;
    p.SetColor(clYellow);
    p.SetBounds(60, 40);
    p.SetMarginUnits(muPixels);
    p.SetMargins(20, 20, 2, 2);  // the red plot clear of the picture
    EXPECT_FALSE(p.BackImageTransp());
    p.SetBackImageTransp(true);  // no picture: nothing to make transparent
    EXPECT_FALSE(p.BackImageTransp());
    p.BackImage().SetImage(image);
    p.BackImage().SetMode(pbmCustom);
    p.BackImage().SetLeft(3), p.BackImage().SetTop(4);
    p.Paint();
    p.SetBackImageTransp(transparent);
    EXPECT_EQ(p.Canvas().BufferStale(), transparent);
    QImage assigned;
    TPicture picture;
    p.AssignTo(assigned), p.AssignTo(picture), p.Paint();
    EXPECT_EQ(assigned, p.WindowImage());
    EXPECT_EQ(picture.Image(), assigned);
    const QRgb through = transparent ? qRgb(255, 255, 0) : qRgb(255, 255, 255);
    EXPECT_EQ((std::vector{assigned.pixel(5, 6), assigned.pixel(3, 9), assigned.pixel(4, 6)}),
              (std::vector{through, through, qRgb(0, 255, 0)}));
  }
}

TEST(ChartPanel, ShapeOutlines) {
  EnsureQApplication();
  TCustomChartPanel p;
  TRecordingDC dc;
  p.Canvas().SetOffscreenBuffering(false);
  p.Canvas().OpenFrame(&dc, nullptr, clWhite, false, {0, 0, 100, 100});
  TChartShape shape(&p);
  shape.Transparent = true;
  shape.PaintRotatedShape(p.Canvas(), {0, 0, 40, 20}, 0);
  EXPECT_TRUE(dc.Of(TDCOp::Rectangle).empty()) << "a transparent shape draws nothing";
  shape.Transparent = false;
  shape.Gradient().SetVisible(true);
  shape.PaintRotatedShape(p.Canvas(), {0, 0, 40, 20}, 90);
  EXPECT_EQ(dc.Count(TDCOp::PushClip), dc.Count(TDCOp::PopClip)) << "the gradient's clip undone";
  shape.Gradient().SetVisible(false);
  ASSERT_EQ(dc.Count(TDCOp::Polygon), 1);
  EXPECT_EQ(dc.Of(TDCOp::Polygon)[0]->Points, (std::vector<TPoint>{{10, 30}, {10, -10}, {30, -10}, {30, 30}}));
  shape.ShapeStyle = fosRoundRectangle;
  shape.PaintRotatedShape(p.Canvas(), {0, 0, 40, 20}, 0);
  ASSERT_EQ(dc.Count(TDCOp::RoundRect), 1);
  EXPECT_EQ(dc.Of(TDCOp::RoundRect)[0]->Args, (std::vector<int>{0, 0, 40, 20, 16, 16}));
}
