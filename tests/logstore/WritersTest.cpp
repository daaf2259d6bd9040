// The log writers: which rows under which switches, when durable, and a failing disk.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "LogStoreTestSupport.h"
#include "logstore/DModule.h"
#include "logstore/LogWriter.h"
#include "support/FakeClock.h"
#include "support/FakeLogDatabase.h"

namespace {

// A backup that keeps whatever the fake database holds.
struct TNoBackup final : IBackupService {
  TFakeLogDatabase* Db;
  explicit TNoBackup(TFakeLogDatabase* d) : Db(d) {}
  void Backup(const std::string&, const std::string&, const std::function<void()>&) override {}
  void Restore(const std::string&, const std::string&, const std::function<void()>&) override {}
  TLogRowCounts Inspect(const std::string&) override { return Db->CountRows(); }
};

// A data module over the fake database.
struct TFakeModule {
  TFakeClock Clock;
  TSettingsRecord Settings = AllLogsOn();
  std::vector<std::string> Faults;
  std::unique_ptr<TDModule> Dm;

  TFakeModule() {
    auto db = std::make_unique<TFakeLogDatabase>();
    db_ = db.get();
    Dm = std::make_unique<TDModule>(std::move(db), std::make_unique<TNoBackup>(db_), "/nowhere/RDSLOG.FDB", Clock);
    Dm->BindSettings(&Settings);
    Dm->SetFaultHandler(TMethod<const std::string&>(std::string("faults"), [this](const std::string& m) { Faults.push_back(m); }));
  }
  // The fake, once the writer thread has written every row handed over.
  TFakeLogDatabase& Db() {
    Dm->WaitWritten();
    return *db_;
  }
  // The kinds 0..40 that are written now, as their SIG values.
  std::set<int> WrittenSigs() {
    Db().Changes.clear();
    for (int kind = 0; kind <= 40; ++kind) Dm->LogChange(kind, kind * 3, "x");
    std::set<int> sigs;
    for (const auto& c : Db().Changes) sigs.insert(c.SIG);
    return sigs;
  }

 private:
  TFakeLogDatabase* db_;
};

const uint16_t kGroup[5] = {0xD3C2, 0x2420, 0xE0CD, 0x4142, 0x0007};

}  // namespace

TEST(LogWriters, EachLogFollowsItsSwitchesAndNoneWritesDuringAReplay) {
  TFakeModule m;
  const std::set<int> all{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 200};
  EXPECT_EQ(m.WrittenSigs(), all);  // kind 37 is stored as code 200

  // Master switch off: only mode changes and system events.
  m.Settings.ChangeLogOn = 0;
  EXPECT_EQ(m.WrittenSigs(), (std::set<int>{12, 200}));
  m.Settings.ChangeLogOn = 1;

  // Each per-kind switch silences exactly its kinds.
  struct {
    uint8_t TSettingsRecord::*Switch;
    std::set<int> Kinds;
  } const cases[] = {{&TSettingsRecord::LogPI, {0}}, {&TSettingsRecord::LogTP, {1}}, {&TSettingsRecord::LogPTY, {2}},
                     {&TSettingsRecord::LogTA, {3}}, {&TSettingsRecord::LogMS, {4}}, {&TSettingsRecord::LogDI, {5}},
                     {&TSettingsRecord::LogPS, {6}}, {&TSettingsRecord::LogCT, {7}},
                     {&TSettingsRecord::LogFreqChange, {8}}, {&TSettingsRecord::LogAF, {9}},
                     {&TSettingsRecord::LogRT, {10, 11}}};
  for (const auto& c : cases) {
    m.Settings.*c.Switch = 0;
    std::set<int> expected = all;
    for (int k : c.Kinds) expected.erase(k);
    EXPECT_EQ(m.WrittenSigs(), expected) << "kind " << *c.Kinds.begin();
    m.Settings.*c.Switch = 1;
  }

  // Raw rows follow their switch and mark the MPX input with 255 instead of
  // the channel; the extended writer leaves its switch to the caller.
  m.Dm->LogRaw(kGroup, 115);
  m.Settings.InputAntenna = 0;
  m.Dm->LogRaw(kGroup, 115);
  m.Settings.RawLogOn = m.Settings.ExtLogOn = 0;
  m.Dm->LogRaw(kGroup, 115);
  m.Dm->LogExt(TExtRecord{});
  const std::vector<TRawRecord>& raws = m.Db().Raws;
  ASSERT_EQ(raws.size(), 2u);
  EXPECT_TRUE(std::equal(kGroup, kGroup + 5, raws[0].Words) && raws[0].Words[5] == 0);
  EXPECT_TRUE(raws[0].Freq == 115 && raws[1].Freq == 255 && m.Db().Exts.size() == 1);
  m.Settings.RawLogOn = 1;

  // Replay mode: nothing at all, not even mode changes or system events.
  m.Dm->SetReplayMode(true);
  EXPECT_TRUE(m.WrittenSigs().empty());
  m.Dm->LogRaw(kGroup, 115);
  m.Dm->LogExt(TExtRecord{});
  EXPECT_TRUE(m.Db().Raws.size() == 2 && m.Db().Exts.size() == 1);
  m.Dm->SetReplayMode(false);

  // Without settings bound every switch counts as off.
  m.Dm->BindSettings(nullptr);
  EXPECT_EQ(m.WrittenSigs(), (std::set<int>{12, 200}));
  m.Dm->LogRaw(kGroup, 115);
  EXPECT_EQ(m.Db().Raws.size(), 2u);
}

