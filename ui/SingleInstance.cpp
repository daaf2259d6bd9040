#include "ui/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <cerrno>
#include <map>
#include <mutex>
#include <utility>

// --- named mutex --------------------------------------------------------------

TNamedMutex::TNamedMutex(const std::string& name, const std::string& folder)
    : path_(folder + "/" + name + ".lock") {
  // No link is followed and no fifo waited on: a name planted by someone
  // else must neither stall the start nor have us truncate the file it
  // points to.
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (fd_ < 0) return;
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
    ::close(fd_);
    fd_ = -1;
    return;
  }
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    alreadyExists_ = (errno == EWOULDBLOCK);
    ::close(fd_);
    fd_ = -1;
    return;
  }
  // The holder's process id, for whoever looks at the file; not relied upon.
  const std::string pid = std::to_string(getpid()) + "\n";
  if (::ftruncate(fd_, 0) == 0) {
    [[maybe_unused]] ssize_t n = ::write(fd_, pid.data(), pid.size());
  }
}

TNamedMutex::~TNamedMutex() {
  if (fd_ >= 0) ::close(fd_);  // closing drops the lock
}

// --- registered messages --------------------------------------------------------

namespace {
std::mutex gRegistryMutex;
std::map<std::string, uint32_t>& Registry() {
  static std::map<std::string, uint32_t> ids;
  return ids;
}
bool IsNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}
bool ParseInt(const std::string& s, int64_t& out) {
  if (s.empty() || s.size() > 20) return false;
  size_t i = (s[0] == '-') ? 1 : 0;
  if (i == s.size()) return false;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    if (v > (INT64_MAX - 9) / 10) return false;
    v = v * 10 + (s[i] - '0');
  }
  out = (s[0] == '-') ? -v : v;
  return true;
}
}  // namespace

uint32_t RegisterWindowMessage(const std::string& name) {
  std::lock_guard<std::mutex> lock(gRegistryMutex);
  auto& ids = Registry();
  auto it = ids.find(name);
  if (it != ids.end()) return it->second;
  const uint32_t id = 0xC000u + static_cast<uint32_t>(ids.size());
  ids.emplace(name, id);
  return id;
}

std::string RegisteredMessageName(uint32_t id) {
  std::lock_guard<std::mutex> lock(gRegistryMutex);
  for (const auto& [name, value] : Registry())
    if (value == id) return name;
  return {};
}

bool ParseMessageLine(const std::string& line, TMessageLine& out) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : line) {
    if (c == ' ' || c == '\t' || c == '\r') {
      if (!cur.empty()) parts.push_back(std::move(cur));
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) parts.push_back(std::move(cur));
  if (parts.size() != 3 || parts[0].empty() || parts[0].size() > 64) return false;
  if (!std::all_of(parts[0].begin(), parts[0].end(), IsNameChar)) return false;
  TMessageLine m;
  m.Name = parts[0];
  if (!ParseInt(parts[1], m.WParam) || !ParseInt(parts[2], m.LParam)) return false;
  out = std::move(m);
  return true;
}

std::string FormatMessageLine(const std::string& name, int64_t wParam, int64_t lParam) {
  return name + " " + std::to_string(wParam) + " " + std::to_string(lParam) + "\n";
}

// --- message bus -----------------------------------------------------------------

TMessageBus::TMessageBus(std::string socketPath, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath)) {}

TMessageBus::~TMessageBus() {
  hook_ = nullptr;
  for (QLocalSocket* p : peers_) {
    p->disconnect(this);
    p->abort();
    delete p;
  }
  peers_.clear();
  if (server_) {
    server_->close();
    delete server_;
  }
}

std::string TMessageBus::DefaultSocketPath() { return RuntimeFolder() + "/RZ4410_MESSAGES"; }

bool TMessageBus::Listen() {
  if (server_ && server_->isListening()) return true;
  if (!server_) {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &TMessageBus::OnNewConnection);
  }
  const QString path = QString::fromStdString(socketPath_);
  // Only the mutex holder listens, so a socket file found here is stale.
  QLocalServer::removeServer(path);
  return server_->listen(path);
}

bool TMessageBus::Listening() const { return server_ && server_->isListening(); }

