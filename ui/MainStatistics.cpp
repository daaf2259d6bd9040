#include "ui/MainStatistics.h"

#include "platform/Format.h"

namespace stats {

std::string BerText(double ber) { return Format("BER: %1.4f", ber); }

std::string GroupCellText(uint32_t count, uint32_t groupsTotal) {
  // Without a single group the share is undefined; the grid then reads 0%.
  if (groupsTotal == 0) return "  0% (0)";
  return Format("%3.0f%s (%u)", count * 100.0 / groupsTotal, "%", count);
}

std::string GroupName(int index) {
  if (index < 0 || index >= kGroupKinds) return {};
  return std::to_string(index % 16) + (index >= 16 ? "B" : "A");
}

int GroupIndexOfCell(int column, int row) {
  if (column < 1 || column > 2 || row < 1 || row > 16) return -1;
  return (column - 1) * 16 + row - 1;
}

std::string TimeOfDayText(TDateTime t) {
  const dt::TDateParts p = dt::Decode(t);
  return Format("%02d:%02d:%02d.%03d", p.Hour, p.Minute, p.Second, p.MilliSecond);
}

std::string IntervalText(const char* prefix, int64_t ms) {
  return Format("%s%lld ms (%2.2f sec)", prefix, static_cast<long long>(ms), ms / 1000.0);
}

std::string MaxTimeText(uint32_t maxMs) {
  return maxMs == 0 ? std::string("Max: ??") : IntervalText("Max: ", maxMs);
}

std::string MinTimeText(uint32_t minMs) {
  return minMs == kNoMinimum ? std::string("Min: ??") : IntervalText("Min: ", minMs);
}

std::string AverageTimeText(uint64_t sumMs, uint32_t count) {
  if (count == 0) return {};
  // The first group of a type (after a reset too) has no predecessor and adds
  // no interval, so count groups span count - 1 intervals; dividing by count
  // would put the average below the minimum.
  if (count == 1) return "Average: ??";
  return IntervalText("Average: ", static_cast<int64_t>(sumMs / (count - 1)));
}

std::string ControlsAsBlanks(std::string s) {
  for (char& c : s)
    if (static_cast<uint8_t>(c) < 32) c = ' ';
  return s;
}

namespace {
std::string Chars(uint16_t w) {
  return ControlsAsBlanks({static_cast<char>(w >> 8), static_cast<char>(w & 0xFF)});
}
}  // namespace

std::string DataFlowLine(int index, uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
  const std::string cc = Chars(c), dc = Chars(d);
  return Format("%3s %.4X %.4X %.4X %c%c %.4X %c%c ", GroupName(index).c_str(), a, b, c, cc[0], cc[1], d,
                dc[0], dc[1]);
}

std::string ErrorCellText(uint32_t errors, uint32_t blocksTotal) {
  if (blocksTotal == 0) return "0%";
  return Format("%2.0f%s", errors * 100.0 / blocksTotal, "%");
}

std::string ErrorCoverageText(uint32_t faults, uint32_t blocksTotal) {
  if (blocksTotal == 0) return "Error Coverage: 0%";
  return Format("Error Coverage: %3.0f%s  %1.2f epg", faults * 100.0 / blocksTotal, "%",
                faults / (blocksTotal / 4.0));
}

std::string BlockCountText(uint32_t blocksTotal) {
  return "Total Blocks Processed: " + std::to_string(blocksTotal);
}

std::string FaultBlocksText(uint32_t faults) { return "Fault Blocks: " + std::to_string(faults); }

}  // namespace stats
