#include "remote/RemoteProtocol.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <utility>

#include "platform/Format.h"
#include "receiver/DeviceProtocol.h"
#include "receiver/shared.h"
#include "remote/RemoteSessionManager.h"

namespace {

std::string Flag(bool On) { return On ? "1" : "0"; }

}  // namespace

std::string SocketPolicy() {
  return std::string(
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
             "<cross-domain-policy xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
             "xsi:noNamespaceSchemaLocation=\"http://www.adobe.com/xml/schemas/PolicyFileSocket.xsd\">") +
         "<cross-domain-policy><allow-access-from domain=\"*\" to-ports=\"*\" secure=\"false\" />"
         "</cross-domain-policy>";
}

int64_t RemoteTimeMs(TDateTime Now, int BiasMinutes) {
  const int64_t hours = BiasMinutes / -60;
  return std::llround((Now - 25569.0) * 86400000.0) - hours * 3600000;
}

TCommandResult TRemoteCommands::Execute(const std::string& Message) {
  TCommandResult r;
  std::string v;
  const auto is = [&](const char* Key) { return SplitKeyValue(Message, Key, v, true); };
  const auto reply = [&](const char* Key, const std::string& Value) { r.Reply = Key + Value; };
  if (is("FREQ=")) {
    if (v == "?") {
      reply("FREQ=", std::to_string(Host_.FreqTenths()));
    } else {
      // The normalised text carries the locale's separator.
      std::string text = NormalizeFreqText(v);
      for (char& ch : text)
        if (ch == ',') ch = '.';
      Host_.SetFrequency(std::strtod(text.c_str(), nullptr));
    }
  } else if (is("MP3PORT=")) {
    reply("MP3PORT=", LocalIP + ":" + std::to_string(HttpPort));
  } else if (is("ANT=")) {
    if (v == "?") reply("ANT=", Flag(Host_.Settings().InputAntenna));
    else if (v == "1" || v == "0") Host_.SelectInput(v == "1");
  } else if (is("RBDS=")) {
    if (v == "?") reply("RBDS=", Flag(Host_.Settings().RBDS));
    else if (v == "1" || v == "0") Host_.SelectRBDS(v == "1");
  } else if (is("CFREQ=")) {
    if (v == "L" || v == "R" || v == "B" || v == "F") Host_.Step(v[0]);
  } else if (is("SCANSTART=")) {
    Host_.SetHold(true);
    Host_.EnableControls(false);
    const uint16_t word = FreqToPLLWord(true, 87.0);
    Host_.Send({proto::cmdTune, static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word & 0xFF)});
    Host_.Send({proto::cmdScanStepFast});
    Host_.Send({proto::cmdBandScan});
    Scanning_ = true;
  } else if (is("SCANSTOP=")) {
    // Releasing the hold tunes the receiver back where it was; released
    // first, it no longer keeps the main window's controls off.
    Host_.SetHold(false);
    Host_.EnableControls(true);
    Scanning_ = false;
  } else if (is("USB=")) {
    if (v == "?") reply("USB=", Flag(Host_.UsbLampOn()));
  } else if (is("ALIAS=")) {
    if (v == "?") reply("ALIAS=", Alias);
  } else if (is("SERNUM=")) {
    const auto info = Host_.DeviceInfo();
    if (v == "?") reply("SERNUM=", Format("%.2X%.2X%.2X%.2X", info[2], info[3], info[4], info[5]));
  } else if (is("FIRMWARE=")) {
    const uint8_t fw = Host_.DeviceInfo()[0];
    if (v == "?") reply("FIRMWARE=", Format("%d.%d", fw >> 4, fw & 15));
  } else if (is("VER=")) {
    if (v == "?") reply("VER=", Format("%d", Host_.DeviceInfo()[1]));
  } else if (is("SPACE=") || is("SSL=") || is("SENSE=")) {
    r.Reply = Setting(Message.substr(0, Message.find('=') + 1), v);
  } else if (is("READY=")) {
    if (v == "?" || v == "0") {
      Host_.ClearRemoteVars();
      r.Ready = v == "?";
      if (v == "?") reply("READY=", "1");
    }
  } else if (is("TIME=")) {
    if (v == "?") {
      tzset();
      // The zone's standard bias only, whatever daylight saving says.
      r.Reply = Format("TIME=%lld", static_cast<long long>(RemoteTimeMs(dt::Now(), static_cast<int>(timezone / 60))));
    }
  }
  return r;
}

std::string TRemoteCommands::Setting(const std::string& Key, const std::string& V) {
  TSettingsRecord& s = Host_.Settings();
  if (V == "?") {
    if (Key == "SPACE=") return Key + std::to_string(s.Spacing);
    if (Key == "SSL=") return Key + std::to_string(s.SearchStopLevel);
    return Key + (s.SensitivityDX ? "0" : "1");
  }
  uint8_t command = 0;
  IRemoteHost::TCode code;
  if (Key == "SPACE=" && (V == "1" || V == "2")) {
    s.Spacing = static_cast<uint8_t>(V[0] - '0');
    command = static_cast<uint8_t>(0x14 + s.Spacing);
    code = IRemoteHost::TCode::Spacing;
  } else if (Key == "SSL=" && V.size() == 1 && V[0] >= '0' && V[0] <= '3') {
    s.SearchStopLevel = static_cast<uint8_t>(V[0] - '0');
    command = static_cast<uint8_t>(0x10 + s.SearchStopLevel);
    code = IRemoteHost::TCode::StopLevel;
  } else if (Key == "SENSE=" && (V == "1" || V == "0")) {
    s.SensitivityDX = V == "0";
    command = s.SensitivityDX ? proto::cmdSensitivityDX : proto::cmdSensitivityLocal;
    code = IRemoteHost::TCode::Sensitivity;
  } else {
    return "";
  }
  Host_.Send({command});
  Host_.SetConfigCode(code, command);
  Host_.SaveSettings();
  return "";
}

void TRemoteCommands::ScanData(const uint8_t* Packet, int High) {
  // A short packet carries no point.
  if (!Packet || High < 5) return;
  const uint16_t word = static_cast<uint16_t>((Packet[2] & 0x3F) << 8 | Packet[3]);
  if (word >= FreqToPLLWord(true, 108.0)) {
    Host_.SetRemoteVar("SCANSTOP", "1", true);
    return;
  }
  const double hz = word * 8192.0 + (Host_.InjectionSide() ? -225000.0 : 225000.0);
  Host_.AppendRemoteVar("SCAN", Format("%.0f:%d", hz / 1e6 * 100, Packet[5] >> 4));
}

TSessionView SessionView(bool HasCommand, const std::string& IP, TDateTime ConnectTime, int LimitMinutes,
                         bool Scanning, TDateTime Now) {
  TSessionView v{"Remote Connection: none", "", false};
  if (!HasCommand) return v;
  v.Connection = "Remote Connection: " + IP;
  if (LimitMinutes == 0 || Scanning) {
    v.TimeLeft = "Time Left: Unlimited";
    return v;
  }
  const int64_t elapsed = dt::MillisecondsBetween(ConnectTime, Now);
  if (elapsed / 60000 >= LimitMinutes) {
    v = {"Remote Connection: none", "Time Left: none", true};
    return v;
  }
  const int64_t left = std::max<int64_t>(0, int64_t(LimitMinutes) * 60000 - elapsed);
  const int64_t seconds = left / 1000;
  v.TimeLeft = Format("Time Left: %s", Format("%02d:%02d", int(seconds / 60 % 60), int(seconds % 60)).c_str());
  return v;
}
