#include "chart/ChartEngineSeries.h"

#include <algorithm>
#include <cmath>

#include "chart/ChartConst.h"
#include "platform/ExLibVCL.h"
#include "platform/Format.h"

using ChartConst::Msg;

// --- Links

TChartComponent::~TChartComponent() { NotifyFree(); }

void TChartComponent::NotifyFree() {
  // Each side forgets the other first, so a Notification that links or
  // unlinks again does not touch this list.
  while (!links_.empty()) {
    TChartComponent* other = links_.back();
    links_.pop_back();
    std::erase(other->links_, this);
    other->Notification(this);
  }
}

void TChartComponent::FreeNotification(TChartComponent* other) {
  if (!other || other == this || std::find(links_.begin(), links_.end(), other) != links_.end()) return;
  links_.push_back(other);
  other->links_.push_back(this);
}

void TChartComponent::RemoveFreeNotification(TChartComponent* other) {
  if (!other) return;
  std::erase(links_, other);
  std::erase(other->links_, this);
}

// --- Elements

TCustomChartElement::TCustomChartElement() {
  brush_.OnChange = [this](TChartPersistent*) { Repaint(); };
  pen_.OnChange = [this](TChartPersistent*) { Repaint(); };
}

void TCustomChartElement::SetActive(bool v) {
  if (active_ == v) return;
  active_ = v;
  Repaint();
}

void TCustomChartElement::Repaint() {
  if (parent_) parent_->Invalidate();
}

void TCustomChartElement::Notification(TChartComponent* freed) {
  if (freed == static_cast<TChartComponent*>(parent_)) parent_ = nullptr;
}

void TCustomChartSeries::SetShowInLegend(bool v) {
  if (showInLegend_ == v) return;
  showInLegend_ = v;
  Repaint();
}

void TCustomChartSeries::SetTitle(const std::string& v) {
  if (title_ == v) return;
  title_ = v;
  if (parent_) parent_->SeriesEvent(seChangeTitle, this);
  Repaint();
}

// --- Series: life and chart

TChartSeries::TChartSeries() {
  xValues_.SetOrder(loAscending);
  marks_.SetVisible(false);
}

TChartSeries::~TChartSeries() {
  destroying_ = true;
  function_.reset();
  // The dependents lose this source (and clear or refill), the sources lose
  // this dependent, the chart loses this series, the tools their series.
  NotifyFree();
  for (TChartComponent* s : sources_)
    if (auto* series = dynamic_cast<TChartSeries*>(s)) series->RemoveDependent(this);
  sources_.clear();
  if (parent_) parent_->RemoveSeries(this).release();
}

void TChartSeries::SetParentChart(TCustomAxisPanel* chart) {
  if (chart == parent_) return;
  if (parent_) parent_->RemoveSeries(this).release();
  if (chart) chart->AddSeries(std::unique_ptr<TChartSeries>(this));
}

void TChartSeries::SetActive(bool v) {
  if (active_ == v) return;
  TCustomChartElement::SetActive(v);
  if (parent_) parent_->SeriesEvent(seChangeActive, this);
}

void TChartSeries::Notification(TChartComponent* freed) {
  TCustomChartElement::Notification(freed);
  if (auto it = std::find(dependents_.begin(), dependents_.end(), freed); it != dependents_.end()) dependents_.erase(it);
  if (std::find(sources_.begin(), sources_.end(), freed) != sources_.end()) {
    const bool current = sources_[0] == freed;
    std::erase(sources_, freed);
    if (current) ClearDataSources();
    if (!destroying_) RefreshFromSource();
  }
}

// --- Points

TColor TChartSeries::SeriesColor() const { return seriesColor_ == clPaletteColor ? ChosenColor : seriesColor_; }

void TChartSeries::SetSeriesColor(TColor c) {
  if (seriesColor_ == clPaletteColor && c == ChosenColor) return;
  seriesColor_ = c;
  ChosenColor = c;
  Repaint();
  if (parent_) parent_->SeriesEvent(seChangeColor, this);
}

void TChartSeries::SetColorEachPoint(bool v) {
  if (colorEachPoint_ == v) return;
  colorEachPoint_ = v;
  Repaint();
}

