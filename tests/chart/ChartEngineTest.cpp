// Value lists, axes and marks: label steps and texts, layout and drawing
// through the recording backend, with fixed text metrics (7 px a character,
// 10 px a line).
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "chart/ChartConst.h"
#include "chart/ChartEngine.h"
#include "platform/ExLibVCL.h"
#include "platform/DateTime.h"
#include "platform/RecordingDC.h"
#include "support/QtApp.h"

namespace {

struct FixedMeasure final : ITextMeasure {
  int TextWidth(const TChartFont&, std::string_view text) override { return 7 * int(text.size()); }
  int FontHeight(const TChartFont&) override { return 10; }
};

// A chart of one plot rectangle drawing onto a recording surface.
struct Host final : IAxisHost, IMarksHost {
  TRecordingDC dc{{1200, 600}};
  TChartCanvas3D canvas{&dc};
  TView3DOptions view;
  FixedMeasure measure;
  TRect plot{0, 0, 810, 400};
  TAxisLabelStyle style = talValue;
  std::string label;  // the marks' point label
  std::vector<TAxisSeriesLabel> seriesLabels;
  std::function<bool(int, double&, bool&)> next;  // the chart's next-label event, when set

  Host() {
    canvas.SetOffscreenBuffering(false);
    canvas.OpenFrame(&dc, &view, clWhite, false, {0, 0, 1200, 600});
  }
  TCanvas3D& AxisCanvas() override { return canvas; }
  ITextMeasure& AxisMeasure() override { return measure; }
  TRect PlotRect() const override { return plot; }
  int Depth3D() const override { return 0; }
  int WallSize(const TChartAxis&) const override { return 0; }
  bool Loading() const override { return false; }
  void AxisChanged(TChartAxis&) override {}
  bool SeriesRange(const TChartAxis&, double& lo, double& hi) override { return lo = 0, hi = 100, true; }
  TAxisLabelStyle AutoLabelStyle(const TChartAxis&) override { return style; }
  bool FewPointsAlong(const TChartAxis&, int) override { return false; }
  std::vector<TAxisSeriesLabel> SeriesLabels(const TChartAxis&, bool) override { return seriesLabels; }
  std::vector<TChartAxis*> FollowerAxes(const TChartAxis&) override { return {}; }
  void GetAxisLabel(const TChartAxis&, std::string&) override {}
  bool GetNextAxisLabel(const TChartAxis&, int i, double& v, bool& stop) override { return next && next(i, v, stop); }

  TChartCanvas3D* MarksCanvas() override { return &canvas; }
  ITextMeasure& MarksMeasure() override { return measure; }
  void MarksChanged() override {}
  std::string MarkValueText(int) override { return "55"; }
  std::string MarkPercentText(int) override { return "10 %"; }
  std::string MarkTotalText() override { return "550"; }
  std::string MarkLabel(int) override { return label; }
  std::string MarkLegendText(int) override { return "a\x06" "b"; }
  std::string MarkXValueText(int) override { return "88"; }

  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const TDCRecord* r : dc.Of(TDCOp::TextOut)) out.push_back(r->Text);
    return out;
  }
  // Lines from MoveTo/LineTo pairs as {x0, y0, x1, y1}.
  std::vector<std::vector<int>> Lines() const {
    std::vector<std::vector<int>> out;
    std::vector<int> from;
    for (const TDCRecord& r : dc.List) {
      if (r.Op == TDCOp::MoveTo) from = r.Args;
      if (r.Op == TDCOp::LineTo) out.push_back({from[0], from[1], r.Args[0], r.Args[1]});
    }
    return out;
  }
};

// A bottom axis over the plot, laid out and drawn.
void Draw(Host& h, TChartAxis& axis, double lo, double hi) {
  axis.FixRange(lo, hi);
  axis.ScaleFromSeries();
  axis.AdjustPositions();
  TRect r = h.plot;
  axis.TakeAxisSpace(r, false);
  h.dc.List.clear();
  axis.Draw(true);
}

}  // namespace

