// The statistics texts of the main window and the group analyzer.
#include <gtest/gtest.h>

#include <tuple>

#include "platform/DateTime.h"
#include "ui/MainStatistics.h"

using namespace stats;

TEST(MainStatistics, GroupCellsWithoutGroupsAndWithShares) {
  // No group yet: every cell reads 0% instead of dividing by zero.
  for (uint32_t count : {0u, 5u}) EXPECT_EQ(GroupCellText(count, 0), "  0% (0)");
  EXPECT_EQ(GroupCellText(3, 3), "100% (3)");
  // A half rounds to even, as the formatting of the original texts does.
  EXPECT_EQ(GroupCellText(1, 200), "  0% (1)");
  EXPECT_EQ(GroupCellText(3, 200), "  2% (3)");
}

TEST(MainStatistics, BerAndErrorClasses) {
  EXPECT_EQ(BerText(0), "BER: 0.0000");

  // No blocks yet: the fixed zero texts, no division.
  EXPECT_EQ(ErrorCellText(7, 0), "0%");
  EXPECT_EQ(ErrorCoverageText(0, 0), "Error Coverage: 0%");
  EXPECT_EQ(BlockCountText(0), "Total Blocks Processed: 0");
  EXPECT_EQ(FaultBlocksText(0), "Fault Blocks: 0");

  EXPECT_EQ(ErrorCellText(1, 4), "25%");
  EXPECT_EQ(ErrorCellText(1, 200), " 0%");
  // Fewer blocks than one group still counts errors per group of four.
  EXPECT_EQ(ErrorCoverageText(3, 2), "Error Coverage: 150%  6.00 epg");
  EXPECT_EQ(ErrorCoverageText(10, 400), "Error Coverage:   2%  0.10 epg");
}

TEST(MainStatistics, SelectedGroupTimes) {
  EXPECT_EQ(IntervalText("Delta time: ", 1500), "Delta time: 1500 ms (1.50 sec)");
  EXPECT_EQ(MaxTimeText(0), "Max: ??");
  EXPECT_EQ(MaxTimeText(87), "Max: 87 ms (0.09 sec)");
  EXPECT_EQ(MinTimeText(kNoMinimum), "Min: ??");
  EXPECT_EQ(MinTimeText(99999), "Min: 99999 ms (100.00 sec)");
  // n groups span n - 1 intervals (the first after a reset adds none), so the
  // average of 100 and 201 ms is 150, never below the minimum; integer division.
  EXPECT_EQ(AverageTimeText(301, 3), "Average: 150 ms (0.15 sec)");
  EXPECT_EQ(AverageTimeText(0, 1), "Average: ??");
  EXPECT_EQ(AverageTimeText(1001, 0), "");
  EXPECT_EQ(AverageTimeText(uint64_t(1) << 33, 2), "Average: 8589934592 ms (8589934.59 sec)");

  const TDateTime t = dt::EncodeDate(2026, 3, 1) + dt::EncodeTime(7, 5, 9, 42);
  EXPECT_EQ(TimeOfDayText(t), "07:05:09.042");
  EXPECT_EQ(TimeOfDayText(0), "00:00:00.000");
}

TEST(MainStatistics, GroupNamesCellsAndDataFlowLines) {
  for (auto [index, name] : {std::pair{15, "15A"}, {16, "0B"}, {31, "15B"}, {-1, ""}, {32, ""}})
    EXPECT_EQ(GroupName(index), name) << index;

  // Fixed cells and cells outside the grid select no group.
  for (auto [column, row, index] : {std::tuple{1, 1, 0}, {2, 1, 16}, {2, 16, 31}, {0, 5, -1}, {1, 0, -1}, {3, 1, -1},
                                    {1, 17, -1}})
    EXPECT_EQ(GroupIndexOfCell(column, row), index) << column << "," << row;

  // Lower-case hex, the characters of C and D, control characters as blanks.
  EXPECT_EQ(DataFlowLine(2, 0x6204, 0x2400, 0x4142, 0x0A43), " 2A 6204 2400 4142 AB 0A43  C ");
  EXPECT_EQ(DataFlowLine(31, 0xd318, 0xf810, 0x0000, 0x1F7F), "15B D318 F810 0000    1F7F  \x7f ");
  // RDS texts are raw bytes: a byte above 127 passes unchanged.
  EXPECT_EQ(DataFlowLine(0, 1, 2, 0xE941, 0x2020), " 0A 0001 0002 E941 \xe9"
                                                   "A 2020    ");
}
