// The MPX analyzer window over the simulated receiver as the user sees it:
// "BUFFERING" for the first two seconds, then the time graph, the average
// beside its line and the exceedance chart; its page printed to a PDF.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <fstream>

#include "tests/ui/MainWindowSupport.h"
#include "support/FakeClock.h"
#include "support/FakeMPXReceiver.h"
#include "ui/mpx/MPXGraph.h"
#include "ui/mpx/MPXPrint.h"
#include "ui/Pictures.h"
#include "tests/ui/PrintedPage.h"

namespace {

// The program tuned to a station that sends MPX readings, its MPX window
// opened from the main window.
TMPXGraphForm* OpenOnMpxStation(TMainWindowHarness& h) {
  const std::string scenario = h.Folder() + "mpx_scenario.txt";
  std::ofstream(scenario) << "station 87.0 level=12 stereo=1 mpx=503\n";
  h.Start(scenario);
  if (!h.WaitTuned()) return nullptr;
  h.form->btnMPXGraphClick();
  return h.form->MPXGraph;
}

}  // namespace

TEST(MPXGraphWindow, BuffersThenShowsTheLiveMeasurement) {
  TMainWindowHarness h;
  TMPXGraphForm* opened = OpenOnMpxStation(h);
  ASSERT_TRUE(opened);
  TMPXGraphForm& w = *opened;
  ASSERT_TRUE(w.isVisible());

  w.btnClear->click();
  PumpFor(300);
  w.grab();
  EXPECT_EQ(w.TimeOverlayText(), "BUFFERING");
  EXPECT_FALSE(w.btnPrint->isEnabled());
  EXPECT_EQ(w.TimePointCount(), 0);

  ASSERT_TRUE(PumpUntil([&] { return w.TimePointCount() >= 10; }, 10000));
  w.grab();
  EXPECT_NEAR(w.AverageLineValue(), 74.95, 0.005);
  EXPECT_EQ(w.TimeOverlayText(), w.Controller().AverageText());
  EXPECT_TRUE(w.btnPrint->isEnabled());
  EXPECT_TRUE(w.infoLabel->text().startsWith("Frequency: 87.0 MHz, Sensitivity: ")) << w.infoLabel->text().toStdString();
  EXPECT_TRUE(w.lbMeasureTime->text().startsWith("[ Measure Time: 00:00:0"));
  w.pages->setCurrentIndex(1);
  w.grab();
  // The logo (on both charts) keeps its last letter: its picture ends in a
  // blank column.
  const QImage logo = MakeLogoPicture();
  EXPECT_EQ(PickedBounds(logo.copy(logo.width() - 2, 0, 2, logo.height()), [](QRgb p) { return qAlpha(p) > 0; }), QRect());
  EXPECT_GT(w.DeviationPointCount(), 0);
  EXPECT_NE(w.DeviationOverlayText().find(" KHz - "), std::string::npos);

  // Print: the chart of the page shown, with its title.
  QString title;
  QImage chart;
  w.RunPrintPreview = [&](const QImage& colour, const QImage&, const QString& t, const QString&) {
    title = t, chart = colour;
    EXPECT_TRUE(w.Controller().Printing());
  };
  w.btnPrint->click();
  EXPECT_EQ(title, "MPX Deviation");
  EXPECT_FALSE(chart.isNull());
  EXPECT_FALSE(w.Controller().Printing());

  // The page goes to a PDF where no printer exists: landscape, with the chart.
  TChartPrintForm preview(chart, chart, title, "subtitle");
  QTemporaryDir dir;
  const QString pdf = dir.filePath("mpx.pdf");
  preview.AskPdfFileName = [pdf] { return pdf; };
  ASSERT_TRUE(preview.btnPrintClick());
  ASSERT_EQ(QProcess::execute("pdftoppm", {"-r", "40", "-png", "-singlefile", pdf, dir.filePath("page")}), 0);
  const QImage page(dir.filePath("page.png"));
  EXPECT_GT(page.width(), page.height());
  int green = 0;
  for (int y = 0; y < page.height(); ++y)
    for (int x = 0; x < page.width(); ++x) {
      const QRgb c = page.pixel(x, y);
      green += qGreen(c) > 96 && qRed(c) < 64 && qBlue(c) < 64;
    }
  EXPECT_GT(green, page.width() * page.height() / 20);  // the area under 75 kHz

  // Percent units: the average reads in percent of 75 kHz.
  h.form->rbRBDSClick();
  EXPECT_NE(w.Controller().AverageText().find(" %"), std::string::npos);

  h.Stop();
}

