// The closed solids of the chart canvas: ring sectors, pie slices, cones and
// cylinders, pyramids and truncated pyramids. Each computes its points in
// chart coordinates, projects them, and draws only the faces that look at the
// viewer, far ones first.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "chart/ChartCanvas.h"

int SolidSideCount = 16;
int DefaultConePercent = 0;
int FirstDarkAmount = 128;
int SecondDarkAmount = 64;

namespace {

constexpr double kPi = std::numbers::pi;
// The shade of the curved and radial walls of a pie slice.
constexpr int kPieWallShade = 32;

// Integer halves, rounding towards zero, without overflow.
double Half(double sum) { return std::trunc(sum / 2); }

}  // namespace

TColor TChartCanvas3D::SolidBaseColor() const {
  const TDCBrush& b = DC().Brush();
  return b.Style == TDCBrushStyle::Solid ? b.Color : GetBackColor();
}

void TChartCanvas3D::GradientPolygon(const std::vector<TPoint>& pts, const TCustomChartGradient& gradient) {
  const int n = int(pts.size());
  ClipToPolygon(pts.data(), n);
  gradient.Draw(*this, PointsBounds(pts.data(), n));
  RestoreClip();
  if (DC().Pen().Style == TDCPenStyle::Clear) return;
  const TDCBrush saved = DC().Brush();
  SetBrushStyle(bsClear);
  DC().Polygon(pts.data(), n);
  DC().SetBrush(saved);
}

// --- Ring sector

void TChartCanvas3D::Donut(int midX, int midY, int radiusX, int radiusY, double fromAngle, double toAngle,
                           double holeSizePercent) {
  if (!std::isfinite(fromAngle) || !std::isfinite(toAngle) || !std::isfinite(holeSizePercent)) return;
  const double xi = radiusX * holeSizePercent * 0.01, yi = radiusY * holeSizePercent * 0.01;
  auto at = [&](double rx, double ry, double a) {
    return TPoint{RoundPixel(midX + std::nearbyint(rx * std::cos(a))),
                  RoundPixel(midY - std::nearbyint(ry * std::sin(a)))};
  };
  auto box = [&](double rx, double ry) {
    return TRect{RoundPixel(midX - rx), RoundPixel(midY - ry), RoundPixel(midX + rx), RoundPixel(midY + ry)};
  };
  const TPoint p1 = at(radiusX, radiusY, fromAngle), p2 = at(radiusX, radiusY, toAngle);
  const TPoint q1 = at(xi, yi, fromAngle), q2 = at(xi, yi, toAngle);
  IDeviceContext& dc = DC();
  dc.BeginPath();
  dc.MoveTo(p1.X, p1.Y);
  dc.ArcTo(box(radiusX, radiusY), p1, p2, false);
  dc.LineTo(q2.X, q2.Y);
  if (q2 != q1) dc.ArcTo(box(std::nearbyint(xi), std::nearbyint(yi)), q2, q1, true);
  dc.LineTo(p1.X, p1.Y);
  dc.EndPath();
  dc.StrokeAndFillPath();
}

// --- Pie slice

