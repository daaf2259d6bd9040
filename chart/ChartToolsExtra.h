#pragma once
// The chart tools beyond the cursor, colour-band and colour-line tools: mark
// dragging, axis arrows and axis scrolling, drawn lines, the nearest-point
// marker, rotation, images, mark tips, annotations and rectangles, series
// animation, grid bands and series clipping. They serve charts built with
// any settings; the program's own windows do not use them.
//
// Links: every pointer a tool keeps to a series, an axis or a chart is cut
// when either side is freed (TChartComponent, and the hooks a tool installs
// in a series or an axis are removed when the tool goes or changes target).
// Point and mark indexes are checked against their lists on every use.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "chart/Chart.h"

// Cursor shapes the tools show (Qt::CursorShape values).
namespace ToolCursor {
constexpr TCursor HandPoint = Qt::PointingHandCursor, Cross = Qt::CrossCursor, SizeNS = Qt::SizeVerCursor,
                  SizeWE = Qt::SizeHorCursor, SizeNWSE = Qt::SizeFDiagCursor, SizeNESW = Qt::SizeBDiagCursor;
}

// --- Registration
//
// The registry entries of these thirteen classes (RegisterChartToolTypes
// puts them into the chart's tool-type registry with the other three).
std::vector<TChartToolTypeEntry> OtherChartToolTypes();

// What a chart offers to tools that scroll axes (the chart control
// implements it; without it every scroll is allowed and nobody is told).
class IChartScrollEvents {
 public:
  virtual ~IChartScrollEvents() = default;
  // The chart's OnAllowScroll: may change the range or refuse.
  virtual bool AllowScroll(const TChartAxis& axis, double& aMin, double& aMax) = 0;
  // The chart's OnScroll.
  virtual void Scrolled() = 0;
};

// --- Drag marks

class TDragMarksTool : public TChartCustomToolSeries {
 public:
  std::string Description() const override { return "Drag Marks"; }
  void NotifyMouseAction(TChartMouseEventKind event, TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  bool MarkAt(int x, int y, TChartSeries*& series, int& index) const;
  TChartSeries* dragSeries_ = nullptr;  // checked against the chart's series before use
  int dragIndex_ = -1;
  TPoint last_;
};

// --- Axis arrows

enum TAxisArrowToolPosition : uint8_t { aaStart, aaEnd, aaBoth };

class TAxisArrowTool : public TChartCustomToolAxis {
 public:
  using TClickEvent = std::function<void(TAxisArrowTool& sender, bool atStart)>;
  TAxisArrowTool();
  std::string Description() const override { return "Axis Arrows"; }
  int Length = 16;
  TAxisArrowToolPosition Position = aaBoth;
  bool ScrollInverted = false;
  int ScrollPercent = 10;
  TClickEvent OnClick;
  // 1 on the start arrow, 2 on the end arrow, else 0.
  int ArrowAt(int x, int y) const;
  void NotifyDrawStage(int event) override;
  void NotifyMouseAction(TChartMouseEventKind event, TMouseButton button, TShiftState shift, int x, int y) override;
};

// Scrolls `axis` by `delta` after the chart allowed it, and the other axis of
// its orientation when a series is bound to both; false when refused.
bool ScrollAxisWithChart(TCustomAxisPanel& chart, TChartAxis& axis, double delta);

// --- Axis scroll

class TAxisScrollTool : public TChartCustomToolAxis {
 public:
  std::string Description() const override { return "Axis Scroll"; }
  bool ScrollInverted = false;
  void NotifyMouseAction(TChartMouseEventKind event, TMouseButton button, TShiftState shift, int x, int y) override;

 protected:
  void Notification(TChartComponent* freed) override;

 private:
  TChartAxis* AxisAt(int x, int y) const;
  TChartAxis* dragAxis_ = nullptr;
  TPoint last_;
};

// --- Draw lines

enum TDrawLineStyle : uint8_t { dlLine, dlHorizParallel, dlVertParallel };
class TDrawLineTool;

// One line, its ends in the values of the tool's axes.
class TDrawLine {
 public:
  explicit TDrawLine(TDrawLineTool* owner) : owner_(owner) {}
  ~TDrawLine();
  TDrawLine(const TDrawLine&) = delete;
  TDrawLine& operator=(const TDrawLine&) = delete;
  TDrawLineStyle Style() const { return style_; }
  void SetStyle(TDrawLineStyle v);
  double X0() const { return v_[0]; }
  double Y0() const { return v_[1]; }
  double X1() const { return v_[2]; }
  double Y1() const { return v_[3]; }
  void SetX0(double v) { Set(0, v); }
  void SetY0(double v) { Set(1, v); }
  void SetX1(double v) { Set(2, v); }
  void SetY1(double v) { Set(3, v); }

