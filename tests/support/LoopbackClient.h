#pragma once
// A TCP client on loopback with a chosen source address, so tests can be
// several peers of one server (127.0.0.1, 127.0.0.3, ...).
#include <initializer_list>
#include <string>

// The connected descriptor (5 s receive time-out), or -1 when refused.
int ConnectFrom(const char* From, const char* To, int Port);

// A loopback address (never 127.0.0.1 or 127.0.0.3, the clients') on which
// every one of Ports is free to listen, so a server with fixed ports can run
// beside others; empty when none was found.
std::string FreeLoopbackAddress(std::initializer_list<int> Ports);
// A port on Address that nothing listens on now (the system's choice), so
// tests of servers need no fixed ports.
int FreePort(const char* Address);
