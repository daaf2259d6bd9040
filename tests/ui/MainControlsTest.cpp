// The main window's controls over the simulated receiver, built in this
// process: tuning entry, channel steps, seek, the slider, the presets, the
// input and presentation buttons, the three settings dialogs, the tool
// buttons, the window's move and maximise handling, and what happens when the
// settings row cannot be written.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTest>
#include <QUrl>
#include <fstream>

#include "MainWindowSupport.h"
#include "controls/DBCtrlsEx.h"
#include "logstore/DModule.h"
#include "platform/Format.h"
#include "receiver/shared.h"
#include "remote/Remote.h"
#include "support/FakeLogDatabase.h"
#include "support/LoopbackClient.h"
#include "ui/ImageEx.h"
#include "ui/RadioSettings.h"
#include "ui/RemoteObject.h"
#include "ui/SettingsApply.h"
#include "ui/about.h"
#include "ui/band/BandAnalyzer.h"
#include "ui/groupanalyze.h"
#include "ui/log_settings.h"
#include "ui/mpx/MPXGraph.h"
#include "ui/presets.h"

namespace {

using TBytes = std::vector<uint8_t>;

TBytes TuneCommand(double mhz) {
  const uint16_t word = FreqToPLLWord(true, mhz);
  return {0x06, static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word & 0xFF)};
}

// A backup service that refuses, so closing a data module over a fake
// database touches no file.
class TNoBackup final : public IBackupService {
 public:
  void Backup(const std::string&, const std::string&, const std::function<void()>&) override {
    throw std::runtime_error("no backup here");
  }
  void Restore(const std::string&, const std::string&, const std::function<void()>&) override {}
  TLogRowCounts Inspect(const std::string&) override { return {}; }
};

// The window started over the simulated receiver and tuned to 87.0.
class MainControls : public ::testing::Test {
 protected:
  void SetUp() override {
    h.Start();
    ASSERT_TRUE(TunedAt("87.0", 1));
  }

  TMainForm& F() { return *h.form; }
  TSimReceiver& Rx() { return h.devices->Receiver; }

  template <typename T>
  T* Child(const char* name) {
    return Find<T>(h.form.get(), name);
  }
  void ClickButton(const char* name) {
    QWidget* w = Child<QWidget>(name);
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(w->isEnabled()) << name;
    QTest::mouseClick(w, Qt::LeftButton);
  }
  QString Caption(const char* name) { return Child<QAbstractButton>(name)->text(); }

  // The tuner reports itself tuned at `freq` for the n-th time.
  bool TunedAt(const std::string& freq, size_t times) {
    return h.WaitTuned(freq, times) && PumpUntil([&] { return h.form->Tuner->Tuned(); });
  }
  // Act tunes the receiver to `freq` once more.
  bool Retunes(const std::function<void()>& Act, const std::string& freq) {
    const size_t n = h.devices->CountOf("tuned", freq);
    Act();
    return TunedAt(freq, n + 1);
  }
  // How many commands sent so far pass Pick.
  size_t CountCommands(const std::function<bool(const TBytes&)>& Pick) {
    const auto all = Rx().Commands();
    return static_cast<size_t>(std::count_if(all.begin(), all.end(), Pick));
  }
  size_t CountCommand(const TBytes& command) {
    return CountCommands([&](const TBytes& c) { return c == command; });
  }

  TMainWindowHarness h;
};

}  // namespace

