#include <gtest/gtest.h>

#include <cmath>

#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>

#include "chart/ChartTools.h"
#include "platform/RecordingDC.h"
#include "support/QtApp.h"

namespace {

constexpr TColor kGreen = 0x408000;

// A white 2-D chart laid out like the band analyzer's spectrum: 87..108 MHz
// along the bottom, levels 0..130 up the left, no grid; optionally a series.
struct QtFirst {
  QtFirst() { EnsureQApplication(); }
};
struct Spectrum : QtFirst {
  Spectrum() {
    panel.SetBounds(400, 250);
    panel.SetView3D(false);
    panel.SetColor(clWhite);
    for (TChartAxis* a : {&panel.BottomAxis(), &panel.LeftAxis()}) a->Grid().Hide(), a->SetAutomatic(false);
    panel.BottomAxis().SetMaximum(108), panel.BottomAxis().SetMinimum(87);
    panel.LeftAxis().SetMaximum(130);
  }
  TChartSeries* AddSeries() {  // a point every 0.5 MHz
    auto s = std::make_unique<TChartSeries>();
    for (double x = 87; x <= 108; x += 0.5) s->AppendPoint(x, 40 + x - 87);
    return panel.AddSeries(std::move(s));
  }
  QRgb Pixel(int x, int y) { return panel.WindowImage().pixel(x, y) & 0xFFFFFF; }
  TCustomAxisPanel panel;
};

QRgb Rgb(TColor c) { return qRgb(GetRValue(c), GetGValue(c), GetBValue(c)) & 0xFFFFFF; }

struct VerticalCursor : Spectrum {
  VerticalCursor() {
    cursor.SetStyle(cssVertical);
    cursor.Pen().SetColor(kGreen);
    cursor.Pen().SetWidth(2);
    cursor.SetParentChart(&panel);
  }
  TCursorTool cursor;
};

}  // namespace

TEST(CursorTool, DragSnapsToTheSeriesWithOneSnapEventPerNewPoint) {
  VerticalCursor c;
  c.cursor.SetSeries(c.AddSeries());
  c.cursor.Snap = true;
  int changes = 0, snaps = 0, lastIndex = -2;
  c.cursor.OnChange = [&](TCursorTool&, int, int, double, double, TChartSeries*, int i) { ++changes, lastIndex = i; };
  c.cursor.OnSnapChange = [&](TCursorTool&, int, int, double, double, TChartSeries*, int) { ++snaps; };
  c.panel.Paint();
  EXPECT_EQ(changes, 1);  // centred at the first repaint, snapped
  EXPECT_EQ(std::fmod(c.cursor.XValue(), 0.5), 0);
  const int start = c.cursor.CursorPixelX();
  const int y = c.panel.PlotRect().Top + 50;
  c.panel.MouseDown(mbLeft, 0, c.cursor.CursorPixelX() + 2, y);
  EXPECT_EQ(c.cursor.Dragging(), 2);
  EXPECT_TRUE(c.panel.StopMouseBroadcast);
  const TChartAxis& bottom = c.panel.BottomAxis();
  // 100.1 and 100.2 snap to one point: a change each, one snap event.
  for (double v : {100.1, 100.2, 101.0}) c.panel.MouseMove(0, bottom.PixelOfValue(v), y);
  c.panel.MouseUp(mbLeft, 0, bottom.PixelOfValue(101.0), y);
  EXPECT_EQ(changes, 4);
  EXPECT_EQ(snaps, 2);
  EXPECT_EQ(c.cursor.XValue(), 101.0);
  EXPECT_EQ(lastIndex, 28);
  EXPECT_EQ(c.cursor.CursorPixelX(), bottom.PixelOfValue(101.0));
  EXPECT_EQ(c.cursor.Dragging(), 0);
  // The window and the offscreen buffer show the cursor at its new place only.
  EXPECT_EQ(c.panel.WindowImage(), c.panel.Canvas().Buffer());
  EXPECT_EQ(c.Pixel(c.cursor.CursorPixelX(), y), Rgb(kGreen));
  EXPECT_EQ(c.Pixel(start, y), Rgb(clWhite));
  c.cursor.SetXValue(100.25);  // halfway between two points: the first of them
  c.cursor.SnapToNearest();
  EXPECT_EQ(c.cursor.XValue(), 100.0);
}

TEST(CursorTool, APressHitsTheLineUnderThreePixelsWithAnyButton) {
  struct Case {
    int offset;
    TMouseButton button;
    int dragging;
  } cases[] = {{2, mbLeft, 2}, {-2, mbRight, 2}, {3, mbLeft, 0}, {-3, mbRight, 0}};
  for (const Case& k : cases) {
    VerticalCursor c;
    c.panel.Paint();
    c.panel.MouseDown(k.button, 0, c.cursor.CursorPixelX() + k.offset, c.panel.PlotRect().Top + 10);
    EXPECT_EQ(c.cursor.Dragging(), k.dragging) << k.offset;
  }
}

