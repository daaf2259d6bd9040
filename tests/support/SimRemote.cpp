#include "support/SimRemote.h"

#include <QApplication>
#include <QLineEdit>
#include <QTimer>

#include "remote/Remote.h"
#include "ui/Main.h"

void StartRemoteDialog(TMainForm& Form, std::function<void(const std::string& Address)> Started) {
  QTimer::singleShot(0, &Form, [&Form, Started] {
    // Runs inside the dialog's own loop, once it is shown.
    QTimer::singleShot(0, &Form, [Started] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* remote = qobject_cast<TRemoteForm*>(w); remote && !remote->Running()) {
          remote->btnStartClick();
          if (remote->Running() && Started) Started(remote->edRemoteAddr->text().toStdString());
        }
    });
    Form.btnRemoteClick();
  });
}
