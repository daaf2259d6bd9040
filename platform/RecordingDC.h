#pragma once
// A device context that draws nothing and keeps a display list of the calls:
// the test double of the chart code and the source that metafile writers and
// replay read. Drawing calls are all kept; attribute calls only when they
// change the attribute. Texts are measured exactly as the QPainter backend
// measures them.
#include <memory>
#include <optional>
#include <vector>

#include "platform/DeviceContext.h"

struct TDCResolvedFont;

enum class TDCOp : uint8_t {
  SetPen, SetBrush, SetFont, SetTextColor, SetBkColor, SetBkMode, SetTextAlign,
  SetTextCharacterExtra, SetRop2, SetMapping,
  PushClip, PopClip, ClipRect, ClipRoundRect, ClipPolygon, ClipEllipse, ClipToPath,
  MoveTo, LineTo, Polyline, Polygon, Rectangle, RoundRect, Ellipse, Arc, ArcTo, Pie,
  FillRect, PatBlt, BitBlt, StretchDraw, SetPixel, TextOut,
  BeginPath, EndPath, CloseFigure, StrokePath, FillPath, StrokeAndFillPath, WidenPath
};

// One call. Args hold the call's integers in its parameter order (rectangles
// as Left, Top, Right, Bottom; arcs then start x, y, end x, y and for ArcTo the
// clockwise flag; PatBlt the rectangle and the Rop3; BitBlt x, y, w, h, sx, sy,
// Rop3; SetPixel x, y, colour; TextOut x, y; the Set* of a value that value;
// SetMapping window org, ext, viewport org, ext; ClipEllipse the exclude flag
// after the rectangle). Pen and Brush are those in effect at the call.
struct TDCRecord {
  TDCOp Op;
  std::vector<int> Args;
  std::vector<TPoint> Points;
  std::string Text;
  TDCPen Pen;
  TDCBrush Brush;
  TDCFont Font;  // SetFont, TextOut
  QImage Image;  // BitBlt: the source part; StretchDraw: the picture
};

class TRecordingDC final : public IDeviceContext {
 public:
  explicit TRecordingDC(TSize size = {1920, 1080});
  ~TRecordingDC() override;

  std::vector<TDCRecord> List;
  // The records of one kind, in order.
  std::vector<const TDCRecord*> Of(TDCOp op) const;
  int Count(TDCOp op) const { return int(Of(op).size()); }

  TSize Size() const override { return size_; }
  bool IsRaster() const override { return false; }
  QImage* Image() override { return nullptr; }
  void Flush() override {}

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
  void SetTextAlign(unsigned flags) override;
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
  bool HasClip() const override { return clipped_; }

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
  TColor GetPixel(int, int) override { return CLR_INVALID; }

  void TextOut(int x, int y, std::string_view text) override;
  TSize TextExtent(std::string_view text) override;
  TDCTextMetrics TextMetrics() override;

  void BeginPath() override { Add(TDCOp::BeginPath); }
  void EndPath() override { Add(TDCOp::EndPath); }
  void CloseFigure() override { Add(TDCOp::CloseFigure); }
  void StrokePath() override { Add(TDCOp::StrokePath); }
  void FillPath() override { Add(TDCOp::FillPath); }
  void StrokeAndFillPath() override { Add(TDCOp::StrokeAndFillPath); }
  void WidenPath() override { Add(TDCOp::WidenPath); }

 private:
  const TDCResolvedFont& Resolved();
  TDCRecord& Add(TDCOp op, std::initializer_list<int> args = {});
  TDCRecord& AddRect(TDCOp op, const TRect& r, std::initializer_list<int> more = {});

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
  TPoint pos_;
  bool clipped_ = false;
  std::vector<bool> clipStack_;
};
