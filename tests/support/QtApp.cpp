#include "support/QtApp.h"

#include <QApplication>
#include <QDir>
#include <QImage>
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

namespace {

// The file a screenshot of that name goes to; empty when none are taken.
QString ScreenshotFile(const char* name) {
  const char* dir = std::getenv("FW_SCREENSHOT_DIR");
  if (!dir || !*dir) return {};
  QDir().mkpath(QString::fromLocal8Bit(dir));
  return QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromLatin1(name) + ".png");
}

}  // namespace

bool SaveScreenshot(QWidget* widget, const char* name) {
  const QString file = ScreenshotFile(name);
  return widget && !file.isEmpty() && widget->grab().save(file, "PNG");
}

bool SaveScreenshot(const QImage& image, const char* name) {
  const QString file = ScreenshotFile(name);
  return !file.isEmpty() && image.save(file, "PNG");
}
