#include "ui/mpx/MPXGraph.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "chart/ChartEngineGroups.h"
#include "platform/PainterDC.h"
#include "ui/mpx/MPXCharts.h"
#include "ui/Pictures.h"

namespace {

constexpr TColor kOverlayBack = TColor(0xDDFFFF);
constexpr int kLogoHeight = 28;
constexpr int kLogoMargin = 10;

// A text on the light overlay background with its top-left corner at (X, Y).
void DrawOverlayText(TChartCanvas3D& Canvas, int X, int Y, const std::string& Text) {
  const int w = Canvas.TextWidth(Text), h = Canvas.TextHeight(Text);
  Canvas.SetBrushStyle(bsSolid);
  Canvas.SetBrushColor(kOverlayBack);
  Canvas.FillRect({X, Y, X + w, Y + h});
  Canvas.SetBrushStyle(bsClear);
  Canvas.SetTextAlign(TA_LEFT | TA_TOP);
  Canvas.DC().SetTextColor(clBlack);
  Canvas.TextOut(X, Y, Text);
}

// "BUFFERING" in the middle of the plot.
void DrawBuffering(TChart& Chart) {
  TChartCanvas3D& c = Chart.Canvas();
  const TRect p = Chart.PlotRect();
  const std::string text = TMPXController::kBufferingText;
  DrawOverlayText(c, (p.Left + p.Right - c.TextWidth(text)) / 2, (p.Top + p.Bottom - c.TextHeight(text)) / 2, text);
}

QImage ChartPicture(TChart& Chart, bool Monochrome) {
  const int w = std::max(1, Chart.Width()), h = std::max(1, Chart.Height());
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(Qt::white);
  const TColor colour = Chart.Color();
  const bool mono = Chart.Monochrome();
  Chart.SetColor(clWhite);
  Chart.SetMonochrome(Monochrome);
  {
    TPainterDC dc(&image);
    Chart.PrintIntoRect(dc, {0, 0, w, h});
  }
  Chart.SetMonochrome(mono);
  Chart.SetColor(colour);
  return image;
}

// How many of the window's first points the series holds as its last ones,
// in order: 0 unless every one of them is there.
int SharedPoints(const TFastLineSeries& Series, const TFMWindow& W, int N) {
  const int count = Series.Count();
  if (count == 0 || N == 0) return 0;
  int from = count;
  // The series' point at the window's start time (times rise).
  for (int lo = 0, hi = count; lo < hi;) {
    const int mid = (lo + hi) / 2;
    if (Series.XValue(mid) < W.Times[0]) lo = mid + 1;
    else hi = from = mid;
  }
  const int shared = count - from;
  if (shared <= 0 || shared > N) return 0;
  for (int i = 0; i < shared; ++i)
    if (Series.XValue(from + i) != W.Times[size_t(i)] || Series.YValue(from + i) != W.Values[size_t(i)]) return 0;
  return shared;
}

}  // namespace

struct TMPXGraphForm::TCharts {
  TMPXTimeChart Time = MakeMPXTimeChart();
  TMPXDevChart Dev = MakeMPXDevChart();
  QImage Logo = MakeLogoPicture().scaledToHeight(kLogoHeight, Qt::SmoothTransformation);
  std::string TimeOverlay, DevOverlay;
  // Set while a chart is drawn into a picture for the printed page, which
  // carries the logo itself.
  bool Capturing = false;

  // The threshold line at the exceedance of the point under the cursor.
  void FollowCursor() {
    const TAreaSeries& s = *Dev.DevSerie;
    const double x = Dev.DEVVTool->XValue();
    int best = -1;
    for (int i = 0; i < s.Count(); ++i)
      if (best < 0 || std::abs(s.XValue(i) - x) < std::abs(s.XValue(best) - x)) best = i;
    Dev.DEVHTool->SetValue(best < 0 ? 0.0 : s.YValue(best));
  }

  void DrawLogo(TChart& Chart) {
    const int x = Chart.Width() - Logo.width() - kLogoMargin;
    Chart.Canvas().StretchDraw({x, kLogoMargin, x + Logo.width(), kLogoMargin + Logo.height()}, &Logo);
  }
};

