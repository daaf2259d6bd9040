// The band analyzer's controller on a fake receiver in fake time: the worked
// scan, the end rule, the range, the visits and their timing, the marker.
#include <gtest/gtest.h>

#include <QTableWidget>
#include <algorithm>

#include "logstore/SettingsRecord.h"
#include "receiver/shared.h"
#include "support/FakeBandScanReceiver.h"
#include "support/FakeClock.h"
#include "support/QtApp.h"
#include "ui/band/BandInfo.h"

namespace {

const std::string kDbuV = " dB\xC2\xB5V";
const std::vector<uint8_t> kStatus(20, 0x02);

class BandScan : public ::testing::Test {
 protected:
  TFakeBandScanReceiver rx;
  TFakeClock clock;
  TSettingsRecord settings{};
  TBandScanController ctl{rx, clock, settings};

  void Feed(const std::vector<uint8_t>& p) { ctl.ComData(p.data(), static_cast<int>(p.size()) - 1); }
  void Start(const char* from, const char* to) {
    ctl.SetRange(from, to);
    ctl.ScanClick();
    ctl.TunerState(tnsPostTune);
  }
  // 214 points, background 2, stations on points 15, 73, 143, 213, each
  // point further away 3 lower; then the end word.
  void ScanExample() {
    settings.SensitivityDX = 1;
    ctl.SetStep(TScanStep::Fast);
    Start("", "");  // empty edits: the whole band
    const int at[] = {15, 73, 143, 213}, peak[] = {12, 10, 13, 11};
    for (int k = 0; k < 214; ++k) {
      int level = 2;
      for (int s = 0; s < 4; ++s) level = std::max(level, peak[s] - 3 * std::abs(k - at[s]));
      Feed(ScanPointPacket(static_cast<uint16_t>(10647 + 12 * k), level));
    }
    Feed(ScanPointPacket(13211, 2));
    ctl.SetReference(7);
  }
  void Visit() {
    ctl.TunerState(tnsWait);
    rx.IsTuned = true;
    ctl.TunerState(tnsPostTune);
    clock.Advance(5001);
    Feed(kStatus);
  }
};

TEST_F(BandScan, WorkedExample) {
  ScanExample();
  EXPECT_EQ(rx.Tunes, (std::vector<double>{87.0, 96.5}));  // the start, then back
  EXPECT_EQ(rx.Sent, (std::vector<uint8_t>{0x0D, 0x0A}));
  EXPECT_EQ(ctl.PointX().size(), 214u);  // the end word is not plotted
  ASSERT_EQ(ctl.Smooth().size(), 601u);
  EXPECT_NEAR(ctl.Smooth().back().X, 107.933976, 1e-6);
  EXPECT_NEAR(ctl.Smooth().back().Y, 11.0, 1e-6);
  EXPECT_EQ(ctl.CursorX(), 97.5);
  EXPECT_EQ(ctl.Description(), "Scan Range: 87.0 - 107.9 MHz, Scan Step: Fast, Sensitivity: DX");
  const std::vector<int> peaks = FindPeaks(ctl.Smooth(), 7);
  ASSERT_EQ(peaks, (std::vector<int>{42, 206, 403}));
  std::vector<std::string> freqs;
  for (int p : peaks) freqs.push_back(FormatFreq(ctl.Smooth()[p].X));
  EXPECT_EQ(freqs, (std::vector<std::string>{"88.5", "94.2", "101.1"}));
}

TEST_F(BandScan, ScanPointWordLevelAndEndRule) {
  struct {
    bool side;
    const char* end;
    uint16_t word;
    double mhz;  // 0: ends the scan, not plotted
  } rows[] = {{true, "108.0", 0x2E1F, 96.497944}, {false, "108.0", 0x2E1F, 96.947944},
              {true, "108.0", 13211, 0}, {false, "108.0", 13156, 0}, {true, "96.4", 11807, 0}};
  for (const auto& r : rows) {
    rx.Side = r.side;
    Start("87.0", r.end);
    Feed(ScanPointPacket(r.word, 10));
    EXPECT_EQ(ctl.Scanning(), r.mhz != 0) << r.word;
    EXPECT_EQ(ctl.PointX(), r.mhz ? std::vector<double>{r.mhz} : std::vector<double>{}) << r.word;
    EXPECT_EQ(ctl.PointY(), r.mhz ? std::vector<double>{10} : std::vector<double>{});
    ctl.StopScan();
  }
}

TEST_F(BandScan, RangeStopWhilePendingRemoteActiveAndStopBeforeAnyPoint) {
  ctl.SetRange("120", "88.5");  // clamped to 108.0, then swapped
  ctl.ScanClick();
  ctl.ScanClick();  // still pending: nothing changes
  EXPECT_TRUE(ctl.ScanPending());
  EXPECT_EQ(ctl.RangeStart() + ".." + ctl.RangeEnd(), "88.5..108.0");
  EXPECT_EQ(rx.Tunes, std::vector<double>{88.5});
  bool remote = true;  // every handler returns at once while the remote server runs
  ctl.RemoteActive = [&] { return remote; };
  ctl.TunerState(tnsPostTune);
  remote = false;
  ctl.TunerState(tnsPostTune);
  ctl.TunerState(tnsPostTune);
  EXPECT_EQ(rx.Sent, (std::vector<uint8_t>{0x0C, 0x0A}));  // once
  remote = true;
  Feed(ScanPointPacket(11807, 10));
  ctl.SetCursorX(90.0);
  ctl.ScanClick();  // no point came
  EXPECT_TRUE(ctl.Smooth().empty());
  EXPECT_EQ(ctl.CursorX(), 90.0);
  EXPECT_EQ(ctl.Description(), "Scan Step: Normal, Sensitivity: Local (ATT 6dB)");
  ctl.AnalyzeClick();  // no peak: ends at once
  EXPECT_FALSE(ctl.Analyzing());
}

TEST_F(BandScan, VisitsCollectRdsWithinTheDwellAndCloseAfterIt) {
  ScanExample();
  ctl.SetCursorX(95.0);
  rx.Target = 88.5;  // the first peak is where the tuner is
  ctl.AnalyzeClick();
  ctl.TunerState(tnsWait);
  EXPECT_EQ(rx.Tunes.back(), 88.5);  // requested all the same
  EXPECT_EQ(rx.Resets, 1);
  rx.IsTuned = true;
  ctl.TunerState(tnsPostTune);
  ctl.TunerState(tnsPostTune);  // one record only
  ctl.RemoveStation(42);        // refused while analyzing
  clock.Advance(4999);
  auto Change = [&](uint8_t kind, int text, const char* s) -> TDataChange& {
    TDataChange& c = rx.Queue.Append(kind, 0);
    c.Texts[text] = s;
    return c;
  };
  Change(dcPI, 0, "6204");
  Change(dcPSConfirmed, 1, "FENWISK ");
  TDataChange& af = Change(dcAFCount, 0, "B");
  af.Value = 2, af.AFLines = {"TN:88.5", "96.5 (same)"};
  ctl.RDSDataChange();
  rx.Queue.Clear();
  clock.Advance(1);
  Change(dcPI, 0, "1111");
  ctl.RDSDataChange();  // 5000 ms: too late for this station
  Feed(kStatus);
  EXPECT_EQ(ctl.PeakIndex(), 0);  // not closed before 5001 ms
  clock.Advance(1);
  rx.IsStereo = false;
  Feed(kStatus);
  EXPECT_EQ(ctl.PeakIndex(), 1);
  const TColumnRecord r = ctl.Stations().at(0);
  EXPECT_EQ(std::vector<std::string>({r.PI, r.PS, r.AFList, r.Mode, r.Freq}),
            std::vector<std::string>({"6204", "FENWISK ", "2B TN:88.5,\"96.5 (same)\"", "Mono", "88.5 MHz"}));
  EXPECT_EQ(ctl.Marks()[42].Label, "PI:6204\r88.5 MHz\rFENWISK ");

  rx.Queue.Clear();
  Visit();
  Visit();
  EXPECT_FALSE(ctl.Analyzing());
  ASSERT_EQ(ctl.Stations().size(), 3u);
  std::vector<std::string> levels;
  for (const TColumnRecord& s : ctl.Stations()) levels.push_back(s.Level);
  EXPECT_EQ(levels, (std::vector<std::string>{"41.6" + kDbuV, "34.0" + kDbuV, "45.4" + kDbuV}));
  EXPECT_EQ(rx.Tunes.back(), 96.5);
  EXPECT_EQ(ctl.CursorX(), 95.0);
  EXPECT_EQ(ctl.DescriptionStamped(), ctl.Description() + ", 01 Jan 2026 - 12:00:00");
}

// On a busy machine the visited station's first groups are decoded before
// the tuner reports the tune done; its PI is reported once and must not be
// lost, while groups still coming from the last frequency are not its own.
TEST_F(BandScan, GroupsDecodedBeforeTheTuneIsReportedBelongToTheVisit) {
  ScanExample();
  ctl.AnalyzeClick();
  ctl.TunerState(tnsWait);
  ASSERT_EQ(rx.Tunes.back(), 88.5);
  auto Change = [&](uint8_t kind, int text, const char* s) {
    rx.Queue.Clear();
    rx.Queue.Append(kind, 0).Texts[text] = s;
    ctl.RDSDataChange();
  };
  rx.Current = 96.5;  // still the last frequency's groups
  Change(dcPI, 0, "1111");
  Change(dcPSConfirmed, 1, "STALE   ");
  rx.Current = 88.5;
  Change(dcPI, 0, "6204");
  rx.IsTuned = true;
  ctl.TunerState(tnsPostTune);
  EXPECT_EQ(ctl.Marks()[42].Label, "PI:6204\r88.5 MHz\r");
  Change(dcPSConfirmed, 1, "FENWISK ");
  clock.Advance(5001);
  Feed(kStatus);
  const TColumnRecord& r = ctl.Stations().at(0);
  EXPECT_EQ(r.PI + "/" + r.PS, "6204/FENWISK ");
  EXPECT_EQ(ctl.Marks()[42].Label, "PI:6204\r88.5 MHz\rFENWISK ");

  // The next visit starts clean; its groups decoded after the tune is
  // reported but before the tuner marks itself tuned are its own too.
  ctl.TunerState(tnsWait);
  rx.Current = rx.Tunes.back();
  ctl.TunerState(tnsPostTune);
  EXPECT_EQ(ctl.Stations().at(1).PI, "");
  Change(dcPI, 0, "C202");
  EXPECT_EQ(ctl.Stations().at(1).PI, "C202");
  rx.Current = 88.5;  // not if they come from elsewhere
  Change(dcPSConfirmed, 1, "ELSEWHRE");
  EXPECT_EQ(ctl.Stations().at(1).PS, "");
}

TEST_F(BandScan, MarkerKeepsItsRecordCurrentAndGoesWhenRetuned) {
  ScanExample();
  ctl.MarkAt(94.0);
  ASSERT_EQ(ctl.Marker(), 206);
  EXPECT_EQ(rx.Tunes.back(), 94.2);
  EXPECT_EQ(ctl.Marks()[206].Label, "94.2 MHz\r");
  Feed(kStatus);
  EXPECT_FALSE(ctl.MarkerPending());
  EXPECT_EQ(ctl.Stations().at(0).PI + ctl.Stations()[0].Mode, "6204Stereo");
  EXPECT_EQ(ctl.Marks()[206].Label, "PI:6204\r94.2 MHz\rFENWISK ");
  ctl.RemoveStation(206);
  EXPECT_EQ(ctl.Marker(), -1);
  EXPECT_TRUE(ctl.Stations().empty());
  ctl.MarkAt(88.0);
  rx.Target = 90.0;  // tuned elsewhere
  Feed(kStatus);
  EXPECT_EQ(ctl.Marker(), -1);
}

// Band Info over the controller. During an analysis the controller keeps
// its records and the list: Remove Selected on a station row leaves it, and
// the operator's row stays once. Once the analysis is over the station goes,
// and the operator's row stays.
TEST_F(BandScan, RemoveSelectedDuringAnAnalysisLeavesTheStationAndTheOperatorsRowsOnce) {
  EnsureQApplication();
  TBandScanInfoHost host(ctl, rx);
  TBandInfoForm info(host);
  ctl.Observer = &info;
  auto ids = [&] {
    std::vector<std::string> out;
    for (int r = 0; r < info.infoList->rowCount(); ++r) {
      const QTableWidgetItem* item = info.infoList->item(r, TBandInfoForm::colID);
      out.push_back(item ? item->text().toStdString() : "<none>");
    }
    return out;
  };
  ScanExample();
  ctl.AnalyzeClick();
  Visit();  // the first station's record, point 42, is closed and listed
  ASSERT_TRUE(ctl.Analyzing());
  ctl.SetCursorX(95.0);
  info.btnAddClick();
  ASSERT_EQ(ids(), (std::vector<std::string>{"??", "42"}));
  info.SelectRow(1);
  info.btnDelSelClick();
  EXPECT_EQ(ids(), (std::vector<std::string>{"??", "42"}));
  EXPECT_EQ(ctl.Stations().size(), 1u);

  Visit();
  Visit();
  ASSERT_FALSE(ctl.Analyzing());
  ASSERT_EQ(ids(), (std::vector<std::string>{"42", "206", "403"}));
  ctl.SetCursorX(95.0);
  info.btnAddClick();
  info.SelectRow(1);  // 42
  info.btnDelSelClick();
  EXPECT_EQ(ids(), (std::vector<std::string>{"??", "206", "403"}));
  EXPECT_EQ(ctl.Stations().size(), 2u);
  ctl.Observer = nullptr;
}

TEST(BandScanRules, PeaksDoubleClickAndUnits) {
  auto Pts = [](std::vector<double> ys) {
    std::vector<TSplinePoint> p;
    for (size_t i = 0; i < ys.size(); ++i) p.push_back({90.0 + 0.1 * static_cast<double>(i), ys[i]});
    return p;
  };
  const auto wave = Pts({1, 5, 9, 9, 4, 2, 6, 8, 7, 3, 1});
  EXPECT_EQ(FindPeaks(wave, 5), (std::vector<int>{2, 7}));  // the earlier of equal maxima
  EXPECT_TRUE(FindPeaks(Pts({1, 6, 8}), 5).empty());       // run open at the last point
  EXPECT_TRUE(FindPeaks(Pts({0, 0, 0}), 0).empty());       // never above 0
  EXPECT_EQ(FindPeaks(Pts({1, 5, 2}), 5), (std::vector<int>{1}));  // a peak just at the reference
  // Inside a run, below before one, right of the last point, nothing further
  // reaching the reference, no boundary behind (from point 0), nothing above 0.
  EXPECT_EQ(MarkerPointAt(wave, 90.15, 5), 2);
  EXPECT_EQ(MarkerPointAt(wave, 90.45, 5), 7);
  EXPECT_EQ(MarkerPointAt(wave, 91.05, 5), -1);
  EXPECT_EQ(MarkerPointAt(wave, 90.85, 5), -1);
  EXPECT_EQ(MarkerPointAt(Pts({8, 9, 7, 6, 2}), 90.2, 5), 1);
  EXPECT_EQ(MarkerPointAt(Pts({0, 0, 0}), 90.0, 0), -1);

  EXPECT_EQ(TextWithoutUnit("88.5 MHz", 4), 88.5);
  EXPECT_EQ(TextWithoutUnit("41.6" + kDbuV, 5), 41.6);
  EXPECT_EQ(TextWithoutUnit("??", 4), -1.0);
}

}  // namespace
