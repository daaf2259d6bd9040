#include "chart/ChartSpline.h"

#include "chart/ChartSplineFunction.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

void TBSpline::Clear() {
  points_.assign(1, TSplinePoint{});
  corners_.assign(1, false);
  control_.clear();
  count_ = 0;
  controlCount_ = 0;
  prepared_ = false;
  interpolating_ = false;
  steps_ = kDefaultSteps;
}

void TBSpline::Unprepare() {
  if (prepared_) control_.clear();
  prepared_ = false;
  controlCount_ = 0;
}

void TBSpline::AppendInputPoint(double X, double Y) {
  points_.push_back({X, Y});
  corners_.push_back(false);
  ++count_;
  Unprepare();
}

void TBSpline::SetCorner(int Index, bool Value) {
  if (Index >= 1 && Index <= count_) corners_[Index] = Value;
  Unprepare();
}

bool TBSpline::IsCorner(int Index) const {
  if (Index <= 1 || Index >= count_) return false;
  return corners_[Index];
}

void TBSpline::SetInterpolating(bool Value) {
  if (Value == interpolating_) return;
  interpolating_ = Value;
  Unprepare();
}

void TBSpline::SetSteps(int Value) {
  if (Value == steps_) return;
  steps_ = std::min(Value, kMaxSteps);
}

int TBSpline::ControlCount() {
  if (!prepared_) Prepare();
  return controlCount_;
}

std::span<const TSplinePoint> TBSpline::ControlPoints() {
  if (!prepared_) Prepare();
  return control_;
}

void TBSpline::Prepare() {
  if (count_ >= 2) {
    int n = 0;
    for (int i = 1; i <= count_; ++i) n += IsCorner(i) ? 3 : 1;
    controlCount_ = n;
    control_.assign(n + 2, TSplinePoint{});
    int j = 0;
    for (int i = 1; i <= count_; ++i) {
      if (IsCorner(i)) {
        control_[j + 1] = control_[j + 2] = points_[i];
        j += 2;
      }
      control_[++j] = points_[i];
    }
    if (interpolating_) SolveInterpolation();
  }
  prepared_ = true;
  const int n = controlCount_;
  if (n >= 2) {
    control_[0] = {2 * control_[1].X - control_[2].X, 2 * control_[1].Y - control_[2].Y};
    control_[n + 1] = {2 * control_[n].X - control_[n - 1].X, 2 * control_[n].Y - control_[n - 1].Y};
  }
}

// Finds control points whose curve passes through the current ones: row r of
// the system weighs C[r-1], C[r], C[r+1] by 1/6, 2/3, 1/6 (the B-spline at its
// knots); the end rows and every run of three equal points are identity rows,
// so the ends and tripled corners stay exactly where they are. The system is
// tridiagonal, so a forward sweep and back substitution solve it in linear
// time; the operations are those of plain elimination without pivoting, which
// only ever touches the neighbouring row, so the numbers are the same.
void TBSpline::SolveInterpolation() {
  const int n = controlCount_;
  if (n < 3) return;
  constexpr double kSide = 1.0 / 6, kMiddle = 2.0 / 3;
  std::vector<char> identity(n + 2, 0);
  identity[1] = identity[n] = 1;
  auto same = [](const TSplinePoint& a, const TSplinePoint& b) {
    return std::fabs(a.X - b.X) < 1e-5 && std::fabs(a.Y - b.Y) < 1e-5;
  };
  TSplinePoint* p = control_.data();
  for (int i = 3; i < n - 1;) {
    if (same(p[i - 1], p[i]) && same(p[i], p[i + 1])) {
      identity[i - 1] = identity[i] = identity[i + 1] = 1;
      i += 2;
    } else {
      ++i;
    }
  }
  // Forward sweep, the right-hand sides in place; diag[i] is row i's pivot.
  std::vector<double> diag(n + 1);
  double d = diag[1] = 1;
  for (int i = 1; i < n; ++i) {
    const double f = (identity[i + 1] ? 0 : kSide) / d;
    d = diag[i + 1] = (identity[i + 1] ? 1 : kMiddle) - f * (identity[i] ? 0 : kSide);
    p[i + 1].X -= f * p[i].X;
    p[i + 1].Y -= f * p[i].Y;
  }
  p[n] = {p[n].X / diag[n], p[n].Y / diag[n]};
  for (int i = n - 1; i >= 1; --i) {
    const double inv = 1 / diag[i], upper = identity[i] ? 0 : kSide;
    p[i] = {inv * (p[i].X - upper * p[i + 1].X), inv * (p[i].Y - upper * p[i + 1].Y)};
  }
}

