// The three settings dialogs and the rules behind them: the tuner settings'
// command order, saves and code set, and what each dialog shows and reads
// back. The same dialogs driven through the main window, down to the bytes
// on the wire and the rows in the log, are in MainControlsTest.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>
#include <vector>

#include "logstore/DModule.h"
#include "MainWindowSupport.h"
#include "support/QtApp.h"
#include "ui/RadioSettings.h"
#include "ui/SettingsApply.h"
#include "ui/log_settings.h"
#include "ui/presets.h"

namespace {

// The record a fresh CONFIG row decodes to: spacing 1, level 1, 50 us, DX.
TSettingsRecord DefaultSettings() { return DecodeConfig(DefaultConfigRow()); }

// A stored spacing of 3: what the row's two bits can hold, though no button
// offers it.
TSettingsRecord SpacingThree() {
  TConfigRow row = DefaultConfigRow();
  row.Col[TConfigRow::ELO2] |= 0xC0;
  return DecodeConfig(row);
}

// Records every command, code and save in the order they happen.
struct TOutletRecorder {
  std::vector<uint8_t> Sent;
  std::map<int, int32_t> Codes;
  std::vector<TSettingsRecord> Saves;
  std::vector<std::string> Events;

  TSettingsOutlet Outlet() {
    TSettingsOutlet out;
    out.Send = [this](uint8_t c) {
      Sent.push_back(c);
      Events.push_back("send " + std::to_string(c));
    };
    out.SetConfigCode = [this](int i, int32_t c) { Codes[i] = c; };
    out.Save = [this](const TSettingsRecord& s) {
      Saves.push_back(s);
      Events.push_back("save");
    };
    return out;
  }
};

void ShowAndFocus(QDialog* Dialog, QWidget* Focus) {
  Dialog->show();
  Dialog->activateWindow();
  Focus->setFocus();
  QApplication::processEvents();
}

struct SettingsDialogs : ::testing::Test {
  void SetUp() override { EnsureQApplication(); }
};

}  // namespace


TEST_F(SettingsDialogs, ConfigCodesStayWithinTheirCommands) {
  // Every field lands in its own code (the default set is checked end to end).
  TSettingsRecord other = DefaultSettings();
  other.RBDS = 1;
  other.InputAntenna = 0;
  other.SearchStopLevel = 3;
  other.SensitivityDX = 0;
  other.Spacing = 0;
  other.DeEmphasis = 1;
  EXPECT_EQ(ConfigCodesFromSettings(other), (TConfigCodeSet{0x01, 0x02, 0x13, 0x18, 0x14, 0x31}));
  // A stop level beyond 3 must not become a spacing command, nor a stored
  // spacing of 3 (what the row's two bits can hold) the sensitivity command.
  other.SearchStopLevel = 7;
  EXPECT_EQ(ConfigCodesFromSettings(other)[ccStopLevel], 0x13);
  EXPECT_EQ(ConfigCodesFromSettings(SpacingThree())[ccSpacing], 0x16);
}

TEST_F(SettingsDialogs, EachConfirmedChangeIsSavedRightAfterItsCommand) {
  // 200 kHz, level 3, 75 us, Local (the codes: MainControlsTest).
  TSettingsRecord s = DefaultSettings();
  TOutletRecorder rec;
  ApplyRadioSettings(s, {3, 2, false, true}, rec.Outlet());
  EXPECT_EQ(rec.Events, (std::vector<std::string>{"send 22", "save", "send 19", "save", "send 49", "save",
                                                  "send 24", "save"}));
  // Each save holds the changes made so far.
  ASSERT_EQ(rec.Saves.size(), 4u);
  EXPECT_TRUE(rec.Saves[1].SearchStopLevel == 3 && rec.Saves[1].DeEmphasis == 0);
  EXPECT_EQ(rec.Saves[3], s);
  EXPECT_TRUE(s.Spacing == 2 && s.SearchStopLevel == 3 && s.DeEmphasis == 1 && s.SensitivityDX == 0);
}

