// The axis on the chart: the room it takes around the plot, its labels
// (value, logarithmic, custom and series-given), title, ticks, grid and minor
// ticks, and its hit test.
#include <algorithm>
#include <cmath>
#include <set>

#include "chart/ChartConst.h"
#include "chart/ChartEngine.h"
#include "chart/ChartProcs.h"

namespace {

bool IsLeftAligned(unsigned align) { return (align & TA_CENTER) == TA_LEFT; }

}  // namespace

// +1 when outwards runs towards larger coordinates (down, right).
int TChartAxis::OutwardSign() const { return horizontal_ ? (otherSide_ ? -1 : 1) : (otherSide_ ? 1 : -1); }

int TChartAxis::MovedByPosition(int pos, bool) const {
  if (positionPercent_ == 0 || !host_) return pos;
  const TRect r = host_->PlotRect();
  const int amount = positionUnits_ == muPixels
                         ? int(std::nearbyint(positionPercent_))
                         : int(std::nearbyint(0.01 * positionPercent_ * (horizontal_ ? r.Height() : r.Width())));
  return pos - OutwardSign() * amount;
}

int TChartAxis::TickSize() const {
  int size = (axisPen_.Visible() ? axisPen_.Width() + 1 : 0) + (ticks_.Visible() ? tickLength_ : 0);
  if (minorTicks_.Visible()) size = std::max(size, minorTickLength_);
  return size;
}

int TChartAxis::LabelSizeAcross() {
  int size = labelsSize_;
  if (size == 0 && host_) {
    ITextMeasure& m = host_->AxisMeasure();
    const bool heightAcross = horizontal_ ? (labelsAngle_ == 0 || labelsAngle_ == 180)
                                          : (labelsAngle_ == 90 || labelsAngle_ == 270);
    std::vector<std::string> texts;
    if (!items_.empty()) {
      for (const auto& item : items_) texts.push_back(item->Text().empty() ? LabelTextOf(item->Value()) : item->Text());
    } else {
      const TAxisLabelStyle style = LabelStyleInUse();
      if (style == talValue) {
        double first = RangeLow, last = RangeHigh;
        const double inc = ComputeLabelStep();
        if (inc > 0 && ((ShowsDateTimes() && exactDateTime_) || roundFirstLabel_)) {
          first = std::trunc(first / inc) * inc;
          last = std::trunc(last / inc) * inc;
        }
        suppressLabelEvent_ = true;
        texts = {LabelTextOf(first) + " ", LabelTextOf(last) + " "};
        suppressLabelEvent_ = false;
      } else if (style == talMark || style == talText) {
        for (const TAxisSeriesLabel& l : host_->SeriesLabels(*this, style == talMark)) texts.push_back(l.Text);
      }
    }
    for (const std::string& t : texts) {
      const TSize s = MultiLineTextSize(m, LabelsFont(), t);
      size = std::max(size, heightAcross ? m.FontHeight(LabelsFont()) * s.cy : s.cx);
    }
  }
  return labelsAlternate_ ? 2 * size : size;
}

int TChartAxis::TitleSizeAcross() {
  if (titleSize_ != 0) return titleSize_;
  if (!title_.Visible() || title_.Caption().empty() || !host_) return 0;
  ITextMeasure& m = host_->AxisMeasure();
  const int a = title_.Angle();
  const bool heightAcross = horizontal_ ? (a == 0 || a == 180) : (a == 90 || a == 270);
  const TSize s = MultiLineTextSize(m, title_.Font(), title_.Caption());
  return heightAcross ? m.FontHeight(title_.Font()) * s.cy : s.cx;
}

namespace {

// The rectangle's side an axis uses, and the direction that is outwards.
int& EdgeOf(TRect& r, bool horizontal, bool otherSide) {
  if (horizontal) return otherSide ? r.Top : r.Bottom;
  return otherSide ? r.Right : r.Left;
}

}  // namespace

void TChartAxis::TakeAxisSpace(TRect& rect, bool inflate) {
  const int out = OutwardSign();
  if (!inflate) {
    AxisLinePos = MovedByPosition(EdgeOf(rect, horizontal_, otherSide_), true);
    LabelRowPos = AxisLinePos + out * TickSize();
    TitleRowPos = LabelRowPos + out * LabelSizeAcross();
    return;
  }
  DateTimeScaleOn = ShowsDateTimes();
  int& edge = EdgeOf(rect, horizontal_, otherSide_);
  if (depth_) {
    TitleRowPos = otherSide_ ? rect.Right : rect.Left;
  } else if (title_.Visible() && !title_.Caption().empty()) {
    edge -= out * TitleSizeAcross();
    TitleRowPos = edge;
  }
  if (Labels()) {
    edge -= out * LabelSizeAcross();
    LabelRowPos = edge;
  }
  const int more = (host_ ? host_->WallSize(*this) : 0) + TickSize();
  if (more > 0) edge -= out * more;
  TitleRowPos = MovedByPosition(TitleRowPos, true);
  LabelRowPos = MovedByPosition(LabelRowPos, true);
}

