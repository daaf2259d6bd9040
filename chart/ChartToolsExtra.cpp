// The other chart tools (see the header).
#include "chart/ChartToolsExtra.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace {

int Round(double v) { return int(std::nearbyint(v)); }

bool HasSeries(const TCustomAxisPanel* chart, const TChartSeries* s) {
  if (!chart || !s) return false;
  const auto& all = chart->SeriesList();
  return std::find(all.begin(), all.end(), s) != all.end();
}

// The series a series tool works on: its own, or every series of the chart
// from the last to the first.
std::vector<TChartSeries*> SeriesToSearch(const TChartCustomToolSeries& tool) {
  if (tool.Series()) return {tool.Series()};
  std::vector<TChartSeries*> all;
  if (TCustomAxisPanel* c = tool.ParentChart()) all.assign(c->SeriesList().rbegin(), c->SeriesList().rend());
  return all;
}

void SetCursor(TCustomAxisPanel* chart, TCursor cursor, bool stop) {
  chart->Cursor = cursor;
  if (stop) chart->StopMouseBroadcast = true;
}

// XOR drawing that a second drawing erases: the pen's colour against the
// inverse of the chart's colour, not-XOR mode.
void PrepareXorPen(TCustomAxisPanel& chart, const TChartPen& pen) {
  TChartCanvas3D& c = chart.Canvas();
  c.PreparePen(pen);
  TDCPen p = c.DC().Pen();
  p.Color = (ColorToRGB(pen.Color()) ^ ~ColorToRGB(chart.Color())) & 0xFFFFFF;
  c.DC().SetPen(p);
  c.DC().SetRop2(TDCRop2::NotXorPen);
}

// The opposite axis of a standard one (none for the others).
TChartAxis* OppositeAxis(TCustomAxisPanel& chart, const TChartAxis& axis) {
  if (&axis == &chart.BottomAxis()) return &chart.TopAxis();
  if (&axis == &chart.TopAxis()) return &chart.BottomAxis();
  if (&axis == &chart.LeftAxis()) return &chart.RightAxis();
  if (&axis == &chart.RightAxis()) return &chart.LeftAxis();
  return nullptr;
}

}  // namespace

// --- Registration

std::vector<TChartToolTypeEntry> OtherChartToolTypes() {
  return {
      ChartToolType<TDragMarksTool>("TDragMarksTool", "TDragMarksToolEditor"),
      ChartToolType<TAxisArrowTool>("TAxisArrowTool", "TAxisArrowToolEditor"),
      ChartToolType<TAxisScrollTool>("TAxisScrollTool", "TAxisToolEditor"),
      ChartToolType<TDrawLineTool>("TDrawLineTool", "TDrawLineEdit"),
      ChartToolType<TNearestTool>("TNearestTool", "TNearestToolEdit"),
      ChartToolType<TRotateTool>("TRotateTool", "TRotateToolEditor"),
      ChartToolType<TChartImageTool>("TChartImageTool", ""),
      ChartToolType<TMarksTipTool>("TMarksTipTool", "TMarksTipToolEdit"),
      ChartToolType<TAnnotationTool>("TAnnotationTool", ""),
      ChartToolType<TRectangleTool>("TRectangleTool", ""),
      ChartToolType<TSeriesAnimationTool>("TSeriesAnimationTool", ""),
      ChartToolType<TGridBandTool>("TGridBandTool", "TGridBandToolEdit"),
      ChartToolType<TClipSeriesTool>("TClipSeriesTool", ""),
  };
}

// --- Drag marks

bool TDragMarksTool::MarkAt(int x, int y, TChartSeries*& series, int& index) const {
  for (TChartSeries* s : SeriesToSearch(*this)) {
    if (!s->Active() || !s->Marks().Visible()) continue;
    if (const int i = s->Marks().HitTest(x, y); i >= 0) {
      series = s, index = i;
      return true;
    }
  }
  return false;
}

void TDragMarksTool::NotifyMouseAction(TChartMouseEventKind event, TMouseButton, TShiftState, int x, int y) {
  TCustomAxisPanel* chart = ParentChart();
  if (!chart) return;
  // The kept mark may have gone with its series or its points meanwhile.
  if (dragSeries_ && (!HasSeries(chart, dragSeries_) || dragIndex_ >= int(dragSeries_->Marks().Positions().size())))
    dragSeries_ = nullptr;
  switch (event) {
    case kToolMouseDown:
      dragSeries_ = nullptr;
      if (MarkAt(x, y, dragSeries_, dragIndex_)) last_ = {x, y};
      break;
    case kToolMouseMove:
      if (dragSeries_) {
        TSeriesMarkPosition& p = dragSeries_->Marks().Positions()[size_t(dragIndex_)];
        const int dx = x - last_.X, dy = y - last_.Y;
        p.Custom = true;
        p.LeftTop = {p.LeftTop.X + dx, p.LeftTop.Y + dy};
        p.ArrowTo = {p.ArrowTo.X + dx, p.ArrowTo.Y + dy};
        last_ = {x, y};
        chart->StopMouseBroadcast = true;
        Repaint();
      } else {
        TChartSeries* s = nullptr;
        int i = -1;
        if (MarkAt(x, y, s, i)) SetCursor(chart, ToolCursor::HandPoint, true);
      }
      break;
    case kToolMouseUp:
      dragSeries_ = nullptr;
      break;
  }
}

