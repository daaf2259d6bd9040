#include "logstore/LogPager.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "logstore/FbDatabase.h"
#include "logstore/LogRowReader.h"

int32_t TLogRecord::ID() const { return Ch.ID ? Ch.ID : Raw.ID ? Raw.ID : Ext.ID; }
TDateTime TLogRecord::DT() const { return Ch.ID ? Ch.DT : Raw.ID ? Raw.DT : Ext.DT; }

namespace {

// Where a row stands in the view's order: its ID, and for the newest-first
// views its time as well (ID breaks ties between rows of the same time).
struct TKey {
  int32_t Id = 0;
  TDateTime Dt = 0;
};

struct TViewSql {
  const char* Table;
  const char* Columns;
  const char* Filter;  // "" or a condition
  bool ByTime;         // newest first by DT, else as written (by ID)
};

TViewSql SqlOf(TLogView view) {
  switch (view) {
    case TLogView::Changes: return {"LOG_CH", kChangeLogColumns, "", false};
    case TLogView::ChangesNewestFirst: return {"LOG_CH", kChangeLogColumns, "", true};
    case TLogView::ChangesNewestFirstHideSystem:
      return {"LOG_CH", kChangeLogColumns, "SIG <> 8 and SIG <> 12 and SIG <> 200", true};
    case TLogView::Raw: return {"LOG_RAW", kRawLogColumns, "", false};
    case TLogView::Ext: break;
  }
  return {"LOG_EXT", kExtLogColumns, "", false};
}

class TFbLogPager final : public ILogPager {
 public:
  // Anchors kept for reading near rows read before.
  static constexpr size_t kMaxAnchors = 512;

  TFbLogPager(const std::string& database, TLogView view) : view_(view), sql_(SqlOf(view)) {
    att_.Open(database, LogDatabaseConnectParams());
    tra_.Start(att_);
    const std::string filter = *sql_.Filter ? std::string(" and ") + sql_.Filter : "";
    const std::string head = std::string("select first ? skip ? ") + sql_.Columns + " from " + sql_.Table +
                             " where ID <= ?" + filter;
    const char* fwd = sql_.ByTime ? " order by DT desc, ID desc" : " order by ID";
    const char* rev = sql_.ByTime ? " order by DT, ID" : " order by ID desc";
    // Later in the view's order than a key, and earlier.
    const char* after = sql_.ByTime ? " and DT <= ? and (DT < ? or ID < ?)" : " and ID > ?";
    const char* before = sql_.ByTime ? " and DT >= ? and (DT > ? or ID > ?)" : " and ID < ?";
    fromStart_.Prepare(att_, tra_, head + fwd);
    fromEnd_.Prepare(att_, tra_, head + rev);
    afterKey_.Prepare(att_, tra_, head + after + fwd);
    beforeKey_.Prepare(att_, tra_, head + before + rev);
    all_.Prepare(att_, tra_, std::string("select ") + sql_.Columns + " from " + sql_.Table + " where ID <= ?" +
                                 filter + fwd);
    count_.Prepare(att_, tra_, std::string("select count(*), max(ID) from ") + sql_.Table + " where ID <= ?" + filter);
    // Each end from its own index (the engine takes an index for one
    // aggregate per statement only).
    range_.Prepare(att_, tra_, std::string("select (select first 1 ID from ") + sql_.Table +
                                   " order by ID), (select first 1 ID from " + sql_.Table +
                                   " order by ID desc) from RDB$DATABASE");
    countAbove_.Prepare(att_, tra_, std::string("select count(*), max(ID) from ") + sql_.Table +
                                        " where ID > ?" + filter);
  }

  ~TFbLogPager() override {
    try {
      for (fb::TStatement* st : {&fromStart_, &fromEnd_, &afterKey_, &beforeKey_, &all_, &count_, &countAbove_, &range_})
        st->Free();
      tra_.Commit();
      att_.Close();
    } catch (...) {
      // The handles are released by their own destructors.
    }
  }

  TLogView View() const override { return view_; }

  int64_t Count() override {
    if (counted_) return base_ + added_;
    counted_ = true;
    if (*sql_.Filter) {
      count_.SetInt(0, std::numeric_limits<int32_t>::max());
      base_ = FetchCount(count_, maxId_);
      exact_ = true;
    } else {
      range_.Open();
      if (range_.Fetch()) {
        maxId_ = static_cast<int32_t>(range_.GetInt(1));
        base_ = range_.IsNull(0) ? 0 : maxId_ - range_.GetInt(0) + 1;
        range_.CloseCursor();
      }
      exact_ = base_ == 0;
    }
    snapshotMaxId_ = maxId_;
    return base_ + added_;
  }

  bool CountIsExact() const override { return exact_; }
  int32_t SnapshotMaxId() const override { return snapshotMaxId_; }

  int64_t CountUpTo(int32_t maxId) override {
    count_.SetInt(0, maxId);
    int32_t ignored = 0;
    return FetchCount(count_, ignored);
  }

  void SetExactCount(int64_t n) override {
    if (exact_) return;
    exact_ = true;
    if (n == base_) return;
    base_ = n;
    anchors_.clear();  // their places counted from the end may be off
  }

