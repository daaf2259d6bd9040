#pragma once
// The device context every chart draws through: a small, exact model of the
// drawing surface the chart code was designed for, so that its geometry (and
// every pixel convention it relies on) holds on any backend.
//
// Conventions (they hold for every backend; the QPainter backend reproduces
// them pixel for pixel on raster surfaces):
// - Coordinates are integer logical units; with the default mapping one unit
//   is one device pixel, (0, 0) the top-left pixel, y growing downwards.
// - Rectangles are half-open: TRect{L, T, R, B} covers columns L..R-1 and
//   rows T..B-1. FillRect and PatBlt fill exactly that. Rectangle, Ellipse and
//   RoundRect outline with the pen's centre on L..R-1 / T..B-1; with a clear
//   pen they fill one pixel less on the right and at the bottom.
// - Lines drawn with a cosmetic pen (width 0, or 1 where a unit is at most a
//   pixel) leave out their end pixel:
//   LineTo(x, y) does not set (x, y), a Polyline does not set its last point.
// - Shapes are never anti-aliased; texts may be.
// - Pens of width 2 or more are geometric: end cap and join apply (a
//   zero-length line with a round or square cap is a dot), dash
//   lengths scale with the width. Cosmetic dash patterns in pixels: dash 18/6,
//   dot 3/3, dash-dot 9/6/3/6, dash-dot-dot 9/3/3/3/3/3; Alternate sets every
//   other pixel.
// - Hatched brushes are 8×8 patterns aligned to the device origin, drawn in
//   the brush colour; the other pixels get the background colour when the
//   background mode is opaque and stay untouched when it is transparent.
// - Texts: TextOut places the text by the alignment flags relative to the
//   font's cell (ascent + descent); an opaque background fills the cell over
//   the text's extent with the background colour. The font's escapement
//   rotates the text counter-clockwise about the reference point. Texts are
//   Latin-1 byte strings, as everywhere in the program.
// - Colours are TColor values 0x00BBGGRR; system colours (0xFF0000nn) come
//   from a fixed table of ours, and the palette-relative prefix 0x02 is
//   ignored (ColorToRGB). The two chart sentinels clNone and clDefault are
//   never drawn by callers; a backend treats them as their masked RGB.
// - Raster operations other than CopyPen, GetPixel and the BitBlt source work
//   on raster surfaces only (IsRaster()); elsewhere drawing uses CopyPen and
//   GetPixel answers CLR_INVALID.
// - Clipping: PushClip saves the current clip region, the Clip* calls narrow
//   it (ClipEllipse with exclude cuts the ellipse out), PopClip restores the
//   saved one. Clip shapes are given in logical coordinates and kept in
//   device pixels, so a later mapping change does not move them.
// - Between BeginPath and EndPath, MoveTo, LineTo, ArcTo, Polyline, Polygon,
//   Rectangle, Ellipse, TextOut and CloseFigure build the path instead of
//   drawing; the path is then stroked, filled, widened or made the clip.
#include <QImage>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Rect.h"

using TColor = uint32_t;

// Chart sentinels: "not drawn" and "use the series or point colour".
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;
constexpr TColor clSystemColor = 0xFF000000;
constexpr TColor CLR_INVALID = 0xFFFFFFFF;

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF,
                 clMoneyGreen = 0xC0DCC0, clSkyBlue = 0xF0CAA6, clCream = 0xF0FBFF, clMedGray = 0xA4A0A0;

// System colours: clSystemColor | index into our fixed table.
constexpr TColor clScrollBar = 0xFF000000, clBackground = 0xFF000001, clActiveCaption = 0xFF000002,
                 clInactiveCaption = 0xFF000003, clMenu = 0xFF000004, clWindow = 0xFF000005,
                 clWindowFrame = 0xFF000006, clMenuText = 0xFF000007, clWindowText = 0xFF000008,
                 clCaptionText = 0xFF000009, clActiveBorder = 0xFF00000A, clInactiveBorder = 0xFF00000B,
                 clAppWorkSpace = 0xFF00000C, clHighlight = 0xFF00000D, clHighlightText = 0xFF00000E,
                 clBtnFace = 0xFF00000F, clBtnShadow = 0xFF000010, clGrayText = 0xFF000011,
                 clBtnText = 0xFF000012, clInactiveCaptionText = 0xFF000013, clBtnHighlight = 0xFF000014,
                 cl3DDkShadow = 0xFF000015, cl3DLight = 0xFF000016, clInfoText = 0xFF000017,
                 clInfoBk = 0xFF000018;

