#include "chart/Series.h"

#include <algorithm>
#include <cmath>

#include "chart/ChartProcs.h"

bool ChartDCPenAvailable = true;

void TCustomLineSeries::SetSeriesColor(TColor c) {
  LinePen().SetColor(c);
  TChartSeries::SetSeriesColor(c);
}

void TCustomLineSeries::Assign(const TChartSeries& source) {
  if (&source == this) return;
  if (auto* line = dynamic_cast<const TCustomLineSeries*>(&source))
    LinePen().Assign(const_cast<TCustomLineSeries*>(line)->LinePen());
  TChartSeries::Assign(source);
}

void TCustomLineSeries::PaintLegendLine(const TRect& r, TColor color) {
  TChartCanvas3D& c = ParentChart()->Canvas();
  c.PreparePenWithColor(LinePen(), color);
  const int mid = (r.Top + r.Bottom) / 2;
  c.MoveTo(r.Left, mid);
  c.LineTo(r.Right, mid);
}

// --- Fast line

void TFastLineSeries::SetStockPenMode(bool v) {
  if (ChartDCPenAvailable) stockPenMode_ = v;
}

void TFastLineSeries::Assign(const TChartSeries& source) {
  if (&source == this) return;
  if (auto* f = dynamic_cast<const TFastLineSeries*>(&source)) {
    autoRepaint_ = f->autoRepaint_;
    drawAllPoints_ = f->drawAllPoints_;
    ignoreNulls_ = f->ignoreNulls_;
    stairs_ = f->stairs_;
    invertedStairs_ = f->invertedStairs_;
    SetStockPenMode(f->stockPenMode_);
  }
  TCustomLineSeries::Assign(source);
}

void TFastLineSeries::PreparePen() {
  TChartCanvas3D& c = ParentChart()->Canvas();
  c.PreparePenWithColor(LinePen(), SeriesColor());
  c.SetBrushStyle(bsClear);
  c.SetBackgroundMode(cbmTransparent);
}

void TFastLineSeries::DrawVisiblePoints() {
  if (!ParentChart() || FirstShownIndex < 0) return;
  PreparePen();
  const int f = FirstShownIndex, start = f > 0 ? f - 1 : f;
  priorX_ = PointPixelX(start), priorY_ = PointPixelY(start);
  gap_ = !PointIsFinite(start);
  ParentChart()->Canvas().MoveToAtDepth(priorX_, priorY_, StartZ);
  // The line enters the plot from the point just before the visible range.
  if (f > 0) PaintPoint(f);
  // ... and leaves it towards the point just after.
  const int last = std::min(LastShownIndex + 1, Count() - 1);
  for (int i = f + 1; i <= last; ++i) PaintPoint(i);
}

void TFastLineSeries::PaintPoint(int i) {
  TChartCanvas3D& c = ParentChart()->Canvas();
  // A value that is not finite has no place: the line breaks there and
  // starts again at the next point that has one.
  if (!PointIsFinite(i)) {
    gap_ = true;
    return;
  }
  const int x = PointPixelX(i), y = PointPixelY(i);
  if (gap_) {
    gap_ = false;
    c.MoveToAtDepth(x, y, StartZ);
    priorX_ = x, priorY_ = y;
    return;
  }
  if (x == priorX_ && (!drawAllPoints_ || y == priorY_)) return;
  if (!ignoreNulls_ && PointIsEmpty(i)) {
    c.MoveToAtDepth(x, y, StartZ);
  } else {
    if (stairs_) {
      if (invertedStairs_) c.LineToAtDepth(priorX_, y, StartZ);
      else c.LineToAtDepth(x, priorY_, StartZ);
    }
    c.LineToAtDepth(x, y, StartZ);
  }
  priorX_ = x, priorY_ = y;
}

void TFastLineSeries::PaintLegendSymbol(int index, const TRect& r) {
  if (ParentChart()) PaintLegendLine(r, LegendColorAt(index));
}

void TFastLineSeries::AnnounceNewPoint(int index) {
  if (autoRepaint_ || !ParentChart() || !Active()) return TChartSeries::AnnounceNewPoint(index);
  if (OnAfterAdd) OnAfterAdd(*this, index);
  AnnounceValueChange(veAdd, index);
  DrawNewSegment(index);
}

