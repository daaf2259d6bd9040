// Value lists, text shapes, and the axis' range, scale, pixel mapping and
// label step. Drawing and layout of the axis are in ChartEngineAxisDraw.cpp,
// the marks in ChartEngineMarks.cpp.
#include "chart/ChartEngine.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "chart/ChartConst.h"
#include "platform/ExLibVCL.h"

using ChartConst::Msg;

// --- Text measurement

int TCanvasTextMeasure::TextWidth(const TChartFont& font, std::string_view text) {
  canvas_.PrepareFont(font);
  return canvas_.TextWidth(text);
}

int TCanvasTextMeasure::FontHeight(const TChartFont& font) {
  canvas_.PrepareFont(font);
  return canvas_.FontPixelHeight();
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(ChartConst::kLineSeparator, start);
    lines.emplace_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return lines;
    start = end + 1;
  }
}

TSize MultiLineTextSize(ITextMeasure& measure, const TChartFont& font, std::string_view text) {
  const std::vector<std::string> lines = SplitLines(text);
  int widest = 0;
  for (const std::string& l : lines) widest = std::max(widest, measure.TextWidth(font, l));
  return {widest, int(lines.size())};
}

// --- Value lists

int ValueListCapacityStep = 1000;

TChartValueList::TChartValueList(IValueListOwner* owner, std::string name) : owner_(owner), name_(std::move(name)) {
  if (owner_) owner_->AddValueList(*this);
  RemoveAllValues();
}

void TChartValueList::SetDateTime(bool v) {
  if (dateTime_ == v) return;
  dateTime_ = v;
  if (owner_) owner_->ValueListChanged(*this);
}

void TChartValueList::SetValueSource(const std::string& v) {
  if (valueSource_ == v) return;
  valueSource_ = v;
  if (owner_) owner_->ValueListChanged(*this);
}

void TChartValueList::ReadMultiplier(double value) {
  if (value != 1)
    throw std::runtime_error("Error: Multiplier property is obsolete.\rModify ChartDefs.inc (enable Multiplier) and recompile.");
}

void TChartValueList::GrowIfFull() {
  if (count_ >= int(values_.size())) values_.resize(values_.size() + size_t(std::max(1, ValueListCapacityStep)));
}

int TChartValueList::PlaceValue(double value) {
  ValueInTransit = value;
  int index = count_;
  if (order_ != loNone && count_ > 0) {
    const bool ascending = order_ == loAscending;
    const double last = values_[size_t(count_ - 1)];
    if (ascending ? value < last : value > last) {
      // Walk down past the values that must follow it; equal ones stay in front.
      int t = count_ - 1;
      while (t >= 0 && (ascending ? values_[size_t(t)] > value : values_[size_t(t)] < value)) --t;
      index = t + 1;
    }
  }
  InsertAt(index, value);
  return index;
}

void TChartValueList::InsertAt(int index, double value) {
  GrowIfFull();
  std::copy_backward(values_.begin() + index, values_.begin() + count_, values_.begin() + count_ + 1);
  values_[size_t(index)] = value;
  ++count_;
  statsStale_ = true;
}

void TChartValueList::Delete(int index) { RemoveSpan(index, 1); }

void TChartValueList::RemoveSpan(int index, int count) {
  if (index < 0 || count <= 0 || index >= count_) return;
  count = std::min(count, count_ - index);
  std::copy(values_.begin() + index + count, values_.begin() + count_, values_.begin() + index);
  count_ -= count;
  statsStale_ = true;
}

void TChartValueList::RemoveAllValues() {
  count_ = 0;
  TChartValues().swap(values_);
  statsStale_ = true;
}

void TChartValueList::RotateByOne() {
  if (count_ < 2) return;
  std::rotate(values_.begin(), values_.begin() + 1, values_.begin() + count_);
  statsStale_ = true;
}

void TChartValueList::Exchange(int a, int b) {
  std::swap(values_[size_t(a)], values_[size_t(b)]);
  statsStale_ = true;
  if (owner_) owner_->ValueModified(a);
}

void TChartValueList::NumberSequentially() {
  for (int i = 0; i < count_; ++i) values_[size_t(i)] = i;
  statsStale_ = true;
  if (owner_) owner_->ValueModified(0);
}

void TChartValueList::ReplaceValues(const double* values, int count) {
  count = std::max(0, count);
  values_.assign(values, values + count);
  count_ = count;
  statsStale_ = true;
  if (owner_) owner_->ValueModified(0);
}

