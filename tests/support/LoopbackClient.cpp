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

std::string FreeLoopbackAddress(std::initializer_list<int> Ports) {
  // Spread over 127.0.0.0/8 by the process id, so runs side by side start
  // apart; a taken port moves on to the next address.
  unsigned n = static_cast<unsigned>(getpid()) * 2654435761u;
  for (int attempt = 0; attempt < 64; ++attempt, n += 40503u) {
    const unsigned a = (n >> 16) & 0xFF, b = (n >> 8) & 0xFF, c = 4 + n % 250;
    const std::string address = "127." + std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c);
    bool free = true;
    for (int port : Ports) {
      const int fd = socket(AF_INET, SOCK_STREAM, 0);
      const int on = 1;
      setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
      sockaddr_in s{};
      s.sin_family = AF_INET;
      s.sin_port = htons(static_cast<uint16_t>(port));
      inet_pton(AF_INET, address.c_str(), &s.sin_addr);
      free = bind(fd, reinterpret_cast<sockaddr*>(&s), sizeof s) == 0;
      close(fd);
      if (!free) break;
    }
    if (free) return address;
  }
  return "";
}

int FreePort(const char* Address) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  inet_pton(AF_INET, Address, &a.sin_addr);
  socklen_t len = sizeof a;
  const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                     getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0;
  close(fd);
  return bound ? ntohs(a.sin_port) : -1;
}
