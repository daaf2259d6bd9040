#pragma once
// The chart panel: the control every chart is. Its core knows no widget: it
// has a size, computes the plotting rectangle from its border, bevels and
// margins, paints its face, drives one drawing frame into any device context
// (its own window pixels, a bitmap, a printer, a metafile recording), prints
// through a window/viewport mapping and broadcasts mouse events to the chart
// tools listening to it. TChartPanelHost (ChartPanelHost.h) shows it in a
// window.
#include <QImage>

#include <memory>
#include <vector>

#include "chart/ChartCanvas.h"
#include "platform/Metafile.h"

class TPainterDC;
class QPrinter;

enum TBevelCut : uint8_t { bvNone, bvLowered, bvRaised, bvSpace };
enum TChartUnits : uint8_t { muPercent, muPixels };
enum TPanningMode : uint8_t { pmNone, pmHorizontal, pmVertical, pmBoth };
enum TChartZoomDirection : uint8_t { tzdHorizontal, tzdVertical, tzdBoth };
enum TChartBackImageMode : uint8_t { pbmStretch, pbmTile, pbmCenter, pbmCustom };
enum TChartObjectShapeStyle : uint8_t { fosRectangle, fosRoundRectangle };
enum TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };
enum TShiftFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
using TShiftState = unsigned;
using TCursor = int;  // a Qt::CursorShape, or a chart cursor number (ChartProcs)

// Switches shared by every panel.
struct TChartPanelSwitches {
  bool ClipWhenPrinting = true;
  bool ClipWhenMetafiling = true;
  bool PrintPanelBackground = false;
  bool ThinPrintPens = true;  // non-solid 1-pixel pens print as the device's thinnest line
};
extern TChartPanelSwitches ChartPanelSwitches;

// --- Events

class TCustomChartPanel;

struct TChartEvent {
  virtual ~TChartEvent() = default;
  TCustomChartPanel* Sender = nullptr;
};

enum TChartMouseEventKind : uint8_t { cmeDown, cmeUp, cmeMove };

struct TChartMouseEvent : TChartEvent {
  TChartMouseEventKind Event = cmeDown;
  TMouseButton Button = mbLeft;
  TShiftState Shift = 0;
  int X = 0, Y = 0;
};

struct TChartView3DEvent : TChartEvent {};

// A chart tool hearing the panel's events.
class IChartEventListener {
 public:
  virtual ~IChartEventListener() = default;
  virtual void ChartEvent(const TChartEvent& event) = 0;
};
using TChartEventListeners = std::vector<IChartEventListener*>;

// --- Zoom and panning

class TZoomPanning {
 public:
  virtual ~TZoomPanning() = default;
  bool Active = false;
  int X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
  void Activate(int x, int y) { X0 = X1 = x, Y0 = Y1 = y, Active = true; }
  // Orders the corners so that X0 <= X1 and Y0 <= Y1.
  void Check();
  int Width() const { return X1 - X0; }
  int Height() const { return Y1 - Y0; }
};

class TChartZoomPen : public TChartPen {
 public:
  explicit TChartZoomPen(TChangeEvent onChange = {}) : TChartPen(std::move(onChange)) { SetColor(clWhite); }
  bool IsColorStored() const { return Color() != clWhite; }
};

class TChartZoomBrush : public TChartBrush {
 public:
  explicit TChartZoomBrush(TChangeEvent onChange = {}) : TChartBrush(std::move(onChange)) {
    SetColor(clWhite), SetStyle(bsClear);
  }
};

class TChartZoom : public TZoomPanning {
 public:
  bool Allow = true, Animated = false;
  int AnimatedSteps = 8;
  TChartZoomDirection Direction = tzdBoth;
  TShiftState KeyShift = 0;
  int MinimumPixels = 16;
  TMouseButton MouseButton = mbLeft;
  bool UpLeftZooms = false;
  // Created on first read.
  TChartZoomBrush& Brush();
  TChartZoomPen& Pen();
  bool HasBrush() const { return brush_ != nullptr; }
  void Assign(const TChartZoom& source);

