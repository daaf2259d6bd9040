#include "chart/ChartPanel.h"

#include <QGuiApplication>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "chart/ChartProcs.h"
#include "platform/AtomicFile.h"
#include "platform/PainterDC.h"

TChartPanelSwitches ChartPanelSwitches;

namespace {

// a × b / c rounded half away from zero, as the platform's MulDiv.
int MulDiv(int a, int b, int c) { return c == 0 ? -1 : int(std::llround(double(a) * b / c)); }

TRect Shrunk(const TRect& r, int by) { return {r.Left + by, r.Top + by, r.Right - by, r.Bottom - by}; }

// Restores a value when the scope ends, also on an error.
template <class F>
struct TFinally {
  F f;
  ~TFinally() { f(); }
};
template <class F>
TFinally(F) -> TFinally<F>;

}  // namespace

// --- Zoom, panning, back image

void TZoomPanning::Check() {
  if (X0 > X1) std::swap(X0, X1);
  if (Y0 > Y1) std::swap(Y0, Y1);
}

TChartZoomBrush& TChartZoom::Brush() {
  if (!brush_) brush_ = std::make_unique<TChartZoomBrush>();
  return *brush_;
}

TChartZoomPen& TChartZoom::Pen() {
  if (!pen_) pen_ = std::make_unique<TChartZoomPen>();
  return *pen_;
}

void TChartZoom::Assign(const TChartZoom& s) {
  Allow = s.Allow, Animated = s.Animated, AnimatedSteps = s.AnimatedSteps, Direction = s.Direction;
  KeyShift = s.KeyShift, MouseButton = s.MouseButton;
  if (s.brush_) Brush().Assign(*s.brush_);
  if (s.pen_) Pen().Assign(*s.pen_);
}

void TBackImage::Assign(const TBackImage& s) {
  TBatch batch(*this);
  SetInside(s.inside_), SetMode(s.mode_), SetLeft(s.left_), SetTop(s.top_);
  TPicture::Assign(s);
}

// --- The control

void TCustomPanelNoCaption::SetBounds(int width, int height) {
  if (width == width_ && height == height_) return;
  width_ = std::max(0, width), height_ = std::max(0, height);
  Resized();
}

void TCustomPanelNoCaption::SetColor(TColor v) {
  if (v == color_) return;
  color_ = v;
  ColorChanged();
}

TCustomChartPanel::TCustomChartPanel()
    : border_([this](TChartPersistent*) { SurfaceModified(); }),
      shadow_([this](TChartPersistent*) { SurfaceModified(); }),
      view3DOptions_([this](TChartPersistent*) { SurfaceModified(); }) {
  MakeWindowSurface();
  canvas_ = std::make_unique<TChartCanvas3D>(control_.get());
  canvas_->OnRepaint = [this] { Invalidate(); };
  canvas_->OnBufferChanging = [this] {
    if (!framing_) CopyBufferToWindow();
  };
  canvas_->AdjustPen = [this](TDCPen& pen) { AdjustPrintPenWidth(pen); };
  border_.SetEndStyle(esFlat);
}

TCustomChartPanel::~TCustomChartPanel() { destroying_ = true; }

void TCustomChartPanel::MakeWindowSurface() {
  // The old surface ends its painting while its pixels still exist.
  auto image = std::make_unique<QImage>(std::max(1, width_), std::max(1, height_), QImage::Format_RGB32);
  image->fill(Qt::white);
  auto dc = std::make_unique<TPainterDC>(image.get());
  dc->BeforePixels = [this] { CopyBufferToWindow(); };
  if (canvas_) canvas_->SetReference(dc.get());
  control_ = std::move(dc);
  window_ = std::move(image);
  windowIsBuffer_ = false;
}

void TCustomChartPanel::CopyBufferToWindow() {
  if (!windowIsBuffer_) return;
  windowIsBuffer_ = false;
  const QImage& buffer = canvas_->Buffer();
  if (buffer.format() != window_->format()) return;
  // Both are the panel's size; whatever they share is copied.
  const int rows = std::min(buffer.height(), window_->height());
  const size_t bytes = size_t(std::min(buffer.bytesPerLine(), window_->bytesPerLine()));
  for (int y = 0; y < rows; ++y) std::memcpy(window_->scanLine(y), buffer.constScanLine(y), bytes);
}

