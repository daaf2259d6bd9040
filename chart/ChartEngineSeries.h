#pragma once
// Series, the axis panel that owns and draws them, chart functions, series
// sources and the base classes of chart tools.
//
// Ownership and links:
// - The axis panel owns its series (AddSeries hands one over; RemoveSeries
//   hands it back; deleting a series takes it out of its chart).
// - A series owns its value lists, labels, colours, marks and its function.
// - Tools and series sources belong to the window that created them; the
//   chart only lists its tools.
// - Every link between two components (series and its data sources or
//   dependent series, tool and series/axis chart, source and series) is cut
//   on both sides when either one is freed (TChartComponent).
//
// Everything runs on the user-interface thread.
#include <cmath>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "chart/ChartEngine.h"
#include "chart/ChartPanel.h"

class TCustomAxisPanel;
class TChartSeries;
class TChartFunction;
class TChartSeriesSource;

// A series or point colour that was not chosen: the chart's palette decides.
constexpr TColor clPaletteColor = clDefault;

// Raised by series, functions and the axis panel when they refuse a request.
class ChartException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A component that can link to another and hears when that one is freed.
// Links are mutual: whichever side dies first tells the other, which then
// forgets its pointer (Notification must only compare the pointer).
class TChartComponent {
 public:
  TChartComponent() = default;
  virtual ~TChartComponent();
  TChartComponent(const TChartComponent&) = delete;
  TChartComponent& operator=(const TChartComponent&) = delete;

  std::string Name;
  void FreeNotification(TChartComponent* other);
  void RemoveFreeNotification(TChartComponent* other);

 protected:
  virtual void Notification(TChartComponent* freed) { (void)freed; }
  // Called first by the destructors of classes whose Notification work needs
  // the whole object: the others hear of it while this object is still whole.
  void NotifyFree();

 private:
  std::vector<TChartComponent*> links_;
};

// Anything attached to a chart: active flag, pen, brush, parent chart.
class TCustomChartElement : public TChartComponent {
 public:
  TCustomChartElement();
  bool Active() const { return active_; }
  virtual void SetActive(bool v);
  TChartBrush& Brush() { return brush_; }
  TChartPen& Pen() { return pen_; }
  TCustomAxisPanel* ParentChart() const { return parent_; }
  virtual void SetParentChart(TCustomAxisPanel* chart) = 0;
  // Asks the parent chart to repaint.
  virtual void Repaint();

 protected:
  friend class TCustomAxisPanel;
  void Notification(TChartComponent* freed) override;
  TCustomAxisPanel* parent_ = nullptr;
  bool active_ = true;
  TChartBrush brush_;
  TChartPen pen_;
};

// --- Series

enum THorizAxis : uint8_t { aTopAxis, aBottomAxis, aBothHorizAxis, aCustomHorizAxis };
enum TVertAxis : uint8_t { aLeftAxis, aRightAxis, aBothVertAxis, aCustomVertAxis };
// Which changes of a data source reach a dependent series.
enum TRecalcOption : uint8_t { rOnDelete = 1, rOnModify = 2, rOnInsert = 4, rOnClear = 8 };
// What AnnounceValueChange tells the dependent series.
enum TValueEvent : uint8_t { veClear, veAdd, veDelete, veRefresh, veModify };
enum TLegendTextStyle : uint8_t {
  ltsPlain, ltsLeftValue, ltsRightValue, ltsLeftPercent, ltsRightPercent, ltsXValue, ltsValue, ltsPercent,
  ltsXAndValue, ltsXAndPercent
};
// The legend splits texts into columns at this character.
constexpr char kLegendColumnSeparator = '\x06';

class TCustomChartSeries : public TCustomChartElement {
 public:
  bool ShowInLegend() const { return showInLegend_; }
  void SetShowInLegend(bool v);
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& v);
  std::string Identifier;
  uint8_t Style = 0;
  // Pixels the series needs beyond its first and last point on each axis.
  virtual void HorizAxisMargins(int& a, int& b) { a = b = 0; }
  virtual void VertAxisMargins(int& a, int& b) { a = b = 0; }

 private:
  bool showInLegend_ = true;
  std::string title_;
};

