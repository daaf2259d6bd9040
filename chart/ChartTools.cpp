#include "chart/ChartTools.h"

#include <algorithm>
#include <cmath>

#include "chart/Chart.h"
#include "chart/ChartToolRegistration.h"
#include "chart/ChartToolsExtra.h"
#include "platform/PainterDC.h"

// --- Tool classes

namespace {

struct TSegment {
  TPoint A, B;
};

// Draws `segments` with the pen the chart's canvas holds, in `rop`. Between
// repaints the same goes onto the offscreen buffer, so a later repaint from
// the buffer shows what the window shows, and the window is asked to show
// itself again (the host's repaint request, without a new frame).
void DrawSegments(TCustomAxisPanel& chart, const std::vector<TSegment>& segments, TDCRop2 rop, bool betweenFrames) {
  TChartCanvas3D& c = chart.Canvas();
  const TDCPen pen = c.DC().Pen();
  auto draw = [&](IDeviceContext& dc) {
    dc.SetPen(pen);
    dc.SetRop2(rop);
    for (const TSegment& s : segments) {
      dc.MoveTo(s.A.X, s.A.Y);
      dc.LineTo(s.B.X, s.B.Y);
    }
    dc.SetRop2(TDCRop2::CopyPen);
  };
  draw(c.DC());
  if (!betweenFrames) return;
  if (c.GetOffscreenBuffering() && !c.Buffer().isNull()) {
    // The buffer is the canvas' own (non-const) image; no frame paints on it now.
    TPainterDC buffer(&const_cast<QImage&>(c.Buffer()));
    draw(buffer);
    c.BufferDrawnOn();
  }
  if (chart.OnInvalidate) chart.OnInvalidate();
}

// A raster surface that is not being recorded: XOR drawing can be undone there.
bool CanReadBack(TCustomAxisPanel& chart) { return chart.Canvas().DC().IsRaster() && !chart.Canvas().Metafiling; }

}  // namespace

namespace {
std::vector<TChartToolTypeEntry> AllToolTypes() {
  std::vector<TChartToolTypeEntry> all = {
      ChartToolType<TCursorTool>("TCursorTool", TCursorTool::DesignEditorName()),
      ChartToolType<TColorBandTool>("TColorBandTool", TColorBandTool::DesignEditorName()),
      ChartToolType<TColorLineTool>("TColorLineTool", TColorLineTool::DesignEditorName()),
  };
  for (TChartToolTypeEntry& e : OtherChartToolTypes()) all.push_back(std::move(e));
  return all;
}
}  // namespace

void RegisterChartToolTypes() { ChartToolTypes().Register(AllToolTypes()); }

void RemoveChartToolTypes() {
  std::vector<std::string> names;
  for (const TChartToolTypeEntry& e : AllToolTypes()) names.push_back(e.ClassName);
  ChartToolTypes().Remove(names);
}

// --- Cursor

TCursorTool::TCursorTool() = default;

void TCursorTool::SetStyle(TCursorToolStyle v) {
  if (v == style_) return;
  style_ = v;
  SnapToNearest();
  Repaint();
}

void TCursorTool::SetUseSeriesZ(bool v) {
  if (v == useSeriesZ_) return;
  useSeriesZ_ = v;
  Repaint();
}

void TCursorTool::SetSeries(TChartSeries* s) {
  TChartCustomToolSeries::SetSeries(s);
  if (s && !(ParentChart() && ParentChart()->IsLoading)) {
    SnapToNearest();
    Repaint();
  }
}

void TCursorTool::SetXValue(double v) {
  if (v == xValue_) return;
  xValue_ = v;
  // Written before the cursor was ever placed (the axes may not be laid out
  // yet): the first repaint places it and keeps this value.
  if (pixelX_ == -1 || pixelY_ == -1) xGiven_ = true;
  else RecomputePixels();
  Changed(-1);
  Repaint();
}

int TCursorTool::SeriesZ() const { return Series() ? Series()->StartZ : 0; }

TPoint TCursorTool::ToPlane(int x, int y) const {
  if (!useSeriesZ_ || !ParentChart()) return {x, y};
  return ParentChart()->Canvas().UnprojectPoint(x, y, SeriesZ());
}

