#include "remote/RemoteSessionManager.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <sstream>

#include "platform/Format.h"
#include "remote/RemoteWebSocket.h"

namespace {

const std::string kUnauthorized = "HTTP/1.0 401 Unauthorized\r\n\r\n";
const std::string kBadRequest = "HTTP/1.0 400 Bad Request\r\n\r\n";
const std::string kLoopBack = "HTTP/1.0 409 LoopBack\r\n\r\n";
const std::string kNotFound = "HTTP/1.0 404 Not Found\r\n\r\n";
const std::string kStreamHeader =
    "HTTP/1.0 200 OK\r\n"
    "icy-name: Fenwisk Remote Server\r\n"
    "icy-genre: Ether\r\n"
    "icy-url: http://www.quorvane.example/\r\n"
    "icy-private:1\r\n"
    "icy-pub:0\r\n"
    "icy-br:56\r\n"
    "\r\n";
const std::string kBusyPage = "busy.htm";

// A browser's upgrade request comes at once; a raw client may send nothing
// before its registration.
constexpr std::chrono::milliseconds kUpgradeWait{250};

// Replies go out within this, or the connection is dropped.
constexpr std::chrono::seconds kWriteTimeout{10};

// A player may fall this far behind in our queue (and about as far in the
// system's send buffer) before it skips ahead.
constexpr std::chrono::seconds kAudioMaxBehind{3};
constexpr int kAudioSendBuffer = 8 * 1024;

}  // namespace

bool SplitKeyValue(const std::string& Line, const std::string& Key, std::string& Value, bool DoTrim) {
  if (Key.empty() || Line.compare(0, Key.size(), Key) != 0) return false;
  Value = Line.substr(Key.size());
  if (DoTrim) Value = Trim(Value);
  return true;
}

bool SameSecret(const std::string& A, const std::string& B) {
  const size_t n = std::max(A.size(), B.size());
  unsigned diff = A.size() != B.size();
  for (size_t i = 0; i < n; ++i)
    diff |= static_cast<unsigned char>(i < A.size() ? A[i] : 0) ^ static_cast<unsigned char>(i < B.size() ? B[i] : 0);
  return diff == 0;
}

std::string GetLocalIP() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return "";
  std::string ip;
  for (ifaddrs* a = list; a && ip.empty(); a = a->ifa_next) {
    if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || (a->ifa_flags & IFF_LOOPBACK) ||
        !(a->ifa_flags & IFF_UP))
      continue;
    char text[INET_ADDRSTRLEN] = "";
    if (inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr, text, sizeof text)) ip = text;
  }
  freeifaddrs(list);
  return ip;
}

TShoutRequest ReadShoutRequest(TBoundedReader& Reader, TShoutHTTPHeader& Header, TDeadline Deadline) {
  bool get = false;
  std::string line, value;
  for (int lines = 0;; ++lines) {
    // The request line, the header lines and the empty line.
    if (lines > kMaxHeaderLines + 1) return TShoutRequest::BadRequest;
    if (!Reader.ReadLine(line, kMaxHeadLine, Deadline))
      return Reader.Overlong() ? TShoutRequest::BadRequest : TShoutRequest::Ended;
    if (SplitKeyValue(line, "GET", value, false)) {
      Header.GET = value;
      get = true;
    } else if (SplitKeyValue(line, "POST", value, false) || SplitKeyValue(line, "HEAD", value, false)) {
      return TShoutRequest::BadRequest;
    } else {
      SplitKeyValue(line, "User-Agent:", Header.UserAgent, true) ||
          SplitKeyValue(line, "Icy-MetaData:", Header.IcyMetaData, true) ||
          SplitKeyValue(line, "Accept:", Header.Accept, true) || SplitKeyValue(line, "Host:", Header.Host, true) ||
          SplitKeyValue(line, "Connection:", Header.Connection, true);
    }
    if (line.empty()) return get ? TShoutRequest::Get : TShoutRequest::NoGet;
  }
}

