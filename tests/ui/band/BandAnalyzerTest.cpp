// The band analyzer window end to end: the program over the simulated
// receiver with four stations (three with RDS), opened from the main window,
// scanned, analysed, exported, printed, marked and zoomed as the operator
// would.
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QTest>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QCheckBox>
#include <QTemporaryDir>
#include <set>

#include "remote/Remote.h"
#include "support/BandScanScenario.h"
#include "support/FakeClock.h"
#include "ui/band/BandAnalyzer.h"
#include "ui/band/SpectrumChart.h"
#include "ui/band/SpectrumPrint.h"
#include "ui/mpx/MPXGraph.h"
#include "tests/ui/MainWindowSupport.h"
#include "tests/ui/PrintedPage.h"
#include "ui/band/BandSet.h"
#include "platform/Format.h"
#include "platform/RecordingDC.h"
#include "receiver/shared.h"

namespace {

int32_t I32At(const QByteArray& b, int at) {
  return int32_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8 | uint8_t(b[at + 2]) << 16 | uint32_t(uint8_t(b[at + 3])) << 24);
}
int16_t I16At(const QByteArray& b, int at) { return int16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); }
QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
// The smoothed curve's colour (blue) and the marker label's (light green).
bool IsCurve(QRgb p) { return qBlue(p) > 200 && qRed(p) < 60; }
bool IsMarkerLabel(QRgb p) { return (p & 0xFFFFFF) == 0xAAFFAAu; }
// The text of the message box that Act shows (closed at once); empty when none.
QString MessageOf(const std::function<void()>& Act) {
  QString text;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) text = box->text(), box->accept();
  });
  poll.start(5);
  return Act(), text;
}

}  // namespace

// The program with the analyzer opened from the main window. Device time runs
// four times faster than the wall clock (faster, the decoder's first groups
// may outrun the tuner's report of the tune).
class BandAnalyzerSim : public ::testing::Test {
 protected:
  TFakeClock clock;
  TMainWindowHarness h;
  QPushButton* open = nullptr;

  void SetUp() override {
    clock.SetAccelerated(4);
    h.devices = std::make_unique<TSimMainDevices>(h.Folder() + "fenwisk_sim", clock);
    AddBandScanStations(h.devices->Receiver);
    h.Start("");
    open = Find<QPushButton>(h.form.get(), "btnBandAnalyzer");
    ASSERT_TRUE(PumpUntil([&] { return open->isEnabled(); }));
    open->click();
    ASSERT_TRUE(h.form->BandAnalyzer && h.form->BandAnalyzer->isVisible());
  }
  void TearDown() override {
    h.Stop();
    clock.ReleaseAll();
  }
  // Tuned where the user left it, everything enabled.
  void ExpectBackAt(const char* Freq) {
    ASSERT_TRUE(PumpUntil([&] { return open->isEnabled(); }));
    EXPECT_EQ(Find<QLabel>(h.form.get(), "lblTuned")->text().toStdString(), std::string("Tuned at: ") + Freq);
    for (const char* name : {"btnMPXGraph", "btnSET", "btnSearchRight", "btnRadioSettings"})
      EXPECT_TRUE(Find<QWidget>(h.form.get(), name)->isEnabled()) << name;
  }
  bool Enabled(const char* name) { return Find<QWidget>(h.form.get(), name)->isEnabled(); }
  // A whole scan of the band, then the main window back.
  void ScanTheBand() {
    TBandAnalyzerForm& a = *h.form->BandAnalyzer;
    a.btnScan->click();
    ASSERT_TRUE(PumpUntil([&] { return !a.Busy(); }));
    ASSERT_TRUE(PumpUntil([&] { return open->isEnabled(); }));
  }
  // The reference dragged to a receiver level, as the operator drags it.
  void DragReferenceTo(double level) {
    TSpectrumChart& s = h.form->BandAnalyzer->Spectrum();
    TChart& chart = *s.Chart;
    const int from = chart.LeftAxis().PixelOfValue(s.ChartToolH->YValue());
    const int to = chart.LeftAxis().PixelOfValue(level);
    chart.MouseDown(mbLeft, {}, 300, from);
    chart.MouseMove({}, 300, to);
    chart.MouseUp(mbLeft, {}, 300, to);
  }
  // The station labels drawn on the chart, by point: the labelled points
  // whose every label line the chart draws over its plot.
  std::vector<int> ShownLabels() {
    TSpectrumChart& s = h.form->BandAnalyzer->Spectrum();
    TChart& chart = *s.Chart;
    std::set<std::string> drawn;
    for (const TDCRecord& r : chart.BuildMetafile(chart.PanelRectangle()).Records)
      if (r.Op == TDCOp::TextOut && r.Args[1] < chart.PlotRect().Bottom) drawn.insert(r.Text);
    TFastLineSeries& m = *s.SmoothMarks;
    std::vector<int> shown;
    for (int i = 0; i < m.Count(); ++i) {
      const std::string label = m.LabelAt(i);
      if (label.empty()) continue;
      bool whole = true;
      for (size_t start = 0; start <= label.size();) {
        const size_t end = std::min(label.find('\r', start), label.size());
        whole = whole && (end == start || drawn.count(label.substr(start, end - start)) > 0);
        start = end + 1;
      }
      if (whole) shown.push_back(i);
    }
    return shown;
  }
};