void TChartAxis::Draw(bool recomputePositions) {
  if (!host_) return;
  DateTimeScaleOn = ShowsDateTimes();
  if (recomputePositions) {
    TRect r = host_->PlotRect();
    AxisLinePos = MovedByPosition(EdgeOf(r, horizontal_, otherSide_), true);
  }
  if (title_.Visible() && !title_.Caption().empty())
    PlaceText(PixelMiddle, TitleRowPos, title_.Caption(), title_.Font(), title_.Angle(), false, &title_);
  Ticks_.clear();
  TickValues_.clear();
  LogGridValues_.clear();
  labelCounter_ = 0;
  labelSpace_ = labelsAlternate_ || labelsAlign_ == alOpposite ? LabelSizeAcross() : 0;
  if (!items_.empty()) {
    for (const auto& item : items_) {
      if (item->Value() < minimum_ || item->Value() > maximum_) continue;
      const std::string text = item->Text().empty() ? LabelTextOf(item->Value()) : item->Text();
      DrawLabelAt(item->Value(), &text, item.get());
    }
  } else if (const TAxisLabelStyle style = LabelStyleInUse(); style != talNone) {
    const double inc = ComputeLabelStep();
    TDateTimeStep step = dtNone;
    if (ShowsDateTimes() && exactDateTime_ && increment_ != 0) {
      step = NearestDateStep(increment_);
      if (step != dtNone)
        while (step < dtOneYear && DateTimeStep[step] < inc) step = TDateTimeStep(step + 1);
    }
    const bool calendar = step >= dtHalfMonth && step < dtNone;
    if ((inc > 0 || calendar) && RangeLow <= RangeHigh) {
      if (style == talValue) {
        bool regular = true;
        double value = RangeLow;
        for (int index = 0; index <= 2000; ++index) {
          bool stop = false;
          if (!host_->GetNextAxisLabel(*this, index, value, stop) || (index == 0 && stop)) break;
          regular = false;
          if (stop || value < RangeLow - 1e-7 || value > RangeHigh + 1e-7) break;
          DrawLabelAt(value, nullptr, nullptr);
        }
        if (regular) {
          if (logarithmic_ && increment_ == 0) DrawLabelsLog();
          else DrawLabelsValue(inc, step);
        }
      } else if (style == talMark || style == talText) {
        for (const TAxisSeriesLabel& l : host_->SeriesLabels(*this, style == talMark))
          if (l.Value >= RangeLow && l.Value <= RangeHigh) DrawLabelAt(l.Value, &l.Text, nullptr);
      }
    }
  }
  DrawTicksAndGrid();
}

namespace {

// Calendar arithmetic holds for dates up to the year 9999 only.
constexpr double kLastCalendarDay = 2958466;

}  // namespace

double TChartAxis::StepValue(double v, double inc, TDateTimeStep step, bool up) const {
  if (ShowsDateTimes() && exactDateTime_ && step >= dtHalfMonth && step < dtNone && std::fabs(v) < kLastCalendarDay) {
    StepDateTime(true, up, v, step, inc);
    return v;
  }
  return up ? v + inc : v - inc;
}

