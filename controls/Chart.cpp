#include "controls/Chart.h"

#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "controls/ChartConst.h"
#include "controls/ChartProcs.h"

bool ChartWheelScrolls = true;
double ChartAnimatedZoomFactor = 3.0;

// --- Titles

TChartTitle::TChartTitle(TCustomChart* chart, bool foot) : TChartCustomShape(chart), foot_(foot) {
  Transparent = true;
  Font().SetColor(foot ? TColor(0x0000FF) : TColor(0xFF0000));
  if (foot) Font().SetStyle(fsItalic);
}

void TChartTitle::DrawTitle(TChartCanvas3D& c, TRect& area) {
  ShapeBounds = {};
  if (!Visible() || Text.empty()) return;
  int f = Pen().Visible() && Pen().Color() != clDefault ? Pen().Width() : 0;
  if (Bevel != bvNone) f = BevelWidth;
  TRect r = CustomPosition ? TRect{Left, Top, Left, Top} : area;
  if (!CustomPosition && !foot_) r.Top += f;
  c.PrepareFont(Font());
  const int h = c.FontPixelHeight(), lines = int(Text.size());
  if (foot_ && !CustomPosition) r.Top = r.Bottom - h * lines;
  else r.Bottom = r.Top + h * lines;
  if (!CustomPosition) r = {r.Left - f, r.Top - f, r.Right + f, r.Bottom + f};
  const int m = c.TextWidth("W");
  if (AdjustFrame) {
    int widest = 0;
    for (const std::string& line : Text) widest = std::max(widest, c.TextWidth(line));
    const int w = widest + m + f;
    if (Alignment == taLeftJustify) r.Right = r.Left + w;
    else if (Alignment == taRightJustify) r.Left = r.Right - w;
    else {
      const int mid = (r.Left + r.Right) / 2;
      r.Left = mid - w / 2, r.Right = mid + w / 2;
    }
  }
  PaintRotatedShape(c, r, 0);
  c.SetBackgroundMode(cbmTransparent);
  c.PrepareFont(Font());
  for (int i = 0; i < lines; ++i) {
    const std::string& line = Text[size_t(i)];
    const int tw = c.TextWidth(line);
    const int x = Alignment == taLeftJustify    ? r.Left + m / 2
                  : Alignment == taRightJustify ? r.Right - tw - m / 2
                                                : (r.Left + r.Right) / 2 - tw / 2;
    c.TextOut(x, r.Top + i * h, line);
  }
  ShapeBounds = r;
  if (CustomPosition) return;
  const int gap = 5 + f + (Transparent || !HasShadow() ? 0 : Shadow().Size());
  if (foot_) area.Bottom = r.Bottom - gap - h * lines;
  else area.Top = r.Bottom + gap;
}

bool TChartTitle::Clicked(int x, int y) const {
  return Visible() && !ShapeBounds.IsEmpty() && PointInRect(ShapeBounds, {x, y});
}

// --- Legend and walls

TChartLegend::TChartLegend(TCustomChart* chart) : TChartCustomShape(chart) {
  Gradient().SetDirection(gdRightLeft);
  Gradient().SetStartColor(TColor(12632256));
  Gradient().SetEndColor(TColor(16777215));
}

void TChartLegend::SetFirstValue(int v) {
  if (v < 0) throw LegendException(ChartConst::Msg(ChartConst::cmFirstLegendValueMustBe0));
  Update(firstValue_, v);
}

void TChartLegend::SetCheckBoxesStyle(TCheckBoxesStyle v) {
  if (checkBoxesStyle_ == v) return;
  checkBoxesStyle_ = v;
  if (auto* chart = dynamic_cast<TCustomAxisPanel*>(ParentChart()); chart && v == cbsRadio) {
    bool kept = false;
    for (TChartSeries* s : chart->SeriesList())
      if (s->ShowInLegend() && s->Active()) {
        if (kept) s->SetActive(false);
        kept = true;
      }
  }
  Changed();
}

int TChartLegend::LegendItemAt(int, int) const { return -1; }

TChartWall::TChartWall(TCustomChart* chart, TColor color) : TChartCustomShape(chart) { Color = color; }

// --- Palettes

