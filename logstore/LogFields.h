#pragma once
// The texts the log viewer shows for each row of the three logs, computed
// from the stored columns, and the layout of the log tables. A text longer
// than its display field is cut to the field's length.
#include <string>
#include <vector>

#include "logstore/LogDatabase.h"

// Change log: "What" and "Changed to".
struct TChangeLogFields {
  std::string SIGSTR;  // up to 20
  std::string VL;      // up to 50
};
TChangeLogFields ChangeLogFields(const TChangeLogRow& row);

// Raw log: the four blocks in hex, the group type ("02A") and the frequency
// ("98.5", or "MPX" for the MPX input).
struct TRawLogFields {
  std::string b0, b1, b2, b3;
  std::string grp;
  std::string FREQ1;
};
TRawLogFields RawLogFields(const TRawLogRow& row);

// Extended log.
struct TExtLogFields {
  std::string _MODE;   // 8: "??", or "ANT+"/"MPX+" then "RDS"/"RBDS"
  std::string _FREQ;   // 5
  std::string _PI;     // 4
  std::string _PTY;    // 20
  std::string _TP;     // 3
  std::string _TA;     // 3
  std::string _MS;     // 6
  std::string _DI;     // 40
  std::string _AFS;    // 16
  std::string _AF;     // 255
  std::string _CTHMS;  // 50
};
TExtLogFields ExtLogFields(const TExtLogRow& row);

// Display field lengths.
namespace logfield {
inline constexpr size_t kSIGSTR = 20, kVL = 50;
inline constexpr size_t kBlock = 4, kGrp = 3, kFREQ1 = 5;
inline constexpr size_t kMODE = 8, kFREQ = 5, kPI = 4, kPTY = 20, kTP = 3, kTA = 3, kMS = 6, kDI = 40,
                        kAFS = 16, kAF = 255, kCTHMS = 50;
}  // namespace logfield

// One stored column of a log table.
struct TLogColumn {
  const char* Name;
  const char* Type;  // "INTEGER", "SMALLINT", "TIMESTAMP" or "CHAR"
  int Length;        // characters of a CHAR column, 0 otherwise
  bool NotNull;
};
struct TLogTable {
  const char* Name;
  const char* Generator;  // nullptr for CONFIG
  std::vector<TLogColumn> Columns;
};
// CONFIG, LOG_CH, LOG_RAW, LOG_EXT, in that order.
const std::vector<TLogTable>& LogTables();
