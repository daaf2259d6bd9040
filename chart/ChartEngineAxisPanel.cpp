// The axis panel (series, axes, paging, the drawing pipeline) and the tool
// base classes.
#include <algorithm>
#include <cmath>

#include "chart/ChartConst.h"
#include "chart/ChartEngineSeries.h"
#include "platform/Format.h"

using ChartConst::Msg;

TCustomAxisPanel::TCustomAxisPanel()
    : bottom_(std::make_unique<TChartAxis>(this, true, false)),
      top_(std::make_unique<TChartAxis>(this, true, true)),
      left_(std::make_unique<TChartAxis>(this, false, false)),
      right_(std::make_unique<TChartAxis>(this, false, true)),
      depth_(std::make_unique<TChartDepthAxis>(this)),
      depthTop_(std::make_unique<TChartDepthAxis>(this)) {
  left_->Title().SetAngle(90);
  right_->Title().SetAngle(270);
  depthTop_->SetOtherSide(true);
  depth_->Partner = depthTop_.get();
  depthTop_->Partner = depth_.get();
  allAxes_ = {bottom_.get(), top_.get(), left_.get(), right_.get(), depth_.get(), depthTop_.get()};
  Listeners.push_back(this);
}

TCustomAxisPanel::~TCustomAxisPanel() {
  destroying_ = true;
  // Each series leaves the list as it goes (and cuts its own links).
  while (!seriesList_.empty()) delete seriesList_.back();
  // The tools stay with their window, without chart (they hear of it here,
  // while the panel is still whole).
  tools_.clear();
  NotifyFree();
}

void TCustomAxisPanel::Notification(TChartComponent* freed) { std::erase(tools_, freed); }

// --- Series

TChartSeries* TCustomAxisPanel::AddSeries(std::unique_ptr<TChartSeries> owned) {
  TChartSeries* s = owned.release();
  if (!s || std::find(seriesList_.begin(), seriesList_.end(), s) != seriesList_.end()) return s;
  if (s->parent_) s->parent_->RemoveSeries(s).release();
  s->parent_ = this;
  if (s->StoredSeriesColor() == clPaletteColor) s->ChosenColor = FirstUnusedColor(true, s);
  seriesList_.push_back(s);
  SeriesEvent(seAdd, s);
  SeriesEvent(seChangeColor, s);
  s->RefreshFromSource();
  Invalidate();
  return s;
}

std::unique_ptr<TChartSeries> TCustomAxisPanel::RemoveSeries(TChartSeries* s) {
  auto it = std::find(seriesList_.begin(), seriesList_.end(), s);
  if (it == seriesList_.end()) return nullptr;
  SeriesEvent(seRemove, s);
  if (mouseSeries_ == s) {
    mouseSeries_ = nullptr;
    Cursor = StashedCursor;
  }
  seriesList_.erase(std::find(seriesList_.begin(), seriesList_.end(), s));
  s->DropSeriesSources();
  s->parent_ = nullptr;
  if (!destroying_) Invalidate();
  return std::unique_ptr<TChartSeries>(s);
}

void TCustomAxisPanel::DestroySeries(const std::vector<TChartSeries*>& doomed) {
  // Each series leaves the list as it goes (and cuts its own links).
  for (TChartSeries* s : doomed) {
    RemoveSeries(s).release();
    delete s;
  }
}

int TCustomAxisPanel::ActiveSeriesTotal() const {
  return int(std::count_if(seriesList_.begin(), seriesList_.end(), [](TChartSeries* s) { return s->Active(); }));
}

std::string TCustomAxisPanel::SeriesDisplayName(int n, bool activeOnly) const {
  int k = 0;
  for (size_t i = 0; i < seriesList_.size(); ++i) {
    const TChartSeries* s = seriesList_[i];
    if (!s->ShowInLegend() || (activeOnly && !s->Active())) continue;
    if (k++ != n) continue;
    if (!s->Title().empty()) return s->Title();
    if (!s->Name.empty()) return s->Name;
    return "Series" + std::to_string(i + 1);
  }
  return {};
}

void TCustomAxisPanel::SeriesEvent(TChartSeriesEventKind kind, TCustomChartSeries* s) {
  TChartSeriesEvent e;
  e.Sender = this;
  e.Event = kind;
  e.Series = s;
  BroadcastChartEvent(e);
}

