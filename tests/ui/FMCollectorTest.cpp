#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/FakeClock.h"
#include "ui/FM_Collector.h"

namespace {
struct FMCollector : ::testing::Test {
  TFakeClock clock;
  TFMCollector c{clock};
  FMCollector() {
    c.HistoryMs = 61000;
    c.DeviationOn = true;
    c.Threshold1 = 75.0;
    c.Threshold2 = 80.0;
  }
  // One sample now, then the clock moves on by stepMs.
  void Add(double value, int stepMs = 100, int mode = 0) {
    c.AddSample(mode, clock.Now(), value);
    clock.Advance(stepMs);
  }
  std::vector<double> Column(double TFMDev::*field) const {
    std::vector<double> v;
    for (const auto& d : c.Devs()) v.push_back(d.*field);
    return v;
  }
};
using V = std::vector<double>;
}  // namespace

TEST_F(FMCollector, FirstSampleSeedsTheTable) {
  EXPECT_EQ(c.MinValue(), 65535);
  EXPECT_EQ(c.MaxValue(), 65535);
  Add(50.004);
  EXPECT_EQ(Column(&TFMDev::Value), V({0, 50, 75, 80}));
  EXPECT_EQ(Column(&TFMDev::Percent), V({100, 100, 0, 0}));
  EXPECT_EQ(c.MinValue(), 50.004);
  Add(std::nan(""));  // ignored
  Add(90);
  EXPECT_EQ(Column(&TFMDev::Percent), V({100, 100, 50, 50, 50}));
  EXPECT_EQ(c.MaxValue(), 90);
  EXPECT_EQ(c.GetAverage(), (50.004 + 90) / 2);
}

TEST_F(FMCollector, NothingCountedShowsZeroBeyondTheZeroEntry) {
  c.DeviationOn = false;
  Add(42);
  EXPECT_EQ(Column(&TFMDev::Value), V({0, 75, 80}));
  EXPECT_EQ(Column(&TFMDev::Percent), V({100, 0, 0}));
}

// With two samples stored, a third sample closer than 20 ms (by the clock at
// the call) to the newest one is merged into it.
TEST_F(FMCollector, CloseSamplesMerge) {
  struct Case {
    int mode, gapMs;
    size_t parts;
    double last;
  } cases[] = {{0, 19, 2, 70}, {0, 5, 2, 70}, {1, 19, 2, 65}, {0, 20, 3, 60}};
  for (const auto& k : cases) {
    c.Clear();
    Add(10);
    Add(70, k.gapMs);
    Add(60, 0, k.mode);
    ASSERT_EQ(c.Parts().size(), k.parts) << k.mode << "/" << k.gapMs;
    EXPECT_EQ(c.Parts().back().Value, k.last);
    EXPECT_EQ(c.GetAverage(), (10 + 70 + 60) / 3.0);  // the merged sample still counts
  }
}

TEST_F(FMCollector, HistoryIsTrimmedInBlocks) {
  c.HistoryMs = 1050;  // 11 samples at 100 ms steps
  for (int i = 0; i < 112; ++i) Add(i);
  EXPECT_EQ(c.Parts().size(), 112u);
  Add(112);
  EXPECT_EQ(c.Parts().size(), 11u);
  EXPECT_EQ(c.Parts().front().Value, 102);
}

TEST_F(FMCollector, WindowCoversTheLastWindowMs) {
  EXPECT_FALSE(c.PrepareWindow(60000));
  for (int i = 0; i < 5; ++i) Add(i);
  ASSERT_TRUE(c.PrepareWindow(60000));  // short history: a full-width window from its first sample
  EXPECT_EQ(c.Window().Count, 5);
  EXPECT_EQ(dt::MillisecondsBetween(c.Window().StartTime, c.Window().EndTime), 60000);
  for (int i = 5; i < 900; ++i) Add(i);
  ASSERT_TRUE(c.PrepareWindow(59950));
  EXPECT_EQ(c.Window().Count, 601);  // the last sample before the window's start included
  EXPECT_EQ(c.Window().Values.front(), 299);
  EXPECT_EQ(c.Window().EndTime, c.Parts().back().Time);
}

TEST(FMCollectorArrays, FindPartByTimeAndDelete) {
  const PartsArray parts = {{0, 10}, {1, 20}, {2, 20}, {3, 30}, {4, 40}};
  const std::pair<double, int> finds[] = {{5, -1}, {10, 0}, {15, 0}, {20, 0}, {25, 2}, {39, 3}, {40, -1}};
  for (auto [t, want] : finds) EXPECT_EQ(FMFindPartByTime(parts, t), want) << t;
  EXPECT_EQ(FMFindPartByTime({}, 0), -1);
  const int deletes[][3] = {{0, 2, 3}, {4, 5, 4}, {5, 1, 5}, {-1, 1, 5}, {1, 0, 5}, {1, -2, 5}};
  for (const auto& d : deletes) {
    PartsArray p = parts;
    FMDeleteParts(p, d[0], d[1]);
    EXPECT_EQ(p.size(), static_cast<size_t>(d[2])) << d[0] << "," << d[1];
  }
}

TEST_F(FMCollector, DeviationPointsAndColours) {
  for (double v : {10.0, 75.3, 75.9, 77.5, 90.0}) Add(v);
  const std::pair<std::pair<double, double>, V> thinned[] = {
      {{1, 1}, {0, 75, 77.5, 80}}, {{-1, -1}, {0, 10, 75, 75.3, 75.9, 77.5, 80, 90}}, {{1, -1}, {0, 10, 75, 77.5, 80, 90}}};
  for (const auto& [tol, want] : thinned) {
    V got;
    for (const auto& p : c.GetDeviationPoints(tol.first, tol.second)) got.push_back(p.Value);
    EXPECT_EQ(got, want) << tol.first << "/" << tol.second;
  }
  const std::pair<double, uint32_t> colours[] = {{0, 32768}, {75.0, 32768}, {75.01, 65535}, {80.0, 65535}, {80.01, 255}};
  for (auto [v, want] : colours) EXPECT_EQ(c.DeviationColor(v), want) << v;
  c.Threshold2 = 75.0;
  EXPECT_EQ(c.DeviationColor(75.01), 255u);
  EXPECT_EQ(c.DeviationChartPoints().size(), c.Devs().size());
}
