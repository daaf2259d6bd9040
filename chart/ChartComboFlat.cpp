#include "chart/ChartComboFlat.h"

#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>

#include "platform/DeviceContext.h"

namespace {

QColor SystemColor(TColor c) {
  c = ColorToRGB(c);
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

// Rows of the combo box's ItemHeight.
class TItemHeightDelegate final : public QStyledItemDelegate {
 public:
  explicit TItemHeightDelegate(TComboFlat* combo) : QStyledItemDelegate(combo), combo_(combo) {}
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {QStyledItemDelegate::sizeHint(option, index).width(), combo_->ItemHeight()};
  }

 private:
  TComboFlat* combo_;
};

}  // namespace

TComboFlat::TComboFlat(QWidget* parent) : QComboBox(parent) {
  setEditable(false);
  setItemDelegate(new TItemHeightDelegate(this));
  resize(width(), 21);
}

void TComboFlat::SetMouseOver(bool v) {
  if (v == mouseOver_) return;
  mouseOver_ = v;
  update();
}

void TComboFlat::enterEvent(QEnterEvent* event) {
  QComboBox::enterEvent(event);
  SetMouseOver(true);
}

void TComboFlat::leaveEvent(QEvent* event) {
  QComboBox::leaveEvent(event);
  SetMouseOver(false);
}

void TComboFlat::focusOutEvent(QFocusEvent* event) {
  QComboBox::focusOutEvent(event);
  SetMouseOver(false);
}

void TComboFlat::paintEvent(QPaintEvent* event) {
  QComboBox::paintEvent(event);
  if (mouseOver_ || hasFocus()) return;
  QPainter p(this);
  const QRect r = rect();
  auto frame = [&](QRect f) { p.drawRect(f.adjusted(0, 0, -1, -1)); };  // the edge pixels of f
  p.setPen(SystemColor(clBtnFace));
  frame(r);
  frame(r.adjusted(1, 1, -1, -1));
  const int arrow = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  p.setPen(SystemColor(clWindow));
  frame(QRect(QPoint(r.right() - arrow - 2, r.top() + 1), QPoint(r.right() - 1, r.bottom() - 1)));
  p.drawLine(r.right() - 2, r.top() + 1, r.right() - 2, r.bottom() - 1);
}