TRemoteSessionManager::TRemoteSessionManager(TmyItemCollection& Resources, TLocalAddressProvider LocalAddress,
                                             TAudioBlockSource* Audio, TRemoteLimits Limits, IClock& Clock)
    : Resources_(Resources),
      Audio_(Audio),
      Limits_(Limits),
      Clock_(Clock),
      LocalIP_(LocalAddress ? LocalAddress() : std::string()),
      CommandServer_([this](const TConnectionRef& c) { ServeCommand(c); }, Limits.Connections,
                     [this](const std::string& IP) { return LoggedIn(IP); }),
      AudioServer_([this](const TConnectionRef& c) { ServeAudio(c); }, Limits.Connections,
                   [this](const std::string& IP) { return LoggedIn(IP); }),
      HttpServer_([this](const TConnectionRef& c) { ServeHttpConnection(c); }, Limits.Connections,
                  [this](const std::string& IP) { return LoggedIn(IP); }) {
  Http_.Get(".*", [this](const httplib::Request& q, httplib::Response& r) { OnCommandGet(q, r); });
  Http_.set_payload_max_length(kMaxHeadLine);
}

TRemoteSessionManager::~TRemoteSessionManager() { Stop(); }

void TRemoteSessionManager::SetPassword(const std::string& Password) {
  std::lock_guard<std::mutex> g(Lock);
  Password_ = Password;
}

void TRemoteSessionManager::Listen() {
  Stop();
  const std::pair<TTcpServer*, int*> servers[] = {
      {&CommandServer_, &Ports_.Command}, {&AudioServer_, &Ports_.Audio}, {&HttpServer_, &Ports_.Http}};
  for (size_t i = 0; i < std::size(servers); ++i) {
    const int port = *servers[i].second;
    try {
      servers[i].first->Listen(LocalIP_, port);
    } catch (const std::exception& e) {
      for (size_t j = 0; j < i; ++j) servers[j].first->Stop();
      throw ERemoteStartError(port, Format("The remote server cannot use port %d. %s", port, e.what()));
    }
  }
  // Only now, with no worker running yet that reads them.
  for (const auto& [server, port] : servers) *port = server->Port();
  Listened_ = true;
}

void TRemoteSessionManager::Start() {
  if (!Listened_) Listen();
  Listened_ = false;
  CommandServer_.Serve();
  AudioServer_.Serve();
  HttpServer_.Serve();
  if (Audio_) Audio_->Subscribe([this](const std::string& Block) { SendAudioBlock(Block); });
}

void TRemoteSessionManager::Stop() {
  Listened_ = false;
  if (Audio_) Audio_->Subscribe(nullptr);
  CommandServer_.Stop();
  AudioServer_.Stop();
  HttpServer_.Stop();
  std::lock_guard<std::mutex> g(Lock);
  ActiveClient_ = nullptr;
  for (auto& c : Clients_) {
    c->Connection.reset();
    c->AudioConnection.reset();
    c->Ready = c->LoggedIn = false;
  }
}

TRemoteClient* TRemoteSessionManager::FindClient(const std::string& IP) {
  for (auto it = Clients_.rbegin(); it != Clients_.rend(); ++it)
    if ((*it)->IP == IP) return it->get();
  return nullptr;
}

bool TRemoteSessionManager::LoggedIn(const std::string& IP) {
  std::lock_guard<std::mutex> g(Lock);
  const TRemoteClient* c = FindClient(IP);
  return c && c->LoggedIn;
}

TRemoteClient& TRemoteSessionManager::FindOrAddClient(const std::string& IP) {
  if (TRemoteClient* c = FindClient(IP)) return *c;
  Clients_.push_back(std::make_unique<TRemoteClient>());
  Clients_.back()->IP = IP;
  return *Clients_.back();
}