TEST_F(BandAnalyzerSim, ScanAnalyzeExportAndZoom_Screenshot) {
  TMainForm& f = *h.form;
  TBandAnalyzerForm& a = *f.BandAnalyzer;
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
  EXPECT_EQ(info.Cell(1, TBandInfoForm::colAF), "2A 89.6,93.3");
  a.btnBandInfo->click();
  EXPECT_TRUE(info.isVisible());
  SaveScreenshot(&a, "band_analyzer");
  SaveScreenshot(&info, "band_analyzer_info");

  // Export: JPEG, bitmap and plain metafile (drawn by an outside reader) of
  // the chart's size, the curve in them; the enhanced metafile framed at it.
  QTemporaryDir dir;
  const int w = s.Chart->Width(), ht = s.Chart->Height();
  for (auto [name, kind] : {std::pair{"/s.jpg", TBandAnalyzerForm::ekJpeg}, {"/s.bmp", TBandAnalyzerForm::ekBitmap},
                            {"/s.wmf", TBandAnalyzerForm::ekMetafile}}) {
    QString file = dir.path() + name;
    ASSERT_TRUE(a.ExportChart(file, kind)) << name;
    if (kind == TBandAnalyzerForm::ekMetafile) {
      const QByteArray wmf = ReadAll(file);
      ASSERT_GT(wmf.size(), 22);
      EXPECT_EQ(uint32_t(I32At(wmf, 0)), 0x9AC6CDD7u);
      EXPECT_EQ((std::array{I16At(wmf, 6), I16At(wmf, 8), I16At(wmf, 10), I16At(wmf, 12)}),
                (std::array<int16_t, 4>{0, 0, int16_t(w), int16_t(ht)}));
      QProcess render;  // (it draws a progress bar on its output)
      render.setStandardOutputFile(QProcess::nullDevice());
      render.start("wmf2gd", {"--maxpect", Format("--maxwidth=%d", w).c_str(), Format("--maxheight=%d", ht).c_str(),
                              "-o", file + ".png", file});
      ASSERT_TRUE(render.waitForFinished(30000) && render.exitCode() == 0);
      file += ".png";
    }
    const QImage img(file);
    const int slack = kind == TBandAnalyzerForm::ekMetafile;  // the reader's scale rounds
    ASSERT_TRUE(std::abs(img.width() - w) <= slack && std::abs(img.height() - ht) <= slack) << name;
    int curve = 0;
    for (int x = 0; x < img.width(); x += 2)
      for (int y = 0; y < img.height(); ++y) curve += IsCurve(img.pixel(x, y));
    EXPECT_GT(curve, 200) << name;
    if (kind == TBandAnalyzerForm::ekMetafile && qEnvironmentVariableIsSet("FW_SCREENSHOT_DIR"))
      img.save(qEnvironmentVariable("FW_SCREENSHOT_DIR") + "/band_analyzer_wmf.png");
  }
  ASSERT_TRUE(a.ExportChart(dir.path() + "/s.emf", TBandAnalyzerForm::ekEnhancedMetafile));
  const QByteArray emf = ReadAll(dir.path() + "/s.emf");
  ASSERT_GT(emf.size(), 108);
  EXPECT_EQ(I32At(emf, 0), 1);
  EXPECT_EQ(uint32_t(I32At(emf, 40)), 0x464D4520u);  // " EMF"
  EXPECT_EQ((std::array{I32At(emf, 8), I32At(emf, 12), I32At(emf, 16), I32At(emf, 20)}),
            (std::array{0, 0, w - 1, ht - 1}));

  // Save As: a bare name gets the format's extension; a folder that cannot
  // be written a message naming the file; the search band is back.
  for (const char* name : {"/typed", "/none/typed"}) {
    a.AskExportFile = [&](const QString&) { return std::pair{dir.path() + name, int(TBandAnalyzerForm::ekBitmap)}; };
    EXPECT_EQ(MessageOf([&] { a.btnExportClick(); }).contains(QString(name) + ".bmp"), name[1] == 'n') << name;
  }
  EXPECT_TRUE(QFile::exists(dir.path() + "/typed.bmp"));
  EXPECT_TRUE(s.SSLevel->Active());

  // The print page: printed to PDF, the curve spans the page between the
  // 10 % margins; in monochrome the preview is on white; the chart is as it
  // was afterwards, the search band back.
  {
    TPrintPreviewForm preview(*s.Chart, *s.SSLevel, true, &a);
    preview.paperMargin->setValue(10);
    const QImage page = PrintedPdfPage(preview, dir);
    ASSERT_FALSE(page.isNull());
    const QRect curve = PickedBounds(page, IsCurve);
    EXPECT_GE(curve.left(), page.width() / 10 - 1);
    EXPECT_LE(curve.right(), page.width() - page.width() / 10);
    EXPECT_GT(curve.width(), page.width() * 2 / 3);
    EXPECT_TRUE(curve.top() > page.height() / 4 && curve.bottom() < page.height() * 3 / 4) << curve.top();
    if (qEnvironmentVariableIsSet("FW_SCREENSHOT_DIR"))
      page.save(qEnvironmentVariable("FW_SCREENSHOT_DIR") + "/band_analyzer_print.png");
    // The overlay is on paper: the scan line and the date fill the chart's
    // top margin from near its left to its right end.
    const TRect c = PrintPageLayoutOf(page.width(), page.height(), 10, {w, ht}, {1, 1}).Content;
    auto at = [&](double x, double y) {  // a chart pixel on the page
      return QPoint(c.Left + int(x * c.Width() / w), c.Top + int(y * c.Height() / ht));
    };
    const QRect top = PickedBounds(page.copy(QRect(at(0, 0), at(w, 17))), [](QRgb p) { return qGray(p) < 128; });
    EXPECT_GT(top.width(), c.Width() * 9 / 10);
    // Printed lines scale with the page: a one-pixel tick is about half as
    // thick as the two-pixel reference line, not a hairline (rows of a
    // 1200-dpi strip of the page, down from a chart pixel).
    auto run = [&](double x, double y, auto picked) {
      const TRect& f = chart.FrameBounds;
      const QImage strip = PrintedPdfPage(preview, dir, 1200, QRect(at(x - f.Left, y - f.Top) * 20, QSize(1, 300)));
      int from = 0, n = 0;
      while (from < strip.height() && !picked(strip.pixel(0, from))) ++from;
      while (from + n < strip.height() && picked(strip.pixel(0, from + n))) ++n;
      return n;
    };
    const int tick = run(chart.LeftAxis().AxisLinePos - 3, chart.LeftAxis().PixelOfValue(12.5),
                         [](QRgb p) { return qGray(p) < 200; });
    const int ref = run(chart.BottomAxis().PixelOfValue(91), chart.LeftAxis().PixelOfValue(7.5),
                        [](QRgb p) { return qGreen(p) > qRed(p) + 60; });
    EXPECT_TRUE(tick * 4 > ref && tick < ref) << tick << " " << ref;
    // A PDF that cannot be written: the message says where.
    preview.AskPdfFileName = [&] { return dir.path() + "/none/page.pdf"; };
    EXPECT_TRUE(MessageOf([&] { preview.btnPrintClick(); }).contains("/none/page.pdf"));
    preview.cbMonochrome->setChecked(true);
    const QImage shown = preview.PreviewImage();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.pixel(shown.width() / 2, shown.height() / 2) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_TRUE(s.SSLevel->Active());
    EXPECT_FALSE(s.Chart->Monochrome());
  }

  // A double-click near the 94.2 MHz peak puts the marker on it: the receiver
  // tunes there and the marker's label shows the station's record. To the
  // right of the last point a double-click does nothing.
  const int floor = chart.LeftAxis().PixelOfValue(1);
  QTest::mouseDClick(a.SpectrumHost, Qt::LeftButton, {}, {chart.BottomAxis().PixelOfValue(94.1), floor});
  const int m = a.Controller().Marker();
  ASSERT_GE(m, 0);
  EXPECT_EQ(FormatFreq(s.Smooth->XValue(m)), "94.2");
  ASSERT_TRUE(PumpUntil([&] { return s.SmoothMarks->LabelAt(m) == "PI:C202\r94.2 MHz\rBRAVO FM"; }))
      << s.SmoothMarks->LabelAt(m);
  EXPECT_EQ(Format("%3.1f", f.Tuner->CurrentFreq()), "94.2");
  EXPECT_EQ(info.Cell(1, TBandInfoForm::colAF), "2A 89.6,93.3");  // the marker's update, as the visit wrote it
  QTest::mouseDClick(a.SpectrumHost, Qt::LeftButton, {}, {chart.BottomAxis().PixelOfValue(107.99), floor});
  EXPECT_EQ(a.Controller().Marker(), m);
  ASSERT_TRUE(a.ExportChart(dir.path() + "/marker.bmp", TBandAnalyzerForm::ekBitmap));
  EXPECT_GT(PickedBounds(QImage(dir.path() + "/marker.bmp").convertToFormat(QImage::Format_RGB32), IsMarkerLabel)
                .width(), 20);

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

  // From a marker at 87.3 MHz nothing below 87.0 shows.
  f.Settings.ZoomFromMarker = 1;
  s.ChartToolV->SetXValue(87.3);
  EXPECT_NE(a.OverlayText().find("Marker Freq: 87.30 MHz"), std::string::npos) << a.OverlayText();
  a.btnZoomIn->click();
  EXPECT_NEAR(range().first, 87.0, 1e-9);
  EXPECT_NEAR(range().second, 95.7, 1e-9);
  EXPECT_FALSE(a.ZoomInScrollBar->isHidden());
  EXPECT_EQ(a.ZoomInScrollBar->value(), 870);
  // A marker just left of the range has no MKR tag (the tag's green frame).
  s.ChartToolV->SetXValue(86.95);
  const QImage shown = a.SpectrumHost->grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(PickedBounds(shown.copy(0, 18, shown.width(), 18), [](QRgb p) { return (p & 0xFFFFFF) == 0x008000u; }),
            QRect());
  SaveScreenshot(&a, "band_analyzer_marker_zoom");

  // Idle, the main window's button closes the window and opens it again.
  open->click();
  EXPECT_FALSE(a.isVisible());
  open->click();
  EXPECT_TRUE(a.isVisible());
}

