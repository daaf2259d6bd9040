#pragma once
// Named groups of series switched on and off together, and the list view of
// an axis' custom labels.
#include <string>
#include <vector>

#include "chart/ChartEngineSeries.h"

enum TSeriesGroupActive : uint8_t { gaYes, gaNo, gaSome };

// The group only lists its series; a freed series leaves it.
class TSeriesGroup : public TChartComponent {
 public:
  ~TSeriesGroup() override;
  std::string GroupName;
  const std::vector<TChartSeries*>& Series() const { return series_; }
  // Copies the list.
  void SetSeries(const std::vector<TChartSeries*>& list);
  void Add(TChartSeries* s);
  // gaYes for an empty group or all active, gaNo for none, else gaSome.
  TSeriesGroupActive Active() const;
  // gaYes / gaNo switch every series in order; gaSome or the present value: nothing.
  void SetActive(TSeriesGroupActive v);

 protected:
  void Notification(TChartComponent* freed) override;

 private:
  std::vector<TChartSeries*> series_;
};

// The custom labels of one axis as a list.
class TAxisItems {
 public:
  explicit TAxisItems(TChartAxis& axis) : axis_(axis) {}
  TAxisItem& Add(double value, const std::string& text);
  TAxisItem& Add(double value) { return Add(value, {}); }
  // The axis goes back to its automatic labels.
  void Clear() { axis_.ClearItems(); }
  int Count() const { return axis_.ItemCount(); }
  TAxisItem& operator[](int i) { return axis_.Item(i); }
  // Clears, then adds a copy (value and text) of each of `source`'s items.
  void Assign(TAxisItems& source);

 private:
  TChartAxis& axis_;
};
