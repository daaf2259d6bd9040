#pragma once
// The series the program's charts draw: the fast polyline (the live spectrum
// and MPX traces) and the filled area (the smoothed band fill, the deviation
// chart), over their common line bases.
#include "chart/ChartEngineSeries.h"

// The canvas offers a pen whose colour is set on the device context, so a
// segment drawn on its own creates no pen object. Tests switch it off to see
// a system without it.
extern bool ChartDCPenAvailable;

class TCustomLineSeries : public TChartSeries {
 public:
  // The series' own pen.
  TChartPen& LinePen() { return Pen(); }
  // A line is drawn in the series colour: the pen follows it.
  void SetSeriesColor(TColor c) override;
  // The base settings and, from a line series, its pen.
  void Assign(const TChartSeries& source) override;

 protected:
  // The line pen in `color` across the vertical middle of a legend symbol.
  void PaintLegendLine(const TRect& r, TColor color);
};

class TFastLineSeries : public TCustomLineSeries {
 public:
  bool AutoRepaint() const { return autoRepaint_; }
  void SetAutoRepaint(bool v) { autoRepaint_ = v; }
  bool DrawAllPoints() const { return drawAllPoints_; }
  void SetDrawAllPoints(bool v) { SetFlag(drawAllPoints_, v); }
  bool IgnoreNulls() const { return ignoreNulls_; }
  void SetIgnoreNulls(bool v) { SetFlag(ignoreNulls_, v); }
  bool Stairs() const { return stairs_; }
  void SetStairs(bool v) { SetFlag(stairs_, v); }
  bool InvertedStairs() const { return invertedStairs_; }
  void SetInvertedStairs(bool v) { SetFlag(invertedStairs_, v); }
  bool StockPenMode() const { return stockPenMode_; }
  // Only where the device-context pen exists; otherwise nothing changes.
  void SetStockPenMode(bool v);

  // The line series' settings and, from a fast line, its own flags.
  void Assign(const TChartSeries& source) override;
  void DrawVisiblePoints() override;
  void PaintPoint(int i) override;
  int Clicked(int x, int y) override;
  // A horizontal line across the symbol's vertical middle.
  void PaintLegendSymbol(int index, const TRect& r) override;
  void HorizAxisMargins(int& a, int& b) override { a = b = PenMargin(); }
  void VertAxisMargins(int& a, int& b) override { a = PenMargin(), b = a + MarksValueMargin(); }
  std::string EditorName() const { return "TFastLineSeriesEditor"; }

 protected:
  // Without AutoRepaint the new point is drawn as one segment at once.
  void AnnounceNewPoint(int index) override;

 private:
  void SetFlag(bool& field, bool v) {
    if (field == v) return;
    field = v;
    Repaint();
  }
  int PenMargin() { return LinePen().Width() - (LinePen().Width() - 2) / 2; }
  void PreparePen();
  void DrawNewSegment(int index);
  bool autoRepaint_ = true, drawAllPoints_ = true, ignoreNulls_ = true, stairs_ = false, invertedStairs_ = false;
  bool stockPenMode_ = false;
  int priorX_ = 0, priorY_ = 0;
  bool gap_ = false;  // the last point had no place: the next one starts the line anew
};

enum TMultiArea : uint8_t { maNone, maStacked, maStacked100 };

// The pointer style of one point.
using TOnGetPointerStyle = std::function<TSeriesPointerStyle(TChartSeries& sender, int valueIndex)>;

