#include "ui/blockerror.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "ui/Pictures.h"

namespace {
int TraceY(uint8_t sample, double yScale) {
  return static_cast<int>(std::nearbyint((3 - sample) * yScale)) + 1;
}

// Segments from the write position on fade in from the background, one
// step per segment, until they reach full brightness; beyond that a moving
// write position changes nothing.
constexpr uint32_t kFadeStep = 1280;
constexpr uint32_t kFadeFull = 65280;
constexpr int kFadeSegments = kFadeFull / kFadeStep + 1;

// The colour of segment i with the write position at pos.
uint32_t SegmentColor(int i, int pos) {
  if (i < pos) return kBlockErrorLime;
  return kBlockErrorBackground | static_cast<uint32_t>(std::min(i - pos, kFadeSegments - 1)) * kFadeStep;
}
}  // namespace

std::vector<TTraceSegment> BlockErrorTrace(const std::vector<uint8_t>& samples, int pos, int step, double yScale) {
  std::vector<TTraceSegment> segments;
  if (samples.size() < 2) return segments;
  segments.reserve(samples.size() - 1);
  for (size_t i = 0; i + 1 < samples.size(); ++i) {
    const int x = static_cast<int>(i) * step;
    segments.push_back({x, TraceY(samples[i], yScale), x + step, TraceY(samples[i + 1], yScale),
                        SegmentColor(static_cast<int>(i), pos)});
  }
  return segments;
}

TBlockError::TBlockError(QWidget* box) : Box(box) {
  if (box) {
    Width = box->width();
    Height = box->height();
    box->installEventFilter(this);
    // The bitmap covers the box, so what lies behind is not painted first.
    box->setAttribute(Qt::WA_OpaquePaintEvent);
  }
  Bitmap_ = QImage(std::max(1, Width), std::max(1, Height), QImage::Format_RGB32);
  Bitmap_.fill(ColorFromTColor(kBlockErrorBackground));
  // A box narrower than one step holds no samples and shows the background.
  Samples_.assign(static_cast<size_t>(std::max(0, Width / kStep)), 0);
  YScale_ = (Height - 4) / 3.0;
  // The pixels of the segment between each pair of classes, as the pen draws
  // it from x = 0 within the bitmap's height.
  QImage stroke(kStep + 2, Bitmap_.height(), QImage::Format_ARGB32);
  for (uint8_t from = 0; from < 4; ++from)
    for (uint8_t to = 0; to < 4; ++to) {
      stroke.fill(Qt::transparent);
      QPainter painter(&stroke);
      painter.setPen(QPen(Qt::black, 0, Qt::SolidLine));
      painter.drawLine(0, TraceY(from, YScale_), kStep, TraceY(to, YScale_));
      painter.end();
      for (int y = 0; y < stroke.height(); ++y)
        for (int x = 0; x < stroke.width(); ++x)
          if (qAlpha(stroke.pixel(x, y)) != 0) Strokes_[from * 4u + to].emplace_back(x, y);
    }
}

TBlockError::~TBlockError() {
  if (Box) Box->removeEventFilter(this);
}

void TBlockError::Reset() {
  Bitmap();  // the trace stays on show until the next sample
  std::fill(Samples_.begin(), Samples_.end(), 0);
  Pos_ = 0;
  Whole_ = true;
}

void TBlockError::MarkDirty(int from, int to) {
  from = std::max(from, 0);
  to = std::min(to, Count() - 2);
  if (from > to) return;
  if (DirtyFrom_ > DirtyTo_) {
    DirtyFrom_ = from;
    DirtyTo_ = to;
  } else {
    DirtyFrom_ = std::min(DirtyFrom_, from);
    DirtyTo_ = std::max(DirtyTo_, to);
  }
  if (!Box) return;
  // A sample comes about every 22 ms, and each is shown at once: painted
  // here, while the packet is handled, instead of in another turn of the
  // event loop that would cost about as much as the painting. Samples that
  // come faster (a backlog handled in one go) are drawn together once.
  const auto now = std::chrono::steady_clock::now();
  if (now - LastPaint_ >= kFrame) Box->repaint(Columns(from, to));
  else Box->update(Columns(from, to));
}

QRect TBlockError::Columns(int from, int to) const {
  // A segment's pen reaches one pixel beyond its end point.
  const int left = from * kStep;
  const int right = std::min(Width, to * kStep + kStep + 2);
  return QRect(left, 0, std::max(0, right - left), std::max(1, Height));
}

