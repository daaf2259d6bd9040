#pragma once
// A TCP client on loopback with a chosen source address, so tests can be
// several peers of one server (127.0.0.1, 127.0.0.3, ...).
// The connected descriptor (5 s receive time-out), or -1 when refused.
int ConnectFrom(const char* From, const char* To, int Port);

// Listens on Address:Port (0: a port the system picks) while it lives, as
// another program on the machine would. Port() is the port held, 0 when it
// could not be bound (someone else holds it already).
class THeldPort {
 public:
  THeldPort(const char* Address, int Port);
  ~THeldPort();
  THeldPort(const THeldPort&) = delete;
  THeldPort& operator=(const THeldPort&) = delete;
  int Port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};
