// The log-replay protocol: a controller program switches the main window into
// replay mode and steps through the raw log; each stored group is decoded as
// if it had just been received, so the RDS pages show that moment. Requests
// come as RZ4410_REMOTEMESSAGE (low byte of wParam = kind, lParam = argument),
// answers go out as RZ4410_REMOTERESMESSAGE (code, value).
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <QTabWidget>
#include <QToolButton>
#include <exception>
#include <utility>

#include "controls/DBCtrlsEx.h"
#include "receiver/shared.h"
#include "ui/band/BandAnalyzer.h"
#include "ui/ColorButton.h"
#include "ui/FreqDisplay.h"
#include "ui/Main.h"
#include "ui/MainRemote.h"
#include "ui/RadioSettings.h"
#include "ui/mpx/MPXGraph.h"
#include "ui/groupanalyze.h"
#include "ui_Main.h"

namespace {

// Request kinds and the arguments of kind 1.
constexpr int kCommand = 1, kGoToRow = 2;
constexpr int kDeviceQuery = 2, kEnterReplay = 3, kLeaveReplay = 4, kResetDisplay = 5, kRecordCount = 6,
              kFirstRow = 7, kNextRow = 8;
// Reply codes beside the commands' own, and reply values.
constexpr int kRecordNumber = 9;
constexpr int kDone = 3, kRefused = 4;
// The raw log's channel index of a row taken on the MPX input.
constexpr int kMpxInputIndex = 255;

}  // namespace

bool TMainForm::ReplayRequest(int64_t wParam, int64_t lParam) {
  const int kind = static_cast<int>(wParam & 0xFF);
  try {
    if (kind == kGoToRow) {
      ReplayGoTo(lParam);
      return true;
    }
    if (kind != kCommand) return true;
    const int arg = static_cast<int>(lParam & 0xFF);
    switch (arg) {
      case kDeviceQuery: Reply(kDeviceQuery, ComUSB && ComUSB->IsConnected() ? kDone : kRefused); break;
      case kEnterReplay: EnterReplay(); break;
      case kLeaveReplay: LeaveReplay(); break;
      case kResetDisplay:
        if (ReplayMode) ResetDisplay();
        Reply(kResetDisplay, ReplayMode ? kDone : kRefused);
        break;
      case kRecordCount: Reply(kRecordCount, ReplayRows()); break;
      case kFirstRow: ReplayFirst(); break;
      case kNextRow: ReplayNext(); break;
      default: break;
    }
  } catch (const std::exception& e) {
    // A log that cannot be read answers nothing more; the program goes on.
    devices_.Trace("error", std::string("Log replay: ") + e.what());
  }
  return true;
}

void TMainForm::Reply(int64_t Code, int64_t Value) {
  if (bus_) bus_->Broadcast(RemoteResMessageId, Code, Value);
}

void TMainForm::EnterReplay() {
  // Replay lasts while any controller that asked for it is still there.
  if (bus_ && bus_->Sender()) replayPeers_.insert(bus_->Sender());
  if (!ReplayMode) {
    ReplayMode = true;
    if (DM) DM->SetReplayMode(true);
    if (ComUSB) ComUSB->HandlersMuted = true;
    // Closed, not hidden: a scan or an analysis stops (the receiver's
    // answers are muted from here on) and Band Info goes too.
    if (BandAnalyzer) BandAnalyzer->close();
    if (MPXGraph) MPXGraph->close();
    if (GroupAnalyzer) GroupAnalyzer->hide();
    EndRemoteDialog(*this);
    EndTunerSettingsDialog();
    DropTrackMove();  // a slider move still settling must not tune
    ResetDisplay();
    for (QWidget* w : {static_cast<QWidget*>(ui_->btnGroupAnalyze), static_cast<QWidget*>(ui_->rbRDS),
                       static_cast<QWidget*>(ui_->rbRBDS), static_cast<QWidget*>(ui_->pcRDS)})
      w->setEnabled(true);
    for (QWidget* w : ReplayLockedControls()) w->setEnabled(false);
  }
  Reply(kEnterReplay, kDone);
}

void TMainForm::LeaveReplay() {
  replayPeers_.clear();
  // The log viewer does not need the receiver; the other buttons entering
  // disabled follow the receiver's state below.
  for (QWidget* w : {ui_->btnRadioSettings, ui_->btnLogView}) w->setEnabled(true);
  ResetDisplay();
  EnableControls(ComUSB && ComUSB->IsConnected());
  ReplayMode = false;
  if (DM) DM->SetReplayMode(false);
  if (ComUSB) ComUSB->HandlersMuted = false;
  if (Tuner) {
    Tuner->Reconfigure(false);
    // Only now: released before, the hold would tune the receiver once of
    // its own before the reconfiguration (which ends with the tune).
    if (std::exchange(holdUntilReplayEnds_, false)) Tuner->SetHold(false);
  }
  Reply(kLeaveReplay, kDone);
}