// 200 kHz keeps the receiver on odd tenths; 108.0 itself is in the band
// (reached from 107.9, and from 107.8 with 200 kHz onto 107.9), only the
// arrow pointing out of the band does nothing; a stored spacing of 0 (the
// dialog never offers it) retunes where it is. Not tuned, the arrows and
// seek do nothing.
TEST_F(MainControls, ArrowsStepByTheSpacingAndStayInTheBand) {
  TMainForm& f = F();
  const struct {
    int Spacing;
    double From;
    const char* Arrow;
    std::optional<double> To;
  } steps[] = {{1, 87.0, "btnRight", 87.1},    {1, 87.1, "btnLeft", 87.0},
               {1, 87.0, "btnLeft", std::nullopt}, {2, 98.0, "btnRight", 98.1},
               {2, 98.0, "btnLeft", 97.9},        {1, 107.9, "btnRight", 108.0},
               {1, 108.0, "btnRight", std::nullopt}, {2, 107.8, "btnRight", 107.9},
               {2, 107.9, "btnRight", std::nullopt}, {0, 107.9, "btnRight", 107.9}};
  const auto tunes = [&] { return CountCommands([](const TBytes& c) { return c[0] == 0x06; }); };
  for (const auto& s : steps) {
    SCOPED_TRACE(Format("%s from %3.1f, spacing %d", s.Arrow, s.From, s.Spacing));
    f.Settings.Spacing = s.Spacing;
    if (f.Tuner->TargetFreq() != s.From) {
      ASSERT_TRUE(Retunes([&] { f.Tuner->SetFrequency(s.From); }, Format("%3.1f", s.From)));
    }
    Rx().ClearCommands();
    if (s.To) {
      ASSERT_TRUE(Retunes([&] { ClickButton(s.Arrow); }, Format("%3.1f", *s.To)));
      EXPECT_EQ(Rx().Commands(), std::vector<TBytes>{TuneCommand(*s.To)});
    } else {
      ClickButton(s.Arrow);
      PumpFor(200);
      EXPECT_EQ(tunes(), 0u);
      EXPECT_TRUE(f.Tuner->Tuned());
    }
  }

  f.Settings.Spacing = 1;
  Rx().ClearCommands();
  f.Tuner->SetFrequency(99.0);
  for (auto click : {&TMainForm::btnRightClick, &TMainForm::btnLeftClick, &TMainForm::btnSearchRightClick,
                     &TMainForm::btnSearchLeftClick})
    (f.*click)();
  ASSERT_TRUE(TunedAt("99.0", 1));
  PumpFor(300);
  EXPECT_EQ(f.Tuner->TargetFreq(), 99.0);
  EXPECT_EQ(tunes(), 1u);
  EXPECT_EQ(CountCommand({0x04}) + CountCommand({0x05}), 0u);
}

TEST_F(MainControls, FrequencyEntryAndSeek) {
  auto* ed = Child<TDBNumberEditEx>("edFreq");

  // Typed and confirmed with Enter.
  ed->setFocus();
  ed->selectAll();
  QTest::keyClicks(ed, "98.5");
  QTest::keyClick(ed, Qt::Key_Return);
  ASSERT_TRUE(TunedAt("98.5", 1));

  // Out of the band (or empty) is clamped and written back, never refused.
  const std::pair<std::optional<double>, double> entries[] = {{150.0, 108.0}, {12.0, 87.0}, {98.5, 98.5},
                                                              {std::nullopt, 87.0}};
  for (const auto& [typed, tuned] : entries) {
    ed->SetValue(typed);
    ASSERT_TRUE(Retunes([&] { ClickButton("btnSET"); }, Format("%3.1f", tuned)));
    EXPECT_EQ(ed->Value(), tuned);
  }

  // Seek up finds the station at 98.5 with 0x04, seek down the one at 87.0
  // with 0x05.
  Rx().ClearCommands();
  ASSERT_TRUE(Retunes([&] { ClickButton("btnSearchRight"); }, "98.5"));
  EXPECT_EQ(CountCommand({0x04}), 1u);
  ASSERT_TRUE(Retunes([&] { ClickButton("btnSearchLeft"); }, "87.0"));
  EXPECT_EQ(CountCommand({0x05}), 1u);
}

