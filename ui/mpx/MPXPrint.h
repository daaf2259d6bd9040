#pragma once
// The MPX analyzer's print preview: one chart picture with its title and
// subtitle above it and the logo in its top-right corner, in colour or in
// monochrome, printed landscape (or to a PDF where no printer exists).
#include <QCheckBox>

#include "ui/PrintPreview.h"

// The printed page's picture: as wide as the chart, 80 pixels taller; the
// title centred at the top, the subtitle centred 20 pixels down, the chart
// from 40 down, the logo a tenth of the chart's width wide at its top-right.
QImage MPXPagePicture(const QImage& Chart, const QString& Title, const QString& Subtitle, const QImage& Logo);

class TChartPrintForm : public TPrintPreviewBase {
 public:
  TChartPrintForm(const QImage& Colour, const QImage& Mono, const QString& Title, const QString& Subtitle,
                  QWidget* Owner = nullptr);

  QCheckBox* cbMonochrome;
  // The page picture printed now.
  const QImage& Page() const { return cbMonochrome->isChecked() ? mono_ : colour_; }

 protected:
  TSize ContentSize() override;
  void DrawContent(IDeviceContext& Dc, const TRect& R) override;

 private:
  QImage colour_, mono_;
};
