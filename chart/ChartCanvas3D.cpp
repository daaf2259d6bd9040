// The chart canvas: frames and buffer, projection, attributes, texts and the
// 2-D and 3-D drawing operations.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "chart/ChartCanvas.h"
#include "chart/ChartLayerRecorder.h"
#include "platform/PainterDC.h"
#include "platform/RecordingDC.h"

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

TDCPenStyle DCPenStyle(TPenStyle s) {
  static constexpr TDCPenStyle kStyles[] = {TDCPenStyle::Solid,      TDCPenStyle::Dash,  TDCPenStyle::Dot,
                                            TDCPenStyle::DashDot,    TDCPenStyle::DashDotDot,
                                            TDCPenStyle::Clear,      TDCPenStyle::InsideFrame};
  return kStyles[s];
}

}  // namespace

// --- Helpers

TRect NormalizeRect(const TRect& r) {
  return {std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
          std::max(r.Top, r.Bottom)};
}

TRect PointsBounds(const TPoint* pts, int count) {
  if (count <= 0) return {};
  TRect b{pts[0].X, pts[0].Y, pts[0].X, pts[0].Y};
  for (int i = 1; i < count; ++i) {
    b.Left = std::min(b.Left, pts[i].X), b.Right = std::max(b.Right, pts[i].X);
    b.Top = std::min(b.Top, pts[i].Y), b.Bottom = std::max(b.Bottom, pts[i].Y);
  }
  return b;
}

double PointDistance(TPoint a, TPoint b) { return std::hypot(double(b.X) - a.X, double(b.Y) - a.Y); }

TPoint PointAlongLine(TPoint from, TPoint to, double distance) {
  const double len = PointDistance(from, to);
  if (len == 0) return from;
  return {RoundPixel(from.X + (to.X - from.X) * distance / len), RoundPixel(from.Y + (to.Y - from.Y) * distance / len)};
}

TColor DarkenChannels(TColor c, int amount) {
  auto ch = [amount](int v) { return amount >= v ? 0 : v - amount; };
  c = ColorToRGB(c);
  return RGB(ch(GetRValue(c)), ch(GetGValue(c)), ch(GetBValue(c)));
}

TColor LightenChannels(TColor c, int amount) {
  auto ch = [amount](int v) { return std::min(255, v + amount); };
  c = ColorToRGB(c);
  return RGB(ch(GetRValue(c)), ch(GetGValue(c)), ch(GetBValue(c)));
}

int RoundPixel(double v) {
  if (!(v > -kPixelLimit)) return -kPixelLimit;  // NaN too
  if (v >= kPixelLimit) return kPixelLimit;
  return int(std::nearbyint(v));
}

// --- TChartCanvas

TChartCanvas::~TChartCanvas() = default;

void TChartCanvas::PrepareBrushWithColor(const TBrush& brush, TColor color, TColor backColor) {
  if (GetMonochrome()) color = clWhite;
  IDeviceContext& dc = DC();
  const auto* chartBrush = dynamic_cast<const TChartBrush*>(&brush);
  if (chartBrush && chartBrush->HasImage()) {
    dc.SetBrush({TDCBrushStyle::Pattern, color, const_cast<TChartBrush*>(chartBrush)->Image().Image()});
    dc.SetTextColor(ColorToRGB(color));
    dc.SetBkMode(TDCBkMode::Opaque);
    dc.SetBkColor(ColorToRGB(backColor));
    return;
  }
  dc.SetBrush({TDCBrushStyle(int(brush.Style())), color, {}});
  if (backColor == clNone) {
    dc.SetBkMode(TDCBkMode::Transparent);
  } else {
    dc.SetBkMode(TDCBkMode::Opaque);
    dc.SetBkColor(ColorToRGB(backColor));
  }
}

void TChartCanvas::PrepareFont(const TChartFont& font) {
  TDCFont f = font.DCFont();
  if (FontZoom != 100) {
    const int size = RoundPixel(font.Size() * FontZoom * 0.01);
    f.Height = -int(std::lround(size * font.PixelsPerInch() / 72.0));
  }
  IDeviceContext& dc = DC();
  dc.SetFont(f);
  if (GetMonochrome()) dc.SetTextColor(clBlack);
  dc.SetTextCharacterExtra(font.InterCharSize());
  chartFont_ = &font;
}

void TChartCanvas::ResetToPlain() {
  IDeviceContext& dc = DC();
  dc.SetPen({TDCPenStyle::Solid, 1, clBlack});
  dc.SetRop2(TDCRop2::CopyPen);
  dc.SetBrush({TDCBrushStyle::Solid, clWhite, {}});
  TDCFont f;
  f.Name = DefaultChartFontName();
  f.Height = -int(std::lround(DefaultChartFontSize() * 96 / 72.0));
  dc.SetFont(f);
  dc.SetTextColor(clBlack);
  dc.SetTextCharacterExtra(0);
  transparency_ = 0;
  chartFont_ = nullptr;
  dc.SetBkColor(clWhite);
  dc.SetBkMode(TDCBkMode::Transparent);
  dc.SetTextAlign(TA_LEFT | TA_TOP);
}

void TChartCanvas::PrepareDarkColor(TColor color, int amount) {
  const TColor dark = DarkenChannels(color, amount);
  TDCBrush b = DC().Brush();
  if (b.Style == TDCBrushStyle::Solid || b.Style == TDCBrushStyle::Clear || b.Style == TDCBrushStyle::Pattern) {
    DC().SetBrush({TDCBrushStyle::Solid, dark, {}});
  } else {
    DC().SetBkColor(dark);
  }
}

void TChartCanvas::SetBrushColor(TColor color) {
  TDCBrush b = DC().Brush();
  b.Color = color;
  DC().SetBrush(b);
}

void TChartCanvas::SetBrushStyle(TBrushStyle style) {
  TDCBrush b = DC().Brush();
  b.Style = TDCBrushStyle(int(style));
  DC().SetBrush(b);
}