TEST_F(MainControls, SliderTunesOnceAfterItHasRested) {
  TMainForm& f = F();
  auto* track = Child<QSlider>("RadioTrack");
  // The tuner setting the slider is no move of the user's.
  EXPECT_FALSE(f.RadioTrackWatchActive());
  const auto rested = [&] { f.LastTrackMoveMs = h.devices->Clock().SteadyMs() - TMainForm::kTrackSettleMs; };

  // A drag over several positions, ending at 98.5.
  Rx().ClearCommands();
  for (int index : {10, 20, 60, 115}) track->setValue(index);
  EXPECT_EQ(Child<TDBNumberEditEx>("edFreq")->Value(), 98.5);
  EXPECT_TRUE(f.RadioTrackWatchActive());
  // A tick before the slider has rested tunes nothing.
  f.RadioTrackWatchTimer();
  EXPECT_EQ(f.Tuner->TargetFreq(), 87.0);
  EXPECT_TRUE(f.RadioTrackWatchActive());

  // One tune, to where the slider rests, and the timer is off.
  ASSERT_TRUE(TunedAt("98.5", 1));
  EXPECT_FALSE(f.RadioTrackWatchActive());
  PumpFor(2500);
  EXPECT_EQ(Rx().Commands(), std::vector<TBytes>{TuneCommand(98.5)});

  // Moved back to where the receiver is: nothing to tune, the timer stops.
  track->setValue(30);
  track->setValue(115);
  rested();
  const auto tunes = [&] { return CountCommands([](const TBytes& c) { return c[0] == 0x06; }); };
  const size_t tuned = tunes();
  f.RadioTrackWatchTimer();
  EXPECT_FALSE(f.RadioTrackWatchActive());
  EXPECT_EQ(tunes(), tuned);

  // Something else retunes the receiver behind the window's back (the
  // listeners are muted while a remote band scan holds the tuner): a slider
  // at rest must not pull it back.
  ASSERT_TRUE(PumpUntil([&] { return !f.RadioTrackWatchActive(); }, 10000));
  EXPECT_EQ(track->value(), FreqToChannelIndex(f.Tuner->TargetFreq()));
  f.Tuner->SetHold(true);
  f.Tuner->SetFrequency(90.0);
  ASSERT_TRUE(PumpUntil([&] { return f.Tuner->Tuned() && f.Tuner->CurrentFreq() == 90.0; }));
  f.Tuner->SetHold(false);
  PumpFor(TMainForm::kTrackSettleMs + 500);
  EXPECT_EQ(f.Tuner->TargetFreq(), 90.0);
}


// A slider move still settling when the MPX input is chosen is dropped: the
// MPX input has no frequency to tune. Back on the antenna, the slider tunes.
TEST_F(MainControls, SliderMoveStillSettlingIsDroppedByTheMpxInput) {
  TMainForm& f = F();
  auto* track = Child<QSlider>("RadioTrack");
  auto* tuned = Child<QLabel>("lblTuned");
  const auto rested = [&] { f.LastTrackMoveMs = h.devices->Clock().SteadyMs() - TMainForm::kTrackSettleMs; };
  const auto tunes = [&] { return CountCommands([](const TBytes& c) { return c[0] == 0x06; }); };

  track->setValue(40);  // 91.0
  ASSERT_TRUE(f.RadioTrackWatchActive());
  Rx().ClearCommands();
  ClickButton("rbMPX");
  EXPECT_FALSE(f.RadioTrackWatchActive());
  EXPECT_FALSE(track->isEnabled());
  // The dropped move no longer shows: slider and box are where the receiver is.
  EXPECT_EQ(track->value(), 0);
  EXPECT_EQ(Child<TDBNumberEditEx>("edFreq")->Text(), "87.0");
  rested();
  f.RadioTrackWatchTimer();  // a tick that was already due
  PumpFor(300);
  EXPECT_EQ(Rx().Commands(), std::vector<TBytes>{{0x02}});
  EXPECT_EQ(tunes(), 0u);
  EXPECT_EQ(tuned->text(), "Tuned at: 87.0");

  ClickButton("rbANT");
  ASSERT_TRUE(track->isEnabled());
  ASSERT_TRUE(Retunes(
      [&] {
        track->setValue(115);
        rested();
        f.RadioTrackWatchTimer();
      },
      "98.5"));
  EXPECT_EQ(tunes(), 1u);
}

