// Start-up and shut-down of the program against the simulated receiver:
//  - StartToTuned: from process start to the main window shown and tuned;
//  - CloseToExit: from the close request (SIGTERM) to process exit, with an
//    empty log and with one million change-log rows (the exit backup and
//    restore of the database dominate).
// Each iteration runs the simulated build in a fresh program folder.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "logstore/LogDatabase.h"
#include "logstore/SettingsRecord.h"
#include "logstore/fb_embedded.h"
#include "support/LogFill.h"
#include "support/TestPaths.h"
#include "BenchRun.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;


// A program folder and a session folder of one run.
struct TRunFolders {
  fs::path Root;
  TRunFolders(const std::string& database) {
    std::string tmpl = (fs::temp_directory_path() / "fenwisk-bench-XXXXXX").string();
    Root = mkdtemp(tmpl.data());
    fs::create_directories(Root / "program");
    fs::create_directories(Root / "session");
    fs::permissions(Root / "session", fs::perms::owner_all);
    fs::copy_file(database, Root / "program" / "RDSLOG.FDB");
  }
  ~TRunFolders() {
    std::error_code ec;
    fs::remove_all(Root, ec);
  }
};

class TSimRun {
 public:
  explicit TSimRun(const TRunFolders& f) : trace_((f.Root / "trace.txt").string()) {
    const std::string program = TestBinDir() + "/fenwisk_sim";
    const std::string scenario = TestSourceDir() + "/tests/ui/data/scenario.txt";
    const std::string folder = (f.Root / "program").string();
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string v = *e;
      if (v.rfind("XDG_RUNTIME_DIR=", 0) == 0 || v.rfind("QT_QPA_PLATFORM=", 0) == 0) continue;
      env.push_back(v);
    }
    env.push_back("XDG_RUNTIME_DIR=" + (f.Root / "session").string());
    env.push_back("QT_QPA_PLATFORM=offscreen");
    std::vector<std::string> args = {program, scenario, "--program-folder", folder, "--trace", trace_};
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, program.c_str(), &fa, nullptr, argv.data(), envp.data()) != 0)
      throw std::runtime_error("cannot start " + program);
    posix_spawn_file_actions_destroy(&fa);
  }
  ~TSimRun() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }

  // Waits until the trace holds the line; false after the time-out.
  bool WaitLine(const std::string& line, int timeoutMs = 60000) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
      std::ifstream in(trace_);
      std::string l;
      while (std::getline(in, l))
        if (l == line) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }
  void Terminate() { ::kill(pid_, SIGTERM); }
  int Wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  std::string trace_;
  pid_t pid_ = -1;
};

// The built database with `rows` change-log rows, made once per size and
// kept between runs.
std::string DatabaseWithRows(int64_t rows) {
  const std::string built = TestDatabaseTemplate();
  if (rows == 0) return built;
  return KeptFixture("fenwisk-bench-keep-" + std::to_string(rows) + ".fdb", [&](const std::string& made) {
    TRunFolders prep(built);
    const std::string folder = (prep.Root / "program").string() + "/";
    if (!DeployEmbeddedDatabase(folder)) throw std::runtime_error("engine deployment failed");
    BulkFill(folder + kLogDatabaseFile, [&] {
      auto db = MakeFbLogDatabase();
      db->Open(folder + kLogDatabaseFile);
      // Kept for decades, so the start-up's purge leaves the rows whenever
      // the kept file is used again.
      TConfigRow config = DefaultConfigRow();
      config.Col[TConfigRow::LOGLIVE] = 30000;
      db->InsertConfig(config);
      for (int64_t i = 0; i < rows; ++i) {
        db->InsertChange(10, 0, "Radio 99 - the best hits of today, all day long on 87.0 MHz");
        if (i % 10000 == 9999) db->Commit();
      }
      db->Commit();
      db->Close();
    });
    RemoveEmbeddedDatabase(folder);
    fs::copy_file(folder + kLogDatabaseFile, made);
  });
}

// Starts the simulated program and waits until it has tuned; on failure the
// benchmark is told why and nullptr comes back.
std::unique_ptr<TSimRun> StartTuned(benchmark::State& state, TRunFolders& folders, int timeoutMs) {
  std::unique_ptr<TSimRun> run;
  try {
    run = std::make_unique<TSimRun>(folders);
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
    return nullptr;
  }
  if (!run->WaitLine("tuned\t87.0", timeoutMs)) {
    state.SkipWithError("the program did not tune");
    return nullptr;
  }
  return run;
}

void BM_StartToTuned(benchmark::State& state) {
  const std::string db = DatabaseWithRows(0);
  for (auto _ : state) {
    TRunFolders folders(db);
    const auto t0 = Clock::now();
    const auto started = StartTuned(state, folders, 60000);
    if (!started) break;
    TSimRun& run = *started;
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - t0).count());
    run.Terminate();
    run.Wait();
  }
}
BENCHMARK(BM_StartToTuned)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CloseToExit(benchmark::State& state) {
  const std::string db = DatabaseWithRows(state.range(0));
  for (auto _ : state) {
    TRunFolders folders(db);
    const auto started = StartTuned(state, folders, 300000);
    if (!started) break;
    TSimRun& run = *started;
    const auto t0 = Clock::now();
    run.Terminate();
    const int rc = run.Wait();
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - t0).count());
    if (rc != 0) {
      state.SkipWithError("the program did not end cleanly");
      break;
    }
  }
  state.counters["log_rows"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_CloseToExit)->Arg(0)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