void TCanvas3D::EnterFlatMode() {
  if (FlatModeDepth++ == 0) SuspendRotation();
}

void TCanvas3D::LeaveFlatMode() {
  if (FlatModeDepth > 0 && --FlatModeDepth == 0) ResumeRotation();
}

// --- TChartCanvas3D: surfaces and frames

TChartCanvas3D::TChartCanvas3D(IDeviceContext* reference) : TCanvas3D(reference), reference_(reference) {}

struct TChartCanvas3D::TLayer {
  std::vector<TChartLayerRecorder::TCommand> Commands;
  bool Recorded = false;  // Commands are the layer's last recording
  QImage Pixels;          // the buffer after the layer; null: not kept
  int Changes = 0;        // frames in a row whose recording differed from the one before
};

TChartCanvas3D::~TChartCanvas3D() {
  // The recorder draws into the buffer's device context, which goes first.
  recorder_.reset();
}

void TChartCanvas3D::SetMonochrome(bool value) {
  if (value == monochrome_) return;
  monochrome_ = value;
  bufferStale_ = true;
  if (OnRepaint) OnRepaint();
}

void TChartCanvas3D::SetOffscreenBuffering(bool value) {
  if (value == offscreen_) return;
  offscreen_ = value;
  if (!value && !bitmap_.isNull()) {
    DiscardBuffer();
    bufferStale_ = true;
  } else if (value && bitmapDC_) {
    SetSurface(bitmapDC_.get());
  }
}

void TChartCanvas3D::PanelResized(TSize size) {
  if (bitmap_.isNull() || bitmap_.width() != size.cx || bitmap_.height() != size.cy) bufferStale_ = true;
}

TRect TChartCanvas3D::OpenFrame(IDeviceContext* surface, TView3DOptions* options, TColor, bool is3D,
                                const TRect& r) {
  Bounds = r;
  View3DOptions = options;
  if (options) FontZoom = options->FontZoom();
  View3DActive = is3D;
  OrthoProjection = false;
  ZoomScale = 1.0;
  if (View3DActive && options) {
    OrthoProjection = options->Orthogonal();
    if (OrthoProjection) {
      double angle = options->OrthoAngle();
      if (angle > 90) {
        OrthoStepX = -1.0;
        angle = 180 - angle;
      } else {
        OrthoStepX = 1.0;
      }
      const double s = std::sin(angle * kDegree), c = std::cos(angle * kDegree);
      OrthoStepY = c < 0.01 ? 1.0 : s / c;
    }
    ZoomScale = options->Zoom() * 0.01;
    ZoomText = options->ZoomText();
    UpdateRotationTrig();
  }
  if (layersOn_ || tailOn_) ForgetLayers();  // the last frame ended inside its layers
  changed_.clear(), changedKnown_ = false;
  if (offscreen_) {
    if (OnBufferChanging) OnBufferChanging();
    const int w = std::max(0, r.Width()), h = std::max(0, r.Height());
    bitmapDC_.reset();
    if (w == 0 || h == 0) {  // nothing to show: the frame is drawn into a sink
      bitmap_ = QImage();
      bitmapDC_ = std::make_unique<TRecordingDC>(TSize{w, h});
      SetSurface(bitmapDC_.get());
      return {0, 0, w, h};
    }
    if (bitmap_.width() != w || bitmap_.height() != h) {
      bitmap_ = QImage(w, h, QImage::Format_RGB32);
      tailKnown_ = false;
    }
    bitmapDC_ = std::make_unique<TPainterDC>(&bitmap_);
    SetSurface(bitmapDC_.get());
    return {0, 0, w, h};
  }
  SetSurface(surface);
  return r;
}

void TChartCanvas3D::UpdateRotationTrig() {
  if (OrthoProjection) return;
  const double elevation = View3DOptions ? View3DOptions->Elevation() : 0;
  const double rotation = View3DOptions ? View3DOptions->Rotation() : 0;
  const double tilt = View3DOptions ? View3DOptions->Tilt() : 0;
  PerspectiveOn = false;
  PerspectiveScale = 0;
  elevationSin_ = std::sin(-elevation * kDegree), elevationCos_ = std::cos(-elevation * kDegree);
  rotationSin_ = std::sin(-rotation * kDegree), rotationCos_ = std::cos(-rotation * kDegree);
  TiltOn = tilt != 0;
  tiltSin_ = std::sin(tilt * kDegree), tiltCos_ = std::cos(tilt * kDegree);
}

void TChartCanvas3D::Projection(int maxDepth, const TRect& r) {
  const TPoint c = RectCenter(r);
  Center = {c.X + RoundPixel(TurnCenter[0]), c.Y + RoundPixel(TurnCenter[1]),
            RoundPixel(maxDepth * 0.5 + TurnCenter[2])};
  ProjectionCenter = {Center.X, Center.Y};
  if (!View3DOptions) return;
  ProjectionCenter.X += View3DOptions->HorizOffset();
  ProjectionCenter.Y += View3DOptions->VertOffset();
  // No perspective division for an empty width.
  PerspectiveOn = View3DOptions->Perspective() > 0 && r.Width() > 0;
  if (PerspectiveOn) PerspectiveScale = View3DOptions->Perspective() * ZoomScale * (1.0 / 150) / r.Width();
}