// With the default settings (raw points hidden, the smoothed curve shown)
// the raw points are drawn while the scan runs, and the MPX window, whose
// readings would mix stations, is hidden. Closing the window or unplugging
// the receiver stops a scan (also one still waiting for its start) or an
// analysis: Band Info goes, the tuner and the main window's controls are back.
TEST_F(BandAnalyzerSim, ClosedOrUnpluggedMidWorkStopsAndGivesTheReceiverBack) {
  TMainForm& f = *h.form;
  TBandAnalyzerForm& a = *f.BandAnalyzer;
  TSpectrumChart& s = a.Spectrum();
  f.Tuner->SetFrequency(96.0);
  ASSERT_TRUE(h.WaitTuned("96.0"));
  f.btnMPXGraphClick();
  auto isRaw = [](QRgb p) { return qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60; };
  for (const std::string stage : {"start", "scan", "analysis", "unplug"}) {
    SCOPED_TRACE(stage);
    a.btnScan->click();
    if (stage == "start") {
      ASSERT_TRUE(a.Controller().ScanPending());
    } else if (stage != "analysis") {
      ASSERT_TRUE(PumpUntil([&] { return s.Discrete->Count() > 60; }));
      ASSERT_TRUE(a.Controller().Scanning());
      EXPECT_FALSE(f.MPXGraph->isVisible());
      EXPECT_GT(PickedBounds(a.SpectrumHost->grab().toImage(), isRaw).width(), 100);
    } else {
      ASSERT_TRUE(PumpUntil([&] { return !a.Busy(); }));
      ExpectBackAt("96.0");
      EXPECT_FALSE(s.Discrete->Active());  // as the settings have it
      EXPECT_TRUE(s.Smooth->Active());
      a.btnAnalyze->click();
      ASSERT_TRUE(PumpUntil([&] { return !a.Controller().Stations().empty(); }));
    }
    a.btnBandInfo->click();
    if (stage == "unplug") {
      h.devices->Receiver.Unplug();
      ASSERT_TRUE(PumpUntil([&] { return !a.isVisible(); }));
      h.devices->Receiver.Plug();
    } else {
      a.close();
    }
    EXPECT_FALSE(a.Busy());
    EXPECT_FALSE(a.BandInfo().isVisible());
    ExpectBackAt("96.0");
    open->click();
  }
}