TEST_F(SettingsDialogs, UnchangedOrUnofferedTunerSettingsSendNothing) {
  // The same choices as stored: nothing sent or saved, the codes still follow
  // the record (de-emphasis only on a change).
  TSettingsRecord s = DefaultSettings();
  TOutletRecorder same;
  ApplyRadioSettings(s, {1, 1, true, false}, same.Outlet());
  EXPECT_TRUE(same.Sent.empty());
  EXPECT_TRUE(same.Saves.empty());
  EXPECT_EQ(same.Codes, (std::map<int, int32_t>{{ccSpacing, 0x15}, {ccStopLevel, 0x11}, {ccSensitivity, 0x17}}));

  // A stored spacing of 3 leaves the step group unchecked: it is kept, no
  // command goes out, and the tuner's spacing code stays a spacing command.
  TSettingsRecord three = SpacingThree();
  TOutletRecorder kept;
  ApplyRadioSettings(three, {1, std::nullopt, true, false}, kept.Outlet());
  EXPECT_TRUE(kept.Sent.empty());
  EXPECT_EQ(three.Spacing, 3);
  EXPECT_EQ(kept.Codes[ccSpacing], 0x16);
  // Choosing 100 kHz from there sends 0x15.
  TOutletRecorder from3;
  ApplyRadioSettings(three, {1, 1, true, false}, from3.Outlet());
  EXPECT_EQ(from3.Sent, std::vector<uint8_t>{0x15});
  EXPECT_EQ(three.Spacing, 1);

  // Values no button stands for are ignored.
  TSettingsRecord odd = DefaultSettings();
  TOutletRecorder ignored;
  ApplyRadioSettings(odd, {9, 0, std::nullopt, std::nullopt}, ignored.Outlet());
  EXPECT_TRUE(ignored.Sent.empty());
  EXPECT_EQ(odd, DefaultSettings());
}

TEST_F(SettingsDialogs, TunerSettingsDialogShowsAndReadsItsGroups) {
  QWidget owner;
  owner.setGeometry(200, 150, 900, 640);
  owner.show();
  TRadioSettingsForm form(&owner);
  // Defaults: level 1, 100 kHz, DX, 50 us.
  TSettingsRecord s = DefaultSettings();
  form.Preset(s, 0x02);
  TRadioSettingsChoice c = form.Choice();
  EXPECT_TRUE(c.SearchStopLevel == 1 && c.Spacing == 1 && c.SensitivityDX == true && c.DeEmphasis == false);

  // Spacing 0 shows 100 kHz; 3 shows neither; older firmware fixes de-emphasis.
  s.Spacing = 0;
  s.SearchStopLevel = 3;
  s.SensitivityDX = 0;
  s.DeEmphasis = 1;
  form.Preset(s, 0x01);
  EXPECT_TRUE(form.sp100->isChecked());
  EXPECT_TRUE(form.l10->isChecked() && !form.l5->isChecked());
  EXPECT_TRUE(form.snLDX->isChecked() && !form.snDX->isChecked());
  EXPECT_TRUE(form.deem75->isChecked());
  EXPECT_FALSE(form.deem50->isEnabled() || form.deem75->isEnabled());
  s.Spacing = 3;
  form.Preset(s, 0x00);
  EXPECT_FALSE(form.sp100->isChecked() || form.sp200->isChecked());
  EXPECT_FALSE(form.Choice().Spacing.has_value());

  // A click on a level previews its band start (the cancelled preview is
  // below); a click elsewhere does not.
  std::vector<int> previews;
  form.OnLevelPreview = [&](int level) { previews.push_back(level); };
  form.show();
  QTest::mouseClick(form.l7, Qt::LeftButton);
  QTest::mouseClick(form.sp200, Qt::LeftButton);
  EXPECT_EQ(previews, std::vector<int>{7});
  c = form.Choice();
  EXPECT_TRUE(c.SearchStopLevel == 2 && c.Spacing == 2);

  // Centred on its owner.
  QApplication::processEvents();
  EXPECT_LE((form.geometry().center() - owner.geometry().center()).manhattanLength(), 40);
}