void TChartCanvas3D::FitProjection(const TRect& room, int maxDepth, const TRect& plot) {
  if (!View3DActive || OrthoProjection || !View3DOptions || room.Width() <= 0 || room.Height() <= 0) return;
  const double zoom = ZoomScale;
  auto setZoom = [&](double z) {
    ZoomScale = z;
    if (PerspectiveOn) PerspectiveScale = View3DOptions->Perspective() * z * (1.0 / 150) / plot.Width();
  };
  auto bounds = [&](TRect& b) {
    bool any = false;
    for (int z : {0, maxDepth})
      for (TPoint c : {TPoint{room.Left, room.Top}, TPoint{room.Right, room.Top}, TPoint{room.Right, room.Bottom},
                       TPoint{room.Left, room.Bottom}}) {
        TPoint p;
        if (!Project(c.X, c.Y, z, p)) continue;
        b = any ? TRect{std::min(b.Left, p.X), std::min(b.Top, p.Y), std::max(b.Right, p.X), std::max(b.Bottom, p.Y)}
                : TRect{p.X, p.Y, p.X, p.Y};
        any = true;
      }
    return any && b.Width() > 0 && b.Height() > 0;
  };
  // The perspective grows with the scale: a few rounds settle it.
  double fit = 1;
  setZoom(1);
  for (int round = 0; round < 4; ++round) {
    TRect b;
    if (!bounds(b)) break;
    const double s = std::min(double(room.Width()) / b.Width(), double(room.Height()) / b.Height());
    if (!(s > 0) || !std::isfinite(s)) break;
    fit *= s;
    setZoom(fit);
    if (std::abs(s - 1) < 0.002) break;
  }
  TRect b;
  if (bounds(b)) {
    // The fitted box centred in the room; the view's offsets stay on top.
    ProjectionCenter.X += RectCenter(room).X - RectCenter(b).X;
    ProjectionCenter.Y += RectCenter(room).Y - RectCenter(b).Y;
  }
  setZoom(fit * zoom);
}

void TChartCanvas3D::PresentBuffer(IDeviceContext* destination, IDeviceContext* defaultSurface, const TRect& r) {
  EndLayers();
  EndTail();
  if (offscreen_ && bitmapDC_) {
    CopyBufferTo(r.Left, r.Top, *destination);
    bufferStale_ = false;
  }
  bitmapDC_.reset();
  SetSurface(defaultSurface ? defaultSurface : reference_);
}

bool TChartCanvas3D::RepaintFromBuffer() {
  if (bufferStale_ || bitmap_.isNull()) return false;
  CopyBufferTo(0, 0, *reference_);
  return true;
}

bool TChartCanvas3D::FinishBufferFrame(IDeviceContext* defaultSurface) {
  if (!offscreen_ || !bitmapDC_ || bitmap_.isNull()) return false;
  EndLayers();
  EndTail();
  bufferStale_ = false;
  bitmapDC_.reset();
  SetSurface(defaultSurface ? defaultSurface : reference_);
  return true;
}

bool TChartCanvas3D::OpenBuffer() {
  if (!offscreen_ || bufferStale_ || bitmap_.isNull() || bitmapDC_) return false;
  if (OnBufferChanging) OnBufferChanging();
  bitmapDC_ = std::make_unique<TPainterDC>(&bitmap_);
  SetSurface(bitmapDC_.get());
  tailKnown_ = false;  // drawn on between frames
  return true;
}

void TChartCanvas3D::PresentBufferRect(const TRect& r) {
  if (!bitmapDC_) return;
  const int left = std::max(0, r.Left), top = std::max(0, r.Top);
  const int right = std::min(bitmap_.width(), r.Right), bottom = std::min(bitmap_.height(), r.Bottom);
  if (right > left && bottom > top)
    reference_->BitBlt(left, top, right - left, bottom - top, *bitmapDC_, left, top, TDCRop3::SrcCopy);
  bitmapDC_.reset();
  SetSurface(reference_);
}

// --- Static layers

void TChartCanvas3D::EnableLayers() {
  auto* painter = dynamic_cast<TPainterDC*>(bitmapDC_.get());
  if (!offscreen_ || !painter || surface_ != painter || Metafiling) return;
  layersOn_ = true, layersKept_ = true, layersDrawn_ = false, layersChurn_ = false;
  layer_ = -1, restore_ = -1;
}

void TChartCanvas3D::BeginLayer() {
  if (!layersOn_) return;
  if (layer_ >= 0) EndLayer();
  ++layer_;
  if (size_t(layer_) >= layers_.size()) layers_.resize(size_t(layer_) + 1);
  recorder_ = std::make_unique<TChartLayerRecorder>(static_cast<TPainterDC&>(*bitmapDC_), [this] {
    // Drawn from here on: the buffer gets the pixels the layer starts from.
    RestoreKeptPixels();
    layersKept_ = false, layersDrawn_ = true;
  });
  SetSurface(recorder_.get());
}

void TChartCanvas3D::EndLayer() {
  TLayer& layer = layers_[size_t(layer_)];
  SetSurface(bitmapDC_.get());
  if (recorder_->Spilled()) {
    layer = {};
    layersChurn_ = true;  // never taken from kept pixels
  } else if (recorder_->Commands().empty()) {
    // Draws nothing: the pixels are those of the layers before.
    layer.Commands.clear(), layer.Pixels = QImage();
    layer.Recorded = true, layer.Changes = 0;
  } else {
    const bool same = layer.Recorded && layer.Commands == recorder_->Commands();
    if (layersKept_ && same && layer.Pixels.size() == bitmap_.size()) {
      restore_ = layer_;
      layer.Changes = 0;
    } else {
      RestoreKeptPixels();
      recorder_->Replay();
      layersKept_ = layersKept_ && same;
      layersDrawn_ = true;
      layer.Changes = same ? 0 : layer.Changes + 1;
      layer.Commands = recorder_->TakeCommands();
      layer.Recorded = true;
      // A layer that changes with every frame is not worth the copy, nor is
      // one drawn over such a layer: it is drawn anew with the next frame.
      if (layer.Changes > 1) layersChurn_ = true;
      if (!layersChurn_) {
        bitmapDC_->Flush();
        if (layer.Pixels.size() == bitmap_.size() && layer.Pixels.format() == bitmap_.format())
          std::memcpy(layer.Pixels.bits(), bitmap_.constBits(), size_t(bitmap_.sizeInBytes()));
        else
          layer.Pixels = bitmap_.copy();
      } else {
        layer.Pixels = QImage();
      }
    }
  }
  recorder_.reset();
}

