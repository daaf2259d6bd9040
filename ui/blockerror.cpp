#include "ui/blockerror.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "ui/Pictures.h"

namespace {
int TraceY(uint8_t sample, double yScale) {
  return static_cast<int>(std::nearbyint((3 - sample) * yScale)) + 1;
}
}  // namespace

std::vector<TTraceSegment> BlockErrorTrace(const std::vector<uint8_t>& samples, int pos, int step, double yScale) {
  std::vector<TTraceSegment> segments;
  if (samples.size() < 2) return segments;
  segments.reserve(samples.size() - 1);
  uint32_t fade = 0;
  for (size_t i = 0; i + 1 < samples.size(); ++i) {
    const int x = static_cast<int>(i) * step;
    TTraceSegment s{x, TraceY(samples[i], yScale), x + step, TraceY(samples[i + 1], yScale), kBlockErrorLime};
    if (static_cast<int>(i) >= pos) {
      s.Color = kBlockErrorBackground | fade;
      if (fade < 65280) fade += 1280;
    }
    segments.push_back(s);
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
}

void TBlockError::AddSample(int value) {
  if (!Samples_.empty()) {
    Pos_ = Pos_ + 1 >= Count() ? 0 : Pos_ + 1;
    Samples_[static_cast<size_t>(Pos_)] = static_cast<uint8_t>(std::clamp(value, 0, 3));
  }
  // Drawn when shown: the samples of one pass of the event loop (or of a
  // hidden window) cost one drawing.
  Stale_ = true;
  Paint();
}

const QImage& TBlockError::Bitmap() {
  if (!Stale_) return Bitmap_;
  Stale_ = false;
  Bitmap_.fill(ColorFromTColor(kBlockErrorBackground));
  // Each segment is the pixels the pen draws for its pair of heights, moved
  // to its place; later segments cover earlier ones, as drawn in order.
  const std::vector<TTraceSegment> trace = BlockErrorTrace(Samples_, Pos_, kStep, YScale_);
  for (size_t i = 0; i < trace.size(); ++i) {
    const QRgb rgb = ColorFromTColor(trace[i].Color).rgb();
    for (const QPoint& p : Strokes_[Samples_[i] * 4u + Samples_[i + 1]])
      reinterpret_cast<QRgb*>(Bitmap_.scanLine(p.y()))[trace[i].X1 + p.x()] = rgb;
  }
  return Bitmap_;
}

void TBlockError::Paint() {
  if (Box) Box->update();
}

bool TBlockError::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Box && event->type() == QEvent::Paint) {
    QPainter painter(Box);
    const QImage& bitmap = Bitmap();
    // A box grown since its creation shows its background beyond the bitmap.
    if (!QRect(QPoint(), bitmap.size()).contains(Box->rect())) painter.fillRect(Box->rect(), Box->palette().window());
    painter.drawImage(0, 0, bitmap);
    return true;
  }
  return QObject::eventFilter(watched, event);
}
