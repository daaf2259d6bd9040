#pragma once
// Window placement, and the look shared by the small settings dialogs: a fixed border whose title
// bar carries only the system menu (and its close box), no minimise, maximise
// or help buttons. The dialog's own layout fixes its size.
#include <QDialog>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <algorithm>
#include <cstdlib>

inline void SetDialogBorder(QDialog* Dialog) {
  Dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  if (QLayout* layout = Dialog->layout()) layout->setSizeConstraint(QLayout::SetFixedSize);
  Dialog->setSizeGripEnabled(false);
}


// Centres a window on its owner's window, or on the work area of its screen
// when it has no owner (splash, progress).
inline void CenterWindow(QWidget* Window, QWidget* Owner = nullptr) {
  QRect frame = Window->frameGeometry();
  if (Owner) {
    frame.moveCenter(Owner->window()->frameGeometry().center());
  } else if (QScreen* screen = Window->screen() ? Window->screen() : QGuiApplication::primaryScreen()) {
    frame.moveCenter(screen->availableGeometry().center());
  } else {
    return;
  }
  Window->move(frame.topLeft());
}

// Places a tool window beside its owner: its left edge at the owner's right
// edge and its top at the owner's top; on the owner's left when the right
// side would leave the screen's work area, and held inside the work area in
// any case, so that it can never end where no one can see or reach it.
inline void PlaceBeside(QWidget* Window, QWidget* Owner) {
  const QRect owner = Owner->frameGeometry();
  QRect frame(QPoint(owner.right() + 1, owner.top()), Window->frameGeometry().size());
  if (QScreen* screen = Owner->screen() ? Owner->screen() : QGuiApplication::primaryScreen()) {
    const QRect work = screen->availableGeometry();
    if (frame.right() > work.right() && owner.left() - frame.width() >= work.left())
      frame.moveLeft(owner.left() - frame.width());
    frame.moveLeft(std::clamp(frame.left(), work.left(), std::max(work.left(), work.right() + 1 - frame.width())));
    frame.moveTop(std::clamp(frame.top(), work.top(), std::max(work.top(), work.bottom() + 1 - frame.height())));
  }
  Window->move(frame.topLeft());
}

// Where a window snaps to the edges of the work area: each edge of its frame
// that comes within Buffer pixels of the same edge of the work area is put on
// it (left before right, top before bottom); otherwise it stays where it is.
inline QPoint SnappedToWorkArea(const QRect& Frame, const QRect& Work, int Buffer) {
  QPoint at = Frame.topLeft();
  if (std::abs(Frame.left() - Work.left()) <= Buffer)
    at.setX(Work.left());
  else if (std::abs(Frame.right() - Work.right()) <= Buffer)
    at.setX(Work.right() + 1 - Frame.width());
  if (std::abs(Frame.top() - Work.top()) <= Buffer)
    at.setY(Work.top());
  else if (std::abs(Frame.bottom() - Work.bottom()) <= Buffer)
    at.setY(Work.bottom() + 1 - Frame.height());
  return at;
}
