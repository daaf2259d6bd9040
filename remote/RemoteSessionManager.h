#pragma once
// The remote access server's three endpoints on the machine's first local
// address: the HTTP pages of the resource file with log-in and log-out
// (8080), the command socket (8001) and the audio stream (8000). One client
// record per peer address; one logged-in client at a time.
//
// Lock guards the client table, the active client and every client's
// fields; bytes are sent only after the connection reference was taken under
// it, and always through the connection's bounded queue or its own worker.
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "remote/FileResourcer.h"
#include "remote/Mp3Frames.h"
#include "remote/RemoteHost.h"
#include "remote/RemoteHttp.h"
#include "remote/TcpServer.h"

struct TRemoteClient {
  std::string IP;
  TConnectionRef Connection;
  TConnectionRef AudioConnection;
  bool Ready = false;
  bool LoggedIn = false;
  TDateTime ConnectTime = 0;
  // Wrong passwords since the last lock-out or log-in, and the end of the
  // address's lock-out (steady milliseconds).
  int Failures = 0;
  int64_t LockedUntilMs = 0;
};

// What the operator sees of refused log-ins: how many, and the last few
// (time and address; the passwords tried are kept nowhere).
struct TFailedLogIns {
  static constexpr size_t kShown = 3;
  size_t Count = 0;
  std::vector<std::pair<TDateTime, std::string>> Last;  // newest first
};

// The parsed audio request.
struct TShoutHTTPHeader {
  std::string GET, Host, UserAgent, Accept, IcyMetaData, Connection;
};

enum class TShoutRequest { Get, BadRequest, NoGet, Ended };
inline constexpr size_t kMaxCommandMessage = 4 * 1024;

// Reads one audio request head up to its empty line into Header. A line
// starting "POST" or "HEAD", an over-long line or too many lines give
// BadRequest; a head without a "GET" line gives NoGet.
TShoutRequest ReadShoutRequest(TBoundedReader& Reader, TShoutHTTPHeader& Header, TDeadline Deadline);

// True only when Key stands at the start of Line; Value := the rest, trimmed
// of blanks and control characters when Trim is set.
bool SplitKeyValue(const std::string& Line, const std::string& Key, std::string& Value, bool Trim);
// Equality in a time that does not depend on where the texts differ.
bool SameSecret(const std::string& A, const std::string& B);

// The machine's first non-loopback IPv4 address in dotted form; "" when it
// has none.
std::string GetLocalIP();
using TLocalAddressProvider = std::function<std::string()>;

// Where the encoded audio stream comes from. While the server runs, the
// manager is subscribed; each block goes to the active client's stream.
class TAudioBlockSource {
 public:
  using TSink = std::function<void(const std::string& Block)>;
  virtual ~TAudioBlockSource() = default;
  // An empty sink ends the subscription.
  virtual void Subscribe(TSink Sink) = 0;
};

struct TRemoteLimits {
  // A connection not bound to the logged-in client (command socket, audio
  // request, HTTP request) is closed after this.
  std::chrono::milliseconds LoginTimeout{30000};
  // Such a connection that has not sent its request (HTTP, audio) or first
  // command within this is closed long before LoginTimeout, so connections
  // left idle do not hold the slots of the port.
  std::chrono::milliseconds FirstRequestTimeout{5000};
  TTcpServerLimits Connections;
};

// Start failed on Port; what() says which port and why.
class ERemoteStartError : public std::runtime_error {
 public:
  ERemoteStartError(int Port, const std::string& What) : std::runtime_error(What), Port(Port) {}
  int Port;
};

class TRemoteSessionManager {
 public:
  static constexpr int kCommandPort = TRemotePorts{}.Command;
  static constexpr int kHttpPort = TRemotePorts{}.Http;
  static constexpr int kDefaultAudioPort = TRemotePorts{}.Audio;
  static constexpr const char* kDefaultPassword = "740915";
  static constexpr const char* kServerName = "Fenwisk Remote Server";
  // After this many wrong passwords an address is refused for a while,
  // whatever it tries.
  static constexpr int kFreeLogInAttempts = 5;
  static constexpr std::chrono::minutes kLogInLockOut{5};

  using TCommandHandler = std::function<void(const TConnectionRef& Conn, const std::string& Message)>;

