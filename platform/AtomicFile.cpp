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

bool TAtomicFileWriter::Write(const char* data, qint64 size) { return file_->write(data, size) == size; }

bool TAtomicFileWriter::Commit() { return file_->commit(); }

QString TAtomicFileWriter::ErrorString() const { return file_->errorString(); }
