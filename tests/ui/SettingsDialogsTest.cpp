// The three settings dialogs and what confirming them does: the tuner
// settings' command order and code set, the presets and the log switches.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>
#include <vector>

#include "logstore/DModule.h"
#include "receiver/communication.h"
#include "support/FakeClock.h"
#include "support/FakeLogDatabase.h"
#include "support/QtApp.h"
#include "support/SimReceiver.h"
#include "support/TestUIThread.h"
#include "ui/RadioSettings.h"
#include "ui/SettingsApply.h"
#include "ui/log_settings.h"
#include "ui/presets.h"

namespace {

// The record a fresh CONFIG row decodes to: spacing 1, level 1, 50 us, DX.
TSettingsRecord DefaultSettings() { return DecodeConfig(DefaultConfigRow()); }

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

// Runs Act on the dialog once it is shown modally by Run, then returns Run's
// result. Polls, so it does not depend on when the dialog opens.
template <typename R>
R WithModal(const std::function<void(QDialog*)>& Act, const std::function<R()>& Run) {
  bool done = false;
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog || done || !dialog->isVisible()) return;
    done = true;
    poll.stop();
    Act(dialog);
  });
  poll.start();
  R result = Run();
  EXPECT_TRUE(done) << "the dialog was never shown";
  return result;
}

// A backup service that refuses at once, so closing a data module over a
// fake database touches no file.
class TNoBackup final : public IBackupService {
 public:
  void Backup(const std::string&, const std::string&, const std::function<void()>&) override {
    throw std::runtime_error("no backup in tests");
  }
  void Restore(const std::string&, const std::string&, const std::function<void()>&) override {}
  TLogRowCounts Inspect(const std::string&) override { return {}; }
};

// A data module over an in-memory database that outlives it (a "restart"
// opens a new module on the same rows).
struct TMemoryStore {
  std::optional<TConfigRow> Config;
};

class TStoreModule {
 public:
  TStoreModule(TMemoryStore& Store, IClock& Clock) : store_(Store) {
    auto db = std::make_unique<TFakeLogDatabase>();
    db->Config = Store.Config;
    db_ = db.get();
    module_ = std::make_unique<TDModule>(std::move(db), std::make_unique<TNoBackup>(), "/nonexistent/RDSLOG.FDB",
                                         Clock);
  }
  ~TStoreModule() {
    store_.Config = db_->Config;
    module_.reset();
  }
  TDModule& DM() { return *module_; }
  TFakeLogDatabase& Db() { return *db_; }

 private:
  TMemoryStore& store_;
  TFakeLogDatabase* db_;
  std::unique_ptr<TDModule> module_;
};

void ShowAndFocus(QDialog* Dialog, QWidget* Focus) {
  Dialog->show();
  Dialog->activateWindow();
  Focus->setFocus();
  QApplication::processEvents();
}

class SettingsDialogs : public ::testing::Test {
 protected:
  void SetUp() override { EnsureQApplication(); }
};

}  // namespace

// ---------------------------------------------------------------- tuner settings

TEST_F(SettingsDialogs, ConfigCodesStayWithinTheirCommands) {
  const TSettingsRecord s = DefaultSettings();
  EXPECT_EQ(ConfigCodesFromSettings(s), (TConfigCodeSet{0x00, 0x03, 0x11, 0x17, 0x15, 0x30}));

  TSettingsRecord other = s;
  other.RBDS = 1;
  other.InputAntenna = 0;
  other.SearchStopLevel = 3;
  other.SensitivityDX = 0;
  other.Spacing = 0;
  other.DeEmphasis = 1;
  EXPECT_EQ(ConfigCodesFromSettings(other), (TConfigCodeSet{0x01, 0x02, 0x13, 0x18, 0x14, 0x31}));

  // A spacing of 3 is what the row's two bits can hold; its code must not
  // become 0x17 (sensitivity DX) nor the stop level's turn into a spacing.
  TConfigRow row = DefaultConfigRow();
  row.Col[TConfigRow::ELO2] |= 0xC0;
  const TSettingsRecord three = DecodeConfig(row);
  ASSERT_EQ(three.Spacing, 3);
  EXPECT_EQ(ConfigCodesFromSettings(three)[ccSpacing], 0x16);
  other.SearchStopLevel = 7;
  EXPECT_EQ(ConfigCodesFromSettings(other)[ccStopLevel], 0x13);

  EXPECT_EQ(SearchBandStart(0), 3);
  EXPECT_EQ(SearchBandStart(1), 5);
  EXPECT_EQ(SearchBandStart(2), 7);
  EXPECT_EQ(SearchBandStart(3), 10);
}