TEST(ChartValueList, OrderedInsertLocateAndStatistics) {
  TChartValueList list(nullptr, "Y");
  list.SetOrder(loAscending);
  std::vector<int> at;
  for (double v : {3.0, 1.0, 2.0, 2.0}) at.push_back(list.PlaceValue(v));
  EXPECT_EQ(at, (std::vector<int>{0, 0, 1, 2}));
  EXPECT_EQ((std::vector<double>{list[0], list[1], list[2], list[3]}), (std::vector<double>{1, 2, 2, 3}));
  EXPECT_EQ(list.Locate(2), 1);
  EXPECT_EQ(list.Locate(7), -1);
  EXPECT_EQ(list.Locate(2, 3, 2), -1);
  EXPECT_EQ(list.Capacity(), 1000);

  TChartValueList down(nullptr, "X");
  down.SetOrder(loDescending);
  for (double v : {1.0, 3.0, 2.0}) down.PlaceValue(v);
  EXPECT_EQ((std::vector<double>{down[0], down[1], down[2]}), (std::vector<double>{3, 2, 1}));

  TChartValueList stats(nullptr, "Y");
  EXPECT_EQ(stats.HighestValue(), 0);
  EXPECT_EQ(stats.Locate(0), -1);
  const double values[] = {2, -5, 3};
  stats.ReplaceValues(values, 3);
  EXPECT_TRUE(stats.StatsStale());
  EXPECT_EQ(stats.HighestValue(), 3);
  EXPECT_EQ(stats.LowestValue(), -5);
  EXPECT_EQ(stats.ValueSpan(), 8);
  EXPECT_EQ(stats.MagnitudeSum(), 10);
  stats.PlaceValue(-9);  // a change makes the statistics stale again
  EXPECT_EQ(stats.LowestValue(), -9);
  EXPECT_THROW(TChartValueList::ReadMultiplier(2), std::runtime_error);
  EXPECT_NO_THROW(TChartValueList::ReadMultiplier(1));
}

TEST(ChartValueList, OwnerHearsOfChangesAndMovesWholePoints) {
  struct Owner final : IValueListOwner {
    std::vector<TChartValueList*> lists;
    std::vector<int> modified;
    void AddValueList(TChartValueList& l) override { lists.push_back(&l); }
    void ValueModified(int i) override { modified.push_back(i); }
    void SwapPoints(int a, int b) override {
      for (TChartValueList* l : lists) {
        const double v = l->GetValue(a);
        l->SetValue(a, l->GetValue(b));
        l->SetValue(b, v);
      }
    }
    void ValueListChanged(TChartValueList&) override {}
  } owner;
  TChartValueList x(&owner, "X"), y(&owner, "Y");
  for (double v : {3.0, 1.0, 2.0}) x.InsertAt(x.Count(), v), y.InsertAt(y.Count(), v * 10);
  x.SetOrder(loAscending);
  x.Sort();
  EXPECT_EQ((std::vector<double>{x[0], x[1], x[2], y[0], y[1], y[2]}), (std::vector<double>{1, 2, 3, 10, 20, 30}));
  x.Exchange(0, 2);
  y.NumberSequentially();
  EXPECT_EQ(owner.modified, (std::vector<int>{0, 0}));
  EXPECT_EQ(y[2], 2);
}

TEST(ChartAxis, FollowingRoundStepTable) {
  const std::pair<double, double> table[] = {{0.3, 0.5}, {1, 2}, {4.9, 5}, {7, 10}, {12, 20}, {99, 100}, {2, 5}, {5, 10}};
  for (auto [x, step] : table) EXPECT_DOUBLE_EQ(FollowingRoundStep(x), step) << x;
  // No nice step exists for these: they come back unchanged instead of looping.
  EXPECT_EQ(FollowingRoundStep(0), 0);
  EXPECT_EQ(FollowingRoundStep(-3), -3);
  EXPECT_TRUE(std::isinf(FollowingRoundStep(INFINITY)));
  EXPECT_TRUE(std::isnan(FollowingRoundStep(NAN)));
  EXPECT_GT(FollowingRoundStep(1e-310), 0);
}

