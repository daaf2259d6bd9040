// The log viewer: paged reading in each order, the CSV export byte for byte,
// and the window as the operator sees it.
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QWheelEvent>
#include <QProgressDialog>
#include <QTableView>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <thread>

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include "LogStoreTestSupport.h"
#include "logstore/LogCsv.h"
#include "logstore/LogGridModel.h"
#include "logstore/logview.h"
#include "platform/Format.h"
#include "support/LogFill.h"
#include "support/QtApp.h"

namespace {

const TDateTimeFormat kFormat{"dd.MM.yyyy", "HH:mm:ss"};

class LogView : public ::testing::Test {
 protected:
  TDeployedFolder Folder;
  std::string Db = Folder.Database();
  TSql Sql{Db};

  void Change(const std::string& dt, int sig, int intd, const std::string& str) {
    Sql.Exec("insert into LOG_CH (ID, DT, SIG, INTD, STR) values (next value for GEN_LOG_CH_ID, '" + dt + "', " +
             std::to_string(sig) + ", " + std::to_string(intd) + ", '" + str + "')");
  }
  void Raw(int b0, int b1, int b2, int b3, int freq) {
    Sql.Exec("insert into LOG_RAW (ID, BLOCK0, BLOCK1, BLOCK2, BLOCK3, BLOCK4, BLOCK5, FREQ) values "
             "(next value for GEN_LOG_RAW_ID, " + std::to_string(b0) + ", " + std::to_string(b1) + ", " +
             std::to_string(b2) + ", " + std::to_string(b3) + ", 0, 0, " + std::to_string(freq) + ")");
  }
  std::string Export(TLogView view) {
    const std::string file = Folder.File("out.csv");
    WriteLogCsv(*MakeFbLogPager(Db, view), file, kFormat);
    return ReadFile(file);
  }
  // The index of a pager's snapshot, as the grid has it from the background.
  TLogKeyIndex Indexed(TLogView view, ILogPager& p) {
    p.Count();  // takes the snapshot
    return MakeFbLogPager(Db, view)->IndexUpTo(p.SnapshotMaxId());
  }
  // The IDs of a view read through pages from many places, in its order.
  static std::vector<int32_t> PagedIds(ILogPager& p, const std::vector<std::pair<int64_t, int>>& reads) {
    std::vector<int32_t> ids(static_cast<size_t>(p.Count()), -1);
    for (const auto& [first, n] : reads)
      p.Read(first, n, [&](int64_t i, const TLogRecord& r) { ids[static_cast<size_t>(i)] = r.ID(); });
    return ids;
  }
};

TEST(LogCsvLine, QuotesAsTheExportDoes) {
  const struct {
    std::vector<std::string> fields;
    std::string line;
  } cases[] = {
      {{"02A", "98.5", "$D3C2"}, "02A,98.5,$D3C2"},
      {{"Date/Time", "What", "Changed to"}, "Date/Time,What,\"Changed to\""},
      {{"say \"hi\"", "a,b", ""}, "\"say \"\"hi\"\"\",\"a,b\","},
      {{"PS      "}, "\"PS      \""},
      {{"tab\there", "\xE9t\xE9"}, "\"tab\there\",\xE9t\xE9"},
      {{""}, "\"\""},
      {{"", ""}, ","},
  };
  for (const auto& c : cases) EXPECT_EQ(CsvLine(c.fields), c.line);
}

TEST(LogDateTimeText, UsersFormatsTimeLeftOutAtMidnight) {
  const TDateTime afternoon = dt::Encode({2026, 12, 6, 13, 5, 9, 42});
  const struct {
    TDateTime t;
    TDateTimeFormat format;
    std::string text;
  } cases[] = {
      {afternoon, kFormat, "06.12.2026 13:05:09"},
      {afternoon, {"d/M/yy", "h:mm:ss AP"}, "6/12/26 1:05:09 PM"},
      {afternoon, {"yyyy-MM-dd", "H.m.s.zzz 'h'"}, "2026-12-06 13.5.9.042 h"},
      {dt::EncodeDate(2026, 12, 6), kFormat, "06.12.2026"},
      {0, kFormat, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(DateTimeText(c.t, c.format), c.text);
}

TEST_F(LogView, CsvFilesByteForByte) {
  EXPECT_EQ(Export(TLogView::Ext),
            "Date/Time,Mode,\"RDS Present\",Freq,PI,TP,TA,MS,PTY,PS,DI,RTA,RTB,\"Total AFs\",AF,CT\r\n");
  Raw(0xD3C2, 0x0420, 0xE0CD, 0x4142, 115);
  Raw(0xD3C2, 0xFC20, 0x0001, 0x0002, 255);
  EXPECT_EQ(Export(TLogView::Raw),
            "Group,Freq,\"Block 0\",\"Block 1\",\"Block 2\",\"Block 3\"\r\n"
            "00A,98.5,$D3C2,$0420,$E0CD,$4142\r\n"
            "15B,MPX,$D3C2,$FC20,$0001,$0002\r\n");
  Change("2026-12-06 10:00:00", 6, 0, "RADIO \"1\"");
  Change("2026-12-06 10:00:05", 200, 0, "DEVICE CONNECTED");
  Change("2026-12-06 00:00:00", 8, 115, "");
  const std::string header = "Date/Time,What,\"Changed to\"\r\n";
  const std::string ps = "\"06.12.2026 10:00:00\",PS,\"RADIO \"\"1\"\"" + std::string(41, ' ') + "\"\r\n";
  EXPECT_EQ(Export(TLogView::Changes), header + ps + "\"06.12.2026 10:00:05\",SYSTEM,\"DEVICE CONNECTED" +
                                           std::string(34, ' ') + "\"\r\n06.12.2026,\"Freq Change\",98.5\r\n");
  EXPECT_EQ(Export(TLogView::ChangesNewestFirstHideSystem), header + ps);
}

// A raw log of Rows rows, read without a database.
class TRawRowsPager final : public ILogPager {
 public:
  explicit TRawRowsPager(int64_t Rows) : Rows_(Rows) {}
  TLogView View() const override { return TLogView::Raw; }
  int64_t Count() override { return Rows_; }
  bool CountIsExact() const override { return true; }
  int32_t SnapshotMaxId() const override { return static_cast<int32_t>(Rows_); }
  int64_t CountUpTo(int32_t) override { return Rows_; }
  void SetExactCount(int64_t) override {}
  TLogKeyIndex IndexUpTo(int32_t, const std::atomic<bool>*) override { return {}; }
  void SetIndex(TLogKeyIndex) override {}
  int64_t Refresh() override { return 0; }
  void Read(int64_t, int, const TLogRowSink&) override {}
  void ReadAll(const TLogRowSink& Row) override {
    TLogRecord r;
    for (int64_t i = 0; i < Rows_; ++i) {
      r.Raw = {static_cast<int32_t>(i + 1), 0, {0xD3C2, 0x0420, 0xE0CD, 0x4142, 0, 0}, 115};
      Row(i, r);
    }
  }

 private:
  int64_t Rows_;
};

// Gives this (single-threaded) process a 100 KiB file system of its own on
// Dir; false where the system lets no user do that. The export writes 64 KiB
// pieces: the second finds room for part of itself, and the system takes
// that part before it says why it takes no more.
bool MountSmallDisk(const std::string& Dir) {
  const std::string uid = std::to_string(getuid()), gid = std::to_string(getgid());
  if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
  const auto put = [](const char* file, const std::string& text) { return std::ofstream(file) << text ? true : false; };
  return put("/proc/self/setgroups", "deny") && put("/proc/self/uid_map", "0 " + uid + " 1") &&
         put("/proc/self/gid_map", "0 " + gid + " 1") &&
         mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         mount("tmpfs", Dir.c_str(), "tmpfs", 0, "size=100k") == 0;
}

// The child process's part: an export onto a disk that fills up half-way
// (where no file system of its own can be had, a file size limit stops the
// writing in the same way). Prints the error and what is left on the disk.
void ExportOntoAFullDisk() {
  namespace fs = std::filesystem;
  std::string report;
  {
    TTempProgramFolder folder(false);
    const std::string disk = folder.File("disk");
    fs::create_directory(disk);
    if (!MountSmallDisk(disk)) {
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{100 << 10, 100 << 10};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    TRawRowsPager rows(20000);  // about 700 KB
    try {
      WriteLogCsv(rows, disk + "/week_raw_log.csv", kFormat);
      report = "written";
    } catch (const std::exception& e) {
      report = Format("%s; %d files left", e.what(), static_cast<int>(std::distance(fs::directory_iterator(disk), {})));
    }
    umount2(disk.c_str(), MNT_DETACH);
  }
  std::fprintf(stderr, "%s\n", report.c_str());
  std::exit(0);
}

// Running out of disk in the middle of writing names the system's reason,
// as a file that cannot be created does, and leaves no partial file.
TEST(LogCsvExport, FullDiskHalfWaySaysWhyAndLeavesNoFile) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a process with no other thread
  EXPECT_EXIT(ExportOntoAFullDisk(), ::testing::ExitedWithCode(0),
              "Cannot write file \"[^\"]*/disk/week_raw_log.csv\": (No space left on device|File too large); "
              "0 files left");
}

TEST_F(LogView, PagesFromEveryPlaceMatchTheWholeLog) {
  FillChanges(Db, 1000);  // one statement: every row has the same time
  Change("2030-01-01 00:00:00", 6, 0, "NEWEST");
  FillRaw(Db, 1000);
  // Near the start, near the end, then forward and backward from rows read.
  const std::vector<std::pair<int64_t, int>> reads = {{0, 100},  {900, 101}, {500, 50}, {550, 30},  {450, 40},
                                                      {490, 10}, {100, 350}, {700, 200}, {580, 2}, {582, 118},
                                                      {990, 50}};
  for (TLogView view : {TLogView::Raw, TLogView::Changes, TLogView::ChangesNewestFirst,
                        TLogView::ChangesNewestFirstHideSystem}) {
    auto whole = MakeFbLogPager(Db, view);
    std::vector<int32_t> expected;
    whole->ReadAll([&](int64_t, const TLogRecord& r) { expected.push_back(r.ID()); });
    for (bool indexed : {false, true}) {
      auto paged = MakeFbLogPager(Db, view);
      if (indexed) paged->SetIndex(Indexed(view, *paged));
      EXPECT_TRUE(PagedIds(*paged, reads) == expected) << "view " << static_cast<int>(view) << " indexed " << indexed;
    }
  }
  auto newest = MakeFbLogPager(Db, TLogView::ChangesNewestFirst);
  newest->SetIndex(Indexed(TLogView::ChangesNewestFirst, *newest));
  newest->Read(0, 1, [](int64_t, const TLogRecord& r) { EXPECT_EQ(Trim(r.Ch.STR), "NEWEST"); });
  // Rows appended later come in on Refresh, first when newest first.
  Change("2031-01-01 00:00:00", 6, 0, "LATER");
  EXPECT_EQ(newest->Count(), 1001);
  EXPECT_EQ(newest->Refresh(), 1);
  EXPECT_EQ(newest->Count(), 1002);
  newest->Read(0, 2, [](int64_t i, const TLogRecord& r) { EXPECT_EQ(Trim(r.Ch.STR), i ? "NEWEST" : "LATER"); });
  newest->Read(257, 1, [](int64_t, const TLogRecord& r) { EXPECT_EQ(r.ID(), 1000 - 255); });
}

// The engine's work for a page, counted in rows it visits: about one page
// anywhere in the log once the pager has its index.
TEST_F(LogView, APageAnywhereVisitsAboutAPage) {
  FillRaw(Db, 5000);
  FillChanges(Db, 5000);
  auto visited = [&] {  // a fresh snapshot of the engine's counters
    return TSql(Db).Int("select sum(r.MON$RECORD_IDX_READS + r.MON$RECORD_SEQ_READS) from MON$RECORD_STATS r "
                        "join MON$ATTACHMENTS a on a.MON$STAT_ID = r.MON$STAT_ID "
                        "where a.MON$ATTACHMENT_ID <> current_connection");
  };
  for (TLogView view : {TLogView::Raw, TLogView::ChangesNewestFirst, TLogView::ChangesNewestFirstHideSystem}) {
    auto p = MakeFbLogPager(Db, view);
    p->SetIndex(Indexed(view, *p));
    for (int64_t first : {int64_t{0}, p->Count() / 2 + 77, p->Count() / 3, p->Count() - 128}) {
      const int64_t before = visited();
      p->Read(first, 128, [](int64_t, const TLogRecord&) {});
      EXPECT_LT(visited() - before, 3 * 128) << "view " << static_cast<int>(view) << " at " << first;
    }
  }
}

TEST_F(LogView, EstimatedCountIsCorrectedByTheExactOne) {
  FillRaw(Db, 10);
  Sql.Exec("delete from LOG_RAW where ID = 5");
  for (bool indexed : {false, true}) {
    auto p = MakeFbLogPager(Db, TLogView::Raw);
    EXPECT_EQ(p->Count(), 10);
    EXPECT_FALSE(p->CountIsExact());
    indexed ? p->SetIndex(Indexed(TLogView::Raw, *p))
            : p->SetExactCount(MakeFbLogPager(Db, TLogView::Raw)->CountUpTo(p->SnapshotMaxId()));
    EXPECT_EQ(p->Count(), 9);
    std::vector<int32_t> ids;
    p->Read(6, 5, [&](int64_t, const TLogRecord& r) { ids.push_back(r.ID()); });
    EXPECT_EQ(ids, (std::vector<int32_t>{8, 9, 10}));
  }
}

class LogViewWindow : public LogView {
 protected:
  LogViewWindow() { EnsureQApplication(); }
  static QString Cell(QTableView* g, int row, int col) { return g->model()->index(row, col).data().toString(); }
  static QStringList ShownTitles(QTableView* g) {
    QStringList t;
    for (int c = 0; c < g->model()->columnCount(); ++c)
      if (!g->isColumnHidden(c)) t << g->model()->headerData(c, Qt::Horizontal).toString();
    return t;
  }
};

TEST_F(LogViewWindow, ShowsLogsColumnsAndNewRows) {
  Change("2026-12-06 10:00:00", 6, 0, "FIRST");
  Change("2026-12-06 11:00:00", 200, 0, "PROGRAM CLOSED");
  Raw(0xD3C2, 0x0420, 0xE0CD, 0x4142, 115);
  TLogViewForm form(nullptr, Db, kFormat);
  EXPECT_EQ(form.windowTitle(), "Log View - Quorvane Broadcast Ltd.");
  EXPECT_EQ(ShownTitles(form.DBGrid1), (QStringList{"Date/Time", "PS", "RTA"}));
  form.show();
  form.CheckListBox1->item(3)->setCheckState(Qt::Checked);
  EXPECT_EQ(ShownTitles(form.DBGrid1), (QStringList{"Date/Time", "FREQ", "PS", "RTA"}));
  // Every column ticked on the shown window opens wide enough for its title.
  for (int c = 0; c < 16; ++c) form.CheckListBox1->item(c)->setCheckState(Qt::Checked);
  for (int c = 0; c < 16; ++c)
    EXPECT_GE(form.DBGrid1->columnWidth(c), form.DBGrid1->horizontalHeader()->sectionSizeHint(c))
        << form.CheckListBox1->item(c)->text().toStdString();
  EXPECT_EQ(Cell(form.DBGrid3, 0, 0) + Cell(form.DBGrid3, 0, 1), "00A98.5");
  // As written and standing on the newest row; newest first and filtered after a click.
  EXPECT_EQ(form.DBGrid2->currentIndex().row(), 1);
  form.hideSystem->click();
  EXPECT_EQ(form.DBGrid2->model()->rowCount(), 1);
  EXPECT_EQ(Cell(form.DBGrid2, 0, 1), "PS");
  form.hideSystem->click();
  EXPECT_EQ(Cell(form.DBGrid2, 0, 1), "SYSTEM");
  // New rows appear; a grid on its last row follows them.
  Raw(0xD3C2, 0x2420, 0, 0, 0);
  form.RefreshLogs();
  EXPECT_EQ(form.DBGrid3->model()->rowCount(), 2);
  EXPECT_EQ(form.DBGrid3->currentIndex().row(), 1);
  EXPECT_EQ(Cell(form.DBGrid3, 1, 0), "02A");
}

TEST_F(LogViewWindow, ExportWritesTheChosenLogs) {
  Raw(0xD3C2, 0x0420, 0xE0CD, 0x4142, 115);
  TLogViewForm form(nullptr, Db, kFormat);
  std::string error;
  form.ShowError = [&](const std::string& e) { error = e; };
  namespace fs = std::filesystem;
  const struct {
    TExportSelection which;
    bool ok;
    std::string base;
    std::vector<std::string> files;
  } cases[] = {
      {{false, true, false}, true, Folder.File("a.csv"), {"a.csv_raw_log.csv"}},
      {{true, true, true}, false, Folder.File("b"), {}},
      {{false, false, false}, true, Folder.File("c"), {}},
      {{true, true, true}, true, "", {}},
      {{true, true, true}, true, Folder.File("d"), {"d_change_log.csv", "d_raw_log.csv", "d_extended_log.csv"}},
  };
  for (const auto& c : cases) {
    form.AskLogs = [&](TExportSelection& w) { return w = c.which, c.ok; };
    form.AskFileName = [&] { return c.base; };
    const auto before = std::distance(fs::directory_iterator(Folder.Path()), {});
    form.btnExportClick();
    for (const std::string& f : c.files) EXPECT_TRUE(fs::exists(Folder.File(f))) << f;
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder.Path()), {}), before + std::ssize(c.files)) << c.base;
  }
  // A folder that is gone: a clear message, nothing written.
  form.AskLogs = [](TExportSelection&) { return true; };
  form.AskFileName = [&] { return Folder.File("gone/x"); };
  form.btnExportClick();
  EXPECT_NE(error.find("Cannot create file"), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(Folder.File("gone")));
}

