// The demo band that `make run` plays without a receiver: the shipped files
// still hold the stations the demo promises (the main window showing a
// station is MainWindowTest's).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/Format.h"
#include "receiver/RDS_Collector.h"
#include "support/DemoBand.h"
#include "support/FakeClock.h"
#include "support/RdsEncoder.h"
#include "support/SimReceiver.h"
#include "support/TestPaths.h"

namespace {

std::string DemoScenario() { return TestSourceDir() + "/packaging/demo/band.txt"; }

struct TDecoded {
  std::string PS, RadioTextA, AFText;
  int32_t AFCount = 0;
};

// What a decoder makes of a station's group loop.
TDecoded Decode(const std::vector<TRdsGroupLine>& groups) {
  TFakeClock clock;
  TRDSCollector dec{nullptr, clock};
  dec.SetActive(true);
  TRdsBlockChannel channel;
  channel.SetStamp(true);
  std::vector<std::vector<uint8_t>> packets;
  for (int loop = 0; loop < 2; ++loop) channel.Add(groups, packets);
  for (const auto& p : packets) dec.ComData(p.data(), static_cast<int>(p.size()) - 1);
  return {dec.GetPSText(), std::string(reinterpret_cast<const char*>(dec.RT[0].Confirmed), 64), dec.GetAFText(),
          dec.GetAFCount()};
}

}  // namespace

TEST(DemoBand, ShippedStationsDecodeToWhatTheDemoPromises) {
  std::ifstream f(DemoScenario());
  ASSERT_TRUE(f) << DemoScenario();
  std::stringstream text;
  text << f.rdbuf();
  const std::vector<TSimStation> played =
      TSimReceiver::ParseScenario(text.str(), TestSourceDir() + "/packaging/demo", nullptr);
  const std::vector<TDemoStation>& promised = DemoStations();
  ASSERT_EQ(played.size(), promised.size());
  int withRds = 0;
  for (size_t i = 0; i < promised.size(); ++i) {
    SCOPED_TRACE(promised[i].FreqMHz);
    EXPECT_DOUBLE_EQ(played[i].FreqMHz, promised[i].FreqMHz);
    EXPECT_EQ(played[i].Level, promised[i].Level);
    EXPECT_EQ(played[i].Stereo, promised[i].Stereo);
    EXPECT_EQ(played[i].Groups.empty(), promised[i].GroupFile.empty());
    EXPECT_EQ(played[i].Mpx.empty(), promised[i].MpxFile.empty());
    if (promised[i].GroupFile.empty()) continue;
    ++withRds;
    const TDecoded got = Decode(played[i].Groups);
    EXPECT_EQ(got.PS, promised[i].PS);
    EXPECT_EQ(got.RadioTextA.substr(0, promised[i].RadioTextA.size()), promised[i].RadioTextA);
    // A frequency that is no AF code makes the decoder refuse the whole list.
    // (A station that sends no list counts -1.)
    EXPECT_EQ(std::max(got.AFCount, 0), static_cast<int32_t>(promised[i].AF.size())) << got.AFText;
    for (double af : promised[i].AF) EXPECT_NE(got.AFText.find(Format("%3.1f", af)), std::string::npos) << got.AFText;
    for (const TRdsGroupLine& g : played[i].Groups) EXPECT_EQ(g.Block[0], promised[i].PI);
  }
  EXPECT_GE(withRds, 5);
}