int TChartValueList::CompareEntries(int a, int b) const {
  const double x = values_[size_t(a)], y = values_[size_t(b)];
  const int r = x < y ? -1 : x > y ? 1 : 0;
  return order_ == loDescending ? -r : r;
}

void TChartValueList::Sort() {
  if (order_ == loNone) return;
  SortIndexRange(
      0, count_ - 1, [this](int a, int b) { return CompareEntries(a, b); },
      [this](int a, int b) {
        if (owner_) owner_->SwapPoints(a, b);
        else std::swap(values_[size_t(a)], values_[size_t(b)]);
      });
  statsStale_ = true;
}

int TChartValueList::Locate(double value, int first, int last) const {
  last = std::min(last, count_ - 1);
  for (int i = std::max(0, first); i <= last; ++i)
    if (values_[size_t(i)] == value) return i;
  return -1;
}

void TChartValueList::RecomputeStats() {
  count_ = std::min(count_, int(values_.size()));
  // A value that is not finite (a failed division or parse) is a null point:
  // it takes no part in the range or the sum.
  highest_ = lowest_ = magnitudeSum_ = 0;
  anyFinite_ = false, allFinite_ = true;
  for (int i = 0; i < count_; ++i) {
    const double v = values_[size_t(i)];
    if (!std::isfinite(v)) {
      allFinite_ = false;
      continue;
    }
    if (!anyFinite_) highest_ = lowest_ = v, anyFinite_ = true;
    else if (v < lowest_) lowest_ = v;
    else if (v > highest_) highest_ = v;
    magnitudeSum_ += std::fabs(v);
  }
  statsStale_ = false;
}

double TChartValueList::HighestValue() {
  if (statsStale_) RecomputeStats();
  return highest_;
}

double TChartValueList::LowestValue() {
  if (statsStale_) RecomputeStats();
  return lowest_;
}

bool TChartValueList::AllFinite() {
  if (statsStale_) RecomputeStats();
  return allFinite_;
}

bool TChartValueList::AnyFinite() {
  if (statsStale_) RecomputeStats();
  return anyFinite_;
}

double TChartValueList::MagnitudeSum() {
  if (statsStale_) RecomputeStats();
  return magnitudeSum_;
}

void TChartValueList::Assign(const TChartValueList& source) {
  order_ = source.order_;
  SetDateTime(source.dateTime_);
  SetValueSource(source.valueSource_);
}

// --- Text shapes

TTextShape::TTextShape(TChangeEvent onChange, TColor color) : TChartPersistent(std::move(onChange)), color_(color) {}

TChartShadow& TTextShape::Shadow() {
  if (!shadow_) shadow_ = std::make_unique<TChartShadow>(Forward(), clBlack, 3);
  return *shadow_;
}

TChartGradient& TTextShape::Gradient() {
  if (!gradient_) gradient_ = NewGradient();
  return *gradient_;
}

void TTextShape::Assign(const TTextShape& source) {
  TBatch batch(*this);
  brush_.Assign(source.brush_);
  frame_.Assign(source.frame_);
  font_.Assign(source.font_);
  if (source.shadow_) Shadow().Assign(*source.shadow_);
  if (source.gradient_) Gradient().Assign(*source.gradient_);
  SetVisible(source.visible_);
  SetColor(source.color_);
  SetTransparent(source.transparent_);
  SetTransparency(source.transparency_);
  SetShapeStyle(source.shapeStyle_);
  SetBevel(source.bevel_);
  SetBevelWidth(source.bevelWidth_);
}

void TTextShape::PaintShape(TChartCanvas3D& canvas, const TRect& r, int angle, int z) const {
  if (transparent_) return;
  TShapeLook look;
  look.Brush = &brush_, look.Pen = &frame_, look.Color = color_, look.Transparency = transparency_;
  look.Shadow = shadow_.get(), look.Gradient = gradient_.get();
  look.Style = shapeStyle_, look.Bevel = bevel_, look.BevelWidth = bevelWidth_;
  // Flat boxes keep the platform rectangle's extent; in 3-D the box goes
  // where its text is projected.
  look.PlainRectangle = !canvas.View3DActive || z == 0;
  PaintShapeLook(canvas, look, r, angle % 360, z);
}

// --- Axes: properties