TColor TCustomAxisPanel::PaletteColorAt(int i) const {
  if (PaletteColors.empty()) return ::PaletteColorAt(i);
  const int n = int(PaletteColors.size());
  return PaletteColors[size_t(((i % n) + n) % n)];
}

bool TCustomAxisPanel::ColorIsUnused(TColor c, bool avoidBackground, const TChartSeries* series) const {
  if (avoidBackground && c == GetBackColor()) return false;
  for (const TChartSeries* s : seriesList_)
    if (s != series && s->SeriesColor() == c) return false;
  return true;
}

TColor TCustomAxisPanel::FirstUnusedColor(bool avoidBackground, const TChartSeries* series) const {
  const int n = PaletteColors.empty() ? int(kDefaultPalette.size()) : int(PaletteColors.size());
  for (int i = 0; i < n; ++i) {
    const TColor c = PaletteColorAt(i);
    if (ColorIsUnused(c, avoidBackground, series)) return c;
  }
  return PaletteColorAt(0);
}

bool TCustomAxisPanel::AcceptsSource(TChartSeries& series, TChartComponent* source) const {
  if (auto* s = dynamic_cast<TChartSeries*>(source)) {
    if (s == &series) return false;
    CheckCircular(series, *s);
    return true;
  }
  if (auto* src = dynamic_cast<TChartSeriesSource*>(source))
    return src->Available(const_cast<TCustomAxisPanel*>(this));
  return false;
}

void TCustomAxisPanel::CheckCircular(const TChartSeries& series, const TChartSeries& source) const {
  if (source.DataSource() == &series)
    throw ChartException(Msg(ChartConst::cmCircularSeriesDependencesAreNotAllowed));
  for (TChartComponent* c : source.DataSources())
    if (auto* s = dynamic_cast<TChartSeries*>(c)) CheckCircular(series, *s);
}

void TCustomAxisPanel::RefreshSeriesFromSource(TChartSeries& series) {
  if (series.Loading) return;
  TChartComponent* source = series.DataSource();
  if (auto* s = dynamic_cast<TChartSeries*>(source)) {
    series.RefillFrom(*s);
  } else if (auto* src = dynamic_cast<TChartSeriesSource*>(source)) {
    src->Refresh();
  } else if (!source && series.FunctionType() && series.FunctionType()->NoSourceNeeded) {
    series.BeginUpdate();
    series.Clear();
    series.FunctionType()->PopulateSeries(nullptr);
    series.EndUpdate();
  }
}

// --- Axes and ranges

TChartAxis& TCustomAxisPanel::AddCustomAxis(bool horizontal, bool otherSide) {
  customAxes_.push_back(std::make_unique<TChartAxis>(this, horizontal, otherSide));
  allAxes_.push_back(customAxes_.back().get());
  Invalidate();
  return *customAxes_.back();
}

void TCustomAxisPanel::SetChart3DPercent(int v) {
  if (v < 1 || v > 100)
    throw ChartException(Format(Msg(ChartConst::cmN3DEffectPercentMustBeBetweenPctd).c_str(), 1, 100));
  frameDepth_ = -1;
  Set(chart3DPercent_, v);
}

int TCustomAxisPanel::Depth3D() const {
  if (!View3D()) return 0;
  if (frameDepth_ >= 0) return frameDepth_;
  return std::min(PlotWidth, PlotHeight) * chart3DPercent_ / 100;
}

TChartSeries* TCustomAxisPanel::PagingSeries(const TChartAxis& axis) const {
  if (maxPointsPerPage_ <= 0) return nullptr;
  const TChartSeries* first = nullptr;
  for (const TChartSeries* s : seriesList_)
    if (s->AssociatedToAxis(axis)) {
      first = s;
      break;
    }
  if (!first || !first->IsPositionAxis(axis)) return nullptr;
  TChartSeries* most = nullptr;
  for (TChartSeries* s : seriesList_)
    if (s->Active() && s->AssociatedToAxis(axis) && (!most || s->Count() > most->Count())) most = s;
  return most && most->Count() > 0 ? most : nullptr;
}

void TCustomAxisPanel::PageRange(const TChartSeries& s, int& first, int& last) const {
  const int n = s.Count();
  first = (page_ - 1) * maxPointsPerPage_;
  if (first >= n) first = std::max(0, (n - 1) / maxPointsPerPage_ * maxPointsPerPage_);
  last = std::min(first + maxPointsPerPage_ - 1, n - 1);
}

