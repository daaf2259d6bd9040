// Values that are not numbers or not finite (a failed division or parse in
// the measurement) are null points: gaps in the line, no part in the axis
// ranges, no marks. Values near the ends of the double range keep their
// labels inside the chart.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "chart/ChartSetup.h"
#include "chart/ChartTools.h"
#include "chart/Series.h"
#include "platform/RecordingDC.h"
#include "support/QtApp.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

void SaveShot(const QImage& image, const char* name) {
  if (const char* dir = std::getenv("FW_SCREENSHOT_DIR"); dir && *dir)
    image.save(QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromLatin1(name) + ".png"), "PNG");
}

// Colour of pixel column x (device) between rows y0..y1: does it hold `rgb`?
bool ColumnHas(const QImage& image, int x, int y0, int y1, QRgb rgb) {
  for (int y = y0; y <= y1; ++y)
    if (image.pixel(x, y) == rgb) return true;
  return false;
}

}  // namespace

// A line and a series with marks among NaN and infinite values: the axes
// span the valid values only, the line breaks at each null point and goes
// on after it, and only valid points have marks.
TEST(ChartNullValues, GapsWithoutMarksOrPartInTheRanges) {
  EnsureQApplication();
  auto c = MakePlainChart(10, 10, 10, 10, 420, 300);
  auto* line = AddChartSeries<TFastLineSeries>(*c, clRed, "line");
  const double ys[] = {kNaN, 1, 3, kNaN, 5, kInf, 2, -kInf, 4};
  for (int i = 0; i < 9; ++i) line->AppendPoint(i, ys[i]);
  auto* marked = AddChartSeries<TCustomSeries>(*c, clBlue, "marked");
  marked->Pointer().SetVisible(true);
  marked->Marks().SetVisible(true);
  marked->Marks().SetColor(clYellow);
  const double ms[] = {2, kNaN, 3, -kInf, 4};
  for (int i = 0; i < 5; ++i) marked->AppendPoint(2 * i, ms[i]);
  // A line with pointers: runs of valid points joined, a gap at each null.
  auto* joined = AddChartSeries<TCustomSeries>(*c, clGreen, "joined");
  joined->Pointer().SetVisible(true);
  const double js[] = {1.5, 2, kNaN, 3, 3.5, kInf, 4, 4.5, 4};
  for (int i = 0; i < 9; ++i) joined->AppendPoint(i, js[i]);
  QImage image;
  c->AssignTo(image);
  SaveShot(image, "null_values_gaps");
  EXPECT_EQ(c->LeftAxis().Minimum(), 1);
  EXPECT_EQ(c->LeftAxis().Maximum(), 5);
  EXPECT_EQ(c->BottomAxis().Minimum(), 0);
  EXPECT_EQ(c->BottomAxis().Maximum(), 8);

  const TChartAxis& h = c->BottomAxis();
  const TChartAxis& v = c->LeftAxis();
  const QRgb red = qRgb(255, 0, 0);
  auto at = [&](double x) { return h.PixelOfValue(x); };
  // Drawn between valid neighbours ...
  EXPECT_TRUE(ColumnHas(image, at(1.5), v.PixelFrom, v.PixelTo, red));
  // ... and nowhere across a null point: each gap spans two columns of points.
  for (double x : {0.0, 2.5, 3.0, 3.5, 4.5, 5.0, 5.5, 6.5, 7.0, 7.5})
    EXPECT_FALSE(ColumnHas(image, at(x), v.PixelFrom, v.PixelTo, red)) << "x " << x;

  int yellowBoxes = 0, nullTexts = 0;
  for (const TDCRecord& r : c->BuildMetafile(c->PanelRectangle()).Records) {
    if (r.Op == TDCOp::Rectangle && r.Brush.Color == clYellow) ++yellowBoxes;
    if (r.Op == TDCOp::TextOut && (r.Text.find("NAN") != std::string::npos || r.Text.find("INF") != std::string::npos))
      ++nullTexts;
  }
  EXPECT_EQ(yellowBoxes, 3);
  EXPECT_EQ(nullTexts, 0);

  // A null point cannot be clicked where it would stand, nor the lines to it.
  const int middle = v.PixelMiddle;
  EXPECT_EQ(line->Clicked(at(3), middle), -1);
  EXPECT_EQ(line->Clicked(at(2.5), (middle + v.PixelOfValue(3)) / 2), -1);
  EXPECT_EQ(marked->Clicked(at(2), middle), -1);
  EXPECT_EQ(line->Clicked(at(1), v.PixelOfValue(1)), 1);
}

