#include "chart/ChartCanvas.h"

#include <cmath>
#include <numbers>

#include "chart/ChartConst.h"

namespace {

// Windows' MulDiv: a * b / c rounded half away from zero.
int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const int64_t p = int64_t(a) * b;
  const int64_t q = (std::abs(p) * 2 + std::abs(c)) / (2 * int64_t(std::abs(c)));
  return int((p < 0) != (c < 0) ? -q : q);
}

}  // namespace

// --- TChartPersistent

void TChartPersistent::Changed() {
  if (batch_ > 0) {
    pending_ = true;
  } else if (OnChange) {
    OnChange(this);
  }
}

TChartPersistent::TBatch::~TBatch() {
  if (--owner_.batch_ == 0 && owner_.pending_) {
    owner_.pending_ = false;
    owner_.Changed();
  }
}

// --- Pens

TDCRop2 PenModeRop(TPenMode mode) {
  static constexpr TDCRop2 kRops[] = {
      TDCRop2::Black,      TDCRop2::White,       TDCRop2::Nop,        TDCRop2::Not,
      TDCRop2::CopyPen,    TDCRop2::NotCopyPen,  TDCRop2::MergePenNot, TDCRop2::MaskPenNot,
      TDCRop2::MergeNotPen, TDCRop2::MaskNotPen, TDCRop2::MergePen,   TDCRop2::NotMergePen,
      TDCRop2::MaskPen,    TDCRop2::NotMaskPen,  TDCRop2::XorPen,     TDCRop2::NotXorPen};
  return kRops[mode];
}

void TPen::AssignBase(const TPen& s) {
  SetColor(s.color_);
  SetMode(s.mode_);
  SetStyle(s.style_);
  SetWidth(s.width_);
}

void TPen::Assign(const TPen& source) {
  TBatch batch(*this);
  AssignBase(source);
}

void TChartPen::Assign(const TPen& source) {
  TBatch batch(*this);
  if (const auto* s = dynamic_cast<const TChartPen*>(&source)) {
    SetVisible(s->visible_);
    SetSmallDots(s->smallDots_);
    SetEndStyle(s->endStyle_);
  }
  AssignBase(source);
}

void TChartPen::SetDefaults(TPenEndStyle endStyle, bool visible) {
  endStyle_ = initialEndStyle_ = endStyle;
  visible_ = initialVisible_ = visible;
}

TChartHiddenPen::TChartHiddenPen(TChangeEvent onChange) : TChartPen(std::move(onChange)) {
  SetDefaults(esRound, false);
}

// Subclass defaults are set before the owner's notification is attached.
TDottedGrayPen::TDottedGrayPen(TChangeEvent onChange) : TChartPen(TChangeEvent{}) {
  SetColor(0x808080);
  SetStyle(psDot);
  OnChange = std::move(onChange);
}

TDarkGrayPen::TDarkGrayPen(TChangeEvent onChange) : TChartPen(TChangeEvent{}) {
  SetColor(0x808080);
  OnChange = std::move(onChange);
}

TWhitePen::TWhitePen(TChangeEvent onChange) : TChartPen(TChangeEvent{}) {
  SetColor(clWhite);
  OnChange = std::move(onChange);
}

// --- Brushes

void TPicture::SetImage(const QImage& image) {
  if (image.cacheKey() == image_.cacheKey() && !image.isNull()) return;
  if (image.isNull() && image_.isNull()) return;
  image_ = image;
  Changed();
}

void TPicture::Assign(const TPicture& source) {
  TBatch batch(*this);
  SetImage(source.image_);
  SetTransparent(source.transparent_);
}

QImage TPicture::DrawnImage() const {
  if (!transparent_ || image_.isNull()) return image_;
  QImage out = image_.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = out.pixel(0, out.height() - 1) & 0xFFFFFF;
  for (int y = 0; y < out.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x)
      if ((row[x] & 0xFFFFFF) == key) row[x] = key;  // alpha 0: the surface shows through
  }
  return out;
}

void TBrush::AssignBase(const TBrush& s) {
  SetColor(s.color_);
  SetStyle(s.style_);
}

void TBrush::Assign(const TBrush& source) {
  TBatch batch(*this);
  AssignBase(source);
}

TPicture& TChartBrush::Image() {
  if (!image_) image_ = std::make_unique<TPicture>(Forward());
  return *image_;
}

void TChartBrush::Assign(const TBrush& source) {
  TBatch batch(*this);
  if (const auto* s = dynamic_cast<const TChartBrush*>(&source))
    SetImage(s->image_ ? s->image_.get() : nullptr);
  AssignBase(source);
}

// --- Fonts

std::string DefaultChartFontName() {
  const std::string& name = ChartConst::Msg(ChartConst::cmDefaultFontName);
  return name.empty() ? "Arial" : name;
}

int DefaultChartFontSize() {
  const std::string& size = ChartConst::Msg(ChartConst::cmDefaultFontSize);
  return size.empty() ? 8 : std::atoi(size.c_str());
}

TFont::TFont(TChangeEvent onChange)
    : TChartPersistent(std::move(onChange)),
      name_(DefaultChartFontName()),
      height_(-MulDiv(DefaultChartFontSize(), 96, 72)) {}

