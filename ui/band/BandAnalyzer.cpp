#include "ui/band/BandAnalyzer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "chart/ChartJPEG.h"
#include "platform/Format.h"
#include "receiver/shared.h"
#include "ui/band/SpectrumChart.h"
#include "ui/band/SpectrumPrint.h"

namespace {

constexpr double kBandLow = 87.0, kBandHigh = 108.0;
// Below this width the chart keeps its base width and the buttons their
// base positions; wider, both follow the window's right edge.
constexpr int kLayoutWidth = 1105;
constexpr int kBaseChartWidth = 1097;
constexpr int kChartHeight = 420, kScrollBarHeight = 20;
constexpr TColor kMarkerMarkColor = 0x02AAFFAA;
constexpr TColor kTagFill = 0x02DDFFFF;

// What the window manager draws around a window's client area.
QMargins FrameMargins(const QWidget& Window) {
  const QRect f = Window.frameGeometry(), g = Window.geometry();
  return {g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom()};
}

// "dd mmm yyyy - hh:nn:ss"
std::string ClockText(TDateTime t) {
  const dt::TDateParts p = dt::Decode(t);
  return Format("%02d %s %04d - %02d:%02d:%02d", p.Day, MonthNames[(p.Month + 11) % 12], p.Year, p.Hour, p.Minute,
                p.Second);
}

}  // namespace

