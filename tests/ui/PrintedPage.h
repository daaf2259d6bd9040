#pragma once
// A print preview's page as it comes out where no printer exists: printed to
// a PDF file and rendered back by pdftoppm.
#include <QFileInfo>
#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>
#include <functional>

#include "ui/PrintPreview.h"

// The printed page at Dpi (only the Crop rectangle of it, when given); a null
// picture when printing or rendering failed.
inline QImage PrintedPdfPage(TPrintPreviewBase& preview, const QTemporaryDir& dir, int Dpi = 60, QRect Crop = {}) {
  const QString pdf = dir.filePath("page.pdf");
  preview.Printer().setOutputFormat(QPrinter::PdfFormat);
  preview.Printer().setOutputFileName(pdf);
  preview.AskPdfFileName = [pdf] { return pdf; };
  if (!preview.btnPrintClick() || QFileInfo(pdf).size() == 0) return {};
  QStringList args = {"-r", QString::number(Dpi), "-png", "-singlefile"};
  if (!Crop.isEmpty())
    for (auto [flag, v] : {std::pair{"-x", Crop.x()}, {"-y", Crop.y()}, {"-W", Crop.width()}, {"-H", Crop.height()}})
      args << flag << QString::number(v);
  if (QProcess::execute("pdftoppm", args << pdf << dir.filePath("page")) != 0) return {};
  return QImage(dir.filePath("page.png")).convertToFormat(QImage::Format_RGB32);
}

// The printed pages' text as pdftotext lays it out (the words of one printed
// line on one line); empty when printing or reading failed.
inline QString PrintedPdfText(TPrintPreviewBase& preview, const QTemporaryDir& dir) {
  const QString pdf = dir.filePath("text.pdf");
  preview.Printer().setOutputFormat(QPrinter::PdfFormat);
  preview.Printer().setOutputFileName(pdf);
  preview.AskPdfFileName = [pdf] { return pdf; };
  if (!preview.btnPrintClick()) return {};
  QProcess p;
  p.start("pdftotext", {"-layout", pdf, "-"});
  if (!p.waitForFinished(30000) || p.exitCode() != 0) return {};
  return QString::fromUtf8(p.readAllStandardOutput());
}

// The smallest rectangle holding every pixel that Picked accepts.
inline QRect PickedBounds(const QImage& image, const std::function<bool(QRgb)>& Picked) {
  QRect r;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (Picked(image.pixel(x, y))) r |= QRect(x, y, 1, 1);
  return r;
}
