// Chart functions (whole source or period by period) and series sources.
#include <algorithm>
#include <cmath>

#include "chart/ChartConst.h"
#include "chart/ChartEngineSeries.h"
#include "chart/ChartProcs.h"

using ChartConst::Msg;

// --- Functions

void TChartFunction::SetPeriod(double v) {
  if (v < 0) throw ChartException(Msg(ChartConst::cmFunctionPeriodShouldBe0));
  if (v == period_) return;
  period_ = v;
  AskRecalculate();
}

void TChartFunction::SetPeriodStyle(TFunctionPeriodStyle v) {
  if (v == periodStyle_) return;
  periodStyle_ = v;
  AskRecalculate();
}

void TChartFunction::SetPeriodAlign(TFunctionPeriodAlign v) {
  if (v == periodAlign_) return;
  periodAlign_ = v;
  AskRecalculate();
}

void TChartFunction::Assign(const TChartFunction& f) {
  period_ = f.period_;
  periodStyle_ = f.periodStyle_;
  periodAlign_ = f.periodAlign_;
}

std::unique_ptr<TChartFunction> TChartFunction::Clone() const {
  auto f = std::make_unique<TChartFunction>();
  f->Assign(*this);
  f->NoSourceNeeded = NoSourceNeeded;
  return f;
}

void TChartFunction::AskRecalculate() {
  if (!Updating && parent_) parent_->RefreshFromSource();
}

TChartValueList& TChartFunction::SourceValueList(TChartSeries& source) {
  const std::string name = parent_ ? parent_->MandatoryList().ValueSource() : std::string();
  return name.empty() ? source.MandatoryList() : source.ValueListByName(name);
}

void TChartFunction::StoreResultPoint(bool sourceMandatoryIsY, double x, double y) {
  if (sourceMandatoryIsY) parent_->AppendPoint(x, y, {}, clPaletteColor);
  else parent_->AppendPoint(y, x, {}, clPaletteColor);
}

void TChartFunction::PopulateSeries(TChartSeries* source) {
  if (Updating || !source || !parent_) return;
  if (parent_->DataSources().size() >= 2) return MultiSourceCalculation();
  if (source->Count() > 0) PerformCalculation(*source, source->NonMandatoryList());
}

void TChartFunction::PerformCalculation(TChartSeries& source, TChartValueList& positions) {
  if (period_ != 0) ComputeByPeriods(source, positions);
  else ComputeOverAll(source, positions);
}

void TChartFunction::ComputeOnePeriod(TChartSeries& source, double x, int first, int last) {
  StoreResultPoint(source.MandatoryIsY(), x, Calculate(source, first, last));
}

void TChartFunction::ComputeOverAll(TChartSeries& source, TChartValueList& positions) {
  const double y = Calculate(source, -1, -1);
  const double lo = positions.LowestValue(), hi = positions.HighestValue();
  if (!parent_->FunctionResultAsPoint()) {
    StoreResultPoint(source.MandatoryIsY(), lo, y);
    StoreResultPoint(source.MandatoryIsY(), hi, y);
    return;
  }
  const double x = lo + (hi - lo) * 0.5;
  if (!source.MandatoryIsY() && parent_->MandatoryIsY()) parent_->AppendPoint(x, y, {}, clPaletteColor);
  else if (parent_->MandatoryIsY()) StoreResultPoint(source.MandatoryIsY(), x, y);
  else parent_->AppendPoint(y, x, {}, clPaletteColor);
}

void TChartFunction::ComputeByPeriods(TChartSeries& source, TChartValueList& positions) {
  const int n = source.Count();
  if (n == 0) return;
  const bool range = periodStyle_ == psRange;
  // A whole-point period rounds to the nearest count but never below one
  // point (a period of half a point or less would never move on).
  const int points = int(std::clamp(std::nearbyint(period_), 1.0, double(n) + 1));
  const TDateTimeStep step = NearestDateStep(period_);
  double start = positions[0];
  int first = 0;
  while (first <= n - 1) {
    int last = first;
    double from = 0, to = 0, next = start;
    bool filled = true;
    if (range) {
      StepDateTime(positions.DateTime(), true, next, step, period_);
      if (!(next > start)) break;  // the period vanishes in the position's precision
      from = start, to = next - 0.001 * period_;
      while (last < n - 1 && positions[last + 1] < next) ++last;
      filled = positions[first] < next;
    } else {
      last = first + points - 1;
      from = positions[first];
      if (last < n) to = positions[last];
    }
    if (last < n) {
      const double x = periodAlign_ == paFirst ? from : periodAlign_ == paLast ? to : (from + to) * 0.5;
      if (filled) ComputeOnePeriod(source, x, first, last);
      else StoreResultPoint(source.MandatoryIsY(), x, 0);
    }
    if (filled) first = last + 1;
    if (range) start = next;
  }
}

void TChartFunction::MultiSourceCalculation() {
  TChartSeries* widest = nullptr;
  for (TChartComponent* c : parent_->DataSources())
    if (auto* s = dynamic_cast<TChartSeries*>(c); s && (!widest || s->Count() > widest->Count())) widest = s;
  if (!widest) return;
  const std::vector<TChartComponent*> sources = parent_->DataSources();
  for (int i = 0; i < widest->Count(); ++i) {
    double x = widest->NonMandatoryList()[i], y = CombineSources(sources, i);
    if (!widest->MandatoryIsY()) std::swap(x, y);
    parent_->AppendPoint(x, y, widest->LabelAt(i), clPaletteColor);
  }
}

// --- Series sources

TChartSeriesSource::~TChartSeriesSource() {
  destroying_ = true;
  Close();
  NotifyFree();
}

void TChartSeriesSource::SetActive(bool v) {
  if (v == active_) return;
  if (series_) {
    if (v && !Loading) Load();
    else if (!v && !destroying_) series_->Clear();
  }
  active_ = v;
}

void TChartSeriesSource::SetSeries(TChartSeries* s) {
  if (s == series_) return;
  Close();
  TChartSeries* old = series_;
  if (old) RemoveFreeNotification(old);
  series_ = s;
  if (s) {
    FreeNotification(s);
    if (s->DataSource() != this) s->AddDataSource(this);
  } else if (old) {
    old->RemoveDataSource(this);
  }
}

void TChartSeriesSource::Close() {
  if (!Loading) SetActive(false);
}

void TChartSeriesSource::Refresh() {
  if (active_ && !Loading) Load();
}

void TChartSeriesSource::Notification(TChartComponent* freed) {
  if (freed == static_cast<TChartComponent*>(series_)) series_ = nullptr;
}