TMessageHook TMessageBus::SetHook(TMessageHook hook) {
  TMessageHook previous = std::move(hook_);
  hook_ = std::move(hook);
  return previous;
}

bool TMessageBus::Dispatch(uint32_t msg, int64_t wParam, int64_t lParam) {
  if (!hook_) return false;
  // A copy: the hook may replace itself while it runs (shut-down).
  TMessageHook hook = hook_;
  return hook(msg, wParam, lParam);
}

void TMessageBus::Broadcast(uint32_t msg, int64_t wParam, int64_t lParam) {
  const std::string name = RegisteredMessageName(msg);
  if (name.empty()) return;
  const QByteArray line = QByteArray::fromStdString(FormatMessageLine(name, wParam, lParam));
  const std::vector<QLocalSocket*> peers = peers_;  // DropPeer changes the list
  for (QLocalSocket* p : peers) {
    if (p->bytesToWrite() > kMaxPendingOutput) {
      DropPeer(p);
      continue;
    }
    p->write(line);
    p->flush();
  }
}

void TMessageBus::OnNewConnection() {
  while (QLocalSocket* peer = server_->nextPendingConnection()) {
    if (static_cast<int>(peers_.size()) >= kMaxPeers) {
      peer->abort();
      peer->deleteLater();
      continue;
    }
    peers_.push_back(peer);
    peerIds_[peer] = ++lastPeerId_;
    connect(peer, &QLocalSocket::readyRead, this, [this, peer] { OnReadyRead(peer); });
    connect(peer, &QLocalSocket::disconnected, this, [this, peer] { DropPeer(peer); });
    if (peer->bytesAvailable() > 0) OnReadyRead(peer);
  }
}

void TMessageBus::OnReadyRead(QLocalSocket* peer) {
  while (peer->canReadLine()) {
    const QByteArray raw = peer->readLine(kMaxLine + 2);
    if (!raw.endsWith('\n')) {  // a line longer than any message: not ours
      DropPeer(peer);
      return;
    }
    TMessageLine m;
    if (!ParseMessageLine(raw.chopped(1).toStdString(), m)) continue;
    uint32_t id = 0;
    {
      std::lock_guard<std::mutex> lock(gRegistryMutex);
      auto it = Registry().find(m.Name);
      if (it == Registry().end()) continue;  // a message nobody registered here
      id = it->second;
    }
    const uint64_t outer = std::exchange(sender_, peerIds_[peer]);
    Dispatch(id, m.WParam, m.LParam);
    sender_ = outer;
    // The hook may have dropped every peer (shut-down) - stop reading then.
    if (std::find(peers_.begin(), peers_.end(), peer) == peers_.end()) return;
  }
  if (peer->bytesAvailable() > kMaxLine) DropPeer(peer);
}

void TMessageBus::DropPeer(QLocalSocket* peer) {
  auto it = std::find(peers_.begin(), peers_.end(), peer);
  if (it == peers_.end()) return;
  peers_.erase(it);
  const uint64_t id = peerIds_[peer];
  peerIds_.erase(peer);
  peer->disconnect(this);
  peer->abort();
  peer->deleteLater();
  emit PeerGone(id);
}

bool TMessageBus::SendToRunning(const std::string& socketPath, const std::string& name,
                                int64_t wParam, int64_t lParam, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  const QByteArray line = QByteArray::fromStdString(FormatMessageLine(name, wParam, lParam));
  for (;;) {
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(socketPath));
    const int left = std::max<int>(1, timeoutMs - static_cast<int>(timer.elapsed()));
    if (socket.waitForConnected(left)) {
      socket.write(line);
      bool ok = socket.waitForBytesWritten(std::max<int>(1, timeoutMs - static_cast<int>(timer.elapsed())));
      ok = ok || socket.bytesToWrite() == 0;
      socket.disconnectFromServer();
      if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(200);
      return ok;
    }
    // The running instance may still be starting and not serve its socket yet.
    if (timer.elapsed() >= timeoutMs) return false;
    QThread::msleep(50);
  }
}

bool ForceForegroundWindow(QWidget* window) {
  if (!window) return false;
  if (window->isMinimized()) window->showNormal();
  if (window->isActiveWindow()) return true;
  window->raise();
  window->activateWindow();
  return window->isActiveWindow();
}
