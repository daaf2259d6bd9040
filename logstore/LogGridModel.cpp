#include "logstore/LogGridModel.h"

#include <algorithm>
#include <climits>

#include "platform/HandOff.h"

namespace {
int Clamp(int64_t n) { return static_cast<int>(std::min<int64_t>(n, INT_MAX)); }
}  // namespace

TLogGridModel::TLogGridModel(std::string Database, TLogView View, TDateTimeFormat Format, QObject* Parent)
    : QAbstractTableModel(Parent), database_(std::move(Database)), format_(std::move(Format)) {
  Open(View);
}

TLogGridModel::~TLogGridModel() { StopIndexer(); }

void TLogGridModel::StopIndexer() {
  stopIndex_ = true;
  if (indexer_.joinable()) indexer_.join();
  stopIndex_ = false;
}

void TLogGridModel::Open(TLogView View) {
  StopIndexer();
  ++generation_;
  indexed_ = false;
  pages_.clear();
  current_ = -1;
  pager_ = MakeFbLogPager(database_, View);
  rows_ = Clamp(pager_->Count());
  IndexInBackground();
}

void TLogGridModel::IndexInBackground() {
  // The index (and exact count) reads every row: a pager of its own walks
  // the log while the grid is already shown, pages read from its ends.
  const unsigned generation = generation_;
  const int32_t maxId = pager_->SnapshotMaxId();
  const TLogView view = pager_->View();
  indexer_ = std::thread([this, generation, maxId, view, database = database_] {
    TLogKeyIndex index;
    try {
      index = MakeFbLogPager(database, view)->IndexUpTo(maxId, &stopIndex_);
    } catch (const std::exception&) {
      return;  // the estimate stays
    }
    if (stopIndex_) return;
    QMetaObject::invokeMethod(
        this,
        HandedOff([this, generation, index = std::move(index)]() mutable { IndexArrived(generation, std::move(index)); }),
        Qt::QueuedConnection);
  });
}

void TLogGridModel::IndexArrived(unsigned Generation, TLogKeyIndex Index) {
  if (Generation != generation_) return;
  const int before = rows_;
  pager_->SetIndex(std::move(Index));
  indexed_ = true;
  if (Clamp(pager_->Count()) == before) return;
  beginResetModel();
  pages_.clear();
  rows_ = Clamp(pager_->Count());
  endResetModel();
}

void TLogGridModel::SetView(TLogView View) {
  beginResetModel();
  Open(View);
  endResetModel();
}

int64_t TLogGridModel::Refresh() {
  const int64_t added = pager_->Refresh();
  if (added <= 0) return 0;
  const int total = Clamp(pager_->Count());
  const bool newestFirst = View() == TLogView::ChangesNewestFirst || View() == TLogView::ChangesNewestFirstHideSystem;
  const int first = newestFirst ? 0 : rows_;
  beginInsertRows(QModelIndex(), first, first + (total - rows_) - 1);
  if (newestFirst) {
    pages_.clear();  // every row moved down
    if (current_ >= 0) current_ += total - rows_;
  } else if (!pages_.empty()) {
    pages_.remove_if([&](const TPage& p) { return p.First + kPageRows > rows_; });  // a short last page
  }
  rows_ = total;
  endInsertRows();
  return added;
}

void TLogGridModel::SetCurrentRow(int Row) {
  if (Row == current_) return;
  const int old = current_;
  current_ = Row;
  if (old >= 0 && old < rows_) emit headerDataChanged(Qt::Vertical, old, old);
  if (Row >= 0 && Row < rows_) emit headerDataChanged(Qt::Vertical, Row, Row);
}

int TLogGridModel::rowCount(const QModelIndex& Parent) const { return Parent.isValid() ? 0 : rows_; }

int TLogGridModel::columnCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : static_cast<int>(LogColumnTitles(View()).size());
}

const std::vector<QString>* TLogGridModel::Row(int64_t Index) const {
  const int64_t first = Index / kPageRows * kPageRows;
  auto it = std::find_if(pages_.begin(), pages_.end(), [&](const TPage& p) { return p.First == first; });
  if (it == pages_.end()) {
    TPage page;
    page.First = first;
    std::vector<std::string> texts;
    try {
      pager_->Read(first, kPageRows, [&](int64_t, const TLogRecord& r) {
        LogRowTexts(View(), r, format_, texts);
        std::vector<QString>& row = page.Rows.emplace_back();
        row.reserve(texts.size());
        for (const std::string& t : texts) row.push_back(QString::fromLatin1(t.data(), static_cast<qsizetype>(t.size())));
      });
    } catch (const std::exception&) {
      return nullptr;  // shown empty; the next paint tries again
    }
    pages_.push_front(std::move(page));
    if (pages_.size() > kKeptPages) pages_.pop_back();
    it = pages_.begin();
  } else if (it != pages_.begin()) {
    pages_.splice(pages_.begin(), pages_, it);
    it = pages_.begin();
  }
  const int64_t k = Index - it->First;
  return k < static_cast<int64_t>(it->Rows.size()) ? &it->Rows[static_cast<size_t>(k)] : nullptr;
}

QVariant TLogGridModel::data(const QModelIndex& Index, int Role) const {
  if (Role != Qt::DisplayRole || !Index.isValid()) return {};
  const std::vector<QString>* row = Row(Index.row());
  if (!row || Index.column() >= static_cast<int>(row->size())) return {};
  return (*row)[static_cast<size_t>(Index.column())];
}

QVariant TLogGridModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
  if (Role != Qt::DisplayRole) return {};
  if (Orientation == Qt::Horizontal) {
    const auto& titles = LogColumnTitles(View());
    return Section >= 0 && Section < static_cast<int>(titles.size()) ? QString::fromLatin1(titles[Section].c_str())
                                                                     : QVariant();
  }
  // The indicator column marks the current row.
  return Section == current_ ? QStringLiteral("\u25B6") : QString();
}
