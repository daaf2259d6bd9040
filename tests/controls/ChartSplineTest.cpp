#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "controls/ChartSpline.h"

namespace {
struct TGolden {
  int Count = 0, Factor = 0, Interpolate = 0, Steps = 0;
  std::vector<double> X, Y;
  std::vector<TSplinePoint> Out;
};

// Reference curves written by tests/tools/make_spline_golden.py.
TGolden ReadGolden(const std::string& name) {
  const char* dir = std::getenv("FW_SOURCE_DIR");
  const auto base = dir ? std::filesystem::path(dir) / "tests/controls"
                        : std::filesystem::path(__FILE__).parent_path();
  std::ifstream in(base / "data" / name);
  EXPECT_TRUE(in.is_open()) << name;
  std::string line;
  while (std::getline(in, line) && line.starts_with("#")) {
  }
  TGolden g;
  std::istringstream(line) >> g.Count >> g.Factor >> g.Interpolate >> g.Steps;
  double x, y;
  for (int i = 0; i < g.Count && in >> x >> y; ++i) g.X.push_back(x), g.Y.push_back(y);
  while (in >> x >> y) g.Out.push_back({x, y});
  return g;
}

void ExpectRelNear(double got, double want, const std::string& where) {
  EXPECT_LE(std::fabs(got - want), 1e-12 * std::fabs(want)) << where << " got " << got << " want " << want;
}

TBSpline Spline(const std::vector<TSplinePoint>& pts, bool interpolate) {
  TBSpline s;
  for (const auto& p : pts) s.AppendInputPoint(p.X, p.Y);
  s.SetInterpolating(interpolate);
  return s;
}
}  // namespace

TEST(ChartSpline, SmoothingMatchesReferenceCurves) {
  for (const char* name : {"spline_approx_211.txt", "spline_interp_211.txt", "spline_approx_50.txt",
                           "spline_interp_50.txt"}) {
    const TGolden g = ReadGolden(name);
    ASSERT_EQ(g.Out.size(), static_cast<size_t>(g.Steps + 1)) << name;
    const auto out = BSplineSmooth(g.X, g.Y, g.Factor, g.Interpolate != 0);
    ASSERT_EQ(out.size(), g.Out.size()) << name;  // 211 points give 601, 50 give 501
    for (size_t i = 0; i < out.size(); ++i) {
      const std::string where = std::string(name) + " #" + std::to_string(i);
      ExpectRelNear(out[i].X, g.Out[i].X, where);
      ExpectRelNear(out[i].Y, g.Out[i].Y, where);
    }
  }
}

// The sweep against the elimination over the whole (N+1)^2 matrix.
TEST(ChartSpline, SweepGivesTheNumbersOfDenseElimination) {
  const TGolden g = ReadGolden("spline_interp_50.txt");
  const int n = g.Count;
  std::vector<std::vector<double>> m(n + 1, std::vector<double>(n + 1, 0.0));
  std::vector<TSplinePoint> p(n + 2), c(n + 2);
  for (int r = 1; r <= n; ++r) {
    p[r] = {g.X[r - 1], g.Y[r - 1]};
    if (r == 1 || r == n) {
      m[r][r] = 1;
    } else {
      m[r][r - 1] = m[r][r + 1] = 1.0 / 6;
      m[r][r] = 2.0 / 3;
    }
  }
  for (int i = 1; i <= n; ++i)
    for (int k = i + 1; k <= n; ++k) {
      const double f = m[k][i] / m[i][i];
      for (int col = 1; col <= n; ++col) m[k][col] -= f * m[i][col];
      p[k].X -= f * p[k - 1].X;
      p[k].Y -= f * p[k - 1].Y;
    }
  c[n] = {p[n].X / m[n][n], p[n].Y / m[n][n]};
  for (int i = n - 1; i >= 1; --i)
    c[i] = {1 / m[i][i] * (p[i].X - m[i][i + 1] * c[i + 1].X), 1 / m[i][i] * (p[i].Y - m[i][i + 1] * c[i + 1].Y)};

  TBSpline s;
  for (int i = 0; i < n; ++i) s.AppendInputPoint(g.X[i], g.Y[i]);
  s.SetInterpolating(true);
  const auto got = s.ControlPoints();
  ASSERT_EQ(got.size(), static_cast<size_t>(n + 2));
  for (int i = 1; i <= n; ++i) {
    EXPECT_EQ(got[i].X, c[i].X) << i;
    EXPECT_EQ(got[i].Y, c[i].Y) << i;
  }
}