 private:
  std::unique_ptr<TChartZoomBrush> brush_;
  std::unique_ptr<TChartZoomPen> pen_;
};

// --- Back image

class TBackImage : public TPicture {
 public:
  using TPicture::TPicture;
  bool Inside() const { return inside_; }
  void SetInside(bool v) { Update(inside_, v); }
  TChartBackImageMode Mode() const { return mode_; }
  void SetMode(TChartBackImageMode v) { Update(mode_, v); }
  int Left() const { return left_; }
  void SetLeft(int v) { Update(left_, v); }
  int Top() const { return top_; }
  void SetTop(int v) { Update(top_, v); }
  void Assign(const TBackImage& source);

 private:
  bool inside_ = false;
  TChartBackImageMode mode_ = pbmStretch;
  int left_ = 0, top_ = 0;
};

// --- The panel

// The platform panel without its caption: the control's own properties.
class TCustomPanelNoCaption {
 public:
  virtual ~TCustomPanelNoCaption() = default;
  int Width() const { return width_; }
  int Height() const { return height_; }
  // A new size; the chart is drawn again.
  void SetBounds(int width, int height);
  TColor Color() const { return color_; }
  void SetColor(TColor v);
  TBevelCut BevelInner = bvNone, BevelOuter = bvRaised;
  int BevelWidth = 1, BorderWidth = 0;
  TCursor Cursor = 0;
  // Set by the host while the control sits in a window.
  bool HasWindowParent = false;
  TColor ParentColor = clBtnFace;
  bool Designing = false;

 protected:
  virtual void Resized() {}
  virtual void ColorChanged() {}
  int width_ = 400, height_ = 250;
  TColor color_ = clBtnFace;
};

class TCustomChartPanel : public TCustomPanelNoCaption {
 public:
  TCustomChartPanel();
  ~TCustomChartPanel() override;
  TCustomChartPanel(const TCustomChartPanel&) = delete;
  TCustomChartPanel& operator=(const TCustomChartPanel&) = delete;

  bool AutoRepaint = true;
  bool StopMouseBroadcast = false;
  TRect FrameBounds;
  int PlotWidth = 0, PlotHeight = 0, PlotCenterX = 0, PlotCenterY = 0;
  TRect PlotRect;
  TCursor StashedCursor = 0;
  TZoomPanning Panning;
  bool Printing = false;
  int PrintMargins[4] = {15, 15, 15, 15};
  // A stored form keeps the print margins only when one is not 15.
  bool IsPrintMarginsStored() const;
  TChartEventListeners Listeners;
  // The host's repaint request (the control's own invalidation).
  std::function<void()> OnInvalidate;
  // The host's mouse position in client coordinates (see GetCursorPos).
  std::function<TPoint()> OnGetCursorPos;
  // The host shows again only `r` of the window pixels (drawn outside a frame).
  std::function<void(const TRect& r)> OnUpdateRect;
  void UpdateRect(const TRect& r) {
    if (OnUpdateRect) OnUpdateRect(r);
  }
  // The control's own double-click handling; it may set StopMouseBroadcast.
  std::function<void()> OnDblClick;

