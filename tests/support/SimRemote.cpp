#include "support/SimRemote.h"

#include <QApplication>
#include <QTimer>

#include "remote/Remote.h"
#include "ui/Main.h"

void StartRemoteDialog(TMainForm& Form) {
  QTimer::singleShot(0, &Form, [&Form] {
    // Runs inside the dialog's own loop, once it is shown.
    QTimer::singleShot(0, &Form, [] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* remote = qobject_cast<TRemoteForm*>(w); remote && !remote->Running()) remote->btnStartClick();
    });
    Form.btnRemoteClick();
  });
}
