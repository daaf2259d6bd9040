// Series marks (per-point formats, texts, sizes, drawing, callouts) and
// the pointer and callout properties.
#include <algorithm>
#include <cmath>

#include "chart/ChartConst.h"
#include "chart/ChartEngine.h"
#include "chart/ChartEngineSeries.h"
#include "platform/Format.h"

using ChartConst::Msg;

// --- Pointers and callouts

TSeriesPointer::TSeriesPointer(TChangeEvent onChange) : TChartPersistent(std::move(onChange)) {}

bool TSeriesPointer::Hits(TSeriesPointerStyle style, int dx, int dy) const {
  return style != psNothing && std::abs(dx) < horizSize_ && std::abs(dy) < vertSize_;
}

TSize TSeriesPointer::LegendHalfSize(const TRect& r, bool withLine) const {
  if (withLine) return {std::min(horizSize_, r.Width() / 3), std::min(vertSize_, r.Height() / 3)};
  return {std::min(horizSize_, r.Width() / 2 + 1), std::min(vertSize_, r.Height() / 2 + 1)};
}

void TSeriesPointer::SetHorizSize(int v) {
  if (v < 1) throw ChartException(ChartConst::Msg(ChartConst::cmPointerSizeMustBeGreaterThanZero));
  Update(horizSize_, v);
}

void TSeriesPointer::SetVertSize(int v) {
  if (v < 1) throw ChartException(ChartConst::Msg(ChartConst::cmPointerSizeMustBeGreaterThanZero));
  Update(vertSize_, v);
}

void TSeriesPointer::Assign(const TSeriesPointer& s) {
  TBatch batch(*this);
  brush_.Assign(s.brush_);
  pen_.Assign(s.pen_);
  gradient_.Assign(s.gradient_);
  SetDark3D(s.dark3D_), SetDraw3D(s.draw3D_), SetInflateMargins(s.inflateMargins_);
  SetHorizSize(s.horizSize_), SetVertSize(s.vertSize_), SetStyle(s.style_);
  SetTransparency(s.transparency_), SetVisible(s.visible_);
}

TCallout::TCallout(TChangeEvent onChange) : TSeriesPointer(std::move(onChange)) {
  draw3D_ = false;
  inflateMargins_ = true;
  style_ = psRectangle;
  visible_ = true;
}

void TCallout::Assign(const TCallout& s) {
  TBatch batch(*this);
  TSeriesPointer::Assign(s);
  arrow_.Assign(s.arrow_);
  SetArrowHead(s.arrowHead_), SetArrowHeadSize(s.arrowHeadSize_), SetDistance(s.distance_);
}

TMarksCallout::TMarksCallout(TChangeEvent onChange) : TCallout(std::move(onChange)) { visible_ = false; }

void TMarksCallout::Assign(const TMarksCallout& s) {
  TBatch batch(*this);
  TCallout::Assign(s);
  SetLength(s.length_);
}

// --- Marks

TSeriesMarks::TSeriesMarks(IMarksHost* host)
    : TMarksShape(
          [this](TChartPersistent*) {
            if (host_) host_->MarksChanged();
          },
          clInfoBk),
      host_(host) {
  SetVisible(false);
}

TMarksCallout& TSeriesMarks::Callout() {
  if (!callout_) callout_ = std::make_unique<TMarksCallout>(Forward());
  return *callout_;
}

TSeriesMarksSymbol& TSeriesMarks::Symbol() {
  if (!symbol_) symbol_ = std::make_unique<TSeriesMarksSymbol>(Forward());
  return *symbol_;
}

