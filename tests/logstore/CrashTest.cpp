// What survives when the program is killed, and the engine's own prompts
// kept away from any terminal.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "LogStoreTestSupport.h"
#include "logstore/DModule.h"

namespace fs = std::filesystem;

namespace {

const char* Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

}  // namespace

// Child: logs raw groups as fast as it can and, after every commit, tells
// the parent how many rows it had written by then.
TEST(ChildProcess, DISABLED_LogUntilKilled) {
  const std::string folder = Env("FW_CHILD_FOLDER");
  const int out = std::atoi(Env("FW_CHILD_PIPE"));
  ASSERT_FALSE(folder.empty());
  ASSERT_TRUE(DeployEmbeddedDatabase(folder));
  TDModule dm(folder);
  TSettingsRecord s;
  dm.LoadConfig(s);
  s.RawLogOn = 1;
  s.InputAntenna = 1;
  dm.BindSettings(&s);
  uint64_t commits = dm.CommitCount();
  for (uint32_t n = 1;; ++n) {
    const uint16_t g[5] = {static_cast<uint16_t>(n), static_cast<uint16_t>(n >> 16), 0x3333, 0x4444, 0};
    dm.LogRaw(g, static_cast<int>(n % 211));
    if (dm.CommitCount() != commits) {
      commits = dm.CommitCount();
      const std::string line = std::to_string(n) + "\n";
      if (::write(out, line.data(), line.size()) < 0) break;
    }
  }
}

TEST(CrashRecovery, RowsCommittedBeforeSigkillAreThereAfterRestart) {
  TDeployedFolder folder;
  std::string got;
  uint64_t committed = 0;
  {
    TChildTest child("ChildProcess.DISABLED_LogUntilKilled", {"FW_CHILD_FOLDER=" + folder.Path()});
    // Wait for a few commits of the running child, then kill it mid-write.
    int reports = 0;
    while (reports < 3 && child.Read(got, 30000))
      reports = static_cast<int>(std::count(got.begin(), got.end(), '\n'));
    ASSERT_GE(reports, 3) << "the child reported no commits: " << got;
    child.Kill(SIGKILL);
    const int status = child.Wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    // Everything the child reported before it died.
    while (child.Read(got, 100)) {
    }
    got.erase(got.find_last_of('\n') + 1);
    const size_t start = got.find_last_of('\n', got.size() - 2);
    committed = std::stoull(got.substr(start == std::string::npos ? 0 : start + 1));
  }
  ASSERT_GT(committed, 0u);

  // The database opens, holds every committed row, and works on.
  TDModule dm(folder.Path());
  TLogRowCounts n = dm.CountRows();
  EXPECT_GE(n.Raw, static_cast<int64_t>(committed));
  EXPECT_EQ(n.Config, 1);
  uint32_t expected = 1;
  bool inOrder = true;
  dm.ReadRawLog([&](const TRawLogRow& r) {
    inOrder = inOrder && (static_cast<uint32_t>(r.BLOCK[0]) | (static_cast<uint32_t>(r.BLOCK[1]) << 16)) == expected;
    ++expected;
  });
  EXPECT_TRUE(inOrder);
  TSettingsRecord s;
  dm.LoadConfig(s);
  s.RawLogOn = 1;
  dm.BindSettings(&s);
  const uint16_t g[5] = {1, 2, 3, 4, 5};
  dm.LogRaw(g, 1);
  EXPECT_TRUE(dm.Close()) << dm.CloseError();
  EXPECT_EQ(InspectLogDatabase(folder.Database()).Raw, n.Raw + 1);
}

// Child: the restore is handed a backup cut in half. The engine's restore
// then asks on the terminal for a next volume; with no terminal it gives up.
TEST(ChildProcess, DISABLED_RestoreOfTruncatedBackup) {
  TDeployedFolder folder;
  TSettingsRecord s = DecodeConfig(DefaultConfigRow());
  s.RawLogOn = 1;
  {
    TDModule dm(folder.Path());
    dm.BindSettings(&s);
    for (int i = 0; i < 3000; ++i) {
      const uint16_t g[5] = {static_cast<uint16_t>(i), 2, 3, 4, 5};
      dm.LogRaw(g, 1);
    }
  }
  const TLogRowCounts before = InspectLogDatabase(folder.Database());

  class TTruncating final : public IBackupService {
   public:
    void Backup(const std::string& Database, const std::string& File, const std::function<void()>& W) override {
      real_->Backup(Database, File, W);
      Closed = ReadFile(Database);
      fs::resize_file(File, fs::file_size(File) / 2);
    }
    void Restore(const std::string& File, const std::string& Database, const std::function<void()>& W) override {
      real_->Restore(File, Database, W);
    }
    TLogRowCounts Inspect(const std::string& Database) override { return real_->Inspect(Database); }
    std::string Closed;  // the database file as the backup left it

   private:
    std::unique_ptr<IBackupService> real_ = MakeFbBackupService();
  } service;
  IClock& clock = SystemClock();
  TExitBackup cycle(service, clock, nullptr);
  const TExitBackupResult r = cycle.Run(folder.Database(), before);
  EXPECT_FALSE(r.Ok);
  EXPECT_FALSE(r.Error.empty());
  EXPECT_TRUE(ReadFile(folder.Database()) == service.Closed);
  EXPECT_FALSE(fs::exists(TExitBackup::ScratchFileOf(folder.Database())));
  EXPECT_TRUE(fs::exists(folder.Database() + "_"));
  EXPECT_EQ(InspectLogDatabase(folder.Database()), before);
}

TEST(ExitBackup, TruncatedBackupLeavesTheDatabaseAsItWas) {
  TChildTest child("ChildProcess.DISABLED_RestoreOfTruncatedBackup", {});
  const int status = child.Wait();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
}