// Readings come every 18-22 ms; the charts follow at most every
// kChartRefreshMs, the first sample of a measurement at once, a held-back one
// when its timer fires unless the charts are frozen by then; a hidden window
// catches up when shown. However many refreshes come between two passes of
// the event loop, the chart paints once.
TEST(MPXGraphWindow, ChartRefreshCap) {
  EnsureQApplication();
  TFakeClock clock;
  TFakeMPXReceiver rx;
  TMPXGraphForm w(rx, clock);
  bool remoteOpen = false;
  w.Controller().RemoteOpen = [&] { return remoteOpen; };
  const int64_t cap = TMPXGraphForm::kChartRefreshMs;
  w.show();
  // After the clock advanced: 's' sample, 'f' the timer fires, 'r'/'R' the remote
  // dialog opens/closes, 'c' "Clear", 'h' a sample with the window hidden, 'w'
  // the window shown; then charts refilled so far, points on the time chart,
  // and whether a refresh is held back.
  struct Step {
    const char* what;
    int64_t afterMs;
    char action;
    int refreshes, points;
    bool held;
  } steps[] = {
      {"buffering", 1000, 's', 0, 0, false},
      {"first sample: at once", 1000, 's', 1, 1, false},
      {"20 ms later: held back", 20, 's', 1, 1, true},
      {"the timer fires", 0, 'f', 2, 2, false},
      {"a cap later: at once", cap, 's', 3, 3, false},
      {"held back again", 20, 's', 3, 3, true},
      {"remote dialog opens", 0, 'r', 3, 3, true},
      {"the timer: charts frozen", 0, 'f', 3, 3, false},
      {"samples still taken", cap, 's', 3, 3, false},
      {"remote dialog closes", 0, 'R', 3, 3, false},
      {"refreshed with every sample", cap, 's', 4, 6, false},
      {"held back before Clear", 20, 's', 4, 6, true},
      {"Clear forgets it", 0, 'c', 4, 0, false},
      {"buffering again", 1000, 's', 4, 0, false},
      {"first sample after it: at once", 1000, 's', 5, 1, false},
      {"hidden: the charts wait", cap, 'h', 5, 1, false},
      {"shown: they catch up at once", 0, 'w', 6, 2, false},
  };
  for (const Step& s : steps) {
    clock.Advance(s.afterMs);
    if (s.action == 'h') w.hide();
    if (s.action == 's' || s.action == 'h') w.Controller().UpdateMeasurement(clock.Now(), 503.3);
    if (s.action == 'w') w.show();
    if (s.action == 'f') w.RefreshHeldBackCharts();
    if (s.action == 'r' || s.action == 'R') remoteOpen = s.action == 'r';
    if (s.action == 'c') w.btnClear->click();
    EXPECT_EQ(w.ChartRefreshCount(), s.refreshes) << s.what;
    EXPECT_EQ(w.TimePointCount(), s.points) << s.what;
    EXPECT_EQ(w.ChartRefreshDueMs() >= 0, s.held) << s.what;
  }

  struct TPaintCounter : QObject {
    int Count = 0;
    bool eventFilter(QObject*, QEvent* e) override { return Count += e->type() == QEvent::Paint, false; }
  } paints;
  for (QWidget* child : w.pages->widget(0)->findChildren<QWidget*>())
    if (child != w.btnResetAverage) child->installEventFilter(&paints);
  w.show();
  PumpFor(50);
  for (int i = 0; i < 5; ++i) clock.Advance(cap), w.Controller().UpdateMeasurement(clock.Now(), 503.3);
  EXPECT_EQ(w.ChartRefreshCount(), 11);
  paints.Count = 0;
  QApplication::processEvents();
  EXPECT_EQ(paints.Count, 1);
}

// The time graph keeps the points the refresh before showed and takes only
// the new ones: after every refresh it must hold just the last minute's
// readings, in order, as a refill from the measurement would, also when the
// readings slide out of the minute, after "Clear", and after a gap longer
// than the minute.
TEST(MPXGraphWindow, TimeGraphHoldsTheLastMinuteAfterEveryRefresh) {
  EnsureQApplication();
  TFakeClock clock;
  TFakeMPXReceiver rx;
  TMPXGraphForm w(rx, clock);
  w.show();
  const std::vector<double>& raw = TMPXController::TableRaw();
  int reading = 0, checked = 0;
  auto run = [&](int64_t ms, const char* what) {
    for (int64_t t = 0; t < ms; t += 20) {
      clock.Advance(20);
      const int before = w.ChartRefreshCount();
      w.Controller().UpdateMeasurement(clock.Now(), raw[size_t(reading++ % int(raw.size()))]);
      if (w.ChartRefreshCount() == before) continue;
      const TFMWindow& win = w.Controller().TimeWindow();
      ASSERT_EQ(w.TimePointCount(), win.Count) << what << " at " << t;
      for (int i = 0; i < win.Count; ++i)
        ASSERT_EQ(w.TimePoint(i), std::make_pair(win.Times[size_t(i)], win.Values[size_t(i)]))
            << what << " at " << t << ", point " << i;
      ++checked;
    }
  };
  run(3000, "filling");
  run(70000, "sliding past the minute");
  w.btnClear->click();
  run(5000, "after Clear");
  clock.Advance(90000);
  run(3000, "after a gap");
  EXPECT_GT(checked, 700);
  EXPECT_GT(w.TimePointCount(), 0);
}