const std::vector<TColorPalette>& ColorPalettes() {
  static const std::vector<TColorPalette> palettes = {
      {"Orvandel", {}},
      {"Excel", {0xFF9999, 0x663399, 0xCCFFFF, 0xFFFFCC, 0x660066, 0x8080FF, 0xCC6600, 0xFFCCCC, 0x800000, 0xFF00FF,
                 0x00FFFF, 0xFFFF00, 0x800080, 0x000080, 0x808000, 0xFF0000, 0xFFCC00, 0xFFFFCC, 0xCCFFCC, 0x00FFFF,
                 0xFFCC99, 0xCC99FF}},
      {"Victorian",
       {0xA1A55D, 0x3153C4, 0x0996E7, 0x4AE8F6, 0xA7A2B1, 0x84A7C9, 0x51798C, 0xB7CDD8, 0x536508, 0x7BD8F7, 0x846401}},
      {"Pastels", {0xFFFFCC, 0xCCFFFF, 0xFFCCCC, 0xCCCC00, 0xCCCCCC, 0x999900, 0x999999, 0xCCCCFF, 0x66CCFF, 0xFFCCCC,
                   0x9999FF, 0x99FFFF, 0xFFCC99, 0xCCFFCC}},
      {"Solid", {0xFF0000, 0x0000FF, 0x00FF00, 0x00CCFF, 0x404040, 0x00FFFF, 0xC000FF, 0xFFFFFF}},
      {"Classic", {0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0x800000, 0x008000, 0x808000, 0x000080,
                   0x800080, 0x008080}},
      {"Web", {0x00A5FF, 0xCE0000, 0x00CE00, 0x40FFFF, 0xFFFF40, 0xFF40FF, 0x0040FF, 0xA58080, 0x408080}},
      {"Modern", {0x6699FF, 0x6666FF, 0xFFCC99, 0x669966, 0x99CCCC, 0xCC6699, 0x6666CC, 0x99CCFF, 0xFF6699, 0xCCCCCC,
                  0xCCFF66, 0xFF9966, 0x996699, 0xFFCCCC}},
      {"Rainbow", {0x000099, 0x0000C3, 0x0000EE, 0x001AFF, 0x0046FF, 0x0073FF, 0x009FFF, 0x00CBFF, 0x00F7FF,
                   0x08F4E3, 0x11E7C3, 0x1BDAA3, 0x25CD83, 0x2EC063, 0x38B342, 0x42A622, 0x4B9A02, 0x6A870C,
                   0x8A751A, 0xAA6328, 0xCB5036, 0xEB3E44, 0xFF2A61, 0xFF1596, 0xFF00CC}},
      {"Win. XP", {0xFE9B82, 0x24D1FC, 0x0DBC7C, 0x2F85FD, 0xFCFEFD, 0x214EE2, 0xD63829, 0x0094B7, 0x00865A,
                   0x0046D2, 0xFAE5D3, 0xD8D8D8, 0x7B715F}},
  };
  return palettes;
}

// --- The chart

TCustomChart::TCustomChart()
    : title_(std::make_unique<TChartTitle>(this, false)),
      subTitle_(std::make_unique<TChartTitle>(this, false)),
      foot_(std::make_unique<TChartTitle>(this, true)),
      subFoot_(std::make_unique<TChartTitle>(this, true)),
      legend_(std::make_unique<TChartLegend>(this)),
      backWall_(std::make_unique<TChartWall>(this, TColor(0xC0C0C0))),
      leftWall_(std::make_unique<TChartWall>(this, TColor(0x80FFFF))),
      bottomWall_(std::make_unique<TChartWall>(this, TColor(0xFFFFFF))),
      rightWall_(std::make_unique<TChartWall>(this, TColor(0xC0C0C0))) {
  backWall_->Transparent = true;
  rightWall_->SetVisible(false);
}

TCustomChart::~TCustomChart() = default;

TChartSeries* TCustomChart::GetSeries(int i) const {
  return i >= 0 && i < SeriesTotal() ? Series(i) : nullptr;
}

TColor TCustomChart::GetBackColor() const { return backWall_->Transparent ? Color() : backWall_->Color; }

void TCustomChart::SetBackColor(TColor c) {
  backWall_->Color = c;
  if (!IsLoading) backWall_->Transparent = false, backWall_->Brush().SetStyle(bsSolid);
  Invalidate();
}

