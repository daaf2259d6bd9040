#include "chart/ChartLayerRecorder.h"

#include <algorithm>

#include "chart/ChartCanvas.h"

bool TChartLayerRecorder::TCommand::operator==(const TCommand& o) const {
  return Op == o.Op && std::equal(Args, Args + 7, o.Args) && Points == o.Points && Text == o.Text &&
         (Image.cacheKey() == o.Image.cacheKey() || Image == o.Image) && State == o.State;
}

TChartLayerRecorder::TChartLayerRecorder(TPainterDC& target, std::function<void()> onSpill)
    : t_(target), onSpill_(std::move(onSpill)) {}

bool TChartLayerRecorder::Keep(TOp op, std::initializer_list<int> args, const TPoint* pts, int count) {
  if (spilled_) return false;
  TCommand& c = commands_.emplace_back();
  c.Op = op;
  std::copy(args.begin(), args.end(), c.Args);
  if (pts && count > 0) c.Points.assign(pts, pts + count);
  c.State = t_.DrawState();
  return true;
}

void TChartLayerRecorder::Replay() {
  if (commands_.empty()) return;
  const TPainterDC::TDrawState now = t_.DrawState();
  for (const TCommand& c : commands_) Execute(c);
  t_.SetDrawState(now);
}

void TChartLayerRecorder::Spill() {
  if (spilled_) return;
  if (onSpill_) onSpill_();
  Replay();
  spilled_ = true;
}

void TChartLayerRecorder::Execute(const TCommand& c) {
  const int* a = c.Args;
  if (c.Op == TOp::BlendStart) return DoBlendStart(a[0], {a[1], a[2], a[3], a[4]});
  if (c.Op == TOp::BlendFinish) return DoBlendFinish(a[0], a[1]);
  t_.SetDrawState(c.State);
  const TRect r{a[0], a[1], a[2], a[3]};
  switch (c.Op) {
    case TOp::LineTo: t_.LineTo(a[0], a[1]); break;
    case TOp::Polyline: t_.Polyline(c.Points.data(), int(c.Points.size())); break;
    case TOp::Polygon: t_.Polygon(c.Points.data(), int(c.Points.size())); break;
    case TOp::Rectangle: t_.Rectangle(r); break;
    case TOp::RoundRect: t_.RoundRect(r, a[4], a[5]); break;
    case TOp::Ellipse: t_.Ellipse(r); break;
    case TOp::Arc: t_.Arc(r, c.Points[0], c.Points[1]); break;
    case TOp::Pie: t_.Pie(r, c.Points[0], c.Points[1]); break;
    case TOp::FillRect: t_.FillRect(r); break;
    case TOp::PatBlt: t_.PatBlt(r, TDCRop3(a[4])); break;
    case TOp::StretchDraw: t_.StretchDraw(r, c.Image); break;
    case TOp::SetPixel: t_.SetPixel(a[0], a[1], TColor(a[2])); break;
    case TOp::TextOut: t_.TextOut(a[0], a[1], c.Text); break;
    default: break;
  }
}

// --- Blends

int TChartLayerRecorder::BlendStart(const TRect& r) {
  const int blend = blends_++;
  if (!Keep(TOp::BlendStart, {blend, r.Left, r.Top, r.Right, r.Bottom})) DoBlendStart(blend, r);
  return blend;
}

void TChartLayerRecorder::BlendFinish(int blend, int percent) {
  if (!Keep(TOp::BlendFinish, {blend, percent})) DoBlendFinish(blend, percent);
}

void TChartLayerRecorder::DoBlendStart(int blend, const TRect& r) {
  t_.Flush();
  const QImage* image = t_.Image();
  backgrounds_[blend] = {r, image ? image->copy(r.Left, r.Top, r.Width(), r.Height()) : QImage()};
}

void TChartLayerRecorder::DoBlendFinish(int blend, int percent) {
  const auto kept = backgrounds_.find(blend);
  if (kept == backgrounds_.end()) return;
  const TKeptBackground b = std::move(kept->second);
  backgrounds_.erase(kept);
  t_.Flush();
  QImage* image = t_.Image();
  if (!image || b.Pixels.isNull()) return;
  for (int y = 0; y < b.Rect.Height(); ++y) {
    auto* row = reinterpret_cast<uint32_t*>(image->scanLine(b.Rect.Top + y)) + b.Rect.Left;
    BlendPixels(row, reinterpret_cast<const uint32_t*>(b.Pixels.constScanLine(y)), b.Rect.Width(), percent);
  }
}

// --- Calls that need the pixels

QImage* TChartLayerRecorder::Image() {
  Spill();
  return t_.Image();
}

