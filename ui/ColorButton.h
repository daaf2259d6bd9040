#pragma once
// Four-state picture button (the main window's arrow and seek buttons): its
// image list holds, from StartIndex on, the normal, disabled, mouse-over and
// pressed pictures.
#include <QColor>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>

#include "ui/Pictures.h"

// Picture of a four-state button: +1 disabled; when enabled +3 while pressed
// with the mouse over it, +2 with the mouse over it, else StartIndex.
int ColorButtonPictureIndex(int startIndex, bool enabled, bool mouseInside, bool mouseDown);

class TColorButton : public QWidget {
  Q_OBJECT
 public:
  using TNotify = std::function<void(QObject* Sender)>;

  explicit TColorButton(QWidget* parent = nullptr);

  TImageList* States() const { return States_.data(); }
  // Sizes the button to the list's pictures (30 x 30 without pictures).
  void SetStates(TImageList* states);
  int StartIndex() const { return StartIndex_; }
  void SetStartIndex(int index);
  QColor BorderColor(int index) const;
  void SetBorderColor(int index, const QColor& color);
  bool Transparent() const { return Transparent_; }
  void SetTransparent(bool on);

  bool MouseInside() const { return MouseInside_; }
  bool MouseDown() const { return MouseDown_; }
  // The list picture the button shows now (-1: it draws nothing).
  int PictureIndex() const;

  // A left click: pressed and released over the button.
  TNotify OnClick;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void SetMouseInside(bool inside);

  QPointer<TImageList> States_;
  int StartIndex_ = 0;
  std::array<QColor, 5> BorderColors;
  bool Transparent_ = true;
  bool MouseInside_ = false;
  bool MouseDown_ = false;
};
