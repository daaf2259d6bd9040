#include "ui/PrintPreview.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPixmap>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <cmath>

#include "chart/ChartPanel.h"
#include "platform/PainterDC.h"
#include "ui/DialogStyle.h"
#include "ui/Pictures.h"

namespace {
constexpr int kPreviewBox = 380;  // the preview picture's larger side
}

TPrintPageLayout PrintPageLayoutOf(int W, int H, int MarginPercent, TSize ContentSize, TSize LogoSize) {
  TPrintPageLayout out;
  const int mx = int(std::nearbyint(double(W) * MarginPercent / 100));
  const int width = std::max(0, W - 2 * mx);
  const int height = ContentSize.cx > 0 ? int(std::nearbyint(double(width) * ContentSize.cy / ContentSize.cx)) : 0;
  const int top = (H - height) / 2;
  out.Content = {mx, top, mx + width, top + height};
  const int logoH = (width / 25) * 10 / 20;
  const int logoW = LogoSize.cy > 0 ? int(std::nearbyint(double(logoH) * LogoSize.cx / LogoSize.cy)) : 0;
  out.Logo = {out.Content.Right - logoW, out.Content.Bottom - logoH, out.Content.Right, out.Content.Bottom};
  return out;
}

TPrintPreviewBase::TPrintPreviewBase(QWidget* Owner) : QDialog(Owner), logoPicture_(MakeLogoPicture()) {
  setWindowTitle(QStringLiteral("Print Preview - Quorvane Broadcast Ltd."));
  // No printer installed: the page is a PDF file's (A4 until set up).
  if (QPrinterInfo::availablePrinterNames().isEmpty()) printer_.setOutputFormat(QPrinter::PdfFormat);
  printer_.setDocName(kJobTitle);

  PrinterGroup = new QGroupBox("Printer", this);
  cbPrinters = new QComboBox(PrinterGroup);
  cbPrinters->setObjectName("cbPrinters");
  cbPrinters->setMinimumWidth(180);
  priterSetup = new QPushButton("&Setup", PrinterGroup);
  priterSetup->setObjectName("priterSetup");
  auto* pg = new QGridLayout(PrinterGroup);
  pg->addWidget(new QLabel("Name", PrinterGroup), 0, 0);
  pg->addWidget(cbPrinters, 0, 1);
  pg->addWidget(priterSetup, 1, 1, Qt::AlignRight);

  paperMargin = new QSlider(Qt::Horizontal, this);
  paperMargin->setObjectName("paperMargin");
  paperMargin->setRange(0, 30);
  paperMargin->setTickInterval(5);
  paperMargin->setTickPosition(QSlider::TicksBelow);
  paperMargin->setValue(margin_);
  marginT = new QLabel(QString::number(margin_) + "%", this);
  marginT->setObjectName("marginT");
  marginT->setMinimumWidth(30);

  imgPreview = new QLabel(this);
  imgPreview->setObjectName("imgPreview");
  imgPreview->setFixedSize(kPreviewBox + 8, kPreviewBox + 8);
  imgPreview->setAlignment(Qt::AlignCenter);
  imgPreview->setStyleSheet("background: #808080;");
  logo = new QLabel(this);
  logo->setObjectName("logo");
  logo->setPixmap(QPixmap::fromImage(logoPicture_));
  logo->hide();
  btnPrint = new QPushButton("&Print", this);
  btnPrint->setObjectName("btnPrint");
  OptionsArea = new QWidget(this);
  new QVBoxLayout(OptionsArea);
  OptionsArea->layout()->setContentsMargins(0, 0, 0, 0);

  auto* side = new QVBoxLayout;
  side->addWidget(PrinterGroup);
  auto* margin = new QHBoxLayout;
  margin->addWidget(paperMargin, 1);
  margin->addWidget(marginT);
  side->addLayout(margin);
  side->addWidget(OptionsArea);
  side->addStretch(1);
  side->addWidget(btnPrint);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(imgPreview);
  layout->addLayout(side);

  AskPdfFileName = [this] {
    return QFileDialog::getSaveFileName(this, QString(), QStringLiteral("BandAnalyzer.pdf"),
                                        QStringLiteral("PDF files (*.pdf)"));
  };
  RunPrinterSetup = [this](QPrinter& p) { return QPageSetupDialog(&p, this).exec() == QDialog::Accepted; };

  connect(priterSetup, &QPushButton::clicked, this, [this] { priterSetupClick(); });
  connect(cbPrinters, &QComboBox::activated, this, [this](int i) { cbPrintersChange(i); });
  connect(paperMargin, &QSlider::valueChanged, this, [this](int v) { paperMarginChange(v); });
  connect(btnPrint, &QPushButton::clicked, this, [this] { btnPrintClick(); });
  SetDialogBorder(this);
}

TPrintPreviewBase::~TPrintPreviewBase() = default;

