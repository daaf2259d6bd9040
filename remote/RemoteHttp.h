#pragma once
// HTTP over our own TCP server: cpp-httplib parses each request and writes
// the response, while the bytes it reads come through here, so the request
// head is bounded before the library sees it.
#include <httplib.h>

#include <functional>
#include <string>

#include "remote/TcpServer.h"

inline constexpr size_t kMaxHeadLine = 8 * 1024;
// The library gives every body a content type, but a page of unknown kind
// goes out without one: the handler sets this value and the stream drops
// that header line from the response head.
inline constexpr const char* kNoContentType = "\x01";
inline constexpr int kMaxHeaderLines = 64;

// Watches the bytes of a request head: how many of the N bytes may pass
// before a line grows longer than kMaxHeadLine or more than kMaxHeaderLines
// follow the request line (N when all may).
class THttpHeadGuard {
 public:
  size_t Accept(const char* P, size_t N);

 private:
  size_t LineLength_ = 0;
  int Lines_ = 0;
  bool InBody_ = false;
  bool LastCR_ = false;
};

// One connection as the library's stream: reads through the head guard
// until the deadline, writes through Out.
class THttpStream final : public httplib::Stream {
 public:
  using TOut = std::function<bool(const char*, size_t)>;
  THttpStream(TByteSource& In, TOut Out, std::string PeerIP, std::string LocalIP, TDeadline Deadline)
      : In_(In), Out_(std::move(Out)), PeerIP_(std::move(PeerIP)), LocalIP_(std::move(LocalIP)), Deadline_(Deadline) {}

  bool is_readable() const override { return Pos_ < Buf_.size(); }
  bool is_writable() const override { return true; }
  ssize_t read(char* Ptr, size_t Size) override;
  ssize_t write(const char* Ptr, size_t Size) override;
  void get_remote_ip_and_port(std::string& Ip, int& Port) const override;
  void get_local_ip_and_port(std::string& Ip, int& Port) const override;
  socket_t socket() const override { return INVALID_SOCKET; }

 private:
  TByteSource& In_;
  TOut Out_;
  std::string PeerIP_, LocalIP_;
  TDeadline Deadline_;
  THttpHeadGuard Guard_;
  std::string Buf_;
  size_t Pos_ = 0;
  bool Refused_ = false;
  bool HeadWritten_ = false;
};

// The library's request handling, driven one request per connection from
// our workers (and from the fuzz target).
class TRemoteHttpServer : public httplib::Server {
 public:
  void Process(httplib::Stream& S) {
    bool closed = true;
    process_request(S, true, closed, nullptr);
  }
};
