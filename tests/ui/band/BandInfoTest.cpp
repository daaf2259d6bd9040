// The Band Info station list as the operator sees it (texts, order,
// selection, buttons) and its printed page, through PDF and pdftoppm.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QSlider>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <cstdio>
#include <map>

#include "platform/RecordingDC.h"
#include "support/QtApp.h"
#include "ui/band/BandInfo.h"
#include "ui/band/BandInfoPrint.h"
#include "tests/ui/PrintedPage.h"

namespace {

const char* const kUV = " dB\xC2\xB5V";

// The analyzer as plain fields; RemoveStation drops the record and resets the
// list, as the controller does.
struct TFakeInfoHost final : IBandInfoHost {
  bool Busy = false;
  int StopAnalyzes = 0;
  std::vector<TSplinePoint> Points;
  std::vector<TColumnRecord> Records;
  double Marker = 87.0;
  std::vector<double> Tunes;
  std::vector<int> Markers;
  TBandInfoForm* Form = nullptr;

  bool ScanBusy() const override { return Busy; }
  void StopAnalyze() override { ++StopAnalyzes; }
  const std::vector<TSplinePoint>& Smooth() const override { return Points; }
  const std::vector<TColumnRecord>& Stations() const override { return Records; }
  std::string DescriptionStamped() const override { return "Scan 87.0 - 108.0 MHz"; }
  double MarkerX() const override { return Marker; }
  void Tune(double MHz) override { Tunes.push_back(MHz); }
  void SetMarker(int Point) override { Markers.push_back(Point); }
  void RemoveStation(int Point) override {
    std::erase_if(Records, [Point](const TColumnRecord& r) { return r.Point == Point; });
    Form->StationsReset();
  }
};

class BandInfo : public ::testing::Test {
 protected:
  void SetUp() override {
    // Smoothed points every 0.1 MHz from 87.0; levels rise with the index.
    for (int i = 0; i < 211; ++i) host.Points.push_back({87.0 + i * 0.1, 2.0 + (i % 13)});
    host.Records = {{42, "D3C2", "NORDWEST", "Stereo", "97.4,101.2", "91.2 MHz", std::string("41.6") + kUV},
                    {7, "", "", "Mono", "Not Transmitted or Unknown", "87.7 MHz", std::string("9.5") + kUV},
                    {150, "0000", "PS  \xC4\xD6", "Stereo", "", "102.0 MHz", std::string("34.0") + kUV}};
    host.Form = &form;
    form.StationsReset();
  }
  std::vector<QString> Column(int c) const {
    std::vector<QString> out;
    for (int r = 0; r < form.infoList->rowCount(); ++r) {
      QTableWidgetItem* item = form.infoList->item(r, c);
      out.push_back(item ? item->text() : QStringLiteral("<none>"));
    }
    return out;
  }

  const bool app_ = EnsureQApplication() != nullptr;  // before any widget
  TFakeInfoHost host;
  TBandInfoForm form{host};
};

using Texts = std::vector<QString>;

}  // namespace

TEST_F(BandInfo, RowsShowTheRecordsAndFollowTheirUpdates) {
  EXPECT_EQ(form.windowTitle(), "Band Info - Quorvane Broadcast Ltd.");
  EXPECT_EQ(form.infoList->horizontalHeaderItem(7)->text(), "AF List");
  EXPECT_EQ(Column(0), (Texts{"1", "2", "3"}));
  EXPECT_EQ(Column(1), (Texts{"42", "7", "150"}));
  EXPECT_EQ(Column(4), (Texts{"41.6 dB\u00B5V", "9.5 dB\u00B5V", "34.0 dB\u00B5V"}));
  // PS bytes are shown one byte a character.
  EXPECT_EQ(Column(6)[2], "PS  \u00C4\u00D6");
  EXPECT_TRUE(form.btnPrint->isEnabled());
  EXPECT_TRUE(form.btnClearAll->isHidden() && form.btnClearNonRDS->isHidden());

  TColumnRecord now = host.Records[1];
  now.PI = "6204", now.PS = "FENWISK ", now.Mode = "Stereo";
  form.UpdateStation(now);
  EXPECT_EQ(form.infoList->item(1, 5)->text(), "6204");
  EXPECT_EQ(form.infoList->item(1, 3)->text(), "Stereo");
  EXPECT_EQ(form.infoList->item(0, 5)->text(), "D3C2");
}

