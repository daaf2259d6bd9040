// The backup and restore of the database at exit.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "LogStoreTestSupport.h"
#include "logstore/DModule.h"
#include "support/FakeClock.h"

namespace fs = std::filesystem;

namespace {

// Every row of the three logs as text.
std::vector<std::string> Snapshot(TDModule& dm) {
  std::vector<std::string> s;
  dm.ReadChangeLog(TChangeLogView::AsWritten, [&](const TChangeLogRow& r) {
    s.push_back("CH " + std::to_string(r.ID) + " " + dt::ToIsoText(r.DT) + " " + std::to_string(r.SIG) + " " +
                std::to_string(r.INTD) + " " + r.STR);
  });
  dm.ReadRawLog([&](const TRawLogRow& r) {
    std::string line = "RAW " + std::to_string(r.ID) + " " + dt::ToIsoText(r.DT);
    for (int b : r.BLOCK) line += " " + std::to_string(b);
    s.push_back(line + " " + std::to_string(r.FREQ));
  });
  dm.ReadExtLog([&](const TExtLogRow& r) {
    s.push_back("EXT " + std::to_string(r.ID) + " " + r.PS + r.RTA + r.MODE + r.AF);
  });
  return s;
}

// Raw groups, then a change, a system event and an extended row.
void WriteSome(TDModule& dm, int raws) {
  for (uint16_t i = 0; i < raws; ++i) dm.LogRaw({i, 0x2420, 0x3333, 0x4444, 0}, i % 211);
  dm.LogChange(6, 0, "PS NAME ");
  dm.LogChange(37, 0, "PROGRAM CLOSED");
  TExtRecord e;
  e.PS = "EXTENDED";
  e.MODE = "AR";
  dm.LogExt(e);
}

std::unique_ptr<TDModule> Open(const TDeployedFolder& folder, IClock& clock,
                               std::unique_ptr<IBackupService> service = MakeFbBackupService()) {
  return std::make_unique<TDModule>(MakeFbLogDatabase(), std::move(service), folder.Database(), clock);
}

}  // namespace

// The database a link to a file elsewhere: the link stays, its target is
// replaced, and what a killed exit backup left goes at the next start.
TEST(ExitBackup, KeepsEveryRowAndTheLinkAndShrinksTheFileAfterAMassDelete) {
  TDeployedFolder folder;
  TTempProgramFolder elsewhere(false);
  const std::string target = elsewhere.File("logs.fdb");
  fs::copy_file(folder.Database(), target);
  fs::remove(folder.Database());
  fs::create_symlink(target, folder.Database());
  const std::string leftovers[] = {TExitBackup::NewBackupFileOf(folder.Database()), TExitBackup::ScratchFileOf(target)};
  for (const std::string& file : leftovers) std::ofstream(file) << std::string(1 << 20, 'x');
  TFakeClock clock(dt::Now());
  TSettingsRecord s;
  std::vector<std::string> before;
  {
    auto dm = Open(folder, clock);
    for (const std::string& file : leftovers) EXPECT_FALSE(fs::exists(file)) << file;
    dm->LoadConfig(s);
    s = AllLogsOn();
    s.KeepDays = 5;
    dm->SaveConfig(s);
    dm->BindSettings(&s);
    WriteSome(*dm, 30000);
    before = Snapshot(*dm);
    TRecordingSplash splash;
    dm->SetSplash(&splash);
    EXPECT_TRUE(dm->Close()) << dm->CloseError();
    EXPECT_EQ(splash.Steps.at(0).first, "Backup RDS Database ");
  }
  EXPECT_EQ(fs::read_symlink(folder.Database()), target);
  EXPECT_TRUE(fs::is_regular_file(folder.Database() + "_"));
  EXPECT_FALSE(fs::exists(TExitBackup::ScratchFileOf(target)));
  EXPECT_FALSE(fs::exists(TExitBackup::ScratchFileOf(folder.Database())));
  const auto fullSize = fs::file_size(folder.Database());
  {
    auto dm = Open(folder, clock);
    EXPECT_EQ(Snapshot(*dm), before);
    // The generators carry on after the restore.
    dm->BindSettings(&s);
    dm->LogChange(12, 0, "MPX");
    int last = 0;
    dm->ReadChangeLog(TChangeLogView::AsWritten, [&](const TChangeLogRow& r) { last = r.ID; });
    EXPECT_EQ(last, 3);
    s.KeepDays = 1;
    dm->SaveConfig(s);
  }
  // Two days on, the next start purges everything; the exit then gives the
  // space back.
  clock.Advance(2 * 86400000LL);
  {
    auto dm = Open(folder, clock);
    EXPECT_EQ(dm->CountRows().Raw, 0);
  }
  EXPECT_LT(fs::file_size(folder.Database()), fullSize / 2);
  EXPECT_TRUE(fs::is_symlink(folder.Database()));
}