void TMainForm::ReplayPeerGone(uint64_t Peer) {
  // A controller that disconnected or crashed can no longer end the replay.
  if (replayPeers_.erase(Peer) && replayPeers_.empty() && ReplayMode && !Closing) LeaveReplay();
}

void TMainForm::SetTunerHold(bool Value) {
  if (!Tuner) return;
  holdUntilReplayEnds_ = !Value && ReplayMode;
  if (!holdUntilReplayEnds_) Tuner->SetHold(Value);
}

void TMainForm::EndTunerSettingsDialog() {
  // Cancelled, not confirmed: nothing of it reaches the receiver, and the
  // band analyzer's preview goes back to the stored level.
  for (TRadioSettingsForm* dialog : findChildren<TRadioSettingsForm*>(Qt::FindDirectChildrenOnly))
    if (dialog->isVisible()) dialog->reject();
}

std::vector<QWidget*> TMainForm::ReplayLockedControls() const {
  return {ui_->btnBandAnalyzer, ui_->btnRadioSettings, ui_->btnLogSettings, ui_->btnLogView, ui_->btnPresets,
          ui_->btnMPXGraph,     ui_->btnRemote,        ui_->btnSET,         ui_->edFreq,     ui_->prs1,
          ui_->prs2,            ui_->prs3,             ui_->prs4,           ui_->prs5,       ui_->pr1,
          ui_->pr2,             ui_->pr3,              ui_->pr4,            ui_->pr5,        ui_->rbANT,
          ui_->rbMPX,           ui_->btnSearchRight,   ui_->btnRight,       ui_->btnLeft,    ui_->btnSearchLeft,
          ui_->RadioTrack};
}

ILogPager& TMainForm::ReplayLog() {
  if (!replayLog_) {
    if (!DM) throw std::runtime_error("no log database");
    // Rows the data module posted become readable once committed.
    DM->Commit();
    replayLog_ = MakeFbLogPager(DM->DatabaseName(), TLogView::Raw);
    replayLog_->Count();
    if (!replayLog_->CountIsExact())
      replayLog_->SetExactCount(replayLog_->CountUpTo(replayLog_->SnapshotMaxId()));
    // Like the raw-log dataset, the replay starts out on the newest row.
    replayRecNo_ = replayLog_->Count();
  } else {
    DM->Commit();
    replayLog_->Refresh();
  }
  return *replayLog_;
}

int64_t TMainForm::ReplayRows() { return ReplayLog().Count(); }

bool TMainForm::ReplayRow(int64_t RecNo, bool First) {
  TRawLogRow row;
  bool found = false;
  ReplayLog().Read(RecNo - 1, 1, [&](int64_t, const TLogRecord& r) {
    row = r.Raw;
    found = true;
  });
  if (!found) return false;
  replayRecNo_ = RecNo;
  // Outside replay mode the live station owns the decoder, the pages and the
  // frequency readout: only the position moves, so nothing replayed mixes
  // into what is shown and logged.
  if (!ReplayMode) return true;
  if (First || row.FREQ != LastReplayFreq) ResetDisplay();
  LastReplayFreq = row.FREQ;
  // Decoding raises the usual change notifications; the data module writes
  // nothing in replay mode.
  if (RDSCollector)
    RDSCollector->ProcessGroup(static_cast<uint16_t>(row.BLOCK[0]), static_cast<uint16_t>(row.BLOCK[1]),
                               static_cast<uint16_t>(row.BLOCK[2]), static_cast<uint16_t>(row.BLOCK[3]));
  if (row.FREQ == kMpxInputIndex) {
    // A row taken on the MPX input has no frequency: the box names the input
    // as the log's own rows do, and the readout is not moved.
    ui_->edFreq->ShowWord("MPX");
    return true;
  }
  const double mhz = ChannelIndexToFreq(row.FREQ);
  if (FreqDisplay) FreqDisplay->SetValue(FreqToTenths(mhz));
  SetFreqEdit(mhz);
  return true;
}

void TMainForm::ReplayFirst() {
  ReplayLog();
  // An empty log: record number 0 and nothing replayed.
  const bool any = ReplayRow(1, true);
  if (!any) replayRecNo_ = 0;
  Reply(kFirstRow, kDone);
  Reply(kRecordNumber, replayRecNo_);
}

void TMainForm::ReplayNext() {
  const int64_t rows = ReplayRows();
  if (replayRecNo_ >= rows || !ReplayRow(replayRecNo_ + 1, false)) {
    Reply(kNextRow, kRefused);
    return;
  }
  Reply(kNextRow, kDone);
  Reply(kRecordNumber, replayRecNo_);
}

void TMainForm::ReplayGoTo(int64_t N) {
  if (N < 0 || N >= ReplayRows()) return;
  // A request for the row already shown is skipped.
  if (N + 1 == replayRecNo_) return;
  if (ReplayMode && replayRecNo_ > N) ResetDisplay();
  if (ReplayRow(N + 1, false)) Reply(kRecordNumber, replayRecNo_);
}
