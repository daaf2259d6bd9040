#pragma once
// The chart's drawing attributes (pens, brushes, fonts, gradients, shadows
// and the 3-D view options) that every chart element publishes.
//
// Every property setter stores a new value and calls the object's change
// notification only when the value really changes; Assign copies another
// object's values and notifies once. Sub-objects (a brush's image, a font's
// outline, shadow and gradient) are created on first read, belong to their
// parent, pass their changes on to it, and are replaced by copying, never by
// pointer. The Is*Stored predicates say which values a form resource keeps.
#include <functional>
#include <memory>
#include <string>

#include "platform/DeviceContext.h"

// --- Change notification

class TChartPersistent {
 public:
  using TChangeEvent = std::function<void(TChartPersistent* sender)>;
  explicit TChartPersistent(TChangeEvent onChange = {}) : OnChange(std::move(onChange)) {}
  virtual ~TChartPersistent() = default;
  TChartPersistent(const TChartPersistent&) = delete;
  TChartPersistent& operator=(const TChartPersistent&) = delete;

  TChangeEvent OnChange;

 protected:
  void Changed();
  template <class T>
  void Update(T& field, const T& value) {
    if (field == value) return;
    field = value;
    Changed();
  }
  // Collects the notifications of several changes into one.
  class TBatch {
   public:
    explicit TBatch(TChartPersistent& owner) : owner_(owner) { ++owner_.batch_; }
    ~TBatch();
   private:
    TChartPersistent& owner_;
  };
  // The notification a sub-object passes on to this object.
  TChangeEvent Forward() {
    return [this](TChartPersistent*) { Changed(); };
  }

 private:
  int batch_ = 0;
  bool pending_ = false;
};

// --- Pens

enum TPenStyle : uint8_t { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode : uint8_t {
  pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
  pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};
enum TPenEndStyle : uint8_t { esRound, esSquare, esFlat };

// The raster operation a pen mode draws with.
TDCRop2 PenModeRop(TPenMode mode);

class TPen : public TChartPersistent {
 public:
  using TChartPersistent::TChartPersistent;
  TColor Color() const { return color_; }
  void SetColor(TColor v) { Update(color_, v); }
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode v) { Update(mode_, v); }
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle v) { Update(style_, v); }
  int Width() const { return width_; }
  void SetWidth(int v) { Update(width_, v); }
  virtual void Assign(const TPen& source);

 protected:
  void AssignBase(const TPen& source);

 private:
  TColor color_ = clBlack;
  TPenMode mode_ = pmCopy;
  TPenStyle style_ = psSolid;
  int width_ = 1;
};

class TChartPen : public TPen {
 public:
  explicit TChartPen(TChangeEvent onChange = {}) : TPen(std::move(onChange)) {}
  TPenEndStyle EndStyle() const { return endStyle_; }
  void SetEndStyle(TPenEndStyle v) { Update(endStyle_, v); }
  bool SmallDots() const { return smallDots_; }
  void SetSmallDots(bool v) { Update(smallDots_, v); }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { Update(visible_, v); }
  void Hide() { SetVisible(false); }
  void Show() { SetVisible(true); }
  void Assign(const TPen& source) override;

  bool IsEndStyleStored() const { return endStyle_ != initialEndStyle_; }
  bool IsVisibleStored() const { return visible_ != initialVisible_; }

 protected:
  // Subclass defaults: the values the pen starts with and is stored against.
  void SetDefaults(TPenEndStyle endStyle, bool visible);

 private:
  TPenEndStyle endStyle_ = esRound;
  bool smallDots_ = false;
  bool visible_ = true;
  TPenEndStyle initialEndStyle_ = esRound;
  bool initialVisible_ = true;
};

class TChartHiddenPen : public TChartPen {
 public:
  explicit TChartHiddenPen(TChangeEvent onChange = {});
};
class TDottedGrayPen : public TChartPen {
 public:
  explicit TDottedGrayPen(TChangeEvent onChange = {});
};
class TDarkGrayPen : public TChartPen {
 public:
  explicit TDarkGrayPen(TChangeEvent onChange = {});
};
class TWhitePen : public TChartPen {
 public:
  explicit TWhitePen(TChangeEvent onChange = {});
};

// --- Brushes

enum TBrushStyle : uint8_t {
  bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross
};

// A picture held by a brush; an empty one makes no pattern.
class TPicture : public TChartPersistent {
 public:
  using TChartPersistent::TChartPersistent;
  const QImage& Image() const { return image_; }
  void SetImage(const QImage& image);
  bool Empty() const { return image_.isNull(); }

 private:
  QImage image_;
};