// --- Axis arrows

TAxisArrowTool::TAxisArrowTool() { brush_.SetColor(clWhite); }

int TAxisArrowTool::ArrowAt(int x, int y) const {
  const TChartAxis* a = Axis();
  if (!a || !a->Visible()) return 0;
  const int along = a->Horizontal() ? x : y, across = a->Horizontal() ? y : x;
  if (std::abs(across - a->AxisLinePos) >= 3) return 0;
  if (Position != aaEnd && along > a->PixelFrom && along < a->PixelFrom + Length) return 1;
  if (Position != aaStart && along > a->PixelTo - Length && along < a->PixelTo) return 2;
  return 0;
}

void TAxisArrowTool::NotifyDrawStage(int event) {
  TChartAxis* a = Axis();
  if (event != cteAfterDraw || !a || !ParentChart()) return;
  TChartCanvas3D& c = ParentChart()->Canvas();
  c.PrepareBrush(brush_, brush_.Color());
  c.PreparePen(pen_);
  auto at = [&](int along) { return a->Horizontal() ? TPoint{along, a->AxisLinePos} : TPoint{a->AxisLinePos, along}; };
  if (Position != aaEnd) c.Arrow(true, at(a->PixelFrom + Length), at(a->PixelFrom), 8, 8, 0);
  if (Position != aaStart) c.Arrow(true, at(a->PixelTo - Length), at(a->PixelTo), 8, 8, 0);
}

bool ScrollAxisWithChart(TCustomAxisPanel& chart, TChartAxis& axis, double delta) {
  double aMin = axis.Minimum() + delta, aMax = axis.Maximum() + delta;
  auto* events = dynamic_cast<IChartScrollEvents*>(&chart);
  if (events && !events->AllowScroll(axis, aMin, aMax)) return false;
  axis.Scroll(delta, false);
  if (TChartAxis* other = OppositeAxis(chart, axis)) {
    const bool both = std::any_of(chart.SeriesList().begin(), chart.SeriesList().end(), [&](TChartSeries* s) {
      return axis.Horizontal() ? s->HorizAxis() == aBothHorizAxis : s->VertAxis() == aBothVertAxis;
    });
    if (both) other->Scroll(delta, false);
  }
  if (events) events->Scrolled();
  return true;
}

void TAxisArrowTool::NotifyMouseAction(TChartMouseEventKind event, TMouseButton, TShiftState, int x, int y) {
  TCustomAxisPanel* chart = ParentChart();
  const int arrow = chart ? ArrowAt(x, y) : 0;
  if (!arrow) return;
  if (event == kToolMouseMove) {
    SetCursor(chart, ToolCursor::HandPoint, true);
  } else if (event == kToolMouseDown && ScrollPercent != 0) {
    TChartAxis& a = *Axis();
    double delta = (a.Maximum() - a.Minimum()) * ScrollPercent / 100;
    if (ScrollInverted) delta = -delta;
    ScrollAxisWithChart(*chart, a, arrow == 1 ? delta : -delta);
    chart->StopMouseBroadcast = true;
    if (OnClick) OnClick(*this, arrow == 1);
  }
}

// --- Axis scroll

TChartAxis* TAxisScrollTool::AxisAt(int x, int y) const {
  const TCustomAxisPanel* chart = ParentChart();
  if (!chart) return nullptr;
  if (Axis()) return Axis()->Visible() && Axis()->HitTest(x, y) ? Axis() : nullptr;
  for (TChartAxis* a : chart->AllAxes())
    if (a->Visible() && !a->IsDepthAxis() && a->HitTest(x, y)) return a;
  return nullptr;
}

void TAxisScrollTool::Notification(TChartComponent* freed) {
  if (freed == static_cast<TChartComponent*>(ParentChart())) dragAxis_ = nullptr;
  TChartCustomToolAxis::Notification(freed);
}

