#pragma once
// The numbers every chart rests on and the parts that show them: the value
// lists a series keeps per dimension (TChartValueList), the axes that map
// values to pixels, choose their labels and draw themselves (TChartAxis and
// its title, pens and custom labels), and the marks and pointers of a series
// (TSeriesMarks, TMarksItem, TSeriesPointer, TCallout).
//
// The chart panel and the series are not known here: an axis reaches its
// chart through IAxisHost, the marks reach their series through IMarksHost,
// and a value list its series through IValueListOwner. Text is measured
// through ITextMeasure, so tests can inject fixed metrics.
//
// Every property setter stores a new value and asks for a repaint only when
// the value changes. Setters that refuse a value raise AxisException and keep
// the old value.
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "chart/ChartCanvas.h"
#include "chart/ChartPanel.h"
#include "chart/ChartProcs.h"

// --- Text measurement

class ITextMeasure {
 public:
  virtual ~ITextMeasure() = default;
  // Width of one line of text in `font`.
  virtual int TextWidth(const TChartFont& font, std::string_view text) = 0;
  // Height of one line in `font`.
  virtual int FontHeight(const TChartFont& font) = 0;
};

// Measures on a chart canvas (the font is prepared before each measurement).
class TCanvasTextMeasure final : public ITextMeasure {
 public:
  explicit TCanvasTextMeasure(TChartCanvas& canvas) : canvas_(canvas) {}
  int TextWidth(const TChartFont& font, std::string_view text) override;
  int FontHeight(const TChartFont& font) override;

 private:
  TChartCanvas& canvas_;
};

// Lines of a multi-line text (split at character 13); a trailing break gives
// an empty last line.
std::vector<std::string> SplitLines(std::string_view text);
// The widest line and the number of lines.
TSize MultiLineTextSize(ITextMeasure& measure, const TChartFont& font, std::string_view text);

// --- Value lists

enum TChartListOrder : uint8_t { loNone, loAscending, loDescending };
using TChartValues = std::vector<double>;

class TChartValueList;

// What a value list needs of the series that owns it (the series implements
// it; a list without owner works on its own).
class IValueListOwner {
 public:
  virtual ~IValueListOwner() = default;
  // The constructor appends the list to the owner's value lists.
  virtual void AddValueList(TChartValueList& list) = 0;
  // Point `index` changed (Exchange, NumberSequentially, ReplaceValues).
  virtual void ValueModified(int index) = 0;
  // Sort moves whole points: every value list, label and colour.
  virtual void SwapPoints(int a, int b) = 0;
  // DateTime or ValueSource changed: repaint, re-check the data source.
  virtual void ValueListChanged(TChartValueList& list) = 0;
};

// Storage grows this many values at a time.
extern int ValueListCapacityStep;

class TChartValueList {
 public:
  TChartValueList(IValueListOwner* owner, std::string name);
  virtual ~TChartValueList() = default;
  TChartValueList(const TChartValueList&) = delete;
  TChartValueList& operator=(const TChartValueList&) = delete;

  IValueListOwner* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& v) { name_ = v; }
  TChartListOrder Order() const { return order_; }
  void SetOrder(TChartListOrder v) { order_ = v; }
  bool DateTime() const { return dateTime_; }
  void SetDateTime(bool v);
  bool InitialDateTime = false;
  bool IsDateTimeStored() const { return dateTime_ != InitialDateTime; }
  const std::string& ValueSource() const { return valueSource_; }
  void SetValueSource(const std::string& v);
  // The obsolete stored "Multiplier": 1 is accepted and ignored, anything else raises.
  static void ReadMultiplier(double value);

  int Count() const { return count_; }
  int Capacity() const { return int(values_.size()); }
  double ValueInTransit = 0;

  virtual int PlaceValue(double value);
  virtual void InsertAt(int index, double value);
  virtual void Delete(int index);
  void RemoveSpan(int index, int count);
  virtual void RemoveAllValues();
  // The first value moves to the end, every other one down by one.
  void RotateByOne();
  void Exchange(int a, int b);
  void NumberSequentially();
  // Replaces the whole contents by `count` values (whole arrays handed over
  // at once); the owner hears that point 0 changed.
  void ReplaceValues(const double* values, int count);
  void Sort();
  int CompareEntries(int a, int b) const;

  // No range check: callers keep 0 <= index < Count.
  double GetValue(int index) const { return values_[size_t(index)]; }
  void SetValue(int index, double v) {
    values_[size_t(index)] = v;
    statsStale_ = true;
  }
  double operator[](int index) const { return GetValue(index); }
  int Locate(double value) const { return Locate(value, 0, count_ - 1); }
  int Locate(double value, int first, int last) const;
  double FirstValue() const { return GetValue(0); }
  double FinalValue() const { return GetValue(count_ - 1); }
  // The statistics leave out values that are not finite (0 when none is).
  double HighestValue();
  double LowestValue();
  double ValueSpan() { return HighestValue() - LowestValue(); }
  double MagnitudeSum();
  bool AnyFinite();
  bool AllFinite();
  bool StatsStale() const { return statsStale_; }
  void Assign(const TChartValueList& source);

 private:
  void GrowIfFull();
  void RecomputeStats();

  IValueListOwner* owner_;
  std::string name_;
  TChartListOrder order_ = loNone;
  bool dateTime_ = false;
  std::string valueSource_;
  TChartValues values_;
  int count_ = 0;
  double highest_ = 0, lowest_ = 0, magnitudeSum_ = 0;
  bool anyFinite_ = false, allFinite_ = true;
  bool statsStale_ = true;
};

