// The simulated receiver's RDS timing and scenario files (its answers are
// exercised through the tuner and transport tests).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "receiver/DeviceProtocol.h"
#include "receiver/shared.h"
#include "support/FakeClock.h"
#include "support/SimReceiver.h"

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
};

}  // namespace

TEST_F(SimReceiverTest, PlaysStationRdsAtTheRealRateWithStatusInBetween) {
  TSimStation st{98.5, 11, true, {}};
  st.Groups = ParseGroupText("6204 0130 966B 594C\n6204 0931 6204 2020\n6204 2030 ---- 2222\n");
  sim.AddStation(st);
  sim.SetStatusIntervalMs(100);
  ASSERT_TRUE(Send(TuneCommand(98.5)));
  const TPackets all = AdvanceAndDrain(1000);
  const TPackets rds = OfType(all, 1);
  // One block every ~21.9 ms; status at the tune and every 100 ms; nothing else.
  EXPECT_EQ((std::vector<size_t>{rds.size(), OfType(all, 2).size(), all.size()}), (std::vector<size_t>{45, 11, 56}));

  // A B C D | A B C' D (version B) | A B C(lost) D | A ...
  const uint8_t ids[12] = {0, 1, 2, 3, 0, 1, 4, 3, 0, 1, 2, 3};
  const uint16_t data[12] = {0x6204, 0x0130, 0x966B, 0x594C, 0x6204, 0x0931,
                             0x6204, 0x2020, 0x6204, 0x2030, 0x0000, 0x2222};
  for (size_t i = 0; i < rds.size(); ++i) {
    proto::TRdsPacket p(rds[i].data(), 63, false);
    ASSERT_TRUE(p.Valid());
    EXPECT_EQ((std::vector<int>{p.BlockId(), p.BlockData(), p.ErrorStatus(), p.Level()}),
              (std::vector<int>{ids[i % 12], data[i % 12], i % 12 == 10 ? 3 : 0, 11})) << i;
  }
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
         "  station 98.5 level=9 stereo=0   # a comment\nstation 108.0\nunplug at=0.2 for=0.3\n";
  }
  sim.LoadScenario((dir / "band.txt").string());
  const auto stations = sim.Stations();
  ASSERT_EQ(stations.size(), 3u);
  ASSERT_EQ(stations[0].Groups.size(), 2u);
  EXPECT_TRUE(stations[0].Stereo && stations[0].Groups[1].Lost[1]);
  EXPECT_EQ((std::pair(stations[1].Level, stations[2].Level)), (std::pair(9, 0)));  // 0: the default

  // Powered up at 87.0 MHz: the station's RDS flows without a tune command.
  EXPECT_EQ(OfType(AdvanceAndDrain(100), 1).size(), 4u);
  // Unplugged from 0.2 s to 0.5 s: the handles die, a new one opens after.
  AdvanceAndDrain(100);
  EXPECT_FALSE(sim.Plugged());
  clock.Advance(290);
  EXPECT_EQ(sim.OpenPipe(kReceiverDeviceFilter, kReceiverPipeName, kPipeRead), -1);
  clock.Advance(10);
  EXPECT_NE(sim.OpenPipe(kReceiverDeviceFilter, kReceiverPipeName, kPipeRead), -1);

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
  expectError("unplug at=3\n", "unplug needs");
  expectError("unplug at=3 for=x\n", "bad unplug for");
  EXPECT_THROW(sim.LoadScenario((dir / "nothere.txt").string()), std::runtime_error);
  std::filesystem::remove_all(dir);
}