// A line with pointers and, with DrawArea, a fill down to its origin.
class TCustomSeries : public TCustomLineSeries {
 public:
  TCustomSeries();
  TChartBrush& AreaChartBrush() { return areaBrush_; }
  TChartPen& AreaLinesPen() { return areaLinesPen_; }
  TColor AreaColor() const { return areaColor_; }
  void SetAreaColor(TColor v);
  TSeriesPointer& Pointer() { return pointer_; }
  // A click on a segment (or inside its area) finds the point before it.
  bool ClickableLine() const { return clickableLine_; }
  void SetClickableLine(bool v) { SetFlag(clickableLine_, v); }
  // Each segment in its point's colour (else the series colour).
  bool ColorEachLine() const { return colorEachLine_; }
  void SetColorEachLine(bool v) { SetFlag(colorEachLine_, v); }
  bool Dark3D() const { return dark3D_; }
  void SetDark3D(bool v) { SetFlag(dark3D_, v); }
  // A visible gradient fills the area instead of the brush, spanning the
  // series' largest to smallest value.
  TChartGradient& Gradient() { return gradient_; }
  // The area (with its lines) blended over what lies under it, in percent.
  uint8_t Transparency() const { return transparency_; }
  void SetTransparency(uint8_t v);
  bool DrawArea() const { return drawArea_; }
  void SetDrawArea(bool v);
  bool Stairs() const { return stairs_; }
  void SetStairs(bool v);
  bool InvertedStairs() const { return invertedStairs_; }
  void SetInvertedStairs(bool v);
  TSeriesOnAfterAdd OnClickPointer;
  TOnGetPointerStyle OnGetPointerStyle;
  // OnGetPointerStyle's answer when it is set, else the pointer's Style.
  TSeriesPointerStyle PointerStyleOf(int index);
  // The line series' settings and, from a custom series, its pointer, area
  // brush, colour and lines pen, stairs and flags.
  void Assign(const TChartSeries& source) override;

  void DrawVisiblePoints() override;
  void PaintPoint(int i) override;
  int Clicked(int x, int y) override;
  void HorizAxisMargins(int& a, int& b) override;
  void VertAxisMargins(int& a, int& b) override;
  // A line and the pointer, a line alone, or the area's filled rectangle.
  void PaintLegendSymbol(int index, const TRect& r) override;
  // The colour a point's area is filled with.
  TColor AreaColorOf(int i) const { return AreaColorFor(PointColorAt(i)); }
  // The pixel the area of point i reaches down (or up) to.
  virtual int OriginPixel(int i) const;
  // The point's pixel Y (stacked on the series before it when stacking).
  virtual int ValuePixelY(int i) const { return PointPixelY(i); }
  std::string EditorName() const { return "TCustomSeriesEditor"; }

 protected:
  uint8_t stacking_ = maNone;

 private:
  void DrawSegment(int i, TPoint p, int pb, TPoint c, int cb);
  // Every visible point's segment, and the one leaving the plot.
  void DrawAllSegments();
  void SetFlag(bool& field, bool v) {
    if (field == v) return;
    field = v;
    Repaint();
  }
  // The rectangle the area gradient spans between the columns x0 and x1,
  // reaching down (or up) to the origins as well.
  TRect GradientRect(int x0, int x1, int origin0, int origin1);
  // The area colour of a point of colour `point`.
  TColor AreaColorFor(TColor point) const;
  // The pointer of point `index` (-1: of the series) with `half` sizes
  // centred on `at`, in 3-D at the series' depths.
  void DrawPointer(int index, TPoint at, TSize half, TColor color, bool is3D);
  TChartBrush areaBrush_;
  TChartPen areaLinesPen_;
  TColor areaColor_ = clPaletteColor;
  TSeriesPointer pointer_;
  TChartGradient gradient_;
  bool clickableLine_ = true, colorEachLine_ = true, dark3D_ = true;
  uint8_t transparency_ = 0;
  bool drawArea_ = false, stairs_ = false, invertedStairs_ = false;
  TPoint prev_{};
  int prevOrigin_ = 0;
  TColor prevColor_ = clNone;
  bool firstDrawn_ = true;
};

class TAreaSeries : public TCustomSeries {
 public:
  TAreaSeries();
  bool UseYOrigin() const { return useYOrigin_; }
  void SetUseYOrigin(bool v);
  double YOrigin() const { return yOrigin_; }
  void SetYOrigin(double v);
  TMultiArea MultiArea() const { return TMultiArea(stacking_); }
  // Every area series of the chart stacks alike.
  void SetMultiArea(TMultiArea v);
  bool FunctionResultAsPoint() const override { return false; }
  // The custom series' settings and, from an area series, origin and stacking.
  void Assign(const TChartSeries& source) override;
  // With an origin the range includes it; stacked: up to the largest sum, or 0..100.
  double MinYValue() override;
  double MaxYValue() override;
  int OriginPixel(int i) const override;
  int ValuePixelY(int i) const override;
  std::string EditorName() const { return "TAreaSeriesEditor"; }

 private:
  // The sum of the values at `i` of the area series before this one, and
  // the total of all of them.
  void StackedSums(int i, double& before, double& total) const;
  bool useYOrigin_ = false;
  double yOrigin_ = 0;
};