// --- Shapes of axes and marks
//
// The framed box a title, a custom label or a mark is drawn in: brush, frame
// pen, colour, font, transparency and the rounded or square outline.

// TBevelCut and TChartObjectShapeStyle come with the panel's shapes.

class TTextShape : public TChartPersistent {
 public:
  explicit TTextShape(TChangeEvent onChange = {}, TColor color = clWhite);
  TChartBrush& Brush() { return brush_; }
  TChartPen& Frame() { return frame_; }
  const TChartPen& Frame() const { return frame_; }
  TChartFont& Font() { return font_; }
  const TChartFont& Font() const { return font_; }
  TChartShadow& Shadow();
  bool HasShadow() const { return shadow_ != nullptr; }
  // Created on first read; a visible gradient fills the box instead of the brush.
  TChartGradient& Gradient();
  bool HasGradient() const { return gradient_ != nullptr; }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { Update(visible_, v); }
  TColor Color() const { return color_; }
  void SetColor(TColor v) { Update(color_, v); }
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v) { Update(transparent_, v); }
  uint8_t Transparency() const { return transparency_; }
  void SetTransparency(uint8_t v) { Update(transparency_, v); }
  TChartObjectShapeStyle ShapeStyle() const { return shapeStyle_; }
  void SetShapeStyle(TChartObjectShapeStyle v) { Update(shapeStyle_, v); }
  TBevelCut Bevel() const { return bevel_; }
  void SetBevel(TBevelCut v) { Update(bevel_, v); }
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int v) { Update(bevelWidth_, v); }
  void Assign(const TTextShape& source);
  // Shadow, fill, frame and bevel of `r` turned by `angle` degrees about its
  // centre (at depth `z` in 3-D), blended by Transparency; nothing when
  // transparent.
  void PaintShape(TChartCanvas3D& canvas, const TRect& r, int angle, int z = 0) const;

 protected:
  // The gradient a shape of this kind starts with.
  virtual std::unique_ptr<TChartGradient> NewGradient() { return std::make_unique<TChartGradient>(Forward()); }

 private:
  TChartBrush brush_{Forward()};
  TChartPen frame_{Forward()};
  TChartFont font_{Forward()};
  std::unique_ptr<TChartShadow> shadow_;
  std::unique_ptr<TChartGradient> gradient_;
  bool visible_ = true;
  TColor color_;
  bool transparent_ = false;
  uint8_t transparency_ = 0;
  TChartObjectShapeStyle shapeStyle_ = fosRectangle;
  TBevelCut bevel_ = bvNone;
  int bevelWidth_ = 2;
};

// --- Axes

class TChartAxis;

// Raised by the axis setters that refuse a value.
class AxisException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum TAxisLabelStyle : uint8_t { talAuto, talNone, talValue, talMark, talText };
enum TAxisLabelAlign : uint8_t { alDefault, alOpposite };

// A label the series supply for an axis (mark or point-label texts, series
// titles on a depth axis): its value and its text.
struct TAxisSeriesLabel {
  double Value = 0;
  std::string Text;
};