void TChartCanvas3D::SolidPie(int midX, int midY, int radiusX, int radiusY, int z0, int z1, double fromAngle,
                              double toAngle, bool shadeSides, bool withSides, int innerRadiusPercent,
                              const TCustomChartGradient* gradient) {
  const double span = toAngle - fromAngle;
  if (!std::isfinite(fromAngle) || !std::isfinite(span)) return;
  // One arc point per two degrees, 2 to 96 points.
  const int m = int(std::min(94.0, std::nearbyint(std::abs(span) * 180 / kPi / 2))) + 2;
  const double step = span / (m - 1);
  const bool hole = innerRadiusPercent >= 1;
  const double xi = innerRadiusPercent * double(radiusX) * 0.01, yi = innerRadiusPercent * double(radiusY) * 0.01;
  // Index 1..m: cap (a) and far (b) outer points, inner points at both depths.
  std::vector<TPoint> a(m + 1), b(m + 1), in1(m + 1), in0(m + 1);
  auto inner = [&](double theta, int z, TPoint& out) {
    return hole ? Project(midX + xi * std::cos(theta), midY - std::nearbyint(yi * std::sin(theta)), z, out)
                : Project(midX, midY, z, out);
  };
  for (int k = 1; k <= m; ++k) {
    const double t = fromAngle + (k - 1) * step;
    const double x = midX + radiusX * std::cos(t), y = midY - radiusY * std::sin(t);
    if (!Project(x, y, z1, a[k]) || !Project(x, y, z0, b[k]) || !inner(t, z1, in1[k]) || !inner(t, z0, in0[k]))
      return;
  }
  a[0] = in1[1];

  const TColor base = SolidBaseColor();
  const TDCBrush brush = DC().Brush();
  const TColor back = GetBackColor();
  auto shade = [&] {
    if (shadeSides) PrepareDarkColor(base, kPieWallShade);
  };
  if (hole) {  // the inner wall: back along the cap, forward along the far end
    std::vector<TPoint> wall(in1.rbegin(), in1.rend() - 1);
    wall.insert(wall.end(), in0.begin() + 1, in0.end());
    shade();
    DC().Polygon(wall.data(), int(wall.size()));
  }
  if (withSides) {
    auto side = [&](int k) {
      quad_[0] = in1[k], quad_[1] = a[k], quad_[2] = b[k], quad_[3] = in0[k];
      shade();
      FillQuad();
    };
    if (a[m].X < ProjectionCenter.X) side(m);
    if (a[1].X > ProjectionCenter.X) side(1);
  }
  DC().SetBrush(brush);
  SetBackColor(back);

  std::vector<TPoint> cap(a.begin(), a.end());
  if (hole) cap.insert(cap.end(), in1.rbegin(), in1.rend() - 1);
  auto fill = [&](const std::vector<TPoint>& pts) {
    if (gradient) GradientPolygon(pts, *gradient);
    else DC().Polygon(pts.data(), int(pts.size()));
  };
  fill(cap);

  // The outer wall where its projected x grows with the angle: the part that faces the viewer.
  auto run = [&](int i0, int i1) {
    std::vector<TPoint> pts(a.begin() + i0, a.begin() + i1 + 1);
    for (int i = i1; i >= i0; --i) pts.push_back(b[i]);
    shade();
    fill(pts);
  };
  int k = 2;
  while (k <= m && a[k].X <= a[k - 1].X) ++k;
  if (k > m) return;
  int i1 = k + 1;
  while (i1 <= m - 1 && a[i1].X >= a[i1 - 1].X) ++i1;
  // Without a turn before the last point the run reaches it, also when the
  // last step turns back: the wall up to there faces the viewer.
  if (i1 >= m) i1 = m;
  run(k - 1, i1);
  if (i1 != m && a[m].X > a[m - 1].X) {  // the wall wraps round again at the end of the arc
    int i0 = m - 1;
    while (i0 >= 2 && a[i0].X > a[i0 - 1].X) --i0;
    if (i0 > 1) run(i0, m);
  }
}

// --- Cone and cylinder

void TChartCanvas3D::Cone(bool vertical, const TRect& r, int z0, int z1, bool shadeSides, int tipPercent) {
  const int n = SolidSideCount;
  if (n < 1) return;
  if (tipPercent == 0) tipPercent = DefaultConePercent;
  const TColor base = SolidBaseColor();
  const double rz = Half(double(z1) - z0), zc = Half(double(z1) + z0), s = 2 * kPi / n;
  const double radius = vertical ? Half(double(r.Right) - r.Left) : Half(double(r.Bottom) - r.Top);
  const double centre = vertical ? Half(double(r.Right) + r.Left) : Half(double(r.Bottom) + r.Top);
  const double height = vertical ? std::abs(double(r.Bottom) - r.Top) : std::abs(double(r.Right) - r.Left);
  const double level = vertical ? std::min(r.Top, r.Bottom) : std::max(r.Left, r.Right);
  const double tipRadius = std::nearbyint(radius * tipPercent * 0.01), tipDepth = std::nearbyint(rz * tipPercent * 0.01);
  // Vertex i of a ring at `along` (y when vertical, x when horizontal).
  auto vertex = [&](int i, double rr, double rd, double along, TPoint& out) {
    const double angle = (i - (vertical ? 4 : 5)) * s;
    const double across = centre + std::nearbyint(rr * std::sin(angle)), z = zc - std::nearbyint(rd * std::cos(angle));
    return vertical ? Project(across, along, z, out) : Project(along, across, z, out);
  };
  std::vector<TPoint> narrow(n + 1), wide(n + 1);
  const double baseAt = vertical ? level + height : level - height;
  for (int i = 1; i <= n; ++i)
    if (!vertex(i, tipRadius, tipDepth, level, narrow[i]) || !vertex(i, radius, rz, baseAt, wide[i])) return;

  auto face = [&](int i, int j) {
    if (NegativeTurn(narrow[i], wide[i], wide[j])) return;
    const TPoint q[4] = {narrow[i], wide[i], wide[j], narrow[j]};
    DC().Polygon(q, 4);
  };
  const int shadeStep = 256 / (2 * n);
  for (int i = 2, f = 0; i <= n; ++i, ++f) {
    if (shadeSides) PrepareDarkColor(base, shadeStep * f % 256);
    face(i - 1, i);
  }
  if (tipPercent == 100) face(n, 1);  // a tapered cone leaves the closing face out

  std::vector<TPoint> cap(narrow.begin() + 1, narrow.end());
  if (shadeSides) PrepareDarkColor(base, SecondDarkAmount);
  if (!vertical && NegativeTurn(ProjectToPoint(0, 0, 0), ProjectToPoint(0, 10, 0), ProjectToPoint(0, 10, 10)))
    for (int i = 1; i <= n; ++i)
      if (!vertex(i, tipRadius, tipDepth, r.Left, cap[i - 1])) return;
  DC().Polygon(cap.data(), n);
}

