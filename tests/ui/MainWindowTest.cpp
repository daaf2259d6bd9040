// The main window over the simulated receiver, built in this process: its
// start-up and shut-down, the device callbacks, the RDS pages, the group
// lamps, the logs and the statistics display.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocalSocket>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QApplication>
#include <QFontDatabase>
#include <QScreen>
#include <functional>
#include <random>
#include <ranges>

#include "MainWindowSupport.h"
#include "platform/Format.h"
#include "support/DemoBand.h"
#include "ui/DualImage1.h"
#include "ui/FreqDisplay.h"
#include "ui/MainStatistics.h"
#include "ui/RemoteObject.h"
#include "ui/groupanalyze.h"

namespace {

using TBytes = std::vector<uint8_t>;

QString LabelText(QWidget* w, const char* name) {
  auto* l = w->findChild<QLabel*>(name);
  return l ? l->text() : QString("<no %1>").arg(name);
}

bool Lit(QWidget* w, const char* name) {
  auto* l = w->findChild<TDualImage1*>(name);
  return l && l->Enabled();
}

int64_t RawRows(TMainForm& f) { return f.DM->CountRows().Raw; }

}  // namespace

// The start-up's texts, commands and the shut-down are shown end to end in
// ProgramTest; here what the window shows tuned, unplugged and plugged again.
TEST(MainWindow, StartUpUnplugAndReplug) {
  TMainWindowHarness h;
  h.Start();
  ASSERT_TRUE(h.WaitTuned());
  ASSERT_TRUE(PumpUntil([&] { return LabelText(h.form.get(), "lblTuned") == "Tuned at: 87.0"; }));
  EXPECT_EQ(h.form->FreqDisplay->Value(), 870);
  EXPECT_TRUE(Lit(h.form.get(), "imgUSB"));
  EXPECT_EQ(h.CountSig(200, "DEVICE CONNECTED"), 1u);
  // The tuned frequency is stored as the settings' PLL word.
  EXPECT_EQ(h.form->Settings.PLLHi * 256 + h.form->Settings.PLLLo, FreqToPLLWord(true, 87.0));
  auto* set = h.form->findChild<QPushButton*>("btnSET");
  auto* pages = h.form->findChild<QTabWidget*>("pcRDS");
  EXPECT_TRUE(set->isEnabled());
  h.form->RemoteActive = true;  // the remote server runs

  h.devices->Receiver.Unplug();
  ASSERT_TRUE(PumpUntil([&] { return h.devices->CountOf("system", "DEVICE DISCONNECTED") == 1; }));
  PumpFor(1500);  // the reader keeps failing to reconnect; that is no new event
  EXPECT_EQ(h.devices->CountOf("system", "DEVICE DISCONNECTED"), 1u);
  EXPECT_EQ(h.CountSig(200, "DEVICE DISCONNECTED"), 1u);
  EXPECT_FALSE(set->isEnabled());
  EXPECT_FALSE(pages->isEnabled());
  EXPECT_FALSE(Lit(h.form.get(), "imgUSB"));
  EXPECT_EQ(h.form->findChild<QProgressBar*>("pbLevel")->value(), 0);
  // The remote client learns that the receiver is gone, and nothing else.
  const auto vars = h.form->RemoteObject->Vars();
  ASSERT_EQ(vars.size(), 1u);
  EXPECT_EQ(vars[0].Name, "USB");
  EXPECT_EQ(vars[0].Value, "0");

  // Plugged in again: identified, configured and tuned anew.
  h.devices->Receiver.Plug();
  ASSERT_TRUE(h.WaitTuned("87.0", 2));
  EXPECT_TRUE(set->isEnabled());
  const int freq = h.form->RemoteObject->IndexOf("FREQ");
  ASSERT_GE(freq, 0);
  EXPECT_EQ(h.form->RemoteObject->Vars()[freq].Value, "870");
}