double FollowingRoundStep(double x) {
  if (!std::isfinite(x) || x <= 0) return x;  // no nice step exists; never loop
  // Scaled into 1..10 a decade at a time and back again, one factor at a
  // time in the same order, so every result is the same double each time.
  int up = 0, down = 0;
  while (x >= 10) x *= 0.1, ++up;
  while (x < 1) x *= 10, ++down;
  double r = x < 2 ? 2 : x < 5 ? 5 : 10;
  while (up-- > 0) r *= 10;
  while (down-- > 0) r *= 0.1;
  return r;
}

TAxisItem::TAxisItem(TChangeEvent onChange) : TTextShape(std::move(onChange), clWhite) { SetTransparent(true); }

TChartAxis::TChartAxis(IAxisHost* host, bool horizontal, bool otherSide)
    : TChartPersistent([this](TChartPersistent*) {
        if (host_) host_->AxisChanged(*this);
      }),
      host_(host),
      horizontal_(horizontal),
      otherSide_(otherSide),
      valuesFormat_(Msg(ChartConst::cmDefValueFormat)) {
  itemsFormat_.SetTransparent(true);
  title_.SetTransparent(true);
  if (!horizontal) title_.SetAngle(otherSide ? 270 : 90);
}

TChartAxis::~TChartAxis() = default;

void TChartAxis::Refuse(int msg) const { throw AxisException(Msg(ChartConst::TChartMsg(msg))); }

void TChartAxis::SetAutomatic(bool v) {
  TBatch batch(*this);
  Set(automatic_, v);
  if (!(host_ && host_->Loading())) {
    Set(automaticMaximum_, v);
    Set(automaticMinimum_, v);
  }
}

void TChartAxis::SetAutomaticMaximum(bool v) {
  TBatch batch(*this);
  Set(automaticMaximum_, v);
  if (!v) Set(automatic_, false);
  else if (automaticMinimum_) Set(automatic_, true);
}

void TChartAxis::SetAutomaticMinimum(bool v) {
  TBatch batch(*this);
  Set(automaticMinimum_, v);
  if (!v) Set(automatic_, false);
  else if (automaticMaximum_) Set(automatic_, true);
}

void TChartAxis::SetMinimum(double v) {
  if (!(host_ && host_->Loading()) && v > maximum_) Refuse(ChartConst::cmAxisMinimumValueMustBeMaximum);
  Set(minimum_, v);
}

void TChartAxis::SetMaximum(double v) {
  if (!(host_ && host_->Loading()) && v < minimum_) Refuse(ChartConst::cmAxisMaximumValueMustBeMinimum);
  Set(maximum_, v);
}

void TChartAxis::SetIncrement(double v) {
  if (v < 0) Refuse(ChartConst::cmAxisIncrementMustBe0);
  Set(increment_, v);
}

void TChartAxis::SetLabelsSeparation(int v) {
  if (v < 0) Refuse(ChartConst::cmLabelsSeparationPctMustBeGreaterThan);
  Set(labelsSeparation_, v);
}

void TChartAxis::SetLogarithmicBase(double v) {
  if (!(v > 0) || v == 1) Refuse(ChartConst::cmAxisLogarithmicBaseShouldBe1And);
  Set(logarithmicBase_, v);
  RecomputeScale();
}

void TChartAxis::SetLogarithmic(bool v) {
  if (v && !logarithmic_) {
    if (ShowsDateTimes()) Refuse(ChartConst::cmDateTimeAxisCannotBeLogarithmic);
    ScaleFromSeries();
    if (RangeLow < 0 || RangeHigh < 0) Refuse(ChartConst::cmLogarithmicAxisMinAndMaxValuesShould);
  }
  Set(logarithmic_, v);
  RecomputeScale();
}

void TChartAxis::SetInverted(bool v) { Set(inverted_, v); }

void TChartAxis::SetHorizontal(bool v) {
  Set(horizontal_, v);
  RecomputeScale();
}

TAxisItem& TChartAxis::AddItem(double value, const std::string& text) {
  items_.push_back(std::make_unique<TAxisItem>(Forward()));
  items_.back()->SetValue(value);
  items_.back()->SetText(text);
  items_.back()->Font().Assign(LabelsFont());
  Changed();
  return *items_.back();
}

void TChartAxis::ClearItems() {
  if (items_.empty()) return;
  items_.clear();
  Changed();
}

