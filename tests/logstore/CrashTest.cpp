// What survives when the program is killed, and the engine's own prompts
// kept away from any terminal.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "LogStoreTestSupport.h"
#include "logstore/DModule.h"

namespace fs = std::filesystem;

// Child: logs raw groups at 200 a second and, after each, tells the parent
// how many it has logged and how many of them are committed ("n d").
TEST(ChildProcess, DISABLED_LogUntilKilled) {
  const char* folder = std::getenv("FW_CHILD_FOLDER");
  ASSERT_TRUE(folder && DeployEmbeddedDatabase(folder));
  const int out = std::atoi(std::getenv("FW_CHILD_PIPE"));
  TDModule dm(folder);
  TSettingsRecord s;
  dm.LoadConfig(s);  // writes the settings row
  s = AllLogsOn();
  dm.BindSettings(&s);
  auto next = std::chrono::steady_clock::now();
  for (uint32_t n = 1;; ++n) {
    std::this_thread::sleep_until(next += std::chrono::milliseconds(5));
    const uint16_t g[5] = {static_cast<uint16_t>(n), static_cast<uint16_t>(n >> 16), 0x3333, 0x4444, 0};
    dm.LogRaw(g, static_cast<int>(n % 211));
    const std::string line = std::to_string(n) + " " + std::to_string(dm.DurableRows()) + "\n";
    if (::write(out, line.data(), line.size()) < 0) break;
  }
}

TEST(CrashRecovery, SigkillLosesNoCommittedRowAndAtMostTheLastSecond) {
  using Steady = std::chrono::steady_clock;
  TDeployedFolder folder;
  uint64_t durable = 0;     // rows the child last reported committed
  uint64_t secondAgo = 0;   // rows it had logged a second before it was killed
  {
    TChildTest child("ChildProcess.DISABLED_LogUntilKilled", {"FW_CHILD_FOLDER=" + folder.Path()});
    std::string got;
    std::vector<std::pair<Steady::time_point, uint64_t>> logged;
    auto take = [&](int timeoutMs) {
      if (!child.Read(got, timeoutMs)) return false;
      for (size_t eol; (eol = got.find('\n')) != std::string::npos; got.erase(0, eol + 1)) {
        char* end = nullptr;
        logged.emplace_back(Steady::now(), std::strtoull(got.c_str(), &end, 10));
        durable = std::strtoull(end, nullptr, 10);
      }
      return true;
    };
    // Three seconds of logging, then killed mid-stream.
    ASSERT_TRUE(take(30000)) << "the child logged nothing";
    const Steady::time_point killAt = Steady::now() + std::chrono::seconds(3);
    while (Steady::now() < killAt && take(1000)) {
    }
    child.Kill(SIGKILL);
    const Steady::time_point killed = Steady::now();
    const int status = child.Wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    while (take(100)) {  // what it wrote before it died
    }
    for (const auto& [at, n] : logged)
      if (at <= killed - std::chrono::seconds(1)) secondAgo = n;
  }
  ASSERT_GT(secondAgo, 0u);
  ASSERT_GT(durable, 0u);

  // The database opens, holds every committed row and every row logged up
  // to a second before the kill, in order, and works on.
  TDModule dm(folder.Path());
  TLogRowCounts n = dm.CountRows();
  EXPECT_GE(n.Raw, static_cast<int64_t>(std::max(durable, secondAgo)));
  EXPECT_EQ(n.Config, 1);
  uint32_t next = 1, outOfOrder = 0;
  dm.ReadRawLog([&](const TRawLogRow& r) {
    outOfOrder += (static_cast<uint32_t>(r.BLOCK[0]) | static_cast<uint32_t>(r.BLOCK[1]) << 16) != next++;
  });
  EXPECT_EQ(outOfOrder, 0u);
  TSettingsRecord s = AllLogsOn();
  dm.BindSettings(&s);
  dm.LogRaw({1, 2, 3, 4, 5}, 1);
  EXPECT_TRUE(dm.Close()) << dm.CloseError();
  EXPECT_EQ(InspectLogDatabase(folder.Database()).Raw, n.Raw + 1);
}

// Child: the restore is handed a backup cut in half. The engine's restore
// then asks on the terminal for a next volume; with no terminal it gives up.
TEST(ChildProcess, DISABLED_RestoreOfTruncatedBackup) {
  TDeployedFolder folder;
  TSettingsRecord s = AllLogsOn();
  {
    TDModule dm(folder.Path());
    dm.BindSettings(&s);
    for (uint16_t i = 0; i < 3000; ++i) dm.LogRaw({i, 2, 3, 4, 5}, 1);
  }
  const TLogRowCounts before = InspectLogDatabase(folder.Database());

  TSpoiledService service(TSpoiledService::BackupCutInHalf);
  TExitBackup cycle(service, SystemClock(), nullptr);
  const TExitBackupResult r = cycle.Run(folder.Database(), before);
  EXPECT_FALSE(r.Ok);
  EXPECT_FALSE(r.Error.empty());
  EXPECT_TRUE(ReadFile(folder.Database()) == service.DatabaseAfterBackup);
  EXPECT_FALSE(fs::exists(TExitBackup::ScratchFileOf(folder.Database())));
  EXPECT_TRUE(fs::exists(folder.Database() + "_"));
  EXPECT_EQ(InspectLogDatabase(folder.Database()), before);
}

TEST(ExitBackup, TruncatedBackupLeavesTheDatabaseAsItWas) {
  TChildTest child("ChildProcess.DISABLED_RestoreOfTruncatedBackup", {});
  const int status = child.Wait();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
}