// What an axis needs of its chart. The axis panel implements it; every call
// is made on the user-interface thread while laying out or painting.
class IAxisHost {
 public:
  virtual ~IAxisHost() = default;
  // Where the axis draws and what it measures with.
  virtual TCanvas3D& AxisCanvas() = 0;
  virtual ITextMeasure& AxisMeasure() = 0;
  // The plot rectangle (chart rectangle) the axes lie along.
  virtual TRect PlotRect() const = 0;
  // The 3-D depth in pixels (0 in 2-D) and the wall size next to an axis.
  virtual int Depth3D() const = 0;
  virtual int WallSize(const TChartAxis& axis) const = 0;
  // A stored form is being read: setters accept any range, Automatic leaves
  // the other two flags alone.
  virtual bool Loading() const = 0;
  virtual void AxisChanged(TChartAxis& axis) = 0;  // repaint
  // The smallest and largest value the active series show on the axis;
  // false when no series uses it.
  virtual bool SeriesRange(const TChartAxis& axis, double& lowest, double& highest) = 0;
  // The automatic label style: talNone without series on the axis, talText
  // when one whose points run along the axis has point labels, else
  // talValue (a depth axis: its own rule).
  virtual TAxisLabelStyle AutoLabelStyle(const TChartAxis& axis) = 0;
  // An active series on the axis with points along it has at most `n` points.
  virtual bool FewPointsAlong(const TChartAxis& axis, int n) = 0;
  // An active series on the axis holds date-times in the values it puts
  // there (X on a horizontal axis, Y on a vertical one).
  virtual bool SeriesShowDateTimes(const TChartAxis& axis) {
    (void)axis;
    return false;
  }
  // The labels the series give for talMark (marks) or talText (labels),
  // already passed through the chart's label event: for each point index in
  // the series' visible span the first non-empty text, at its X (horizontal
  // axis) or Y value; on a depth axis with talText the series titles, title
  // i at RangeHigh - i - 0.5.
  virtual std::vector<TAxisSeriesLabel> SeriesLabels(const TChartAxis& axis, bool marks) = 0;
  // The custom axes that follow this axis' range.
  virtual std::vector<TChartAxis*> FollowerAxes(const TChartAxis& axis) = 0;
  // The chart's OnGetAxisLabel: may replace the text of a value label.
  virtual void GetAxisLabel(const TChartAxis& axis, std::string& text) = 0;
  // The chart's OnGetNextAxisLabel; false when no handler is set.
  virtual bool GetNextAxisLabel(const TChartAxis& axis, int index, double& value, bool& stop) = 0;
};

class TChartAxisPen : public TChartPen {
 public:
  explicit TChartAxisPen(TChangeEvent onChange = {}) : TChartPen(std::move(onChange)) { SetWidth(2); }
};

class TAxisGridPen : public TDottedGrayPen {
 public:
  using TDottedGrayPen::TDottedGrayPen;
  bool Centered() const { return centered_; }
  void SetCentered(bool v) { Update(centered_, v); }
  double ZPosition() const { return zPosition_; }
  void SetZPosition(double v) { Update(zPosition_, v); }

 private:
  bool centered_ = false;
  double zPosition_ = 0;
};

class TChartAxisTitle : public TTextShape {
 public:
  explicit TChartAxisTitle(TChangeEvent onChange = {}) : TTextShape(std::move(onChange)) {}
  int Angle() const { return angle_; }
  void SetAngle(int v) { Update(angle_, ((v % 360) + 360) % 360); }
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& v) { Update(caption_, v); }

 private:
  int angle_ = 0;
  std::string caption_;
};

// One custom label.
class TAxisItem : public TTextShape {
 public:
  explicit TAxisItem(TChangeEvent onChange = {});
  const std::string& Text() const { return text_; }
  void SetText(const std::string& v) { Update(text_, v); }
  double Value() const { return value_; }
  void SetValue(double v) { Update(value_, v); }

 private:
  std::string text_;
  double value_ = 0;
};

// Paints under an axis' grid (a grid band tool); called while the axis draws,
// after it placed its ticks (Ticks_) and before its line, ticks and grid.
class IAxisGridPainter {
 public:
  virtual ~IAxisGridPainter() = default;
  virtual void PaintGridBands(TChartAxis& axis) = 0;
};

using TAxisDrawLabelEvent =
    std::function<void(TChartAxis& sender, int& x, int& y, int& z, std::string& text, bool& drawLabel)>;

// Pixel positions are limited to this before rounding.
constexpr double kAxisPixelClamp = 67108863;
// Label loops never produce more than this many labels.
constexpr int kMaxAxisLabels = 10000;

// The next nice step: 1, 2, 5, 10, 20, 50 ... strictly above x. Infinite, NaN
// and non-positive inputs come back unchanged.
double FollowingRoundStep(double x);