void TAxisScrollTool::NotifyMouseAction(TChartMouseEventKind event, TMouseButton, TShiftState, int x, int y) {
  TCustomAxisPanel* chart = ParentChart();
  if (!chart) return;
  if (event == kToolMouseUp) {
    dragAxis_ = nullptr;
  } else if (event == kToolMouseDown) {
    dragAxis_ = AxisAt(x, y);
    last_ = {x, y};
  } else if (!dragAxis_) {
    if (AxisAt(x, y)) chart->Cursor = ToolCursor::HandPoint;
  } else {
    TChartAxis& a = *dragAxis_;
    const int pixels = a.Horizontal() ? x - last_.X : last_.Y - y;  // along the values' direction
    const int length = a.PixelSpan != 0 ? a.PixelSpan : a.PixelTo - a.PixelFrom;
    if (pixels == 0 || length == 0) return;
    double share = double(pixels) / length;
    if (a.Inverted() != ScrollInverted) share = -share;
    // Every other axis of this orientation that shares a series follows.
    std::vector<TChartAxis*> moved{&a};
    for (TChartAxis* o : chart->AllAxes()) {
      if (o == &a || o->IsDepthAxis() || o->Horizontal() != a.Horizontal()) continue;
      for (TChartSeries* s : chart->SeriesList())
        if (s->AssociatedToAxis(a) && s->AssociatedToAxis(*o)) {
          moved.push_back(o);
          break;
        }
    }
    for (TChartAxis* o : moved) o->Scroll((o->Maximum() - o->Minimum()) * share, false);
    last_ = {x, y};
    chart->StopMouseBroadcast = true;
  }
}

// --- Draw lines

TDrawLine::~TDrawLine() {
  if (owner_ && owner_->selected_ == this) owner_->selected_ = nullptr;
}

void TDrawLine::SetStyle(TDrawLineStyle v) {
  if (style_ == v) return;
  style_ = v;
  if (owner_) owner_->Repaint();
}

void TDrawLine::Set(int i, double v) {
  if (v_[i] == v) return;
  v_[i] = v;
  if (owner_) owner_->Repaint();
}

TDrawLineTool::~TDrawLineTool() {
  selected_ = nullptr;
  lines_.clear();
}

TDrawLine* TDrawLineTool::Line(int i) const {
  return i >= 0 && i < LineCount() ? lines_[size_t(i)].get() : nullptr;
}

TDrawLine& TDrawLineTool::AddLine(double x0, double y0, double x1, double y1) {
  auto l = std::make_unique<TDrawLine>(nullptr);
  l->v_[0] = x0, l->v_[1] = y0, l->v_[2] = x1, l->v_[3] = y1;
  l->owner_ = this;
  lines_.push_back(std::move(l));
  Repaint();
  return *lines_.back();
}

void TDrawLineTool::DeleteLine(int i) {
  if (!Line(i)) return;
  lines_.erase(lines_.begin() + i);
  Repaint();
}

TPoint TDrawLineTool::StartPixel(const TDrawLine& l) const {
  const TChartAxis *h = GetHorizAxis(), *v = GetVertAxis();
  return h && v ? TPoint{h->PixelOfValue(l.X0()), v->PixelOfValue(l.Y0())} : TPoint{};
}

TPoint TDrawLineTool::EndPixel(const TDrawLine& l) const {
  const TChartAxis *h = GetHorizAxis(), *v = GetVertAxis();
  return h && v ? TPoint{h->PixelOfValue(l.X1()), v->PixelOfValue(l.Y1())} : TPoint{};
}

int TDrawLineTool::HitKind(const TDrawLine& l, int x, int y, int kind) const {
  const TPoint a = StartPixel(l), b = EndPixel(l), p{x, y};
  auto onHandle = [&](TPoint h) { return std::abs(x - h.X) <= 3 && std::abs(y - h.Y) <= 3; };
  switch (kind) {
    case 0:
      if (l.Style() == dlLine) return PointNearLine(p, a, b, 3) ? 0 : -1;
      if (l.Style() == dlHorizParallel)
        return PointNearLine(p, a, {b.X, a.Y}, 3) || PointNearLine(p, {a.X, b.Y}, b, 3) ? 0 : -1;
      return PointNearLine(p, a, {a.X, b.Y}, 3) || PointNearLine(p, {b.X, a.Y}, b, 3) ? 0 : -1;
    case 1: return onHandle(a) ? 1 : -1;
    default: return onHandle(b) ? 2 : -1;
  }
}

TDrawLine* TDrawLineTool::LineAt(int x, int y, int& kind) const {
  // The selected line's handles come before its body: the body reaches the
  // ends, so trying it first would leave the handles no pixel to answer.
  if (selected_)
    for (int k : {1, 2, 0})
      if (HitKind(*selected_, x, y, k) == k) {
        kind = k;
        return selected_;
      }
  for (const auto& l : lines_)
    for (int k = 0; k < 3; ++k)
      if (HitKind(*l, x, y, k) == k) {
        kind = k;
        return l.get();
      }
  return nullptr;
}

void TDrawLineTool::DrawOne(TDrawLineStyle style, TPoint a, TPoint b, bool xorMode) {
  TCustomAxisPanel& chart = *ParentChart();
  TChartCanvas3D& c = chart.Canvas();
  if (xorMode) PrepareXorPen(chart, pen_);
  else c.PreparePen(pen_);
  auto line = [&](TPoint p, TPoint q) {
    if (chart.View3D()) c.LineAtDepth(p.X, p.Y, q.X, q.Y, 0);
    else c.Line(p.X, p.Y, q.X, q.Y);
  };
  if (style == dlLine) {
    line(a, b);
  } else if (style == dlHorizParallel) {
    line(a, {b.X, a.Y});
    line({a.X, b.Y}, b);
  } else {
    line(a, {a.X, b.Y});
    line({b.X, a.Y}, b);
  }
  if (xorMode) c.DC().SetRop2(TDCRop2::CopyPen);
}

