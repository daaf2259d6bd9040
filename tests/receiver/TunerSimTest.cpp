// The tuner on the real transport against the simulated receiver, in fake
// time: command logs and state traces of whole device conversations.
#include <gtest/gtest.h>

#include "support/FakeClock.h"
#include "support/SimReceiver.h"
#include "tests/receiver/TunerTestKit.h"

using namespace tunertest;

namespace {

const std::vector<TBytes> kColdStart = {{0x09}, {0x20}, {0x00}, {0x03}, {0x10}, {0x18}, {0x14}, {0x30}, {0x08}};

class TunerSim : public ::testing::Test {
 protected:
  TTestUIThread ui;
  TFakeClock clock;
  TSimReceiver sim{clock};
  TStampedPipes pipes{sim, clock};
  std::unique_ptr<TComUSB> com;
  std::unique_ptr<TTuner> tuner;
  std::unique_ptr<TStateRecorder> rec;

  void SetUp() override {
    for (const TSimStation& s : {TSimStation{95.0, 7, true, {}}, TSimStation{96.0, 8, true, {}},
                                 TSimStation{98.5, 10, true, {}}, TSimStation{100.1, 9, false, {}}})
      sim.AddStation(s);
  }
  void TearDown() override {
    clock.ReleaseAll();
    ui.Run([&] {
      tuner.reset();
      com.reset();
    });
  }

  // Creates the transport and the tuner as the main window does: the stored
  // frequency is set before the link comes up (about 2 s after the start).
  void Start(double MHz) {
    com = std::make_unique<TComUSB>(pipes, ui, clock);
    ui.Run([&] {
      tuner = std::make_unique<TTuner>(*com, ui, clock);
      rec = std::make_unique<TStateRecorder>(tuner.get());
      tuner->RegisterStateListener(TOnTunerEvent(rec.get(), &TStateRecorder::OnState));
      tuner->SetFrequency(MHz);
    });
    com->Start();
  }
  void Run(int64_t ms) { clock.AdvanceInSteps(ms, 10); }
  // Runs until the tuner is tuned (at most ms of fake time).
  bool RunUntilTuned(int64_t ms) {
    for (int64_t t = 0; t < ms; t += 100) {
      Run(100);
      if (tuner->Tuned()) return true;
    }
    return false;
  }
  void OnUI(const std::function<void()>& fn) { ui.Run(fn); }