TEST(ChartAxis, FixRangeAndRefusedSetters) {
  Host h;
  TChartAxis axis(&h, true, false);
  axis.FixRange(108, 87);
  EXPECT_EQ(axis.Minimum(), 87);
  EXPECT_EQ(axis.Maximum(), 108);
  EXPECT_FALSE(axis.Automatic() || axis.AutomaticMinimum() || axis.AutomaticMaximum());
  axis.FixRange(5, 5);
  EXPECT_EQ(axis.Minimum(), 5);
  EXPECT_EQ(axis.Maximum(), 5 + 1e-10);
  axis.FixRange(0, 10);

  using ChartConst::Msg;
  struct Case {
    std::function<void()> set;
    ChartConst::TChartMsg msg;
  } cases[] = {
      {[&] { axis.SetMinimum(11); }, ChartConst::cmAxisMinimumValueMustBeMaximum},
      {[&] { axis.SetMaximum(-1); }, ChartConst::cmAxisMaximumValueMustBeMinimum},
      {[&] { axis.SetIncrement(-1); }, ChartConst::cmAxisIncrementMustBe0},
      {[&] { axis.SetLabelsSeparation(-1); }, ChartConst::cmLabelsSeparationPctMustBeGreaterThan},
      {[&] { axis.SetLogarithmicBase(1); }, ChartConst::cmAxisLogarithmicBaseShouldBe1And},
      {[&] { axis.SetLogarithmicBase(0); }, ChartConst::cmAxisLogarithmicBaseShouldBe1And},
  };
  for (const Case& c : cases) {
    try {
      c.set();
      ADD_FAILURE() << Msg(c.msg);
    } catch (const AxisException& e) {
      EXPECT_EQ(e.what(), Msg(c.msg));
    }
  }
  EXPECT_EQ(axis.Minimum(), 0);
  EXPECT_EQ(axis.Maximum(), 10);
  EXPECT_EQ(axis.Increment(), 0);
  EXPECT_EQ(axis.LabelsSeparation(), 10);
  EXPECT_EQ(axis.LogarithmicBase(), 10);
  axis.DateTimeAxis = true;
  EXPECT_THROW(axis.SetLogarithmic(true), AxisException);
  EXPECT_FALSE(axis.Logarithmic());

  // A negative scroll larger than the span moves both ends without a refusal.
  axis.DateTimeAxis = false;
  axis.Scroll(-25, false);
  EXPECT_EQ(axis.Minimum(), -25);
  EXPECT_EQ(axis.Maximum(), -15);
  axis.Scroll(40, false);
  EXPECT_EQ(axis.Minimum(), 15);
}

TEST(ChartAxis, PixelMappingBothWays) {
  struct Case {
    bool horizontal, inverted, log;
    double value;
    int pixel;
  } cases[] = {
      {true, false, false, 25, 150}, {true, true, false, 25, 250}, {false, false, false, 25, 250},
      {false, true, false, 25, 150}, {true, false, true, 10, 200}, {false, false, true, 10, 200},
  };
  for (const Case& c : cases) {
    Host h;
    h.plot = {100, 100, 300, 300};
    TChartAxis axis(&h, c.horizontal, false);
    axis.SetInverted(c.inverted);
    axis.FixRange(c.log ? 1 : 0, 100);
    axis.SetLogarithmic(c.log);
    axis.ScaleFromSeries();
    axis.AdjustPositions();
    EXPECT_EQ(axis.PixelOfValue(c.value), c.pixel) << c.horizontal << c.inverted << c.log;
    EXPECT_NEAR(axis.ValueAtPixel(c.pixel), c.value, 1e-9);
    if (c.log) {
      EXPECT_EQ(axis.PixelOfValue(-1), c.horizontal ? 100 : 300);
    }
  }
  // Margins of 20 px at both ends widen the range by an eighth on each side.
  Host h;
  h.plot = {100, 100, 300, 300};
  TChartAxis axis(&h, true, false);
  axis.FixRange(0, 100);
  axis.ScaleFromSeries();
  axis.AdjustPositions();
  axis.WidenForMargins({20, 0, 20, 0});
  EXPECT_DOUBLE_EQ(axis.RangeLow, -12.5);
  EXPECT_DOUBLE_EQ(axis.RangeHigh, 112.5);
}

