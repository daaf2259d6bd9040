#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "chart/ChartSpline.h"
#include "support/TestPaths.h"

namespace {
using Pts = std::vector<TSplinePoint>;
// Reference curves written by tests/tools/make_spline_golden.py: a line
// "count factor interpolate steps", the source points, the expected curve.
struct TGolden {
  int Count = 0, Factor = 0, Interpolate = 0, Steps = 0;
  std::vector<double> X, Y;
  Pts Out;
  explicit TGolden(const std::string& name) {
    std::ifstream in(std::filesystem::path(TestSourceDir()) / "tests/chart/data" / name);
    in.ignore(1000, '\n') >> Count >> Factor >> Interpolate >> Steps;
    for (double x, y; in >> x >> y;)
      int(X.size()) < Count ? (X.push_back(x), Y.push_back(y)) : Out.push_back({x, y});
  }
};

TBSpline Spline(const Pts& pts, bool interpolate) {
  TBSpline s;
  for (const auto& p : pts) s.AppendInputPoint(p.X, p.Y);
  s.SetInterpolating(interpolate);
  return s;
}
}  // namespace

TEST(ChartSpline, SmoothingMatchesReferenceCurves) {
  for (const char* name : {"spline_approx_211.txt", "spline_interp_211.txt", "spline_approx_50.txt", "spline_interp_50.txt"}) {
    const TGolden g(name);
    const Pts out = BSplineSmooth(g.X, g.Y, g.Factor, g.Interpolate != 0);
    ASSERT_TRUE(out.size() == g.Out.size() && out.size() == size_t(g.Count == 211 ? 601 : 501)) << name;
    for (size_t i = 0; i < out.size(); ++i) {
      EXPECT_LE(std::fabs(out[i].X - g.Out[i].X), 1e-12 * std::fabs(g.Out[i].X)) << name << " #" << i;
      EXPECT_LE(std::fabs(out[i].Y - g.Out[i].Y), 1e-12 * std::fabs(g.Out[i].Y)) << name << " #" << i;
    }
  }
}

// The sweep against plain elimination over the whole (N+1)^2 matrix.
TEST(ChartSpline, SweepGivesTheNumbersOfDenseElimination) {
  const TGolden g("spline_interp_50.txt");
  const int n = g.Count;
  std::vector<std::vector<double>> m(n + 1, std::vector<double>(n + 1, 0.0));
  Pts p(n + 2), c(n + 2);
  for (int r = 1; r <= n; ++r) {
    p[r] = {g.X[r - 1], g.Y[r - 1]};
    m[r][r] = r == 1 || r == n ? 1 : 2.0 / 3;
    if (r > 1 && r < n) m[r][r - 1] = m[r][r + 1] = 1.0 / 6;
  }
  for (int i = 1; i <= n; ++i)
    for (int k = i + 1; k <= n; ++k) {
      const double f = m[k][i] / m[i][i];
      for (int col = 1; col <= n; ++col) m[k][col] -= f * m[i][col];
      p[k] = {p[k].X - f * p[k - 1].X, p[k].Y - f * p[k - 1].Y};
    }
  c[n] = {p[n].X / m[n][n], p[n].Y / m[n][n]};
  for (int i = n - 1; i >= 1; --i)
    c[i] = {1 / m[i][i] * (p[i].X - m[i][i + 1] * c[i + 1].X), 1 / m[i][i] * (p[i].Y - m[i][i + 1] * c[i + 1].Y)};

  TBSpline s;
  for (int i = 0; i < n; ++i) s.AppendInputPoint(g.X[i], g.Y[i]);
  s.SetInterpolating(true);
  ASSERT_EQ(s.ControlPoints().size(), size_t(n + 2));
  for (int i = 1; i <= n; ++i) EXPECT_TRUE(s.ControlPoints()[i].X == c[i].X && s.ControlPoints()[i].Y == c[i].Y) << i;
}

// At whole c the approximating curve is the 1-4-1 mean (the ends kept), the
// interpolating one passes through the point.
TEST(ChartSpline, WholeParameterRules) {
  const Pts pts = {{1, 10}, {2, 40}, {4, 20}, {5, 30}, {7, 0}};
  for (bool interpolate : {false, true}) {
    TBSpline s = Spline(pts, interpolate);
    for (int i = 0; i < 5; ++i) {
      const bool mean = !interpolate && i > 0 && i < 4;
      const TSplinePoint got = s.Evaluate(i / 4.0);
      EXPECT_NEAR(got.Y, mean ? (pts[i - 1].Y + 4 * pts[i].Y + pts[i + 1].Y) / 6 : pts[i].Y, 1e-12) << interpolate << i;
      EXPECT_NEAR(got.X, mean ? (pts[i - 1].X + 4 * pts[i].X + pts[i + 1].X) / 6 : pts[i].X, 1e-12) << interpolate << i;
    }
    // One step past the end reads the phantom point and nothing beyond it.
    EXPECT_NEAR(s.Evaluate(1.25).Y, (s.ControlPoints()[5].Y + 4 * s.ControlPoints()[6].Y) / 6, 1e-12);
  }
}

TEST(ChartSpline, CornersAndRepeatedPointsStayInPlace) {
  TBSpline s = Spline({{0, 0}, {1, 5}, {2, 0}}, false);
  s.SetCorner(1, true);  // the ends are never corners
  s.SetCorner(2, true);
  EXPECT_EQ(s.ControlCount(), 5);
  EXPECT_DOUBLE_EQ(s.Evaluate(0.5).Y, 5.0);  // c = 3: the middle of the tripled point

  // Runs of three equal points are held from the second entry on; a run that
  // starts at the first one is solved like any other.
  const TSplinePoint a{3, 7};
  TBSpline held = Spline({{0, 0}, a, a, a, {4, 1}, {6, 2}}, true);
  for (int i : {2, 3, 4}) EXPECT_EQ(held.ControlPoints()[i].Y, a.Y) << i;
  EXPECT_NE(Spline({a, a, a, {4, 1}, {6, 2}, {7, 0}}, true).ControlPoints()[2].Y, a.Y);
}

// Straight sources stay straight: every sample on the segment, evenly spaced.
TEST(ChartSpline, StepCountsAndSmallSources) {
  struct { int count, factor; size_t points; } cases[] = {
      {0, 4, 0}, {1, 4, 5}, {1, 1000, 601}, {2, 3, 7}, {5, 0, 6}, {5, -7, 6}, {3, INT_MAX, 601}};
  for (const auto& c : cases) {
    std::vector<double> x, y;
    for (int i = 0; i < c.count; ++i) x.push_back(10 + 2 * i), y.push_back(3 - i);
    const Pts out = BSplineSmooth(x, y, c.factor, false);
    ASSERT_EQ(out.size(), c.points) << c.count << "x" << c.factor;
    for (size_t i = 0; i < out.size(); ++i) {
      const double t = c.count == 1 ? 0 : double(i) / (out.size() - 1);  // one point: all at (0, 0)
      EXPECT_NEAR(out[i].X, c.count == 1 ? 0 : 10 + 2 * (c.count - 1) * t, 1e-12);
      EXPECT_NEAR(out[i].Y, c.count == 1 ? 0 : 3 - (c.count - 1) * t, 1e-12);
    }
  }
}