const QImage& TCustomChartPanel::WindowImage() const {
  const_cast<TCustomChartPanel*>(this)->CopyBufferToWindow();
  return *window_;
}

const QImage& TCustomChartPanel::ShownImage() const {
  if (windowIsBuffer_ && canvas_->Buffer().size() == window_->size()) return canvas_->Buffer();
  return WindowImage();
}

void TCustomChartPanel::Resized() {
  MakeWindowSurface();
  canvas_->PanelResized({width_, height_});
  Invalidate();
}

void TCustomChartPanel::SetBorderRound(int v) { Set(borderRound_, v); }
void TCustomChartPanel::SetOffscreenBuffering(bool v) {
  if (v == OffscreenBuffering()) return;
  canvas_->SetOffscreenBuffering(v);
  Invalidate();
}
void TCustomChartPanel::SetMargin(int index, int v) { Set(margins_[index], v); }
void TCustomChartPanel::SetMargins(int l, int t, int r, int b) {
  const int m[4] = {l, t, r, b};
  if (std::equal(m, m + 4, margins_)) return;
  std::copy(m, m + 4, margins_);
  Invalidate();
}
void TCustomChartPanel::SetMarginUnits(TChartUnits v) { Set(marginUnits_, v); }
void TCustomChartPanel::SetPrintProportional(bool v) { Set(printProportional_, v); }
void TCustomChartPanel::SetPrintDetail(int v) { Set(printDetail_, v); }

void TCustomChartPanel::SetView3D(bool v) {
  if (v == view3D_) return;
  view3D_ = v;
  Invalidate();
  TChartView3DEvent e;
  BroadcastChartEvent(e);
}

void TCustomChartPanel::Assign(const TCustomChartPanel& s) {
  border_.Assign(s.border_);
  borderRound_ = s.borderRound_;
  SetOffscreenBuffering(s.OffscreenBuffering());
  printProportional_ = s.printProportional_, printDetail_ = s.printDetail_, marginUnits_ = s.marginUnits_;
  std::copy(s.margins_, s.margins_ + 4, margins_);
  std::copy(s.PrintMargins, s.PrintMargins + 4, PrintMargins);
  shadow_.Assign(s.shadow_);
  view3D_ = s.view3D_;
  view3DOptions_.Assign(s.view3DOptions_);
  color_ = s.color_, BevelInner = s.BevelInner, BevelOuter = s.BevelOuter, BevelWidth = s.BevelWidth;
  BorderWidth = s.BorderWidth, Cursor = s.Cursor;
  SetBounds(s.width_, s.height_);
  Invalidate();
}

void TCustomChartPanel::Invalidate() {
  if (!AutoRepaint) return;
  canvas_->Invalidate();
  if (OnInvalidate) OnInvalidate();
}

TRect TCustomChartPanel::PanelRectangle() const { return {0, 0, width_, height_}; }

// --- One frame

void TCustomChartPanel::Paint() {
  if (Printing) return;
  if (!canvas_->BufferStale() && !canvas_->Buffer().isNull()) {
    if (!windowIsBuffer_) NoteShownChanges(nullptr);
    windowIsBuffer_ = true;  // the window shows the buffer again
    return;
  }
  DrawFrame(*control_, PanelRectangle());
}

void TCustomChartPanel::NoteShownChanges(const std::vector<QRect>* rects) {
  if (shownAll_) return;
  if (!rects || shownChanges_.size() + rects->size() > 32) {
    shownAll_ = true;
    shownChanges_.clear();
    return;
  }
  shownChanges_.insert(shownChanges_.end(), rects->begin(), rects->end());
}

bool TCustomChartPanel::TakeShownChanges(std::vector<QRect>& rects) {
  rects = std::move(shownChanges_);
  shownChanges_.clear();
  const bool known = !shownAll_;
  shownAll_ = false;
  return known;
}

