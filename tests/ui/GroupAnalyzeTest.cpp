// The group analyzer window: its grids, the bounded memo and the reset
// button (the statistics texts are in MainStatisticsTest).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include "support/QtApp.h"
#include "ui/groupanalyze.h"

namespace {
QString Cell(QTableWidget* g, int r, int c) { return g->item(r, c) ? g->item(r, c)->text() : QString("<none>"); }
}  // namespace

TEST(GroupAnalyze, GridsEmptyValuesSelectionAndReset) {
  EnsureQApplication();
  TGroupAnalyzeForm form;
  // One row per group number under the header, A and B columns; the grid is
  // as wide as its columns.
  QTableWidget* grp = form.grpGrid();
  ASSERT_EQ(grp->rowCount(), 17);
  ASSERT_EQ(grp->columnCount(), 3);
  EXPECT_EQ(Cell(grp, 16, 0), "15");
  EXPECT_EQ(grp->width(), grp->columnWidth(0) + grp->columnWidth(1) + grp->columnWidth(2) + 4);
  for (const char* name : {"GroupCount", "grpSelName", "avgTime", "errPerc", "ber"})
    EXPECT_TRUE(form.Label(name) && form.Label(name)->text().isEmpty()) << name;

  // The first group cell is selected at start; out of range is ignored.
  EXPECT_EQ(form.SelectedGroupIndex(), 0);
  form.SelectGroup(31);
  EXPECT_EQ(grp->currentRow() * 10 + grp->currentColumn(), 162);
  form.SelectGroup(40);
  EXPECT_EQ(form.SelectedGroupIndex(), 31);

  // Without a decoder to ask the reset still clears; cells outside the grid
  // are no fault.
  AppendBoundedLine(form.Memo1(), "x", TGroupAnalyzeForm::kMemoLines);
  form.findChild<QPushButton*>("Button1")->click();
  EXPECT_TRUE(form.Memo1()->toPlainText().isEmpty());
  SetCellText(form.grpGrid(), 17, 1, "x");
  SetCellText(form.grpGrid(), 1, -1, "x");
  SetCellText(nullptr, 1, 1, "x");
}

// Moved near an edge of the work area the window snaps onto it; farther in it
// stays where it was put.
TEST(GroupAnalyze, SnapsToTheEdgesOfTheWorkArea) {
  EnsureQApplication();
  TGroupAnalyzeForm form;
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  const QRect work = form.screen()->availableGeometry();
  const QSize size = form.frameGeometry().size();
  const int b = TGroupAnalyzeForm::kSnapBuffer;
  struct Case {
    QPoint To, Expected;
  } cases[] = {
      {{work.left() + b, work.top() + 100}, {work.left(), work.top() + 100}},
      {{work.left() + 60, work.top() + 3}, {work.left() + 60, work.top()}},
      {{work.right() + 1 - size.width() - 7, work.bottom() + 1 - size.height() - b},
       {work.right() + 1 - size.width(), work.bottom() + 1 - size.height()}},
      {{work.left() + b + 1, work.top() + b + 1}, {work.left() + b + 1, work.top() + b + 1}},
  };
  for (const Case& c : cases) {
    form.move(c.To);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.frameGeometry().topLeft() == c.Expected; }, 2000))
        << c.To.x() << "," << c.To.y() << " -> " << form.frameGeometry().x() << "," << form.frameGeometry().y();
  }
}

