#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "LogStoreTestSupport.h"

extern char** environ;

TChildTest::TChildTest(const std::string& TestName, const std::vector<std::string>& Env) {
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("pipe");
  // Everything the child needs is made before the fork.
  std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
  std::string filter = "--gtest_filter=" + TestName;
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  for (const std::string& e : Env) env.push_back(e);
  env.push_back("FW_CHILD_PIPE=" + std::to_string(fds[1]));
  std::string also = "--gtest_also_run_disabled_tests";
  std::vector<char*> argv{exe.data(), filter.data(), also.data(), nullptr}, envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_ = ::fork();
  if (pid_ == 0) {
    ::setsid();
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::close(fds[0]);
    ::execve(exe.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  pipe_ = fds[0];
  if (pid_ < 0) ::close(pipe_);
  if (pid_ < 0) throw std::runtime_error("fork");
}

TChildTest::~TChildTest() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (pipe_ >= 0) ::close(pipe_);
}

bool TChildTest::Read(std::string& Out, int TimeoutMs) {
  pollfd p{pipe_, POLLIN, 0};
  if (::poll(&p, 1, TimeoutMs) <= 0) return false;
  char buf[256];
  const ssize_t n = ::read(pipe_, buf, sizeof(buf));
  if (n <= 0) return false;
  Out.append(buf, static_cast<size_t>(n));
  return true;
}

void TChildTest::Kill(int Signal) {
  if (pid_ > 0) ::kill(pid_, Signal);
}

int TChildTest::Wait() {
  int status = 0;
  if (pid_ > 0) ::waitpid(pid_, &status, 0);
  pid_ = -1;
  return status;
}