 private:
  friend class TDrawLineTool;
  void Set(int i, double v);
  TDrawLineTool* owner_;
  TDrawLineStyle style_ = dlLine;
  double v_[4] = {0, 0, 0, 0};
};

class TDrawLineTool : public TChartCustomToolSeries {
 public:
  using TSelectingEvent = std::function<void(TDrawLineTool& sender, TDrawLine& line, bool& allowSelect)>;
  using TNotify = std::function<void(TDrawLineTool& sender)>;
  ~TDrawLineTool() override;
  std::string Description() const override { return "Draw Line"; }
  TMouseButton Button = mbLeft;
  bool EnableDraw = true, EnableSelect = true;
  TNotify OnDraggedLine, OnDragLine, OnNewLine, OnSelect;
  TSelectingEvent OnSelecting;

  int LineCount() const { return int(lines_.size()); }
  // nullptr for an index outside the list.
  TDrawLine* Line(int i) const;
  TDrawLine& AddLine(double x0, double y0, double x1, double y1);
  void DeleteLine(int i);
  TDrawLine* Selected() const { return selected_; }
  // The ends of a line in pixels.
  TPoint StartPixel(const TDrawLine& l) const;
  TPoint EndPixel(const TDrawLine& l) const;
  // 0 on the line, 1 on its start handle, 2 on its end handle, else -1.
  int HitKind(const TDrawLine& l, int x, int y, int kind) const;

  void NotifyDrawStage(int event) override;
  void NotifyMouseAction(TChartMouseEventKind event, TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  friend class TDrawLine;
  TDrawLine* LineAt(int x, int y, int& kind) const;
  void DrawOne(TDrawLineStyle style, TPoint a, TPoint b, bool xorMode);
  std::vector<std::unique_ptr<TDrawLine>> lines_;
  TDrawLine* selected_ = nullptr;
  bool drawing_ = false, dragging_ = false;
  int dragKind_ = 0;
  TPoint from_, to_, last_;
};

// --- Nearest point

enum TNearestToolStyle : uint8_t { hsNone, hsCircle, hsRectangle, hsDiamond };

class TNearestTool : public TChartCustomToolSeries {
 public:
  TNearestTool();
  std::string Description() const override { return "Nearest Point"; }
  TChartPen& LinePen() { return linePen_; }
  bool DrawLine() const { return linePen_.Visible(); }
  void SetDrawLine(bool v) { linePen_.SetVisible(v); }
  bool FullRepaint = true;
  int Size = 20;
  TNearestToolStyle Style = hsCircle;
  std::function<void(TNearestTool& sender)> OnChange;
  // The index of the point marked, -1 for none.
  int Point = -1;
  // The series' point nearest to (x, y) inside the plot rectangle, or -1.
  int NearestPoint(int x, int y) const;
  void NotifyDrawStage(int event) override;
  void NotifyMouseAction(TChartMouseEventKind event, TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  void PaintMarker(bool xorMode);
  TChartPen linePen_;
  TPoint mouse_;
};

// --- Rotate

enum TRotateToolStyles : uint8_t { rsAll, rsRotation, rsElevation };

class TRotateTool : public TChartCustomTool {
 public:
  TRotateTool();
  std::string Description() const override { return "Rotate"; }
  TMouseButton Button = mbLeft;
  bool Inverted = false;
  TRotateToolStyles Style = rsAll;
  std::function<void(TRotateTool& sender)> OnRotate;
  void NotifyMouseAction(TChartMouseEventKind event, TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  void Outline();
  bool rotating_ = false, outlined_ = false;
  TPoint last_;
};

// --- Image

class TChartImageTool : public TChartCustomToolSeries {
 public:
  TChartImageTool();
  std::string Description() const override { return "Image"; }
  TPicture& Picture() { return picture_; }
  void NotifyDrawStage(int event) override;