  static std::vector<int> Head(const std::vector<int>& v, size_t n) {
    return std::vector<int>(v.begin(), v.begin() + static_cast<long>(std::min(n, v.size())));
  }
  // The trace starts with `start`, then monitors (7 and 10, with 10 seen).
  void ExpectTrace(const std::vector<int>& start) {
    const std::vector<int> trace = rec->Trace();
    EXPECT_EQ(Head(trace, start.size()), start);
    for (size_t i = start.size(); i < trace.size(); ++i) EXPECT_TRUE(trace[i] == 7 || trace[i] == 10) << trace[i];
    EXPECT_NE(std::find(trace.begin(), trace.end(), 10), trace.end());
  }
};

TEST_F(TunerSim, ColdStartThenUnplugAndReplug) {
  Start(98.5);
  ASSERT_TRUE(RunUntilTuned(5000));
  Run(500);
  std::vector<TBytes> expected = kColdStart;
  expected.push_back(TuneCommand(98.5));
  EXPECT_EQ(pipes.Commands(), expected);
  ExpectTrace({1, 4, 5, 6});
  EXPECT_EQ((std::vector<double>{tuner->CurrentFreq(), double(tuner->Level()), double(tuner->Stereo()),
                                 tuner->Calibration().MPXOffset, tuner->Calibration().MPXScale}),
            (std::vector<double>{98.5, 10, 1, -16.0, 0.0625}));
  EXPECT_EQ(tuner->Calibration().ErrorText, "");

  sim.Unplug();
  Run(1500);
  EXPECT_EQ((std::vector<int>{tuner->State(), tuner->Configured(), tuner->Tuned()}), (std::vector<int>{tnsWait, 0, 0}));
  pipes.Clear();
  rec->Clear();
  sim.Plug();
  ASSERT_TRUE(RunUntilTuned(5000));
  Run(500);
  EXPECT_EQ(pipes.Commands(), expected);
  ExpectTrace({1, 4, 5, 6});
}

class TunerSimFault : public TunerSim, public ::testing::WithParamInterface<int> {};

// A silent device, an incompatible one and one that ignores the tune.
TEST_P(TunerSimFault, UnansweredCommandsAreRepeatedUntilTheDeviceComplies) {
  struct Case {
    const char* name;
    std::function<void()> fault;
    uint8_t repeated;
    int64_t gap;
    std::function<void()> checkAndMend;
  };
  const Case cases[] = {
      {"silent device", [&] { sim.SetInfoAnswer(TSimAnswer::Never); }, proto::cmdDeviceInfo, 2100,
       [&] {
         EXPECT_EQ(rec->Trace(), std::vector<int>{tnsInit});
         sim.SetInfoAnswer(TSimAnswer::Late, 1500);  // a late answer still completes the start
       }},
      {"incompatible device", [&] { sim.SetIncompatible(); }, proto::cmdTune, 2050,
       [&] {
         // Reported once, never configured: its status packets are not read.
         EXPECT_EQ(tuner->Calibration().ErrorText,
                   "Unsupported Firmware! Incompatible Hardware! Uncalibrated Device! Invalid Device ID! ");
         EXPECT_EQ(rec->CountOf(tnsIncompatible), 1u);
         EXPECT_EQ(Head(rec->Trace(), 4), (std::vector<int>{1, 11, 0, 5}));
         EXPECT_FALSE(tuner->Configured());
         EXPECT_EQ(tuner->CurrentFreq(), 0.0);
         sim.SetDeviceInfo(TSimDeviceInfo());  // reconfiguring asks the device again
         OnUI([&] { tuner->Reconfigure(false); });
       }},
      {"ignored tune", [&] { sim.SetTuneAnswer(TSimAnswer::Never); }, proto::cmdTune, 2050,
       [&] {
         EXPECT_EQ(tuner->State(), tnsTune);
         EXPECT_EQ(tuner->CurrentFreq(), 87.0);  // where the device still is
         // A device that settles elsewhere is asked again too.
         sim.SetTuneAnswer(TSimAnswer::OtherWord, 0, FreqToPLLWord(true, 99.9));
         Run(2500);
         EXPECT_EQ(tuner->CurrentFreq(), 99.9);
         EXPECT_FALSE(tuner->Tuned());
         sim.SetTuneAnswer(TSimAnswer::Normal);
       }},
  };
  const Case& c = cases[GetParam()];
  SCOPED_TRACE(c.name);
  c.fault();
  Start(98.5);
  Run(9000);
  const auto gaps = pipes.GapsOf(c.repeated);
  ASSERT_GE(gaps.size(), 2u);
  for (int64_t gap : gaps) EXPECT_NEAR(gap, c.gap, 250);
  EXPECT_LE(rec->Count(), 7000u / 10) << "the waiting state floods the GUI thread";
  c.checkAndMend();
  ASSERT_TRUE(RunUntilTuned(6000));
  EXPECT_EQ(tuner->CurrentFreq(), 98.5);
  EXPECT_EQ(tuner->Calibration().ErrorText, "");
}
INSTANTIATE_TEST_SUITE_P(Devices, TunerSimFault, ::testing::Values(0, 1, 2));

TEST_F(TunerSim, SeekUpAndDownWithResend) {
  Start(98.5);
  ASSERT_TRUE(RunUntilTuned(5000));
  pipes.Clear();
  rec->Clear();
  OnUI([&] {
    tuner->SeekUp();
    tuner->SetFrequency(90.0);  // ignored while seeking
    tuner->SeekDown();          // so is a second seek
  });
  EXPECT_EQ(tuner->TargetFreq(), 98.5);
  ASSERT_TRUE(RunUntilTuned(2000));
  Run(500);
  EXPECT_EQ((std::vector<double>{tuner->CurrentFreq(), tuner->TargetFreq(), double(tuner->Stereo())}),
            (std::vector<double>{100.1, 100.1, 0}));
  EXPECT_EQ(pipes.Commands(), (std::vector<TBytes>{{proto::cmdSeekUp}}));
  ExpectTrace({8, 6});

  // A device slow to find the next station is asked again every 3 s.
  sim.SetSeekDelayMs(60000);
  pipes.Clear();
  OnUI([&] { tuner->SeekDown(); });
  Run(9500);
  const auto gaps = pipes.GapsOf(proto::cmdSeekDown);
  ASSERT_GE(gaps.size(), 2u);
  for (int64_t gap : gaps) EXPECT_NEAR(gap, 3050, 200);
  EXPECT_EQ(tuner->State(), tnsSearchBackward);
  sim.SetSeekDelayMs(300);
  ASSERT_TRUE(RunUntilTuned(4000));
  EXPECT_EQ(pipes.Commands(), std::vector<TBytes>(pipes.Commands().size(), {proto::cmdSeekDown}));
  EXPECT_EQ(tuner->CurrentFreq(), 98.5);

  // A seek request during tuning is ignored.
  OnUI([&] {
    tuner->SetFrequency(96.0);
    tuner->SeekUp();
  });
  EXPECT_EQ(tuner->State(), tnsTune);
}

TEST_F(TunerSim, NoSignalNeedsAWholeWindowBelowTheThreshold) {
  Start(98.5);
  ASSERT_TRUE(RunUntilTuned(5000));
  Run(4000);
  EXPECT_FALSE(tuner->NoSignal());

  // A short visit to an empty channel changes nothing.
  OnUI([&] { tuner->SetFrequency(90.0); });
  Run(800);
  OnUI([&] { tuner->SetFrequency(98.5); });
  for (int i = 0; i < 80; ++i) {
    Run(100);
    ASSERT_FALSE(tuner->NoSignal()) << i;
  }

  // On the empty channel the window that was open when the level fell ends
  // first; only the next one, below the threshold from its start, sets it.
  OnUI([&] { tuner->SetFrequency(90.0); });
  Run(2900);
  EXPECT_FALSE(tuner->NoSignal());
  Run(3800);
  EXPECT_TRUE(tuner->NoSignal());
  EXPECT_LT(tuner->LevelAvg(), 0.1);

  OnUI([&] { tuner->SetFrequency(98.5); });
  Run(2900);
  EXPECT_TRUE(tuner->NoSignal());
  Run(3800);
  EXPECT_FALSE(tuner->NoSignal());
}

// Whoever holds the receiver may leave it anywhere, also on the target
// itself (a band scan started there comes back to it): released, the tuner
// tunes the target again either way.
TEST_F(TunerSim, HoldMutesListenersAndSuppressesRetuningUntilReleased) {
  Start(98.5);
  ASSERT_TRUE(RunUntilTuned(5000));
  const std::vector<TBytes> scanFromTarget = {TuneCommand(98.5), {0x0D}, {0x0A}};
  for (const auto& moves : {std::vector<TBytes>{TuneCommand(100.1)}, scanFromTarget}) {
    OnUI([&] {
      tuner->SetHold(true);
      rec->Clear();
      for (const TBytes& m : moves) com->Send(m.data(), static_cast<int>(m.size()) - 1);
    });
    pipes.Clear();
    Run(4000);
    EXPECT_EQ(rec->Count(), 0u);
    EXPECT_TRUE(pipes.Commands().empty());

    OnUI([&] { tuner->SetHold(false); });
    Run(1500);
    EXPECT_TRUE(tuner->Tuned());
    EXPECT_GT(rec->Count(), 0u);
    EXPECT_EQ(pipes.Commands(), (std::vector<TBytes>{TuneCommand(98.5)})) << moves.size();
    EXPECT_EQ(tuner->CurrentFreq(), 98.5);
  }
}

}  // namespace
