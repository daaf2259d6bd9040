#include "support/LoopbackClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

int ConnectFrom(const char* From, const char* To, int Port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  inet_pton(AF_INET, From, &a.sin_addr);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  a.sin_port = htons(static_cast<uint16_t>(Port));
  inet_pton(AF_INET, To, &a.sin_addr);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  timeval tv{5, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  return fd;
}

THeldPort::THeldPort(const char* Address, int Port) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(Port));
  inet_pton(AF_INET, Address, &a.sin_addr);
  socklen_t len = sizeof a;
  if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(fd_, 4) == 0 &&
      getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port_ = ntohs(a.sin_port);
}

THeldPort::~THeldPort() {
  if (fd_ >= 0) close(fd_);
}