TBandAnalyzerForm::TBandAnalyzerForm(IBandScanReceiver& Receiver, IClock& Clock, TSettingsRecord& Settings,
                                     std::function<void(const TSettingsRecord&)> SaveSettings, QWidget* Owner)
    : QWidget(Owner, Qt::Window),
      settings_(Settings),
      save_(std::move(SaveSettings)),
      spectrum_(std::make_unique<TSpectrumChart>(MakeSpectrumChart(Settings.SearchStopLevel))),
      controller_(Receiver, Clock, Settings),
      infoHost_(controller_, Receiver),
      clock_(Clock) {
  setObjectName("BandAnalyzerForm");
  setWindowTitle("Band Analyzer - Quorvane Broadcast Ltd.");
  setMinimumWidth(kLayoutWidth);
  TChart& chart = *spectrum_->Chart;
  SpectrumHost = new TChartHost(chart, this);
  SpectrumHost->installEventFilter(this);
  ZoomInScrollBar = new QScrollBar(Qt::Horizontal, this);
  ZoomInScrollBar->setRange(870, 1080);
  ZoomInScrollBar->setPageStep(10);
  ZoomInScrollBar->setSingleStep(10);
  ZoomInScrollBar->hide();
  connect(ZoomInScrollBar, &QScrollBar::sliderMoved, this, [this](int p) { ZoomInScrollBarScroll(p); });
  connect(ZoomInScrollBar, &QScrollBar::actionTriggered, this,
          [this](int) { ZoomInScrollBarScroll(ZoomInScrollBar->sliderPosition()); });

  stPrecise = new QRadioButton("Fine", this);
  stNormal = new QRadioButton("Normal", this);
  stFast = new QRadioButton("Fast", this);
  stNormal->setChecked(true);
  const std::pair<QRadioButton*, TScanStep> steps[] = {
      {stPrecise, TScanStep::Fine}, {stNormal, TScanStep::Normal}, {stFast, TScanStep::Fast}};
  for (auto [radio, step] : steps)
    connect(radio, &QRadioButton::toggled, this, [this, step = step](bool on) {
      if (on) controller_.SetStep(step);
    });
  lblStart = new QLabel("Start:", this);
  lblEnd = new QLabel("End:", this);
  freqStart = NewRangeEdit(this, kBandLow);
  freqEnd = NewRangeEdit(this, kBandHigh);
  OnRangeEditEnter(freqStart, [this] { freqStartKeyUp(); });
  OnRangeEditEnter(freqEnd, [this] { freqEndKeyUp(); });

  auto button = [this](const char* caption, void (TBandAnalyzerForm::*handler)()) {
    auto* b = new QPushButton(caption, this);
    connect(b, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
    return b;
  };
  btnScan = button("Start Scan", &TBandAnalyzerForm::btnScanClick);
  btnAnalyze = button("Start Analyze", &TBandAnalyzerForm::btnAnalyzeClick);
  btnZoomIn = button("Zoom In", &TBandAnalyzerForm::btnZoomInClick);
  btnZoomOut = button("Zoom Out", &TBandAnalyzerForm::btnZoomOutClick);
  btnExport = button("Save As", &TBandAnalyzerForm::btnExportClick);
  btnPrint = button("Print", &TBandAnalyzerForm::btnPrintClick);
  btnSettings = button("Settings", &TBandAnalyzerForm::btnSettingsClick);
  btnBandInfo = button("Band Info", &TBandAnalyzerForm::btnBandInfoClick);
  btnMPXGraph = new QPushButton("&MPX Analyzer", this);
  connect(btnMPXGraph, &QPushButton::clicked, this, [this] {
    if (OnMPXGraph) OnMPXGraph();
  });
  btnAnalyze->setEnabled(false);
  btnZoomOut->setEnabled(false);

  chart.OnAfterDraw = [this](TCustomAxisPanel&) { SpectrumAfterDraw(); };
  chart.OnAllowScroll = VetoOutsideBand;
  chart.OnScroll = [this](TCustomAxisPanel&) { SpectrumScroll(); };
  spectrum_->ChartToolH->OnChange = [this](TCursorTool&, int, int, double, double, TChartSeries*, int) {
    ChartToolHChange();
  };
  spectrum_->ChartToolV->OnChange = [this](TCursorTool&, int, int, double, double, TChartSeries*, int) {
    ChartToolVChange();
  };
  timeUpdate_ = new QTimer(this);
  timeUpdate_->setSingleShot(true);
  timeUpdate_->setTimerType(Qt::PreciseTimer);
  connect(timeUpdate_, &QTimer::timeout, this, [this] { TimeUpdateTimer(); });
  ScheduleClockTick();
  heldFrame_ = new QTimer(this);
  heldFrame_->setSingleShot(true);
  connect(heldFrame_, &QTimer::timeout, this, [this] { Repaint(); });

  bandInfo_ = std::make_unique<TBandInfoForm>(infoHost_);
  controller_.Observer = this;
  ApplySettings(settings_);
  QScreen* screen = QApplication::primaryScreen();
  resize(std::max(screen ? screen->size().width() : kLayoutWidth, kLayoutWidth), kChartHeight + 40);
  move(0, 0);
}

TBandAnalyzerForm::~TBandAnalyzerForm() {
  controller_.Observer = nullptr;
  // The chart's host goes before the chart it shows.
  delete SpectrumHost;
  SpectrumHost = nullptr;
}

bool TBandAnalyzerForm::Busy() const {
  return controller_.ScanPending() || controller_.Scanning() || controller_.Analyzing();
}

// ---- Scan controls -------------------------------------------------------------------------

void TBandAnalyzerForm::FormClose() {
  controller_.StopAll();
  bandInfo_->hide();
}

void TBandAnalyzerForm::closeEvent(QCloseEvent* Event) {
  FormClose();
  QWidget::closeEvent(Event);
}

void TBandAnalyzerForm::btnScanClick() {
  controller_.SetRange(RangeEditShown(freqStart), RangeEditShown(freqEnd));
  controller_.ScanClick();
  SetRangeTexts(controller_.RangeStart(), controller_.RangeEnd());
}

void TBandAnalyzerForm::freqStartKeyUp() {
  SetRangeEditShown(freqStart, RangeEditText(RangeEditShown(freqStart), kBandLow));
}

void TBandAnalyzerForm::freqEndKeyUp() {
  SetRangeEditShown(freqEnd, RangeEditText(RangeEditShown(freqEnd), kBandHigh));
}

// The cursors are placed by the chart's first paint without telling anyone:
// the controller reads where they stand before it acts on them.
void TBandAnalyzerForm::SyncCursors() {
  controller_.SetReference(spectrum_->ChartToolH->YValue());
  controller_.SetCursorX(spectrum_->ChartToolV->XValue());
}

void TBandAnalyzerForm::btnAnalyzeClick() {
  if (!controller_.Analyzing()) SyncCursors();
  controller_.AnalyzeClick();
}

void TBandAnalyzerForm::UpdateButtons() {
  const bool scan = controller_.ScanPending() || controller_.Scanning();
  const bool analyze = controller_.Analyzing();
  btnScan->setText(scan ? "Stop Scan" : "Start Scan");
  btnScan->setEnabled(!analyze);
  btnAnalyze->setText(analyze ? "Stop Analyze" : "Start Analyze");
  btnAnalyze->setEnabled(!scan && !controller_.Smooth().empty());
  for (QWidget* w : {static_cast<QWidget*>(stPrecise), static_cast<QWidget*>(stNormal),
                     static_cast<QWidget*>(stFast), static_cast<QWidget*>(btnMPXGraph)})
    w->setEnabled(!scan && !analyze);
  for (QWidget* w : {btnPrint, btnExport, btnSettings}) w->setEnabled(!scan);
  bandInfo_->btnPrint->setEnabled(!scan && bandInfo_->infoList->rowCount() > 0);
}

void TBandAnalyzerForm::ModeChanged() {
  if (controller_.ScanPending()) {
    // A new scan: the old points, curve and labels go; the points build up
    // as they come, whatever the settings show afterwards.
    spectrum_->Discrete->Clear();
    spectrum_->Discrete->SetActive(true);
    spectrum_->Smooth->SetActive(false);
    spectrum_->SmoothMarks->Marks().SetVisible(false);
    Repaint();
  }
  UpdateButtons();
  if (Busy() != busy_) {
    busy_ = Busy();
    if (OnBusyChanged) OnBusyChanged(busy_);
  }
}

// ---- The chart follows the controller ------------------------------------------------------

void TBandAnalyzerForm::PointAppended() {
  const size_t n = controller_.PointX().size();
  if (n == 1) spectrum_->Discrete->Clear();
  // Drawn as one new segment.
  spectrum_->Discrete->AppendPoint(controller_.PointX()[n - 1], controller_.PointY()[n - 1]);
}

void TBandAnalyzerForm::ScanEnded() {
  heldFrame_->stop();
  for (auto [visual, shown] : {std::pair{bvDiscrete, settings_.ShowDiscrete}, {bvSmooth, settings_.ShowSmooth},
                               {bvFill, settings_.ShowFill}})
    ShowVisual(visual, shown != 0);
  spectrum_->Smooth->RefreshFromSource();
  TFastLineSeries& m = *spectrum_->SmoothMarks;
  for (int i = 0; i < m.Count(); ++i) m.Marks().Item(i).SetVisible(false);
  m.Marks().SetVisible(controller_.MarksShown());
  UpdateButtons();
  Repaint();
}

void TBandAnalyzerForm::MarkChanged(int Point) {
  TFastLineSeries& m = *spectrum_->SmoothMarks;
  const auto& marks = controller_.Marks();
  if (Point >= 0 && Point < m.Count() && Point < int(marks.size())) {
    m.SetLabelAt(Point, marks[size_t(Point)].Label);
    TMarksItem& item = m.Marks().Item(Point);
    item.SetVisible(marks[size_t(Point)].Visible);
    item.SetColor(Point == controller_.Marker() ? kMarkerMarkColor : clInfoBk);
  }
  m.Marks().SetVisible(controller_.MarksShown());
  Repaint();
}

void TBandAnalyzerForm::CursorMoved() {
  if (!controller_.Scanning()) return spectrum_->ChartToolV->SetXValue(controller_.CursorX());
  // The marker follows every scan point: a whole frame for each would cost
  // far more than the point.
  TChart& chart = *spectrum_->Chart;
  chart.AutoRepaint = false;
  spectrum_->ChartToolV->SetXValue(controller_.CursorX());
  chart.AutoRepaint = true;
  ScheduleFrame();
}

void TBandAnalyzerForm::StationsReset() {
  bandInfo_->StationsReset();
  UpdateButtons();
}
void TBandAnalyzerForm::StationAdded(int Index) {
  bandInfo_->StationAdded(Index);
  UpdateButtons();
}
void TBandAnalyzerForm::StationUpdated(int Index) { bandInfo_->StationUpdated(Index); }

// The chart's host repaints whatever the chart invalidates.
void TBandAnalyzerForm::Repaint() { spectrum_->Chart->Invalidate(); }

void TBandAnalyzerForm::ScheduleFrame() {
  const int64_t since = clock_.SteadyMs() - lastDrawMs_;
  if (since >= kScanFrameMs || since < 0) {
    heldFrame_->stop();
    Repaint();
  } else if (!heldFrame_->isActive()) {
    heldFrame_->start(int(kScanFrameMs - since));
  }
}

// ---- Overlay -------------------------------------------------------------------------------

std::string TBandAnalyzerForm::OverlayText() const {
  const std::string ref = Format("Ref Level: %2.1f dB\xB5V", LevelToDbuV(spectrum_->ChartToolH->YValue()));
  const double x = spectrum_->ChartToolV->XValue();
  double level = 0.01;
  const std::vector<TSplinePoint>& s = controller_.Smooth();
  if (!s.empty()) {
    auto nearest = std::min_element(s.begin(), s.end(), [x](const TSplinePoint& a, const TSplinePoint& b) {
      return std::abs(a.X - x) < std::abs(b.X - x);
    });
    level = LevelToDbuV(nearest->Y);
  }
  const std::string marker = Format("Marker Freq: %3.2f MHz, Marker Level: %2.1f dB\xB5V", x, level);
  return " " + marker + ", " + ref + ", " + controller_.Description() + " ";
}

void TBandAnalyzerForm::SpectrumAfterDraw() {
  TChart& chart = *spectrum_->Chart;
  TChartCanvas& c = chart.Canvas();
  c.ResetToPlain();
  // Everything is placed from the corner of the frame being drawn: on the
  // window that is (0, 0), on a printed page the chart's place on it.
  const TRect f = chart.FrameBounds;
  auto box = [&c](const TRect& r, TColor inner) {
    c.SetBrushColor(clWhite);
    c.FillRect(InflateRectBy(r, 1));
    c.SetBrushColor(inner);
    c.FillRect(r);
  };
  const std::string text = OverlayText();
  box(TRect{f.Left + 38, f.Top + 2, f.Left + c.TextWidth(text) + 40, f.Top + c.TextHeight(text) + 2}, clWhite);
  c.TextOut(f.Left + 38, f.Top + 2, text);
  auto tag = [&](const TRect& r, const char* name) {
    c.SetBrushColor(TColor(0x008000));
    c.FillRect(InflateRectBy(r, 1));
    c.SetBrushColor(kTagFill);
    c.FillRect(r);
    c.TextOut(r.Left + 2, r.Top, name);
  };
  // A marker outside the visible range has no line, and no tag.
  const TRect plot = chart.PlotRect();
  const int x = chart.BottomAxis().PixelOfValue(spectrum_->ChartToolV->XValue());
  if (x >= plot.Left && x <= plot.Right) tag(TRect{x - 12, f.Top + 20, x + 13, f.Top + 34}, "MKR");
  const int y = chart.LeftAxis().PixelOfValue(spectrum_->ChartToolH->YValue());
  tag(TRect{f.Left + 40, y - 7, f.Left + 62, y + 7}, "REF");
  const std::string now = ClockText(clock_.Now());
  c.SetBrushColor(chart.GetBackColor());
  c.TextOut(f.Right - 5 - c.TextWidth(now), f.Top + 2, now);
  lastDrawMs_ = clock_.SteadyMs();
  if (chart.DrawingWindowFrame()) shownClock_ = now;
}

// ---- Marker and zoom -----------------------------------------------------------------------

bool TBandAnalyzerForm::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == SpectrumHost && Event->type() == QEvent::MouseButtonDblClick) {
    const QPointF p = static_cast<QMouseEvent*>(Event)->position();
    SpectrumDblClick(int(p.x()), int(p.y()));
  }
  return QWidget::eventFilter(Watched, Event);
}