TEST(MainWindow, RdsPagesLampsAndLogsFollowTheStation) {
  TMainWindowHarness h;
  h.Start();
  ASSERT_TRUE(h.WaitTuned());
  QWidget* f = h.form.get();
  h.form->Settings.ChangeLogOn = 1;
  h.form->Settings.RawLogOn = 1;
  h.form->ResetDisplay();  // the station's values are reported anew, now logged
  h.form->GroupAnalyzer->show();
  const int64_t raw0 = RawRows(*h.form);
  const uint32_t groups0 = h.form->RDSCollector->Stats.GroupsTotal;

  bool lampSeen = false;
  auto* rtb = f->findChild<QPlainTextEdit*>("memRTB");
  ASSERT_TRUE(PumpUntil(
      [&] {
        lampSeen = lampSeen || Lit(f, "imgGroup0A");
        return LabelText(f, "lbl14PS") == "OTHER FM" && LabelText(f, "lblPSConfirmed") == "RADIO 99" &&
               rtb->toPlainText().startsWith("Now playing") && LabelText(f, "lbl10PTYN") == "POPHITS ";
      },
      40000));
  EXPECT_TRUE(lampSeen);

  // Each value on its page.
  const std::pair<const char*, const char*> labels[] = {
      {"lblPI", "D318"},    {"lblPICaption", "PI"}, {"lblPTY", "Pop Music"}, {"lblTP", "ON"},
      {"lblTA", "OFF"},     {"lblMS", "MUSIC"},     {"lblDI", "1"},          {"lbl0DI3", "STEREO"},
      {"lblAFCount", "3"},  {"lblAFMethod", "A"},   {"lbl4Year", "2024"},    {"lbl1Country", "DE"},
      {"lbl1PIN", "2816"},  {"lbl14PI", "D319"}};
  for (const auto& [name, text] : labels) EXPECT_EQ(LabelText(f, name), text) << name;
  EXPECT_EQ(f->findChild<QListWidget*>("lstAF")->count(), f->findChild<QListWidget*>("lst0AF")->count());
  EXPECT_GE(f->findChild<QListWidget*>("lstAF")->count(), 1);
  EXPECT_TRUE(f->findChild<QLineEdit*>("ed2RTB")->text().startsWith("Now playing"));
  EXPECT_EQ(f->findChild<QLineEdit*>("edPS")->selectedText().size(), 2);
  EXPECT_TRUE(LabelText(f, "lblCT").startsWith("01 May 2024")) << LabelText(f, "lblCT").toStdString();
  EXPECT_LE(f->findChild<QPlainTextEdit*>("memGroups")->document()->blockCount(), 6);
  // The group analyzer counts while it is shown.
  EXPECT_GT(LabelText(h.form->GroupAnalyzer, "GroupCount").toInt(), 0);

  // The enabled kinds of change are logged; every decoded group is a raw row.
  EXPECT_GE(h.CountSig(0, "R"), 1u);
  EXPECT_GE(h.CountSig(6, "RADIO 99"), 1u);
  for (int sig : {7, 9, 10, 11}) EXPECT_GE(h.CountSig(sig), 1u) << sig;
  EXPECT_EQ(RawRows(*h.form) - raw0, int64_t(h.form->RDSCollector->Stats.GroupsTotal - groups0));

  // While the remote server runs, the decoder's values go to its table.
  h.form->RemoteActive = true;
  const auto remote = [&](const std::string& name) {
    const int i = h.form->RemoteObject->IndexOf(name);
    return i < 0 ? std::string("<none>") : h.form->RemoteObject->Vars()[i].Value;
  };
  ASSERT_TRUE(PumpUntil([&] { return remote("PS") == "RADIO 99" && remote("STEREO") == "1"; }, 10000));
  EXPECT_EQ(remote("AFN"), "3A");
  EXPECT_EQ(remote("LVL"), Format("%3.1f", LevelToDbuV(12)));

  // Tuning away resets the tagged controls; the lamps go dark without groups.
  h.form->Tuner->SetFrequency(98.5);
  ASSERT_TRUE(h.WaitTuned("98.5"));
  EXPECT_EQ(h.form->RemoteObject->IndexOf("FREQ"), 0);  // the table starts anew with the frequency
  EXPECT_EQ(remote("FREQ"), "985");
  EXPECT_EQ(LabelText(f, "lblPI"), "");
  EXPECT_EQ(LabelText(f, "lblCT"), "not transmitted");
  EXPECT_TRUE(f->findChild<QPlainTextEdit*>("memRTA")->toPlainText().isEmpty());
  ASSERT_TRUE(PumpUntil([&] {
    for (int t = 0; t < 16; ++t)
      for (const char* v : {"A", "B"})
        if (Lit(f, ("imgGroup" + std::to_string(t) + v).c_str())) return false;
    return true;
  }, 5000));

  // Each decoded group lights its own lamp, by type and version, and no other.
  for (auto [b, lamp] : {std::pair{0x0548, "imgGroup0A"}, {0x2540, "imgGroup2A"}, {0x3D40, "imgGroup3B"},
                         {0xA540, "imgGroup10A"}, {0xFD40, "imgGroup15B"}}) {
    h.form->GroupSeen.fill(0);
    h.form->RDSCollector->ProcessGroup(0xD318, uint16_t(b), 0xD318, 0x2020);
    for (int t = 0; t < 32; ++t) {
      const std::string name = "imgGroup" + std::to_string(t % 16) + (t < 16 ? "A" : "B");
      EXPECT_EQ(Lit(f, name.c_str()), name == lamp) << name << " after " << lamp;
    }
  }

  // The 500 ms rule itself.
  const TDateTime now = h.devices->Clock().Now();
  h.form->GroupSeen[2] = dt::AddMilliseconds(now, -300);
  h.form->GroupSeen[16 + 15] = dt::AddMilliseconds(now, -300);
  h.form->GroupSeen[3] = dt::AddMilliseconds(now, -700);
  h.form->GroupLighterTimer();
  EXPECT_TRUE(Lit(f, "imgGroup2A"));
  EXPECT_TRUE(Lit(f, "imgGroup15B"));
  EXPECT_FALSE(Lit(f, "imgGroup3A"));

  // A DI change while a segment is unknown: shown, not logged.
  const size_t di0 = h.CountSig(5);
  h.form->RDSCollector->ProcessGroup(0xD318, 0x0548 | 0x0004, 0xE36E, 0x5241);  // 0A, DI segment 0 = 1
  PumpFor(50);
  EXPECT_EQ(LabelText(f, "lblDI"), "??");
  EXPECT_EQ(LabelText(f, "lbl0DI0"), "Dynamic");
  EXPECT_EQ(h.CountSig(5), di0);
}