void TChartAxis::Assign(const TChartAxis& s) {
  TBatch batch(*this);
  automatic_ = s.automatic_, automaticMaximum_ = s.automaticMaximum_, automaticMinimum_ = s.automaticMinimum_;
  minimum_ = s.minimum_, maximum_ = s.maximum_, increment_ = s.increment_;
  logarithmic_ = s.logarithmic_, logarithmicBase_ = s.logarithmicBase_, inverted_ = s.inverted_;
  horizontal_ = s.horizontal_, otherSide_ = s.otherSide_;
  valuesFormat_ = s.valuesFormat_, dateTimeFormat_ = s.dateTimeFormat_, exactDateTime_ = s.exactDateTime_;
  itemsFormat_.Assign(s.itemsFormat_);
  labelsAlign_ = s.labelsAlign_, labelsAlternate_ = s.labelsAlternate_, labelsAngle_ = s.labelsAngle_;
  labelsExponent_ = s.labelsExponent_, labelsMultiLine_ = s.labelsMultiLine_, labelsOnAxis_ = s.labelsOnAxis_;
  labelsSeparation_ = s.labelsSeparation_, labelsSize_ = s.labelsSize_, labelStyle_ = s.labelStyle_;
  roundFirstLabel_ = s.roundFirstLabel_;
  items_.clear();
  for (const auto& item : s.items_) AddItem(item->Value(), item->Text()).Assign(*item);
  axisPen_.Assign(s.axisPen_);
  grid_.Assign(s.grid_);
  grid_.SetCentered(s.grid_.Centered());
  minorGrid_.Assign(s.minorGrid_);
  minorTicks_.Assign(s.minorTicks_);
  ticks_.Assign(s.ticks_);
  ticksInner_.Assign(s.ticksInner_);
  minorTickCount_ = s.minorTickCount_, minorTickLength_ = s.minorTickLength_;
  tickLength_ = s.tickLength_, tickInnerLength_ = s.tickInnerLength_, tickOnLabelsOnly_ = s.tickOnLabelsOnly_;
  title_.Assign(s.title_);
  title_.SetAngle(s.title_.Angle());
  title_.SetCaption(s.title_.Caption());
  titleSize_ = s.titleSize_, visible_ = s.visible_;
  startPosition_ = s.startPosition_, endPosition_ = s.endPosition_, positionPercent_ = s.positionPercent_;
  positionUnits_ = s.positionUnits_, maximumOffset_ = s.maximumOffset_, minimumOffset_ = s.minimumOffset_;
  Changed();
}

// --- Axes: range and scale

void TChartAxis::FixRange(double aMin, double aMax) {
  TBatch batch(*this);
  Set(automatic_, false);
  Set(automaticMaximum_, false);
  Set(automaticMinimum_, false);
  if (aMin > aMax) std::swap(aMin, aMax);
  // Stored directly: the ends are in order, so the setters' checks have
  // nothing to refuse, and FixRange never raises.
  Set(minimum_, aMin);
  Set(maximum_, aMax);
  if (maximum_ - minimum_ < 1e-10) Set(maximum_, minimum_ + 1e-10);
  // A chain that loops back stops at the axis that started it.
  if (host_ && !passingRange_) {
    passingRange_ = true;
    for (TChartAxis* follower : host_->FollowerAxes(*this))
      if (follower != this) follower->FixRange(minimum_, maximum_);
    passingRange_ = false;
  }
}

void TChartAxis::Scroll(double offset, bool keepInBounds) {
  if (keepInBounds) {
    double lowest = 0, highest = 0;
    if (offset == 0 || !host_ || !host_->SeriesRange(*this, lowest, highest)) return;
    if (offset > 0 ? highest <= maximum_ : lowest >= minimum_) return;
  }
  TBatch batch(*this);
  Set(automatic_, false);
  Set(automaticMaximum_, false);
  Set(automaticMinimum_, false);
  // Both ends move together; moving the one that stays in order first keeps
  // the range valid whatever the size of the offset.
  if (offset > 0) Set(maximum_, maximum_ + offset), Set(minimum_, minimum_ + offset);
  else Set(minimum_, minimum_ + offset), Set(maximum_, maximum_ + offset);
  Changed();
}

void TChartAxis::ScaleFromSeries() {
  double lowest = 0, highest = 0;
  if (host_ && host_->SeriesRange(*this, lowest, highest)) {
    if (automatic_ || automaticMaximum_) maximum_ = highest;
    if (automatic_ || automaticMinimum_) minimum_ = lowest;
  }
  RangeHigh = maximum_;
  RangeLow = minimum_;
  RecomputeScale();
}