  TChartHiddenPen& Border() { return border_; }
  void SetBorder(const TChartPen& pen) { border_.Assign(pen); }
  int BorderRound() const { return borderRound_; }
  void SetBorderRound(int v);
  bool OffscreenBuffering() const { return canvas_->GetOffscreenBuffering(); }
  void SetOffscreenBuffering(bool v);
  int Margin(int index) const { return margins_[index]; }  // 0 left, 1 top, 2 right, 3 bottom
  void SetMargin(int index, int v);
  void SetMargins(int left, int top, int right, int bottom);
  TChartUnits MarginUnits() const { return marginUnits_; }
  void SetMarginUnits(TChartUnits v);
  bool Monochrome() const { return canvas_->GetMonochrome(); }
  void SetMonochrome(bool v) { canvas_->SetMonochrome(v); }
  bool PrintProportional() const { return printProportional_; }
  void SetPrintProportional(bool v);
  int PrintDetail() const { return printDetail_; }
  void SetPrintDetail(int v);
  TChartShadow& Shadow() { return shadow_; }
  const TChartShadow& Shadow() const { return shadow_; }
  void SetShadow(const TChartShadow& s) { shadow_.Assign(s); }
  bool View3D() const { return view3D_; }
  void SetView3D(bool v);
  TView3DOptions& View3DOptions() { return view3DOptions_; }
  TChartCanvas3D& Canvas() { return *canvas_; }
  // The control's own window pixels (the default surface).
  IDeviceContext& ControlCanvas() { return *control_; }
  const QImage& WindowImage() const;
  // What the window shows now: its pixels, or the buffer they are a copy of
  // (not made until anything else touches them).
  const QImage& ShownImage() const;
  // Where ShownImage changed with the frames drawn since the last call:
  // false when it may have changed anywhere, else the rectangles outside
  // which it shows what it showed then. (Drawing on the window outside a
  // frame is told through OnInvalidate and OnUpdateRect.)
  bool TakeShownChanges(std::vector<QRect>& rects);
  // A frame for the window is being drawn (not a print, picture or metafile).
  bool DrawingWindowFrame() const { return framing_; }
  void Assign(const TCustomChartPanel& source);

  // --- Virtual operations
  void Invalidate();
  // Shows the window: the buffer when it is still valid, else a new frame.
  void Paint();
  virtual TColor GetBackColor() const { return Color(); }
  virtual void PaintContent(const TRect& r) {}
  virtual void SurfaceModified() { Invalidate(); }
  // One frame into any surface, OffscreenBuffering off for a foreign one.
  virtual void Draw(IDeviceContext& surface, const TRect& r);
  virtual TRect PanelRectangle() const;
  // The face drawn first sets every pixel of the frame (see the canvas' layers).
  virtual bool FaceCoversFrame() const { return false; }

  void PaintIntoMetafile(IDeviceContext& surface, const TRect& r);
  // A recorded picture of at least 1 × 1 of the chart drawn into `r`.
  TDisplayList BuildMetafile(const TRect& r);
  // Saves the whole panel as a plain or enhanced metafile (see SaveFileAtomically).
  void WriteMetafile(const QString& fileName);
  void WriteEnhancedMetafile(const QString& fileName);
  // A picture of `r`'s size filled with the back colour and drawn into.
  QImage MakeSizedBitmap(TColor backColor, const TRect& r, QImage::Format format = QImage::Format_RGB32);
  // The whole panel drawn on its colour becomes the picture.
  void AssignTo(QImage& destination);
  void AssignTo(TPicture& destination);
  // The mouse position in client coordinates; (0, 0) while no window shows the panel.
  TPoint GetCursorPos() const { return OnGetCursorPos ? OnGetCursorPos() : TPoint{}; }
  // Prints the chart into `r` of a printer surface; an empty rectangle prints nothing.
  void PrintIntoRect(IDeviceContext& surface, const TRect& r);
  // Percent margins that keep the chart's proportions on the page.
  struct TPageInfo {
    int Width = 0, Height = 0;  // pixels
    int DpiX = 1, DpiY = 1;
  };
  // `page` null: no printer to ask, the screen's size is used.
  TRect PrintMarginsToFit(const TPageInfo* page) const;
  bool ClippingAllowed() const;
  void ApplyPatternBrush(TColor color, const TChartBrush& brush, TColor backColor);
  void AdjustPrintPenWidth(TDCPen& pen) const;
  void PaintBevels(TRect r);
  TColor PaletteColorAt(int index) const;

  // --- Mouse, from the host
  // Virtual: the chart control adds its click dispatch, zoom and panning.
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  // False when a listener stopped the broadcast (the click is aborted).
  bool DblClick();
  // Returns the cursor to show again.
  // Virtual: the axis panel tells its tools as well.
  virtual TCursor MouseLeave();
  void BroadcastChartEvent(TChartEvent& event);
  void Loaded() { StashedCursor = Cursor; }

