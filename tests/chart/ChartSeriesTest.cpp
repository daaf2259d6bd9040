#include <gtest/gtest.h>

#include <cmath>

#include "chart/ChartConst.h"
#include "chart/ChartEngineSeries.h"
#include "chart/ChartSplineFunction.h"
#include "platform/RecordingDC.h"
#include "support/QtApp.h"

namespace {

// A panel with three series added by name; series b and c may be linked.
struct QtFirst {
  QtFirst() { EnsureQApplication(); }
};
struct Chart : QtFirst {
  TCustomAxisPanel panel;
  TChartSeries* Add(const std::string& name = {}) {
    auto s = std::make_unique<TChartSeries>();
    s->Name = name;
    return panel.AddSeries(std::move(s));
  }
  void Draw() {
    TRecordingDC dc({400, 250});
    panel.Draw(dc, panel.PanelRectangle());
  }
};

std::vector<double> Xs(const TChartSeries& s) {
  std::vector<double> v;
  for (int i = 0; i < s.Count(); ++i) v.push_back(s.XValue(i));
  return v;
}

// Records the draw stages it hears.
struct StageTool : TChartCustomToolSeries {
  std::vector<int>* log;
  explicit StageTool(std::vector<int>* l) : log(l) {}
  void NotifyDrawStage(int e) override { log->push_back(e); }
};

// Sums its period; counts its calculations.
struct SumFunction : TChartFunction {
  int runs = 0;
  void PopulateSeries(TChartSeries* s) override {
    ++runs;
    TChartFunction::PopulateSeries(s);
  }
  double Calculate(TChartSeries& s, int first, int last) override {
    double sum = 0;
    for (int i = first < 0 ? 0 : first; i <= (last < 0 ? s.Count() - 1 : last); ++i) sum += s.YValue(i);
    return sum;
  }
};

struct AreaLike : TChartSeries {
  bool FunctionResultAsPoint() const override { return false; }
};

}  // namespace

