// The decoder end to end, in fake time: the simulated receiver plays a
// scenario of stations with group files through transport and tuner.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "receiver/RDS_Collector.h"
#include "receiver/Tuner.h"
#include "receiver/communication.h"
#include "support/FakeClock.h"
#include "support/RdsEncoder.h"
#include "support/SimReceiver.h"
#include "support/TestUIThread.h"

namespace {

class RDSCollectorEndToEnd : public ::testing::Test {
 protected:
  TTestUIThread ui;
  TFakeClock clock;
  TSimReceiver sim{clock};
  std::unique_ptr<TComUSB> com;
  std::unique_ptr<TTuner> tuner;
  std::unique_ptr<TRDSCollector> dec;
  std::filesystem::path dir;

  // Recorded on the UI thread.
  std::vector<TDataChange> recs;
  TRDSStatistics stats;
  double maxBER = 0;  // the BER covers one 45-block window at a time

  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("rds_e2e_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
    WriteScenario();
    sim.LoadScenario((dir / "scenario.txt").string());
  }

  void TearDown() override {
    clock.ReleaseAll();
    ui.Run([&] {
      tuner.reset();  // first: stopping it may still reach the decoder
      dec.reset();
      com.reset();
    });
    std::filesystem::remove_all(dir);
  }

  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
  }

  void WriteScenario() {
    // 87.6: every group family, AF by method A.
    TRdsEncoder a;
    TRdsStationPlan planA;
    planA.AF = TRdsEncoder::AFMethodA({TRdsEncoder::AFCode(87.6), TRdsEncoder::AFCode(96.5),
                                       TRdsEncoder::AFCode(98.5), TRdsEncoder::AFCode(101.1)});
    Write("a.hex", "# station A\n" + GroupText(a.StationCycle(planA)));

    // 98.5: another programme, AF by method B.
    TRdsEncoder b;
    b.PI = 0xC201;
    b.PTY = 3;
    TRdsStationPlan planB;
    planB.PS = "METHOD B";
    planB.AF = TRdsEncoder::AFMethodB(TRdsEncoder::AFCode(98.5),
                                      {{TRdsEncoder::AFCode(96.5), false}, {TRdsEncoder::AFCode(101.1), true}});
    Write("b.hex", GroupText(b.StationCycle(planB)));

    Write("scenario.txt",
          "# two stations\n"
          "station 87.6 level=12 stereo=1 rds=a.hex\n"
          "station 98.5 level=9 stereo=0 rds=b.hex\n"
          "station 105.0 level=6 stereo=0\n");
  }

  // As the main window does: decoding is off while tuning and on once tuned.
  void OnTunerState(TTunerState s) {
    if (s == tnsPreTune || s == tnsTune) dec->SetActive(false);
    if (s == tnsPostTune || s == tnsReady || s == tnsReadyStatus) dec->SetActive(true);
  }

  void OnChanges() {
    for (const TDataChange& c : dec->Changes) {
      if (c.Kind == dcStatistics) {
        stats = c.Stats;
        maxBER = std::max(maxBER, c.Stats.BER);
      }
      else
        recs.push_back(c);
    }
  }

  void Start(double MHz) {
    com = std::make_unique<TComUSB>(sim, ui, clock);
    ui.Run([&] {
      tuner = std::make_unique<TTuner>(*com, ui, clock);
      dec = std::make_unique<TRDSCollector>(com.get(), clock);
      dec->RegisterDataChangeListener(TOnDataChangeEvent(this, &RDSCollectorEndToEnd::OnChanges));
      tuner->RegisterStateListener(TOnTunerEvent(this, &RDSCollectorEndToEnd::OnTunerState));
      tuner->SetFrequency(MHz);
    });
    com->Start();
  }

  // Moves fake time on in small steps, each time waiting (real time) until
  // every packet is delivered so none is dropped, until done() holds.
  bool RunUntil(const std::function<bool()>& done, int64_t maxFakeMs) {
    for (int64_t t = 0; t < maxFakeMs; t += 100) {
      clock.AdvanceInSteps(100, 20);
      ui.WaitUntil([&] { return sim.PendingPackets() == 0 && com->Backlog.load() <= 0; },
                   std::chrono::seconds(10));
      bool ok = false;
      ui.Run([&] { ok = done(); });
      if (ok) return true;
    }
    return false;
  }

  // UI thread.
  const TDataChange* Last(uint8_t kind) const {
    for (auto it = recs.rbegin(); it != recs.rend(); ++it)
      if (it->Kind == kind) return &*it;
    return nullptr;
  }
  bool Seen(uint8_t kind) const { return Last(kind) != nullptr; }
};

TEST_F(RDSCollectorEndToEnd, StationsDecodedThroughTransportAndTuner) {
  Start(87.6);
  // Everything station A sends, confirmed or complete at least once.
  const bool complete = RunUntil(
      [&] {
        return Seen(dcPSConfirmed) && Seen(dcRTAConfirmed) && Seen(dcRTBConfirmed) && Seen(dcAFCount) &&
               Seen(dcClockTime) && Seen(dcPIN) && Seen(dcPTYN) && Seen(dcEON) && Seen(dcGroup15) &&
               Last(dcEON)->Texts[7].size() > 0 && stats.GroupCount[31] > 0;
      },
      60000);
  ASSERT_TRUE(complete) << "station A was not decoded within a minute of fake time";

  ui.Run([&] {
    EXPECT_EQ(tuner->CurrentFreq(), 87.6);
    EXPECT_EQ(Last(dcPI)->Texts[0] + "|" + Last(dcPSConfirmed)->Texts[1], "6204|FENWISK ");
    EXPECT_EQ(Last(dcRTAConfirmed)->Texts[0].substr(0, 38), "Fenwisk test transmission, RadioText A");
    EXPECT_EQ(Last(dcAFCount)->AFLines, (std::vector<std::string>{"87.6", "96.5", "98.5", "101.1"}));
    EXPECT_EQ(Last(dcClockTime)->Texts[0], CTText(TRdsEncoder::MJDOf(2026, 3, 14), 9u << 12 | 26u << 6 | 2u));
    // Per-type counts: every family of the cycle, nothing else.
    for (int i : {0, 1, 2, 3, 4, 10, 14, 15, 30, 31}) EXPECT_GT(stats.GroupCount[i], 0u) << "type index " << i;
    for (int i : {5, 6, 7, 8, 9, 11, 12, 13, 16, 17, 18}) EXPECT_EQ(stats.GroupCount[i], 0u) << "type index " << i;
    // A clean stream: no errored block, BER 0 over complete windows.
    EXPECT_GT(stats.BlocksTotal, 200u);
    EXPECT_EQ(stats.ErrorBlocks[1] + stats.ErrorBlocks[2] + stats.ErrorBlocks[3], 0u);
    EXPECT_EQ(maxBER, 0.0);
  });

  // The second station, method B.
  ui.Run([&] {
    recs.clear();
    tuner->SetFrequency(98.5);
  });
  ASSERT_TRUE(RunUntil(
      [&] {
        return Seen(dcPSConfirmed) && Last(dcPSConfirmed)->Texts[1] == "METHOD B" && Seen(dcAFCount) &&
               Last(dcAFCount)->Texts[0] == "B";
      },
      60000));
  ui.Run([&] {
    EXPECT_EQ(Last(dcAFCount)->AFLines, (std::vector<std::string>{"TN:98.5", "96.5 (same)", "101.1 (region)"}));
    EXPECT_EQ(dec->GetPIText() + "|" + dec->GetPTYText(), "C201|Information");
  });
}

}  // namespace