// Band Info's frame, title bar included, goes directly below the analyzer's
// frame, from the screen's left edge across its width: so under a window
// manager its title bar covers none of the analyzer's buttons. The placement
// from given frames (a title bar of 23 pixels, a second screen to the right),
// then the windows as shown, hidden and shown again.
TEST(BandInfoPlacement, FrameGoesBelowTheAnalyzersFrame) {
  const QMargins info(1, 23, 1, 1);
  struct Case {
    QRect Analyzer, Screen, Frame;
  } cases[] = {{{0, 0, 1600, 470}, {0, 0, 1600, 1000}, {0, 470, 1600, 284}},
               {{1700, 30, 1200, 470}, {1600, 0, 1280, 1024}, {1600, 500, 1280, 284}}};
  for (const Case& c : cases) {
    const QRect client = BandInfoClientRect(c.Analyzer, c.Screen, info, 260);
    EXPECT_EQ(client.height(), 260);
    EXPECT_EQ(client.marginsAdded(info), c.Frame) << c.Screen.x();
  }
}

TEST_F(BandAnalyzerSim, BandInfoFrameGoesBelowTheAnalyzersFrame) {
  TBandAnalyzerForm& a = *h.form->BandAnalyzer;
  TBandInfoForm& info = a.BandInfo();
  const QRect screen = a.screen()->geometry();
  for (int shown = 0; shown < 2; ++shown) {
    SCOPED_TRACE(shown);
    a.btnBandInfo->click();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&info));
    ASSERT_TRUE(QTest::qWaitFor([&] { return info.frameGeometry().top() == a.frameGeometry().bottom() + 1; }, 2000))
        << info.frameGeometry().top() << " under " << a.frameGeometry().bottom();
    EXPECT_NE(info.frameGeometry(), info.geometry());  // there is a frame to place
    EXPECT_EQ(info.frameGeometry().left(), screen.left());
    EXPECT_EQ(info.frameGeometry().width(), screen.width());
    EXPECT_EQ(info.infoList->width(), info.contentsRect().width() - 8);  // within the list's margins
    a.btnBandInfo->click();
    EXPECT_FALSE(info.isVisible());
  }
}

