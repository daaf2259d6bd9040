#include "platform/PainterDC.h"

#include <QPaintDevice>
#include <QPainterPathStroker>

#include <algorithm>
#include <cmath>

#include "platform/DCSupport.h"

namespace {

QColor QtColor(TColor c) {
  c = ColorToRGB(c);
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

TRect Normalized(const TRect& r) {
  return {std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
          std::max(r.Top, r.Bottom)};
}

// Scale: device pixels per logical unit. A pen of width 1 is one logical unit
// wide, so it grows with an enlarging mapping (a printed page) like any wider
// pen; width 0 stays the thinnest line of the device.
QPen MakeQPen(const TDCPen& p, double scale) {
  if (p.Style == TDCPenStyle::Clear) return QPen(Qt::NoPen);
  const bool cosmetic = p.Width == 0 || (p.Width == 1 && scale <= 1) || p.Style == TDCPenStyle::Alternate;
  QPen pen(QtColor(p.Color), cosmetic ? 0 : p.Width);
  if (cosmetic) {
    // Both end pixels drawn; open lines are shortened by their end pixel
    // (Qt itself would leave out whichever end lies right or below).
    pen.setCapStyle(Qt::SquareCap);
    switch (p.Style) {
      case TDCPenStyle::Dash: pen.setDashPattern({18, 6}); break;
      case TDCPenStyle::Dot: pen.setDashPattern({3, 3}); break;
      case TDCPenStyle::DashDot: pen.setDashPattern({9, 6, 3, 6}); break;
      case TDCPenStyle::DashDotDot: pen.setDashPattern({9, 3, 3, 3, 3, 3}); break;
      case TDCPenStyle::Alternate: pen.setDashPattern({1, 1}); break;
      default: break;
    }
    return pen;
  }
  static constexpr Qt::PenCapStyle kCaps[] = {Qt::RoundCap, Qt::SquareCap, Qt::FlatCap};
  static constexpr Qt::PenJoinStyle kJoins[] = {Qt::RoundJoin, Qt::BevelJoin, Qt::MiterJoin};
  pen.setCapStyle(kCaps[int(p.Cap)]);
  pen.setJoinStyle(kJoins[int(p.Join)]);
  switch (p.Style) {  // dash lengths in pen widths
    case TDCPenStyle::Dash: pen.setDashPattern({3, 1}); break;
    case TDCPenStyle::Dot: pen.setDashPattern({1, 1}); break;
    case TDCPenStyle::DashDot: pen.setDashPattern({3, 1, 1, 1}); break;
    case TDCPenStyle::DashDotDot: pen.setDashPattern({3, 1, 1, 1, 1, 1}); break;
    default: break;
  }
  return pen;
}

// The pixel before `to` on the line from `from`: where a cosmetic line ends.
QPoint BeforeEnd(QPoint from, QPoint to) {
  const int dx = to.x() - from.x(), dy = to.y() - from.y();
  if (std::abs(dx) >= std::abs(dy)) {
    const int x = to.x() - (dx > 0 ? 1 : -1);
    return {x, from.y() + int(std::nearbyint(double(x - from.x()) * dy / dx))};
  }
  const int y = to.y() - (dy > 0 ? 1 : -1);
  return {from.x() + int(std::nearbyint(double(y - from.y()) * dx / dy)), y};
}

// The rectangle from (l, t) up to, not including, (r, b), whichever way round.
QRect Span(int l, int t, int r, int b) {
  return QRect(QPoint(std::min(l, r), std::min(t, b)), QPoint(std::max(l, r) - 1, std::max(t, b) - 1));
}

QRect PointsBox(const TPoint* pts, int count) {
  if (count <= 0) return {};
  int l = pts[0].X, t = pts[0].Y, r = l, b = t;
  for (int i = 1; i < count; ++i)
    l = std::min(l, pts[i].X), t = std::min(t, pts[i].Y), r = std::max(r, pts[i].X), b = std::max(b, pts[i].Y);
  return QRect(QPoint(l, t), QPoint(r, b));
}

QRegion RegionOf(const QPainterPath& path, const QTransform& xf) {
  QRegion region;
  for (const QPolygonF& poly : path.toFillPolygons(xf))
    region = region.xored(QRegion(poly.toPolygon(), Qt::OddEvenFill));
  return region;
}

}  // namespace

TPainterDC::TPainterDC(QPaintDevice* device) {
  if (device->devType() == QInternal::Image) image_ = static_cast<QImage*>(device);
  size_ = {device->width(), device->height()};
  painter_.begin(device);
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
  painter_.setBackgroundMode(Qt::TransparentMode);
  qpen_ = MakeQPen(pen_, 1);
  font_ = ResolveFont(fontDesc_);
  // The buffer the raster engine writes into (begin() has made it ours).
  if (image_ && painter_.isActive() && image_->devicePixelRatio() == 1.0 &&
      (image_->format() == QImage::Format_RGB32 || image_->format() == QImage::Format_ARGB32 ||
       image_->format() == QImage::Format_ARGB32_Premultiplied)) {
    bits_ = image_->bits();
    stride_ = image_->bytesPerLine();
  }
  UpdateDirectRuns();
}

TPainterDC::~TPainterDC() { painter_.end(); }

void TPainterDC::TTouched::Add(const QRect& r) {
  constexpr size_t kMaxRects = 8;
  if (Anywhere || r.isEmpty()) return;
  auto cost = [](const QRect& q) { return int64_t(q.width()) * q.height(); };
  // Into the rectangle it grows least; a new one while there is room and
  // joining would add more than its own pixels.
  size_t best = Rects.size();
  int64_t growth = 0;
  for (size_t i = 0; i < Rects.size(); ++i) {
    const int64_t g = cost(Rects[i] | r) - cost(Rects[i]);
    if (best == Rects.size() || g < growth) best = i, growth = g;
    if (g == 0) return;
  }
  if (best == Rects.size() || (Rects.size() < kMaxRects && growth > cost(r))) Rects.push_back(r);
  else Rects[best] |= r;
}

void TPainterDC::Mark(QRect r, bool outlined) {
  if (!touched_) return;
  if (!identity_) {
    touched_->Anywhere = true;
    return;
  }
  // A pen reaches its width past the points it joins, further at the
  // corners of a wide one; one pixel more for the end pixels.
  const int reach = outlined && qpen_.style() != Qt::NoPen ? 2 * std::max(1, pen_.Width) + 2 : 1;
  r.adjust(-reach, -reach, reach, reach);
  if (clip_) r &= clip_->boundingRect();
  touched_->Add(r & QRect(0, 0, size_.cx, size_.cy));
}

bool TPainterDC::TDrawState::operator==(const TDrawState& o) const {
  // A pattern is compared by its pixels: an equal picture made anew draws the same.
  const bool brushes = Brush.Style == o.Brush.Style && Brush.Color == o.Brush.Color &&
                       (Brush.Pattern.cacheKey() == o.Brush.Pattern.cacheKey() || Brush.Pattern == o.Brush.Pattern);
  return brushes && Pen == o.Pen && Font == o.Font && TextColor == o.TextColor && BkColor == o.BkColor &&
         BkMode == o.BkMode && Align == o.Align && CharExtra == o.CharExtra && Rop == o.Rop && Mapping == o.Mapping &&
         Pos == o.Pos && Clip == o.Clip;
}

TPainterDC::TDrawState TPainterDC::DrawState() const {
  return {pen_, brush_, fontDesc_, textColor_, bkColor_, bkMode_, align_, charExtra_, rop_, mapping_, pos_, clip_};
}

void TPainterDC::SetDrawState(const TDrawState& s) {
  SetMapping(s.Mapping);
  SetPen(s.Pen);
  SetBrush(s.Brush);
  SetFont(s.Font);
  SetTextColor(s.TextColor);
  SetBkColor(s.BkColor);
  SetBkMode(s.BkMode);
  SetTextAlign(s.Align);
  SetTextCharacterExtra(s.CharExtra);
  if (s.Rop != rop_) SetRop2(s.Rop);
  pos_ = s.Pos;
  if (s.Clip != clip_) {
    clip_ = s.Clip;
    ApplyClip();
  }
}

// --- Attributes

void TPainterDC::SetPen(const TDCPen& pen) {
  if (pen == pen_) return;
  pen_ = pen;
  RemakePen();
}

void TPainterDC::RemakePen() {
  qpen_ = MakeQPen(pen_, penScale_);
  cosmetic_ = qpen_.style() != Qt::NoPen && qpen_.widthF() == 0;
  if (active_ == Active::Shape) active_ = Active::None;
  UpdateDirectRuns();
}

void TPainterDC::SetBrush(const TDCBrush& brush) {
  if (brush == brush_) return;
  brush_ = brush;
  brushDirty_ = true;
}

void TPainterDC::SetFont(const TDCFont& font) {
  if (font == fontDesc_) return;
  fontDesc_ = font;
  font_ = ResolveFont(font);
  fontApplied_ = false;
}

void TPainterDC::SetTextColor(TColor color) {
  if (color == textColor_) return;
  textColor_ = color;
  if (active_ == Active::Text) active_ = Active::None;
}

void TPainterDC::SetBkColor(TColor color) {
  if (color == bkColor_) return;
  bkColor_ = color;
  brushDirty_ = true;  // hatches use it
}

void TPainterDC::SetBkMode(TDCBkMode mode) {
  if (mode == bkMode_) return;
  bkMode_ = mode;
  brushDirty_ = true;
}

void TPainterDC::SetTextCharacterExtra(int extra) {
  if (extra == charExtra_) return;
  charExtra_ = extra;
  fontApplied_ = false;
}

void TPainterDC::SetRop2(TDCRop2 rop) {
  rop_ = rop;
  UpdateDirectRuns();
}

void TPainterDC::SetMapping(const TDCMapping& m) {
  if (m == mapping_) return;
  mapping_ = m;
  identity_ = m == TDCMapping{};
  const double sx = m.WindowExt.X ? double(m.ViewportExt.X) / m.WindowExt.X : 1.0;
  const double sy = m.WindowExt.Y ? double(m.ViewportExt.Y) / m.WindowExt.Y : 1.0;
  xf_ = QTransform(sx, 0, 0, sy, m.ViewportOrg.X - m.WindowOrg.X * sx,
                   m.ViewportOrg.Y - m.WindowOrg.Y * sy);
  painter_.setWorldTransform(xf_);
  ApplyClip();
  penScale_ = std::max(std::abs(sx), std::abs(sy));
  if (pen_.Width == 1) RemakePen();
  UpdateDirectRuns();
}

QPainter::CompositionMode TPainterDC::RopMode() const {
  if (!image_) return QPainter::CompositionMode_SourceOver;
  static constexpr QPainter::CompositionMode kModes[] = {
      QPainter::RasterOp_ClearDestination,          // Black
      QPainter::RasterOp_NotSourceAndNotDestination,  // NotMergePen
      QPainter::RasterOp_NotSourceAndDestination,   // MaskNotPen
      QPainter::RasterOp_NotSource,                 // NotCopyPen
      QPainter::RasterOp_SourceAndNotDestination,   // MaskPenNot
      QPainter::RasterOp_NotDestination,            // Not
      QPainter::RasterOp_SourceXorDestination,      // XorPen
      QPainter::RasterOp_NotSourceOrNotDestination,  // NotMaskPen
      QPainter::RasterOp_SourceAndDestination,      // MaskPen
      QPainter::RasterOp_NotSourceXorDestination,   // NotXorPen
      QPainter::CompositionMode_Destination,        // Nop
      QPainter::RasterOp_NotSourceOrDestination,    // MergeNotPen
      QPainter::CompositionMode_SourceOver,         // CopyPen
      QPainter::RasterOp_SourceOrNotDestination,    // MergePenNot
      QPainter::RasterOp_SourceOrDestination,       // MergePen
      QPainter::RasterOp_SetDestination,            // White
  };
  return kModes[int(rop_) - 1];
}

void TPainterDC::ApplyComposition(QPainter::CompositionMode mode) {
  if (mode == composition_) return;
  composition_ = mode;
  painter_.setCompositionMode(mode);
}

void TPainterDC::UseShapePen() {
  if (active_ != Active::Shape) {
    painter_.setPen(qpen_);
    active_ = Active::Shape;
  }
  UseBrush();
  ApplyComposition(RopMode());
}

void TPainterDC::UseBrush() {
  if (!brushDirty_) return;
  qbrush_ = MakeBrush();
  painter_.setBrush(qbrush_);
  brushDirty_ = false;
}

void TPainterDC::UseTextPen() {
  if (active_ != Active::Text) {
    painter_.setPen(QtColor(textColor_));
    active_ = Active::Text;
  }
  if (!fontApplied_) {
    QFont f = font_->Font;
    if (charExtra_) f.setLetterSpacing(QFont::AbsoluteSpacing, charExtra_);
    painter_.setFont(f);
    fontApplied_ = true;
  }
  ApplyComposition(QPainter::CompositionMode_SourceOver);  // text ignores the raster operation
}

QBrush TPainterDC::MakeBrush() const {
  switch (brush_.Style) {
    case TDCBrushStyle::Solid: return QBrush(QtColor(brush_.Color));
    case TDCBrushStyle::Clear: return QBrush(Qt::NoBrush);
    case TDCBrushStyle::Pattern:
      return brush_.Pattern.isNull() ? QBrush(QtColor(brush_.Color)) : QBrush(brush_.Pattern);
    default: break;
  }
  const uint8_t* bits = HatchBits(brush_.Style);
  QImage tile(8, 8, QImage::Format_ARGB32_Premultiplied);
  const QRgb on = QtColor(brush_.Color).rgb();
  const QRgb off = bkMode_ == TDCBkMode::Opaque ? QtColor(bkColor_).rgb() : 0;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) tile.setPixel(x, y, (bits[y] & (0x80 >> x)) ? on : off);
  return QBrush(tile);
}

