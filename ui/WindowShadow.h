#pragma once
// A drop shadow under a borderless window, where the desktop can show one: a
// second, click-through window just below and to the right of the owner,
// holding a soft shadow of the owner's outline (its mask when it has one).
// A translucent window needs a compositing window manager; without one the
// shadow window is never shown, and the owner looks as it did.
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRegion>
#include <functional>
#include <memory>

class QWidget;

// Whether a translucent window placed beside another is blended with what
// lies below it: on X11 when a compositing manager owns the screen's
// _NET_WM_CM_S0 selection. Never elsewhere: Wayland composites but lets no
// program place its windows, and the offscreen platform shows nothing.
bool DesktopComposites();

// The shadow picture for an owner of Size with the outline Shape (the whole
// rectangle when empty): black, faded out over Blur pixels, its outline moved
// by Offset to the right and down. The picture is Size grown by Blur on every
// side and by Offset to the right and bottom; the owner's top-left corner
// lies at (Blur, Blur) in it.
QImage DropShadowPicture(QSize Size, const QRegion& Shape, int Blur, int Offset);

class TDropShadow : public QObject {
 public:
  static constexpr int kBlur = 6;
  static constexpr int kOffset = 4;

  // Follows Owner's showing, hiding, moves and resizes; the shadow window
  // lives as long as this object (a child of Owner).
  explicit TDropShadow(QWidget* Owner);
  ~TDropShadow() override;

  // Asked at each showing; tests replace it.
  static std::function<bool()>& Composites();

  // The shadow window (shown only while the owner is, and only where the
  // desktop composites).
  QWidget* Window() const;

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void Follow();

  QPointer<QWidget> owner_;
  std::unique_ptr<QWidget> window_;
};
