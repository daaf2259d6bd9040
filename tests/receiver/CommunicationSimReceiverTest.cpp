// The simulated receiver is the device every transport, tuner and window test
// talks to. What those tests already exercise through the tuner (device
// information, ignored and misplaced tunes, seeking) is not repeated here;
// these tests pin down the rest the other tests rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "receiver/DeviceProtocol.h"
#include "receiver/shared.h"
#include "support/FakeClock.h"
#include "support/SimReceiver.h"

using namespace std::chrono_literals;
using TPackets = std::vector<std::vector<uint8_t>>;

namespace {

class SimReceiverTest : public ::testing::Test {
 protected:
  TFakeClock clock;
  TSimReceiver sim{clock};
  int w = -1, r = -1;

  void SetUp() override {
    sim.SetStatusIntervalMs(0);
    w = sim.OpenPipe(kReceiverDeviceFilter, kReceiverPipeName, kPipeWrite);
    r = sim.OpenPipe(kReceiverDeviceFilter, kReceiverPipeName, kPipeRead);
    ASSERT_NE(w, -1);
    ASSERT_NE(r, -1);
  }
  void TearDown() override { clock.ReleaseAll(); }

  bool Send(std::vector<uint8_t> bytes) {
    int count = 0;
    return sim.Write(w, bytes.data(), static_cast<int>(bytes.size()), count, 500) &&
           count == static_cast<int>(bytes.size());
  }
  // Everything the device has to say at this moment.
  TPackets Drain() {
    TPackets out;
    uint8_t buf[64];
    int n = 0;
    while (sim.Read(r, buf, 64, n, 0)) out.emplace_back(buf, buf + n);
    return out;
  }
  static TPackets OfType(const TPackets& all, uint8_t type) {
    TPackets out;
    for (const auto& p : all)
      if (!p.empty() && p[0] == type) out.push_back(p);
    return out;
  }
  TPackets AdvanceAndDrain(int64_t ms, int64_t step = 10) {
    TPackets out;
    for (int64_t t = 0; t < ms; t += step) {
      clock.Advance(step);
      for (auto& p : Drain()) out.push_back(std::move(p));
    }
    return out;
  }
  static std::vector<uint8_t> TuneCommand(double mhz) {
    const uint16_t word = FreqToPLLWord(true, mhz);
    return {proto::cmdTune, static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word & 0xFF)};
  }
  static proto::TStatusPacket Status(const std::vector<uint8_t>& p) { return {p.data(), 63, false}; }
};

TRdsGroupLine Group(uint16_t a, uint16_t b, uint16_t c, uint16_t d, bool lostC = false) {
  TRdsGroupLine g;
  g.Block[0] = a;
  g.Block[1] = b;
  g.Block[2] = c;
  g.Block[3] = d;
  g.Lost[2] = lostC;
  return g;
}

}  // namespace

TEST_F(SimReceiverTest, LateAnswersResetAndPartialCommands) {
  sim.SetTuneAnswer(TSimAnswer::Late, 300);
  ASSERT_TRUE(Send(TuneCommand(101.1)));
  EXPECT_TRUE(AdvanceAndDrain(290).empty());
  const TPackets got = AdvanceAndDrain(20);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(Status(got[0]).PLLWord(), FreqToPLLWord(true, 101.1));
  EXPECT_EQ(Status(got[0]).Level(), 0);  // no station: noise

  // A reset cancels an answer still pending.
  sim.SetInfoAnswer(TSimAnswer::Late, 500);
  ASSERT_TRUE(Send({proto::cmdDeviceInfo}));
  ASSERT_TRUE(Send({proto::cmdReset}));
  EXPECT_TRUE(AdvanceAndDrain(1000, 100).empty());

  // A tune command cut short never reaches the device whole.
  sim.SetTuneAnswer(TSimAnswer::Normal);
  sim.PartialNextWrites(1, 2);
  const std::vector<uint8_t> tune = TuneCommand(88.8);
  int count = 0;
  EXPECT_TRUE(sim.Write(w, tune.data(), 3, count, 500));
  EXPECT_EQ(count, 2);
  EXPECT_TRUE(Drain().empty());
  EXPECT_EQ(sim.TunedFreq(), 101.1);
}

