#include "BenchRun.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr const char* kRunPrefix = "fenwisk-bench-run-";

// Folders of runs whose program is gone without its watcher (the whole
// process group killed at once): the number after the prefix is the pid.
void SweepOrphans(const fs::path& keep) {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(keep, ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(kRunPrefix, 0) != 0) continue;
    const long pid = std::strtol(name.c_str() + std::char_traits<char>::length(kRunPrefix), nullptr, 10);
    if (pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)) fs::remove_all(e.path(), ec);
  }
}

// Made before main, while the program has a single thread: the watcher is a
// plain fork of it.
struct TRun {
  std::string Keep, Run;
  TRun() {
    const char* tmp = std::getenv("TMPDIR");
    Keep = tmp && *tmp ? tmp : "/tmp";
    while (Keep.size() > 1 && Keep.back() == '/') Keep.pop_back();
    SweepOrphans(Keep);
    std::string pattern = Keep + "/" + kRunPrefix + std::to_string(::getpid()) + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
      std::perror("benchmark run folder");
      std::exit(1);
    }
    Run = pattern;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    const pid_t pid = ::fork();
    if (pid == 0) {
      // The watcher: lives until every copy of the write end is gone, that
      // is until the program has ended. Signals meant for the program
      // (Ctrl+C to the process group, a hang-up) must not take it first.
      ::close(fds[1]);
      ::signal(SIGINT, SIG_IGN);
      ::signal(SIGTERM, SIG_IGN);
      ::signal(SIGHUP, SIG_IGN);
      ::signal(SIGQUIT, SIG_IGN);
      char c;
      while (::read(fds[0], &c, 1) != 0 && (errno == EINTR || errno == EAGAIN)) {
      }
      std::error_code ec;
      fs::remove_all(Run, ec);
      ::_exit(0);
    }
    ::close(fds[0]);
    if (pid < 0) ::close(fds[1]);  // no watcher: the sweep of the next run
    ::setenv("TMPDIR", Run.c_str(), 1);
  }
};

TRun& Run() {
  static TRun run;
  return run;
}

// Every benchmark program gets its run folder before main.
[[maybe_unused]] const TRun& gStarted = Run();

}  // namespace

const std::string& BenchKeepFolder() { return Run().Keep; }
const std::string& BenchRunFolder() { return Run().Run; }

std::string KeptFixture(const std::string& Name, const std::function<void(const std::string& Path)>& Make) {
  const fs::path kept = fs::path(BenchKeepFolder()) / Name;
  std::error_code ec;
  if (fs::exists(kept, ec)) return kept.string();
  const fs::path making = fs::path(BenchRunFolder()) / ("making-" + Name);
  Make(making.string());
  fs::rename(making, kept);  // the same file system: whole or not at all
  return kept.string();
}
