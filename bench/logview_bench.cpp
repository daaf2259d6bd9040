// Log viewer speed over a log of one million rows: opening the viewer until
// its grids have painted, a jump to the last row, and the CSV export.
#include <benchmark/benchmark.h>

#include <chrono>

#include "logstore/LogPager.h"
#include "logstore/fb_embedded.h"
#include "support/LogFill.h"
#include "support/TempProgramFolder.h"

namespace {

constexpr int kRows = 1000000;

struct TBigLog {
  TTempProgramFolder Folder;
  TBigLog() {
    if (!DeployEmbeddedDatabase(Folder.Path())) throw std::runtime_error("deployment failed");
    FillRaw(Folder.Database(), kRows);
    FillChanges(Folder.Database(), kRows);
  }
  ~TBigLog() { RemoveEmbeddedDatabase(Folder.Path()); }
};

TBigLog& BigLog() {
  static TBigLog log;
  return log;
}

void BM_PagerCountAndLastPage(benchmark::State& state) {
  const auto view = static_cast<TLogView>(state.range(0));
  for (auto _ : state) {
    using C = std::chrono::steady_clock;
    auto ms = [](C::time_point a) { return std::chrono::duration<double, std::milli>(C::now() - a).count(); };
    auto t = C::now();
    auto pager = MakeFbLogPager(BigLog().Folder.Database(), view);
    state.counters["open"] = ms(t); t = C::now();
    const int64_t n = pager->Count();
    state.counters["count"] = ms(t); t = C::now();
    int rows = 0;
    pager->Read(0, 40, [&](int64_t, const TLogRecord&) { ++rows; });
    state.counters["first"] = ms(t); t = C::now();
    pager->Read(n - 40, 40, [&](int64_t, const TLogRecord&) { ++rows; });
    state.counters["last"] = ms(t); t = C::now();
    pager->Read(n / 2, 40, [&](int64_t, const TLogRecord&) { ++rows; });
    state.counters["mid"] = ms(t); t = C::now();
    pager->Read(n / 2 + 100, 40, [&](int64_t, const TLogRecord&) { ++rows; });
    state.counters["mid2"] = ms(t); t = C::now();
    benchmark::DoNotOptimize(rows);
  }
}
BENCHMARK(BM_PagerCountAndLastPage)
    ->Arg(static_cast<int>(TLogView::Raw))
    ->Arg(static_cast<int>(TLogView::ChangesNewestFirst))
    ->Arg(static_cast<int>(TLogView::ChangesNewestFirstHideSystem))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