using TSeriesEvent = std::function<void(TChartSeries& sender)>;
using TSeriesOnAfterAdd = std::function<void(TChartSeries& sender, int valueIndex)>;
using TSeriesOnBeforeAdd = std::function<bool(TChartSeries& sender)>;
using TSeriesClick =
    std::function<void(TChartSeries& sender, int valueIndex, TMouseButton button, TShiftState shift, int x, int y)>;
using TSeriesOnGetMarkText = std::function<void(TChartSeries& sender, int valueIndex, std::string& markText)>;

class TChartSeries : public TCustomChartSeries, public IValueListOwner, public IMarksHost {
 public:
  TChartSeries();
  ~TChartSeries() override;

  // Adding it to a chart hands the ownership to the chart (see
  // TCustomAxisPanel::AddSeries), so the series must live on the heap;
  // nullptr takes it out again and the caller owns it from then on.
  void SetParentChart(TCustomAxisPanel* chart) override;
  void SetActive(bool v) override;

  // --- Points
  // Inserts by X order (XValues' order), then Y and every further list at
  // that index; returns the index, or -1 when OnBeforeAdd refuses.
  virtual int AppendPoint(double x, double y, const std::string& label = {}, TColor color = clPaletteColor);
  // X = Count (a horizontal series: Y = Count).
  int Add(double value, const std::string& label = {}, TColor color = clPaletteColor);
  int AppendEmptyPoint(const std::string& label = {}) { return Add(0, label, clNone); }
  int AppendEmptyPointAt(double x, double y, const std::string& label = {}) { return AppendPoint(x, y, label, clNone); }
  // A null point: stored without colour (clNone), or with a position or
  // value that is not finite (NaN or infinite): a gap without a mark.
  bool PointIsEmpty(int i) const { return PointColorStored(i) == clNone || !PointIsFinite(i); }
  bool PointIsFinite(int i) const { return std::isfinite(xValues_[i]) && std::isfinite(yValues_[i]); }
  int Count() const { return xValues_.Count(); }
  double XValue(int i) const { return xValues_[i]; }
  double YValue(int i) const { return yValues_[i]; }
  double MandatoryValueAt(int i) const { return MandatoryList()[i]; }
  std::string LabelAt(int i) const;
  void SetLabelAt(int i, const std::string& text);
  bool HasLabels() const { return !labels_.empty(); }
  // The stored colour, clPaletteColor when none (no list, or beyond it).
  TColor PointColorStored(int i) const;
  bool HasPointColors() const { return colors_ != nullptr; }
  // The stored colour, else the palette's (ColorEachPoint), else SeriesColor.
  virtual TColor PointColorAt(int i) const;
  // Raises the out-of-bounds message for an index outside 0..Count-1.
  virtual void Delete(int i);
  // Removes `quantity` points from `start` (nothing when start >= Count);
  // with `renumber` the positions become 0..n-1.
  virtual void Delete(int start, int quantity, bool renumber = false);
  virtual void Clear();
  void ExchangePoints(int a, int b);
  // Over the points that are not null for lack of a finite value (the
  // value lists' own statistics when the other list is all finite).
  double LowestX() { return yValues_.AllFinite() ? xValues_.LowestValue() : FiniteExtreme(xValues_, false); }
  double HighestX() { return yValues_.AllFinite() ? xValues_.HighestValue() : FiniteExtreme(xValues_, true); }
  double LowestY() { return xValues_.AllFinite() ? yValues_.LowestValue() : FiniteExtreme(yValues_, false); }
  double HighestY() { return xValues_.AllFinite() ? yValues_.HighestValue() : FiniteExtreme(yValues_, true); }
  // The value range the series needs on its vertical axis (an area series
  // widens it by its origin or its stacked sums).
  virtual double MinYValue() { return LowestY(); }
  virtual double MaxYValue() { return HighestY(); }
  // The depth range: the depth order, unless the series has depth values.
  virtual double LowestZ() const { return double(depthIndex_); }
  virtual double HighestZ() const { return double(depthIndex_); }
  virtual bool HasZValues() const { return false; }
  int PointPixelX(int i) const;
  int PointPixelY(int i) const;
  // Values through the series' axes at client position (x, y).
  void ValuesUnderMouse(int x, int y, double& vx, double& vy) const;
  // Index of the point at (x, y); -1 here: the base knows no geometry.
  virtual int Clicked(int x, int y) { (void)x, (void)y; return -1; }

