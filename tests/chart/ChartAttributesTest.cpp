// Pens, brushes, fonts, gradients, shadows, the 3-D view options and the
// flat combo box.
#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QEnterEvent>
#include <QStyle>
#include <QTest>

#include "chart/ChartComboFlat.h"
#include "chart/ChartPanel.h"
#include "support/QtApp.h"

namespace {

struct Counter {
  int n = 0;
  TChartPersistent::TChangeEvent Event() {
    return [this](TChartPersistent*) { ++n; };
  }
};

}  // namespace

TEST(ChartAttributes, SettersNotifyOnlyOnARealChange) {
  Counter c;
  TChartPen pen(c.Event());
  TChartBrush brush(c.Event());
  TChartFont font(c.Event());
  TChartGradient gradient(c.Event());
  TView3DOptions view(c.Event());
  TChartShape shape;
  shape.OnChange = c.Event();  // a shape's change repaints its chart
  struct Case {
    const char* name;
    std::function<void()> same, differ;
  } cases[] = {
      {"pen colour", [&] { pen.SetColor(clBlack); }, [&] { pen.SetColor(clRed); }},
      {"pen end style", [&] { pen.SetEndStyle(esRound); }, [&] { pen.SetEndStyle(esFlat); }},
      {"brush colour", [&] { brush.SetColor(clDefault); }, [&] { brush.SetColor(clBlue); }},
      {"font size", [&] { font.SetSize(8); }, [&] { font.SetSize(10); }},
      {"font outline", [&] { font.OutLine().SetVisible(false); }, [&] { font.OutLine().SetVisible(true); }},
      {"mid colour", [&] { gradient.SetMidColor(clNone); }, [&] { gradient.SetMidColor(clRed); }},
      {"elevation", [&] { view.SetElevation(345); }, [&] { view.SetElevation(10); }},
      {"shape bevel", [&] { shape.Bevel = bvNone; }, [&] { shape.Bevel = bvRaised; }},
      {"shape bevel width", [&] { shape.BevelWidth = 2; }, [&] { shape.BevelWidth = 3; }},
      {"shape colour", [&] { shape.Color = clWhite; }, [&] { shape.Color = clRed; }},
      {"shape style", [&] { shape.ShapeStyle = fosRectangle; }, [&] { shape.ShapeStyle = fosRoundRectangle; }},
      {"shape transparent", [&] { shape.Transparent = false; }, [&] { shape.Transparent = true; }},
      {"shape transparency", [&] { shape.Transparency = 0; }, [&] { shape.Transparency = 40; }},
  };
  for (const Case& k : cases) {
    c.n = 0;
    k.same();
    EXPECT_EQ(c.n, 0) << k.name;
    k.differ();
    EXPECT_EQ(c.n, 1) << k.name;
  }
}

TEST(ChartAttributes, AssignCopiesAndNotifiesOnce) {
  Counter c;
  TChartFont from, to(c.Event());
  from.SetColor(clRed);
  from.SetStyle(fsBold | fsItalic);
  from.SetInterCharSize(2);
  from.Shadow().SetSize(3);
  from.Gradient().SetVisible(true);
  from.Gradient().SetOutline(true);
  to.Assign(from);
  EXPECT_EQ(c.n, 1);
  EXPECT_EQ(to.Color(), clRed);
  EXPECT_EQ(to.Style(), fsBold | fsItalic);
  EXPECT_EQ(to.InterCharSize(), 2);
  EXPECT_EQ(to.Shadow().VertSize(), 3);
  EXPECT_TRUE(to.Gradient().Outline());
  EXPECT_NE(&to.Shadow(), &from.Shadow());  // copied, never shared
  EXPECT_FALSE(to.HasOutLine());            // not read on either side: not created

  TChartPen hidden(c.Event());
  TChartHiddenPen src;
  src.SetWidth(4);
  c.n = 0;
  hidden.Assign(src);
  EXPECT_EQ(c.n, 1);
  EXPECT_FALSE(hidden.Visible());
  EXPECT_EQ(hidden.Width(), 4);
}

