#pragma once
// The database clean-up at exit: the closed database is backed up to
// "<name>_" and restored, which rebuilds the file and gives back the space of
// deleted rows. The backup goes to a new file beside "<name>_" and the
// restore into a scratch file beside the database; both replace their old
// files only after the restored file was checked, so a failed backup or
// restore (a full disk, a kill) never costs the database or the previous
// good backup. A database name that is a link stays a link: its target is
// replaced.
#include <functional>
#include <memory>
#include <string>

#include "logstore/LogDatabase.h"
#include "logstore/SplashProgress.h"
#include "platform/Clock.h"

class IBackupService {
 public:
  virtual ~IBackupService() = default;
  // Both throw when the service reports an error. OnWait is called between
  // polls while the service runs.
  virtual void Backup(const std::string& Database, const std::string& BackupFile,
                      const std::function<void()>& OnWait) = 0;
  virtual void Restore(const std::string& BackupFile, const std::string& Database,
                       const std::function<void()>& OnWait) = 0;
  // Attaches to a database and counts the rows of its four tables; throws
  // when it cannot attach or a table is missing.
  virtual TLogRowCounts Inspect(const std::string& Database) = 0;
};

// The engine's service manager.
std::unique_ptr<IBackupService> MakeFbBackupService();

struct TExitBackupResult {
  bool Ok = false;
  std::string Error;  // what failed; the database and the backup file stay
};

class TExitBackup {
 public:
  static constexpr const char* kBackupCaption = "Backup RDS Database ";
  static constexpr const char* kCleanCaption = "Clean RDS Database ";
  static constexpr const char* kVerifyCaption = "Verify RDS Database ";
  static constexpr unsigned kCaptionMs = 100;
  // A dot every half second; after the fortieth the dots start over, so a
  // long run keeps moving and the line never grows.
  static constexpr size_t kMaxDots = 40;
  static constexpr int64_t kDotMs = 500;
  static constexpr int kPollMs = 50;

  TExitBackup(IBackupService& Service, IClock& Clock, ISplashProgress* Splash);

  // Backs up and restores the closed database; Expected holds the row
  // counts it had, which the restored file must show again.
  TExitBackupResult Run(const std::string& Database, const TLogRowCounts& Expected);

  // Runs Work on a thread of its own while the caption's dots move on this
  // one; a caption shown already goes on with its dots. Rethrows what Work
  // threw.
  void WithProgress(const char* Caption, const std::function<void()>& Work);

  static std::string BackupFileOf(const std::string& Database) { return Database + "_"; }
  // Where the backup is written before it replaces the previous one.
  static std::string NewBackupFileOf(const std::string& Database) { return BackupFileOf(Database) + ".new"; }
  // Where the restore goes before it replaces the database file; beside the
  // real file (a linked database's target), so the rename stays in its folder.
  static std::string ScratchFileOf(const std::string& Database) { return Database + ".restore"; }

  // Removes what a run that was killed half-way left behind (tens of MB);
  // only while the database is attached, so no other run is under way.
  static void RemoveLeftovers(const std::string& Database);
  // For the message of a damaged database: that the last backup is kept and
  // how to restore it. Empty when there is no backup.
  static std::string RestoreAdvice(const std::string& Database);

 private:
  // Shows the caption unless it is shown already, then returns the progress
  // callback.
  std::function<void()> Progress(const char* Caption);

  IBackupService& service_;
  IClock& clock_;
  ISplashProgress* splash_;
  std::string caption_;
  std::string dots_;
  int64_t last_ = 0;
};