void TBandAnalyzerForm::SpectrumDblClick(int X, int) {
  SyncCursors();
  controller_.MarkAt(spectrum_->Chart->BottomAxis().ValueAtPixel(X));
}

void TBandAnalyzerForm::SetRange(double Min, double Max) {
  spectrum_->Chart->BottomAxis().FixRange(Min, Max);
  ZoomInScrollBar->setValue(int(Min * 10));
  Repaint();
}

void TBandAnalyzerForm::btnZoomInClick() {
  if (zoom_ >= 201) {
    btnZoomIn->setEnabled(false);
    return;
  }
  if (zoom_ == kMinZoom) {
    ZoomInScrollBar->show();
    SpectrumHost->resize(SpectrumHost->width(), SpectrumHost->height() - kScrollBarHeight);
  }
  btnZoomOut->setEnabled(true);
  zoom_ += 10;
  const TChartAxis& b = spectrum_->Chart->BottomAxis();
  const double d = 0.1 * (b.Maximum() - b.Minimum());
  if (settings_.ZoomFromMarker) {
    const double x = spectrum_->ChartToolV->XValue();
    SetRange(std::max(kBandLow, x - 4 * d), std::min(kBandHigh, x + 4 * d));
  } else {
    SetRange(b.Minimum() + d, b.Maximum() - d);
  }
  if (zoom_ >= 201) btnZoomIn->setEnabled(false);
}

