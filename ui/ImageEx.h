#pragma once
// Picture controls: TImage shows one picture at its top-left corner and
// reports mouse presses; TImageEx adds mouse-enter and mouse-leave events.
#include <QImage>
#include <QPoint>
#include <QWidget>
#include <functional>

class TImage : public QWidget {
  Q_OBJECT
 public:
  using TMouseEvent = std::function<void(QObject* Sender, Qt::MouseButton Button, QPoint Pos)>;

  explicit TImage(QWidget* parent = nullptr);

  const QImage& Picture() const { return Picture_; }
  // Shows `picture`; the control keeps its size (see FitToPicture).
  void SetPicture(const QImage& picture);
  // Sizes the control to its picture.
  void FitToPicture();

  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QImage Picture_;
};

class TImageEx : public TImage {
  Q_OBJECT
 public:
  using TNotify = std::function<void(QObject* Sender)>;

  explicit TImageEx(QWidget* parent = nullptr);

  TNotify OnMouseEnter;
  TNotify OnMouseLeave;

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
};
