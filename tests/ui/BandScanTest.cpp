// The band analyzer's measuring logic on a fake receiver in fake time: the
// worked scan of 214 points, the end rule, the range, the visits and their
// timing, the marker and the double-click rule.
#include <gtest/gtest.h>

#include <algorithm>

#include "logstore/SettingsRecord.h"
#include "receiver/DeviceProtocol.h"
#include "receiver/shared.h"
#include "support/FakeBandScanReceiver.h"
#include "support/FakeClock.h"
#include "ui/BandScan.h"

namespace {

const std::string kDbuV = " dB\xC2\xB5V";

using TFakeRx = TFakeBandScanReceiver;

// Device bytes of a packet followed by the 8-byte stamp.
TArray Packet(std::vector<uint8_t> bytes) {
  bytes.resize(bytes.size() + kStampSize, 0);
  return bytes;
}
TArray Status() { return Packet({proto::ptStatus, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}); }

// The worked example: background 2, stations on points 15, 73, 143, 213.
int ExampleLevel(int k) {
  const int at[] = {15, 73, 143, 213}, peak[] = {12, 10, 13, 11};
  int level = 2;
  for (int s = 0; s < 4; ++s) level = std::max(level, peak[s] - 3 * std::abs(k - at[s]));
  return level;
}

class BandScan : public ::testing::Test {
 protected:
  TFakeRx rx;
  TFakeClock clock;
  TSettingsRecord settings{};
  TBandScanController ctl{rx, clock, settings};