// The printed page: 80 pixels taller than the chart, the chart from y = 40,
// the logo a tenth of the chart's width wide at its top-right corner.
TEST(MPXPrintPage, TitleSubtitleChartAndLogo) {
  EnsureQApplication();
  QImage chart(400, 200, QImage::Format_RGB32);
  chart.fill(Qt::blue);
  QImage logo(50, 25, QImage::Format_RGB32);
  logo.fill(Qt::red);
  const QImage page = MPXPagePicture(chart, "MPX Time Graph", "Frequency", logo);
  ASSERT_EQ(page.size(), QSize(400, 280));
  auto dark = [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y)
      for (int x = 0; x < page.width(); ++x)
        if (qGray(page.pixel(x, y)) < 128) return true;
    return false;
  };
  EXPECT_TRUE(dark(0, 20));   // the title
  EXPECT_TRUE(dark(20, 40));  // the subtitle
  EXPECT_EQ(page.pixel(10, 40), qRgb(0, 0, 255));
  EXPECT_EQ(page.pixel(361, 41), qRgb(255, 0, 0));   // logo 40 x 20 at (360, 40)
  EXPECT_EQ(page.pixel(359, 41), qRgb(0, 0, 255));
  EXPECT_EQ(page.pixel(361, 61), qRgb(0, 0, 255));
}

// The live charts keep their logo (top-right, 10 pixels in) while the print
// preview is open over them and they are drawn again; only the page's
// picture of the chart leaves it out, the page carries its own.
TEST(MPXGraphWindow, LiveChartsKeepTheirLogoWhileThePreviewIsOpen) {
  TMainWindowHarness h;
  TMPXGraphForm* opened = OpenOnMpxStation(h);
  ASSERT_TRUE(opened);
  TMPXGraphForm& w = *opened;
  ASSERT_TRUE(PumpUntil([&] { return w.TimePointCount() >= 10; }, 10000));
  QWidget* timeHost = nullptr;
  for (QWidget* child : w.pages->widget(0)->findChildren<QWidget*>())
    if (child != w.btnResetAverage) timeHost = child;
  ASSERT_NE(timeHost, nullptr);

  const QImage logo = MakeLogoPicture().scaledToHeight(28, Qt::SmoothTransformation);
  // Share of the logo's opaque pixels found in place on the chart.
  const auto logoIn = [&](const QImage& picture) {
    const QImage img = picture.convertToFormat(QImage::Format_ARGB32);
    const int x0 = img.width() - logo.width() - 10;
    int opaque = 0, found = 0;
    for (int y = 0; y < logo.height(); ++y)
      for (int x = 0; x < logo.width(); ++x) {
        if (qAlpha(logo.pixel(x, y)) != 255) continue;
        ++opaque;
        found += (img.pixel(x0 + x, 10 + y) & 0xFFFFFF) == (logo.pixel(x, y) & 0xFFFFFF);
      }
    return opaque ? double(found) / opaque : 0.0;
  };
  const auto logoShown = [&](QWidget* host) { return logoIn(host->grab().toImage()); };
  ASSERT_GT(logoShown(timeHost), 0.9);

  double during = 0;
  QImage printed;
  w.RunPrintPreview = [&](const QImage& colour, const QImage&, const QString&, const QString&) {
    printed = colour;
    // The preview opens over the window, which is drawn anew meanwhile.
    w.resize(w.width() + 24, w.height() + 12);
    PumpFor(200);
    during = logoShown(timeHost);
  };
  w.btnPrint->click();
  EXPECT_GT(during, 0.9);
  ASSERT_FALSE(printed.isNull());
  EXPECT_LT(logoIn(printed), 0.5);
  EXPECT_GT(logoShown(timeHost), 0.9);
  h.Stop();
}