TRect TCursorTool::CursorRect() const {
  TRect r;
  TChartAxis* h = GetHorizAxis();
  TChartAxis* v = GetVertAxis();
  if (SpanPlotRect && ParentChart()) {
    r = ParentChart()->PlotRect();
  } else if (h && v) {
    r = {h->PixelFrom, v->PixelFrom, h->PixelTo, v->PixelTo};
  }
  if (OnCursorRect) OnCursorRect(*const_cast<TCursorTool*>(this), r);
  return r;
}

bool TCursorTool::Inside(int x, int y) const {
  const TPoint p = ToPlane(x, y);
  const TRect r = CursorRect();
  return p.X >= r.Left && p.X <= r.Right && p.Y >= r.Top && p.Y <= r.Bottom;
}

void TCursorTool::ValuesFromPixels(int x, int y) {
  TChartAxis* h = GetHorizAxis();
  TChartAxis* v = GetVertAxis();
  if (!h || !v) return;
  const TPoint p = ToPlane(x, y);
  if (dragging_ != 2) yValue_ = v->ValueAtPixel(p.Y);
  if (dragging_ != 1) xValue_ = h->ValueAtPixel(p.X);
}

void TCursorTool::RecomputePixels() {
  TChartAxis* h = GetHorizAxis();
  TChartAxis* v = GetVertAxis();
  if (!h || !v) return;
  if (pixelX_ == -1 || pixelY_ == -1) {
    // First placing: the middle of both axes.
    pixelX_ = (h->PixelFrom + h->PixelTo) / 2;
    pixelY_ = (v->PixelFrom + v->PixelTo) / 2;
    const double given = xValue_;
    ValuesFromPixels(pixelX_, pixelY_);
    if (xGiven_) xValue_ = given;
    xGiven_ = false;
    const int index = SnapToNearest();
    pixelX_ = h->PixelOfValue(xValue_);
    pixelY_ = v->PixelOfValue(yValue_);
    Changed(index);
    return;
  }
  pixelX_ = h->PixelOfValue(xValue_);
  pixelY_ = v->PixelOfValue(yValue_);
}

int TCursorTool::NearestPoint() const {
  const TChartSeries* s = Series();
  if (!s || s->Count() == 0) return -1;
  const int count = s->Count();
  const int first = std::max(0, s->FirstShownIndex);
  int last = s->LastShownIndex;
  if (last < 0 || last >= count) last = count - 1;
  if (first > count || last > count || last < first) return -1;
  int best = -1;
  double bestDistance = 0;
  for (int i = first; i <= last; ++i) {
    if (s->PointIsEmpty(i)) continue;  // a gap has no place to snap to
    double d;
    switch (style_) {
      case cssHorizontal: d = std::fabs(yValue_ - s->YValue(i)); break;
      case cssVertical: d = std::fabs(xValue_ - s->XValue(i)); break;
      default: d = std::hypot(xValue_ - s->XValue(i), yValue_ - s->YValue(i)); break;
    }
    if (best < 0 || d < bestDistance) best = i, bestDistance = d;
  }
  return best;
}

int TCursorTool::SnapToNearest() {
  TChartSeries* s = Series();
  if (!s || !Snap) return -1;
  const int i = NearestPoint();
  if (i < 0) return -1;
  if (style_ != cssVertical) yValue_ = s->YValue(i);
  if (style_ != cssHorizontal) xValue_ = s->XValue(i);
  return i;
}

int TCursorTool::HitTest(int x, int y) const {
  if (!Inside(x, y)) return 0;
  const bool nearY = std::abs(y - pixelY_) < 3, nearX = std::abs(x - pixelX_) < 3;
  if (style_ == cssBoth && nearX && nearY) return 3;
  if (style_ != cssVertical && nearY) return 1;
  if (style_ != cssHorizontal && nearX) return 2;
  return 0;
}

void TCursorTool::Changed(int valueIndex) {
  if (OnChange) OnChange(*this, pixelX_, pixelY_, xValue_, yValue_, Series(), valueIndex);
}