// --- Clipping

void TPainterDC::ApplyClip() {
  // No clip is the whole surface, not Qt::NoClip: the raster engine frees a
  // complex clip on NoClip but its pen and brush fills keep reading it, and
  // after setClipping(false) a later complex clip is ignored by solid fills.
  // Replacing one clip by another refreshes them.
  const QRegion& region = clip_ ? *clip_ : QRegion(0, 0, size_.cx, size_.cy);
  if (identity_) {
    painter_.setClipRegion(region);
    return;
  }
  painter_.resetTransform();
  painter_.setClipRegion(region);
  painter_.setWorldTransform(xf_);
}

void TPainterDC::Narrow(const QRegion& device, bool exclude) {
  const QRegion base = clip_ ? *clip_ : QRegion(0, 0, size_.cx, size_.cy);
  clip_ = exclude ? base.subtracted(device) : base.intersected(device);
  ApplyClip();
}

void TPainterDC::PushClip() { clipStack_.push_back(clip_); }

void TPainterDC::PopClip() {
  if (clipStack_.empty()) {
    clip_.reset();
  } else {
    clip_ = std::move(clipStack_.back());
    clipStack_.pop_back();
  }
  ApplyClip();
}

void TPainterDC::ClipRect(const TRect& r) {
  const TRect n = Normalized(r);
  QPainterPath p;
  p.addRect(n.Left, n.Top, n.Width(), n.Height());
  Narrow(identity_ ? QRegion(n.Left, n.Top, n.Width(), n.Height()) : RegionOf(p, xf_), false);
}