void TBandAnalyzerForm::btnZoomOutClick() {
  if (zoom_ <= kMinZoom) return;
  btnZoomIn->setEnabled(true);
  zoom_ -= 10;
  const TChartAxis& b = spectrum_->Chart->BottomAxis();
  const double d = 0.1 * (b.Maximum() - b.Minimum());
  if (zoom_ == kMinZoom) {
    ZoomInScrollBar->hide();
    SpectrumHost->resize(SpectrumHost->width(), SpectrumHost->height() + kScrollBarHeight);
    SetRange(kBandLow, kBandHigh);
    btnZoomOut->setEnabled(false);
  } else if (settings_.ZoomFromMarker) {
    const double x = spectrum_->ChartToolV->XValue();
    SetRange(std::max(kBandLow, x - 6 * d), std::min(kBandHigh, x + 6 * d));
  } else {
    SetRange(b.Minimum() - d, b.Maximum() + d);
  }
}

void TBandAnalyzerForm::ZoomInScrollBarScroll(int Position) {
  const TChartAxis& b = spectrum_->Chart->BottomAxis();
  const double min = Position / 10.0, max = min + (b.Maximum() - b.Minimum());
  if (max <= kBandHigh) SetRange(min, max);
}

// ---- Export, print, the other windows ------------------------------------------------------

