#pragma once
// The flat combo box of the chart's editor dialogs: a drop-down list whose
// 3-D edges are painted over in the face and window colours while the mouse
// is elsewhere and it has no focus.
#include <QComboBox>

class TComboFlat : public QComboBox {
 public:
  explicit TComboFlat(QWidget* parent = nullptr);
  bool MouseOver() const { return mouseOver_; }
  // The height of the rows of the drop-down list.
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int v) { itemHeight_ = v; }

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void SetMouseOver(bool v);
  bool mouseOver_ = false;
  int itemHeight_ = 13;
};