TEST(ChartAxis, AutomaticFlagsAndScrollingInBounds) {
  Host h;  // its series span 0..100
  TChartAxis axis(&h, true, false);
  axis.SetAutomaticMaximum(false);
  EXPECT_FALSE(axis.Automatic());
  axis.SetAutomaticMinimum(false);
  axis.SetAutomaticMaximum(true);
  EXPECT_FALSE(axis.Automatic());
  axis.SetAutomaticMinimum(true);
  EXPECT_TRUE(axis.Automatic());
  struct Case {
    double lo, hi, offset, newLo;
  } cases[] = {{0, 50, 10, 10}, {50, 100, 10, 50}, {50, 100, -10, 40}, {0, 50, -10, 0}, {20, 50, 0, 20}};
  for (const Case& c : cases) {
    axis.FixRange(c.lo, c.hi);
    axis.Scroll(c.offset, true);
    EXPECT_EQ(axis.Minimum(), c.newLo) << c.lo << " " << c.offset;
  }
}

TEST(ChartAxis, LabelsFromTheChartAndSeries) {
  Host h;
  TChartAxis axis(&h, true, false);
  h.next = [](int i, double& v, bool&) { return v = 90 + 5 * i, true; };  // 90, 95, 100, 105 (outside)
  Draw(h, axis, 87, 101);
  EXPECT_EQ(h.Texts(), (std::vector<std::string>{"90", "95", "100"}));
  h.next = [](int, double&, bool& stop) { return stop = true, true; };  // stopped at once: regular labels
  Draw(h, axis, 87, 108);
  EXPECT_EQ(h.Texts().front(), "108");
  h.next = nullptr;
  h.style = talMark;
  h.seriesLabels = {{88, "A"}, {200, "B"}};
  Draw(h, axis, 87, 108);
  EXPECT_EQ(h.Texts(), (std::vector<std::string>{"A"}));

  // A vertical axis right-aligns left of its line, multi-line texts moved up by half.
  TChartAxis left(&h, false, false);
  left.AddItem(50, "x\ry");
  Draw(h, left, 0, 100);
  const auto outs = h.dc.Of(TDCOp::TextOut);
  ASSERT_EQ(outs.size(), 2u);
  EXPECT_EQ(outs[0]->Args, (std::vector<int>{left.LabelRowPos, left.PixelOfValue(50) - 10}));
  EXPECT_EQ(outs[1]->Args[1], left.PixelOfValue(50));
  EXPECT_EQ(h.dc.TextAlign() & TA_CENTER, TA_RIGHT);
}

TEST(ChartAxis, LabelStepAndValueLabels) {
  struct Case {
    double lo, hi;
    std::string format;
    int pixels;  // plot width, so the label size allows the wanted count
    double step;
    std::vector<std::string> first;
    size_t count;
  } cases[] = {
      // "108 MHz" is 49 px, 54 with the 10 % gap: 810 px hold 15 labels.
      {87, 108, "#,##0.### MHz", 810, 2, {"108 MHz", "106 MHz"}, 11},
      // "130" and "-0.5" are 28 px, 31 with the gap: 744 px hold 24.
      {-0.5, 130, "#,##0.###", 744, 10, {"130", "120"}, 14},
  };
  for (const Case& c : cases) {
    Host h;
    h.plot = {0, 0, c.pixels, 400};
    TChartAxis axis(&h, true, false);
    axis.SetAxisValuesFormat(c.format);
    Draw(h, axis, c.lo, c.hi);
    EXPECT_DOUBLE_EQ(axis.ComputeLabelStep(), c.step);
    const std::vector<std::string> texts = h.Texts();
    ASSERT_EQ(texts.size(), c.count) << c.format;
    EXPECT_EQ(texts[0], c.first[0]);
    EXPECT_EQ(texts[1], c.first[1]);
    EXPECT_EQ(axis.Ticks_.size(), c.count);
  }
  Host h;
  TChartAxis axis(&h, true, false);
  axis.FixRange(1, 1000);
  axis.SetLogarithmic(true);
  Draw(h, axis, 1, 1000);
  EXPECT_EQ(h.Texts(), (std::vector<std::string>{"1", "10", "100", "1,000"}));
  axis.SetLogarithmic(false);
  axis.SetAxisValuesFormat("#,##0.### MHz");
  axis.SetLabelsMultiLine(true);
  EXPECT_EQ(axis.LabelTextOf(87), "87\rMHz");
}

