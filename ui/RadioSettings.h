#pragma once
// The tuner settings dialog: search stop level, channel step, sensitivity and
// de-emphasis as four groups of radio buttons. Clicking a level button
// previews that level on the band analyzer's search-level band through
// OnLevelPreview; Execute puts the stored level back on "Cancel".
#include <QDialog>
#include <cstdint>
#include <functional>
#include <memory>

#include "logstore/SettingsRecord.h"
#include "ui/SettingsApply.h"

class QGroupBox;
class QPushButton;
class QRadioButton;
class Ui_TRadioSettingsForm;

class TRadioSettingsForm : public QDialog {
  Q_OBJECT
 public:
  // Centred on Owner (the main window) when shown.
  explicit TRadioSettingsForm(QWidget* Owner = nullptr);
  ~TRadioSettingsForm() override;

  QGroupBox* gbSearchStopLevel;
  QRadioButton* l3;
  QRadioButton* l5;
  QRadioButton* l7;
  QRadioButton* l10;
  QGroupBox* gbSpacing;
  QRadioButton* sp100;
  QRadioButton* sp200;
  QGroupBox* gbSensitivity;
  QRadioButton* snLDX;
  QRadioButton* snDX;
  QGroupBox* gbDeemphasis;
  QRadioButton* deem50;
  QRadioButton* deem75;
  QPushButton* btnOK;
  QPushButton* btnCancel;

  // Told the start of the search-level band (receiver level 3, 5, 7 or 10)
  // when a level button is clicked.
  std::function<void(int Level)> OnLevelPreview;

  // Checks the buttons of the stored settings; a value the dialog does not
  // offer leaves its group unchecked. De-emphasis is fixed on receivers whose
  // firmware byte is below 2.
  void Preset(const TSettingsRecord& Settings, uint8_t Firmware);
  // What the groups have selected now.
  TRadioSettingsChoice Choice() const;

  // The whole of the main window's tuner settings button: preset, show
  // modally, then on "OK" apply the choice (commands, record, tuner codes,
  // CONFIG row) or on "Cancel" restore the preview. Either way the band ends
  // at the stored level. True when confirmed.
  static bool Execute(QWidget* Owner, TSettingsRecord& Settings, uint8_t Firmware, const TSettingsOutlet& Out,
                      const std::function<void(int Level)>& LevelPreview);

  void l3Click();
  void l5Click();
  void l7Click();
  void l10Click();

 private:
  void Preview(int Level);

  std::unique_ptr<Ui_TRadioSettingsForm> ui_;
};
