#pragma once
// The cursor tool and the colour band and colour line tools.
//
// How a chart reaches them: the axis panel calls NotifyDrawStage(event) of
// every active tool at the stages of each repaint (TChartToolEvent) and
// hands the mouse to them through its listener (TCustomAxisPanel::ChartEvent
// -> NotifyMouseAction with cmeDown, cmeMove or cmeUp, client pixels). A
// chart control that takes the mouse from its own window delivers it through
// TCustomChartPanel::MouseDown/MouseMove/MouseUp, which end there.
//
// Drawing between repaints (a cursor following the mouse, a line being
// dragged) goes by XOR (not-XOR) onto the window pixels and the offscreen
// buffer alike, so the two stay equal, and the window is asked to show them
// again without a new frame. Surfaces that cannot be read back (printers,
// recordings) get the lines in copy mode in the colour that XOR would have
// left over the chart's background.
//
// Links: a tool forgets its series, axis or chart when that one is freed.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "chart/ChartEngineSeries.h"

// --- Cursor

enum TCursorToolStyle : uint8_t { cssHorizontal, cssVertical, cssBoth };

class TCursorTool;
using TCursorToolChangeEvent = std::function<void(TCursorTool& sender, int x, int y, double xValue,
                                                  double yValue, TChartSeries* series, int valueIndex)>;

class TCursorTool : public TChartCustomToolSeries {
 public:
  TCursorTool();

  bool FollowMouse = false;
  bool Snap = false;
  bool SpanPlotRect = false;
  TCursorToolChangeEvent OnChange, OnSnapChange;
  std::function<void(TCursorTool& sender, TRect& r)> OnCursorRect;

  TCursorToolStyle Style() const { return style_; }
  void SetStyle(TCursorToolStyle v);
  bool UseSeriesZ() const { return useSeriesZ_; }
  void SetUseSeriesZ(bool v);
  void SetSeries(TChartSeries* s) override;
  double XValue() const { return xValue_; }
  void SetXValue(double v);
  double YValue() const { return yValue_; }
  int CursorPixelX() const { return pixelX_; }
  int CursorPixelY() const { return pixelY_; }
  int PreviousSnapPoint() const { return previousSnap_; }
  // 0 none, 1 the horizontal line, 2 the vertical line, 3 their crossing.
  int Dragging() const { return dragging_; }

  // Snaps to the nearest point of Series (with Snap); the index or -1.
  int SnapToNearest();
  // The nearest visible point for the current style; -1 when none.
  int NearestPoint() const;
  // Which part lies within 2 pixels of (x, y) (see Dragging).
  int HitTest(int x, int y) const;
  TRect CursorRect() const;
  virtual void Changed(int valueIndex);

  void NotifyDrawStage(int event) override;
  void NotifyMouseAction(TChartMouseEventKind event, TMouseButton button, TShiftState shift, int x, int y) override;
  std::string Description() const override { return "Cursor"; }
  static std::string DesignEditorName() { return "TCursorToolEditor"; }

 private:
  int SeriesZ() const;
  TPoint ToPlane(int x, int y) const;
  bool Inside(int x, int y) const;
  void RecomputePixels();
  void ValuesFromPixels(int x, int y);
  // XOR at its place (copy mode where XOR cannot be undone).
  void DrawCursor(bool betweenFrames);

  TCursorToolStyle style_ = cssBoth;
  bool useSeriesZ_ = false;
  int dragging_ = 0;
  int previousSnap_ = -1;
  double xValue_ = 0, yValue_ = 0;
  int pixelX_ = -1, pixelY_ = -1;
  bool xGiven_ = false;
};

// --- Colour line

enum TColorLineStyle : uint8_t { clCustom, clMaximum, clCenter, clMinimum };

class TColorLineTool;
using TColorLineToolOnDrag = std::function<void(TColorLineTool& sender)>;

class TColorLineTool : public TChartCustomToolAxis {
 public:
  TColorLineTool();

  bool AllowDrag = true;
  bool DragRepaint = false;
  bool NoLimitDrag = false;
  TColorLineToolOnDrag OnBeginDragLine, OnDragLine, OnEndDragLine, OnDragDone;
  // Read from a stored form: writing Value keeps the style.
  bool ReadingForm = false;