TEST(MainWindow, ExtendedLogOncePerIntervalOnlyWhileTunedAndNotOnHold) {
  TMainWindowHarness h;
  h.Start();
  ASSERT_TRUE(h.WaitTuned());
  TMainForm& f = *h.form;
  IClock& clock = h.devices->Clock();
  const auto ExtRows = [&] { return f.DM->CountRows().Ext; };
  const int64_t e0 = ExtRows();

  // Switched off: nothing, however long ago the last row was.
  f.LastExtLogTime = dt::AddMilliseconds(clock.Now(), -5 * 60000);
  PumpFor(500);
  EXPECT_EQ(ExtRows(), e0);

  // Not yet a whole minute; a stored interval of 0 counts as one minute.
  f.Settings.ExtLogOn = 1;
  for (int minutes : {0, 1}) {
    f.Settings.ExtLogMinutes = minutes;
    f.LastExtLogTime = dt::AddMilliseconds(clock.Now(), -59000);
    PumpFor(500);
    EXPECT_EQ(ExtRows(), e0) << minutes;
  }
  f.LastExtLogTime = dt::AddMilliseconds(clock.Now(), -61000);
  ASSERT_TRUE(PumpUntil([&] { return ExtRows() == e0 + 1; }, 5000));
  PumpFor(1000);
  std::vector<TExtLogRow> rows;
  f.DM->ReadExtLog([&](const TExtLogRow& r) { rows.push_back(r); });
  ASSERT_EQ(int64_t(rows.size()), e0 + 1);
  EXPECT_EQ(rows.back().FREQ, 0);  // channel index of 87.0

  // On hold (a remote band scan): nothing; released: the row follows.
  f.Tuner->SetHold(true);
  f.LastExtLogTime = dt::AddMilliseconds(clock.Now(), -61000);
  PumpFor(1000);
  EXPECT_EQ(ExtRows(), e0 + 1);
  f.Tuner->SetHold(false);
  ASSERT_TRUE(PumpUntil([&] { return ExtRows() == e0 + 2; }, 5000));

  // Untuned (the device is gone): a packet writes nothing.
  h.devices->Receiver.Unplug();
  ASSERT_TRUE(PumpUntil([&] { return !f.Tuner->Tuned(); }));
  f.LastExtLogTime = dt::AddMilliseconds(clock.Now(), -61000);
  uint8_t packet[1 + kStampSize] = {6};
  f.ComData(packet, static_cast<int>(sizeof packet) - 1);
  EXPECT_EQ(ExtRows(), e0 + 2);
}

