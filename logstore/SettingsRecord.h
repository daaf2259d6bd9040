#pragma once
// Every setting of the program, as the one CONFIG row of the log database
// holds it: bit fields packed into 16-bit columns, colours and spare values
// in 32-bit columns. TSettingsRecord is the decoded form, one byte per flag.
#include <cstdint>

#include "logstore/LogDatabase.h"

struct TSettingsRecord {
  uint8_t PLLHi = 0;            // PLL word of the last tuned frequency, high byte
  uint8_t PLLLo = 0;            // and low byte
  uint8_t RBDS = 0;             // RBDS presentation
  uint8_t InputAntenna = 0;     // antenna input (0 = MPX input)
  uint8_t SearchStopLevel = 0;  // 0..3
  uint8_t SensitivityDX = 0;    // DX (0 = Local)
  uint8_t RawLogOn = 0;
  uint8_t ExtLogOn = 0;
  uint8_t ChangeLogOn = 0;      // master switch of the change log
  int32_t ExtLogMinutes = 0;
  uint8_t LogFreqChange = 0, LogTP = 0, LogTA = 0, LogMS = 0;
  uint8_t LogPI = 0, LogPTY = 0, LogDI = 0, LogCT = 0;
  uint8_t LogRT = 0, LogPS = 0, LogAF = 0;
  uint8_t Spacing = 0;          // 0..2 (a stored 3 reads as 3)
  uint8_t DeEmphasis = 0;
  uint8_t Presets[5] = {};      // channel indexes
  int32_t KeepDays = 0;         // days log rows are kept
  uint8_t ZoomFromMarker = 0, UserRange = 0, ShowDiscrete = 0;
  uint8_t ShowSmooth = 0, ShowFill = 0, ShowSearchBand = 0;
  int32_t DiscreteColor = 0, SmoothColor = 0, FillColor = 0, BandColor = 0;
  int32_t Opt6A = 0, Opt6B = 0, Opt6C = 0;  // 0..3 each
  int32_t Opt7 = 0, Opt8 = 0, Opt9 = 0, Opt10 = 0, Opt11 = 0;

  bool operator==(const TSettingsRecord&) const = default;
};

// The row written into an empty CONFIG table.
TConfigRow DefaultConfigRow();

// The smallest keep time and extended-log interval a stored row can give:
// below them a row would purge every log at start or write an extended row
// with every data packet.
inline constexpr int32_t kMinKeepDays = 1;
inline constexpr int32_t kMinExtLogMinutes = 1;

// Row -> record: bit by bit, byte fields take the low 8 bits, no range checks
// except that the keep time and the extended-log interval are at least their
// minimum, whoever wrote the row.
TSettingsRecord DecodeConfig(const TConfigRow& row);
// Record -> row: each flag as one bit (any non-zero byte sets it), the 2-bit
// values masked into place, the spare bits written as 0; a value too large
// for its 16-bit column is clamped to the column's range.
TConfigRow EncodeConfig(const TSettingsRecord& s);