void TChartAxis::DrawLabelsValue(double inc, TDateTimeStep step) {
  const bool calendar = ShowsDateTimes() && exactDateTime_ && step >= dtHalfMonth && step < dtNone;
  if (!(inc > 0) && !calendar) return;
  // A NaN or infinite quotient (an endless range) fails this test as well.
  if (!(std::fabs(RangeSpan / inc) < kMaxAxisLabels) && !calendar) return;
  double t;
  if (ShowsDateTimes() && exactDateTime_ && step >= dtOneDay && step < dtNone)
    t = RangeHigh > 0 && RangeHigh < kLastCalendarDay ? TruncateDateToStep(step, RangeHigh) : RangeHigh;
  else if (!roundFirstLabel_ || GeneralText(RangeLow) == GeneralText(RangeHigh))
    t = RangeHigh;
  else
    t = std::trunc(RangeHigh / inc) * inc;  // in floating point: no integer overflow
  for (int guard = 0; t > RangeHigh && guard < kMaxAxisLabels; ++guard) t = StepValue(t, inc, step, false);
  if (EmptyRange || std::fabs(RangeHigh - RangeLow) < 1e-10 || GeneralText(t) == GeneralText(StepValue(t, inc, step, false))) {
    DrawLabelAt(t, nullptr, nullptr);
    return;
  }
  const double bound = RangeLow < 0 ? RangeLow : (RangeLow - 1e-12) / (1 + 1e-12);
  for (int n = 0; t >= bound && n < kMaxAxisLabels; ++n) {
    DrawLabelAt(t, nullptr, nullptr);
    t = StepValue(t, inc, step, false);
    // The steps' rounding left of a zero crossing is zero (not "1E284").
    if (!calendar && std::fabs(t) < inc * 1e-9) t = 0;
  }
}

void TChartAxis::DrawLabelsLog() {
  if (RangeLow == RangeHigh) return;
  const double base = logarithmicBase_;
  auto power = [base](double v) { return std::pow(base, std::nearbyint(std::log(v) / std::log(base))); };
  double low = RangeLow, start;
  if (low > 0) start = power(low);
  else if (low == 0) low = start = 0.1;
  else start = power(1e-10);
  bool drew = false;
  if (minorGrid_.Visible() && start / base < RangeLow) LogGridValues_.push_back(start / base);
  if (base > 1) {
    double v = start;
    for (int n = 0; v <= RangeHigh && n < kMaxAxisLabels; ++n, v *= base)
      if (v >= low) DrawLabelAt(v, nullptr, nullptr), drew = true;
    if (minorGrid_.Visible() && v > RangeHigh) LogGridValues_.push_back(v);
  }
  if (!drew) {
    const double add = start / base;
    double v = start;
    for (int n = 0; v <= RangeHigh && n < kMaxAxisLabels; ++n, v += add)
      if (v >= low) DrawLabelAt(v, nullptr, nullptr);
  }
}

void TChartAxis::DrawLabelAt(double value, const std::string* text, TAxisItem* item) {
  const int p = PixelOfValue(value);
  if (!item && !labelsOnAxis_ && !(PixelFrom < p && p < PixelTo)) return;
  const bool shown = item ? item->Visible() : Labels();
  if (!tickOnLabelsOnly_ || shown) Ticks_.push_back(p), TickValues_.push_back(value);
  if (!shown) return;
  // Alternate rows: every second label one label further out.
  const int row = LabelRowPos + OutwardSign() * ((labelCounter_++ % 2 == 1) ? labelSpace_ / 2 : 0);
  const std::string label = text ? *text : LabelTextOf(value);
  TTextShape* shape = item ? static_cast<TTextShape*>(item) : &itemsFormat_;
  PlaceText(p, row, label, shape->Font(), labelsAngle_, labelsExponent_, shape);
}