TEST_F(BandInfo, ColumnsSortByTheirKinds) {
  // The marker row ("??", no PI/PS/AF) at 88.0 MHz, level LevelToDbuV(12).
  host.Marker = 88.02;
  form.btnAddClick();
  ASSERT_EQ(form.infoList->rowCount(), 4);
  EXPECT_EQ(form.SortColumn(), 1);
  struct Case {
    int Column;
    Texts Ids;
  } cases[] = {
      {1, {"??", "7", "42", "150"}},
      // Frequencies as numbers: 87.7 < 88.0 < 91.2 < 102.0.
      {2, {"7", "??", "42", "150"}},
      // Levels with " dBµV" stripped as characters: 9.5 < 34.0 < 41.6 < ...
      {4, {"7", "150", "42", "??"}},
      // PI as text; a missing PI counts as empty, like the empty one.
      {5, {"7", "??", "150", "42"}},
  };
  for (const Case& c : cases) {
    form.infoListColumnClick(c.Column);
    EXPECT_EQ(Column(1), c.Ids) << "column " << c.Column;
    EXPECT_EQ(Column(0), (Texts{"1", "2", "3", "4"}));
  }
  EXPECT_EQ(form.Cell(1, 4)->toStdString(), "45.5 dB\u00B5V");
}

TEST_F(BandInfo, AddMarkerAddsOneRowPerFrequencyAndKeepsTheSelection) {
  form.SelectRow(0);  // 91.2 MHz
  host.Marker = 95.04;
  form.btnAddClick();
  form.btnAddClick();
  host.Marker = 91.17;  // a station's frequency: no row
  form.btnAddClick();
  EXPECT_EQ(Column(2), (Texts{"95.0 MHz", "87.7 MHz", "91.2 MHz", "102.0 MHz"}));
  EXPECT_EQ(Column(3)[0], "Unknown");
  EXPECT_EQ(Column(5)[0], "<none>");
  EXPECT_EQ(*form.Cell(form.SelectedRow(), 2), "91.2 MHz");
}

TEST_F(BandInfo, RemoveSelectedRemovesTheStationOrTheMarkerRowAlone) {
  host.Marker = 95.0;
  form.btnAddClick();  // rows: ??, 7, 42, 150
  form.SelectRow(2);
  form.btnDelSelClick();  // the list is rebuilt from the records; the operator's row stays
  EXPECT_EQ(Column(1), (Texts{"??", "7", "150"}));
  EXPECT_EQ(host.Records.size(), 2u);
  form.SelectRow(0);
  form.btnDelSelClick();
  EXPECT_EQ(Column(1), (Texts{"7", "150"}));
  EXPECT_EQ(host.Records.size(), 2u);

  form.SelectRow(0);
  QTest::keyClick(form.infoList, Qt::Key_Delete);
  EXPECT_EQ(Column(1), (Texts{"150"}));
  EXPECT_EQ(Column(0), (Texts{"1"}));
  form.SelectRow(0);
  form.btnDelSelClick();
  EXPECT_EQ(form.infoList->rowCount(), 0);
  EXPECT_FALSE(form.btnPrint->isEnabled());
}

TEST_F(BandInfo, ClearNonRdsKeepsRowsWithAPi) {
  TColumnRecord dashes = host.Records[0];
  dashes.Point = 99, dashes.PI = "----";
  form.AddStation(dashes);
  host.Marker = 95.0;
  form.btnAddClick();  // no PI sub-item at all
  form.btnClearNonRDSClick();
  EXPECT_EQ(Column(1), (Texts{"42"}));
  EXPECT_EQ(Column(0), (Texts{"1"}));
}

TEST_F(BandInfo, DoubleClickTunesToTheStationsPoint) {
  struct Case {
    bool Busy;
    int Row;
    std::vector<double> Tunes;
    int StopAnalyzes;
  } cases[] = {
      {true, 1, {}, 0},       // a scan pending or running: nothing
      {false, 1, {91.2}, 1},  // point 42 lies at 91.2 MHz
      {false, 2, {}, 1},      // the "??" row tunes nowhere
      {false, 4, {}, 1},      // nor does an ID beyond the smoothed points
  };
  host.Marker = 95.0;
  form.btnAddClick();
  form.infoListColumnClick(2);  // rows: 7, 42, ??, 150
  form.AddStation({999, "", "", "Mono", "", "108.1 MHz", "2.0 dB\xC2\xB5V"});
  for (const Case& c : cases) {
    host.Busy = c.Busy, host.Tunes.clear(), host.Markers.clear(), host.StopAnalyzes = 0;
    form.SelectRow(c.Row);
    form.infoListDblClick();
    EXPECT_EQ(host.Tunes, c.Tunes) << c.Row;
    EXPECT_EQ(host.StopAnalyzes, c.StopAnalyzes);
    EXPECT_EQ(host.Markers, c.Tunes.empty() ? std::vector<int>{} : std::vector<int>{42});
  }
}

// ---------------------------------------------------------------- printing