void TFastLineSeries::DrawNewSegment(int index) {
  TCustomAxisPanel& chart = *ParentChart();
  TChartCanvas3D& c = chart.Canvas();
  // Without a valid buffer to draw into, a whole frame shows the point.
  if (!c.OpenBuffer()) return Repaint();
  const bool clip = chart.ClipPoints();
  if (clip) c.ClipToRect(chart.TCustomChartPanel::PlotRect);
  PreparePen();
  const int from = std::max(0, index - 1);
  priorX_ = PointPixelX(from), priorY_ = PointPixelY(from);
  const int x0 = priorX_, y0 = priorY_;
  gap_ = !PointIsFinite(from);
  c.MoveToAtDepth(priorX_, priorY_, StartZ);
  PaintPoint(index);
  if (clip) c.RestoreClip();
  const int w = LinePen().Width() + 1;
  const TRect r{std::min(x0, priorX_) - w, std::min(y0, priorY_) - w, std::max(x0, priorX_) + w + 1,
                std::max(y0, priorY_) + w + 1};
  c.PresentBufferRect(r);
  chart.UpdateRect(r);
}

int TFastLineSeries::Clicked(int x, int y) {
  if (!ParentChart()) return -1;
  FindVisibleRange();
  if (FirstShownIndex < 0) return -1;
  const TPoint m{x, y};
  TPoint prev{};
  bool hasPrev = false;  // a null point without a place breaks the line
  for (int i = FirstShownIndex; i <= LastShownIndex; ++i) {
    if (!PointIsFinite(i)) {
      hasPrev = false;
      continue;
    }
    const TPoint p{PointPixelX(i), PointPixelY(i)};
    if (p.X == x && p.Y == y) return i;
    if (hasPrev && PointNearLine(m, prev, p)) return i - 1;
    prev = p, hasPrev = true;
  }
  return -1;
}

// --- Custom series

TCustomSeries::TCustomSeries()
    : areaBrush_([this](TChartPersistent*) { Repaint(); }),
      areaLinesPen_([this](TChartPersistent*) { Repaint(); }),
      pointer_([this](TChartPersistent*) { Repaint(); }),
      gradient_([this](TChartPersistent*) { Repaint(); }) {
  areaBrush_.SetStyle(bsSolid);
}

void TCustomSeries::Assign(const TChartSeries& source) {
  if (&source == this) return;
  if (auto* c = dynamic_cast<const TCustomSeries*>(&source)) {
    auto& from = const_cast<TCustomSeries&>(*c);
    areaBrush_.Assign(from.areaBrush_);
    areaLinesPen_.Assign(from.areaLinesPen_);
    areaColor_ = from.areaColor_;
    pointer_.Assign(from.pointer_);
    clickableLine_ = from.clickableLine_;
    colorEachLine_ = from.colorEachLine_;
    dark3D_ = from.dark3D_;
    gradient_.Assign(from.gradient_);
    transparency_ = from.transparency_;
    drawArea_ = from.drawArea_;
    stairs_ = from.stairs_;
    invertedStairs_ = from.invertedStairs_;
  }
  TCustomLineSeries::Assign(source);
}

void TCustomSeries::SetTransparency(uint8_t v) {
  if (transparency_ == v) return;
  transparency_ = v;
  Repaint();
}

TRect TCustomSeries::GradientRect(int x0, int x1, int origin0, int origin1) {
  const TChartAxis* a = GetVertAxis();
  int top = a->PixelOfValue(YValues().HighestValue()), bottom = a->PixelOfValue(YValues().LowestValue());
  if (top > bottom) std::swap(top, bottom);
  top = std::min({top, origin0, origin1}), bottom = std::max({bottom, origin0, origin1});
  return {std::min(x0, x1), top, std::max(x0, x1) + 1, bottom + 1};
}

void TCustomSeries::SetAreaColor(TColor v) {
  if (areaColor_ == v) return;
  areaColor_ = v;
  Repaint();
}

void TCustomSeries::SetDrawArea(bool v) {
  if (drawArea_ == v) return;
  drawArea_ = v;
  Repaint();
}

void TCustomSeries::SetStairs(bool v) {
  if (stairs_ == v) return;
  stairs_ = v;
  Repaint();
}

void TCustomSeries::SetInvertedStairs(bool v) {
  if (invertedStairs_ == v) return;
  invertedStairs_ = v;
  Repaint();
}

TColor TCustomSeries::AreaColorFor(TColor point) const {
  return ColorEachPoint() || areaColor_ == clPaletteColor ? point : areaColor_;
}