  // --- Value lists
  TChartValueList& XValues() { return xValues_; }
  TChartValueList& YValues() { return yValues_; }
  const TChartValueList& XValues() const { return xValues_; }
  const TChartValueList& YValues() const { return yValues_; }
  const std::vector<TChartValueList*>& AllValueLists() const { return allLists_; }
  // A further list (index 2 on) named `name` (case-insensitive), else YValues.
  TChartValueList& ValueListByName(const std::string& name);
  // The list holding a point's value and the one holding its position.
  TChartValueList& MandatoryList() { return mandatoryIsY_ ? yValues_ : xValues_; }
  const TChartValueList& MandatoryList() const { return mandatoryIsY_ ? yValues_ : xValues_; }
  TChartValueList& NonMandatoryList() { return mandatoryIsY_ ? xValues_ : yValues_; }
  bool MandatoryIsY() const { return mandatoryIsY_; }
  // The visible range may be narrowed by the position order.
  bool NarrowByOrder = true;

  // --- Colours and formats
  TColor SeriesColor() const;  // ChosenColor while none was chosen
  TColor StoredSeriesColor() const { return seriesColor_; }
  virtual void SetSeriesColor(TColor c);
  TColor ChosenColor = clPaletteColor;
  bool ColorEachPoint() const { return colorEachPoint_; }
  void SetColorEachPoint(bool v);
  std::string ValueFormat = "#,##0.###";
  std::string PercentFormat = "##0.## %";
  TCursor Cursor = 0;
  TSeriesMarks& Marks() { return marks_; }
  // Pixels visible marks stand above their points: the callout's length and
  // distance, which the value axis must leave free above the highest point.
  int MarksValueMargin() { return marks_.Visible() ? marks_.ArrowLength() + marks_.Callout().Distance() : 0; }

  // --- Axes
  THorizAxis HorizAxis() const { return horizAxis_; }
  void SetHorizAxis(THorizAxis v);
  TVertAxis VertAxis() const { return vertAxis_; }
  void SetVertAxis(TVertAxis v);
  void SetCustomHorizAxis(TChartAxis* a);
  void SetCustomVertAxis(TChartAxis* a);
  // The axes in use (the chart's bottom/left without a chart: nullptr).
  TChartAxis* GetHorizAxis() const;
  TChartAxis* GetVertAxis() const;
  // The series is drawn against `axis` (an axis kind "both" uses either).
  bool AssociatedToAxis(const TChartAxis& axis) const;
  // The axis along which the points are placed (X for a vertical series).
  bool IsPositionAxis(const TChartAxis& axis) const;

  // --- Data sources, dependents, function
  TChartComponent* DataSource() const { return sources_.empty() ? nullptr : sources_[0]; }
  // nullptr removes every source; else validates and adds it (see AddDataSource).
  void SetDataSource(TChartComponent* source);
  // Needs a chart that accepts the source; takes out older sources, links,
  // then refills from it.
  void AddDataSource(TChartComponent* source);
  void RemoveDataSource(TChartComponent* source);
  const std::vector<TChartComponent*>& DataSources() const { return sources_; }
  const std::vector<TChartSeries*>& DependentSeries() const { return dependents_; }
  TChartFunction* FunctionType() const { return function_.get(); }
  // Owns `f` (the old function is freed), then recomputes.
  void AttachFunction(std::unique_ptr<TChartFunction> f);
  uint8_t RecalcOptions = rOnDelete | rOnModify | rOnInsert | rOnClear;
  // Names of the source lists for labels and colours; setting one refreshes
  // the series from its source.
  const std::string& XLabelsSource() const { return xLabelsSource_; }
  void SetXLabelsSource(const std::string& v);
  const std::string& ColorSource() const { return colorSource_; }
  void SetColorSource(const std::string& v);
  // Replaces the points by `numValues` sample values (a gentle random walk);
  // a negative count raises "FillSampleValues NumValues must be > 0".
  virtual void FillSampleValues(int numValues);
  // Copies the settings of another series (value lists, sources of labels
  // and colours, marks, colours, formats, axes, recalculation options,
  // cursor, depth), its function when this one has none, and its data
  // sources, or without any its points and labels; then refreshes.
  virtual void Assign(const TChartSeries& source);
  // Recomputes from the data source (through the chart); nothing inside an
  // update block or without a chart.
  void RefreshFromSource();
  // Clear, then refill from `source` through the function or by copying.
  virtual void RefillFrom(TChartSeries& source);
  // Copies point `index` of `source` into its X-ordered place.
  virtual void PlaceValue(TChartSeries& source, int index);
  void BeginUpdate() { ++updateNesting_; }
  // The last EndUpdate refreshes the dependents and tells the chart.
  void EndUpdate();
  int UpdateNesting() const { return updateNesting_; }
  void AnnounceValueChange(TValueEvent event, int index);
  bool StoredPoints = false;
  // A function result is shown as one point (an area series shows a line).
  virtual bool FunctionResultAsPoint() const { return true; }
  // Points are loaded from a stored form: no data-source refreshes.
  bool Loading = false;