TEST_F(SimReceiverTest, PlaysStationRdsAtTheRealRateWithStatusInBetween) {
  TSimStation st{98.5, 11, true, {}};
  st.Groups = {Group(0x6204, 0x0130, 0x966B, 0x594C), Group(0x6204, 0x0931, 0x6204, 0x2020),
               Group(0x6204, 0x2030, 0x1111, 0x2222, true)};
  sim.AddStation(st);
  sim.SetStatusIntervalMs(100);
  ASSERT_TRUE(Send(TuneCommand(98.5)));
  const TPackets all = AdvanceAndDrain(1000);
  const TPackets rds = OfType(all, 1);
  EXPECT_EQ(rds.size(), 45u);                 // one block every ~21.9 ms
  EXPECT_EQ(OfType(all, 2).size(), 11u);      // at the tune and every 100 ms
  EXPECT_EQ(all.size(), rds.size() + 11u);

  // A B C D | A B C' D (version B) | A B C(lost) D | A ...
  const uint8_t ids[12] = {0, 1, 2, 3, 0, 1, 4, 3, 0, 1, 2, 3};
  const uint16_t data[12] = {0x6204, 0x0130, 0x966B, 0x594C, 0x6204, 0x0931,
                             0x6204, 0x2020, 0x6204, 0x2030, 0x0000, 0x2222};
  for (size_t i = 0; i < rds.size(); ++i) {
    proto::TRdsPacket p(rds[i].data(), 63, false);
    ASSERT_TRUE(p.Valid());
    EXPECT_EQ(p.BlockId(), ids[i % 12]) << i;
    EXPECT_EQ(p.BlockData(), data[i % 12]) << i;
    EXPECT_EQ(p.ErrorStatus(), i % 12 == 10 ? 3 : 0) << i;
    EXPECT_EQ(p.Level(), 11);
  }
  // Every reading flips the MPX toggle.
  EXPECT_NE(proto::TRdsPacket(rds[0].data(), 63, false).Mpx().Toggle,
            proto::TRdsPacket(rds[1].data(), 63, false).Mpx().Toggle);

  // Elsewhere on the band there is only noise: status at level 0, no RDS.
  ASSERT_TRUE(Send(TuneCommand(91.3)));
  const TPackets noise = AdvanceAndDrain(500);
  EXPECT_TRUE(OfType(noise, 1).empty());
  ASSERT_FALSE(OfType(noise, 2).empty());
  for (const auto& p : OfType(noise, 2)) EXPECT_EQ(Status(p).Level(), 0);

  // As fast as possible: after the tune answer, a block for every read with
  // no time passing.
  sim.SetStatusIntervalMs(0);
  sim.SetRdsRate(TSimRdsRate::Fastest);
  ASSERT_TRUE(Send(TuneCommand(98.5)));
  uint8_t buf[64];
  int n = 0;
  ASSERT_TRUE(sim.Read(r, buf, 64, n, 0));
  EXPECT_EQ(buf[0], 2);
  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(sim.Read(r, buf, 64, n, 0));
    ASSERT_EQ(buf[0], 1);
  }
}

TEST_F(SimReceiverTest, SeekWrapsAroundTheBandAndStaysPutWithoutStations) {
  for (double f : {90.0, 100.0}) sim.AddStation({f, 9, false, {}});
  ASSERT_TRUE(Send(TuneCommand(100.0)));
  ASSERT_TRUE(Send({proto::cmdSeekUp}));
  AdvanceAndDrain(300);
  EXPECT_EQ(sim.TunedFreq(), 90.0);
  ASSERT_TRUE(Send({proto::cmdSeekDown}));
  AdvanceAndDrain(300);
  EXPECT_EQ(sim.TunedFreq(), 100.0);

  sim.ClearStations();
  ASSERT_TRUE(Send({proto::cmdSeekUp}));
  AdvanceAndDrain(300);
  EXPECT_EQ(sim.TunedFreq(), 100.0);
}