class TChartAxis : public TChartPersistent {
 public:
  TChartAxis(IAxisHost* host, bool horizontal, bool otherSide);
  ~TChartAxis() override;

  IAxisHost* Host() const { return host_; }

  // --- Range
  bool Automatic() const { return automatic_; }
  void SetAutomatic(bool v);
  bool AutomaticMaximum() const { return automaticMaximum_; }
  void SetAutomaticMaximum(bool v);
  bool AutomaticMinimum() const { return automaticMinimum_; }
  void SetAutomaticMinimum(bool v);
  double Minimum() const { return minimum_; }
  void SetMinimum(double v);
  double Maximum() const { return maximum_; }
  void SetMaximum(double v);
  double Increment() const { return increment_; }
  void SetIncrement(double v);
  bool Logarithmic() const { return logarithmic_; }
  void SetLogarithmic(bool v);
  double LogarithmicBase() const { return logarithmicBase_; }
  void SetLogarithmicBase(double v);
  bool Inverted() const { return inverted_; }
  virtual void SetInverted(bool v);
  bool Horizontal() const { return horizontal_; }
  void SetHorizontal(bool v);
  bool OtherSide() const { return otherSide_; }
  void SetOtherSide(bool v) { Set(otherSide_, v); }
  bool IsDepthAxis() const { return depth_; }

  // --- Labels
  const std::string& AxisValuesFormat() const { return valuesFormat_; }
  void SetAxisValuesFormat(const std::string& v) { Set(valuesFormat_, v); }
  const std::string& DateTimeFormat() const { return dateTimeFormat_; }
  void SetDateTimeFormat(const std::string& v) { Set(dateTimeFormat_, v); }
  bool ExactDateTime() const { return exactDateTime_; }
  void SetExactDateTime(bool v) { Set(exactDateTime_, v); }
  // The axis shows date-times (its series' values are date-times).
  bool DateTimeAxis = false;
  bool Labels() const { return itemsFormat_.Visible(); }
  void SetLabels(bool v) { itemsFormat_.SetVisible(v); }
  TChartFont& LabelsFont() { return itemsFormat_.Font(); }
  TAxisLabelAlign LabelsAlign() const { return labelsAlign_; }
  void SetLabelsAlign(TAxisLabelAlign v) { Set(labelsAlign_, v); }
  bool LabelsAlternate() const { return labelsAlternate_; }
  void SetLabelsAlternate(bool v) { Set(labelsAlternate_, v); }
  int LabelsAngle() const { return labelsAngle_; }
  void SetLabelsAngle(int v) { Set(labelsAngle_, ((v % 360) + 360) % 360); }
  bool LabelsExponent() const { return labelsExponent_; }
  void SetLabelsExponent(bool v) { Set(labelsExponent_, v); }
  bool LabelsMultiLine() const { return labelsMultiLine_; }
  void SetLabelsMultiLine(bool v) { Set(labelsMultiLine_, v); }
  bool LabelsOnAxis() const { return labelsOnAxis_; }
  void SetLabelsOnAxis(bool v) { Set(labelsOnAxis_, v); }
  int LabelsSeparation() const { return labelsSeparation_; }
  void SetLabelsSeparation(int v);
  int LabelsSize() const { return labelsSize_; }
  void SetLabelsSize(int v) { Set(labelsSize_, v); }
  TAxisLabelStyle LabelStyle() const { return labelStyle_; }
  void SetLabelStyle(TAxisLabelStyle v) { Set(labelStyle_, v); }
  bool RoundFirstLabel() const { return roundFirstLabel_; }
  void SetRoundFirstLabel(bool v) { Set(roundFirstLabel_, v); }
  // Custom labels: when there are any, the other label styles are not used.
  TAxisItem& AddItem(double value, const std::string& text = {});
  void ClearItems();
  int ItemCount() const { return int(items_.size()); }
  TAxisItem& Item(int i) { return *items_[size_t(i)]; }