void TDrawLineTool::NotifyDrawStage(int event) {
  if (event != cteAfterDraw || lines_.empty() || !ParentChart()) return;
  TChartCanvas3D& c = ParentChart()->Canvas();
  c.SetBackgroundMode(cbmTransparent);
  for (const auto& l : lines_) DrawOne(l->Style(), StartPixel(*l), EndPixel(*l), false);
  if (!selected_) return;
  c.DC().SetPen({TDCPenStyle::Clear, 1, clBlack});
  c.DC().SetBrush({TDCBrushStyle::Solid, ColorToRGB(ParentChart()->Color()) == clBlack ? clSilver : clBlack, {}});
  for (TPoint p : {StartPixel(*selected_), EndPixel(*selected_)}) c.FillRect({p.X - 3, p.Y - 3, p.X + 4, p.Y + 4});
}

void TDrawLineTool::NotifyMouseAction(TChartMouseEventKind event, TMouseButton button, TShiftState, int x, int y) {
  TCustomAxisPanel* chart = ParentChart();
  if (!chart || !GetHorizAxis() || !GetVertAxis()) return;
  const TDrawLineStyle style = dragging_ && selected_ ? selected_->Style() : dlLine;
  if (event == kToolMouseDown && button == Button) {
    int kind = 0;
    TDrawLine* found = EnableSelect ? LineAt(x, y, kind) : nullptr;
    if (found) {
      if (found == selected_) {
        dragging_ = true, dragKind_ = kind;
        from_ = StartPixel(*found), to_ = EndPixel(*found), last_ = {x, y};
      } else {
        bool allow = true;
        if (OnSelecting) OnSelecting(*this, *found, allow);
        if (allow) {
          selected_ = found;
          Repaint();
          if (OnSelect) OnSelect(*this);
        }
      }
      chart->StopMouseBroadcast = true;
    } else {
      if (selected_) selected_ = nullptr, Repaint();
      if (EnableDraw) {
        drawing_ = true;
        from_ = to_ = {x, y};
        DrawOne(dlLine, from_, to_, true);
      }
    }
  } else if (event == kToolMouseMove) {
    if (!drawing_ && !dragging_) {
      int kind = -1;
      if (selected_ && (HitKind(*selected_, x, y, 1) == 1 || HitKind(*selected_, x, y, 2) == 2))
        chart->Cursor = ToolCursor::Cross;
      else if (LineAt(x, y, kind))
        chart->Cursor = ToolCursor::HandPoint;
      return;
    }
    if (dragging_ && !selected_) {  // the line went while it was dragged
      dragging_ = false;
      return;
    }
    DrawOne(style, from_, to_, true);
    if (drawing_ || dragKind_ == 2) {
      to_ = {x, y};
    } else if (dragKind_ == 1) {
      from_ = {x, y};
    } else {
      const int dx = x - last_.X, dy = y - last_.Y;
      from_ = {from_.X + dx, from_.Y + dy}, to_ = {to_.X + dx, to_.Y + dy};
    }
    last_ = {x, y};
    DrawOne(style, from_, to_, true);
    chart->StopMouseBroadcast = true;
    if (OnDragLine) OnDragLine(*this);
  } else if (event == kToolMouseUp && button == Button) {
    const TChartAxis &h = *GetHorizAxis(), &v = *GetVertAxis();
    if (dragging_) {
      dragging_ = false;
      if (!selected_) return;
      selected_->SetX0(h.ValueAtPixel(from_.X)), selected_->SetY0(v.ValueAtPixel(from_.Y));
      selected_->SetX1(h.ValueAtPixel(to_.X)), selected_->SetY1(v.ValueAtPixel(to_.Y));
      Repaint();
      if (OnDraggedLine) OnDraggedLine(*this);
    } else if (drawing_) {
      drawing_ = false;
      if (from_ == to_) return;  // a click draws no line
      AddLine(h.ValueAtPixel(from_.X), v.ValueAtPixel(from_.Y), h.ValueAtPixel(to_.X), v.ValueAtPixel(to_.Y));
      if (OnNewLine) OnNewLine(*this);
    }
  }
}

// --- Nearest point

TNearestTool::TNearestTool() {
  brush_.SetStyle(bsClear);
  pen_.SetStyle(psDot);
  pen_.SetColor(clWhite);
  linePen_.OnChange = [this](TChartPersistent*) { Repaint(); };
}

