// The log-replay protocol: a controller steps the main window through the
// raw log over the message socket; in-process with the window's state in
// view, and end to end with the simulated program and the test client.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QWheelEvent>
#include <QTableView>
#include <QTest>
#include <QTemporaryDir>
#include <filesystem>

#include "MainWindowSupport.h"
#include "logstore/logview.h"
#include "remote/Remote.h"
#include "support/LogFill.h"
#include "support/LoopbackClient.h"
#include "support/ReplayClient.h"
#include "ui/FreqDisplay.h"
#include "ui/RadioSettings.h"
#include "ui/band/BandAnalyzer.h"
#include "ui/band/SpectrumChart.h"
#include "ui/mpx/MPXGraph.h"

namespace {

using TReplies = std::vector<TReplayClient::TReply>;

class LogReplay : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  TMessageBus bus{dir.path().toStdString() + "/bus"};
  TMainWindowHarness h;
  // The controller keeps its connection, as one does while it replays.
  std::unique_ptr<TReplayClient> client = std::make_unique<TReplayClient>();

  void Start(bool twoStations = true, bool mpxRow = false) {
    if (twoStations) {
      ASSERT_TRUE(DeployEmbeddedDatabase(h.Folder()));
      FillTwoStationRaw(h.Folder() + kLogDatabaseFile);
      if (mpxRow) AppendMpxInputRaw(h.Folder() + kLogDatabaseFile);
      RemoveEmbeddedDatabase(h.Folder());
    }
    h.Start(DataFile("scenario.txt"), &bus);
    h.form->Settings.ChangeLogOn = 1;  // a replayed change would be logged with these switches
    ASSERT_TRUE(bus.Listen());
    ASSERT_TRUE(h.WaitTuned());
    ASSERT_TRUE(client->Connect(bus.SocketPath(), 3000));
  }
  // One request and its replies; the window's thread serves the socket
  // meanwhile. Replies that other controllers' requests brought are skipped.
  TReplies Ask(TReplayClient& c, int64_t w, int64_t l, size_t replies, int timeoutMs = 3000) {
    c.Replies(100, 0);
    TReplies out;
    if (!c.Send(w, l)) return out;
    PumpUntil([&] {
      for (const auto& r : c.Replies(replies - out.size(), 0)) out.push_back(r);
      return out.size() >= replies;
    }, timeoutMs);
    return out;
  }
  TReplies Ask(int64_t w, int64_t l, size_t replies, int timeoutMs = 3000) {
    return Ask(*client, w, l, replies, timeoutMs);
  }
  QString PS() const { return Find<QLineEdit>(h.form.get(), "edPS")->text().trimmed(); }
  QString PI() const { return Find<QLabel>(h.form.get(), "lblPI")->text(); }
  bool Enabled(const char* name) const { return Find<QWidget>(h.form.get(), name)->isEnabled(); }
};

