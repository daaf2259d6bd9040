// The tuner against a transport without a device, on a clock that steps the
// tuner thread from sleep to sleep: exact command logs, state traces and
// timings, and events injected while a handler is in the middle of a write.
#include <gtest/gtest.h>

#include <limits>

#include "tests/receiver/TunerTestKit.h"

using namespace tunertest;

namespace {

const std::vector<TBytes> kDefaultConfig = {{0x00}, {0x03}, {0x10}, {0x18}, {0x14}, {0x30}, {0x08}};

std::vector<TBytes> Concat(std::initializer_list<std::vector<TBytes>> parts) {
  std::vector<TBytes> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

class TunerMachine : public ::testing::Test {
 protected:
  TTestUIThread ui;
  TSteppedClock clock;
  std::unique_ptr<TFakeCom> com;
  std::unique_ptr<TTuner> tuner;
  std::unique_ptr<TStateRecorder> rec;

  void SetUp() override {
    com = std::make_unique<TFakeCom>(ui, clock);
    ui.Run([&] {
      tuner = std::make_unique<TTuner>(*com, ui, clock);
      rec = std::make_unique<TStateRecorder>(tuner.get());
      tuner->RegisterStateListener(TOnTunerEvent(rec.get(), &TStateRecorder::OnState));
    });
    ASSERT_TRUE(clock.Settle());
  }
  void TearDown() override {
    com->OnWrite = nullptr;
    clock.Release();
    ui.Run([&] { tuner.reset(); });
    com.reset();
  }

  void Run(int64_t ms) { ASSERT_TRUE(clock.RunFor(ms)) << "the tuner thread did not park again"; }
  void Connect() {
    com->SetConnected(true);
    com->DeliverStatus(stConnected);
  }
  // Connected, identified, configured and tuned to MHz.
  void ReachReady(double MHz) {
    tuner->SetFrequency(MHz);
    Connect();
    Run(200);
    com->Deliver(InfoPacket({}));
    Run(100);
    com->Deliver(StatusPacket(MHz, 10, true));
    Run(300);
    ASSERT_TRUE(tuner->Tuned());
    com->ClearCommands();
    rec->Clear();
  }
};

// A packet or status that arrives while a handler writes to the device must
// survive the cycle's own transition; the writes happen without the tuner's
// lock, or the UI thread delivering the event here would deadlock.
TEST_F(TunerMachine, EventsDuringAHandlerAreNotOverwrittenByItsTransition) {
  int infoWrites = 0, tuneWrites = 0;
  com->OnWrite = [&](const TBytes& b) {
    if (b[0] == proto::cmdDeviceInfo && ++infoWrites <= 2) com->Deliver(InfoPacket({}));
    if (b[0] == proto::cmdTune && ++tuneWrites == 1) {
      // A quick re-plug while the tune goes out: the device must be
      // identified again, not be sent tunes it ignores for ever.
      com->DeliverStatus(stDisconnected);
      com->DeliverStatus(stConnected);
    }
  };
  tuner->SetFrequency(98.5);
  Connect();
  Run(400);
  const std::vector<TBytes> once = Concat({{{0x09}, {0x20}}, kDefaultConfig, {TuneCommand(98.5)}});
  EXPECT_EQ(com->CommandBytes(), Concat({once, once}));
  const std::vector<int> trace = rec->Trace();
  ASSERT_GE(trace.size(), 6u);
  EXPECT_EQ(std::vector<int>(trace.begin(), trace.begin() + 6), (std::vector<int>{1, 4, 5, 1, 4, 5}));
  EXPECT_TRUE(tuner->Configured());

  com->Deliver(StatusPacket(98.5, 10, true));
  Run(300);
  EXPECT_TRUE(tuner->Tuned());
  EXPECT_EQ(com->Clears(), 1);

  // A request made while AfterTune runs (it starts by clearing the
  // transport's buffer) leaves the machine untuned, on its way to the new target.
  com->OnWrite = nullptr;
  tuner->SetFrequency(99.0);
  Run(40);
  com->OnClear = [&] { tuner->SetFrequency(100.0); };
  com->Deliver(StatusPacket(99.0, 10, true));
  Run(300);
  com->OnClear = nullptr;
  EXPECT_EQ((std::vector<double>{double(com->Clears()), tuner->TargetFreq(), double(tuner->Tuned()), double(tuner->State())}),
            (std::vector<double>{2, 100.0, 0, tnsTune}));
  EXPECT_EQ(com->CommandBytes().back(), TuneCommand(100.0));
}

TEST_F(TunerMachine, TargetsSnapToTheChannelGridAndTuningCompletes) {
  tuner->SetFrequency(98.47);
  EXPECT_EQ((std::vector<double>{tuner->TargetFreq(), double(tuner->State()), tuner->CurrentFreq()}),
            (std::vector<double>{98.5, tnsTune, 0}));
  tuner->SetFrequency(150.0);
  tuner->SetFrequency(std::numeric_limits<double>::quiet_NaN());  // ignored
  EXPECT_EQ(tuner->TargetFreq(), 108.0);

  // Off the grid: the report of the nearest channel completes the tune, and
  // the command is not repeated.
  tuner->SetFrequency(101.26);
  Connect();
  Run(200);
  com->Deliver(InfoPacket({}));
  Run(100);
  com->Deliver(StatusPacket(101.3, 9, false));
  Run(2500);
  EXPECT_TRUE(tuner->Tuned());
  const std::vector<TBytes> sent = com->CommandBytes();
  EXPECT_EQ(std::count(sent.begin(), sent.end(), TuneCommand(101.3)), 1) << "the tune is not repeated";
  EXPECT_EQ((std::pair(tuner->FreqTenths(), tuner->FreqIndex())), (std::pair(1013, 143)));

  // Idle and reconfiguration requests; the flag set means "leave it".
  tuner->SetIdle(true);
  tuner->Reconfigure(true);
  EXPECT_TRUE(tuner->Tuned());
  tuner->SetIdle(false);
  EXPECT_EQ((std::pair<int, bool>(tuner->State(), tuner->Tuned())), (std::pair<int, bool>(tnsWait, false)));
  com->ClearCommands();
  tuner->Reconfigure(false);
  EXPECT_FALSE(tuner->Configured());
  Run(200);
  EXPECT_EQ(com->CommandBytes(), (std::vector<TBytes>{{0x09}, {0x20}}));
}

// After a reconfiguration (leaving log replay does one) the machine tunes
// anew: a status packet that comes while it does must not skip the post-tune
// report, which is where the main window switches RDS decoding back on.
TEST_F(TunerMachine, ReconfigurationTunesAnewThroughPostTune) {
  ReachReady(98.5);
  tuner->Reconfigure(false);
  EXPECT_FALSE(tuner->Tuned());
  Run(200);
  com->Deliver(InfoPacket({}));
  com->Deliver(StatusPacket(98.5, 10, true));
  Run(300);
  ASSERT_TRUE(tuner->Tuned());
  const std::vector<int> trace = rec->Trace();
  const auto post = std::find(trace.begin(), trace.end(), int(tnsPostTune));
  ASSERT_NE(post, trace.end());
  // Post-tune hands over to plain ready; ready with status follows a status.
  ASSERT_NE(post + 1, trace.end());
  EXPECT_EQ(post[1], int(tnsReady));
}

TEST_F(TunerMachine, PacketFieldsAndIdentificationChecks) {
  // Status packets are ignored until the device is configured.
  com->Deliver(StatusPacket(99.0, 9, true));
  EXPECT_EQ((std::pair<double, int>(tuner->CurrentFreq(), tuner->Level())), (std::pair<double, int>(0, 0)));

  // (Level 7 mono and level 8 stereo are shown with the simulated receiver.)
  ReachReady(98.5);
  com->Deliver(RdsPacket(98.5, 7, true));
  EXPECT_TRUE(tuner->RDSPresent());
  const double avg = tuner->LevelAvg();
  com->Deliver(RdsPacket(98.5, 8, true));
  EXPECT_DOUBLE_EQ(tuner->LevelAvg(), 0.75 * avg + 0.25 * 8);
  EXPECT_EQ(tuner->State(), tnsReadyStatus);
  Run(900);
  com->Deliver(StatusPacket(98.5, 12, true));
  EXPECT_TRUE(tuner->RDSPresent());  // the last type 1 is 900 ms old
  Run(200);
  com->Deliver(StatusPacket(98.5, 12, true));
  EXPECT_FALSE(tuner->RDSPresent());

  // Low-side injection, a word above the band (top bits not part of it), a
  // short packet.
  com->Deliver(RdsPacket(91.2, 10, false, false));
  EXPECT_EQ((std::pair<double, bool>(tuner->CurrentFreq(), tuner->InjectionSide())), (std::pair<double, bool>(91.2, false)));
  const uint16_t high = FreqToPLLWord(true, 112.0);
  TBytes beyond = StatusPacket(98.5, 10, false);
  beyond[2] = static_cast<uint8_t>(high >> 8 | 0xC0);
  beyond[3] = static_cast<uint8_t>(high & 0xFF);
  com->Deliver(beyond);
  EXPECT_EQ(tuner->PLLBytes(), (TTuner::TPLLBytes{static_cast<uint8_t>(high & 0xFF), static_cast<uint8_t>(high >> 8)}));
  EXPECT_EQ(tuner->CurrentFreq(), 108.0);
  TBytes shortRds = RdsPacket(99.0, 3, false);
  shortRds.resize(11);
  com->Deliver(shortRds);
  EXPECT_EQ(tuner->CurrentFreq(), 108.0);

  // Identification: each failed check adds its text; all four come in order
  // (the whole set is shown by the simulated incompatible device).
  const double nan = std::numeric_limits<double>::quiet_NaN();
  auto check = [&](std::function<void(TInfo&)> change, const std::string& error) {
    TInfo info;
    change(info);
    com->Deliver(InfoPacket(info));
    EXPECT_EQ(tuner->Calibration().ErrorText, error);
    EXPECT_EQ(tuner->State(), error.empty() ? tnsPreTune : tnsIncompatible) << error;
  };
  check([](TInfo& i) { i.Firmware = 0x00; }, "");
  check([](TInfo& i) { i.Firmware = 0x10; }, "Unsupported Firmware! ");  // 1.0: any major is too new
  check([](TInfo& i) { i.Hardware = 0; }, "Incompatible Hardware! ");
  check([&](TInfo& i) { i.Offset = nan; }, "Uncalibrated Device! ");
  check([&](TInfo& i) { i.Scale = i.Offset = nan; }, "Uncalibrated Device! ");
  check([](TInfo& i) { std::memset(i.Id, 0xFE, 3); }, "");
  check([](TInfo& i) { std::memset(i.Id, 0xFE, 4); }, "Invalid Device ID! ");
  com->Deliver(InfoPacket({}));
  // (The offset and scale are checked on the cold start against the simulated receiver.)
  const TCalibration cal = tuner->Calibration();
  EXPECT_EQ((std::vector<double>{cal.Stored1, cal.Stored2, cal.Stored3}), (std::vector<double>{1.5, 2.5, 3.5}));
  EXPECT_EQ(cal.Info, (std::array<uint8_t, 8>{0x02, 0x01, 0x12, 0x34, 0x56, 0x78, 0xA1, 0xB2}));
  // A truncated information packet is not read at all.
  tuner->SetIdle(false);
  TInfo bad;
  bad.Hardware = 7;
  TBytes cut = InfoPacket(bad);
  cut.resize(48);
  com->Deliver(cut);
  EXPECT_EQ(tuner->State(), tnsWait);
  EXPECT_EQ(tuner->Calibration().ErrorText, "");
}

TEST_F(TunerMachine, ListenersToggleByMethodAndHandlersLeaveWithTheTuner) {
  ReachReady(98.5);
  TStateRecorder other;
  ui.Run([&] { tuner->RegisterStateListener(TOnTunerEvent(rec.get(), &TStateRecorder::OnState)); });
  Run(500);
  EXPECT_EQ(rec->Count(), 0u);
  // The cleared entry matches nothing: another object's method is appended,
  // and registering the first object's again removes that one.
  ui.Run([&] { tuner->RegisterStateListener(TOnTunerEvent(&other, &TStateRecorder::OnState)); });
  Run(500);
  EXPECT_GT(other.Count(), 0u);
  ui.Run([&] { tuner->RegisterStateListener(TOnTunerEvent(rec.get(), &TStateRecorder::OnState)); });
  const size_t seen = other.Count();
  Run(500);
  EXPECT_EQ(other.Count(), seen);
  EXPECT_EQ(rec->Count(), 0u);

  clock.Release();
  ui.Run([&] { tuner.reset(); });
  const auto data = com->DataHandlers();
  const auto statuses = com->StatusHandlers();
  ASSERT_EQ((std::pair(data.size(), statuses.size())), (std::pair<size_t, size_t>(1, 1)));
  EXPECT_FALSE(data[0].Handler || statuses[0]);
  EXPECT_EQ(data[0].Types, PacketTypes({1, 2, 4, 5}));
}

}  // namespace

TEST_F(TunerMachine, AfterAReplugOnlyTheDeviceReportCompletesTheTune) {
  ReachReady(98.5);
  com->SetConnected(false);
  com->DeliverStatus(stDisconnected);
  Run(300);
  Connect();
  Run(200);
  com->Deliver(InfoPacket({}));
  Run(500);
  EXPECT_FALSE(tuner->Tuned()) << "tuned from the frequency known before the unplug";
  com->Deliver(StatusPacket(98.5, 10, true));
  Run(300);
  EXPECT_TRUE(tuner->Tuned());
}