TMarksItem& TSeriesMarks::Item(int index) {
  if (index < 0) {
    // No point has a negative index: a default item that belongs to none, so
    // callers never get nothing and nothing outside the list is touched.
    detached_ = std::make_unique<TMarksItem>();
    return *detached_;
  }
  if (index >= int(items_.size())) items_.resize(size_t(index) + 1);
  auto& slot = items_[size_t(index)];
  if (!slot) {
    slot = std::make_unique<TMarksItem>(Forward());
    TChartShadow& shadow = slot->Shadow();
    shadow.SetColor(clGray);
    shadow.SetSize(1);
  }
  return *slot;
}

bool TSeriesMarks::HasItem(int index) const {
  return index >= 0 && index < int(items_.size()) && items_[size_t(index)] != nullptr;
}

TTextShape& TSeriesMarks::FormatOf(int index) {
  if (HasItem(index)) return *items_[size_t(index)];
  return *this;
}

void TSeriesMarks::Clear() {
  positions_.clear();
  if (!ItemsFromForm) items_.clear();
}

int TSeriesMarks::HitTest(int x, int y) const {
  for (int i = 0; i < int(positions_.size()); i += drawEvery_) {
    const TRect r = positions_[size_t(i)].Bounds();
    if (x >= r.Left && x <= r.Right && y >= r.Top && y <= r.Bottom) return i;
  }
  return -1;
}

std::string TSeriesMarks::TextOf(int i) {
  if (!host_) return {};
  const std::string s(1, Separator());
  auto label = [&] { return host_->MarkLabel(i); };
  auto percentTotal = [&] {
    const std::string& pattern =
        Msg(multiLine_ ? ChartConst::cmPercentOfMultiLine : ChartConst::cmPercentOf);
    std::string out = pattern;
    out.replace(out.find("%s"), 2, host_->MarkPercentText(i));
    out.replace(out.find("%s"), 2, host_->MarkTotalText());
    return out;
  };
  switch (style_) {
    case smsValue: return host_->MarkValueText(i);
    case smsPercent: return host_->MarkPercentText(i);
    case smsLabel: {
      std::string l = label();
      return l.empty() ? host_->MarkValueText(i) : l;
    }
    case smsLabelPercent: return label() + s + host_->MarkPercentText(i);
    case smsLabelValue: return label() + s + host_->MarkValueText(i);
    case smsLegend: {
      std::string l = host_->MarkLegendText(i);
      // The legend's columns become the mark's parts: lines, or words.
      std::replace(l.begin(), l.end(), ChartConst::kColumnSeparator, Separator());
      return l;
    }
    case smsPercentTotal: return percentTotal();
    case smsLabelPercentTotal: return label() + s + percentTotal();
    case smsXValue: return host_->MarkXValueText(i);
    case smsXY: return host_->MarkXValueText(i) + s + host_->MarkValueText(i);
  }
  return {};
}

TSize TSeriesMarks::MarkSize(std::string_view text) {
  if (!host_) return {};
  ITextMeasure& m = host_->MarksMeasure();
  const TSize lines = MultiLineTextSize(m, Font(), text);
  const int h = m.FontHeight(Font());
  int w = lines.cx + m.TextWidth(Font(), "W");
  if (symbol_ && symbol_->Visible()) w += h - 4;
  const int frame = 2 * (Frame().Visible() ? Frame().Width() : 1);
  return {w + frame, h * lines.cy + frame};
}

void TSeriesMarks::DrawCallout(TChartCanvas3D& c, const TSeriesMarkPosition& p, TColor color) {
  TMarksCallout& co = Callout();
  const bool is3D = c.View3DActive;
  if (co.Arrow().Visible()) {
    c.SetBrushStyle(bsSolid);
    co.PrepareCanvas(c, color);
    c.PreparePen(co.Arrow());
    if (co.ArrowHead() != ahNone)
      c.Arrow(co.ArrowHead() == ahSolid, p.ArrowFrom, p.ArrowTo, co.ArrowHeadSize(), co.ArrowHeadSize(), ZPosition);
    else if (is3D)
      c.LineAtDepth(p.ArrowFrom.X, p.ArrowFrom.Y, p.ArrowTo.X, p.ArrowTo.Y, ZPosition);
    else
      c.Line(p.ArrowFrom.X, p.ArrowFrom.Y, p.ArrowTo.X, p.ArrowTo.Y);
  }
  // A plain line ends at the point in the pointer's shape.
  if (co.ArrowHead() == ahNone && co.Visible()) {
    co.PrepareCanvas(c, color);
    co.DrawShape(c, is3D, p.ArrowFrom, {co.HorizSize(), co.VertSize()}, co.Style(), {ZPosition, ZPosition, ZPosition});
  }
}