TEST_F(LogReplay, StepsThroughTheRawLogWithoutLogging) {
  Start();
  TMainForm* f = h.form.get();
  ASSERT_TRUE(PumpUntil([&] { return h.CountSig(6, "RADIO 99") > 0; }));
  EXPECT_EQ(Ask(1, 5, 1), (TReplies{{5, 4}}));  // reset outside replay: refused
  EXPECT_EQ(Ask(1, 8, 1), (TReplies{{8, 4}}));  // the raw log stands on its newest row
  // First, next and go-to answer also outside replay, but the live station
  // keeps the decoder, the display and the log.
  EXPECT_EQ(Ask(1, 7, 2), (TReplies{{7, 3}, {9, 1}}));
  for (int n = 2; n <= 3; ++n) EXPECT_EQ(Ask(1, 8, 2), (TReplies{{8, 3}, {9, n}}));
  EXPECT_EQ(Ask(2, 8, 1), (TReplies{{9, 9}}));
  EXPECT_EQ(f->FreqDisplay->Value(), 870);
  PumpFor(3000);
  EXPECT_EQ(PS(), "RADIO 99");
  EXPECT_EQ(h.CountSig(0), 1u);  // the station's PI, once
  f->btnMPXGraphClick();
  ASSERT_TRUE(f->MPXGraph->isVisible());
  EXPECT_EQ(Ask(1, 3, 1), (TReplies{{3, 3}}));
  EXPECT_FALSE(f->MPXGraph->isVisible());  // entering the replay closes the tool window
  const TLogRowCounts before = f->DM->CountRows();
  EXPECT_EQ(Ask(1, 3, 1), (TReplies{{3, 3}}));  // a second enter only replies
  EXPECT_TRUE(f->ReplayMode);
  EXPECT_FALSE(Enabled("btnLogView"));
  EXPECT_FALSE(Enabled("btnMPXGraph"));
  EXPECT_FALSE(Enabled("edFreq"));
  EXPECT_TRUE(Enabled("pcRDS"));
  EXPECT_EQ(Ask(1, 6, 1), (TReplies{{6, 9}}));
  EXPECT_EQ(Ask(1, 7, 2), (TReplies{{7, 3}, {9, 1}}));
  for (int n = 2; n <= 8; ++n) EXPECT_EQ(Ask(1, 8, 2), (TReplies{{8, 3}, {9, n}}));
  EXPECT_EQ(PS(), "STATIONA");
  EXPECT_EQ(f->FreqDisplay->Value(), 870);
  // Onto the other station: the pages are cleared before its group is decoded.
  EXPECT_EQ(Ask(1, 8, 2), (TReplies{{8, 3}, {9, 9}}));
  EXPECT_EQ(PS(), "");
  EXPECT_TRUE(PI().contains("5555")) << PI().toStdString();
  EXPECT_EQ(f->FreqDisplay->Value(), 985);
  EXPECT_EQ(Ask(1, 8, 1), (TReplies{{8, 4}}));
  // Go to a row (counted from 0); the row already shown and rows past the end are skipped.
  EXPECT_EQ(Ask(2, 3, 1), (TReplies{{9, 4}}));
  EXPECT_EQ(Ask(2, 3, 1, 300), TReplies{});
  EXPECT_EQ(Ask(2, 9, 1, 300), TReplies{});
  EXPECT_EQ(Ask(1, 5, 1), (TReplies{{5, 3}}));
  EXPECT_EQ(f->DM->CountRows(), before);
  for (const TChangeLogRow& r : h.ChangeRows())  // only what the live station sent, nothing replayed or mixed
    EXPECT_TRUE((r.SIG != 0 || r.INTD == 0xD318) && (r.SIG != 6 || r.STR == "RADIO 99")) << r.SIG << " " << r.STR;

  EXPECT_EQ(Ask(1, 4, 1), (TReplies{{4, 3}}));
  EXPECT_FALSE(f->ReplayMode);
  EXPECT_TRUE(Enabled("btnLogView"));
  // The tuner is set up again; the presets come back with it.
  EXPECT_TRUE(PumpUntil([&] { return Enabled("btnPresets"); }, 20000));
  // Live RDS flows again: the tuned station's PI comes back.
  EXPECT_TRUE(PumpUntil([&] { return !PI().isEmpty() && !PI().contains("5555"); }, 20000)) << PI().toStdString();
}

// A row taken on the MPX input names the input in the frequency box, as the
// log's rows do, and leaves the readout inside the band where it was.
TEST_F(LogReplay, RowOfTheMpxInputShowsTheInputNotAFrequency) {
  Start(true, true);
  TMainForm* f = h.form.get();
  auto* box = Find<QLineEdit>(f, "edFreq");
  EXPECT_EQ(Ask(1, 3, 1), (TReplies{{3, 3}}));
  EXPECT_EQ(Ask(2, 8, 1), (TReplies{{9, 9}}));  // station B on 98.5
  EXPECT_EQ(f->FreqDisplay->Value(), 985);
  EXPECT_EQ(box->text(), "98.5");
  EXPECT_EQ(Ask(1, 8, 2), (TReplies{{8, 3}, {9, 10}}));
  EXPECT_EQ(box->text(), "MPX");
  EXPECT_EQ(f->FreqDisplay->Value(), 985);
  EXPECT_TRUE(PI().contains("7777")) << PI().toStdString();
  // Back on a station's row the box shows its frequency again.
  EXPECT_EQ(Ask(2, 0, 1), (TReplies{{9, 1}}));
  EXPECT_EQ(box->text(), "87.0");
  EXPECT_EQ(f->FreqDisplay->Value(), 870);
  EXPECT_EQ(Ask(1, 4, 1), (TReplies{{4, 3}}));
}