void TCursorTool::DrawCursor(bool betweenFrames) {
  TCustomAxisPanel* chart = ParentChart();
  if (!chart || pixelX_ == -1 || pixelY_ == -1) return;
  TChartCanvas3D& c = chart->Canvas();
  const TColor back = ColorToRGB(chart->Color() == clDefault ? clBtnFace : chart->Color());
  const TColor penColor = ColorToRGB(Pen().Color());
  // Where XOR cannot be undone the line gets the colour XOR leaves over the background.
  const bool xorMode = CanReadBack(*chart);
  c.PreparePenWithColor(Pen(), xorMode ? penColor ^ back : penColor);
  c.SetBrushStyle(bsClear);
  const TRect r = CursorRect();
  const int z = SeriesZ();
  std::vector<TSegment> segments;
  auto add = [&](int x0, int y0, int x1, int y1) {
    if (useSeriesZ_) segments.push_back({c.ProjectToPoint(x0, y0, z), c.ProjectToPoint(x1, y1, z)});
    else segments.push_back({{x0, y0}, {x1, y1}});
  };
  // A line whose value lies outside the axes' range is not drawn (over the
  // axis or beside the plot it would mark nothing).
  if (style_ != cssVertical && pixelY_ >= r.Top && pixelY_ <= r.Bottom) add(r.Left, pixelY_, r.Right, pixelY_);
  if (style_ != cssHorizontal && pixelX_ >= r.Left && pixelX_ <= r.Right) add(pixelX_, r.Top, pixelX_, r.Bottom);
  if (segments.empty()) return;
  DrawSegments(*chart, segments, xorMode ? TDCRop2::XorPen : TDCRop2::CopyPen, betweenFrames);
}

void TCursorTool::NotifyDrawStage(int event) {
  if (event != cteAfterDraw) return;
  RecomputePixels();
  DrawCursor(false);
}

void TCursorTool::NotifyMouseAction(TChartMouseEventKind event, TMouseButton, TShiftState, int x, int y) {
  TCustomAxisPanel* chart = ParentChart();
  switch (event) {
    case kToolMouseDown:
      // Any button: a right press on a line drags it as well.
      if (FollowMouse) return;
      dragging_ = HitTest(x, y);
      if (dragging_ && chart) chart->StopMouseBroadcast = true;
      return;
    case kToolMouseUp:
      dragging_ = 0;
      return;
    case kToolMouseMove:
      break;
  }
  if ((dragging_ || FollowMouse) && Inside(x, y)) {
    DrawCursor(true);  // erases it
    ValuesFromPixels(x, y);
    const int index = SnapToNearest();
    if (pixelX_ != -1 && pixelY_ != -1) RecomputePixels();
    DrawCursor(true);
    Changed(index);
    if (OnSnapChange && index != previousSnap_)
      OnSnapChange(*this, pixelX_, pixelY_, xValue_, yValue_, Series(), index);
    previousSnap_ = index;
    return;
  }
  const int part = HitTest(x, y);
  if (!chart) return;
  static constexpr TCursor kCursors[] = {0, Qt::SplitVCursor, Qt::SplitHCursor, Qt::SizeAllCursor};
  if (part) chart->Cursor = kCursors[part];
  chart->StopMouseBroadcast = part != 0;
}

// --- Colour line

TColorLineTool::TColorLineTool() = default;

void TColorLineTool::SetDraw3D(bool v) {
  if (v == draw3D_) return;
  draw3D_ = v;
  Repaint();
}

void TColorLineTool::SetDrawBehind(bool v) {
  if (v == drawBehind_) return;
  drawBehind_ = v;
  Repaint();
}

void TColorLineTool::SetStyle(TColorLineStyle v) {
  if (v == style_) return;
  style_ = v;
  Repaint();
}

void TColorLineTool::SetValue(double v) {
  const TColorLineStyle oldStyle = style_;
  if (!ReadingForm) style_ = clCustom;
  if (dragging_ && !DragRepaint) {
    value_ = v;
    return;
  }
  if (v == value_ && style_ == oldStyle) return;
  value_ = v;
  Repaint();
}

double TColorLineTool::PlacedValue() const {
  const TChartAxis* a = Axis();
  if (!a) return value_;
  switch (style_) {
    case clMaximum: return a->Maximum();
    case clCenter: return (a->Maximum() + a->Minimum()) * 0.5;
    case clMinimum: return a->Minimum();
    default: return value_;
  }
}

void TColorLineTool::SetHostChart(TCustomAxisPanel* chart) {
  if (host_ && host_ != chart && host_ != ParentChart()) RemoveFreeNotification(host_);
  host_ = chart;
  if (chart) FreeNotification(chart);
}