// A memo bounded by AppendBoundedLine shows, after every line, what appending
// and then deleting the oldest line by hand shows: the same lines, scrolled
// alike, pixel for pixel (the received-groups memo and the analyzer's).
TEST(GroupAnalyze, BoundedMemoShowsAsAppendThenDelete) {
  EnsureQApplication();
  for (auto [height, maxLines] : {std::pair{88, 6}, {60, 7}, {200, 6}}) {
    QWidget window;
    window.resize(500, 2 * height + 10);
    QPlainTextEdit bounded(&window), byHand(&window);
    for (QPlainTextEdit* memo : {&bounded, &byHand}) {
      memo->resize(474, height);
      memo->setReadOnly(true);
      memo->setLineWrapMode(QPlainTextEdit::NoWrap);
      memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    byHand.move(0, height + 10);
    window.show();
    for (int i = 0; i < 3 * maxLines; ++i) {
      const QString line = QString("%1  0A  %2 group line").arg(i).arg(QString(i % 5, 'x'));
      AppendBoundedLine(&bounded, line, maxLines);
      byHand.appendPlainText(line);
      QTextDocument* doc = byHand.document();
      while (doc->blockCount() > maxLines) {
        QTextCursor cursor(doc->firstBlock());
        cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
      }
      QCoreApplication::processEvents();
      ASSERT_EQ(bounded.toPlainText(), byHand.toPlainText()) << height << " " << i;
      ASSERT_EQ(bounded.verticalScrollBar()->value(), byHand.verticalScrollBar()->value()) << height << " " << i;
      ASSERT_EQ(bounded.viewport()->grab().toImage(), byHand.viewport()->grab().toImage()) << height << " " << i;
    }
    EXPECT_EQ(bounded.document()->blockCount(), maxLines);
  }
}

// A memo of group lines as the windows have it, for the comparisons below.
static void SetUpGroupMemo(QPlainTextEdit* memo) {
  memo->resize(474, 88);
  memo->setReadOnly(true);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

// A memo that keeps its shaped lines shows on screen, after every change,
// what the same memo drawn from scratch shows, and what a memo without the
// cache shows: through appends beyond its bound, selections, a new text and
// a new font. Its lines keep what was shaped. Once it is full, an append
// does not move the memo's pixels before it is painted again whole: moved,
// they were left on screen a few pixels off, over parts of other lines.
TEST(GroupAnalyze, MemoKeepingShapedLinesShowsWhatAFreshOneShows) {
  EnsureQApplication();
  QWidget window;
  window.resize(500, 210);
  QPlainTextEdit kept(&window), fresh(&window);
  for (QPlainTextEdit* memo : {&kept, &fresh}) SetUpGroupMemo(memo);
  fresh.move(0, 100);
  KeepShapedLines(&kept);
  window.show();
  QCoreApplication::processEvents();
  int moved = 0;
  QObject::connect(&kept, &QPlainTextEdit::updateRequest, [&](const QRect&, int dy) { moved += dy != 0; });

  const auto check = [&](const std::string& step) {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    const QImage onScreen =
        window.screen()->grabWindow(window.winId(), 0, 0, kept.width(), kept.height()).toImage().convertToFormat(
            QImage::Format_RGB32);
    ASSERT_EQ(onScreen, kept.grab().toImage().convertToFormat(QImage::Format_RGB32)) << step;
    ASSERT_EQ(kept.viewport()->grab().toImage(), fresh.viewport()->grab().toImage()) << step;
    for (QTextBlock b = kept.document()->firstBlock(); b.isValid(); b = b.next())
      ASSERT_TRUE(b.layout()->cacheEnabled()) << step << ", line " << b.blockNumber();
  };
  for (int i = 0; i < 20; ++i) {
    const QString line = QString("%1  0A  6204 0130 966B 594C  %2").arg(i).arg(QString(i % 7, QChar(0xE9)));
    const bool full = kept.document()->blockCount() >= 6;
    const int movedBefore = moved;
    AppendBoundedLine(&kept, line, 6);
    if (!full) moved = movedBefore;  // till it is full the old lines stay and move up
    AppendBoundedLine(&fresh, line, 6);
    ASSERT_NO_FATAL_FAILURE(check("append " + std::to_string(i)));
    ASSERT_EQ(kept.verticalScrollBar()->value(), fresh.verticalScrollBar()->value()) << i;
  }
  EXPECT_EQ(moved, 0);
  for (auto [start, end] : {std::pair{3, 9}, {40, 52}, {0, 0}}) {
    for (QPlainTextEdit* memo : {&kept, &fresh}) {
      QTextCursor c(memo->document());
      c.setPosition(start);
      c.setPosition(end, QTextCursor::KeepAnchor);
      memo->setTextCursor(c);
    }
    ASSERT_NO_FATAL_FAILURE(check("selection " + std::to_string(start)));
  }
  for (QPlainTextEdit* memo : {&kept, &fresh}) memo->setPlainText("Now on air\nthe morning show\n\xE4\xF6\xFC");
  ASSERT_NO_FATAL_FAILURE(check("new text"));
  QFont bold = kept.font();
  bold.setBold(true);
  for (QPlainTextEdit* memo : {&kept, &fresh}) memo->setFont(bold);
  ASSERT_NO_FATAL_FAILURE(check("new font"));
}

// Lines of received groups, laid out without shaping in the fixed-pitch
// font, show what the shaped lines show: every group type and version, every
// hexadecimal digit, appended beyond the bound.
TEST(GroupAnalyze, GroupLinesWithoutShapingShowWhatShapedOnesShow) {
  EnsureQApplication();
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  QWidget window;
  window.resize(500, 210);
  QPlainTextEdit unshaped(&window), shaped(&window);
  for (QPlainTextEdit* memo : {&unshaped, &shaped}) {
    SetUpGroupMemo(memo);
    KeepShapedLines(memo);
  }
  shaped.move(0, 100);
  unshaped.setFont(GroupLineFont(fixed));
  shaped.setFont(fixed);
  window.show();
  const char* hex = "0123456789ABCDEF";
  for (int i = 0; i < 32; ++i) {
    const QString line = QString::asprintf("%2d%s:%c%c%c%c %c%c%c%c 62%c4 %c0%c0  ", i / 2, i % 2 ? "B" : "A", hex[i % 16],
                                           hex[(i + 3) % 16], hex[(i + 7) % 16], hex[(i + 11) % 16], hex[15 - i % 16],
                                           hex[(i + 5) % 16], hex[(i + 9) % 16], hex[(i + 13) % 16], hex[i / 2],
                                           hex[(i * 7) % 16], hex[(i * 5) % 16]);
    AppendBoundedLine(&unshaped, line, 6);
    AppendBoundedLine(&shaped, line, 6);
    QCoreApplication::processEvents();
    ASSERT_EQ(unshaped.viewport()->grab().toImage(), shaped.viewport()->grab().toImage()) << line.toStdString();
  }
}