  // --- Pens, ticks, title, layout
  TChartAxisPen& Axis() { return axisPen_; }
  TAxisGridPen& Grid() { return grid_; }
  bool GridCentered() const { return grid_.Centered(); }
  void SetGridCentered(bool v) { grid_.SetCentered(v); }
  TChartHiddenPen& MinorGrid() { return minorGrid_; }
  TDarkGrayPen& MinorTicks() { return minorTicks_; }
  TDarkGrayPen& Ticks() { return ticks_; }
  TDarkGrayPen& TicksInner() { return ticksInner_; }
  int MinorTickCount() const { return minorTickCount_; }
  void SetMinorTickCount(int v) { Set(minorTickCount_, v); }
  int MinorTickLength() const { return minorTickLength_; }
  void SetMinorTickLength(int v) { Set(minorTickLength_, v); }
  int TickLength() const { return tickLength_; }
  void SetTickLength(int v) { Set(tickLength_, v); }
  int TickInnerLength() const { return tickInnerLength_; }
  void SetTickInnerLength(int v) { Set(tickInnerLength_, v); }
  bool TickOnLabelsOnly() const { return tickOnLabelsOnly_; }
  void SetTickOnLabelsOnly(bool v) { Set(tickOnLabelsOnly_, v); }
  TChartAxisTitle& Title() { return title_; }
  int TitleSize() const { return titleSize_; }
  void SetTitleSize(int v) { Set(titleSize_, v); }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { Set(visible_, v); }
  double StartPosition() const { return startPosition_; }
  void SetStartPosition(double v) { Set(startPosition_, v); }
  double EndPosition() const { return endPosition_; }
  void SetEndPosition(double v) { Set(endPosition_, v); }
  double PositionPercent() const { return positionPercent_; }
  void SetPositionPercent(double v) { Set(positionPercent_, v); }
  TChartUnits PositionUnits() const { return positionUnits_; }
  void SetPositionUnits(TChartUnits v) { Set(positionUnits_, v); }
  int MaximumOffset() const { return maximumOffset_; }
  void SetMaximumOffset(int v) { Set(maximumOffset_, v); }
  int MinimumOffset() const { return minimumOffset_; }
  void SetMinimumOffset(int v) { Set(minimumOffset_, v); }
  double ZPosition() const { return zPosition_; }
  void SetZPosition(double v) { Set(zPosition_, v == 0 ? 0.01 : v); }
  TAxisDrawLabelEvent OnDrawLabel;
  // Not owned; whoever sets it clears it before it goes.
  IAxisGridPainter* GridPainter = nullptr;

  // --- Operations
  void FixRange(double aMin, double aMax);
  void Scroll(double offset, bool keepInBounds);
  void ScaleFromSeries();
  void WidenForMargins(const TRect& margins);
  // Places the axis along the plot rectangle (or the 3-D depth).
  void AdjustPositions();
  void RecomputeScale();
  int PixelOfValue(double v) const;
  double ValueAtPixel(int pixel) const;
  virtual std::string LabelTextOf(double v);
  double ComputeLabelStep();
  double StepForCount(int n);
  // Set by hand (DateTimeAxis) or by the date-time values of its series.
  bool ShowsDateTimes() const { return DateTimeAxis || (host_ && host_->SeriesShowDateTimes(*this)); }
  TAxisLabelStyle LabelStyleInUse();
  void TakeAxisSpace(TRect& rect, bool inflate);
  void Draw(bool recomputePositions);
  bool HitTest(int x, int y) const;
  void Assign(const TChartAxis& source);

  // --- Working state (rebuilt on every layout pass)
  double RangeLow = 0, RangeHigh = 0, RangeSpan = 0, UnitPixels = 0;
  bool EmptyRange = true;
  double LogLow = 0, LogHigh = 0, LogSpan = 0, LogUnitPixels = 0;
  int PixelFrom = 0, PixelTo = 0, PixelSpan = 0, PixelMiddle = 0;
  int AxisLinePos = 0, LabelRowPos = 0, TitleRowPos = 0;
  bool DateTimeScaleOn = false;
  bool FastCalc = false;  // pixels without clamping (rounded before adding)
  std::vector<int> Ticks_;  // tick positions of the last drawing
  std::vector<double> TickValues_;  // and their values
  // A logarithmic axis with a minor grid: the powers of the base just below
  // its first label and above its last, so the minor grid reaches its ends.
  std::vector<double> LogGridValues_;
  // A custom axis follows the range its master is given by FixRange.
  TChartAxis* MasterAxis = nullptr;
  // Pixels of the minor ticks and minor grid of the last drawing.
  std::vector<int> MinorPositions() const;

 protected:
  // The automatic style rule (a depth axis has its own).
  virtual TAxisLabelStyle DefaultLabelRule();
  bool depth_ = false;