TEST(ChartAttributes, DefaultsAndStoredValues) {
  TChartHiddenPen hidden;
  EXPECT_FALSE(hidden.Visible());
  EXPECT_FALSE(hidden.IsVisibleStored());
  hidden.SetVisible(true);
  EXPECT_TRUE(hidden.IsVisibleStored());

  TChartFont font;
  EXPECT_EQ(font.Name(), "Arial");
  EXPECT_EQ(font.Size(), 8);
  EXPECT_EQ(font.Height(), -11);
  EXPECT_FALSE(font.IsNameStored() || font.IsHeightStored() || font.IsColorStored());
  EXPECT_EQ(font.Shadow().Color(), clSilver);
  EXPECT_FALSE(font.Shadow().Visible());

  TChartShadow shadow;
  shadow.SetSize(5);
  EXPECT_EQ(shadow.HorizSize(), 5);
  EXPECT_EQ(shadow.VertSize(), 5);
  shadow.SetHorizSize(2);
  shadow.SetVertSize(7);
  EXPECT_EQ(shadow.Size(), 7);
  TChartShadow shapeShadow({}, clBlack, 3);
  EXPECT_FALSE(shapeShadow.IsColorStored() || shapeShadow.IsHorizSizeStored());

  TChartGradient g;
  g.SetMidColor(clRed);
  g.SetMidColor(clNone);
  EXPECT_EQ(g.MidColor(), clNone);

  TChartBrush brush;
  brush.Image();  // an empty picture leaves a plain brush
  EXPECT_FALSE(brush.HasImage());
}

TEST(ChartAttributes, ViewOptionsZoomAndScrollEvents) {
  std::vector<std::string> log;
  TView3DOptions view([&](TChartPersistent*) { log.push_back("repaint"); });
  view.OnZoom = [&](TView3DOptions* v, int z) { log.push_back("zoom " + std::to_string(v->Zoom()) + "->" + std::to_string(z)); };
  view.OnScroll = [&](TView3DOptions*, bool h) { log.push_back(h ? "scroll h" : "scroll v"); };
  view.SetZoom(150);
  view.SetVertOffset(4);
  view.SetHorizOffset(0);  // unchanged
  EXPECT_EQ(log, (std::vector<std::string>{"zoom 100->150", "repaint", "repaint", "scroll v"}));
  EXPECT_NEAR(view.OrthoDepthRatio(), 1.0, 1e-12);
  view.SetOrthoAngle(120);
  EXPECT_NEAR(view.OrthoDepthRatio(), std::tan(60 * M_PI / 180), 1e-12);
  view.SetOrthogonal(false);
  EXPECT_EQ(view.OrthoDepthRatio(), 1.0);

  TView3DOptions copy;
  copy.Assign(view);
  EXPECT_EQ(copy.Zoom(), 150);
  EXPECT_EQ(copy.OrthoAngle(), 120);
  EXPECT_EQ(copy.VertOffset(), 4);
}

// Flat (edges in the face colour, the button framed in the window colour)
// until the mouse comes over it; leaving or losing the focus flattens it again.
TEST(ComboFlat, FlatUntilTheMouseIsOver) {
  EnsureQApplication();
  TComboFlat combo;
  combo.addItems({"Solid", "Dash"});
  combo.resize(120, combo.height());
  combo.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
  combo.clearFocus();
  EXPECT_EQ(combo.height(), 21);
  const int button = 119 - combo.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &combo) - 2;
  auto flat = [&] {  // the outer and inner edges, the button's frame and the line left of the edge
    const QImage shown = combo.grab().toImage();
    const std::pair<QPoint, TColor> edges[] = {{{0, 0}, clBtnFace}, {{1, 10}, clBtnFace}, {{button, 10}, clWindow},
                                               {{117, 10}, clWindow}};
    return std::all_of(std::begin(edges), std::end(edges), [&](const auto& e) {
      const TColor c = ColorToRGB(e.second);
      return shown.pixel(e.first) == qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
    });
  };
  SaveScreenshot(&combo, "combo_flat");
  EXPECT_TRUE(flat());
  QEnterEvent enter({5, 5}, {5, 5}, combo.mapToGlobal(QPointF(5, 5)));
  QEvent leave(QEvent::Leave);
  QFocusEvent focusOut(QEvent::FocusOut);
  for (QEvent* away : {&leave, static_cast<QEvent*>(&focusOut)}) {
    QApplication::sendEvent(&combo, &enter);
    EXPECT_FALSE(flat());
    QApplication::sendEvent(&combo, away);
    EXPECT_TRUE(flat());
  }
}