void TCustomChartPanel::Draw(IDeviceContext& surface, const TRect& r) {
  if (&surface == control_.get()) return DrawFrame(surface, r);
  const bool buffered = OffscreenBuffering();
  canvas_->SetOffscreenBuffering(false);
  TFinally restore{[&] { canvas_->SetOffscreenBuffering(buffered); }};
  DrawFrame(surface, r);
}

void TCustomChartPanel::DrawFrame(IDeviceContext& surface, const TRect& r) {
  // The window's own frame stays in the buffer, which the window then shows.
  const bool own = &surface == control_.get() && OffscreenBuffering();
  const bool shownBuffer = windowIsBuffer_;
  framing_ = own;
  struct TEnd {
    bool& flag;
    ~TEnd() { flag = false; }
  } end{framing_};
  FrameBounds = canvas_->OpenFrame(&surface, &view3DOptions_, Color(), view3D_, r);
  // The window's own frames may keep their static layers; prints, pictures
  // and metafiles are drawn whole.
  if (&surface == control_.get() && !Printing && FaceCoversFrame()) canvas_->EnableLayers();
  ComputePlotRect();
  RecomputePlotSize();
  PaintContent(FrameBounds);
  if (own && canvas_->FinishBufferFrame(control_.get())) {
    windowIsBuffer_ = true;
    // The window showed the frame before unless it was drawn on since.
    std::vector<QRect> changes;
    NoteShownChanges(shownBuffer && canvas_->FrameChanges(changes) ? &changes : nullptr);
    return;
  }
  canvas_->PresentBuffer(&surface, control_.get(), FrameBounds);
  if (&surface == control_.get()) NoteShownChanges(nullptr);
}

void TCustomChartPanel::ComputePlotRect() {
  const int W = FrameBounds.Width(), H = FrameBounds.Height();
  int B = BorderWidth;
  if (BevelInner != bvNone) B += BevelWidth;
  if (BevelOuter != bvNone) B += BevelWidth;
  if (border_.Visible()) B += border_.Width();
  auto px = [&](int index, int size) { return marginUnits_ == muPixels ? margins_[index] : margins_[index] * size / 100; };
  PlotRect = {FrameBounds.Left + B + px(0, W), FrameBounds.Top + B + px(1, H), FrameBounds.Right - B - px(2, W),
              FrameBounds.Bottom - B - px(3, H)};
}

void TCustomChartPanel::RecomputePlotSize() {
  TRect& p = PlotRect;
  p.Left = std::max(p.Left, FrameBounds.Left);
  p.Top = std::max(p.Top, FrameBounds.Top);
  if (p.Left > p.Right) p.Right = p.Left + 1;
  else if (p.Left == p.Right) p.Right = p.Left + width_;
  if (p.Top > p.Bottom) p.Bottom = p.Top + 1;
  else if (p.Top == p.Bottom) p.Bottom = p.Top + height_;
  PlotWidth = p.Width(), PlotHeight = p.Height();
  PlotCenterX = (p.Left + p.Right) / 2, PlotCenterY = (p.Top + p.Bottom) / 2;
}

// --- Metafiles, bitmaps, printing

void TCustomChartPanel::PaintIntoMetafile(IDeviceContext& surface, const TRect& r) {
  canvas_->Metafiling = true;
  TFinally restore{[&] { canvas_->Metafiling = false; }};
  Draw(surface, r);
}

TDisplayList TCustomChartPanel::BuildMetafile(const TRect& r) {
  const TSize size{std::max(1, r.Width()), std::max(1, r.Height())};
  TRecordingDC dc(size);
  PaintIntoMetafile(dc, r);
  return {size, std::move(dc.List)};
}

void TCustomChartPanel::WriteMetafile(const QString& fileName) {
  SaveFileAtomically(fileName, PlainMetafileBytes(BuildMetafile(PanelRectangle())));
}

void TCustomChartPanel::WriteEnhancedMetafile(const QString& fileName) {
  SaveFileAtomically(fileName, EnhancedMetafileBytes(BuildMetafile(PanelRectangle())));
}

