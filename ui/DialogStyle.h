#pragma once
// Window placement, and the look shared by the small settings dialogs: a fixed border whose title
// bar carries only the system menu (and its close box), no minimise, maximise
// or help buttons. The dialog's own layout fixes its size.
#include <QDialog>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>

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
