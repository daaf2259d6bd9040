// Chart utility routines and the chart message tables.
#include <gtest/gtest.h>

#include <limits>

#include "chart/ChartConst.h"
#include "chart/ChartProCo.h"
#include "chart/ChartProcs.h"
#include "platform/RecordingDC.h"

using dt::EncodeDate;

TEST(ChartProcs, PaletteWrapsBothWaysAndCanBeReplaced) {
  EXPECT_EQ(kDefaultPalette[0], clRed);
  EXPECT_EQ(kDefaultPalette[19], 0xA4A0A0u);
  EXPECT_EQ(PaletteColorAt(20), 0x0000FFu);
  EXPECT_EQ(PaletteColorAt(35), 0x000000u);
  EXPECT_EQ(PaletteColorAt(-1), 0xA4A0A0u);  // not outside the table
  ReplacePalette({clLime, clBlue});
  EXPECT_EQ(PaletteColorAt(3), clBlue);
  ReplacePalette({});
  EXPECT_EQ(PaletteColorAt(1), clGreen);
}

TEST(ChartProcs, DateSteps) {
  const auto& S = DateTimeStep;
  EXPECT_EQ(FollowingDateStep(S[dtTenSeconds]), S[dtFifteenSeconds]);
  EXPECT_EQ(FollowingDateStep(S[dtSixMonths]), S[dtOneYear]);
  EXPECT_EQ(FollowingDateStep(1000.0), S[dtOneYear]);
  EXPECT_EQ(FollowingDateStep(S[dtOneMicroSecond] / 2), S[dtOneYear]);
  EXPECT_EQ(NearestDateStep(1.0 / 24), dtOneHour);
  EXPECT_EQ(NearestDateStep(0.3), dtNone);
  EXPECT_EQ(DateStepWording(1), "day");
  EXPECT_EQ(DateStepWording(1.5), "days");
}

TEST(ChartProcs, TruncateDateToStep) {
  const TDateTime march17 = EncodeDate(2005, 3, 17) + 14.0 / 24;
  struct Case {
    TDateTimeStep step;
    TDateTime date, want;
  } cases[] = {
      {dtOneMonth, march17, EncodeDate(2005, 3, 1)},
      {dtHalfMonth, EncodeDate(2005, 3, 20) + 0.5, EncodeDate(2005, 3, 15)},
      {dtHalfMonth, EncodeDate(2005, 3, 14), EncodeDate(2005, 3, 1)},
      {dtOneYear, march17, EncodeDate(2005, 1, 1)},
      {dtOneHour, march17, EncodeDate(2005, 3, 17)},
      {dtOneMonth, EncodeDate(1899, 5, 17) + 0.25, EncodeDate(1899, 5, 17) + 0.25},
  };
  for (const Case& c : cases) EXPECT_EQ(TruncateDateToStep(c.step, c.date), c.want) << c.step;
}

TEST(ChartProcs, StepDateTimeMovesByCalendar) {
  struct Case {
    bool increment;
    TDateTimeStep step;
    TDateTime from, want;
  } cases[] = {
      {true, dtHalfMonth, EncodeDate(2005, 3, 1), EncodeDate(2005, 3, 15)},  // forward, not back
      {true, dtHalfMonth, EncodeDate(2005, 3, 10), EncodeDate(2005, 3, 15)},
      {true, dtHalfMonth, EncodeDate(2005, 3, 15), EncodeDate(2005, 4, 1)},
      {true, dtHalfMonth, EncodeDate(2005, 12, 20), EncodeDate(2006, 1, 1)},
      {false, dtHalfMonth, EncodeDate(2005, 3, 20), EncodeDate(2005, 3, 15)},
      {false, dtHalfMonth, EncodeDate(2005, 3, 15), EncodeDate(2005, 3, 1)},
      {false, dtHalfMonth, EncodeDate(2005, 1, 1), EncodeDate(2004, 12, 15)},
      {true, dtOneMonth, EncodeDate(2005, 3, 31) + 0.5, EncodeDate(2005, 4, 30)},  // not 31 April
      {true, dtSixMonths, EncodeDate(2005, 8, 31), EncodeDate(2006, 2, 28)},
      {false, dtThreeMonths, EncodeDate(2005, 1, 31), EncodeDate(2004, 10, 31)},
      {true, dtOneYear, EncodeDate(2004, 2, 29), EncodeDate(2005, 2, 28)},
  };
  for (const Case& c : cases) {
    TDateTime d = c.from;
    StepDateTime(true, c.increment, d, c.step, DateTimeStep[c.step]);
    EXPECT_EQ(d, c.want) << dt::ToIsoText(c.from) << " step " << c.step;
  }
  TDateTime plain = 10;
  StepDateTime(false, false, plain, dtOneMonth, 30);
  EXPECT_EQ(plain, -20);
  int y = 2005, m = 1, d = 15;
  MonthsBack(3, y, m, d);
  EXPECT_EQ(y * 100 + m, 200410);
}

