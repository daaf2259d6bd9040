#include "remote/RemoteWebSocket.h"

#include <poll.h>
#include <sys/socket.h>

#include <boost/asio/buffer.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/role.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/core/string.hpp>
#include <cctype>
#include <cstring>
#include <mutex>

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using boost::system::error_code;

namespace {

constexpr std::chrono::seconds kWriteTimeout{10};

template <class Buffers>
std::string Flatten(const Buffers& B) {
  std::string bytes(net::buffer_size(B), '\0');
  net::buffer_copy(net::buffer(bytes), B);
  return bytes;
}

// The throwing form of a call that reports through an error code.
template <class F>
size_t OrThrow(F Call) {
  error_code ec;
  const size_t n = Call(ec);
  if (ec) throw boost::system::system_error(ec);
  return n;
}

// What the library needs of a synchronous stream besides the two calls
// that report through an error code, which Derived defines.
template <class Derived>
class TSyncStream {
 public:
  using executor_type = net::io_context::executor_type;
  explicit TSyncStream(net::io_context& Io) : Io_(Io) {}
  executor_type get_executor() { return Io_.get_executor(); }
  template <class Buffers>
  size_t read_some(const Buffers& B) {
    return OrThrow([&](error_code& Ec) { return static_cast<Derived&>(*this).read_some(B, Ec); });
  }
  template <class Buffers>
  size_t write_some(const Buffers& B) {
    return OrThrow([&](error_code& Ec) { return static_cast<Derived&>(*this).write_some(B, Ec); });
  }

 private:
  net::io_context& Io_;
};

// The stream the library reads and writes: the connection's own receive and
// write, which also send what other threads queued meanwhile.
class TConnectionStream : public TSyncStream<TConnectionStream> {
 public:
  TConnectionStream(TTcpConnection& Conn, net::io_context& Io) : TSyncStream(Io), Conn(Conn) {}
  using TSyncStream::read_some;
  using TSyncStream::write_some;

  template <class Buffers>
  size_t read_some(const Buffers& B, error_code& Ec) {
    Ec = {};
    for (auto it = net::buffer_sequence_begin(B); it != net::buffer_sequence_end(B); ++it) {
      net::mutable_buffer b = *it;
      if (b.size() == 0) continue;
      const ssize_t n = Conn.Receive(static_cast<char*>(b.data()), b.size(), Deadline);
      if (n == 0) Ec = net::error::eof;
      if (n < 0) Ec = net::error::connection_aborted;
      return n > 0 ? static_cast<size_t>(n) : 0;
    }
    return 0;
  }
  template <class Buffers>
  size_t write_some(const Buffers& B, error_code& Ec) {
    std::string bytes = Flatten(B);
    const size_t n = bytes.size();
    Ec = Conn.Write(std::move(bytes), DeadlineIn(kWriteTimeout)) ? error_code() : net::error::broken_pipe;
    return Ec ? 0 : n;
  }

  TTcpConnection& Conn;
  TDeadline Deadline = kNoDeadline;
};

void teardown(beast::role_type, TConnectionStream& S, error_code& Ec) {
  S.Conn.Disconnect();
  Ec = {};
}

// Collects what the library writes: the frames of outgoing messages.
class TFrameSink : public TSyncStream<TFrameSink> {
 public:
  using TSyncStream::TSyncStream;
  using TSyncStream::read_some;
  using TSyncStream::write_some;
  template <class Buffers>
  size_t read_some(const Buffers&, error_code& Ec) {
    Ec = net::error::eof;
    return 0;
  }
  template <class Buffers>
  size_t write_some(const Buffers& B, error_code& Ec) {
    Ec = {};
    Out += Flatten(B);
    return net::buffer_size(B);
  }
  std::string Out;
};

}  // namespace