class TBrush : public TChartPersistent {
 public:
  using TChartPersistent::TChartPersistent;
  TColor Color() const { return color_; }
  void SetColor(TColor v) { Update(color_, v); }
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle v) { Update(style_, v); }
  virtual void Assign(const TBrush& source);

 protected:
  explicit TBrush(TColor color, TChangeEvent onChange) : TChartPersistent(std::move(onChange)), color_(color) {}
  void AssignBase(const TBrush& source);

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
};

class TChartBrush : public TBrush {
 public:
  explicit TChartBrush(TChangeEvent onChange = {}) : TBrush(clDefault, std::move(onChange)) {}
  // Created on first read with the brush's notification.
  TPicture& Image();
  bool HasImage() const { return image_ && !image_->Empty(); }
  // nullptr frees the picture; another picture is copied.
  void SetImage(const TPicture* picture);
  void Assign(const TBrush& source) override;

 private:
  std::unique_ptr<TPicture> image_;
};

// --- Fonts

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = uint8_t;

// The default chart font's name and size (points), from the chart message table.
std::string DefaultChartFontName();
int DefaultChartFontSize();

class TFont : public TChartPersistent {
 public:
  explicit TFont(TChangeEvent onChange = {});
  TColor Color() const { return color_; }
  void SetColor(TColor v) { Update(color_, v); }
  int Charset() const { return charset_; }
  void SetCharset(int v) { Update(charset_, v); }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& v) { Update(name_, v); }
  // Height in pixels (negative: character height), Size in points.
  int Height() const { return height_; }
  void SetHeight(int v) { Update(height_, v); }
  int Size() const;
  void SetSize(int points);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles v) { Update(style_, v); }
  int PixelsPerInch() const { return ppi_; }
  void SetPixelsPerInch(int v) { ppi_ = v; }  // a property of the surface, no change of the font
  virtual void Assign(const TFont& source);
  // The device-context font of this font (escapement 0).
  TDCFont DCFont() const;

  bool IsColorStored() const { return color_ != clBlack; }
  bool IsNameStored() const { return name_ != DefaultChartFontName(); }
  bool IsHeightStored() const { return Size() != DefaultChartFontSize(); }
  bool IsStyleStored() const { return style_ != 0; }

 protected:
  void AssignBase(const TFont& source);

 private:
  TColor color_ = clBlack;
  int charset_ = 1;  // DEFAULT_CHARSET
  std::string name_;
  int height_ = 0;
  TFontStyles style_ = 0;
  int ppi_ = 96;
};

// --- Shadows

class TChartShadow : public TChartPersistent {
 public:
  explicit TChartShadow(TChangeEvent onChange = {}, TColor initialColor = clSilver, int initialSize = 0);
  TColor Color() const { return color_; }
  void SetColor(TColor v) { Update(color_, v); }
  int HorizSize() const { return horizSize_; }
  void SetHorizSize(int v) { Update(horizSize_, v); }
  int VertSize() const { return vertSize_; }
  void SetVertSize(int v) { Update(vertSize_, v); }
  // The larger of the two sizes; writing sets both.
  int Size() const { return std::max(horizSize_, vertSize_); }
  void SetSize(int v);
  bool Smooth() const { return smooth_; }
  void SetSmooth(bool v) { Update(smooth_, v); }
  uint8_t Transparency() const { return transparency_; }
  void SetTransparency(uint8_t v) { Update(transparency_, v); }
  void Assign(const TChartShadow& source);
  // Drawn at all: a colour and a size.
  bool Visible() const { return color_ != clNone && (horizSize_ != 0 || vertSize_ != 0); }

  bool IsColorStored() const { return color_ != initialColor_; }
  bool IsHorizSizeStored() const { return horizSize_ != initialSize_; }
  bool IsVertSizeStored() const { return vertSize_ != initialSize_; }

 private:
  TColor color_;
  int horizSize_;
  bool smooth_ = true;
  uint8_t transparency_ = 0;
  int vertSize_;
  TColor initialColor_;
  int initialSize_;
};

// --- Gradients

enum TGradientDirection : uint8_t {
  gdTopBottom, gdBottomTop, gdLeftRight, gdRightLeft, gdFromCenter, gdFromTopLeft,
  gdFromBottomLeft, gdRadial, gdDiagonalUp, gdDiagonalDown
};