  void Feed(const TArray& p) { ctl.ComData(p.data(), static_cast<int>(p.size()) - 1); }
  // Start, the tune completes, then the device's points and its end word.
  void ScanExample() {
    settings.SensitivityDX = 1;
    ctl.SetStep(TScanStep::Fast);
    ctl.ScanClick();
    ctl.TunerState(tnsPostTune);
    for (int k = 0; k < 214; ++k) Feed(ScanPointPacket(static_cast<uint16_t>(10647 + 12 * k), ExampleLevel(k)));
    Feed(ScanPointPacket(13211, 2));
  }
  // One visit: state 0, the tune completes, the dwell, a status packet.
  void Visit(int64_t dwellMs = 5001) {
    ctl.TunerState(tnsWait);
    rx.IsTuned = true;
    ctl.TunerState(tnsPostTune);
    clock.Advance(dwellMs);
    Feed(Status());
  }
  void QueueChange(uint8_t kind, uint16_t value, int text, const std::string& s,
                   std::vector<std::string> lines = {}) {
    TDataChange& c = rx.Queue.Append(kind, 0);
    c.Value = value;
    c.Texts[text] = s;
    c.AFLines = std::move(lines);
  }
};

TEST_F(BandScan, WorkedExampleScansSmoothsAndFindsThreePeaks) {
  ScanExample();
  EXPECT_EQ(rx.Tunes.front(), 87.0);
  EXPECT_EQ(rx.Sent, (std::vector<uint8_t>{0x0D, 0x0A}));
  ASSERT_FALSE(ctl.Scanning());
  ASSERT_EQ(ctl.PointX().size(), 214u);  // the end word is not plotted
  EXPECT_NEAR(ctl.PointX()[0], 86.995224, 1e-9);
  ASSERT_EQ(ctl.Smooth().size(), 601u);
  EXPECT_NEAR(ctl.Smooth().back().X, 107.933976, 1e-6);
  EXPECT_NEAR(ctl.Smooth().back().Y, 11.0, 1e-6);
  EXPECT_EQ(rx.Tunes.back(), PLLWordToFreq(11807, true));  // back where it was
  EXPECT_EQ(ctl.CursorX(), 97.5);  // the last point lies beyond 97.5
  EXPECT_EQ(ctl.Description(), "Scan Range: 87.0 - 107.9 MHz, Scan Step: Fast, Sensitivity: DX");

  EXPECT_EQ(FindPeaks(ctl.Smooth(), 7), (std::vector<int>{42, 206, 403}));
  std::vector<std::string> freqs;
  for (int p : FindPeaks(ctl.Smooth(), 7)) freqs.push_back(FormatFreq(ctl.Smooth()[p].X));
  EXPECT_EQ(freqs, (std::vector<std::string>{"88.5", "94.2", "101.1"}));
}

TEST_F(BandScan, ScanPointWordLevelAndEndRule) {
  struct {
    bool side;
    const char* end;
    uint8_t b2, b3;
    double mhz;  // 0: ends the scan, not plotted
  } rows[] = {
      {true, "108.0", 0x2E, 0x1F, 96.497944},  {false, "108.0", 0x2E, 0x1F, 96.947944},
      {true, "108.0", 0xEE, 0x1F, 96.497944},  // the top bits are not part of the word
      {true, "108.0", 13211 >> 8, 13211 & 0xFF, 0}, {true, "108.0", 13210 >> 8, 13210 & 0xFF, 107.991320},
      {false, "108.0", 13156 >> 8, 13156 & 0xFF, 0}, {true, "96.4", 0x2E, 0x1F, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << r.end << " side " << r.side << " word " << (r.b2 << 8 | r.b3));
    rx.Side = r.side;
    ctl.SetRange("87.0", r.end);
    ctl.ScanClick();
    ctl.TunerState(tnsPostTune);
    Feed(Packet({proto::ptScanPoint, 0, r.b2, r.b3, 0, 0xA0}));
    EXPECT_EQ(ctl.Scanning(), r.mhz != 0);
    if (r.mhz != 0) {
      ASSERT_EQ(ctl.PointX().size(), 1u);
      EXPECT_NEAR(ctl.PointX()[0], r.mhz, 1e-9);
      EXPECT_EQ(ctl.PointY()[0], 10);
      ctl.ScanClick();
    } else {
      EXPECT_TRUE(ctl.PointX().empty());
    }
  }
}

TEST_F(BandScan, RangeIsNormalisedSwappedAndTunedThroughTheWord) {
  struct {
    const char* start;
    const char* end;
    bool side;
    TScanStep step;
    const char* wantStart;
    const char* wantEnd;
    double tune;
    uint8_t stepByte;
  } rows[] = {
      {"", "", true, TScanStep::Fine, "87.0", "108.0", 87.0, 0x0B},
      {"108.0", "87.0", true, TScanStep::Normal, "87.0", "108.0", 87.0, 0x0C},
      {"120", "80", true, TScanStep::Fast, "87.0", "108.0", 87.0, 0x0D},
      {"100.0", "88.5", true, TScanStep::Fast, "88.5", "100.0", 88.5, 0x0D},
      // Side clear: the 88.5 word read with the side set is 88.0.
      {"88.5", "100.0", false, TScanStep::Fine, "88.5", "100.0", 88.0, 0x0B},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << r.start << ".." << r.end << " side " << r.side);
    rx.Side = r.side;
    rx.Sent.clear();
    ctl.SetStep(r.step);
    ctl.SetRange(r.start, r.end);
    ctl.ScanClick();
    EXPECT_EQ(ctl.RangeStart(), r.wantStart);
    EXPECT_EQ(ctl.RangeEnd(), r.wantEnd);
    EXPECT_EQ(rx.Tunes.back(), r.tune);
    if (r.side) {
      EXPECT_EQ(FreqToPLLWord(true, rx.Tunes.back()), FreqTextToPLLWord(r.wantStart, true));
    }
    ctl.TunerState(tnsPostTune);
    EXPECT_EQ(rx.Sent, (std::vector<uint8_t>{r.stepByte, 0x0A}));
    ctl.ScanClick();
  }
}

TEST_F(BandScan, StopWhilePendingChangesNothingAndStopBeforeAnyPointReadsNone) {
  ctl.ScanClick();
  const size_t tunes = rx.Tunes.size();
  ctl.ScanClick();  // still pending
  EXPECT_TRUE(ctl.ScanPending());
  EXPECT_EQ(rx.Tunes.size(), tunes);
  ctl.TunerState(tnsReadyStatus);
  EXPECT_TRUE(rx.Sent.empty());
  ctl.TunerState(tnsPostTune);
  ctl.TunerState(tnsPostTune);
  EXPECT_EQ(rx.Sent, (std::vector<uint8_t>{0x0C, 0x0A}));  // once

  ctl.SetCursorX(90.0);
  ctl.ScanClick();  // no point has come
  EXPECT_FALSE(ctl.Scanning());
  EXPECT_TRUE(ctl.Smooth().empty());
  EXPECT_EQ(ctl.CursorX(), 90.0);
  EXPECT_EQ(ctl.Description(), "Scan Step: Normal, Sensitivity: Local (ATT 6dB)");
  ctl.AnalyzeClick();  // no peak: ends at once and retunes
  EXPECT_FALSE(ctl.Analyzing());
  EXPECT_TRUE(ctl.Stations().empty());
}