TEST(MainWindow, GaugesAndStatisticsDisplay) {
  TMainWindowHarness h;
  h.devices->Receiver.Unplug();  // nothing live overwrites what the test shows
  h.Start();
  TMainForm& f = *h.form;

  auto* buffer = f.findChild<QProgressBar*>("pbBuffer");
  EXPECT_EQ(buffer->maximum(), 1000);
  // (-4: a counter that went negative after a reconnection.)
  for (auto [backlog, shown, colour] : {std::tuple{500, 500, Qt::green}, {501, 501, Qt::red}, {-4, 0, Qt::green},
                                        {1000000, 1000, Qt::red}}) {
    f.ComStats(TState{backlog, 0, 50.0, 0, 0});
    EXPECT_EQ(buffer->value(), shown) << backlog;
    EXPECT_EQ(buffer->palette().color(QPalette::Highlight), QColor(colour)) << backlog;
  }

  TGroupAnalyzeForm& ga = *f.GroupAnalyzer;
  TRDSStatistics s;
  // Hidden analyzer: only the main window's BER label changes.
  s.BER = 0.5;
  f.ShowStatistics(s);
  EXPECT_EQ(LabelText(&f, "lblBER"), "BER: 0.5000");
  EXPECT_TRUE(LabelText(&ga, "ber").isEmpty());

  // The line follows a new value and a return to the old one.
  s.BER = 0.25;
  f.ShowStatistics(s);
  EXPECT_EQ(LabelText(&f, "lblBER"), "BER: 0.2500");
  s.BER = 0.5;
  f.ShowStatistics(s);
  EXPECT_EQ(LabelText(&f, "lblBER"), "BER: 0.5000");

  ga.show();
  f.ShowStatistics(s);
  EXPECT_EQ(LabelText(&ga, "ber"), "BER: 0.5000");
  // Two 0A and one 2A, 12 blocks with one of each error class.
  s.GroupsTotal = 3;
  s.GroupCount[0] = 2;
  s.GroupCount[2] = 1;
  s.BlocksTotal = 12;
  s.ErrorBlocks[1] = s.ErrorBlocks[2] = s.ErrorBlocks[3] = 1;
  s.LastTime[0] = dt::EncodeDate(2026, 1, 1) + dt::EncodeTime(10, 0, 1, 5);
  s.PrevTime[0] = dt::EncodeDate(2026, 1, 1) + dt::EncodeTime(10, 0, 0, 905);
  s.Interval[0] = s.IntervalMax[0] = s.IntervalMin[0] = s.IntervalSum[0] = 100;
  s.LastGroup[0] = {{0xD318, 0x0548, 0x4142, 0x0A43}, 1};
  ga.SelectGroup(0);
  for (int i = 0; i < 10; ++i) f.ShowStatistics(s);
  EXPECT_EQ(ga.grpGrid()->item(1, 1)->text(), " 67% (2)");
  EXPECT_EQ(ga.grpGrid()->item(3, 1)->text(), " 33% (1)");
  EXPECT_EQ(LabelText(&ga, "GroupCount"), "3");
  EXPECT_EQ(LabelText(&ga, "insertTime"), "Last appear: 10:00:01.005");
  EXPECT_EQ(LabelText(&ga, "avgTime"), "Average: 100 ms (0.10 sec)");  // not below the minimum
  EXPECT_EQ(LabelText(&ga, "errPerc"), "Error Coverage:  25%  1.00 epg");
  // The data flow of the selected group, never more than seven lines.
  const QStringList flow = ga.Memo1()->toPlainText().split('\n');
  EXPECT_EQ(flow.size(), 7);
  EXPECT_EQ(flow.last(), " 0A D318 0548 4142 AB 0A43  C ");

  // A selection on a fixed cell selects no group: nothing is read for it.
  ga.grpGrid()->setCurrentCell(0, 0);
  ga.Memo1()->clear();
  f.ShowStatistics(s);
  EXPECT_TRUE(ga.Memo1()->toPlainText().isEmpty());

  // The analyzer's reset clears its memo and the decoder's statistics.
  f.RDSCollector->Stats.GroupsTotal = 9;
  AppendBoundedLine(ga.Memo1(), "x", 7);
  ga.findChild<QPushButton*>("Button1")->click();
  EXPECT_TRUE(ga.Memo1()->toPlainText().isEmpty());
  EXPECT_EQ(f.RDSCollector->Stats.GroupsTotal, 0u);
}

// Each block error class in its own cell under its header: classes (and the
// error-free blocks) counted differently, then no block at all.
TEST(MainWindow, ErrorClassCellsShowEachClassUnderItsHeader) {
  TMainWindowHarness h;
  h.devices->Receiver.Unplug();
  h.Start();
  TMainForm& f = *h.form;
  TGroupAnalyzeForm& ga = *f.GroupAnalyzer;
  ga.show();
  QTableWidget* grid = ga.errGrid();
  const auto row = [grid](int r) {
    QStringList cells;
    for (int c = 0; c < grid->columnCount(); ++c) cells << (grid->item(r, c) ? grid->item(r, c)->text() : "<none>");
    return cells;
  };
  EXPECT_EQ(row(0), (QStringList{"2 bits", "5 bits", "fatal"}));

  TRDSStatistics s;
  s.BlocksTotal = 40;
  s.ErrorBlocks[0] = 20, s.ErrorBlocks[1] = 2, s.ErrorBlocks[2] = 6, s.ErrorBlocks[3] = 12;
  f.ShowStatistics(s);
  EXPECT_EQ(row(1), (QStringList{" 5%", "15%", "30%"}));
  EXPECT_EQ(LabelText(&ga, "blockCount"), "Total Blocks Processed: 40");
  EXPECT_EQ(LabelText(&ga, "errBlocks"), "Fault Blocks: 20");
  EXPECT_EQ(LabelText(&ga, "errPerc"), "Error Coverage:  50%  2.00 epg");

  f.ShowStatistics(TRDSStatistics{});
  EXPECT_EQ(row(1), (QStringList{"0%", "0%", "0%"}));
  EXPECT_EQ(LabelText(&ga, "blockCount"), "Total Blocks Processed: 0");
  EXPECT_EQ(LabelText(&ga, "errBlocks"), "Fault Blocks: 0");
  EXPECT_EQ(LabelText(&ga, "errPerc"), "Error Coverage: 0%");
}