void TChartCanvas3D::EndLayers() {
  if (!layersOn_) return;
  if (layer_ >= 0) EndLayer();
  const bool hit = layer_ >= 0 && !layersDrawn_;
  if (hit) ++layerHits_;
  layersOn_ = false, layer_ = -1;
  if (!hit || restore_ < 0) {
    RestoreKeptPixels();
    tailKnown_ = false;
    return;
  }
  // The buffer holds the kept pixels but where the frame before drew after
  // its layers, if that frame kept the same ones: only there they come back.
  // What this frame draws after them is tracked for the next one.
  tailLayer_ = restore_;
  if (tailKnown_ && tailBase_ == restore_) {
    const QImage& kept = layers_[size_t(restore_)].Pixels;
    restore_ = -1;
    bitmapDC_->Flush();
    for (const QRect& r : tailArea_) {
      const QRect in = r & bitmap_.rect();
      if (in.isEmpty()) continue;
      const size_t bytes = size_t(in.width()) * sizeof(uint32_t), offset = size_t(in.left()) * sizeof(uint32_t);
      for (int y = in.top(); y <= in.bottom(); ++y)
        std::memcpy(bitmap_.scanLine(y) + offset, kept.constScanLine(y) + offset, bytes);
    }
    changed_ = tailArea_;
    changedKnown_ = true;
  } else {
    RestoreKeptPixels();
  }
  touched_ = {};
  static_cast<TPainterDC&>(*bitmapDC_).TrackTouched(&touched_);
  tailOn_ = true;
}

void TChartCanvas3D::EndTail() {
  if (!tailOn_) return;
  tailOn_ = false;
  static_cast<TPainterDC&>(*bitmapDC_).TrackTouched(nullptr);
  int64_t pixels = 0;
  for (const QRect& r : touched_.Rects) pixels += int64_t(r.width()) * r.height();
  // Most of the buffer: not worth the bookkeeping.
  tailKnown_ = !touched_.Anywhere && pixels * 4 <= int64_t(bitmap_.width()) * bitmap_.height() * 3;
  tailBase_ = tailLayer_;
  tailArea_ = std::move(touched_.Rects);
  if (!tailKnown_) changedKnown_ = false;
  if (changedKnown_) changed_.insert(changed_.end(), tailArea_.begin(), tailArea_.end());
}

void TChartCanvas3D::RestoreKeptPixels() {
  if (restore_ < 0) return;
  const QImage& kept = layers_[size_t(restore_)].Pixels;
  restore_ = -1;
  bitmapDC_->Flush();
  std::memcpy(bitmap_.bits(), kept.constBits(), size_t(std::min(kept.sizeInBytes(), bitmap_.sizeInBytes())));
}

void TChartCanvas3D::ForgetLayers() {
  if (recorder_ && surface_ == recorder_.get()) SetSurface(bitmapDC_ ? bitmapDC_.get() : reference_);
  recorder_.reset();
  layers_.clear();
  layersOn_ = false, layer_ = -1, restore_ = -1;
  if (tailOn_ && bitmapDC_) static_cast<TPainterDC&>(*bitmapDC_).TrackTouched(nullptr);
  tailOn_ = false, tailKnown_ = false;
}

void TChartCanvas3D::DiscardBuffer() {
  if (OnBufferChanging) OnBufferChanging();
  ForgetLayers();
  if (surface_ == bitmapDC_.get()) SetSurface(reference_);
  bitmapDC_.reset();
  bitmap_ = QImage();
}

void TChartCanvas3D::CopyBufferTo(int x, int y, IDeviceContext& surface) {
  if (bitmap_.isNull()) return;
  if (bitmapDC_) {
    surface.BitBlt(x, y, bitmap_.width(), bitmap_.height(), *bitmapDC_, 0, 0, TDCRop3::SrcCopy);
    return;
  }
  TPainterDC source(&bitmap_);
  surface.BitBlt(x, y, bitmap_.width(), bitmap_.height(), source, 0, 0, TDCRop3::SrcCopy);
}

// --- Projection

bool TChartCanvas3D::Project(double x, double y, double z, TPoint& out) const {
  double X, Y;
  if (OrthoProjection) {
    X = (x - Center.X + z * OrthoStepX) * ZoomScale;
    Y = (y - Center.Y - z * OrthoStepY) * ZoomScale;
  } else if (!View3DActive) {
    X = x, Y = y;
    if (!std::isfinite(X) || !std::isfinite(Y)) return false;
    out = {RoundPixel(X), RoundPixel(Y)};
    return true;
  } else {
    const double xp = x - Center.X, yp = y - Center.Y, zp = z - Center.Z;
    const double zr = zp * rotationCos_ - xp * rotationSin_;
    const double f = PerspectiveOn
                         ? ZoomScale / ((elevationCos_ * zr + yp * elevationSin_) * PerspectiveScale + 1.0)
                         : ZoomScale;
    const double xr = xp * rotationCos_ + zp * rotationSin_;
    const double yr = yp * elevationCos_ - elevationSin_ * zr;
    if (TiltOn) {
      X = (tiltCos_ * xr - tiltSin_ * yr) * f;
      Y = (tiltCos_ * yr + tiltSin_ * xr) * f;
    } else {
      X = xr * f, Y = yr * f;
    }
  }
  if (!std::isfinite(X) || !std::isfinite(Y)) return false;
  out = {RoundPixel(RoundPixel(X) + double(ProjectionCenter.X)), RoundPixel(RoundPixel(Y) + double(ProjectionCenter.Y))};
  return true;
}

double TChartCanvas3D::ViewDepth(double x, double y, double z) const {
  // Flat and orthogonal views look straight into the depth; a turned view
  // measures along its line of sight, as the perspective does above.
  if (OrthoProjection || !View3DActive) return z;
  const double xp = x - Center.X, yp = y - Center.Y, zp = z - Center.Z;
  const double zr = zp * rotationCos_ - xp * rotationSin_;
  return elevationCos_ * zr + yp * elevationSin_;
}

TPoint TChartCanvas3D::ProjectToPoint(int x, int y, int z) const {
  TPoint p{x, y};
  Project(x, y, z, p);
  return p;
}