// A NaN as the first X value of a fast line: the other points keep their
// places along the bottom axis.
TEST(ChartNullValues, FirstPositionNotANumber) {
  EnsureQApplication();
  auto c = MakePlainChart(10, 10, 10, 10, 400, 300);
  auto* line = AddChartSeries<TFastLineSeries>(*c, clRed, "line");
  line->XValues().SetOrder(loNone);
  const double xs[] = {kNaN, 1, 2, 3}, ys[] = {9, 1, 3, 2};
  for (int i = 0; i < 4; ++i) line->AppendPoint(xs[i], ys[i]);
  QImage image;
  c->AssignTo(image);
  EXPECT_EQ(c->BottomAxis().Minimum(), 1);
  EXPECT_EQ(c->BottomAxis().Maximum(), 3);
  EXPECT_EQ(c->LeftAxis().Maximum(), 3) << "the NaN point's value takes no part";
  const TChartAxis& h = c->BottomAxis();
  const TChartAxis& v = c->LeftAxis();
  for (double x : {1.5, 2.5})
    EXPECT_TRUE(ColumnHas(image, h.PixelOfValue(x), v.PixelFrom, v.PixelTo, qRgb(255, 0, 0))) << "x " << x;
}

// Values near the ends of the double range: labels short enough to stay
// inside the chart, zero labelled as zero.
TEST(ChartNullValues, HugeValuesKeepTheirLabelsInside) {
  EnsureQApplication();
  auto c = MakePlainChart(10, 10, 10, 10, 400, 300);
  auto* line = AddChartSeries<TFastLineSeries>(*c, clRed, "line");
  line->AppendPoint(0, -1e300);
  line->AppendPoint(1, 1e300);
  line->AppendPoint(2, 0);
  QImage image;
  c->AssignTo(image);
  SaveShot(image, "huge_values");
  std::vector<std::string> left;
  for (const TDCRecord& r : c->BuildMetafile(c->PanelRectangle()).Records)
    if (r.Op == TDCOp::TextOut && r.Args[1] < c->BottomAxis().LabelRowPos - 5) {
      EXPECT_GE(r.Args[0], 0);
      EXPECT_LT(r.Args[0], c->LeftAxis().AxisLinePos) << r.Text;
      left.push_back(r.Text);
    }
  ASSERT_GE(left.size(), 3u);
  EXPECT_EQ(left.front(), "1E300");
  EXPECT_EQ(left.back(), "-1E300");
  EXPECT_NE(std::find(left.begin(), left.end(), "0"), left.end());
  // The plot keeps the room the labels leave: the line spans the whole height.
  EXPECT_NEAR(line->PointPixelY(1), c->LeftAxis().PixelFrom, 1);
  EXPECT_NEAR(line->PointPixelY(0), c->LeftAxis().PixelTo, 1);
}

// A stacked area with an infinite value: the value axis keeps the finite
// sums, the other points keep their heights, and the infinite point adds
// nothing to the stack above it.
TEST(ChartNullValues, StackedAreaSkipsNonFiniteValues) {
  EnsureQApplication();
  for (double bad : {kInf, -kInf, kNaN}) {
    SCOPED_TRACE(bad);
    auto c = MakePlainChart(10, 10, 10, 10, 400, 300);
    auto* low = AddChartSeries<TAreaSeries>(*c, clRed, "low");
    auto* high = AddChartSeries<TAreaSeries>(*c, clBlue, "high");
    auto* top = AddChartSeries<TAreaSeries>(*c, clGreen, "top");
    low->SetMultiArea(maStacked);
    const double lows[] = {1, 2, 3, 2}, highs[] = {1, bad, 1, 1}, tops[] = {1, 1, 1, 1};
    for (int i = 0; i < 4; ++i) {
      low->AppendPoint(i, lows[i]);
      high->AppendPoint(i, highs[i]);
      top->AppendPoint(i, tops[i]);
    }
    QImage image;
    c->AssignTo(image);
    const TChartAxis& v = c->LeftAxis();
    EXPECT_EQ(v.Maximum(), 5);
    EXPECT_EQ(v.Minimum(), 1);
    EXPECT_EQ(low->ValuePixelY(2), v.PixelOfValue(3));
    EXPECT_EQ(high->ValuePixelY(2), v.PixelOfValue(4));
    EXPECT_EQ(top->ValuePixelY(1), v.PixelOfValue(3)) << "the null point adds nothing under it";
    EXPECT_EQ(top->OriginPixel(1), v.PixelOfValue(2));
    EXPECT_EQ(top->ValuePixelY(2), v.PixelOfValue(5));
  }
}