bool TCustomChart::ColorIsUnused(TColor c, const TChartSeries* series) const {
  return TCustomAxisPanel::ColorIsUnused(c, series) && c != Color() && c != backWall_->Color;
}

void TCustomChart::ChoosePalette(int index) {
  const auto& palettes = ColorPalettes();
  if (index < 0 || index >= int(palettes.size())) return;
  PaletteColors = palettes[size_t(index)].Colors;
  for (int i = 0; i < SeriesTotal(); ++i)
    if (Series(i)->StoredSeriesColor() == clPaletteColor) Series(i)->ChosenColor = PaletteColorAt(i);
  ColorPaletteIndex = index;
  Invalidate();
}

int TCustomChart::WallThicknessOf(const TChartAxis& axis) const {
  if (!View3D() || !View3DWalls()) return 0;
  const auto& axes = AllAxes();  // bottom 0, left 2, right 3
  const TChartWall& w = &axis == axes[2]   ? *leftWall_
                        : &axis == axes[0] ? *bottomWall_
                        : &axis == axes[3] ? *rightWall_
                                           : *backWall_;
  return w.Visible() ? w.Size : 0;
}

bool TCustomChart::AxesNeeded() const {
  // Every series of this library is drawn against axes.
  return true;
}

void TCustomChart::DrawTitlesAndLegend(bool beforeSeries) {
  TRect area = TCustomChartPanel::PlotRect;
  for (TChartTitle* t : {title_.get(), subTitle_.get(), foot_.get(), subFoot_.get()})
    if (t->CustomPosition != beforeSeries) t->DrawTitle(Canvas(), area);
  if (beforeSeries) TCustomChartPanel::PlotRect = area;
}

void TCustomChart::DrawWalls() {
  if (!AxesNeeded() || !View3DWalls() || View3D() || !backWall_->Visible()) return;
  // Flat charts have the back wall only, one pixel wider and taller than the plot.
  TChartCanvas3D& c = Canvas();
  const TRect& p = TCustomChartPanel::PlotRect;
  const TRect r{p.Left, p.Top, p.Right + 1, p.Bottom + 1};
  std::unique_ptr<TChartBlend> blend;
  if (backWall_->Transparency > 0) blend = c.StartTransparency(r, backWall_->Transparency);
  c.PreparePen(backWall_->Pen());
  if (backWall_->Transparent) c.SetBrushStyle(bsClear);
  else c.PrepareBrush(backWall_->Brush(), backWall_->Color);
  if (!backWall_->Transparent && backWall_->HasGradient() && backWall_->Gradient().Visible()) {
    backWall_->Gradient().Draw(c, r);
    c.SetBrushStyle(bsClear);
  }
  c.Rectangle(r);
  if (blend) c.FinishTransparency(std::move(blend));
}

// --- Hit test

TChartClickedPart TCustomChart::PartAtPoint(int x, int y, bool forClick) {
  TChartClickedPart part;
  for (auto it = SeriesList().rbegin(); it != SeriesList().rend(); ++it) {
    TChartSeries* s = *it;
    if (!s->Active() || (forClick && !s->OnClick && !s->OnDblClick && !OnClickSeries)) continue;
    if (const int i = s->Clicked(x, y); i >= 0) return {hpSeries, i, s, nullptr};
    if (s->Marks().Visible())
      if (const int i = s->Marks().HitTest(x, y); i >= 0) return {hpSeriesMarks, i, s, nullptr};
  }
  for (TChartAxis* a : AllAxes())
    if (a->Visible() && a->HitTest(x, y)) return {hpAxis, -1, nullptr, a};
  const std::pair<TChartTitle*, TChartClickedPartStyle> titles[] = {
      {title_.get(), hpTitle}, {subTitle_.get(), hpSubTitle}, {foot_.get(), hpFoot}, {subFoot_.get(), hpSubFoot}};
  for (const auto& [t, style] : titles)
    if (t->Clicked(x, y)) return {style, -1, nullptr, nullptr};
  if (PointInRect(TCustomChartPanel::PlotRect, {x, y}) && ActiveSeriesTotal() > 0) part.Part = hpPlotArea;
  return part;
}

// --- Mouse

void TCustomChart::ChartEvent(const TChartEvent& event) {
  // The chart itself hands the mouse to its tools and series (MouseDown and
  // the others); from the broadcast it only follows the series under the mouse.
  const auto* m = dynamic_cast<const TChartMouseEvent*>(&event);
  if (m && m->Event == cmeMove) CheckMouseOverSeries(m->X, m->Y);
}

