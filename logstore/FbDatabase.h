#pragma once
// A thin RAII layer over the embedded database engine's C++ interface: one
// attachment, a transaction that is committed with its context retained,
// prepared statements that keep working across those commits, and the
// service manager for backup and restore. Every engine error becomes an
// EDatabaseError carrying the engine's own message.
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/DateTime.h"

namespace Firebird {
class IMaster;
class IAttachment;
class ITransaction;
class IStatement;
class IResultSet;
class IMessageMetadata;
class IService;
class IStatus;
class CheckStatusWrapper;
}  // namespace Firebird

namespace fb {

class EDatabaseError : public std::runtime_error {
 public:
  explicit EDatabaseError(const std::string& message, intptr_t code = 0)
      : std::runtime_error(message), code_(code) {}
  // The engine's first error code (0 for our own errors).
  intptr_t Code() const { return code_; }

 private:
  intptr_t code_;
};

// Owns one engine status object and turns its errors into EDatabaseError.
class TStatus {
 public:
  TStatus();
  ~TStatus();
  TStatus(const TStatus&) = delete;
  TStatus& operator=(const TStatus&) = delete;

  // Clears the status before a call; the returned wrapper is passed to it.
  Firebird::CheckStatusWrapper* operator()();
  // Throws when the last call failed; `what` prefixes the message.
  void Check(const char* what) const;
  bool Failed() const;
  std::string Text() const;

 private:
  Firebird::IStatus* status_;
  std::unique_ptr<Firebird::CheckStatusWrapper> wrapper_;
};

struct TConnectParams {
  std::string User = "SYSDBA";
  std::string Password;
  std::string Charset = "ISO8859_1";
  // 1 or 0 switches the database's forced writes on or off (a setting the
  // file keeps); -1 leaves them as they are. Database attachments only.
  int ForcedWrites = -1;
};

class TAttachment {
 public:
  TAttachment() = default;
  ~TAttachment();  // detaches quietly when still attached
  TAttachment(const TAttachment&) = delete;
  TAttachment& operator=(const TAttachment&) = delete;

  void Open(const std::string& path, const TConnectParams& params = {});
  // Detaches; throws when the engine refuses (for example open transactions).
  void Close();
  bool Active() const { return att_ != nullptr; }
  Firebird::IAttachment* Handle() const { return att_; }

 private:
  Firebird::IAttachment* att_ = nullptr;
};

// Read committed, record version, no wait.
class TTransaction {
 public:
  TTransaction() = default;
  ~TTransaction();  // rolls back quietly when still active
  TTransaction(const TTransaction&) = delete;
  TTransaction& operator=(const TTransaction&) = delete;

  void Start(TAttachment& att);
  void CommitRetaining();
  void Commit();
  bool Active() const { return tra_ != nullptr; }
  Firebird::ITransaction* Handle() const { return tra_; }

 private:
  Firebird::ITransaction* tra_ = nullptr;
};

// One prepared statement with its input and output messages. Parameters and
// columns are numbered from 0. Texts are raw bytes; a text longer than its
// column is cut to the column's length, as a fixed-length field takes it.
class TStatement {
 public:
  TStatement() = default;
  ~TStatement();
  TStatement(const TStatement&) = delete;
  TStatement& operator=(const TStatement&) = delete;

  void Prepare(TAttachment& att, TTransaction& tra, const std::string& sql);
  void Free();

  // Every parameter is NULL until it is set.
  void SetInt(unsigned i, int64_t value);  // out of the column's range: EDatabaseError
  void SetText(unsigned i, const std::string& value);
  void SetTimestamp(unsigned i, TDateTime value);

  // Runs a statement without a cursor; returns the rows it affected.
  uint64_t Execute();

  // Cursor over the statement's result.
  void Open();
  bool Fetch();  // false at the end (the cursor is then closed)
  void CloseCursor();

  unsigned ColumnCount() const { return static_cast<unsigned>(outFields_.size()); }
  bool IsNull(unsigned i) const;
  int64_t GetInt(unsigned i) const;  // NULL reads as 0
  std::string GetText(unsigned i) const;  // NULL reads as empty; CHAR keeps its padding
  TDateTime GetTimestamp(unsigned i) const;  // NULL reads as 0

 private:
  struct TField {
    unsigned Type = 0;
    unsigned Length = 0;
    int Scale = 0;
    unsigned Offset = 0;
    unsigned NullOffset = 0;
  };
  static std::vector<TField> Describe(Firebird::IMessageMetadata* meta);
  const TField& In(unsigned i) const;
  const TField& Out(unsigned i) const;

  TTransaction* tra_ = nullptr;
  Firebird::IStatement* stmt_ = nullptr;
  Firebird::IResultSet* cursor_ = nullptr;
  Firebird::IMessageMetadata* inMeta_ = nullptr;
  Firebird::IMessageMetadata* outMeta_ = nullptr;
  std::vector<TField> inFields_, outFields_;
  std::vector<uint64_t> inBuf_, outBuf_;  // 8-byte aligned message buffers
  TStatus status_;
};

// The engine's service manager, used for backup and restore. While a
// service runs, `OnWait` is called between polls; the wait between polls
// is a real pause, not a busy loop.
class TServiceManager {
 public:
  TServiceManager() = default;
  ~TServiceManager();  // detaches quietly
  TServiceManager(const TServiceManager&) = delete;
  TServiceManager& operator=(const TServiceManager&) = delete;

  void Attach(const TConnectParams& params = {});
  void Detach();
  bool Active() const { return svc_ != nullptr; }

  // Backup ignoring limbo transactions.
  void Backup(const std::string& database, const std::string& backupFile,
              const std::function<void()>& onWait);
  // Restore replacing an existing file and using all space of each page.
  void Restore(const std::string& backupFile, const std::string& database,
               const std::function<void()>& onWait);

  // Pause between two questions whether the service still runs.
  static constexpr int kPollMs = 100;

 private:
  void RunToEnd(const std::vector<uint8_t>& spb, const std::function<void()>& onWait);

  Firebird::IService* svc_ = nullptr;
};

Firebird::IMaster* Master();

// Days between the engine's day 0 (1858-11-17) and TDateTime's (1899-12-30).
constexpr int kTimestampDayShift = 15018;

}  // namespace fb