int TFont::Size() const { return -MulDiv(height_, 72, ppi_); }

void TFont::SetSize(int points) { SetHeight(-MulDiv(points, ppi_, 72)); }

void TFont::AssignBase(const TFont& s) {
  SetColor(s.color_);
  SetCharset(s.charset_);
  SetName(s.name_);
  SetSize(s.Size());  // sizes carry across surfaces of different resolution
  SetStyle(s.style_);
}

void TFont::Assign(const TFont& source) {
  TBatch batch(*this);
  AssignBase(source);
}

TDCFont TFont::DCFont() const {
  TDCFont f;
  f.Name = name_;
  f.Height = height_;
  f.Weight = (style_ & fsBold) ? 700 : 400;
  f.Italic = style_ & fsItalic;
  f.Underline = style_ & fsUnderline;
  f.StrikeOut = style_ & fsStrikeOut;
  return f;
}

TChartFont::~TChartFont() = default;

TChartHiddenPen& TChartFont::OutLine() {
  if (!outLine_) outLine_ = std::make_unique<TChartHiddenPen>(Forward());
  return *outLine_;
}

TChartShadow& TChartFont::Shadow() {
  if (!shadow_) shadow_ = std::make_unique<TChartShadow>(Forward());
  return *shadow_;
}

TChartFontGradient& TChartFont::Gradient() {
  if (!gradient_) gradient_ = std::make_unique<TChartFontGradient>(Forward());
  return *gradient_;
}

void TChartFont::Assign(const TFont& source) {
  TBatch batch(*this);
  if (const auto* s = dynamic_cast<const TChartFont*>(&source)) {
    SetGradient(s->gradient_.get());
    SetInterCharSize(s->interCharSize_);
    SetOutLine(s->outLine_.get());
    SetShadow(s->shadow_.get());
  }
  AssignBase(source);
}

// --- Shadows

TChartShadow::TChartShadow(TChangeEvent onChange, TColor initialColor, int initialSize)
    : TChartPersistent(std::move(onChange)),
      color_(initialColor),
      horizSize_(initialSize),
      vertSize_(initialSize),
      initialColor_(initialColor),
      initialSize_(initialSize) {}

void TChartShadow::SetSize(int v) {
  TBatch batch(*this);
  SetHorizSize(v);
  SetVertSize(v);
}

void TChartShadow::Assign(const TChartShadow& s) {
  TBatch batch(*this);
  SetColor(s.color_);
  SetHorizSize(s.horizSize_);
  SetSmooth(s.smooth_);
  SetTransparency(s.transparency_);
  SetVertSize(s.vertSize_);
}

// --- Gradients

void TCustomChartGradient::SetMidColor(TColor v) {
  if (v == clNone) {
    if (!midColorSet_) return;
    midColorSet_ = false;
    midColor_ = clNone;
    Changed();
    return;
  }
  if (midColorSet_ && midColor_ == v) return;
  midColorSet_ = true;
  midColor_ = v;
  Changed();
}

void TCustomChartGradient::Assign(const TCustomChartGradient& s) {
  TBatch batch(*this);
  SetBalance(s.balance_);
  SetDirection(s.direction_);
  SetEndColor(s.endColor_);
  SetMidColor(s.MidColor());
  SetRadialX(s.radialX_);
  SetRadialY(s.radialY_);
  SetStartColor(s.startColor_);
  SetVisible(s.visible_);
}

void TChartFontGradient::Assign(const TCustomChartGradient& source) {
  TBatch batch(*this);
  TCustomChartGradient::Assign(source);
  if (const auto* s = dynamic_cast<const TChartFontGradient*>(&source)) SetOutline(s->outline_);
}

// --- 3-D view options

void TView3DOptions::SetHorizOffset(int v) {
  if (v == horizOffset_) return;
  horizOffset_ = v;
  Changed();
  if (OnScroll) OnScroll(this, true);
}

void TView3DOptions::SetVertOffset(int v) {
  if (v == vertOffset_) return;
  vertOffset_ = v;
  Changed();
  if (OnScroll) OnScroll(this, false);
}

void TView3DOptions::SetZoom(int v) {
  if (v == zoom_) return;
  if (OnZoom) OnZoom(this, v);
  zoom_ = v;
  Changed();
}

void TView3DOptions::Assign(const TView3DOptions& s) {
  TBatch batch(*this);
  SetElevation(s.elevation_);
  SetFontZoom(s.fontZoom_);
  SetHorizOffset(s.horizOffset_);
  SetOrthogonal(s.orthogonal_);
  SetOrthoAngle(s.orthoAngle_);
  SetPerspective(s.perspective_);
  SetRotation(s.rotation_);
  SetTilt(s.tilt_);
  SetVertOffset(s.vertOffset_);
  SetZoom(s.zoom_);
  SetZoomText(s.zoomText_);
}

double TView3DOptions::OrthoDepthRatio() const {
  if (!orthogonal_) return 1.0;
  const int angle = orthoAngle_ >= 90 ? 180 - orthoAngle_ : orthoAngle_;
  return std::tan(angle * std::numbers::pi / 180.0);
}
