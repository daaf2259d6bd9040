#pragma once
// Reading the logs a window of rows at a time, in the order a view shows
// them, without loading the log: the viewer's grids, the CSV export and the
// log replay all read through a pager. A pager keeps its own attachment, so
// its cursors never disturb the data module's statements; it sees rows once
// the data module has committed them (within about a second).
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "logstore/LogDatabase.h"

// What a pager reads: a log and the order (and filter) it is shown in.
enum class TLogView {
  Changes,                  // change log as written
  ChangesNewestFirst,       // change log by time, newest first
  ChangesNewestFirstHideSystem,  // the same without frequency, mode and system rows
  Raw,                      // raw log as written
  Ext                       // extended log as written
};

// One row of the view's log (only the member of that log is filled).
struct TLogRecord {
  TChangeLogRow Ch;
  TRawLogRow Raw;
  TExtLogRow Ext;
  int32_t ID() const;
  TDateTime DT() const;
};

using TLogRowSink = std::function<void(int64_t Index, const TLogRecord& Row)>;

// Where a row stands in its view's order: its ID, and for the newest-first
// views its time as well (the ID breaks ties between rows of one time).
struct TLogKey {
  int32_t Id = 0;
  TDateTime Dt = 0;
};

// The rows of a view's snapshot and the key of every kStep-th row: a page
// anywhere in the log is read onward from the key just before it, as fast
// as the first page, however long the log.
struct TLogKeyIndex {
  static constexpr int64_t kStep = 128;
  int64_t Rows = 0;
  std::vector<TLogKey> Keys;  // Keys[k] is the key of row (k + 1) * kStep - 1
};

class ILogPager {
 public:
  virtual ~ILogPager() = default;
  virtual TLogView View() const = 0;
  // Rows of the view. The first call takes a snapshot of the log; rows
  // appended later are read only after Refresh took them in. Counting a
  // large log takes a while, so where the view has no filter the first call
  // estimates from the first and last ID (exact unless IDs were skipped);
  // CountUpTo, on a pager of its own in another thread, then gives the
  // exact number for SetExactCount.
  virtual int64_t Count() = 0;
  virtual bool CountIsExact() const = 0;
  // The highest ID of the snapshot.
  virtual int32_t SnapshotMaxId() const = 0;
  // Rows of the view with an ID up to MaxId (counts every row).
  virtual int64_t CountUpTo(int32_t MaxId) = 0;
  // The exact count of the snapshot's rows (rows taken in later are kept).
  virtual void SetExactCount(int64_t N) = 0;
  // Walks the rows of the view with an ID up to MaxId, like CountUpTo, and
  // also notes their keys; gives up (an empty index) once Stop is set.
  virtual TLogKeyIndex IndexUpTo(int32_t MaxId, const std::atomic<bool>* Stop = nullptr) = 0;
  // Takes the snapshot's index: its count is exact, and any page is read
  // from a key near it.
  virtual void SetIndex(TLogKeyIndex Index) = 0;
  // Takes in the rows appended since the snapshot; returns how many there
  // were (in a newest-first view they come before every row read so far).
  virtual int64_t Refresh() = 0;
  // Rows First .. First + N - 1 of the view, in its order (fewer at the end).
  virtual void Read(int64_t First, int N, const TLogRowSink& Row) = 0;
  // Every row of the view in its order, through one cursor.
  virtual void ReadAll(const TLogRowSink& Row) = 0;
};

// A pager on the log database file (attaching with the program's login).
std::unique_ptr<ILogPager> MakeFbLogPager(const std::string& Database, TLogView View);