 private:
  TPicture picture_;
};

// --- Mark tips

enum TMarkToolMouseAction : uint8_t { mtmMove, mtmClick };

class TMarksTipTool : public TChartCustomToolSeries {
 public:
  std::string Description() const override { return "Mark Tips"; }
  TMarkToolMouseAction MouseAction = mtmMove;
  // The application's hint pause, shared by every hint.
  int MouseDelay() const { return HintPause; }
  void SetMouseDelay(int ms) { HintPause = ms; }
  static inline int HintPause = 500;
  // How the application shows (text at a client point) or hides (empty
  // text) a hint; the window host sets it.
  static inline std::function<void(TCustomAxisPanel& chart, const std::string& text, TPoint at)> ShowHint;
  TSeriesMarksStyle Style = smsLabel;
  std::function<void(TMarksTipTool& sender, std::string& text)> OnGetText;
  // The text shown now (empty while hidden).
  const std::string& Hint() const { return hint_; }
  void NotifyMouseAction(TChartMouseEventKind event, TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  std::string hint_;
};

// --- Annotation and rectangle

enum TAnnotationPosition : uint8_t { ppLeftTop, ppLeftBottom, ppRightTop, ppRightBottom };
// The alignment of a text block, as the chart's titles have it.
using TTextAlignment = TTitleAlignment;

// The annotation's box: a chart shape that may be placed by hand.
class TChartShapePosition : public TChartShape {
 public:
  using TChartShape::TChartShape;
  bool CustomPosition = false;
  int Left = 0, Top = 0, Width = 0, Height = 0;
};

// The pointer from the box to a point of the chart.
class TAnnotationCallout : public TCallout {
 public:
  TAnnotationCallout() { SetVisible(false); }
  int XPosition = 0, YPosition = 0, ZPosition = 0;
};

class TAnnotationTool : public TChartCustomTool {
 public:
  using TClickEvent = std::function<void(TAnnotationTool& sender, TMouseButton button, TShiftState shift, int x, int y)>;
  TAnnotationTool();
  std::string Description() const override { return "Annotation"; }
  bool AutoSize = true;
  TAnnotationCallout& Callout() { return callout_; }
  TCursor Cursor = 0;
  TAnnotationPosition Position = ppLeftTop;
  TChartUnits PositionUnits = muPixels;
  TChartShapePosition& Shape() { return shape_; }
  const std::string& Text() const { return text_; }
  void SetText(const std::string& v);
  TTextAlignment TextAlignment = taLeftJustify;
  TClickEvent OnClick;
  // Where the box is drawn on the parent chart (empty without one).
  TRect ShapeBounds();
  void NotifyDrawStage(int event) override;
  void NotifyMouseAction(TChartMouseEventKind event, TMouseButton button, TShiftState shift, int x, int y) override;

 protected:
  // The text size (widest line, lines x line height) and the anchor point.
  TSize TextSize();
  TPoint Anchor(TSize text);
  TChartShapePosition shape_;
  TAnnotationCallout callout_;
  std::string text_;
};

class TRectangleTool : public TAnnotationTool {
 public:
  TRectangleTool();
  std::string Description() const override { return "Rectangle"; }
  std::function<void(TRectangleTool& sender)> OnDragging, OnResizing;
  // Edges within 4 pixels of (x, y): 1 left, 2 top, 4 right, 8 bottom.
  int EdgesAt(int x, int y);
  void NotifyMouseAction(TChartMouseEventKind event, TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  bool moving_ = false;
  int edges_ = 0;
  TPoint last_;
};

// --- Series animation

enum TSeriesAnimationLoop : uint8_t { salNo, salOneWay, salCircular };

class TSeriesAnimationTool : public TChartCustomToolSeries {
 public:
  ~TSeriesAnimationTool() override;
  std::string Description() const override { return "Series Animation"; }
  int DrawEvery = 0;  // repaint every n-th step (0 and 1: each step)
  TSeriesAnimationLoop Loop = salNo;
  bool StartAtMin = true;
  double StartValue = 0;
  int Steps = 100;
  std::function<void(TSeriesAnimationTool& sender, int step)> OnStep;
  // Runs the animation to its end (or until Stop, for the loops). False when
  // it aborted because its series changed or went away under it: the series
  // then keeps its new values.
  bool Execute();
  void Stop() { stop_ = true; }
  bool Running() const { return running_; }
  // Lets the application handle its messages between repaints (a test may
  // replace it).
  static inline std::function<void()> ProcessMessages;

 private:
  bool running_ = false, stop_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// --- Grid band

class TGridBandBrush : public TChartBrush {
 public:
  using TChartBrush::TChartBrush;
  TColor BackColor = clNone;  // no colour: the chart's back (wall) colour
  uint8_t Transparency = 0;
};

class TGridBandTool : public TChartCustomToolAxis, public IAxisGridPainter {
 public:
  TGridBandTool();
  ~TGridBandTool() override;
  std::string Description() const override { return "Grid Band"; }
  TGridBandBrush& Band1() { return band1_; }
  TGridBandBrush& Band2() { return band2_; }
  void SetAxis(TChartAxis* a) override;
  void PaintGridBands(TChartAxis& axis) override;

 private:
  TGridBandBrush band1_, band2_;
};

// --- Clip series

class TClipSeriesTool : public TChartCustomToolSeries {
 public:
  ~TClipSeriesTool() override;
  std::string Description() const override { return "Clip Series"; }
  void SetSeries(TChartSeries* s) override;

 private:
  bool clipped_ = false;
};