TEST(LogWriters, RowsAreCommittedWithinASecondEvenWithoutFurtherWrites) {
  TFakeModule m;
  const int base = m.Db().Commits;
  m.Dm->LogRaw(kGroup, 1);
  m.Dm->LogChange(12, 0, "ANT");
  EXPECT_EQ(m.Db().Commits, base);  // not every row costs a commit
  m.Clock.Advance(TDModule::kCommitAgeMs - 1);
  m.Dm->CommitIfDue();
  EXPECT_EQ(m.Db().Commits, base);
  m.Clock.Advance(1);
  m.Dm->CommitIfDue();  // the timer's tick
  EXPECT_EQ(m.Db().Commits, base + 1);
  EXPECT_EQ(m.Db().CommittedRows, 2u);
  m.Dm->CommitIfDue();  // nothing waiting: no commit
  EXPECT_EQ(m.Db().Commits, base + 1);

  // A steady stream commits by itself, at most one commit per interval.
  for (int i = 0; i < 100; ++i) {
    m.Dm->LogRaw(kGroup, 1);
    m.Clock.Advance(50);
  }
  EXPECT_EQ(m.Db().Commits, base + 1 + 100 * 50 / (TDModule::kCommitAgeMs + 50));
  EXPECT_GE(m.Db().CommittedRows, m.Db().Rows() - (TDModule::kCommitAgeMs / 50 + 1));

  // Saving the settings commits the log rows too.
  m.Dm->LogRaw(kGroup, 1);
  TSettingsRecord s;
  m.Dm->LoadConfig(s);
  m.Dm->SaveConfig(s);
  EXPECT_EQ(m.Db().CommittedRows, m.Db().Rows());
}

TEST(LogWriters, FailingDiskIsReportedOnceThenRetriedWhileTheProgramRuns) {
  TFakeModule m;
  m.Db().FailWrites = true;
  for (int i = 0; i < 50; ++i) m.Dm->LogRaw(kGroup, 1);
  m.Dm->WaitWritten();  // the fault is told on this thread
  ASSERT_EQ(m.Faults.size(), 1u);
  EXPECT_NE(m.Faults[0].find("disk full"), std::string::npos);
  EXPECT_TRUE(m.Dm->LogSuspended());
  // Suspended: the database is not hammered row after row.
  EXPECT_EQ(m.Db().WriteCalls, 1);
  EXPECT_EQ(m.Dm->DroppedRows(), 50u);

  // Still failing at the retry: tried once more, still reported only once.
  m.Clock.Advance(TDModule::kRetryMs);
  m.Dm->LogChange(12, 0, "MPX");
  EXPECT_EQ(m.Db().WriteCalls, 2);
  EXPECT_EQ(m.Faults.size(), 1u);

  // The disk recovers: the next attempt after the retry time resumes.
  m.Db().FailWrites = false;
  m.Dm->LogChange(12, 0, "ANT");
  EXPECT_EQ(m.Db().WriteCalls, 2);  // not yet time
  m.Clock.Advance(TDModule::kRetryMs);
  m.Dm->LogChange(12, 0, "ANT");
  EXPECT_EQ(m.Db().Changes.size(), 1u);
  EXPECT_FALSE(m.Dm->LogSuspended());
  EXPECT_EQ(m.Db().CommittedRows, m.Db().Rows());

  // A commit that fails suspends as well, and is reported again as a new fault.
  auto tick = [&] { m.Dm->CommitIfDue(), m.Dm->WaitWritten(); };
  m.Db().FailCommits = true;
  m.Dm->LogRaw(kGroup, 1);
  m.Clock.Advance(TDModule::kCommitAgeMs);
  tick();
  EXPECT_TRUE(m.Dm->LogSuspended());
  EXPECT_EQ(m.Faults.size(), 2u);
  tick();  // the timer keeps ticking: no retry before its time
  m.Db().FailCommits = false;
  tick();
  EXPECT_TRUE(m.Dm->LogSuspended());
  m.Clock.Advance(TDModule::kRetryMs);
  tick();
  EXPECT_FALSE(m.Dm->LogSuspended());
  EXPECT_EQ(m.Db().CommittedRows, m.Db().Rows());
  EXPECT_EQ(m.Faults.size(), 2u);

  // So does the commit before the viewer reads, retried at its next call.
  m.Dm->LogRaw(kGroup, 1);
  m.Db().FailCommits = true;
  m.Dm->Commit();
  EXPECT_EQ(m.Faults.size(), 3u);
  EXPECT_TRUE(m.Dm->LogSuspended());
  m.Db().FailCommits = false;
  m.Clock.Advance(TDModule::kRetryMs);
  m.Dm->Commit();
  EXPECT_FALSE(m.Dm->LogSuspended());
  EXPECT_EQ(m.Db().CommittedRows, m.Db().Rows());
}

