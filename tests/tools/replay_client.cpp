// replay_client: a log-replay controller for trying the program by hand and
// for end-to-end tests (a test tool, not part of the product).
//
//   replay_client [--socket PATH] [--wait MS] REQUEST...
//
// A REQUEST is "WPARAM,LPARAM" (1,3 enter replay, 1,6 record count, 1,7
// first, 1,8 next, 2,N go to row N, 1,4 leave ...) or "sleep:MS". Every reply
// is printed as "CODE VALUE" on its own line; after each request the client
// waits up to --wait ms (default 1000) for the replies it brings.
#include <QCoreApplication>
#include <QThread>
#include <cstdio>
#include <cstring>
#include <string>

#include "support/ReplayClient.h"
#include "ui/SingleInstance.h"

namespace {

// Replies a request brings: first and next answer twice when they moved.
size_t Expected(long w, long l) {
  if ((w & 0xFF) == 2) return 1;
  if ((w & 0xFF) != 1) return 0;
  return (l & 0xFF) == 7 || (l & 0xFF) == 8 ? 2 : (l & 0xFF) >= 2 && (l & 0xFF) <= 6 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::string socket = TMessageBus::DefaultSocketPath();
  int wait = 1000;
  int i = 1;
  for (; i + 1 < argc && std::strncmp(argv[i], "--", 2) == 0; i += 2) {
    if (std::strcmp(argv[i], "--socket") == 0) socket = argv[i + 1];
    else if (std::strcmp(argv[i], "--wait") == 0) wait = std::atoi(argv[i + 1]);
  }
  TReplayClient client;
  if (!client.Connect(socket)) {
    std::fprintf(stderr, "replay_client: cannot connect to %s\n", socket.c_str());
    return 2;
  }
  for (; i < argc; ++i) {
    long w = 0, l = 0;
    if (std::strncmp(argv[i], "sleep:", 6) == 0) {
      QThread::msleep(static_cast<unsigned long>(std::atol(argv[i] + 6)));
      continue;
    }
    if (std::sscanf(argv[i], "%ld,%ld", &w, &l) != 2) {
      std::fprintf(stderr, "replay_client: not a request: %s\n", argv[i]);
      return 2;
    }
    const size_t n = Expected(w, l);
    for (const auto& [code, value] : n ? client.Ask(w, l, n, wait) : (client.Send(w, l), client.Replies(1, 200)))
      std::printf("%lld %lld\n", static_cast<long long>(code), static_cast<long long>(value));
    std::fflush(stdout);
  }
  return 0;
}