void TPainterDC::ClipRoundRect(const TRect& r, int cornerW, int cornerH) {
  const TRect n = Normalized(r);
  QPainterPath p;
  p.addRoundedRect(QRectF(n.Left, n.Top, n.Width(), n.Height()), cornerW / 2.0, cornerH / 2.0);
  Narrow(RegionOf(p, xf_), false);
}

void TPainterDC::ClipPolygon(const TPoint* pts, int count) {
  QPolygon poly(count);
  for (int i = 0; i < count; ++i) poly[i] = QPoint(pts[i].X, pts[i].Y);
  Narrow(QRegion(xf_.map(poly), Qt::OddEvenFill), false);
}

void TPainterDC::ClipEllipse(const TRect& r, bool exclude) {
  const TRect n = Normalized(r);
  const QRect dev = xf_.mapRect(QRect(n.Left, n.Top, n.Width(), n.Height()));
  Narrow(QRegion(dev, QRegion::Ellipse), exclude);
}

void TPainterDC::ClipToPath() {
  inPath_ = false;
  Narrow(RegionOf(path_, xf_), false);
  path_ = QPainterPath();
}

// --- Lines and shapes

// A one-pixel pen copying its colour sets exactly the pixels of a vertical or
// horizontal run, end pixels included, its dashes counted from the start:
// those runs (the chart's peak strokes, grid lines and ticks) and, for a
// solid pen, the steep lines into the next column skip the stroker.
void TPainterDC::UpdateDirectRuns() {
  const Qt::PenStyle style = qpen_.style();
  directRuns_ = bits_ && xf_.isIdentity() && cosmetic_ && rop_ == TDCRop2::CopyPen &&
                (style == Qt::SolidLine || style == Qt::CustomDashLine);
  penPixel_ = QtColor(pen_.Color).rgb();  // opaque: the same word in all three formats
  // A cosmetic dash pattern counts whole pixels from the start of each line.
  dashOn_.clear();
  if (directRuns_ && style == Qt::CustomDashLine) {
    const QList<qreal> pattern = qpen_.dashPattern();
    for (qsizetype i = 0; i < pattern.size(); ++i) dashOn_.insert(dashOn_.end(), size_t(pattern[i]), i % 2 == 0);
  }
}