int TNearestTool::NearestPoint(int x, int y) const {
  TChartSeries* s = Series();
  if (!s || !ParentChart() || !s->GetHorizAxis() || !s->GetVertAxis()) return -1;
  const TRect plot = ParentChart()->PlotRect();
  int best = -1;
  double bestDistance = 10000;
  for (int i = 0; i < s->Count(); ++i) {
    if (s->PointIsEmpty(i)) continue;
    const TPoint p{s->PointPixelX(i), s->PointPixelY(i)};
    if (!PointInRect(plot, p)) continue;
    const double d = std::hypot(double(p.X) - x, double(p.Y) - y);
    if (d < bestDistance) best = i, bestDistance = d;
  }
  return best;
}

void TNearestTool::PaintMarker(bool xorMode) {
  TChartSeries* s = Series();
  TCustomAxisPanel* chart = ParentChart();
  if (!s || !chart || Point < 0 || Point >= s->Count()) return;
  TChartCanvas3D& c = chart->Canvas();
  if (xorMode) PrepareXorPen(*chart, pen_);
  else c.PreparePen(pen_);
  c.PrepareBrush(brush_, brush_.Color());
  const int x = s->PointPixelX(Point), y = s->PointPixelY(Point), z = s->MiddleZ;
  const bool is3D = chart->View3D();
  const TRect r{x - Size, y - Size, x + Size, y + Size};
  if (Style == hsCircle) {
    if (is3D) c.EllipseAtDepth(r, z);
    else c.Ellipse(r);
  } else if (Style == hsRectangle) {
    if (is3D) c.RectangleAtDepth(r, z);
    else c.Rectangle(r);
  } else if (Style == hsDiamond) {
    const TPoint d[4] = {{x, y - Size}, {x + Size, y}, {x, y + Size}, {x - Size, y}};
    if (is3D) c.PolygonAtDepth(d, 4, z);
    else c.Polygon(d, 3);
  }
  if (DrawLine()) {
    if (xorMode) PrepareXorPen(*chart, linePen_);
    else c.PreparePen(linePen_);
    c.Line(mouse_.X, mouse_.Y, x, y);
  }
  if (xorMode) c.DC().SetRop2(TDCRop2::CopyPen);
}

void TNearestTool::NotifyDrawStage(int event) {
  if (event == cteAfterDraw) {
    PaintMarker(false);
  } else if (event == cteMouseLeave && Point >= 0) {
    if (!FullRepaint) PaintMarker(true);
    Point = -1;
    if (FullRepaint) Repaint();
  }
}

void TNearestTool::NotifyMouseAction(TChartMouseEventKind event, TMouseButton, TShiftState, int x, int y) {
  if (event != kToolMouseMove || !ParentChart()) return;
  if (!FullRepaint) PaintMarker(true);
  Point = NearestPoint(x, y);
  mouse_ = {x, y};
  if (!FullRepaint) PaintMarker(true);
  if (OnChange) OnChange(*this);
  if (FullRepaint) Repaint();
}

// --- Rotate

TRotateTool::TRotateTool() {
  pen_.SetVisible(false);
  pen_.SetMode(pmXor);
  pen_.SetColor(clWhite);
}

void TRotateTool::Outline() {
  TCustomAxisPanel& chart = *ParentChart();
  TChartCanvas3D& c = chart.Canvas();
  PrepareXorPen(chart, pen_);
  c.SetBrushStyle(bsClear);
  const TRect r = chart.PlotRect();
  for (int z : {0, chart.Depth3D()}) c.RectangleAtDepth(r, z);
  c.DC().SetRop2(TDCRop2::CopyPen);
  outlined_ = !outlined_;
}

void TRotateTool::NotifyMouseAction(TChartMouseEventKind event, TMouseButton button, TShiftState, int x, int y) {
  TCustomAxisPanel* chart = ParentChart();
  if (!chart) return;
  if (event == kToolMouseDown && button == Button) {
    rotating_ = true;
    last_ = {x, y};
    chart->SetView3D(true);
    chart->View3DOptions().SetOrthogonal(false);
    chart->StopMouseBroadcast = true;
  } else if (event == kToolMouseMove && rotating_) {
    const int sign = Inverted ? -1 : 1;
    const int dr = Round(sign * (x - last_.X) * 90.0 / std::max(1, chart->Width()));
    const int de = Round(sign * (y - last_.Y) * 90.0 / std::max(1, chart->Height()));
    last_ = {x, y};
    TView3DOptions& o = chart->View3DOptions();
    int rotation = o.Rotation(), elevation = o.Elevation();
    if (Style != rsElevation) rotation += dr;
    if (Style != rsRotation) elevation += de;
    if (chart->Canvas().IsAlternateRenderer()) {
      rotation = ((rotation % 360) + 360) % 360, elevation = ((elevation % 360) + 360) % 360;
    } else {
      rotation = std::clamp(rotation, 0, 360), elevation = std::clamp(elevation, 270, 360);
    }
    const bool outline = pen_.Visible();
    if (outline && outlined_) Outline();  // erase the former one
    const bool repaint = chart->AutoRepaint;
    if (outline) chart->AutoRepaint = false;  // only the outline moves during the drag
    o.SetRotation(rotation);
    o.SetElevation(elevation);
    chart->AutoRepaint = repaint;
    if (outline) Outline();
    if (OnRotate) OnRotate(*this);
    chart->StopMouseBroadcast = true;
  } else if (event == kToolMouseUp && rotating_) {
    rotating_ = false;
    if (pen_.Visible()) {
      outlined_ = false;
      chart->Invalidate();
    }
  }
}

