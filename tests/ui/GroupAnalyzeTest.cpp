// The group analyzer window: its initial layout and texts, the bounded memo
// and the reset button.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

#include "support/QtApp.h"
#include "ui/groupanalyze.h"

namespace {
QString Cell(QTableWidget* g, int r, int c) { return g->item(r, c) ? g->item(r, c)->text() : QString("<none>"); }
}  // namespace

TEST(GroupAnalyze, CreationSetsHeadersWidthsAndEmptyValues) {
  EnsureQApplication();
  TGroupAnalyzeForm form;
  EXPECT_EQ(form.windowTitle(), "Group Analyzer - Quorvane Broadcast Ltd.");

  QTableWidget* grp = form.grpGrid();
  ASSERT_EQ(grp->rowCount(), 17);
  ASSERT_EQ(grp->columnCount(), 3);
  EXPECT_EQ(Cell(grp, 0, 1), "Type A");
  EXPECT_EQ(Cell(grp, 0, 2), "Type B");
  for (int r = 1; r <= 16; ++r) {
    EXPECT_EQ(Cell(grp, r, 0), QString::number(r - 1));
    EXPECT_EQ(grp->rowHeight(r), 15);
  }
  EXPECT_EQ(grp->columnWidth(0), 20);
  EXPECT_EQ(grp->width(), grp->columnWidth(0) + grp->columnWidth(1) + grp->columnWidth(2) + 4);

  QTableWidget* err = form.errGrid();
  ASSERT_EQ(err->rowCount(), 2);
  EXPECT_EQ(Cell(err, 0, 0), "2 bits");
  EXPECT_EQ(Cell(err, 0, 1), "5 bits");
  EXPECT_EQ(Cell(err, 0, 2), "fatal");
  EXPECT_EQ(err->width(), 3 * 64 + 4);

  for (const char* name : {"GroupCount", "grpSelName", "insertTime", "pinsertTime", "deltaTime", "maxTime",
                           "minTime", "avgTime", "blockCount", "errPerc", "errBlocks", "ber"}) {
    ASSERT_NE(form.Label(name), nullptr) << name;
    EXPECT_TRUE(form.Label(name)->text().isEmpty()) << name;
  }
  QStringList captions;
  for (QLabel* l : form.findChildren<QLabel*>()) captions << l->text();
  for (const char* fixed : {"Total Groups Processed:", "Selected Group:", "Selected Group Data Flow:",
                            "Total Blocks Processed:", "Error Coverage:", "BER:", "* epg - Error blocks Per Group"})
    EXPECT_TRUE(captions.contains(fixed)) << fixed;
  EXPECT_EQ(form.findChild<QPushButton*>("Button1")->text(), "R&eset Analyzer");

  // The first group cell is selected at start; fixed cells select no group.
  EXPECT_EQ(form.SelectedGroupIndex(), 0);
  form.SelectGroup(31);
  EXPECT_EQ(form.SelectedGroupIndex(), 31);
  EXPECT_EQ(grp->currentRow(), 16);
  EXPECT_EQ(grp->currentColumn(), 2);
  form.SelectGroup(40);  // ignored
  EXPECT_EQ(form.SelectedGroupIndex(), 31);
  grp->setCurrentCell(0, 0);
  EXPECT_EQ(form.SelectedGroupIndex(), -1);
}

TEST(GroupAnalyze, MemoIsBoundedAndResetClearsItAndAsksForAStatisticsReset) {
  EnsureQApplication();
  TGroupAnalyzeForm form;
  for (int i = 0; i < 20; ++i)
    AppendBoundedLine(form.Memo1(), QString("line %1").arg(i), TGroupAnalyzeForm::kMemoLines);
  const QStringList lines = form.Memo1()->toPlainText().split('\n');
  ASSERT_EQ(lines.size(), 7);
  EXPECT_EQ(lines.first(), "line 13");
  EXPECT_EQ(lines.last(), "line 19");

  int resets = 0;
  form.OnResetStatistics = [&] { ++resets; };
  form.findChild<QPushButton*>("Button1")->click();
  EXPECT_EQ(resets, 1);
  EXPECT_TRUE(form.Memo1()->toPlainText().isEmpty());
  // Without a decoder to ask, the button still clears.
  form.OnResetStatistics = nullptr;
  AppendBoundedLine(form.Memo1(), "x", 7);
  form.Button1Click();
  EXPECT_TRUE(form.Memo1()->toPlainText().isEmpty());

  // Cells outside the grid are not written.
  SetCellText(form.grpGrid(), 17, 1, "x");
  SetCellText(form.grpGrid(), 1, -1, "x");
  SetCellText(nullptr, 1, 1, "x");
  SetCellText(form.grpGrid(), 1, 1, " 50% (1)");
  EXPECT_EQ(form.grpGrid()->item(1, 1)->text(), " 50% (1)");
}
