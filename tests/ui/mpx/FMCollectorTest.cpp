#include <gtest/gtest.h>

#include <cmath>

#include "support/FakeClock.h"
#include "ui/mpx/FM_Collector.h"

namespace {
using V = std::vector<double>;
struct FMCollector : ::testing::Test {
  TFakeClock clock;
  TFMCollector c{clock};
  FMCollector() {
    c.HistoryMs = 61000;
    c.DeviationOn = true;
    c.Threshold1 = 75.0;
    c.Threshold2 = 80.0;
  }
  // One sample stamped now, then the clock moves on by stepMs.
  void Add(double value, int stepMs = 100, int mode = 0) {
    c.AddSample(mode, clock.Now(), value);
    clock.Advance(stepMs);
  }
  V Column(double TFMDev::*field) const {
    V v;
    for (const auto& d : c.Devs()) v.push_back(d.*field);
    return v;
  }
};
}  // namespace

TEST_F(FMCollector, TableSharesWithoutDividingByZero) {
  EXPECT_EQ(c.MinValue(), 65535);
  c.DeviationOn = false;  // nothing counted: 0.0 at 100 %, the rest at 0
  Add(42);
  EXPECT_EQ(Column(&TFMDev::Percent), V({100, 0, 0}));
  c.Clear();
  c.DeviationOn = true;
  Add(50.004);
  EXPECT_EQ(Column(&TFMDev::Value), V({0, 50, 75, 80}));
  EXPECT_EQ(Column(&TFMDev::Percent), V({100, 100, 0, 0}));
  Add(std::nan(""));  // ignored
  Add(90);
  EXPECT_EQ(Column(&TFMDev::Percent), V({100, 100, 50, 50, 50}));
  EXPECT_EQ(c.MinValue(), 50.004);
  EXPECT_EQ(c.MaxValue(), 90);
}

// With two samples stored, a third closer than 20 ms (by the clock at the
// call) to the newest one is merged into it; the average counts it anyway.
TEST_F(FMCollector, CloseSamplesMerge) {
  struct { int mode, gapMs; size_t parts; double last; } cases[] = {{0, 19, 2, 70}, {1, 19, 2, 65}, {0, 20, 3, 60}};
  for (const auto& k : cases) {
    c.Clear();
    Add(10);
    Add(70, k.gapMs);
    Add(60, 0, k.mode);
    ASSERT_EQ(c.Parts().size(), k.parts) << k.mode << "/" << k.gapMs;
    EXPECT_TRUE(c.Parts().back().Value == k.last && c.GetAverage() == (10 + 70 + 60) / 3.0);
  }
}

TEST_F(FMCollector, HistoryTrimmedInBlocksAndWindowed) {
  c.HistoryMs = 61050;  // 611 samples at 100 ms steps
  EXPECT_FALSE(c.PrepareWindow(60000));
  for (int i = 0; i < 5; ++i) Add(i);
  ASSERT_TRUE(c.PrepareWindow(60000));  // short history: a full-width window from its first sample
  EXPECT_EQ(c.Window().Count, 5);
  EXPECT_EQ(dt::MillisecondsBetween(c.Window().StartTime, c.Window().EndTime), 60000);
  for (int i = 5; i < 900; ++i) Add(i);
  EXPECT_EQ(c.Parts().front().Value, 204);  // cut twice, 102 samples at a time
  ASSERT_TRUE(c.PrepareWindow(59950));
  EXPECT_TRUE(c.Window().Count == 601 && c.Window().Values.front() == 299);  // the last sample before the start too
  EXPECT_EQ(c.Window().EndTime, c.Parts().back().Time);
}

TEST(FMCollectorArrays, FindPartByTimeAndDelete) {
  const PartsArray parts = {{0, 10}, {1, 20}, {2, 20}, {3, 30}, {4, 40}};
  for (auto [t, want] : {std::pair{5.0, -1}, {10.0, 0}, {15.0, 0}, {20.0, 0}, {25.0, 2}, {39.0, 3}, {40.0, -1}})
    EXPECT_EQ(FMFindPartByTime(parts, t), want) << t;
  EXPECT_EQ(FMFindPartByTime({}, 0), -1);
  for (auto [start, count, left] : {std::tuple{0, 2, 3}, {4, 5, 4}, {5, 1, 5}, {-1, 1, 5}, {1, 0, 5}}) {
    PartsArray p = parts;
    FMDeleteParts(p, start, count);
    EXPECT_EQ(p.size(), size_t(left)) << start << "," << count;
  }
}

TEST_F(FMCollector, DeviationPointsAndColours) {
  for (double v : {10.0, 75.3, 75.9, 77.5, 90.0}) Add(v);
  for (const auto& [tol, want] : {std::pair{std::pair{1.0, 1.0}, V{0, 75, 77.5, 80}},
                                  {{-1.0, -1.0}, V{0, 10, 75, 75.3, 75.9, 77.5, 80, 90}},
                                  {{1.0, -1.0}, V{0, 10, 75, 77.5, 80, 90}}}) {
    V got;
    for (const auto& p : c.GetDeviationPoints(tol.first, tol.second)) got.push_back(p.Value);
    EXPECT_EQ(got, want) << tol.first << "/" << tol.second;
  }
  for (auto [v, want] : {std::pair{0.0, 32768u}, {75.0, 32768u}, {75.01, 65535u}, {80.0, 65535u}, {80.01, 255u}})
    EXPECT_EQ(c.DeviationColor(v), want) << v;
  c.Threshold2 = 75.0;  // no yellow band
  EXPECT_EQ(c.DeviationColor(75.01), 255u);
}