TEST_F(SimReceiverTest, BandScanSendsPointsAcrossTheWholeBandThenResumes) {
  sim.AddStation({98.0, 12, false, {}});
  sim.SetStatusIntervalMs(100);
  ASSERT_TRUE(Send({proto::cmdScanStepFast, proto::cmdBandScan}));
  EXPECT_TRUE(sim.Scanning());
  const TPackets all = AdvanceAndDrain(2000);
  EXPECT_FALSE(sim.Scanning());
  const TPackets points = OfType(all, 3);
  const uint16_t first = FreqToPLLWord(true, 87.0), last = FreqToPLLWord(true, 108.0);
  ASSERT_EQ(points.size(), static_cast<size_t>((last - first + 11) / 12 + 1));
  std::vector<uint16_t> words;
  int peak = 0;
  uint16_t peakWord = 0;
  for (const auto& raw : points) {
    proto::TScanPointPacket p(raw.data(), 63, false);
    words.push_back(p.PLLWord());
    if (p.Level() > peak) peak = p.Level(), peakWord = p.PLLWord();
  }
  EXPECT_TRUE(std::is_sorted(words.begin(), words.end()));
  EXPECT_EQ(words.front(), first);
  EXPECT_EQ(words.back(), last);  // ends exactly there
  EXPECT_NEAR(PLLWordToFreq(peakWord, true), 98.0, 0.1);
  // No status while scanning; status again after the last point.
  size_t lastPoint = 0, statusDuring = 0, statusAfter = 0;
  for (size_t i = 0; i < all.size(); ++i)
    if (all[i][0] == 3) lastPoint = i;
  for (size_t i = 0; i < all.size(); ++i)
    if (all[i][0] == 2) ++(i < lastPoint ? statusDuring : statusAfter);
  EXPECT_EQ(statusDuring, 0u);
  EXPECT_GT(statusAfter, 0u);
}

TEST_F(SimReceiverTest, ConfigurationResetAndStreaming) {
  // 0x7F is unknown and ignored.
  ASSERT_TRUE(Send({0x01, 0x02, 0x12, 0x18, 0x15, 0x31, 0x0B, 0x7F}));
  ASSERT_TRUE(Send({proto::cmdEndConfig}));
  const TSimConfig c = sim.Config();
  EXPECT_EQ(c.Mode, 0x01);
  EXPECT_EQ(c.Input, 0x02);
  EXPECT_EQ(c.StopLevel, 2);
  EXPECT_EQ(c.Sensitivity, 0x18);
  EXPECT_EQ(c.Spacing, 1);
  EXPECT_TRUE(c.Deemphasis);
  EXPECT_EQ(c.ScanStep, 0x0B);
  EXPECT_EQ(c.EndConfigCount, 1);

  sim.SetStatusIntervalMs(100);
  EXPECT_EQ(OfType(AdvanceAndDrain(500), 2).size(), 5u);
  ASSERT_TRUE(Send({proto::cmdReset}));  // the device goes quiet
  EXPECT_FALSE(sim.Streaming());
  EXPECT_TRUE(AdvanceAndDrain(500).empty());
  ASSERT_TRUE(Send({proto::cmdEndConfig}));
  EXPECT_TRUE(sim.Streaming());
  EXPECT_FALSE(AdvanceAndDrain(200).empty());
}