// Without a receiver the presentation buttons change the presentation (and
// the stored setting) only: the display stays grey and tuning, the tool
// windows and Remote stay off. With the receiver back they enable as usual.
TEST(MainControlsWithoutReceiver, PresentationButtonsLeaveTheControlsOff) {
  TMainWindowHarness h;
  TSimReceiver& rx = h.devices->Receiver;
  rx.Unplug();
  h.Start();
  TMainForm& f = *h.form;
  const auto enabled = [&](const char* name) { return Find<QWidget>(&f, name)->isEnabled(); };
  const auto display = [&] { return Find<QWidget>(&f, "Shape1")->palette().color(QPalette::Window); };
  const char* held[] = {"btnSET",      "edFreq",    "RadioTrack",      "btnRight",        "pr1",
                        "btnPresets",  "btnRemote", "btnBandAnalyzer", "btnGroupAnalyze", "btnMPXGraph",
                        "btnRadioSettings", "rbMPX"};
  PumpFor(300);
  ASSERT_FALSE(enabled("btnSET"));
  const QColor grey = display();
  auto* piCaption = Find<QLabel>(&f, "lblPICaption");

  QTest::mouseClick(Find<QWidget>(&f, "rbRBDS"), Qt::LeftButton);
  PumpFor(300);
  EXPECT_EQ(piCaption->text(), "CALL");
  EXPECT_EQ(f.Settings.RBDS, 1);
  for (const char* name : held) EXPECT_FALSE(enabled(name)) << name;
  EXPECT_EQ(display(), grey);
  QTest::mouseClick(Find<QWidget>(&f, "rbRDS"), Qt::LeftButton);
  PumpFor(300);
  EXPECT_EQ(piCaption->text(), "PI");
  for (const char* name : held) EXPECT_FALSE(enabled(name)) << name;
  EXPECT_EQ(display(), grey);
  EXPECT_TRUE(rx.Commands().empty());

  rx.Plug();
  ASSERT_TRUE(h.WaitTuned());
  ASSERT_TRUE(PumpUntil([&] { return enabled("btnSET"); }));
  rx.ClearCommands();
  QTest::mouseClick(Find<QWidget>(&f, "rbRBDS"), Qt::LeftButton);
  ASSERT_TRUE(rx.WaitForCommands(1));
  EXPECT_EQ(rx.Commands(), std::vector<TBytes>{{0x01}});
  for (const char* name : held) EXPECT_TRUE(enabled(name)) << name;
  EXPECT_NE(display(), grey);
}


TEST_F(MainControls, PresetsStoredRecalledAndKeptOverARestart) {
  F().Tuner->SetFrequency(98.5);
  ASSERT_TRUE(TunedAt("98.5", 1));
  ClickButton("prs2");
  EXPECT_EQ(Caption("pr2"), "98.5");

  // A button without a caption tunes to 87.0; one out of the band is brought into it.
  Child<QPushButton>("pr3")->setText("");
  ASSERT_TRUE(Retunes([&] { ClickButton("pr3"); }, "87.0"));
  Child<QPushButton>("pr3")->setText("150");
  ClickButton("pr3");
  ASSERT_TRUE(TunedAt("108.0", 1));

  // The presets dialog sets the captions.
  WithModal<TPresetsForm>(
      [](TPresetsForm* form) {
        EXPECT_EQ(form->pr2->Value(), 98.5);
        form->pr4->SetValue(107.9);
        QTest::mouseClick(form->btnSave, Qt::LeftButton);
      },
      [&] { F().btnPresetsClick(); });
  EXPECT_EQ(Caption("pr4"), "107.9");

  // After a restart of the program the presets are back and recall.
  h.Restart();
  EXPECT_EQ(Caption("pr2"), "98.5");
  EXPECT_EQ(Caption("pr4"), "107.9");
  ASSERT_TRUE(TunedAt("108.0", 1));  // the last tuned frequency
  ClickButton("pr2");
  ASSERT_TRUE(TunedAt("98.5", 1));
  ClickButton("pr4");
  ASSERT_TRUE(TunedAt("107.9", 1));
}


