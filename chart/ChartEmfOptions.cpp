#include "chart/ChartEmfOptions.h"

#include <QCheckBox>
#include <QVBoxLayout>

TEMFOptions::TEMFOptions(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  CBEnhanced = new QCheckBox("&Enhanced", this);
  CBEnhanced->setObjectName("CBEnhanced");
  CBEnhanced->setChecked(true);
  layout->addWidget(CBEnhanced);
  layout->addStretch();
}
