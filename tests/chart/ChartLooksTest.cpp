// What the marks, axis titles, date-time axes, area series and legend symbols
// look like on a drawn chart, read back from its pixels.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "chart/ChartConst.h"
#include "chart/ChartSetup.h"
#include "chart/Series.h"
#include "platform/RecordingDC.h"
#include "support/QtApp.h"

namespace {

QRgb Rgb(TColor c) {
  c = ColorToRGB(c);
  return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

bool Grey(QRgb p) { return qRed(p) == qGreen(p) && qGreen(p) == qBlue(p); }

// With FW_SCREENSHOT_DIR set, the chart's picture is kept there for a look.
void Keep(TChart& c, const char* name) {
  const char* dir = std::getenv("FW_SCREENSHOT_DIR");
  if (!dir || !*dir) return;
  QDir().mkpath(dir);
  c.WindowImage().save(QDir(dir).filePath(QString(name) + ".png"), "PNG");
}

// A white chart with one point carrying a visible mark.
struct MarkChart {
  std::unique_ptr<TChart> Chart;
  TFastLineSeries* Series = nullptr;
  TSeriesMarks& Marks() { return Series->Marks(); }
  // The drawn chart and the box of the mark.
  TRect Paint() {
    Chart->Paint();
    return Marks().Positions().at(0).Bounds();
  }
  QRgb At(int x, int y) const { return Chart->WindowImage().pixel(x, y); }
};

MarkChart MakeMarkChart() {
  EnsureQApplication();
  MarkChart m;
  m.Chart = MakePlainChart(2, 8, 4, 20, 400, 300);
  m.Chart->SetColor(clWhite);
  m.Chart->LeftAxis().FixRange(0, 100);
  m.Chart->BottomAxis().FixRange(0, 10);
  m.Series = AddChartSeries<TFastLineSeries>(*m.Chart, clBlack, "Stations");
  m.Series->AppendPoint(5, 30, "98.5 MHz");
  m.Marks().SetVisible(true);
  return m;
}

}  // namespace

TEST(MarksLook, StationLabelsCastTheirItemsGreyShadow) {
  MarkChart m = MakeMarkChart();
  m.Marks().Item(0);  // what the band analyzer does for each station it shows
  const TRect b = m.Paint();
  const int mid = (b.Top + b.Bottom) / 2;
  EXPECT_EQ(m.At(b.Right, mid), Rgb(clGray));          // one pixel right of the box
  EXPECT_EQ(m.At((b.Left + b.Right) / 2, b.Bottom), Rgb(clGray));  // and one below it
  EXPECT_EQ(m.At(b.Right + 1, mid), Rgb(clWhite));
}

TEST(MarksLook, ShadowBevelGradientAndTransparency) {
  MarkChart m = MakeMarkChart();
  // A blue shadow blended at 50 % shows blue over the white chart.
  m.Marks().Shadow().SetColor(clBlue);
  m.Marks().Shadow().SetSize(4);
  m.Marks().Shadow().SetTransparency(50);
  TRect b = m.Paint();
  const QRgb shadow = m.At(b.Right + 2, (b.Top + b.Bottom) / 2);
  EXPECT_GT(qBlue(shadow) - qRed(shadow), 60);
  EXPECT_GT(qRed(shadow), 60);  // blended, not solid

  // The marks' gradient runs across the box from silver to white.
  TChartGradient& g = m.Marks().Gradient();
  EXPECT_EQ(g.Direction(), gdRightLeft);
  EXPECT_EQ(g.StartColor(), TColor(0xC0C0C0));
  EXPECT_EQ(g.EndColor(), TColor(0xFFFFFF));
  g.SetVisible(true);
  b = m.Paint();
  const QRgb left = m.At(b.Left + 2, b.Bottom - 3), right = m.At(b.Right - 3, b.Bottom - 3);
  EXPECT_TRUE(Grey(left) && Grey(right));
  EXPECT_GT(std::abs(qRed(left) - qRed(right)), 40);
  g.SetVisible(false);

  // A raised bevel: light inside the left edge, dark inside the right one.
  m.Marks().SetBevel(bvRaised);
  b = m.Paint();
  const int mid = (b.Top + b.Bottom) / 2;
  bool light = false, dark = false;
  for (int x = b.Left; x < b.Left + 4; ++x) light |= m.At(x, mid) == Rgb(clBtnHighlight);
  for (int x = b.Right - 4; x < b.Right; ++x) dark |= m.At(x, mid) == Rgb(clBtnShadow);
  EXPECT_TRUE(light && dark);
  m.Marks().SetBevel(bvNone);

  // A half transparent box lets the white chart through its yellow.
  m.Marks().Shadow().SetSize(0);
  m.Marks().SetTransparency(50);
  b = m.Paint();
  const QRgb inside = m.At(b.Left + 2, b.Bottom - 3);
  EXPECT_NE(inside, Rgb(clInfoBk));
  EXPECT_NE(inside, Rgb(clWhite));
  EXPECT_GT(qBlue(inside), qBlue(Rgb(clInfoBk)));
}

TEST(MarksLook, SymbolHasItsPenShadowAndGradient) {
  MarkChart m = MakeMarkChart();
  TSeriesMarksSymbol& s = m.Marks().Symbol();
  s.SetVisible(true);
  s.Pen().SetColor(clRed);
  s.Shadow().SetColor(clBlue);
  s.Shadow().SetSize(2);
  s.Gradient().SetVisible(true);
  s.Gradient().SetStartColor(clLime);
  s.Gradient().SetEndColor(clLime);
  const TRect b = m.Paint();
  // The symbol's square: 4 pixels in from the left, 3 down from the top.
  const int h = m.Chart->AxisMeasure().FontHeight(m.Marks().Font());
  const TRect r{b.Left + 4, b.Top + 3, b.Left + h - 1, b.Top + h - 2};
  const int mid = (r.Top + r.Bottom) / 2;
  EXPECT_EQ(m.At(r.Left, mid), Rgb(clRed));
  EXPECT_EQ(m.At((r.Left + r.Right) / 2, mid), Rgb(clLime));  // not the point's black
  EXPECT_EQ(m.At(r.Right, mid + 1), Rgb(clBlue));
}

TEST(MarksLook, PictureWithShadowBevelAndGradient) {
  MarkChart m = MakeMarkChart();
  m.Chart->SetBounds(500, 300);
  m.Series->AppendPoint(8, 60, "101.1 MHz\rPI:5E07");
  m.Marks().SetMultiLine(true);
  m.Marks().Shadow().SetColor(clNavy);
  m.Marks().Shadow().SetSize(3);
  m.Marks().Shadow().SetTransparency(40);
  m.Marks().Gradient().SetVisible(true);
  m.Marks().Item(1).SetBevel(bvRaised);
  m.Marks().Item(1).SetBevelWidth(2);
  m.Marks().Item(1).Gradient().SetVisible(true);
  m.Marks().Symbol().SetVisible(true);
  m.Paint();
  Keep(*m.Chart, "marks_shadow_bevel_gradient");
  const TRect b = m.Marks().Positions().at(1).Bounds();
  EXPECT_TRUE(Grey(m.At(b.Right - 3, b.Bottom - 3)));  // the item's gradient, not its yellow
  EXPECT_EQ(m.At(b.Right, (b.Top + b.Bottom) / 2), Rgb(clGray));  // its own shadow
}

TEST(AxisLook, TitleIsAShapeWithAGradient) {
  MarkChart m = MakeMarkChart();
  TChartAxisTitle& t = m.Chart->LeftAxis().Title();
  t.SetCaption("Level dBuV");
  t.SetTransparent(false);
  t.Gradient().SetVisible(true);
  t.Gradient().SetStartColor(clRed);
  t.Gradient().SetEndColor(clRed);
  m.Paint();
  int red = 0;
  const TRect plot = m.Chart->PlotRect();
  for (int y = plot.Top; y < plot.Bottom; ++y)
    for (int x = 0; x < plot.Left; ++x) red += m.At(x, y) == Rgb(clRed);
  EXPECT_GT(red, 50);
}

TEST(DateTimeAxis, FollowsTheSeriesValues) {
  EnsureQApplication();
  auto c = MakePlainChart(2, 8, 12, 4, 600, 300);
  c->SetColor(clWhite);
  auto* s = AddChartSeries<TFastLineSeries>(*c, clRed, "Levels");
  for (int i = 0; i <= 30; ++i) s->AppendPoint(46000.5 + i / 1440.0, 20 + (i * 37) % 60);
  std::vector<std::string> bottom;
  c->OnGetAxisLabel = [&](TChartAxis& a, TChartSeries* series, int, std::string& text) {
    if (&a == &c->BottomAxis() && !series) bottom.push_back(text);
  };
  c->Paint();
  ASSERT_FALSE(bottom.empty());
  EXPECT_EQ(bottom.front().find("46"), 0u);  // plain numbers: the day number
  s->XValues().SetDateTime(true);
  EXPECT_TRUE(c->BottomAxis().ShowsDateTimes());
  EXPECT_FALSE(c->LeftAxis().ShowsDateTimes());
  bottom.clear();
  c->Paint();
  Keep(*c, "datetime_bottom_axis");
  ASSERT_FALSE(bottom.empty());
  for (const std::string& text : bottom) EXPECT_NE(text.find(':'), std::string::npos) << text;
  try {
    c->BottomAxis().SetLogarithmic(true);
    ADD_FAILURE() << "a date-time axis became logarithmic";
  } catch (const AxisException& e) {
    EXPECT_STREQ(e.what(), "DateTime Axis cannot be Logarithmic");
  }
  EXPECT_FALSE(c->BottomAxis().Logarithmic());
  // Inactive series do not make the axis date-time.
  s->SetActive(false);
  EXPECT_FALSE(c->BottomAxis().ShowsDateTimes());
}

namespace {

struct AreaChart {
  std::unique_ptr<TChart> Chart;
  TAreaSeries* Area = nullptr;
  QRgb At(int x, int y) const { return Chart->WindowImage().pixel(x, y); }
};

AreaChart MakeAreaChart() {
  EnsureQApplication();
  AreaChart a;
  a.Chart = MakePlainChart(2, 8, 4, 4, 400, 300);
  a.Chart->SetColor(clWhite);
  a.Chart->LeftAxis().FixRange(0, 100);
  a.Chart->BottomAxis().FixRange(0, 10);
  a.Area = AddChartSeries<TAreaSeries>(*a.Chart, clBlue, "Area");
  a.Area->LinePen().Hide();
  a.Area->AreaLinesPen().Hide();
  for (double x : {0.0, 5.0, 10.0}) a.Area->AppendPoint(x, 80);
  return a;
}

}  // namespace

TEST(AreaLook, GradientAndTransparency) {
  AreaChart a = MakeAreaChart();
  TChart& c = *a.Chart;
  TChartGradient& g = a.Area->Gradient();
  g.SetStartColor(clRed);
  g.SetEndColor(clBlue);
  g.SetVisible(true);
  c.Paint();
  // Between the grid lines.
  const int x = c.BottomAxis().PixelOfValue(3.5), top = c.LeftAxis().PixelOfValue(80) + 2;
  const int bottom = c.TCustomChartPanel::PlotRect.Bottom - 2;
  const QRgb high = a.At(x, top), low = a.At(x, bottom);
  EXPECT_NE(qRed(high) > qBlue(high), qRed(low) > qBlue(low)) << std::hex << high << " " << low;
  g.SetVisible(false);

  a.Area->SetTransparency(50);
  c.Paint();
  Keep(c, "area_transparent");
  const QRgb blended = a.At(x, c.LeftAxis().PixelOfValue(42.5));
  EXPECT_GT(qRed(blended), 100);
  EXPECT_LT(qRed(blended), 160);
  EXPECT_EQ(qBlue(blended), 255);
}

TEST(AreaLook, LegendSymbolShowsTheGradient) {
  AreaChart a = MakeAreaChart();
  TChart& c = *a.Chart;
  c.Legend().SetVisible(true);
  c.Legend().LegendStyle = lsSeries;
  a.Area->Gradient().SetStartColor(clRed);
  a.Area->Gradient().SetEndColor(clLime);
  a.Area->Gradient().SetDirection(gdLeftRight);
  a.Area->Gradient().SetVisible(true);
  c.Paint();
  const TLegendLayout& l = c.Legend().Layout;
  const int y = l.ItemsTop + 1 + c.Legend().VertSpacing / 2 + c.Canvas().FontPixelHeight() / 2;
  const QRgb left = a.At(l.SymbolX + 2, y), right = a.At(l.SymbolX + l.SymbolWidth - 3, y);
  EXPECT_NE(left, right);
  EXPECT_NE(left, Rgb(clBlue));
  EXPECT_NE(right, Rgb(clBlue));
}

TEST(AreaLook, LineOptionsRepaintOnlyWhenChanged) {
  AreaChart a = MakeAreaChart();
  int repaints = 0;
  a.Chart->OnInvalidate = [&] { ++repaints; };
  const std::pair<const char*, std::function<void(bool)>> flags[] = {
      {"ClickableLine", [&](bool v) { a.Area->SetClickableLine(v); }},
      {"ColorEachLine", [&](bool v) { a.Area->SetColorEachLine(v); }},
      {"Dark3D", [&](bool v) { a.Area->SetDark3D(v); }},
  };
  for (const auto& [name, set] : flags) {
    repaints = 0;
    set(true);
    EXPECT_EQ(repaints, 0) << name;
    set(false);
    EXPECT_EQ(repaints, 1) << name;
  }
  EXPECT_FALSE(a.Area->ClickableLine() || a.Area->ColorEachLine() || a.Area->Dark3D());
  repaints = 0;
  a.Area->SetTransparency(30);
  a.Chart->LeftAxis().Grid().SetZPosition(40);
  a.Chart->LeftAxis().Grid().SetZPosition(40);
  EXPECT_EQ(repaints, 2);
  EXPECT_EQ(a.Chart->LeftAxis().Grid().ZPosition(), 40);
}

TEST(MarksLook, LegendStyleCalloutDistance) {
  MarkChart m = MakeMarkChart();
  TChart& c = *m.Chart;
  c.Legend().TextStyle = ltsRightValue;
  m.Marks().SetStyle(smsLabel);
  const int labelWidth = m.Paint().Width();
  m.Marks().SetStyle(smsLegend);
  EXPECT_EQ(m.Marks().TextOf(0), "98.5 MHz 30");  // the legend's columns, apart by a blank
  EXPECT_GT(m.Paint().Width(), labelWidth);

  // Distance moves the box away from its point beyond the arrow's length.
  const TRect near = m.Paint();
  const int nearY = c.LeftAxis().PixelOfValue(30);
  EXPECT_EQ(near.Bottom, nearY - m.Marks().Callout().Length());
  m.Marks().Callout().SetDistance(12);
  const TRect far = m.Paint();
  const int y = c.LeftAxis().PixelOfValue(30);
  EXPECT_EQ(far.Bottom, y - m.Marks().Callout().Length() - 12);
}

TEST(MarksLook, MultiLineLegendStyleBreaksAtTheColumns) {
  MarkChart m = MakeMarkChart();
  m.Chart->Legend().TextStyle = ltsRightValue;
  m.Marks().SetStyle(smsLegend);
  m.Marks().SetMultiLine(true);
  EXPECT_EQ(m.Marks().TextOf(0), "98.5 MHz\r30");
  std::vector<std::string> drawn;
  for (const TDCRecord& r : m.Chart->BuildMetafile(m.Chart->PanelRectangle()).Records)
    if (r.Op == TDCOp::TextOut) drawn.push_back(r.Text);
  for (const char* line : {"98.5 MHz", "30"}) EXPECT_NE(std::find(drawn.begin(), drawn.end(), line), drawn.end()) << line;
  for (const std::string& t : drawn) EXPECT_EQ(t.find(ChartConst::kColumnSeparator), std::string::npos) << t;
  const TRect b = m.Marks().Positions().at(0).Bounds();
  const int line = m.Chart->AxisMeasure().FontHeight(m.Marks().Font());
  EXPECT_GE(b.Height(), 2 * line);
}

// The texts the marks draw: one per shown point, none for a point whose
// own mark is hidden, whatever the series' marks say.
TEST(MarksLook, HiddenItemsDrawNoMark) {
  MarkChart m = MakeMarkChart();
  for (int i = 1; i < 6; ++i) m.Series->AppendPoint(5 + i, 30 + i, "P" + std::to_string(i));
  auto drawn = [&] {
    std::vector<std::string> texts;
    for (const TDCRecord& r : m.Chart->BuildMetafile(m.Chart->PanelRectangle()).Records)
      if (r.Op == TDCOp::TextOut && (r.Text[0] == 'P' || r.Text == "98.5 MHz") &&
          r.Args[1] < m.Chart->PlotRect().Bottom)  // not the bottom axis' labels
        texts.push_back(r.Text);
    std::sort(texts.begin(), texts.end());
    return texts;
  };
  m.Marks().Item(2).SetVisible(false);
  m.Marks().Item(4).SetVisible(false);
  m.Marks().Item(5).SetColor(clLime);  // an item made for its colour stays shown
  EXPECT_EQ(drawn(), (std::vector<std::string>{"98.5 MHz", "P1", "P3", "P5"}));
  // The band analyzer's way: every point's mark hidden, then its stations shown.
  for (int i = 0; i < m.Series->Count(); ++i) m.Marks().Item(i).SetVisible(false);
  m.Marks().Item(3).SetVisible(true);
  EXPECT_EQ(drawn(), (std::vector<std::string>{"P3"}));
  m.Marks().SetVisible(false);
  EXPECT_TRUE(drawn().empty());
}

// A line or area series leaves room above its highest point for its marks'
// arrow and distance: the top marks stay on the panel.
TEST(MarksLook, ValueAxisLeavesRoomForArrowAndDistance) {
  EnsureQApplication();
  for (bool area : {false, true}) {
    SCOPED_TRACE(area ? "area" : "fast line");
    auto c = MakePlainChart(2, 30, 4, 20, 400, 300);
    TChartSeries* s = area ? static_cast<TChartSeries*>(AddChartSeries<TAreaSeries>(*c, clBlue, "s"))
                           : AddChartSeries<TFastLineSeries>(*c, clBlue, "s");
    for (int i = 0; i < 3; ++i) s->AppendPoint(i, i == 1 ? 90 : 40 + 10 * i);
    s->Marks().SetVisible(true);
    s->Marks().Callout().SetDistance(25);
    c->BuildMetafile(c->PanelRectangle());
    const TRect top = s->Marks().Positions().at(1).Bounds();
    EXPECT_GE(top.Top, 0);
    EXPECT_EQ(top.Bottom, s->PointPixelY(1) - s->Marks().ArrowLength() - 25);
    EXPECT_GE(s->PointPixelY(1) - c->LeftAxis().PixelFrom, s->Marks().ArrowLength() + 25);
    // Hidden marks claim nothing: the highest point is back at the top.
    s->Marks().SetVisible(false);
    c->BuildMetafile(c->PanelRectangle());
    EXPECT_LT(s->PointPixelY(1) - c->LeftAxis().PixelFrom, 25);
  }
}

TEST(ChartSeries, RemovedSeriesLetsGoOfItsSource) {
  EnsureQApplication();
  auto c = MakePlainChart(2, 8, 4, 4, 300, 200);
  auto* src = AddChartSeries<TFastLineSeries>(*c, clRed, "src");
  auto* copy = AddChartSeries<TFastLineSeries>(*c, clBlue, "copy");
  for (double x : {1, 2, 3}) src->AppendPoint(x, x);
  copy->SetDataSource(src);
  ASSERT_EQ(copy->Count(), 3);
  std::unique_ptr<TChartSeries> off = c->RemoveSeries(copy);
  src->AppendPoint(4, 4);
  src->Clear();
  EXPECT_EQ(copy->Count(), 3);  // its points stay with it
  EXPECT_EQ(copy->DataSource(), nullptr);
  EXPECT_TRUE(src->DependentSeries().empty());
  c->AddSeries(std::move(off));
  EXPECT_EQ(copy->DataSource(), nullptr);
  src->AppendPoint(5, 5);
  EXPECT_EQ(copy->Count(), 3);  // not linked again
  EXPECT_TRUE(src->DependentSeries().empty());
  // Linked anew, it follows the source again.
  copy->SetDataSource(src);
  EXPECT_EQ(copy->Count(), 1);
  EXPECT_EQ(copy->XValue(0), 5);
}

// A title box that is not transparent turns with its text: it lies along
// the turned text and holds every pixel of it.
TEST(AxisLook, TurnedTitleBoxHoldsItsText) {
  for (int angle : {90, 45}) {
    SCOPED_TRACE(angle);
    MarkChart m = MakeMarkChart();
    TChartAxis& a = m.Chart->LeftAxis();
    a.LabelsFont().SetColor(clRed);  // the black pixels left of the plot are the title's
    TChartAxisTitle& t = a.Title();
    t.SetCaption("Level dBuV");
    t.SetAngle(angle);
    t.SetTransparent(false);
    t.SetColor(clYellow);
    t.Frame().Hide();
    m.Paint();
    // The box's pixels and the text's, left of the axis.
    QRect box, text;
    const int right = m.Chart->PlotRect().Left - 2;
    for (int y = 0; y < m.Chart->Height(); ++y)
      for (int x = 0; x < right; ++x) {
        const QRgb p = m.At(x, y);
        if (p == Rgb(clYellow)) box |= QRect(x, y, 1, 1);
        else if (qRed(p) < 128 && qGreen(p) < 128 && qBlue(p) < 128) text |= QRect(x, y, 1, 1);
      }
    ASSERT_FALSE(box.isEmpty());
    ASSERT_FALSE(text.isEmpty());
    EXPECT_TRUE(box.adjusted(-1, -1, 1, 1).contains(text)) << "box " << box.x() << "," << box.y() << " " << box.width()
                                                         << "x" << box.height() << " text " << text.x() << ","
                                                         << text.y() << " " << text.width() << "x" << text.height();
    if (angle == 90) {
      EXPECT_GT(box.height(), 2 * box.width());
    }
  }
}

TEST(LegendSymbol, ContinuousAndDefaultPen) {
  AreaChart a = MakeAreaChart();
  TChart& c = *a.Chart;
  TChartLegend& g = c.Legend();
  g.SetVisible(true);
  g.LegendStyle = lsValues;
  a.Area->Clear();
  for (int i = 0; i < 3; ++i) a.Area->AppendPoint(i * 5, 80, {}, i == 1 ? clLime : clRed);
  a.Area->AreaLinesPen().Show();
  a.Area->AreaLinesPen().SetColor(clBlue);
  const auto gaps = [&] {
    c.Invalidate();  // the symbol's settings are plain values
    c.Paint();
    const TLegendLayout& l = g.Layout;
    const int x = l.SymbolX + l.SymbolWidth / 2, y0 = l.ItemsTop + l.RowHeight / 2;
    int white = 0;
    for (int y = y0; y < y0 + 2 * l.RowHeight; ++y) white += a.At(x, y) == Rgb(clWhite);
    return white;
  };
  EXPECT_GT(gaps(), 0);
  g.Symbol.Continuous = true;
  EXPECT_EQ(gaps(), 0);
  Keep(c, "legend_continuous");

  // The legend's own pen frames the symbols instead of the area's lines.
  g.Symbol.Pen.SetColor(clFuchsia);
  const auto frame = [&] {
    c.Invalidate();
    c.Paint();
    const TLegendLayout& l = g.Layout;
    return a.At(l.SymbolX, l.ItemsTop + l.RowHeight / 2);
  };
  EXPECT_EQ(frame(), Rgb(clBlue));
  Keep(c, "legend_default_pen");
  g.Symbol.DefaultPen = false;
  EXPECT_EQ(frame(), Rgb(clFuchsia));
}
