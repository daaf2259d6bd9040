#pragma once
// The chart control: the axis panel with titles, legend settings, walls,
// colour palettes, the click dispatch to series, axes and titles, mouse
// panning, the zoom rectangle and the (animated) zoom to axis ranges; the
// registries of series and tool types; the window that shows a chart.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/ChartEngineGroups.h"
#include "controls/ChartEngineSeries.h"
#include "controls/ChartPanelHost.h"

class TCustomChart;

enum TTitleAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter };

class TChartTitle : public TChartCustomShape {
 public:
  TChartTitle(TCustomChart* chart, bool foot);
  std::vector<std::string> Text;
  bool AdjustFrame = true;
  TTitleAlignment Alignment = taCenter;
  bool CustomPosition = false;
  int Left = 0, Top = 0;
  bool IsFoot() const { return foot_; }
  // The rectangle of the last drawing (empty when not drawn).
  TRect ShapeBounds;
  // Draws the title and, unless custom-positioned, takes its space from `area`.
  void DrawTitle(TChartCanvas3D& c, TRect& area);
  bool Clicked(int x, int y) const;

 private:
  bool foot_;
};

enum TLegendAlignment : uint8_t { laLeft, laRight, laTop, laBottom };
enum TLegendStyle : uint8_t { lsAuto, lsSeries, lsValues, lsLastValues };
enum TCheckBoxesStyle : uint8_t { cbsCheck, cbsRadio };

class LegendException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The legend's settings (the program's charts hide it).
class TChartLegend : public TChartCustomShape {
 public:
  explicit TChartLegend(TCustomChart* chart);
  TLegendAlignment Alignment = laRight;
  bool CheckBoxes = false;
  TCheckBoxesStyle CheckBoxesStyle() const { return checkBoxesStyle_; }
  // Radio boxes leave only the first active series shown in the legend active.
  void SetCheckBoxesStyle(TCheckBoxesStyle v);
  int ColorWidth = 20;
  bool CurrentPage = true, CustomPosition = false;
  int Left = 0, Top = 0;
  bool FontSeriesColor = false, Inverted = false, ResizeChart = true;
  int HorizMargin = 0, VertMargin = 0, MaxNumRows = 10, TopPos = 10, VertSpacing = 0;
  TLegendStyle LegendStyle = lsAuto;
  TLegendTextStyle TextStyle = ltsLeftValue;
  int FirstValue() const { return firstValue_; }
  // Below 0 raises "First Legend Value must be > 0" and keeps the value.
  void SetFirstValue(int v);
  // The item under (x, y): -1 while no item is laid out.
  int LegendItemAt(int x, int y) const;
  int Columns = 0, Rows = 0;

 private:
  int firstValue_ = 0;
  TCheckBoxesStyle checkBoxesStyle_ = cbsCheck;
};

class TChartWall : public TChartCustomShape {
 public:
  TChartWall(TCustomChart* chart, TColor color);
  int Size = 0;
  bool Dark3D = true, AutoHide = false;
};

// Which part of the chart lies under a point.
enum TChartClickedPartStyle : uint8_t {
  hpNone, hpLegend, hpAxis, hpSeries, hpTitle, hpFoot, hpPlotArea, hpSeriesMarks, hpSubTitle, hpSubFoot
};
struct TChartClickedPart {
  TChartClickedPartStyle Part = hpNone;
  int PointIndex = -1;
  TChartSeries* ASeries = nullptr;
  TChartAxis* AAxis = nullptr;
};

