// A chart's window frames keep their static layers (background, walls, axes,
// bands) between frames and draw only what changed: what the window shows
// must always be what a frame drawn in full shows. Two charts built alike
// go through the same changes; one keeps its layers, the other forgets them
// before every frame.
#include <QCoreApplication>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
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

// What a window that repaints only where the chart says its frame changed
// shows after the next frame.
struct TScreen {
  QImage Pixels;
  int PartFrames = 0;  // frames that changed only part of it
  QImage Frame(TChart& c) {
    c.Invalidate();
    c.Paint();
    std::vector<QRect> changes;
    if (!c.TakeShownChanges(changes) || Pixels.size() != c.ShownImage().size()) {
      Pixels = c.ShownImage().copy();
    } else {
      ++PartFrames;
      QPainter p(&Pixels);
      p.setCompositionMode(QPainter::CompositionMode_Source);
      for (const QRect& r : changes) p.drawImage(r.topLeft(), c.ShownImage(), r);
    }
    return Pixels;
  }
};

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
void RunSteps(std::function<F()> make, std::function<TChart&(F&)> chart, const std::vector<TStep<F>>& steps,
              bool partFrames = false) {
  F kept = make(), full = make();
  TScreen screen;
  ASSERT_EQ(Difference(screen.Frame(chart(kept)), FullFrame(chart(full))), "");
  for (const TStep<F>& step : steps) {
    step.Change(kept);
    step.Change(full);
    const int hits = chart(kept).Canvas().LayerHits();
    const QImage shown = screen.Frame(chart(kept));
    const QImage fresh = FullFrame(chart(full));
    EXPECT_EQ(Difference(chart(kept).WindowImage(), fresh), "") << step.Name << ", the buffer";
    EXPECT_EQ(Difference(shown, fresh), "") << step.Name << ", the screen";
    if (step.DataOnly) {
      EXPECT_EQ(chart(kept).Canvas().LayerHits(), hits + 1) << step.Name;
    }
    // The frame after is drawn from the layers just kept.
    EXPECT_EQ(Difference(screen.Frame(chart(kept)), shown), "") << step.Name << ", again";
  }
  // Frames after kept layers change the screen only where they drew.
  if (partFrames) {
    EXPECT_GT(screen.PartFrames, 0);
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
  // A reading drawn over the chart, as the window does, where the test puts it.
  static int overlayY = 40;
  auto make = [] {
    F f = MakeMpxChart(2000, start);
    f.Chart->OnAfterDraw = [](TCustomAxisPanel& p) { p.Canvas().TextOut(60, overlayY, " 71.0 KHz "); };
    return f;
  };
  RunSteps<F>(make, [](F& f) -> TChart& { return *f.Chart; },
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
                  {"2-D", [](F& f) { f.Chart->SetView3D(false); }, false},
                  {"reading appended", [](F& f) { f.MPXSeries->AppendPoint(start + 2000 * ms, 95); }, true},
                  {"readings cleared", [](F& f) { f.MPXSeries->Clear(); }, true},
                  {"average moves", [](F& f) { f.AverageTool->SetValue(20); }, true},
                  {"first readings", [](F& f) {
                     for (int i = 0; i < 50; ++i) f.MPXSeries->AppendPoint(start + 300 * i * ms, 60 + i % 7);
                   }, true},
                  {"nothing changed", [](F&) {}, true},
                  {"reading drawn lower", [](F&) { overlayY = 150; }, true},
              },
              true);
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
  // A frame after the window was drawn on changes all of what it shows,
  // also where nothing else changed.
  auto m = MakeMpxChart(2000);
  TScreen screen;
  screen.Frame(*m.Chart);  // the layers drawn and kept
  screen.Frame(*m.Chart);  // what follows them tracked
  const QImage mpx = screen.Frame(*m.Chart);
  ASSERT_EQ(screen.PartFrames, 1);
  IDeviceContext& mpxWindow = m.Chart->ControlCanvas();
  mpxWindow.SetBrush({TDCBrushStyle::Solid, clRed, {}});
  mpxWindow.FillRect({10, 10, 30, 30});
  screen.Pixels = m.Chart->ShownImage().copy();
  EXPECT_EQ(Difference(screen.Frame(*m.Chart), mpx), "");
}

