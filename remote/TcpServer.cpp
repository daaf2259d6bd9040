#include "remote/TcpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <map>
#include <vector>

#include "platform/Format.h"

namespace {

int PollTimeout(TDeadline Deadline) {
  if (Deadline == kNoDeadline) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(Deadline - std::chrono::steady_clock::now());
  return left.count() <= 0 ? 0 : static_cast<int>(std::min<long long>(left.count(), INT_MAX));
}

void DrainWake(int Fd) {
  uint64_t n;
  while (read(Fd, &n, sizeof n) > 0) {
  }
}

std::string AddressText(const sockaddr_in& a) {
  char text[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
  return text;
}

}  // namespace

TDeadline DeadlineIn(std::chrono::milliseconds Ms) { return std::chrono::steady_clock::now() + Ms; }

static int64_t SteadyNowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool TBoundedReader::ReadUntil(char Terminator, std::string& Out, size_t Max, TDeadline Deadline) {
  for (;;) {
    const size_t end = Buf_.find(Terminator, Pos_);
    if (end != std::string::npos && end - Pos_ > Max) return !(Overlong_ = true);
    if (end != std::string::npos) {
      Out.assign(Buf_, Pos_, end - Pos_);
      Pos_ = end + 1;
      return true;
    }
    if (Buf_.size() - Pos_ > Max) return !(Overlong_ = true);
    Buf_.erase(0, Pos_);
    Pos_ = 0;
    char chunk[4096];
    const ssize_t n = Source_.Receive(chunk, sizeof chunk, Deadline);
    if (n <= 0) return false;
    Buf_.append(chunk, static_cast<size_t>(n));
  }
}

bool TBoundedReader::ReadLine(std::string& Line, size_t Max, TDeadline Deadline) {
  if (!ReadUntil('\n', Line, Max + 1, Deadline)) return false;
  if (!Line.empty() && Line.back() == '\r') Line.pop_back();
  if (Line.size() > Max) Overlong_ = true;
  return !Overlong_;
}

TTcpConnection::TTcpConnection(int Fd, std::string PeerIP, std::string LocalIP, size_t MaxQueued)
    : Fd_(Fd), WakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), PeerIP_(std::move(PeerIP)),
      LocalIP_(std::move(LocalIP)), MaxQueued_(MaxQueued), LastInputMs_(SteadyNowMs()) {
  if (WakeFd_ < 0) Ending_ = true;
}

TTcpConnection::~TTcpConnection() {
  close(Fd_);
  if (WakeFd_ >= 0) close(WakeFd_);
}

void TTcpConnection::Wake() {
  const uint64_t one = 1;
  if (WakeFd_ >= 0) (void)!write(WakeFd_, &one, sizeof one);
}

bool TTcpConnection::Send(std::string Bytes) {
  {
    std::lock_guard<std::mutex> g(QueueLock_);
    if (Ending_ || Queued_ + Bytes.size() > MaxQueued_) return false;
    Queued_ += Bytes.size();
    Queue_.push_back({std::move(Bytes)});
  }
  Wake();
  return true;
}

bool TTcpConnection::SendLive(std::string Bytes, int64_t LengthUs, int64_t MaxBehindUs) {
  {
    std::lock_guard<std::mutex> g(QueueLock_);
    if (Ending_) return false;
    Queued_ += Bytes.size();
    QueuedUs_ += LengthUs;
    Queue_.push_back({std::move(Bytes), LengthUs});
    // The piece being sent stays whole.
    for (auto it = Queue_.begin() + (FrontSent_ > 0); QueuedUs_ > MaxBehindUs && it != Queue_.end();) {
      if (it->LengthUs == 0) {
        ++it;
        continue;
      }
      Queued_ -= it->Bytes.size();
      QueuedUs_ -= it->LengthUs;
      it = Queue_.erase(it);
    }
  }
  Wake();
  return true;
}

void TTcpConnection::LimitSendBuffer(int Bytes) { setsockopt(Fd_, SOL_SOCKET, SO_SNDBUF, &Bytes, sizeof Bytes); }

bool TTcpConnection::SendMessage(const std::string& Message, bool Terminate) {
  std::lock_guard<std::mutex> g(FramerLock_);
  if (Framer_) return Send(Framer_(Message));
  return Send(Terminate ? Message + '\0' : Message);
}

void TTcpConnection::SetFramer(TFramer Framer) {
  std::lock_guard<std::mutex> g(FramerLock_);
  Framer_ = std::move(Framer);
}