QImage TCustomChartPanel::MakeSizedBitmap(TColor backColor, const TRect& r, QImage::Format format) {
  QImage image(std::max(1, r.Width()), std::max(1, r.Height()), QImage::Format_RGB32);
  // A new image holds whatever memory held: always filled, white included.
  const TColor c = ColorToRGB(backColor);
  image.fill(QColor(GetRValue(c), GetGValue(c), GetBValue(c)));
  {
    TPainterDC dc(&image);
    Draw(dc, {0, 0, image.width(), image.height()});
  }
  return format == QImage::Format_RGB32 ? image : image.convertToFormat(format);
}

void TCustomChartPanel::AssignTo(QImage& destination) { destination = MakeSizedBitmap(Color(), PanelRectangle()); }

void TCustomChartPanel::AssignTo(TPicture& destination) {
  destination.SetImage(MakeSizedBitmap(Color(), PanelRectangle()));
}

bool TCustomChartPanel::IsPrintMarginsStored() const {
  return std::any_of(PrintMargins, PrintMargins + 4, [](int m) { return m != 15; });
}

void TCustomChartPanel::PrintIntoRect(IDeviceContext& surface, const TRect& r) {
  const TRect P = NormalizeRect(r);
  if (P.IsEmpty()) return;  // nothing to map the chart onto
  const TRect panel = PanelRectangle();
  const int W = panel.Width(), H = panel.Height();
  // A detail of 100 or more still leaves one logical unit.
  const int Wl = std::max(1, W - MulDiv(W, printDetail_, 100));
  const int Hl = std::max(1, H - MulDiv(H, printDetail_, 100));
  const TRect logical{MulDiv(P.Left, Wl, P.Width()), MulDiv(P.Top, Hl, P.Height()), MulDiv(P.Right, Wl, P.Width()),
                      MulDiv(P.Bottom, Hl, P.Height())};
  const TDCMapping previous = surface.Mapping();
  surface.SetMapping({{0, 0}, {Wl, Hl}, {0, 0}, {P.Width(), P.Height()}});
  Printing = true;
  bool clipped = false;
  TFinally restore{[&] {
    if (clipped) surface.PopClip();
    Printing = false;
    surface.SetMapping(previous);
  }};
  if (ClippingAllowed()) {
    surface.PushClip();
    clipped = true;
    surface.ClipRect(logical);
  }
  PaintIntoMetafile(surface, logical);
}

TRect TCustomChartPanel::PrintMarginsToFit(const TPageInfo* page) const {
  double Pw, Ph, d = 1;
  if (page) {
    Pw = page->Width, Ph = page->Height, d = double(page->DpiX) / page->DpiY;
  } else {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize s = screen ? screen->size() : QSize(1920, 1080);
    Pw = s.width(), Ph = s.height();
  }
  const TRect panel = PanelRectangle();
  const double W = panel.Width(), H = panel.Height();
  if (W > H) {
    const int M = int(std::nearbyint((Ph - (Pw - 0.30 * Pw) * (H / W) * d) * 100 / Ph)) / 2;
    return {15, M, 15, M};
  }
  if (H == 0) return {15, 15, 15, 15};  // a 0 × 0 chart has no proportions to keep
  const int M = int(std::nearbyint((Pw - (Ph - 0.30 * Ph) * (W / H) * d) * 100 / Pw)) / 2;
  return {M, 15, M, 15};
}

bool TCustomChartPanel::ClippingAllowed() const {
  if (canvas_->IsAlternateRenderer()) return false;
  if (Printing) return ChartPanelSwitches.ClipWhenPrinting;
  if (canvas_->Metafiling) return ChartPanelSwitches.ClipWhenMetafiling;
  return true;
}

void TCustomChartPanel::ApplyPatternBrush(TColor color, const TChartBrush& brush, TColor backColor) {
  if (brush.Style() != bsSolid && backColor == color) color = ColorToRGB(color) == clBlack ? clWhite : clBlack;
  canvas_->PrepareBrushWithColor(brush, color, backColor);
}

