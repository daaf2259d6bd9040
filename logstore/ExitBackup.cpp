#include "logstore/ExitBackup.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <memory>

#include "logstore/FbDatabase.h"

namespace fs = std::filesystem;

namespace {

class TFbBackupService final : public IBackupService {
 public:
  void Backup(const std::string& Database, const std::string& BackupFile,
              const std::function<void()>& OnWait) override {
    fb::TServiceManager svc;
    svc.Attach(LogDatabaseConnectParams());
    svc.Backup(Database, BackupFile, OnWait);
    svc.Detach();
  }

  void Restore(const std::string& BackupFile, const std::string& Database,
               const std::function<void()>& OnWait) override {
    fb::TServiceManager svc;
    svc.Attach(LogDatabaseConnectParams());
    svc.Restore(BackupFile, Database, OnWait);
    svc.Detach();
  }

  TLogRowCounts Inspect(const std::string& Database) override { return InspectLogDatabase(Database); }
};

// Forces a file's (or a folder's) contents to the disk.
bool SyncToDisk(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | flags);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

std::string CountsText(const TLogRowCounts& n) {
  return std::to_string(n.Config) + "/" + std::to_string(n.Changes) + "/" + std::to_string(n.Raw) + "/" +
         std::to_string(n.Ext);
}

// A linked database keeps its link: the file replaced is the link's target.
std::string RealFileOf(const std::string& Database) {
  std::error_code ec;
  const std::string real = fs::canonical(Database, ec).string();
  return ec ? Database : real;
}

}  // namespace

void TExitBackup::RemoveLeftovers(const std::string& Database) {
  std::error_code ec;
  fs::remove(NewBackupFileOf(Database), ec);
  fs::remove(ScratchFileOf(RealFileOf(Database)), ec);
}

std::string TExitBackup::RestoreAdvice(const std::string& Database) {
  const std::string backup = BackupFileOf(Database);
  std::error_code ec;
  if (!fs::is_regular_file(backup, ec)) return {};
  return "\n\nThe copy made at the last exit is kept: " + backup +
         "\nTo go back to it (what was logged since is lost), end the program, move the damaged " + Database +
         " aside and run:\ngbak -c \"" + backup + "\" \"" + Database + "\" -user SYSDBA";
}

std::unique_ptr<IBackupService> MakeFbBackupService() { return std::make_unique<TFbBackupService>(); }

TExitBackup::TExitBackup(IBackupService& Service, IClock& Clock, ISplashProgress* Splash)
    : service_(Service), clock_(Clock), splash_(Splash) {}

std::function<void()> TExitBackup::Progress(const char* Caption) {
  if (caption_ != Caption) {
    caption_ = Caption;
    dots_.clear();
    if (splash_) splash_->ShowStatus(caption_, kCaptionMs);
    last_ = clock_.SteadyMs();
  }
  return [this] {
    const int64_t now = clock_.SteadyMs();
    if (now - last_ <= kDotMs) return;
    if (dots_.size() >= kMaxDots) dots_.clear();
    dots_ += '.';
    last_ = now;
    if (splash_) splash_->ShowStatus(caption_ + dots_, 0);
  };
}

void TExitBackup::WithProgress(const char* Caption, const std::function<void()>& Work) {
  const std::function<void()> tick = Progress(Caption);
  std::future<void> done = std::async(std::launch::async, Work);
  while (done.wait_for(std::chrono::milliseconds(kPollMs)) != std::future_status::ready) tick();
  done.get();
}

TExitBackupResult TExitBackup::Run(const std::string& Database, const TLogRowCounts& Expected) {
  TExitBackupResult r;
  std::error_code ec;
  const std::string backup = BackupFileOf(Database);
  const std::string newBackup = NewBackupFileOf(Database);
  const std::string real = RealFileOf(Database);
  const std::string scratch = ScratchFileOf(real);

  // Nothing half-made is left, whatever failed.
  auto fail = [&](const std::string& what) {
    fs::remove(scratch, ec);
    fs::remove(newBackup, ec);
    r.Error = what;
    return r;
  };
  try {
    fs::remove(newBackup, ec);  // left by a run that was killed
    service_.Backup(Database, newBackup, Progress(kBackupCaption));
  } catch (const std::exception& e) {
    return fail(std::string("Backup of the log database failed: ") + e.what());
  }
  try {
    fs::remove(scratch, ec);
    service_.Restore(newBackup, scratch, Progress(kCleanCaption));
  } catch (const std::exception& e) {
    return fail(std::string("Restore of the log database failed: ") + e.what());
  }
  try {
    TLogRowCounts got;
    WithProgress(kVerifyCaption, [&] { got = service_.Inspect(scratch); });
    if (!(got == Expected))
      return fail("Restored log database differs: rows " + CountsText(got) + " instead of " +
                  CountsText(Expected));
  } catch (const std::exception& e) {
    return fail(std::string("Restored log database cannot be opened: ") + e.what());
  }
  // The new backup has proved itself by the restore. Each file is on the disk
  // before it takes its name, so a power cut right after the exit leaves the
  // old file or the new one, never a name without its contents.
  bool synced = false;
  WithProgress(kVerifyCaption, [&] { synced = SyncToDisk(newBackup, 0) && SyncToDisk(scratch, 0); });
  if (!synced)
    return fail("Log database backup cannot be written to the disk");
  if (std::rename(newBackup.c_str(), backup.c_str()) != 0)
    return fail("Log database backup cannot replace " + backup);
  if (std::rename(scratch.c_str(), real.c_str()) != 0)
    return fail("Restored log database cannot replace " + real);
  for (const std::string& file : {backup, real}) {
    const fs::path folder = fs::path(file).parent_path();
    SyncToDisk(folder.empty() ? std::string(".") : folder.string(), O_DIRECTORY);
  }
  r.Ok = true;
  return r;
}