TEST_F(SettingsDialogs, ConfirmedTunerSettingsSendInTheReceiversOrder) {
  // From spacing 1, level 1, 50 us, DX to 200 kHz, level 3, 75 us, Local.
  TSettingsRecord s = DefaultSettings();
  TOutletRecorder rec;
  ApplyRadioSettings(s, {3, 2, false, true}, rec.Outlet());

  EXPECT_EQ(rec.Sent, (std::vector<uint8_t>{0x16, 0x13, 0x31, 0x18}));
  // Every change is saved at once, right after its command.
  EXPECT_EQ(rec.Events, (std::vector<std::string>{"send 22", "save", "send 19", "save", "send 49", "save",
                                                  "send 24", "save"}));
  ASSERT_EQ(rec.Saves.size(), 4u);
  EXPECT_TRUE(rec.Saves[1].SearchStopLevel == 3 && rec.Saves[1].DeEmphasis == 0);
  EXPECT_EQ(rec.Saves[3], s);
  EXPECT_TRUE(s.Spacing == 2 && s.SearchStopLevel == 3 && s.DeEmphasis == 1 && s.SensitivityDX == 0);
  EXPECT_EQ(rec.Codes, (std::map<int, int32_t>{{ccSpacing, 0x16}, {ccStopLevel, 0x13}, {ccDeEmphasis, 0x31},
                                               {ccSensitivity, 0x18}}));

  // And back: 100 kHz, level 0, 50 us, DX.
  TOutletRecorder back;
  ApplyRadioSettings(s, {0, 1, true, false}, back.Outlet());
  EXPECT_EQ(back.Sent, (std::vector<uint8_t>{0x15, 0x10, 0x30, 0x17}));
  EXPECT_EQ(back.Codes[ccDeEmphasis], 0x30);
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
  TConfigRow row = DefaultConfigRow();
  row.Col[TConfigRow::ELO2] |= 0xC0;
  TSettingsRecord three = DecodeConfig(row);
  TOutletRecorder kept;
  ApplyRadioSettings(three, {1, std::nullopt, true, false}, kept.Outlet());
  EXPECT_TRUE(kept.Sent.empty());
  EXPECT_EQ(three.Spacing, 3);
  EXPECT_EQ(kept.Codes[ccSpacing], 0x16);
  EXPECT_EQ(kept.Codes[ccSensitivity], 0x17);

  // Choosing 100 kHz from 3 (or from the never-offered 0) sends 0x15.
  TOutletRecorder from3;
  ApplyRadioSettings(three, {1, 1, true, false}, from3.Outlet());
  EXPECT_EQ(from3.Sent, std::vector<uint8_t>{0x15});
  EXPECT_EQ(three.Spacing, 1);
  TSettingsRecord zero = DefaultSettings();
  zero.Spacing = 0;
  TOutletRecorder from0;
  ApplyRadioSettings(zero, {1, 1, true, false}, from0.Outlet());
  EXPECT_EQ(from0.Sent, std::vector<uint8_t>{0x15});

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
  EXPECT_EQ(form.windowTitle(), QString("Tuner Settings"));
  const std::pair<QString, const char*> captions[] = {
      {form.gbSearchStopLevel->title(), "Search Stop Level"}, {form.gbSpacing->title(), "Step"},
      {form.gbSensitivity->title(), "Sensitivity"},           {form.gbDeemphasis->title(), "De-emphasis"},
      {form.l3->text(), "11.6 dB\xC2\xB5V"},                   {form.l5->text(), "19.2 dB\xC2\xB5V"},
      {form.l7->text(), "26.7 dB\xC2\xB5V"},                   {form.l10->text(), "38.0 dB\xC2\xB5V"},
      {form.sp100->text(), "100 KHz"},                         {form.sp200->text(), "200 KHz"},
      {form.snLDX->text(), "Local (ATT 6dB)"},                 {form.snDX->text(), "DX"},
      {form.deem50->text(), "50 \xC2\xB5s"},                   {form.deem75->text(), "75 \xC2\xB5s"},
      {form.btnOK->text(), "OK"},                              {form.btnCancel->text(), "Cancel"}};
  for (const auto& [shown, text] : captions) EXPECT_EQ(shown.toUtf8(), QByteArray(text));

  // Fixed border, system menu only.
  const Qt::WindowFlags flags = form.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
  EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint));

  // Defaults: level 1, 100 kHz, DX, 50 us; firmware 2 offers de-emphasis.
  TSettingsRecord s = DefaultSettings();
  form.Preset(s, 0x02);
  EXPECT_TRUE(form.l5->isChecked());
  EXPECT_TRUE(form.sp100->isChecked());
  EXPECT_TRUE(form.snDX->isChecked());
  EXPECT_TRUE(form.deem50->isChecked());
  EXPECT_TRUE(form.deem50->isEnabled() && form.deem75->isEnabled());
  TRadioSettingsChoice c = form.Choice();
  EXPECT_EQ(c.SearchStopLevel, 1);
  EXPECT_EQ(c.Spacing, 1);
  EXPECT_EQ(c.SensitivityDX, true);
  EXPECT_EQ(c.DeEmphasis, false);

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

  // Clicking a level previews its band start; a click elsewhere does not.
  std::vector<int> previews;
  form.OnLevelPreview = [&](int level) { previews.push_back(level); };
  form.show();
  QTest::mouseClick(form.l3, Qt::LeftButton);
  QTest::mouseClick(form.l7, Qt::LeftButton);
  QTest::mouseClick(form.sp200, Qt::LeftButton);
  form.l5->click();
  QTest::mouseClick(form.l10, Qt::LeftButton);
  EXPECT_EQ(previews, (std::vector<int>{3, 7, 5, 10}));
  c = form.Choice();
  EXPECT_EQ(c.SearchStopLevel, 3);
  EXPECT_EQ(c.Spacing, 2);

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
    return WithModal<bool>(
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

  // l10 then "OK": spacing and level sent, the band stays at 10.
  EXPECT_TRUE(run(3, [](TRadioSettingsForm* f) { QTest::mouseClick(f->btnOK, Qt::LeftButton); }));
  EXPECT_EQ(rec.Sent, (std::vector<uint8_t>{0x16, 0x13}));
  EXPECT_EQ(band, (std::vector<int>{10, 10}));
  EXPECT_EQ(s.SearchStopLevel, 3);
}