// A large export runs beside the program: its timers keep being served while the
// progress shows, the file is the plain writer's, and a cancel leaves no file.
TEST_F(LogViewWindow, LargeExportKeepsTheProgramLiveAndCancels) {
  FillRaw(Db, 60000);
  TLogViewForm form(nullptr, Db, kFormat);
  form.AskLogs = [](TExportSelection& w) { return w = {false, true, false}, true; };
  form.AskFileName = [&] { return Folder.File("big"); };
  const std::string file = Folder.File("big_raw_log.csv");
  bool cancel = false;
  int ticksWithProgress = 0;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    auto* progress = form.findChild<QProgressDialog*>("ExportProgress");
    if (!progress || !progress->isVisible() || progress->value() <= 0) return;
    ++ticksWithProgress;
    EXPECT_TRUE(progress->labelText().startsWith("Exporting RAW Log: ")) << progress->labelText().toStdString();
    if (cancel) progress->cancel();
  });
  tick.start(1);
  form.btnExportClick();
  EXPECT_GT(ticksWithProgress, 0);
  WriteLogCsv(*MakeFbLogPager(Db, TLogView::Raw), Folder.File("plain.csv"), kFormat);
  EXPECT_EQ(ReadFile(file), ReadFile(Folder.File("plain.csv")));

  std::filesystem::remove(file);
  cancel = true;
  ticksWithProgress = 0;
  form.btnExportClick();
  EXPECT_EQ(ticksWithProgress, 1);
  EXPECT_FALSE(std::filesystem::exists(file));
}

