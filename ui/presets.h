#pragma once
// The presets dialog: five frequency edits, "Save" and "Cancel". An edit
// that is left empty or out of the band is brought back into 87.0..108.0
// when Enter is released in it and when it loses the focus.
#include <QDialog>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "controls/DBCtrlsEx.h"
#include "logstore/SettingsRecord.h"

class QLabel;
class QPushButton;
class Ui_TPresetsForm;

class TPresetsForm : public QDialog {
  Q_OBJECT
 public:
  // Centred on Owner (the main window) when shown.
  explicit TPresetsForm(QWidget* Owner = nullptr);
  ~TPresetsForm() override;

  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  QLabel* Label5;
  TDBNumberEditEx* pr1;
  TDBNumberEditEx* pr2;
  TDBNumberEditEx* pr3;
  TDBNumberEditEx* pr4;
  TDBNumberEditEx* pr5;
  QPushButton* btnSave;
  QPushButton* btnCancel;

  std::array<TDBNumberEditEx*, 5> Edits() const { return {pr1, pr2, pr3, pr4, pr5}; }
  // Fills the edits with the stored presets' frequencies.
  void Preset(const TSettingsRecord& Settings);
  // The edits' frequencies as they would be saved: an empty edit is 87.0,
  // every value within the band.
  std::array<double, 5> Frequencies() const;

  // The whole of the main window's presets button: preset, show modally and
  // on "Save" store the five presets and save. Returns the preset buttons'
  // new captions when saved, nothing when cancelled.
  static std::optional<std::array<std::string, 5>> Execute(QWidget* Owner, TSettingsRecord& Settings,
                                                           const std::function<void(const TSettingsRecord&)>& Save);

  void FormCreate();
  void pr1KeyUp(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);
  void pr5Exit(QObject* Sender);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Empty becomes 87.0; the value is clamped to the band and written back.
  static void BringIntoBand(TDBNumberEditEx* Edit);

  std::unique_ptr<Ui_TPresetsForm> ui_;
};
