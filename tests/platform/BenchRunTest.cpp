// The benchmark programs' temporary files: a run that is killed leaves no
// folder behind (the live benchmark's session folder included), and the
// folders of runs killed with their watcher go at the next start.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TempProgramFolder.h"
#include "support/TestPaths.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// The run folders in Folder.
std::vector<fs::path> RunFolders(const std::string& Folder) {
  std::vector<fs::path> found;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(Folder, ec))
    if (e.path().filename().string().rfind("fenwisk-bench-run-", 0) == 0) found.push_back(e.path());
  return found;
}

// Whether a child of Parent runs (the run's watcher, forked just after the
// run's folder is made).
bool HasChild(pid_t Parent) {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/proc", ec)) {
    std::ifstream stat(e.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    const size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 1));
    std::string state;
    long ppid = 0;
    if (rest >> state >> ppid && ppid == Parent) return true;
  }
  return false;
}

// Polls Done for up to 30 s (a watchdog against a hang, not a speed check).
template <class F>
bool Eventually(F Done) {
  for (int i = 0; i < 3000; ++i) {
    if (Done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return Done();
}

// Starts a benchmark program with its temporary folder in Tmp, its output
// thrown away; -1 when it cannot be started.
pid_t StartBenchmark(const std::string& Program, std::vector<std::string> Args, const std::string& Tmp) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::string(*e).rfind("TMPDIR=", 0) != 0) env.push_back(*e);
  env.push_back("TMPDIR=" + Tmp);
  Args.insert(Args.begin(), Program);
  std::vector<char*> argv, envp;
  for (auto& a : Args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, Program.c_str(), &fa, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&fa);
  return pid;
}

void Kill(pid_t Pid) {
  ::kill(Pid, SIGKILL);
  int status = 0;
  ::waitpid(Pid, &status, 0);
}

TEST(BenchRun, AKilledBenchmarkLeavesNoTemporaryFolder) {
  const std::string program = TestBinDir() + "/numberformat_bench";
  if (!fs::exists(program)) GTEST_SKIP() << "benchmarks not built";
  TTempProgramFolder tmp(false);
  // A run killed together with its watcher earlier: its pid is gone.
  const fs::path orphan = fs::path(tmp.Path()) / "fenwisk-bench-run-999999999-x";
  fs::create_directories(orphan / "fw-program-y");

  const pid_t pid = StartBenchmark(program, {"--benchmark_min_time=600"}, tmp.Path());
  ASSERT_GT(pid, 0);
  const bool started =
      Eventually([&] { return RunFolders(tmp.Path()).size() == 1 && !fs::exists(orphan) && HasChild(pid); });
  Kill(pid);
  EXPECT_TRUE(started) << "no run folder of its own, or the orphan was kept";
  EXPECT_TRUE(Eventually([&] { return RunFolders(tmp.Path()).empty(); })) << "the killed run's folder stayed";
}

// The live benchmark makes a session folder of its own besides the program
// folder; a run killed while it watches leaves neither.
TEST(BenchRun, AKilledLiveBenchmarkLeavesNoSessionFolder) {
  const std::string program = TestBinDir() + "/live_bench";
  if (!fs::exists(program)) GTEST_SKIP() << "benchmarks not built";
  TTempProgramFolder tmp(false);
  const pid_t pid = StartBenchmark(program, {"--seconds", "600"}, tmp.Path());
  ASSERT_GT(pid, 0);
  auto made = [&](const std::string& prefix) {
    const auto runs = RunFolders(tmp.Path());
    std::error_code ec;
    if (runs.size() == 1)
      for (const auto& e : fs::directory_iterator(runs[0], ec))
        if (e.path().filename().string().rfind(prefix, 0) == 0) return true;
    return false;
  };
  const bool started = Eventually([&] { return made("fw-live-bench-") && made("fw-program-") && HasChild(pid); });
  Kill(pid);
  EXPECT_TRUE(started) << "the session folder is not in the run's folder";
  EXPECT_TRUE(Eventually([&] { return RunFolders(tmp.Path()).empty(); })) << "the killed run's folder stayed";
}

}  // namespace