TEST(ChartAxis, DateTimeAxisOfOneMinute) {
  for (bool wholeEnds : {false, true}) {
    Host h;
    h.plot = {0, 0, 742, 400};  // "hh:nn:ss" is 56 px, 62 with the gap: room for 12 (Round(742 / 62))
    TChartAxis axis(&h, true, false);
    axis.DateTimeAxis = true;
    axis.SetDateTimeFormat("hh:nn:ss");
    axis.SetIncrement(dt::EncodeTime(0, 0, 0, 1));
    const double end = dt::EncodeDate(2026, 12, 6) + dt::EncodeTime(10, 0, wholeEnds ? 0 : 2, wholeEnds ? 0 : 500);
    Draw(h, axis, end - dt::EncodeTime(0, 1, 0, 0), end);
    EXPECT_NEAR(axis.StepForCount(14) * 86400, 5, 1e-6);
    const std::vector<std::string> texts = h.Texts();
    ASSERT_EQ(texts.size(), wholeEnds ? 13u : 12u);
    EXPECT_EQ(texts.front(), "10:00:00");
    EXPECT_EQ(texts.back(), wholeEnds ? "09:59:00" : "09:59:05");
    EXPECT_EQ(axis.LabelTextOf(-1), "");
  }
}

TEST(ChartAxis, TicksGridAndMinorTicks) {
  // Custom labels at 100 and 140 px on an axis 0..200 px long.
  Host h;
  h.plot = {0, 0, 200, 100};
  TChartAxis axis(&h, true, false);
  axis.AddItem(100);
  axis.AddItem(140);
  axis.Grid().SetVisible(false);
  Draw(h, axis, 0, 200);
  std::vector<int> minor;
  for (const auto& l : h.Lines())
    if (l[0] == l[2] && l[3] - l[1] == axis.MinorTickLength()) minor.push_back(l[0]);
  std::sort(minor.begin(), minor.end());
  EXPECT_EQ(minor, (std::vector<int>{70, 80, 90, 110, 120, 130, 150, 160, 170}));
  axis.SetMinorTickCount(0);
  Draw(h, axis, 0, 200);
  for (const auto& l : h.Lines()) EXPECT_NE(l[3] - l[1], axis.MinorTickLength());

  // The grid: one line per inner tick, or halfway lines after the first.
  axis.ClearItems();
  axis.Grid().SetVisible(true);
  for (int v : {40, 80, 120}) axis.AddItem(v);
  for (bool centered : {false, true}) {
    axis.SetGridCentered(centered);
    Draw(h, axis, 0, 200);
    std::vector<int> grid;
    for (const auto& l : h.Lines())
      if (l[1] == h.plot.Top && l[3] == h.plot.Bottom) grid.push_back(l[0]);
    EXPECT_EQ(grid, centered ? (std::vector<int>{60, 100}) : (std::vector<int>{40, 80, 120}));
  }
}