bool TBandAnalyzerForm::ExportChart(const QString& FileName, int Kind) {
  TChart& chart = *spectrum_->Chart;
  // The search band is a working aid, not part of the picture.
  spectrum_->SSLevel->SetActive(false);
  bool written = true;
  try {
    switch (Kind) {
      case ekJpeg: WriteChartJpeg(chart, FileName, chart.Width(), chart.Height()); break;
      case ekBitmap: WriteChartBitmap(chart, FileName, TRect{0, 0, chart.Width(), chart.Height()}); break;
      case ekMetafile: chart.WriteMetafile(FileName); break;
      case ekEnhancedMetafile: chart.WriteEnhancedMetafile(FileName); break;
      default: written = false;
    }
  } catch (const std::exception&) {
    written = false;
  }
  spectrum_->SSLevel->SetActive(settings_.ShowSearchBand != 0);
  return written;
}

void TBandAnalyzerForm::btnExportClick() {
  const dt::TDateParts p = dt::Decode(clock_.Now());
  const QString name = QString::fromStdString(
      Format("Fenwisk_%02d_%s_%04d_%02d_%02d", p.Day, MonthNames[(p.Month + 11) % 12], p.Year, p.Hour, p.Minute));
  std::pair<QString, int> file;
  if (AskExportFile) {
    file = AskExportFile(name);
  } else {
    const QStringList filters = {"JPEG files (*.jpg)", "Bitmaps (*.bmp)", "Metafiles (*.wmf)",
                                 "Enhanced Metafiles (*.emf)"};
    QString selected = filters[1];
    file.first = QFileDialog::getSaveFileName(this, "Save As", QCoreApplication::applicationDirPath() + "/" + name,
                                              filters.join(";;"), &selected);
    file.second = int(filters.indexOf(selected)) + 1;
  }
  if (file.first.isEmpty()) return;
  // A name typed without an extension gets the chosen format's.
  const char* suffix[] = {"jpg", "bmp", "wmf", "emf"};
  if (QFileInfo(file.first).suffix().isEmpty() && file.second >= ekJpeg && file.second <= ekEnhancedMetafile)
    file.first += QString(".") + suffix[file.second - ekJpeg];
  if (!ExportChart(file.first, file.second))
    QMessageBox::warning(this, "Save As", "The chart could not be saved as \"" + QDir::toNativeSeparators(file.first) +
                                              "\": the file cannot be written there.");
}

