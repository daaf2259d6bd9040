#pragma once
// A log-replay controller for tests: connects to the program's message
// socket, sends RZ4410_REMOTEMESSAGE requests and collects the
// RZ4410_REMOTERESMESSAGE replies. It blocks, so a test whose program runs
// in its own thread uses it from another thread.
#include <QLocalSocket>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class TReplayClient {
 public:
  using TReply = std::pair<int64_t, int64_t>;  // code, value

  // Retries until the program serves its socket or the time-out passed.
  bool Connect(const std::string& SocketPath, int TimeoutMs = 10000);
  bool Send(int64_t WParam, int64_t LParam);
  // Replies until Count arrived or TimeoutMs passed without one.
  std::vector<TReply> Replies(size_t Count, int TimeoutMs = 5000);
  // A request and the replies it brings (Count of them).
  std::vector<TReply> Ask(int64_t WParam, int64_t LParam, size_t Count, int TimeoutMs = 5000);

 private:
  QLocalSocket socket_;
};