 private:
  template <class T>
  void Set(T& field, const T& v) {
    if (field == v) return;
    field = v;
    Changed();
  }
  void Refuse(int msg) const;
  bool passingRange_ = false;  // handing its range down the follower chain
  int LabelExtent(double v);
  int LabelSizeAcross();
  int TitleSizeAcross();
  int TickSize() const;
  int MovedByPosition(int pos, bool inwardsIsPositive) const;
  int OutwardSign() const;
  void DrawLabelsValue(double inc, TDateTimeStep step);
  void DrawLabelsLog();
  void DrawLabelAt(double value, const std::string* text, TAxisItem* item);
  void PlaceText(int pixel, int row, const std::string& text, const TChartFont& font, int angle,
                 bool exponent, TTextShape* shape);
  void DrawExponentLine(TChartCanvas& c, int x, int y, const std::string& line, const TChartFont& font);
  void DrawTicksAndGrid();
  void DrawTick(const TChartPen& pen, int pos, int from, int to);
  double StepValue(double v, double inc, TDateTimeStep step, bool up) const;
  std::string GeneralText(double v) const;

  IAxisHost* host_;
  bool automatic_ = true, automaticMaximum_ = true, automaticMinimum_ = true;
  double minimum_ = 0, maximum_ = 0, increment_ = 0;
  bool logarithmic_ = false;
  double logarithmicBase_ = 10;
  bool inverted_ = false, horizontal_, otherSide_;
  std::string valuesFormat_, dateTimeFormat_;
  bool exactDateTime_ = true;
  TTextShape itemsFormat_{Forward()};
  TAxisLabelAlign labelsAlign_ = alDefault;
  bool labelsAlternate_ = false;
  int labelsAngle_ = 0;
  bool labelsExponent_ = false, labelsMultiLine_ = false, labelsOnAxis_ = true;
  int labelsSeparation_ = 10, labelsSize_ = 0;
  TAxisLabelStyle labelStyle_ = talAuto;
  bool roundFirstLabel_ = true;
  std::vector<std::unique_ptr<TAxisItem>> items_;
  TChartAxisPen axisPen_{Forward()};
  TAxisGridPen grid_{Forward()};
  TChartHiddenPen minorGrid_{Forward()};
  TDarkGrayPen minorTicks_{Forward()}, ticks_{Forward()}, ticksInner_{Forward()};
  int minorTickCount_ = 3, minorTickLength_ = 2, tickLength_ = 4, tickInnerLength_ = 0;
  bool tickOnLabelsOnly_ = true;
  TChartAxisTitle title_{Forward()};
  int titleSize_ = 0;
  bool visible_ = true;
  double startPosition_ = 0, endPosition_ = 100, positionPercent_ = 0;
  TChartUnits positionUnits_ = muPercent;
  int maximumOffset_ = 0, minimumOffset_ = 0;
  double zPosition_ = 0;
  int labelCounter_ = 0;   // labels produced in this drawing (alternate rows)
  int labelSpace_ = 0;  // label size across the axis, for alternate and opposite rows
  bool suppressLabelEvent_ = false;  // measuring: the chart's label event stays out
};

// The axis of the third dimension: hidden by default, its own label rule.
class TChartDepthAxis : public TChartAxis {
 public:
  explicit TChartDepthAxis(IAxisHost* host);
  // Inverting one depth axis inverts its partner as well.
  TChartDepthAxis* Partner = nullptr;
  void SetInverted(bool v) override;

 protected:
  TAxisLabelStyle DefaultLabelRule() override;
};

// --- Series marks and pointers

enum TSeriesMarksStyle : uint8_t {
  smsValue, smsPercent, smsLabel, smsLabelPercent, smsLabelValue, smsLegend, smsPercentTotal,
  smsLabelPercentTotal, smsXValue, smsXY
};

// What the marks need of their series (the series base implements it).
class IMarksHost {
 public:
  virtual ~IMarksHost() = default;
  virtual TChartCanvas3D* MarksCanvas() = 0;  // nullptr while the series has no chart
  virtual ITextMeasure& MarksMeasure() = 0;
  virtual void MarksChanged() = 0;  // repaint the series' chart
  // The texts a mark is composed of, for point i.
  virtual std::string MarkValueText(int i) = 0;    // value with ValueFormat
  virtual std::string MarkPercentText(int i) = 0;  // share of the absolute total, PercentFormat
  virtual std::string MarkTotalText() = 0;         // the absolute total, ValueFormat
  virtual std::string MarkLabel(int i) = 0;        // the point's label
  virtual std::string MarkLegendText(int i) = 0;   // legend text, columns separated by 6
  virtual std::string MarkXValueText(int i) = 0;   // X as the horizontal axis labels it
};