void TColorLineTool::Notification(TChartComponent* freed) {
  TChartCustomToolAxis::Notification(freed);
  if (host_ && freed == static_cast<TChartComponent*>(host_)) {
    host_ = nullptr;
    SetAxis(nullptr);  // the axes went with their chart
  }
}

void TColorLineTool::Repaint() {
  if (TCustomAxisPanel* c = Chart()) c->Invalidate();
}

void TColorLineTool::Assign(const TColorLineTool& s) {
  AllowDrag = s.AllowDrag, DragRepaint = s.DragRepaint, NoLimitDrag = s.NoLimitDrag;
  draw3D_ = s.draw3D_, drawBehind_ = s.drawBehind_, style_ = s.style_, value_ = s.value_;
  SetActive(s.Active());
  Pen().Assign(s.pen_);
  Brush().Assign(s.brush_);
  Repaint();
}

double TColorLineTool::ClampToAxis(double v) const {
  const TChartAxis* a = Axis();
  if (!a) return v;
  int first = a->PixelTo, second = a->PixelFrom;
  if (a->Horizontal()) std::swap(first, second);
  if (a->Inverted()) std::swap(first, second);
  const double low = a->ValueAtPixel(first), high = a->ValueAtPixel(second);
  if (v < low) return low;
  return v <= high ? v : high;
}

bool TColorLineTool::HitTest(int x, int y) const {
  const TChartAxis* a = Axis();
  const TCustomAxisPanel* chart = Chart();
  if (!a || !chart) return false;
  const int p = a->PixelOfValue(PlacedValue());
  if (std::abs((a->Horizontal() ? x : y) - p) >= 3) return false;
  const TRect r = chart->PlotRect();
  return a->Horizontal() ? y >= r.Top && y <= r.Bottom : x >= r.Left && x <= r.Right;
}

void TColorLineTool::DrawColorLine(bool behind) {
  TChartAxis* a = Axis();
  TCustomAxisPanel* chart = Chart();
  if (!a || !chart) return;
  if (AllowDrag && !NoLimitDrag) value_ = ClampToAxis(value_);
  // A line dragged by XOR is drawn by the drag, not by a repaint.
  if (!behind && !xorDrawing_ && dragging_ && !DragRepaint && !chart->View3D()) return;
  TChartCanvas3D& c = chart->Canvas();
  const int p = a->PixelOfValue(PlacedValue());
  c.PreparePen(Pen());
  c.SetBackgroundMode(cbmTransparent);
  const TRect r = chart->PlotRect();
  const int depth = chart->Depth3D();
  std::vector<TSegment> segments;
  auto add = [&](int x0, int y0, int z0, int x1, int y1, int z1) {
    segments.push_back({c.ProjectToPoint(x0, y0, z0), c.ProjectToPoint(x1, y1, z1)});
  };
  const bool horizontal = a->Horizontal();
  if (behind) {
    if (horizontal) {
      if (draw3D_) add(p, r.Bottom, 0, p, r.Bottom, depth);
      if (drawBehind_ || draw3D_) add(p, r.Top, depth, p, r.Bottom, depth);
    } else {
      if (draw3D_) add(r.Left, p, 0, r.Left, p, depth);
      if (drawBehind_ || draw3D_) add(r.Left, p, depth, r.Right, p, depth);
    }
  } else if (horizontal) {
    if (draw3D_) add(p, r.Top, 0, p, r.Top, depth);
    if (!drawBehind_) add(p, r.Top, 0, p, r.Bottom, 0);
  } else {
    if (draw3D_) add(r.Right, p, 0, r.Right, p, depth);
    if (!drawBehind_) add(r.Left, p, 0, r.Right, p, 0);
  }
  const bool notXor = xorDrawing_ && CanReadBack(*chart);
  DrawSegments(*chart, segments, notXor ? TDCRop2::NotXorPen : c.DC().Rop2(), xorDrawing_);
}

void TColorLineTool::EndDrag() {
  if (OnDragDone) OnDragDone(*this);
  if (OnEndDragLine) OnEndDragLine(*this);
}

void TColorLineTool::NotifyDrawStage(int event) {
  if (!Axis()) return;
  if (event == cteBeforeDrawSeries) DrawColorLine(true);
  else if (event == cteAfterDraw) DrawColorLine(false);
}