TEST_F(SettingsDialogs, TunerSettingsReachTheSimulatedReceiver) {
  TSimReceiver sim(SystemClock());
  TTestUIThread ui;
  TComUSB com(sim, ui, SystemClock());
  ASSERT_TRUE(com.Connect());
  sim.ClearCommands();

  TSettingsRecord s = DefaultSettings();
  TConfigCodeSet codes = ConfigCodesFromSettings(s);
  std::vector<TSettingsRecord> saved;
  TSettingsOutlet out;
  out.Send = [&](uint8_t c) { com.SendBytes({c}); };
  out.SetConfigCode = [&](int i, int32_t c) { codes[i] = c; };
  out.Save = [&](const TSettingsRecord& r) { saved.push_back(r); };
  ApplyRadioSettings(s, {3, 2, false, true}, out);

  ASSERT_TRUE(sim.WaitForCommands(4));
  EXPECT_EQ(sim.CommandBytes(), (std::vector<uint8_t>{0x16, 0x13, 0x31, 0x18}));
  const TSimConfig cfg = sim.Config();
  EXPECT_EQ(cfg.Spacing, 2);
  EXPECT_EQ(cfg.StopLevel, 3);
  EXPECT_TRUE(cfg.Deemphasis);
  EXPECT_EQ(cfg.Sensitivity, 0x18);
  // A later configuration of the receiver sends the same set.
  EXPECT_EQ(codes, ConfigCodesFromSettings(s));
  EXPECT_EQ(saved.size(), 4u);
  com.Disconnect();
}

// ---------------------------------------------------------------- presets

