#include "ui/ImageEx.h"

#include <QMouseEvent>
#include <QPainter>

TImage::TImage(QWidget* parent) : QWidget(parent) {}

void TImage::SetPicture(const QImage& picture) {
  Picture_ = picture;
  update();
}

void TImage::FitToPicture() {
  if (!Picture_.isNull()) resize(Picture_.size());
}

void TImage::paintEvent(QPaintEvent*) {
  if (Picture_.isNull()) return;
  QPainter painter(this);
  painter.drawImage(0, 0, Picture_);
}

void TImage::mousePressEvent(QMouseEvent* event) {
  QWidget::mousePressEvent(event);
  if (OnMouseDown) OnMouseDown(this, event->button(), event->position().toPoint());
}

void TImage::mouseReleaseEvent(QMouseEvent* event) {
  QWidget::mouseReleaseEvent(event);
  if (OnMouseUp) OnMouseUp(this, event->button(), event->position().toPoint());
}

TImageEx::TImageEx(QWidget* parent) : TImage(parent) {}

void TImageEx::enterEvent(QEnterEvent* event) {
  TImage::enterEvent(event);
  if (OnMouseEnter) OnMouseEnter(this);
}

void TImageEx::leaveEvent(QEvent* event) {
  TImage::leaveEvent(event);
  if (OnMouseLeave) OnMouseLeave(this);
}
