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
