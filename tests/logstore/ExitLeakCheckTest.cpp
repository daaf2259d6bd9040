// The leak check that a sanitized build runs at exit, in a program that uses
// the database: threads that still hold blocks of a run-time loaded library's
// thread-local data when the process ends (as the engine's threads do) must
// neither crash the check nor hide a real leak from it.
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "LogStoreTestSupport.h"

#if defined(__SANITIZE_ADDRESS__)
#define FW_LEAK_CHECK_AT_EXIT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FW_LEAK_CHECK_AT_EXIT 1
#endif
#endif

namespace {

constexpr int kThreads = 16;
std::atomic<int> started{0};
std::atomic<int> atPageOffset16{0};

}  // namespace

// Child: its threads each take a block of the module's thread-local data (and
// keep a heap block that only that data points to) and are still there when
// the process ends. Everything the child and the leak check write goes to the
// parent's pipe, the first line telling how many of those blocks start 16
// bytes into a memory page. With FW_LOSE_ONE a block is really lost.
TEST(ChildProcess, DISABLED_ThreadsHoldLoadedModuleDataAtExit) {
  const int out = std::atoi(std::getenv("FW_CHILD_PIPE"));
  ASSERT_GE(::dup2(out, STDERR_FILENO), 0);
  void* module = ::dlopen(FW_THREAD_LOCAL_MODULE, RTLD_NOW);
  ASSERT_NE(module, nullptr) << ::dlerror();
  auto hold = reinterpret_cast<void* (*)(size_t)>(::dlsym(module, "HoldInThreadLocal"));
  ASSERT_NE(hold, nullptr);
  for (int i = 0; i < kThreads; ++i)
    std::thread([hold] {
      const auto at = reinterpret_cast<uintptr_t>(hold(64));
      if (at % 4096 == 16) ++atPageOffset16;
      ++started;
      for (;;) ::pause();
    }).detach();
  while (started < kThreads) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const std::string line = "at page offset 16: " + std::to_string(atPageOffset16.load()) + "\n";
  ASSERT_EQ(::write(STDERR_FILENO, line.data(), line.size()), static_cast<ssize_t>(line.size()));
  if (std::getenv("FW_LOSE_ONE")) {
    void* volatile lost = std::malloc(77);
    lost = nullptr;
    (void)lost;
  }
}

TEST(ExitLeakCheck, ThreadsHoldingLoadedModuleDataNeitherCrashItNorHideALeak) {
#ifndef FW_LEAK_CHECK_AT_EXIT
  GTEST_SKIP() << "only the sanitized build checks for leaks at exit";
#endif
  // The check stays on for the children whatever this run was given.
  const char* env_given = std::getenv("ASAN_OPTIONS");
  const bool given = env_given != nullptr;
  const std::string kept = given ? env_given : "";
  const std::string options = kept + (given ? ":" : "") + "detect_leaks=1";
  for (const bool lose : {false, true}) {
    SCOPED_TRACE(lose ? "one block lost" : "nothing lost");
    std::vector<std::string> env;
    if (lose) env.push_back("FW_LOSE_ONE=1");
    std::string said;
    {
      // The child starts with this process's environment.
      ::setenv("ASAN_OPTIONS", options.c_str(), 1);
      TChildTest child("ChildProcess.DISABLED_ThreadsHoldLoadedModuleDataAtExit", env);
      if (given) ::setenv("ASAN_OPTIONS", kept.c_str(), 1);
      else ::unsetenv("ASAN_OPTIONS");
      while (child.Read(said, 60000)) {
      }
      const int status = child.Wait();
      ASSERT_TRUE(WIFEXITED(status)) << said;
      if (lose) EXPECT_NE(WEXITSTATUS(status), 0) << said;
      else EXPECT_EQ(WEXITSTATUS(status), 0) << said;
    }
    // The threads did make blocks where the check once misread them.
    const size_t count = said.find("at page offset 16: ");
    ASSERT_NE(count, std::string::npos) << said;
    EXPECT_GT(std::atoi(said.c_str() + count + 19), 0) << said;
    EXPECT_EQ(said.find("LeakSanitizer has encountered a fatal error"), std::string::npos) << said;
    // The blocks that the threads' data points to are not leaks (no report
    // names the module that made them); the lost one is.
    EXPECT_EQ(said.find("thread_local_module"), std::string::npos) << said;
    if (lose) {
      EXPECT_NE(said.find("detected memory leaks"), std::string::npos) << said;
      EXPECT_NE(said.find("Direct leak of 77 byte(s) in 1 object(s)"), std::string::npos) << said;
    } else {
      EXPECT_EQ(said.find("detected memory leaks"), std::string::npos) << said;
    }
  }
}
