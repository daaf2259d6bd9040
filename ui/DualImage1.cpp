#include "ui/DualImage1.h"

#include <QPainter>

TDualImage1::TDualImage1(QWidget* parent) : TImage(parent) {}

// A list freed elsewhere leaves the control showing its own picture.
void TDualImage1::SetStates(TImageList* states) { AttachImageList(this, States_, states); }

void TDualImage1::SetStartIndex(int index) {
  if (index == StartIndex_) return;
  StartIndex_ = index;
  update();
}

void TDualImage1::SetEnabled(bool on) {
  if (on == Enabled_) return;
  Enabled_ = on;
  update();
}

int TDualImage1::PictureIndex() const {
  if (!States_ || States_->Count() == 0) return -1;
  return Enabled_ ? StartIndex_ : StartIndex_ + 1;
}

void TDualImage1::paintEvent(QPaintEvent* event) {
  const int index = PictureIndex();
  if (index < 0) {
    TImage::paintEvent(event);
    return;
  }
  QPainter painter(this);
  States_->Draw(painter, 0, 0, index);
}
