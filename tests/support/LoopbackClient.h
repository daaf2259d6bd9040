#pragma once
// A TCP client on loopback with a chosen source address, so tests can be
// several peers of one server (127.0.0.1, 127.0.0.3, ...).
// The connected descriptor (5 s receive time-out), or -1 when refused.
int ConnectFrom(const char* From, const char* To, int Port);

// A port on Address that nothing listens on now (the system's choice), so
// tests of servers need no fixed ports.
int FreePort(const char* Address);