void TChartSeries::InsertColor(int index, TColor c) {
  if (!colors_) {
    if (c == clPaletteColor) return;
    colors_ = std::make_unique<std::vector<TColor>>(size_t(Count() - 1), clPaletteColor);
  }
  auto& v = *colors_;
  if (size_t(index) > v.size()) v.resize(size_t(index), clPaletteColor);
  v.insert(v.begin() + index, c);
}

int TChartSeries::AppendPoint(double x, double y, const std::string& label, TColor color) {
  xValues_.ValueInTransit = x;
  yValues_.ValueInTransit = y;
  if (OnBeforeAdd && !OnBeforeAdd(*this)) return -1;
  const int index = xValues_.PlaceValue(x);
  for (size_t l = 1; l < allLists_.size(); ++l) allLists_[l]->InsertAt(index, allLists_[l]->ValueInTransit);
  InsertColor(index, color);
  if (!label.empty() || !labels_.empty()) {
    if (size_t(index) > labels_.size()) labels_.resize(size_t(index));
    labels_.insert(labels_.begin() + index, label);
  }
  if (updateNesting_ == 0) AnnounceNewPoint(index);
  return index;
}

int TChartSeries::Add(double value, const std::string& label, TColor color) {
  if (mandatoryIsY_) return AppendPoint(Count(), value, label, color);
  return AppendPoint(value, yValues_.Count(), label, color);
}

void TChartSeries::AnnounceNewPoint(int index) {
  if (OnAfterAdd) OnAfterAdd(*this, index);
  AnnounceValueChange(veAdd, index);
  if (active_) Repaint();
}

std::string TChartSeries::LabelAt(int i) const {
  return i >= 0 && size_t(i) < labels_.size() ? labels_[size_t(i)] : std::string();
}

void TChartSeries::SetLabelAt(int i, const std::string& text) {
  if (i < 0) return;
  if (!text.empty()) {
    if (size_t(i) >= labels_.size()) labels_.resize(size_t(i) + 1);
    labels_[size_t(i)] = text;
  } else if (size_t(i) < labels_.size()) {
    labels_[size_t(i)].clear();
  }
  Repaint();
}

TColor TChartSeries::PointColorStored(int i) const {
  if (!colors_ || i < 0 || size_t(i) >= colors_->size()) return clPaletteColor;
  return (*colors_)[size_t(i)];
}

TColor TChartSeries::PointColorAt(int i) const {
  const TColor c = PointColorStored(i);
  if (c != clPaletteColor) return c;
  if (colorEachPoint_) return parent_ ? parent_->PaletteColorAt(i) : ::PaletteColorAt(i);
  return SeriesColor();
}

void TChartSeries::Delete(int i) {
  if (i < 0 || i >= Count())
    throw ChartException(Format(Msg(ChartConst::cmSeriesDeleteValueIndexPctdOutOfBounds).c_str(), i, Count() - 1));
  for (TChartValueList* l : allLists_) l->Delete(i);
  if (colors_ && size_t(i) < colors_->size()) colors_->erase(colors_->begin() + i);
  if (size_t(i) < labels_.size()) labels_.erase(labels_.begin() + i);
  marks_.Positions().clear();  // rebuilt by the next drawing
  AnnounceValueChange(veDelete, i);
  if (active_) Repaint();
}

void TChartSeries::Delete(int start, int quantity, bool renumber) {
  const int n = Count();
  if (start < 0 || start >= n || quantity <= 0) return;
  quantity = std::min(quantity, n - start);
  for (TChartValueList* l : allLists_) l->RemoveSpan(start, quantity);
  auto cut = [&](auto& v) {
    const size_t a = std::min(v.size(), size_t(start)), b = std::min(v.size(), size_t(start + quantity));
    v.erase(v.begin() + a, v.begin() + b);
  };
  if (colors_) {
    cut(*colors_);
    if (colors_->empty()) colors_.reset();
  }
  cut(labels_);
  if (renumber) NonMandatoryList().NumberSequentially();
  AnnounceValueChange(veDelete, -1);
  Repaint();
}

void TChartSeries::RemoveAllValues() {
  for (TChartValueList* l : allLists_) l->RemoveAllValues();
  colors_.reset();
  labels_.clear();
  marks_.Clear();
}

