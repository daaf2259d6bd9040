#include "receiver/DataChange.h"

#include <algorithm>

TDataChange& TDataChangeQueue::Append(uint8_t kind, TDateTime time) {
  if (count_ == items_.size()) items_.emplace_back();
  TDataChange& c = items_[count_++];
  c.Kind = kind;
  c.Time = time;
  c.Value = 0;
  for (std::string& t : c.Texts) t.clear();
  c.Extra = 0;
  c.Extra2 = 0;
  c.AFLines.clear();
  // Stats is left as it was: only kind 36 carries it, and that kind always
  // overwrites it whole.
  return c;
}

void TDataChangeQueue::Trim() {
  if (count_ <= kMaxKept) return;
  const size_t keep = kMaxKept / 2;
  // Rotating swaps the records, so the dropped ones keep their storage for reuse.
  std::rotate(items_.begin(), items_.begin() + static_cast<std::ptrdiff_t>(count_ - keep),
              items_.begin() + static_cast<std::ptrdiff_t>(count_));
  count_ = keep;
}

void TDataChangeListeners::Register(const TOnDataChangeEvent& listener) {
  for (auto it = list_.rbegin(); it != list_.rend(); ++it) {
    if (it->SameCode(listener)) {
      it->Clear();
      return;
    }
  }
  list_.push_back(listener);
}

bool TDataChangeListeners::AnyActive() const {
  for (const TOnDataChangeEvent& l : list_)
    if (l) return true;
  return false;
}

void TDataChangeListeners::CallAll() const {
  // By index over a deque: a listener that registers another one while it
  // runs moves no entry.
  for (size_t i = 0; i < list_.size(); ++i)
    if (list_[i]) list_[i]();
}
