// A chart's window frames keep their static layers (background, walls, axes,
// bands) between frames and draw only what changed: what the window shows
// must always be what a frame drawn in full shows. Two charts built alike
// go through the same changes; one keeps its layers, the other forgets them
// before every frame.
#include <QImage>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "chart/ChartSetup.h"
#include "support/ChartFixtures.h"
#include "support/QtApp.h"

namespace {

// "" when equal, else how many pixels differ and where the first one is.
std::string Difference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return "sizes differ";
  int count = 0, fx = -1, fy = -1;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if ((a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF) && count++ == 0) fx = x, fy = y;
  if (count == 0) return "";
  return std::to_string(count) + " pixels differ, first at (" + std::to_string(fx) + ", " + std::to_string(fy) + ")";
}

QImage Frame(TChart& c) {
  c.Invalidate();
  c.Paint();
  return c.WindowImage().copy();
}

QImage FullFrame(TChart& c) {
  c.Canvas().ForgetLayers();
  return Frame(c);
}

template <class F>
struct TStep {
  const char* Name;
  std::function<void(F&)> Change;
  bool DataOnly;  // leaves every static layer as it was
};

// Runs the steps on two charts made by `make`; the kept layers must show
// what the full frames show, and the data-only steps must take them all.
template <class F>
void RunSteps(std::function<F()> make, std::function<TChart&(F&)> chart, const std::vector<TStep<F>>& steps) {
  F kept = make(), full = make();
  ASSERT_EQ(Difference(Frame(chart(kept)), FullFrame(chart(full))), "");
  for (const TStep<F>& step : steps) {
    step.Change(kept);
    step.Change(full);
    const int hits = chart(kept).Canvas().LayerHits();
    const QImage shown = Frame(chart(kept));
    EXPECT_EQ(Difference(shown, FullFrame(chart(full))), "") << step.Name;
    if (step.DataOnly) {
      EXPECT_EQ(chart(kept).Canvas().LayerHits(), hits + 1) << step.Name;
    }
    // The frame after is drawn from the layers just kept.
    EXPECT_EQ(Difference(Frame(chart(kept)), shown), "") << step.Name << ", again";
  }
}

}  // namespace

TEST(ChartLayers, SpectrumKeptLayersShowWhatFullFramesShow) {
  EnsureQApplication();
  using F = TSpectrumFixture;
  // A point after the last one (each chart has its own).
  auto point = [](F& f, double level) {
    f.Discrete->AppendPoint(f.Discrete->XValue(f.Discrete->Count() - 1) + 0.01, level);
  };
  RunSteps<F>([] { return MakeSpectrum(400, 3); }, [](F& f) -> TChart& { return *f.Chart; },
              {
                  {"new scan points", [&](F& f) { point(f, 9); }, true},
                  {"marker", [](F& f) { f.ChartToolV->SetXValue(98.5); }, false},
                  {"level axis range", [](F& f) { f.Chart->LeftAxis().FixRange(0, 16); }, false},
                  {"new scan points", [&](F& f) { point(f, 3); }, true},
                  {"zoom", [](F& f) { f.Chart->BottomAxis().FixRange(95, 101); }, false},
                  {"resize", [](F& f) { f.Chart->SetBounds(760, 330); }, false},
                  {"new scan points", [&](F& f) { point(f, 12); }, true},
                  {"chart colour", [](F& f) { f.Chart->SetColor(clCream); }, false},
                  {"band colour", [](F& f) { f.SSLevel->SetColor(clTeal); }, false},
                  {"band end", [](F& f) { f.SSLevel->SetEndValue(12); }, false},
                  {"grid colour", [](F& f) { f.Chart->LeftAxis().Grid().SetColor(clRed); }, false},
                  {"label size", [](F& f) { f.Chart->BottomAxis().LabelsFont().SetSize(10); }, false},
                  {"title", [](F& f) { f.Chart->Title().SetVisible(true), f.Chart->Title().Text = {"Band"}; }, false},
                  {"title on the left", [](F& f) { f.Chart->Title().Alignment = taLeftJustify; }, false},
                  {"other title, same place", [](F& f) { f.Chart->Title().Text = {"Bend"}; }, false},
                  {"panel border", [](F& f) { f.Chart->BevelOuter = bvRaised; }, false},
                  {"new scan points", [&](F& f) { point(f, 6); }, true},
              });
}

TEST(ChartLayers, ScrollingTimeChartShowsWhatFullFramesShow) {
  EnsureQApplication();
  using F = TMpxFixture;
  constexpr double ms = 1.1574074074e-08, start = 46000.5;
  auto scroll = [](F& f) {
    TChartAxis& b = f.Chart->BottomAxis();
    b.FixRange(b.Minimum() + 100 * ms, b.Maximum() + 100 * ms);
  };
  RunSteps<F>([] { return MakeMpxChart(2000, start); }, [](F& f) -> TChart& { return *f.Chart; },
              {
                  {"new reading", [](F& f) { f.MPXSeries->YValues().SetValue(10, 120); }, true},
                  {"average", [](F& f) { f.AverageTool->SetValue(71); }, true},
                  {"time scrolls", scroll, false},
                  {"time scrolls", scroll, false},
                  {"band start", [](F& f) { f.MPXArea->SetStartValue(30); }, false},
                  {"new reading", [](F& f) { f.MPXSeries->YValues().SetValue(11, 3); }, true},
                  {"monochrome", [](F& f) { f.Chart->SetMonochrome(true); }, false},
                  {"3-D", [](F& f) { f.Chart->SetView3D(true); }, false},
                  {"new reading", [](F& f) { f.MPXSeries->YValues().SetValue(12, 50); }, true},
              });
}