// --- Image

TChartImageTool::TChartImageTool() {
  picture_.OnChange = [this](TChartPersistent*) { Repaint(); };
}

void TChartImageTool::NotifyDrawStage(int event) {
  TChartAxis *h = GetHorizAxis(), *v = GetVertAxis();
  if (event != cteBeforeDrawSeries || picture_.Empty() || !h || !v || !ParentChart()) return;
  TChartSeries* s = Series();
  if (s && s->Count() == 0) return;
  const double x0 = s ? s->LowestX() : h->Minimum(), x1 = s ? s->HighestX() : h->Maximum();
  const double y0 = s ? s->LowestY() : v->Minimum(), y1 = s ? s->HighestY() : v->Maximum();
  const TRect r = NormalizeRect({h->PixelOfValue(x0), v->PixelOfValue(y1), h->PixelOfValue(x1), v->PixelOfValue(y0)});
  ParentChart()->Canvas().StretchDraw(r, &picture_.Image());
}

// --- Mark tips

void TMarksTipTool::NotifyMouseAction(TChartMouseEventKind event, TMouseButton, TShiftState, int x, int y) {
  TCustomAxisPanel* chart = ParentChart();
  if (!chart || event != (MouseAction == mtmMove ? kToolMouseMove : kToolMouseDown)) return;
  for (TChartSeries* s : SeriesToSearch(*this)) {
    if (!s->Active()) continue;
    const int i = s->Clicked(x, y);
    if (i < 0 || i >= s->Count()) continue;
    // The tool's style for the moment, without repainting the chart.
    TSeriesMarks& marks = s->Marks();
    auto onChange = std::move(marks.OnChange);
    marks.OnChange = nullptr;
    const TSeriesMarksStyle old = marks.Style();
    marks.SetStyle(Style);
    std::string text = marks.TextOf(i);
    marks.SetStyle(old);
    marks.OnChange = std::move(onChange);
    if (OnGetText) OnGetText(*this, text);
    if (text == hint_) return;
    hint_ = text;
    if (ShowHint) ShowHint(*chart, hint_, {x, y});
    return;
  }
  for (TChartCustomTool* t : chart->Tools())
    if (t != this && dynamic_cast<TMarksTipTool*>(t)) return;
  if (hint_.empty()) return;
  hint_.clear();
  if (ShowHint) ShowHint(*chart, {}, {x, y});
}

// --- Annotation

TAnnotationTool::TAnnotationTool() {
  shape_.OnChange = [this](TChartPersistent*) { Repaint(); };
  callout_.OnChange = [this](TChartPersistent*) { Repaint(); };
}

void TAnnotationTool::SetText(const std::string& v) {
  if (text_ == v) return;
  text_ = v;
  Repaint();
}

TSize TAnnotationTool::TextSize() {
  TChartCanvas3D& c = ParentChart()->Canvas();
  c.PrepareFont(shape_.Font());
  const std::vector<std::string> lines = SplitLines(text_.empty() ? std::string(" ") : text_);
  int w = 0;
  for (const std::string& l : lines) w = std::max(w, c.TextWidth(l));
  return {w, int(lines.size()) * c.FontPixelHeight()};
}

TPoint TAnnotationTool::Anchor(TSize t) {
  const TCustomAxisPanel& chart = *ParentChart();
  const int w = chart.Width(), h = chart.Height();
  if (shape_.CustomPosition) {
    if (PositionUnits == muPercent) return {Round(shape_.Left * w * 0.01), Round(shape_.Top * h * 0.01)};
    return {shape_.Left + 4, shape_.Top + 2};
  }
  switch (Position) {
    case ppLeftTop: return {10, 10};
    case ppLeftBottom: return {10, h - t.cy - 8};
    case ppRightTop: return {w - t.cx - 8, 10};
    default: return {w - t.cx - 8, h - t.cy - 8};
  }
}

TRect TAnnotationTool::ShapeBounds() {
  if (!ParentChart()) return {};
  const TSize t = TextSize();
  const TPoint p = Anchor(t);
  const int w = AutoSize ? t.cx + 6 : shape_.Width, h = AutoSize ? t.cy + 4 : shape_.Height;
  return {p.X - 4, p.Y - 2, p.X - 4 + w, p.Y - 2 + h};
}