TEST(ChartSeries, PointsLabelsAndColours) {
  Chart c;
  TChartSeries& s = *c.Add();
  EXPECT_EQ(s.AppendPoint(3, 30), 0);
  EXPECT_EQ(s.AppendPoint(1, 10), 0);
  EXPECT_EQ(s.AppendPoint(2, 20), 1);
  EXPECT_EQ(Xs(s), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(s.YValue(2), 30);
  EXPECT_FALSE(s.HasLabels());
  EXPECT_FALSE(s.HasPointColors());
  EXPECT_EQ(s.LabelAt(7), "");

  s.OnBeforeAdd = [](TChartSeries&) { return false; };
  EXPECT_EQ(s.AppendPoint(9, 9), -1);
  s.OnBeforeAdd = nullptr;
  EXPECT_EQ(s.Count(), 3);

  // The first explicit colour creates the list; earlier points read the
  // palette sentinel and show the series colour, as do points past the list.
  s.SetSeriesColor(clGreen);
  s.AppendPoint(4, 40, "four", clRed);
  EXPECT_EQ(s.PointColorStored(0), clPaletteColor);
  EXPECT_EQ(s.PointColorAt(0), clGreen);
  EXPECT_EQ(s.PointColorAt(3), clRed);
  EXPECT_EQ(s.LabelAt(3), "four");
  s.AppendPoint(5, 50);
  EXPECT_EQ(s.PointColorAt(4), clGreen);
  s.SetColorEachPoint(true);
  EXPECT_EQ(s.PointColorAt(4), c.panel.PaletteColorAt(4));

  for (int bad : {-1, s.Count()}) {
    try {
      s.Delete(bad);
      ADD_FAILURE() << bad;
    } catch (const ChartException& e) {
      EXPECT_EQ(std::string(e.what()),
                "Series Delete: ValueIndex " + std::to_string(bad) + " out of bounds (0 to 4).");
    }
  }
  s.Delete(3);
  EXPECT_EQ(s.LabelAt(3), "");
  EXPECT_EQ(s.PointColorAt(3), c.panel.PaletteColorAt(3));
}

// What a dependent series does when its source changes, with and without a function.
TEST(ChartSeries, LinkedSeriesFollowTheirSource) {
  Chart c;
  TChartSeries& src = *c.Add("src");
  TChartSeries& copy = *c.Add();
  TChartSeries& withFn = *c.Add();
  for (double x : {1, 2, 3}) src.AppendPoint(x, x * 10);
  copy.SetDataSource(&src);
  withFn.SetDataSource(&src);
  auto fn = std::make_unique<SumFunction>();
  SumFunction& f = *fn;
  withFn.AttachFunction(std::move(fn));
  EXPECT_EQ(copy.Count(), 3);
  ASSERT_EQ(withFn.Count(), 1);
  EXPECT_EQ(withFn.YValue(0), 60);
  EXPECT_EQ(withFn.XValue(0), 2);

  const int runs = f.runs;
  src.AppendPoint(0, 5);
  EXPECT_EQ(Xs(copy), (std::vector<double>{0, 1, 2, 3}));  // inserted at once, in X order
  EXPECT_EQ(f.runs, runs);                                    // a function series ignores inserts
  EXPECT_EQ(withFn.YValue(0), 60);

  src.Delete(1, 2);  // a span: the dependent refills instead of deleting index -1
  EXPECT_EQ(Xs(copy), (std::vector<double>{0, 3}));

  src.BeginUpdate();
  for (double x : {7, 8}) src.AppendPoint(x, 1);
  EXPECT_EQ(copy.Count(), 2);
  src.EndUpdate();
  EXPECT_EQ(Xs(copy), (std::vector<double>{0, 3, 7, 8}));
  EXPECT_EQ(withFn.YValue(0), 5 + 30 + 2);

  src.Clear();
  EXPECT_EQ(copy.Count(), 0);
  EXPECT_EQ(withFn.Count(), 0);

  EXPECT_THROW(src.SetDataSource(&copy), ChartException);
  TChartSeries loose;
  EXPECT_THROW(loose.SetDataSource(&src), ChartException);
}

// Every link is cut from whichever side is freed first.
TEST(ChartSeries, FreeingCutsEveryLink) {
  std::vector<int> log;
  StageTool tool(&log), toolOfFreedChart(&log);
  {
    Chart c;
    TChartSeries* src = c.Add();
    TChartSeries* dep = c.Add();
    src->AppendPoint(1, 1);
    dep->SetDataSource(src);
    tool.SetParentChart(&c.panel);
    tool.SetSeries(src);
    EXPECT_EQ(tool.GetHorizAxis(), &c.panel.BottomAxis());

    delete src;
    EXPECT_EQ(dep->DataSource(), nullptr);
    EXPECT_EQ(dep->Count(), 0);
    EXPECT_EQ(tool.Series(), nullptr);
    EXPECT_EQ(tool.GetVertAxis(), &c.panel.LeftAxis());
    EXPECT_EQ(c.panel.SeriesTotal(), 1);

    TChartSeries* other = c.Add();
    other->SetDataSource(dep);
    delete other;
    EXPECT_TRUE(dep->DependentSeries().empty());
    {
      StageTool shortLived(&log);
      shortLived.SetParentChart(&c.panel);
      EXPECT_EQ(c.panel.Tools().size(), 2u);
    }
    EXPECT_EQ(c.panel.Tools().size(), 1u);
    toolOfFreedChart.SetParentChart(&c.panel);
    tool.SetParentChart(nullptr);
  }
  EXPECT_EQ(toolOfFreedChart.ParentChart(), nullptr);
}

TEST(ChartSeries, VisibleRange) {
  struct {
    double min, max;
    TChartListOrder order;
    int first, last;
  } cases[] = {
      {20, 30, loAscending, -1, -1},  // every point left of the axis: nothing to draw
      {1.5, 3.5, loAscending, 3, 7},  {-5, 2, loAscending, 0, 4},
      {-9, -5, loAscending, 0, 0},    {20, 30, loNone, 0, 9},
  };
  for (const auto& t : cases) {
    Chart c;
    TChartSeries& s = *c.Add();
    s.XValues().SetOrder(t.order);
    for (int i = 0; i < 10; ++i) s.AppendPoint(i * 0.5, i);
    c.panel.BottomAxis().SetAutomatic(false);
    c.panel.BottomAxis().SetMinimum(-100);
    c.panel.BottomAxis().SetMaximum(t.max);
    c.panel.BottomAxis().SetMinimum(t.min);
    s.FindVisibleRange();
    EXPECT_EQ(s.FirstShownIndex, t.first) << t.min;
    EXPECT_EQ(s.LastShownIndex, t.last) << t.min;
  }
}

TEST(AxisPanel, ToolEventsInDrawingOrder) {
  for (bool behind : {true, false}) {
    std::vector<int> log;
    StageTool tool(&log);
    Chart c;
    c.Add()->AppendPoint(1, 1);
    tool.SetParentChart(&c.panel);
    c.panel.SetAxisBehind(behind);
    c.panel.OnBeforeDrawSeries = [&](TCustomAxisPanel&) { log.push_back(100); };
    c.panel.OnAfterDraw = [&](TCustomAxisPanel&) { log.push_back(200); };
    c.Draw();
    const std::vector<int> want = behind ? std::vector<int>{2, 3, 1, 100, 4, 0, 200}
                                         : std::vector<int>{2, 1, 100, 4, 3, 0, 200};
    EXPECT_EQ(log, want) << behind;
    tool.SetActive(false);
    log.clear();
    c.Draw();
    EXPECT_EQ(log, (std::vector<int>{100, 200}));
    tool.SetActive(true);
    log.clear();
    static_cast<TCustomChartPanel&>(c.panel).MouseLeave();  // as the window host calls it
    EXPECT_EQ(log, (std::vector<int>{5}));
  }
}

TEST(AxisPanel, DepthAndPageRanges) {
  Chart c;
  EXPECT_EQ(c.panel.RangeFromSeries(c.panel.LeftAxis(), true), 0);
  TChartSeries& a = *c.Add();
  TChartSeries& b = *c.Add();
  EXPECT_NE(a.SeriesColor(), b.SeriesColor());
  EXPECT_EQ(a.SeriesColor(), c.panel.PaletteColorAt(0));

  c.panel.SetMaxPointsPerPage(4);
  EXPECT_EQ(c.panel.PageTotal(), 1);  // only empty series: still one page
  for (int i = 0; i < 10; ++i) a.AppendPoint(i, i);
  for (int i = 0; i < 3; ++i) b.AppendPoint(i, -i);
  c.Draw();
  EXPECT_EQ(c.panel.DepthAxis().Minimum(), -0.5);
  EXPECT_EQ(c.panel.DepthAxis().Maximum(), 1.5);  // two depth slots in 3-D

  struct {
    int page;
    bool scaleLast;
    int shown;
    double min, max;
  } pages[] = {{1, true, 1, 0, 3}, {3, true, 3, 8, 9}, {3, false, 3, 8, 10}, {9, true, 3, 8, 9}, {0, true, 1, 0, 3}};
  for (const auto& p : pages) {
    c.panel.SetScaleLastPage(p.scaleLast);
    c.panel.SetPage(p.page);
    EXPECT_EQ(c.panel.Page(), p.shown);
    EXPECT_EQ(c.panel.RangeFromSeries(c.panel.BottomAxis(), false), p.min) << p.page;
    EXPECT_EQ(c.panel.RangeFromSeries(c.panel.BottomAxis(), true), p.max) << p.page;
  }
  c.panel.SetMaxPointsPerPage(0);
  EXPECT_EQ(c.panel.RangeFromSeries(c.panel.BottomAxis(), true), 9);
  EXPECT_EQ(c.panel.RangeFromSeries(c.panel.LeftAxis(), false), -2);
  EXPECT_THROW(c.panel.SetMaxPointsPerPage(-1), ChartException);
  EXPECT_THROW(c.panel.SetChart3DPercent(101), ChartException);
}

TEST(ChartFunction, Periods) {
  struct {
    double period;
    TFunctionPeriodStyle style;
    TFunctionPeriodAlign align;
    std::vector<double> x, y;
  } cases[] = {
      {0, psNumPoints, paCenter, {3}, {21}},
      {2.5, psNumPoints, paCenter, {0.5, 2.5, 4.5}, {1, 5, 9}},  // periods of 2, the 7th point left over
      {3.5, psNumPoints, paFirst, {0}, {6}},
      {0.3, psNumPoints, paLast, {0, 1, 2, 3, 4, 5, 6}, {0, 1, 2, 3, 4, 5, 6}},
      {2, psRange, paFirst, {0, 2, 4, 6}, {1, 5, 9, 6}},
  };
  for (const auto& t : cases) {
    Chart c;
    TChartSeries& src = *c.Add();
    for (int i = 0; i <= 6; ++i) src.AppendPoint(i, i);
    TChartSeries& out = *c.Add();
    auto f = std::make_unique<SumFunction>();
    f->SetPeriod(t.period);
    f->SetPeriodStyle(t.style);
    f->SetPeriodAlign(t.align);
    out.AttachFunction(std::move(f));
    out.SetDataSource(&src);
    EXPECT_EQ(Xs(out), t.x) << t.period;
    std::vector<double> y;
    for (int i = 0; i < out.Count(); ++i) y.push_back(out.YValue(i));
    EXPECT_EQ(y, t.y) << t.period;
  }
  // An empty range period gives 0 at its place; an area series gets a line.
  Chart c;
  TChartSeries& src = *c.Add();
  for (double x : {0.0, 0.5, 5.0}) src.AppendPoint(x, 1);
  TChartSeries& out = *c.Add();
  auto f = std::make_unique<SumFunction>();
  SumFunction& fn = *f;
  f->SetPeriod(2);
  f->SetPeriodStyle(psRange);
  out.AttachFunction(std::move(f));
  out.SetDataSource(&src);
  ASSERT_EQ(out.Count(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(out.XValue(i), 2 * i + 0.999, 1e-12);
  EXPECT_EQ(out.YValue(1), 0);
  const int runs = fn.runs;
  fn.SetPeriodAlign(paCenter);
  EXPECT_EQ(fn.runs, runs);
  EXPECT_THROW(fn.SetPeriod(-1), ChartException);

  TChartSeries* area = c.panel.AddSeries(std::make_unique<AreaLike>());
  area->AttachFunction(std::make_unique<SumFunction>());
  area->SetDataSource(&src);
  EXPECT_EQ(Xs(*area), (std::vector<double>{0, 5}));
}

// The series path gives BSplineSmooth's curve; the source decides when.
TEST(SmoothingFunction, ThroughTheSeries) {
  Chart c;
  TChartSeries& src = *c.Add();
  std::vector<double> x, y;
  for (int i = 0; i < 40; ++i) {
    x.push_back(87.5 + 0.1 * i), y.push_back(std::sin(i * 0.7) * 10);
    src.AppendPoint(x.back(), y.back());
  }
  TChartSeries& smooth = *c.Add();
  auto f = std::make_unique<TSmoothingFunction>();
  TSmoothingFunction& fn = *f;
  EXPECT_EQ(fn.Period(), 1.0);
  smooth.AttachFunction(std::move(f));
  smooth.SetDataSource(&src);
  TChartSeries& copy = *c.Add();
  copy.SetDataSource(&smooth);
  for (bool interpolate : {true, false}) {
    fn.SetFactor(10);
    fn.SetInterpolate(interpolate);
    const auto want = BSplineSmooth(x, y, 10, interpolate);
    ASSERT_EQ(smooth.Count(), int(want.size()));
    ASSERT_EQ(copy.Count(), int(want.size()));
    for (int i = 0; i < smooth.Count(); ++i) {
      EXPECT_EQ(smooth.XValue(i), want[size_t(i)].X);
      EXPECT_EQ(smooth.YValue(i), want[size_t(i)].Y);
    }
  }
  EXPECT_EQ(smooth.XValues().Order(), loAscending);
  EXPECT_EQ(smooth.YValues().Order(), loNone);
  fn.SetFactor(-3);
  EXPECT_EQ(fn.Factor(), 1);
  EXPECT_EQ(smooth.Count(), 41);
  src.AppendPoint(99, 0);
  EXPECT_EQ(smooth.Count(), 41);
  smooth.RefreshFromSource();
  EXPECT_EQ(smooth.Count(), 42);

  // A horizontal series smooths the same curve with X and Y exchanged, in
  // parameter order on its value axis.
  struct Horizontal : TChartSeries {
    Horizontal() { SetMandatoryIsY(false); }
  };
  TChartSeries* across = c.panel.AddSeries(std::make_unique<Horizontal>());
  auto g = std::make_unique<TSmoothingFunction>();
  g->SetInterpolate(false);
  across->AttachFunction(std::move(g));
  across->SetDataSource(&src);
  x.push_back(99), y.push_back(0);
  const auto want = BSplineSmooth(x, y, 4, false);
  ASSERT_EQ(across->Count(), int(want.size()));
  EXPECT_EQ(across->XValue(7), want[7].X);
  EXPECT_EQ(across->YValue(7), want[7].Y);
  EXPECT_EQ(across->XValues().Order(), loAscending);
  EXPECT_FALSE(across->NarrowByOrder);
}

TEST(ChartTool, AxisToolFollowsItsAxis) {
  TChartCustomToolAxis tool;
  {
    Chart c;
    tool.SetAxis(&c.panel.LeftAxis());
    EXPECT_EQ(tool.ParentChart(), &c.panel);
    EXPECT_EQ(tool.AxisID(), 2);
    tool.SetAxisID(5);
    EXPECT_EQ(tool.Axis(), &c.panel.DepthTopAxis());
  }
  EXPECT_EQ(tool.ParentChart(), nullptr);
  EXPECT_EQ(tool.Axis(), nullptr);
}

namespace {
// Fills its series with `n` points when loaded.
struct CountingSource : TChartSeriesSource {
  int n = 0, loads = 0;
  void Load() override {
    ++loads;
    for (int i = 0; i < n; ++i) Series()->Add(i);
  }
};
// A series whose points are hit within one pixel of x = 10 * index.
struct HitSeries : TChartSeries {
  int Clicked(int x, int) override { return x % 10 == 0 && x / 10 < Count() ? x / 10 : -1; }
};
}  // namespace

TEST(ChartSeries, SeriesSourceLinks) {
  Chart c;
  TChartSeries& s = *c.Add();
  {
    CountingSource src;
    src.n = 3;
    src.SetSeries(&s);
    EXPECT_EQ(s.DataSource(), &src);
    src.Open();
    EXPECT_EQ(s.Count(), 3);
    s.RefreshFromSource();
    EXPECT_EQ(src.loads, 2);
    src.Close();
    EXPECT_EQ(s.Count(), 0);
    src.Open();
  }
  EXPECT_EQ(s.DataSource(), nullptr);
  CountingSource outlived;
  c.Add()->SetDataSource(&outlived);
  c.panel.DestroyAllSeries();
  EXPECT_EQ(outlived.Series(), nullptr);
  EXPECT_EQ(c.panel.SeriesTotal(), 0);
}

TEST(AxisPanel, SeriesUnderTheMouseAndNames) {
  Chart c;
  std::vector<std::string> log;
  auto hit = std::make_unique<HitSeries>();
  HitSeries& h = *hit;
  c.panel.AddSeries(std::move(hit));
  h.Name = "hits";
  h.Cursor = 3;
  for (int i = 0; i < 3; ++i) h.Add(i);
  h.OnMouseEnter = [&](TChartSeries&) { log.push_back("enter"); };
  h.OnMouseLeave = [&](TChartSeries&) { log.push_back("leave"); };
  h.OnClick = [&](TChartSeries&, int i, TMouseButton, TShiftState, int, int) { log.push_back(std::to_string(i)); };
  c.panel.MouseMove(0, 20, 5);
  c.panel.MouseMove(0, 10, 5);
  c.panel.MouseDown(mbLeft, 0, 10, 5);
  EXPECT_EQ(c.panel.Cursor, 3);
  c.panel.MouseMove(0, 15, 5);
  EXPECT_EQ(log, (std::vector<std::string>{"enter", "1", "leave"}));
  EXPECT_EQ(c.panel.Cursor, 0);

  c.Add()->SetTitle("Smooth");
  c.Add()->SetActive(false);
  c.Add()->SetShowInLegend(false);
  const std::pair<int, bool> asks[] = {{0, false}, {1, false}, {2, false}, {2, true}, {3, false}};
  const char* names[] = {"hits", "Smooth", "Series3", "", ""};
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(c.panel.SeriesDisplayName(asks[i].first, asks[i].second), names[i]);
}

// Series of one depth slot are drawn together, point by point.
TEST(AxisPanel, SharedDepthDrawsPointByPoint) {
  struct Logged : TChartSeries {
    std::string* log;
    void PaintPoint(int i) override { *log += Name + std::to_string(i) + " "; }
  };
  for (int order : {-1, 0}) {
    Chart c;
    std::string log;
    for (const char* name : {"a", "b"}) {
      auto s = std::make_unique<Logged>();
      s->Name = name, s->log = &log, s->DepthOrder = order;
      for (int i = 0; i < (name[0] == 'a' ? 2 : 3); ++i) s->AppendPoint(i, i);
      c.panel.AddSeries(std::move(s));
    }
    c.panel.View3DOptions().SetOrthogonal(true);
    c.Draw();
    // Apart, the one behind (b, depth 1) first; together, point by point.
    EXPECT_EQ(log, order < 0 ? "b0 b1 b2 a0 a1 " : "a0 b0 a1 b1 b2 ");
  }
}

TEST(ChartSeries, LegendTexts) {
  Chart c;
  TChartSeries& s = *c.Add();
  s.ValueFormat = "0.0";
  s.PercentFormat = "0 %";
  s.AppendPoint(1, 1, "a");
  s.AppendPoint(2, 3, "b");
  const std::pair<TLegendTextStyle, std::string> cases[] = {
      {ltsPlain, "b"}, {ltsLeftValue, "3.0\x06" "b"}, {ltsRightPercent, "b\x06" "75 %"}, {ltsValue, "3.0"}};
  for (const auto& [style, text] : cases) EXPECT_EQ(s.LegendTextAt(1, style), text) << int(style);
}