TEST_F(SettingsDialogs, PresetsDialogKeepsEveryEditInTheBand) {
  QWidget owner;
  owner.show();
  TPresetsForm form(&owner);
  EXPECT_EQ(form.windowTitle(), "Presets");
  const std::array<QLabel*, 5> labels{form.Label1, form.Label2, form.Label3, form.Label4, form.Label5};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(labels[i]->text(), QString("Preset %1").arg(i + 1));
  EXPECT_EQ(form.btnSave->text(), "Save");
  EXPECT_EQ(form.btnCancel->text(), "Cancel");
  for (TDBNumberEditEx* edit : form.Edits()) {
    EXPECT_EQ(edit->MinValue(), 87.0);
    EXPECT_EQ(edit->MaxValue(), 108.0);
    EXPECT_EQ(edit->DecimalPlaces(), 1);
    EXPECT_EQ(edit->DisplayFormat(), "#.0");
    EXPECT_DOUBLE_EQ(edit->Increment(), 0.1);
    EXPECT_EQ(edit->EditButton().Style(), ebsUpDownEx);
    EXPECT_TRUE(edit->EditButton().Visible());
  }

  TSettingsRecord s = DefaultSettings();
  const uint8_t stored[5] = {0, 210, 115, 250, 11};
  std::copy(std::begin(stored), std::end(stored), s.Presets);
  form.Preset(s);
  EXPECT_EQ(form.pr1->text(), "87.0");
  EXPECT_EQ(form.pr2->text(), "108.0");
  EXPECT_EQ(form.pr3->text(), "98.5");
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
  ASSERT_TRUE(form.pr3->Value().has_value());
  EXPECT_EQ(*form.pr3->Value(), 87.0);

  // Emptied and left: 87.0 shown in the display format.
  form.pr5->setFocus();
  form.pr5->selectAll();
  QTest::keyClick(form.pr5, Qt::Key_Delete);
  EXPECT_FALSE(form.pr5->Value().has_value());
  form.pr1->setFocus();
  QApplication::processEvents();
  ASSERT_TRUE(form.pr5->Value().has_value());
  EXPECT_EQ(*form.pr5->Value(), 87.0);
  EXPECT_EQ(form.pr5->text(), "87.0");

  // Typed beyond the band: brought back to 108.0 on leaving.
  form.pr1->selectAll();
  QTest::keyClicks(form.pr1, "150");
  form.pr2->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(form.pr1->text(), "108.0");

  // An edit still empty when read (Save pressed without leaving it) is 87.0.
  form.pr2->SetValue(std::nullopt);
  EXPECT_EQ(form.Frequencies()[1], 87.0);
}

TEST_F(SettingsDialogs, PresetsSavedSurviveARestartAndCancelKeepsThem) {
  QWidget owner;
  owner.show();
  TFakeClock clock;
  TMemoryStore store;
  {
    TStoreModule run(store, clock);
    TSettingsRecord s;
    run.DM().LoadConfig(s);
    const int commits = run.Db().Commits;

    // "Cancel" after editing: nothing stored, no save.
    const auto cancelled = WithModal<std::optional<std::array<std::string, 5>>>(
        [](QDialog* d) {
          auto* form = static_cast<TPresetsForm*>(d);
          form->pr1->SetValue(99.9);
          QTest::mouseClick(form->btnCancel, Qt::LeftButton);
        },
        [&] { return TPresetsForm::Execute(&owner, s, [&](const TSettingsRecord& r) { run.DM().SaveConfig(r); }); });
    EXPECT_FALSE(cancelled.has_value());
    EXPECT_EQ(run.Db().Commits, commits);
    EXPECT_EQ(s, DefaultSettings());

    // "Save" with one edit emptied: that preset becomes 87.0.
    const auto captions = WithModal<std::optional<std::array<std::string, 5>>>(
        [](QDialog* d) {
          auto* form = static_cast<TPresetsForm*>(d);
          form->pr1->SetValue(98.5);
          form->pr2->SetValue(std::nullopt);
          form->pr3->SetValue(108.0);
          form->pr4->SetValue(87.6);
          form->pr5->SetValue(101.3);
          QTest::mouseClick(form->btnSave, Qt::LeftButton);
        },
        [&] { return TPresetsForm::Execute(&owner, s, [&](const TSettingsRecord& r) { run.DM().SaveConfig(r); }); });
    ASSERT_TRUE(captions.has_value());
    EXPECT_EQ(*captions, (std::array<std::string, 5>{"98.5", "87.0", "108.0", "87.6", "101.3"}));
    EXPECT_EQ(run.Db().Commits, commits + 1);
  }
  // The next start reads them back.
  TStoreModule next(store, clock);
  TSettingsRecord s;
  next.DM().LoadConfig(s);
  EXPECT_EQ((std::array<int, 5>{s.Presets[0], s.Presets[1], s.Presets[2], s.Presets[3], s.Presets[4]}),
            (std::array<int, 5>{115, 0, 210, 6, 143}));
  TPresetsForm form(&owner);
  form.Preset(s);
  EXPECT_EQ(form.pr1->text(), "98.5");
  EXPECT_EQ(form.pr5->text(), "101.3");
}