bool TPainterDC::DirectRun(QPoint a, QPoint b) {
  if (!directRuns_) return false;
  auto run = [&](QPoint p, QPoint q) {
    FillDirect(QRect(QPoint(std::min(p.x(), q.x()), std::min(p.y(), q.y())),
                     QPoint(std::max(p.x(), q.x()), std::max(p.y(), q.y()))),
               penPixel_);
  };
  if (a.x() == b.x() || a.y() == b.y()) {
    if (dashOn_.empty()) run(a, b);
    else DashedRun(a, b);
    return true;
  }
  if (!dashOn_.empty()) return false;
  // A steep line into the next column: the stroker keeps the start column up
  // to the last row when it goes right, and leaves it after the first row
  // when it goes left (found row by row for up to kMaxSteepRows rows, away
  // from the surface's and the clip's edges, where it would cut the line).
  const int rows = std::abs(b.y() - a.y());
  if (std::abs(b.x() - a.x()) != 1 || rows < 2 || rows > kMaxSteepRows) return false;
  const QRect image(0, 0, size_.cx, size_.cy);
  const QRect bounds = clip_ ? clip_->boundingRect() & image : image;
  if (!bounds.contains(a) || !bounds.contains(b)) return false;
  const int step = b.y() > a.y() ? 1 : -1;
  if (b.x() > a.x()) {
    run(a, {a.x(), b.y() - step});
    run(b, b);
  } else {
    run(a, a);
    run({b.x(), a.y() + step}, b);
  }
  return true;
}

