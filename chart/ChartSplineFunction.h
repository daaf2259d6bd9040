#pragma once
// The smoothing chart function over the B-spline of ChartSpline.h (its code
// lives in ChartSpline.cpp).
#include "chart/ChartEngineSeries.h"
#include "chart/ChartSpline.h"

// A chart function replacing its series' points by the smoothed curve of the
// data source: min(Count x Factor, 600) + 1 points, X from the source's
// positions, Y from the value list the series reads. Period, PeriodStyle and
// PeriodAlign are not used.
class TSmoothingFunction : public TChartFunction {
 public:
  TSmoothingFunction();
  bool Interpolate() const { return interpolate_; }
  void SetInterpolate(bool v);
  int Factor() const { return factor_; }
  // Stored as at least 1.
  void SetFactor(int v);
  // Clears the parent series, sets its list orders (positions ascending when
  // both series are oriented alike) and appends the curve.
  void PopulateSeries(TChartSeries* source) override;
  std::string DesignEditorName() const override { return "TSmoothFuncEditor"; }
  std::unique_ptr<TChartFunction> Clone() const override;

 private:
  bool interpolate_ = true;
  int factor_ = 4;
};
