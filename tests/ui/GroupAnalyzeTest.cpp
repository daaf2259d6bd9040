// The group analyzer window: its grids, the bounded memo and the reset
// button (the statistics texts are in MainStatisticsTest).
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

TEST(GroupAnalyze, CreationSetsTheGridsAndEmptyValues) {
  EnsureQApplication();
  TGroupAnalyzeForm form;
  // One row per group number under the header, A and B columns; the grids
  // are as wide as their columns.
  QTableWidget* grp = form.grpGrid();
  ASSERT_EQ(grp->rowCount(), 17);
  ASSERT_EQ(grp->columnCount(), 3);
  EXPECT_EQ(Cell(grp, 1, 0), "0");
  EXPECT_EQ(Cell(grp, 16, 0), "15");
  EXPECT_EQ(grp->width(), grp->columnWidth(0) + grp->columnWidth(1) + grp->columnWidth(2) + 4);
  QTableWidget* err = form.errGrid();
  EXPECT_EQ(err->width(), err->columnWidth(0) + err->columnWidth(1) + err->columnWidth(2) + 4);

  for (const char* name : {"GroupCount", "grpSelName", "insertTime", "pinsertTime", "deltaTime", "maxTime",
                           "minTime", "avgTime", "blockCount", "errPerc", "errBlocks", "ber"}) {
    ASSERT_NE(form.Label(name), nullptr) << name;
    EXPECT_TRUE(form.Label(name)->text().isEmpty()) << name;
  }

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

// (The bounded memo and the reset through the main window are in MainWindowTest.)
TEST(GroupAnalyze, ResetWithoutADecoderAndCellsOutsideTheGrid) {
  EnsureQApplication();
  TGroupAnalyzeForm form;
  AppendBoundedLine(form.Memo1(), "x", TGroupAnalyzeForm::kMemoLines);
  form.findChild<QPushButton*>("Button1")->click();  // no decoder to ask: still clears
  EXPECT_TRUE(form.Memo1()->toPlainText().isEmpty());

  SetCellText(form.grpGrid(), 17, 1, "x");
  SetCellText(form.grpGrid(), 1, -1, "x");
  SetCellText(nullptr, 1, 1, "x");
  SetCellText(form.grpGrid(), 1, 1, " 50% (1)");
  EXPECT_EQ(form.grpGrid()->item(1, 1)->text(), " 50% (1)");
}