// Raw groups keep arriving while the user scrolls the raw grid up (wheel,
// scroll bar): the grid stays where the user put it; once the user takes it
// back to the last row, it follows the new rows again.
TEST_F(LogViewWindow, ScrolledRawGridStaysWhereTheUserPutItWhileRowsArrive) {
  FillRaw(Db, 400);
  TLogViewForm form(nullptr, Db, kFormat);
  form.show();
  QApplication::processEvents();
  QTableView* g = form.DBGrid3;
  QScrollBar* bar = g->verticalScrollBar();
  const auto rows = [&] { return g->model()->rowCount(); };
  const auto topRow = [&] { return g->rowAt(0); };
  const auto lastShown = [&] { return g->rowAt(g->viewport()->height() - 1); };
  const auto arrive = [&](int n) {
    for (int i = 0; i < n; ++i) Raw(0xD3C2, 0x2420, 0xE0CD, 0x4142, 115);
  };
  ASSERT_GT(bar->maximum(), 0);
  EXPECT_EQ(lastShown(), 399);

  // The wheel, three notches up.
  for (int notch = 0; notch < 3; ++notch) {
    const QPointF at(g->viewport()->width() / 2.0, g->viewport()->height() / 2.0);
    QWheelEvent wheel(at, g->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(g->viewport(), &wheel);
  }
  QApplication::processEvents();
  const int wheeled = topRow();
  ASSERT_LT(lastShown(), 399);
  for (int tick = 0; tick < 3; ++tick) {
    arrive(2);
    form.RefreshLogs();
    QApplication::processEvents();
    EXPECT_EQ(topRow(), wheeled) << "tick " << tick;
  }
  EXPECT_EQ(rows(), 406);

  // The scroll bar dragged to the middle, rows arriving during the drag and
  // after it, taken in by the window's own timer.
  bar->setSliderDown(true);
  bar->setSliderPosition(bar->maximum() / 2);
  const int middle = topRow();
  arrive(1);
  form.RefreshLogs();
  EXPECT_EQ(topRow(), middle);
  bar->setSliderDown(false);
  arrive(3);
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(3 * TLogViewForm::kRefreshMs);
  while (rows() < 410 && std::chrono::steady_clock::now() < until) {
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  QApplication::processEvents();
  EXPECT_EQ(rows(), 410);
  EXPECT_EQ(topRow(), middle);

  // Back at the bottom: new rows come into view again.
  bar->setSliderDown(true);
  bar->setSliderPosition(bar->maximum());
  bar->setSliderDown(false);
  arrive(5);
  form.RefreshLogs();
  QApplication::processEvents();
  EXPECT_EQ(rows(), 415);
  EXPECT_EQ(lastShown(), 414);
}

// A failed export (the change log's file name taken by a folder): its message
// is the window on top, the progress window gone, and OK closes it.
TEST_F(LogViewWindow, FailedExportsMessageIsOnTopAndClosesWithOk) {
  Change("2026-12-06 10:00:00", 6, 0, "FIRST");
  std::filesystem::create_directory(Folder.File("taken_change_log.csv"));
  TLogViewForm form(nullptr, Db, kFormat);
  form.show();
  form.AskLogs = [](TExportSelection& w) {
    w.ExtLog = w.RawLog = false;
    return w.ChangeLog = true;
  };
  form.AskFileName = [&] { return Folder.File("taken"); };
  QString shown;
  bool progressShown = false, onTop = false, closed = false;
  int looks = 0;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    QMessageBox* box = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) box = b;
    if (!box) return;
    // Looked at for a while, so a window that would come over it has.
    auto* progress = form.findChild<QProgressDialog*>("ExportProgress");
    if (progress && progress->isVisible()) progressShown = true;
    if (++looks < 20) return;
    shown = box->text();
    onTop = QApplication::activeModalWidget() == box;
    box->button(QMessageBox::Ok)->click();
    closed = !box->isVisible();
    look.stop();
  });
  look.start(10);
  form.btnExportClick();
  look.stop();
  EXPECT_TRUE(shown.startsWith("Export failed: ")) << shown.toStdString();
  EXPECT_TRUE(shown.contains("directory", Qt::CaseInsensitive)) << shown.toStdString();
  EXPECT_TRUE(onTop);
  EXPECT_FALSE(progressShown);
  EXPECT_TRUE(closed);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(LogViewWindow, Screenshots) {
  for (int i = 0; i < 30; ++i) Change("2026-12-06 10:00:" + std::to_string(10 + i), i % 13, 0, "RADIO ONE");
  FillRaw(Db, 500);
  FillExt(Db, 50);
  TLogViewForm form(nullptr, Db);
  form.show();
  TExportSelectForm select(&form);
  select.show();
  if (!SaveScreenshot(&form, "log_view")) GTEST_SKIP() << "FW_SCREENSHOT_DIR not set";
  EXPECT_TRUE(SaveScreenshot(&select, "export_select"));
}

}  // namespace
