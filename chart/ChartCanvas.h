#pragma once
// The chart canvas every chart element draws through (TChartCanvas,
// TCanvas3D, TChartCanvas3D, TChartBlend), over the device-context layer, and
// the drawing attributes every chart element publishes (pens, brushes, fonts,
// gradients, shadows and the 3-D view options).
//
// Every property setter stores a new value and calls the object's change
// notification only when the value really changes; Assign copies another
// object's values and notifies once. Sub-objects (a brush's image, a font's
// outline, shadow and gradient) are created on first read, belong to their
// parent, pass their changes on to it, and are replaced by copying, never by
// pointer. The Is*Stored predicates say which values a form resource keeps.
#include <QRect>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/DeviceContext.h"
#include "platform/PainterDC.h"

class TChartCanvas3D;
class TChartLayerRecorder;

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
  // Writing a sub-object: nullptr frees it, anything else is copied into it.
  template <class T, class S>
  void ReplaceSubObject(std::unique_ptr<T>& owned, const S* source) {
    if (!source) {
      if (owned) owned.reset(), Changed();
      return;
    }
    if (!owned) owned = std::make_unique<T>(Forward());
    owned->Assign(*source);
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
// A brush style is the device context's style of the same number.
static_assert(int(bsDiagCross) == int(TDCBrushStyle::DiagCross) && int(bsClear) == int(TDCBrushStyle::Clear));

// A picture held by a brush; an empty one makes no pattern.
class TPicture : public TChartPersistent {
 public:
  using TChartPersistent::TChartPersistent;
  const QImage& Image() const { return image_; }
  void SetImage(const QImage& image);
  bool Empty() const { return image_.isNull(); }
  // A transparent picture is drawn without the pixels of the colour its
  // bottom-left pixel has.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v) { Update(transparent_, v); }
  // The image as it is drawn (see Transparent).
  QImage DrawnImage() const;
  void Assign(const TPicture& source);

 private:
  QImage image_;
  bool transparent_ = false;
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
  void SetImage(const TPicture* picture) { ReplaceSubObject(image_, picture); }
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

  // Paints the shadow of `r` (at depth z); false when it is not visible.
  bool Draw(TChartCanvas3D& canvas, const TRect& r, int z = 0) const;

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
  // Paints the gradient into `r`; a round size clips to a rounded rectangle.
  void Draw(TChartCanvas3D& canvas, const TRect& r, int roundSize = 0) const;

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
  void SetOutLine(const TChartPen* pen) { ReplaceSubObject(outLine_, pen); }
  void SetShadow(const TChartShadow* shadow) { ReplaceSubObject(shadow_, shadow); }
  void SetGradient(const TChartFontGradient* gradient) { ReplaceSubObject(gradient_, gradient); }
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

// --- Geometry and colour helpers

inline TRect MakeRect(int l, int t, int r, int b) { return {l, t, r, b}; }
inline TPoint MakePoint(int x, int y) { return {x, y}; }
// Sums halved, rounding towards zero.
inline TPoint RectCenter(const TRect& r) { return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2}; }
TRect NormalizeRect(const TRect& r);
// Inclusive on all four edges.
inline bool PointInRect(const TRect& r, TPoint p) {
  return p.X >= r.Left && p.X <= r.Right && p.Y >= r.Top && p.Y <= r.Bottom;
}
TRect PointsBounds(const TPoint* pts, int count);
double PointDistance(TPoint a, TPoint b);
// The point `distance` away from `from` on the way to `to`.
TPoint PointAlongLine(TPoint from, TPoint to, double distance);
// Each channel minus the amount (0 when the amount is not below it).
TColor DarkenChannels(TColor color, int amount);
// Each channel plus the amount (255 when the sum exceeds it).
TColor LightenChannels(TColor color, int amount);
// Ties to even, saturated to the pixel range the canvas draws in.
int RoundPixel(double v);
constexpr int kPixelLimit = 1 << 28;
// (a - b) x (c - b) of three screen points is negative: the sense that says
// whether a solid's face looks at the viewer.
inline bool NegativeTurn(TPoint a, TPoint b, TPoint c) {
  return (int64_t(a.X) - b.X) * (int64_t(c.Y) - b.Y) - (int64_t(c.X) - b.X) * (int64_t(a.Y) - b.Y) < 0;
}

// Library-wide settings of the solids: the sides of a cone or cylinder, the
// cone percent that a cone percent of 0 stands for, and the two amounts that
// darken the side faces of boxes and pyramids.
extern int SolidSideCount;      // 16
extern int DefaultConePercent;  // 0
extern int FirstDarkAmount;     // 128
extern int SecondDarkAmount;    // 64

// --- The chart canvas

struct TPoint3D {
  int X = 0, Y = 0, Z = 0;
};

enum TCanvasBackMode : int { cbmTransparent = 1, cbmOpaque = 2 };
static_assert(int(cbmOpaque) == int(TDCBkMode::Opaque) && int(cbmTransparent) == int(TDCBkMode::Transparent));

// The software blend, exactly: over `count` 0xAARRGGBB pixels a pure white
// drawn pixel first loses one step of red, then every channel of the drawn
// value d becomes d + ((b - d) * percent) div 100 with b the background.
void BlendPixels(uint32_t* drawn, const uint32_t* background, int count, int percent);
// The percentage a transparency blends with: masked with 127, at most 100.
int BlendPercent(int transparency);

// The colour of band i of T + 1 bands from `start` by `delta` (per channel)
// under the balance rule; channels are kept in 0..255.
TColor GradientBandColor(TColor start, int dr, int dg, int db, int i, int t, int balance);

class TChartBlend;

// The drawing interface every chart element draws through.
class TChartCanvas {
 public:
  virtual ~TChartCanvas();

  IDeviceContext& DC() const { return *surface_; }
  bool Metafiling = false;
  // Last say on every chart pen before it reaches the surface (the panel
  // keeps dotted lines the device's thinnest on paper).
  std::function<void(TDCPen&)> AdjustPen;
  uint8_t Transparency() const { return transparency_; }
  TRect Bounds;
  double FontZoom = 100;
  TView3DOptions* View3DOptions = nullptr;
  const TChartFont* ChartFont() const { return chartFont_; }

  virtual TColor GetBackColor() const = 0;
  virtual TCanvasBackMode GetBackgroundMode() const = 0;
  virtual bool GetMonochrome() const = 0;
  virtual TColor GetPixel(int x, int y) = 0;
  virtual bool IsAlternateRenderer() const = 0;
  virtual unsigned GetTextAlign() const = 0;
  virtual bool GetOffscreenBuffering() const = 0;
  virtual void SetBackColor(TColor color) = 0;
  virtual void SetBackgroundMode(TCanvasBackMode mode) = 0;
  virtual void SetMonochrome(bool value) = 0;
  virtual void SetPixel(int x, int y, TColor color) = 0;
  virtual void SetTextAlign(unsigned flags) = 0;
  virtual void SetOffscreenBuffering(bool value) = 0;
  virtual void PreparePenWithColor(const TPen& pen, TColor color) = 0;
  virtual std::unique_ptr<TChartBlend> StartTransparency(const TRect& r, int transparency) = 0;
  virtual void FinishTransparency(std::unique_ptr<TChartBlend> blend) = 0;
  virtual void Arc(const TRect& r, TPoint start, TPoint end) = 0;
  virtual void Draw(int x, int y, const QImage& graphic) = 0;
  virtual void Ellipse(const TRect& r) = 0;
  virtual void FillRect(const TRect& r) = 0;
  virtual void Frame3D(TRect r, TColor topLeft, TColor bottomRight, int width) = 0;
  virtual void LineTo(int x, int y) = 0;
  virtual void MoveTo(int x, int y) = 0;
  virtual void Pie(const TRect& r, TPoint start, TPoint end) = 0;
  virtual void Rectangle(const TRect& r) = 0;
  virtual void RoundRect(const TRect& r, int cornerW, int cornerH) = 0;
  virtual void StretchDraw(const TRect& r, const QImage* graphic) = 0;
  virtual void TextOut(int x, int y, std::string_view text) = 0;
  virtual int TextWidth(std::string_view text) = 0;
  virtual int TextHeight(std::string_view text) = 0;
  virtual void ClipToRect(const TRect& r) = 0;
  virtual void ClipToRoundRect(const TRect& r, int size) = 0;
  virtual void ClipToEllipse(const TRect& r, bool inverted) = 0;
  virtual void ClipToPolygon(const TPoint* pts, int count) = 0;
  virtual void PlainHorizLine(int x0, int x1, int y) = 0;
  virtual void PlainVertLine(int x, int y0, int y1) = 0;
  virtual void FillBackground(const TRect& r) = 0;
  virtual void GradientFill(const TRect& r, TColor start, TColor end, TGradientDirection direction,
                            int balance) = 0;
  virtual void Invalidate() = 0;
  virtual void Line(int x0, int y0, int x1, int y1) = 0;
  virtual void Polyline(const TPoint* pts, int lastIndex) = 0;
  virtual void Polygon(const TPoint* pts, int lastIndex) = 0;
  virtual void RotatedText(int x, int y, std::string_view text, double angle) = 0;
  virtual void RestoreClip() = 0;
  // A flat ring sector (radians, counter-clockwise from the positive x axis)
  // as one stroked and filled path; a hole of 0 % makes a pie slice.
  virtual void Donut(int midX, int midY, int radiusX, int radiusY, double fromAngle, double toAngle,
                     double holeSizePercent) = 0;

  // Attribute preparation shared by every chart element.
  void PreparePen(const TPen& pen) { PreparePenWithColor(pen, pen.Color()); }
  void PrepareBrush(const TBrush& brush, TColor color) { PrepareBrushWithColor(brush, color, brush.Color()); }
  void PrepareBrushWithColor(const TBrush& brush, TColor color, TColor backColor);
  void PrepareFont(const TChartFont& font);
  // Pen black 1 solid, brush white solid, the default chart font in black,
  // white transparent background, alignment left-top, no chart font.
  void ResetToPlain();
  int FontPixelHeight() { return TextHeight("W"); }
  // The darkened colour as a solid brush (or a hatch's background).
  void PrepareDarkColor(TColor color, int amount);
  void SetBrushColor(TColor color);
  void SetBrushStyle(TBrushStyle style);

 protected:
  explicit TChartCanvas(IDeviceContext* surface) : surface_(surface) {}
  void SetSurface(IDeviceContext* surface) { surface_ = surface; }
  IDeviceContext* surface_;
  uint8_t transparency_ = 0;
  const TChartFont* chartFont_ = nullptr;
};

// Adds the 3-D operations.
class TCanvas3D : public TChartCanvas {
 public:
  int FlatModeDepth = 0;
  bool OrthoProjection = false;
  double TurnCenter[3] = {0, 0, 0};

  virtual TColor ReadPixelAtDepth(int x, int y, int z) = 0;
  virtual void WritePixelAtDepth(int x, int y, int z, TColor color) = 0;
  virtual TPoint UnprojectPoint(int x, int y, int z) const = 0;
  virtual TPoint ProjectToPoint(int x, int y, int z) const = 0;
  virtual TRect OpenFrame(IDeviceContext* surface, TView3DOptions* options, TColor backColor, bool is3D,
                          const TRect& r) = 0;
  virtual void CopySurfaceSettings(const TCanvas3D& other) = 0;
  virtual void Projection(int maxDepth, const TRect& r) = 0;
  virtual void PresentBuffer(IDeviceContext* destination, IDeviceContext* defaultSurface, const TRect& r) = 0;
  virtual bool RepaintFromBuffer() = 0;
  virtual void Arrow(bool filled, TPoint from, TPoint to, int headWidth, int headHeight, int z) = 0;
  virtual void ClipToCube(const TRect& r, int z0, int z1) = 0;
  virtual void Cube(const TRect& r, int z0, int z1, bool darkSides) = 0;
  virtual void SuspendRotation() = 0;
  virtual void EllipseAtDepth(const TRect& r, int z) = 0;
  virtual void ResumeRotation() = 0;
  virtual void HorizLineAt(int x0, int x1, int y, int z) = 0;
  virtual void VertLineAt(int x, int y0, int y1, int z) = 0;
  virtual void DepthLineAt(int x, int y, int z0, int z1) = 0;
  virtual void LineAtDepth(int x0, int y0, int x1, int y1, int z) = 0;
  virtual void MoveToAtDepth(int x, int y, int z) = 0;
  virtual void LineToAtDepth(int x, int y, int z) = 0;
  virtual void DepthQuad(TPoint a, TPoint b, int z0, int z1) = 0;
  virtual void PlaneAtDepth(TPoint p1, TPoint p2, TPoint p3, TPoint p4, int z) = 0;
  virtual void DepthQuadGeneral(const TPoint quad[4], int z0, int z1) = 0;
  virtual void PolygonAtDepth(const TPoint* pts, int count, int z) = 0;
  virtual void PolylineAtDepth(const TPoint* pts, int lastIndex, int z) = 0;
  virtual void RectangleAtDepth(const TRect& r, int z) = 0;
  virtual void FlatRectY(int left, int top, int right, int z0, int z1) = 0;
  virtual void FlatRectZ(int left, int top, int bottom, int z0, int z1) = 0;
  virtual void RotatedTextAtDepth(int x, int y, int z, std::string_view text, double angle) = 0;
  virtual void Sphere(int x, int y, int z, double radius) = 0;
  virtual void TextAtDepth(int x, int y, int z, std::string_view text) = 0;
  virtual void TriangleAtDepth(TPoint p1, TPoint p2, TPoint p3, int z) = 0;
  // A filled triangle whose corners lie at depths of their own.
  virtual void SolidTriangle(TPoint3D a, TPoint3D b, TPoint3D c) = 0;
  virtual void FillQuad() = 0;
  // The solids: only faces that look at the viewer are drawn, far ones first.
  // An elliptic slice extruded between z0 (far) and z1 (the cap), with an
  // optional hole and a gradient for the cap and the front wall.
  virtual void SolidPie(int midX, int midY, int radiusX, int radiusY, int z0, int z1, double fromAngle,
                        double toAngle, bool shadeSides, bool withSides, int innerRadiusPercent,
                        const TCustomChartGradient* gradient) = 0;
  // A prism of SolidSideCount sides whose far end shrinks to tipPercent %.
  virtual void Cone(bool vertical, const TRect& r, int z0, int z1, bool shadeSides, int tipPercent) = 0;
  virtual void Cylinder(bool vertical, const TRect& r, int z0, int z1, bool shadeSides) = 0;
  virtual void Pyramid(bool vertical, const TRect& r, int z0, int z1, bool shadeSides) = 0;
  // Base: the rectangle's width over depthStart..endZ at its bottom; top:
  // 2 * topHalfWidth by 2 * topHalfDepth, centred, at its top.
  virtual void TruncatedPyramid(const TRect& r, int depthStart, int endZ, int topHalfWidth, int topHalfDepth) = 0;

  // First entry suspends the rotation, the last exit resumes it.
  void EnterFlatMode();
  void LeaveFlatMode();

 protected:
  using TChartCanvas::TChartCanvas;
};

// The canvas over the device-context layer: projection, double buffering,
// text effects, gradients and blending.
class TChartCanvas3D final : public TCanvas3D {
 public:
  // `reference` is the surface measured and drawn on outside frames.
  explicit TChartCanvas3D(IDeviceContext* reference);
  ~TChartCanvas3D() override;

  // Called after a change of the canvas that needs the chart drawn again.
  std::function<void()> OnRepaint;
  // Called before the buffer is drawn on or let go of outside a frame shown
  // by PresentBuffer (a new frame, OpenBuffer, DiscardBuffer).
  std::function<void()> OnBufferChanging;

  TPoint3D Center;
  TPoint ProjectionCenter;
  bool PerspectiveOn = false, TiltOn = false, ZoomText = true, View3DActive = false;
  double OrthoStepX = 1, OrthoStepY = 1, PerspectiveScale = 0, ZoomScale = 1;
  bool BufferStale() const { return bufferStale_; }
  const QImage& Buffer() const { return bitmap_; }
  // The panel's new size: a buffer of another size can no longer be shown.
  void PanelResized(TSize size);
  // A new surface to measure and draw on outside frames (the panel's window
  // pixels after a resize).
  void SetReference(IDeviceContext* reference) {
    if (surface_ == reference_) SetSurface(reference);
    reference_ = reference;
  }

  // The projection of (x, y, z); false for a point that is not finite.
  bool Project(double x, double y, double z, TPoint& out) const;
  // How far (x, y, z) lies from the viewer in the current view: larger is
  // farther. Only the order of two depths means anything.
  double ViewDepth(double x, double y, double z) const;

  TColor GetBackColor() const override { return DC().BkColor(); }
  TCanvasBackMode GetBackgroundMode() const override { return TCanvasBackMode(int(DC().BkMode())); }
  bool GetMonochrome() const override { return monochrome_; }
  TColor GetPixel(int x, int y) override { return DC().GetPixel(x, y); }
  bool IsAlternateRenderer() const override { return false; }
  unsigned GetTextAlign() const override { return DC().TextAlign(); }
  bool GetOffscreenBuffering() const override { return offscreen_; }
  void SetBackColor(TColor color) override { DC().SetBkColor(ColorToRGB(color)); }
  void SetBackgroundMode(TCanvasBackMode mode) override { DC().SetBkMode(TDCBkMode(int(mode))); }
  void SetMonochrome(bool value) override;
  void SetPixel(int x, int y, TColor color) override { DC().SetPixel(x, y, color); }
  void SetTextAlign(unsigned flags) override { DC().SetTextAlign(flags); }
  void SetOffscreenBuffering(bool value) override;
  void PreparePenWithColor(const TPen& pen, TColor color) override;
  std::unique_ptr<TChartBlend> StartTransparency(const TRect& r, int transparency) override;
  void FinishTransparency(std::unique_ptr<TChartBlend> blend) override;
  void Arc(const TRect& r, TPoint start, TPoint end) override { DC().Arc(r, start, end); }
  void Draw(int x, int y, const QImage& graphic) override;
  void Ellipse(const TRect& r) override { DC().Ellipse(r); }
  void FillRect(const TRect& r) override { DC().FillRect(r); }
  void Frame3D(TRect r, TColor topLeft, TColor bottomRight, int width) override;
  void LineTo(int x, int y) override { DC().LineTo(x, y); }
  void MoveTo(int x, int y) override { DC().MoveTo(x, y); }
  void Pie(const TRect& r, TPoint start, TPoint end) override { DC().Pie(r, start, end); }
  void Rectangle(const TRect& r) override { DC().Rectangle(r); }
  void RoundRect(const TRect& r, int cornerW, int cornerH) override { DC().RoundRect(r, cornerW, cornerH); }
  void StretchDraw(const TRect& r, const QImage* graphic) override;
  void TextOut(int x, int y, std::string_view text) override;
  int TextWidth(std::string_view text) override;
  int TextHeight(std::string_view text) override;
  void ClipToRect(const TRect& r) override;
  void ClipToRoundRect(const TRect& r, int size) override;
  void ClipToEllipse(const TRect& r, bool inverted) override;
  void ClipToPolygon(const TPoint* pts, int count) override;
  void PlainHorizLine(int x0, int x1, int y) override;
  void PlainVertLine(int x, int y0, int y1) override;
  void FillBackground(const TRect& r) override { DC().FillRect(r); }
  void GradientFill(const TRect& r, TColor start, TColor end, TGradientDirection direction, int balance) override;
  void Invalidate() override { bufferStale_ = true; }
  void Line(int x0, int y0, int x1, int y1) override;
  // A negative last index draws nothing.
  void Polyline(const TPoint* pts, int lastIndex) override {
    if (pts && lastIndex >= 0) DC().Polyline(pts, lastIndex + 1);
  }
  void Polygon(const TPoint* pts, int lastIndex) override {
    if (pts && lastIndex >= 0) DC().Polygon(pts, lastIndex + 1);
  }
  void RotatedText(int x, int y, std::string_view text, double angle) override;
  void RestoreClip() override { DC().PopClip(); }
  void Donut(int midX, int midY, int radiusX, int radiusY, double fromAngle, double toAngle,
             double holeSizePercent) override;

  TColor ReadPixelAtDepth(int x, int y, int z) override;
  void WritePixelAtDepth(int x, int y, int z, TColor color) override;
  TPoint UnprojectPoint(int x, int y, int z) const override;
  TPoint ProjectToPoint(int x, int y, int z) const override;
  TRect OpenFrame(IDeviceContext* surface, TView3DOptions* options, TColor backColor, bool is3D,
                  const TRect& r) override;
  void CopySurfaceSettings(const TCanvas3D& other) override { SetMonochrome(other.GetMonochrome()); }
  void Projection(int maxDepth, const TRect& r) override;
  // A rotated view (not orthogonal) is scaled and moved so that the box of
  // `room` (the plot with its axes and labels, flat) from depth 0 to
  // `maxDepth` fills `room` once projected, before the view's own zoom and
  // offsets. Call after Projection with the same plot rectangle.
  void FitProjection(const TRect& room, int maxDepth, const TRect& plot);
  void PresentBuffer(IDeviceContext* destination, IDeviceContext* defaultSurface, const TRect& r) override;
  bool RepaintFromBuffer() override;
  // Ends a frame drawn into the buffer without showing it anywhere (its owner
  // shows the buffer itself); false when there is no such frame.
  bool FinishBufferFrame(IDeviceContext* defaultSurface);
  void Arrow(bool filled, TPoint from, TPoint to, int headWidth, int headHeight, int z) override;
  void ClipToCube(const TRect& r, int z0, int z1) override;
  void Cube(const TRect& r, int z0, int z1, bool darkSides) override;
  void SuspendRotation() override;
  void EllipseAtDepth(const TRect& r, int z) override;
  void ResumeRotation() override { View3DActive = savedView3DActive_; }
  void HorizLineAt(int x0, int x1, int y, int z) override;
  void VertLineAt(int x, int y0, int y1, int z) override;
  void DepthLineAt(int x, int y, int z0, int z1) override;
  void LineAtDepth(int x0, int y0, int x1, int y1, int z) override;
  void MoveToAtDepth(int x, int y, int z) override;
  void LineToAtDepth(int x, int y, int z) override;
  void DepthQuad(TPoint a, TPoint b, int z0, int z1) override;
  void PlaneAtDepth(TPoint p1, TPoint p2, TPoint p3, TPoint p4, int z) override;
  void DepthQuadGeneral(const TPoint quad[4], int z0, int z1) override;
  void PolygonAtDepth(const TPoint* pts, int count, int z) override;
  void PolylineAtDepth(const TPoint* pts, int lastIndex, int z) override;
  void RectangleAtDepth(const TRect& r, int z) override;
  void FlatRectY(int left, int top, int right, int z0, int z1) override;
  void FlatRectZ(int left, int top, int bottom, int z0, int z1) override;
  void RotatedTextAtDepth(int x, int y, int z, std::string_view text, double angle) override;
  void Sphere(int x, int y, int z, double radius) override;
  void TextAtDepth(int x, int y, int z, std::string_view text) override;
  void TriangleAtDepth(TPoint p1, TPoint p2, TPoint p3, int z) override;
  void SolidTriangle(TPoint3D a, TPoint3D b, TPoint3D c) override;
  void FillQuad() override { DC().Polygon(quad_, 4); }
  void SolidPie(int midX, int midY, int radiusX, int radiusY, int z0, int z1, double fromAngle, double toAngle,
                bool shadeSides, bool withSides, int innerRadiusPercent,
                const TCustomChartGradient* gradient) override;
  void Cone(bool vertical, const TRect& r, int z0, int z1, bool shadeSides, int tipPercent) override;
  void Cylinder(bool vertical, const TRect& r, int z0, int z1, bool shadeSides) override {
    Cone(vertical, r, z0, z1, shadeSides, 100);
  }
  void Pyramid(bool vertical, const TRect& r, int z0, int z1, bool shadeSides) override;
  void TruncatedPyramid(const TRect& r, int depthStart, int endZ, int topHalfWidth, int topHalfDepth) override;
  void DiscardBuffer();

  // Static layers. A frame drawn into the buffer may declare its first parts
  // (background, walls, axes: what seldom changes between two frames) as
  // layers, in drawing order: BeginLayer starts the next one, EndLayers ends
  // the last one before the rest of the frame. Each layer is recorded rather
  // than drawn; one recorded exactly as in the frame before (every layer
  // before it too) is not drawn again but taken from the pixels kept then.
  // What shows is always what drawing every call would show. Only a frame
  // whose first layer covers every pixel of the buffer may use them.
  void EnableLayers();
  void BeginLayer();
  void EndLayers();
  // Forgets the kept layers: the next frame draws them all.
  void ForgetLayers();
  // Frames whose layers were all taken from kept pixels, since the canvas was made.
  int LayerHits() const { return layerHits_; }
  // Where the buffer's frame differs from the one before: false when that is
  // not known (or is most of it), else the rectangles outside which the two
  // are equal. A frame after kept layers brings back the kept pixels only
  // where the frame before drew after its layers, and differs from it only
  // there and where it draws after its own.
  bool FrameChanges(std::vector<QRect>& rects) const {
    rects = changed_;
    return changedKnown_;
  }

  // Between frames: drawing goes into the still valid buffer (false when
  // there is none) until PresentBufferRect shows `r` of it on the reference
  // surface.
  bool OpenBuffer();
  void PresentBufferRect(const TRect& r);
  // The buffer was drawn on outside a frame by other means than OpenBuffer:
  // the next frame brings back all the kept pixels.
  void BufferDrawnOn() { tailKnown_ = false; }
  void CopyBufferTo(int x, int y, IDeviceContext& surface);

  // The radial fill of a gradient: ellipses from the outside in, the start colour in the middle.
  void RadialGradient(const TRect& r, TColor start, TColor end, int balance, int radialX, int radialY);

 private:
  friend class TChartBlend;
  void UpdateRotationTrig();
  void TextWithEffects(int x, int y, std::string_view text);
  void PlainText(int x, int y, std::string_view text);
  TRect TextRect(int x, int y, std::string_view text);
  void LinesGradient(const TRect& r, TColor start, TColor end, bool up);
  void CornerGradient(const TRect& r, TColor start, TColor end, bool fromBottom, int balance);
  void CenterGradient(const TRect& r, TColor start, TColor end, int balance);
  bool ProjectRect(const TRect& r, int z, TPoint out[4]) const;
  // The colour the solids shade from: the brush colour of a solid brush,
  // else the background colour.
  TColor SolidBaseColor() const;
  // A polygon filled with the gradient (clipped to it) and outlined.
  void GradientPolygon(const std::vector<TPoint>& pts, const TCustomChartGradient& gradient);

  struct TLayer;
  void EndLayer();
  void RestoreKeptPixels();
  // Ends what the frame drew after its layers (see FrameChanges).
  void EndTail();

  IDeviceContext* reference_;
  QImage bitmap_;
  std::unique_ptr<IDeviceContext> bitmapDC_;
  std::vector<TLayer> layers_;
  std::unique_ptr<TChartLayerRecorder> recorder_;
  int layer_ = -1;          // the layer being recorded; -1 outside layers
  bool layersOn_ = false;   // this frame declares layers
  bool layersKept_ = true;  // every layer so far matched the one kept
  int restore_ = -1;        // the kept layer whose pixels the buffer must get before it is drawn on
  bool layersDrawn_ = false;  // a layer of this frame was drawn, not taken from kept pixels
  bool layersChurn_ = false;  // a layer of this frame changes with every frame, or is drawn as it goes
  int layerHits_ = 0;
  // What the last frame drew after its kept layers (the layer index whose
  // pixels it drew on), when the buffer still holds just that.
  bool tailOn_ = false, tailKnown_ = false;
  int tailBase_ = -1, tailLayer_ = -1;
  std::vector<QRect> tailArea_;
  TPainterDC::TTouched touched_;
  std::vector<QRect> changed_;
  bool changedKnown_ = false;
  bool bufferStale_ = true, monochrome_ = false, offscreen_ = true, savedView3DActive_ = false;
  double elevationSin_ = 0, rotationSin_ = 0, tiltSin_ = 0, elevationCos_ = 1, rotationCos_ = 1, tiltCos_ = 1;
  TPoint quad_[4];
};

// Transparency of what is drawn between StartTransparency and
// FinishTransparency: the background under the rectangle is kept and blended
// back into the new drawing.
class TChartBlend {
 public:
  // `transparency` is the percentage this blend finishes with, whatever
  // blends start and finish inside it.
  TChartBlend(TChartCanvas3D& canvas, const TRect& r, int transparency = 0);
  // Texts drawn under the blend leave the alignment (and the chart font) as
  // they found them.
  ~TChartBlend();
  // Blends the kept background into the drawing with `percent` (0..100).
  void DoBlend(int percent);
  const TRect& Rect() const { return rect_; }
  int Percent() const { return percent_; }

 private:
  TChartCanvas3D& canvas_;
  TRect rect_;
  int percent_;
  QImage background_;
  unsigned textAlign_ = 0;
  // Started while a static layer is recorded: the recorder keeps the background.
  TChartLayerRecorder* recorder_ = nullptr;
  int blend_ = -1;
};
