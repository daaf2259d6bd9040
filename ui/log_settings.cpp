#include "ui/log_settings.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>
#include <algorithm>
#include <cmath>

#include "ui/DialogStyle.h"
#include "ui_log_settings.h"

namespace {

// The per-kind switches of the settings record, in the order of KindBoxes().
constexpr uint8_t TSettingsRecord::*kKindFields[11] = {
    &TSettingsRecord::LogFreqChange, &TSettingsRecord::LogTP,  &TSettingsRecord::LogTA,
    &TSettingsRecord::LogMS,         &TSettingsRecord::LogPI,  &TSettingsRecord::LogPTY,
    &TSettingsRecord::LogDI,         &TSettingsRecord::LogCT,  &TSettingsRecord::LogRT,
    &TSettingsRecord::LogPS,         &TSettingsRecord::LogAF,
};

}  // namespace

TLogSettingsForm::TLogSettingsForm(QWidget* Owner)
    : QDialog(Owner), ui_(std::make_unique<Ui_TLogSettingsForm>()) {
  ui_->setupUi(this);
  CheckBox1 = ui_->CheckBox1;
  CheckBox2 = ui_->CheckBox2;
  datachange = ui_->datachange;
  freq = ui_->freq;
  TP = ui_->TP;
  TA = ui_->TA;
  MS = ui_->MS;
  PI = ui_->PI;
  PTY = ui_->PTY;
  DI = ui_->DI;
  RT = ui_->RT;
  PS = ui_->PS;
  CT = ui_->CT;
  AF = ui_->AF;
  Label1 = ui_->Label1;
  Label2 = ui_->Label2;
  Label3 = ui_->Label3;
  Label4 = ui_->Label4;
  logtime = ui_->logtime;
  loglive = ui_->loglive;
  btnOK = ui_->btnOK;
  btnCancel = ui_->btnCancel;
  SetDialogBorder(this);
  for (TDBNumberEditEx* edit : {logtime, loglive}) {
    // Whole minutes and days.
    edit->SetDecimalPlaces(0);
    edit->SetMinValue(kMinEditValue);
    edit->SetMaxValue(kMaxEditValue);
    edit->EditButton().SetStyle(ebsUpDownEx);
    edit->EditButton().SetVisible(true);
    edit->SetValue(kMinEditValue);
  }
  logtime->OnExit = [this](QObject* sender) { logtimeExit(sender); };
  logtime->OnKeyUp = [this](QObject* sender, int& key, Qt::KeyboardModifiers shift) {
    logtimeKeyUp(sender, key, shift);
  };
  connect(CheckBox2, &QCheckBox::toggled, this, [this] { CheckBox2Click(); });
  connect(datachange, &QCheckBox::toggled, this, [this] { datachangeClick(); });
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  CheckBox2Click();
  datachangeClick();
}

TLogSettingsForm::~TLogSettingsForm() = default;

std::array<QCheckBox*, 11> TLogSettingsForm::KindBoxes() const {
  return {freq, TP, TA, MS, PI, PTY, DI, CT, RT, PS, AF};
}

void TLogSettingsForm::CheckBox2Click() { logtime->setEnabled(CheckBox2->isChecked()); }

void TLogSettingsForm::datachangeClick() {
  const bool on = datachange->isChecked();
  for (QCheckBox* box : KindBoxes()) box->setEnabled(on);
}

void TLogSettingsForm::FillEmpty() {
  if (!logtime->Value()) logtime->SetValue(kMinEditValue);
}

void TLogSettingsForm::logtimeExit(QObject*) { FillEmpty(); }

void TLogSettingsForm::logtimeKeyUp(QObject*, int& Key, Qt::KeyboardModifiers) {
  if (Key == Qt::Key_Return || Key == Qt::Key_Enter) FillEmpty();
}

void TLogSettingsForm::keyPressEvent(QKeyEvent* event) {
  // Enter in an edit is the edit's own (see logtimeKeyUp): it must not press
  // a button and close the dialog.
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && qobject_cast<TDBNumberEditEx*>(focusWidget())) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TLogSettingsForm::Preset(const TSettingsRecord& Settings) {
  CheckBox1->setChecked(Settings.RawLogOn != 0);
  CheckBox2->setChecked(Settings.ExtLogOn != 0);
  datachange->setChecked(Settings.ChangeLogOn != 0);
  const auto boxes = KindBoxes();
  for (size_t i = 0; i < boxes.size(); ++i) boxes[i]->setChecked(Settings.*kKindFields[i] != 0);
  logtime->SetValue(Settings.ExtLogMinutes);
  loglive->SetValue(Settings.KeepDays);
  CheckBox2Click();
  datachangeClick();
}

int TLogSettingsForm::EditValue(const TDBNumberEditEx* Edit) {
  const std::optional<double> value = Edit->Value();
  if (!value || std::isnan(*value)) return kMinEditValue;
  // The edits clamp only what is typed; a value set by code (a stored one
  // written by hand or by an older version) is held to the range here, so
  // that a keep time of 0 days, which would purge every log, is never saved.
  return static_cast<int>(std::clamp(std::nearbyint(*value), double(kMinEditValue), double(kMaxEditValue)));
}

void TLogSettingsForm::ReadBack(TSettingsRecord& Settings) const {
  Settings.RawLogOn = CheckBox1->isChecked() ? 1 : 0;
  Settings.ExtLogOn = CheckBox2->isChecked() ? 1 : 0;
  Settings.ChangeLogOn = datachange->isChecked() ? 1 : 0;
  const auto boxes = KindBoxes();
  for (size_t i = 0; i < boxes.size(); ++i) Settings.*kKindFields[i] = boxes[i]->isChecked() ? 1 : 0;
  Settings.ExtLogMinutes = EditValue(logtime);
  Settings.KeepDays = EditValue(loglive);
}

bool TLogSettingsForm::Execute(QWidget* Owner, TSettingsRecord& Settings,
                               const std::function<void(const TSettingsRecord&)>& Save) {
  TLogSettingsForm form(Owner);
  form.Preset(Settings);
  if (form.exec() != QDialog::Accepted) return false;
  form.ReadBack(Settings);
  if (Save) Save(Settings);
  return true;
}