void TPainterDC::DashedRun(QPoint a, QPoint b) {
  const QRect run = QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                          QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y()))) &
                    QRect(0, 0, size_.cx, size_.cy);
  if (run.isEmpty()) return;
  const bool across = a.y() == b.y();
  const int from = across ? a.x() : a.y(), dir = (across ? b.x() : b.y()) < from ? -1 : 1;
  const size_t period = dashOn_.size();
  auto dashes = [&](const QRect& r) {
    const int lo = across ? r.left() : r.top(), hi = across ? r.right() : r.bottom();
    for (int at = lo; at <= hi; ++at) {
      if (!dashOn_[size_t((at - from) * dir) % period]) continue;
      const int x = across ? at : r.left(), y = across ? r.top() : at;
      reinterpret_cast<uint32_t*>(bits_ + y * stride_)[x] = penPixel_;
    }
  };
  if (!clip_) {
    dashes(run);
  } else {
    for (const QRect& c : *clip_)
      if (const QRect r = run & c; !r.isEmpty()) dashes(r);
  }
}

// An outline-less solid rectangle (a flat step of an area series) fills the
// pixels from its top-left corner up to, not including, its right and bottom
// edges.
bool TPainterDC::DirectRectangle(const QPoint* q) {
  if (!bits_ || !xf_.isIdentity() || rop_ != TDCRop2::CopyPen || brush_.Style != TDCBrushStyle::Solid) return false;
  // Corners in turn, the first edge horizontal or vertical.
  const bool across = q[0].y() == q[1].y() && q[1].x() == q[2].x() && q[2].y() == q[3].y() && q[3].x() == q[0].x();
  const bool down = q[0].x() == q[1].x() && q[1].y() == q[2].y() && q[2].x() == q[3].x() && q[3].y() == q[0].y();
  if (!across && !down) return false;
  const int left = std::min(q[0].x(), q[2].x()), right = std::max(q[0].x(), q[2].x());
  const int top = std::min(q[0].y(), q[2].y()), bottom = std::max(q[0].y(), q[2].y());
  FillDirect(QRect(left, top, right - left, bottom - top), QtColor(brush_.Color).rgb());
  return true;
}

void TPainterDC::FillDirect(const QRect& r, uint32_t pixel) {
  const QRect inImage = r & QRect(0, 0, size_.cx, size_.cy);
  if (inImage.isEmpty()) return;
  auto fill = [&](const QRect& f) {
    uchar* at = bits_ + f.top() * stride_ + f.left() * qsizetype(sizeof(uint32_t));
    const int w = f.width();
    for (int y = f.top(); y <= f.bottom(); ++y, at += stride_) {
      auto* line = reinterpret_cast<uint32_t*>(at);
      if (w == 1) *line = pixel;  // the common vertical stroke
      else std::fill(line, line + w, pixel);
    }
  };
  if (!clip_) fill(inImage);
  else
    for (const QRect& c : *clip_) fill(inImage & c);
}

void TPainterDC::MoveTo(int x, int y) {
  pos_ = {x, y};
  if (inPath_) path_.moveTo(x, y);
}

void TPainterDC::LineTo(int x, int y) {
  Touch();
  if (inPath_) {
    path_.lineTo(x, y);
  } else {
    if (touched_) {
      const TPoint ends[2] = {pos_, {x, y}};
      Mark(PointsBox(ends, 2), true);
    }
    const QPoint from(pos_.X, pos_.Y), to(x, y);
    if (from != to) {
      if (cosmetic_) {
        const QPoint end = BeforeEnd(from, to);
        if (!DirectRun(from, end)) {
          UseShapePen();
          painter_.drawLine(from, end);
        }
      } else {
        UseShapePen();
        painter_.drawLine(from, to);
      }
    } else if (!cosmetic_ && pen_.Cap != TDCPenCap::Flat) {
      // A wide pen's zero-length line is its round or square end: a dot.
      UseShapePen();
      painter_.drawPoint(from);
    }
  }
  pos_ = {x, y};
}