using TChartMouseHandler = std::function<void(TCustomChart& sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TChartClickAxis = std::function<void(TCustomChart& sender, TChartAxis& axis, TMouseButton button,
                                           TShiftState shift, int x, int y)>;
using TChartClickSeries = std::function<void(TCustomChart& sender, TChartSeries& series, int valueIndex,
                                             TMouseButton button, TShiftState shift, int x, int y)>;
using TChartClickTitle = std::function<void(TCustomChart& sender, TChartTitle& title, TMouseButton button,
                                            TShiftState shift, int x, int y)>;
using TChartAllowScroll = std::function<void(TChartAxis& sender, double& aMin, double& aMax, bool& allowScroll)>;

// The global palettes: 0 "Orvandel" (the default colours) .. 9 "Win. XP".
struct TColorPalette {
  std::string Name;
  std::vector<TColor> Colors;
};
const std::vector<TColorPalette>& ColorPalettes();

// Each wheel notch scrolls the vertical axes (on by default).
extern bool ChartWheelScrolls;
// The divisor of one animated zoom step.
extern double ChartAnimatedZoomFactor;

class TCustomChart : public TCustomAxisPanel {
 public:
  TCustomChart();
  ~TCustomChart() override;

  TChartTitle& Title() { return *title_; }
  TChartTitle& SubTitle() { return *subTitle_; }
  TChartTitle& Foot() { return *foot_; }
  TChartTitle& SubFoot() { return *subFoot_; }
  TChartLegend& Legend() { return *legend_; }
  TChartWall& BackWall() { return *backWall_; }
  TChartWall& LeftWall() { return *leftWall_; }
  TChartWall& BottomWall() { return *bottomWall_; }
  TChartWall& RightWall() { return *rightWall_; }
  TChartPen& Frame() { return backWall_->Pen(); }
  TMouseButton ScrollMouseButton = mbRight;
  int ColorPaletteIndex = 0;
  std::vector<std::unique_ptr<TSeriesGroup>> SeriesGroups;

  // nullptr outside 0..SeriesTotal-1.
  TChartSeries* GetSeries(int i) const;
  TColor GetBackColor() const override;
  void SetBackColor(TColor c);
  bool ColorIsUnused(TColor c, const TChartSeries* series) const override;
  // Palette `index` (0..9; others are ignored) for the series still on automatic colours.
  void ChoosePalette(int index);
  int WallThicknessOf(const TChartAxis& axis) const;
  int WallSize(const TChartAxis& axis) const override { return WallThicknessOf(axis); }
  bool AxesNeeded() const;
  TChartClickedPart PartAtPoint(int x, int y, bool forClick = false);

  // --- Mouse
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  // `notches` > 0: wheel down.
  void MouseWheel(int notches);
  void ChartEvent(const TChartEvent& event) override;

  // --- Zoom and ranges
  // Zooms the four main axes to the pixels of `r`.
  void ZoomRect(const TRect& r);
  void ZoomToRanges(double topMin, double topMax, double bottomMin, double bottomMax, double leftMin, double leftMax,
                    double rightMin, double rightMax);
  void RevertZoom();
  bool HasSavedRanges() const { return !saved_.empty(); }
  // Draws the chart now (an animated zoom step).
  void RepaintNow();

  TPanelEvent OnScroll, OnZoom;
  TChartAllowScroll OnAllowScroll;
  TChartClickAxis OnClickAxis;
  TChartMouseHandler OnClickBackground, OnClickLegend;
  TChartClickSeries OnClickSeries;
  TChartClickTitle OnClickTitle;

 protected:
  void DrawTitlesAndLegend(bool beforeSeries) override;
  void DrawWalls() override;

 private:
  struct TSavedRange {
    TChartAxis* Axis;
    bool Automatic, AutomaticMinimum, AutomaticMaximum;
    double Maximum, Minimum;
  };
  void SaveRanges();
  bool PanPass(bool horizontal, int from, int to);
  void ToolsHear(TChartMouseEventKind action, TMouseButton button, TShiftState shift, int x, int y);
  // Fires an assigned click event the chart's way; true when it handled the press.
  bool Fire(bool assigned, const std::function<void()>& fire);
  std::unique_ptr<TChartTitle> title_, subTitle_, foot_, subFoot_;
  std::unique_ptr<TChartLegend> legend_;
  std::unique_ptr<TChartWall> backWall_, leftWall_, bottomWall_, rightWall_;
  std::vector<TSavedRange> saved_;
};

class TChart : public TCustomChart {};

// --- Registries of the design galleries

struct TChartSeriesTypeEntry {
  std::string SeriesClass, FunctionClass, Description, GalleryPage;
  int NumGallerySeries = 1;
  std::function<std::unique_ptr<TChartSeries>()> Create;
};

class TChartSeriesTypes {
 public:
  // Nothing when the same series/function pair is present.
  void Register(TChartSeriesTypeEntry entry);
  void AddFunctionKind(const std::string& functionClass, const std::string& description, const std::string& page);
  void DropFunctionKinds(const std::vector<std::string>& functionClasses);
  void RemoveSeriesClass(const std::string& seriesClass);
  const std::vector<TChartSeriesTypeEntry>& Entries() const { return entries_; }

 private:
  std::vector<TChartSeriesTypeEntry> entries_;
};

struct TChartToolTypeEntry {
  std::string ClassName;    // "TCursorTool", ...
  std::string Description;  // the gallery's name, the tool's Description()
  std::string EditorName;   // the design editor, empty when it has none
  std::function<std::unique_ptr<TChartCustomTool>()> Create;
};
// The entry of tool class T.
template <class T>
TChartToolTypeEntry ChartToolType(std::string className, std::string editorName) {
  return {std::move(className), T().Description(), std::move(editorName), [] { return std::make_unique<T>(); }};
}

class TChartToolTypes {
 public:
  // Each class not yet present is appended.
  void Register(const std::vector<TChartToolTypeEntry>& tools);
  void Remove(const std::vector<std::string>& classNames);
  const std::vector<TChartToolTypeEntry>& Entries() const { return entries_; }

 private:
  std::vector<TChartToolTypeEntry> entries_;
};

TChartSeriesTypes& ChartSeriesTypes();
TChartToolTypes& ChartToolTypes();

// --- The window of a chart: the panel's host plus the wheel and double clicks.
class TChartHost : public TChartPanelHost {
 public:
  explicit TChartHost(TCustomChart& chart, QWidget* parent = nullptr);
  TCustomChart& Chart() { return chart_; }

 protected:
  void wheelEvent(QWheelEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  TCustomChart& chart_;
};