TSplinePoint TBSpline::Evaluate(double T) {
  TSplinePoint r;
  if (count_ < 2) return r;
  if (!prepared_) Prepare();
  const int n = controlCount_;
  const double c = (n - 1) * T + 1;
  // Only entries 0..n+1 exist; a T outside 0..1 (or not a number) must not
  // reach past them.
  int j = 0;
  if (c - 1 >= n + 1) j = n + 1;
  else if (c - 1 > 0) j = static_cast<int>(c - 1);
  for (int k = std::min(j, n + 1); k <= std::min(j + 3, n + 1); ++k) {
    const double d = std::fabs(k - c);
    double w;
    if (d < 1) w = 2.0 / 3 - d * d + d * d * d / 2;
    else if (d < 2) w = (2 - d) * (2 - d) * (2 - d) / 6;
    else continue;
    r.X += w * control_[k].X;
    r.Y += w * control_[k].Y;
  }
  return r;
}

int SmoothingSteps(int Count, int Factor) {
  const int64_t steps = static_cast<int64_t>(Count) * Factor;
  return static_cast<int>(std::clamp<int64_t>(steps, 1, TBSpline::kMaxSteps));
}

std::vector<TSplinePoint> BSplineSmooth(std::span<const double> X, std::span<const double> Y,
                                        int Factor, bool Interpolate) {
  const size_t count = std::min(X.size(), Y.size());
  std::vector<TSplinePoint> out;
  if (count == 0) return out;
  TBSpline s;
  s.points_.reserve(count + 1);
  s.corners_.reserve(count + 1);
  for (size_t i = 0; i < count; ++i) s.AppendInputPoint(X[i], Y[i]);
  s.SetInterpolating(Interpolate);
  const int sourceCount = static_cast<int>(std::min<size_t>(count, INT32_MAX));
  s.SetSteps(SmoothingSteps(sourceCount, std::max(Factor, 1)));
  const int steps = s.Steps();
  out.reserve(steps + 1);
  for (int i = 0; i <= steps; ++i) out.push_back(s.Evaluate(static_cast<double>(i) / steps));
  return out;
}

// --- Smoothing function

TSmoothingFunction::TSmoothingFunction() { StoreDirect(1.0); }

std::unique_ptr<TChartFunction> TSmoothingFunction::Clone() const {
  auto f = std::make_unique<TSmoothingFunction>();
  f->Assign(*this);
  f->interpolate_ = interpolate_;
  f->factor_ = factor_;
  return f;
}

void TSmoothingFunction::SetInterpolate(bool v) {
  if (v == interpolate_) return;
  interpolate_ = v;
  AskRecalculate();
}

void TSmoothingFunction::SetFactor(int v) {
  v = std::max(1, v);
  if (v == factor_) return;
  factor_ = v;
  AskRecalculate();
}

void TSmoothingFunction::PopulateSeries(TChartSeries* source) {
  TChartSeries* p = ParentSeries();
  if (!p || !source) return;
  p->Clear();
  // Written directly: the curve comes out in parameter order, no re-sorting.
  const bool alike = p->MandatoryIsY() == source->MandatoryIsY();
  p->NonMandatoryList().SetOrder(alike ? loAscending : loNone);
  p->MandatoryList().SetOrder(alike ? loNone : loAscending);
  p->NarrowByOrder = alike;
  const int n = source->Count();
  if (n == 0) return;
  const TChartValueList& v = SourceValueList(*source);
  const TChartValueList& x = source->XValues();
  std::vector<double> a(static_cast<size_t>(n)), b(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) a[size_t(i)] = x[i], b[size_t(i)] = v[i];
  const bool yMandatory = p->MandatoryIsY();
  const std::vector<TSplinePoint> curve =
      yMandatory ? BSplineSmooth(a, b, factor_, interpolate_) : BSplineSmooth(b, a, factor_, interpolate_);
  for (const TSplinePoint& pt : curve) {
    if (yMandatory) p->AppendPoint(pt.X, pt.Y, {}, clPaletteColor);
    else p->AppendPoint(pt.Y, pt.X, {}, clPaletteColor);
  }
}