 protected:
  void Resized() override;
  void ColorChanged() override { Invalidate(); }
  void ComputePlotRect();
  void RecomputePlotSize();
  void DrawFrame(IDeviceContext& surface, const TRect& r);
  void BroadcastMouse(TChartMouseEventKind kind, TMouseButton button, TShiftState shift, int x, int y);
  template <class T>
  void Set(T& field, const T& v) {
    if (field == v) return;
    field = v;
    Invalidate();
  }
  std::unique_ptr<TChartCanvas3D> canvas_;

 private:
  void MakeWindowSurface();
  // The window's pixels become those of the buffer they show.
  void CopyBufferToWindow();
  TChartHiddenPen border_;
  int borderRound_ = 0;
  int margins_[4] = {3, 4, 3, 4};
  TChartUnits marginUnits_ = muPercent;
  bool printProportional_ = true;
  int printDetail_ = 0;
  TChartShadow shadow_;
  bool view3D_ = true;
  TView3DOptions view3DOptions_;
  std::unique_ptr<QImage> window_;
  std::unique_ptr<IDeviceContext> control_;
  // The window shows the canvas' buffer as it is: a frame is not copied into
  // the window until anything draws on the window, reads it or changes the
  // buffer between frames.
  bool windowIsBuffer_ = false;
  bool framing_ = false;  // a frame is drawn into the buffer for the window
  // Not yet taken by TakeShownChanges.
  std::vector<QRect> shownChanges_;
  bool shownAll_ = true;
  void NoteShownChanges(const std::vector<QRect>* rects);  // nullptr: anywhere
  bool destroying_ = false;
};

class TCustomChartPanelExtended : public TCustomChartPanel {
 public:
  TCustomChartPanelExtended();
  ~TCustomChartPanelExtended() override;

  TPanningMode AllowPanning = pmBoth;
  bool Zoomed = false;
  std::function<void(TCustomChartPanelExtended*)> OnUndoZoom;

  // Created on first read.
  TChartGradient& Gradient();
  bool HasGradient() const { return gradient_ != nullptr; }
  void SetGradient(const TChartGradient* g);
  TChartZoom& Zoom() { return zoom_; }
  TBackImage& BackImage();
  bool HasBackImage() const { return backImage_ && !backImage_->Empty(); }
  // Forwarded to the back image; without a picture they read as the defaults.
  bool BackImageInside() const { return HasBackImage() && backImage_->Inside(); }
  void SetBackImageInside(bool v) { BackImage().SetInside(v); }
  TChartBackImageMode BackImageMode() const { return HasBackImage() ? backImage_->Mode() : pbmStretch; }
  void SetBackImageMode(TChartBackImageMode v) { BackImage().SetMode(v); }
  // The picture's own: without a picture it reads False and cannot be set.
  bool BackImageTransp() const { return HasBackImage() && backImage_->Transparent(); }
  void SetBackImageTransp(bool v) {
    if (HasBackImage()) backImage_->SetTransparent(v);
  }
  // The zoom's settings under the names the panel also gives them.
  bool AllowZoom() const { return zoom_.Allow; }
  void SetAllowZoom(bool v) { zoom_.Allow = v; }
  bool AnimatedZoom() const { return zoom_.Animated; }
  void SetAnimatedZoom(bool v) { zoom_.Animated = v; }
  int AnimatedZoomSteps() const { return zoom_.AnimatedSteps; }
  void SetAnimatedZoomSteps(int v) { zoom_.AnimatedSteps = v; }
  void SetBackImage(const TBackImage* image);
  void Assign(const TCustomChartPanelExtended& source);

  virtual void FillPanelBack(const TRect& r);
  virtual void PaintPanelFace(TRect r);
  bool FaceCoversFrame() const override;
  void PaintBackImage(const TRect& r, int z);
  // The zoom rectangle in not-xor: drawing it again erases it.
  void DrawZoomRectangle();
  void UndoZoom();

 private:
  // nullptr frees the sub-object; anything else is copied into it.
  template <class T>
  void ReplaceSubObject(std::unique_ptr<T>& owned, const T* source);
  std::unique_ptr<TChartGradient> gradient_;
  TChartZoom zoom_;
  std::unique_ptr<TBackImage> backImage_;
};

// --- Shapes (titles, legend, marks and annotations descend from these)

