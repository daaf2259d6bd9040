#pragma once
// The look shared by the small settings dialogs: a fixed border whose title
// bar carries only the system menu (and its close box), no minimise, maximise
// or help buttons. The dialog's own layout fixes its size.
#include <QDialog>
#include <QLayout>

inline void SetDialogBorder(QDialog* Dialog) {
  Dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  if (QLayout* layout = Dialog->layout()) layout->setSizeConstraint(QLayout::SetFixedSize);
  Dialog->setSizeGripEnabled(false);
}