TEST_F(MainControls, InputAndPresentationButtonsSendOnlyOnAChange) {
  TMainForm& f = F();
  TSimReceiver& rx = Rx();

  // Antenna while on antenna: nothing sent, nothing logged.
  rx.ClearCommands();
  ClickButton("rbANT");
  PumpFor(200);
  EXPECT_TRUE(rx.Commands().empty());
  EXPECT_EQ(h.CountSig(12), 0u);

  // Each change: its one byte, its row, and a second click sends nothing.
  auto* piCaption = Child<QLabel>("lblPICaption");
  const struct {
    const char* Button;
    int Code;
    uint8_t Byte;
    const char *Row, *PiCaption;
    bool Tunable;
  } steps[] = {{"rbMPX", ccInput, 0x02, "MODE=MPX", "PI", false},
               {"rbANT", ccInput, 0x03, "MODE=ANT", "PI", true},
               {"rbRBDS", ccMode, 0x01, "MODE=RBDS", "CALL", true},
               {"rbRDS", ccMode, 0x00, "MODE=RDS", "PI", true}};
  for (size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE(steps[i].Button);
    ClickButton(steps[i].Button);
    ASSERT_TRUE(rx.WaitForCommands(i + 1));
    EXPECT_EQ(rx.Commands().back(), TBytes{steps[i].Byte});
    EXPECT_EQ(f.Tuner->ConfigCodes()[steps[i].Code], steps[i].Byte);
    EXPECT_EQ(h.CountSig(12, steps[i].Row), 1u);
    EXPECT_EQ(piCaption->text(), steps[i].PiCaption);
    EXPECT_EQ(Child<QWidget>("btnSET")->isEnabled(), steps[i].Tunable);
    ClickButton(steps[i].Button);
    PumpFor(50);
    EXPECT_EQ(rx.Commands().size(), i + 1);
  }

  // During a log replay RBDS only changes the presentation.
  f.ReplayMode = true;
  f.DM->SetReplayMode(true);
  ClickButton("rbRBDS");
  PumpFor(200);
  EXPECT_EQ(piCaption->text(), "CALL");
  EXPECT_EQ(f.Settings.RBDS, 0);
  EXPECT_EQ(rx.Commands().size(), 4u);
  EXPECT_EQ(h.CountSig(12), 4u);
  f.ReplayMode = false;
  f.DM->SetReplayMode(false);
}


TEST_F(MainControls, TunerSettingsSendTheirBytesInOrderAndPersist) {
  // The stored settings: 100 kHz, level 1, 50 us, DX.
  ASSERT_EQ(F().Tuner->ConfigCodes(), (TTuner::TConfigCodes{0x00, 0x03, 0x11, 0x17, 0x15, 0x30}));

  // To 200 kHz, level 3, 75 us, Local: spacing, level, de-emphasis,
  // sensitivity; the level previews on the band analyzer's search band (from
  // 5 at level 1). A dialog cancelled half-way is in SettingsDialogsTest.
  auto band = [&] { return F().BandAnalyzer->SearchBandStartValue(); };
  ASSERT_EQ(band(), 5.0);
  Rx().ClearCommands();
  WithModal<TRadioSettingsForm>(
      [&](TRadioSettingsForm* form) {
        EXPECT_TRUE(form->deem75->isEnabled());  // the receiver's firmware 2 offers it
        form->sp200->click();
        form->l10->click();
        EXPECT_EQ(band(), 10.0);
        form->deem75->click();
        form->snLDX->click();
        QTest::mouseClick(form->btnOK, Qt::LeftButton);
      },
      [&] { F().btnRadioSettingsClick(); });
  ASSERT_TRUE(Rx().WaitForCommands(4));
  EXPECT_EQ(Rx().Commands(), (std::vector<TBytes>{{0x16}, {0x13}, {0x31}, {0x18}}));
  const TTuner::TConfigCodes changed{0x00, 0x03, 0x13, 0x18, 0x16, 0x31};
  EXPECT_EQ(F().Tuner->ConfigCodes(), changed);
  EXPECT_EQ(band(), 10.0);

  // The next start of the program configures the receiver with the new set.
  h.Restart();
  ASSERT_TRUE(TunedAt("87.0", 1));
  EXPECT_EQ(F().Tuner->ConfigCodes(), changed);
  const std::vector<TBytes> setup{{0x00}, {0x03}, {0x13}, {0x18}, {0x16}, {0x31}, {0x08}}, sent = Rx().Commands();
  EXPECT_NE(std::search(sent.begin(), sent.end(), setup.begin(), setup.end()), sent.end());
}