void TColorLineTool::NotifyMouseAction(TChartMouseEventKind event, TMouseButton button, TShiftState, int x, int y) {
  TChartAxis* a = Axis();
  TCustomAxisPanel* chart = Chart();
  if (!AllowDrag || !a || !chart) return;
  switch (event) {
    case kToolMouseDown:
      if (button != mbLeft) return;
      dragging_ = HitTest(x, y);
      chart->StopMouseBroadcast = dragging_;
      if (dragging_ && OnBeginDragLine) OnBeginDragLine(*this);
      return;
    case kToolMouseUp:
      if (!dragging_) return;
      if (!DragRepaint) chart->Invalidate();
      EndDrag();
      dragging_ = false;
      return;
    case kToolMouseMove:
      break;
  }
  if (!dragging_) {
    if (HitTest(x, y)) {
      chart->Cursor = a->Horizontal() ? Qt::SplitHCursor : Qt::SplitVCursor;
      chart->StopMouseBroadcast = true;
    }
    return;
  }
  double v = a->ValueAtPixel(a->Horizontal() ? x : y);
  if (!NoLimitDrag) v = ClampToAxis(v);
  bool moved = false;
  // On a flat chart both parts are one line: drawn twice by not-XOR it would
  // cancel itself out.
  const bool backPart = chart->View3D();
  if (DragRepaint) {
    SetValue(v);
  } else if (PlacedValue() != v) {
    xorDrawing_ = true;
    if (backPart) DrawColorLine(true);  // erases the line at its old place
    DrawColorLine(false);
    style_ = clCustom;
    value_ = v;
    moved = true;
  }
  chart->StopMouseBroadcast = true;
  if (OnDragLine) OnDragLine(*this);
  if (moved) {
    if (backPart) DrawColorLine(true);
    DrawColorLine(false);
    xorDrawing_ = false;
  }
}

// --- Colour band

TColorBandTool::TColorBandTool()
    : gradient_([this](TChartPersistent*) { Repaint(); }),
      lower_(std::make_unique<TColorLineTool>()),
      upper_(std::make_unique<TColorLineTool>()) {
  for (TColorLineTool* line : {lower_.get(), upper_.get()}) {
    line->SetActive(false);
    line->DragRepaint = true;
    line->OnDragLine = [this](TColorLineTool& l) {
      if (l.DragRepaint) LineMoved(l);
    };
    line->OnDragDone = [this](TColorLineTool& l) {
      if (!l.DragRepaint) LineMoved(l);
    };
  }
}

TColorBandTool::~TColorBandTool() = default;

void TColorBandTool::LineMoved(TColorLineTool& line) {
  if (&line == lower_.get()) SetStartValue(line.Value());
  else SetEndValue(line.Value());
}

void TColorBandTool::SetParentChart(TCustomAxisPanel* chart) {
  TChartCustomToolAxis::SetParentChart(chart);
  lower_->SetHostChart(chart);
  upper_->SetHostChart(chart);
}

void TColorBandTool::SetAxis(TChartAxis* a) {
  if (a == Axis()) return;
  TChartCustomToolAxis::SetAxis(a);
  for (TColorLineTool* line : {lower_.get(), upper_.get()}) {
    line->SetAxis(a);
    line->SetParentChart(nullptr);  // the band hands it the drawing and the mouse
    line->SetHostChart(ParentChart());
  }
}

void TColorBandTool::SetColor(TColor v) {
  if (v == color_) return;
  color_ = v;
  Repaint();
}

void TColorBandTool::SetDrawBehind(bool v) {
  if (v == drawBehind_) return;
  drawBehind_ = v;
  Repaint();
}

void TColorBandTool::SetDrawBehindAxes(bool v) {
  if (v == drawBehindAxes_) return;
  drawBehindAxes_ = v;
  Repaint();
}

void TColorBandTool::SetStartValue(double v) {
  if (v == startValue_) return;
  startValue_ = v;
  lower_->SetValue(v);
  Repaint();
}

void TColorBandTool::SetEndValue(double v) {
  if (v == endValue_) return;
  endValue_ = v;
  upper_->SetValue(v);
  Repaint();
}

void TColorBandTool::SetTransparency(int v) {
  v = std::clamp(v, 0, 100);
  if (v == transparency_) return;
  transparency_ = v;
  Repaint();
}

void TColorBandTool::Loaded() {
  upper_->SetValue(endValue_);
  lower_->SetValue(startValue_);
}