// What a memo shows: the lines from the first visible one (the scroll bar
// counts lines) that begin inside the viewport.
static QString VisibleText(QPlainTextEdit* m) {
  QString shown;
  const int top = m->verticalScrollBar()->value();
  int room = m->viewport()->height();
  for (QTextBlock b = m->document()->findBlockByLineNumber(top); b.isValid() && room > 0; b = b.next())
    for (int i = std::max(0, top - b.firstLineNumber()); i < b.layout()->lineCount() && room > 0; ++i) {
      const QTextLine line = b.layout()->lineAt(i);
      room -= int(line.height());
      shown += b.text().mid(line.textStart(), line.textLength()) + '\n';
    }
  return shown;
}

// The 0x0D end marker and other control bytes neither break the memo's lines
// nor let the segment's selection scroll the text out of its two lines.
TEST(MainWindow, RadioTextMemosShowTheirTextWhateverSegmentIsSelected) {
  TMainWindowHarness h;
  h.devices->Receiver.Unplug();
  h.Start();
  for (auto [flag, name] : {std::pair{0, "memRTA"}, {1, "memRTB"}}) {
    auto* memo = Find<QPlainTextEdit>(h.form.get(), name);
    for (std::string t : {std::string("Now on air: the morning show\r"),
                          std::string("Line\nfeed\ttab\x1f unit separator, then the end\r"), std::string(64, 'W')})
      for (t.resize(64, ' '); int s : std::views::iota(0, 16)) {
        const auto word = [&](int i) { return uint16_t(uint8_t(t[i]) << 8 | uint8_t(t[i + 1])); };
        h.form->RDSCollector->ProcessGroup(0xD318, 0x2540 | flag << 4 | s, word(4 * s), word(4 * s + 2));
        SCOPED_TRACE(std::string(name) + " segment " + std::to_string(s) + ": " + t);
        EXPECT_EQ(memo->document()->blockCount(), 1);
        EXPECT_EQ(memo->textCursor().selectedText(),
                  QString::fromStdString(stats::ControlsAsBlanks(t.substr(4 * s, 4))));
        EXPECT_TRUE(VisibleText(memo).startsWith(QString::fromStdString(t.substr(0, 3))));
      }
  }
}

// End to end: a station whose RadioTexts end with the marker, sampled every
// 100 ms for 20 s: once a memo holds text, it always shows it from its start.
TEST(MainWindow, RadioTextStaysInViewWhileTheStationSends) {
  TMainWindowHarness h;
  h.Start(DataFile("radiotext.txt"));
  ASSERT_TRUE(h.WaitTuned());
  QPlainTextEdit* memos[] = {Find<QPlainTextEdit>(h.form.get(), "memRTA"),
                             Find<QPlainTextEdit>(h.form.get(), "memRTB")};
  int received[2] = {0, 0}, hidden[2] = {0, 0};
  for (int sample = 0; sample < 200; ++sample) {
    PumpFor(100);
    for (int i = 0; i < 2; ++i) {
      if (memos[i]->toPlainText().trimmed().isEmpty()) continue;
      ++received[i];
      if (!VisibleText(memos[i]).startsWith(memos[i]->toPlainText().left(20))) ++hidden[i];
    }
  }
  EXPECT_GT(received[0], 100);
  EXPECT_GT(received[1], 100);
  EXPECT_EQ(hidden[0], 0);
  EXPECT_EQ(hidden[1], 0);
}

// The room a line edit gives its text: its contents rectangle less the
// text margins and the edit's own two pixels on each side.
int TextRoom(QLineEdit* e) {
  QStyleOptionFrame opt;
  opt.initFrom(e);
  opt.rect = e->rect();
  opt.lineWidth = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e) : 0;
  const QRect r = e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e).marginsRemoved(e->textMargins());
  return r.width() - 2 * 2;
}