TPoint TChartCanvas3D::UnprojectPoint(int x, int y, int z) const {
  if (ZoomScale == 0) return {x, y};
  const double X = (x - ProjectionCenter.X) / ZoomScale, Y = (y - ProjectionCenter.Y) / ZoomScale;
  if (OrthoProjection) return {RoundPixel(X + Center.X - z * OrthoStepX), RoundPixel(Y + Center.Y + z * OrthoStepY)};
  if (!View3DActive) return {x, y};
  // The plain rotation: x' from the rotated x, then y' from the rotated y.
  const double zp = z - Center.Z;
  if (rotationCos_ == 0 || elevationCos_ == 0) return {x, y};
  const double xp = (X - zp * rotationSin_) / rotationCos_;
  const double zr = zp * rotationCos_ - xp * rotationSin_;
  const double yp = (Y + elevationSin_ * zr) / elevationCos_;
  return {RoundPixel(xp + Center.X), RoundPixel(yp + Center.Y)};
}

void TChartCanvas3D::SuspendRotation() {
  savedView3DActive_ = View3DActive;
  View3DActive = false;
}

// --- Attributes

void TChartCanvas3D::PreparePenWithColor(const TPen& pen, TColor color) {
  if (monochrome_) color = clBlack;
  IDeviceContext& dc = DC();
  const auto* chartPen = dynamic_cast<const TChartPen*>(&pen);
  if (chartPen && !chartPen->Visible()) {
    TDCPen hidden = dc.Pen();  // colour and width stay as they were
    hidden.Style = TDCPenStyle::Clear;
    dc.SetPen(hidden);
    return;
  }
  dc.SetRop2(PenModeRop(pen.Mode()));
  if (chartPen && chartPen->SmallDots()) {
    dc.SetPen({TDCPenStyle::Alternate, 1, color});
    return;
  }
  TDCPen p{DCPenStyle(pen.Style()), pen.Width(), color};
  if (chartPen && pen.Width() >= 2) {
    static constexpr TDCPenCap kCaps[] = {TDCPenCap::Round, TDCPenCap::Square, TDCPenCap::Flat};
    static constexpr TDCPenJoin kJoins[] = {TDCPenJoin::Round, TDCPenJoin::Bevel, TDCPenJoin::Miter};
    p.Cap = kCaps[chartPen->EndStyle()];
    p.Join = kJoins[chartPen->EndStyle()];
  }
  if (AdjustPen) AdjustPen(p);
  dc.SetPen(p);
}

// --- 2-D drawing

void TChartCanvas3D::Draw(int x, int y, const QImage& graphic) {
  if (graphic.isNull()) return;
  DC().StretchDraw({x, y, x + graphic.width(), y + graphic.height()}, graphic);
}

void TChartCanvas3D::StretchDraw(const TRect& r, const QImage* graphic) {
  if (graphic && !graphic->isNull()) DC().StretchDraw(r, *graphic);
}

void TChartCanvas3D::Frame3D(TRect r, TColor topLeft, TColor bottomRight, int width) {
  IDeviceContext& dc = DC();
  TDCPen pen = dc.Pen();
  pen.Style = TDCPenStyle::Solid;
  pen.Width = 1;
  --r.Bottom, --r.Right;
  for (; width > 0; --width) {
    const TPoint topRight{r.Right, r.Top};
    TPoint bottomLeft{r.Left, r.Bottom};
    pen.Color = topLeft;
    dc.SetPen(pen);
    const TPoint first[] = {bottomLeft, {r.Left, r.Top}, topRight};
    dc.Polyline(first, 3);
    pen.Color = bottomRight;
    dc.SetPen(pen);
    --bottomLeft.X;
    const TPoint second[] = {topRight, {r.Right, r.Bottom}, bottomLeft};
    dc.Polyline(second, 3);
    ++r.Left, ++r.Top, --r.Right, --r.Bottom;
  }
}

void TChartCanvas3D::Line(int x0, int y0, int x1, int y1) {
  DC().MoveTo(x0, y0);
  DC().LineTo(x1, y1);
}

void TChartCanvas3D::PlainHorizLine(int x0, int x1, int y) { Line(x0, y, x1, y); }

void TChartCanvas3D::PlainVertLine(int x, int y0, int y1) { Line(x, y0, x, y1); }

void TChartCanvas3D::ClipToRect(const TRect& r) {
  DC().PushClip();
  DC().ClipRect(r);
}

void TChartCanvas3D::ClipToRoundRect(const TRect& r, int size) {
  DC().PushClip();
  DC().ClipRoundRect(r, size, size);
}

void TChartCanvas3D::ClipToEllipse(const TRect& r, bool inverted) {
  DC().PushClip();
  DC().ClipEllipse(r, inverted);
}

void TChartCanvas3D::ClipToPolygon(const TPoint* pts, int count) {
  DC().PushClip();  // always, so that the matching RestoreClip pops this one
  if (pts && count > 0) DC().ClipPolygon(pts, count);
}

// --- Texts

int TChartCanvas3D::TextWidth(std::string_view text) {
  int w = DC().TextExtent(text).cx;
  if (chartFont_ && chartFont_->HasShadow()) w += std::abs(const_cast<TChartFont*>(chartFont_)->Shadow().HorizSize());
  return w;
}

int TChartCanvas3D::TextHeight(std::string_view text) {
  int h = DC().TextExtent(text).cy;
  if (chartFont_ && chartFont_->HasShadow()) h += std::abs(const_cast<TChartFont*>(chartFont_)->Shadow().VertSize());
  return h;
}

TRect TChartCanvas3D::TextRect(int x, int y, std::string_view text) {
  const TSize ext = DC().TextExtent(text);
  const unsigned align = DC().TextAlign();
  const unsigned h = align & TA_CENTER, v = align & TA_BASELINE;
  const int left = h == TA_CENTER ? x - ext.cx / 2 : h == TA_RIGHT ? x - ext.cx : x;
  const int top = v == TA_BASELINE ? y - DC().TextMetrics().Ascent : v == TA_BOTTOM ? y - ext.cy : y;
  return {left, top, left + ext.cx, top + ext.cy};
}

