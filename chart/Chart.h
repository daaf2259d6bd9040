#pragma once
// The chart control: the axis panel with titles, legend settings, walls,
// colour palettes, the click dispatch to series, axes and titles, mouse
// panning, the zoom rectangle and the (animated) zoom to axis ranges; the
// registries of series and tool types; the window that shows a chart.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "chart/ChartEngineGroups.h"
#include "chart/ChartEngineSeries.h"
#include "chart/ChartPanelHost.h"

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
  void Assign(const TChartTitle& source);
  // The rectangle of the last drawing (empty when not drawn).
  TRect ShapeBounds;
  // Draws the title and, unless custom-positioned, takes its space from `area`.
  void DrawTitle(TChartCanvas3D& c, TRect& area);
  bool Clicked(int x, int y) const;

 private:
  bool foot_;
};

// Writes `lines` one line height `h` apart from the top of `r`, each aligned
// within it by `alignment` with half the width `m` of a "W" as the side margin.
void WriteAlignedLines(TChartCanvas3D& c, const TRect& r, const std::vector<std::string>& lines,
                       TTitleAlignment alignment, int h, int m);

// The legend's title: lines above the items, transparent and bold by default.
class TLegendTitle : public TChartCustomShape {
 public:
  explicit TLegendTitle(TCustomChart* chart);
  std::vector<std::string> Text;
  TTitleAlignment TextAlignment = taLeftJustify;
  bool Shown() const { return Visible() && !Text.empty(); }
  void Assign(const TLegendTitle& source);
  // Its size in the canvas' units (the title font is selected).
  TSize Measure(TChartCanvas3D& c);
  // The room it takes above the first row: its height + 2, and its shadow unless transparent.
  int Room(TChartCanvas3D& c);
  // Draws the title at the top of `r` (the legend box), as wide as the box.
  void Draw(TChartCanvas3D& c, const TRect& r);

 private:
  int FrameWidth() { return !Transparent && Pen().Visible() ? Pen().Width() : 0; }
};

enum TLegendAlignment : uint8_t { laLeft, laRight, laTop, laBottom };
enum TLegendStyle : uint8_t { lsAuto, lsSeries, lsValues, lsLastValues };
enum TCheckBoxesStyle : uint8_t { cbsCheck, cbsRadio };
enum TLegendSymbolPosition : uint8_t { spLeft, spRight };
enum TLegendSymbolSize : uint8_t { lcsPercent, lcsPixels };

struct TLegendSymbol {
  bool Visible = true, Squared = false;
  // Continuous: each symbol fills its whole row, so the symbols of the rows
  // meet. DefaultPen: a series frames its symbol with its own pen; otherwise
  // Pen frames it.
  bool Continuous = false, DefaultPen = true;
  int Width = 20;
  TLegendSymbolSize WidthUnits = lcsPercent;
  TLegendSymbolPosition Position = spLeft;
  TChartPen Pen;
  std::function<void(TChartSeries* series, int valueIndex, const TRect& r)> OnDraw;
};

// One laid-out legend: the box, the grid of items and where a row's parts go.
struct TLegendLayout {
  TRect Box;  // empty: nothing laid out
  TLegendStyle Style = lsSeries;
  TChartSeries* ValuesSeries = nullptr;  // the values legend's series
  // Per shown item: its series (series styles) or value index (values style), and its two texts.
  struct Item {
    TChartSeries* Series = nullptr;
    int ValueIndex = -1;
    std::string Text[2];
  };
  std::vector<Item> Items;
  int TotalItems = 0, FinalValue = -1, Columns = 0, Rows = 0;
  int RowHeight = 0, SymbolWidth = 0, W0 = 0, W1 = 0, T = 0, S = 0, ItemsTop = 0;
  TSize TitleSize{0, 0};  // 0 x 0 while the title is not shown
  int X0 = 0, SymbolX = 0, TextX = 0, CheckX = 0;
};

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
  TLegendSymbol Symbol;
  TChartHiddenPen DividingLines;
  TLegendTitle& Title() { return title_; }
  // The legend index (from the first item, FirstValue included) under (x, y); -1 for none.
  int LegendItemAt(int x, int y) const;
  TLegendLayout Layout;
  bool CheckBoxesShown() const { return CheckBoxes && LegendStyle != lsValues; }
  // Copies every setting and the title (not the last layout).
  void Assign(const TChartLegend& source);

 private:
  int firstValue_ = 0;
  TCheckBoxesStyle checkBoxesStyle_ = cbsCheck;
  TLegendTitle title_;
};