TEST_F(SettingsDialogs, TunerSettingsCancelledHalfWayRestoreTheBand) {
  QWidget owner;
  owner.show();
  TSettingsRecord s = DefaultSettings();  // level 1: band at 5
  TOutletRecorder rec;
  std::vector<int> band;
  // Clicks the level button, then closes the dialog with Close.
  auto run = [&](int level, const std::function<void(TRadioSettingsForm*)>& Close) {
    rec = TOutletRecorder();
    band.clear();
    return WithModal<QDialog>(
        [&](QDialog* d) {
          auto* form = static_cast<TRadioSettingsForm*>(d);
          QTest::mouseClick(std::array{form->l3, form->l5, form->l7, form->l10}[level], Qt::LeftButton);
          QTest::mouseClick(form->sp200, Qt::LeftButton);
          Close(form);
        },
        [&] { return TRadioSettingsForm::Execute(&owner, s, 2, rec.Outlet(), [&](int l) { band.push_back(l); }); });
  };

  // l10 clicked, then "Cancel": nothing sent, coded or saved, band back at 5.
  EXPECT_FALSE(run(3, [](TRadioSettingsForm* f) { QTest::mouseClick(f->btnCancel, Qt::LeftButton); }));
  EXPECT_EQ(band, (std::vector<int>{10, 5}));
  EXPECT_TRUE(rec.Sent.empty() && rec.Saves.empty() && rec.Codes.empty());
  EXPECT_EQ(s, DefaultSettings());

  // Escape (like the close box) counts as "Cancel".
  EXPECT_FALSE(run(0, [](TRadioSettingsForm* f) { QTest::keyClick(f, Qt::Key_Escape); }));
  EXPECT_EQ(band, (std::vector<int>{3, 5}));
  EXPECT_TRUE(rec.Sent.empty());
  // "OK" keeps the previewed band (what it sends: MainControlsTest).
  EXPECT_TRUE(run(3, [](TRadioSettingsForm* f) { QTest::mouseClick(f->btnOK, Qt::LeftButton); }));
  EXPECT_EQ(band, (std::vector<int>{10, 10}));
}


TEST_F(SettingsDialogs, PresetsDialogKeepsEveryEditInTheBand) {
  QWidget owner;
  owner.show();
  TPresetsForm form(&owner);
  TSettingsRecord s = DefaultSettings();
  const uint8_t stored[5] = {0, 210, 115, 250, 11};
  std::copy(std::begin(stored), std::end(stored), s.Presets);
  form.Preset(s);
  EXPECT_EQ(form.pr2->text(), "108.0");
  EXPECT_EQ(form.pr5->text(), "88.1");
  // A stored index beyond the band is shown as stored but read back in band.
  EXPECT_DOUBLE_EQ(*form.pr4->Value(), 112.0);
  EXPECT_EQ(form.Frequencies(), (std::array<double, 5>{87.0, 108.0, 98.5, 108.0, 88.1}));

  // Emptied, then Enter: 87.0 again, and the dialog stays open.
  ShowAndFocus(&form, form.pr3);
  form.pr3->selectAll();
  QTest::keyClick(form.pr3, Qt::Key_Backspace);
  EXPECT_FALSE(form.pr3->Value().has_value());
  QTest::keyClick(form.pr3, Qt::Key_Return);
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.pr3->Value(), std::optional<double>(87.0));

  // Typed beyond the band: brought back to 108.0 on leaving.
  form.pr1->setFocus();
  form.pr1->selectAll();
  QTest::keyClicks(form.pr1, "150");
  form.pr2->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(form.pr1->text(), "108.0");

  // An edit still empty when read (Save pressed without leaving it) is 87.0.
  form.pr2->SetValue(std::nullopt);
  EXPECT_EQ(form.Frequencies()[1], 87.0);
}


