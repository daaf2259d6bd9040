#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include <unistd.h>

#include "logstore/SettingsRecord.h"
#include "platform/Format.h"
#include "support/FakeClock.h"
#include "support/FakeMPXReceiver.h"
#include "support/SimReceiver.h"
#include "support/TestUIThread.h"
#include "ui/mpx/MPXController.h"
#include "ui/RemoteObject.h"

namespace {

struct TRecorder final : IMPXObserver {
  int Buffered = 0, Taken = 0, Refreshed = 0;
  void Buffering() override { ++Buffered; }
  void SampleTaken(bool Refresh) override { ++Taken, Refreshed += Refresh; }
};

struct MPXController : ::testing::Test {
  TFakeClock clock;
  TFakeMPXReceiver rx;
  TRecorder seen;
  TRemoteObject remote;
  bool remoteOpen = false;
  TMPXController c{rx, clock};
  MPXController() {
    c.Observer = &seen;
    c.Remote = &remote;
    c.RemoteOpen = [this] { return remoteOpen; };
    c.ZoneMsAhead = [] { return int64_t(5.5 * 3600000); };  // a half-hour zone
  }
  // A type-2 packet with the reading, stamped now; then time moves on.
  void Feed(int raw, bool toggle, int stepMs = 100, uint8_t type = 2) {
    uint8_t p[20] = {type};
    p[10] = static_cast<uint8_t>((toggle ? 0x80 : 0) | (raw >> 8));
    p[11] = static_cast<uint8_t>(raw);
    dt::StampToBytes(clock.Now(), p + 12);
    c.ComData(p, 19);
    clock.Advance(stepMs);
  }
  void Next(int raw) { Feed(raw, c.LastToggle() != 1); }  // a new reading
  // Past the buffering, then n new readings of raw.
  void Measure(int raw, int n) {
    clock.Advance(TMPXController::kBufferingMs);
    for (int i = 0; i < n; ++i) Next(raw);
  }
};

}  // namespace

TEST(MPXTable, ReadingsToKHz) {
  for (auto [raw, kHz] : {std::pair{856.5, 130.0}, {503.3, 75.0}, {0.0, 0.0}, {-3.0, 0.0}, {0.1, 1.75}})
    EXPECT_DOUBLE_EQ(TMPXController::ReadingToKHz(raw), kHz) << raw;
  EXPECT_NEAR(TMPXController::ReadingToKHz(1000), 151.386, 0.0005);  // the first segment, extended
  // Every point maps to its own kHz, and every segment's middle between them.
  const auto& X = TMPXController::TableRaw();
  const auto& Y = TMPXController::TableKHz();
  ASSERT_TRUE(X.size() == 30u && Y.size() == 30u);
  for (size_t i = 0; i < X.size(); ++i) {
    EXPECT_DOUBLE_EQ(TMPXController::ReadingToKHz(X[i]), Y[i]) << i;
    const size_t k = std::min(i + 1, X.size() - 1);
    EXPECT_NEAR(TMPXController::ReadingToKHz((X[i] + X[k]) / 2), (Y[i] + Y[k]) / 2, 1e-9) << i;
  }
}

// A reading counts only when its toggle bit changed, and only while the tuner
// is configured; it is calibrated as (raw + offset) * scale.
TEST_F(MPXController, ToggleGateAndCalibration) {
  clock.Advance(TMPXController::kBufferingMs);
  struct { int raw; bool toggle, configured; double offset, scale; int samples; } steps[] = {
      {503, true, true, 0, 1, 1},      // the first packet always counts
      {856, true, true, 0, 1, 1},      // same toggle: repeated reading
      {600, false, false, 0, 1, 1},    // new, but the tuner is not configured
      {600, false, true, 0, 1, 1},     // its toggle was taken all the same
      {1000, true, true, -144, 2, 2},  // (1000 - 144) * 2 = 1712
      {5, false, true, NAN, 1, 2},     // no number: no sample
  };
  for (const auto& s : steps) {
    rx.IsConfigured = s.configured;
    rx.Cal.MPXOffset = s.offset;
    rx.Cal.MPXScale = s.scale;
    Feed(s.raw, s.toggle, 50);
    EXPECT_EQ(seen.Taken, s.samples) << s.raw;
  }
  EXPECT_NEAR(c.Collector().MaxValue(), TMPXController::ReadingToKHz(1712), 1e-9);
  EXPECT_EQ(c.InfoText(), "Frequency: 98.5 MHz, Sensitivity: Local (ATT 6dB) , RF Level: 53.0 dB\xC2\xB5V");
  Feed(503, true, 0, 3);  // not a status packet
  EXPECT_EQ(c.LastToggle(), 0);
}