void TChartAxis::AdjustPositions() {
  int edge = 0, size = 0;
  if (depth_) {
    size = host_ ? host_->Depth3D() : 0;
  } else if (host_) {
    const TRect r = host_->PlotRect();
    edge = horizontal_ ? r.Left : r.Top;
    size = horizontal_ ? r.Width() : r.Height();
  }
  PixelFrom = edge + int(std::nearbyint(size * 0.01 * startPosition_));
  PixelTo = edge + int(std::nearbyint(size * 0.01 * endPosition_));
  RecomputeScale();
}

void TChartAxis::RecomputeScale() {
  PixelSpan = PixelTo - PixelFrom;
  PixelMiddle = (PixelFrom + PixelTo) / 2;
  RangeSpan = RangeHigh - RangeLow;
  EmptyRange = RangeSpan == 0;
  UnitPixels = EmptyRange ? 0 : PixelSpan / RangeSpan;
  if (logarithmic_) {
    LogLow = RangeLow <= 0 ? 0 : std::log(RangeLow);
    LogHigh = RangeHigh <= 0 ? 0 : std::log(RangeHigh);
    LogSpan = LogHigh - LogLow;
    LogUnitPixels = LogSpan == 0 ? 0 : PixelSpan / LogSpan;
  }
}

void TChartAxis::WidenForMargins(const TRect& m) {
  const int oldFrom = PixelFrom, oldTo = PixelTo;
  PixelFrom += horizontal_ ? m.Left : m.Top;
  PixelTo -= horizontal_ ? m.Right : m.Bottom;
  RecomputeScale();
  double a = ValueAtPixel(oldFrom), b = ValueAtPixel(oldTo);
  PixelFrom = oldFrom, PixelTo = oldTo;
  if (a > b) std::swap(a, b);
  RangeLow = a, RangeHigh = b;
  RecomputeScale();
}

int TChartAxis::PixelOfValue(double v) const {
  if (depth_) {
    if (EmptyRange) return PixelMiddle;
    return int(std::nearbyint(std::clamp((inverted_ ? RangeHigh - v : v - RangeLow) * UnitPixels,
                                         -kAxisPixelClamp, kAxisPixelClamp)));
  }
  if (logarithmic_) {
    if (LogSpan == 0) return PixelMiddle;
    const bool forward = horizontal_ != inverted_;
    if (v <= 0) return forward ? PixelFrom : PixelTo;
    const double t = std::clamp((inverted_ ? LogHigh - std::log(v) : std::log(v) - LogLow) * LogUnitPixels,
                                -kAxisPixelClamp, kAxisPixelClamp);
    return horizontal_ ? PixelFrom + int(std::nearbyint(t)) : PixelTo - int(std::nearbyint(t));
  }
  if (EmptyRange) return PixelMiddle;
  double t = (v - RangeLow) * UnitPixels;
  const bool fromTo = horizontal_ == inverted_;  // counted back from PixelTo
  if (FastCalc && std::isfinite(t) && std::fabs(t) < 2e9) {
    const int ti = int(std::nearbyint(t));
    return fromTo ? PixelTo - ti : PixelFrom + ti;
  }
  const double p = std::clamp(fromTo ? PixelTo - t : PixelFrom + t, -kAxisPixelClamp, kAxisPixelClamp);
  return std::isnan(p) ? PixelMiddle : int(std::nearbyint(p));
}

double TChartAxis::ValueAtPixel(int p) const {
  if (logarithmic_) {
    if (p == PixelFrom) return horizontal_ != inverted_ ? RangeLow : RangeHigh;
    if (p == PixelTo) return horizontal_ != inverted_ ? RangeHigh : RangeLow;
    if (LogSpan == 0 || PixelSpan == 0) return RangeLow;
    const double d = (inverted_ ? PixelTo - p : p - PixelFrom) * LogSpan / PixelSpan;
    return horizontal_ ? std::exp(LogLow + d) : std::exp(LogHigh - d);
  }
  if (PixelSpan < 1) return 0;
  const double d = double(inverted_ ? PixelTo - p : p - PixelFrom) * RangeSpan / PixelSpan;
  return horizontal_ ? RangeLow + d : RangeHigh - d;
}

// --- Axes: labels