bool TRemoteSessionManager::SetReady(const TConnectionRef& Conn, bool Ready) {
  std::lock_guard<std::mutex> g(Lock);
  TRemoteClient* c = Conn ? FindClient(Conn->PeerIP()) : nullptr;
  if (!c || c->Connection != Conn) return false;
  c->Ready = Ready;
  return true;
}

TRemoteSessionManager::TPeer TRemoteSessionManager::PeerState(const std::string& IP) {
  std::lock_guard<std::mutex> g(Lock);
  const TRemoteClient* c = FindClient(IP);
  return !c ? TPeer::Unknown : c->LoggedIn ? TPeer::LoggedIn : TPeer::LoggedOut;
}

TRemoteClient TRemoteSessionManager::ActiveClient() {
  std::lock_guard<std::mutex> g(Lock);
  return ActiveClient_ ? *ActiveClient_ : TRemoteClient{};
}

void TRemoteSessionManager::EndCommandConnection(const TConnectionRef& Conn) {
  if (!Conn) return;
  Conn->Disconnect();
  std::lock_guard<std::mutex> g(Lock);
  for (auto& c : Clients_)
    if (c->Connection == Conn) {
      // The session is over: another needs the password again, and another
      // address may take the receiver meanwhile.
      if (c->LoggedIn) LogOutLocked(*c);
      c->Connection.reset();
      c->Ready = false;
    }
}

void TRemoteSessionManager::LogOutLocked(TRemoteClient& C) {
  C.LoggedIn = false;
  if (ActiveClient_ == &C) ActiveClient_ = nullptr;
  // Its stream ends too: a player left open (half-open after a network
  // loss) would otherwise hold the worker and keep the next player out.
  if (C.AudioConnection) C.AudioConnection->Disconnect();
  C.AudioConnection.reset();
}

void TRemoteSessionManager::LogInRefusedLocked(TRemoteClient& C, bool Counted) {
  ++FailedLogIns_.Count;
  auto& last = FailedLogIns_.Last;
  last.insert(last.begin(), {Clock_.Now(), C.IP});
  if (last.size() > TFailedLogIns::kShown) last.pop_back();
  if (Counted && ++C.Failures >= kFreeLogInAttempts) {
    C.Failures = 0;
    C.LockedUntilMs = Clock_.SteadyMs() + std::chrono::milliseconds(kLogInLockOut).count();
  }
}

TFailedLogIns TRemoteSessionManager::FailedLogIns() {
  std::lock_guard<std::mutex> g(Lock);
  return FailedLogIns_;
}

// ---- HTTP

void TRemoteSessionManager::ServeHttpConnection(const TConnectionRef& Conn) {
  THttpStream s(
      *Conn, [&](const char* p, size_t n) { return Conn->Write(std::string(p, n), DeadlineIn(kWriteTimeout)); },
      Conn->PeerIP(), Conn->LocalIP(), DeadlineIn(FirstRequestTimeout()));
  ServeHttp(s);
}

void TRemoteSessionManager::ServeHttp(httplib::Stream& S) {
  std::string peer;
  int port = 0;
  S.get_remote_ip_and_port(peer, port);
  {
    std::lock_guard<std::mutex> g(Lock);
    FindOrAddClient(peer);
  }
  Http_.Process(S);
}

void TRemoteSessionManager::OnCommandGet(const httplib::Request& Request, httplib::Response& Response) {
  Response.set_header("Server", kServerName);
  // Pages go out whole, as "200 OK": the library would cut the body by the
  // request's ranges under that status (or multiply it, one copy per range,
  // in memory). The request object itself is the library's, not const.
  const_cast<httplib::Request&>(Request).ranges.clear();
  const auto param = [&](const char* key) { return Request.has_param(key) ? Request.get_param_value(key) : ""; };
  ServeResource(Response, ChoosePage(Request.remote_addr, Request.path, param("password"), param("logout")));
}

