#pragma once
// The device context over QPainter: a raster buffer (QImage), a printer or a
// PDF writer. On a QImage every convention of DeviceContext.h holds pixel for
// pixel, raster operations and pixel reads included.
#include <QPainter>
#include <QPainterPath>
#include <QRegion>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/DeviceContext.h"

struct TDCResolvedFont;

class TPainterDC final : public IDeviceContext {
 public:
  // Paints on `device` (which must outlive this object) until destroyed.
  explicit TPainterDC(QPaintDevice* device);
  ~TPainterDC() override;
  TPainterDC(const TPainterDC&) = delete;
  TPainterDC& operator=(const TPainterDC&) = delete;

  TSize Size() const override { return size_; }
  bool IsRaster() const override { return image_ != nullptr; }
  QImage* Image() override {
    Touch();
    if (touched_) touched_->Anywhere = true;
    return image_;
  }
  void Flush() override {}  // QPainter writes raster pixels immediately
  QPainter& Painter() { return painter_; }
  // Called before the pixels are drawn on or read, at every call that does
  // so: the owner of a surface whose pixels are kept elsewhere for a while
  // brings them back first.
  std::function<void()> BeforePixels;

  // The pixels drawing calls may have touched: at most a few rectangles
  // (device pixels, merged where they come close), or Anywhere when that is
  // not known (the pixels handed out, a mapped surface).
  struct TTouched {
    std::vector<QRect> Rects;
    bool Anywhere = false;
    void Add(const QRect& r);
  };
  // While set, every drawing call adds to it.
  void TrackTouched(TTouched* touched) { touched_ = touched; }

  // Everything a drawing call's pixels depend on besides its own arguments:
  // the attributes, the current position and the clip in force (not the
  // saved clips). A call made under an equal state draws the same pixels.
  struct TDrawState {
    TDCPen Pen;
    TDCBrush Brush;
    TDCFont Font;
    TColor TextColor = clBlack, BkColor = clWhite;
    TDCBkMode BkMode = TDCBkMode::Opaque;
    unsigned Align = 0;
    int CharExtra = 0;
    TDCRop2 Rop = TDCRop2::CopyPen;
    TDCMapping Mapping;
    TPoint Pos;
    std::optional<QRegion> Clip;
    bool operator==(const TDrawState& o) const;
  };
  TDrawState DrawState() const;
  // Puts the attributes, position and clip in force back; the saved clips stay.
  void SetDrawState(const TDrawState& state);

  void SetPen(const TDCPen& pen) override;
  const TDCPen& Pen() const override { return pen_; }
  void SetBrush(const TDCBrush& brush) override;
  const TDCBrush& Brush() const override { return brush_; }
  void SetFont(const TDCFont& font) override;
  const TDCFont& Font() const override { return fontDesc_; }
  void SetTextColor(TColor color) override;
  TColor TextColor() const override { return textColor_; }
  void SetBkColor(TColor color) override;
  TColor BkColor() const override { return bkColor_; }
  void SetBkMode(TDCBkMode mode) override;
  TDCBkMode BkMode() const override { return bkMode_; }
  void SetTextAlign(unsigned flags) override { align_ = flags; }
  unsigned TextAlign() const override { return align_; }
  void SetTextCharacterExtra(int extra) override;
  int TextCharacterExtra() const override { return charExtra_; }
  void SetRop2(TDCRop2 rop) override;
  TDCRop2 Rop2() const override { return rop_; }
  void SetMapping(const TDCMapping& mapping) override;
  const TDCMapping& Mapping() const override { return mapping_; }