// ---------------------------------------------------------------- log settings

TEST_F(SettingsDialogs, LogSettingsDialogEnablesAndReadsBackEverySwitch) {
  QWidget owner;
  owner.show();
  TLogSettingsForm form(&owner);
  EXPECT_EQ(form.windowTitle(), "LOG Settings");
  const std::pair<QString, const char*> captions[] = {
      {form.CheckBox1->text(), "Save RAW LOG"},  {form.CheckBox2->text(), "Save Extended Log"},
      {form.Label1->text(), "at"},               {form.Label2->text(), "min."},
      {form.datachange->text(), "Save data change on"},
      {form.Label3->text(), "Keep Log for"},     {form.Label4->text(), "day(s)"},
      {form.btnOK->text(), "OK"},                {form.btnCancel->text(), "Cancel"}};
  for (const auto& [shown, text] : captions) EXPECT_EQ(shown, text);
  const QStringList kinds{"Frequency", "TP", "TA", "MS", "PI", "PTY", "DI", "CT", "RT", "PS", "AF"};
  const auto boxes = form.KindBoxes();
  for (int i = 0; i < 11; ++i) EXPECT_EQ(boxes[i]->text(), kinds[i]);
  for (TDBNumberEditEx* edit : {form.logtime, form.loglive}) {
    EXPECT_EQ(edit->MinValue(), 1.0);
    EXPECT_EQ(edit->MaxValue(), 30.0);
    EXPECT_EQ(*edit->Value(), 1.0);
    EXPECT_EQ(edit->EditButton().Style(), ebsUpDownEx);
  }

  // Change log off, extended log off: kind boxes and interval disabled, their
  // stored states shown and read back unchanged.
  TSettingsRecord s = DefaultSettings();
  s.ChangeLogOn = 0;
  s.ExtLogOn = 0;
  s.LogTA = 0;
  s.LogCT = 0;
  s.ExtLogMinutes = 7;
  s.KeepDays = 12;
  form.Preset(s);
  for (QCheckBox* box : boxes) EXPECT_FALSE(box->isEnabled()) << box->text().toStdString();
  EXPECT_FALSE(form.TA->isChecked());
  EXPECT_FALSE(form.CT->isChecked());
  EXPECT_TRUE(form.PS->isChecked());
  EXPECT_FALSE(form.logtime->isEnabled());
  EXPECT_TRUE(form.loglive->isEnabled());
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

  // Each box lands in its own field: flip them one at a time.
  uint8_t TSettingsRecord::*fields[11] = {
      &TSettingsRecord::LogFreqChange, &TSettingsRecord::LogTP, &TSettingsRecord::LogTA,  &TSettingsRecord::LogMS,
      &TSettingsRecord::LogPI,         &TSettingsRecord::LogPTY, &TSettingsRecord::LogDI, &TSettingsRecord::LogCT,
      &TSettingsRecord::LogRT,         &TSettingsRecord::LogPS, &TSettingsRecord::LogAF};
  for (int i = 0; i < 11; ++i) {
    TSettingsRecord before;
    form.ReadBack(before);
    boxes[i]->click();
    TSettingsRecord after;
    form.ReadBack(after);
    TSettingsRecord expected = before;
    expected.*fields[i] = before.*fields[i] ? 0 : 1;
    EXPECT_EQ(after, expected) << kinds[i].toStdString();
  }
  form.CheckBox1->click();
  TSettingsRecord r;
  form.ReadBack(r);
  EXPECT_EQ(r.RawLogOn, 1);
  EXPECT_EQ(r.ExtLogOn, 1);
  EXPECT_EQ(r.ChangeLogOn, 1);
  EXPECT_EQ(r.ExtLogMinutes, 7);
  EXPECT_EQ(r.KeepDays, 12);

  // An emptied interval becomes 1 on Enter (the dialog stays open) and on
  // leaving; an empty keep time reads back as 1 too.
  ShowAndFocus(&form, form.logtime);
  form.logtime->selectAll();
  QTest::keyClick(form.logtime, Qt::Key_Backspace);
  EXPECT_FALSE(form.logtime->Value().has_value());
  QTest::keyClick(form.logtime, Qt::Key_Enter);
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.logtime->Value(), std::optional<double>(1.0));
  form.logtime->selectAll();
  QTest::keyClicks(form.logtime, "45");  // beyond the range: 30
  form.logtime->selectAll();
  QTest::keyClick(form.logtime, Qt::Key_Delete);
  form.loglive->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(form.logtime->text(), "1");
  form.loglive->SetValue(std::nullopt);
  form.ReadBack(r);
  EXPECT_EQ(r.ExtLogMinutes, 1);
  EXPECT_EQ(r.KeepDays, 1);
  form.loglive->selectAll();
  QTest::keyClicks(form.loglive, "45");
  form.ReadBack(r);
  EXPECT_EQ(r.KeepDays, 30);

}