struct TSeriesMarkPosition {
  TPoint ArrowFrom, ArrowTo, LeftTop;
  int Width = 0, Height = 0;
  bool Custom = false;
  TRect Bounds() const { return {LeftTop.X, LeftTop.Y, LeftTop.X + Width, LeftTop.Y + Height}; }
};

// The gradient of marks: right to left from silver to white.
class TSeriesMarksGradient : public TChartGradient {
 public:
  explicit TSeriesMarksGradient(TChangeEvent onChange = {}) {
    SetDirection(gdRightLeft);
    SetStartColor(0xC0C0C0);
    SetEndColor(0xFFFFFF);
    OnChange = std::move(onChange);
  }
};

// A text shape whose gradient is the marks' one.
class TMarksShape : public TTextShape {
 public:
  using TTextShape::TTextShape;

 protected:
  std::unique_ptr<TChartGradient> NewGradient() override { return std::make_unique<TSeriesMarksGradient>(Forward()); }
};

class TMarksItem : public TMarksShape {
 public:
  explicit TMarksItem(TChangeEvent onChange = {}) : TMarksShape(std::move(onChange), clInfoBk) {}
};

enum TSeriesPointerStyle : uint8_t {
  psRectangle, psCircle, psTriangle, psDownTriangle, psCross, psDiagCross, psStar, psDiamond,
  psSmallDot, psNothing, psLeftTriangle, psRightTriangle
};
enum TArrowHeadStyle : uint8_t { ahNone, ahLine, ahSolid };

// The depths a pointer is drawn at in 3-D: its series' start, middle and end.
struct TPointerDepths {
  int Start = 0, Middle = 0, End = 0;
};

class TSeriesPointer : public TChartPersistent {
 public:
  explicit TSeriesPointer(TChangeEvent onChange = {});
  TChartBrush& Brush() { return brush_; }
  TChartPen& Pen() { return pen_; }
  bool Dark3D() const { return dark3D_; }
  void SetDark3D(bool v) { Update(dark3D_, v); }
  bool Draw3D() const { return draw3D_; }
  void SetDraw3D(bool v) { Update(draw3D_, v); }
  int HorizSize() const { return horizSize_; }
  // Below 1 raises "Pointer size must be greater than zero" and keeps the size.
  void SetHorizSize(int v);
  int VertSize() const { return vertSize_; }
  void SetVertSize(int v);
  bool InflateMargins() const { return inflateMargins_; }
  void SetInflateMargins(bool v) { Update(inflateMargins_, v); }
  TSeriesPointerStyle Style() const { return style_; }
  void SetStyle(TSeriesPointerStyle v) { Update(style_, v); }
  uint8_t Transparency() const { return transparency_; }
  void SetTransparency(uint8_t v) { Update(transparency_, v); }
  TChartGradient& Gradient() { return gradient_; }
  void SetGradient(const TChartGradient& g) { gradient_.Assign(g); }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { Update(visible_, v); }
  // The canvas's pen and brush for a pointer of a point in `color`.
  void PrepareCanvas(TChartCanvas3D& canvas, TColor color) const;
  // The shape of `style` centred on `at` with half sizes `half`: flat, or in
  // 3-D at the depths `z` (a solid with Draw3D where the style has one);
  // blended by Transparency and filled by a visible Gradient.
  void DrawShape(TChartCanvas3D& canvas, bool is3D, TPoint at, TSize half, TSeriesPointerStyle style,
                 TPointerDepths z) const;
  // The mouse at (dx, dy) from a point hits a pointer of `style`.
  bool Hits(TSeriesPointerStyle style, int dx, int dy) const;
  // The half sizes of the legend symbol in `r` (a line through it or not).
  TSize LegendHalfSize(const TRect& r, bool withLine) const;
  void Assign(const TSeriesPointer& source);

 protected:
  TChartBrush brush_{Forward()};
  TChartPen pen_{Forward()};
  TChartGradient gradient_{Forward()};
  bool dark3D_ = true, draw3D_ = true, inflateMargins_ = true;
  int horizSize_ = 4, vertSize_ = 4;
  TSeriesPointerStyle style_ = psRectangle;
  uint8_t transparency_ = 0;
  bool visible_ = true;
};