void TChartCanvas3D::TextOut(int x, int y, std::string_view text) {
  IDeviceContext& dc = DC();
  TChartFont* font = const_cast<TChartFont*>(chartFont_);
  if (font && font->HasShadow() && font->Shadow().Visible()) {
    const TChartShadow& shadow = font->Shadow();
    const int h = shadow.HorizSize(), v = shadow.VertSize();
    // A negative size leaves the shadow where it is and moves the text instead.
    const int sx = h >= 0 ? x + h : x, sy = v >= 0 ? y + v : y;
    const TColor saved = dc.TextColor();
    std::unique_ptr<TChartBlend> blend;
    if (shadow.Transparency() > 0) {
      const TRect tr = TextRect(sx, sy, text);
      blend = StartTransparency(tr, shadow.Transparency());
    }
    dc.SetTextColor(ColorToRGB(shadow.Color()));
    dc.TextOut(sx, sy, text);
    if (blend) FinishTransparency(std::move(blend));
    dc.SetTextColor(saved);
    if (h < 0) x -= h;
    if (v < 0) y -= v;
  }
  if (font) dc.SetTextColor(ColorToRGB(monochrome_ ? clBlack : font->Color()));
  const bool outline = font && font->HasOutLine() && font->OutLine().Visible();
  const bool gradient = font && font->HasGradient() && font->Gradient().Visible();
  if (!outline && !gradient) {
    dc.TextOut(x, y, text);
    return;
  }
  TextWithEffects(x, y, text);
}

void TChartCanvas3D::TextWithEffects(int x, int y, std::string_view text) {
  IDeviceContext& dc = DC();
  TChartFont& font = *const_cast<TChartFont*>(chartFont_);
  const TDCPen savedPen = dc.Pen();
  const TDCBrush savedBrush = dc.Brush();
  const TDCBkMode savedMode = dc.BkMode();
  dc.SetBkMode(TDCBkMode::Transparent);
  // Only what the font has is looked at: reading creates nothing here.
  const bool outline = font.HasOutLine() && font.OutLine().Visible();
  const bool gradient = font.HasGradient() && font.Gradient().Visible();
  if (gradient) {
    dc.BeginPath();
    dc.TextOut(x, y, text);
    dc.EndPath();
    if (font.Gradient().Outline()) {
      PreparePen(font.OutLine());
      dc.WidenPath();
    }
    const TRect r = TextRect(x, y, text);
    dc.PushClip();
    dc.ClipToPath();
    font.Gradient().Draw(*this, r);
    dc.PopClip();
  }
  if (outline) {
    dc.BeginPath();
    dc.TextOut(x, y, text);
    dc.EndPath();
    PreparePen(font.OutLine());
    if (gradient) {
      dc.StrokePath();
    } else {
      dc.SetBrush({TDCBrushStyle::Solid, monochrome_ ? clBlack : font.Color(), {}});
      dc.StrokeAndFillPath();
    }
  }
  dc.SetPen(savedPen);
  dc.SetBrush(savedBrush);
  dc.SetBkMode(savedMode);
}

void TChartCanvas3D::RotatedText(int x, int y, std::string_view text, double angle) {
  while (angle >= 360) angle -= 360;
  IDeviceContext& dc = DC();
  const TDCFont saved = dc.Font();
  TDCFont f = saved;
  f.Escapement = RoundPixel(angle * 10);
  if (ZoomText && ZoomScale != 1) {
    const int size = std::max(1, RoundPixel(std::abs(saved.Height) * 72.0 / 96.0 * ZoomScale));
    f.Height = -int(std::lround(size * 96 / 72.0));
  }
  dc.SetBkMode(TDCBkMode::Transparent);
  dc.SetFont(f);
  TextOut(x, y, text);
  dc.SetFont(saved);
}

void TChartCanvas3D::TextAtDepth(int x, int y, int z, std::string_view text) {
  TPoint p;
  if (!Project(x, y, z, p)) return;
  IDeviceContext& dc = DC();
  if (ZoomText && ZoomScale != 1) {
    const TDCFont saved = dc.Font();
    const int points = RoundPixel(std::abs(saved.Height) * 72.0 / 96.0);
    const int size = std::max(1, RoundPixel(points * ZoomScale));
    if (size != points) {
      TDCFont f = saved;
      f.Height = -int(std::lround(size * 96 / 72.0));
      dc.SetFont(f);
      TextOut(p.X, p.Y, text);
      dc.SetFont(saved);
      return;
    }
  }
  TextOut(p.X, p.Y, text);
}

void TChartCanvas3D::RotatedTextAtDepth(int x, int y, int z, std::string_view text, double angle) {
  TPoint p;
  if (Project(x, y, z, p)) RotatedText(p.X, p.Y, text, angle);
}

// --- 3-D drawing

bool TChartCanvas3D::ProjectRect(const TRect& r, int z, TPoint out[4]) const {
  return Project(r.Left, r.Top, z, out[0]) && Project(r.Right, r.Top, z, out[1]) &&
         Project(r.Right, r.Bottom, z, out[2]) && Project(r.Left, r.Bottom, z, out[3]);
}

TColor TChartCanvas3D::ReadPixelAtDepth(int x, int y, int z) {
  TPoint p;
  return Project(x, y, z, p) ? DC().GetPixel(p.X, p.Y) : CLR_INVALID;
}

void TChartCanvas3D::WritePixelAtDepth(int x, int y, int z, TColor color) {
  TPoint p;
  if (!Project(x, y, z, p)) return;
  IDeviceContext& dc = DC();
  const TDCPen pen = dc.Pen();
  if (pen.Width <= 1) {
    dc.SetPixel(p.X, p.Y, color);
    return;
  }
  // A square of the pen's width centred on the point: a zero-length line of
  // the pen leaves out its last row and column and lies half a pixel up-left.
  dc.MoveTo(p.X, p.Y);
  if (pen.Style == TDCPenStyle::Clear) return;
  const TDCBrush brush = dc.Brush();
  dc.SetBrush({TDCBrushStyle::Solid, pen.Color, {}});
  const int l = p.X - pen.Width / 2, t = p.Y - pen.Width / 2;
  dc.FillRect({l, t, l + pen.Width, t + pen.Width});
  dc.SetBrush(brush);
}

