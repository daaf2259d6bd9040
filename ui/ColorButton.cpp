#include "ui/ColorButton.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

int ColorButtonPictureIndex(int startIndex, bool enabled, bool mouseInside, bool mouseDown) {
  if (!enabled) return startIndex + 1;
  if (mouseInside && mouseDown) return startIndex + 3;
  if (mouseInside) return startIndex + 2;
  return startIndex;
}

TColorButton::TColorButton(QWidget* parent) : QWidget(parent) {
  BorderColors = {palette().color(QPalette::Button), ColorFromTColor(0xD8ACB0), ColorFromTColor(0xC7879F),
                  ColorFromTColor(255), ColorFromTColor(0)};
  resize(30, 30);
}

void TColorButton::SetStates(TImageList* states) { AttachImageList(this, States_, states); }

void TColorButton::SetStartIndex(int index) {
  if (index == StartIndex_) return;
  StartIndex_ = index;
  update();
}

QColor TColorButton::BorderColor(int index) const {
  if (index < 0 || index >= static_cast<int>(BorderColors.size())) return QColor();
  return BorderColors[static_cast<size_t>(index)];
}

void TColorButton::SetBorderColor(int index, const QColor& color) {
  if (index < 0 || index >= static_cast<int>(BorderColors.size())) return;
  if (BorderColors[static_cast<size_t>(index)] == color) return;
  BorderColors[static_cast<size_t>(index)] = color;
  update();
}

void TColorButton::SetTransparent(bool on) {
  if (on == Transparent_) return;
  Transparent_ = on;
  update();
}

int TColorButton::PictureIndex() const {
  if (!States_ || States_->Count() == 0) return -1;
  return ColorButtonPictureIndex(StartIndex_, isEnabled(), MouseInside_, MouseDown_);
}

void TColorButton::paintEvent(QPaintEvent*) {
  const int index = PictureIndex();
  if (index < 0) return;
  QImage picture = States_->Image(index);
  if (picture.isNull()) return;
  if (Transparent_) picture = KeyColorTransparent(picture);
  QPainter painter(this);
  painter.drawImage(0, 0, picture);
}

void TColorButton::SetMouseInside(bool inside) {
  if (inside == MouseInside_) return;
  MouseInside_ = inside;
  update();
}

void TColorButton::enterEvent(QEnterEvent* event) {
  QWidget::enterEvent(event);
  SetMouseInside(true);
}

void TColorButton::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  SetMouseInside(false);
}

void TColorButton::mousePressEvent(QMouseEvent* event) {
  QWidget::mousePressEvent(event);
  if (event->button() != Qt::LeftButton) return;
  MouseDown_ = true;
  MouseInside_ = rect().contains(event->position().toPoint());
  update();
}

void TColorButton::mouseMoveEvent(QMouseEvent* event) {
  QWidget::mouseMoveEvent(event);
  // While the button is held the mouse is grabbed; follow it in and out so
  // the pressed picture shows only over the button.
  if (MouseDown_) SetMouseInside(rect().contains(event->position().toPoint()));
}

void TColorButton::mouseReleaseEvent(QMouseEvent* event) {
  QWidget::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton || !MouseDown_) return;
  MouseDown_ = false;
  const bool inside = rect().contains(event->position().toPoint());
  MouseInside_ = inside;
  update();
  if (inside && isEnabled() && OnClick) OnClick(this);
}

void TColorButton::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) {
    // A disabled button gets no release; do not keep a stale pressed look.
    if (!isEnabled()) MouseDown_ = false;
    update();
  }
}
