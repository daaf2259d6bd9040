#include "ui/band/SpectrumPrint.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>

#include "chart/Chart.h"
#include "chart/ChartTools.h"

TPrintPreviewForm::TPrintPreviewForm(TChart& Chart, TColorBandTool& SearchBand, bool ShowSearchBand,
                                       QWidget* Owner)
    : TPrintPreviewBase(Owner), chart_(Chart), band_(SearchBand), showBand_(ShowSearchBand) {
  setObjectName("PrintPreviewForm");
  auto* row = new QWidget(OptionsArea);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(new QLabel("Fine", row));
  Detail = new QSlider(Qt::Horizontal, row);
  Detail->setRange(-100, 0);
  Detail->setSingleStep(2);
  Detail->setPageStep(10);
  layout->addWidget(Detail);
  layout->addWidget(new QLabel("Normal", row));
  OptionsArea->layout()->addWidget(row);
  cbMonochrome = new QCheckBox("Monochrome", OptionsArea);
  OptionsArea->layout()->addWidget(cbMonochrome);
  connect(Detail, &QSlider::valueChanged, this, [this] { RenderPreview(); });
  connect(cbMonochrome, &QCheckBox::toggled, this, [this] { RenderPreview(); });
  Start();
}

TSize TPrintPreviewForm::ContentSize() { return TSize{chart_.Width(), chart_.Height()}; }

void TPrintPreviewForm::DrawContent(IDeviceContext& Dc, const TRect& R) {
  band_.SetActive(false);
  chart_.SetMonochrome(cbMonochrome->isChecked());
  chart_.SetBackColor(clWhite);
  chart_.SetPrintDetail(Detail->value());
  chart_.PrintIntoRect(Dc, R);
  chart_.SetBackColor(clBtnFace);
  chart_.SetMonochrome(false);
  band_.SetActive(showBand_);
}