  bool Draw3D() const { return draw3D_; }
  void SetDraw3D(bool v);
  bool DrawBehind() const { return drawBehind_; }
  void SetDrawBehind(bool v);
  TColorLineStyle Style() const { return style_; }
  void SetStyle(TColorLineStyle v);
  double Value() const { return value_; }
  void SetValue(double v);
  // The value the line is drawn at: Value or the axis' maximum, centre or minimum.
  double PlacedValue() const;
  bool Dragging() const { return dragging_; }
  // The chart drawn on instead of the parent chart (a band's edge line).
  TCustomAxisPanel* HostChart() const { return host_; }
  void SetHostChart(TCustomAxisPanel* chart);
  void Assign(const TColorLineTool& source);
  void Repaint() override;

  // V limited to the axis' range.
  double ClampToAxis(double v) const;
  bool HitTest(int x, int y) const;
  // The back (Behind) or front part of the line.
  void DrawColorLine(bool behind);
  virtual void EndDrag();

  void NotifyDrawStage(int event) override;
  void NotifyMouseAction(TChartMouseEventKind event, TMouseButton button, TShiftState shift, int x, int y) override;
  std::string Description() const override { return "Color Line"; }
  static std::string DesignEditorName() { return "TColorLineToolEditor"; }

 protected:
  void Notification(TChartComponent* freed) override;

 private:
  TCustomAxisPanel* Chart() const { return host_ ? host_ : ParentChart(); }
  bool draw3D_ = true, drawBehind_ = false, dragging_ = false, xorDrawing_ = false;
  TColorLineStyle style_ = clCustom;
  double value_ = 0;
  TCustomAxisPanel* host_ = nullptr;
};

// --- Colour band

using TChartToolMouseEvent =
    std::function<void(TChartCustomTool& sender, TMouseButton button, TShiftState shift, int x, int y)>;

class TColorBandTool : public TChartCustomToolAxis {
 public:
  TColorBandTool();
  ~TColorBandTool() override;

  TCursor Cursor = 0;
  TChartToolMouseEvent OnClick;

  void SetAxis(TChartAxis* a) override;
  void SetParentChart(TCustomAxisPanel* chart) override;
  TColor Color() const { return color_; }
  void SetColor(TColor v);
  bool DrawBehind() const { return drawBehind_; }
  void SetDrawBehind(bool v);
  bool DrawBehindAxes() const { return drawBehindAxes_; }
  void SetDrawBehindAxes(bool v);
  double StartValue() const { return startValue_; }
  void SetStartValue(double v);
  double EndValue() const { return endValue_; }
  void SetEndValue(double v);
  int Transparency() const { return transparency_; }
  void SetTransparency(int v);  // 0..100 percent
  bool ResizeStart() const { return lower_->Active(); }
  void SetResizeStart(bool v) { lower_->SetActive(v), Repaint(); }
  bool ResizeEnd() const { return upper_->Active(); }
  void SetResizeEnd(bool v) { upper_->SetActive(v), Repaint(); }
  TChartGradient& Gradient() { return gradient_; }
  void SetGradient(const TChartGradient& g) { gradient_.Assign(g); }
  TChartPen& StartLinePen() { return lower_->Pen(); }
  TChartPen& EndLinePen() { return upper_->Pen(); }
  TColorLineTool& LowerEdgeLine() { return *lower_; }
  TColorLineTool& UpperEdgeLine() { return *upper_; }
  // The edge lines take the values again (after a form was read).
  void Loaded();

  // The screen rectangle of the band; empty when nothing is shown.
  TRect BoundsRect() const;
  bool Clicked(int x, int y) const;
  void DrawBand();

  void NotifyDrawStage(int event) override;
  void NotifyMouseAction(TChartMouseEventKind event, TMouseButton button, TShiftState shift, int x, int y) override;
  std::string Description() const override { return "Color Band"; }
  static std::string DesignEditorName() { return "TColorBandToolEditor"; }

 private:
  int DepthZ() const;
  void LineMoved(TColorLineTool& line);

  TColor color_ = clWhite;
  bool drawBehind_ = true, drawBehindAxes_ = false;
  double startValue_ = 0, endValue_ = 0;
  int transparency_ = 0;
  TChartGradient gradient_;
  std::unique_ptr<TColorLineTool> lower_, upper_;
};
