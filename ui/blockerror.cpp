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
  }
  Bitmap_ = QImage(std::max(1, Width), std::max(1, Height), QImage::Format_RGB32);
  Bitmap_.fill(ColorFromTColor(kBlockErrorBackground));
  // A box narrower than one step holds no samples and shows the background.
  Samples_.assign(static_cast<size_t>(std::max(0, Width / kStep)), 0);
  YScale_ = (Height - 4) / 3.0;
}

TBlockError::~TBlockError() {
  if (Box) Box->removeEventFilter(this);
}

void TBlockError::Reset() {
  std::fill(Samples_.begin(), Samples_.end(), 0);
  Pos_ = 0;
}

void TBlockError::AddSample(int value) {
  Bitmap_.fill(ColorFromTColor(kBlockErrorBackground));
  if (!Samples_.empty()) {
    Pos_ = Pos_ + 1 >= Count() ? 0 : Pos_ + 1;
    Samples_[static_cast<size_t>(Pos_)] = static_cast<uint8_t>(std::clamp(value, 0, 3));
    QPainter painter(&Bitmap_);
    for (const TTraceSegment& s : BlockErrorTrace(Samples_, Pos_, kStep, YScale_)) {
      painter.setPen(QPen(ColorFromTColor(s.Color), 0, Qt::SolidLine));
      painter.drawLine(s.X1, s.Y1, s.X2, s.Y2);
    }
  }
  Paint();
}

void TBlockError::Paint() {
  if (Box) Box->update();
}

bool TBlockError::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Box && event->type() == QEvent::Paint) {
    QPainter painter(Box);
    painter.drawImage(0, 0, Bitmap_);
    return true;
  }
  return QObject::eventFilter(watched, event);
}