void TBandAnalyzerForm::btnPrintClick() {
  TPrintPreviewForm preview(*spectrum_->Chart, *spectrum_->SSLevel, settings_.ShowSearchBand != 0, this);
  preview.exec();
}

void TBandAnalyzerForm::btnBandInfoClick() {
  if (bandInfo_->isVisible()) {
    bandInfo_->hide();
    return;
  }
  QScreen* screen = this->screen() ? this->screen() : QApplication::primaryScreen();
  const QRect area = screen ? screen->geometry() : QRect(0, 0, width(), height());
  // Until Band Info has been shown its frame is unknown; it wears the same
  // decoration as the analyzer.
  QMargins frame = FrameMargins(*bandInfo_);
  if (frame.isNull()) frame = FrameMargins(*this);
  const QRect client = BandInfoClientRect(frameGeometry(), area, frame, bandInfo_->height());
  bandInfo_->resize(client.size());
  // A window moves by its frame.
  bandInfo_->move(client.topLeft() - QPoint(frame.left(), frame.top()));
  bandInfo_->show();
}

QRect BandInfoClientRect(const QRect& AnalyzerFrame, const QRect& Screen, const QMargins& InfoFrame,
                         int ClientHeight) {
  const QRect frame(Screen.left(), AnalyzerFrame.bottom() + 1, Screen.width(),
                    ClientHeight + InfoFrame.top() + InfoFrame.bottom());
  return frame.marginsRemoved(InfoFrame);
}

void TBandAnalyzerForm::btnSettingsClick() { TBandSetForm::Execute(this, this, settings_, save_); }

// ---- IBandSetView --------------------------------------------------------------------------

TChartSeries* TBandAnalyzerForm::VisualSeries(TBandVisual Visual) const {
  TChartSeries* series[] = {spectrum_->Discrete, spectrum_->Smooth, spectrum_->SmoothArea};
  return Visual < bvSearchBand ? series[Visual] : nullptr;
}

void TBandAnalyzerForm::ShowVisual(TBandVisual Visual, bool Shown) {
  if (TChartSeries* s = VisualSeries(Visual)) s->SetActive(Shown);
  else spectrum_->SSLevel->SetActive(Shown);
  Repaint();
}

void TBandAnalyzerForm::SetVisualColor(TBandVisual Visual, int32_t Color) {
  if (TChartSeries* s = VisualSeries(Visual)) s->SetSeriesColor(TColor(Color));
  else spectrum_->SSLevel->SetColor(TColor(Color));
  Repaint();
}

void TBandAnalyzerForm::ShowRangeEdits(bool Shown) {
  for (QWidget* w : {static_cast<QWidget*>(lblStart), static_cast<QWidget*>(lblEnd),
                     RangeEditWidget(freqStart), RangeEditWidget(freqEnd)})
    w->setVisible(Shown);
}

void TBandAnalyzerForm::SetRangeTexts(const std::string& Start, const std::string& End) {
  SetRangeEditShown(freqStart, Start);
  SetRangeEditShown(freqEnd, End);
}