bool TCustomAxisPanel::ShowsDepthValues() const {
  for (TChartSeries* s : seriesList_)
    if (s->Active()) return s->HasZValues() || s->LowestZ() != s->HighestZ();
  return false;
}

double TCustomAxisPanel::RangeFromSeries(const TChartAxis& axis, bool forMaximum) {
  if (axis.IsDepthAxis()) {
    // The depth axis shows slot numbers unless a series puts values there.
    if (!ShowsDepthValues()) return forMaximum ? DepthSlots + 0.5 : -0.5;
    bool started = false;
    double result = 0;
    for (TChartSeries* s : seriesList_) {
      if (!s->Active()) continue;
      const double v = forMaximum ? s->HighestZ() : s->LowestZ();
      if (!started) result = v, started = true;
      else result = forMaximum ? std::max(result, v) : std::min(result, v);
    }
    return result;
  }
  if (TChartSeries* s = PagingSeries(axis)) {
    int first = 0, last = 0;
    PageRange(*s, first, last);
    const TChartValueList& pos = s->MandatoryIsY() ? s->XValues() : s->YValues();
    const double lo = pos[first], hi = pos[last];
    if (!forMaximum) return lo;
    const int onPage = last - first + 1;
    if (!scaleLastPage_ && onPage < maxPointsPerPage_)
      return lo == hi ? lo + maxPointsPerPage_ : lo + (hi - lo) * maxPointsPerPage_ / onPage;
    return hi;
  }
  bool someActive = false;
  for (TChartSeries* s : seriesList_)
    if (s->Active() && s->AssociatedToAxis(axis)) someActive = true;
  bool started = false;
  double result = 0;
  for (TChartSeries* s : seriesList_) {
    if (s->Count() == 0 || !s->AssociatedToAxis(axis) || (someActive && !s->Active())) continue;
    if (!(axis.Horizontal() ? s->XValues() : s->YValues()).AnyFinite()) continue;  // null points only
    const double v = axis.Horizontal() ? (forMaximum ? s->HighestX() : s->LowestX())
                                       : (forMaximum ? s->MaxYValue() : s->MinYValue());
    if (!started) result = v, started = true;
    else result = forMaximum ? std::max(result, v) : std::min(result, v);
  }
  return result;
}

bool TCustomAxisPanel::SeriesRange(const TChartAxis& axis, double& lowest, double& highest) {
  bool used = axis.IsDepthAxis();
  for (TChartSeries* s : seriesList_)
    if (s->Count() > 0 && s->AssociatedToAxis(axis)) used = true;
  if (!used) return false;
  lowest = RangeFromSeries(axis, false);
  highest = RangeFromSeries(axis, true);
  return true;
}

TAxisLabelStyle TCustomAxisPanel::AutoLabelStyle(const TChartAxis& axis) {
  if (axis.IsDepthAxis()) return ShowsDepthValues() ? talValue : talText;
  bool any = false;
  for (TChartSeries* s : seriesList_) {
    if (!s->Active() || !s->AssociatedToAxis(axis)) continue;
    any = true;
    if (s->IsPositionAxis(axis) && s->HasLabels()) return talText;
  }
  return any ? talValue : talNone;
}

bool TCustomAxisPanel::FewPointsAlong(const TChartAxis& axis, int n) {
  for (TChartSeries* s : seriesList_)
    if (s->Active() && s->IsPositionAxis(axis) && s->Count() <= n) return true;
  return false;
}

bool TCustomAxisPanel::SeriesShowDateTimes(const TChartAxis& axis) {
  if (axis.IsDepthAxis()) return false;
  for (TChartSeries* s : seriesList_)
    if (s->Active() && s->AssociatedToAxis(axis) && (axis.Horizontal() ? s->XValues() : s->YValues()).DateTime())
      return true;
  return false;
}

