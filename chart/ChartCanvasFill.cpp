// Gradients, radial fills, shadows and the software blend of the chart canvas.
#include <algorithm>
#include <cmath>

#include "chart/ChartCanvas.h"
#include "chart/ChartLayerRecorder.h"

namespace {

struct TChannels {
  int R, G, B;
};

TChannels Split(TColor c) {
  c = ColorToRGB(c);
  return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

TColor Grey(TColor c) {
  const TChannels s = Split(c);
  const int g = (s.R + s.G + s.B) / 3;
  return RGB(g, g, g);
}

// Keeps the current pen and brush of a canvas's surface for the scope.
class TKeepPenBrush {
 public:
  explicit TKeepPenBrush(IDeviceContext& dc) : dc_(dc), pen_(dc.Pen()), brush_(dc.Brush()) {}
  ~TKeepPenBrush() {
    dc_.SetPen(pen_);
    dc_.SetBrush(brush_);
  }

 private:
  IDeviceContext& dc_;
  TDCPen pen_;
  TDCBrush brush_;
};

}  // namespace

// --- Blending

int BlendPercent(int transparency) { return std::min(transparency & 127, 100); }

namespace {

// One pixel of BlendPixels.
uint32_t BlendPixel(uint32_t drawn, uint32_t background, int16_t p) {
  // Pure white gives up one step of red.
  if ((drawn & 0xFFFFFF) == 0xFFFFFF) drawn = (drawn & 0xFF00FFFF) | 0x00FE0000;
  uint32_t out = 0;
  // Per byte: d + ((b - d) * p) div 100, truncated; |(b - d) * p| < 2^15.
  for (int shift = 0; shift < 32; shift += 8) {
    const int16_t d = int16_t((drawn >> shift) & 0xFF), b = int16_t((background >> shift) & 0xFF);
    out |= uint32_t(uint8_t(d + int16_t(int16_t(b - d) * p) / 100)) << shift;
  }
  return out;
}

}  // namespace

void BlendPixels(uint32_t* drawn, const uint32_t* background, int count, int percent) {
  const int16_t p = int16_t(percent);
  // A band over a plain background blends the same two colours over and
  // over: the last pair's result is reused.
  uint32_t lastDrawn = 0, lastBackground = 0, lastOut = BlendPixel(0, 0, p);
  for (int i = 0; i < count; ++i) {
    if (drawn[i] != lastDrawn || background[i] != lastBackground) {
      lastDrawn = drawn[i], lastBackground = background[i];
      lastOut = BlendPixel(lastDrawn, lastBackground, p);
    }
    drawn[i] = lastOut;
  }
}

TChartBlend::TChartBlend(TChartCanvas3D& canvas, const TRect& r, int transparency)
    : canvas_(canvas), rect_(NormalizeRect(r)), percent_(BlendPercent(transparency)) {
  rect_.Left = std::max(0, rect_.Left), rect_.Top = std::max(0, rect_.Top);
  rect_.Right = std::max(rect_.Right, rect_.Left + 1), rect_.Bottom = std::max(rect_.Bottom, rect_.Top + 1);
  const TSize size = canvas.DC().Size();
  TRect limit{0, 0, size.cx, size.cy};
  if (!canvas.Bounds.IsEmpty()) {
    const TRect b = NormalizeRect(canvas.Bounds);
    limit = {std::max(limit.Left, b.Left), std::max(limit.Top, b.Top), std::min(limit.Right, b.Right),
             std::min(limit.Bottom, b.Bottom)};
  }
  rect_ = {std::max(rect_.Left, limit.Left), std::max(rect_.Top, limit.Top), std::min(rect_.Right, limit.Right),
           std::min(rect_.Bottom, limit.Bottom)};
  if (rect_.IsEmpty()) return;
  IDeviceContext& dc = canvas.DC();
  textAlign_ = dc.TextAlign();
  if ((recorder_ = dynamic_cast<TChartLayerRecorder*>(&dc))) {
    blend_ = recorder_->BlendStart(rect_);
    return;
  }
  dc.Flush();
  if (const QImage* image = dc.Image())
    background_ = image->copy(rect_.Left, rect_.Top, rect_.Width(), rect_.Height());
}

void TChartBlend::DoBlend(int percent) {
  if (recorder_) {
    // A blend ends in the layer it started in.
    if (&canvas_.DC() == recorder_) recorder_->BlendFinish(blend_, percent);
    return;
  }
  if (rect_.IsEmpty() || background_.isNull()) return;
  IDeviceContext& dc = canvas_.DC();
  dc.Flush();
  QImage* image = dc.Image();
  if (!image) return;
  for (int y = 0; y < rect_.Height(); ++y) {
    auto* row = reinterpret_cast<uint32_t*>(image->scanLine(rect_.Top + y)) + rect_.Left;
    BlendPixels(row, reinterpret_cast<const uint32_t*>(background_.constScanLine(y)), rect_.Width(), percent);
  }
}

TChartBlend::~TChartBlend() {
  IDeviceContext& dc = canvas_.DC();
  if (rect_.IsEmpty() || dc.TextAlign() == textAlign_) return;
  if (canvas_.chartFont_) canvas_.PrepareFont(*canvas_.chartFont_);
  dc.SetTextAlign(textAlign_);
}

std::unique_ptr<TChartBlend> TChartCanvas3D::StartTransparency(const TRect& r, int transparency) {
  transparency_ = uint8_t(transparency & 127);
  return std::make_unique<TChartBlend>(*this, r, transparency);
}

void TChartCanvas3D::FinishTransparency(std::unique_ptr<TChartBlend> blend) {
  if (!blend || Metafiling) return;
  blend->DoBlend(blend->Percent());
}

// --- Gradients

TColor GradientBandColor(TColor start, int dr, int dg, int db, int i, int t, int balance) {
  if (t <= 0) return ColorToRGB(start);  // a single band
  const TChannels s = Split(start);
  auto channel = [&](int from, int delta) {
    int v;
    if (balance == 50) {
      v = from + delta * i / t;
    } else {
      const double f = std::exp(std::log((1.0 + i) / (1.0 + t)) * (balance * 0.015 + 0.5));
      const double d = std::nearbyint(delta * f);
      v = from + int(std::clamp(d, -512.0, 512.0));
    }
    return std::clamp(v, 0, 255);
  };
  return RGB(channel(s.R, dr), channel(s.G, dg), channel(s.B, db));
}

void TChartCanvas3D::GradientFill(const TRect& rect, TColor start, TColor end, TGradientDirection direction,
                                  int balance) {
  const TRect r = NormalizeRect(rect);
  if (r.IsEmpty()) return;
  TColor s = ColorToRGB(start), e = ColorToRGB(end);
  if (direction == gdRadial) {
    RadialGradient(r, s, e, balance, 0, 0);
    return;
  }
  if (direction == gdBottomTop || direction == gdRightLeft || direction == gdFromCenter ||
      direction == gdFromTopLeft || direction == gdFromBottomLeft)
    std::swap(s, e);
  switch (direction) {
    case gdDiagonalUp:
    case gdDiagonalDown: LinesGradient(r, s, e, direction == gdDiagonalUp); return;
    case gdFromCenter: CenterGradient(r, s, e, balance); return;
    case gdFromTopLeft:
    case gdFromBottomLeft: CornerGradient(r, s, e, direction == gdFromBottomLeft, balance); return;
    default: break;
  }
  const bool vertical = direction == gdTopBottom || direction == gdBottomTop;
  const int extent = vertical ? r.Height() : r.Width();
  const int bands = std::min(extent, 256), t = bands - 1;
  if (t <= 0) return;
  const TChannels a = Split(s), b = Split(e);
  IDeviceContext& dc = DC();
  const TDCBrush saved = dc.Brush();
  for (int i = 0; i < bands; ++i) {
    // Bands count from the bottom (vertical) or the right edge (horizontal).
    const int from = int(int64_t(i) * extent / bands), to = int(int64_t(i + 1) * extent / bands);
    dc.SetBrush({TDCBrushStyle::Solid, GradientBandColor(s, b.R - a.R, b.G - a.G, b.B - a.B, i, t, balance), {}});
    dc.FillRect(vertical ? TRect{r.Left, r.Bottom - to, r.Right, r.Bottom - from}
                         : TRect{r.Right - to, r.Top, r.Right - from, r.Bottom});
  }
  dc.SetBrush(saved);
}

void TChartCanvas3D::LinesGradient(const TRect& r, TColor s, TColor e, bool up) {
  const int l = r.Width() + r.Height(), t = std::min(255, l - 1);
  if (t <= 0) return;
  const TChannels a = Split(s), b = Split(e);
  IDeviceContext& dc = DC();
  TKeepPenBrush keep(dc);
  const TDCRop2 rop = dc.Rop2();
  dc.SetRop2(TDCRop2::CopyPen);
  dc.PushClip();
  dc.ClipRect(r);
  for (int i = 0; i < l; ++i) {
    dc.SetPen({TDCPenStyle::Solid, 1, GradientBandColor(s, b.R - a.R, b.G - a.G, b.B - a.B, t * i / l, t, 50)});
    // One-pixel diagonals from the left edge, the last pixel included.
    const int y0 = up ? r.Bottom - 1 : r.Top;
    dc.MoveTo(r.Left + i, y0);
    dc.LineTo(r.Left - 1, up ? y0 - i - 1 : y0 + i + 1);
  }
  dc.PopClip();
  dc.SetRop2(rop);
}

void TChartCanvas3D::CornerGradient(const TRect& r, TColor s, TColor e, bool fromBottom, int balance) {
  const int w = r.Width(), h = r.Height(), t = w + h;
  const TChannels a = Split(s), b = Split(e);
  IDeviceContext& dc = DC();
  TKeepPenBrush keep(dc);
  const TDCRop2 rop = dc.Rop2();
  dc.SetRop2(TDCRop2::CopyPen);
  // Colour index = column + row from the corner: one anti-diagonal per index.
  for (int k = 0; k <= w + h - 2; ++k) {
    const int c0 = std::max(0, k - h + 1), c1 = std::min(k, w - 1);
    dc.SetPen({TDCPenStyle::Solid, 1, GradientBandColor(s, b.R - a.R, b.G - a.G, b.B - a.B, k, t, balance)});
    auto y = [&](int row) { return fromBottom ? r.Bottom - 1 - row : r.Top + row; };
    const int step = fromBottom ? 1 : -1;
    dc.MoveTo(r.Left + c0, y(k - c0));
    dc.LineTo(r.Left + c1 + 1, y(k - c1) + step);
  }
  dc.SetRop2(rop);
}

void TChartCanvas3D::CenterGradient(const TRect& r, TColor s, TColor e, int balance) {
  const int hw = r.Width() / 2, hh = r.Height() / 2, t = hw + hh;
  IDeviceContext& dc = DC();
  const TDCBrush saved = dc.Brush();
  if (t == 0) {  // nothing to divide: the caller's start colour (swapped into `e`)
    dc.SetBrush({TDCBrushStyle::Solid, e, {}});
    dc.FillRect(r);
    dc.SetBrush(saved);
    return;
  }
  const TChannels a = Split(s), b = Split(e);
  int dx = 0, dy = 0;
  for (;;) {
    const TRect in{r.Left + dx, r.Top + dy, r.Right - dx, r.Bottom - dy};
    if (in.IsEmpty()) break;
    dc.SetBrush({TDCBrushStyle::Solid, GradientBandColor(s, b.R - a.R, b.G - a.G, b.B - a.B, dx + dy, t, balance), {}});
    if (dx >= hw && dy >= hh) {  // the odd middle row or column
      dc.FillRect(in);
      break;
    }
    dc.FillRect({in.Left, in.Top, in.Left + 1, in.Bottom});
    dc.FillRect({in.Right - 1, in.Top, in.Right, in.Bottom});
    dc.FillRect({in.Left, in.Top, in.Right, in.Top + 1});
    dc.FillRect({in.Left, in.Bottom - 1, in.Right, in.Bottom});
    if (dx < hw) ++dx;
    if (dy < hh) ++dy;
  }
  dc.SetBrush(saved);
}

void TChartCanvas3D::RadialGradient(const TRect& rect, TColor start, TColor end, int balance, int radialX,
                                    int radialY) {
  const TRect r = NormalizeRect(rect);
  const int w = r.Width(), h = r.Height();
  int steps = std::min(255, std::max(w, h));
  if (w % 2 || h % 2) --steps;
  IDeviceContext& dc = DC();
  TKeepPenBrush keep(dc);
  TDCPen none = dc.Pen();
  none.Style = TDCPenStyle::Clear;
  dc.SetPen(none);
  const TColor s = ColorToRGB(start);
  if (steps <= 0) {  // nothing to divide into steps: the start colour
    dc.SetBrush({TDCBrushStyle::Solid, s, {}});
    dc.Ellipse({r.Left, r.Top, r.Right + 1, r.Bottom + 1});
    return;
  }
  const TChannels a = Split(s), b = Split(end);
  const double cx = (r.Left + r.Right) / 2 + radialX, cy = (r.Top + r.Bottom) / 2 + radialY;
  for (int k = steps; k >= 0; --k) {
    TColor c;
    if (balance == 50) {
      c = RGB(std::clamp(a.R + int((b.R - a.R) / double(steps) * k), 0, 255),
              std::clamp(a.G + int((b.G - a.G) / double(steps) * k), 0, 255),
              std::clamp(a.B + int((b.B - a.B) / double(steps) * k), 0, 255));
    } else {
      c = GradientBandColor(s, b.R - a.R, b.G - a.G, b.B - a.B, k, steps, balance);
    }
    const double rx = w / 2.0 * k / steps, ry = h / 2.0 * k / steps;
    dc.SetBrush({TDCBrushStyle::Solid, c, {}});
    dc.Ellipse({RoundPixel(cx - rx), RoundPixel(cy - ry), RoundPixel(cx + rx) + 1, RoundPixel(cy + ry) + 1});
  }
}

void TCustomChartGradient::Draw(TChartCanvas3D& canvas, const TRect& rect, int roundSize) const {
  TColor s = startColor_, m = MidColor(), e = endColor_;
  if (canvas.GetMonochrome()) {
    s = Grey(s), e = Grey(e);
    if (m != clNone) m = Grey(m);
  }
  const TRect r = NormalizeRect(rect);
  if (roundSize > 0) canvas.ClipToRoundRect(r, roundSize);
  if (direction_ == gdRadial) {
    canvas.RadialGradient(r, s, e, balance_, radialX_, radialY_);
  } else if (m != clNone && direction_ != gdDiagonalUp && direction_ != gdDiagonalDown) {
    const bool vertical = direction_ == gdTopBottom || direction_ == gdBottomTop;
    const bool horizontal = direction_ == gdLeftRight || direction_ == gdRightLeft;
    if (vertical || horizontal) {
      const TPoint c = RectCenter(r);
      const TRect first = vertical ? TRect{r.Left, r.Top, r.Right, c.Y} : TRect{r.Left, r.Top, c.X, r.Bottom};
      const TRect second = vertical ? TRect{r.Left, c.Y, r.Right, r.Bottom} : TRect{c.X, r.Top, r.Right, r.Bottom};
      // The start colour lies at the bottom (top-bottom) or the right (left-right).
      const bool startInSecond = direction_ == gdTopBottom || direction_ == gdLeftRight;
      canvas.GradientFill(startInSecond ? second : first, s, m, direction_, 50);
      canvas.GradientFill(startInSecond ? first : second, m, e, direction_, 50);
    } else {
      canvas.GradientFill(r, s, e, direction_, 50);
    }
  } else {
    canvas.GradientFill(r, s, e, direction_, balance_);
  }
  if (roundSize > 0) canvas.RestoreClip();
}

// --- Shadows

bool TChartShadow::Draw(TChartCanvas3D& canvas, const TRect& r, int z) const {
  if (!Visible()) return false;
  const int L = r.Left, T = r.Top, R = r.Right, B = r.Bottom, H = horizSize_, V = vertSize_;
  IDeviceContext& dc = canvas.DC();
  TKeepPenBrush keep(dc);
  const TColor color = ColorToRGB(color_);
  dc.SetBrush({TDCBrushStyle::Solid, color, {}});
  TDCPen pen = dc.Pen();
  pen.Style = TDCPenStyle::Clear;
  dc.SetPen(pen);
  std::unique_ptr<TChartBlend> blend;
  if (transparency_ > 0) {
    TPoint a = canvas.ProjectToPoint(L + H, T + V, z), b = canvas.ProjectToPoint(R + H, B + V, z);
    blend = canvas.StartTransparency({a.X, a.Y, b.X, b.Y}, transparency_);
  }
  const bool flat = !canvas.View3DActive && !canvas.OrthoProjection;
  auto strip = [&](const TRect& s) {
    if (flat) canvas.FillRect(NormalizeRect(s));
    else canvas.RectangleAtDepth(s, z);
  };
  if (!smooth_ || Size() < 2) {
    strip({L + H, B, R + H, B + V});
    strip({R, T + V, R + H, B + V});
  } else {
    const TChannels c = Split(color);
    const double grey = (c.R + c.G + c.B) / 3.0;
    pen.Style = TDCPenStyle::Solid;
    pen.Width = 1;
    auto lines = [&](int n, auto&& draw) {
      if (n <= 0) return;  // a strip of no size has no lines to brighten over
      const int step = int(std::nearbyint((255 - grey) / n));
      TColor line = color;
      for (int i = 1; i <= n; ++i) {
        pen.Color = line;
        dc.SetPen(pen);
        draw(i);
        line = LightenChannels(line, step);
      }
    };
    lines(V, [&](int i) { canvas.LineAtDepth(L + H, B + i - 1, R + H - V + i - 1, B + i - 1, z); });
    lines(H, [&](int i) { canvas.LineAtDepth(R + i - 1, T + V, R + i - 1, B + V - H + i - 1, z); });
  }
  if (blend) canvas.FinishTransparency(std::move(blend));
  return true;
}
