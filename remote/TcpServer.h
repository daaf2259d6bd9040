#pragma once
// A small thread-per-connection TCP server for the remote endpoints.
//
// Every accepted connection gets a worker thread that runs the endpoint's
// serve function. Connections are shared-owned, so another thread that took
// a reference may still queue bytes after the worker ended (they are simply
// not sent). Other threads never write to a socket: they queue bytes, up to a
// bound, and the connection's worker sends them while it waits for input, so
// a client that stops reading stalls nobody but itself. No wait spins: every
// wait is a poll() on the socket and the connection's wake-up descriptor.
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

using TDeadline = std::chrono::steady_clock::time_point;
inline constexpr TDeadline kNoDeadline = TDeadline::max();
TDeadline DeadlineIn(std::chrono::milliseconds Ms);

// Where a worker reads from: a socket in the program, memory in fuzz targets.
class TByteSource {
 public:
  virtual ~TByteSource() = default;
  // Up to Size bytes; 0 when the peer closed; -1 on an error, at the
  // deadline or when the connection is being ended.
  virtual ssize_t Receive(char* Buf, size_t Size, TDeadline Deadline) = 0;
  // True when bytes can be read without waiting.
  virtual bool Pending() = 0;
};

// Reads lines or terminated messages with a bound on their length.
class TBoundedReader {
 public:
  explicit TBoundedReader(TByteSource& Source) : Source_(Source) {}
  // Up to Terminator (dropped). False when more than Max bytes come before
  // it, at the deadline, or when the connection ends.
  bool ReadUntil(char Terminator, std::string& Out, size_t Max, TDeadline Deadline);
  // A line up to LF; a CR before the LF is dropped as well.
  bool ReadLine(std::string& Line, size_t Max, TDeadline Deadline);
  bool Pending() { return Pos_ < Buf_.size() || Source_.Pending(); }
  // The last read failed because the bound was exceeded.
  bool Overlong() const { return Overlong_; }

 private:
  TByteSource& Source_;
  bool Overlong_ = false;
  std::string Buf_;
  size_t Pos_ = 0;
};

class TTcpConnection final : public TByteSource {
 public:
  TTcpConnection(int Fd, std::string PeerIP, std::string LocalIP, size_t MaxQueued);
  ~TTcpConnection() override;
  TTcpConnection(const TTcpConnection&) = delete;
  TTcpConnection& operator=(const TTcpConnection&) = delete;

  const std::string& PeerIP() const { return PeerIP_; }
  const std::string& LocalIP() const { return LocalIP_; }

  // Any thread: queues Bytes for the worker to send. False, and nothing
  // queued, when the queue would exceed its bound or the connection ends.
  bool Send(std::string Bytes);
  // Any thread: queues one protocol message: its bytes and a NUL, or one
  // frame made by the framer once the worker has set one.
  using TFramer = std::function<std::string(const std::string& Message)>;
  bool SendMessage(const std::string& Message, bool Terminate = true);
  // Any thread: queues one piece of a live stream that plays LengthUs. When
  // more than MaxBehindUs of such pieces wait, the oldest not yet begun are
  // dropped, so a listener that stalled goes on with what is live now.
  bool SendLive(std::string Bytes, int64_t LengthUs, int64_t MaxBehindUs);
  // The system's send buffer for this socket (left to the system otherwise).
  void LimitSendBuffer(int Bytes);
  void SetFramer(TFramer Framer);
  // Any thread: ends the connection; the worker's waits return at once.
  void Disconnect();
  bool Ending() const { return Ending_; }
  // When the peer last sent something (steady milliseconds; the connect
  // time before it did).
  int64_t LastInputMs() const { return LastInputMs_; }

  // Worker only. Receive and Write send queued bytes while they wait.
  ssize_t Receive(char* Buf, size_t Size, TDeadline Deadline) override;
  bool Pending() override;
  // Sends Bytes after everything queued, whatever the bound; false on an
  // error, at the deadline or when the connection ends.
  bool Write(std::string Bytes, TDeadline Deadline);
  int Fd() const { return Fd_; }

 private:
  enum class TWait { Readable, Flushed, TimedOut, Ended };
  TWait Pump(bool WantInput, TDeadline Deadline);
  bool FlushSome();
  void Wake();

  const int Fd_;
  const int WakeFd_;
  const std::string PeerIP_, LocalIP_;
  const size_t MaxQueued_;
  std::atomic<bool> Ending_{false};
  std::atomic<int64_t> LastInputMs_;
  std::mutex FramerLock_;
  TFramer Framer_;
  struct TQueued {
    std::string Bytes;
    int64_t LengthUs = 0;  // a live stream's piece: may be dropped
  };
  std::mutex QueueLock_;
  std::deque<TQueued> Queue_;
  size_t Queued_ = 0, FrontSent_ = 0;
  int64_t QueuedUs_ = 0;
};

using TConnectionRef = std::shared_ptr<TTcpConnection>;

struct TTcpServerLimits {
  size_t MaxConnections = 64;
  // Per peer address, so one peer cannot take every slot from the others.
  size_t MaxPerPeer = 16;
  size_t MaxQueuedBytes = 256 * 1024;
};

class TTcpServer {
 public:
  using TServe = std::function<void(const TConnectionRef&)>;
  // Whether a peer address passes the caps (the logged-in client): up to
  // MaxConnections of its own, and its connections are never ended to make
  // room. When the port is full, a newcomer takes the idlest connection of
  // the address holding the most: always when it holds none itself, else
  // when that address holds at least two more.
  using TPrivileged = std::function<bool(const std::string& PeerIP)>;
  TTcpServer(TServe Serve, TTcpServerLimits Limits, TPrivileged Privileged = nullptr)
      : Serve_(std::move(Serve)), Limits_(Limits), Privileged_(std::move(Privileged)) {}
  ~TTcpServer() { Stop(); }

  // Listens on Address:Port ("" = every address; port 0 = one the system
  // picks) and serves. Throws std::runtime_error naming the address, the
  // port and the reason when that fails.
  void Start(const std::string& Address, int Port) {
    Listen(Address, Port);
    Serve();
  }
  // The two halves of Start: binding the port (so its number is known before
  // any connection is served), then accepting on it.
  void Listen(const std::string& Address, int Port);
  void Serve();
  // The port listened on (the system's choice when 0 was asked for).
  int Port() const { return Port_; }
  // Stops accepting, ends every connection and joins every worker.
  void Stop();
  bool Active() const { return Listen_ >= 0; }

 private:
  struct TWorker {
    TConnectionRef Conn;
    std::thread Thread;
    std::atomic<bool> Done{false};
  };
  void AcceptLoop();
  void Accept();
  void ReapLocked();

  TServe Serve_;
  TTcpServerLimits Limits_;
  TPrivileged Privileged_;
  // Wakes the acceptor: to stop, or to release the workers that finished.
  int Listen_ = -1, WakeFd_ = -1;
  std::atomic<bool> Stopping_{false};
  std::atomic<int> Port_{0};
  std::string Address_;
  std::thread Acceptor_;
  std::mutex Lock_;
  std::list<std::unique_ptr<TWorker>> Workers_;
};
