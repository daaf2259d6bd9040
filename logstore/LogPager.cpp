#include "logstore/LogPager.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "logstore/FbDatabase.h"
#include "logstore/LogRowReader.h"

int32_t TLogRecord::ID() const { return Ch.ID ? Ch.ID : Raw.ID ? Raw.ID : Ext.ID; }
TDateTime TLogRecord::DT() const { return Ch.ID ? Ch.DT : Raw.ID ? Raw.DT : Ext.DT; }

namespace {

using TKey = TLogKey;

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
    // In the newest-first views the snapshot's bound must take no index: the
    // engine would first gather every ID of the log for it.
    const std::string bound =
        std::string(" from ") + sql_.Table + (sql_.ByTime ? " where ID + 0 <= ?" : " where ID <= ?");
    const std::string head = std::string("select first ? skip ? ") + sql_.Columns + bound + filter;
    const char* fwd = sql_.ByTime ? " order by DT desc, ID desc" : " order by ID";
    const char* rev = sql_.ByTime ? " order by DT, ID" : " order by ID desc";
    fromStart_.Prepare(att_, tra_, head + fwd);
    fromEnd_.Prepare(att_, tra_, head + rev);
    // Later in the view's order than a key, and earlier. By time these are
    // the rows of the key's time past its ID, then the rows of the times
    // beyond: each a range of the (DT, ID) index, so that no row on the
    // other side of the key is visited.
    if (sql_.ByTime) {
      afterKey_.Prepare(att_, tra_, head + " and DT = ? and ID < ?" + fwd);
      afterRest_.Prepare(att_, tra_, head + " and DT < ?" + fwd);
      beforeKey_.Prepare(att_, tra_, head + " and DT = ? and ID > ?" + rev);
      beforeRest_.Prepare(att_, tra_, head + " and DT > ?" + rev);
    } else {
      afterKey_.Prepare(att_, tra_, head + " and ID > ?" + fwd);
      beforeKey_.Prepare(att_, tra_, head + " and ID < ?" + rev);
    }
    all_.Prepare(att_, tra_, std::string("select ") + sql_.Columns + " from " + sql_.Table + " where ID <= ?" +
                                 filter + fwd);
    keys_.Prepare(att_, tra_, "select ID, DT" + bound + filter + fwd);
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
      for (fb::TStatement* st :
           {&fromStart_, &fromEnd_, &afterKey_, &afterRest_, &beforeKey_, &beforeRest_, &all_, &keys_, &count_,
            &countAbove_, &range_})
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
        minId_ = static_cast<int32_t>(range_.GetInt(0));
        base_ = range_.IsNull(0) ? 0 : maxId_ - minId_ + 1;
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

  TLogKeyIndex IndexUpTo(int32_t maxId, const std::atomic<bool>* stop) override {
    TLogKeyIndex index;
    keys_.SetInt(0, maxId);
    keys_.Open();
    while (keys_.Fetch()) {
      if (stop && stop->load(std::memory_order_relaxed)) {
        keys_.CloseCursor();
        return {};
      }
      if (++index.Rows % TLogKeyIndex::kStep == 0)
        index.Keys.push_back({static_cast<int32_t>(keys_.GetInt(0)), keys_.GetTimestamp(1)});
    }
    return index;
  }