TEST(CursorTool, XorDrawingRestoresTheChartAndPrintsInTheRealColour) {
  VerticalCursor c;
  c.cursor.SetActive(false);
  c.panel.Paint();
  const QImage bare = c.panel.WindowImage();
  c.cursor.SetActive(true);
  c.cursor.FollowMouse = true;
  c.panel.Paint();
  const int y = c.panel.PlotRect().Top + 20, x = c.cursor.CursorPixelX();
  EXPECT_EQ(c.Pixel(x, y), Rgb(kGreen));  // green XOR white drawn over white
  const QImage drawn = c.panel.WindowImage();
  c.panel.MouseMove(0, x + 40, y);  // drawn again at the old place: erased
  EXPECT_EQ(c.panel.WindowImage().copy(x - 20, 0, 40, 250), bare.copy(x - 20, 0, 40, 250));
  c.panel.MouseMove(0, x, y);
  EXPECT_EQ(c.panel.WindowImage(), drawn);

  // A recording cannot be read back: copy mode in the pen's own colour.
  c.cursor.SetActive(true);
  TRecordingDC dc({400, 250});
  c.panel.Draw(dc, c.panel.PanelRectangle());
  bool found = false;
  for (const TDCRecord* r : dc.Of(TDCOp::LineTo))
    found |= r->Pen.Color == kGreen && r->Args[0] == c.cursor.CursorPixelX();
  EXPECT_TRUE(found);
}

TEST(CursorTool, AppearsInAPrintedPdf) {
  VerticalCursor c;
  c.cursor.Pen().SetWidth(4);
  QTemporaryDir dir;
  const QString pdf = dir.filePath("chart.pdf");
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdf);
  PrintChartPage(c.panel, printer, pdf);
  ASSERT_EQ(QProcess::execute("pdftoppm", {"-r", "72", "-png", "-singlefile", pdf, dir.filePath("page")}), 0);
  const QImage page = QImage(dir.filePath("page.png")).convertToFormat(QImage::Format_RGB32);
  int green = 0;
  for (int y = 0; y < page.height(); ++y)
    for (int x = 0; x < page.width(); ++x) green += (page.pixel(x, y) & 0xFFFFFF) == Rgb(kGreen);
  EXPECT_GT(green, 20);
}

TEST(CursorTool, AValueWrittenBeforeTheFirstRepaintIsKept) {
  VerticalCursor c;
  c.cursor.SetXValue(98.5);
  c.panel.Paint();
  EXPECT_EQ(c.cursor.XValue(), 98.5);
  EXPECT_EQ(c.cursor.CursorPixelX(), c.panel.BottomAxis().PixelOfValue(98.5));
}

TEST(ColorBandTool, BlendsTheSearchLevelBandOverTheWhiteChartRowForRow) {
  struct Case {
    double start, end;
    bool shown;
  } cases[] = {{40, 60, true}, {60, 40, true}, {140, 150, false}, {120, 200, true}};
  for (const Case& k : cases) {
    Spectrum c;
    TColorBandTool band;
    band.SetAxis(&c.panel.LeftAxis());
    band.SetColor(0x808040);
    band.SetTransparency(70);
    band.Pen().Hide();
    band.SetStartValue(k.start), band.SetEndValue(k.end);
    c.panel.Paint();
    const TChartAxis& left = c.panel.LeftAxis();
    const TRect p = c.panel.PlotRect();
    const int top = std::max(p.Top, left.PixelOfValue(std::max(k.start, k.end)));
    const int bottom = left.PixelOfValue(std::min(k.start, k.end));
    const QRgb blended = qRgb(197, 216, 216) & 0xFFFFFF;
    int rows = 0;  // below the top frame line
    for (int y = p.Top + 1; y < p.Bottom; ++y) rows += c.Pixel(p.Left + 20, y) == blended;
    if (!k.shown) {
      EXPECT_EQ(rows, 0) << k.start;
      continue;
    }
    EXPECT_EQ(rows, bottom - std::max(top, p.Top + 1) + 1) << k.start;
    for (int x : {p.Left + 1, p.Right - 2})
      for (int y : {std::max(top, p.Top + 1), bottom}) {
        EXPECT_EQ(c.Pixel(x, y), blended) << k.start << " " << x << "," << y;
      }
    // The blend covers one row more, where white loses one step of red.
    EXPECT_EQ(c.Pixel(p.Left + 20, bottom + 1), qRgb(254, 255, 255) & 0xFFFFFF);
  }
}

TEST(ColorLineTool, SitsOnTheRowOfItsPlacedValueAndIsLimitedOnlyWhenDraggable) {
  struct Case {
    TColorLineStyle style;
    double value;
    bool allowDrag;
    double placed, valueAfter;
  } cases[] = {{clCustom, 65, false, 65, 65}, {clCenter, 10, false, 65, 10}, {clCustom, 200, true, 130, 130},
               {clCustom, 200, false, 200, 200}};
  for (const Case& k : cases) {
    Spectrum c;
    TColorLineTool line;
    line.SetAxis(&c.panel.LeftAxis());
    line.SetDraw3D(false);
    line.Pen().SetColor(clRed);
    line.AllowDrag = k.allowDrag;
    line.SetValue(k.value);
    line.SetStyle(k.style);
    c.panel.Paint();
    EXPECT_EQ(line.Value(), k.valueAfter);
    EXPECT_EQ(line.PlacedValue(), k.placed);
    const int row = c.panel.LeftAxis().PixelOfValue(k.placed);
    if (k.placed <= 130) {
      EXPECT_EQ(c.Pixel(c.panel.PlotRect().Left + 30, row), Rgb(clRed)) << k.value;
    }
  }
}

