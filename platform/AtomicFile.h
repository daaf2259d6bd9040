#pragma once
// Files written whole or not at all: the bytes go to a temporary file beside
// the target, which replaces the target only when everything was written, so
// a failed save leaves no partial file and keeps an existing one.
#include <QByteArray>
#include <QString>

#include <memory>
#include <stdexcept>

class QSaveFile;

class EFileSaveError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws EFileSaveError with the system's reason when the file cannot be
// created, written or put in place.
void SaveFileAtomically(const QString& fileName, const QByteArray& bytes);

// The same for a file too large to hold in memory, written piece by piece.
// Dropped before Commit (cancelled, or after a failure) it leaves no file.
class TAtomicFileWriter {
 public:
  explicit TAtomicFileWriter(const QString& fileName);
  ~TAtomicFileWriter();
  TAtomicFileWriter(const TAtomicFileWriter&) = delete;
  TAtomicFileWriter& operator=(const TAtomicFileWriter&) = delete;

  // Each returns false on failure, with the system's reason in ErrorString.
  bool Open();
  bool Write(const char* data, qint64 size);
  bool Commit();
  QString ErrorString() const;

 private:
  std::unique_ptr<QSaveFile> file_;
};
