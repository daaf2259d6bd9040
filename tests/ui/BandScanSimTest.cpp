// The band scan end to end in fake time: the simulated receiver plays a
// scenario of four stations (three with RDS) through the real transport,
// tuner and RDS decoder; the controller scans a custom range, finds the
// stations and visits each to collect PI, PS and stereo.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "logstore/SettingsRecord.h"
#include "receiver/RDS_Collector.h"
#include "support/FakeClock.h"
#include "support/RdsEncoder.h"
#include "support/SimReceiver.h"
#include "support/TestUIThread.h"
#include "ui/BandScan.h"

namespace {

class BandScanSim : public ::testing::Test {
 protected:
  TTestUIThread ui;
  TFakeClock clock;
  TSimReceiver sim{clock};
  TSettingsRecord settings{};
  std::unique_ptr<TComUSB> com;
  std::unique_ptr<TTuner> tuner;
  std::unique_ptr<TRDSCollector> dec;
  std::unique_ptr<TBandScanReceiver> link;
  std::unique_ptr<TBandScanController> ctl;
  std::filesystem::path dir = std::filesystem::temp_directory_path() /
                              ("bandscan_sim_" + std::to_string(::getpid()));

  void SetUp() override {
    std::filesystem::create_directories(dir);
    std::string scenario = "# four stations, three with RDS\n";
    const struct {
      const char* freq;
      uint16_t pi;
      const char* ps;
      const char* rest;
    } stations[] = {{"89.3", 0xC201, "ALPHA FM", "level=12 stereo=1"},
                    {"94.2", 0x5202, "BRAVO FM", "level=10 stereo=1"},
                    {"99.9", 0x6203, "CHARLIE ", "level=13 stereo=0"},
                    {"104.5", 0, "", "level=11 stereo=1"}};
    for (const auto& s : stations) {
      scenario += std::string("station ") + s.freq + " " + s.rest;
      if (s.pi == 0) {
        scenario += "\n";
        continue;
      }
      TRdsEncoder enc;
      enc.PI = s.pi;
      std::ofstream(dir / (std::string(s.freq) + ".hex")) << GroupText(enc.PS(s.ps));
      scenario += std::string(" rds=") + s.freq + ".hex\n";
    }
    std::ofstream(dir / "scenario.txt") << scenario;
    sim.LoadScenario((dir / "scenario.txt").string());
  }

  void TearDown() override {
    clock.ReleaseAll();
    ui.Run([&] {
      tuner.reset();
      dec.reset();
      com.reset();
      ctl.reset();
    });
    std::filesystem::remove_all(dir);
  }

  // Built as the main window and the analyzer window build them.
  void Start(double MHz) {
    com = std::make_unique<TComUSB>(sim, ui, clock);
    ui.Run([&] {
      tuner = std::make_unique<TTuner>(*com, ui, clock);
      dec = std::make_unique<TRDSCollector>(com.get(), clock);
      // The main window's part: decoding is on once tuned.
      tuner->RegisterStateListener(TOnTunerEvent(std::string("decoder"), [this](TTunerState s) {
        dec->SetActive(s == tnsPostTune || s == tnsReady || s == tnsReadyStatus);
      }));
      link = std::make_unique<TBandScanReceiver>(*tuner, *com, *dec);
      ctl = std::make_unique<TBandScanController>(*link, clock, settings);
      link->ToggleHandlers(*ctl);
      tuner->SetFrequency(MHz);
    });
    com->Start();
  }

  // Fake time in small steps, every packet delivered after each; true once
  // done() holds (checked on the UI thread).
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
};

TEST_F(BandScanSim, ScanFindsTheStationsAndVisitsCollectTheirData) {
  Start(96.0);
  ASSERT_TRUE(RunUntil([&] { return tuner->Tuned(); }, 10000));

  ui.Run([&] {
    ctl->SetRange("88.0", "106.0");
    ctl->ScanClick();
  });
  ASSERT_TRUE(RunUntil([&] { return !ctl->ScanPending() && !ctl->Scanning(); }, 10000));
  // The scan's end retunes to where the receiver was.
  ASSERT_TRUE(RunUntil([&] { return tuner->Tuned() && tuner->CurrentFreq() == 96.0; }, 5000));
  ui.Run([&] {
    ASSERT_FALSE(ctl->PointX().empty());
    EXPECT_NEAR(ctl->PointX().front(), 88.0, 0.01);  // the device swept from the tuned start
    EXPECT_LT(ctl->PointX().back(), 106.0);
    ctl->SetReference(7);
    ctl->AnalyzeClick();
    EXPECT_TRUE(ctl->Analyzing());
  });
  ASSERT_TRUE(RunUntil([&] { return !ctl->Analyzing(); }, 40000));

  ui.Run([&] {
    std::vector<std::vector<std::string>> got;
    for (const TColumnRecord& r : ctl->Stations()) got.push_back({r.Freq, r.PI, r.PS, r.Mode});
    EXPECT_EQ(got, (std::vector<std::vector<std::string>>{{"89.3 MHz", "C201", "ALPHA FM", "Stereo"},
                                                          {"94.2 MHz", "5202", "BRAVO FM", "Stereo"},
                                                          {"99.9 MHz", "6203", "CHARLIE ", "Mono"},
                                                          {"104.5 MHz", "", "", "Stereo"}}));
    EXPECT_EQ(tuner->TargetFreq(), 96.0);  // back where it was
  });
}

}  // namespace