// The arrow from a point to its mark.
class TCallout : public TSeriesPointer {
 public:
  explicit TCallout(TChangeEvent onChange = {});
  TWhitePen& Arrow() { return arrow_; }
  TArrowHeadStyle ArrowHead() const { return arrowHead_; }
  void SetArrowHead(TArrowHeadStyle v) { Update(arrowHead_, v); }
  int ArrowHeadSize() const { return arrowHeadSize_; }
  void SetArrowHeadSize(int v) { Update(arrowHeadSize_, v); }
  int Distance() const { return distance_; }
  void SetDistance(int v) { Update(distance_, v); }
  void Assign(const TCallout& source);

 private:
  TWhitePen arrow_{Forward()};
  TArrowHeadStyle arrowHead_ = ahNone;
  int arrowHeadSize_ = 8, distance_ = 0;
};

class TMarksCallout : public TCallout {
 public:
  explicit TMarksCallout(TChangeEvent onChange = {});
  int Length() const { return length_; }
  void SetLength(int v) { Update(length_, v); }
  void Assign(const TMarksCallout& source);

 private:
  int length_ = 8;
};

class TSeriesMarksSymbol : public TMarksShape {
 public:
  explicit TSeriesMarksSymbol(TChangeEvent onChange = {}) : TMarksShape(std::move(onChange)) { SetVisible(false); }
  // The symbol's outline: its frame under the name the symbol publishes.
  TChartPen& Pen() { return Frame(); }
};

class TSeriesMarks : public TMarksShape {
 public:
  explicit TSeriesMarks(IMarksHost* host);

  int Angle() const { return angle_; }
  void SetAngle(int v) { Update(angle_, v); }
  bool Clip() const { return clip_; }
  void SetClip(bool v) { Update(clip_, v); }
  int DrawEvery() const { return drawEvery_; }
  // Below 1 is taken as 1.
  void SetDrawEvery(int v) { Update(drawEvery_, std::max(1, v)); }
  bool MultiLine() const { return multiLine_; }
  void SetMultiLine(bool v) { Update(multiLine_, v); }
  TSeriesMarksStyle Style() const { return style_; }
  void SetStyle(TSeriesMarksStyle v) { Update(style_, v); }
  TColor BackColor() const { return Color(); }
  void SetBackColor(TColor v) { SetColor(v); }
  int ZPosition = 0;

  // Created on first use; nullptr frees, anything else is copied.
  TMarksCallout& Callout();
  bool HasCallout() const { return callout_ != nullptr; }
  void SetCallout(const TMarksCallout* c) { ReplaceSubObject(callout_, c); }
  TWhitePen& Arrow() { return Callout().Arrow(); }
  int ArrowLength() { return Callout().Length(); }
  void SetArrowLength(int v) { Callout().SetLength(v); }
  TSeriesMarksSymbol& Symbol();
  bool HasSymbol() const { return symbol_ != nullptr; }
  void SetSymbol(const TSeriesMarksSymbol* s) { ReplaceSubObject(symbol_, s); }

  // The format of point `index`, created on access (never nullptr). A
  // negative index gives a detached default item that belongs to no point.
  TMarksItem& Item(int index);
  int ItemCount() const { return int(items_.size()); }
  bool HasItem(int index) const;
  // The item of the point when there is one, else the marks themselves.
  TTextShape& FormatOf(int index);
  std::vector<TSeriesMarkPosition>& Positions() { return positions_; }
  bool ItemsFromForm = false;
  void Clear();
  int HitTest(int x, int y) const;
  // Point `index` gets a mark at all (every DrawEvery-th).
  bool DrawsIndex(int index) const { return index >= 0 && index % drawEvery_ == 0; }

  // The text composed for point i by Style.
  std::string TextOf(int index);
  // Width and height of a mark holding `text`.
  TSize MarkSize(std::string_view text);
  void PaintOneMark(int index, TColor color, const std::string& text, TSeriesMarkPosition position);
  void Assign(const TSeriesMarks& source);

 private:
  char Separator() const { return multiLine_ ? '\r' : ' '; }
  void DrawCallout(TChartCanvas3D& c, const TSeriesMarkPosition& p, TColor color);

  IMarksHost* host_;
  int angle_ = 0;
  bool clip_ = false;
  int drawEvery_ = 1;
  bool multiLine_ = false;
  TSeriesMarksStyle style_ = smsLabel;
  std::unique_ptr<TMarksCallout> callout_;
  std::unique_ptr<TSeriesMarksSymbol> symbol_;
  std::vector<std::unique_ptr<TMarksItem>> items_;
  std::unique_ptr<TMarksItem> detached_;
  std::vector<TSeriesMarkPosition> positions_;
};