std::string TRemoteSessionManager::ChoosePage(const std::string& PeerIP, const std::string& Document,
                                              const std::string& Password, const std::string& Logout) {
  // One lock over the whole decision: of two browsers logging in at once,
  // the second finds the first active and gets the busy page.
  std::lock_guard<std::mutex> g(Lock);
  TRemoteClient* c = FindClient(PeerIP);
  if (!c) return kBusyPage;
  if (!c->LoggedIn && ActiveClient_ && ActiveClient_ != c) return kBusyPage;
  if (Logout == "1" && c->LoggedIn) LogOutLocked(*c);
  // A locked-out address gets the wrong-password page at once, its password
  // not even compared, so guessing gains nothing there.
  const bool locked = c->LockedUntilMs > Clock_.SteadyMs();
  const bool right = !locked && SameSecret(Password, Password_);
  if (right && !ActiveClient_) {
    c->LoggedIn = true;
    c->Failures = 0;
    ActiveClient_ = c;
  } else if (!right && !Password.empty() && !ActiveClient_) {
    c->LoggedIn = false;
    LogInRefusedLocked(*c, !locked);
    return "logine.htm";
  }
  if (c->LoggedIn) return Document == "/" ? (c->Ready ? kBusyPage : "wrapper.html") : Document;
  return Document == "/" ? "login.htm" : Document;
}

void TRemoteSessionManager::ServeResource(httplib::Response& Response, const std::string& Path) const {
  std::string name;
  for (char ch : Path) {
    if (ch == '/' || (static_cast<unsigned char>(ch) <= ' ' && ch != 0)) name.clear();
    else name += ch;
  }
  const size_t dot = name.find('.');
  const std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
  const TmyItem* item = Resources_.FindItem(name);
  std::stringstream bytes;
  const bool html = ext == "htm" || ext == "html";
  Response.set_header("Content-Type", kNoContentType);
  if (!item || !(html ? item->SaveToStreamWithVariables(bytes) : item->SaveToStream(bytes))) {
    Response.status = 404;
    Response.body = kNotFound;
    return;
  }
  static const std::pair<const char*, const char*> kTypes[] = {{"htm", "text/html"},
                                                               {"html", "text/html"},
                                                               {"gif", "image/gif"},
                                                               {"swf", "application/x-shockwave-flash"},
                                                               {"m3u", "audio/x-mpegurl"}};
  for (const auto& [e, type] : kTypes)
    if (ext == e) {
      Response.headers.erase("Content-Type");
      Response.set_header("Content-Type", type);
    }
  Response.status = 200;
  Response.body = bytes.str();
}

// ---- Command socket

void TRemoteSessionManager::ServeCommand(const TConnectionRef& Conn) {
  // A browser upgrades to a WebSocket first; the rest is as for raw clients.
  std::unique_ptr<TWebSocketSession> ws;
  if (StartsWithHttpGet(*Conn, kUpgradeWait)) {
    ws = std::make_unique<TWebSocketSession>(Conn);
    if (!ws->Accept(DeadlineIn(FirstRequestTimeout()), Ports_.Http)) return;
  }
  bool busy = false, registered = false;
  {
    std::lock_guard<std::mutex> g(Lock);
    TRemoteClient* c = FindClient(Conn->PeerIP());
    if (c && c == ActiveClient_) {
      if (c->Ready) {
        busy = true;
      } else {
        c->ConnectTime = Clock_.Now();
        c->Connection = Conn;
        registered = true;
      }
    }
  }
  if (busy) {
    Conn->SendMessage("503");
    Conn->Write("", DeadlineIn(kWriteTimeout));
    return;
  }
  // The logged-in client's socket has no time limit; anyone else's has.
  const TDeadline deadline = registered ? kNoDeadline : DeadlineIn(Limits_.LoginTimeout);
  TBoundedReader reader(*Conn);
  std::string message;
  // A stranger's first command comes soon or not at all. Until its peer has
  // logged in, nothing it sends is a command (a policy request is answered,
  // the rest ignored or ended), so it keeps that short deadline.
  for (TDeadline next = registered ? kNoDeadline : std::min(deadline, DeadlineIn(FirstRequestTimeout()));
       ws ? ws->Read(message, kMaxCommandMessage, next) : reader.ReadUntil('\0', message, kMaxCommandMessage, next);) {
    if (OnCommand_) OnCommand_(Conn, message);
    if (next != deadline && LoggedIn(Conn->PeerIP())) next = deadline;
  }
  std::lock_guard<std::mutex> g(Lock);
  TRemoteClient* c = FindClient(Conn->PeerIP());
  // A newer connection of the same peer keeps its registration.
  if (!c || c->Connection != Conn) return;
  if (c->LoggedIn && c->Ready) LogOutLocked(*c);
  c->Ready = false;
  c->Connection.reset();
}