TEST(ChartTools, EachRepaintDrawsABandOnceAndALineByItsBackAndFrontParts) {
  struct Case {
    bool draw3D, behind, behindAxes;
    int lines;
  } cases[] = {{false, false, false, 1}, {false, true, true, 1}, {true, false, false, 2}, {true, true, false, 1}};
  for (const Case& k : cases) {
    Spectrum c;
    TColorLineTool line;
    TColorBandTool band;
    line.SetAxis(&c.panel.LeftAxis());
    line.SetDraw3D(k.draw3D), line.SetDrawBehind(k.behind);
    line.SetValue(65);
    band.SetAxis(&c.panel.LeftAxis());
    band.SetColor(clLime), band.SetDrawBehind(k.behind), band.SetDrawBehindAxes(k.behindAxes);
    band.SetStartValue(10), band.SetEndValue(20);
    TRecordingDC dc({400, 250});
    c.panel.Draw(dc, c.panel.PanelRectangle());
    int lines = 0, bands = 0;
    for (size_t i = 1; i < dc.List.size(); ++i) {
      const TDCRecord& r = dc.List[i];
      lines += r.Op == TDCOp::LineTo && dc.List[i - 1].Op == TDCOp::MoveTo &&
               dc.List[i - 1].Args[0] == c.panel.PlotRect().Left && r.Args[0] == c.panel.PlotRect().Right &&
               r.Args[1] == c.panel.LeftAxis().PixelOfValue(65);
      bands += r.Op == TDCOp::Rectangle && r.Brush.Color == clLime;
    }
    EXPECT_EQ(lines, k.lines) << k.draw3D << k.behind;
    EXPECT_EQ(bands, 1) << k.behind << k.behindAxes;
  }
}

TEST(ColorLineTool, LeftDragMovesTheLineAndBandEdgesFollowTheirValues) {
  Spectrum c;
  TColorLineTool line;
  line.SetAxis(&c.panel.LeftAxis());
  line.SetValue(50);
  c.panel.Paint();
  const TChartAxis& left = c.panel.LeftAxis();
  const int x = c.panel.PlotRect().Left + 30;
  c.panel.MouseDown(mbRight, 0, x, left.PixelOfValue(50));
  EXPECT_FALSE(line.Dragging());
  c.panel.MouseDown(mbLeft, 0, x, left.PixelOfValue(50) + 2);
  ASSERT_TRUE(line.Dragging());
  c.panel.MouseMove(0, x, left.PixelOfValue(80));
  EXPECT_EQ(c.Pixel(x, left.PixelOfValue(line.Value())), Rgb(clBlack));  // black not-XOR white
  EXPECT_EQ(c.Pixel(x, left.PixelOfValue(50)), Rgb(clWhite));             // and back
  c.panel.MouseUp(mbLeft, 0, x, left.PixelOfValue(80));
  EXPECT_NEAR(line.Value(), 80, 0.5);

  TColorBandTool band;
  band.SetAxis(&c.panel.LeftAxis());
  band.SetStartValue(20), band.SetEndValue(30);
  band.SetResizeStart(true);
  c.panel.Paint();
  c.panel.MouseDown(mbLeft, 0, x, left.PixelOfValue(20));
  c.panel.MouseMove(0, x, left.PixelOfValue(10));
  EXPECT_NEAR(band.StartValue(), 10, 0.5);  // while the button is still held
  c.panel.MouseUp(mbLeft, 0, x, left.PixelOfValue(10));
}

TEST(ChartTools, ForgetSeriesAndChartsFreedFirst) {
  auto c = std::make_unique<Spectrum>();
  TCursorTool cursor;
  TColorBandTool band;
  TColorLineTool line;
  TChartSeries* s = c->AddSeries();
  cursor.SetParentChart(&c->panel);
  cursor.SetSeries(s);
  band.SetAxis(&c->panel.LeftAxis());
  band.SetResizeEnd(true);
  line.SetAxis(&c->panel.BottomAxis());
  c->panel.Paint();
  delete s;
  EXPECT_EQ(cursor.Series(), nullptr);
  c.reset();
  EXPECT_EQ(cursor.ParentChart(), nullptr);
  EXPECT_EQ(band.Axis(), nullptr);
  EXPECT_EQ(band.UpperEdgeLine().Axis(), nullptr);
  EXPECT_EQ(band.UpperEdgeLine().HostChart(), nullptr);
  EXPECT_EQ(line.Axis(), nullptr);
  // Nothing of the chart is touched any more.
  cursor.SetXValue(99), band.SetEndValue(90), line.SetValue(3);
  band.NotifyMouseAction(kToolMouseMove, mbLeft, 0, 10, 10);
  EXPECT_FALSE(band.UpperEdgeLine().HitTest(10, 10));
}