TEST_F(MainControls, LogSettingsDecideWhatTheChangeLogReceives) {
  TMainForm& f = F();
  const auto rawRows = [&] { return f.DM->CountRows().Raw; };
  // The stored defaults: the change log is off, so a tune leaves no row.
  ASSERT_EQ(f.Settings.ChangeLogOn, 0);
  f.btnRightClick();
  ASSERT_TRUE(TunedAt("87.1", 1));
  EXPECT_EQ(h.CountSig(8), 0u);

  // Change log on (with every kind) and the raw log on.
  WithModal<TLogSettingsForm>(
      [](TLogSettingsForm* form) {
        form->datachange->click();
        form->CheckBox1->click();
        QTest::mouseClick(form->btnOK, Qt::LeftButton);
      },
      [&] { f.btnLogSettingsClick(); });
  EXPECT_EQ(f.Settings.ChangeLogOn, 1);
  EXPECT_EQ(f.Settings.RawLogOn, 1);
  f.btnLeftClick();
  ASSERT_TRUE(TunedAt("87.0", 2));
  ASSERT_TRUE(PumpUntil([&] { return h.CountSig(8) == 1; }, 5000));
  // Other kinds (PI, PS, ...) follow the tune at once: look for the tune's own row.
  const auto rows = h.ChangeRows();
  const auto tune = std::find_if(rows.rbegin(), rows.rend(), [](const TChangeLogRow& r) { return r.SIG == 8; });
  ASSERT_NE(tune, rows.rend());
  EXPECT_EQ(tune->INTD, 0);
  ASSERT_TRUE(PumpUntil([&] { return rawRows() > 0; }));

  // Frequency changes off, raw log off: a tune writes no row, RDS no raw row.
  WithModal<TLogSettingsForm>(
      [](TLogSettingsForm* form) {
        form->freq->click();
        form->CheckBox1->click();
        QTest::mouseClick(form->btnOK, Qt::LeftButton);
      },
      [&] { f.btnLogSettingsClick(); });
  EXPECT_EQ(f.Settings.LogFreqChange, 0);
  const auto raw = rawRows();
  f.btnRightClick();
  ASSERT_TRUE(TunedAt("87.1", 2));
  f.btnLeftClick();
  ASSERT_TRUE(TunedAt("87.0", 3));
  PumpFor(500);
  EXPECT_EQ(h.CountSig(8), 1u);
  EXPECT_EQ(rawRows(), raw);
}


TEST_F(MainControls, AFailingSettingsRowIsReportedOnceAndTheProgramGoesOn) {
  TMainForm& f = F();

  // The database goes away under the window: every save throws.
  auto db = std::make_unique<TFakeLogDatabase>();
  TFakeLogDatabase* fake = db.get();
  fake->Config = EncodeConfig(f.Settings);
  std::unique_ptr<TDModule> real = std::exchange(
      f.DM, std::make_unique<TDModule>(std::move(db), std::make_unique<TNoBackup>(), "/nonexistent/RDSLOG.FDB",
                                       h.devices->Clock()));
  f.DM->BindSettings(&f.Settings);
  fake->FailCommits = true;
  const std::string message = "Error|Saving the settings failed: disk full";

  // A tune stores its frequency from the tuner's call: reported, and the
  // tuner goes on (the tuned state follows, the next tune works).
  f.btnRightClick();
  ASSERT_TRUE(TunedAt("87.1", 1));
  ASSERT_TRUE(PumpUntil([&] { return h.devices->CountOf("message", message) == 1; }, 5000));
  f.btnLeftClick();
  ASSERT_TRUE(TunedAt("87.0", 2));
  // Control handlers: no second report, and each still does its work.
  ClickButton("prs1");
  Rx().ClearCommands();
  ClickButton("rbMPX");
  ASSERT_TRUE(Rx().WaitForCommands(1));
  EXPECT_EQ(Rx().Commands().back(), TBytes{0x02});
  ClickButton("rbANT");
  WithModal<TLogSettingsForm>([](TLogSettingsForm* d) { QTest::mouseClick(d->btnOK, Qt::LeftButton); },
                              [&] { f.btnLogSettingsClick(); });
  PumpFor(300);
  EXPECT_EQ(h.devices->CountOf("message", message), 1u);
  EXPECT_EQ(f.Settings.InputAntenna, 1);

  // Back again: a save goes through; a later failure is reported anew.
  fake->FailCommits = false;
  const int commits = fake->Commits;
  ClickButton("prs2");
  EXPECT_GT(fake->Commits, commits);
  EXPECT_EQ(*fake->Config, EncodeConfig(f.Settings));
  fake->FailCommits = true;
  ClickButton("prs3");
  ASSERT_TRUE(PumpUntil([&] { return h.devices->CountOf("message", message) == 2; }, 5000));

  fake->FailCommits = false;
  f.DM = std::move(real);
}