void TPainterDC::Polyline(const TPoint* pts, int count) {
  Touch();
  if (count < 2) return;
  if (inPath_) {
    path_.moveTo(pts[0].X, pts[0].Y);
    for (int i = 1; i < count; ++i) path_.lineTo(pts[i].X, pts[i].Y);
    return;
  }
  Mark(PointsBox(pts, count), true);
  scratch_.resize(count);
  for (int i = 0; i < count; ++i) scratch_[i] = QPoint(pts[i].X, pts[i].Y);
  if (cosmetic_) {  // every pixel but the last point's
    while (count >= 2 && scratch_[count - 1] == scratch_[count - 2]) --count;
    if (count < 2) return;
    scratch_[count - 1] = BeforeEnd(scratch_[count - 2], scratch_[count - 1]);
  }
  UseShapePen();
  painter_.drawPolyline(scratch_.data(), count);
}

void TPainterDC::Polygon(const TPoint* pts, int count) {
  Touch();
  if (count < 2) return;
  scratch_.resize(count);
  for (int i = 0; i < count; ++i) scratch_[i] = QPoint(pts[i].X, pts[i].Y);
  if (inPath_) {
    path_.addPolygon(QPolygonF(QPolygon(QList<QPoint>(scratch_.begin(), scratch_.end()))));
    path_.closeSubpath();
    return;
  }
  Mark(PointsBox(pts, count), true);
  // Without an outline, a polygon on one vertical or horizontal line covers
  // no pixel (the area series' segments between points in one column).
  if (qpen_.style() == Qt::NoPen) {
    const auto sameX = [&](const QPoint& q) { return q.x() == scratch_[0].x(); };
    const auto sameY = [&](const QPoint& q) { return q.y() == scratch_[0].y(); };
    if (std::all_of(scratch_.begin(), scratch_.begin() + count, sameX) ||
        std::all_of(scratch_.begin(), scratch_.begin() + count, sameY))
      return;
    if (count == 4 && DirectRectangle(scratch_.data())) return;
  }
  UseShapePen();
  painter_.drawPolygon(scratch_.data(), count, Qt::OddEvenFill);
}

QRectF TPainterDC::ShapeRect(const TRect& r) const {
  const TRect n = Normalized(r);
  QRectF q(n.Left, n.Top, n.Width() - 1, n.Height() - 1);
  if (pen_.Style == TDCPenStyle::InsideFrame && pen_.Width > 1) {
    const double in = (pen_.Width - 1) / 2.0;
    q.adjust(in, in, -in, -in);
  }
  return q;
}

void TPainterDC::Rectangle(const TRect& r) {
  Touch();
  if (inPath_) {
    path_.addRect(ShapeRect(r));
    return;
  }
  Mark(Span(r.Left, r.Top, r.Right, r.Bottom), true);
  UseShapePen();
  painter_.drawRect(ShapeRect(r));
}

void TPainterDC::RoundRect(const TRect& r, int cornerW, int cornerH) {
  Touch();
  if (inPath_) {
    path_.addRoundedRect(ShapeRect(r), cornerW / 2.0, cornerH / 2.0);
    return;
  }
  Mark(Span(r.Left, r.Top, r.Right, r.Bottom), true);
  UseShapePen();
  painter_.drawRoundedRect(ShapeRect(r), cornerW / 2.0, cornerH / 2.0);
}

void TPainterDC::Ellipse(const TRect& r) {
  Touch();
  if (inPath_) {
    path_.addEllipse(ShapeRect(r));
    return;
  }
  Mark(Span(r.Left, r.Top, r.Right, r.Bottom), true);
  UseShapePen();
  painter_.drawEllipse(ShapeRect(r));
}

void TPainterDC::Arc(const TRect& r, TPoint start, TPoint end) {
  Touch();
  const TArcAngles a = ArcAngles(r, start, end, false);
  if (inPath_) {
    path_.arcMoveTo(ShapeRect(r), a.Start);
    path_.arcTo(ShapeRect(r), a.Start, a.Span);
    return;
  }
  Mark(Span(r.Left, r.Top, r.Right, r.Bottom), true);
  UseShapePen();
  painter_.drawArc(ShapeRect(r), int(std::lround(a.Start * 16)), int(std::lround(a.Span * 16)));
}

