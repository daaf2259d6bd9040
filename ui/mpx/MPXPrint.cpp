#include "ui/mpx/MPXPrint.h"

#include "ui/mpx/MPXGraph.h"

#include <QLayout>
#include <QFileDialog>
#include <QPainter>

QImage MPXPagePicture(const QImage& Chart, const QString& Title, const QString& Subtitle, const QImage& Logo) {
  QImage page(Chart.width(), Chart.height() + 80, QImage::Format_RGB32);
  page.fill(Qt::white);
  QPainter p(&page);
  p.setPen(Qt::black);
  QFont f("Arial");
  f.setPixelSize(16);
  f.setBold(true);
  p.setFont(f);
  p.drawText(QRect(0, 0, page.width(), 20), Qt::AlignHCenter | Qt::AlignTop, Title);
  f.setPixelSize(12);
  f.setBold(false);
  p.setFont(f);
  p.drawText(QRect(0, 20, page.width(), 20), Qt::AlignHCenter | Qt::AlignTop, Subtitle);
  p.drawImage(0, 40, Chart);
  if (!Logo.isNull() && Logo.width() > 0) {
    const int w = Chart.width() / 10, h = w * Logo.height() / Logo.width();
    p.drawImage(QRect(Chart.width() - w, 40, w, h), Logo);
  }
  return page;
}

TChartPrintForm::TChartPrintForm(const QImage& Colour, const QImage& Mono, const QString& Title,
                                 const QString& Subtitle, QWidget* Owner)
    : TPrintPreviewBase(Owner),
      colour_(MPXPagePicture(Colour, Title, Subtitle, LogoPicture())),
      mono_(MPXPagePicture(Mono, Title, Subtitle, LogoPicture())) {
  JobTitle = Title;
  LogoBelowContent = false;
  Printer().setPageOrientation(QPageLayout::Landscape);
  Printer().setDocName(Title);
  AskPdfFileName = [this, Title] {
    return QFileDialog::getSaveFileName(this, QString(), Title + ".pdf", QStringLiteral("PDF files (*.pdf)"));
  };
  cbMonochrome = new QCheckBox("Monochrome", OptionsArea);
  cbMonochrome->setObjectName("cbMonochrome");
  OptionsArea->layout()->addWidget(cbMonochrome);
  connect(cbMonochrome, &QCheckBox::toggled, this, [this] { RenderPreview(); });
  Start();
}

TSize TChartPrintForm::ContentSize() { return {Page().width(), Page().height()}; }

void TChartPrintForm::DrawContent(IDeviceContext& Dc, const TRect& R) { Dc.StretchDraw(R, Page()); }

void RunMPXPrintPreview(const QImage& Colour, const QImage& Mono, const QString& Title, const QString& Subtitle,
                        QWidget* Owner) {
  TChartPrintForm preview(Colour, Mono, Title, Subtitle, Owner);
  preview.exec();
}
