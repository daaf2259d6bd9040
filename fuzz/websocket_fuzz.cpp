// The command socket's WebSocket upgrade and frame reading on arbitrary
// bytes, as a browser's connection: the bytes wait in a local socket pair
// whose other end has stopped writing; every message read is answered, so
// the outgoing framer runs too.
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

#include "remote/RemoteSessionManager.h"
#include "remote/RemoteWebSocket.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return 0;
  // What does not fit the socket's buffer is left out.
  if (Size > 0) (void)!send(fds[1], Data, Size, MSG_DONTWAIT | MSG_NOSIGNAL);
  shutdown(fds[1], SHUT_WR);
  auto conn = std::make_shared<TTcpConnection>(fds[0], "127.0.0.1", "127.0.0.2", 64 * 1024);
  if (StartsWithHttpGet(*conn, std::chrono::milliseconds(0))) {
    TWebSocketSession ws(conn);
    std::string message;
    if (ws.Accept(kNoDeadline, 8080))
      for (int i = 0; i < 256 && ws.Read(message, kMaxCommandMessage, kNoDeadline); ++i) conn->SendMessage(message);
  }
  conn.reset();
  close(fds[1]);
  return 0;
}
