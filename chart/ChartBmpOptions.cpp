#include "chart/ChartBmpOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QVBoxLayout>

TBMPOptions::TBMPOptions(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  CBMono = new QCheckBox("&Monochrome", this);
  CBMono->setObjectName("CBMono");
  CBColors = new QComboBox(this);
  CBColors->setObjectName("CBColors");
  CBColors->addItems({"Default", "2 (1 bit)", "16 (4 bit)", "256 (8 bit)", "32768 (15 bit)", "65536 (16 bit)",
                      "16M (24 bit)", "16M (32 bit)"});
  CBColors->setCurrentIndex(0);
  layout->addWidget(CBMono);
  layout->addWidget(CBColors);
  layout->addStretch();
  connect(CBMono, &QCheckBox::toggled, CBColors, [this](bool mono) { CBColors->setEnabled(!mono); });
}

void TBMPOptions::showEvent(QShowEvent* event) {
  CBColors->setCurrentIndex(0);
  QWidget::showEvent(event);
}