// The chart's window repaints only the part of it a new frame changed, and
// then shows what a frame drawn in full shows.
TEST(ChartLayers, WindowRepaintsWhereTheFrameChangedAndShowsAFullFrame) {
  EnsureQApplication();
  constexpr double ms = 1.1574074074e-08, start = 46000.5;
  auto kept = MakeMpxChart(2000, start), full = MakeMpxChart(2000, start);
  TChartHost host(*kept.Chart);
  struct TPaints : QObject {
    std::vector<QRect> Areas;  // the bounds of each repainted part
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) Areas.push_back(static_cast<QPaintEvent*>(e)->region().boundingRect());
      return false;
    }
  } paints;
  host.installEventFilter(&paints);
  host.show();
  auto settle = [] {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
  };
  settle();
  const std::vector<std::pair<const char*, std::function<void(TMpxFixture&)>>> steps = {
      {"new reading", [](TMpxFixture& f) { f.MPXSeries->YValues().SetValue(10, 120); }},
      {"reading appended", [](TMpxFixture& f) { f.MPXSeries->AppendPoint(start + 2000 * ms, 95); }},
      {"average", [](TMpxFixture& f) { f.AverageTool->SetValue(20); }},
      {"readings cleared", [](TMpxFixture& f) { f.MPXSeries->Clear(); }},
      {"first readings", [](TMpxFixture& f) { f.MPXSeries->AppendPoint(start, 60), f.MPXSeries->AppendPoint(start + 5e3 * ms, 80); }},
      {"time scrolls", [](TMpxFixture& f) { f.Chart->BottomAxis().FixRange(start + 1e4 * ms, start + 7e4 * ms); }},
      {"new reading", [](TMpxFixture& f) { f.MPXSeries->AppendPoint(start + 6e4 * ms, 30); }},
  };
  int partial = 0;
  for (const auto& [name, change] : steps) {
    change(kept), change(full);
    paints.Areas.clear();
    kept.Chart->Invalidate();
    settle();
    const QImage shown = host.screen()->grabWindow(host.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(Difference(shown, FullFrame(*full.Chart)), "") << name;
    ASSERT_FALSE(paints.Areas.empty()) << name;
    for (const QRect& r : paints.Areas) partial += r != host.rect();
  }
  EXPECT_GT(partial, 0);
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

// A cursor moved between frames is drawn straight into the buffer; the frame
// after still shows what a full frame shows.
TEST(ChartLayers, CursorMovedBetweenFramesShowsWhatFullFramesShow) {
  EnsureQApplication();
  auto kept = MakeMpxChart(2000), full = MakeMpxChart(2000);
  auto keptCursor = MakeCursorTool(*kept.Chart, cssVertical, clGreen, nullptr);
  auto fullCursor = MakeCursorTool(*full.Chart, cssVertical, clGreen, nullptr);
  // The first seconds of a measurement: a few readings on the left.
  for (auto* f : {&kept, &full}) {
    const double start = f->MPXSeries->XValue(0);
    f->MPXSeries->Clear();
    for (int i = 0; i < 20; ++i) f->MPXSeries->AppendPoint(start + i * 1e-6, 60 + i % 5);
  }
  TScreen screen;
  for (int i = 0; i < 3; ++i) screen.Frame(*kept.Chart), FullFrame(*full.Chart);
  ASSERT_EQ(screen.PartFrames, 1);
  for (auto* c : {keptCursor.get(), fullCursor.get()}) c->FollowMouse = true;
  const TRect plot = kept.Chart->PlotRect();
  for (int x : {plot.Left + 40, plot.Right - 30}) {
    kept.Chart->MouseMove(0, x, plot.Top + 20);
    full.Chart->MouseMove(0, x, plot.Top + 20);
    screen.Pixels = kept.Chart->ShownImage().copy();  // the window shows the cursor drawn
    EXPECT_EQ(Difference(screen.Frame(*kept.Chart), FullFrame(*full.Chart)), "") << x;
  }
}