std::vector<TAxisSeriesLabel> TCustomAxisPanel::SeriesLabels(const TChartAxis& axis, bool marks) {
  std::vector<TAxisSeriesLabel> out;
  if (axis.IsDepthAxis()) {
    for (int i = 0; i < SeriesTotal(); ++i) out.push_back({axis.RangeHigh - i - 0.5, SeriesDisplayName(i, true)});
    return out;
  }
  std::vector<TChartSeries*> along;
  int first = INT32_MAX, last = -1;
  for (TChartSeries* s : seriesList_) {
    if (!s->Active() || !s->IsPositionAxis(axis)) continue;
    s->FindVisibleRange();
    if (s->FirstShownIndex < 0) continue;
    along.push_back(s);
    first = std::min(first, s->FirstShownIndex), last = std::max(last, s->LastShownIndex);
  }
  for (int i = first; i <= last && !along.empty(); ++i) {
    for (TChartSeries* s : along) {
      if (i < s->FirstShownIndex || i > s->LastShownIndex) continue;
      std::string text = marks ? s->Marks().TextOf(i) : s->LabelAt(i);
      if (OnGetAxisLabel) OnGetAxisLabel(const_cast<TChartAxis&>(axis), s, i, text);
      if (text.empty()) continue;
      out.push_back({axis.Horizontal() ? s->XValue(i) : s->YValue(i), text});
      break;
    }
  }
  return out;
}

std::vector<TChartAxis*> TCustomAxisPanel::FollowerAxes(const TChartAxis& axis) {
  std::vector<TChartAxis*> out;
  for (const auto& a : customAxes_)
    if (a->MasterAxis == &axis) out.push_back(a.get());
  return out;
}

void TCustomAxisPanel::Assign(const TCustomAxisPanel& s) {
  chart3DPercent_ = s.chart3DPercent_;
  frameDepth_ = -1;
  axisBehind_ = s.axisBehind_, axisVisible_ = s.axisVisible_, clipPoints_ = s.clipPoints_;
  bottom_->Assign(*s.bottom_), top_->Assign(*s.top_), left_->Assign(*s.left_), right_->Assign(*s.right_);
  depth_->Assign(*s.depth_), depthTop_->Assign(*s.depthTop_);
  // The custom axes become as many as the source has; series on a surplus
  // axis go back to the standard one.
  while (customAxes_.size() > s.customAxes_.size()) {
    TChartAxis* gone = customAxes_.back().get();
    for (TChartSeries* series : seriesList_) {
      if (series->customHoriz_ == gone) series->customHoriz_ = nullptr, series->horizAxis_ = aBottomAxis;
      if (series->customVert_ == gone) series->customVert_ = nullptr, series->vertAxis_ = aLeftAxis;
    }
    for (const auto& a : customAxes_)
      if (a->MasterAxis == gone) a->MasterAxis = nullptr;
    std::erase(allAxes_, gone);
    customAxes_.pop_back();
  }
  while (customAxes_.size() < s.customAxes_.size()) AddCustomAxis(s.customAxes_[customAxes_.size()]->Horizontal());
  for (size_t i = 0; i < customAxes_.size(); ++i) {
    customAxes_[i]->Assign(*s.customAxes_[i]);
    // A master in the source chart is the axis in the same place here.
    const auto& from = s.allAxes_;
    const auto it = std::find(from.begin(), from.end(), s.customAxes_[i]->MasterAxis);
    customAxes_[i]->MasterAxis = it == from.end() ? nullptr : allAxes_[size_t(it - from.begin())];
  }
  PaletteColors = s.PaletteColors;
  maxPointsPerPage_ = s.maxPointsPerPage_, page_ = s.page_, scaleLastPage_ = s.scaleLastPage_;
  view3DWalls_ = s.view3DWalls_;
  TCustomChartPanelExtended::Assign(s);
}

void TCustomAxisPanel::GetAxisLabel(const TChartAxis& axis, std::string& text) {
  if (OnGetAxisLabel) OnGetAxisLabel(const_cast<TChartAxis&>(axis), nullptr, -1, text);
}

bool TCustomAxisPanel::GetNextAxisLabel(const TChartAxis& axis, int index, double& value, bool& stop) {
  if (!OnGetNextAxisLabel) return false;
  OnGetNextAxisLabel(const_cast<TChartAxis&>(axis), index, value, stop);
  return true;
}

// --- Paging

int TCustomAxisPanel::PageTotal() const {
  if (maxPointsPerPage_ < 1 || seriesList_.empty()) return 1;
  const TChartSeries* first = seriesList_[0];
  int most = 0;
  for (const TChartSeries* s : seriesList_) {
    if (!s->Active()) continue;
    const bool along = first->MandatoryIsY()
                           ? (s->AssociatedToAxis(*bottom_) || s->AssociatedToAxis(*top_))
                           : (s->AssociatedToAxis(*left_) || s->AssociatedToAxis(*right_));
    if (along) most = std::max(most, s->Count());
  }
  // Empty series still make one (empty) page.
  return std::max(1, (most + maxPointsPerPage_ - 1) / maxPointsPerPage_);
}