  // --- Drawing
  // -1/-1 with no points, or when every point lies left of the axis minimum.
  virtual void FindVisibleRange();
  int FirstShownIndex = -1, LastShownIndex = -1;
  bool ForwardValueOrder() const;
  // PaintPoint over the visible range in the draw direction.
  virtual void DrawVisiblePoints();
  virtual void PaintPoint(int i) { (void)i; }
  // BeforeDrawValues, the visible points, AfterDrawValues.
  void DrawValues();
  // Marks of the visible points (every DrawEvery-th).
  virtual void DrawMarks();
  // Hook before the chart lays out (empty here).
  virtual void PrepareForDrawing() {}
  // The legend symbol of value `index` (-1: of the series) in `r`, drawn with
  // the legend's pen: here a rectangle filled in that colour.
  virtual void PaintLegendSymbol(int index, const TRect& r);
  // The point's colour, or the series colour for an index that is no point.
  TColor LegendColorAt(int index) const;
  int Depth = -1;       // -1 automatic
  int DepthOrder = -1;  // -1 automatic
  int DepthIndex() const { return depthIndex_; }
  void SetDepthIndex(int v) { depthIndex_ = v; }
  int StartZ = 0, MiddleZ = 0, EndZ = 0;

  // --- Texts
  std::string LegendTextAt(int i, TLegendTextStyle style);
  std::string ValueText(double v) const;

  // --- Events
  TSeriesEvent AfterDrawValues, BeforeDrawValues, OnClearValues, OnMouseEnter, OnMouseLeave;
  TSeriesOnAfterAdd OnAfterAdd;
  TSeriesOnBeforeAdd OnBeforeAdd;
  TSeriesClick OnClick, OnDblClick;
  TSeriesOnGetMarkText OnGetMarkText;
  bool PointerOver = false;

  // --- IValueListOwner
  void AddValueList(TChartValueList& list) override { allLists_.push_back(&list); }
  void ValueModified(int index) override;
  void SwapPoints(int a, int b) override;
  void ValueListChanged(TChartValueList& list) override;
  // --- IMarksHost
  TChartCanvas3D* MarksCanvas() override;
  ITextMeasure& MarksMeasure() override;
  void MarksChanged() override { Repaint(); }
  std::string MarkValueText(int i) override;
  std::string MarkPercentText(int i) override;
  std::string MarkTotalText() override;
  std::string MarkLabel(int i) override { return LabelAt(i); }
  std::string MarkLegendText(int i) override;
  std::string MarkXValueText(int i) override;

 protected:
  void Notification(TChartComponent* freed) override;
  // Empties every value list, the colours, labels and per-point marks.
  virtual void RemoveAllValues();
  // A new point outside an update block: OnAfterAdd, dependents, repaint.
  virtual void AnnounceNewPoint(int index);
  // Horizontal series (X is the value) call this in their constructor.
  void SetMandatoryIsY(bool v) { mandatoryIsY_ = v; }
  std::string PercentText(double v, double total) const;

 private:
  friend class TCustomAxisPanel;
  void ClearDataSources();
  // Leaving its chart: the series sources are let go (the points stay), so
  // the series neither names nor follows them once it is added again.
  void DropSeriesSources();
  void AddDependent(TChartSeries* s);
  void RemoveDependent(TChartSeries* s);
  void InsertColor(int index, TColor c);
  double FiniteExtreme(const TChartValueList& list, bool highest) const;