void TCustomChart::ToolsHear(TChartMouseEventKind action, TMouseButton button, TShiftState shift, int x, int y) {
  const TChartTools tools = Tools();
  for (TChartCustomTool* t : tools) {
    if (!t->Active()) continue;
    t->NotifyMouseAction(action, button, shift, x, y);
    if (StopMouseBroadcast) break;
  }
}

bool TCustomChart::Fire(bool assigned, const std::function<void()>& fire) {
  if (!assigned) return false;
  StopMouseBroadcast = true;
  fire();
  return StopMouseBroadcast;
}

void TCustomChart::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomChartPanel::MouseDown(button, shift, x, y);
  bool handled = StopMouseBroadcast;
  if (!handled && !Zoom().Active && !Panning.Active) {
    ToolsHear(kToolMouseDown, button, shift, x, y);
    handled = StopMouseBroadcast;
  }
  if (!handled) {
    const TChartClickedPart part = PartAtPoint(x, y, true);
    switch (part.Part) {
      case hpAxis:
        handled = Fire(bool(OnClickAxis), [&] { OnClickAxis(*this, *part.AAxis, button, shift, x, y); });
        break;
      case hpSeries: {
        TChartSeries& s = *part.ASeries;
        const TSeriesClick& own = (shift & ssDouble) ? s.OnDblClick : s.OnClick;
        if (own) own(s, part.PointIndex, button, shift, x, y);
        handled = Fire(bool(OnClickSeries), [&] { OnClickSeries(*this, s, part.PointIndex, button, shift, x, y); });
        break;
      }
      case hpTitle: case hpSubTitle: case hpFoot: case hpSubFoot: {
        TChartTitle& t = part.Part == hpTitle ? *title_ : part.Part == hpSubTitle ? *subTitle_
                         : part.Part == hpFoot ? *foot_ : *subFoot_;
        handled = Fire(bool(OnClickTitle), [&] { OnClickTitle(*this, t, button, shift, x, y); });
        break;
      }
      case hpPlotArea:
        handled = Fire(bool(OnClickBackground), [&] { OnClickBackground(*this, button, shift, x, y); });
        break;
      default:
        break;
    }
  }
  if (!handled && AxesNeeded()) {
    const TChartZoom& z = Zoom();
    const TRect& p = TCustomChartPanel::PlotRect;
    if (z.Allow && button == z.MouseButton && (shift & z.KeyShift) == z.KeyShift) {
      Zoom().Activate(x, y);
      if (z.Direction == tzdHorizontal) Zoom().Y0 = p.Top, Zoom().Y1 = p.Bottom;
      else if (z.Direction == tzdVertical) Zoom().X0 = p.Left, Zoom().X1 = p.Right;
      DrawZoomRectangle();
      UpdateRect(PanelRectangle());
      handled = true;
    } else if (AllowPanning != pmNone && button == ScrollMouseButton) {
      Panning.Activate(x, y);
      handled = true;
    }
    if (handled) Cursor = StashedCursor;
  }
  if (!handled && OnClickBackground) OnClickBackground(*this, button, shift, x, y);
  StopMouseBroadcast = false;
}

void TCustomChart::MouseMove(TShiftState shift, int x, int y) {
  TCustomChartPanel::MouseMove(shift, x, y);
  if (!Designing) ToolsHear(kToolMouseMove, mbLeft, shift, x, y);
  if (StopMouseBroadcast) return;
  const TRect& p = TCustomChartPanel::PlotRect;
  if (Zoom().Active) {
    TChartZoom& z = Zoom();
    const int nx = z.Direction == tzdVertical ? p.Right : x, ny = z.Direction == tzdHorizontal ? p.Bottom : y;
    if (nx == z.X1 && ny == z.Y1) return;
    DrawZoomRectangle();  // erases the old one
    z.X1 = nx, z.Y1 = ny;
    DrawZoomRectangle();
    UpdateRect(PanelRectangle());
  } else if (Panning.Active) {
    if (!PointInRect(p, {x, y})) {
      Panning.Active = false;
      return;
    }
    if (x == Panning.X1 && y == Panning.Y1) return;
    if (saved_.empty()) SaveRanges();
    const bool h = PanPass(true, Panning.X1, x), v = PanPass(false, Panning.Y1, y);
    Panning.X1 = x, Panning.Y1 = y;
    if (h || v) {
      if (OnScroll) OnScroll(*this);
      Invalidate();
    }
  }
}