class TCustomChartGradient : public TChartPersistent {
 public:
  using TChartPersistent::TChartPersistent;
  int Balance() const { return balance_; }
  void SetBalance(int v) { Update(balance_, v); }
  TGradientDirection Direction() const { return direction_; }
  void SetDirection(TGradientDirection v) { Update(direction_, v); }
  TColor EndColor() const { return endColor_; }
  void SetEndColor(TColor v) { Update(endColor_, v); }
  // clNone while no middle colour is set; writing clNone removes it.
  TColor MidColor() const { return midColorSet_ ? midColor_ : clNone; }
  void SetMidColor(TColor v);
  int RadialX() const { return radialX_; }
  void SetRadialX(int v) { Update(radialX_, v); }
  int RadialY() const { return radialY_; }
  void SetRadialY(int v) { Update(radialY_, v); }
  TColor StartColor() const { return startColor_; }
  void SetStartColor(TColor v) { Update(startColor_, v); }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { Update(visible_, v); }
  virtual void Assign(const TCustomChartGradient& source);

 private:
  int balance_ = 50;
  TGradientDirection direction_ = gdTopBottom;
  TColor endColor_ = clYellow;
  TColor midColor_ = clNone;
  int radialX_ = 0, radialY_ = 0;
  TColor startColor_ = clWhite;
  bool visible_ = false;
  bool midColorSet_ = false;
};

class TChartGradient : public TCustomChartGradient {
 public:
  using TCustomChartGradient::TCustomChartGradient;
};

class TChartFontGradient : public TChartGradient {
 public:
  using TChartGradient::TChartGradient;
  bool Outline() const { return outline_; }
  void SetOutline(bool v) { Update(outline_, v); }
  void Assign(const TCustomChartGradient& source) override;

 private:
  bool outline_ = false;
};

// --- Chart fonts

class TChartFont : public TFont {
 public:
  explicit TChartFont(TChangeEvent onChange = {}) : TFont(std::move(onChange)) {}
  ~TChartFont() override;
  int InterCharSize() const { return interCharSize_; }
  void SetInterCharSize(int v) { Update(interCharSize_, v); }
  // Created on first read: a hidden pen, a silver shadow of size 0, an
  // invisible gradient.
  TChartHiddenPen& OutLine();
  TChartShadow& Shadow();
  TChartFontGradient& Gradient();
  bool HasOutLine() const { return outLine_ != nullptr; }
  bool HasShadow() const { return shadow_ != nullptr; }
  bool HasGradient() const { return gradient_ != nullptr; }
  void SetOutLine(const TChartPen* pen);
  void SetShadow(const TChartShadow* shadow);
  void SetGradient(const TChartFontGradient* gradient);
  void Assign(const TFont& source) override;

 private:
  int interCharSize_ = 0;
  std::unique_ptr<TChartHiddenPen> outLine_;
  std::unique_ptr<TChartShadow> shadow_;
  std::unique_ptr<TChartFontGradient> gradient_;
};

// --- 3-D view options

class TView3DOptions : public TChartPersistent {
 public:
  using TScrollEvent = std::function<void(TView3DOptions* sender, bool horizontal)>;
  using TZoomEvent = std::function<void(TView3DOptions* sender, int newZoom)>;
  // `parentInvalidate` repaints the owning panel after every change.
  explicit TView3DOptions(TChangeEvent parentInvalidate = {}) : TChartPersistent(std::move(parentInvalidate)) {}

  int Elevation() const { return elevation_; }
  void SetElevation(int v) { Update(elevation_, v); }
  int FontZoom() const { return fontZoom_; }
  void SetFontZoom(int v) { Update(fontZoom_, v); }
  int HorizOffset() const { return horizOffset_; }
  void SetHorizOffset(int v);
  bool Orthogonal() const { return orthogonal_; }
  void SetOrthogonal(bool v) { Update(orthogonal_, v); }
  int OrthoAngle() const { return orthoAngle_; }
  void SetOrthoAngle(int v) { Update(orthoAngle_, v); }
  int Perspective() const { return perspective_; }
  void SetPerspective(int v) { Update(perspective_, v); }
  int Rotation() const { return rotation_; }
  void SetRotation(int v) { Update(rotation_, v); }
  int Tilt() const { return tilt_; }
  void SetTilt(int v) { Update(tilt_, v); }
  int VertOffset() const { return vertOffset_; }
  void SetVertOffset(int v);
  int Zoom() const { return zoom_; }
  void SetZoom(int v);
  bool ZoomText() const { return zoomText_; }
  void SetZoomText(bool v) { Update(zoomText_, v); }
  void Assign(const TView3DOptions& source);
  // tan(OrthoAngle) (of 180 - OrthoAngle from 90 on) when orthogonal, else 1.
  double OrthoDepthRatio() const;

  TScrollEvent OnScroll;  // after an offset changed
  TZoomEvent OnZoom;      // before a new zoom is stored

 private:
  int elevation_ = 345, fontZoom_ = 100, horizOffset_ = 0;
  bool orthogonal_ = true;
  int orthoAngle_ = 45, perspective_ = 15, rotation_ = 345, tilt_ = 0, vertOffset_ = 0, zoom_ = 100;
  bool zoomText_ = true;
};