void TChartSeries::Clear() {
  FirstShownIndex = LastShownIndex = -1;
  RemoveAllValues();
  if (OnClearValues) OnClearValues(*this);
  AnnounceValueChange(veClear, 0);
  if (function_) function_->Clear();
  if (active_ && !destroying_) Repaint();
}

void TChartSeries::ExchangePoints(int a, int b) {
  for (TChartValueList* l : allLists_) {
    const double t = l->GetValue(a);
    l->SetValue(a, l->GetValue(b));
    l->SetValue(b, t);
  }
  SwapPoints(a, b);
}

void TChartSeries::SwapPoints(int a, int b) {
  if (colors_) {
    const int n = std::max(a, b) + 1;
    if (colors_->size() < size_t(n)) colors_->resize(size_t(n), clPaletteColor);
    std::swap((*colors_)[size_t(a)], (*colors_)[size_t(b)]);
  }
  if (!labels_.empty()) {
    const int n = std::max(a, b) + 1;
    if (labels_.size() < size_t(n)) labels_.resize(size_t(n));
    std::swap(labels_[size_t(a)], labels_[size_t(b)]);
  }
}

void TChartSeries::ValueModified(int index) { AnnounceValueChange(veModify, index); }

void TChartSeries::ValueListChanged(TChartValueList&) {
  Repaint();
  RefreshFromSource();
}

TChartValueList& TChartSeries::ValueListByName(const std::string& name) {
  auto upper = [](std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
  };
  const std::string n = upper(name);
  for (size_t l = 2; l < allLists_.size(); ++l)
    if (upper(allLists_[l]->Name()) == n) return *allLists_[l];
  return yValues_;
}

// --- Axes

void TChartSeries::SetHorizAxis(THorizAxis v) {
  if (horizAxis_ == v) return;
  horizAxis_ = v;
  if (v != aCustomHorizAxis && !Loading) customHoriz_ = nullptr;
  Repaint();
}

void TChartSeries::SetVertAxis(TVertAxis v) {
  if (vertAxis_ == v) return;
  vertAxis_ = v;
  if (v != aCustomVertAxis && !Loading) customVert_ = nullptr;
  Repaint();
}

void TChartSeries::SetCustomHorizAxis(TChartAxis* a) {
  customHoriz_ = a;
  if (a) horizAxis_ = aCustomHorizAxis;
  Repaint();
}

void TChartSeries::SetCustomVertAxis(TChartAxis* a) {
  customVert_ = a;
  if (a) vertAxis_ = aCustomVertAxis;
  Repaint();
}

TChartAxis* TChartSeries::GetHorizAxis() const {
  if (!parent_) return nullptr;
  if (horizAxis_ == aCustomHorizAxis && customHoriz_) return customHoriz_;
  return horizAxis_ == aTopAxis ? &parent_->TopAxis() : &parent_->BottomAxis();
}

TChartAxis* TChartSeries::GetVertAxis() const {
  if (!parent_) return nullptr;
  if (vertAxis_ == aCustomVertAxis && customVert_) return customVert_;
  return vertAxis_ == aRightAxis ? &parent_->RightAxis() : &parent_->LeftAxis();
}

bool TChartSeries::AssociatedToAxis(const TChartAxis& axis) const {
  if (axis.Horizontal()) return horizAxis_ == aBothHorizAxis || GetHorizAxis() == &axis;
  return vertAxis_ == aBothVertAxis || GetVertAxis() == &axis;
}

bool TChartSeries::IsPositionAxis(const TChartAxis& axis) const {
  return AssociatedToAxis(axis) && axis.Horizontal() == mandatoryIsY_;
}

double TChartSeries::FiniteExtreme(const TChartValueList& list, bool highest) const {
  bool any = false;
  double result = 0;
  for (int i = 0; i < Count(); ++i) {
    if (!PointIsFinite(i)) continue;
    const double v = list[i];
    if (!any || (highest ? v > result : v < result)) result = v, any = true;
  }
  return result;
}

int TChartSeries::PointPixelX(int i) const { return GetHorizAxis()->PixelOfValue(xValues_[i]); }
int TChartSeries::PointPixelY(int i) const { return GetVertAxis()->PixelOfValue(yValues_[i]); }

void TChartSeries::ValuesUnderMouse(int x, int y, double& vx, double& vy) const {
  vx = GetHorizAxis() ? GetHorizAxis()->ValueAtPixel(x) : 0;
  vy = GetVertAxis() ? GetVertAxis()->ValueAtPixel(y) : 0;
}