void TCustomChartPanel::AdjustPrintPenWidth(TDCPen& pen) const {
  if (Printing && ChartPanelSwitches.ThinPrintPens && pen.Style != TDCPenStyle::Solid && pen.Width == 1) pen.Width = 0;
}

TColor TCustomChartPanel::PaletteColorAt(int index) const { return ::PaletteColorAt(index); }

void TCustomChartPanel::PaintBevels(TRect r) {
  TChartCanvas3D& c = *canvas_;
  c.SetBrushStyle(bsClear);
  if (border_.Visible()) {
    c.PreparePen(border_);
    const int w = border_.Width();
    if (!border_.SmallDots() && w > 1) r = Shrunk(r, int(std::nearbyint(w / 2.0)));
    if (borderRound_ < 1) c.Rectangle(r);
    else c.RoundRect(r, borderRound_, borderRound_);
    r = Shrunk(r, w + (border_.SmallDots() ? 0 : 1));
  }
  if (Printing && !ChartPanelSwitches.PrintPanelBackground) return;
  TDCPen pen = c.DC().Pen();
  pen.Style = TDCPenStyle::Solid, pen.Width = 1;
  c.DC().SetPen(pen);
  c.DC().SetRop2(TDCRop2::CopyPen);
  auto bevel = [&](TBevelCut cut) {
    if (cut == bvNone) return;
    const TColor a = cut == bvLowered ? clBtnShadow : clBtnHighlight, b = cut == bvLowered ? clBtnHighlight : clBtnShadow;
    if (borderRound_ >= 1) {
      pen.Color = a;
      c.DC().SetPen(pen);
      c.RoundRect(r, borderRound_, borderRound_);
    } else {
      c.Frame3D(r, a, b, BevelWidth);
    }
    r = Shrunk(r, BevelWidth);
  };
  bevel(BevelOuter);
  if (BorderWidth > 0) {
    c.Frame3D(r, Color(), Color(), BorderWidth);
    r = Shrunk(r, BorderWidth);
  }
  bevel(BevelInner);
}

TCustomChartPanel::TPageInfo PageInfoOf(QPrinter& printer) {
  const QRect page = printer.pageLayout().fullRectPixels(printer.resolution());
  return {page.width(), page.height(), printer.logicalDpiX(), printer.logicalDpiY()};
}

void PrintChartPage(TCustomChartPanel& panel, QPrinter& printer, const QString& pdfFileName) {
  if (QPrinterInfo::availablePrinterNames().isEmpty()) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdfFileName);
  }
  const TCustomChartPanel::TPageInfo page = PageInfoOf(printer);
  const TRect m = panel.PrintProportional() ? panel.PrintMarginsToFit(&page)
                                            : TRect{panel.PrintMargins[0], panel.PrintMargins[1],
                                                    panel.PrintMargins[2], panel.PrintMargins[3]};
  // The painter's origin is the printable area's corner, not the paper's.
  const QRect paint = printer.pageLayout().paintRectPixels(printer.resolution());
  const TRect r{page.Width * m.Left / 100 - paint.left(), page.Height * m.Top / 100 - paint.top(),
                page.Width - page.Width * m.Right / 100 - paint.left(),
                page.Height - page.Height * m.Bottom / 100 - paint.top()};
  TPainterDC dc(&printer);
  panel.PrintIntoRect(dc, r);
}

// --- Mouse

void TCustomChartPanel::BroadcastChartEvent(TChartEvent& event) {
  if (destroying_) return;
  event.Sender = this;
  const bool mouse = dynamic_cast<TChartMouseEvent*>(&event) != nullptr;
  const TChartEventListeners listeners = Listeners;  // a listener may leave while hearing
  for (IChartEventListener* l : listeners) {
    l->ChartEvent(event);
    if (mouse && StopMouseBroadcast) break;
  }
}

void TCustomChartPanel::BroadcastMouse(TChartMouseEventKind kind, TMouseButton button, TShiftState shift, int x,
                                       int y) {
  TChartMouseEvent e;
  e.Event = kind, e.Button = button, e.Shift = shift, e.X = x, e.Y = y;
  BroadcastChartEvent(e);
}

