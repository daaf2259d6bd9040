#include "chart/ChartSetup.h"

std::unique_ptr<TChart> MakePlainChart(int Left, int Top, int Right, int Bottom, int Width, int Height) {
  auto c = std::make_unique<TChart>();
  c->Legend().SetVisible(false);
  c->Title().SetVisible(false);
  c->SetView3D(false);
  c->SetView3DWalls(false);
  c->Zoom().Allow = false;
  c->AllowPanning = pmNone;
  c->BevelOuter = bvNone;
  c->SetMarginUnits(muPixels);
  c->SetMargins(Left, Top, Right, Bottom);
  c->SetBounds(Width, Height);
  return c;
}

namespace {
template <class T>
std::unique_ptr<T> Tool(TChart& chart) {
  auto t = std::make_unique<T>();
  t->SetParentChart(&chart);
  return t;
}
}  // namespace

std::unique_ptr<TCursorTool> MakeCursorTool(TChart& Chart, TCursorToolStyle Style, TColor Color,
                                            TChartSeries* SnapTo) {
  auto t = Tool<TCursorTool>(Chart);
  t->SetStyle(Style);
  t->Pen().SetColor(Color);
  t->Pen().SetWidth(2);
  if (SnapTo) t->SetSeries(SnapTo), t->Snap = true;
  return t;
}

std::unique_ptr<TColorBandTool> MakeBandTool(TChart& Chart, TColor Color, int Transparency, double Start,
                                             double End) {
  auto t = Tool<TColorBandTool>(Chart);
  t->SetAxis(&Chart.LeftAxis());
  t->Pen().Hide();
  t->SetDrawBehindAxes(true);
  t->SetColor(Color);
  t->SetTransparency(Transparency);
  t->SetStartValue(Start);
  t->SetEndValue(End);
  return t;
}

std::unique_ptr<TColorLineTool> MakeLineTool(TChart& Chart, TColor Color, TPenStyle Style) {
  auto t = Tool<TColorLineTool>(Chart);
  t->SetAxis(&Chart.LeftAxis());
  t->AllowDrag = false;
  t->SetDraw3D(false);
  t->Pen().SetColor(Color);
  t->Pen().SetStyle(Style);
  return t;
}