// --- Data sources

void TChartSeries::SetDataSource(TChartComponent* source) {
  if (!source) {
    ClearDataSources();
    RefreshFromSource();
  } else {
    AddDataSource(source);
  }
}

void TChartSeries::AddDataSource(TChartComponent* source) {
  if (!parent_) throw ChartException(Msg(ChartConst::cmNoParentChartToValidateDataSource));
  if (!parent_->AcceptsSource(*this, source))
    throw ChartException(Format(Msg(ChartConst::cmNoValidDataSourcePcts).c_str(), source->Name.c_str()));
  if (std::find(sources_.begin(), sources_.end(), source) != sources_.end()) {
    std::erase(sources_, source);
    if (auto* s = dynamic_cast<TChartSeries*>(source)) s->RemoveDependent(this);
  }
  if (!Loading) ClearDataSources();
  sources_.push_back(source);
  FreeNotification(source);
  if (auto* s = dynamic_cast<TChartSeries*>(source)) s->AddDependent(this);
  else if (auto* src = dynamic_cast<TChartSeriesSource*>(source)) src->SetSeries(this);
  RefreshFromSource();
}

void TChartSeries::RemoveDataSource(TChartComponent* source) {
  if (std::find(sources_.begin(), sources_.end(), source) == sources_.end()) return;
  if (auto* s = dynamic_cast<TChartSeries*>(source)) s->RemoveDependent(this);
  if (source == sources_[0]) ClearDataSources();
  else std::erase(sources_, source);
  RemoveFreeNotification(source);
  RefreshFromSource();
}

void TChartSeries::ClearDataSources() {
  for (TChartComponent* s : sources_) {
    if (auto* series = dynamic_cast<TChartSeries*>(s)) series->RemoveDependent(this);
    RemoveFreeNotification(s);
  }
  sources_.clear();
  if (!StoredPoints) Clear();
}

void TChartSeries::DropSeriesSources() {
  std::erase_if(sources_, [this](TChartComponent* source) {
    auto* series = dynamic_cast<TChartSeries*>(source);
    if (!series) return false;
    series->RemoveDependent(this);
    RemoveFreeNotification(source);
    return true;
  });
}

void TChartSeries::AddDependent(TChartSeries* s) {
  if (std::find(dependents_.begin(), dependents_.end(), s) == dependents_.end()) dependents_.push_back(s);
}

void TChartSeries::RemoveDependent(TChartSeries* s) { std::erase(dependents_, s); }

void TChartSeries::AttachFunction(std::unique_ptr<TChartFunction> f) {
  function_ = std::move(f);
  if (function_) function_->parent_ = this;
  StoredPoints = false;
  RefreshFromSource();
}

void TChartSeries::RefreshFromSource() {
  if (updateNesting_ > 0 || !parent_ || destroying_) return;
  parent_->RefreshSeriesFromSource(*this);
}

void TChartSeries::RefillFrom(TChartSeries& source) {
  BeginUpdate();
  Clear();
  if (function_) {
    xValues_.SetDateTime(source.xValues_.DateTime());
    yValues_.SetDateTime(source.yValues_.DateTime());
    function_->PopulateSeries(&source);
  } else if (&source != this) {
    const int n = source.Count();
    for (int i = 0; i < n; ++i) PlaceValue(source, i);
  }
  EndUpdate();
}

void TChartSeries::PlaceValue(TChartSeries& source, int index) {
  const bool exchange = mandatoryIsY_ != source.mandatoryIsY_;
  const double x = source.xValues_[index], y = source.yValues_[index];
  const int at = xValues_.PlaceValue(exchange ? y : x);
  yValues_.InsertAt(at, exchange ? x : y);
  for (size_t l = 2; l < allLists_.size(); ++l)
    allLists_[l]->InsertAt(at, l < source.allLists_.size() ? source.allLists_[l]->GetValue(index) : 0);
  if (source.colors_) InsertColor(at, source.PointColorStored(index));
  else if (colors_) InsertColor(at, clPaletteColor);
  if (!source.labels_.empty() || !labels_.empty()) {
    if (size_t(at) > labels_.size()) labels_.resize(size_t(at));
    labels_.insert(labels_.begin() + at, source.LabelAt(index));
  }
  if (updateNesting_ == 0) AnnounceNewPoint(at);
}