// A database slower than the rows: the caller waits for room rather than the queue
// growing without end; Exclusive sees every row handed over before it.
TEST(LogWriters, SlowDatabaseHoldsTheCallerBackAndExclusiveSeesEveryRow) {
  TFakeLogDatabase db;
  TLogWriter writer(db);
  std::mutex m;
  std::condition_variable cv;
  bool open = false;
  auto row = [&](ILogDatabase& d) {
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return open; });
    d.InsertChange(1, 0, "");
  };
  auto gate = [&](bool to) {
    std::lock_guard<std::mutex> lock(m);
    open = to;
    cv.notify_all();
  };
  std::atomic<size_t> posted{0};
  const size_t total = TLogWriter::kMaxQueued + 50;
  std::thread producer([&] {
    for (size_t i = 0; i < total; ++i, ++posted) writer.Post(0, row);
  });
  // One row in the writer's hands, the queue full behind it: the producer stops.
  for (int i = 0; i < 500 && posted < TLogWriter::kMaxQueued + 1; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(posted.load(), TLogWriter::kMaxQueued + 1);
  gate(true);
  producer.join();
  // The first rows drain before the gate closes again: with the queue still
  // full, the posts below would wait for room the closed gate never makes.
  writer.Exclusive([](ILogDatabase&) {});
  // Rows still queued behind a slow one: Exclusive waits for all of them.
  gate(false);
  for (int i = 0; i < 3; ++i) writer.Post(0, row);
  size_t seen = 0;
  std::thread reader([&] { writer.Exclusive([&](ILogDatabase&) { seen = db.Changes.size(); }); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  gate(true);
  reader.join();
  EXPECT_EQ(seen, total + 3);
}

// The row the writer took off the queue but has not yet locked the attachment
// for: the queue is empty then, and Exclusive must still wait for that row.
TEST(LogWriters, ExclusiveWaitsForTheRowTakenButNotYetWritten) {
  TFakeLogDatabase db;
  TLogWriter writer(db);
  std::mutex m;
  std::condition_variable cv;
  bool taken = false, go = false;
  writer.SetTakenHook([&] {
    std::unique_lock<std::mutex> lock(m);
    taken = true;
    cv.notify_all();
    cv.wait(lock, [&] { return go; });
  });
  writer.Post(0, [](ILogDatabase& d) { d.InsertChange(1, 0, ""); });
  {
    std::unique_lock<std::mutex> lock(m);
    ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(5), [&] { return taken; }));
  }
  std::atomic<bool> ran{false};
  size_t seen = 0;
  std::thread reader([&] {
    writer.Exclusive([&](ILogDatabase&) { seen = db.Changes.size(); });
    ran = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(ran.load());  // still held back by the row in hand
  {
    std::lock_guard<std::mutex> lock(m);
    go = true;
    cv.notify_all();
  }
  reader.join();
  EXPECT_EQ(seen, 1u);
}