bool TCustomChart::PanPass(bool horizontal, int from, int to) {
  const TPanningMode mode = horizontal ? pmHorizontal : pmVertical;
  if (from == to || (AllowPanning != mode && AllowPanning != pmBoth)) return false;
  for (TChartAxis* a : AllAxes()) {
    if (a->IsDepthAxis() || a->Horizontal() != horizontal) continue;
    const double delta = a->ValueAtPixel(from) - a->ValueAtPixel(to);
    double aMin = a->Minimum() + delta, aMax = a->Maximum() + delta;
    bool allow = true;
    if (OnAllowScroll) OnAllowScroll(*a, aMin, aMax, allow);
    if (allow) a->FixRange(aMin, aMax);
  }
  return true;
}

void TCustomChart::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  StopMouseBroadcast = false;
  TCustomChartPanel::MouseUp(button, shift, x, y);
  TChartZoom& z = Zoom();
  if (z.Active && button == z.MouseButton) {
    DrawZoomRectangle();
    z.Active = false;
    if (z.Direction == tzdHorizontal) y = z.Y0 + z.MinimumPixels + 1;
    else if (z.Direction == tzdVertical) x = z.X0 + z.MinimumPixels + 1;
    z.X1 = x, z.Y1 = y;
    if (std::abs(z.Width()) > z.MinimumPixels && std::abs(z.Height()) > z.MinimumPixels) {
      if ((z.X1 > z.X0 && z.Y1 > z.Y0) || z.UpLeftZooms) {
        const TRect& p = TCustomChartPanel::PlotRect;
        TRect r = NormalizeRect({z.X0, z.Y0, z.X1, z.Y1});
        if (z.Direction == tzdHorizontal) r.Top = p.Top, r.Bottom = p.Bottom;
        else if (z.Direction == tzdVertical) r.Left = p.Left, r.Right = p.Right;
        ZoomRect(r);
      } else {
        RevertZoom();
      }
    }
    Invalidate();
  }
  Panning.Active = false;
  ToolsHear(kToolMouseUp, button, shift, x, y);
}

void TCustomChart::MouseWheel(int notches) {
  if (!ChartWheelScrolls || notches == 0) return;
  for (TChartAxis* a : AllAxes()) {
    if (a->IsDepthAxis() || a->Horizontal()) continue;
    a->Scroll((a->Maximum() - a->Minimum()) * 3 * 0.01 * notches, false);
  }
  Invalidate();
}

// --- Zoom

void TCustomChart::SaveRanges() {
  saved_.clear();
  for (TChartAxis* a : AllAxes())
    if (!a->IsDepthAxis())
      saved_.push_back({a, a->Automatic(), a->AutomaticMinimum(), a->AutomaticMaximum(), a->Maximum(), a->Minimum()});
}

void TCustomChart::ZoomRect(const TRect& r) {
  auto range = [](TChartAxis& a, int p0, int p1, double& lo, double& hi) {
    lo = a.ValueAtPixel(p0), hi = a.ValueAtPixel(p1);
    if (lo > hi) std::swap(lo, hi);
  };
  auto keep = [](TChartAxis& a, double& lo, double& hi) { lo = a.Minimum(), hi = a.Maximum(); };
  double t0, t1, b0, b1, l0, l1, r0, r1;
  // A one-way zoom leaves the other direction's ranges exactly as they are.
  if (Zoom().Direction == tzdVertical) keep(TopAxis(), t0, t1), keep(BottomAxis(), b0, b1);
  else range(TopAxis(), r.Left, r.Right, t0, t1), range(BottomAxis(), r.Left, r.Right, b0, b1);
  if (Zoom().Direction == tzdHorizontal) keep(LeftAxis(), l0, l1), keep(RightAxis(), r0, r1);
  else range(LeftAxis(), r.Bottom, r.Top, l0, l1), range(RightAxis(), r.Bottom, r.Top, r0, r1);
  ZoomToRanges(t0, t1, b0, b1, l0, l1, r0, r1);
}