TSeriesPointerStyle TCustomSeries::PointerStyleOf(int index) {
  return OnGetPointerStyle && index >= 0 ? OnGetPointerStyle(*this, index) : pointer_.Style();
}

void TCustomSeries::DrawPointer(int index, TPoint at, TSize half, TColor color, bool is3D) {
  TChartCanvas3D& cv = ParentChart()->Canvas();
  pointer_.PrepareCanvas(cv, color);
  pointer_.DrawShape(cv, is3D, at, half, PointerStyleOf(index), {StartZ, MiddleZ, EndZ});
}

void TCustomSeries::PaintLegendSymbol(int index, const TRect& r) {
  if (!ParentChart()) return;
  TChartCanvas3D& cv = ParentChart()->Canvas();
  const TColor color = LegendColorAt(index);
  const bool line = LinePen().Visible();
  const bool pointer = pointer_.Visible() && PointerStyleOf(index) != psNothing;
  const int mid = (r.Top + r.Bottom) / 2;
  if (line && (pointer || !drawArea_)) PaintLegendLine(r, color);
  if (pointer) {
    DrawPointer(index, {(r.Left + r.Right) / 2, mid}, pointer_.LegendHalfSize(r, line), color, false);
  } else if (!line || drawArea_) {
    if (drawArea_ && gradient_.Visible()) {
      gradient_.Draw(cv, r);
      cv.SetBrushStyle(bsClear);
    } else {
      cv.PrepareBrush(areaBrush_, AreaColorFor(color));
    }
    cv.PreparePen(areaLinesPen_);
    cv.Rectangle(r);
  }
}

int TCustomSeries::OriginPixel(int) const {
  const TChartAxis* a = GetVertAxis();
  return a->Inverted() ? a->PixelFrom : a->PixelTo;
}

void TCustomSeries::DrawVisiblePoints() {
  if (!ParentChart()) return;
  prevColor_ = clNone;
  firstDrawn_ = true;
  // A transparent area shows what was drawn under the plot through it.
  std::unique_ptr<TChartBlend> blend;
  TChartCanvas3D& cv = ParentChart()->Canvas();
  if (transparency_ > 0 && drawArea_)
    blend = cv.StartTransparency(ParentChart()->TCustomChartPanel::PlotRect, transparency_);
  DrawAllSegments();
  if (blend) cv.FinishTransparency(std::move(blend));
}

void TCustomSeries::DrawAllSegments() {
  TChartSeries::DrawVisiblePoints();
  // The curve leaves the plot towards the point just after the visible range,
  // as it entered from the one before it.
  if (FirstShownIndex < 0 || prevColor_ == clNone) return;
  const int after = ForwardValueOrder() ? LastShownIndex + 1 : FirstShownIndex - 1;
  if (after < 0 || after >= Count() || PointIsEmpty(after)) return;
  TPoint c{PointPixelX(after), ValuePixelY(after)};
  if (!drawArea_) {  // a line ends at the plot's edge
    const TRect& plot = ParentChart()->TCustomChartPanel::PlotRect;
    const int edge = GetHorizAxis()->Inverted() ? plot.Left : plot.Right;
    if (!stairs_ && c.X != prev_.X) c.Y = int(std::lround(prev_.Y + double(c.Y - prev_.Y) * (edge - prev_.X) / (c.X - prev_.X)));
    c.X = edge;
  }
  DrawSegment(after, prev_, prevOrigin_, c, OriginPixel(after));
}

void TCustomSeries::PaintPoint(int i) {
  const TColor color = PointIsEmpty(i) ? clNone : PointColorAt(i);
  const TPoint c{PointPixelX(i), ValuePixelY(i)};
  const int origin = OriginPixel(i);
  TPoint p = prev_;
  int pOrigin = prevOrigin_;
  if (prevColor_ == clNone) p = c, pOrigin = origin;
  const int before = ForwardValueOrder() ? i - 1 : i + 1;
  if (firstDrawn_ && before >= 0 && before < Count() && PointIsFinite(before) && color != clNone) {
    const TPoint b{PointPixelX(before), ValuePixelY(before)};
    if (drawArea_) {
      p = b, pOrigin = OriginPixel(before);
    } else {
      // The line enters at the plot's edge, on the way from the point before.
      const TRect& plot = ParentChart()->TCustomChartPanel::PlotRect;
      const int edge = GetHorizAxis()->Inverted() ? plot.Right : plot.Left;
      double y = b.Y;
      if (!stairs_ && c.X != b.X) y = b.Y + double(c.Y - b.Y) * (edge - b.X) / (c.X - b.X);
      p = {edge, int(std::lround(y))};
    }
    DrawSegment(i, p, pOrigin, c, origin);
  } else if (!(p.X == c.X && p.Y == c.Y) && color != clNone) {
    DrawSegment(i, p, pOrigin, c, origin);
  }
  if (pointer_.Visible() && color != clNone)
    DrawPointer(i, c, {pointer_.HorizSize(), pointer_.VertSize()}, color, ParentChart()->View3D());
  firstDrawn_ = false;
  prev_ = c, prevOrigin_ = origin, prevColor_ = color;
}