// While a scan or an analysis owns the receiver, the main window's settings
// dialogs and tool windows stay shut: a sensitivity switched mid-scan would
// be named in the scan's description though most points were taken before
// it. The log viewer, help, about and quit need no receiver. Stopping gives
// the tuner settings back at once, the rest with the next completed tune.
TEST_F(BandAnalyzerSim, ScanAndAnalysisHoldTheSettingsAndToolButtons) {
  TBandAnalyzerForm& a = *h.form->BandAnalyzer;
  const char* held[] = {"btnRadioSettings", "btnPresets", "btnLogSettings", "btnMPXGraph", "btnGroupAnalyze",
                        "btnRemote",        "btnBandAnalyzer", "pr1",          "prs1",         "btnSET"};
  const char* free[] = {"btnLogView", "btnHelp", "btnAbout", "btnQuit"};
  for (const char* name : held) ASSERT_TRUE(Enabled(name)) << name;

  a.btnScan->click();
  ASSERT_TRUE(PumpUntil([&] { return a.Spectrum().Discrete->Count() > 20; }));
  for (const char* name : held) EXPECT_FALSE(Enabled(name)) << name;
  for (const char* name : free) EXPECT_TRUE(Enabled(name)) << name;
  a.btnScan->click();  // Stop Scan
  EXPECT_TRUE(Enabled("btnRadioSettings"));
  EXPECT_FALSE(Enabled("btnPresets"));
  ExpectBackAt("87.0");
  for (const char* name : held) EXPECT_TRUE(Enabled(name)) << name;

  ScanTheBand();
  DragReferenceTo(7);
  a.btnAnalyze->click();
  ASSERT_TRUE(a.Controller().Analyzing());
  for (const char* name : held) EXPECT_FALSE(Enabled(name)) << name;
  for (const char* name : free) EXPECT_TRUE(Enabled(name)) << name;
  a.btnAnalyze->click();  // Stop Analyze
  EXPECT_TRUE(Enabled("btnRadioSettings"));
  ExpectBackAt("87.0");
  for (const char* name : held) EXPECT_TRUE(Enabled(name)) << name;
}

