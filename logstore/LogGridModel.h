#pragma once
// A log as a read-only table for the viewer's grids. Rows are read a page at
// a time, around what the grid shows, and a few pages are kept; opening
// costs one page whatever the size of the log, and so does a page anywhere
// once a walk in the background has given the log's index.
#include <QAbstractTableModel>
#include <QString>
#include <atomic>
#include <list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "logstore/LogPager.h"
#include "logstore/LogTexts.h"

class TLogGridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  static constexpr int kPageRows = 128;
  static constexpr size_t kKeptPages = 16;

  TLogGridModel(std::string Database, TLogView View, TDateTimeFormat Format, QObject* Parent = nullptr);
  ~TLogGridModel() override;

  TLogView View() const { return pager_->View(); }
  // Shows the log in another order (a new statement): the model is reset.
  void SetView(TLogView View);
  // Takes in the rows committed since the last look; returns how many.
  int64_t Refresh();
  // Whether the walk in the background has given the log's index (any page
  // is read as fast as the first from then on).
  bool Indexed() const { return indexed_; }
  // The row the grid marks as current (its indicator), -1 for none.
  void SetCurrentRow(int Row);

  int rowCount(const QModelIndex& Parent = {}) const override;
  int columnCount(const QModelIndex& Parent = {}) const override;
  QVariant data(const QModelIndex& Index, int Role) const override;
  QVariant headerData(int Section, Qt::Orientation Orientation, int Role) const override;

 private:
  struct TPage {
    int64_t First = 0;
    std::vector<std::vector<QString>> Rows;
  };
  void Open(TLogView View);
  void IndexInBackground();
  void IndexArrived(unsigned Generation, TLogKeyIndex Index);
  const std::vector<QString>* Row(int64_t Index) const;
  void StopIndexer();

  std::string database_;
  TDateTimeFormat format_;
  std::unique_ptr<ILogPager> pager_;
  int rows_ = 0;
  int current_ = -1;
  mutable std::list<TPage> pages_;  // most recently used first
  std::thread indexer_;
  std::atomic<bool> stopIndex_{false};
  unsigned generation_ = 0;
  bool indexed_ = false;
};