TEST_F(SettingsDialogs, LogSettingsDialogEnablesAndReadsBackEverySwitch) {
  QWidget owner;
  owner.show();
  TLogSettingsForm form(&owner);

  // Change log off, extended log off: kind boxes and interval disabled, their
  // stored states shown and read back unchanged.
  TSettingsRecord s = DefaultSettings();
  s.ChangeLogOn = s.ExtLogOn = s.LogTA = s.LogCT = 0;
  s.ExtLogMinutes = 7;
  s.KeepDays = 12;
  form.Preset(s);
  const auto boxes = form.KindBoxes();
  for (QCheckBox* box : boxes) EXPECT_FALSE(box->isEnabled()) << box->text().toStdString();
  EXPECT_TRUE(!form.TA->isChecked() && !form.CT->isChecked() && form.PS->isChecked());
  EXPECT_TRUE(!form.logtime->isEnabled() && form.loglive->isEnabled());
  TSettingsRecord back = s;
  form.ReadBack(back);
  EXPECT_EQ(back, s);

  form.datachange->click();
  for (QCheckBox* box : boxes) EXPECT_TRUE(box->isEnabled());
  form.CheckBox2->click();
  EXPECT_TRUE(form.logtime->isEnabled());
  form.datachange->click();
  EXPECT_FALSE(form.freq->isEnabled());
  form.datachange->click();

  // Each box, by its caption, lands in its own field: flip them one at a time.
  const std::pair<const char*, uint8_t TSettingsRecord::*> kinds[11] = {
      {"Frequency", &TSettingsRecord::LogFreqChange}, {"TP", &TSettingsRecord::LogTP},
      {"TA", &TSettingsRecord::LogTA},   {"MS", &TSettingsRecord::LogMS},   {"PI", &TSettingsRecord::LogPI},
      {"PTY", &TSettingsRecord::LogPTY}, {"DI", &TSettingsRecord::LogDI},   {"CT", &TSettingsRecord::LogCT},
      {"RT", &TSettingsRecord::LogRT},   {"PS", &TSettingsRecord::LogPS},   {"AF", &TSettingsRecord::LogAF}};
  for (int i = 0; i < 11; ++i) {
    const auto [caption, field] = kinds[i];
    EXPECT_EQ(boxes[i]->text(), caption);
    TSettingsRecord before;
    form.ReadBack(before);
    boxes[i]->click();
    TSettingsRecord after;
    form.ReadBack(after);
    TSettingsRecord expected = before;
    expected.*field = before.*field ? 0 : 1;
    EXPECT_EQ(after, expected) << caption;
  }
  form.CheckBox1->click();
  TSettingsRecord r;
  form.ReadBack(r);
  EXPECT_TRUE(r.RawLogOn == 1 && r.ExtLogOn == 1 && r.ChangeLogOn == 1);
  EXPECT_TRUE(r.ExtLogMinutes == 7 && r.KeepDays == 12);

  // An emptied interval becomes 1 on Enter, and the dialog stays open.
  ShowAndFocus(&form, form.logtime);
  form.logtime->selectAll();
  QTest::keyClick(form.logtime, Qt::Key_Backspace);
  EXPECT_FALSE(form.logtime->Value().has_value());
  QTest::keyClick(form.logtime, Qt::Key_Enter);
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.logtime->Value(), std::optional<double>(1.0));

  // Nothing outside 1..30 is ever saved, whatever is typed (a lone sign
  // would save 0 and the next start would purge every log) or was stored.
  for (auto [edit, field] :
       {std::pair{form.logtime, &TSettingsRecord::ExtLogMinutes}, {form.loglive, &TSettingsRecord::KeepDays}}) {
    for (auto [typed, saved] : {std::pair{"-", 1}, {"+", 1}, {"0", 1}, {"45", 30}, {"", 1}}) {
      ShowAndFocus(&form, edit);
      edit->selectAll();
      QTest::keyClick(edit, Qt::Key_Delete);
      QTest::keyClicks(edit, typed);
      QTest::keyClick(edit, Qt::Key_Tab);
      form.ReadBack(r);
      EXPECT_EQ(r.*field, saved) << typed;
      if (*typed) {  // an empty keep time stays empty
        EXPECT_EQ(edit->text(), QString::number(saved)) << typed;
      }
    }
    for (auto [stored, saved] : {std::pair{0, 1}, {-7, 1}, {31, 30}}) {
      s.*field = stored;
      form.Preset(s);
      form.ReadBack(r);
      EXPECT_EQ(r.*field, saved) << stored;
    }
  }
}


TEST_F(SettingsDialogs, Screenshots) {
  QWidget owner;
  owner.setGeometry(100, 100, 800, 600);
  owner.show();
  TSettingsRecord s = DefaultSettings();
  const uint8_t presets[5] = {6, 54, 115, 143, 209};
  std::copy(std::begin(presets), std::end(presets), s.Presets);
  s.ChangeLogOn = 1;
  s.ExtLogOn = 1;
  s.ExtLogMinutes = 5;
  s.KeepDays = 7;
  s.LogCT = 0;

  TRadioSettingsForm radio(&owner);
  radio.Preset(s, 0x02);
  TPresetsForm presetsForm(&owner);
  presetsForm.Preset(s);
  TLogSettingsForm logForm(&owner);
  logForm.Preset(s);
  for (QDialog* d : std::initializer_list<QDialog*>{&radio, &presetsForm, &logForm}) d->show();
  QApplication::processEvents();
  if (SaveScreenshot(&radio, "radio_settings")) {
    EXPECT_TRUE(SaveScreenshot(&presetsForm, "presets"));
    EXPECT_TRUE(SaveScreenshot(&logForm, "log_settings"));
  }
}