void TBlockError::AddSample(int value) {
  if (Samples_.empty()) return;
  const int old = Pos_;
  Pos_ = Pos_ + 1 >= Count() ? 0 : Pos_ + 1;
  Samples_[static_cast<size_t>(Pos_)] = static_cast<uint8_t>(std::clamp(value, 0, 3));
  // Drawn when shown: the samples of one pass of the event loop (or of a
  // hidden window) cost one drawing of what they changed. After a wrap every
  // segment changes colour.
  if (Whole_ || Pos_ < old) MarkDirty(0, Count() - 2);
  else MarkDirty(old - 1, Pos_ + kFadeSegments);
  Whole_ = false;
}

const QImage& TBlockError::Bitmap() {
  if (DirtyFrom_ > DirtyTo_) return Bitmap_;
  const QRect cols = Columns(DirtyFrom_, DirtyTo_);
  DirtyFrom_ = 0;
  DirtyTo_ = -1;
  const int x0 = cols.left();
  const int x1 = cols.left() + cols.width();  // exclusive
  const QRgb background = ColorFromTColor(kBlockErrorBackground).rgb();
  uchar* const bits = Bitmap_.bits();
  const qsizetype stride = Bitmap_.bytesPerLine();
  const auto line = [&](int y) { return reinterpret_cast<QRgb*>(bits + y * stride); };
  for (int y = 0; y < Bitmap_.height(); ++y) std::fill(line(y) + x0, line(y) + x1, background);
  // Each segment is the pixels the pen draws for its pair of heights, moved
  // to its place; later segments cover earlier ones, as drawn in order, so
  // every segment reaching the changed columns is drawn again there.
  const int first = std::max(0, x0 / kStep - 1);
  const int last = std::min(Count() - 2, x1 / kStep);
  for (int i = first; i <= last; ++i) {
    const QRgb rgb = ColorFromTColor(SegmentColor(i, Pos_)).rgb();
    const int left = i * kStep;
    for (const QPoint& p : Strokes_[Samples_[static_cast<size_t>(i)] * 4u + Samples_[static_cast<size_t>(i) + 1]]) {
      const int x = left + p.x();
      if (x >= x0 && x < x1) line(p.y())[x] = rgb;
    }
  }
  return Bitmap_;
}

void TBlockError::Paint() {
  if (Box) Box->update();
}

namespace {
// Where the toolkit sends a widget's painting: the window's backing image
// while it repaints the window, or the image a widget is rendered to.
struct TPaintTarget : QWidget {
  using QWidget::redirected;
  using QWidget::sharedPainter;
};

// Copies the region of the bitmap onto the image the box's painting goes to,
// when that is a plain 32-bit image at one pixel per pixel and no painter
// of the caller's (which could scale or clip) draws the box. The box is
// repainted with every RDS block, and opening a painter on it costs more
// than the copy.
bool CopyToTarget(const QWidget& box, const QImage& bitmap, const QRegion& region) {
  if ((box.*(&TPaintTarget::sharedPainter))()) return false;
  QPoint offset;  // of the box's origin from the target's, negated
  QPaintDevice* device = (box.*(&TPaintTarget::redirected))(&offset);
  if (!device || device->devType() != QInternal::Image) return false;
  auto* target = static_cast<QImage*>(device);
  const QImage::Format format = target->format();
  if (target->devicePixelRatio() != 1.0 || bitmap.format() != QImage::Format_RGB32 ||
      (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32_Premultiplied))
    return false;
  // The bitmap's pixels are opaque, so they are the same in either format.
  for (const QRect& r : region) {
    const QRect to = r.translated(-offset) & target->rect();
    const QRect from = to.translated(offset);
    const size_t bytes = static_cast<size_t>(to.width()) * 4;
    for (int y = 0; y < to.height(); ++y)
      std::memcpy(target->scanLine(to.top() + y) + to.left() * 4, bitmap.constScanLine(from.top() + y) + from.left() * 4,
                  bytes);
  }
  return true;
}
}  // namespace

bool TBlockError::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Box && event->type() == QEvent::Paint) {
    LastPaint_ = std::chrono::steady_clock::now();
    const QImage& bitmap = Bitmap();
    const auto* paint = static_cast<QPaintEvent*>(event);
    const QRect area = paint->rect();
    if (bitmap.rect().contains(area) && CopyToTarget(*Box, bitmap, paint->region())) return true;
    QPainter painter(Box);
    // A box grown since its creation shows its background beyond the bitmap.
    if (!QRect(QPoint(), bitmap.size()).contains(area)) painter.fillRect(area, Box->palette().window());
    const QRect shown = area & bitmap.rect();
    if (!shown.isEmpty()) painter.drawImage(shown.topLeft(), bitmap, shown);
    return true;
  }
  return QObject::eventFilter(watched, event);
}