void TChartAxis::PlaceText(int pixel, int row, const std::string& text, const TChartFont& font, int angle,
                           bool exponent, TTextShape* shape) {
  TCanvas3D& c = host_->AxisCanvas();
  ITextMeasure& m = host_->AxisMeasure();
  const int h = m.FontHeight(font);
  const TSize size = MultiLineTextSize(m, font, text);
  const int height = h * size.cy;
  const bool up = OutwardSign() < 0;
  int x, y;
  unsigned align;
  if (horizontal_) {
    x = pixel, y = row;
    if (angle == 90 || angle == 270) {
      // Turned texts hang from the row, centred on the pixel.
      x += (angle == 90 ? -1 : 1) * height / 2;
      align = ((angle == 90) != up ? TA_RIGHT : TA_LEFT) | TA_TOP;
    } else {
      align = TA_CENTER | (up ? TA_BOTTOM : TA_TOP);
      if (up) y -= height - h;
    }
  } else {
    x = row, y = pixel;
    if (angle == 90 || angle == 270) {
      // A turned text's body lies to the right of its top at 90 degrees, to
      // the left at 270; it is centred on the pixel.
      align = TA_CENTER | TA_TOP;
      const bool bodyRight = angle == 90;
      x += up ? (bodyRight ? -height : 0) : (bodyRight ? 0 : height);
    } else {
      const bool opposite = labelsAlign_ == alOpposite;
      const int labelSpace = opposite ? labelSpace_ : 0;
      if (up) align = opposite ? TA_LEFT : TA_RIGHT, x -= labelSpace;
      else align = opposite ? TA_RIGHT : TA_LEFT, x += labelSpace;
      align |= TA_TOP;
      y -= height / 2;
    }
  }
  int z = 0;
  bool draw = true;
  std::string shown = text;
  // In 3-D the label goes where its point at the front lands; its text stays
  // upright.
  const auto projected = [&c](int x, int y, int z) {
    const TPoint p = c.ProjectToPoint(x, y, z);
    return TSize{p.X - x, p.Y - y};
  };
  if (shape && !shape->Transparent()) {
    const TSize d = projected(x, y, z);
    const int w = size.cx;
    const int left = (align & TA_CENTER) == TA_CENTER ? x - w / 2 : (align & TA_RIGHT) ? x - w : x;
    const int top = (align & TA_BOTTOM) ? y - h : y;
    TRect box{left - 1 + d.cx, top + d.cy, left + w + 1 + d.cx, top + height + d.cy};
    // A turned text turns about its reference point: so does its box, whose
    // centre goes where the text's centre goes.
    const int turn = ((angle % 360) + 360) % 360;
    if (turn != 0) {
      const double a = turn * M_PI / 180, sn = std::sin(a), co = std::cos(a);
      const double cx = (box.Left + box.Right) / 2.0 - (x + d.cx), cy = (box.Top + box.Bottom) / 2.0 - (y + d.cy);
      const int mx = int(std::lround(cx * co + cy * sn - cx)), my = int(std::lround(-cx * sn + cy * co - cy));
      box = {box.Left + mx, box.Top + my, box.Right + mx, box.Bottom + my};
    }
    // Every axis draws on the chart's canvas.
    if (auto* chartCanvas = dynamic_cast<TChartCanvas3D*>(&c)) shape->PaintShape(*chartCanvas, box, turn);
  }
  if (OnDrawLabel) OnDrawLabel(*this, x, y, z, shown, draw);
  if (!draw) return;
  const TSize d = projected(x, y, z);
  x += d.cx, y += d.cy;
  c.PrepareFont(font);
  c.SetBackgroundMode(cbmTransparent);
  c.SetTextAlign(align);
  const bool turned = angle != 0 && angle != 360;
  for (const std::string& line : SplitLines(shown)) {
    if (turned) c.RotatedText(x, y, line, angle);
    else if (exponent && line.find_first_of("Ee") != std::string::npos) DrawExponentLine(c, x, y, line, font);
    else c.TextOut(x, y, line);
    if (turned && (angle == 90 || angle == 270)) x += angle == 90 ? h : -h;
    else y += h;
  }
}

void TChartAxis::DrawExponentLine(TChartCanvas& c, int x, int y, const std::string& line, const TChartFont& font) {
  ITextMeasure& m = host_->AxisMeasure();
  const size_t e = line.find_first_of("Ee");
  const std::string base = line.substr(0, e), power = line.substr(e + 1);
  TChartFont small;
  small.Assign(font);
  small.SetSize(font.Size() - font.Size() / 4);
  const int raise = (m.FontHeight(font) - 1) / 2 - 2;
  if (IsLeftAligned(c.GetTextAlign())) {
    c.TextOut(x, y, base);
    c.PrepareFont(small);
    c.TextOut(x + m.TextWidth(font, base) + 1, y - raise, power);
  } else {
    c.PrepareFont(small);
    c.TextOut(x, y - raise, power);
    c.PrepareFont(font);
    c.TextOut(x - m.TextWidth(small, power) - 1, y, base);
  }
  c.PrepareFont(font);
}

void TChartAxis::DrawTick(const TChartPen& pen, int pos, int from, int to) {
  TCanvas3D& c = host_->AxisCanvas();
  c.PreparePen(pen);
  if (horizontal_) c.LineAtDepth(pos, from, pos, to, 0);
  else c.LineAtDepth(from, pos, to, pos, 0);
}

