// Log database speed: raw-log rows per second and the time one row costs the
// calling (UI) thread, periodic commits included; and the exit backup and
// restore of a database holding one million raw rows.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
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

// The whole shut-down of the data module: count, close, back up, restore,
// check and replace.
void BM_ExitBackupRestore(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  TDeployed deployed;
  FillRaw(deployed.Folder.Database(), rows);
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
