#include "ui/presets.h"

#include <QKeyEvent>
#include <QPushButton>

#include "receiver/shared.h"
#include "ui/DialogStyle.h"
#include "ui/SettingsApply.h"
#include "ui_presets.h"

namespace {
double InBand(const std::optional<double>& Value) { return Value ? ClampFreq(*Value) : kBandLowMHz; }
}  // namespace

TPresetsForm::TPresetsForm(QWidget* Owner) : QDialog(Owner), ui_(std::make_unique<Ui_TPresetsForm>()) {
  ui_->setupUi(this);
  Label1 = ui_->Label1;
  Label2 = ui_->Label2;
  Label3 = ui_->Label3;
  Label4 = ui_->Label4;
  Label5 = ui_->Label5;
  pr1 = ui_->pr1;
  pr2 = ui_->pr2;
  pr3 = ui_->pr3;
  pr4 = ui_->pr4;
  pr5 = ui_->pr5;
  btnSave = ui_->btnSave;
  btnCancel = ui_->btnCancel;
  SetDialogBorder(this);
  for (TDBNumberEditEx* edit : Edits()) {
    // One decimal shown as "#.0", stepped by 0.1 with up-down buttons.
    edit->SetDecimalPlaces(1);
    edit->SetDisplayFormat(QStringLiteral("#.0"));
    edit->SetIncrement(0.1);
    edit->EditButton().SetStyle(ebsUpDownEx);
    edit->EditButton().SetVisible(true);
    edit->OnKeyUp = [this](QObject* sender, int& key, Qt::KeyboardModifiers shift) { pr1KeyUp(sender, key, shift); };
    edit->OnExit = [this](QObject* sender) { pr5Exit(sender); };
  }
  connect(btnSave, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  FormCreate();
}

TPresetsForm::~TPresetsForm() = default;

void TPresetsForm::FormCreate() {
  for (TDBNumberEditEx* edit : Edits()) {
    edit->SetMinValue(kBandLowMHz);
    edit->SetMaxValue(kBandHighMHz);
  }
}

void TPresetsForm::BringIntoBand(TDBNumberEditEx* Edit) {
  if (Edit) Edit->SetValue(InBand(Edit->Value()));
}

void TPresetsForm::pr1KeyUp(QObject* Sender, int& Key, Qt::KeyboardModifiers) {
  if (Key == Qt::Key_Return || Key == Qt::Key_Enter) BringIntoBand(qobject_cast<TDBNumberEditEx*>(Sender));
}

void TPresetsForm::pr5Exit(QObject* Sender) { BringIntoBand(qobject_cast<TDBNumberEditEx*>(Sender)); }

void TPresetsForm::keyPressEvent(QKeyEvent* event) {
  // Enter in an edit is the edit's own (see pr1KeyUp): it must not press a
  // button and close the dialog.
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && qobject_cast<TDBNumberEditEx*>(focusWidget())) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TPresetsForm::Preset(const TSettingsRecord& Settings) {
  const std::array<double, 5> freqs = PresetFrequencies(Settings);
  const auto edits = Edits();
  for (size_t i = 0; i < edits.size(); ++i) edits[i]->SetValue(freqs[i]);
}

std::array<double, 5> TPresetsForm::Frequencies() const {
  std::array<double, 5> freqs{};
  const auto edits = Edits();
  for (size_t i = 0; i < edits.size(); ++i) freqs[i] = InBand(edits[i]->Value());
  return freqs;
}

std::optional<std::array<std::string, 5>> TPresetsForm::Execute(
    QWidget* Owner, TSettingsRecord& Settings, const std::function<void(const TSettingsRecord&)>& Save) {
  TPresetsForm form(Owner);
  form.Preset(Settings);
  if (form.exec() != QDialog::Accepted) return std::nullopt;
  return ApplyPresets(Settings, form.Frequencies(), Save);
}