TEST_F(MPXController, BufferingThenSamples) {
  Feed(503, true, 1900);
  EXPECT_TRUE(seen.Buffered == 1 && !c.PrintEnabled() && c.InBuffering());
  EXPECT_EQ(dt::MillisecondsBetween(c.BufferAxisMin(), c.BufferAxisMax()), 60000);
  Feed(503, false, 1500);  // still buffering: the measure time starts here
  EXPECT_TRUE(seen.Buffered == 2 && seen.Taken == 0 && c.Collector().Parts().empty());
  Feed(503, true);
  EXPECT_TRUE(seen.Taken == 1 && seen.Refreshed == 1 && c.PrintEnabled() && !c.InBuffering());
  EXPECT_EQ(c.MeasureTimeText(), "[ Measure Time: 00:00:01 ]");
  EXPECT_TRUE(c.TimeWindow().Count == 1 && c.DeviationPoints().size() == 4u);  // 0, the reading, 75, 80
  c.ResetMeasurement();
  EXPECT_TRUE(c.InBuffering() && c.DeviationPoints().empty() && c.Collector().Parts().empty());
  clock.Advance(3000);  // no reading while buffering: the time counts from the reset
  Next(503);
  EXPECT_EQ(c.MeasureTimeText(), "[ Measure Time: 00:00:03 ]");
}

TEST_F(MPXController, UnitsAndTexts) {
  rx.Cal.MPXOffset = 0.3;  // 503 read as 503.3: 75 kHz
  Measure(503, 3);
  c.SetDeviationUnits(1);  // RBDS
  EXPECT_EQ(c.AverageText(), " 100.0 % ");
  c.ResetAverage();
  Next(0);  // read as 0.3: 3.515 kHz
  EXPECT_EQ(c.AverageText(), " 4.7 % ");
  const auto& labels = c.DeviationAxisLabels();
  EXPECT_TRUE(labels.size() == 18u && labels[10].Value == 75.0 && labels[10].Text == "100" && labels[0].Text == "%");
  c.SetDeviationUnits(0);
  EXPECT_TRUE(labels.size() == 14u && labels[13].Value == 130.0 && labels[0].Text == "KHz");
  EXPECT_EQ(c.AverageText(), " 3.5 KHz ");
  EXPECT_EQ(TMPXController::CursorText(75, 12.5), " 75.0 KHz - 12.5% ");  // kHz whatever the units
}

// With the print preview or the remote dialog open the charts stay, but the
// samples and (with the dialog) the remote values keep coming.
TEST_F(MPXController, ChartsHeldWhilePrintingOrRemote) {
  c.SetPrinting(true);
  Measure(503, 2);
  EXPECT_TRUE(seen.Taken == 2 && seen.Refreshed == 0 && c.TimeWindow().Count == 0);
  EXPECT_EQ(remote.GetChanges(true), "");
  c.SetPrinting(false);
  remoteOpen = true;
  for (int i = 0; i < 20; ++i) Next(666);  // 99.92 kHz for 2 s more
  EXPECT_TRUE(seen.Taken == 22 && seen.Refreshed == 0 && c.Collector().Parts().size() == 22);
  // Unix ms in UTC (local time 5 h 30 min ahead here) of the first sample, then again
  // after more than a second; the exceedance curve once in three seconds
  // (as of the first sample: 74.95 twice, 99.92 once).
  const int64_t first = 1767261600000 - 3 * 3600000 - 1800000 + 2000 + 200;
  EXPECT_EQ(remote.GetChanges(true),
            "LEDS=" + std::to_string(first + 1100) + "!100!0!0!0!0!0&DEV=!0.0:100.0!75.0:33.3!80.0:33.3&");
  remoteOpen = false;
  Next(666);
  EXPECT_TRUE(seen.Refreshed == 1 && c.TimeWindow().Count == 23);
}

// The chart data is that of the last sample that refreshed the charts,
// however many samples come after it without a refresh and whenever it is read.
TEST_F(MPXController, ChartDataIsThatOfTheLastRefreshingSample) {
  Measure(503, 3);
  EXPECT_EQ(seen.Refreshed, 3);
  c.SetPrinting(true);
  for (int i = 0; i < 5; ++i) Next(666);
  EXPECT_EQ(c.Collector().Parts().size(), 8u);
  EXPECT_EQ(c.TimeWindow().Count, 3);
  EXPECT_EQ(c.DeviationPoints().size(), 4u);  // 0, the reading, 75, 80
  c.SetPrinting(false);
  Next(666);
  EXPECT_EQ(c.TimeWindow().Count, 9);
  // Due, not yet read, then the measurement restarts: nothing of it is left.
  Next(666);
  c.ResetMeasurement();
  EXPECT_TRUE(c.TimeWindow().Count == 0 && c.DeviationPoints().empty());
}