void TCustomSeries::DrawSegment(int i, TPoint p, int pb, TPoint c, int cb) {
  TChartCanvas3D& cv = ParentChart()->Canvas();
  // In 3-D the segment lies at the series' front depth, where its pointers'
  // faces are, through the projection.
  const bool is3D = ParentChart()->View3D();
  auto moveTo = [&](int x, int y) { is3D ? cv.MoveToAtDepth(x, y, StartZ) : cv.MoveTo(x, y); };
  auto lineTo = [&](int x, int y) { is3D ? cv.LineToAtDepth(x, y, StartZ) : cv.LineTo(x, y); };
  auto quad = [&](const TPoint (&q)[4]) { is3D ? cv.PolygonAtDepth(q, 4, StartZ) : cv.Polygon(q, 3); };
  if (!drawArea_) {
    cv.PreparePenWithColor(LinePen(), colorEachLine_ ? PointColorAt(i) : SeriesColor());
    moveTo(p.X, p.Y);
    if (stairs_) invertedStairs_ ? lineTo(p.X, c.Y) : lineTo(c.X, p.Y);
    lineTo(c.X, c.Y);
    return;
  }
  // A gradient is laid into the segment's outline; the outline itself is
  // then drawn unfilled.
  auto fill = [&](const TPoint(&q)[4]) {
    if (gradient_.Visible()) {
      // In 3-D the gradient fills the segment where the projection puts it.
      TPoint at[4];
      for (int k = 0; k < 4; ++k) at[k] = is3D ? cv.ProjectToPoint(q[k].X, q[k].Y, StartZ) : q[k];
      cv.ClipToPolygon(at, 4);
      gradient_.Draw(cv, is3D ? PointsBounds(at, 4) : GradientRect(p.X, c.X, pb, cb));
      cv.RestoreClip();
      cv.SetBrushStyle(bsClear);
    } else {
      cv.PrepareBrush(areaBrush_, AreaColorOf(i));
    }
    if (areaLinesPen_.Visible()) cv.PreparePen(areaLinesPen_);
    else cv.DC().SetPen(TDCPen{TDCPenStyle::Clear});
    quad(q);
  };
  if (!stairs_) {
    fill({p, c, {c.X, cb}, {p.X, pb}});
    if (LinePen().Visible()) {
      cv.PreparePen(LinePen());
      moveTo(p.X, p.Y);
      lineTo(c.X, c.Y);
    }
    return;
  }
  // The step rises at the start of the segment (inverted) or at its end.
  const int level = invertedStairs_ ? c.Y : p.Y;
  fill({{p.X, level}, {c.X, level}, {c.X, cb}, {p.X, pb}});
  if (LinePen().Visible() && !areaLinesPen_.Visible()) {
    cv.PreparePen(LinePen());
    moveTo(p.X, p.Y);
    invertedStairs_ ? lineTo(p.X, c.Y) : lineTo(c.X, p.Y);
    lineTo(c.X, c.Y);
  }
}

int TCustomSeries::Clicked(int x, int y) {
  if (!ParentChart()) return -1;
  FindVisibleRange();
  if (FirstShownIndex < 0) return -1;
  const TPoint m{x, y};
  TPoint prev{};
  int prevOrigin = 0;
  bool hasPrev = false;  // a null point without a place breaks the line
  for (int i = FirstShownIndex; i <= LastShownIndex; ++i) {
    if (!PointIsFinite(i)) {
      hasPrev = false;
      continue;
    }
    const TPoint p{PointPixelX(i), ValuePixelY(i)};
    const int origin = OriginPixel(i);
    if (pointer_.Visible() && pointer_.Hits(PointerStyleOf(i), x - p.X, y - p.Y)) {
      if (OnClickPointer) OnClickPointer(*this, i);
      return i;
    }
    if (p.X == x && p.Y == y) return i;
    if (hasPrev && clickableLine_) {
      const TPoint quad[4] = {prev, p, {p.X, origin}, {prev.X, prevOrigin}};
      if (PointNearLine(m, prev, p) || (drawArea_ && PointInsidePolygon(m, quad, 3))) return i - 1;
    }
    prev = p, prevOrigin = origin, hasPrev = true;
  }
  return -1;
}

