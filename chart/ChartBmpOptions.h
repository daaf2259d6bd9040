#pragma once
// The options form of the bitmap export: monochrome or a colour depth.
#include <QWidget>

class QCheckBox;
class QComboBox;

class TBMPOptions : public QWidget {
 public:
  explicit TBMPOptions(QWidget* parent = nullptr);
  QCheckBox* CBMono;
  QComboBox* CBColors;  // its index is the pixel format, 0 = the device's

 protected:
  void showEvent(QShowEvent* event) override;
};
