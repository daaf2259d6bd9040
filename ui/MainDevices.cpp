#include "ui/MainDevices.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

void IMainDevices::MessageBox(const std::string& text, const std::string& caption, TBoxIcon icon) {
  Trace("message", caption + "|" + text);
  QMessageBox::Icon qicon = QMessageBox::Information;
  if (icon == TBoxIcon::Warning) qicon = QMessageBox::Warning;
  if (icon == TBoxIcon::Error) qicon = QMessageBox::Critical;
  QMessageBox box(qicon, QString::fromStdString(caption), QString::fromLocal8Bit(text.c_str()), QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
}

void IMainDevices::OpenUrl(const std::string& url) {
  Trace("open", url);
  QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

std::string ProgramFolderOf(const std::string& exePath) {
  const size_t slash = exePath.find_last_of('/');
  if (slash == std::string::npos) return "./";
  return exePath.substr(0, slash + 1);
}