TEST_F(SimReceiverTest, ScenarioFilesAndTheirErrors) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("simrx-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                    std::to_string(reinterpret_cast<uintptr_t>(this)));
  std::filesystem::create_directories(dir / "rds");
  {
    std::ofstream g(dir / "rds" / "groups.hex");
    g << "# two groups\n6204 0130 966B 594C   trailing words ignored\n\n6204 ---- 2020 2020\n";
    std::ofstream s(dir / "band.txt");
    s << "# test band\n\nstation 87.0 level=12 stereo=1 rds=rds/groups.hex\n"
         "  station 98.5 level=9 stereo=0   # a comment\nstation 108.0\n";
  }
  sim.LoadScenario((dir / "band.txt").string());
  const auto stations = sim.Stations();
  ASSERT_EQ(stations.size(), 3u);
  EXPECT_TRUE(stations[0].Stereo);
  ASSERT_EQ(stations[0].Groups.size(), 2u);
  EXPECT_TRUE(stations[0].Groups[1].Lost[1]);
  EXPECT_EQ(stations[1].Level, 9);
  EXPECT_EQ(stations[2].Level, 0);  // the default

  // Powered up at 87.0 MHz: the station's RDS flows without a tune command.
  EXPECT_EQ(OfType(AdvanceAndDrain(100), 1).size(), 4u);

  auto expectError = [&](const std::string& text, const std::string& needle) {
    try {
      TSimReceiver::ParseScenario(text, dir.string());
      ADD_FAILURE() << "accepted: " << text;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(needle), std::string::npos) << e.what();
    }
  };
  expectError("station 98.5\nstation 99.0 level=16\n", "line 2");
  expectError("station 98.5 volume=3\n", "unknown key");
  expectError("station 120.0\n", "bad frequency");
  expectError("\n\nstation 98.5 rds=missing.hex\n", "line 3");
  EXPECT_THROW(sim.LoadScenario((dir / "nothere.txt").string()), std::runtime_error);
  std::filesystem::remove_all(dir);
}

TEST_F(SimReceiverTest, PipesFaultsAndReadsOnTheFakeClock) {
  EXPECT_EQ(sim.OpenPipe("vid_04d8&pid_000d", kReceiverPipeName, kPipeRead), -1);
  EXPECT_EQ(sim.OpenPipe(kReceiverDeviceFilter, "\\MCHP_EP2", kPipeRead), -1);
  EXPECT_NE(sim.OpenPipe("VID_04D8&PID_000C", kReceiverPipeName, kPipeRead), -1);  // case does not matter
  uint8_t buf[64];
  int n = -1;
  EXPECT_FALSE(sim.Write(r, buf, 1, n, 0));  // pipes work one way only
  EXPECT_FALSE(sim.Read(w, buf, 64, n, 0));

  sim.ShortNextPackets(1, 3);
  sim.PushPacket({2, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
  EXPECT_TRUE(sim.Read(r, buf, 64, n, 0));
  EXPECT_EQ(n, 3);
  sim.PushPacket(std::vector<uint8_t>(10, 7));
  EXPECT_TRUE(sim.Read(r, buf, 4, n, 0));  // never more than the buffer holds
  EXPECT_EQ(n, 4);

  // A read waits for the clock: it times out only when fake time passes.
  std::atomic<int> result{-1};
  std::thread reader([&] {
    uint8_t b[64];
    int c = 0;
    result = sim.Read(r, b, 64, c, 500) ? 1 : 0;
  });
  ASSERT_TRUE(sim.WaitForReadsWaiting(1));
  clock.Advance(499);
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(result.load(), -1);
  clock.Advance(1);
  reader.join();
  EXPECT_EQ(result.load(), 0);

  // Closing a handle cancels a read blocked on it and waits for it.
  std::thread blocked([&] {
    uint8_t b[64];
    int c = 0;
    result = sim.Read(r, b, 64, c, 1000000) ? 1 : 0;
  });
  ASSERT_TRUE(sim.WaitForReadsWaiting(1));
  sim.Close(r);
  blocked.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_FALSE(sim.Read(r, buf, 64, n, 0));  // closed handles stay dead

  // Unplugging kills every handle for good; new ones work after plug-in.
  sim.Unplug();
  EXPECT_EQ(sim.OpenPipe(kReceiverDeviceFilter, kReceiverPipeName, kPipeWrite), -1);
  sim.Plug();
  EXPECT_FALSE(Send({proto::cmdReset}));
  w = sim.OpenPipe(kReceiverDeviceFilter, kReceiverPipeName, kPipeWrite);
  EXPECT_TRUE(Send({proto::cmdReset}));
  EXPECT_EQ(sim.TunedFreq(), 87.0);  // powered up afresh
}