int TColorBandTool::DepthZ() const { return drawBehind_ && ParentChart() ? ParentChart()->Depth3D() : 0; }

TRect TColorBandTool::BoundsRect() const {
  const TChartAxis* a = Axis();
  const TCustomAxisPanel* chart = ParentChart();
  if (!a || !chart) return {};
  TRect r = chart->PlotRect();
  double s = startValue_, e = endValue_;
  if (a->Inverted() ? s < e : s > e) std::swap(s, e);
  if (std::min(s, e) > a->Maximum() || std::max(s, e) < a->Minimum()) return {};
  if (!a->Horizontal()) {
    r.Top = std::max(r.Top, a->PixelOfValue(e));
    r.Bottom = std::min(r.Bottom, a->PixelOfValue(s));
    // A rectangle without pen fills one pixel less on the right and at the
    // bottom: the band then covers the rows of both its values.
    r.Left += 1, r.Bottom += 1;
    if (!pen_.Visible()) r.Bottom += 1, r.Right += 1;
  } else {
    r.Left = std::max(r.Left, a->PixelOfValue(s));
    r.Right = std::min(r.Right, a->PixelOfValue(e));
    if (pen_.Visible()) r.Right += 1;
  }
  return r;
}

bool TColorBandTool::Clicked(int x, int y) const {
  const TRect r = BoundsRect();
  if (r.IsEmpty()) return false;
  const TPoint p = ParentChart()->Canvas().UnprojectPoint(x, y, DepthZ());
  return p.X >= r.Left && p.X <= r.Right && p.Y >= r.Top && p.Y <= r.Bottom;
}

void TColorBandTool::DrawBand() {
  TCustomAxisPanel* chart = ParentChart();
  const TRect r = BoundsRect();
  if (!Axis() || !chart || r.Width() < 1 || r.Height() < 1) return;
  TChartCanvas3D& c = chart->Canvas();
  c.PrepareBrush(Brush(), color_);
  c.PreparePen(Pen());
  const int z = DepthZ();
  const bool is3D = chart->View3D();
  auto projected = [&](const TRect& q) {
    if (!is3D) return q;
    const TPoint a = c.ProjectToPoint(q.Left, q.Top, z), b = c.ProjectToPoint(q.Right, q.Bottom, z);
    return TRect{a.X, a.Y, b.X, b.Y};
  };
  if (gradient_.Visible()) {
    gradient_.Draw(c, projected({r.Left, r.Top, r.Right - 1, r.Bottom - 1}));
    c.SetBrushStyle(bsClear);
  }
  auto draw = [&] {
    if (is3D) c.RectangleAtDepth(r, z);
    else c.Rectangle(r);
  };
  if (transparency_ > 0) {
    auto blend = c.StartTransparency(projected(r), transparency_);
    draw();
    c.FinishTransparency(std::move(blend));
  } else {
    draw();
  }
  if (upper_->Active()) {
    upper_->SetValue(endValue_);
    upper_->DrawColorLine(drawBehind_);
  }
  if (lower_->Active()) {
    lower_->SetValue(startValue_);
    lower_->DrawColorLine(drawBehind_);
  }
}

void TColorBandTool::NotifyDrawStage(int event) {
  // Exactly one of these stages draws the band.
  if ((event == cteAfterDraw && !drawBehind_ && !drawBehindAxes_) ||
      (event == cteBeforeDrawSeries && drawBehind_ && !drawBehindAxes_) ||
      (event == cteBeforeDrawAxes && drawBehindAxes_))
    DrawBand();
}

void TColorBandTool::NotifyMouseAction(TChartMouseEventKind event, TMouseButton button, TShiftState shift, int x,
                                       int y) {
  TCustomAxisPanel* chart = ParentChart();
  if (!chart) return;
  if (lower_->Active()) lower_->NotifyMouseAction(event, button, shift, x, y);
  if (upper_->Active() && !chart->StopMouseBroadcast) upper_->NotifyMouseAction(event, button, shift, x, y);
  if (event == kToolMouseDown) {
    if (OnClick && Clicked(x, y)) OnClick(*this, button, shift, x, y);
  } else if (event == kToolMouseMove && Cursor != 0 && !chart->StopMouseBroadcast && Clicked(x, y)) {
    chart->Cursor = Cursor;
    if (!chart->Zoom().Active && !chart->Panning.Active) chart->StopMouseBroadcast = true;
  }
}