// --- Pyramids

void TChartCanvas3D::Pyramid(bool vertical, const TRect& r, int z0, int z1, bool shadeSides) {
  const TColor base = SolidBaseColor();
  auto at = [&](double x, double y, double z) {
    TPoint p;
    Project(x, y, z, p);
    return p;
  };
  auto triangle = [&](TPoint p, TPoint q, TPoint t) {
    const TPoint pts[3] = {p, q, t};
    DC().Polygon(pts, 3);
  };
  auto shade = [&](int amount) {
    if (shadeSides) PrepareDarkColor(base, amount);
  };
  const double L = r.Left, T = r.Top, R = r.Right, B = r.Bottom, zm = Half(double(z0) + z1);
  if (vertical) {
    const bool up = r.Top < r.Bottom;
    const TPoint lb0 = at(L, B, z0), rb0 = at(R, B, z0), lb1 = at(L, B, z1), rb1 = at(R, B, z1);
    const TPoint apex = at(Half(L + R), T, zm);
    if (r.Top != r.Bottom) {
      triangle(lb0, apex, rb0);
      if (NegativeTurn(lb0, apex, lb1) != up) triangle(lb0, apex, lb1);
      shade(FirstDarkAmount);
      if (NegativeTurn(rb0, apex, rb1) == up) triangle(rb0, apex, rb1);
      if (up && NegativeTurn(apex, lb1, rb1)) triangle(apex, lb1, rb1);
    }
    if (NegativeTurn(lb0, rb0, lb1) == up) {
      shade(SecondDarkAmount);
      FlatRectY(r.Left, r.Bottom, r.Right, z0, z1);
    }
    return;
  }
  const bool right = r.Left < r.Right;
  const TPoint p0 = at(L, T, z0), p1 = at(L, B, z0), p2 = at(L, T, z1), p3 = at(L, B, z1);
  const TPoint apex = at(R, Half(T + B), zm);
  if (r.Left != r.Right) {
    triangle(p0, apex, p1);
    if (NegativeTurn(p2, apex, p3) != right) triangle(p2, apex, p3);
    shade(SecondDarkAmount);
    if (NegativeTurn(p0, apex, p2) != right) triangle(p0, apex, p2);
    if (NegativeTurn(p3, apex, p1) != right) triangle(p3, apex, p1);
  }
  if (NegativeTurn(p0, p1, p2) == right) {
    shade(FirstDarkAmount);
    FlatRectZ(r.Left, r.Top, r.Bottom, z0, z1);
  }
}

void TChartCanvas3D::TruncatedPyramid(const TRect& r, int depthStart, int endZ, int topHalfWidth, int topHalfDepth) {
  const double xm = Half(double(r.Left) + r.Right), zm = Half(double(depthStart) + endZ);
  const int topLeft = RoundPixel(xm - topHalfWidth), topRight = RoundPixel(xm + topHalfWidth);
  const int nearTop = RoundPixel(zm - topHalfDepth), farTop = RoundPixel(zm + topHalfDepth);
  auto top = [&] {
    if (topHalfWidth != 0) FlatRectY(topLeft, r.Top, topRight, nearTop, farTop);
  };
  // The back or front face: the top edge at depth a, the base edge at depth b.
  auto slope = [&](int a, int b) {
    const TPoint q[4] = {{topLeft, r.Top}, {topRight, r.Top}, {r.Right, r.Bottom}, {r.Left, r.Bottom}};
    const bool turn = NegativeTurn(ProjectToPoint(q[0].X, q[0].Y, a), ProjectToPoint(q[1].X, q[1].Y, a),
                                   ProjectToPoint(q[2].X, q[2].Y, b));
    if (a < b ? !turn : turn) DepthQuadGeneral(q, a, b);
  };
  // The left or right face, shown when its turn is the one wanted.
  auto flank = [&](int topX, int baseX, bool wanted) {
    quad_[0] = ProjectToPoint(topX, r.Top, nearTop), quad_[1] = ProjectToPoint(topX, r.Top, farTop);
    quad_[2] = ProjectToPoint(baseX, r.Bottom, endZ), quad_[3] = ProjectToPoint(baseX, r.Bottom, depthStart);
    if (NegativeTurn(quad_[3], quad_[2], quad_[1]) == wanted) FillQuad();
  };
  const bool baseFirst = r.Bottom > r.Top;
  if (baseFirst) FlatRectY(r.Left, r.Bottom, r.Right, depthStart, endZ);
  else top();
  slope(farTop, endZ);
  flank(topLeft, r.Left, true);
  slope(nearTop, depthStart);
  flank(topRight, r.Right, false);
  if (baseFirst) top();
  else FlatRectY(r.Left, r.Bottom, r.Right, depthStart, endZ);
}