void TChartSeries::EndUpdate() {
  if (updateNesting_ == 0 || --updateNesting_ > 0) return;
  AnnounceValueChange(veRefresh, -1);
  if (parent_) parent_->SeriesEvent(seDataChanged, this);
  Repaint();
}

void TChartSeries::AnnounceValueChange(TValueEvent event, int index) {
  if (updateNesting_ > 0) return;
  // A dependent may unlink itself while it refills: walk a copy.
  const std::vector<TChartSeries*> linked = dependents_;
  for (TChartSeries* l : linked) {
    if (std::find(dependents_.begin(), dependents_.end(), l) == dependents_.end()) continue;
    switch (event) {
      case veClear:
        if (l->RecalcOptions & rOnClear) l->Clear();
        break;
      case veAdd:
        if ((l->RecalcOptions & rOnInsert) && !l->function_) l->PlaceValue(*this, index);
        break;
      case veDelete:
        // A span removal does not say which points went: refill instead.
        if ((l->RecalcOptions & rOnDelete) && !l->function_) {
          if (index >= 0) l->Delete(index);
          else l->RefillFrom(*this);
        }
        break;
      case veRefresh: l->RefillFrom(*this); break;
      case veModify:
        if (l->RecalcOptions & rOnModify) l->RefillFrom(*this);
        break;
    }
  }
}

// --- Drawing

void TChartSeries::FindVisibleRange() {
  const int n = Count();
  FirstShownIndex = LastShownIndex = -1;
  if (n == 0) return;
  const TChartValueList& pos = mandatoryIsY_ ? xValues_ : yValues_;
  TChartAxis* axis = mandatoryIsY_ ? GetHorizAxis() : GetVertAxis();
  if (!NarrowByOrder || pos.Order() == loNone || !axis) {
    FirstShownIndex = 0, LastShownIndex = n - 1;
    return;
  }
  const double lo = axis->Minimum(), hi = axis->Maximum();
  int first = 0;
  while (first < n && pos[first] < lo) ++first;
  if (first == n) return;  // every point lies before the axis: nothing to draw
  int last = n - 1;
  while (last > first && pos[last] > hi) --last;
  FirstShownIndex = first, LastShownIndex = last;
}

bool TChartSeries::ForwardValueOrder() const {
  const TChartAxis* a = mandatoryIsY_ ? GetHorizAxis() : GetVertAxis();
  return !(a && a->Inverted());
}

void TChartSeries::DrawVisiblePoints() {
  if (FirstShownIndex < 0) return;
  if (ForwardValueOrder())
    for (int i = FirstShownIndex; i <= LastShownIndex; ++i) PaintPoint(i);
  else
    for (int i = LastShownIndex; i >= FirstShownIndex; --i) PaintPoint(i);
}

void TChartSeries::DrawValues() {
  if (BeforeDrawValues) BeforeDrawValues(*this);
  DrawVisiblePoints();
  if (AfterDrawValues) AfterDrawValues(*this);
}