void TCustomAxisPanel::BroadcastPageChange() {
  TChartPageEvent e;
  e.Sender = this;
  BroadcastChartEvent(e);
}

void TCustomAxisPanel::SetMaxPointsPerPage(int v) {
  if (v < 0) throw ChartException(Msg(ChartConst::cmMaxPointsPerPageMustBe0));
  maxPointsPerPage_ = v;
  if (PageTotal() < page_) page_ = PageTotal();
  BroadcastPageChange();
  Invalidate();
}

void TCustomAxisPanel::SetPage(int p) {
  p = std::clamp(p, 1, PageTotal());
  if (p == page_) return;
  page_ = p;
  Invalidate();
  BroadcastPageChange();
  if (OnPageChange) OnPageChange(*this);
}

// --- Drawing

void TCustomAxisPanel::BroadcastToTools(int event) {
  const TChartTools tools = tools_;
  for (TChartCustomTool* t : tools)
    if (t->Active()) t->NotifyDrawStage(event);
}

void TCustomAxisPanel::AssignDepthOrders() {
  DepthSlots = View3D() ? -1 : 0;
  for (TChartSeries* s : seriesList_) {
    if (!s->Active()) continue;
    if (!View3D()) {
      s->SetDepthIndex(0);
    } else if (s->DepthOrder >= 0) {
      s->SetDepthIndex(s->DepthOrder);
      DepthSlots = std::max(DepthSlots, s->DepthOrder);
    } else {
      s->SetDepthIndex(++DepthSlots);
    }
  }
  DepthSlots = std::max(DepthSlots, 0);
}

void TCustomAxisPanel::LayoutAxes() {
  TRect r = TCustomChartPanel::PlotRect;
  for (TChartAxis* a : allAxes_) {
    a->ScaleFromSeries();
    a->AdjustPositions();
    if (axisVisible_ && a->Visible()) a->TakeAxisSpace(r, true);
  }
  TCustomChartPanel::PlotRect = r;
  RecomputePlotSize();
  const int depth = Depth3D(), slot = depth / std::max(1, DepthSlots + 1);
  for (TChartSeries* s : seriesList_) {
    if (!s->Active()) continue;
    s->StartZ = s->DepthIndex() * slot;
    s->EndZ = s->StartZ + (s->Depth >= 0 ? s->Depth : slot);
    s->MiddleZ = (s->StartZ + s->EndZ) / 2;
  }
  for (TChartAxis* a : allAxes_) {
    a->AdjustPositions();
    a->ScaleFromSeries();
    TRect m{0, 0, 0, 0};
    for (TChartSeries* s : seriesList_) {
      if (!s->Active() || !s->AssociatedToAxis(*a)) continue;
      int lo = 0, hi = 0;
      if (a->Horizontal()) s->HorizAxisMargins(lo, hi);
      else s->VertAxisMargins(lo, hi);
      if (a->Horizontal()) m.Left = std::max(m.Left, lo), m.Right = std::max(m.Right, hi);
      else m.Top = std::max(m.Top, hi), m.Bottom = std::max(m.Bottom, lo);
    }
    if (m.Left || m.Right || m.Top || m.Bottom) a->WidenForMargins(m);
    TRect plot = r;
    a->TakeAxisSpace(plot, false);
  }
}

void TCustomAxisPanel::DrawAxes() {
  if (!axisVisible_) return;
  if (OnBeforeDrawAxes) OnBeforeDrawAxes(*this);
  for (TChartAxis* a : allAxes_) {
    if (!a->Visible() || (a == bottom_.get() && BottomAxisHiddenBy3D())) continue;
    a->Draw(false);
  }
}

