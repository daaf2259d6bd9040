#include "ui/RadioSettings.h"

#include <QPushButton>
#include <QRadioButton>
#include <initializer_list>

#include "ui/DialogStyle.h"
#include "ui_RadioSettings.h"

namespace {

// Checks the button at Index of a group, or none when Index is out of range
// (an exclusive group cannot uncheck its last button by itself).
void CheckOnly(std::initializer_list<QRadioButton*> Group, int Index) {
  int i = 0;
  for (QRadioButton* button : Group) {
    button->setAutoExclusive(false);
    button->setChecked(i++ == Index);
    button->setAutoExclusive(true);
  }
}

// Index of the checked button of a group, -1 when none is.
int CheckedIndex(std::initializer_list<const QRadioButton*> Group) {
  int i = 0;
  for (const QRadioButton* button : Group) {
    if (button->isChecked()) return i;
    ++i;
  }
  return -1;
}

}  // namespace

TRadioSettingsForm::TRadioSettingsForm(QWidget* Owner)
    : QDialog(Owner), ui_(std::make_unique<Ui_TRadioSettingsForm>()) {
  ui_->setupUi(this);
  gbSearchStopLevel = ui_->gbSearchStopLevel;
  l3 = ui_->l3;
  l5 = ui_->l5;
  l7 = ui_->l7;
  l10 = ui_->l10;
  gbSpacing = ui_->gbSpacing;
  sp100 = ui_->sp100;
  sp200 = ui_->sp200;
  gbSensitivity = ui_->gbSensitivity;
  snLDX = ui_->snLDX;
  snDX = ui_->snDX;
  gbDeemphasis = ui_->gbDeemphasis;
  deem50 = ui_->deem50;
  deem75 = ui_->deem75;
  btnOK = ui_->btnOK;
  btnCancel = ui_->btnCancel;
  SetDialogBorder(this);
  connect(l3, &QRadioButton::clicked, this, [this] { l3Click(); });
  connect(l5, &QRadioButton::clicked, this, [this] { l5Click(); });
  connect(l7, &QRadioButton::clicked, this, [this] { l7Click(); });
  connect(l10, &QRadioButton::clicked, this, [this] { l10Click(); });
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TRadioSettingsForm::~TRadioSettingsForm() = default;

void TRadioSettingsForm::Preview(int Level) {
  if (OnLevelPreview) OnLevelPreview(Level);
}

void TRadioSettingsForm::l3Click() { Preview(3); }
void TRadioSettingsForm::l5Click() { Preview(5); }
void TRadioSettingsForm::l7Click() { Preview(7); }
void TRadioSettingsForm::l10Click() { Preview(10); }

void TRadioSettingsForm::Preset(const TSettingsRecord& Settings, uint8_t Firmware) {
  CheckOnly({l3, l5, l7, l10}, Settings.SearchStopLevel);
  CheckOnly({snLDX, snDX}, Settings.SensitivityDX ? 1 : 0);
  CheckOnly({sp100, sp200}, Settings.Spacing < 2 ? 0 : Settings.Spacing == 2 ? 1 : -1);
  CheckOnly({deem50, deem75}, Settings.DeEmphasis ? 1 : 0);
  const bool deemphasis = Firmware >= 2;
  deem50->setEnabled(deemphasis);
  deem75->setEnabled(deemphasis);
}

TRadioSettingsChoice TRadioSettingsForm::Choice() const {
  TRadioSettingsChoice choice;
  if (const int level = CheckedIndex({l3, l5, l7, l10}); level >= 0) choice.SearchStopLevel = static_cast<uint8_t>(level);
  if (const int step = CheckedIndex({sp100, sp200}); step >= 0) choice.Spacing = static_cast<uint8_t>(step + 1);
  if (const int sense = CheckedIndex({snLDX, snDX}); sense >= 0) choice.SensitivityDX = sense == 1;
  if (const int deem = CheckedIndex({deem50, deem75}); deem >= 0) choice.DeEmphasis = deem == 1;
  return choice;
}

bool TRadioSettingsForm::Execute(QWidget* Owner, TSettingsRecord& Settings, uint8_t Firmware,
                                 const TSettingsOutlet& Out, const std::function<void(int Level)>& LevelPreview) {
  TRadioSettingsForm form(Owner);
  form.Preset(Settings, Firmware);
  form.OnLevelPreview = LevelPreview;
  const bool confirmed = form.exec() == QDialog::Accepted;
  if (confirmed) ApplyRadioSettings(Settings, form.Choice(), Out);
  // Whatever was previewed, the band shows the level now stored.
  if (LevelPreview) LevelPreview(SearchBandStart(Settings.SearchStopLevel));
  return confirmed;
}