class TChartWall : public TChartCustomShape {
 public:
  TChartWall(TCustomChart* chart, TColor color);
  int Size = 0;
  bool Dark3D = true, AutoHide = false;
  void Assign(const TChartWall& source);
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
  // The legend's text of one value; line breaks become blanks, -1 the empty text.
  std::string LegendValueText(TChartSeries& series, int valueIndex) const;
  // The legend's value text (its TextStyle) for marks in the legend's style.
  std::string SeriesLegendText(TChartSeries& series, int i) override { return LegendValueText(series, i); }
  // Lays out and draws the legend; a legend that is not custom-positioned takes its space from the plot.
  void LayOutLegend();
  void PaintLegendRow(int position);
  // Wall-side test at chart x (left and right walls).
  bool WallSideAt(int x);
  TMouseButton ScrollMouseButton = mbRight;
  int ColorPaletteIndex = 0;
  std::vector<std::unique_ptr<TSeriesGroup>> SeriesGroups;

  // Copies the palette index, the four titles, the legend, the scroll
  // button and the walls, then the axis panel (axes, paging, panel).
  void Assign(const TCustomChart& source);
  // nullptr outside 0..SeriesTotal-1.
  TChartSeries* GetSeries(int i) const;
  TColor GetBackColor() const override;
  void SetBackColor(TColor c);
  bool ColorIsUnused(TColor c, bool avoidBackground, const TChartSeries* series) const override;
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
  std::function<void(TCustomChart& sender, TRect& rect)> OnGetLegendRect;
  std::function<void(TCustomChart& sender, int index, int& x, int& y, int& xColor)> OnGetLegendPos;
  std::function<void(TCustomAxisPanel& sender, TLegendStyle style, int index, std::string& text)> OnGetLegendText;

 protected:
  void DrawTitlesAndLegend(bool beforeSeries) override;
  void DrawWalls() override;
  // An orthogonal 3-D view gives the depth and the walls their room beside and above the plot.
  void CalcSize3DWalls() override;

 private:
  struct TSavedRange {
    TChartAxis* Axis;
    bool Automatic, AutomaticMinimum, AutomaticMaximum;
    double Maximum, Minimum;
  };
  void SaveRanges();
  bool PanPass(bool horizontal, int from, int to);
  // Whether a click at (x, y) reaches something, or a series keeps its cursor there.
  bool ClickableAt(int x, int y);
  void ToolsHear(TChartMouseEventKind action, TMouseButton button, TShiftState shift, int x, int y);
  // Fires an assigned click event the chart's way; true when it handled the press.
  bool Fire(bool assigned, const std::function<void()>& fire);
  bool LegendDrawn() const;
  // Every item the legend could show, in item order.
  std::vector<TLegendLayout::Item> LegendCandidates();
  void LegendClicked(int item);
  void PrepareWall(TChartWall& w);
  // The right (`right`) or the left wall.
  void SideWallPass(bool right);
  void RightWallPass() { SideWallPass(true); }
  void LeftWallPass() { SideWallPass(false); }
  void BackWallPass();
  void BottomWallPass();
  // Fills the wall's gradient into the polygon `pts` and clears the brush.
  void WallGradient(TChartWall& w, const TPoint* pts, int n);
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
  int wheelDelta_ = 0;  // eighths of a degree not yet scrolled
};