void TCustomAxisPanel::DrawAllSeries() {
  std::vector<TChartSeries*> order;
  for (TChartSeries* s : seriesList_)
    if (s->Active()) order.push_back(s);
  TChartCanvas3D& c = Canvas();
  const TRect plot = TCustomChartPanel::PlotRect;
  // From the back of the view to its front, so that no series is painted
  // over by one behind it; the series of one depth slot keep list order.
  if (View3D())
    std::stable_sort(order.begin(), order.end(), [this](const TChartSeries* a, const TChartSeries* b) {
      return ReverseSeriesOrder ? a->DepthIndex() > b->DepthIndex() : a->DepthIndex() < b->DepthIndex();
    });
  const bool clip = clipPoints_ && ClippingAllowed();
  auto clipped = [&](bool on, auto draw) {
    if (on) c.ClipToCube(plot, 0, Depth3D());
    draw();
    if (on) c.RestoreClip();
  };
  std::vector<bool> done(order.size());
  for (size_t k = 0; k < order.size(); ++k) {
    if (done[k]) continue;
    // In 3-D the series of one depth slot are drawn together, point by point.
    std::vector<TChartSeries*> slot{order[k]};
    if (View3D())
      for (size_t m = k + 1; m < order.size(); ++m)
        if (!done[m] && order[m]->DepthIndex() == order[k]->DepthIndex()) slot.push_back(order[m]), done[m] = true;
    for (TChartSeries* s : slot) s->FindVisibleRange();
    if (slot.size() == 1) {
      clipped(clip, [&] { order[k]->DrawValues(); });
    } else {
      int first = INT32_MAX, last = -1;
      for (TChartSeries* s : slot)
        if (s->FirstShownIndex >= 0) first = std::min(first, s->FirstShownIndex), last = std::max(last, s->LastShownIndex);
      const bool forward = slot[0]->ForwardValueOrder();
      clipped(clip, [&] {
        for (int n = 0; n <= last - first; ++n) {
          const int i = forward ? first + n : last - n;
          for (TChartSeries* s : slot)
            if (i < s->Count()) s->PaintPoint(i);
        }
      });
    }
    // Marks are clipped when they ask for it, or with the points of a slot.
    for (TChartSeries* s : slot)
      if (s->Marks().Visible())
        clipped(ClippingAllowed() && (s->Marks().Clip() || (slot.size() > 1 && clipPoints_)), [&] { s->DrawMarks(); });
  }
}

void TCustomAxisPanel::PaintContent(const TRect& r) {
  // 1. No repaint requests while drawing (the flag comes back even when a
  // drawing step throws).
  struct Restore {
    bool& flag;
    const bool value;
    ~Restore() { flag = value; }
  } restore{AutoRepaint, AutoRepaint};
  AutoRepaint = false;
  // 2. Background. Up to the series the frame is drawn in static layers
  // (see the canvas): background, titles and walls; the axes; what comes
  // before the series.
  TChartCanvas3D& canvas = Canvas();
  canvas.BeginLayer();
  PaintPanelFace(r);
  BroadcastToTools(cteBeforeDraw);
  // 3.
  if (OnBeforeDrawChart) OnBeforeDrawChart(*this);
  for (TChartSeries* s : seriesList_)
    if (s->Active()) s->PrepareForDrawing();
  // 4.
  DrawTitlesAndLegend(true);
  AssignDepthOrders();
  // 5. The 3-D walls and the axes take their space; depth positions; series margins.
  frameDepth_ = -1;
  frameDepth_ = Depth3D();
  CalcSize3DWalls();
  const TRect room = TCustomChartPanel::PlotRect;
  LayoutAxes();
  Canvas().Projection(Depth3D(), TCustomChartPanel::PlotRect);
  Canvas().FitProjection(room, Depth3D(), TCustomChartPanel::PlotRect);
  // The depth orders count from the front (depth 0): drawn last to first
  // when the view has the highest order at its back, whichever way it is turned.
  const TPoint centre = RectCenter(TCustomChartPanel::PlotRect);
  ReverseSeriesOrder =
      View3D() && Canvas().ViewDepth(centre.X, centre.Y, Depth3D()) > Canvas().ViewDepth(centre.X, centre.Y, 0);
  // 6.
  DrawWalls();
  // 7-9. Axes behind or in front of the series.
  if (axisBehind_) {
    BroadcastToTools(cteBeforeDrawAxes);
    canvas.BeginLayer();
    DrawAxes();
  }
  canvas.BeginLayer();
  BroadcastToTools(cteBeforeDrawSeries);
  if (OnBeforeDrawSeries) OnBeforeDrawSeries(*this);
  canvas.EndLayers();
  DrawAllSeries();
  BroadcastToTools(cteAfterDrawSeries);
  if (!axisBehind_) {
    BroadcastToTools(cteBeforeDrawAxes);
    DrawAxes();
  }
  // 10.
  DrawTitlesAndLegend(false);
  if (Zoom().Active) DrawZoomRectangle();
  BroadcastToTools(cteAfterDraw);
  if (OnAfterDraw) OnAfterDraw(*this);
}