void TChartCanvas3D::MoveToAtDepth(int x, int y, int z) {
  TPoint p;
  if (Project(x, y, z, p)) DC().MoveTo(p.X, p.Y);
}

void TChartCanvas3D::LineToAtDepth(int x, int y, int z) {
  TPoint p;
  if (Project(x, y, z, p)) DC().LineTo(p.X, p.Y);
}

void TChartCanvas3D::LineAtDepth(int x0, int y0, int x1, int y1, int z) {
  TPoint a, b;
  if (!Project(x0, y0, z, a) || !Project(x1, y1, z, b)) return;
  DC().MoveTo(a.X, a.Y);
  DC().LineTo(b.X, b.Y);
}

void TChartCanvas3D::HorizLineAt(int x0, int x1, int y, int z) { LineAtDepth(x0, y, x1, y, z); }

void TChartCanvas3D::VertLineAt(int x, int y0, int y1, int z) { LineAtDepth(x, y0, x, y1, z); }

void TChartCanvas3D::DepthLineAt(int x, int y, int z0, int z1) {
  TPoint a, b;
  if (!Project(x, y, z0, a) || !Project(x, y, z1, b)) return;
  DC().MoveTo(a.X, a.Y);
  DC().LineTo(b.X, b.Y);
}

void TChartCanvas3D::PolylineAtDepth(const TPoint* pts, int lastIndex, int z) {
  if (!pts || lastIndex < 0) return;
  if (!View3DActive && !OrthoProjection) {
    DC().Polyline(pts, lastIndex + 1);
    return;
  }
  std::vector<TPoint> out(lastIndex + 1);
  for (int i = 0; i <= lastIndex; ++i)
    if (!Project(pts[i].X, pts[i].Y, z, out[i])) return;
  DC().Polyline(out.data(), lastIndex + 1);
}

void TChartCanvas3D::PolygonAtDepth(const TPoint* pts, int count, int z) {
  if (!pts || count <= 0) return;
  std::vector<TPoint> out(count);
  for (int i = 0; i < count; ++i)
    if (!Project(pts[i].X, pts[i].Y, z, out[i])) return;
  DC().Polygon(out.data(), count);
}

void TChartCanvas3D::PlaneAtDepth(TPoint p1, TPoint p2, TPoint p3, TPoint p4, int z) {
  const TPoint in[] = {p1, p2, p3, p4};
  for (int i = 0; i < 4; ++i)
    if (!Project(in[i].X, in[i].Y, z, quad_[i])) return;
  FillQuad();
}

void TChartCanvas3D::RectangleAtDepth(const TRect& r, int z) {
  if (ProjectRect(r, z, quad_)) FillQuad();
}

void TChartCanvas3D::TriangleAtDepth(TPoint p1, TPoint p2, TPoint p3, int z) {
  const TPoint in[] = {p1, p2, p3};
  TPoint out[3];
  for (int i = 0; i < 3; ++i)
    if (!Project(in[i].X, in[i].Y, z, out[i])) return;
  DC().Polygon(out, 3);
}

void TChartCanvas3D::SolidTriangle(TPoint3D a, TPoint3D b, TPoint3D c) {
  const TPoint3D in[] = {a, b, c};
  TPoint out[3];
  for (int i = 0; i < 3; ++i)
    if (!Project(in[i].X, in[i].Y, in[i].Z, out[i])) return;
  DC().Polygon(out, 3);
}

void TChartCanvas3D::DepthQuad(TPoint a, TPoint b, int z0, int z1) {
  if (Project(a.X, a.Y, z0, quad_[0]) && Project(b.X, b.Y, z0, quad_[1]) && Project(b.X, b.Y, z1, quad_[2]) &&
      Project(a.X, a.Y, z1, quad_[3]))
    FillQuad();
}

void TChartCanvas3D::DepthQuadGeneral(const TPoint q[4], int z0, int z1) {
  // The quadrilateral's first edge at the near depth, its last at the far one.
  if (Project(q[0].X, q[0].Y, z0, quad_[0]) && Project(q[1].X, q[1].Y, z0, quad_[1]) &&
      Project(q[2].X, q[2].Y, z1, quad_[2]) && Project(q[3].X, q[3].Y, z1, quad_[3]))
    FillQuad();
}

void TChartCanvas3D::FlatRectY(int left, int top, int right, int z0, int z1) {
  DepthQuad({left, top}, {right, top}, z0, z1);
}

void TChartCanvas3D::FlatRectZ(int left, int top, int bottom, int z0, int z1) {
  DepthQuad({left, top}, {left, bottom}, z0, z1);
}

void TChartCanvas3D::Sphere(int x, int y, int z, double radius) {
  if (!std::isfinite(radius)) return;
  const double r = RoundPixel(radius);
  EllipseAtDepth({RoundPixel(x - r), RoundPixel(y - r), RoundPixel(x + r), RoundPixel(y + r)}, z);
}

void TChartCanvas3D::Arrow(bool filled, TPoint from, TPoint to, int headWidth, int headHeight, int z) {
  if (from == to) return;
  const double dx = to.X - from.X, dy = to.Y - from.Y, length = std::hypot(dx, dy);
  const double head = std::min<double>(headHeight, length);
  const double ux = dx / length, uy = dy / length;  // along the arrow
  const double px = -uy, py = ux;                   // across it
  const double bx = to.X - ux * head, by = to.Y - uy * head;
  auto at = [&](double x, double y, double across) {
    TPoint p;
    Project(x + px * across, y + py * across, z, p);
    return p;
  };
  const double half = headWidth / 2.0, shaft = headWidth / 4.0;
  const TPoint tip = at(to.X, to.Y, 0), corner1 = at(bx, by, half), corner2 = at(bx, by, -half);
  if (filled) {
    const TPoint poly[7] = {at(from.X, from.Y, shaft), at(bx, by, shaft), corner1, tip,
                            corner2, at(bx, by, -shaft), at(from.X, from.Y, -shaft)};
    DC().Polygon(poly, 7);
  } else {
    const TPoint start = at(from.X, from.Y, 0);
    Line(start.X, start.Y, tip.X, tip.Y);
    Line(tip.X, tip.Y, corner1.X, corner1.Y);
    Line(tip.X, tip.Y, corner2.X, corner2.Y);
  }
}

