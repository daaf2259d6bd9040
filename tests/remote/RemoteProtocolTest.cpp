// The command socket's messages against a fake receiver and main window.
#include "remote/RemoteProtocol.h"

#include <gtest/gtest.h>

#include "FakeRemoteHost.h"
#include "platform/Format.h"
#include "receiver/shared.h"

namespace {

TEST(RemoteCommands, QueriesAnswerWithKeyAndValue) {
  struct {
    const char* Message;
    std::function<void(TFakeRemoteHost&)> Setup;
    const char* Reply;
  } cases[] = {
      {"FREQ=?", nullptr, "FREQ=1015"},
      {"FREQ= ? ", nullptr, "FREQ=1015"},  // blanks trimmed
      {"SENSE=?", [](auto& h) { h.Record.SensitivityDX = 1; }, "SENSE=0"},
      {"SENSE=?", nullptr, "SENSE=1"},
      {"FIRMWARE=?", nullptr, "FIRMWARE=2.1"},
      {"SERNUM=?", nullptr, "SERNUM=DEADBEEF"},
      {"VER=?", nullptr, "VER=3"},
      {"ANT=?", [](auto& h) { h.Record.InputAntenna = 1; }, "ANT=1"},
      {"RBDS=?", nullptr, "RBDS=0"},
      {"SPACE=?", [](auto& h) { h.Record.Spacing = 2; }, "SPACE=2"},
      {"SSL=?", [](auto& h) { h.Record.SearchStopLevel = 3; }, "SSL=3"},
      {"USB=?", [](auto& h) { h.Usb = false; }, "USB=0"},
      {"ALIAS=?", nullptr, "ALIAS=Fenwisk"},
      {"MP3PORT=", nullptr, "MP3PORT=127.0.0.2:8080"},
      {"READY=?", nullptr, "READY=1"},
      {"READY=0", nullptr, ""},
      {"NOSUCH=?", nullptr, ""},
      {"FREQ", nullptr, ""},
  };
  for (const auto& c : cases) {
    TFakeRemoteHost host;
    if (c.Setup) c.Setup(host);
    TRemoteCommands commands(host);
    commands.Alias = "Fenwisk";
    commands.LocalIP = "127.0.0.2";
    EXPECT_EQ(commands.Execute(c.Message).Reply, c.Reply) << c.Message;
  }
}

TEST(RemoteCommands, CommandsReachReceiverSettingsAndWindow) {
  using B = std::vector<std::vector<uint8_t>>;
  using C = IRemoteHost::TCode;
  struct {
    std::string Message;
    B Sent;
    std::map<C, int32_t> Codes;
    int Saves;
    std::function<void(const TFakeRemoteHost&)> Check;
  } cases[] = {
      {"SPACE=0", {}, {}, 0, [](auto& h) { EXPECT_EQ(h.Record.Spacing, 0); }},
      {"SPACE=2", {{0x16}}, {{C::Spacing, 0x16}}, 1, [](auto& h) { EXPECT_EQ(h.Record.Spacing, 2); }},
      {"SSL=3", {{0x13}}, {{C::StopLevel, 0x13}}, 1, [](auto& h) { EXPECT_EQ(h.Record.SearchStopLevel, 3); }},
      {"SSL=4", {}, {}, 0, nullptr},
      {"SENSE=0", {{0x17}}, {{C::Sensitivity, 0x17}}, 1, [](auto& h) { EXPECT_EQ(h.Record.SensitivityDX, 1); }},
      {"SENSE=1", {{0x18}}, {{C::Sensitivity, 0x18}}, 1, [](auto& h) { EXPECT_EQ(h.Record.SensitivityDX, 0); }},
      {"FREQ= 101.5", {}, {}, 0, [](auto& h) { EXPECT_EQ(h.Tuned, std::vector<double>{101.5}); }},
      {"FREQ=150", {}, {}, 0, [](auto& h) { EXPECT_EQ(h.Tuned, std::vector<double>{108.0}); }},
      {"FREQ=" + std::string(4000, '9'), {}, {}, 0, [](auto& h) { EXPECT_EQ(h.Tuned, std::vector<double>{108.0}); }},
      {"FREQ=" + std::string(4000, '9') + ".9", {}, {}, 0, [](auto& h) { EXPECT_EQ(h.Tuned, std::vector<double>{108.0}); }},
      {"ANT=1", {}, {}, 0, [](auto& h) { EXPECT_EQ(h.Record.InputAntenna, 1); }},
      {"RBDS=1", {}, {}, 0, [](auto& h) { EXPECT_EQ(h.Record.RBDS, 1); }},
      {"CFREQ=B", {}, {}, 0, [](auto& h) { EXPECT_EQ(h.Steps, "B"); }},
      {"CFREQ=X", {}, {}, 0, [](auto& h) { EXPECT_EQ(h.Steps, ""); }},
      {"SCANSTART=1",
       {{0x06, uint8_t(FreqToPLLWord(true, 87.0) >> 8), uint8_t(FreqToPLLWord(true, 87.0) & 0xFF)}, {0x0D}, {0x0A}},
       {},
       0,
       [](auto& h) { EXPECT_TRUE(h.Held && !h.Controls); }},
  };
  for (const auto& c : cases) {
    TFakeRemoteHost host;
    TRemoteCommands commands(host);
    EXPECT_EQ(commands.Execute(c.Message).Reply, "") << c.Message;
    EXPECT_EQ(host.Sent, c.Sent) << c.Message;
    EXPECT_EQ(host.Codes, c.Codes) << c.Message;
    EXPECT_EQ(host.Saves, c.Saves) << c.Message;
    if (c.Check) c.Check(host);
  }
}

TEST(RemoteCommands, RemoteScanCollectsPointsUntilTheTopOfTheBand) {
  TFakeRemoteHost host;
  TRemoteCommands commands(host);
  commands.Execute("SCANSTART=");
  EXPECT_TRUE(commands.Scanning());
  const auto packet = [](uint16_t word, int level) {
    return std::vector<uint8_t>{3, 0, uint8_t(0xC0 | word >> 8), uint8_t(word & 0xFF), 0, uint8_t(level << 4)};
  };
  // 87.5 MHz low-side: word * 8192 + 225000 Hz.
  const uint16_t w875 = (87500000 - 225000) / 8192;
  for (const auto& p : {packet(w875, 7), packet(w875 + 1, 12), packet(FreqToPLLWord(true, 108.0), 0)})
    commands.ScanData(p.data(), static_cast<int>(p.size()) - 1);
  commands.ScanData(packet(w875, 1).data(), 3);  // too short: no point
  EXPECT_EQ(host.Vars["SCAN"], Format("%.0f:7!%.0f:12", (w875 * 8192.0 + 225000) / 1e4,
                                      ((w875 + 1) * 8192.0 + 225000) / 1e4));
  EXPECT_EQ(host.Vars["SCANSTOP"], "1");
  commands.Execute("SCANSTOP=1");
  EXPECT_TRUE(!host.Held && host.Controls && !commands.Scanning());
}

TEST(RemoteCommands, SessionViewAndTime) {
  const TDateTime t0 = dt::EncodeDate(2026, 1, 1);
  const auto at = [&](int s) { return dt::AddMilliseconds(t0, s * 1000); };
  struct {
    bool Command;
    int Limit;
    bool Scanning;
    int Elapsed;
    const char *Conn, *Left;
    bool Expired;
  } cases[] = {
      {false, 5, false, 0, "Remote Connection: none", "", false},
      {true, 0, false, 3600, "Remote Connection: 127.0.0.1", "Time Left: Unlimited", false},
      {true, 1, true, 3600, "Remote Connection: 127.0.0.1", "Time Left: Unlimited", false},
      {true, 2, false, 30, "Remote Connection: 127.0.0.1", "Time Left: 01:30", false},
      {true, 1, false, 60, "Remote Connection: none", "Time Left: none", true},
  };
  for (const auto& c : cases) {
    const TSessionView v = SessionView(c.Command, "127.0.0.1", t0, c.Limit, c.Scanning, at(c.Elapsed));
    EXPECT_EQ(v.Connection, c.Conn);
    EXPECT_EQ(v.TimeLeft, c.Left);
    EXPECT_EQ(v.Expired, c.Expired);
  }
  // 1970-01-01 01:00 local in a zone one and a half hours east: one whole hour off.
  EXPECT_EQ(RemoteTimeMs(25569.0 + 1.0 / 24, -90), 0);
  EXPECT_EQ(RemoteTimeMs(25569.0, 300), 5 * 3600000);
}

}  // namespace