void TTcpConnection::Disconnect() {
  if (Ending_.exchange(true)) return;
  shutdown(Fd_, SHUT_RDWR);
  Wake();
}

bool TTcpConnection::FlushSome() {
  std::lock_guard<std::mutex> g(QueueLock_);
  while (!Queue_.empty()) {
    const std::string& front = Queue_.front().Bytes;
    const ssize_t n = send(Fd_, front.data() + FrontSent_, front.size() - FrontSent_, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    FrontSent_ += static_cast<size_t>(n);
    if (FrontSent_ < front.size()) return true;
    Queued_ -= std::min(Queued_, front.size());
    QueuedUs_ -= Queue_.front().LengthUs;
    Queue_.pop_front();
    FrontSent_ = 0;
  }
  return true;
}

TTcpConnection::TWait TTcpConnection::Pump(bool WantInput, TDeadline Deadline) {
  for (;;) {
    if (Ending_) return TWait::Ended;
    bool output;
    {
      std::lock_guard<std::mutex> g(QueueLock_);
      output = !Queue_.empty();
    }
    if (!WantInput && !output) return TWait::Flushed;
    pollfd fds[2] = {{Fd_, static_cast<short>((WantInput ? POLLIN : 0) | (output ? POLLOUT : 0)), 0},
                     {WakeFd_, POLLIN, 0}};
    const int r = poll(fds, 2, PollTimeout(Deadline));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return TWait::Ended;
    if (r == 0) return TWait::TimedOut;
    if (fds[1].revents) DrainWake(WakeFd_);
    if (fds[0].revents & (POLLERR | POLLNVAL)) return TWait::Ended;
    if ((fds[0].revents & POLLOUT) && !FlushSome()) return TWait::Ended;
    if (fds[0].revents & (POLLIN | POLLHUP)) {
      if (WantInput) return TWait::Readable;
      if (fds[0].revents & POLLHUP) return TWait::Ended;
    }
  }
}

ssize_t TTcpConnection::Receive(char* Buf, size_t Size, TDeadline Deadline) {
  for (;;) {
    if (Pump(true, Deadline) != TWait::Readable) return -1;
    const ssize_t n = recv(Fd_, Buf, Size, MSG_DONTWAIT);
    if (n > 0) LastInputMs_ = SteadyNowMs();
    if (n >= 0) return n;
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return -1;
  }
}

bool TTcpConnection::Pending() {
  pollfd p{Fd_, POLLIN, 0};
  return !Ending_ && poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

bool TTcpConnection::Write(std::string Bytes, TDeadline Deadline) {
  {
    std::lock_guard<std::mutex> g(QueueLock_);
    if (Ending_) return false;
    Queued_ += Bytes.size();
    Queue_.push_back({std::move(Bytes)});
  }
  return Pump(false, Deadline) == TWait::Flushed;
}

void TTcpServer::Listen(const std::string& Address, int Port) {
  Stop();
  const auto fail = [&](const char* what) {
    const std::string text = Format("%s %s:%d: %s", what, Address.empty() ? "*" : Address.c_str(), Port,
                                    std::strerror(errno));
    if (Listen_ >= 0) close(Listen_);
    if (WakeFd_ >= 0) close(WakeFd_);
    Listen_ = WakeFd_ = -1;
    throw std::runtime_error(text);
  };
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(Port));
  if (Address.empty()) a.sin_addr.s_addr = htonl(INADDR_ANY);
  else if (inet_pton(AF_INET, Address.c_str(), &a.sin_addr) != 1) {
    errno = EINVAL;
    fail("Cannot listen on");
  }
  Listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  WakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (Listen_ < 0 || WakeFd_ < 0) fail("Cannot listen on");
  const int on = 1;
  setsockopt(Listen_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (bind(Listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0 || listen(Listen_, SOMAXCONN) < 0)
    fail("Cannot listen on");
  socklen_t len = sizeof a;
  if (getsockname(Listen_, reinterpret_cast<sockaddr*>(&a), &len) < 0) fail("Cannot listen on");
  Port_ = ntohs(a.sin_port);
  Address_ = Address;
}

void TTcpServer::Serve() {
  if (Listen_ < 0 || Acceptor_.joinable()) return;
  Stopping_ = false;
  Acceptor_ = std::thread([this] { AcceptLoop(); });
}

void TTcpServer::AcceptLoop() {
  for (;;) {
    pollfd fds[2] = {{Listen_, POLLIN, 0}, {WakeFd_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
    if (fds[1].revents) {
      // Drained before the flag is read: a stop's wake drained with a
      // finished connection's is then never missed.
      DrainWake(WakeFd_);
      if (Stopping_) return;
      std::lock_guard<std::mutex> g(Lock_);
      ReapLocked();
    }
    if (fds[0].revents & POLLIN) Accept();
  }
}

void TTcpServer::Accept() {
  sockaddr_in peer{}, local{};
  socklen_t len = sizeof peer;
  const int fd = accept4(Listen_, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
  if (fd < 0) return;
  len = sizeof local;
  getsockname(fd, reinterpret_cast<sockaddr*>(&local), &len);
  const std::string peerIP = AddressText(peer);
  // Which addresses hold connections, asked before taking the lock: the
  // answers come under the owner's lock.
  std::vector<std::string> holders;
  {
    std::lock_guard<std::mutex> g(Lock_);
    ReapLocked();
    for (const auto& w : Workers_)
      if (!w->Conn->Ending() && std::find(holders.begin(), holders.end(), w->Conn->PeerIP()) == holders.end())
        holders.push_back(w->Conn->PeerIP());
  }
  if (std::find(holders.begin(), holders.end(), peerIP) == holders.end()) holders.push_back(peerIP);
  std::vector<std::string> privileged;
  if (Privileged_)
    for (const std::string& ip : holders)
      if (Privileged_(ip)) privileged.push_back(ip);
  const auto isPrivileged = [&](const std::string& ip) {
    return std::find(privileged.begin(), privileged.end(), ip) != privileged.end();
  };
  const bool newcomerPrivileged = isPrivileged(peerIP);

  std::lock_guard<std::mutex> g(Lock_);
  ReapLocked();
  size_t open = 0;
  std::map<std::string, size_t> held;  // the open connections of each address
  for (const auto& w : Workers_) {
    if (w->Conn->Ending()) continue;
    ++open;
    ++held[w->Conn->PeerIP()];
  }
  const size_t fromPeer = held[peerIP];
  if (newcomerPrivileged ? fromPeer >= Limits_.MaxConnections : fromPeer >= Limits_.MaxPerPeer) {
    close(fd);
    return;
  }
  if (open >= Limits_.MaxConnections) {
    // The port is full: the address holding the most (never the logged-in
    // client's) gives up its idlest connection, so a fresh address always
    // gets in and no address keeps more than its share while others wait.
    // Addresses whose shares differ by one do not take turns: that would
    // change no share and only churn connections.
    std::string richest;
    for (const auto& [ip, n] : held)
      if (ip != peerIP && !isPrivileged(ip) && (richest.empty() || n > held[richest])) richest = ip;
    const bool takes = !richest.empty() && (fromPeer == 0 || held[richest] > fromPeer + 1);
    if (!newcomerPrivileged && !takes) {
      close(fd);
      return;
    }
    TTcpConnection* idlest = nullptr;
    for (const auto& w : Workers_)
      if (!w->Conn->Ending() && w->Conn->PeerIP() == richest &&
          (!idlest || w->Conn->LastInputMs() < idlest->LastInputMs()))
        idlest = w->Conn.get();
    if (idlest) idlest->Disconnect();
  }
  auto worker = std::make_unique<TWorker>();
  worker->Conn = std::make_shared<TTcpConnection>(fd, peerIP, AddressText(local), Limits_.MaxQueuedBytes);
  TWorker* w = worker.get();
  w->Thread = std::thread([this, w] {
    Serve_(w->Conn);
    w->Conn->Disconnect();
    w->Done = true;
    // Its socket and thread go now, not at the next accept.
    const uint64_t one = 1;
    (void)!write(WakeFd_, &one, sizeof one);
  });
  Workers_.push_back(std::move(worker));
}

void TTcpServer::ReapLocked() {
  for (auto it = Workers_.begin(); it != Workers_.end();) {
    if ((*it)->Done) {
      (*it)->Thread.join();
      it = Workers_.erase(it);
    } else {
      ++it;
    }
  }
}

void TTcpServer::Stop() {
  if (Listen_ < 0) return;
  Stopping_ = true;
  const uint64_t one = 1;
  (void)!write(WakeFd_, &one, sizeof one);
  if (Acceptor_.joinable()) Acceptor_.join();
  close(Listen_);
  Listen_ = -1;
  std::list<std::unique_ptr<TWorker>> workers;
  {
    std::lock_guard<std::mutex> g(Lock_);
    workers.swap(Workers_);
  }
  for (auto& w : workers) w->Conn->Disconnect();
  for (auto& w : workers) w->Thread.join();
  // Only now: a finishing worker still writes to it.
  close(WakeFd_);
  WakeFd_ = -1;
}
