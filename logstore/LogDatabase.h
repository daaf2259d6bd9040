#pragma once
// The log database as the data module sees it: the settings row, the three
// logs, their purge and their rows for the viewer. TFbLogDatabase is the
// real one over the embedded engine; tests of other units can put a fake in
// its place.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/DateTime.h"

struct TExtRecord;
namespace fb {
struct TConnectParams;
}

// The CONFIG row as stored: 23 integer columns, NULL read as 0.
struct TConfigRow {
  enum Column {
    PLLHI, PLLLO, INF, ELOGTIME, ELO1, ELO2,
    PRESET1, PRESET2, PRESET3, PRESET4, PRESET5,
    LOGLIVE, OPT1,
    OPT2, OPT3, OPT4, OPT5, OPT6, OPT7, OPT8, OPT9, OPT10, OPT11,
    kCount
  };
  // Column names in table order.
  static const char* const Names[kCount];
  // PLLHI..OPT1 are 16-bit columns, OPT2..OPT11 32-bit.
  static constexpr bool IsSmallInt(int c) { return c <= OPT1; }

  std::array<int32_t, kCount> Col{};
  bool operator==(const TConfigRow&) const = default;
};

// One buffered raw-log row: six words and the frequency value.
struct TRawRecord {
  uint16_t Words[6] = {};
  int32_t Freq = 0;
};

// Rows as the viewer reads them (texts keep the padding of their
// fixed-length columns; a NULL text reads as empty, a NULL number as 0).
struct TChangeLogRow {
  int32_t ID = 0;
  TDateTime DT = 0;
  int32_t SIG = 0;
  int32_t INTD = 0;
  std::string STR;
};

struct TRawLogRow {
  int32_t ID = 0;
  TDateTime DT = 0;
  int32_t BLOCK[6] = {};
  int32_t FREQ = 0;
};

struct TExtLogRow {
  int32_t ID = 0;
  TDateTime DT = 0;
  int32_t FREQ = 0, TP = 0, TA = 0, MS = 0, PI = 0, PTY = 0;
  std::string RTA, RTB, PS;
  int32_t CT = 0, HMS = 0, AFS = 0, DI = 0;
  std::string MODE, RDS, AF;
};

// Rows in each of the four tables.
struct TLogRowCounts {
  int64_t Config = 0, Changes = 0, Raw = 0, Ext = 0;
  bool operator==(const TLogRowCounts&) const = default;
};

// The change log's orders: as written, newest first, and newest first with
// frequency changes, mode changes and system events hidden.
enum class TChangeLogView { AsWritten, NewestFirst, NewestFirstHideSystem };

class ILogDatabase {
 public:
  virtual ~ILogDatabase() = default;

  // Attaches, starts the one transaction and prepares the statements.
  virtual void Open(const std::string& path) = 0;
  // Commits and detaches; nothing happens when not open.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  // The first CONFIG row; false when the table is empty.
  virtual bool ReadConfig(TConfigRow& row) = 0;
  virtual void InsertConfig(const TConfigRow& row) = 0;
  // Rewrites the row read or inserted last, found by its database key;
  // throws unless exactly one row was changed.
  virtual void UpdateConfig(const TConfigRow& row) = 0;

  // Deletes the rows of the three logs written before the cutoff.
  virtual void Purge(TDateTime cutoff) = 0;

  virtual void InsertChange(int32_t sig, int32_t intd, const std::string& str) = 0;
  virtual void InsertRaw(const TRawRecord& rec) = 0;
  virtual void InsertExt(const TExtRecord& rec) = 0;

  // Commits the transaction and keeps its context.
  virtual void Commit() = 0;

  virtual TLogRowCounts CountRows() = 0;
  virtual void ReadChangeLog(TChangeLogView view, const std::function<void(const TChangeLogRow&)>& row) = 0;
  virtual void ReadRawLog(const std::function<void(const TRawLogRow&)>& row) = 0;
  virtual void ReadExtLog(const std::function<void(const TExtLogRow&)>& row) = 0;
};

// The database password the program attaches with.
inline constexpr const char* kLogDatabasePassword = "plumecord";
inline constexpr const char* kLogDatabaseFile = "RDSLOG.FDB";
// The user and password every attachment to the log database uses.
fb::TConnectParams LogDatabaseConnectParams();

std::unique_ptr<ILogDatabase> MakeFbLogDatabase();

// Attaches to a database file and counts the rows of the four tables; throws
// when it cannot attach or a table is missing.
TLogRowCounts InspectLogDatabase(const std::string& path);