// The demo band's first station, at the window's default size: every text on
// the RDS pages is whole. The memos show both lines of each RadioText inside
// their viewport, the "2 AB" boxes each RadioText from its first character
// (room for any 64 characters), and no label's text is wider than its label.
TEST(MainWindow, RdsPagesShowEveryTextWholeAtTheDefaultSize) {
  TMainWindowHarness h;
  h.Start(TestSourceDir() + "/packaging/demo/band.txt");
  ASSERT_TRUE(h.WaitTuned());
  QWidget* f = h.form.get();
  const TDemoStation& station = DemoStations().front();
  auto* memRTA = Find<QPlainTextEdit>(f, "memRTA");
  auto* memRTB = Find<QPlainTextEdit>(f, "memRTB");
  auto* ed2RTA = Find<QLineEdit>(f, "ed2RTA");
  auto* ed2RTB = Find<QLineEdit>(f, "ed2RTB");
  ASSERT_TRUE(PumpUntil([&] {
    return memRTA->toPlainText().startsWith(QString::fromStdString(station.RadioTextA)) &&
           memRTB->toPlainText().startsWith(QString::fromStdString(station.RadioTextB));
  }, 40000));
  auto* pages = Find<QTabWidget>(f, "pcRDS");
  pages->setCurrentIndex(0);
  QApplication::processEvents();
  for (QPlainTextEdit* memo : {memRTA, memRTB}) {
    SCOPED_TRACE(memo->objectName().toStdString());
    const QString text = memo->toPlainText();
    QTextCursor first(memo->document()), last(memo->document());
    last.setPosition(int(text.trimmed().size()));
    const QRect top = memo->cursorRect(first), bottom = memo->cursorRect(last);
    EXPECT_GE(top.top(), 0);
    EXPECT_GT(bottom.top(), top.top());  // the text takes two lines
    EXPECT_LE(bottom.bottom(), memo->viewport()->height() - 1) << bottom.bottom() << " of " << memo->viewport()->height();
  }
  pages->setCurrentWidget(ed2RTA->parentWidget());
  QApplication::processEvents();
  for (auto [edit, text] : {std::pair{ed2RTA, station.RadioTextA}, {ed2RTB, station.RadioTextB}}) {
    SCOPED_TRACE(edit->objectName().toStdString());
    EXPECT_TRUE(edit->text().startsWith(QString::fromStdString(text)));
    EXPECT_EQ(edit->cursorPosition(), 0);
    EXPECT_LE(edit->fontMetrics().horizontalAdvance(QString(64, 'W')), TextRoom(edit));
    EXPECT_TRUE(edit->parentWidget()->rect().contains(edit->geometry()));
  }
  for (int i = 0; i < pages->count(); ++i) {
    pages->setCurrentIndex(i);
    QApplication::processEvents();
    for (QLabel* label : pages->widget(i)->findChildren<QLabel*>()) {
      if (label->text().isEmpty() || label->wordWrap()) continue;
      SCOPED_TRACE(label->objectName().toStdString() + ": " + label->text().toStdString());
      EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->contentsRect().width());
      EXPECT_TRUE(pages->widget(i)->rect().contains(label->geometry()));
    }
  }
}

// At the window's default size the received-groups memo shows every line it
// keeps whole: inside its viewport, the memo inside its page.
TEST(MainWindow, ReceivedGroupsMemoShowsEveryLineItKeepsWhole) {
  TMainWindowHarness h;
  h.devices->Receiver.Unplug();
  h.Start();
  auto* memo = Find<QPlainTextEdit>(h.form.get(), "memGroups");
  Find<QTabWidget>(h.form.get(), "pcRDS")->setCurrentWidget(memo->parentWidget());
  for (uint16_t i = 0; i < 2 * TMainForm::kGroupMemoLines; ++i)
    h.form->RDSCollector->ProcessGroup(0xD318, uint16_t(0x0540 | (i & 3)), 0xE0CD, uint16_t(0x4142 + i));
  QApplication::processEvents();
  ASSERT_EQ(memo->document()->blockCount(), TMainForm::kGroupMemoLines);
  const int room = memo->viewport()->height();
  for (QTextBlock b = memo->document()->firstBlock(); b.isValid(); b = b.next()) {
    const QRect line = memo->cursorRect(QTextCursor(b));
    EXPECT_GE(line.top(), 0) << "line " << b.blockNumber();
    EXPECT_LE(line.bottom(), room - 1) << "line " << b.blockNumber() << " of " << room;
  }
  EXPECT_TRUE(memo->rect().contains(memo->viewport()->geometry()));
  EXPECT_TRUE(memo->parentWidget()->rect().contains(memo->geometry()));
}