// The presentation buttons stay usable during a scan and an analysis and
// send their mode, but give the main window's controls back no earlier than
// the scan or analysis does: the operator cannot tune or change the tuner's
// settings mid-sweep, and the sweep and the visits run to their end. After
// them the same button enables the controls as always.
TEST_F(BandAnalyzerSim, PresentationButtonsLeaveTheControlsOffDuringAScanAndAnAnalysis) {
  TMainForm& f = *h.form;
  TBandAnalyzerForm& a = *f.BandAnalyzer;
  TSimReceiver& rx = h.devices->Receiver;
  const char* held[] = {"btnRadioSettings", "btnPresets", "btnLogSettings", "btnSET", "edFreq", "RadioTrack",
                        "pr1", "prs1", "btnRemote", "btnBandAnalyzer", "btnMPXGraph", "btnGroupAnalyze"};
  const std::vector<uint8_t> tune100{0x06, uint8_t(FreqToPLLWord(true, 100.0) >> 8),
                                     uint8_t(FreqToPLLWord(true, 100.0) & 0xFF)};
  const auto sent = [&](const std::vector<uint8_t>& command) {
    const auto all = rx.Commands();
    return std::count(all.begin(), all.end(), command);
  };
  // What the operator tries in the main window: the mode, then tuning.
  Find<QPushButton>(&f, "pr1")->setText("100.0");
  const auto tryTheMainWindow = [&](const char* mode) {
    QTest::mouseClick(Find<QWidget>(&f, mode), Qt::LeftButton);
    QTest::mouseClick(Find<QWidget>(&f, "pr1"), Qt::LeftButton);
    QTest::mouseClick(Find<QWidget>(&f, "btnRight"), Qt::LeftButton);
  };

  a.btnScan->click();
  ASSERT_TRUE(PumpUntil([&] { return a.Spectrum().Discrete->Count() > 20; }));
  rx.ClearCommands();
  tryTheMainWindow("rbRBDS");
  EXPECT_EQ(Find<QLabel>(&f, "lblPICaption")->text(), "CALL");
  for (const char* name : held) EXPECT_FALSE(Enabled(name)) << name;
  EXPECT_EQ(a.btnScan->text(), "Stop Scan");
  ASSERT_TRUE(PumpUntil([&] { return !a.Busy(); }));  // the sweep reached its end by itself
  EXPECT_EQ(sent({0x01}), 1);
  EXPECT_EQ(sent(tune100), 0);
  ExpectBackAt("87.0");

  // Nothing holds the controls: the button sends and the controls are on.
  rx.ClearCommands();
  QTest::mouseClick(Find<QWidget>(&f, "rbRDS"), Qt::LeftButton);
  ASSERT_TRUE(rx.WaitForCommands(1));
  EXPECT_EQ(rx.Commands(), (std::vector<std::vector<uint8_t>>{{0x00}}));
  for (const char* name : held) EXPECT_TRUE(Enabled(name)) << name;

  DragReferenceTo(7);
  a.btnAnalyze->click();
  ASSERT_TRUE(a.Controller().Analyzing());
  rx.ClearCommands();
  tryTheMainWindow("rbRBDS");
  for (const char* name : held) EXPECT_FALSE(Enabled(name)) << name;
  ASSERT_TRUE(PumpUntil([&] { return !a.Busy(); }, 60000));
  // Every peak visited (the mode command drops the packets queued at that
  // moment, so the scan may have lost a point or two).
  EXPECT_EQ(size_t(a.BandInfo().infoList->rowCount()), a.Controller().Peaks().size());
  EXPECT_GE(a.BandInfo().infoList->rowCount(), 3);
  EXPECT_EQ(sent({0x01}), 1);
  EXPECT_EQ(sent(tune100), 0);
  ExpectBackAt("87.0");
}