// --- Mouse

void TCustomAxisPanel::ChartEvent(const TChartEvent& event) {
  const auto* m = dynamic_cast<const TChartMouseEvent*>(&event);
  if (!m) return;
  const TChartTools tools = tools_;
  for (TChartCustomTool* t : tools)
    if (t->Active()) t->NotifyMouseAction(ToolMouseAction(m->Event), m->Button, m->Shift, m->X, m->Y);
  if (m->Event == cmeMove) CheckMouseOverSeries(m->X, m->Y);
  if (m->Event != cmeDown) return;
  for (auto it = seriesList_.rbegin(); it != seriesList_.rend(); ++it) {
    TChartSeries* s = *it;
    if (!s->Active()) continue;
    if (const int i = s->Clicked(m->X, m->Y); i >= 0) {
      if (s->OnClick) s->OnClick(*s, i, m->Button, m->Shift, m->X, m->Y);
      break;
    }
  }
}

void TCustomAxisPanel::CheckMouseOverSeries(int x, int y) {
  TChartSeries* over = nullptr;
  for (auto it = seriesList_.rbegin(); it != seriesList_.rend() && !over; ++it)
    if ((*it)->Active() && (*it)->Clicked(x, y) >= 0) over = *it;
  if (over == mouseSeries_) return;
  if (TChartSeries* old = mouseSeries_) {
    mouseSeries_ = nullptr;
    old->PointerOver = false;
    Cursor = StashedCursor;
    if (old->OnMouseLeave) old->OnMouseLeave(*old);
  }
  if (over) {
    mouseSeries_ = over;
    over->PointerOver = true;
    if (over->Cursor) Cursor = over->Cursor;
    if (over->OnMouseEnter) over->OnMouseEnter(*over);
  }
}

TCursor TCustomAxisPanel::MouseLeave() {
  BroadcastToTools(cteMouseLeave);
  return TCustomChartPanel::MouseLeave();
}

// --- Tools

TChartCustomTool::~TChartCustomTool() {
  if (parent_) std::erase(parent_->tools_, this);
}

void TChartCustomTool::SetParentChart(TCustomAxisPanel* chart) {
  if (chart == parent_) return;
  if (parent_) {
    std::erase(parent_->tools_, this);
    RemoveFreeNotification(parent_);
    if (!chart) parent_->Invalidate();
  }
  parent_ = chart;
  if (chart) {
    chart->tools_.push_back(this);
    FreeNotification(chart);
  }
}

void TChartCustomToolSeries::SetSeries(TChartSeries* s) {
  if (s == series_) return;
  if (series_) RemoveFreeNotification(series_);
  series_ = s;
  if (s) FreeNotification(s);
}

void TChartCustomToolSeries::Notification(TChartComponent* freed) {
  TChartCustomTool::Notification(freed);
  if (freed == static_cast<TChartComponent*>(series_)) series_ = nullptr;
}

TChartAxis* TChartCustomToolSeries::GetHorizAxis() const {
  if (series_) return series_->GetHorizAxis();
  return parent_ ? &parent_->BottomAxis() : nullptr;
}

TChartAxis* TChartCustomToolSeries::GetVertAxis() const {
  if (series_) return series_->GetVertAxis();
  return parent_ ? &parent_->LeftAxis() : nullptr;
}

void TChartCustomToolAxis::SetAxis(TChartAxis* a) {
  if (a == axis_) return;
  axis_ = a;
  SetParentChart(a ? dynamic_cast<TCustomAxisPanel*>(a->Host()) : nullptr);
  Repaint();
}

void TChartCustomToolAxis::Notification(TChartComponent* freed) {
  const bool chartGone = parent_ && freed == static_cast<TChartComponent*>(parent_);
  TChartCustomTool::Notification(freed);
  if (chartGone) axis_ = nullptr;  // the axes went with their chart
}

int TChartCustomToolAxis::AxisID() const {
  if (!axis_ || !parent_) return -1;
  const auto& all = parent_->AllAxes();
  const auto it = std::find(all.begin(), all.end(), axis_);
  return it == all.end() ? -1 : int(it - all.begin());
}

void TChartCustomToolAxis::SetAxisID(int id) {
  if (!parent_ || id < 0 || id >= int(parent_->AllAxes().size())) return;
  SetAxis(parent_->AllAxes()[size_t(id)]);
}