// A remote scan started at 87.0 (the device sweeps from there and comes back
// to it; the browser client ends every scan itself): afterwards the receiver
// is tuned again, its values are pushed, and the client's and the main
// window's steps tune.
TEST_F(MainControls, RemoteScanFromTheBandsStartGivesTheReceiverBack) {
  TMainForm& f = F();
  std::filesystem::copy_file(TestBinDir() + "/fw.rrf", h.Folder() + "fw.rrf");
  WithModal<TRemoteForm>(
      [&](TRemoteForm* remote) {
        f.RemoteActive = true;  // as Start sets it, without taking the server's ports
        TRemoteCommands& c = remote->Commands();
        ASSERT_TRUE(Retunes([&] { c.Execute("FREQ=87.0"); }, "87.0"));
        c.Execute("SCANSTART=1");
        ASSERT_TRUE(PumpUntil([&] { return Rx().Scanning(); }));
        // The client's RBDS switch during its scan sends the mode and gives
        // the main window's controls back no earlier than the scan's end.
        Rx().ClearCommands();
        c.Execute("RBDS=1");
        ASSERT_TRUE(Rx().WaitForCommands(1));
        EXPECT_EQ(Rx().Commands(), std::vector<TBytes>{{0x01}});
        EXPECT_TRUE(Child<QRadioButton>("rbRBDS")->isChecked());
        for (const char* name : {"btnSET", "RadioTrack", "btnRadioSettings", "btnBandAnalyzer"})
          EXPECT_FALSE(Child<QWidget>(name)->isEnabled()) << name;
        ASSERT_TRUE(Retunes([&] { c.Execute("SCANSTOP=1"); }, "87.0"));
        EXPECT_TRUE(Child<QWidget>("btnSET")->isEnabled());
        std::string pushed;
        EXPECT_TRUE(PumpUntil(
            [&] { return (pushed += f.RemoteObject->GetChanges(true)).find("LVL=") != std::string::npos; }, 3000));
        EXPECT_NE(pushed.find("FREQ=870&"), std::string::npos) << pushed;
        ASSERT_TRUE(Retunes([&] { c.Execute("CFREQ=R"); }, "87.1"));
        ASSERT_TRUE(Retunes([&] { ClickButton("btnLeft"); }, "87.0"));
        remote->close();
      },
      [&] { ClickButton("btnRemote"); });
  f.RemoteActive = false;
}