TEST(ChartAxis, TicksFollowLabelsAndSpaceTaken) {
  Host h;
  TChartAxis axis(&h, true, false);
  axis.SetAxisValuesFormat("#,##0.### MHz");
  // 108 lies on the axis' end: off the axis only strictly inside counts.
  struct Case {
    bool onLabelsOnly, labels, onAxis;
    size_t ticks;
  } cases[] = {{true, false, true, 0}, {false, false, true, 11}, {true, true, false, 10}, {true, true, true, 11}};
  for (const Case& c : cases) {
    axis.SetTickOnLabelsOnly(c.onLabelsOnly);
    axis.SetLabels(c.labels);
    axis.SetLabelsOnAxis(c.onAxis);
    Draw(h, axis, 87, 108);
    EXPECT_EQ(axis.Ticks_.size(), c.ticks);
    EXPECT_EQ(h.Texts().empty(), !c.labels);
  }
  // A handler that suppresses a label keeps its tick.
  axis.OnDrawLabel = [](TChartAxis&, int&, int&, int&, std::string&, bool& draw) { draw = false; };
  Draw(h, axis, 87, 108);
  EXPECT_EQ(axis.Ticks_.size(), 11u);
  EXPECT_TRUE(h.Texts().empty());
  EXPECT_TRUE(axis.HitTest(400, h.plot.Bottom + 2));
  EXPECT_FALSE(axis.HitTest(400, h.plot.Bottom - 10));

  // Space across a bottom axis: axis line 2 + 1, ticks 4, labels, title.
  axis.SetLabelsSize(40);
  for (bool alternate : {false, true}) {
    axis.SetLabelsAlternate(alternate);
    TRect r = h.plot;
    axis.TakeAxisSpace(r, true);
    EXPECT_EQ(h.plot.Bottom - r.Bottom, (alternate ? 80 : 40) + 7);
    EXPECT_EQ(axis.LabelRowPos, h.plot.Bottom - (alternate ? 80 : 40));
  }
  axis.SetLabelsSize(0);
  axis.SetLabelsAlternate(false);
  axis.Title().SetCaption("Frequency");
  TRect r = h.plot;
  axis.TakeAxisSpace(r, true);
  EXPECT_EQ(h.plot.Bottom - r.Bottom, 10 + 10 + 7);  // title and labels one line each
}

TEST(ChartAxis, ExtremeRangesDrawWithoutHanging) {
  const std::pair<double, double> ranges[] = {
      {0, 1e-300}, {-1e300, 1e300}, {5, 5}, {-DBL_MAX, DBL_MAX}, {1e-320, 2e-320}, {0, 1e15}};
  for (auto [lo, hi] : ranges) {
    Host h;
    TChartAxis axis(&h, false, false);
    Draw(h, axis, lo, hi);
    EXPECT_LE(axis.Ticks_.size(), size_t(kMaxAxisLabels)) << lo << " " << hi;
  }
  Host h;
  TChartAxis axis(&h, true, false);
  axis.FixRange(5, 5);
  axis.ScaleFromSeries();
  axis.RangeLow = axis.RangeHigh = 5;
  axis.AdjustPositions();
  EXPECT_EQ(axis.PixelOfValue(1e9), axis.PixelMiddle);
}

TEST(ChartAxis, ExponentLabelsDrawnInTwoPieces) {
  Host h;
  TChartAxis axis(&h, false, false);
  axis.SetLabelsExponent(true);
  axis.AddItem(50, "1.5 x10 E+3");
  Draw(h, axis, 0, 100);
  EXPECT_EQ(h.Texts(), (std::vector<std::string>{"+3", "1.5 x10 "}));  // right-aligned: exponent first
  const auto outs = h.dc.Of(TDCOp::TextOut);
  EXPECT_LT(outs[0]->Args[1], outs[1]->Args[1]);  // raised
}