// 0x00BBGGRR of any colour: system colours resolved, the high byte dropped.
TColor ColorToRGB(TColor color);
constexpr TColor RGB(uint8_t r, uint8_t g, uint8_t b) { return r | (g << 8) | (TColor(b) << 16); }
constexpr uint8_t GetRValue(TColor c) { return c & 0xFF; }
constexpr uint8_t GetGValue(TColor c) { return (c >> 8) & 0xFF; }
constexpr uint8_t GetBValue(TColor c) { return (c >> 16) & 0xFF; }

struct TPoint {
  int X = 0, Y = 0;
  bool operator==(const TPoint&) const = default;
};

struct TSize {
  int cx = 0, cy = 0;
  bool operator==(const TSize&) const = default;
};


enum class TDCPenStyle : uint8_t { Solid, Dash, Dot, DashDot, DashDotDot, Clear, InsideFrame, Alternate };
enum class TDCPenCap : uint8_t { Round, Square, Flat };
enum class TDCPenJoin : uint8_t { Round, Bevel, Miter };

struct TDCPen {
  TDCPenStyle Style = TDCPenStyle::Solid;
  int Width = 1;  // 0: one device pixel; 1: one logical unit (cosmetic unless the mapping enlarges); 2 or more: geometric
  TColor Color = clBlack;
  TDCPenCap Cap = TDCPenCap::Round;
  TDCPenJoin Join = TDCPenJoin::Round;
  bool operator==(const TDCPen&) const = default;
};

enum class TDCBrushStyle : uint8_t {
  Solid, Clear, Horizontal, Vertical, FDiagonal, BDiagonal, Cross, DiagCross, Pattern
};

struct TDCBrush {
  TDCBrushStyle Style = TDCBrushStyle::Solid;
  TColor Color = clWhite;
  QImage Pattern;  // Pattern style only: tiled from the device origin
  bool operator==(const TDCBrush& o) const {
    return Style == o.Style && Color == o.Color && Pattern.cacheKey() == o.Pattern.cacheKey();
  }
};

struct TDCFont {
  std::string Name = "Arial";  // mapped to a metric-compatible face we ship
  int Height = -11;  // < 0: character (em) height in pixels; > 0: cell height; 0: 12 px em
  int Weight = 400;  // 100..900; 700 bold
  bool Italic = false, Underline = false, StrikeOut = false;
  int Escapement = 0;  // tenths of a degree, counter-clockwise
  bool operator==(const TDCFont&) const = default;
};

// The face a font name is drawn with ("Arial" -> "Liberation Sans", ...).
std::string MapFontFace(const std::string& name);

struct TDCTextMetrics {
  int Height = 0, Ascent = 0, Descent = 0, InternalLeading = 0, AveCharWidth = 0;
};

// Text alignment flags (combine one horizontal, one vertical, optionally UPDATECP).
constexpr unsigned TA_NOUPDATECP = 0, TA_UPDATECP = 1, TA_LEFT = 0, TA_RIGHT = 2, TA_CENTER = 6,
                   TA_TOP = 0, TA_BOTTOM = 8, TA_BASELINE = 24;

enum class TDCBkMode : uint8_t { Transparent = 1, Opaque = 2 };

// Binary raster operations of the pen and brush, numbered as R2_BLACK..R2_WHITE.
enum class TDCRop2 : uint8_t {
  Black = 1, NotMergePen, MaskNotPen, NotCopyPen, MaskPenNot, Not, XorPen, NotMaskPen,
  MaskPen, NotXorPen, Nop, MergeNotPen, CopyPen, MergePenNot, MergePen, White
};

// Block transfers: the source copies of BitBlt, the pattern ones of PatBlt.
enum class TDCRop3 : uint8_t {
  SrcCopy, SrcInvert, SrcAnd, SrcPaint,
  PatCopy, PatInvert, DstInvert, Blackness, Whiteness
};

// Logical-to-device mapping for printing: device = (logical - WindowOrg) *
// ViewportExt / WindowExt + ViewportOrg. The default is the identity.
struct TDCMapping {
  TPoint WindowOrg{0, 0}, WindowExt{1, 1}, ViewportOrg{0, 0}, ViewportExt{1, 1};
  bool operator==(const TDCMapping&) const = default;
};

