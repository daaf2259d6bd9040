#include "chart/ChartEngineGroups.h"

#include <algorithm>

TSeriesGroup::~TSeriesGroup() { NotifyFree(); }

void TSeriesGroup::SetSeries(const std::vector<TChartSeries*>& list) {
  for (TChartSeries* s : series_) RemoveFreeNotification(s);
  series_.clear();
  for (TChartSeries* s : list) Add(s);
}

void TSeriesGroup::Add(TChartSeries* s) {
  if (!s || std::find(series_.begin(), series_.end(), s) != series_.end()) return;
  series_.push_back(s);
  FreeNotification(s);
}

TSeriesGroupActive TSeriesGroup::Active() const {
  const auto active = std::count_if(series_.begin(), series_.end(), [](TChartSeries* s) { return s->Active(); });
  if (active == std::ssize(series_)) return gaYes;
  return active == 0 ? gaNo : gaSome;
}

void TSeriesGroup::SetActive(TSeriesGroupActive v) {
  if (v == gaSome || v == Active()) return;
  for (TChartSeries* s : std::vector<TChartSeries*>(series_)) s->SetActive(v == gaYes);
}

void TSeriesGroup::Notification(TChartComponent* freed) {
  std::erase_if(series_, [&](TChartSeries* s) { return static_cast<TChartComponent*>(s) == freed; });
}

TAxisItem& TAxisItems::Add(double value, const std::string& text) {
  TAxisItem& item = axis_.AddItem(value, text);
  item.SetTransparent(true);
  return item;
}

void TAxisItems::Assign(TAxisItems& source) {
  if (&source == this) return;
  Clear();
  for (int i = 0; i < source.Count(); ++i) Add(source[i].Value(), source[i].Text());
}