// With the MPX input the band cannot be scanned: selecting it closes the
// analyzer (and Band Info) after a scan, and its button stays off through
// the tunes that follow until the antenna input is back.
TEST_F(BandAnalyzerSim, MpxInputClosesTheAnalyzerAndKeepsItsButtonOff) {
  TMainForm& f = *h.form;
  TBandAnalyzerForm& a = *f.BandAnalyzer;
  ScanTheBand();
  a.btnBandInfo->click();
  ASSERT_TRUE(a.BandInfo().isVisible());

  QTest::mouseClick(Find<QWidget>(&f, "rbMPX"), Qt::LeftButton);
  EXPECT_FALSE(a.isVisible());
  EXPECT_FALSE(a.BandInfo().isVisible());
  EXPECT_FALSE(open->isEnabled());
  for (const char* name : {"btnSET", "edFreq", "btnSearchRight", "RadioTrack", "pr1"})
    EXPECT_FALSE(Enabled(name)) << name;
  for (const char* name : {"btnMPXGraph", "rbANT", "btnRadioSettings"}) EXPECT_TRUE(Enabled(name)) << name;
  f.Tuner->SetFrequency(96.0);
  ASSERT_TRUE(h.WaitTuned("96.0"));
  PumpFor(300);
  EXPECT_FALSE(open->isEnabled());
  QTest::mouseClick(open, Qt::LeftButton);
  EXPECT_FALSE(a.isVisible());

  QTest::mouseClick(Find<QWidget>(&f, "rbANT"), Qt::LeftButton);
  EXPECT_TRUE(open->isEnabled());
  open->click();
  EXPECT_TRUE(a.isVisible());
}