class IDeviceContext {
 public:
  virtual ~IDeviceContext() = default;

  // --- Surface
  virtual TSize Size() const = 0;  // device pixels
  virtual bool IsRaster() const = 0;
  // The pixels of a raster surface (nullptr elsewhere). Drawing through the
  // device context must be flushed with Flush() before reading or writing
  // them directly.
  virtual QImage* Image() = 0;
  virtual void Flush() = 0;

  // --- Attributes (each Set is cheap when the value does not change)
  virtual void SetPen(const TDCPen& pen) = 0;
  virtual const TDCPen& Pen() const = 0;
  virtual void SetBrush(const TDCBrush& brush) = 0;
  virtual const TDCBrush& Brush() const = 0;
  virtual void SetFont(const TDCFont& font) = 0;
  virtual const TDCFont& Font() const = 0;
  virtual void SetTextColor(TColor color) = 0;
  virtual TColor TextColor() const = 0;
  virtual void SetBkColor(TColor color) = 0;
  virtual TColor BkColor() const = 0;
  virtual void SetBkMode(TDCBkMode mode) = 0;
  virtual TDCBkMode BkMode() const = 0;
  virtual void SetTextAlign(unsigned flags) = 0;
  virtual unsigned TextAlign() const = 0;
  virtual void SetTextCharacterExtra(int extra) = 0;  // pixels after each character
  virtual int TextCharacterExtra() const = 0;
  virtual void SetRop2(TDCRop2 rop) = 0;
  virtual TDCRop2 Rop2() const = 0;
  virtual void SetMapping(const TDCMapping& mapping) = 0;
  virtual const TDCMapping& Mapping() const = 0;

  // --- Clipping
  virtual void PushClip() = 0;
  virtual void PopClip() = 0;  // without a matching push: clipping removed
  virtual void ClipRect(const TRect& r) = 0;
  virtual void ClipRoundRect(const TRect& r, int cornerW, int cornerH) = 0;
  virtual void ClipPolygon(const TPoint* pts, int count) = 0;  // alternate fill
  virtual void ClipEllipse(const TRect& r, bool exclude) = 0;
  virtual void ClipToPath() = 0;  // intersect with the closed path, which is consumed
  virtual bool HasClip() const = 0;

  // --- Lines and shapes (pen outlines, brush fills)
  virtual void MoveTo(int x, int y) = 0;
  virtual void LineTo(int x, int y) = 0;
  virtual TPoint CurrentPosition() const = 0;
  virtual void Polyline(const TPoint* pts, int count) = 0;
  virtual void Polygon(const TPoint* pts, int count) = 0;  // alternate fill
  virtual void Rectangle(const TRect& r) = 0;
  virtual void RoundRect(const TRect& r, int cornerW, int cornerH) = 0;
  virtual void Ellipse(const TRect& r) = 0;
  // Counter-clockwise from the radial through `start` to the one through `end`
  // (equal radials: the whole ellipse); ArcTo draws a line from the current
  // position to the arc's start and leaves the position at its end, clockwise
  // when asked.
  virtual void Arc(const TRect& r, TPoint start, TPoint end) = 0;
  virtual void ArcTo(const TRect& r, TPoint start, TPoint end, bool clockwise) = 0;
  virtual void Pie(const TRect& r, TPoint start, TPoint end) = 0;
  virtual void FillRect(const TRect& r) = 0;  // current brush, no outline
  virtual void PatBlt(const TRect& r, TDCRop3 rop) = 0;
  virtual void BitBlt(int x, int y, int w, int h, IDeviceContext& src, int sx, int sy,
                      TDCRop3 rop) = 0;
  virtual void StretchDraw(const TRect& r, const QImage& image) = 0;
  virtual void SetPixel(int x, int y, TColor color) = 0;
  virtual TColor GetPixel(int x, int y) = 0;

  // --- Text
  virtual void TextOut(int x, int y, std::string_view text) = 0;
  virtual TSize TextExtent(std::string_view text) = 0;  // unrotated, with character extra
  virtual TDCTextMetrics TextMetrics() = 0;

  // --- Paths
  virtual void BeginPath() = 0;
  virtual void EndPath() = 0;
  virtual void CloseFigure() = 0;
  virtual void StrokePath() = 0;
  virtual void FillPath() = 0;
  virtual void StrokeAndFillPath() = 0;
  virtual void WidenPath() = 0;  // the path becomes the area the pen would cover
};