TEST_F(BandInfo, PageLayoutFitsTheContentBetweenTheMargins) {
  // A4 at 100 dpi, a 2:1 content, a 150 x 44 logo.
  struct Case {
    int Margin;
    TRect Content;
  } cases[] = {{0, {0, 377, 827, 791}}, {30, {248, 501, 579, 667}}};
  for (const Case& c : cases) {
    const TPrintPageLayout l = PrintPageLayoutOf(827, 1169, c.Margin, {200, 100}, {150, 44});
    EXPECT_EQ(l.Content, c.Content) << c.Margin;
    const int h = (c.Content.Width() / 25) * 10 / 20;
    EXPECT_EQ(l.Logo.Bottom - l.Logo.Top, h);
    EXPECT_EQ(l.Logo.Right, c.Content.Right);
  }
}

TEST_F(BandInfo, EmptyListPrintsTitleDescriptionAndHeader) {
  const TDisplayList page = BandInfoTablePage({}, "Scan 87.0 - 108.0 MHz", {3508, 2480}, 300, 300, QImage());
  std::vector<std::string> texts;
  for (const TDCRecord& r : page.Records)
    if (r.Op == TDCOp::TextOut) texts.push_back(r.Text);
  EXPECT_EQ(texts, (std::vector<std::string>{"Band Info", "Scan 87.0 - 108.0 MHz", "Freq", "Mode", "Level", "PI",
                                             "PS", "AF List"}));
}

TEST_F(BandInfo, PrintedPageThroughPdfScreenshot) {
  QTemporaryDir dir;
  TColumnRecord wide = host.Records[0];
  wide.Point = 99, wide.AFList = std::string(120, '9');  // wraps in its column
  form.AddStation(wide);
  TBandInfoPrintForm preview(form.PrintRows(), "Scan 87.0 - 108.0 MHz, 06 Dec 2026 - 21:20:39");
  EXPECT_EQ(preview.windowTitle(), "Print Preview - Quorvane Broadcast Ltd.");
  preview.RunPrinterSetup = [](QPrinter& p) {
    p.setPageOrientation(QPageLayout::Portrait);
    return true;
  };
  preview.priterSetupClick();
  EXPECT_EQ(preview.Printer().pageLayout().orientation(), QPageLayout::Landscape);
  EXPECT_GT(preview.PreviewImage().width(), preview.PreviewImage().height());
  preview.paperMargin->setValue(10);
  EXPECT_EQ(preview.marginT->text(), "10%");
  // The long AF list takes more than one line in its column.
  int afLines = 0;
  for (const TDCRecord& r : preview.Page().Records) afLines += r.Op == TDCOp::TextOut && r.Text.find("999") == 0;
  EXPECT_GT(afLines, 1);

  const QImage page = PrintedPdfPage(preview, dir);
  ASSERT_FALSE(page.isNull());
  EXPECT_GT(page.width(), page.height());
  // Dark text lies within the 10 % margins only.
  const QRect text = PickedBounds(page, [](QRgb p) { return qGray(p) < 96; });
  EXPECT_GE(text.left(), page.width() / 10 - 1);
  EXPECT_LE(text.right(), page.width() - page.width() / 10);
  if (qEnvironmentVariableIsSet("FW_SCREENSHOT_DIR"))
    page.save(qEnvironmentVariable("FW_SCREENSHOT_DIR") + "/band_info_print.png");
}