// At whole c the approximating curve is the 1-4-1 mean (the ends kept), the
// interpolating one passes through the point.
TEST(ChartSpline, WholeParameterRules) {
  const std::vector<TSplinePoint> pts = {{1, 10}, {2, 40}, {4, 20}, {5, 30}, {7, 0}};
  for (bool interpolate : {false, true}) {
    TBSpline s = Spline(pts, interpolate);
    for (int i = 0; i < 5; ++i) {
      TSplinePoint want = pts[i];
      if (!interpolate && i > 0 && i < 4)
        want = {(pts[i - 1].X + 4 * pts[i].X + pts[i + 1].X) / 6, (pts[i - 1].Y + 4 * pts[i].Y + pts[i + 1].Y) / 6};
      const TSplinePoint got = s.Evaluate(i / 4.0);
      EXPECT_NEAR(got.X, want.X, 1e-12) << interpolate << " c=" << i + 1;
      EXPECT_NEAR(got.Y, want.Y, 1e-12) << interpolate << " c=" << i + 1;
    }
    // One step past the end reads the phantom point and nothing beyond it.
    const auto cp = s.ControlPoints();
    EXPECT_NEAR(s.Evaluate(1.25).Y, (cp[5].Y + 4 * cp[6].Y) / 6, 1e-12);
    for (double t : {-1e300, 1e300, std::numeric_limits<double>::quiet_NaN()}) (void)s.Evaluate(t);
  }
}

TEST(ChartSpline, CornersAndRepeatedPointsStayInPlace) {
  TBSpline s = Spline({{0, 0}, {1, 5}, {2, 0}}, false);
  s.SetCorner(1, true);  // the ends are never corners
  s.SetCorner(2, true);
  EXPECT_FALSE(s.IsCorner(1));
  EXPECT_EQ(s.ControlCount(), 5);
  EXPECT_DOUBLE_EQ(s.Evaluate(0.5).Y, 5.0);  // c = 3, the middle of the tripled point

  // A run of three equal points from the second entry on is held by identity
  // rows; one that starts at the first entry is solved like any other.
  const TSplinePoint a{3, 7};
  TBSpline held = Spline({{0, 0}, a, a, a, {4, 1}, {6, 2}}, true);
  EXPECT_EQ(held.ControlPoints()[2].X, a.X);
  EXPECT_EQ(held.ControlPoints()[3].Y, a.Y);
  EXPECT_EQ(held.ControlPoints()[4].Y, a.Y);
  TBSpline solved = Spline({a, a, a, {4, 1}, {6, 2}, {7, 0}}, true);
  EXPECT_NE(solved.ControlPoints()[2].Y, a.Y);
}

TEST(ChartSpline, StepCountsAndSmallSources) {
  struct Case {
    int count, factor;
    size_t points;
  } cases[] = {{0, 4, 0}, {1, 4, 5}, {1, 1000, 601}, {2, 3, 7}, {5, 0, 6}, {5, -7, 6}, {3, INT_MAX, 601}};
  for (const auto& c : cases) {
    std::vector<double> x, y;
    for (int i = 0; i < c.count; ++i) x.push_back(10 + 2 * i), y.push_back(3 - i);
    const auto out = BSplineSmooth(x, y, c.factor, false);
    ASSERT_EQ(out.size(), c.points) << c.count << "x" << c.factor;
    for (size_t i = 0; i < out.size(); ++i) {
      const double t = c.count == 1 ? 0 : static_cast<double>(i) / (out.size() - 1);
      EXPECT_NEAR(out[i].X, c.count == 1 ? 0 : 10 + 2 * (c.count - 1) * t, 1e-12);  // on the straight line
      EXPECT_NEAR(out[i].Y, c.count == 1 ? 0 : 3 - (c.count - 1) * t, 1e-12);
    }
  }
  EXPECT_EQ(SmoothingSteps(INT_MAX, INT_MAX), 600);
  TBSpline s;
  s.SetSteps(700);
  EXPECT_EQ(s.Steps(), 600);
  s.SetSteps(-3);  // no lower bound
  EXPECT_EQ(s.Steps(), -3);
}