// While a station sends, the parts of the window that repaint with every
// block, group or segment (the block-error trace, the BER, the RDS pages with
// their memos and labels) are on screen, whenever the requested repaints are
// done, what drawing them from scratch gives. The memos' lines keep what was
// shaped, and the block-error box and its panel are on top of their sibling
// widgets, so that their repaints do not look through the others.
TEST(MainWindow, ScreenShowsWhatAFreshDrawingShowsWhileTheStationSends) {
  TMainWindowHarness h;
  h.Start(TestSourceDir() + "/packaging/demo/band.txt");
  ASSERT_TRUE(h.WaitTuned());
  QWidget* f = h.form.get();
  auto* groups = Find<QPlainTextEdit>(f, "memGroups");
  ASSERT_TRUE(PumpUntil([&] { return groups->document()->blockCount() >= TMainForm::kGroupMemoLines; }, 20000));
  for (const char* name : {"BlockErrorBox", "Shape1"}) {
    auto* w = Find<QWidget>(f, name);
    const QList<QWidget*> siblings = w->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    EXPECT_EQ(siblings.back(), w) << name;
  }
  std::mt19937 random(5);
  const uint32_t groups0 = h.form->RDSCollector->Stats.GroupsTotal;
  for (int n = 0; n < 60; ++n) {
    PumpFor(static_cast<int>(random() % 60));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    const QImage onScreen = f->screen()->grabWindow(f->winId()).toImage().convertToFormat(QImage::Format_RGB32);
    for (const char* name : {"BlockErrorBox", "lblBER", "pcRDS"}) {
      auto* w = Find<QWidget>(f, name);
      const QRect shown(w->mapTo(f, QPoint(0, 0)), w->size());
      ASSERT_EQ(onScreen.copy(shown), w->grab().toImage().convertToFormat(QImage::Format_RGB32)) << name << " " << n;
    }
  }
  EXPECT_GE(h.form->RDSCollector->Stats.GroupsTotal - groups0, 10u);
  for (const char* name : {"memGroups", "memRTA", "memRTB", "mem0AFDetail"})
    for (QTextBlock b = Find<QPlainTextEdit>(f, name)->document()->firstBlock(); b.isValid(); b = b.next())
      EXPECT_TRUE(b.layout()->cacheEnabled()) << name << " line " << b.blockNumber();
  // The received groups, laid out without shaping, look as the same lines
  // shaped in the fixed-pitch font.
  auto* shown = Find<QPlainTextEdit>(f, "memGroups");
  QWidget window;
  QPlainTextEdit shaped(&window);
  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  fixed.setPointSizeF(shown->font().pointSizeF());
  shaped.setFont(fixed);
  shaped.document()->setDocumentMargin(shown->document()->documentMargin());
  shaped.setPalette(shown->palette());
  shaped.setReadOnly(true);
  shaped.setLineWrapMode(QPlainTextEdit::NoWrap);
  shaped.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  shaped.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  shaped.resize(shown->size());
  window.show();
  // The station still sends: a group that comes while the copy is laid out
  // is copied again.
  for (int tries = 0; tries < 50; ++tries) {
    shaped.setPlainText(shown->toPlainText());
    shaped.verticalScrollBar()->setValue(shown->verticalScrollBar()->value());
    QCoreApplication::processEvents();
    if (shaped.toPlainText() == shown->toPlainText()) break;
  }
  ASSERT_EQ(shown->toPlainText(), shaped.toPlainText());
  ASSERT_EQ(shown->verticalScrollBar()->value(), shaped.verticalScrollBar()->value());
  EXPECT_EQ(shown->viewport()->grab().toImage(), shaped.viewport()->grab().toImage()) << shown->toPlainText().toStdString();
}