  int64_t Refresh() override {
    if (!counted_) return Count();
    countAbove_.SetInt(0, maxId_);
    countAbove_.Open();
    int32_t max = maxId_;
    const int64_t added = FetchCount(countAbove_, max);
    if (added > 0) {
      maxId_ = max;
      added_ += added;
      if (sql_.ByTime) {  // the new rows come first: every known row moves down
        std::map<int64_t, TKey> moved;
        for (const auto& [index, key] : anchors_) moved.emplace(index + added, key);
        anchors_.swap(moved);
      }
    }
    return added;
  }

  void Read(int64_t first, int n, const TLogRowSink& row) override {
    const int64_t count = Count();
    if (first < 0 || n <= 0 || first >= count) return;
    n = static_cast<int>(std::min<int64_t>(n, count - first));
    const int64_t last = first + n - 1;
    // The cheapest way in: from the start, from the end, or from the nearest
    // row read before, skipping as few rows as possible.
    enum { kStart, kEnd, kAfter, kBefore } how = kStart;
    int64_t skip = first;
    TKey key;
    int64_t anchor = 0;
    if (count - 1 - last < skip) how = kEnd, skip = count - 1 - last;
    auto below = anchors_.lower_bound(first);
    if (below != anchors_.begin()) {
      const auto a = std::prev(below);
      if (first - a->first - 1 < skip) how = kAfter, skip = first - a->first - 1, key = a->second, anchor = a->first;
    }
    if (auto above = anchors_.upper_bound(last); above != anchors_.end() && above->first - last - 1 < skip)
      how = kBefore, skip = above->first - last - 1, key = above->second, anchor = above->first;

    fb::TStatement& st = how == kStart ? fromStart_ : how == kEnd ? fromEnd_ : how == kAfter ? afterKey_ : beforeKey_;
    st.SetInt(0, n);
    st.SetInt(1, skip);
    st.SetInt(2, maxId_);
    if (how == kAfter || how == kBefore) {
      if (sql_.ByTime) {
        st.SetTimestamp(3, key.Dt);
        st.SetTimestamp(4, key.Dt);
        st.SetInt(5, key.Id);
      } else {
        st.SetInt(3, key.Id);
      }
    }
    std::vector<TLogRecord> rows;
    rows.reserve(static_cast<size_t>(n));
    st.Open();
    while (st.Fetch()) rows.push_back(Decode(st));
    // Backward reads come in reverse order.
    const bool backward = how == kEnd || how == kBefore;
    if (backward) std::reverse(rows.begin(), rows.end());
    const int64_t start = how == kStart   ? first
                          : how == kAfter ? anchor + 1 + skip
                          : how == kEnd   ? count - skip - static_cast<int64_t>(rows.size())
                                          : anchor - skip - static_cast<int64_t>(rows.size());
    if (rows.empty()) return;
    if (anchors_.size() + 2 > kMaxAnchors) anchors_.clear();
    anchors_[start] = KeyOf(rows.front());
    anchors_[start + static_cast<int64_t>(rows.size()) - 1] = KeyOf(rows.back());
    for (size_t k = 0; k < rows.size(); ++k) row(start + static_cast<int64_t>(k), rows[k]);
  }

  void ReadAll(const TLogRowSink& row) override {
    all_.SetInt(0, counted_ ? maxId_ : std::numeric_limits<int32_t>::max());
    all_.Open();
    int64_t index = 0;
    TLogRecord rec;
    while (all_.Fetch()) {
      DecodeInto(all_, rec);
      row(index++, rec);
    }
  }

 private:
  TLogRecord Decode(const fb::TStatement& st) const {
    TLogRecord rec;
    DecodeInto(st, rec);
    return rec;
  }
  void DecodeInto(const fb::TStatement& st, TLogRecord& rec) const {
    switch (view_) {
      case TLogView::Raw: ReadRawRow(st, rec.Raw); break;
      case TLogView::Ext: ReadExtRow(st, rec.Ext); break;
      default: ReadChangeRow(st, rec.Ch); break;
    }
  }
  // count(*) and max(ID) of a counting statement; Max is left alone when no
  // row was counted.
  static int64_t FetchCount(fb::TStatement& st, int32_t& max) {
    st.Open();
    int64_t n = 0;
    if (st.Fetch()) {
      n = st.GetInt(0);
      if (n > 0) max = static_cast<int32_t>(st.GetInt(1));
      st.CloseCursor();
    }
    return n;
  }
  static TKey KeyOf(const TLogRecord& r) { return {r.ID(), r.DT()}; }

  TLogView view_;
  TViewSql sql_;
  fb::TAttachment att_;
  fb::TTransaction tra_;
  fb::TStatement fromStart_, fromEnd_, afterKey_, beforeKey_, all_, count_, countAbove_, range_;
  bool counted_ = false;
  bool exact_ = false;
  int64_t base_ = 0;   // rows of the snapshot
  int64_t added_ = 0;  // rows taken in by Refresh
  int32_t maxId_ = 0, snapshotMaxId_ = 0;
  std::map<int64_t, TKey> anchors_;
};

}  // namespace

std::unique_ptr<ILogPager> MakeFbLogPager(const std::string& Database, TLogView View) {
  return std::make_unique<TFbLogPager>(Database, View);
}