void TAnnotationTool::NotifyDrawStage(int event) {
  if (event != cteAfterDraw || !ParentChart() || !shape_.Visible()) return;
  TChartCanvas3D& c = ParentChart()->Canvas();
  const TRect r = ShapeBounds();
  if (callout_.Visible() && callout_.Arrow().Visible()) {
    c.PreparePen(callout_.Arrow());
    c.MoveTo((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    const TPoint to = c.ProjectToPoint(callout_.XPosition, callout_.YPosition, callout_.ZPosition);
    c.LineTo(to.X, to.Y);
  }
  c.PrepareBrush(shape_.Brush(), shape_.Color);
  c.PreparePen(shape_.Pen());
  shape_.PaintRotatedShape(c, r, 0);
  const TSize t = TextSize();
  const std::vector<std::string> lines = SplitLines(text_);
  c.SetBackgroundMode(cbmTransparent);
  c.SetTextAlign(TA_LEFT | TA_TOP);
  const int lineHeight = lines.empty() ? 0 : t.cy / int(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    const int free = t.cx - c.TextWidth(lines[i]);
    const int dx = TextAlignment == taCenter ? free / 2 : TextAlignment == taRightJustify ? free : 0;
    c.TextOut(r.Left + 4 + dx, r.Top + 2 + int(i) * lineHeight, lines[i]);
  }
}

void TAnnotationTool::NotifyMouseAction(TChartMouseEventKind event, TMouseButton button, TShiftState shift, int x,
                                        int y) {
  TCustomAxisPanel* chart = ParentChart();
  if (!chart || event == kToolMouseUp) return;
  const TRect r = ShapeBounds();
  if (x < r.Left || x >= r.Right || y < r.Top || y >= r.Bottom) return;
  if (event == kToolMouseDown && OnClick) OnClick(*this, button, shift, x, y);
  if (event == kToolMouseMove && Cursor != 0) chart->Cursor = Cursor;
}

// --- Rectangle

TRectangleTool::TRectangleTool() {
  AutoSize = false;
  shape_.CustomPosition = true;
  shape_.Left = shape_.Top = 10;
  shape_.Width = shape_.Height = 50;
  shape_.Shadow().SetSize(0);
  shape_.Transparency = 75;
  Cursor = ToolCursor::HandPoint;
}

int TRectangleTool::EdgesAt(int x, int y) {
  const TRect r = ShapeBounds();
  if (x < r.Left - 4 || x > r.Right + 4 || y < r.Top - 4 || y > r.Bottom + 4) return 0;
  return (std::abs(x - r.Left) <= 4 ? 1 : 0) | (std::abs(y - r.Top) <= 4 ? 2 : 0) |
         (std::abs(x - r.Right) <= 4 ? 4 : 0) | (std::abs(y - r.Bottom) <= 4 ? 8 : 0);
}

void TRectangleTool::NotifyMouseAction(TChartMouseEventKind event, TMouseButton button, TShiftState shift, int x,
                                       int y) {
  TCustomAxisPanel* chart = ParentChart();
  if (!chart) return;
  if (event == kToolMouseUp) {
    moving_ = false, edges_ = 0;
    return;
  }
  if (event == kToolMouseDown) {
    const TRect r = ShapeBounds();
    edges_ = EdgesAt(x, y);
    moving_ = !edges_ && x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
    last_ = {x, y};
    if (moving_ || edges_) chart->StopMouseBroadcast = true;
    TAnnotationTool::NotifyMouseAction(event, button, shift, x, y);
    return;
  }
  if (!moving_ && !edges_) {
    static constexpr TCursor kCursors[16] = {
        0, ToolCursor::SizeWE, ToolCursor::SizeNS, ToolCursor::SizeNWSE, ToolCursor::SizeWE, 0,
        ToolCursor::SizeNESW, 0, ToolCursor::SizeNS, ToolCursor::SizeNESW, 0, 0, ToolCursor::SizeNWSE};
    if (const int e = EdgesAt(x, y); e && kCursors[e]) chart->Cursor = kCursors[e];
    else TAnnotationTool::NotifyMouseAction(event, button, shift, x, y);
    return;
  }
  // The box follows in pixels, or in percent of the chart for percent units.
  const int dx = x - last_.X, dy = y - last_.Y;
  last_ = {x, y};
  const bool percent = PositionUnits == muPercent;
  auto moveX = [&](int d) { return percent ? Round(d * 100.0 / std::max(1, chart->Width())) : d; };
  auto moveY = [&](int d) { return percent ? Round(d * 100.0 / std::max(1, chart->Height())) : d; };
  if (moving_) {
    shape_.Left += moveX(dx), shape_.Top += moveY(dy);
  } else {
    if (edges_ & 1) shape_.Left += moveX(dx), shape_.Width -= dx;
    if (edges_ & 2) shape_.Top += moveY(dy), shape_.Height -= dy;
    if (edges_ & 4) shape_.Width += dx;
    if (edges_ & 8) shape_.Height += dy;
    shape_.Width = std::max(shape_.Width, 1), shape_.Height = std::max(shape_.Height, 1);
  }
  chart->StopMouseBroadcast = true;
  Repaint();
  if (moving_ && OnDragging) OnDragging(*this);
  if (!moving_ && OnResizing) OnResizing(*this);
}

// --- Series animation

TSeriesAnimationTool::~TSeriesAnimationTool() { *alive_ = false; }

bool TSeriesAnimationTool::Execute() {
  TChartSeries* s = Series();
  if (running_ || !s || s->Count() == 0 || Steps < 1) return true;
  const std::shared_ptr<bool> alive = alive_;
  const int n = s->Count();
  std::vector<double> real(static_cast<size_t>(n)), shown(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) real[size_t(i)] = s->YValue(i);
  const double start = StartAtMin ? *std::min_element(real.begin(), real.end()) : StartValue;
  running_ = true, stop_ = false;
  // The series is whole and holds what the animation wrote last.
  auto unchanged = [&] {
    if (!*alive || Series() != s || s->Count() != n) return false;
    for (int i = 0; i < n; ++i)
      if (s->YValue(i) != shown[size_t(i)]) return false;
    return true;
  };
  bool up = true;
  for (int step = 1;; ++step) {
    const int k = up ? step : Steps - step;
    for (int i = 0; i < n; ++i) {
      shown[size_t(i)] = start + (real[size_t(i)] - start) * k / Steps;
      s->YValues().SetValue(i, shown[size_t(i)]);
    }
    if (OnStep) OnStep(*this, step);
    if (!*alive) return false;
    if (DrawEvery <= 1 || step % DrawEvery == 0) {
      Repaint();
      if (ProcessMessages) ProcessMessages();
      else if (QCoreApplication::instance()) QCoreApplication::processEvents();
    }
    if (!unchanged()) {
      if (*alive) running_ = false;
      return false;
    }
    if (stop_) break;
    if (step == Steps) {
      if (Loop == salNo) break;
      if (Loop == salCircular) up = !up;
      step = 0;
    }
  }
  for (int i = 0; i < n; ++i) s->YValues().SetValue(i, real[size_t(i)]);
  running_ = false;
  Repaint();
  return true;
}

// --- Grid band

TGridBandTool::TGridBandTool() {
  for (TGridBandBrush* b : {&band1_, &band2_}) b->OnChange = [this](TChartPersistent*) { Repaint(); };
}

TGridBandTool::~TGridBandTool() { SetAxis(nullptr); }

void TGridBandTool::SetAxis(TChartAxis* a) {
  if (TChartAxis* old = Axis(); old && old->GridPainter == this) old->GridPainter = nullptr;
  TChartCustomToolAxis::SetAxis(a);
  if (a) a->GridPainter = this;
}

void TGridBandTool::PaintGridBands(TChartAxis& axis) {
  TCustomAxisPanel* chart = ParentChart();
  if (!chart || !Active() || &axis != Axis()) return;
  TChartCanvas3D& c = chart->Canvas();
  const TRect plot = chart->PlotRect();
  std::vector<int> edges{axis.PixelFrom, axis.PixelTo};
  for (int p : axis.Ticks_)
    if (p > std::min(axis.PixelFrom, axis.PixelTo) && p < std::max(axis.PixelFrom, axis.PixelTo)) edges.push_back(p);
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
  for (size_t i = 0; i + 1 < edges.size(); ++i) {
    const TGridBandBrush& b = i % 2 == 0 ? band1_ : band2_;
    if (b.Style() == bsClear) continue;
    const TRect r = axis.Horizontal() ? TRect{edges[i], plot.Top, edges[i + 1], plot.Bottom}
                                      : TRect{plot.Left, edges[i], plot.Right, edges[i + 1]};
    c.PrepareBrushWithColor(b, b.Color(), b.BackColor == clNone ? chart->GetBackColor() : b.BackColor);
    std::unique_ptr<TChartBlend> blend;
    if (b.Transparency > 0) blend = c.StartTransparency(r, b.Transparency);
    c.FillRect(r);
    if (blend) c.FinishTransparency(std::move(blend));
  }
}

// --- Clip series

TClipSeriesTool::~TClipSeriesTool() { SetSeries(nullptr); }

void TClipSeriesTool::SetSeries(TChartSeries* s) {
  if (TChartSeries* old = Series(); old && old != s) old->BeforeDrawValues = old->AfterDrawValues = nullptr;
  TChartCustomToolSeries::SetSeries(s);
  if (!s) return;
  s->BeforeDrawValues = [this](TChartSeries& series) {
    TCustomAxisPanel* chart = series.ParentChart();
    const TChartAxis *h = series.GetHorizAxis(), *v = series.GetVertAxis();
    clipped_ = Active() && chart && h && v && chart->ClippingAllowed();
    if (clipped_) chart->Canvas().ClipToRect(NormalizeRect({h->PixelFrom, v->PixelFrom, h->PixelTo, v->PixelTo}));
  };
  s->AfterDrawValues = [this](TChartSeries& series) {
    if (clipped_ && series.ParentChart()) series.ParentChart()->Canvas().RestoreClip();
    clipped_ = false;
  };
}
