// Pointer shapes: the figure of each style flat, at one depth and as a solid,
// blended by the pointer's transparency and filled by its gradient.
#include <vector>

#include "chart/ChartEngine.h"
#include "chart/ChartEngineSeries.h"

namespace {

// The corners of a polygon style about (x, y) with half sizes (h, v); empty
// for the other styles.
std::vector<TPoint> PolygonOf(TSeriesPointerStyle style, int x, int y, int h, int v) {
  const int l = x - h, t = y - v, r = x + h, b = y + v;
  switch (style) {
    case psTriangle: return {{l, b}, {x, t}, {r, b}};
    case psDownTriangle: return {{l, t}, {r, t}, {x, b}};
    case psLeftTriangle: return {{l, y}, {r, t}, {r, b}};
    case psRightTriangle: return {{l, t}, {r, y}, {l, b}};
    case psDiamond: return {{x, t}, {r, y}, {x, b}, {l, y}};
    default: return {};
  }
}

}  // namespace

void TSeriesPointer::PrepareCanvas(TChartCanvas3D& c, TColor color) const {
  c.PreparePenWithColor(pen_, pen_.Color() == clPaletteColor ? color : pen_.Color());
  TColor fill = brush_.Color();
  if (fill == clPaletteColor) fill = brush_.Style() == bsSolid ? color : clBlack;
  c.PrepareBrush(brush_, fill);
}

void TSeriesPointer::DrawShape(TChartCanvas3D& c, bool is3D, TPoint at, TSize half, TSeriesPointerStyle style,
                               TPointerDepths z) const {
  if (style == psNothing) return;
  const int x = at.X, y = at.Y;
  const TRect r{x - half.cx, y - half.cy, x + half.cx, y + half.cy};
  // Flat shapes and pixels cover their right and bottom edges: so does the blend.
  TRect covered{r.Left, r.Top, r.Right + 1, r.Bottom + 1};
  if (is3D) {
    // Wherever the projection puts the shape, solid or flat: the box's bounds.
    TPoint corners[8];
    int n = 0;
    for (int depth : {z.Start, z.End})
      for (TPoint p : {TPoint{r.Left, r.Top}, TPoint{r.Right, r.Top}, TPoint{r.Right, r.Bottom}, TPoint{r.Left, r.Bottom}})
        corners[n++] = c.ProjectToPoint(p.X, p.Y, depth);
    covered = PointsBounds(corners, 8);
    ++covered.Right, ++covered.Bottom;
  }
  std::unique_ptr<TChartBlend> blend;
  if (transparency_ > 0) blend = c.StartTransparency(covered, transparency_);

  const std::vector<TPoint> polygon = PolygonOf(style, x, y, half.cx, half.cy);
  auto line = [&](int x0, int y0, int x1, int y1) {
    if (is3D) c.LineAtDepth(x0, y0, x1, y1, z.Start);
    else c.Line(x0, y0, x1, y1);
  };
  // `shaded`: the solids darken their sides (only when Dark3D).
  auto draw = [&](bool shaded) {
    switch (style) {
      case psRectangle:
        if (!is3D) c.Rectangle(covered);
        else if (draw3D_) c.Cube(r, z.Start, z.End, shaded && dark3D_);
        else c.RectangleAtDepth(r, z.Start);
        return;
      case psCircle:
        if (!is3D) c.Ellipse(r);
        else if (draw3D_ && c.IsAlternateRenderer()) c.Sphere(x, y, z.Middle, half.cx);
        else c.EllipseAtDepth(r, z.Start);
        return;
      case psTriangle:
      case psDownTriangle:
        if (is3D && draw3D_) {
          const TRect apexFirst = style == psTriangle ? r : TRect{r.Left, r.Bottom, r.Right, r.Top};
          c.Pyramid(true, apexFirst, z.Start, z.End, shaded && dark3D_);
          return;
        }
        [[fallthrough]];
      case psLeftTriangle:
      case psRightTriangle:
      case psDiamond:
        if (is3D) c.PolygonAtDepth(polygon.data(), int(polygon.size()), z.Start);
        else c.Polygon(polygon.data(), int(polygon.size()) - 1);
        return;
      case psCross:
      case psDiagCross:
      case psStar:
        if (style != psDiagCross) line(r.Left, y, r.Right + 1, y), line(x, r.Top, x, r.Bottom + 1);
        if (style != psCross) line(r.Left, r.Top, r.Right + 1, r.Bottom + 1), line(r.Left, r.Bottom, r.Right + 1, r.Top - 1);
        return;
      case psSmallDot:
        if (is3D) c.WritePixelAtDepth(x, y, z.Middle, c.DC().Brush().Color);
        else c.SetPixel(x, y, c.DC().Brush().Color);
        return;
      case psNothing: return;
    }
  };
  draw(true);

  // The gradient fills the shape's face at the start depth (a solid's front),
  // then the outline is drawn again over it.
  const bool area = style == psRectangle || style == psCircle || !polygon.empty();
  if (gradient_.Visible() && area) {
    std::vector<TPoint> face = polygon;
    if (face.empty()) {
      const TRect f = is3D || style == psCircle ? r : covered;
      face = {{f.Left, f.Top}, {f.Right, f.Top}, {f.Right, f.Bottom}, {f.Left, f.Bottom}};
    }
    if (is3D)
      for (TPoint& p : face) p = c.ProjectToPoint(p.X, p.Y, z.Start);
    const TRect bounds = PointsBounds(face.data(), int(face.size()));
    if (style == psCircle) c.ClipToEllipse(bounds, false);
    else c.ClipToPolygon(face.data(), int(face.size()));
    gradient_.Draw(c, bounds);
    c.RestoreClip();
    const TDCBrush brush = c.DC().Brush();
    c.SetBrushStyle(bsClear);
    draw(false);
    c.DC().SetBrush(brush);
  }
  if (blend) c.FinishTransparency(std::move(blend));
}
