#include "platform/RecordingDC.h"

#include "platform/DCSupport.h"

TRecordingDC::TRecordingDC(TSize size) : size_(size) {}

// Fonts are resolved only when a text is measured, so recording shapes needs
// no font machinery.
const TDCResolvedFont& TRecordingDC::Resolved() {
  if (!font_) font_ = ResolveFont(fontDesc_);
  return *font_;
}

TRecordingDC::~TRecordingDC() = default;

std::vector<const TDCRecord*> TRecordingDC::Of(TDCOp op) const {
  std::vector<const TDCRecord*> out;
  for (const TDCRecord& r : List)
    if (r.Op == op) out.push_back(&r);
  return out;
}

TDCRecord& TRecordingDC::Add(TDCOp op, std::initializer_list<int> args) {
  List.push_back(TDCRecord{op, std::vector<int>(args), {}, {}, pen_, brush_, {}, {}});
  return List.back();
}

TDCRecord& TRecordingDC::AddRect(TDCOp op, const TRect& r, std::initializer_list<int> more) {
  TDCRecord& rec = Add(op, {r.Left, r.Top, r.Right, r.Bottom});
  rec.Args.insert(rec.Args.end(), more);
  return rec;
}

// --- Attributes: recorded when they change

namespace {

template <class T>
bool Changes(T& field, const T& value) {
  if (field == value) return false;
  field = value;
  return true;
}

}  // namespace

void TRecordingDC::SetPen(const TDCPen& pen) {
  if (Changes(pen_, pen)) Add(TDCOp::SetPen);
}

void TRecordingDC::SetBrush(const TDCBrush& brush) {
  if (Changes(brush_, brush)) Add(TDCOp::SetBrush);
}

void TRecordingDC::SetFont(const TDCFont& font) {
  if (!Changes(fontDesc_, font)) return;
  font_.reset();
  Add(TDCOp::SetFont).Font = font;
}

void TRecordingDC::SetTextColor(TColor color) {
  if (Changes(textColor_, color)) Add(TDCOp::SetTextColor, {int(color)});
}

void TRecordingDC::SetBkColor(TColor color) {
  if (Changes(bkColor_, color)) Add(TDCOp::SetBkColor, {int(color)});
}

void TRecordingDC::SetBkMode(TDCBkMode mode) {
  if (Changes(bkMode_, mode)) Add(TDCOp::SetBkMode, {int(mode)});
}

void TRecordingDC::SetTextAlign(unsigned flags) {
  if (Changes(align_, flags)) Add(TDCOp::SetTextAlign, {int(flags)});
}

void TRecordingDC::SetTextCharacterExtra(int extra) {
  if (Changes(charExtra_, extra)) Add(TDCOp::SetTextCharacterExtra, {extra});
}

void TRecordingDC::SetRop2(TDCRop2 rop) {
  if (Changes(rop_, rop)) Add(TDCOp::SetRop2, {int(rop)});
}

void TRecordingDC::SetMapping(const TDCMapping& m) {
  if (!Changes(mapping_, m)) return;
  Add(TDCOp::SetMapping, {m.WindowOrg.X, m.WindowOrg.Y, m.WindowExt.X, m.WindowExt.Y,
                          m.ViewportOrg.X, m.ViewportOrg.Y, m.ViewportExt.X, m.ViewportExt.Y});
}

// --- Clipping

void TRecordingDC::PushClip() {
  clipStack_.push_back(clipped_);
  Add(TDCOp::PushClip);
}

void TRecordingDC::PopClip() {
  clipped_ = !clipStack_.empty() && clipStack_.back();
  if (!clipStack_.empty()) clipStack_.pop_back();
  Add(TDCOp::PopClip);
}

void TRecordingDC::ClipRect(const TRect& r) {
  clipped_ = true;
  AddRect(TDCOp::ClipRect, r);
}

void TRecordingDC::ClipRoundRect(const TRect& r, int cornerW, int cornerH) {
  clipped_ = true;
  AddRect(TDCOp::ClipRoundRect, r, {cornerW, cornerH});
}