// The AF list's detail memo is written again only when what it would show
// differs: the same list leaves the document alone, while a memo the user
// scrolled or selected in shows the list from its start again, as a new one.
TEST(MainWindow, AfDetailMemoRewrittenOnlyWhenItWouldShowOtherwise) {
  TMainWindowHarness h;
  h.devices->Receiver.Unplug();
  h.Start();
  auto* memo = Find<QPlainTextEdit>(h.form.get(), "mem0AFDetail");
  memo->resize(memo->width(), 40);
  int writes = 0;
  QObject::connect(memo->document(), &QTextDocument::contentsChange, [&] { ++writes; });
  std::string detail;
  for (int i = 0; i < 12; ++i) detail += "AF " + std::to_string(i) + ": 87." + std::to_string(i) + " MHz\r\n";
  const auto show = [&](const std::string& text) {
    h.form->RDSCollector->Changes.Clear();
    h.form->RDSCollector->Changes.Append(dcAFList, 0).Texts[2] = text;
    h.form->RDSDataChange();
  };
  show(detail);
  EXPECT_GT(writes, 0);
  const QString shown = memo->toPlainText();
  EXPECT_TRUE(shown.startsWith("AF 0: 87.0 MHz\nAF 1")) << shown.toStdString();
  writes = 0;
  show(detail);
  EXPECT_EQ(writes, 0);
  for (auto move : {std::function<void()>([&] { memo->verticalScrollBar()->setValue(3); }),
                    std::function<void()>([&] { memo->moveCursor(QTextCursor::End); }),
                    std::function<void()>([&] { memo->selectAll(); })}) {
    move();
    show(detail);
    EXPECT_EQ(memo->toPlainText(), shown);
    EXPECT_EQ(memo->verticalScrollBar()->value(), 0);
    EXPECT_EQ(memo->textCursor().position(), 0);
    EXPECT_FALSE(memo->textCursor().hasSelection());
  }
  show("AF 0: 98.5 MHz\r\n");
  EXPECT_EQ(memo->toPlainText(), "AF 0: 98.5 MHz");
}

// (A missing or corrupt database is ProgramTest's.)
TEST(MainWindow, EngineThatCannotBeDeployedStopsTheStartUp) {
  TMainWindowHarness h;
  h.devices = std::make_unique<TSimMainDevices>(h.Folder() + "missing/folder/fenwisk_sim");
  try {
    h.Start();
    FAIL() << "no exception";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Error initializing Firebird embedded");
  }
  EXPECT_TRUE(h.devices->TracesOf("splash").empty());
  PumpFor(300);
  EXPECT_EQ(h.devices->Receiver.TotalOpens(), 0);
}

TEST(MainWindow, ShutDownStopsTimersMessagesAndCallbacksFirst) {
  QTemporaryDir dir;
  TMessageBus bus(dir.path().toStdString() + "/bus");
  TMainWindowHarness h;
  h.Start(DataFile("scenario.txt"), &bus);
  ASSERT_TRUE(h.WaitTuned());
  TMainForm* f = h.form.get();

  // A second start brings the window back from the task bar.
  f->showMinimized();
  PumpFor(50);
  ASSERT_TRUE(TMessageBus::SendToRunning(bus.SocketPath(), kOneInstanceName, 0, 0, 3000));
  ASSERT_TRUE(PumpUntil([&] { return h.devices->CountOf("message", "RZ4410_ONEINSTANCE") == 1; }, 5000));
  EXPECT_FALSE(f->isMinimized());

  // A peer (a log-replay controller) hears the shut-down notice.
  QLocalSocket peer;
  peer.connectToServer(QString::fromStdString(bus.SocketPath()));
  ASSERT_TRUE(peer.waitForConnected(3000));
  ASSERT_TRUE(PumpUntil([&] { return bus.PeerCount() == 1; }, 5000));

  bool checked = false, checkedLate = false;
  bool hookGone = false, timersStopped = false;
  h.devices->SetTraceSink([&](const std::string& what, const std::string& text) {
    if (what != "splash") return;
    if (text == "Unloading Modules") {
      checked = true;
      hookGone = !bus.Dispatch(f->OneInstanceId, 0, 0);
      timersStopped = true;
      for (QTimer* t : f->findChildren<QTimer*>())
        if (t->isActive() && t->interval() >= 1000) timersStopped = false;
      // Callbacks that arrive now are ignored.
      f->ComStatus(stDisconnected);
      f->TunerStatus(tnsPostTune);
    }
    if (text == "Terminating Tuner") {
      // The decoder is gone by now; late callbacks must not reach for it.
      checkedLate = true;
      f->RDSDataChange();
      f->TunerStatus(tnsTune);
      uint8_t packet[12 + kStampSize] = {1, 0x03};
      f->ComData(packet, static_cast<int>(sizeof packet) - 1);
    }
  });
  h.Stop();
  EXPECT_TRUE(checked);
  EXPECT_TRUE(checkedLate);
  EXPECT_TRUE(hookGone);
  EXPECT_TRUE(timersStopped);
  EXPECT_EQ(h.devices->CountOf("system", "DEVICE DISCONNECTED"), 0u);
  ASSERT_TRUE(PumpUntil([&] { return peer.canReadLine(); }, 5000));
  EXPECT_EQ(peer.readLine().toStdString(), "RZ4410_REMOTERESMESSAGE 1 0\n");
  EXPECT_EQ(h.devices->Receiver.Commands().back(), TBytes{0x09});
}