std::vector<int> TChartAxis::MinorPositions() const {
  std::vector<int> out;
  const int n = minorTickCount_;
  if (n < 1) return out;
  if (logarithmic_) {
    // Each step from a label's value to the next power is divided evenly in
    // value, also below the first label and above the last.
    std::vector<double> steps = TickValues_;
    steps.insert(steps.end(), LogGridValues_.begin(), LogGridValues_.end());
    std::set<double> values;
    for (double v : steps)
      for (int k = 1; k <= n; ++k) {
        const double w = v + k * (v * logarithmicBase_ - v) / (n + 1);
        if (w >= RangeLow && w <= RangeHigh) values.insert(w);
      }
    for (double w : values) out.push_back(PixelOfValue(w));
    return out;
  }
  if (Ticks_.size() < 2) return out;
  const double d = double(Ticks_[1] - Ticks_[0]) / (n + 1);
  for (int k = 1; k <= n; ++k) {
    out.push_back(Ticks_.front() - int(std::nearbyint(k * d)));
    out.push_back(Ticks_.back() + int(std::nearbyint(k * d)));
  }
  for (size_t i = 0; i + 1 < Ticks_.size(); ++i) {
    const double step = double(Ticks_[i + 1] - Ticks_[i]) / (n + 1);
    for (int k = 1; k <= n; ++k) out.push_back(Ticks_[i] + int(std::nearbyint(k * step)));
  }
  return out;
}

void TChartAxis::DrawTicksAndGrid() {
  TCanvas3D& c = host_->AxisCanvas();
  const TRect plot = host_->PlotRect();
  const int out = OutwardSign();
  const auto inside = [this](int p) { return PixelFrom < p && p < PixelTo; };
  // In 3-D the grid lies on the back wall and runs to the front along the
  // floor (or the side wall) next to the axis; axis line and ticks lie at the front.
  const int depth = depth_ ? 0 : host_->Depth3D();
  const auto gridLine = [&](const TChartPen& pen, int p) {
    c.PreparePen(pen);
    if (horizontal_) {
      if (depth != 0) c.DepthLineAt(p, otherSide_ ? plot.Top : plot.Bottom, 0, depth);
      c.VertLineAt(p, plot.Top, plot.Bottom, depth);
    } else {
      if (depth != 0) c.DepthLineAt(otherSide_ ? plot.Right : plot.Left, p, 0, depth);
      c.HorizLineAt(plot.Left, plot.Right, p, depth);
    }
  };
  if (GridPainter) GridPainter->PaintGridBands(*this);
  if (axisPen_.Visible()) {
    c.PreparePen(axisPen_);
    if (horizontal_) c.HorizLineAt(PixelFrom, PixelTo, AxisLinePos, 0);
    else c.VertLineAt(AxisLinePos, PixelFrom, PixelTo, 0);
  }
  if (ticks_.Visible())
    for (int p : Ticks_) DrawTick(ticks_, p, AxisLinePos, AxisLinePos + out * tickLength_);
  if (grid_.Visible())
    for (size_t i = 0; i < Ticks_.size(); ++i) {
      int p = Ticks_[i];
      if (grid_.Centered()) {
        if (i == 0) continue;
        p = (Ticks_[i] + Ticks_[i - 1]) / 2;
      }
      if (inside(p)) gridLine(grid_, p);
    }
  if (ticksInner_.Visible() && tickInnerLength_ != 0)
    for (int p : Ticks_) DrawTick(ticksInner_, p, AxisLinePos, AxisLinePos - out * tickInnerLength_);
  if (minorTicks_.Visible() || minorGrid_.Visible())
    for (int p : MinorPositions()) {
      if (!inside(p)) continue;
      if (minorTicks_.Visible()) DrawTick(minorTicks_, p, AxisLinePos, AxisLinePos + out * minorTickLength_);
      if (minorGrid_.Visible()) gridLine(minorGrid_, p);
    }
}

bool TChartAxis::HitTest(int x, int y) const {
  const int out = OutwardSign();
  const int lineSide = AxisLinePos - out * 3;
  const int a = std::min(LabelRowPos, lineSide), b = std::max(LabelRowPos, lineSide);
  // In 3-D the rectangle lies where the axis is drawn: projected at the front.
  const int alongs[] = {PixelFrom, PixelTo, PixelTo, PixelFrom}, acrosses[] = {a, a, b, b};
  TPoint corners[4];
  bool flat = true;
  for (int i = 0; i < 4; ++i) {
    const TPoint p = horizontal_ ? TPoint{alongs[i], acrosses[i]} : TPoint{acrosses[i], alongs[i]};
    corners[i] = host_ ? host_->AxisCanvas().ProjectToPoint(p.X, p.Y, 0) : p;
    flat = flat && corners[i] == p;
  }
  if (!flat) return PointInsidePolygon({x, y}, corners, 3);
  const int along = horizontal_ ? x : y, across = horizontal_ ? y : x;
  return along >= PixelFrom && along <= PixelTo && across >= a && across <= b;
}
