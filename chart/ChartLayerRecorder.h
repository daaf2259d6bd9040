#pragma once
// The recorder of one static layer of a chart frame (see TChartCanvas3D's
// layers): a device context over the frame's buffer that takes every
// attribute, clip and position at once but keeps the drawing calls, each with
// the state it was made under, instead of drawing them. Two recordings that
// compare equal draw the same pixels over the same pixels, so a layer whose
// recording matches the last one is taken from the pixels kept then; one that
// differs is replayed onto the buffer.
//
// What needs the pixels already drawn (reading them back, copying from a
// surface, paths, arcs that move the position, texts that move it) ends the
// recording: the owner is asked to draw what was kept, and from then on every
// call goes straight to the buffer ("spilled"). Blends are the exception: they
// are recorded as the start (the background kept) and the end (blended back).
#include <functional>
#include <map>
#include <vector>

#include "platform/PainterDC.h"

class TChartLayerRecorder final : public IDeviceContext {
 public:
  enum class TOp : uint8_t {
    LineTo, Polyline, Polygon, Rectangle, RoundRect, Ellipse, Arc, Pie, FillRect, PatBlt, StretchDraw,
    SetPixel, TextOut, BlendStart, BlendFinish
  };
  struct TCommand {
    TOp Op;
    int Args[7] = {};
    std::vector<TPoint> Points;
    std::string Text;
    QImage Image;
    TPainterDC::TDrawState State;
    bool operator==(const TCommand& o) const;
  };

  // `onSpill` is called once, before the first call that needs the pixels,
  // to put the pixels the layer starts from into the target.
  TChartLayerRecorder(TPainterDC& target, std::function<void()> onSpill);

  const std::vector<TCommand>& Commands() const { return commands_; }
  std::vector<TCommand> TakeCommands() { return std::move(commands_); }
  bool Spilled() const { return spilled_; }
  // Draws the kept calls onto the target; its state is left as it is now.
  void Replay();
  // Ends the recording: Replay, and every later call goes to the target.
  void Spill();

  // A blend's start and end; the returned number names the blend.
  int BlendStart(const TRect& r);
  void BlendFinish(int blend, int percent);

  TSize Size() const override { return t_.Size(); }
  bool IsRaster() const override { return t_.IsRaster(); }
  QImage* Image() override;
  void Flush() override { t_.Flush(); }

  void SetPen(const TDCPen& pen) override { t_.SetPen(pen); }
  const TDCPen& Pen() const override { return t_.Pen(); }
  void SetBrush(const TDCBrush& brush) override { t_.SetBrush(brush); }
  const TDCBrush& Brush() const override { return t_.Brush(); }
  void SetFont(const TDCFont& font) override { t_.SetFont(font); }
  const TDCFont& Font() const override { return t_.Font(); }
  void SetTextColor(TColor color) override { t_.SetTextColor(color); }
  TColor TextColor() const override { return t_.TextColor(); }
  void SetBkColor(TColor color) override { t_.SetBkColor(color); }
  TColor BkColor() const override { return t_.BkColor(); }
  void SetBkMode(TDCBkMode mode) override { t_.SetBkMode(mode); }
  TDCBkMode BkMode() const override { return t_.BkMode(); }
  void SetTextAlign(unsigned flags) override { t_.SetTextAlign(flags); }
  unsigned TextAlign() const override { return t_.TextAlign(); }
  void SetTextCharacterExtra(int extra) override { t_.SetTextCharacterExtra(extra); }
  int TextCharacterExtra() const override { return t_.TextCharacterExtra(); }
  void SetRop2(TDCRop2 rop) override { t_.SetRop2(rop); }
  TDCRop2 Rop2() const override { return t_.Rop2(); }
  void SetMapping(const TDCMapping& mapping) override { t_.SetMapping(mapping); }
  const TDCMapping& Mapping() const override { return t_.Mapping(); }

  void PushClip() override { t_.PushClip(); }
  void PopClip() override { t_.PopClip(); }
  void ClipRect(const TRect& r) override { t_.ClipRect(r); }
  void ClipRoundRect(const TRect& r, int cornerW, int cornerH) override { t_.ClipRoundRect(r, cornerW, cornerH); }
  void ClipPolygon(const TPoint* pts, int count) override { t_.ClipPolygon(pts, count); }
  void ClipEllipse(const TRect& r, bool exclude) override { t_.ClipEllipse(r, exclude); }
  void ClipToPath() override;
  bool HasClip() const override { return t_.HasClip(); }

  void MoveTo(int x, int y) override { t_.MoveTo(x, y); }
  void LineTo(int x, int y) override;
  TPoint CurrentPosition() const override { return t_.CurrentPosition(); }
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
  TSize TextExtent(std::string_view text) override { return t_.TextExtent(text); }
  TDCTextMetrics TextMetrics() override { return t_.TextMetrics(); }

  void BeginPath() override;
  void EndPath() override;
  void CloseFigure() override;
  void StrokePath() override;
  void FillPath() override;
  void StrokeAndFillPath() override;
  void WidenPath() override;

 private:
  // Keeps a call; false once spilled (the caller then draws it itself).
  bool Keep(TOp op, std::initializer_list<int> args, const TPoint* pts = nullptr, int count = 0);
  void Execute(const TCommand& c);
  void DoBlendStart(int blend, const TRect& r);
  void DoBlendFinish(int blend, int percent);

  TPainterDC& t_;
  std::function<void()> onSpill_;
  std::vector<TCommand> commands_;
  bool spilled_ = false;
  int blends_ = 0;
  struct TKeptBackground {
    TRect Rect;
    QImage Pixels;
  };
  std::map<int, TKeptBackground> backgrounds_;
};
