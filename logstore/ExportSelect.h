#pragma once
// The small dialog that asks which logs to export.
#include <QDialog>

class QCheckBox;

struct TExportSelection {
  bool ExtLog = true, RawLog = true, ChangeLog = true;
  bool Any() const { return ExtLog || RawLog || ChangeLog; }
};

class TExportSelectForm : public QDialog {
  Q_OBJECT
 public:
  explicit TExportSelectForm(QWidget* Parent = nullptr);
  TExportSelection Selection() const;

  QCheckBox* extLog;
  QCheckBox* rawLog;
  QCheckBox* changeLog;
};