void TCustomChartPanel::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  StopMouseBroadcast = false;
  BroadcastMouse(cmeDown, button, shift, x, y);
}

void TCustomChartPanel::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  BroadcastMouse(cmeUp, button, shift, x, y);
}

void TCustomChartPanel::MouseMove(TShiftState shift, int x, int y) {
  StopMouseBroadcast = false;
  if (!Listeners.empty() && !Designing) BroadcastMouse(cmeMove, mbLeft, shift, x, y);
}

bool TCustomChartPanel::DblClick() {
  StopMouseBroadcast = false;
  if (OnDblClick) OnDblClick();
  return !StopMouseBroadcast;
}

TCursor TCustomChartPanel::MouseLeave() {
  Cursor = StashedCursor;
  Panning.Active = false;
  return Cursor;
}

// --- Extended panel

TCustomChartPanelExtended::TCustomChartPanelExtended() = default;
TCustomChartPanelExtended::~TCustomChartPanelExtended() = default;

template <class T>
void TCustomChartPanelExtended::ReplaceSubObject(std::unique_ptr<T>& owned, const T* source) {
  if (!source) {
    owned.reset();
    Invalidate();
    return;
  }
  if (!owned) owned = std::make_unique<T>([this](TChartPersistent*) { SurfaceModified(); });
  owned->Assign(*source);
}

TChartGradient& TCustomChartPanelExtended::Gradient() {
  if (!gradient_) gradient_ = std::make_unique<TChartGradient>([this](TChartPersistent*) { SurfaceModified(); });
  return *gradient_;
}

void TCustomChartPanelExtended::SetGradient(const TChartGradient* g) { ReplaceSubObject(gradient_, g); }

TBackImage& TCustomChartPanelExtended::BackImage() {
  if (!backImage_) backImage_ = std::make_unique<TBackImage>([this](TChartPersistent*) { SurfaceModified(); });
  return *backImage_;
}

void TCustomChartPanelExtended::SetBackImage(const TBackImage* image) { ReplaceSubObject(backImage_, image); }

void TCustomChartPanelExtended::Assign(const TCustomChartPanelExtended& s) {
  SetBackImage(s.backImage_.get());
  SetGradient(s.gradient_.get());
  AllowPanning = s.AllowPanning;
  zoom_.Assign(s.zoom_);
  TCustomChartPanel::Assign(s);
}

void TCustomChartPanelExtended::FillPanelBack(const TRect& r) {
  if (gradient_ && gradient_->Visible()) {
    gradient_->Draw(*canvas_, r);
  } else if ((!Printing || ChartPanelSwitches.PrintPanelBackground) && Color() != clNone) {
    canvas_->DC().SetBrush({TDCBrushStyle::Solid, ColorToRGB(Color()), {}});
    canvas_->FillRect(r);
  }
}

bool TCustomChartPanelExtended::FaceCoversFrame() const {
  if (gradient_ && gradient_->Visible()) return true;
  if (Color() == clNone) return false;
  const bool shadow = Shadow().HorizSize() > 0 || Shadow().VertSize() > 0;
  return !shadow || (HasWindowParent ? ParentColor : Color()) != clNone;
}

void TCustomChartPanelExtended::PaintPanelFace(TRect r) {
  TChartCanvas3D& c = *canvas_;
  c.EnterFlatMode();
  if (Shadow().HorizSize() > 0 || Shadow().VertSize() > 0) {
    c.DC().SetBrush({TDCBrushStyle::Solid, ColorToRGB(HasWindowParent ? ParentColor : Color()), {}});
    c.FillRect(r);
    r.Right -= Shadow().HorizSize(), r.Bottom -= Shadow().VertSize();
    Shadow().Draw(c, r);
  }
  FillPanelBack(r);
  if (HasBackImage() && !BackImageInside()) PaintBackImage(PanelRectangle(), 0);
  PaintBevels(r);
  c.LeaveFlatMode();
}