  TRemoteSessionManager(TmyItemCollection& Resources, TLocalAddressProvider LocalAddress = GetLocalIP,
                        TAudioBlockSource* Audio = nullptr, TRemoteLimits Limits = {},
                        IClock& Clock = SystemClock());
  ~TRemoteSessionManager();
  TRemoteSessionManager(const TRemoteSessionManager&) = delete;
  TRemoteSessionManager& operator=(const TRemoteSessionManager&) = delete;

  // Binds the command, audio and HTTP ports in that order, without serving
  // yet; a port of 0 in Ports() is one the system picks, and Ports() then
  // holds the ports bound. When one cannot be bound, the ones bound are let
  // go again and ERemoteStartError names the port.
  void Listen();
  // Listen() unless done, then serves on the three ports.
  void Start();
  // Stops the three servers (every worker joined), then forgets the active
  // client and every client's connections, readiness and log-in.
  void Stop();

  const std::string& LocalIP() const { return LocalIP_; }
  int AudioPort() const { return Ports_.Audio; }
  void SetAudioPort(int Port) { Ports_.Audio = Port; }
  // Takes effect at the next Start.
  void SetPorts(const TRemotePorts& Ports) { Ports_ = Ports; }
  const TRemotePorts& Ports() const { return Ports_; }
  void SetPassword(const std::string& Password);
  // Called on the command connection's worker for every NUL-terminated
  // message; set before Start.
  void SetCommandHandler(TCommandHandler Handler) { OnCommand_ = std::move(Handler); }
  // Marks the client whose command connection Conn is as (not) ready; false
  // when Conn belongs to nobody.
  bool SetReady(const TConnectionRef& Conn, bool Ready = true);
  enum class TPeer { Unknown, LoggedOut, LoggedIn };
  TPeer PeerState(const std::string& IP);
  // A copy of the active client's record (IP empty: none).
  TRemoteClient ActiveClient();
  TFailedLogIns FailedLogIns();
  // The session limit ran out: ends Conn, forgets it as its client's command
  // connection and logs that client out.
  void EndCommandConnection(const TConnectionRef& Conn);

  // One HTTP connection: its client record, then its request, read from S
  // (the HTTP worker's body).
  void ServeHttp(httplib::Stream& S);
  // The page the HTTP request gets: the log-in and log-out steps, under Lock.
  std::string ChoosePage(const std::string& PeerIP, const std::string& Document, const std::string& Password,
                         const std::string& Logout);
  void ServeResource(httplib::Response& Response, const std::string& Path) const;

 private:
  TRemoteClient* FindClient(const std::string& IP);
  bool LoggedIn(const std::string& IP);
  TRemoteClient& FindOrAddClient(const std::string& IP);
  // Under Lock: C is logged out and its audio stream ended.
  void LogOutLocked(TRemoteClient& C);
  // Under Lock: a refused log-in of C is recorded; enough of them lock C out.
  void LogInRefusedLocked(TRemoteClient& C, bool Counted);
  void OnCommandGet(const httplib::Request& Request, httplib::Response& Response);
  void ServeHttpConnection(const TConnectionRef& Conn);
  void ServeCommand(const TConnectionRef& Conn);
  void ServeAudio(const TConnectionRef& Conn);
  bool AnswerAudioGet(const TConnectionRef& Conn);
  void SendAudioBlock(const std::string& Block);

  TmyItemCollection& Resources_;
  TAudioBlockSource* Audio_;
  TRemoteLimits Limits_;
  std::chrono::milliseconds FirstRequestTimeout() const {
    return std::min(Limits_.LoginTimeout, Limits_.FirstRequestTimeout);
  }
  IClock& Clock_;
  std::string LocalIP_;
  TRemotePorts Ports_;
  // Listen() bound the ports and no Start or Stop came since.
  bool Listened_ = false;
  std::string Password_ = kDefaultPassword;
  TCommandHandler OnCommand_;
  std::mutex Lock;
  std::vector<std::unique_ptr<TRemoteClient>> Clients_;
  TRemoteClient* ActiveClient_ = nullptr;
  TFailedLogIns FailedLogIns_;
  // The audio source's thread only.
  TMp3FrameSplitter AudioFrames_;
  TRemoteHttpServer Http_;
  TTcpServer CommandServer_, AudioServer_, HttpServer_;
};