void TPainterDC::ArcTo(const TRect& r, TPoint start, TPoint end, bool clockwise) {
  Touch();
  const TArcAngles a = ArcAngles(r, start, end, clockwise);
  QPainterPath local;
  QPainterPath& p = inPath_ ? path_ : local;
  if (!inPath_ || p.elementCount() == 0) p.moveTo(pos_.X, pos_.Y);
  p.arcTo(ShapeRect(r), a.Start, a.Span);
  const QPointF endPos = p.currentPosition();
  pos_ = {int(std::lround(endPos.x())), int(std::lround(endPos.y()))};
  if (inPath_) return;
  Mark(local.boundingRect().toAlignedRect(), true);
  UseShapePen();
  painter_.strokePath(local, qpen_);
}

void TPainterDC::Pie(const TRect& r, TPoint start, TPoint end) {
  Touch();
  const TArcAngles a = ArcAngles(r, start, end, false);
  Mark(Span(r.Left, r.Top, r.Right, r.Bottom), true);
  UseShapePen();
  painter_.drawPie(ShapeRect(r), int(std::lround(a.Start * 16)), int(std::lround(a.Span * 16)));
}

void TPainterDC::FillRect(const TRect& r) {
  Touch();
  if (r.IsEmpty()) return;
  Mark(Span(r.Left, r.Top, r.Right, r.Bottom), false);
  ApplyComposition(QPainter::CompositionMode_SourceOver);
  const QRect q(r.Left, r.Top, r.Width(), r.Height());
  if (brush_.Style == TDCBrushStyle::Solid) {  // the common case, without a QBrush
    painter_.fillRect(q, QtColor(brush_.Color));
    return;
  }
  UseBrush();
  painter_.fillRect(q, qbrush_);
}

void TPainterDC::PatBlt(const TRect& r, TDCRop3 rop) {
  Touch();
  const TRect n = Normalized(r);
  if (n.IsEmpty()) return;
  Mark(Span(n.Left, n.Top, n.Right, n.Bottom), false);
  const QRect q(n.Left, n.Top, n.Width(), n.Height());
  switch (rop) {
    case TDCRop3::Blackness: ApplyComposition(QPainter::CompositionMode_Source); painter_.fillRect(q, Qt::black); break;
    case TDCRop3::Whiteness: ApplyComposition(QPainter::CompositionMode_Source); painter_.fillRect(q, Qt::white); break;
    case TDCRop3::DstInvert:
      if (!image_) return;
      ApplyComposition(QPainter::RasterOp_NotDestination);
      painter_.fillRect(q, Qt::black);
      break;
    case TDCRop3::PatInvert:
      if (!image_) return;
      UseBrush();
      ApplyComposition(QPainter::RasterOp_SourceXorDestination);
      painter_.fillRect(q, qbrush_);
      break;
    default: FillRect(n); return;
  }
}

void TPainterDC::BitBlt(int x, int y, int w, int h, IDeviceContext& src, int sx, int sy, TDCRop3 rop) {
  Touch();
  src.Flush();
  const QImage* img = src.Image();
  if (!img || w <= 0 || h <= 0) return;
  Mark(QRect(x, y, w, h), false);
  // A copy only when the source is this very surface.
  const QImage part = img == image_ ? img->copy(sx, sy, w, h) : QImage();
  QPainter::CompositionMode mode = QPainter::CompositionMode_Source;
  if (image_) {
    if (rop == TDCRop3::SrcInvert) mode = QPainter::RasterOp_SourceXorDestination;
    if (rop == TDCRop3::SrcAnd) mode = QPainter::RasterOp_SourceAndDestination;
    if (rop == TDCRop3::SrcPaint) mode = QPainter::RasterOp_SourceOrDestination;
  }
  ApplyComposition(mode);
  if (part.isNull()) painter_.drawImage(QPoint(x, y), *img, QRect(sx, sy, w, h));
  else painter_.drawImage(QPoint(x, y), part);
}

void TPainterDC::StretchDraw(const TRect& r, const QImage& image) {
  Touch();
  if (image.isNull() || r.IsEmpty()) return;
  Mark(Span(r.Left, r.Top, r.Right, r.Bottom), false);
  ApplyComposition(QPainter::CompositionMode_SourceOver);
  painter_.drawImage(QRect(r.Left, r.Top, r.Width(), r.Height()), image);
}

void TPainterDC::SetPixel(int x, int y, TColor color) {
  Touch();
  Mark(QRect(x, y, 1, 1), false);
  ApplyComposition(QPainter::CompositionMode_Source);
  painter_.fillRect(QRect(x, y, 1, 1), QtColor(color));
}