void TRecordingDC::ClipPolygon(const TPoint* pts, int count) {
  clipped_ = true;
  Add(TDCOp::ClipPolygon).Points.assign(pts, pts + count);
}

void TRecordingDC::ClipEllipse(const TRect& r, bool exclude) {
  clipped_ = true;
  AddRect(TDCOp::ClipEllipse, r, {int(exclude)});
}

void TRecordingDC::ClipToPath() {
  clipped_ = true;
  Add(TDCOp::ClipToPath);
}

// --- Drawing

void TRecordingDC::MoveTo(int x, int y) {
  pos_ = {x, y};
  Add(TDCOp::MoveTo, {x, y});
}

void TRecordingDC::LineTo(int x, int y) {
  pos_ = {x, y};
  Add(TDCOp::LineTo, {x, y});
}

void TRecordingDC::Polyline(const TPoint* pts, int count) {
  Add(TDCOp::Polyline).Points.assign(pts, pts + count);
}

void TRecordingDC::Polygon(const TPoint* pts, int count) {
  Add(TDCOp::Polygon).Points.assign(pts, pts + count);
}

void TRecordingDC::Rectangle(const TRect& r) { AddRect(TDCOp::Rectangle, r); }

void TRecordingDC::RoundRect(const TRect& r, int cornerW, int cornerH) {
  AddRect(TDCOp::RoundRect, r, {cornerW, cornerH});
}

void TRecordingDC::Ellipse(const TRect& r) { AddRect(TDCOp::Ellipse, r); }

void TRecordingDC::Arc(const TRect& r, TPoint start, TPoint end) {
  AddRect(TDCOp::Arc, r, {start.X, start.Y, end.X, end.Y});
}

void TRecordingDC::ArcTo(const TRect& r, TPoint start, TPoint end, bool clockwise) {
  AddRect(TDCOp::ArcTo, r, {start.X, start.Y, end.X, end.Y, int(clockwise)});
  // The position ends on the ellipse at the end radial, as the painter computes it.
  const TArcAngles a = ArcAngles(r, start, end, clockwise);
  QPainterPath p;
  p.arcMoveTo(QRectF(r.Left, r.Top, r.Width() - 1, r.Height() - 1), a.Start + a.Span);
  pos_ = {int(std::lround(p.currentPosition().x())), int(std::lround(p.currentPosition().y()))};
}

void TRecordingDC::Pie(const TRect& r, TPoint start, TPoint end) {
  AddRect(TDCOp::Pie, r, {start.X, start.Y, end.X, end.Y});
}

void TRecordingDC::FillRect(const TRect& r) { AddRect(TDCOp::FillRect, r); }

void TRecordingDC::PatBlt(const TRect& r, TDCRop3 rop) { AddRect(TDCOp::PatBlt, r, {int(rop)}); }

void TRecordingDC::BitBlt(int x, int y, int w, int h, IDeviceContext& src, int sx, int sy, TDCRop3 rop) {
  src.Flush();
  TDCRecord& rec = Add(TDCOp::BitBlt, {x, y, w, h, sx, sy, int(rop)});
  if (const QImage* img = src.Image()) rec.Image = img->copy(sx, sy, w, h);
}

void TRecordingDC::StretchDraw(const TRect& r, const QImage& image) {
  AddRect(TDCOp::StretchDraw, r).Image = image;
}

void TRecordingDC::SetPixel(int x, int y, TColor color) { Add(TDCOp::SetPixel, {x, y, int(color)}); }

void TRecordingDC::TextOut(int x, int y, std::string_view text) {
  TDCRecord& rec = Add(TDCOp::TextOut, {x, y});
  rec.Text = text;
  rec.Font = fontDesc_;
  if (align_ & TA_UPDATECP) {
    const int w = TextWidth(Resolved(), text, charExtra_);
    const unsigned h = align_ & TA_CENTER;
    pos_.X += h == TA_RIGHT ? -w : h == TA_CENTER ? 0 : w;
  }
}

TSize TRecordingDC::TextExtent(std::string_view text) {
  return {TextWidth(Resolved(), text, charExtra_), Resolved().Text.Height};
}

TDCTextMetrics TRecordingDC::TextMetrics() { return Resolved().Text; }