std::string TChartAxis::LabelTextOf(double v) {
  std::string text;
  if (DateTimeScaleOn || ShowsDateTimes()) {
    if (v >= 0) {
      const TFormatSettings& fs = FormatSettings();
      const std::string& format =
          !dateTimeFormat_.empty() ? dateTimeFormat_ : RangeSpan > 1 ? fs.ShortDateFormat : fs.ShortTimeFormat;
      text = FormatDateTime(format, v);
    }
  } else if (std::fabs(v) >= 1e15 && valuesFormat_.find_first_of("Ee") == std::string::npos) {
    // Beyond the 15 digits a double holds a fixed format prints hundreds of
    // digits of noise, wider than any chart: the general format's exponent.
    text = FloatToStr(v);
  } else {
    text = FormatFloat(valuesFormat_, v);
  }
  if (host_ && !suppressLabelEvent_) host_->GetAxisLabel(*this, text);
  if (labelsMultiLine_) std::replace(text.begin(), text.end(), ' ', ChartConst::kLineSeparator);
  return text;
}

std::string TChartAxis::GeneralText(double v) const { return FloatToStr(v); }

int TChartAxis::LabelExtent(double v) {
  if (!host_) return 0;
  ITextMeasure& m = host_->AxisMeasure();
  const TSize s = MultiLineTextSize(m, LabelsFont(), LabelTextOf(v));
  const bool across = horizontal_ ? (labelsAngle_ == 90 || labelsAngle_ == 270)
                                  : (labelsAngle_ == 0 || labelsAngle_ == 180);
  return across ? m.FontHeight(LabelsFont()) * s.cy : s.cx;
}

double TChartAxis::ComputeLabelStep() {
  int s = std::max(LabelExtent(RangeHigh), LabelExtent(RangeLow));
  int n = 1;
  if (s > 0) {
    if (labelsSeparation_ > 0) s += int(std::nearbyint(labelsSeparation_ * 0.01 * s));
    n = int(std::nearbyint(double(PixelSpan) / s));
  }
  double inc = StepForCount(n);
  if (labelsAlternate_) inc = logarithmic_ ? inc / logarithmicBase_ : inc * 0.5;
  return inc;
}

double TChartAxis::StepForCount(int n) {
  const double microSecond = DateTimeStep[dtOneMicroSecond];
  const bool dateTime = DateTimeScaleOn || ShowsDateTimes();
  if (n <= 0) return dateTime ? microSecond : 1e-12;
  if (dateTime) {
    double inc = std::max(increment_, microSecond);
    if (RangeSpan / inc > 1e6) inc = RangeSpan / 1e6;
    // Each turn grows the step by at least a factor 2, so this ends.
    while (std::isfinite(inc) && std::nearbyint(RangeSpan / inc) > n) {
      if (inc >= DateTimeStep[dtOneYear]) inc *= 2;
      else if (inc < DateTimeStep[dtOneSecond]) inc = FollowingRoundStep(inc);
      else inc = FollowingDateStep(inc);
    }
    return std::max(inc, microSecond);
  }
  double inc;
  if (increment_ > 0) {
    inc = increment_;
  } else if (RangeSpan == 0) {
    inc = 1.0;
  } else {
    inc = std::fabs(RangeSpan) / (double(n) + 1);
    if (logarithmic_)
      inc = std::pow(logarithmicBase_, std::nearbyint(std::log(inc) / std::log(logarithmicBase_)));
    if (host_ && host_->FewPointsAlong(*this, n)) inc = std::max(inc, 1.0);
  }
  if (!(inc > 0)) return 1e-12;  // a zero or NaN step cannot grow
  if (labelsSeparation_ > 0) {
    auto grow = [this](double x) { return logarithmic_ ? x * logarithmicBase_ : FollowingRoundStep(x); };
    for (;;) {
      const double q = RangeSpan / inc;
      if (std::fabs(q) < 2147483647.0) {
        if (std::nearbyint(q) <= n) break;
      }
      inc = grow(inc);
      if (!(inc > 0) || inc > RangeSpan || std::isinf(inc)) break;
    }
  }
  if (std::isinf(inc)) return RangeSpan;
  return inc > 1e-12 ? inc : 1e-12;
}

TAxisLabelStyle TChartAxis::DefaultLabelRule() { return host_ ? host_->AutoLabelStyle(*this) : talValue; }

TAxisLabelStyle TChartAxis::LabelStyleInUse() { return labelStyle_ == talAuto ? DefaultLabelRule() : labelStyle_; }

TChartDepthAxis::TChartDepthAxis(IAxisHost* host) : TChartAxis(host, false, false) {
  depth_ = true;
  SetVisible(false);
}

void TChartDepthAxis::SetInverted(bool v) {
  TChartAxis::SetInverted(v);
  if (Partner && Partner->Inverted() != v) Partner->SetInverted(v);
}

TAxisLabelStyle TChartDepthAxis::DefaultLabelRule() { return Host() ? Host()->AutoLabelStyle(*this) : talText; }
