#include "platform/AtomicFile.h"

#include <QSaveFile>

void SaveFileAtomically(const QString& fileName, const QByteArray& bytes) {
  QSaveFile file(fileName);
  auto fail = [&] {
    const std::string reason = file.errorString().toStdString();
    file.cancelWriting();
    throw EFileSaveError("Cannot save " + fileName.toStdString() + ": " + reason);
  };
  if (!file.open(QIODevice::WriteOnly)) fail();
  if (file.write(bytes) != bytes.size()) fail();
  if (!file.commit()) fail();
}