  std::vector<TChartValueList*> allLists_;
  TChartValueList xValues_{this, "X"};
  TChartValueList yValues_{this, "Y"};
  std::vector<std::string> labels_;
  std::string xLabelsSource_, colorSource_;
  std::unique_ptr<std::vector<TColor>> colors_;
  TColor seriesColor_ = clPaletteColor;
  bool colorEachPoint_ = false;
  bool mandatoryIsY_ = true;
  TSeriesMarks marks_{this};
  THorizAxis horizAxis_ = aBottomAxis;
  TVertAxis vertAxis_ = aLeftAxis;
  TChartAxis* customHoriz_ = nullptr;
  TChartAxis* customVert_ = nullptr;
  std::vector<TChartComponent*> sources_;
  std::vector<TChartSeries*> dependents_;
  std::unique_ptr<TChartFunction> function_;
  int updateNesting_ = 0;
  int depthIndex_ = 0;
  bool destroying_ = false;
};

// --- Chart functions

enum TFunctionPeriodStyle : uint8_t { psNumPoints, psRange };
enum TFunctionPeriodAlign : uint8_t { paFirst, paCenter, paLast };

// Computes its series' points from the data source, over the whole source
// (Period 0) or period by period. The base calculation yields 0; function
// classes override Calculate/CombineSources or PopulateSeries.
class TChartFunction {
 public:
  TChartFunction() = default;
  virtual ~TChartFunction() = default;
  TChartFunction(const TChartFunction&) = delete;
  TChartFunction& operator=(const TChartFunction&) = delete;

  double Period() const { return period_; }
  // Below 0 raises "Function Period should be >= 0".
  void SetPeriod(double v);
  TFunctionPeriodStyle PeriodStyle() const { return periodStyle_; }
  void SetPeriodStyle(TFunctionPeriodStyle v);
  TFunctionPeriodAlign PeriodAlign() const { return periodAlign_; }
  void SetPeriodAlign(TFunctionPeriodAlign v);
  TChartSeries* ParentSeries() const { return parent_; }
  bool Updating = false;        // recalculation requests are ignored
  bool NoSourceNeeded = false;  // the series can be filled without a source
  void Assign(const TChartFunction& f);

  // Recomputes the parent series (unless Updating).
  void AskRecalculate();
  // Fills the parent series from `source` (the parent has cleared itself).
  virtual void PopulateSeries(TChartSeries* source);
  virtual void Clear() {}
  virtual std::string DesignEditorName() const { return "TChartFunctionEditor"; }
  // A function of the same class with the same settings (a series' Assign
  // gives its copy one).
  virtual std::unique_ptr<TChartFunction> Clone() const;

 protected:
  friend class TChartSeries;
  virtual double Calculate(TChartSeries& source, int first, int last) {
    (void)source, (void)first, (void)last;
    return 0;
  }
  virtual double CombineSources(const std::vector<TChartComponent*>& sources, int index) {
    (void)sources, (void)index;
    return 0;
  }
  virtual void ComputeOnePeriod(TChartSeries& source, double x, int first, int last);
  virtual void ComputeOverAll(TChartSeries& source, TChartValueList& positions);
  // Period by period over `positions`; a whole-point period below one point
  // counts as one point.
  virtual void ComputeByPeriods(TChartSeries& source, TChartValueList& positions);
  virtual void PerformCalculation(TChartSeries& source, TChartValueList& positions);
  // The source list the function reads: the one the parent's mandatory list
  // names in ValueSource, else the source's mandatory list.
  TChartValueList& SourceValueList(TChartSeries& source);
  void StoreResultPoint(bool sourceMandatoryIsY, double x, double y);
  void StoreDirect(double period) { period_ = period; }

 private:
  void MultiSourceCalculation();
  TChartSeries* parent_ = nullptr;
  double period_ = 0;
  TFunctionPeriodStyle periodStyle_ = psNumPoints;
  TFunctionPeriodAlign periodAlign_ = paCenter;
};

// Base of components that fill a series from outside data (no descendant in
// the program yet).
class TChartSeriesSource : public TChartComponent {
 public:
  ~TChartSeriesSource() override;
  bool Active() const { return active_; }
  virtual void SetActive(bool v);
  TChartSeries* Series() const { return series_; }
  void SetSeries(TChartSeries* s);
  virtual bool Available(TCustomAxisPanel* chart) const { (void)chart; return true; }
  virtual std::string Description() const { return {}; }
  void Close();
  void Open() { SetActive(true); }
  // Fills the series; descendants override.
  virtual void Load() {}
  void Refresh();
  bool Loading = false;

 protected:
  void Notification(TChartComponent* freed) override;

