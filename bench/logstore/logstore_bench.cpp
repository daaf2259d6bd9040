// Log database speed: raw-log rows per second and the time one row costs the
// calling (UI) thread, periodic commits included, both flat out and paced at
// the receiver's real group rate (11.4/s) and a fast one (200/s); and the
// exit backup and restore of a database holding one million raw rows.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "logstore/DModule.h"
#include "logstore/FbDatabase.h"
#include "logstore/fb_embedded.h"
#include "support/LogFill.h"
#include "support/TempProgramFolder.h"

namespace {

using Clock = std::chrono::steady_clock;

struct TDeployed {
  TTempProgramFolder Folder;
  TDeployed() {
    if (!DeployEmbeddedDatabase(Folder.Path())) throw std::runtime_error("deployment failed");
  }
  ~TDeployed() { RemoveEmbeddedDatabase(Folder.Path()); }
};

TSettingsRecord RawLogging() {
  TSettingsRecord s = DecodeConfig(DefaultConfigRow());
  s.RawLogOn = 1;
  s.InputAntenna = 1;
  return s;
}

double Percentile(std::vector<double>& v, double p) {
  if (v.empty()) return 0;
  const size_t k = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())));
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(k), v.end());
  return v[k];
}

// One LogRaw call per iteration, as the RDS change listener makes it.
void BM_RawLogInsert(benchmark::State& state) {
  TDeployed deployed;
  TDModule dm(deployed.Folder.Path());
  TSettingsRecord s = RawLogging();
  dm.BindSettings(&s);
  std::vector<double> us;
  us.reserve(1 << 20);
  uint32_t n = 0;
  const uint64_t commitsBefore = dm.CommitCount();
  for (auto _ : state) {
    const uint16_t g[5] = {static_cast<uint16_t>(n), 0x2420, 0xE0CD, 0x4142, 0};
    const auto t0 = Clock::now();
    dm.LogRaw(g, static_cast<int>(n % 211));
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    ++n;
  }
  state.counters["rows/s"] = benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsRate);
  state.counters["p50_us"] = Percentile(us, 0.50);
  state.counters["p99_us"] = Percentile(us, 0.99);
  state.counters["max_us"] = *std::max_element(us.begin(), us.end());
  state.counters["commits"] = static_cast<double>(dm.CommitCount() - commitsBefore);
  dm.Close();
}
BENCHMARK(BM_RawLogInsert)->MinTime(5.0)->UseRealTime()->Unit(benchmark::kMicrosecond);

// Rows paced at a fixed rate (range(0) = rows per 10 s, range(1) = rows): the
// UI thread's time per row at the rate the receiver really delivers groups,
// where a flood would spread each commit over tens of thousands of rows. The
// commit timer's tick (every 250 ms on the UI thread) counts as UI time too.
// durable_max_ms: the longest a row waited until it was committed.
void BM_RawLogPaced(benchmark::State& state) {
  const double rate = static_cast<double>(state.range(0)) / 10.0;
  const int rows = static_cast<int>(state.range(1));
  TDeployed deployed;
  TDModule dm(deployed.Folder.Path());
  TSettingsRecord s = RawLogging();
  dm.BindSettings(&s);
  std::vector<double> us;
  us.reserve(static_cast<size_t>(rows) * 2);
  std::vector<Clock::time_point> loggedAt;
  loggedAt.reserve(static_cast<size_t>(rows));
  double durableMaxMs = 0;
  auto timed = [&](auto&& call) {
    const auto t0 = Clock::now();
    call();
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
  };
  uint64_t seen = 0;  // rows known durable
  // The oldest of the rows that became durable since the last look waited longest.
  auto noteDurable = [&] {
    const uint64_t durable = std::min<uint64_t>(dm.DurableRows(), loggedAt.size());
    if (durable <= seen) return;
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - loggedAt[seen]).count();
    durableMaxMs = std::max(durableMaxMs, ms);
    seen = durable;
  };
  const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate));
  const auto tickEvery = std::chrono::milliseconds(TDModule::kCommitTimerMs);
  const uint64_t commitsBefore = dm.CommitCount();
  for (auto _ : state) {
    auto next = Clock::now();
    auto tick = next + tickEvery;
    // Serves the timer and watches the commits until the time has come.
    auto waitUntil = [&](Clock::time_point until) {
      for (Clock::time_point now; (now = Clock::now()) < until;) {
        if (now >= tick) {
          timed([&] { dm.CommitIfDue(); });
          tick += tickEvery;
        }
        noteDurable();
        std::this_thread::sleep_for(std::chrono::microseconds(500));
      }
    };
    for (int n = 0; n < rows; ++n) {
      waitUntil(next);
      next += period;
      const uint16_t g[5] = {static_cast<uint16_t>(n), 0x2420, 0xE0CD, 0x4142, 0};
      loggedAt.push_back(Clock::now());
      timed([&] { dm.LogRaw(g, n % 211); });
    }
    waitUntil(Clock::now() + std::chrono::seconds(2));  // the last rows' commit
  }
  state.counters["rows/s"] = rate;
  state.counters["p50_us"] = Percentile(us, 0.50);
  state.counters["p99_us"] = Percentile(us, 0.99);
  state.counters["max_us"] = *std::max_element(us.begin(), us.end());
  state.counters["commits"] = static_cast<double>(dm.CommitCount() - commitsBefore);
  state.counters["durable_max_ms"] = durableMaxMs;
  state.counters["not_durable"] = static_cast<double>(loggedAt.size() - dm.DurableRows());
  dm.Close();
}
BENCHMARK(BM_RawLogPaced)
    ->ArgNames({"per10s", "rows"})
    ->Args({114, 342})    // 11.4 rows/s for 30 s
    ->Args({2000, 2000})  // 200 rows/s for 10 s
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The whole shut-down of the data module: count, close, back up, restore,
// check and replace.
void BM_ExitBackupRestore(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  TDeployed deployed;
  BulkFill(deployed.Folder.Database(), [&] { FillRaw(deployed.Folder.Database(), rows); });
  for (auto _ : state) {
    state.PauseTiming();
    auto dm = std::make_unique<TDModule>(deployed.Folder.Path());
    state.ResumeTiming();
    if (!dm->Close()) state.SkipWithError(dm->CloseError().c_str());
    state.PauseTiming();
    dm.reset();
    state.ResumeTiming();
  }
  state.counters["rows"] = rows;
  state.counters["file_MB"] =
      static_cast<double>(std::filesystem::file_size(deployed.Folder.Database())) / (1024.0 * 1024.0);
}
BENCHMARK(BM_ExitBackupRestore)->Arg(1000000)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