TEST(ChartLayers, WallsTitleAndZoomShowWhatFullFramesShow) {
  EnsureQApplication();
  using F = TZoomFixture;
  RunSteps<F>([] { return MakeZoomChart(); }, [](F& f) -> TChart& { return *f.Chart; },
              {
                  {"new point", [](F& f) { f.Line->AppendPoint(f.Line->Count(), 3); }, false},
                  {"zoomed", [](F& f) { f.Chart->ZoomRect({100, 80, 400, 300}); }, false},
                  {"back wall colour", [](F& f) { f.Chart->BackWall().Color = clAqua; }, false},
                  {"zoom undone", [](F& f) { f.Chart->UndoZoom(); }, false},
                  {"gradient face", [](F& f) { f.Chart->Gradient().SetVisible(true); }, false},
              });
}

// A layer that has to read the pixels it draws over (here a text with an
// outline, drawn as a path) is drawn as it goes; the frame is the same.
TEST(ChartLayers, LayerReadingItsPixelsIsDrawnInFull) {
  EnsureQApplication();
  auto kept = MakeSpectrum(400, 0), full = MakeSpectrum(400, 0);
  for (auto* f : {&kept, &full}) {
    f->Chart->Title().SetVisible(true);
    f->Chart->Title().Font().OutLine().SetVisible(true);
    f->Chart->Title().Font().SetSize(14);
  }
  const int hits = kept.Chart->Canvas().LayerHits();
  Frame(*kept.Chart);
  EXPECT_EQ(Difference(Frame(*kept.Chart), FullFrame(*full.Chart)), "");
  EXPECT_EQ(kept.Chart->Canvas().LayerHits(), hits);
}

// Prints and pictures draw every part; a chart without a face of its own
// (its pixels not all set by the frame) keeps no layers.
TEST(ChartLayers, PicturesAndSeeThroughChartsAreDrawnInFull) {
  EnsureQApplication();
  auto f = MakeSpectrum(400, 3);
  TChart& c = *f.Chart;
  Frame(c);
  const int hits = c.Canvas().LayerHits();
  QImage picture;
  c.AssignTo(picture);
  EXPECT_EQ(c.Canvas().LayerHits(), hits);
  // The picture let go of the buffer: the window's next frame is drawn in full.
  EXPECT_EQ(Difference(picture, Frame(c)), "");
  EXPECT_EQ(c.Canvas().LayerHits(), hits);
  Frame(c);
  EXPECT_EQ(c.Canvas().LayerHits(), hits + 1);
  c.SetColor(clNone);
  Frame(c);
  Frame(c);
  EXPECT_EQ(c.Canvas().LayerHits(), hits + 1);
}

// The window shows the frame in the buffer without a copy of its own, until
// anything draws on the window; the buffer keeps the frame.
TEST(ChartLayers, WindowShowsTheBufferUntilDrawnOn) {
  EnsureQApplication();
  auto f = MakeSpectrum(400, 3);
  TChart& c = *f.Chart;
  Frame(c);
  c.Invalidate();
  c.Paint();
  EXPECT_EQ(c.ShownImage().constBits(), c.Canvas().Buffer().constBits());
  const QImage frame = c.Canvas().Buffer().copy();
  IDeviceContext& window = c.ControlCanvas();
  window.SetBrush({TDCBrushStyle::Solid, clRed, {}});
  window.FillRect({10, 10, 30, 30});
  EXPECT_NE(c.ShownImage().constBits(), c.Canvas().Buffer().constBits());
  EXPECT_EQ(c.ShownImage().pixel(20, 20) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(c.ShownImage().pixel(40, 40), frame.pixel(40, 40));
  EXPECT_EQ(c.Canvas().Buffer(), frame);
  c.Paint();  // the still valid buffer is shown again
  EXPECT_EQ(c.ShownImage(), frame);
  EXPECT_EQ(c.WindowImage(), frame);
}

// While the time axis scrolls with every frame, the layers drawn over it are
// not kept; a change to them in the meantime must show once the scrolling
// stops, and so must the axis where it stopped.
TEST(ChartLayers, LayersOverAnAxisScrollingEveryFrameShowWhatFullFramesShow) {
  EnsureQApplication();
  using F = TMpxFixture;
  constexpr double ms = 1.1574074074e-08;
  F kept = MakeMpxChart(2000, 46000.5), full = MakeMpxChart(2000, 46000.5);
  auto both = [&](const std::function<void(F&)>& change) {
    change(kept);
    change(full);
    return Difference(Frame(*kept.Chart), FullFrame(*full.Chart));
  };
  auto scroll = [](F& f) {
    TChartAxis& b = f.Chart->BottomAxis();
    b.FixRange(b.Minimum() + 100 * ms, b.Maximum() + 100 * ms);
  };
  EXPECT_EQ(both([](F&) {}), "");
  EXPECT_EQ(both([](F&) {}), "") << "kept";
  for (int i = 0; i < 4; ++i) EXPECT_EQ(both(scroll), "") << "scroll " << i;
  EXPECT_EQ(both([&](F& f) { scroll(f), f.MPXArea->SetStartValue(30); }), "") << "band while scrolling";
  EXPECT_EQ(both(scroll), "") << "scroll after the band";
  const int hits = kept.Chart->Canvas().LayerHits();
  EXPECT_EQ(both([](F& f) { f.MPXSeries->YValues().SetValue(10, 120); }), "") << "scrolling stopped";
  EXPECT_EQ(both([](F& f) { f.MPXSeries->YValues().SetValue(11, 3); }), "") << "still";
  EXPECT_EQ(both([](F& f) { f.MPXSeries->YValues().SetValue(12, 50); }), "") << "still";
  // Once the axis stands still its layers are kept again: the frames after
  // the first still one are taken from them.
  EXPECT_EQ(kept.Chart->Canvas().LayerHits(), hits + 2);
}