void TCustomChartPanelExtended::PaintBackImage(const TRect& r, int z) {
  if (!HasBackImage()) return;
  TChartCanvas3D& c = *canvas_;
  const QImage img = backImage_->DrawnImage();
  TRect target = r;
  if (z > 0) {  // the wall's plane: the rectangle's projection
    const TPoint a = c.ProjectToPoint(r.Left, r.Top, z), b = c.ProjectToPoint(r.Right, r.Bottom, z);
    target = {a.X, a.Y, b.X, b.Y};
  }
  if (backImage_->Mode() == pbmStretch) {
    c.StretchDraw(target, &img);
    return;
  }
  const bool clip = ClippingAllowed();
  if (clip) c.ClipToRect(target);
  switch (backImage_->Mode()) {
    case pbmTile:
      for (int y = target.Top; y < target.Bottom; y += std::max(1, img.height()))
        for (int x = target.Left; x < target.Right; x += std::max(1, img.width())) c.Draw(x, y, img);
      break;
    case pbmCenter:
      FillPanelBack(target);
      c.Draw(target.Left + (target.Width() - img.width()) / 2, target.Top + (target.Height() - img.height()) / 2, img);
      break;
    default:
      FillPanelBack(target);
      c.Draw(target.Left + backImage_->Left(), target.Top + backImage_->Top(), img);
      break;
  }
  if (clip) c.RestoreClip();
}

void TCustomChartPanelExtended::DrawZoomRectangle() {
  TChartCanvas3D& c = *canvas_;
  IDeviceContext& dc = c.DC();
  const TColor back = ColorToRGB(GetBackColor());
  c.PreparePenWithColor(zoom_.Pen(), ColorToRGB(zoom_.Pen().Color()) ^ back);
  dc.SetRop2(TDCRop2::NotXorPen);
  dc.SetBkMode(TDCBkMode::Transparent);
  if (zoom_.HasBrush()) c.PrepareBrush(zoom_.Brush(), ColorToRGB(zoom_.Brush().Color()) ^ back);
  else c.SetBrushStyle(bsClear);
  c.Rectangle({zoom_.X0, zoom_.Y0, zoom_.X1, zoom_.Y1});
  dc.SetRop2(TDCRop2::CopyPen);
}

void TCustomChartPanelExtended::UndoZoom() {
  if (OnUndoZoom) OnUndoZoom(this);
  Invalidate();
  Zoomed = false;
}

// --- Shapes

TChartCustomShapeBrushPen::TChartCustomShapeBrushPen(TCustomChartPanel* parent)
    : TChartPersistent([this](TChartPersistent*) {
        if (parent_) parent_->Invalidate();
      }),
      parent_(parent),
      brush_(Forward()),
      pen_(Forward()) {}

TChartShadow& TChartCustomShape::Shadow() {
  if (!shadow_) shadow_ = std::make_unique<TChartShadow>(Forward(), clBlack, 3);
  return *shadow_;
}

void TChartCustomShape::SetShadowDefaults(TColor color, int size) {
  shadow_ = std::make_unique<TChartShadow>(Forward(), color, size);
}

void TChartCustomShape::Assign(const TChartCustomShape& s) {
  brush_.Assign(s.brush_);
  pen_.Assign(s.pen_);
  font_.Assign(s.font_);
  if (s.shadow_) Shadow().Assign(*s.shadow_);
  if (s.gradient_) Gradient().Assign(*s.gradient_);
  Bevel = s.Bevel, BevelWidth = s.BevelWidth, Color = s.Color, ShapeStyle = s.ShapeStyle;
  Transparent = s.Transparent, Transparency = s.Transparency;
  SetVisible(s.Visible());
}

TChartGradient& TChartCustomShape::Gradient() {
  if (!gradient_) gradient_ = std::make_unique<TChartGradient>(Forward());
  return *gradient_;
}

void TChartCustomShape::PaintRotatedShape(TChartCanvas3D& c, const TRect& r, double angle, int z) {
  if (Transparent) return;
  TShapeLook look;
  look.Brush = &brush_, look.Pen = &pen_, look.Color = Color, look.Transparency = Transparency;
  look.Shadow = shadow_.get(), look.Gradient = gradient_.get();
  look.Style = ShapeStyle, look.Bevel = Bevel, look.BevelWidth = BevelWidth;
  PaintShapeLook(c, look, r, angle, z);
}