// What a framed shape is drawn from. The panel's shapes (titles, legend,
// annotations) and the axes' and marks' text boxes share one drawing.
struct TShapeLook {
  const TChartBrush* Brush = nullptr;
  const TChartPen* Pen = nullptr;  // the frame
  TColor Color = clWhite;
  uint8_t Transparency = 0;
  const TChartShadow* Shadow = nullptr;            // none: no shadow
  const TCustomChartGradient* Gradient = nullptr;  // none or hidden: the brush fills
  TChartObjectShapeStyle Style = fosRectangle;
  TBevelCut Bevel = bvNone;
  int BevelWidth = 2;
  // The frame as the platform's rectangle (right and bottom edges outside),
  // not as the projected quadrilateral.
  bool PlainRectangle = false;
};
// Shadow, fill (gradient or brush), frame and bevel of `r` turned by `angle`
// degrees about its centre, blended by the look's Transparency. The shape
// lies flat on the panel whatever the 3-D view.
void PaintShapeLook(TChartCanvas3D& canvas, const TShapeLook& look, const TRect& r, double angle, int z = 0);

class TChartCustomShapeBrushPen : public TChartPersistent {
 public:
  explicit TChartCustomShapeBrushPen(TCustomChartPanel* parent = nullptr);
  TChartBrush& Brush() { return brush_; }
  TChartPen& Pen() { return pen_; }
  TCustomChartPanel* ParentChart() const { return parent_; }
  void SetParentChart(TCustomChartPanel* p) { parent_ = p; }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { Update(visible_, v); }

 protected:
  TCustomChartPanel* parent_;
  TChartBrush brush_;
  TChartPen pen_;
  bool visible_ = true;
};

class TChartCustomShape : public TChartCustomShapeBrushPen {
 public:
  // A value of the shape that reads as a plain value; writing a different
  // one repaints the shape's chart.
  template <class T>
  class TProperty {
   public:
    TProperty(TChartCustomShape* owner, T value) : owner_(owner), value_(value) {}
    TProperty(const TProperty&) = delete;
    TProperty& operator=(const TProperty& other) { return *this = T(other); }
    TProperty& operator=(T v) {
      owner_->Update(value_, v);
      return *this;
    }
    operator T() const { return value_; }

   private:
    TChartCustomShape* owner_;
    T value_;
  };

  using TChartCustomShapeBrushPen::TChartCustomShapeBrushPen;
  TProperty<TBevelCut> Bevel{this, bvNone};
  TProperty<int> BevelWidth{this, 2};
  TProperty<TColor> Color{this, clWhite};
  TProperty<TChartObjectShapeStyle> ShapeStyle{this, fosRectangle};
  TProperty<bool> Transparent{this, false};
  TProperty<uint8_t> Transparency{this, 0};
  TChartFont& Font() { return font_; }
  TChartShadow& Shadow();
  TChartGradient& Gradient();
  bool HasShadow() const { return shadow_ != nullptr; }
  bool HasGradient() const { return gradient_ != nullptr; }
  // Copies the frame, fill, font, shadow, gradient and the shape values.
  void Assign(const TChartCustomShape& source);
  // Draws the shape into `r` rotated by `angle` degrees about its centre.
  void PaintRotatedShape(TChartCanvas3D& canvas, const TRect& r, double angle, int z = 0);

 protected:
  // Shapes whose shadow starts other than black and 3 pixels.
  void SetShadowDefaults(TColor color, int size);

 private:
  TChartFont font_{Forward()};
  std::unique_ptr<TChartShadow> shadow_;
  std::unique_ptr<TChartGradient> gradient_;
};

class TChartShape : public TChartCustomShape {
 public:
  using TChartCustomShape::TChartCustomShape;
};

// --- Printing on a printer

// The page of a printer in device pixels and its resolution.
TCustomChartPanel::TPageInfo PageInfoOf(QPrinter& printer);
// Prints the panel on one page inside its PrintMargins (percent of the page,
// PrintMarginsToFit's when PrintProportional). Where no printer is installed
// the page goes to the PDF file `pdfFileName`.
void PrintChartPage(TCustomChartPanel& panel, QPrinter& printer, const QString& pdfFileName);
