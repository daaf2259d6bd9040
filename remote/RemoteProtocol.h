#pragma once
// The command socket's messages: commands set the receiver and the settings,
// queries are answered with the key and the value. Execute runs on the
// user-interface thread; the worker writes the reply afterwards.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/DateTime.h"
#include "remote/RemoteHost.h"

inline constexpr const char* kPolicyRequest = "<policy-file-request/>";
// The socket policy document (no terminator).
std::string SocketPolicy();

struct TCommandResult {
  std::string Reply;          // without terminator; empty: no reply
  std::optional<bool> Ready;  // the client declared itself (not) ready
};

class TRemoteCommands {
 public:
  explicit TRemoteCommands(IRemoteHost& Host) : Host_(Host) {}

  // Set at Start: what ALIAS= and MP3PORT= answer.
  std::string Alias;
  std::string LocalIP;
  int HttpPort = TRemotePorts{}.Http;

  TCommandResult Execute(const std::string& Message);
  // A band-scan point (packet type 3): appended to "SCAN", or "SCANSTOP"
  // once the receiver has passed the top of the band.
  void ScanData(const uint8_t* Packet, int High);
  bool Scanning() const { return Scanning_; }

 private:
  std::string Setting(const std::string& Key, const std::string& Value);
  IRemoteHost& Host_;
  bool Scanning_ = false;
};

// "TIME=" answer: local time in ms since 1970 less the whole hours of the
// zone's standard bias (BiasMinutes as UTC - local).
int64_t RemoteTimeMs(TDateTime Now, int BiasMinutes);

// What the connection labels show and whether the session limit has run out.
struct TSessionView {
  std::string Connection, TimeLeft;
  bool Expired = false;
};
// HasCommand: the active client has a command connection. LimitMinutes 0:
// unlimited; so is any limit while a remote scan runs.
TSessionView SessionView(bool HasCommand, const std::string& IP, TDateTime ConnectTime, int LimitMinutes,
                         bool Scanning, TDateTime Now);
