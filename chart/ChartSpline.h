#pragma once
// The B-spline behind the smoothing chart function: a uniform cubic B-spline
// through (interpolating) or near (approximating) a list of points, plus the
// smoothing computation itself on plain arrays. The chart function that wraps
// it (TSmoothingFunction, ChartSplineFunction.h) reads its source series into
// two arrays, calls BSplineSmooth and appends the result to its own series.
// This header stays free of the chart classes, so plain code can smooth.
#include <span>
#include <vector>

struct TSplinePoint {
  double X = 0;
  double Y = 0;
};

class TBSpline {
 public:
  static constexpr int kMaxSteps = 600;
  static constexpr int kDefaultSteps = 100;

  TBSpline() { Clear(); }

  // Forgets every point and goes back to the defaults (approximating, 100
  // steps).
  void Clear();
  // Adds a point after the last one (indices run from 1).
  void AppendInputPoint(double X, double Y);
  // A corner is entered three times as a control point, so the curve runs
  // through it with a kink. Indices outside 1..Count are ignored.
  void SetCorner(int Index, bool Value);
  // The ends are never corners.
  bool IsCorner(int Index) const;

  int Count() const { return count_; }
  bool Interpolating() const { return interpolating_; }
  void SetInterpolating(bool Value);
  int Steps() const { return steps_; }
  // Values above 600 are stored as 600.
  void SetSteps(int Value);

  // Number of control points proper; prepares first.
  int ControlCount();
  // Control points 0..ControlCount+1, the phantom ends included; prepares
  // first. Empty with fewer than two points.
  std::span<const TSplinePoint> ControlPoints();

  // The curve at T (0 = first point, 1 = last); (0, 0) with fewer than two
  // points.
  TSplinePoint Evaluate(double T);

 private:
  friend std::vector<TSplinePoint> BSplineSmooth(std::span<const double>, std::span<const double>, int, bool);

  void Prepare();
  void Unprepare();
  void SolveInterpolation();

  std::vector<TSplinePoint> points_;  // index 0 unused
  std::vector<char> corners_;         // index 0 unused
  std::vector<TSplinePoint> control_;
  int count_ = 0;
  int controlCount_ = 0;
  bool prepared_ = false;
  bool interpolating_ = false;
  int steps_ = kDefaultSteps;
};

// Number of parameter steps for Count source points smoothed by Factor:
// Count x Factor (no overflow), within 1..600.
int SmoothingSteps(int Count, int Factor);

// The smoothed curve of the source points (X[i], Y[i]) in point order, no
// point a corner: SmoothingSteps(Count, Factor) + 1 points, sample i at
// parameter i / Steps. A Factor below 1 counts as 1. Nothing for an empty
// source; a single point gives Factor + 1 points (at most 601) at (0, 0).
// Only the first min(X.size(), Y.size()) points are used.
std::vector<TSplinePoint> BSplineSmooth(std::span<const double> X, std::span<const double> Y,
                                        int Factor, bool Interpolate);