 private:
  bool active_ = false;
  TChartSeries* series_ = nullptr;
  bool destroying_ = false;
};

// --- Tools

// Stages of a chart drawing every active tool hears (NotifyDrawStage).
enum TChartToolEvent : int {
  cteAfterDraw = 0, cteBeforeDrawSeries = 1, cteBeforeDraw = 2, cteBeforeDrawAxes = 3, cteAfterDrawSeries = 4,
  cteMouseLeave = 5
};

// What tools hear in NotifyMouseAction: 0 down, 1 move, 2 up.
constexpr TChartMouseEventKind kToolMouseDown = TChartMouseEventKind(0);
constexpr TChartMouseEventKind kToolMouseMove = TChartMouseEventKind(1);
constexpr TChartMouseEventKind kToolMouseUp = TChartMouseEventKind(2);
// The tools' number of one of the panel's mouse events.
inline TChartMouseEventKind ToolMouseAction(TChartMouseEventKind panelEvent) {
  return panelEvent == cmeDown ? kToolMouseDown : panelEvent == cmeMove ? kToolMouseMove : kToolMouseUp;
}

class TChartCustomTool : public TCustomChartElement {
 public:
  ~TChartCustomTool() override;
  // Leaves the old chart's tools, joins the new chart's.
  void SetParentChart(TCustomAxisPanel* chart) override;
  virtual void NotifyDrawStage(int event) { (void)event; }
  // `event` is the tools' own numbering (kToolMouseDown/Move/Up), not the panel's.
  virtual void NotifyMouseAction(TChartMouseEventKind event, TMouseButton button, TShiftState shift, int x, int y) {
    (void)event, (void)button, (void)shift, (void)x, (void)y;
  }
  virtual std::string Description() const { return {}; }
};

// A tool bound to one series (not owned; forgotten when the series is freed).
class TChartCustomToolSeries : public TChartCustomTool {
 public:
  TChartSeries* Series() const { return series_; }
  virtual void SetSeries(TChartSeries* s);
  // The series' axes, or the chart's bottom/left without a series.
  TChartAxis* GetHorizAxis() const;
  TChartAxis* GetVertAxis() const;

 protected:
  void Notification(TChartComponent* freed) override;

 private:
  TChartSeries* series_ = nullptr;
};

// A tool bound to one axis of its chart.
class TChartCustomToolAxis : public TChartCustomTool {
 public:
  TChartAxis* Axis() const { return axis_; }
  // Takes the axis' chart as parent chart (none for none).
  virtual void SetAxis(TChartAxis* a);
  // The stored "AxisID": the index in the chart's AllAxes (-1 without axis);
  // SetAxisID resolves one through the parent chart.
  int AxisID() const;
  void SetAxisID(int id);

 protected:
  void Notification(TChartComponent* freed) override;

 private:
  TChartAxis* axis_ = nullptr;
};

// The chart's list of tools. The tools belong to their window.
using TChartTools = std::vector<TChartCustomTool*>;

// --- Axis panel

using TAxisOnGetLabel =
    std::function<void(TChartAxis& sender, TChartSeries* series, int valueIndex, std::string& labelText)>;
using TAxisOnGetNextLabel =
    std::function<void(TChartAxis& sender, int labelIndex, double& labelValue, bool& stop)>;
using TPanelEvent = std::function<void(TCustomAxisPanel& sender)>;

// What the panel broadcasts to its listeners about its series.
enum TChartSeriesEventKind : uint8_t {
  seAdd = 0, seRemove = 1, seChangeTitle = 2, seChangeColor = 3, seChangeActive = 5, seDataChanged = 6
};
struct TChartSeriesEvent : TChartEvent {
  TChartSeriesEventKind Event = seAdd;
  TCustomChartSeries* Series = nullptr;
};
// Sent when the page or the number of pages changed.
struct TChartPageEvent : TChartEvent {};