TMPXGraphForm::TMPXGraphForm(IMPXReceiver& Receiver, IClock& Clock, QWidget* Owner)
    : QWidget(Owner, Qt::Window),
      clock_(Clock),
      controller_(Receiver, Clock),
      charts_(std::make_unique<TCharts>()),
      refreshTimer_(new QTimer(this)) {
  setObjectName("MPXGraphForm");
  setWindowTitle(QString::fromLatin1(kCaption) + " - " + "Quorvane Broadcast Ltd.");
  resize(820, 420);
  infoLabel = new QLabel(this);
  infoLabel->setObjectName("infoLabel");
  lbMeasureTime = new QLabel(this);
  lbMeasureTime->setObjectName("lbMeasureTime");

  TChart& time = *charts_->Time.Chart;
  TChart& dev = *charts_->Dev.Chart;
  auto* timeHost = new TChartHost(time);
  auto* devHost = new TChartHost(dev);
  // Each chart's overlay after its draw: "BUFFERING" at first, then its
  // own reading; the logo on top.
  auto overlay = [this](TChart& chart, std::string& text, auto live) {
    chart.OnAfterDraw = [this, &chart, &text, live](TCustomAxisPanel&) {
      if (controller_.InBuffering()) {
        text = TMPXController::kBufferingText;
        DrawBuffering(chart);
      } else {
        text = live(chart);
      }
      // The printed page carries the logo itself; the live charts keep
      // theirs, also while the preview is open over them.
      if (!charts_->Capturing) charts_->DrawLogo(chart);
    };
  };
  overlay(time, charts_->TimeOverlay, [this](TChart& chart) {
    const std::string text = controller_.AverageText();
    const TRect p = chart.PlotRect();
    const int y = chart.LeftAxis().PixelOfValue(charts_->Time.AverageTool->Value());
    const int h = chart.Canvas().TextHeight(text);
    DrawOverlayText(chart.Canvas(), p.Left + 4, std::clamp(y - h - 2, p.Top, std::max(p.Top, p.Bottom - h)), text);
    return text;
  });
  overlay(dev, charts_->DevOverlay, [this](TChart& chart) {
    const TMPXDevChart& d = charts_->Dev;
    const std::string text = TMPXController::CursorText(d.DEVVTool->XValue(), d.DEVHTool->Value());
    // Below the logo.
    DrawOverlayText(chart.Canvas(), chart.PlotRect().Right - chart.Canvas().TextWidth(text) - 8,
                    kLogoMargin + charts_->Logo.height() + 4, text);
    return text;
  });
  charts_->Dev.DEVVTool->OnChange = [this, &dev](auto&&...) {
    charts_->FollowCursor();
    dev.Invalidate();
  };

  btnResetAverage = new QPushButton("Reset Average", this);
  btnResetAverage->setObjectName("btnResetAverage");
  auto* timePage = new QWidget;
  auto* timeLayout = new QVBoxLayout(timePage);
  timeLayout->setContentsMargins(2, 2, 2, 2);
  timeLayout->addWidget(timeHost, 1);
  timeLayout->addWidget(btnResetAverage, 0, Qt::AlignLeft);
  pages = new QTabWidget(this);
  pages->setObjectName("pages");
  pages->addTab(timePage, "Time Graph");
  pages->addTab(devHost, "Deviation");

  btnClear = new QPushButton("Clear", this);
  btnClear->setObjectName("btnClear");
  btnPrint = new QPushButton("Print", this);
  btnPrint->setObjectName("btnPrint");
  btnPrint->setEnabled(false);
  connect(btnResetAverage, &QPushButton::clicked, this, [this] { btnResetAverageClick(); });
  connect(btnClear, &QPushButton::clicked, this, [this] { btnClearClick(); });
  connect(btnPrint, &QPushButton::clicked, this, [this] { btnPrintClick(); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnClear);
  buttons->addWidget(btnPrint);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(infoLabel);
  layout->addWidget(lbMeasureTime);
  layout->addWidget(pages, 1);
  layout->addLayout(buttons);

  refreshTimer_->setSingleShot(true);
  connect(refreshTimer_, &QTimer::timeout, this, [this] { RefreshHeldBackCharts(); });

  controller_.Observer = this;
  controller_.SetDeviationUnits(0);
  controller_.ResetMeasurement();
}

TMPXGraphForm::~TMPXGraphForm() {
  controller_.Observer = nullptr;
  // The hosts draw the charts: they go before the charts do.
  delete pages;
}

// ---- Controller events ------------------------------------------------------------------

void TMPXGraphForm::Buffering() {
  ForgetRefresh();
  charts_->Time.Chart->BottomAxis().FixRange(controller_.BufferAxisMin(), controller_.BufferAxisMax());
  charts_->Dev.DevSerie->Clear();
  btnPrint->setEnabled(false);
  charts_->Time.Chart->Invalidate();
  charts_->Dev.Chart->Invalidate();
}

// A reading comes every 18-22 ms and repainting a full minute of it costs far
// more than taking it: the charts follow at most every kChartRefreshMs (the
// first sample of a measurement at once), the rest of the window every time.
void TMPXGraphForm::SampleTaken(bool Refresh) {
  if (!isVisible()) {
    chartsBehind_ = true;
    return;
  }
  btnPrint->setEnabled(controller_.PrintEnabled());
  ShowMeasureTime();
  if (!Refresh) return;
  const int64_t since = clock_.SteadyMs() - lastRefreshMs_;
  if (!refreshedOnce_ || since >= kChartRefreshMs || since < 0) RefreshCharts();
  else if (!pendingRefresh_) {
    pendingRefresh_ = true;
    refreshTimer_->start(int(kChartRefreshMs - since));
  }
}

void TMPXGraphForm::RefreshCharts() {
  refreshTimer_->stop();
  pendingRefresh_ = false;
  refreshedOnce_ = true;
  lastRefreshMs_ = clock_.SteadyMs();
  ++refreshCount_;
  TCharts& c = *charts_;
  c.Time.AverageTool->SetValue(controller_.Average());
  const TFMWindow& w = controller_.TimeWindow();
  TFastLineSeries& mpx = *c.Time.MPXSeries;
  mpx.BeginUpdate();
  const int n = std::min<int>({w.Count, int(w.Values.size()), int(w.Times.size())});
  // Most of the minute was shown by the refresh before: its points stay
  // when they are the window's first ones, only the oldest go and the new
  // come. Anything else is shown anew.
  const int shared = SharedPoints(mpx, w, n);
  if (shared == 0) mpx.Clear();
  else if (shared < mpx.Count()) mpx.Delete(0, mpx.Count() - shared);
  for (int i = shared; i < n; ++i) mpx.AppendPoint(w.Times[size_t(i)], w.Values[size_t(i)]);
  mpx.EndUpdate();
  if (w.EndTime > w.StartTime) c.Time.Chart->BottomAxis().FixRange(w.StartTime, w.EndTime);
  TAreaSeries& dev = *c.Dev.DevSerie;
  dev.BeginUpdate();
  dev.Clear();
  for (const TDeviationChartPoint& p : controller_.DeviationPoints()) dev.AppendPoint(p.X, p.Y, {}, TColor(p.Color));
  dev.EndUpdate();
  c.FollowCursor();
  c.Time.Chart->Invalidate();
  c.Dev.Chart->Invalidate();
}

void TMPXGraphForm::RefreshHeldBackCharts() {
  if (!pendingRefresh_) return;
  ForgetRefresh();
  refreshedOnce_ = true;
  if (controller_.ChartsShouldRefresh()) RefreshCharts();
}

int64_t TMPXGraphForm::ChartRefreshDueMs() const {
  return pendingRefresh_ ? lastRefreshMs_ + kChartRefreshMs : -1;
}

// The next sample shows at once (after "BUFFERING", after "Clear").
void TMPXGraphForm::ForgetRefresh() {
  refreshTimer_->stop();
  pendingRefresh_ = false;
  refreshedOnce_ = false;
}

// The texts change once a second at most, the readings come some 50 times:
// a label is given its text only when the text differs from the one it has.
void TMPXGraphForm::InfoChanged() {
  if (!isVisible() || controller_.InfoText() == infoShown_) return;
  infoShown_ = controller_.InfoText();
  infoLabel->setText(QString::fromUtf8(infoShown_.c_str()));
}

void TMPXGraphForm::ShowMeasureTime() {
  if (controller_.MeasureTimeText() == measureTimeShown_) return;
  measureTimeShown_ = controller_.MeasureTimeText();
  lbMeasureTime->setText(QString::fromStdString(measureTimeShown_));
}

// Hidden, the window only kept the measurement going; it catches up before
// it is seen.
void TMPXGraphForm::showEvent(QShowEvent* Event) {
  QWidget::showEvent(Event);
  InfoChanged();
  ShowMeasureTime();
  if (!chartsBehind_) return;
  chartsBehind_ = false;
  const bool refresh = controller_.ChartsShouldRefresh();
  if (refresh) controller_.PrepareCharts();
  SampleTaken(refresh);
}

void TMPXGraphForm::MeasurementReset() {
  ForgetRefresh();
  chartsBehind_ = false;
  charts_->Time.AverageTool->SetValue(0);
  charts_->Time.MPXSeries->Clear();
  charts_->Dev.DevSerie->Clear();
  charts_->Time.Chart->Invalidate();
  charts_->Dev.Chart->Invalidate();
}

void TMPXGraphForm::UnitsChanged() {
  TAxisItems items(charts_->Dev.Chart->BottomAxis());
  items.Clear();
  for (const TMPXAxisLabel& l : controller_.DeviationAxisLabels()) items.Add(l.Value, l.Text);
  charts_->Time.Chart->Invalidate();
  charts_->Dev.Chart->Invalidate();
}

// ---- Views ------------------------------------------------------------------------------

int TMPXGraphForm::TimePointCount() const { return charts_->Time.MPXSeries->Count(); }
std::pair<double, double> TMPXGraphForm::TimePoint(int I) const {
  return {charts_->Time.MPXSeries->XValue(I), charts_->Time.MPXSeries->YValue(I)};
}
int TMPXGraphForm::DeviationPointCount() const { return charts_->Dev.DevSerie->Count(); }
double TMPXGraphForm::AverageLineValue() const { return charts_->Time.AverageTool->Value(); }
std::string TMPXGraphForm::TimeOverlayText() const { return charts_->TimeOverlay; }
std::string TMPXGraphForm::DeviationOverlayText() const { return charts_->DevOverlay; }
QImage TMPXGraphForm::TimeChartPicture(bool Monochrome) { return CapturedChart(*charts_->Time.Chart, Monochrome); }
QImage TMPXGraphForm::DeviationChartPicture(bool Monochrome) {
  return CapturedChart(*charts_->Dev.Chart, Monochrome);
}

QImage TMPXGraphForm::CapturedChart(TChart& Chart, bool Monochrome) {
  charts_->Capturing = true;
  const QImage image = ChartPicture(Chart, Monochrome);
  charts_->Capturing = false;
  return image;
}

void TMPXGraphForm::btnResetAverageClick() { controller_.ResetAverage(); }

void TMPXGraphForm::btnClearClick() { controller_.ResetMeasurement(); }

void TMPXGraphForm::btnPrintClick() {
  // The page shows every sample taken, also one the cap still holds back.
  RefreshHeldBackCharts();
  controller_.SetPrinting(true);
  const bool time = pages->currentIndex() == 0;
  const QString title = time ? "MPX Time Graph" : "MPX Deviation";
  const QString subtitle = QString::fromUtf8(controller_.PrintSubtitle().c_str());
  const QImage colour = time ? TimeChartPicture(false) : DeviationChartPicture(false);
  const QImage mono = time ? TimeChartPicture(true) : DeviationChartPicture(true);
  if (RunPrintPreview) RunPrintPreview(colour, mono, title, subtitle);
  else RunMPXPrintPreview(colour, mono, title, subtitle, this);
  controller_.SetPrinting(false);
}