TEST_F(BandScan, VisitsCollectRdsWithinTheDwellAndCloseAfterIt) {
  ScanExample();
  ctl.SetReference(7);
  ctl.SetCursorX(95.0);
  rx.Word = 12000;
  ctl.AnalyzeClick();
  ASSERT_TRUE(ctl.Analyzing());
  EXPECT_EQ(rx.Idles, 1);

  ctl.TunerState(tnsWait);
  EXPECT_EQ(rx.Tunes.back(), 88.5);
  EXPECT_EQ(rx.Resets, 1);
  rx.IsTuned = true;
  ctl.TunerState(tnsPostTune);
  ctl.RemoveStation(42);  // refused while analyzing
  ASSERT_EQ(ctl.Stations().size(), 1u);
  EXPECT_EQ(ctl.Marks()[42].Label, "88.5 MHz");

  clock.Advance(4999);
  QueueChange(dcPI, 0x6204, 0, "6204");
  QueueChange(dcPSConfirmed, 0, 1, "FENWISK ");
  QueueChange(dcAFCount, 2, 0, "B", {"TN:88.5", "96.5 (same)"});
  ctl.RDSDataChange();
  rx.Queue.Clear();
  clock.Advance(1);
  QueueChange(dcPI, 0x1111, 0, "1111");
  ctl.RDSDataChange();  // 5000 ms: too late for this station
  Feed(Status());       // not yet closed
  EXPECT_EQ(ctl.PeakIndex(), 0);
  clock.Advance(1);
  rx.IsStereo = false;
  Feed(Status());
  EXPECT_EQ(ctl.PeakIndex(), 1);
  EXPECT_EQ(rx.Idles, 2);

  const TColumnRecord& r = ctl.Stations()[0];
  EXPECT_EQ(r.Point, 42);
  EXPECT_EQ(r.PI, "6204");
  EXPECT_EQ(r.PS, "FENWISK ");
  EXPECT_EQ(r.AFList, "2B TN:88.5,\"96.5 (same)\"");
  EXPECT_EQ(r.Mode, "Mono");
  EXPECT_EQ(r.Freq, "88.5 MHz");
  EXPECT_EQ(ctl.Marks()[42].Label, "PI:6204\r88.5 MHz\rFENWISK ");

  rx.Queue.Clear();
  rx.IsStereo = true;
  Visit();
  Visit();
  EXPECT_FALSE(ctl.Analyzing());
  ASSERT_EQ(ctl.Stations().size(), 3u);
  std::vector<std::string> levels, freqs;
  for (const TColumnRecord& s : ctl.Stations()) levels.push_back(s.Level), freqs.push_back(s.Freq);
  EXPECT_EQ(levels, (std::vector<std::string>{"41.6" + kDbuV, "34.0" + kDbuV, "45.4" + kDbuV}));
  EXPECT_EQ(freqs, (std::vector<std::string>{"88.5 MHz", "94.2 MHz", "101.1 MHz"}));
  EXPECT_EQ(ctl.Stations()[2].Mode, "Stereo");
  EXPECT_EQ(rx.Tunes.back(), PLLWordToFreq(12000, true));
  EXPECT_EQ(ctl.CursorX(), 95.0);
  EXPECT_EQ(ctl.DescriptionStamped(), ctl.Description() + ", 01 Jan 2026 - 12:00:00");
}

TEST_F(BandScan, PeakAtTheHeldFrequencyIsVisitedOnce) {
  ScanExample();
  ctl.SetReference(7);
  rx.Target = rx.Current = 88.5;
  ctl.AnalyzeClick();
  ctl.TunerState(tnsWait);
  EXPECT_EQ(rx.Tunes.back(), 88.5);  // requested all the same
  rx.IsTuned = true;
  ctl.TunerState(tnsPostTune);
  ctl.TunerState(tnsPostTune);
  ctl.TunerState(tnsReadyStatus);
  EXPECT_EQ(ctl.Stations().size(), 1u);
  clock.Advance(5001);
  Feed(Status());
  EXPECT_EQ(ctl.PeakIndex(), 1);
  Visit();
  Visit();
  EXPECT_FALSE(ctl.Analyzing());
  EXPECT_EQ(ctl.Stations().size(), 3u);
}

