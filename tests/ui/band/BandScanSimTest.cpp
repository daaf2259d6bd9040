// The band scan end to end in fake time: the simulated receiver plays four
// stations (three with RDS) through the real transport, tuner and decoder;
// the controller scans a custom range and visits every station it finds.
#include <gtest/gtest.h>

#include "logstore/SettingsRecord.h"
#include "receiver/RDS_Collector.h"
#include "support/BandScanScenario.h"
#include "support/FakeClock.h"
#include "support/TestUIThread.h"
#include "ui/band/BandScan.h"

TEST(BandScanSim, ScanFindsTheStationsAndVisitsCollectTheirData) {
  TTestUIThread ui;
  TFakeClock clock;
  TSimReceiver sim(clock);
  AddBandScanStations(sim);
  TSettingsRecord settings{};
  TComUSB com(sim, ui, clock);
  std::unique_ptr<TTuner> tuner;
  std::unique_ptr<TRDSCollector> dec;
  std::unique_ptr<TBandScanReceiver> link;
  std::unique_ptr<TBandScanController> ctl;
  ui.Run([&] {  // as the main window and the analyzer build them
    tuner = std::make_unique<TTuner>(com, ui, clock);
    dec = std::make_unique<TRDSCollector>(&com, clock);
    tuner->RegisterStateListener(TOnTunerEvent(std::string("decoder"), [&](TTunerState s) {
      dec->SetActive(s == tnsPostTune || s == tnsReady || s == tnsReadyStatus);
    }));
    link = std::make_unique<TBandScanReceiver>(*tuner, com, *dec);
    ctl = std::make_unique<TBandScanController>(*link, clock, settings);
    link->ToggleHandlers(*ctl);
    tuner->SetFrequency(96.0);
  });
  com.Start();
  // Fake time in steps, every packet delivered after each, until done().
  // Each step waits for the tuner to park again, so that even on a busy
  // machine no packet is due before a completed tune has set Tuned.
  auto RunUntil = [&](const std::function<bool()>& done, int64_t maxMs) {
    for (int64_t t = 0; t < maxMs; t += 100) {
      clock.AdvanceInSteps(100, 20, std::chrono::milliseconds(500));
      ui.WaitUntil([&] { return sim.PendingPackets() == 0 && com.Backlog.load() <= 0; }, std::chrono::seconds(10));
      bool ok = false;
      ui.Run([&] { ok = done(); });
      if (ok) return true;
    }
    return false;
  };
  auto BackAt96 = [&] { return tuner->Tuned() && tuner->CurrentFreq() == 96.0; };
  ASSERT_TRUE(RunUntil(BackAt96, 10000));
  ui.Run([&] {
    ctl->SetRange("88.0", "106.0");
    ctl->ScanClick();
  });
  ASSERT_TRUE(RunUntil([&] { return !ctl->ScanPending() && !ctl->Scanning(); }, 10000));
  ASSERT_TRUE(RunUntil(BackAt96, 5000));
  ui.Run([&] {
    EXPECT_NEAR(ctl->PointX().at(0), 88.0, 0.05);  // swept from the tuned start
    EXPECT_LT(ctl->PointX().back(), 106.0);
    ctl->SetReference(7);
    ctl->AnalyzeClick();
  });
  ASSERT_TRUE(RunUntil([&] { return !ctl->Analyzing(); }, 40000));
  ui.Run([&] {
    std::vector<std::vector<std::string>> got;
    for (const TColumnRecord& r : ctl->Stations()) got.push_back({r.Freq, r.PI, r.PS, r.Mode});
    EXPECT_EQ(got, kBandScanStationRows);
    EXPECT_EQ(tuner->TargetFreq(), 96.0);
  });
  clock.ReleaseAll();
  // Taken down on the thread that delivers the packets, the controller's
  // handlers first: packets keep coming until the transport stops.
  ui.Run([&] {
    link->ToggleHandlers(*ctl);  // registering again removes them
    ctl.reset();
    link.reset();
    tuner.reset();
    dec.reset();
  });
}