void TCustomSeries::HorizAxisMargins(int& a, int& b) {
  a = b = pointer_.Visible() ? pointer_.HorizSize() : 0;
  if (stairs_) a = std::max(a, LinePen().Width()), b = std::max(b, LinePen().Width());
}

void TCustomSeries::VertAxisMargins(int& a, int& b) {
  a = b = pointer_.Visible() ? pointer_.VertSize() : 0;
  if (stairs_) a = std::max(a, LinePen().Width()), b = std::max(b, LinePen().Width());
  b += MarksValueMargin();
}

// --- Area

TAreaSeries::TAreaSeries() {
  SetDrawArea(true);
  Pointer().SetVisible(false);
}

void TAreaSeries::Assign(const TChartSeries& source) {
  if (&source == this) return;
  if (auto* a = dynamic_cast<const TAreaSeries*>(&source)) {
    useYOrigin_ = a->useYOrigin_;
    yOrigin_ = a->yOrigin_;
    stacking_ = a->stacking_;
  }
  TCustomSeries::Assign(source);
}

void TAreaSeries::SetUseYOrigin(bool v) {
  if (useYOrigin_ == v) return;
  useYOrigin_ = v;
  Repaint();
}

void TAreaSeries::SetYOrigin(double v) {
  if (yOrigin_ == v) return;
  yOrigin_ = v;
  Repaint();
}

void TAreaSeries::SetMultiArea(TMultiArea v) {
  if (!ParentChart()) {
    stacking_ = v;
    return;
  }
  for (TChartSeries* s : ParentChart()->SeriesList())
    if (auto* a = dynamic_cast<TAreaSeries*>(s)) a->stacking_ = v;
  Repaint();
}

void TAreaSeries::StackedSums(int i, double& before, double& total) const {
  before = total = 0;
  bool mine = false;
  for (TChartSeries* s : ParentChart()->SeriesList()) {
    if (s == this) mine = true;
    if (!dynamic_cast<TAreaSeries*>(s) || !s->Active() || i >= s->Count() || !std::isfinite(s->YValue(i))) continue;
    if (!mine) before += s->YValue(i);
    total += s->YValue(i);
  }
}

int TAreaSeries::OriginPixel(int i) const {
  const TChartAxis* a = GetVertAxis();
  if (useYOrigin_) return a->PixelOfValue(yOrigin_);
  if (stacking_ == maNone || !ParentChart()) return TCustomSeries::OriginPixel(i);
  double before = 0, total = 0;
  StackedSums(i, before, total);
  const int end = a->Inverted() ? a->PixelFrom : a->PixelTo;
  if (stacking_ == maStacked100) return total == 0 ? end : a->PixelOfValue(before * 100 / total);
  const int p = a->PixelOfValue(before);
  return a->Inverted() ? std::max(p, end) : std::min(p, end);
}

int TAreaSeries::ValuePixelY(int i) const {
  if (stacking_ == maNone || !ParentChart()) return PointPixelY(i);
  double before = 0, total = 0;
  StackedSums(i, before, total);
  const TChartAxis* a = GetVertAxis();
  if (stacking_ == maStacked100) return total == 0 ? a->PixelTo : a->PixelOfValue((before + YValue(i)) * 100 / total);
  return a->PixelOfValue(before + YValue(i));
}

double TAreaSeries::MinYValue() {
  if (stacking_ == maStacked100) return 0;
  return useYOrigin_ ? std::min(yOrigin_, LowestY()) : LowestY();
}

double TAreaSeries::MaxYValue() {
  if (stacking_ == maStacked100) return 100;
  double high = useYOrigin_ ? std::max(yOrigin_, HighestY()) : HighestY();
  if (stacking_ == maStacked && ParentChart())
    for (int i = 0; i < Count(); ++i) {
      // A null point stands nowhere: its sum is no height the axis must reach.
      if (!std::isfinite(YValue(i))) continue;
      double before = 0, total = 0;
      StackedSums(i, before, total);
      high = std::max(high, before + YValue(i));
    }
  return high;
}