// The simulated receiver plays a station whose MPX meter reads raw 503 (from
// a file of readings; calibration offset 0, scale 1 by the scenario's
// defaults) through the real transport and tuner.
TEST(MPXControllerSim, ConstantReadingAfterBuffering) {
  const auto dir = std::filesystem::temp_directory_path() / ("mpxsim-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "mpx.txt") << "# readings\n503\n\n503\n";
  std::ofstream(dir / "band.txt") << "station 87.0 level=12 stereo=1 mpx=mpx.txt\n";
  TTestUIThread ui;
  TFakeClock clock;
  TSimReceiver sim(clock);
  sim.LoadScenario((dir / "band.txt").string());
  std::filesystem::remove_all(dir);
  TSettingsRecord settings{};
  TComUSB com(sim, ui, clock);
  std::unique_ptr<TTuner> tuner;
  std::unique_ptr<TMPXReceiver> link;
  std::unique_ptr<TMPXController> ctl;
  ui.Run([&] {
    tuner = std::make_unique<TTuner>(com, ui, clock);
    link = std::make_unique<TMPXReceiver>(*tuner, com, settings);
    ctl = std::make_unique<TMPXController>(*link, clock);
    link->ToggleHandler(*ctl);
  });
  com.Start();
  auto Run = [&](int64_t ms) {
    for (int64_t t = 0; t < ms; t += 100) {
      clock.AdvanceInSteps(100, 20, std::chrono::milliseconds(500));
      ui.WaitUntil([&] { return sim.PendingPackets() == 0 && com.Backlog.load() <= 0; }, std::chrono::seconds(10));
    }
  };
  for (int i = 0; i < 50 && !tuner->Configured(); ++i) Run(100);
  ASSERT_TRUE(tuner->Configured());
  ui.Run([&] { ctl->ResetMeasurement(); });
  Run(5000);
  ui.Run([&] {
    const TFMCollector& fm = ctl->Collector();
    EXPECT_GE(fm.Parts().size(), 25u);  // 3 s of status packets at 100 ms
    EXPECT_GE(dt::MillisecondsBetween(ctl->StartTime(), fm.Parts().front().Time), 1900);
    EXPECT_NEAR(fm.GetAverage(), 74.95, 0.005);
    EXPECT_EQ(ctl->TimeWindow().Count, static_cast<int>(fm.Parts().size()));
    const auto& dev = ctl->DeviationPoints();
    auto held = [](const TDeviationChartPoint& p) { return p.X == 74.95 && p.Y == 100 && p.Color == 32768u; };
    EXPECT_TRUE(std::any_of(dev.begin(), dev.end(), held));
  });
  clock.ReleaseAll();
  ui.Run([&] {
    link->ToggleHandler(*ctl);
    tuner.reset();
  });
}

TEST(SimScenarioMpx, ReadingsAndCalibration) {
  TSimMpxCalibration cal;
  const auto st = TSimReceiver::ParseScenario("calibration offset=-16 scale=0.0625\nstation 99.0 mpx=2047\n", "", &cal);
  EXPECT_TRUE(cal.Offset == -16 && cal.Scale == 0.0625 && st.at(0).Mpx == std::vector<uint16_t>{2047});
  for (const char* bad : {"station 98.5 mpx=2048\n", "station 98.5 mpx=none.txt\n", "calibration scale=x\n"})
    EXPECT_THROW(TSimReceiver::ParseScenario(bad, "/nonexistent"), std::runtime_error) << bad;
}

// The info and measure-time lines are formatted again only when they change,
// and still follow every change: the sensitivity switched between two
// readings; each new second of readings 100 ms apart.
TEST_F(MPXController, InfoAndMeasureTimeFollowEveryChange) {
  Measure(503, 1);
  const std::string local = "Frequency: 98.5 MHz, Sensitivity: Local (ATT 6dB) , RF Level: 53.0 dB\xC2\xB5V";
  EXPECT_EQ(c.InfoText(), local);
  rx.DX = true;
  Next(503);
  EXPECT_EQ(c.InfoText(), "Frequency: 98.5 MHz, Sensitivity: DX , RF Level: 53.0 dB\xC2\xB5V");
  rx.DX = false;
  Next(503);
  EXPECT_EQ(c.InfoText(), local);

  std::vector<std::string> shown;
  for (int i = 0; i < 25; ++i) {
    Next(503);
    if (shown.empty() || shown.back() != c.MeasureTimeText()) shown.push_back(c.MeasureTimeText());
  }
  ASSERT_EQ(shown.size(), 3u);
  const int first = std::stoi(shown[0].substr(shown[0].size() - 4, 2));
  for (int k = 0; k < 3; ++k) EXPECT_EQ(shown[size_t(k)], Format("[ Measure Time: 00:00:%02d ]", first + k));
}