TEST_F(MainControls, ToolButtonsLogoAndWindowHandling) {
  TMainForm& f = F();

  // Every tool window's button is enabled with the other controls; the MPX
  // analyzer's shows and hides its window.
  f.EnableControls(true);
  for (const char* name : {"btnBandAnalyzer", "btnMPXGraph", "btnGroupAnalyze", "btnLogView", "btnRemote"})
    EXPECT_TRUE(Child<QWidget>(name)->isEnabled()) << name;
  ASSERT_NE(f.MPXGraph, nullptr);
  EXPECT_FALSE(f.MPXGraph->isVisible());
  for (bool shown : {true, false}) {
    ClickButton("btnMPXGraph");
    EXPECT_EQ(f.MPXGraph->isVisible(), shown);
  }
  EXPECT_EQ(f.MPXGraph->windowTitle(), "MPX Analyzer - Quorvane Broadcast Ltd.");

  // Help: missing file, then the file opened with the desktop's viewer.
  const std::string missing = "Error|Unable to Locate Help File!", help = h.Folder() + "fenwisk_sim.chm";
  ClickButton("btnHelp");
  EXPECT_EQ(h.devices->CountOf("message", missing), 1u);
  std::ofstream(help) << "help";
  ClickButton("btnHelp");
  EXPECT_EQ(h.devices->CountOf("open", QUrl::fromLocalFile(QString::fromStdString(help)).toString().toStdString()),
            1u);
  EXPECT_EQ(h.devices->CountOf("message", missing), 1u);

  // The remote window needs its resource file.
  f.btnRemoteClick();
  EXPECT_EQ(h.devices->CountOf("message", "Fenwisk|Remote Resource File missing or corrupt!\nUnable to Proceed."),
            1u);
  // With it, the remote dialog opens modally; RemoteActive while its server
  // runs (on an address of its own and ports the system picks, whoever
  // holds the fixed ones). It opens centred on the desktop, wherever the
  // main window is.
  h.devices->RemoteBindAddress = "127.0.0.5";
  h.devices->RemoteServerPorts = {0, 0, 0};
  const THeldPort heldHttp("127.0.0.5", TRemotePorts{}.Http), heldCommand("127.0.0.5", TRemotePorts{}.Command),
      heldAudio("127.0.0.5", TRemotePorts{}.Audio);
  std::filesystem::copy_file(TestBinDir() + "/fw.rrf", h.Folder() + "fw.rrf");
  const QRect desktop = f.screen()->availableGeometry();
  f.move(desktop.topLeft());
  WithModal<TRemoteForm>(
      [&](TRemoteForm* remote) {
        const QPoint off = remote->frameGeometry().center() - desktop.center();
        EXPECT_LE(off.manhattanLength(), 2) << off.x() << "," << off.y();
        remote->btnStartClick();
        EXPECT_TRUE(f.RemoteActive);
        EXPECT_EQ(remote->btnStart->text(), "Stop");
        remote->close();
      },
      [&] { ClickButton("btnRemote"); });
  EXPECT_FALSE(f.RemoteActive);

  // The logo opens the maker's page on a left click only.
  auto* logo = Child<TImageEx>("ImageEx1");
  QTest::mouseClick(logo, Qt::RightButton);
  QTest::mouseClick(logo, Qt::LeftButton);
  EXPECT_EQ(h.devices->CountOf("open", kMakerWebPage), 1u);

  // About shows the receiver's identity.
  WithModal<TAboutForm>(
      [](TAboutForm* about) {
        EXPECT_EQ(about->IDLabel->text(), "Device ID: 12345678");
        about->OKButton->click();
      },
      [&] { ClickButton("btnAbout"); });

  // The group analyzer opens beside the main window (the placement itself is
  // in WindowsTest), follows its moves inside the work area even near the
  // screen's edges, and closes again; hidden, it stays where it was.
  TGroupAnalyzeForm* ga = f.GroupAnalyzer;
  const QRect area = f.screen()->availableGeometry();
  const auto shown = [&] {
    return area.contains(ga->frameGeometry()) &&
           ga->y() == std::min(f.y(), area.bottom() + 1 - ga->frameGeometry().height());
  };
  for (QPoint at : {area.topLeft() + QPoint(0, 20), QPoint(area.right() - f.frameGeometry().width() / 2, area.top()),
                    QPoint(area.left(), area.bottom() - 40)}) {
    f.move(at);
    ClickButton("btnGroupAnalyze");
    ASSERT_TRUE(ga->isVisible());
    EXPECT_TRUE(shown()) << ga->x() << "," << ga->y();
    f.move(at + QPoint(7, 21));
    EXPECT_TRUE(PumpUntil(shown, 5000)) << ga->x() << "," << ga->y();
    ClickButton("btnGroupAnalyze");
    EXPECT_FALSE(ga->isVisible());
  }
  const QPoint hiddenAt = ga->pos();
  f.move(f.pos() + QPoint(-30, 10));
  PumpFor(100);
  EXPECT_EQ(ga->pos(), hiddenAt);

  // Maximising does not maximise: the window goes to the screen's left edge
  // with its bottom on the work area's bottom, keeping its size.
  const QSize size = f.size();
  f.showMaximized();
  ASSERT_TRUE(PumpUntil([&] {
    return !f.isMaximized() && f.frameGeometry().left() == f.screen()->geometry().left() &&
           f.frameGeometry().bottom() == area.bottom();
  }, 5000)) << f.frameGeometry().x() << "," << f.frameGeometry().y();
  EXPECT_EQ(f.size(), size);

  // Quit closes the window, which ends the program.
  bool closed = false;
  QObject::connect(&f, &TMainForm::Closed, [&] { closed = true; });
  ClickButton("btnQuit");
  EXPECT_TRUE(closed);
}
