#include "logstore/ExportSelect.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TExportSelectForm::TExportSelectForm(QWidget* Parent) : QDialog(Parent) {
  setObjectName("ExportSelectForm");
  setWindowTitle("Select Logs to Export");
  auto* box = new QVBoxLayout(this);
  auto check = [&](const char* name, const char* caption) {
    auto* c = new QCheckBox(caption, this);
    c->setObjectName(name);
    c->setChecked(true);
    box->addWidget(c);
    return c;
  };
  extLog = check("extLog", "Extended Log");
  rawLog = check("rawLog", "RAW Log");
  changeLog = check("changeLog", "Data Change Log");
  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("btnOK");
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("btnCancel");
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  box->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

TExportSelection TExportSelectForm::Selection() const {
  return {extLog->isChecked(), rawLog->isChecked(), changeLog->isChecked()};
}
