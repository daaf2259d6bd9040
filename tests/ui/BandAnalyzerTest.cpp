// The band analyzer window end to end: the program over the simulated
// receiver with four stations (three with RDS), opened from the main window,
// scanned, analysed, exported and zoomed as the operator would.
#include <QImage>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QCheckBox>
#include <QTemporaryDir>

#include "support/BandScanScenario.h"
#include "support/FakeClock.h"
#include "ui/BandAnalyzer.h"
#include "ui/SpectrumChart.h"
#include "ui/SpectrumPrint.h"
#include "MainWindowSupport.h"

TEST(BandAnalyzerSim, ScanAnalyzeExportAndZoom_Screenshot) {
  TMainWindowHarness h;
  // Device time runs four times faster than the wall clock (faster, the
  // decoder's first groups may outrun the tuner's report of the tune).
  TFakeClock clock;
  clock.SetAccelerated(4);
  h.devices = std::make_unique<TSimMainDevices>(h.Folder() + "fenwisk_sim", clock);
  AddBandScanStations(h.devices->Receiver);
  h.Start("");
  TMainForm& f = *h.form;
  auto* open = Find<QPushButton>(&f, "btnBandAnalyzer");
  ASSERT_TRUE(PumpUntil([&] { return open->isEnabled(); }));
  open->click();
  ASSERT_NE(f.BandAnalyzer, nullptr);
  TBandAnalyzerForm& a = *f.BandAnalyzer;
  ASSERT_TRUE(a.isVisible());
  TSpectrumChart& s = a.Spectrum();
  EXPECT_FALSE(a.btnAnalyze->isEnabled());

  // The scan: the points are drawn as they come, smoothed at the end.
  a.btnScan->click();
  EXPECT_TRUE(f.BandAnalyzerBusy());
  EXPECT_EQ(a.btnScan->text(), "Stop Scan");
  ASSERT_TRUE(PumpUntil([&] { return !a.Busy(); }));
  EXPECT_EQ(a.btnScan->text(), "Start Scan");
  EXPECT_GT(s.Discrete->Count(), 200);
  EXPECT_EQ(size_t(s.Discrete->Count()), a.Controller().PointX().size());
  EXPECT_EQ(s.Smooth->Count(), 601);
  EXPECT_TRUE(a.btnAnalyze->isEnabled());
  EXPECT_NE(a.OverlayText().find("Scan Range: 87.0 - 10"), std::string::npos) << a.OverlayText();

  // The analysis visits every station and fills Band Info.
  // The reference dragged down to level 7 (26.7 dBuV).
  TChart& chart = *s.Chart;
  const int from = chart.LeftAxis().PixelOfValue(s.ChartToolH->YValue());
  const int to = chart.LeftAxis().PixelOfValue(7);
  chart.MouseDown(mbLeft, {}, 300, from);
  chart.MouseMove({}, 300, to);
  chart.MouseUp(mbLeft, {}, 300, to);
  EXPECT_NE(a.OverlayText().find("Ref Level: 26."), std::string::npos) << a.OverlayText();
  a.btnAnalyze->click();
  EXPECT_EQ(a.btnAnalyze->text(), "Stop Analyze");
  ASSERT_TRUE(PumpUntil([&] { return !a.Busy(); }, 60000));
  TBandInfoForm& info = a.BandInfo();
  std::vector<std::vector<std::string>> rows;
  for (int r = 0; r < info.infoList->rowCount(); ++r) {
    std::vector<std::string> row;
    for (int c : {TBandInfoForm::colFreq, TBandInfoForm::colPI, TBandInfoForm::colPS, TBandInfoForm::colMode})
      row.push_back(info.Cell(r, c).value_or("").toStdString());
    rows.push_back(row);
  }
  EXPECT_EQ(rows, kBandScanStationRows);
  a.btnBandInfo->click();
  EXPECT_TRUE(info.isVisible());
  SaveScreenshot(&a, "band_analyzer");
  SaveScreenshot(&info, "band_analyzer_info");

  // Export: JPEG and bitmap of the chart's size, the curve in them.
  QTemporaryDir dir;
  for (auto [name, kind] : {std::pair{"/s.jpg", TBandAnalyzerForm::ekJpeg}, {"/s.bmp", TBandAnalyzerForm::ekBitmap}}) {
    ASSERT_TRUE(a.ExportChart(dir.path() + name, kind)) << name;
    const QImage img(dir.path() + name);
    ASSERT_EQ(img.size(), QSize(s.Chart->Width(), s.Chart->Height())) << name;
    int curve = 0;  // the smoothed curve's colour (blue) along the plot
    for (int x = 0; x < img.width(); x += 2)
      for (int y = 0; y < img.height(); ++y) curve += qBlue(img.pixel(x, y)) > 200 && qRed(img.pixel(x, y)) < 60;
    EXPECT_GT(curve, 200) << name;
  }

  // A folder that does not exist: nothing written, the search band back.
  EXPECT_FALSE(a.ExportChart(dir.path() + "/none/s.bmp", TBandAnalyzerForm::ekBitmap));
  EXPECT_TRUE(s.SSLevel->Active());

  // The print page: the chart in monochrome on white; the chart is as it
  // was afterwards, the search band back.
  {
    TSpectrumPrintForm preview(*s.Chart, *s.SSLevel, true, &a);
    preview.cbMonochrome->setChecked(true);
    const QImage page = preview.PreviewImage();
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(page.pixel(page.width() / 2, page.height() / 2) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_TRUE(s.SSLevel->Active());
    EXPECT_FALSE(s.Chart->Monochrome());
    if (qEnvironmentVariableIsSet("FW_SCREENSHOT_DIR"))
      page.save(qEnvironmentVariable("FW_SCREENSHOT_DIR") + "/band_analyzer_print.png");
  }

  // Zoom from the centre, the deepest level, and back.
  auto range = [&] { return std::pair{s.Chart->BottomAxis().Minimum(), s.Chart->BottomAxis().Maximum()}; };
  a.btnZoomIn->click();
  EXPECT_NEAR(range().first, 89.1, 1e-9);
  EXPECT_NEAR(range().second, 105.9, 1e-9);
  EXPECT_FALSE(a.ZoomInScrollBar->isHidden());
  a.btnZoomIn->click();
  EXPECT_NEAR(range().first, 90.78, 1e-9);
  EXPECT_NEAR(range().second, 104.22, 1e-9);
  EXPECT_EQ(a.ZoomInScrollBar->value(), 907);
  while (a.btnZoomIn->isEnabled()) a.btnZoomIn->click();
  EXPECT_EQ(a.Zoom(), TBandAnalyzerForm::kMaxZoom);
  while (a.btnZoomOut->isEnabled()) a.btnZoomOut->click();
  EXPECT_EQ(range(), std::pair(87.0, 108.0));
  EXPECT_TRUE(a.ZoomInScrollBar->isHidden());
  h.Stop();
  clock.ReleaseAll();
}