TEST_F(SettingsDialogs, LogSettingsDecideWhatTheChangeLogReceives) {
  QWidget owner;
  owner.show();
  TFakeClock clock;
  TMemoryStore store;
  TStoreModule run(store, clock);
  TSettingsRecord s;
  run.DM().LoadConfig(s);
  run.DM().BindSettings(&s);
  auto save = [&](const TSettingsRecord& r) { run.DM().SaveConfig(r); };
  auto sigs = [&] {
    std::vector<int> out;
    for (const auto& c : run.Db().Changes) out.push_back(c.SIG);
    run.Db().Changes.clear();
    return out;
  };
  auto logSome = [&] {
    run.DM().LogChange(0, 1, "PI");
    run.DM().LogChange(6, 1, "PS");
    run.DM().LogChange(8, 1, "FREQ");
  };

  // Defaults: the change log is off.
  logSome();
  EXPECT_TRUE(sigs().empty());

  // Switched on, PS off.
  const int commits = run.Db().Commits;
  EXPECT_TRUE(WithModal<bool>(
      [](QDialog* d) {
        auto* form = static_cast<TLogSettingsForm*>(d);
        form->datachange->click();
        form->PS->click();
        QTest::mouseClick(form->btnOK, Qt::LeftButton);
      },
      [&] { return TLogSettingsForm::Execute(&owner, s, save); }));
  EXPECT_EQ(run.Db().Commits, commits + 1);
  ASSERT_TRUE(run.Db().Config.has_value());
  EXPECT_EQ(DecodeConfig(*run.Db().Config), s);
  logSome();
  EXPECT_EQ(sigs(), (std::vector<int>{0, 8}));

  // Cancelled half-way: the switches stay as they were, nothing saved.
  EXPECT_FALSE(WithModal<bool>(
      [](QDialog* d) {
        auto* form = static_cast<TLogSettingsForm*>(d);
        form->datachange->click();
        form->PS->click();
        form->CheckBox1->click();
        QTest::mouseClick(form->btnCancel, Qt::LeftButton);
      },
      [&] { return TLogSettingsForm::Execute(&owner, s, save); }));
  EXPECT_EQ(run.Db().Commits, commits + 1);
  logSome();
  EXPECT_EQ(sigs(), (std::vector<int>{0, 8}));

  // The master switch off again keeps the kinds but writes none of them.
  EXPECT_TRUE(WithModal<bool>(
      [](QDialog* d) {
        auto* form = static_cast<TLogSettingsForm*>(d);
        form->datachange->click();
        QTest::mouseClick(form->btnOK, Qt::LeftButton);
      },
      [&] { return TLogSettingsForm::Execute(&owner, s, save); }));
  EXPECT_EQ(s.LogPI, 1);
  logSome();
  EXPECT_TRUE(sigs().empty());
}

// ---------------------------------------------------------------- pictures

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
  EXPECT_EQ(presetsForm.pr3->text(), "98.5");
  EXPECT_EQ(logForm.logtime->text(), "5");

  if (SaveScreenshot(&radio, "radio_settings")) {
    EXPECT_TRUE(SaveScreenshot(&presetsForm, "presets"));
    EXPECT_TRUE(SaveScreenshot(&logForm, "log_settings"));
  }
}