// Legend rows of null points show their label without a number, and the
// percent styles count only the valid values.
TEST(ChartNullValues, LegendRowsOfNullPoints) {
  EnsureQApplication();
  auto c = MakePlainChart(10, 10, 10, 10, 500, 300);
  auto* s = AddChartSeries<TFastLineSeries>(*c, clRed, "s");
  const double ys[] = {2, kNaN, 6, kInf};
  const char* labels[] = {"a", "b", "c", "d"};
  for (int i = 0; i < 4; ++i) s->AppendPoint(i, ys[i], labels[i]);
  s->AppendPoint(4, 9, "e", clNone);  // a null point by its colour, for comparison
  const std::string sep(1, kLegendColumnSeparator);
  struct Case {
    TLegendTextStyle style;
    std::vector<std::string> rows;
  } cases[] = {
      {ltsRightValue, {"a" + sep + "2", "b" + sep, "c" + sep + "6", "d" + sep, "e" + sep}},
      {ltsRightPercent, {"a" + sep + "25 %", "b" + sep, "c" + sep + "75 %", "d" + sep, "e" + sep}},
      {ltsPercent, {"25 %", "", "75 %", "", ""}},
      {ltsXAndValue, {"0" + sep + "2", "1" + sep, "2" + sep + "6", "3" + sep, "4" + sep}},
  };
  for (const Case& k : cases)
    for (int i = 0; i < 5; ++i) EXPECT_EQ(s->LegendTextAt(i, k.style), k.rows[size_t(i)]) << int(k.style) << " row " << i;

  // Drawn: the rows are there, and no "NAN" or "INF" among them.
  c->Legend().SetVisible(true);
  c->Legend().LegendStyle = lsValues;
  c->Legend().TextStyle = ltsRightPercent;
  std::vector<std::string> texts;
  for (const TDCRecord& r : c->BuildMetafile(c->PanelRectangle()).Records)
    if (r.Op == TDCOp::TextOut) texts.push_back(r.Text);
  for (const char* want : {"a", "b", "c", "d", "25 %", "75 %"})
    EXPECT_NE(std::find(texts.begin(), texts.end(), want), texts.end()) << want;
  for (const std::string& t : texts) {
    EXPECT_EQ(t.find("NAN"), std::string::npos) << t;
    EXPECT_EQ(t.find("INF"), std::string::npos) << t;
  }
}

// A vertical cursor that snaps to a series, moved with the mouse, goes to
// the nearest point that is not null.
TEST(ChartNullValues, CursorSnapsPastNullPoints) {
  EnsureQApplication();
  auto c = MakePlainChart(10, 10, 10, 10, 400, 300);
  auto* s = AddChartSeries<TFastLineSeries>(*c, clRed, "s");
  const double ys[] = {1, 4, kNaN, kInf, 2, 3};
  for (int i = 0; i < 6; ++i) s->AppendPoint(i, ys[i]);
  s->AppendPoint(6, 5, {}, clNone);
  auto cursor = MakeCursorTool(*c, cssVertical, clBlue, s);
  cursor->FollowMouse = true;
  QImage image;
  c->AssignTo(image);
  const TChartAxis& h = c->BottomAxis();
  struct Case {
    double x;
    int snapped;
  } cases[] = {{2.2, 1}, {2.8, 4}, {3.1, 4}, {6, 5}, {0.9, 1}};
  for (const Case& k : cases) {
    c->MouseMove({}, h.PixelOfValue(k.x), c->LeftAxis().PixelMiddle);
    EXPECT_EQ(cursor->PreviousSnapPoint(), k.snapped) << "x " << k.x;
    EXPECT_EQ(cursor->XValue(), k.snapped) << "x " << k.x;
    EXPECT_EQ(cursor->CursorPixelX(), h.PixelOfValue(k.snapped)) << "x " << k.x;
  }
}