TEST(ChartFormat, NumbersAndDateTimes) {
  EXPECT_EQ(FormatFloat("#,##0.### MHz", 87.5), "87.5 MHz");
  EXPECT_EQ(FormatFloat("#,##0.### MHz", 1234.56789), "1,234.568 MHz");
  const double t = dt::EncodeDate(2026, 12, 6) + dt::EncodeTime(23, 59, 59, 999);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", t), "2026-12-06 23:59:59.999");
  // 0.6 ms later rounds to the next millisecond, which is the next day.
  EXPECT_EQ(FormatDateTime("d/m/yy hh:mm:ss.zzz", t + 0.6 / dt::kMsPerDay), "7/12/26 00:00:00.000");
  EXPECT_EQ(FormatDateTime("'at' h:n \"o'clock\"", dt::EncodeTime(9, 5, 0, 0)), "at 9:5 o'clock");
}

TEST(SeriesMarks, ItemsTextsAndSizes) {
  Host h;
  TSeriesMarks marks(&h);
  marks.Item(5).SetVisible(false);
  EXPECT_EQ(marks.ItemCount(), 6);
  EXPECT_FALSE(marks.HasItem(2));
  EXPECT_EQ(marks.Item(5).Shadow().Color(), clGray);
  marks.Item(2);
  EXPECT_TRUE(marks.HasItem(2));
  // A negative index: a default item that belongs to no point.
  EXPECT_TRUE(marks.Item(-1).Visible());
  EXPECT_EQ(marks.ItemCount(), 6);
  EXPECT_EQ(&marks.FormatOf(-1), &marks);

  h.label = "88.0 MHz";
  marks.SetStyle(smsLabelValue);
  EXPECT_EQ(marks.TextOf(0), "88.0 MHz 55");
  marks.SetMultiLine(true);
  EXPECT_EQ(marks.TextOf(0), "88.0 MHz\r55");
  marks.SetStyle(smsPercentTotal);
  EXPECT_EQ(marks.TextOf(0), "10 %\rof 550");
  marks.SetStyle(smsLegend);
  EXPECT_EQ(marks.TextOf(0), "a\rb");  // the legend's columns on lines of their own
  marks.SetMultiLine(false);
  EXPECT_EQ(marks.TextOf(0), "a b");

  // Widest line + "W", lines x font height, frame 1 on each side.
  EXPECT_EQ(marks.MarkSize("88.0 MHz\r55"), (TSize{56 + 7 + 2, 20 + 2}));
  EXPECT_EQ(marks.MarkSize("88.0 MHz\r"), (TSize{56 + 7 + 2, 20 + 2}));  // trailing break: empty line

  marks.SetDrawEvery(3);
  std::vector<int> drawn;
  for (int i = 0; i < 8; ++i)
    if (marks.DrawsIndex(i)) drawn.push_back(i);
  EXPECT_EQ(drawn, (std::vector<int>{0, 3, 6}));
  marks.SetDrawEvery(0);
  EXPECT_EQ(marks.DrawEvery(), 1);

  h.dc.List.clear();
  TSeriesMarkPosition p;
  p.LeftTop = {10, 10}, p.Width = 65, p.Height = 22;
  marks.PaintOneMark(4, clRed, "88.0 MHz\r", p);
  EXPECT_EQ(h.Texts(), (std::vector<std::string>{"88.0 MHz", ""}));
  EXPECT_EQ(marks.HitTest(20, 20), 4);
  EXPECT_EQ(marks.HitTest(200, 20), -1);
  // A visible callout with a plain arrow draws its pointer where the arrow
  // leaves the point, in the point's colour.
  marks.Callout().SetVisible(true);
  h.dc.List.clear();
  p.ArrowFrom = {40, 60};
  marks.PaintOneMark(3, clRed, "x", p);
  const auto rects = h.dc.Of(TDCOp::Rectangle);
  ASSERT_EQ(rects.size(), 2u);  // the pointer, then the mark
  EXPECT_EQ(rects[0]->Args, (std::vector<int>{36, 56, 45, 65}));
  EXPECT_EQ(rects[0]->Brush.Color, clRed);

  TSeriesPointer pointer;
  EXPECT_TRUE(pointer.Hits(psRectangle, 3, -3));
  EXPECT_FALSE(pointer.Hits(psRectangle, 4, 0));
  EXPECT_FALSE(pointer.Hits(psNothing, 0, 0));
}
