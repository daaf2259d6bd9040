#pragma once
// One running instance per user session, and the registered messages that
// processes of the program exchange.
//
// The named mutex is a lock file held with flock for the life of the process.
// The kernel drops the lock when the process ends, so a file left behind by a
// crashed process is stale and is simply locked by the next start. The file is
// never removed: removing it while another process has it open would let two
// processes each lock a different file of the same name.
//
// Registered messages travel over a local socket served by the instance that
// holds the mutex. A message is one text line "NAME WPARAM LPARAM". A sender
// (a second start, the log-replay controller) connects and writes its lines;
// a broadcast of the running instance goes to every connected peer.
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/PrivateFolder.h"

class QLocalServer;
class QLocalSocket;
class QWidget;

inline constexpr const char* kOneInstanceName = "RZ4410_ONEINSTANCE";
inline constexpr const char* kRemoteMessageName = "RZ4410_REMOTEMESSAGE";
inline constexpr const char* kRemoteResMessageName = "RZ4410_REMOTERESMESSAGE";

// The lock file and the message socket live in RuntimeFolder().

class TNamedMutex {
 public:
  // Creates the mutex, or opens it when another process holds it; then
  // AlreadyExists() is true and this object holds nothing.
  explicit TNamedMutex(const std::string& name, const std::string& folder = RuntimeFolder());
  ~TNamedMutex();
  TNamedMutex(const TNamedMutex&) = delete;
  TNamedMutex& operator=(const TNamedMutex&) = delete;

  bool AlreadyExists() const { return alreadyExists_; }
  // False when the lock file could not be created at all (then the program
  // runs without the single-instance guard rather than not at all).
  bool Valid() const { return fd_ >= 0 || alreadyExists_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
  bool alreadyExists_ = false;
};

// Id of a registered message; the same name always gives the same id within
// the process. Ids start at 0xC000 like the window system's.
uint32_t RegisterWindowMessage(const std::string& name);
// Name of a registered id, empty when unknown.
std::string RegisteredMessageName(uint32_t id);

// One message line, parsed. Parsing is strict: a name of letters, digits and
// '_', then two decimal integers; anything else is rejected.
struct TMessageLine {
  std::string Name;
  int64_t WParam = 0;
  int64_t LParam = 0;
};
bool ParseMessageLine(const std::string& line, TMessageLine& out);
std::string FormatMessageLine(const std::string& name, int64_t wParam, int64_t lParam);

// The "window procedure": returns true when it handled the message.
using TMessageHook = std::function<bool(uint32_t msg, int64_t wParam, int64_t lParam)>;

class TMessageBus : public QObject {
  Q_OBJECT
 public:
  static constexpr int kMaxLine = 200;   // longer lines drop the peer
  static constexpr int kMaxPeers = 16;   // further peers are refused
  // A peer that lets this much of our output pile up unread is dropped.
  static constexpr int kMaxPendingOutput = 64 * 1024;

  // socketPath: the local socket's file name; by default in RuntimeFolder().
  explicit TMessageBus(std::string socketPath = DefaultSocketPath(), QObject* parent = nullptr);
  ~TMessageBus() override;

  static std::string DefaultSocketPath();

  // Serves the socket (the instance that holds the mutex). A socket file left
  // by a dead process is removed first.
  bool Listen();
  bool Listening() const;
  const std::string& SocketPath() const { return socketPath_; }

  // Replaces the hook and returns the one it replaced.
  TMessageHook SetHook(TMessageHook hook);
  // Hands a message to the hook; false when there is none or it declined.
  bool Dispatch(uint32_t msg, int64_t wParam, int64_t lParam);

  // The peer whose message the hook is handling now; 0 outside such a call.
  uint64_t Sender() const { return sender_; }

  // Sends one message line to every connected peer (dropping those that
  // stopped reading).
  void Broadcast(uint32_t msg, int64_t wParam, int64_t lParam);
  int PeerCount() const { return static_cast<int>(peers_.size()); }

  // A process without the mutex: connects to the running instance (retrying
  // until the time-out) and writes one message line. True once written.
  static bool SendToRunning(const std::string& socketPath, const std::string& name,
                            int64_t wParam, int64_t lParam, int timeoutMs);

 signals:
  // A peer is gone: it disconnected, its process ended, or it was dropped.
  void PeerGone(quint64 Id);

 private:
  void OnNewConnection();
  void OnReadyRead(QLocalSocket* peer);
  void DropPeer(QLocalSocket* peer);

  std::string socketPath_;
  QLocalServer* server_ = nullptr;
  std::vector<QLocalSocket*> peers_;
  std::map<QLocalSocket*, uint64_t> peerIds_;
  uint64_t lastPeerId_ = 0;
  uint64_t sender_ = 0;
  TMessageHook hook_;
};

// Brings a window to the front: restored when minimised, raised and
// activated. True when it is the active window afterwards.
bool ForceForegroundWindow(QWidget* window);
