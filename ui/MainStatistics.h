#pragma once
// The texts of the statistics display: the BER label of the main window and
// the cells and labels of the group analyzer. Pure functions, so the texts can
// be checked without a window.
#include <cstdint>
#include <string>

#include "platform/DateTime.h"
#include "receiver/DataChange.h"

namespace stats {

// Group types are indexed version * 16 + type (0 = 0A, 16 = 0B, 31 = 15B).
constexpr int kGroupKinds = TRDSStatistics::kTypes;
// IntervalMin holds this until a second group of the type arrived.
constexpr uint32_t kNoMinimum = TRDSStatistics::kNoMinimum;

// "BER: %1.4f".
std::string BerText(double ber);
// One grpGrid cell: "%3.0f%s (%d)" of the share in percent, "%" and the count;
// "  0% (0)" while no group was counted at all.
std::string GroupCellText(uint32_t count, uint32_t groupsTotal);
// "0A" .. "15B" for index 0..31; empty outside.
std::string GroupName(int index);
// Index of a grpGrid cell (column 1 = A, 2 = B; rows 1..16 = types 0..15);
// -1 for a fixed cell or a cell outside the grid.
int GroupIndexOfCell(int column, int row);
// "hh:mm:ss.zzz" of a time of day.
std::string TimeOfDayText(TDateTime t);
// "<prefix><ms> ms (<seconds %2.2f> sec)".
std::string IntervalText(const char* prefix, int64_t ms);
// "Max: ..." or "Max: ??" while the maximum is 0.
std::string MaxTimeText(uint32_t maxMs);
// "Min: ..." or "Min: ??" while the minimum is still kNoMinimum.
std::string MinTimeText(uint32_t minMs);
// "Average: ..." of the sum over the count - 1 intervals that count groups
// span (integer division); "Average: ??" for a single group, empty for none.
std::string AverageTimeText(uint64_t sumMs, uint32_t count);
// Control bytes (below 32) as blanks, one for one, so that raw RDS texts
// neither break lines nor shift their positions.
std::string ControlsAsBlanks(std::string s);
// One data-flow line of the selected group: name, blocks A, B, C, the two
// characters of C, block D and the two characters of D (control characters
// as blanks).
std::string DataFlowLine(int index, uint16_t a, uint16_t b, uint16_t c, uint16_t d);
// One errGrid cell: "%2.0f%s" of the class's share of all blocks; "0%" with
// no blocks yet.
std::string ErrorCellText(uint32_t errors, uint32_t blocksTotal);
// "Error Coverage: %3.0f%s  %1.2f epg" (faults per group of four blocks);
// "Error Coverage: 0%" with no blocks yet.
std::string ErrorCoverageText(uint32_t faults, uint32_t blocksTotal);
std::string BlockCountText(uint32_t blocksTotal);
std::string FaultBlocksText(uint32_t faults);

}  // namespace stats
