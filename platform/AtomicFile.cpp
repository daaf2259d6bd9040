#include "platform/AtomicFile.h"

#include <QSaveFile>

void SaveFileAtomically(const QString& fileName, const QByteArray& bytes) {
  TAtomicFileWriter file(fileName);
  if (!file.Open() || !file.Write(bytes.constData(), bytes.size()) || !file.Commit())
    throw EFileSaveError("Cannot save " + fileName.toStdString() + ": " + file.ErrorString().toStdString());
}

TAtomicFileWriter::TAtomicFileWriter(const QString& fileName) : file_(std::make_unique<QSaveFile>(fileName)) {}

TAtomicFileWriter::~TAtomicFileWriter() {
  if (file_->isOpen()) file_->cancelWriting();  // the temporary file goes with it
}

bool TAtomicFileWriter::Open() { return file_->open(QIODevice::WriteOnly); }

bool TAtomicFileWriter::Write(const char* data, qint64 size) {
  // A disk that fills up takes part of a write and reports nothing; only
  // the write of the rest fails, with the system's reason in errorString.
  while (size > 0) {
    const qint64 n = file_->write(data, size);
    if (n <= 0) return false;
    data += n;
    size -= n;
  }
  return true;
}

bool TAtomicFileWriter::Commit() { return file_->commit(); }

QString TAtomicFileWriter::ErrorString() const { return file_->errorString(); }
