// The spectrum's overlay clock shows seconds: the chart follows each new
// second of the clock, also when nothing else changes, and only then.
#include <QElapsedTimer>
#include <QTest>
#include <cstdio>

#include <gtest/gtest.h>

#include "logstore/SettingsRecord.h"
#include "platform/DateTime.h"
#include "receiver/shared.h"
#include "support/FakeBandScanReceiver.h"
#include "support/FakeClock.h"
#include "support/QtApp.h"
#include "ui/band/BandAnalyzer.h"
#include "ui/band/SpectrumChart.h"

namespace {

std::string Shown(TDateTime t) {
  const dt::TDateParts p = dt::Decode(t);
  char text[64];
  std::snprintf(text, sizeof text, "%02d %s %04d - %02d:%02d:%02d", p.Day, MonthNames[p.Month - 1], p.Year, p.Hour,
                p.Minute, p.Second);
  return text;
}

// Serves events until `done` or `ms` pass; whether it came.
bool WaitFor(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QTest::qWait(5);
  return done();
}

}  // namespace

TEST(BandAnalyzerClock, FrameFollowsEachNewSecond) {
  EnsureQApplication();
  TFakeBandScanReceiver rx;
  TFakeClock clock;
  TSettingsRecord settings;
  TBandAnalyzerForm form(rx, clock, settings, [](const TSettingsRecord&) {});
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  ASSERT_TRUE(WaitFor([&] { return form.ShownClock() == Shown(clock.Now()); }, 2000));
  TChart& chart = *form.Spectrum().Chart;
  auto drawn = chart.OnAfterDraw;
  int frames = 0;
  chart.OnAfterDraw = [&](TCustomAxisPanel& c) { ++frames, drawn(c); };
  // The same second: no frame.
  QTest::qWait(1200);
  EXPECT_EQ(frames, 0);
  for (int second = 1; second <= 2; ++second) {
    clock.Advance(1000);
    EXPECT_TRUE(WaitFor([&] { return form.ShownClock() == Shown(clock.Now()); }, 1500)) << second;
    EXPECT_EQ(frames, second);
  }
}