  void PushClip() override;
  void PopClip() override;
  void ClipRect(const TRect& r) override;
  void ClipRoundRect(const TRect& r, int cornerW, int cornerH) override;
  void ClipPolygon(const TPoint* pts, int count) override;
  void ClipEllipse(const TRect& r, bool exclude) override;
  void ClipToPath() override;
  bool HasClip() const override { return clip_.has_value(); }

  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  TPoint CurrentPosition() const override { return pos_; }
  void Polyline(const TPoint* pts, int count) override;
  void Polygon(const TPoint* pts, int count) override;
  void Rectangle(const TRect& r) override;
  void RoundRect(const TRect& r, int cornerW, int cornerH) override;
  void Ellipse(const TRect& r) override;
  void Arc(const TRect& r, TPoint start, TPoint end) override;
  void ArcTo(const TRect& r, TPoint start, TPoint end, bool clockwise) override;
  void Pie(const TRect& r, TPoint start, TPoint end) override;
  void FillRect(const TRect& r) override;
  void PatBlt(const TRect& r, TDCRop3 rop) override;
  void BitBlt(int x, int y, int w, int h, IDeviceContext& src, int sx, int sy, TDCRop3 rop) override;
  void StretchDraw(const TRect& r, const QImage& image) override;
  void SetPixel(int x, int y, TColor color) override;
  TColor GetPixel(int x, int y) override;

  void TextOut(int x, int y, std::string_view text) override;
  TSize TextExtent(std::string_view text) override;
  TDCTextMetrics TextMetrics() override;

  void BeginPath() override;
  void EndPath() override { inPath_ = false; }
  void CloseFigure() override { path_.closeSubpath(); }
  void StrokePath() override;
  void FillPath() override;
  void StrokeAndFillPath() override;
  void WidenPath() override;

 private:
  void Touch() {
    if (BeforePixels) BeforePixels();
  }
  void RemakePen();
  // Adds `r` (logical; a shape's outline widened by the pen's reach) to the
  // touched pixels.
  void Mark(QRect r, bool outlined);
  static constexpr int kMaxSteepRows = 127;
  enum class Active : uint8_t { None, Shape, Text };
  void UseShapePen();
  void UseTextPen();
  void ApplyComposition(QPainter::CompositionMode mode);
  void ApplyClip();
  QRegion ToDevice(const QRegion& logical) const;
  QRectF ShapeRect(const TRect& r) const;
  void Narrow(const QRegion& deviceRegion, bool exclude);
  QBrush MakeBrush() const;
  QPainter::CompositionMode RopMode() const;
  void UseBrush();
  void UpdateDirectRuns();
  bool DirectRun(QPoint a, QPoint b);
  void DashedRun(QPoint a, QPoint b);
  bool DirectRectangle(const QPoint* corners);
  void FillDirect(const QRect& r, uint32_t pixel);

  QPainter painter_;
  QImage* image_ = nullptr;
  TSize size_;
  TDCPen pen_;
  TDCBrush brush_;
  TDCFont fontDesc_;
  std::shared_ptr<const TDCResolvedFont> font_;
  TColor textColor_ = clBlack, bkColor_ = clWhite;
  TDCBkMode bkMode_ = TDCBkMode::Opaque;
  unsigned align_ = 0;
  int charExtra_ = 0;
  TDCRop2 rop_ = TDCRop2::CopyPen;
  TDCMapping mapping_;
  bool identity_ = true;
  TPoint pos_;
  QPen qpen_;
  double penScale_ = 1;  // device pixels per logical unit, the larger axis
  QBrush qbrush_;
  QTransform xf_;
  bool fontApplied_ = false;
  bool cosmetic_ = true;  // lines leave out their end pixel themselves
  // A 32-bit raster's pixels, written straight for the vertical and
  // horizontal runs of a solid one-pixel pen (directRuns_) in penPixel_.
  uchar* bits_ = nullptr;
  qsizetype stride_ = 0;
  bool directRuns_ = false;
  uint32_t penPixel_ = 0;
  std::vector<bool> dashOn_;  // per pixel of a dashed pen's period
  std::vector<QPoint> scratch_;
  Active active_ = Active::None;
  bool brushDirty_ = true;
  QPainter::CompositionMode composition_ = QPainter::CompositionMode_SourceOver;
  std::optional<QRegion> clip_;  // device pixels
  std::vector<std::optional<QRegion>> clipStack_;
  bool inPath_ = false;
  QPainterPath path_;
  TTouched* touched_ = nullptr;
};
