// Log viewer speed over logs of one and four million rows: opening the
// viewer until its grids have painted, a jump to the last row of the raw log,
// reading pages at both ends and in the middle, and the CSV export.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <map>
#include <utility>

#include "logstore/LogCsv.h"
#include "logstore/LogGridModel.h"
#include "logstore/fb_embedded.h"
#include "logstore/logview.h"
#include "BenchRun.h"
#include "support/LogFill.h"
#include "support/QtApp.h"
#include "support/TempProgramFolder.h"

namespace {

constexpr int kMillion = 1000000;

// Raw and change logs of Millions rows each, an extended log of a tenth. The
// filled database is kept between runs (filling four million rows takes
// a minute or two); each run deploys the engine into a folder of its own and
// opens the kept file from there.
struct TBigLog {
  TTempProgramFolder Folder{false};
  std::string Database;
  TBigLog() {
    if (!DeployEmbeddedDatabase(Folder.Path())) throw std::runtime_error("deployment failed");
  }
  ~TBigLog() { RemoveEmbeddedDatabase(Folder.Path()); }
  void Make(int Millions) {
    Database = KeptFixture("fenwisk-bench-keep-log-" + std::to_string(Millions) + "M.fdb", [&](const std::string& Path) {
      std::filesystem::copy_file(TTempProgramFolder::BuiltDatabase(), Path);
      std::filesystem::permissions(Path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
      BulkFill(Path, [&] {
        FillRaw(Path, Millions * kMillion);
        FillChanges(Path, Millions * kMillion);
        FillExt(Path, Millions * kMillion / 10);
      });
    });
  }
};

// The logs of one and four million rows, both made at the first use of
// either, before anything is measured: when they are not kept yet, the two
// fills run side by side (two files, two threads), so the first run waits
// for the bigger one only.
TBigLog& BigLog(int Millions = 1) {
  static TBigLog one, four;
  [[maybe_unused]] static const bool made = [] {
    auto fourMade = std::async(std::launch::async, [] { four.Make(4); });
    one.Make(1);
    fourMade.get();
    return true;
  }();
  return Millions == 1 ? one : four;
}

void Setup() {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  EnsureQApplication();
  BigLog();
}

// From creating the window to its first picture (all three grids on their
// newest rows).
void BM_ViewerOpenToFirstPaint(benchmark::State& state) {
  Setup();
  for (auto _ : state) {
    auto* form = new TLogViewForm(nullptr, BigLog().Database);
    form->show();
    benchmark::DoNotOptimize(form->grab());
    state.PauseTiming();
    delete form;  // waits for the exact counts still running
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ViewerOpenToFirstPaint)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// Ctrl+End in the raw grid standing on its first row, with no page read
// yet, until the grid has painted the last row.
void BM_ViewerJumpToLastRow(benchmark::State& state) {
  Setup();
  TLogViewForm form(nullptr, BigLog().Database);
  form.show();
  QApplication::processEvents();
  for (auto _ : state) {
    state.PauseTiming();
    form.RawModel->SetView(TLogView::Raw);  // a fresh statement: nothing read yet
    form.DBGrid3->setCurrentIndex(form.RawModel->index(0, 0));
    form.DBGrid3->scrollToTop();
    form.grab();
    form.RawModel->SetView(TLogView::Raw);
    state.ResumeTiming();
    QTest::keyClick(form.DBGrid3, Qt::Key_End, Qt::ControlModifier);
    benchmark::DoNotOptimize(form.grab());
  }
  if (form.DBGrid3->currentIndex().row() != form.RawModel->rowCount() - 1) state.SkipWithError("not on the last row");
}
BENCHMARK(BM_ViewerJumpToLastRow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// A log's index as the background walk gives it. The logs do not change
// while the benchmarks run, so one walk per log and view serves them all:
// the last of BM_PagerIndex's, or one of its own.
std::map<std::pair<std::string, int>, TLogKeyIndex>& Walked() {
  static std::map<std::pair<std::string, int>, TLogKeyIndex> walked;
  return walked;
}

TLogKeyIndex IndexOf(const std::string& Database, TLogView View) {
  const auto key = std::pair(Database, static_cast<int>(View));
  auto it = Walked().find(key);
  if (it == Walked().end()) {
    auto pager = MakeFbLogPager(Database, View);
    pager->Count();  // the snapshot
    it = Walked().emplace(key, pager->IndexUpTo(pager->SnapshotMaxId())).first;
  }
  return it->second;
}

// The background walk that gives a grid its index, over the whole log.
void BM_PagerIndex(benchmark::State& state) {
  Setup();
  const auto view = static_cast<TLogView>(state.range(0));
  const std::string database = BigLog(static_cast<int>(state.range(1))).Database;
  TLogKeyIndex index;
  for (auto _ : state) {
    auto pager = MakeFbLogPager(database, view);
    pager->Count();  // the snapshot
    index = pager->IndexUpTo(pager->SnapshotMaxId());
    benchmark::DoNotOptimize(index);
  }
  Walked().insert_or_assign(std::pair(database, static_cast<int>(view)), std::move(index));
}
BENCHMARK(BM_PagerIndex)
    ->ArgsProduct({{static_cast<int>(TLogView::Raw), static_cast<int>(TLogView::ChangesNewestFirst)}, {1, 4}})
    ->ArgNames({"view", "M"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

// One page of 128 rows read at the start, the end and the middle of a log
// of one or four million rows.
void BM_PagerRead(benchmark::State& state) {
  Setup();
  const auto view = static_cast<TLogView>(state.range(0));
  const double where = static_cast<double>(state.range(1)) / 100.0;
  const std::string database = BigLog(static_cast<int>(state.range(2))).Database;
  for (auto _ : state) {
    state.PauseTiming();
    auto pager = MakeFbLogPager(database, view);
    const int64_t first = static_cast<int64_t>(static_cast<double>(pager->Count() - 128) * where);
    // As in the viewer, whose grid has its index from a walk in the
    // background (BM_PagerIndex) by the time it is scrolled.
    pager->SetIndex(IndexOf(database, view));
    state.ResumeTiming();
    int rows = 0;
    pager->Read(first, 128, [&](int64_t, const TLogRecord&) { ++rows; });
    benchmark::DoNotOptimize(rows);
  }
}
BENCHMARK(BM_PagerRead)
    ->ArgsProduct(
        {{static_cast<int>(TLogView::Raw), static_cast<int>(TLogView::ChangesNewestFirst)}, {0, 50, 100}, {1, 4}})
    ->ArgNames({"view", "at%", "M"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

// The raw grid of the open viewer scrolled by its scroll bar to places in
// the middle not read before, until it has painted them.
void BM_ViewerScrollToMiddle(benchmark::State& state) {
  Setup();
  TLogViewForm form(nullptr, BigLog(static_cast<int>(state.range(0))).Database);
  form.show();
  form.grab();
  for (int i = 0; i < 6000 && !form.RawModel->Indexed(); ++i) QTest::qWait(10);
  if (!form.RawModel->Indexed()) state.SkipWithError("no index");
  int k = 0;
  for (auto _ : state) {
    QScrollBar* bar = form.DBGrid3->verticalScrollBar();
    bar->setValue(bar->maximum() / 2 + (++k) * 4096 % (bar->maximum() / 4));
    benchmark::DoNotOptimize(form.grab());
  }
}
BENCHMARK(BM_ViewerScrollToMiddle)
    ->Arg(1)
    ->Arg(4)
    ->ArgName("M")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(10);

void BM_CsvExport(benchmark::State& state) {
  Setup();
  const auto view = static_cast<TLogView>(state.range(0));
  const std::string file = BigLog().Folder.File("export.csv");
  int64_t rows = 0;
  for (auto _ : state) {
    auto pager = MakeFbLogPager(BigLog().Database, view);
    rows += WriteLogCsv(*pager, file, SystemDateTimeFormat());
  }
  state.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CsvExport)
    ->Arg(static_cast<int>(TLogView::Raw))
    ->Arg(static_cast<int>(TLogView::Changes))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