TColor TChartLayerRecorder::GetPixel(int x, int y) {
  Spill();
  return t_.GetPixel(x, y);
}

void TChartLayerRecorder::BitBlt(int x, int y, int w, int h, IDeviceContext& src, int sx, int sy, TDCRop3 rop) {
  Spill();
  t_.BitBlt(x, y, w, h, src, sx, sy, rop);
}

void TChartLayerRecorder::ArcTo(const TRect& r, TPoint start, TPoint end, bool clockwise) {
  Spill();
  t_.ArcTo(r, start, end, clockwise);
}

void TChartLayerRecorder::ClipToPath() {
  Spill();
  t_.ClipToPath();
}

void TChartLayerRecorder::BeginPath() {
  Spill();
  t_.BeginPath();
}

void TChartLayerRecorder::EndPath() {
  Spill();
  t_.EndPath();
}

void TChartLayerRecorder::CloseFigure() {
  Spill();
  t_.CloseFigure();
}

void TChartLayerRecorder::StrokePath() {
  Spill();
  t_.StrokePath();
}

void TChartLayerRecorder::FillPath() {
  Spill();
  t_.FillPath();
}

void TChartLayerRecorder::StrokeAndFillPath() {
  Spill();
  t_.StrokeAndFillPath();
}

void TChartLayerRecorder::WidenPath() {
  Spill();
  t_.WidenPath();
}

// --- Kept calls

void TChartLayerRecorder::LineTo(int x, int y) {
  if (!Keep(TOp::LineTo, {x, y})) return t_.LineTo(x, y);
  t_.MoveTo(x, y);  // where the line leaves the position
}

void TChartLayerRecorder::Polyline(const TPoint* pts, int count) {
  if (!Keep(TOp::Polyline, {}, pts, count)) t_.Polyline(pts, count);
}

void TChartLayerRecorder::Polygon(const TPoint* pts, int count) {
  if (!Keep(TOp::Polygon, {}, pts, count)) t_.Polygon(pts, count);
}

void TChartLayerRecorder::Rectangle(const TRect& r) {
  if (!Keep(TOp::Rectangle, {r.Left, r.Top, r.Right, r.Bottom})) t_.Rectangle(r);
}

void TChartLayerRecorder::RoundRect(const TRect& r, int cornerW, int cornerH) {
  if (!Keep(TOp::RoundRect, {r.Left, r.Top, r.Right, r.Bottom, cornerW, cornerH})) t_.RoundRect(r, cornerW, cornerH);
}

void TChartLayerRecorder::Ellipse(const TRect& r) {
  if (!Keep(TOp::Ellipse, {r.Left, r.Top, r.Right, r.Bottom})) t_.Ellipse(r);
}

void TChartLayerRecorder::Arc(const TRect& r, TPoint start, TPoint end) {
  const TPoint radials[2] = {start, end};
  if (!Keep(TOp::Arc, {r.Left, r.Top, r.Right, r.Bottom}, radials, 2)) t_.Arc(r, start, end);
}

void TChartLayerRecorder::Pie(const TRect& r, TPoint start, TPoint end) {
  const TPoint radials[2] = {start, end};
  if (!Keep(TOp::Pie, {r.Left, r.Top, r.Right, r.Bottom}, radials, 2)) t_.Pie(r, start, end);
}

void TChartLayerRecorder::FillRect(const TRect& r) {
  if (!Keep(TOp::FillRect, {r.Left, r.Top, r.Right, r.Bottom})) t_.FillRect(r);
}

void TChartLayerRecorder::PatBlt(const TRect& r, TDCRop3 rop) {
  if (!Keep(TOp::PatBlt, {r.Left, r.Top, r.Right, r.Bottom, int(rop)})) t_.PatBlt(r, rop);
}

void TChartLayerRecorder::StretchDraw(const TRect& r, const QImage& image) {
  if (!Keep(TOp::StretchDraw, {r.Left, r.Top, r.Right, r.Bottom})) return t_.StretchDraw(r, image);
  commands_.back().Image = image;
}

void TChartLayerRecorder::SetPixel(int x, int y, TColor color) {
  if (!Keep(TOp::SetPixel, {x, y, int(color)})) t_.SetPixel(x, y, color);
}

void TChartLayerRecorder::TextOut(int x, int y, std::string_view text) {
  // A text that moves the position needs its width on the surface now.
  if (t_.TextAlign() & TA_UPDATECP) Spill();
  if (!Keep(TOp::TextOut, {x, y})) return t_.TextOut(x, y, text);
  commands_.back().Text = text;
}