TColor TPainterDC::GetPixel(int x, int y) {
  Touch();
  if (!image_) return CLR_INVALID;
  const QPoint d = identity_ ? QPoint(x, y) : xf_.map(QPoint(x, y));
  if (!image_->rect().contains(d) || (clip_ && !clip_->contains(d))) return CLR_INVALID;
  const QRgb p = image_->pixel(d);
  return RGB(qRed(p), qGreen(p), qBlue(p));
}

// --- Text

TSize TPainterDC::TextExtent(std::string_view text) {
  return {TextWidth(*font_, text, charExtra_), font_->Text.Height};
}

TDCTextMetrics TPainterDC::TextMetrics() { return font_->Text; }

void TPainterDC::TextOut(int x, int y, std::string_view text) {
  Touch();
  const TDCTextMetrics& tm = font_->Text;
  if (align_ & TA_UPDATECP) x = pos_.X, y = pos_.Y;
  const unsigned h = align_ & TA_CENTER;
  const bool needWidth = h != TA_LEFT || bkMode_ == TDCBkMode::Opaque || (align_ & TA_UPDATECP) || touched_;
  const int w = needWidth ? TextWidth(*font_, text, charExtra_) : 0;
  const int left = h == TA_CENTER ? x - w / 2 : h == TA_RIGHT ? x - w : x;
  const unsigned v = align_ & TA_BASELINE;
  const int base = v == TA_BASELINE ? y : v == TA_BOTTOM ? y - tm.Descent : y + tm.Ascent;
  if (align_ & TA_UPDATECP) pos_.X = h == TA_RIGHT ? x - w : h == TA_CENTER ? x : x + w;
  if (text.empty()) return;

  QTransform rotation;
  const bool rotated = fontDesc_.Escapement % 3600 != 0;
  if (touched_ && !inPath_) {
    // Glyphs may hang over their cell, italics most; a turned text anywhere
    // around its start.
    const int pad = tm.Height / 2 + 2, reach = w + tm.Height + pad;
    Mark(rotated ? QRect(x - reach, y - reach, 2 * reach + 1, 2 * reach + 1)
                 : QRect(left - pad, base - tm.Ascent - pad, w + 2 * pad, tm.Height + 2 * pad),
         false);
  }
  if (rotated)
    rotation.translate(x, y).rotate(-fontDesc_.Escapement / 10.0).translate(-x, -y);
  if (inPath_) {
    QPainterPath glyphs;
    QFont f = font_->Font;
    if (charExtra_) f.setLetterSpacing(QFont::AbsoluteSpacing, charExtra_);
    glyphs.addText(QPointF(left, base), f, Latin1(text));
    path_.addPath(rotated ? rotation.map(glyphs) : glyphs);
    return;
  }
  if (rotated) painter_.setWorldTransform(rotation * xf_);
  if (bkMode_ == TDCBkMode::Opaque) {
    ApplyComposition(QPainter::CompositionMode_SourceOver);
    painter_.fillRect(QRect(left, base - tm.Ascent, w, tm.Height), QtColor(bkColor_));
  }
  UseTextPen();
  painter_.drawText(QPoint(left, base), Latin1(text));
  if (rotated) painter_.setWorldTransform(xf_);
}

// --- Paths

void TPainterDC::BeginPath() {
  path_ = QPainterPath();
  path_.setFillRule(Qt::OddEvenFill);
  inPath_ = true;
}

void TPainterDC::StrokePath() {
  Touch();
  inPath_ = false;
  Mark(path_.boundingRect().toAlignedRect(), true);
  UseShapePen();
  painter_.strokePath(path_, qpen_);
  path_ = QPainterPath();
}

void TPainterDC::FillPath() {
  Touch();
  inPath_ = false;
  Mark(path_.boundingRect().toAlignedRect(), true);
  UseShapePen();
  painter_.fillPath(path_, qbrush_);
  path_ = QPainterPath();
}

void TPainterDC::StrokeAndFillPath() {
  Touch();
  inPath_ = false;
  Mark(path_.boundingRect().toAlignedRect(), true);
  UseShapePen();
  painter_.drawPath(path_);
  path_ = QPainterPath();
}

void TPainterDC::WidenPath() {
  inPath_ = false;
  QPainterPathStroker stroker(qpen_.style() == Qt::NoPen ? QPen(Qt::black, 1) : qpen_);
  stroker.setWidth(std::max(1, pen_.Width));
  path_ = stroker.createStroke(path_);
  path_.setFillRule(Qt::WindingFill);
}