void TPrintPreviewBase::Start() {
  cbPrinters->addItems(QPrinterInfo::availablePrinterNames());
  SelectCurrentPrinter();
  margin_ = paperMargin->value();
  RenderPreview();
  adjustSize();
  CenterWindow(this);
}

void TPrintPreviewBase::SelectCurrentPrinter() {
  const int i = cbPrinters->findText(printer_.printerName());
  if (i >= 0) cbPrinters->setCurrentIndex(i);
}

void TPrintPreviewBase::priterSetupClick() {
  if (!RunPrinterSetup || !RunPrinterSetup(printer_)) return;
  SelectCurrentPrinter();
  // The analyzers' pages are laid out for landscape, whatever was chosen.
  printer_.setPageOrientation(QPageLayout::Landscape);
  printer_.setDocName(JobTitle);
  PrinterChanged();
  RenderPreview();
}

void TPrintPreviewBase::cbPrintersChange(int Index) {
  if (Index < 0 || Index >= cbPrinters->count()) return;
  printer_.setPrinterName(cbPrinters->itemText(Index));
  PrinterChanged();
  RenderPreview();
}

void TPrintPreviewBase::paperMarginChange(int Position) {
  margin_ = Position;
  marginT->setText(QString::number(Position) + "%");
  RenderPreview();
}

void TPrintPreviewBase::DrawPage(IDeviceContext& Dc, int W, int H, TPoint Origin) {
  const QImage& l = logoPicture_;
  TPrintPageLayout page = PrintPageLayoutOf(W, H, margin_, ContentSize(), {l.width(), l.height()});
  auto shift = [Origin](TRect& r) { r = {r.Left + Origin.X, r.Top + Origin.Y, r.Right + Origin.X, r.Bottom + Origin.Y}; };
  shift(page.Content);
  shift(page.Logo);
  if (!page.Content.IsEmpty()) DrawContent(Dc, page.Content);
  Dc.SetMapping(TDCMapping{});
  if (LogoBelowContent) Dc.StretchDraw(page.Logo, l);
}

void TPrintPreviewBase::RenderPreview() {
  const TCustomChartPanel::TPageInfo info = PageInfoOf(printer_);
  if (info.Width <= 0 || info.Height <= 0) return;
  // Every page, one below the other with a grey gap, scaled into the box.
  const int pages = std::max(1, PageCount());
  const double gapShare = 0.04;
  const double stackH = info.Height * (pages + gapShare * (pages - 1));
  const double scale = double(kPreviewBox) / std::max(double(info.Width), stackH);
  const int w = std::max(1, int(info.Width * scale)), h = std::max(1, int(info.Height * scale));
  const int gap = pages > 1 ? std::max(2, int(info.Height * gapShare * scale)) : 0;
  preview_ = QImage(w, h * pages + gap * (pages - 1), QImage::Format_RGB32);
  preview_.fill(QColor(0x80, 0x80, 0x80));
  for (int page = 0; page < pages; ++page) {
    currentPage_ = page;
    QImage sheet(w, h, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    {
      TPainterDC dc(&sheet);
      DrawPage(dc, w, h, {0, 0});
    }
    QPainter(&preview_).drawImage(0, page * (h + gap), sheet);
  }
  currentPage_ = 0;
  imgPreview->setPixmap(QPixmap::fromImage(preview_));
}

bool TPrintPreviewBase::btnPrintClick() {
  if (QPrinterInfo::availablePrinterNames().isEmpty()) {
    const QString file = AskPdfFileName ? AskPdfFileName() : QString();
    if (file.isEmpty()) return false;
    printer_.setOutputFormat(QPrinter::PdfFormat);
    printer_.setOutputFileName(file);
  }
  printer_.setDocName(JobTitle);
  const QRect full = printer_.pageLayout().fullRectPixels(printer_.resolution());
  // The painter's origin is the printable area's corner, not the paper's.
  const QRect paint = printer_.pageLayout().paintRectPixels(printer_.resolution());
  bool printed = false;
  {
    TPainterDC dc(&printer_);
    if (dc.Painter().isActive()) {
      printed = true;
      for (int page = 0; page < std::max(1, PageCount()) && printed; ++page) {
        if (page > 0) printed = printer_.newPage();
        currentPage_ = page;
        DrawPage(dc, full.width(), full.height(), {-paint.left(), -paint.top()});
      }
      currentPage_ = 0;
    }
  }
  if (printed && printer_.printerState() != QPrinter::Error) return true;
  // The preview stays as it is, to print again elsewhere.
  const QString where = printer_.outputFileName().isEmpty() ? printer_.printerName() : printer_.outputFileName();
  QMessageBox::warning(this, windowTitle(),
                       "The page could not be printed to \"" + QDir::toNativeSeparators(where) + "\".");
  return false;
}