void TCustomChart::ZoomToRanges(double topMin, double topMax, double bottomMin, double bottomMax, double leftMin,
                                double leftMax, double rightMin, double rightMax) {
  if (saved_.empty()) SaveRanges();
  struct Target {
    TChartAxis& Axis;
    double Min, Max;
  } targets[] = {{LeftAxis(), leftMin, leftMax},
                 {RightAxis(), rightMin, rightMax},
                 {TopAxis(), topMin, topMax},
                 {BottomAxis(), bottomMin, bottomMax}};
  if (Zoom().Animated)
    for (int step = 1; step < Zoom().AnimatedSteps; ++step) {
      for (Target& t : targets) {
        const double m = t.Axis.Minimum(), M = t.Axis.Maximum();
        t.Axis.FixRange(m + (t.Min - m) / ChartAnimatedZoomFactor, M - (M - t.Max) / ChartAnimatedZoomFactor);
      }
      RepaintNow();
    }
  for (Target& t : targets) t.Axis.FixRange(t.Min, t.Max);
  Zoomed = true;
  if (OnZoom) OnZoom(*this);
}

void TCustomChart::RevertZoom() {
  // Both ends of an axis are set together, so no check in between can refuse
  // half of a range; then the automatic switches come back.
  for (const TSavedRange& s : saved_) {
    s.Axis->FixRange(s.Minimum, s.Maximum);
    s.Axis->SetAutomatic(s.Automatic);
    s.Axis->SetAutomaticMinimum(s.AutomaticMinimum);
    s.Axis->SetAutomaticMaximum(s.AutomaticMaximum);
  }
  saved_.clear();
  UndoZoom();
}

void TCustomChart::RepaintNow() {
  Invalidate();
  Paint();
  UpdateRect(PanelRectangle());
}

// --- Registries

void TChartSeriesTypes::Register(TChartSeriesTypeEntry entry) {
  for (const TChartSeriesTypeEntry& e : entries_)
    if (e.SeriesClass == entry.SeriesClass && e.FunctionClass == entry.FunctionClass) return;
  entries_.push_back(std::move(entry));
}

void TChartSeriesTypes::AddFunctionKind(const std::string& functionClass, const std::string& description,
                                        const std::string& page) {
  Register({"", functionClass, description, page, 1, {}});
}

void TChartSeriesTypes::DropFunctionKinds(const std::vector<std::string>& functionClasses) {
  std::erase_if(entries_, [&](const TChartSeriesTypeEntry& e) {
    return std::find(functionClasses.begin(), functionClasses.end(), e.FunctionClass) != functionClasses.end();
  });
}

void TChartSeriesTypes::RemoveSeriesClass(const std::string& seriesClass) {
  std::erase_if(entries_, [&](const TChartSeriesTypeEntry& e) { return e.SeriesClass == seriesClass; });
}

void TChartToolTypes::Register(const std::vector<TChartToolTypeEntry>& tools) {
  for (const TChartToolTypeEntry& t : tools)
    if (std::none_of(entries_.begin(), entries_.end(), [&](const auto& e) { return e.ClassName == t.ClassName; }))
      entries_.push_back(t);
}

void TChartToolTypes::Remove(const std::vector<std::string>& classNames) {
  std::erase_if(entries_, [&](const TChartToolTypeEntry& e) {
    return std::find(classNames.begin(), classNames.end(), e.ClassName) != classNames.end();
  });
}

TChartSeriesTypes& ChartSeriesTypes() {
  static TChartSeriesTypes types;
  return types;
}

TChartToolTypes& ChartToolTypes() {
  static TChartToolTypes types;
  return types;
}

// --- Window

TChartHost::TChartHost(TCustomChart& chart, QWidget* parent) : TChartPanelHost(chart, parent), chart_(chart) {}

void TChartHost::wheelEvent(QWheelEvent* e) {
  // Wheel down (towards the user) scrolls by +3 % a notch.
  chart_.MouseWheel(-e->angleDelta().y() / 120);
  e->accept();
}

void TChartHost::mouseDoubleClickEvent(QMouseEvent* e) {
  const TMouseButton b = e->button() == Qt::RightButton ? mbRight : e->button() == Qt::MiddleButton ? mbMiddle : mbLeft;
  chart_.MouseDown(b, ssDouble, int(e->position().x()), int(e->position().y()));
  TChartPanelHost::mouseDoubleClickEvent(e);
}