namespace {

// Host and port of "host[:port]" (a bracketed IPv6 host kept whole), the
// host in lower case; Port stays as given when none is named.
bool SplitHostPort(const std::string& Text, std::string& Host, int& Port) {
  const size_t close = Text[0] == '[' ? Text.find(']') : 0;
  if (close == std::string::npos) return false;
  const size_t colon = Text.find(':', close);
  Host = Text.substr(0, colon);
  for (char& c : Host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (colon == std::string::npos) return !Host.empty();
  const std::string digits = Text.substr(colon + 1);
  if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
  Port = std::stoi(digits);
  return !Host.empty();
}

}  // namespace

bool OwnOrigin(const std::string& Origin, const std::string& Host, const std::string& LocalIP, int HttpPort) {
  const std::string scheme = "http://";
  if (Origin.size() <= scheme.size() || !beast::iequals(Origin.substr(0, scheme.size()), scheme)) return false;
  std::string originHost, host;
  int originPort = 80, hostPort = 0;
  if (!SplitHostPort(Origin.substr(scheme.size()), originHost, originPort) || originPort != HttpPort) return false;
  return originHost == LocalIP || (!Host.empty() && SplitHostPort(Host, host, hostPort) && originHost == host);
}

bool StartsWithHttpGet(TTcpConnection& Conn, std::chrono::milliseconds Wait) {
  pollfd p{Conn.Fd(), POLLIN, 0};
  if (poll(&p, 1, static_cast<int>(Wait.count())) <= 0 || !(p.revents & POLLIN)) return false;
  char head[4] = {};
  return recv(Conn.Fd(), head, sizeof head, MSG_PEEK | MSG_DONTWAIT) == 4 && std::memcmp(head, "GET ", 4) == 0;
}

struct TWebSocketSession::TImpl {
  explicit TImpl(const TConnectionRef& C) : Conn(C), In(*C, Io), Out(Io) {}
  TConnectionRef Conn;
  net::io_context Io;
  websocket::stream<TConnectionStream> In;
  // Another stream over the same handshake only frames what is sent, so any
  // thread can queue a message while the worker reads.
  std::mutex OutLock;
  websocket::stream<TFrameSink> Out;
  beast::flat_buffer Buffer;
};

TWebSocketSession::TWebSocketSession(const TConnectionRef& Conn) : Impl_(std::make_unique<TImpl>(Conn)) {}

TWebSocketSession::~TWebSocketSession() {
  if (Impl_->Conn) Impl_->Conn->SetFramer(nullptr);
}

bool TWebSocketSession::Accept(TDeadline Deadline, int HttpPort) {
  TImpl& s = *Impl_;
  s.In.next_layer().Deadline = Deadline;
  http::request_parser<http::empty_body> parser;
  parser.header_limit(8 * 1024);
  error_code ec;
  http::read(s.In.next_layer(), s.Buffer, parser, ec);
  if (ec) return false;
  const auto& request = parser.get();
  if (!websocket::is_upgrade(request)) {
    s.Conn->Write("HTTP/1.1 400 Bad Request\r\nConnection: close\r\n\r\n", DeadlineIn(kWriteTimeout));
    return false;
  }
  const auto origin = request.find(http::field::origin);
  if (origin != request.end() && !OwnOrigin(std::string(origin->value()), std::string(request[http::field::host]),
                                            s.Conn->LocalIP(), HttpPort)) {
    s.Conn->Write("HTTP/1.1 403 Forbidden\r\nConnection: close\r\n\r\n", DeadlineIn(kWriteTimeout));
    return false;
  }
  s.In.read_message_max(64 * 1024);
  s.In.accept(request, ec);
  if (ec) return false;
  s.Out.accept(request, ec);
  if (ec) return false;
  s.Out.next_layer().Out.clear();
  s.Out.binary(true);
  s.Out.auto_fragment(false);
  s.Conn->SetFramer([&s](const std::string& Message) {
    std::lock_guard<std::mutex> g(s.OutLock);
    s.Out.write(net::buffer(Message));
    return std::exchange(s.Out.next_layer().Out, std::string());
  });
  return true;
}

bool TWebSocketSession::Read(std::string& Message, size_t Max, TDeadline Deadline) {
  TImpl& s = *Impl_;
  s.In.next_layer().Deadline = Deadline;
  s.In.read_message_max(Max);
  s.Buffer.clear();
  error_code ec;
  s.In.read(s.Buffer, ec);
  if (ec) return false;
  Message = beast::buffers_to_string(s.Buffer.data());
  return true;
}