class TCustomAxisPanel : public TCustomChartPanelExtended,
                         public TChartComponent,
                         public IAxisHost,
                         public IChartEventListener {
 public:
  TCustomAxisPanel();
  // Frees every series; the tools stay with their window, without chart.
  ~TCustomAxisPanel() override;

  // --- Series
  // Takes ownership; returns the series.
  TChartSeries* AddSeries(std::unique_ptr<TChartSeries> s);
  template <class T>
  T* AddSeries(std::unique_ptr<T> s) {
    T* p = s.get();
    AddSeries(std::unique_ptr<TChartSeries>(s.release()));
    return p;
  }
  // Gives the ownership back (nullptr when `s` is not ours).
  std::unique_ptr<TChartSeries> RemoveSeries(TChartSeries* s);
  // Frees every series, or only those of class T (descendants included).
  template <class T = TChartSeries>
  void DestroyAllSeries() {
    std::vector<TChartSeries*> doomed;
    for (TChartSeries* s : seriesList_)
      if (dynamic_cast<T*>(s)) doomed.push_back(s);
    DestroySeries(doomed);
  }
  TChartSeries* Series(int i) const { return seriesList_[size_t(i)]; }
  int SeriesTotal() const { return int(seriesList_.size()); }
  int ActiveSeriesTotal() const;
  const std::vector<TChartSeries*>& SeriesList() const { return seriesList_; }
  // The n-th series in the legend: title, else name, else "Series<position>".
  std::string SeriesDisplayName(int n, bool activeOnly) const;
  // The legend's text for point i of `series` (columns separated by the
  // legend's column separator); a panel without a legend gives the label.
  virtual std::string SeriesLegendText(TChartSeries& series, int i) { return series.LegendTextAt(i, ltsPlain); }
  std::vector<TColor> PaletteColors;  // empty: the standard palette
  TColor PaletteColorAt(int i) const;
  // The first palette colour ColorIsUnused accepts (else the first one).
  TColor FirstUnusedColor(bool avoidBackground, const TChartSeries* series) const;
  // No other series shows the colour (the chart also refuses its own
  // background colours when asked to avoid them).
  virtual bool ColorIsUnused(TColor c, bool avoidBackground, const TChartSeries* series) const;
  // Validates data sources.
  bool AcceptsSource(TChartSeries& series, TChartComponent* source) const;
  // Raises the circular message when `source` (a series) depends on `series`.
  void CheckCircular(const TChartSeries& series, const TChartSeries& source) const;
  // What the series' RefreshFromSource asks of the chart.
  void RefreshSeriesFromSource(TChartSeries& series);
  // Broadcast a series event to the listeners.
  void SeriesEvent(TChartSeriesEventKind kind, TCustomChartSeries* s);

  // --- Axes
  TChartAxis& BottomAxis() { return *bottom_; }
  TChartAxis& TopAxis() { return *top_; }
  TChartAxis& LeftAxis() { return *left_; }
  TChartAxis& RightAxis() { return *right_; }
  TChartDepthAxis& DepthAxis() { return *depth_; }
  TChartDepthAxis& DepthTopAxis() { return *depthTop_; }
  // Bottom 0, top 1, left 2, right 3, depth 4, top depth 5, then custom axes.
  const std::vector<TChartAxis*>& AllAxes() const { return allAxes_; }
  TChartAxis& AddCustomAxis(bool horizontal, bool otherSide = false);
  bool AxisBehind() const { return axisBehind_; }
  void SetAxisBehind(bool v) { Set(axisBehind_, v); }
  bool AxisVisible() const { return axisVisible_; }
  void SetAxisVisible(bool v) { Set(axisVisible_, v); }
  bool ClipPoints() const { return clipPoints_; }
  void SetClipPoints(bool v) { Set(clipPoints_, v); }
  bool View3DWalls() const { return view3DWalls_; }
  void SetView3DWalls(bool v) { Set(view3DWalls_, v); }
  int Chart3DPercent() const { return chart3DPercent_; }
  // Outside 1..100 raises "3D effect percent must be between 1 and 100".
  void SetChart3DPercent(int v);
  // The smallest (or largest) value the series show on `axis` (see .cpp).
  double RangeFromSeries(const TChartAxis& axis, bool forMaximum);
  // The depth axes show the series' own depth values rather than slots.
  bool ShowsDepthValues() const;
  // Copies the 3-D percent, axis switches, every axis (custom ones
  // included), palette, paging and walls switch, then the panel.
  void Assign(const TCustomAxisPanel& source);

  // --- Paging
  int Page() const { return page_; }
  // Clamped to 1..PageTotal.
  void SetPage(int p);
  int MaxPointsPerPage() const { return maxPointsPerPage_; }
  // Below 0 raises "MaxPointsPerPage must be >= 0".
  void SetMaxPointsPerPage(int v);
  bool ScaleLastPage() const { return scaleLastPage_; }
  void SetScaleLastPage(bool v) { Set(scaleLastPage_, v); }
  // At least 1.
  int PageTotal() const;

  // --- Drawing
  int DepthSlots = 0;
  bool ReverseSeriesOrder = false;
  TChartTools& Tools() { return tools_; }
  // Every active tool hears `event` (TChartToolEvent).
  void BroadcastToTools(int event);
  void PaintContent(const TRect& r) override;
  TPanelEvent OnPageChange, OnBeforeDrawChart, OnBeforeDrawAxes, OnBeforeDrawSeries, OnAfterDraw;
  TAxisOnGetLabel OnGetAxisLabel;
  TAxisOnGetNextLabel OnGetNextAxisLabel;
  bool IsLoading = false;
  // The series under the mouse (OnMouseEnter/OnMouseLeave), last to first.
  void CheckMouseOverSeries(int x, int y);
  // The mouse left the chart: tools hear event 5.
  TCursor MouseLeave() override;

  // --- IAxisHost
  TCanvas3D& AxisCanvas() override { return Canvas(); }
  ITextMeasure& AxisMeasure() override { return measure_; }
  TRect PlotRect() const override { return TCustomChartPanel::PlotRect; }
  int Depth3D() const override;
  int WallSize(const TChartAxis& axis) const override { (void)axis; return 0; }
  bool Loading() const override { return IsLoading; }
  void AxisChanged(TChartAxis& axis) override { (void)axis; Invalidate(); }
  bool SeriesRange(const TChartAxis& axis, double& lowest, double& highest) override;
  TAxisLabelStyle AutoLabelStyle(const TChartAxis& axis) override;
  bool FewPointsAlong(const TChartAxis& axis, int n) override;
  bool SeriesShowDateTimes(const TChartAxis& axis) override;
  std::vector<TAxisSeriesLabel> SeriesLabels(const TChartAxis& axis, bool marks) override;
  std::vector<TChartAxis*> FollowerAxes(const TChartAxis& axis) override;
  void GetAxisLabel(const TChartAxis& axis, std::string& text) override;
  bool GetNextAxisLabel(const TChartAxis& axis, int index, double& value, bool& stop) override;

  // --- IChartEventListener: mouse events reach the tools and the series
  // (a press on a point of a series fires its OnClick).
  void ChartEvent(const TChartEvent& event) override;

 protected:
  // Hooks the chart control fills: titles and legend (before/after the
  // series), its size, its walls.
  virtual void DrawTitlesAndLegend(bool beforeSeries) { (void)beforeSeries; }
  virtual void CalcSize3DWalls() {}
  virtual void DrawWalls() {}
  virtual bool BottomAxisHiddenBy3D() const { return false; }
  void Notification(TChartComponent* freed) override;

 private:
  friend class TChartSeries;
  friend class TChartCustomTool;
  template <class T>
  void Set(T& field, const T& v) {
    if (field == v) return;
    field = v;
    Invalidate();
  }
  void DestroySeries(const std::vector<TChartSeries*>& doomed);
  void AssignDepthOrders();
  void LayoutAxes();
  void DrawAxes();
  void DrawAllSeries();
  void BroadcastPageChange();
  // The page's first and last point of `s`.
  void PageRange(const TChartSeries& s, int& first, int& last) const;
  TChartSeries* PagingSeries(const TChartAxis& axis) const;

  std::vector<TChartSeries*> seriesList_;
  TChartTools tools_;
  std::unique_ptr<TChartAxis> bottom_, top_, left_, right_;
  std::unique_ptr<TChartDepthAxis> depth_, depthTop_;
  std::vector<std::unique_ptr<TChartAxis>> customAxes_;
  std::vector<TChartAxis*> allAxes_;
  TCanvasTextMeasure measure_{Canvas()};
  int chart3DPercent_ = 15;
  // The depth of the frame being drawn, fixed once the 3-D walls take their
  // room so that the walls and series reach exactly that far; -1 outside.
  int frameDepth_ = -1;
  bool axisBehind_ = true, axisVisible_ = true, clipPoints_ = true, view3DWalls_ = true;
  int page_ = 1, maxPointsPerPage_ = 0;
  bool scaleLastPage_ = true;
  TChartSeries* mouseSeries_ = nullptr;
  bool destroying_ = false;
};