TEST(ExitBackup, SpoiledBackupOrRestoreNeverCostsTheDatabase) {
  TDeployedFolder folder;
  TFakeClock clock(dt::Now());
  TSettingsRecord s = AllLogsOn();
  {
    auto dm = Open(folder, clock);
    dm->BindSettings(&s);
    WriteSome(*dm, 2000);
  }
  const std::vector<std::string> good = Snapshot(*Open(folder, clock));
  ASSERT_EQ(good.size(), 2003u);
  std::string goodBackup = ReadFile(folder.Database() + "_");
  ASSERT_FALSE(goodBackup.empty());

  const std::pair<const char*, TSpoiledService::TSpoil> cases[] = {
      {"backup that fails half-way (a full disk)", TSpoiledService::BackupFailsHalfWay},
      {"backup of garbage", TSpoiledService::BackupOfGarbage},
      {"restore that fails half-way", TSpoiledService::RestoreFailsHalfWay},
      {"restore that loses rows", TSpoiledService::RestoreLosesARow},
      {"restore to an unusable file", TSpoiledService::RestoreToJunk}};
  for (const auto& [name, spoil] : cases) {
    SCOPED_TRACE(name);
    auto service = std::make_unique<TSpoiledService>(spoil);
    TSpoiledService* spoiled = service.get();
    int faults = 0;
    auto dm = Open(folder, clock, std::move(service));
    dm->SetFaultHandler(TMethod<const std::string&>(std::string("fault"), [&](const std::string&) { ++faults; }));
    EXPECT_FALSE(dm->Close());
    EXPECT_EQ(faults, 1);
    EXPECT_FALSE(dm->CloseError().empty());
    // The database file is exactly as it was closed, the previous good
    // backup is untouched, and no scratch file is left behind.
    EXPECT_EQ(ReadFile(folder.Database()), spoiled->DatabaseAfterBackup);
    EXPECT_TRUE(ReadFile(folder.Database() + "_") == goodBackup);
    EXPECT_FALSE(fs::exists(TExitBackup::ScratchFileOf(folder.Database())));
    EXPECT_FALSE(fs::exists(TExitBackup::NewBackupFileOf(folder.Database())));
    dm.reset();
    auto check = Open(folder, clock);
    EXPECT_EQ(Snapshot(*check), good);
    check.reset();  // a good exit: its backup is the next case's previous one
    goodBackup = ReadFile(folder.Database() + "_");
  }
}

TEST(ExitBackup, ProgressKeepsMovingWithinFortyDotsAndSaysWhatItDoes) {
  TTempProgramFolder folder(false);
  const std::string db = folder.File("RDSLOG.FDB");
  std::ofstream(db) << "old";
  TFakeClock clock;

  // The backup takes 400 polls of 300 ms (120 s), the restore 3 of 600 ms.
  struct TSlowService final : IBackupService {
    TFakeClock& Clock;
    explicit TSlowService(TFakeClock& c) : Clock(c) {}
    void Run(const std::function<void()>& wait, int polls, int stepMs, const std::string& file, const char* text) {
      for (int i = 0; i < polls; ++i) Clock.Advance(stepMs), wait();
      std::ofstream(file) << text;
    }
    void Backup(const std::string&, const std::string& f, const std::function<void()>& w) override {
      Run(w, 400, 300, f, "backup");
    }
    void Restore(const std::string&, const std::string& f, const std::function<void()>& w) override {
      Run(w, 3, 600, f, "new");
    }
    TLogRowCounts Inspect(const std::string&) override { return {1, 2, 3, 4}; }
  } service(clock);

  TRecordingSplash splash;
  TExitBackup cycle(service, clock, &splash);
  const TExitBackupResult r = cycle.Run(db, {1, 2, 3, 4});
  EXPECT_TRUE(r.Ok) << r.Error;
  EXPECT_EQ(ReadFile(db), "new");

  // Each caption, then one more dot per call once 500 ms have passed (every
  // other 300 ms poll); after forty they start over. Only a caption waits
  // 100 ms.
  std::vector<std::pair<std::string, unsigned>> expected;
  for (int i = 0; i <= 200; ++i)
    expected.emplace_back("Backup RDS Database " + std::string(i ? (i - 1) % 40 + 1 : 0, '.'), i ? 0 : 100);
  for (int i = 0; i <= 3; ++i) expected.emplace_back("Clean RDS Database " + std::string(i, '.'), i ? 0 : 100);
  expected.emplace_back("Verify RDS Database ", 100);
  EXPECT_EQ(splash.Steps, expected);
}