void TChartCanvas3D::Cube(const TRect& r, int z0, int z1, bool darkSides) {
  const int l = r.Left, t = r.Top, rt = r.Right, b = r.Bottom;
  // Each face listed so that, facing the viewer, its projected corners turn clockwise on screen.
  const TPoint3D faces[6][4] = {
      {{l, t, z0}, {rt, t, z0}, {rt, b, z0}, {l, b, z0}},    // front
      {{rt, t, z1}, {l, t, z1}, {l, b, z1}, {rt, b, z1}},    // back
      {{l, t, z1}, {l, t, z0}, {l, b, z0}, {l, b, z1}},      // left
      {{rt, t, z0}, {rt, t, z1}, {rt, b, z1}, {rt, b, z0}},  // right
      {{l, t, z1}, {rt, t, z1}, {rt, t, z0}, {l, t, z0}},    // top
      {{l, b, z0}, {rt, b, z0}, {rt, b, z1}, {l, b, z1}},    // bottom
  };
  const int dark[6] = {0, 0, FirstDarkAmount, FirstDarkAmount, SecondDarkAmount, SecondDarkAmount};
  const TDCBrush brush = DC().Brush();
  for (int f = 0; f < 6; ++f) {
    TPoint q[4];
    bool ok = true;
    for (int i = 0; i < 4; ++i) ok = ok && Project(faces[f][i].X, faces[f][i].Y, faces[f][i].Z, q[i]);
    if (!ok) continue;
    const int64_t cross = int64_t(q[1].X - q[0].X) * (q[2].Y - q[1].Y) - int64_t(q[1].Y - q[0].Y) * (q[2].X - q[1].X);
    if (cross <= 0) continue;
    if (darkSides && dark[f]) PrepareDarkColor(brush.Color, dark[f]);
    std::copy(q, q + 4, quad_);
    FillQuad();
    if (darkSides && dark[f]) DC().SetBrush(brush);
  }
}

void TChartCanvas3D::ClipToCube(const TRect& r, int z0, int z1) {
  if (!View3DActive && !OrthoProjection) {
    ClipToRect({r.Left, r.Top, r.Right + 1, r.Bottom + 1});
    return;
  }
  std::vector<TPoint> corners;
  for (int z : {z0, z1})
    for (TPoint c : {TPoint{r.Left, r.Top}, TPoint{r.Right, r.Top}, TPoint{r.Right, r.Bottom}, TPoint{r.Left, r.Bottom}}) {
      TPoint p;
      if (Project(c.X, c.Y, z, p)) corners.push_back(p);
    }
  if (corners.empty()) return;
  // Convex hull (gift wrapping) from the corner with the smallest y, the largest x among equals.
  size_t start = 0;
  for (size_t i = 1; i < corners.size(); ++i)
    if (corners[i].Y < corners[start].Y || (corners[i].Y == corners[start].Y && corners[i].X > corners[start].X)) start = i;
  std::vector<TPoint> hull;
  size_t cur = start;
  do {
    hull.push_back(corners[cur]);
    size_t next = (cur + 1) % corners.size();
    for (size_t i = 0; i < corners.size(); ++i) {
      const int64_t cross = int64_t(corners[next].X - corners[cur].X) * (corners[i].Y - corners[cur].Y) -
                            int64_t(corners[next].Y - corners[cur].Y) * (corners[i].X - corners[cur].X);
      if (cross < 0) next = i;
    }
    cur = next;
  } while (cur != start && hull.size() <= corners.size());
  ClipToPolygon(hull.data(), int(hull.size()));
}

void TChartCanvas3D::EllipseAtDepth(const TRect& r, int z) {
  if (OrthoProjection) {
    TPoint a, b;
    if (Project(r.Left, r.Top, z, a) && Project(r.Right, r.Bottom, z, b)) DC().Ellipse({a.X, a.Y, b.X, b.Y});
    return;
  }
  if (!View3DActive) {
    DC().Ellipse({r.Left, r.Top, r.Right + 1, r.Bottom + 1});
    return;
  }
  // From the bottom centre through the right side, the top and the left side
  // back to the bottom; centre and radii are integer halves.
  const double xc = std::trunc((double(r.Left) + r.Right) / 2), yc = std::trunc((double(r.Top) + r.Bottom) / 2);
  const double rx = std::trunc((double(r.Right) - r.Left) / 2), ry = std::trunc((double(r.Bottom) - r.Top) / 2);
  TPoint pts[64], centre;
  if (!Project(xc, yc, z, centre) || !Project(xc, r.Bottom, z, pts[0])) return;
  for (int i = 1; i < 64; ++i) {
    const double a = i * 2 * std::numbers::pi / 63;
    if (!Project(xc + rx * std::sin(a), yc + ry * std::cos(a), z, pts[i])) return;
  }
  IDeviceContext& dc = DC();
  if (dc.Brush().Style != TDCBrushStyle::Clear) {
    const TDCPen pen = dc.Pen();
    TDCPen none = pen;
    none.Style = TDCPenStyle::Clear;
    dc.SetPen(none);
    for (int i = 0; i < 63; ++i) {
      const TPoint tri[] = {centre, pts[i], pts[i + 1]};
      dc.Polygon(tri, 3);
    }
    dc.SetPen(pen);
  }
  if (dc.Pen().Style != TDCPenStyle::Clear) dc.Polyline(pts, 64);
}