TEST_F(LogReplay, EmptyLogAnswersRecordZeroAndEnd) {
  Start(false);
  EXPECT_EQ(Ask(1, 6, 1), (TReplies{{6, 0}}));
  EXPECT_EQ(Ask(1, 7, 2), (TReplies{{7, 3}, {9, 0}}));
  EXPECT_EQ(Ask(1, 8, 1), (TReplies{{8, 4}}));
  EXPECT_EQ(Ask(2, -1, 1, 300), TReplies{});
  EXPECT_EQ(Ask(2, 0, 1, 300), TReplies{});
}

TEST_F(LogReplay, LogViewButtonShowsTheLogModally) {
  Start();
  EXPECT_TRUE(Enabled("btnLogView"));
  WithModal<TLogViewForm>(
      [](TLogViewForm* viewer) {
        EXPECT_EQ(viewer->windowTitle(), "Log View - Quorvane Broadcast Ltd.");
        EXPECT_EQ(viewer->DBGrid3->model()->rowCount(), 9);
        viewer->close();
      },
      [&] { Find<QPushButton>(h.form.get(), "btnLogView")->click(); });
}

TEST_F(LogReplay, EnteringEndsTheRemoteDialogAndControllersThatGoAwayEndTheReplay) {
  Start();
  TMainForm* f = h.form.get();
  // Ports the system picks, whoever holds the fixed ones.
  h.devices->RemoteBindAddress = "127.0.0.7";
  h.devices->RemoteServerPorts = {0, 0, 0};
  const THeldPort heldHttp("127.0.0.7", TRemotePorts{}.Http), heldCommand("127.0.0.7", TRemotePorts{}.Command),
      heldAudio("127.0.0.7", TRemotePorts{}.Audio);
  std::filesystem::copy_file(TestBinDir() + "/fw.rrf", h.Folder() + "fw.rrf");
  WithModal<TRemoteForm>(
      [&](TRemoteForm* remote) {
        remote->btnStartClick();
        ASSERT_TRUE(f->RemoteActive);
        EXPECT_EQ(Ask(1, 3, 1), (TReplies{{3, 3}}));
        EXPECT_FALSE(remote->isVisible());
        EXPECT_FALSE(f->RemoteActive);  // its servers stopped
      },
      [&] { f->btnRemoteClick(); });
  // Replay lasts while one of the controllers that entered is there.
  auto second = std::make_unique<TReplayClient>();
  ASSERT_TRUE(second->Connect(bus.SocketPath(), 3000));
  EXPECT_EQ(Ask(*second, 1, 3, 1), (TReplies{{3, 3}}));
  client.reset();
  PumpFor(500);
  EXPECT_FALSE(Enabled("btnLogView"));
  second.reset();  // gone as if it crashed
  EXPECT_TRUE(PumpUntil([&] { return Enabled("btnLogView") && Enabled("edFreq"); }, 3000));
  EXPECT_FALSE(f->ReplayMode);
}

// A controller entering the replay while the band analyzer scans closes the
// analyzer: the scan stops, Band Info goes, and the replay owns the pages
// (the stopped scan's retune clears nothing). After the replay the main
// window follows the tuner again.
TEST_F(LogReplay, EnteringMidScanClosesTheBandAnalyzerAndTheTunerIsFollowedAfterwards) {
  Start();
  TMainForm* f = h.form.get();
  auto* open = Find<QPushButton>(f, "btnBandAnalyzer");
  ASSERT_TRUE(PumpUntil([&] { return open->isEnabled(); }));
  open->click();
  TBandAnalyzerForm& a = *f->BandAnalyzer;
  a.btnBandInfo->click();
  a.btnScan->click();
  ASSERT_TRUE(PumpUntil([&] { return a.Spectrum().Discrete->Count() > 10; }));
  ASSERT_TRUE(a.Controller().Scanning());

  EXPECT_EQ(Ask(1, 3, 1), (TReplies{{3, 3}}));
  EXPECT_FALSE(a.isVisible());
  EXPECT_FALSE(a.BandInfo().isVisible());
  EXPECT_FALSE(a.Busy());
  EXPECT_EQ(a.btnScan->text(), "Start Scan");
  EXPECT_FALSE(Enabled("btnBandAnalyzer"));
  EXPECT_FALSE(Enabled("btnRadioSettings"));
  EXPECT_TRUE(Enabled("pcRDS"));
  EXPECT_EQ(Ask(1, 7, 2), (TReplies{{7, 3}, {9, 1}}));
  for (int n = 2; n <= 8; ++n) EXPECT_EQ(Ask(1, 8, 2), (TReplies{{8, 3}, {9, n}}));
  PumpFor(1000);
  EXPECT_EQ(PS(), "STATIONA");
  EXPECT_FALSE(Enabled("edFreq"));
  EXPECT_FALSE(Enabled("btnRadioSettings"));

  EXPECT_EQ(Ask(1, 4, 1), (TReplies{{4, 3}}));
  auto* tuned = Find<QLabel>(f, "lblTuned");
  ASSERT_TRUE(PumpUntil([&] { return Enabled("btnRight") && f->Tuner->Tuned(); }));
  QTest::mouseClick(Find<QWidget>(f, "btnRight"), Qt::LeftButton);
  EXPECT_TRUE(PumpUntil([&] { return tuned->text() == "Tuned at: 87.1"; }, 5000)) << tuned->text().toStdString();
  EXPECT_EQ(f->FreqDisplay->Value(), 871);
  EXPECT_TRUE(Enabled("btnBandAnalyzer"));
  EXPECT_TRUE(Enabled("btnRadioSettings"));
}