// The analyzer spans the screen's width and covers the main window's MPX
// button: its own opens the MPX window (and leaves it open). Remote closes
// the analyzer, not only hides it: Band Info goes with it.
TEST_F(BandAnalyzerSim, OwnMpxButtonAndRemoteClosesTheAnalyzer) {
  TMainForm& f = *h.form;
  TBandAnalyzerForm& a = *f.BandAnalyzer;
  ASSERT_FALSE(f.MPXGraph->isVisible());
  for (int i = 0; i < 2; ++i) {
    QTest::mouseClick(a.btnMPXGraph, Qt::LeftButton);
    EXPECT_TRUE(f.MPXGraph->isVisible());
  }

  ScanTheBand();
  a.btnBandInfo->click();
  ASSERT_TRUE(a.BandInfo().isVisible());
  std::filesystem::copy_file(TestBinDir() + "/fw.rrf", h.Folder() + "fw.rrf");
  WithModal<TRemoteForm>(
      [&](TRemoteForm* remote) {
        EXPECT_FALSE(a.isVisible());
        EXPECT_FALSE(a.BandInfo().isVisible());
        EXPECT_FALSE(f.MPXGraph->isVisible());
        remote->close();
      },
      [&] { QTest::mouseClick(Find<QWidget>(&f, "btnRemote"), Qt::LeftButton); });
}

// Clear Baloons hides every station label for good: the next double-click
// labels its own station only. The marker's label comes back with the next
// update of its record.
TEST_F(BandAnalyzerSim, ClearBaloonsHidesEveryLabelForGood) {
  TMainForm& f = *h.form;
  TBandAnalyzerForm& a = *f.BandAnalyzer;
  TSpectrumChart& s = a.Spectrum();
  ScanTheBand();
  DragReferenceTo(7);
  a.btnAnalyze->click();
  ASSERT_TRUE(PumpUntil([&] { return !a.Busy(); }, 60000));
  ASSERT_EQ(ShownLabels().size(), 4u);
  const std::vector<int> peaks = a.Controller().Peaks();
  const auto clear = [&] {
    WithModal<TBandSetForm>(
        [](TBandSetForm* set) {
          set->btnClearBaloons->click();
          set->btnOK->click();
        },
        [&] { a.btnSettings->click(); });
  };
  clear();
  EXPECT_TRUE(ShownLabels().empty());

  TChart& chart = *s.Chart;
  const int floor = chart.LeftAxis().PixelOfValue(1);
  QTest::mouseDClick(a.SpectrumHost, Qt::LeftButton, {}, {chart.BottomAxis().PixelOfValue(94.1), floor});
  ASSERT_EQ(a.Controller().Marker(), peaks[1]);
  EXPECT_EQ(ShownLabels(), std::vector<int>{peaks[1]});
  ASSERT_TRUE(PumpUntil([&] { return s.SmoothMarks->LabelAt(peaks[1]) == "PI:C202\r94.2 MHz\rBRAVO FM"; }));

  clear();
  EXPECT_TRUE(ShownLabels().empty());
  ASSERT_TRUE(PumpUntil([&] { return ShownLabels() == std::vector<int>{peaks[1]}; }, 5000));
  const QImage shown = a.SpectrumHost->grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_GT(PickedBounds(shown, IsMarkerLabel).width(), 20);
}