// ---- Audio stream

void TRemoteSessionManager::ServeAudio(const TConnectionRef& Conn) {
  const TDeadline deadline = DeadlineIn(FirstRequestTimeout());
  TBoundedReader reader(*Conn);
  for (bool more = true; more;) {
    {
      std::lock_guard<std::mutex> g(Lock);
      const TRemoteClient* c = FindClient(Conn->PeerIP());
      if (!c || !ActiveClient_ || !c->LoggedIn) {
        more = false;
      } else if (c->AudioConnection) {
        // The peer already streams on another connection: nothing to serve.
        return;
      }
    }
    if (!more) {
      Conn->Write(kUnauthorized, DeadlineIn(kWriteTimeout));
      return;
    }
    TShoutHTTPHeader header;
    switch (ReadShoutRequest(reader, header, deadline)) {
      case TShoutRequest::Get:
        more = false;
        if (Conn->PeerIP() == LocalIP_) Conn->Write(kLoopBack, DeadlineIn(kWriteTimeout));
        else if (!AnswerAudioGet(Conn)) Conn->Write(kUnauthorized, DeadlineIn(kWriteTimeout));
        break;
      case TShoutRequest::NoGet:
        // An empty line alone is skipped; anything else here is no request.
        if (!reader.Pending()) break;
        [[fallthrough]];
      case TShoutRequest::BadRequest:
        Conn->Write(kBadRequest, DeadlineIn(kWriteTimeout));
        [[fallthrough]];
      case TShoutRequest::Ended:
        more = false;
        break;
    }
  }
  std::lock_guard<std::mutex> g(Lock);
  TRemoteClient* c = FindClient(Conn->PeerIP());
  if (c && c->AudioConnection == Conn) c->AudioConnection.reset();
}

bool TRemoteSessionManager::AnswerAudioGet(const TConnectionRef& Conn) {
  {
    std::lock_guard<std::mutex> g(Lock);
    TRemoteClient* c = FindClient(Conn->PeerIP());
    // The client may have logged out while its request came in.
    if (!c || !c->LoggedIn || c->AudioConnection) return false;
    c->AudioConnection = Conn;
    // What waits in the system's buffer cannot be skipped: a few seconds.
    Conn->LimitSendBuffer(kAudioSendBuffer);
    // Queued under the lock, so no audio block can overtake the header.
    Conn->Send(kStreamHeader);
  }
  // From here the blocks arrive through the queue; input is ignored until
  // the player goes away.
  char sink[4096];
  while (Conn->Receive(sink, sizeof sink, kNoDeadline) > 0) {
  }
  return true;
}

void TRemoteSessionManager::SendAudioBlock(const std::string& Block) {
  TConnectionRef conn;
  {
    std::lock_guard<std::mutex> g(Lock);
    if (ActiveClient_) conn = ActiveClient_->AudioConnection;
  }
  // A player that stalled skips whole frames to what is live now.
  AudioFrames_.Push(Block, [&](std::string Frame, int64_t LengthUs) {
    if (conn) conn->SendLive(std::move(Frame), LengthUs, std::chrono::microseconds(kAudioMaxBehind).count());
  });
}