// The receiver stays where it is through a replay, whatever the operator
// tries in the main window: the RDS button (while RBDS is on) switches the
// receiver's mode as always but leaves tuning, the tool windows and Remote
// locked, and a slider move made just before the replay began never tunes.
// Before the replay the same button enables the controls as always.
TEST_F(LogReplay, PresentationButtonAndSliderLeaveTheReceiverAloneDuringTheReplay) {
  Start();
  TMainForm* f = h.form.get();
  TSimReceiver& rx = h.devices->Receiver;
  auto* track = Find<QSlider>(f, "RadioTrack");
  auto* box = Find<QLineEdit>(f, "edFreq");
  const char* locked[] = {"btnSET", "edFreq", "RadioTrack", "btnRight", "pr1", "btnRadioSettings", "btnPresets",
                          "btnRemote", "btnBandAnalyzer", "btnMPXGraph", "rbANT"};
  ASSERT_TRUE(PumpUntil([&] { return Enabled("btnSET"); }));
  rx.ClearCommands();
  QTest::mouseClick(Find<QWidget>(f, "rbRBDS"), Qt::LeftButton);
  ASSERT_TRUE(rx.WaitForCommands(1));
  EXPECT_EQ(rx.Commands(), (std::vector<std::vector<uint8_t>>{{0x01}}));
  for (const char* name : locked) EXPECT_TRUE(Enabled(name)) << name;

  // The slider moved to 91.0 a moment before the controller enters.
  track->setValue(40);
  ASSERT_TRUE(f->RadioTrackWatchActive());
  rx.ClearCommands();
  EXPECT_EQ(Ask(1, 3, 1), (TReplies{{3, 3}}));
  EXPECT_EQ(Ask(2, 0, 1), (TReplies{{9, 1}}));
  EXPECT_EQ(box->text(), "87.0");
  EXPECT_FALSE(f->RadioTrackWatchActive());
  f->LastTrackMoveMs = h.devices->Clock().SteadyMs() - TMainForm::kTrackSettleMs;
  f->RadioTrackWatchTimer();  // a tick that was already due

  // The slider does not follow the mouse, the keys or the wheel.
  const int position = track->value();
  QTest::mouseClick(track, Qt::LeftButton, {}, {track->width() - 4, track->height() / 2});
  QTest::mouseClick(track, Qt::LeftButton, {}, {track->width() - 4, track->height() / 2});
  QTest::keyClick(track, Qt::Key_PageUp);
  QWheelEvent wheel({10.0, 5.0}, track->mapToGlobal(QPointF(10.0, 5.0)), {}, {0, 120}, Qt::NoButton, {},
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(track, &wheel);
  EXPECT_EQ(track->value(), position);
  EXPECT_EQ(box->text(), "87.0");

  QTest::mouseClick(Find<QWidget>(f, "rbRDS"), Qt::LeftButton);
  EXPECT_EQ(Find<QLabel>(f, "lblPICaption")->text(), "PI");
  ASSERT_TRUE(rx.WaitForCommands(1));
  for (const char* name : locked) EXPECT_FALSE(Enabled(name)) << name;
  EXPECT_TRUE(Enabled("pcRDS"));
  PumpFor(TMainForm::kTrackSettleMs + 1000);
  EXPECT_EQ(rx.Commands(), (std::vector<std::vector<uint8_t>>{{0x00}}));  // the mode, no tune
  EXPECT_EQ(f->Tuner->TargetFreq(), 87.0);

  // Afterwards the tuner is set up again where it was, and the controls follow.
  EXPECT_EQ(Ask(1, 4, 1), (TReplies{{4, 3}}));
  ASSERT_TRUE(h.WaitTuned("87.0", 2));
  EXPECT_TRUE(PumpUntil([&] { return Enabled("btnSET") && Enabled("RadioTrack"); }));
  EXPECT_EQ(track->value(), 0);
}

// A tuner settings dialog open when the replay begins is cancelled: its
// choices never reach the receiver, and the band's preview level goes back.
TEST_F(LogReplay, EnteringEndsTheTunerSettingsDialogUnapplied) {
  Start();
  TMainForm* f = h.form.get();
  TSimReceiver& rx = h.devices->Receiver;
  const TSettingsRecord before = f->Settings;
  const TTuner::TConfigCodes codes = f->Tuner->ConfigCodes();
  const double band = f->BandAnalyzer->SearchBandStartValue();
  ASSERT_TRUE(PumpUntil([&] { return Enabled("btnRadioSettings"); }));
  WithModal<TRadioSettingsForm>(
      [&](TRadioSettingsForm* form) {
        form->sp200->click();
        form->l10->click();
        form->snLDX->click();
        rx.ClearCommands();
        EXPECT_EQ(Ask(1, 3, 1), (TReplies{{3, 3}}));
        EXPECT_FALSE(form->isVisible());
        if (form->isVisible()) form->btnOK->click();  // what the operator would do with it
      },
      [&] { QTest::mouseClick(Find<QWidget>(f, "btnRadioSettings"), Qt::LeftButton); });
  PumpFor(300);
  EXPECT_TRUE(rx.Commands().empty());
  EXPECT_EQ(f->Settings.Spacing, before.Spacing);
  EXPECT_EQ(f->Settings.SensitivityDX, before.SensitivityDX);
  EXPECT_EQ(f->Settings.SearchStopLevel, before.SearchStopLevel);
  EXPECT_EQ(f->Tuner->ConfigCodes(), codes);
  EXPECT_EQ(f->BandAnalyzer->SearchBandStartValue(), band);
  EXPECT_FALSE(Enabled("btnRadioSettings"));
  EXPECT_EQ(Ask(1, 4, 1), (TReplies{{4, 3}}));
}

// A remote band scan holds the tuner. Entering the replay ends the remote
// dialog, which releases the hold: the receiver is not retuned while the
// replay lasts, and after it the tuner sets the receiver up and tunes it.
TEST_F(LogReplay, RemoteScanEndedByTheReplayDoesNotRetuneDuringIt) {
  Start();
  TMainForm* f = h.form.get();
  TSimReceiver& rx = h.devices->Receiver;
  h.devices->RemoteBindAddress = "127.0.0.8";
  h.devices->RemoteServerPorts = {0, 0, 0};
  std::filesystem::copy_file(TestBinDir() + "/fw.rrf", h.Folder() + "fw.rrf");
  ASSERT_TRUE(PumpUntil([&] { return Enabled("btnRemote"); }));
  WithModal<TRemoteForm>(
      [&](TRemoteForm* remote) {
        remote->btnStartClick();
        ASSERT_TRUE(f->RemoteActive);
        remote->Commands().Execute("SCANSTART=1");
        ASSERT_TRUE(PumpUntil([&] { return rx.Scanning(); }));
        EXPECT_TRUE(f->Tuner->Hold());
        rx.ClearCommands();
        EXPECT_EQ(Ask(1, 3, 1), (TReplies{{3, 3}}));
        EXPECT_FALSE(remote->isVisible());
      },
      [&] { QTest::mouseClick(Find<QWidget>(f, "btnRemote"), Qt::LeftButton); });
  EXPECT_EQ(Ask(1, 7, 2), (TReplies{{7, 3}, {9, 1}}));
  PumpFor(2 * 2000 + 500);  // the tuner would resend an unanswered tune every 2 s
  EXPECT_EQ(rx.Commands().size(), 0u);
  for (const char* name : {"btnSET", "RadioTrack", "btnRemote", "btnBandAnalyzer"})
    EXPECT_FALSE(Enabled(name)) << name;

  EXPECT_EQ(Ask(1, 4, 1), (TReplies{{4, 3}}));
  ASSERT_TRUE(h.WaitTuned("87.0", 2));
  EXPECT_FALSE(f->Tuner->Hold());
  EXPECT_TRUE(PumpUntil([&] { return Enabled("btnSET") && Enabled("btnRemote"); }));
}

}  // namespace