  void SetIndex(TLogKeyIndex index) override {
    Count();
    if (index.Rows != base_) anchors_.clear();  // their places counted from the end may be off
    base_ = index.Rows;
    exact_ = true;
    index_ = std::move(index.Keys);
    // In a newest-first view the rows taken in since come before the index's.
    indexShift_ = sql_.ByTime ? added_ : 0;
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
        indexShift_ += added;
      }
    }
    return added;
  }

  void Read(int64_t first, int n, const TLogRowSink& row) override {
    const int64_t count = Count();
    if (first < 0 || n <= 0 || first >= count) return;
    n = static_cast<int>(std::min<int64_t>(n, count - first));
    const int64_t last = first + n - 1;
    // The cheapest way in: from the start, from the end, or from the
    // nearest known key (of a row read before, of the index, or while the
    // count is estimated from the IDs, the ID the row would have), skipping
    // as few rows as possible.
    enum { kStart, kEnd, kAfter, kBefore } how = kStart;
    int64_t skip = first;
    TKey key;
    int64_t anchor = 0;
    auto consider = [&](decltype(how) h, int64_t s, TKey k, int64_t a) {
      if (s < skip) how = h, skip = s, key = k, anchor = a;
    };
    consider(kEnd, count - 1 - last, {}, 0);
    auto below = anchors_.lower_bound(first);
    if (below != anchors_.begin()) {
      const auto a = std::prev(below);
      consider(kAfter, first - a->first - 1, a->second, a->first);
    }
    if (auto above = anchors_.upper_bound(last); above != anchors_.end())
      consider(kBefore, above->first - last - 1, above->second, above->first);
    // Index entry k stands at row (k + 1) * step - 1 + shift: the last one
    // before First, and the first one after Last.
    const int64_t step = TLogKeyIndex::kStep, known = static_cast<int64_t>(index_.size());
    auto placeOf = [&](int64_t k) { return (k + 1) * step - 1 + indexShift_; };
    auto keyOf = [&](int64_t k) { return index_[static_cast<size_t>(k)]; };
    if (const int64_t k = std::min((first - indexShift_) / step, known) - 1; first - indexShift_ >= step && k >= 0)
      consider(kAfter, first - placeOf(k) - 1, keyOf(k), placeOf(k));
    if (const int64_t k = std::max<int64_t>(0, (last + 2 - indexShift_ + step - 1) / step - 1); k < known)
      consider(kBefore, placeOf(k) - last - 1, keyOf(k), placeOf(k));
    if (!exact_ && !sql_.ByTime && !*sql_.Filter && first > 0)
      consider(kAfter, 0, {minId_ + static_cast<int32_t>(first - 1), 0}, first - 1);

    std::vector<TLogRecord> rows;
    rows.reserve(static_cast<size_t>(n));
    using TBind = std::function<void(fb::TStatement&)>;
    auto fetch = [&](fb::TStatement& st, int64_t limit, int64_t skipped, const TBind& key) {
      if (limit <= 0) return;
      st.SetInt(0, limit);
      st.SetInt(1, skipped);
      st.SetInt(2, maxId_);
      if (key) key(st);
      st.Open();
      while (st.Fetch()) rows.push_back(Decode(st));
    };
    const bool keyed = how == kAfter || how == kBefore;
    if (keyed && sql_.ByTime) {
      // Two ranges: the rows to skip are dropped here, as the first range
      // may hold fewer of them.
      const int64_t want = skip + n;
      fetch(how == kAfter ? afterKey_ : beforeKey_, want, 0, [&](fb::TStatement& st) {
        st.SetTimestamp(3, key.Dt);
        st.SetInt(4, key.Id);
      });
      fetch(how == kAfter ? afterRest_ : beforeRest_, want - static_cast<int64_t>(rows.size()), 0,
            [&](fb::TStatement& st) { st.SetTimestamp(3, key.Dt); });
      rows.erase(rows.begin(), rows.begin() + std::min<int64_t>(skip, static_cast<int64_t>(rows.size())));
    } else {
      fb::TStatement& st = how == kStart ? fromStart_ : how == kEnd ? fromEnd_ : how == kAfter ? afterKey_ : beforeKey_;
      fetch(st, n, skip, keyed ? TBind([&](fb::TStatement& s) { s.SetInt(3, key.Id); }) : nullptr);
    }
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
  fb::TStatement fromStart_, fromEnd_, afterKey_, afterRest_, beforeKey_, beforeRest_, all_, keys_, count_,
      countAbove_, range_;
  bool counted_ = false;
  bool exact_ = false;
  int64_t base_ = 0;   // rows of the snapshot
  int64_t added_ = 0;  // rows taken in by Refresh
  int32_t minId_ = 0, maxId_ = 0, snapshotMaxId_ = 0;
  std::map<int64_t, TKey> anchors_;
  std::vector<TKey> index_;  // the snapshot's index, its rows shifted down by
  int64_t indexShift_ = 0;        // the rows taken in before them

};

}  // namespace

std::unique_ptr<ILogPager> MakeFbLogPager(const std::string& Database, TLogView View) {
  return std::make_unique<TFbLogPager>(Database, View);
}