void PaintShapeLook(TChartCanvas3D& c, const TShapeLook& s, const TRect& r, double angle, int z) {
  // The outline: the four corners turned about the centre.
  TPoint corners[4] = {{r.Left, r.Top}, {r.Right, r.Top}, {r.Right, r.Bottom}, {r.Left, r.Bottom}};
  if (angle != 0) {
    const double a = angle * M_PI / 180, sn = std::sin(a), co = std::cos(a);
    const double cx = (r.Left + r.Right) / 2.0, cy = (r.Top + r.Bottom) / 2.0;
    for (TPoint& p : corners) {
      const double x = p.X - cx, y = p.Y - cy;
      p = {int(std::nearbyint(cx + x * co + y * sn)), int(std::nearbyint(cy - x * sn + y * co))};
    }
  }
  const TRect bounds = angle != 0 ? PointsBounds(corners, 4) : r;
  const TChartShadow* shadow = s.Shadow;
  const int shadowSize = shadow ? shadow->Size() : 0;
  const bool penVisible = s.Pen && s.Pen->Visible();
  // Titles, legend, marks and annotations lie on the panel, not in the
  // rotated chart: the whole shape is drawn flat, where its texts are written.
  const bool flat = !c.IsAlternateRenderer();
  if (flat) c.EnterFlatMode();
  TFinally leave{[&] {
    if (flat) c.LeaveFlatMode();
  }};
  std::unique_ptr<TChartBlend> blend;
  if (s.Transparency > 0)
    blend = c.StartTransparency({bounds.Left, bounds.Top, bounds.Right + shadowSize, bounds.Bottom + shadowSize},
                                s.Transparency);
  if (shadow && angle == 0 && s.Style == fosRectangle) shadow->Draw(c, r, z);
  if (shadow && s.Transparency > 0 && shadow->Visible()) {
    int h = shadow->HorizSize(), v = shadow->VertSize();
    if (std::max(h, v) > 0 && penVisible) h += s.Pen->Width(), v += s.Pen->Width();
    TPoint moved[4];
    for (int i = 0; i < 4; ++i) moved[i] = {corners[i].X + h, corners[i].Y + v};
    std::unique_ptr<TChartBlend> shadowBlend;
    if (shadow->Transparency() > 0) shadowBlend = c.StartTransparency(PointsBounds(moved, 4), shadow->Transparency());
    c.DC().SetBrush({TDCBrushStyle::Solid, ColorToRGB(shadow->Color()), {}});
    TDCPen clear = c.DC().Pen();
    clear.Style = TDCPenStyle::Clear;
    c.DC().SetPen(clear);
    c.PolygonAtDepth(moved, 4, z);
    if (shadowBlend) c.FinishTransparency(std::move(shadowBlend));
  }
  if (s.Gradient && s.Gradient->Visible()) {
    if (angle != 0) {
      c.ClipToPolygon(corners, 4);
      s.Gradient->Draw(c, bounds);
      c.RestoreClip();
    } else {
      s.Gradient->Draw(c, r, s.Style == fosRoundRectangle ? 16 : 0);
    }
    c.SetBrushStyle(bsClear);
  } else if (s.Brush) {
    c.PrepareBrush(*s.Brush, s.Color);
  }
  if (s.Pen) c.PreparePen(*s.Pen);
  else c.DC().SetPen({TDCPenStyle::Clear, 1, clBlack});
  if (angle != 0) c.PolygonAtDepth(corners, 4, z);
  else if (s.Style == fosRoundRectangle) c.RoundRect(r, 16, 16);
  else if (s.PlainRectangle) c.Rectangle(r);
  else c.RectangleAtDepth(r, z);
  if (angle == 0 && s.Bevel != bvNone)
    c.Frame3D(r, s.Bevel == bvRaised ? clBtnHighlight : clBtnShadow, s.Bevel == bvRaised ? clBtnShadow : clBtnHighlight,
              s.BevelWidth);
  if (blend) c.FinishTransparency(std::move(blend));
}