TEST(ChartProcs, HitTestsAreExactAtExtremeCoordinates) {
  constexpr int big = std::numeric_limits<int>::max() / 2;
  struct Case {
    TPoint p, a, b;
    int tolerance;
    bool near;
  } cases[] = {
      {{5, 5}, {0, 0}, {10, 10}, 0, true},
      {{5, 7}, {0, 0}, {10, 10}, 0, false},
      {{12, 12}, {0, 0}, {10, 10}, 0, false},
      {{12, 12}, {0, 0}, {10, 10}, 2, true},
      {{3, 3}, {3, 3}, {3, 3}, 5, false},  // a degenerate segment holds no point
      {{0, 0}, {-big, -big}, {big, big}, 0, true},
      {{0, 3}, {-big, -big}, {big, big}, 0, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PointNearLine(c.p, c.a, c.b, c.tolerance), c.near) << c.p.X << "," << c.p.Y;

  const TPoint square[] = {{-big, -big}, {big, -big}, {big, big}, {-big, big}};
  EXPECT_TRUE(PointInsidePolygon({0, 0}, square, 3));
  EXPECT_TRUE(PointInsidePolygon({big - 1, 0}, square, 3));
  EXPECT_FALSE(PointInsidePolygon({big + 1, 0}, square, 3));
  const TPoint tri[] = {{0, 0}, {10, 0}, {0, 10}};
  EXPECT_TRUE(PointInsidePolygon({2, 2}, tri, 2));
  EXPECT_FALSE(PointInsidePolygon({6, 6}, tri, 2));
}

TEST(ChartProcs, SortIndexRangeSortsThroughTheCallbacks) {
  std::vector<int> v = {5, 3, 9, 1, 5, 7, 2, 8, 0, 6, 4, 5};
  SortIndexRange(0, int(v.size()) - 1, [&](int a, int b) { return v[a] - v[b]; },
                 [&](int a, int b) { std::swap(v[a], v[b]); });
  EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));
  int calls = 0;
  SortIndexRange(0, -1, [&](int, int) { return ++calls; }, [&](int, int) { ++calls; });
  EXPECT_EQ(calls, 0);
}

TEST(ChartProcs, FieldsAndCharacters) {
  struct Case {
    const char* text;
    int n;
    const char* want;
  } cases[] = {{"a;b;c", 2, "b"}, {"a;b", 5, "b"}, {"", 1, ""}, {"a;b", 0, ""}, {"a;;c", 3, "c"}, {"abc", 1, "abc"}};
  for (const Case& c : cases) EXPECT_EQ(NthField(c.text, c.n), c.want) << c.text << " " << c.n;
  EXPECT_EQ(NthField("x||y", 2, "||"), "y");
  EXPECT_EQ(ReplaceEveryChar("a\rb\rc", '\r', ' '), "a b c");
  EXPECT_EQ(ReplaceEveryChar("a\rb\r", '\r', '\0'), "ab");
}

TEST(ChartProcs, CheckBoxAndCursor) {
  TRecordingDC box, radio;
  const TDCPen pen = box.Pen();
  PaintCheckBox(4, 6, box, true, true);
  PaintCheckBox(4, 6, radio, false, false);
  EXPECT_EQ(box.Of(TDCOp::FillRect)[0]->Args, (std::vector<int>{6, 8, 15, 17}));
  EXPECT_EQ(box.Count(TDCOp::Polyline), 3);  // the tick
  EXPECT_EQ(radio.Count(TDCOp::Ellipse), 1);
  EXPECT_EQ(box.Pen(), pen);  // attributes given back
  EXPECT_EQ(ChartCursor(crChartHand), Qt::PointingHandCursor);
}

TEST(ChartMessages, TablesHoldEveryRowAndStartCounted) {
  using namespace ChartConst;
  EXPECT_EQ(cmRows, 273);
  EXPECT_EQ(ChartProCo::pmRows, 217);
  EXPECT_EQ(Msg(cmTest), "Test...");
  EXPECT_EQ(Msg(cmExponentFormat), "#.0 \"x10\" E+0");
  EXPECT_EQ(Msg(cmPercentOfMultiLine), "%s\rof %s");
  EXPECT_EQ(Msg(cmInvalidChartInQvzFile), "Invalid Chart in *.qvz file");
  EXPECT_EQ(Msg(cmOrvandelFilesQvzQvz), "Orvandel files (*.qvz)|*.qvz");
  EXPECT_EQ(Msg(cmOutline), "Outline");  // the last row
  EXPECT_EQ(ChartProCo::Msg(ChartProCo::pmRotationPctdElevationPctd), "Rotation: %d\xB0 Elevation: %d\xB0");
  EXPECT_EQ(ChartProCo::Msg(ChartProCo::pmSeriesBand), "Series Band");
  int empty = 0;
  for (const std::string& s : Messages) empty += s.empty();
  EXPECT_EQ(empty, 0);

  // Started once with the program: a second start assigns nothing, the last end empties.
  Messages[cmTest] = "changed";
  Initialize();
  EXPECT_EQ(Msg(cmTest), "changed");
  Finalize();
  EXPECT_EQ(Msg(cmTest), "changed");
  Finalize();
  EXPECT_EQ(Msg(cmTest), "");
  EXPECT_EQ(Msg(cmAxisTitle), "");
  Initialize();
  EXPECT_EQ(Msg(cmTest), "Test...");
}
