#include "support/QtApp.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>
#include <cstdlib>

QApplication* EnsureQApplication() {
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return app;
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "fenwisk-tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return app;
}

bool SaveScreenshot(QWidget* widget, const char* name) {
  const char* dir = std::getenv("FW_SCREENSHOT_DIR");
  if (!dir || !*dir || !widget) return false;
  QDir().mkpath(QString::fromLocal8Bit(dir));
  const QString file = QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromLatin1(name) + ".png");
  return widget->grab().save(file, "PNG");
}