void TBandAnalyzerForm::HideStationLabels() { controller_.HideMarks(); }

void TBandAnalyzerForm::ApplySettings(const TSettingsRecord& Settings) {
  ShowRangeEdits(Settings.UserRange != 0);
  const std::pair<uint8_t, int32_t> visuals[kBandVisuals] = {{Settings.ShowDiscrete, Settings.DiscreteColor},
                                                             {Settings.ShowSmooth, Settings.SmoothColor},
                                                             {Settings.ShowFill, Settings.FillColor},
                                                             {Settings.ShowSearchBand, Settings.BandColor}};
  for (int v = 0; v < kBandVisuals; ++v) {
    ShowVisual(TBandVisual(v), visuals[v].first != 0);
    SetVisualColor(TBandVisual(v), visuals[v].second);
  }
  SetSearchBandStart(SearchBandStart(Settings.SearchStopLevel));
}

double TBandAnalyzerForm::SearchBandStartValue() const { return spectrum_->SSLevel->StartValue(); }

void TBandAnalyzerForm::SetSearchBandStart(double Level) {
  spectrum_->SSLevel->SetStartValue(Level);
  Repaint();
}

// ---- Chart events ------------------------------------------------------------------------

void TBandAnalyzerForm::SpectrumScroll() {
  ZoomInScrollBar->setValue(int(spectrum_->Chart->BottomAxis().Minimum() * 10));
}

void TBandAnalyzerForm::ChartToolHChange() {
  controller_.SetReference(spectrum_->ChartToolH->YValue());
  Repaint();
}

void TBandAnalyzerForm::ChartToolVChange() {
  controller_.SetCursorX(spectrum_->ChartToolV->XValue());
  Repaint();
}

// The overlay's clock moves on even when nothing else is drawn: a frame
// follows each new second, and only then.
void TBandAnalyzerForm::TimeUpdateTimer() {
  if (ClockText(clock_.Now()) != shownClock_) Repaint();
  ScheduleClockTick();
}

void TBandAnalyzerForm::ScheduleClockTick() {
  const int ms = dt::Decode(clock_.Now()).MilliSecond;
  timeUpdate_->start(1000 - std::clamp(ms, 0, 999) + 1);
}

// ---- Layout --------------------------------------------------------------------------------

void TBandAnalyzerForm::resizeEvent(QResizeEvent*) {
  const bool wide = width() >= kLayoutWidth;
  const int chartWidth = wide ? width() : kBaseChartWidth;
  const int shift = wide ? width() - kLayoutWidth : 0;
  const int chartHeight = kChartHeight - (ZoomInScrollBar->isVisible() ? kScrollBarHeight : 0);
  SpectrumHost->setGeometry(0, 0, chartWidth, chartHeight);
  ZoomInScrollBar->setGeometry(6, kChartHeight - kScrollBarHeight, chartWidth - (wide ? 12 : 6), kScrollBarHeight);
  const int y = kChartHeight + 8;
  stPrecise->setGeometry(8, y, 50, 24);
  stNormal->setGeometry(60, y, 66, 24);
  stFast->setGeometry(128, y, 50, 24);
  lblStart->setGeometry(180, y, 34, 24);
  RangeEditWidget(freqStart)->setGeometry(214, y, 56, 24);
  lblEnd->setGeometry(274, y, 28, 24);
  RangeEditWidget(freqEnd)->setGeometry(302, y, 56, 24);
  btnScan->setGeometry(362, y, 80, 25);
  btnAnalyze->setGeometry(446, y, 84, 25);
  const std::pair<QPushButton*, int> right[] = {{btnZoomIn, 533},   {btnZoomOut, 613},  {btnExport, 701},
                                                {btnPrint, 781},    {btnSettings, 843}, {btnBandInfo, 923},
                                                {btnMPXGraph, 1009}};
  const int next[] = {613, 701, 781, 843, 923, 1009, 1101};
  for (size_t i = 0; i < std::size(right); ++i)
    right[i].first->setGeometry(right[i].second + shift, y, next[i] - right[i].second - 4, 25);
}