void TSeriesMarks::PaintOneMark(int index, TColor color, const std::string& text, TSeriesMarkPosition position) {
  if (index < 0 || !host_) return;
  TChartCanvas3D* canvas = host_->MarksCanvas();
  if (!canvas) return;
  TChartCanvas3D& c = *canvas;
  // 1. A position placed by hand (dragged) keeps its place and arrow start.
  if (index >= int(positions_.size())) positions_.resize(size_t(index) + 1);
  TSeriesMarkPosition& stored = positions_[size_t(index)];
  if (stored.Custom) position = stored;
  else stored = position;
  TTextShape& format = FormatOf(index);
  // 3. The callout arrow.
  if (callout_ && (callout_->Visible() || callout_->Arrow().Visible())) DrawCallout(c, position, color);
  // 4-6. The box.
  if (format.Transparent()) {
    c.SetBrushStyle(bsClear);
    c.SetBackgroundMode(cbmTransparent);
  }
  // In 3-D the box and its text move as the arrow's end does at the marks'
  // depth, so the box sits where the arrow ends, in the size it was measured.
  TRect r = position.Bounds();
  TPoint shift{0, 0};
  if (c.View3DActive) {
    const TPoint to = c.ProjectToPoint(position.ArrowTo.X, position.ArrowTo.Y, ZPosition);
    shift = {to.X - position.ArrowTo.X, to.Y - position.ArrowTo.Y};
    r = {r.Left + shift.X, r.Top + shift.Y, r.Right + shift.X, r.Bottom + shift.Y};
  }
  format.PaintShape(c, r, angle_ % 360);
  ITextMeasure& m = host_->MarksMeasure();
  const int h = m.FontHeight(format.Font());
  // 7. The symbol in the point's colour.
  int textLeft = r.Left + 2;
  if (symbol_ && symbol_->Visible()) {
    symbol_->SetColor(color);
    symbol_->SetTransparent(false);
    symbol_->PaintShape(c, {r.Left + 4, r.Top + 3, r.Left + h - 1, r.Top + h - 2}, 0);
    textLeft += (h - 4) + 4;
  }
  // 8. The text, line by line, centred in the room left of the symbol.
  c.SetBrushStyle(bsClear);
  c.SetBackgroundMode(cbmTransparent);
  c.SetTextAlign(TA_CENTER | TA_TOP);
  c.PrepareFont(format.Font());
  const int x = (textLeft + r.Right) / 2 + (angle_ % 360 == 90 ? 2 : 0);
  int y = r.Top + 1;
  for (const std::string& line : SplitLines(text)) {
    if (angle_ % 360 != 0) c.RotatedText(x, y, line, angle_ % 360);
    else c.TextOut(x, y, line);
    y += h;
  }
}

void TSeriesMarks::Assign(const TSeriesMarks& s) {
  TBatch batch(*this);
  SetAngle(s.angle_);
  SetCallout(s.callout_.get());
  SetClip(s.clip_);
  SetDrawEvery(s.drawEvery_);
  SetStyle(s.style_);
  SetMultiLine(s.multiLine_);
  SetSymbol(s.symbol_.get());
  for (int i = 0; i < int(s.items_.size()); ++i)
    if (s.items_[size_t(i)]) Item(i).Assign(*s.items_[size_t(i)]);
  TTextShape::Assign(s);
}