namespace {

bool Overlap(const TRect& a, const TRect& b) {
  return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

// A mark's box kept whole and readable: within the plot's width when it fits,
// and moved off the boxes already drawn, upwards, or downwards when upwards
// would leave the frame.
void PlaceMark(TSeriesMarkPosition& p, const TRect& plot, const TRect& frame, const std::vector<TRect>& placed) {
  if (p.Width <= plot.Width()) p.LeftTop.X = std::clamp(p.LeftTop.X, plot.Left, plot.Right - p.Width);
  auto stack = [&](bool up) {
    TSeriesMarkPosition q = p;
    for (size_t tries = 0; tries <= placed.size(); ++tries) {
      auto hit = std::find_if(placed.begin(), placed.end(), [&](const TRect& r) { return Overlap(r, q.Bounds()); });
      if (hit == placed.end()) break;
      q.LeftTop.Y = up ? hit->Top - q.Height : hit->Bottom;
    }
    return q;
  };
  TSeriesMarkPosition q = stack(true);
  if (q.LeftTop.Y < frame.Top) q = stack(false);
  // A mark moved off its place draws no arrow across the marks it avoided.
  if (q.LeftTop.Y != p.LeftTop.Y) q.ArrowTo = q.ArrowFrom;
  p = q;
}

}  // namespace

void TChartSeries::DrawMarks() {
  if (!marks_.Visible() || FirstShownIndex < 0 || !parent_) return;
  const TRect plot = parent_->PlotRect();
  // A point just outside the range whose pixel still lies on the plot's edge
  // (a measured point a hair beyond the axis end) keeps its mark.
  int first = FirstShownIndex, last = LastShownIndex;
  auto onPlot = [&](int i) {
    const int x = PointPixelX(i), y = PointPixelY(i);
    return x >= plot.Left && x <= plot.Right && y >= plot.Top && y <= plot.Bottom;
  };
  if (first > 0 && onPlot(first - 1)) --first;
  if (last + 1 < Count() && onPlot(last + 1)) ++last;
  std::vector<TRect> placed;
  // In 3-D the marks stand at the series' front, where its pointers' faces are.
  marks_.ZPosition = parent_->View3D() ? StartZ : 0;
  for (int i = first; i <= last; ++i) {
    if (!marks_.DrawsIndex(i) || PointIsEmpty(i)) continue;
    if (marks_.HasItem(i) && !marks_.Item(i).Visible()) continue;  // one point's mark hidden
    std::string text = marks_.TextOf(i);
    if (OnGetMarkText) OnGetMarkText(*this, i, text);
    if (text.empty()) continue;
    const TSize size = marks_.MarkSize(text);
    TSeriesMarkPosition p;
    p.ArrowFrom = {PointPixelX(i), PointPixelY(i)};
    p.ArrowTo = {p.ArrowFrom.X, p.ArrowFrom.Y - marks_.ArrowLength() - marks_.Callout().Distance()};
    p.Width = size.cx, p.Height = size.cy;
    p.LeftTop = TPoint{p.ArrowTo.X - size.cx / 2, p.ArrowTo.Y - size.cy};
    PlaceMark(p, plot, parent_->FrameBounds, placed);
    marks_.PaintOneMark(i, PointColorAt(i), text, p);
    placed.push_back(p.Bounds());
  }
}

// --- Texts

TColor TChartSeries::LegendColorAt(int index) const {
  return index >= 0 && index < Count() ? PointColorAt(index) : SeriesColor();
}

void TChartSeries::PaintLegendSymbol(int index, const TRect& r) {
  if (!parent_) return;
  TChartCanvas3D& c = parent_->Canvas();
  c.SetBrushStyle(bsSolid);
  c.SetBrushColor(LegendColorAt(index));
  c.Rectangle(r);
}

TChartCanvas3D* TChartSeries::MarksCanvas() { return parent_ ? &parent_->Canvas() : nullptr; }

ITextMeasure& TChartSeries::MarksMeasure() {
  static struct NoMeasure final : ITextMeasure {
    int TextWidth(const TChartFont&, std::string_view) override { return 0; }
    int FontHeight(const TChartFont&) override { return 0; }
  } none;
  return parent_ ? parent_->AxisMeasure() : none;
}

std::string TChartSeries::ValueText(double v) const {
  if (MandatoryList().DateTime()) return FormatDateTime("", v);
  return FormatFloat(ValueFormat, v);
}

std::string TChartSeries::PercentText(double v, double total) const {
  return FormatFloat(PercentFormat, total == 0 ? 100 : v * 100 / total);
}

std::string TChartSeries::MarkValueText(int i) { return ValueText(MandatoryValueAt(i)); }
std::string TChartSeries::MarkPercentText(int i) {
  return PercentText(std::fabs(MandatoryValueAt(i)), MandatoryList().MagnitudeSum());
}
std::string TChartSeries::MarkTotalText() { return FormatFloat(ValueFormat, MandatoryList().MagnitudeSum()); }

std::string TChartSeries::MarkXValueText(int i) {
  TChartAxis* a = GetHorizAxis();
  return a ? a->LabelTextOf(xValues_[i]) : FormatFloat(ValueFormat, xValues_[i]);
}

std::string TChartSeries::MarkLegendText(int i) {
  return parent_ ? parent_->SeriesLegendText(*this, i) : LegendTextAt(i, ltsPlain);
}

std::string TChartSeries::LegendTextAt(int i, TLegendTextStyle style) {
  if (i < 0 || i >= Count()) return {};
  const std::string label = LabelAt(i), sep(1, kLegendColumnSeparator);
  // A null point has no value to show or to count: its row keeps its label
  // (and a finite position) with the number columns empty, and it takes no
  // part in the others' percentages.
  const bool null = PointIsEmpty(i);
  const std::string value = null ? std::string() : ValueText(MandatoryValueAt(i));
  double total = 0;
  for (int k = 0; k < Count(); ++k)
    if (!PointIsEmpty(k)) total += MandatoryValueAt(k);
  const std::string percent = null ? std::string() : PercentText(MandatoryValueAt(i), total);
  const std::string x = std::isfinite(xValues_[i]) ? MarkXValueText(i) : std::string();
  switch (style) {
    case ltsPlain: return label;
    case ltsLeftValue: return value + sep + label;
    case ltsRightValue: return label + sep + value;
    case ltsLeftPercent: return percent + sep + label;
    case ltsRightPercent: return label + sep + percent;
    case ltsXValue: return x;
    case ltsValue: return value;
    case ltsPercent: return percent;
    case ltsXAndValue: return x + sep + value;
    case ltsXAndPercent: return x + sep + percent;
  }
  return label;
}

// --- Sources of labels and colours, sample values, copying

void TChartSeries::SetXLabelsSource(const std::string& v) {
  if (xLabelsSource_ == v) return;
  xLabelsSource_ = v;
  RefreshFromSource();
}

void TChartSeries::SetColorSource(const std::string& v) {
  if (colorSource_ == v) return;
  colorSource_ = v;
  RefreshFromSource();
}

void TChartSeries::FillSampleValues(int numValues) {
  if (numValues < 0) throw ChartException(Msg(ChartConst::cmFillSampleValuesNumValuesMustBe0));
  BeginUpdate();
  Clear();
  // A fixed seed: the same series always shows the same samples.
  uint32_t seed = 0x2545F491u;
  auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
  double y = 100 + next() % 900;
  for (int i = 0; i < numValues; ++i) {
    AppendPoint(i, y);
    y = std::max(0.0, y + double(next() % 201) - 100.0);
  }
  EndUpdate();
}

namespace {

// The axis of `chart` that stands where `axis` stands in `from` (custom axes
// by their place in the axis list).
TChartAxis* SameAxisIn(TCustomAxisPanel* chart, const TCustomAxisPanel* from, const TChartAxis* axis) {
  if (!axis || !chart || !from) return nullptr;
  if (chart == from) return const_cast<TChartAxis*>(axis);
  const auto& fromAxes = from->AllAxes();
  const auto it = std::find(fromAxes.begin(), fromAxes.end(), axis);
  const size_t i = size_t(it - fromAxes.begin());
  return i < chart->AllAxes().size() ? chart->AllAxes()[i] : nullptr;
}

}  // namespace

void TChartSeries::Assign(const TChartSeries& s) {
  if (&s == this) return;
  BeginUpdate();
  for (size_t l = 0; l < allLists_.size() && l < s.allLists_.size(); ++l) allLists_[l]->Assign(*s.allLists_[l]);
  xLabelsSource_ = s.xLabelsSource_;
  colorSource_ = s.colorSource_;
  marks_.Assign(s.marks_);
  seriesColor_ = s.seriesColor_;
  ChosenColor = s.ChosenColor;
  colorEachPoint_ = s.colorEachPoint_;
  ValueFormat = s.ValueFormat;
  PercentFormat = s.PercentFormat;
  horizAxis_ = s.horizAxis_;
  vertAxis_ = s.vertAxis_;
  customHoriz_ = SameAxisIn(parent_, s.parent_, s.customHoriz_);
  customVert_ = SameAxisIn(parent_, s.parent_, s.customVert_);
  RecalcOptions = s.RecalcOptions;
  Cursor = s.Cursor;
  Depth = s.Depth;
  if (!function_ && s.function_) {
    function_ = s.function_->Clone();
    function_->parent_ = this;
  }
  if (!s.sources_.empty()) {
    for (TChartComponent* source : s.sources_) AddDataSource(source);
  } else {
    Clear();
    for (int i = 0; i < s.Count(); ++i) PlaceValue(const_cast<TChartSeries&>(s), i);
  }
  EndUpdate();
  RefreshFromSource();
}