// A station row prints whole, each cell on the row's line: the AF list's
// "Not Transmitted or Unknown" too, on the portrait page the printer starts
// with as on the landscape one its setup gives. A list longer than its
// column breaks after a comma, never inside a frequency.
TEST_F(BandInfo, PrintedRowsReadWholeAndLongListsBreakBetweenFrequencies) {
  QTemporaryDir dir;
  std::string afs = "25A";
  for (int i = 0; i < 25; ++i) afs += (i ? "," : " ") + std::to_string(876 + 8 * i).insert(i < 16 ? 2 : 3, ".");
  form.AddStation({99, "D3C2", "WWWWWWWW", "Unknown", afs, "108.0 MHz", std::string("45.4") + kUV});
  TBandInfoPrintForm preview(form.PrintRows(), "Scan 87.0 - 108.0 MHz");
  preview.RunPrinterSetup = [](QPrinter&) { return true; };
  for (bool landscape : {false, true}) {
    SCOPED_TRACE(landscape ? "landscape" : "portrait");
    if (landscape) preview.priterSetupClick();
    ASSERT_EQ(preview.Printer().pageLayout().orientation(), landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    const QStringList lines = PrintedPdfText(preview, dir).split('\n');
    for (const char* row : {"91\\.2 MHz +Stereo +41\\.6 dB.V +D3C2 +NORDWEST +97\\.4,101\\.2 *$",
                            "87\\.7 MHz +Mono +9\\.5 dB.V +Not Transmitted or Unknown *$",
                            "108\\.0 MHz +Unknown +45\\.4 dB.V +D3C2 +WWWWWWWW +25A 87\\.6,"})
      EXPECT_EQ(lines.filter(QRegularExpression(row)).size(), 1) << row;

    std::vector<std::string> list;  // the last row's AF lines close the page
    for (const TDCRecord& r : preview.Page().Records)
      if (r.Op == TDCOp::TextOut && (r.Text.starts_with("25A ") || !list.empty())) list.push_back(r.Text);
    ASSERT_GT(list.size(), 1u);
    std::string joined;
    for (size_t i = 0; i < list.size(); ++i) {
      EXPECT_TRUE(i + 1 == list.size() || list[i].ends_with(',')) << list[i];
      joined += list[i];
    }
    EXPECT_EQ(joined, afs);
  }
}

// A band of 40 stations does not fit one page: the rows go on onto a second
// page under the title and header again, every station printed once, and the
// preview shows both pages.
TEST_F(BandInfo, StationsBeyondOnePageContinueOnTheNextPageWithTheHeader) {
  QTemporaryDir dir;
  host.Records.clear();
  for (int i = 0; i < 40; ++i) {
    char ps[16], freq[16];
    std::snprintf(ps, sizeof ps, "STAT%02d", i);
    std::snprintf(freq, sizeof freq, "%.1f MHz", 87.5 + i * 0.5);
    host.Records.push_back({5 * i, "D3C2", ps, i % 2 ? "Mono" : "Stereo", "97.4,101.2", freq,
                            std::string("40.0") + kUV});
  }
  form.StationsReset();
  ASSERT_EQ(form.infoList->rowCount(), 40);
  TBandInfoPrintForm preview(form.PrintRows(), "Scan 87.0 - 108.0 MHz");
  preview.RunPrinterSetup = [](QPrinter&) { return true; };
  preview.priterSetupClick();  // landscape
  ASSERT_EQ(preview.Pages().size(), 2u);

  const QString pdf = dir.filePath("table.pdf");
  preview.Printer().setOutputFormat(QPrinter::PdfFormat);
  preview.Printer().setOutputFileName(pdf);
  preview.AskPdfFileName = [pdf] { return pdf; };
  ASSERT_TRUE(preview.btnPrintClick());
  const auto run = [](const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(30000);
    return QString::fromLatin1(p.readAllStandardOutput());
  };
  EXPECT_TRUE(run("pdfinfo", {pdf}).contains(QRegularExpression("Pages:\\s+2\\n")));
  std::map<QString, int> printed;
  for (int page = 1; page <= 2; ++page) {
    const QString text = run("pdftotext", {"-f", QString::number(page), "-l", QString::number(page), pdf, "-"});
    SCOPED_TRACE(page);
    for (const char* word : {"Band Info", "Scan 87.0 - 108.0 MHz", "Freq", "Level", "AF List"})
      EXPECT_TRUE(text.contains(word)) << word;
    QRegularExpressionMatchIterator it = QRegularExpression("STAT\\d\\d").globalMatch(text);
    int onPage = 0;
    while (it.hasNext()) ++printed[it.next().captured()], ++onPage;
    EXPECT_GE(onPage, 5);
  }
  ASSERT_EQ(printed.size(), 40u);
  for (const auto& [ps, times] : printed) EXPECT_EQ(times, 1) << ps.toStdString();
  EXPECT_TRUE(printed.count("STAT39"));

  // The preview: two landscape sheets, one below the other, text on both.
  const QImage shown = preview.PreviewImage();
  EXPECT_GT(shown.height(), shown.width());
  const QRect top = PickedBounds(shown.copy(0, 0, shown.width(), shown.height() / 2), [](QRgb p) { return qGray(p) < 96; });
  const QRect bottom = PickedBounds(shown.copy(0, shown.height() / 2, shown.width(), shown.height() / 2),
                                    [](QRgb p) { return qGray(p) < 96; });
  EXPECT_FALSE(top.isEmpty());
  EXPECT_FALSE(bottom.isEmpty());
  if (qEnvironmentVariableIsSet("FW_SCREENSHOT_DIR")) {
    QFile::copy(pdf, qEnvironmentVariable("FW_SCREENSHOT_DIR") + "/band_info_40.pdf");
    preview.show();
    QApplication::processEvents();
    preview.grab().save(qEnvironmentVariable("FW_SCREENSHOT_DIR") + "/band_info_40_preview.png");
  }
}

TEST_F(BandInfo, Screenshot) {
  host.Marker = 95.0;
  form.btnAddClick();
  form.SelectRow(1);
  form.show();
  QApplication::processEvents();
  SaveScreenshot(&form, "band_info");
  TBandInfoPrintForm preview(form.PrintRows(), "Scan 87.0 - 108.0 MHz");
  preview.show();
  QApplication::processEvents();
  SaveScreenshot(&preview, "band_info_preview");
}
