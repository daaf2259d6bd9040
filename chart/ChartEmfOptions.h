#pragma once
// The options form of the metafile export: enhanced or plain.
#include <QWidget>

class QCheckBox;

class TEMFOptions : public QWidget {
 public:
  explicit TEMFOptions(QWidget* parent = nullptr);
  QCheckBox* CBEnhanced;
};