TEST_F(BandScan, HandlersReturnAtOnceWhileRemoteActive) {
  bool remote = true;
  ctl.RemoteActive = [&] { return remote; };
  ctl.ScanClick();
  ctl.TunerState(tnsPostTune);
  EXPECT_TRUE(rx.Sent.empty());
  remote = false;
  ctl.TunerState(tnsPostTune);
  remote = true;
  Feed(ScanPointPacket(11807, 10));
  Feed(ScanPointPacket(13211, 0));
  EXPECT_TRUE(ctl.Scanning());
  EXPECT_TRUE(ctl.PointX().empty());
}

TEST(BandScanRules, PeaksAndDoubleClickPoints) {
  auto Pts = [](std::vector<double> ys) {
    std::vector<TSplinePoint> p;
    for (size_t i = 0; i < ys.size(); ++i) p.push_back({90.0 + 0.1 * static_cast<double>(i), ys[i]});
    return p;
  };
  const auto wave = Pts({1, 5, 9, 9, 4, 2, 6, 8, 7, 3, 1});
  EXPECT_EQ(FindPeaks(wave, 5), (std::vector<int>{2, 7}));  // the earlier of equal maxima
  EXPECT_TRUE(FindPeaks(Pts({1, 6, 8}), 5).empty());       // run open at the last point
  EXPECT_TRUE(FindPeaks(Pts({0, 0, 0}), 0).empty());       // never above 0

  struct {
    std::vector<double> ys;
    double x, ref;
    int want;
  } rows[] = {
      {{1, 5, 9, 9, 4, 2, 6, 8, 7, 3, 1}, 90.15, 5, 2},  // inside a run
      {{1, 5, 9, 9, 4, 2, 6, 8, 7, 3, 1}, 90.45, 5, 7},  // below: the next run
      {{1, 5, 9, 9, 4, 2, 6, 8, 7, 3, 1}, 91.05, 5, -1},  // right of the last point
      {{1, 5, 9, 9, 4, 2, 6, 8, 7, 3, 1}, 90.85, 5, -1},  // nothing further reaches it
      {{8, 9, 7, 6, 2}, 90.2, 5, 1},                      // no boundary behind: from 0
      {{0, 0, 0}, 90.0, 0, -1},                           // no point above 0
  };
  for (const auto& r : rows) EXPECT_EQ(MarkerPointAt(Pts(r.ys), r.x, r.ref), r.want) << r.x;
}

TEST(BandScanRules, UnitsAreStrippedAsCharacters) {
  EXPECT_EQ(TextWithoutUnit("88.5 MHz", 4), 88.5);
  EXPECT_EQ(TextWithoutUnit("41.6" + kDbuV, 5), 41.6);
  EXPECT_EQ(TextWithoutUnit("", 4), -1.0);
  EXPECT_EQ(TextWithoutUnit("??", 4), -1.0);
  EXPECT_EQ(RangeEditText("", 108.0), "108.0");
  EXPECT_EQ(RangeEditText("86", 108.0), "87.0");
}

TEST_F(BandScan, MarkerKeepsItsRecordCurrentAndGoesWhenRetuned) {
  ScanExample();
  ctl.SetReference(7);
  ctl.MarkAt(94.0);
  const int m = ctl.Marker();
  ASSERT_EQ(m, 206);
  EXPECT_EQ(rx.Tunes.back(), 94.2);
  EXPECT_TRUE(ctl.MarkerPending());
  ASSERT_EQ(ctl.Stations().size(), 1u);
  EXPECT_EQ(ctl.Marks()[m].Label, "94.2 MHz\r");
  rx.Current = 94.2;
  Feed(Status());
  EXPECT_FALSE(ctl.MarkerPending());
  EXPECT_EQ(ctl.Stations()[0].PI, "6204");
  EXPECT_EQ(ctl.Stations()[0].Mode, "Stereo");
  EXPECT_EQ(ctl.Marks()[m].Label, "PI:6204\r94.2 MHz\rFENWISK ");

  ctl.RemoveStation(m);
  EXPECT_EQ(ctl.Marker(), -1);
  EXPECT_TRUE(ctl.Stations().empty());

  ctl.MarkAt(88.0);
  rx.Target = 90.0;  // tuned elsewhere
  Feed(Status());
  EXPECT_EQ(ctl.Marker(), -1);
}

}  // namespace
