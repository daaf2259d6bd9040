#pragma once
// The main window. It owns the device objects (transport, tuner, RDS decoder),
// the data module, the remote variable table and the settings record; its
// creation builds them in a fixed order while the splash window reports each
// step, and its destruction takes them down in reverse, logs the end and
// lets the data module back the database up. Between the two, the device
// callbacks keep the window and the remote variables current, and the RDS
// change listener fills the RDS pages.
#include <QMainWindow>
#include <QPoint>
#include <array>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "logstore/DModule.h"
#include "logstore/LogPager.h"
#include "logstore/fb_embedded.h"
#include "platform/DateTime.h"
#include "receiver/RDS_Collector.h"
#include "receiver/Tuner.h"
#include "receiver/communication.h"
#include "ui/MainDevices.h"
#include "ui/SingleInstance.h"

namespace Ui {
class TMainForm;
}
class QDialog;
class QTimer;
class TBandAnalyzerForm;
class TBandScanReceiver;
class TBlockError;
class TDualImage1;
class TFreqDisplay;
class TMPXGraphForm;
class TMPXReceiver;
class TGroupAnalyzeForm;
class TImageList;
class TProgressForm;
class TRemoteObject;
class TSplashForm;

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  // Runs the whole start-up, reporting each step on `splash` (may be null).
  // `bus` carries the registered messages (null: none). A failing step frees
  // what was built, removes the deployed engine files and rethrows.
  TMainForm(IMainDevices& devices, TSplashForm* splash, TMessageBus* bus = nullptr);
  // Runs the shut-down (unless it already ran).
  ~TMainForm() override;

  // The shut-down: announced on a splash window of its own, in reverse order
  // of the start-up. Runs once.
  void FormDestroy();

  // ---- Device callbacks (GUI thread) ------------------------------------------
  void TunerStatus(TTunerState Status);
  void ComData(const uint8_t* Packet, int High);
  void ComStatus(TStatus Status);
  void ComStats(const TState& AState);
  void RDSDataChange();

  // ---- Display ------------------------------------------------------------------
  void EnableControls(bool Flag);
  void ResetDisplay();
  void GroupLighterTimer();
  void ShowStatistics(const TRDSStatistics& S);

  // ---- Controls (MainControls.cpp) ------------------------------------------------
  // Tuning entry: Enter in edFreq, and SET.
  void edFreqKeyUp(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);
  void btnSETClick();
  // One channel step by the stored spacing; only while the tuner is tuned.
  void btnLeftClick();
  void btnRightClick();
  // Seek; only while the tuner is tuned.
  void btnSearchLeftClick();
  void btnSearchRightClick();
  // A user move of the slider arms the settle timer; the timer tunes once the
  // slider has rested kTrackSettleMs.
  void RadioTrackChange();
  void RadioTrackWatchTimer();
  bool RadioTrackWatchActive() const;
  // pr1..pr5 tune to their caption; prs1..prs5 store the tuned frequency.
  void PresetRecall(QObject* Sender);
  void PresetSave(QObject* Sender);
  void rbANTClick();
  void rbMPXClick();
  void rbRDSClick();
  void rbRBDSClick();
  void btnQuitClick();
  void btnHelpClick();
  void btnAboutClick();
  void btnRadioSettingsClick();
  void btnPresetsClick();
  void btnLogSettingsClick();
  void btnLogViewClick();
  void btnBandAnalyzerClick();
  void btnMPXGraphClick();
  void btnGroupAnalyzeClick();
  void btnRemoteClick();
  void ImageEx1MouseUp(QObject* Sender, Qt::MouseButton Button, QPoint Pos);
  void ImageEx1MouseEnter(QObject* Sender);
  void ImageEx1MouseLeave(QObject* Sender);
  // A maximise request does not maximise: the window goes to the left edge of
  // the screen with its bottom on the work area's bottom. True when handled.
  bool WMSysCommand(Qt::WindowStates Requested);
  // The group analyzer moves along with the main window.
  void WMMove();

  // ---- Log replay (MainReplay.cpp) ------------------------------------------------
  // One RZ4410_REMOTEMESSAGE request; true (handled) for every request.
  bool ReplayRequest(int64_t wParam, int64_t lParam);

  // The help file: the program file's name with the extension ".chm".
  std::string HelpFileName() const;
  // Rewrites the CONFIG row from Settings. Never throws: a failure is
  // reported to the user once (until a save succeeds again) and the program
  // goes on with the settings in memory.
  bool SaveSettings();

  // ---- State (read by the other windows and the remote server) -------------------
  std::string ExePath;
  std::unique_ptr<TDModule> DM;
  TSettingsRecord Settings{};
  TComUSB* ComUSB = nullptr;
  TTuner* Tuner = nullptr;
  TRDSCollector* RDSCollector = nullptr;
  TFreqDisplay* FreqDisplay = nullptr;
  TBlockError* BlockError = nullptr;
  TRemoteObject* RemoteObject = nullptr;
  TGroupAnalyzeForm* GroupAnalyzer = nullptr;
  TBandAnalyzerForm* BandAnalyzer = nullptr;
  TMPXGraphForm* MPXGraph = nullptr;
  TMPXReceiver* MPXLink = nullptr;
  TProgressForm* ProgressForm = nullptr;
  QDialog* RemoteDialog = nullptr;  // while the remote dialog is open
  TDateTime LastExtLogTime = 0;
  bool RemoteActive = false;
  bool ReplayMode = false;
  bool Closing = false;
  // FREQ of the raw-log row replayed last.
  int32_t LastReplayFreq = 0;
  // Time of the last group of each type, indexed version * 16 + type.
  std::array<TDateTime, 32> GroupSeen{};
  // Steady time (ms) of the last user move of the slider.
  int64_t LastTrackMoveMs = 0;

  uint32_t RemoteMessageId = 0;
  uint32_t RemoteResMessageId = 0;
  uint32_t OneInstanceId = 0;

  // The group memo keeps this many lines.
  static constexpr int kGroupMemoLines = 6;
  static constexpr int kLampTagBase = 200;
  // The slider has to rest this long before it tunes; the timer ticks as often.
  static constexpr int kTrackSettleMs = 2000;

  Ui::TMainForm* Form() const { return ui_.get(); }
  IMainDevices& Devices() const { return devices_; }
  // True while the band analyzer scans or analyses (it then owns the receiver).
  bool BandAnalyzerBusy() const;
  // True while something keeps the receiver's controls off, whatever a
  // control does: a band scan or analysis, a log replay, a receiver that is
  // missing or not set up yet, a remote band scan's hold, the shut-down.
  bool ControlsHeldOff() const;
  // A remote band scan holds the tuner. A hold released during a log replay
  // stays until the replay ends: releasing it retunes the receiver, and
  // leaving the replay sets the receiver up and tunes it anyway.
  void SetTunerHold(bool Value);

 signals:
  // The window was closed by the user, a signal or the program: the message
  // loop ends and the owner destroys the window.
  void Closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  void FormCreate();
  // Frees whatever the start-up built; `completed` tells a normal shut-down
  // (logged, announced) from the clean-up after a failed start-up.
  void Teardown(bool completed);
  void Step(const char* text);
  bool MessageHook(uint32_t msg, int64_t wParam, int64_t lParam);
  void ApplyConfigCodes();
  void UpdateRemoteRdsVars();
  void CheckExtendedLog();
  void PrepareControls();
  void SetDisplayBackground(uint32_t tcolor);
  void SetFreqEdit(double MHz);
  void LogChange(int kind, int value, const std::string& text);
  void DatabaseFault(const std::string& what);

  // RDS pages (MainRdsPages.cpp).
  void ShowChange(const TDataChange& c);
  void ClearTaggedControls(QWidget* parent);

  // Controls (MainControls.cpp).
  void ConnectControls();
  void TuneTo(double MHz);
  void StepChannel(int Direction);
  // The one-byte input or mode command after the tuner's code was set.
  void SendModeCommand(int CodeIndex, uint8_t Command);
  // Sets the slider from the tuner without counting it as a user move.
  void SetTrackPosition(int Index);
  // Forgets a slider move that has not tuned yet: the slider and the
  // frequency box go back to the tuner's frequency.
  void DropTrackMove();

  // Log replay (MainReplay.cpp).
  void Reply(int64_t Code, int64_t Value);
  void EnterReplay();
  void LeaveReplay();
  void ReplayPeerGone(uint64_t Peer);
  // Cancels the tuner settings dialog when it is open.
  void EndTunerSettingsDialog();
  std::vector<QWidget*> ReplayLockedControls() const;
  // The raw log in insertion order, read a row at a time; taken in again
  // before every request.
  ILogPager& ReplayLog();
  int64_t ReplayRows();
  // Moves to a row (1-based) and replays it; false when there is none.
  bool ReplayRow(int64_t RecNo, bool First);
  void ReplayFirst();
  void ReplayNext();
  void ReplayGoTo(int64_t N);

  IMainDevices& devices_;
  std::unique_ptr<Ui::TMainForm> ui_;
  TSplashForm* splash_ = nullptr;  // the start-up's or the shut-down's splash
  TMessageBus* bus_ = nullptr;
  TMessageHook previousHook_;
  bool hookInstalled_ = false;
  bool engineDeployed_ = false;
  TCreatedEngineFiles engineCreated_;
  bool shown_ = false;
  bool tunerListening_ = false;
  bool rdsListening_ = false;
  bool comHandlersRegistered_ = false;
  TSplashForm* ownSplash_ = nullptr;  // the shut-down's splash
  bool destroyed_ = false;
  QTimer* groupLighter_ = nullptr;
  QTimer* radioTrackWatch_ = nullptr;
  bool settingsFaultReported_ = false;
  TImageList* digitGlyphs_ = nullptr;
  TImageList* lampStates_ = nullptr;
  TImageList* textLampStates_ = nullptr;
  TImageList* arrowStates_ = nullptr;
  std::array<TDualImage1*, 32> groupLamps_{};
  std::unique_ptr<ILogPager> replayLog_;
  // The band analyzer's view of the tuner, transport and decoder.
  std::unique_ptr<TBandScanReceiver> bandLink_;
  int64_t replayRecNo_ = 0;  // current raw-log row, 1-based
  bool holdUntilReplayEnds_ = false;  // a remote scan's hold released during the replay
  std::set<uint64_t> replayPeers_;  // the message peers that entered replay
};
