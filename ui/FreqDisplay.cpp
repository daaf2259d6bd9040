#include "ui/FreqDisplay.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>
#include <algorithm>

std::array<TGlyphPlacement, 5> FreqGlyphPlan(int32_t tenths, bool enabled) {
  const int base = enabled ? 0 : 12;
  // Only the four lowest decimal places are shown.
  const uint32_t v = static_cast<uint32_t>(tenths < 0 ? -static_cast<int64_t>(tenths) : tenths);
  const int d0 = v % 10, d1 = v / 10 % 10, d2 = v / 100 % 10, d3 = v / 1000 % 10;
  return {{{base + 11, 45},
           {base + d0, 50},
           {base + d1, 30},
           {base + d2, 15},
           {d3 == 0 ? base + 10 : base + d3, 0}}};
}

TFreqDisplay::TFreqDisplay(QWidget* box, TImageList* glyphs) : Box(box), Glyphs(glyphs) {
  if (box) {
    Bitmap_ = QImage(box->size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32);
    Bitmap_.fill(box->palette().color(box->backgroundRole()));
    box->installEventFilter(this);
  }
}

TFreqDisplay::~TFreqDisplay() {
  if (Box) Box->removeEventFilter(this);
}

void TFreqDisplay::SetValue(int32_t tenths) {
  if (!Enabled_) return;
  Value_ = std::clamp(tenths, kMinTenths, kMaxTenths);
  if (Box) Box->update();
}

void TFreqDisplay::SetEnabled(bool on) {
  if (on == Enabled_) return;
  Enabled_ = on;
  if (Box) Box->update();
}

const QImage& TFreqDisplay::Render() {
  if (Box && Box->size() != Bitmap_.size() && !Box->size().isEmpty()) {
    QImage resized(Box->size(), QImage::Format_ARGB32);
    resized.fill(Box->palette().color(Box->backgroundRole()));
    QPainter(&resized).drawImage(0, 0, Bitmap_);
    Bitmap_ = resized;
  }
  if (!Glyphs || Glyphs->Count() == 0) return Bitmap_;
  QPainter painter(&Bitmap_);
  for (const TGlyphPlacement& g : FreqGlyphPlan(Value_, Enabled_)) Glyphs->Draw(painter, g.X, 0, g.Glyph);
  return Bitmap_;
}

bool TFreqDisplay::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Box && event->type() == QEvent::Paint) {
    Render();
    QPainter painter(Box);
    painter.drawImage(0, 0, Bitmap_);
    return true;
  }
  return QObject::eventFilter(watched, event);
}
