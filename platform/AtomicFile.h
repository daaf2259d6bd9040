#pragma once
// Files written whole or not at all: the bytes go to a temporary file beside
// the target, which replaces the target only when everything was written, so
// a failed save leaves no partial file and keeps an existing one.
#include <QByteArray>
#include <QString>

#include <stdexcept>

class EFileSaveError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws EFileSaveError with the system's reason when the file cannot be
// created, written or put in place.
void SaveFileAtomically(const QString& fileName, const QByteArray& bytes);
