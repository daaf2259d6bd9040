#pragma once
// The command socket for browsers: the same port accepts a WebSocket
// upgrade, after which every message travels as one binary frame (the same
// bytes without the NUL). The library does the handshake and the framing;
// the bytes still go through the connection, so its bounded queue and its
// worker-only writing hold as for raw clients.
#include <chrono>
#include <memory>
#include <string>

#include "remote/TcpServer.h"

// True when the connection's first bytes arrive within Wait and start an
// HTTP GET (a raw client's first message never does).
bool StartsWithHttpGet(TTcpConnection& Conn, std::chrono::milliseconds Wait);

// True when Origin names a page of the HTTP port on the host the request
// was sent to (its Host header) or on the address it arrived at.
bool OwnOrigin(const std::string& Origin, const std::string& Host, const std::string& LocalIP, int HttpPort);

class TWebSocketSession {
 public:
  explicit TWebSocketSession(const TConnectionRef& Conn);
  ~TWebSocketSession();
  TWebSocketSession(const TWebSocketSession&) = delete;
  TWebSocketSession& operator=(const TWebSocketSession&) = delete;

  // Reads the upgrade request and completes the handshake; from then on the
  // connection's messages go out as frames. False (a request that is no
  // upgrade gets 400, one from a foreign page 403) when it fails. Only pages
  // of the server's own HTTP port may upgrade: any web page open in the
  // operator's browser could otherwise tune the receiver. Programs send no
  // Origin and are let in.
  bool Accept(TDeadline Deadline, int HttpPort);
  // One message of at most Max bytes; false once the peer closed, at an
  // error, at the deadline or when the connection ends.
  bool Read(std::string& Message, size_t Max, TDeadline Deadline);

 private:
  struct TImpl;
  std::unique_ptr<TImpl> Impl_;
};
