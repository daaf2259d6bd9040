#include "ui/Main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cmath>

#include "controls/DBCtrlsEx.h"
#include "logstore/SplashProgress.h"
#include "logstore/fb_embedded.h"
#include "platform/Format.h"
#include "receiver/DeviceProtocol.h"
#include "receiver/shared.h"
#include "ui/band/BandAnalyzer.h"
#include "ui/ColorButton.h"
#include "ui/DualImage1.h"
#include "ui/FreqDisplay.h"
#include "ui/ImageEx.h"
#include "ui/mpx/MPXGraph.h"
#include "ui/Pictures.h"
#include "ui/RemoteObject.h"
#include "ui/SettingsApply.h"
#include "ui/Splash.h"
#include "ui/blockerror.h"
#include "ui/groupanalyze.h"
#include "ui/progress.h"
#include "ui_Main.h"

using namespace proto;

namespace {

constexpr const char* kMakerName = "Quorvane Broadcast Ltd.";
constexpr uint32_t kDisplayEnabledColor = 0x1C3717;
constexpr uint32_t kDisplayDisabledColor = 0x999999;
constexpr int kStepMs = 100;
constexpr int kLampLitMs = 500;

// The data module shows its backup progress on whichever splash window the
// shut-down put up.
class TSplashProgress final : public ISplashProgress {
 public:
  TSplashProgress(TSplashForm* splash, IMainDevices& devices) : splash_(splash), devices_(devices) {}
  void ShowStatus(const std::string& Text, unsigned Ms) override {
    devices_.Trace("splash", Text);
    if (splash_) splash_->ShowStatus(Text, Ms);
  }

 private:
  TSplashForm* splash_;
  IMainDevices& devices_;
};

void SetGaugeColor(QProgressBar* bar, const QColor& color) {
  if (bar->palette().color(QPalette::Highlight) == color) return;
  QPalette p = bar->palette();
  p.setColor(QPalette::Highlight, color);
  bar->setPalette(p);
}

}  // namespace

TMainForm::TMainForm(IMainDevices& devices, TSplashForm* splash, TMessageBus* bus)
    : QMainWindow(nullptr), devices_(devices), ui_(std::make_unique<Ui::TMainForm>()), splash_(splash), bus_(bus) {
  ui_->setupUi(this);
  PrepareControls();
  try {
    FormCreate();
  } catch (...) {
    Teardown(false);
    throw;
  }
}

TMainForm::~TMainForm() { FormDestroy(); }

void TMainForm::PrepareControls() {
  digitGlyphs_ = MakeDigitGlyphs(this);
  lampStates_ = MakeLampStates(10, this);
  textLampStates_ = MakeTextLampStates({"STEREO", "RDS", "USB", "TUNED"}, 50, 16, this);
  arrowStates_ = MakeArrowButtonStates(this);

  TDualImage1* lamps[] = {ui_->imgStereo, ui_->imgRDS, ui_->imgUSB, ui_->imgTuned};
  for (int i = 0; i < 4; ++i) {
    lamps[i]->SetStates(textLampStates_);
    lamps[i]->SetStartIndex(i * 2);
    lamps[i]->SetEnabled(false);
  }
  for (TDualImage1* lamp : ui_->Shape1->findChildren<TDualImage1*>()) {
    const int tag = lamp->property("tag").toInt();
    if (tag < kLampTagBase || tag >= kLampTagBase + 32) continue;
    lamp->SetStates(lampStates_);
    lamp->SetStartIndex(0);
    lamp->SetEnabled(false);
    groupLamps_[tag - kLampTagBase] = lamp;
  }
  const std::pair<TColorButton*, int> arrows[] = {
      {ui_->btnLeft, 0}, {ui_->btnRight, 4}, {ui_->btnSearchLeft, 8}, {ui_->btnSearchRight, 12}};
  for (const auto& [button, start] : arrows) {
    button->SetStates(arrowStates_);
    button->SetStartIndex(start);
  }
  ui_->ImageEx1->SetPicture(MakeLogoPicture());

  // The display panel: light texts on the dark background.
  ui_->Shape1->setAutoFillBackground(true);
  QPalette p = ui_->Shape1->palette();
  p.setColor(QPalette::WindowText, Qt::white);
  ui_->Shape1->setPalette(p);
  SetDisplayBackground(kDisplayEnabledColor);

  QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  for (QWidget* w : {static_cast<QWidget*>(ui_->edPS), static_cast<QWidget*>(ui_->memRTA),
                     static_cast<QWidget*>(ui_->memRTB), static_cast<QWidget*>(ui_->memGroups),
                     static_cast<QWidget*>(ui_->ed2RTA), static_cast<QWidget*>(ui_->ed2RTB),
                     static_cast<QWidget*>(ui_->mem0AFDetail)})
    w->setFont(mono);
  ui_->memGroups->setFont(GroupLineFont(mono));
  // Two whole lines of RadioText in each memo, and every line the group memo
  // keeps: the document's margin is kept small so that they fit the memo's
  // height, and the group lines take a smaller font where they still would not.
  for (QPlainTextEdit* memo : {ui_->memRTA, ui_->memRTB, ui_->memGroups}) memo->document()->setDocumentMargin(2);
  FitLinesToHeight(ui_->memGroups, kGroupMemoLines);
  for (QPlainTextEdit* memo : {ui_->memRTA, ui_->memRTB, ui_->memGroups, ui_->mem0AFDetail}) KeepShapedLines(memo);
  // The block-error box repaints with every RDS block, the panel around it
  // with every lamp or gauge: on top of their siblings (none of which they
  // overlap), a repaint does not have to look through those for ones that
  // cover them.
  ui_->BlockErrorBox->raise();
  ui_->Shape1->raise();
  QFont big = ui_->lblPI->font();
  big.setBold(true);
  ui_->lblPI->setFont(big);

  groupLighter_ = new QTimer(this);
  groupLighter_->setInterval(1000);
  connect(groupLighter_, &QTimer::timeout, this, [this] { GroupLighterTimer(); });
  radioTrackWatch_ = new QTimer(this);
  radioTrackWatch_->setInterval(kTrackSettleMs);
  ConnectControls();
}

void TMainForm::Step(const char* text) {
  devices_.Trace("splash", text);
  if (splash_) splash_->ShowStatus(std::string(text), kStepMs);
}

void TMainForm::FormCreate() {
  IClock& clock = devices_.Clock();
  TMainThreadInvoker& invoker = devices_.Invoker();

  // 1. Registered messages and the hook in front of the window's own handling.
  RemoteMessageId = RegisterWindowMessage(kRemoteMessageName);
  RemoteResMessageId = RegisterWindowMessage(kRemoteResMessageName);
  OneInstanceId = RegisterWindowMessage(kOneInstanceName);
  if (bus_) {
    bus_->Listen();
    previousHook_ = bus_->SetHook([this](uint32_t msg, int64_t w, int64_t l) { return MessageHook(msg, w, l); });
    hookInstalled_ = true;
    connect(bus_, &TMessageBus::PeerGone, this, [this](quint64 Peer) { ReplayPeerGone(Peer); }, Qt::QueuedConnection);
  }

  // 2. The database engine next to the program.
  ExePath = devices_.ExePath();
  engineDeployed_ = true;  // also a partial deployment is removed again
  RequireEmbeddedDatabase(ProgramFolderOf(ExePath), &engineCreated_);

  // 3.
  ProgressForm = new TProgressForm(nullptr);

  Step("Prepare Settings");
  DM = std::make_unique<TDModule>(ProgramFolderOf(ExePath), clock);
  DM->LoadConfig(Settings);
  DM->BindSettings(&Settings);
  DM->SetFaultHandler(TMethod<const std::string&>(this, &TMainForm::DatabaseFault));

  Step("Prepare USB Communication");
  ComUSB = new TComUSB(devices_.UsbPipes(), invoker, clock);
  FreqDisplay = new TFreqDisplay(ui_->FreqBox, digitGlyphs_);

  Step("Initialize Tuner");
  Tuner = new TTuner(*ComUSB, invoker, clock);
  ApplyConfigCodes();

  Step("Prepare Remote Objects");
  RemoteObject = new TRemoteObject();
  Tuner->RegisterStateListener(TOnTunerEvent(this, &TMainForm::TunerStatus));
  tunerListening_ = true;
  Tuner->SetFrequency(PLLWordToFreq(static_cast<uint16_t>(Settings.PLLHi * 256 + Settings.PLLLo), true));

  Step("Prepare RDS Module");
  RDSCollector = new TRDSCollector(ComUSB, clock);
  RDSCollector->RegisterDataChangeListener(TOnDataChangeEvent(this, &TMainForm::RDSDataChange));
  rdsListening_ = true;

  Step("Open USB Communication");
  ComUSB->RegisterDataHandler(PacketTypes({ptRDS, ptStatus, ptType6}), TOnDataEvent(this, &TMainForm::ComData));
  ComUSB->RegisterStatusHandler(TOnStatusEvent(this, &TMainForm::ComStatus));
  ComUSB->RegisterStatsHandler(TOnStateEvent(this, &TMainForm::ComStats));
  comHandlersRegistered_ = true;
  BlockError = new TBlockError(ui_->BlockErrorBox);

  Step("Prepare Group Analyzer");
  GroupAnalyzer = new TGroupAnalyzeForm(this);
  GroupAnalyzer->OnResetStatistics = [this] {
    if (RDSCollector) RDSCollector->ResetStatistics();
  };

  Step("Prepare Band Analyzer");
  bandLink_ = std::make_unique<TBandScanReceiver>(*Tuner, *ComUSB, *RDSCollector);
  BandAnalyzer = new TBandAnalyzerForm(*bandLink_, clock, Settings, [this](const TSettingsRecord&) { SaveSettings(); });
  BandAnalyzer->Controller().RemoteActive = [this] { return RemoteActive; };
  // A scan or an analysis owns the receiver: the main window's controls come
  // back with its next completed tune, the tuner settings at once.
  BandAnalyzer->OnBusyChanged = [this](bool Busy) {
    if (Busy) EnableControls(false);
    else ui_->btnRadioSettings->setEnabled(true);
  };
  // The full-width analyzer covers the main window's own MPX button.
  BandAnalyzer->OnMPXGraph = [this] {
    if (!MPXGraph) return;
    MPXGraph->show();
    MPXGraph->raise();
  };
  bandLink_->ToggleHandlers(BandAnalyzer->Controller());
  Step("Prepare MPX Analyzer");
  ui_->btnMPXGraph->setIcon(QIcon());
  MPXLink = new TMPXReceiver(*Tuner, *ComUSB, Settings);
  MPXGraph = new TMPXGraphForm(*MPXLink, clock, nullptr);
  MPXGraph->Controller().Remote = RemoteObject;
  MPXGraph->Controller().RemoteOpen = [this] { return RemoteActive; };
  MPXGraph->SetDeviationUnits(Settings.RBDS ? 1 : 0);
  MPXLink->ToggleHandler(MPXGraph->Controller());
  setWindowTitle(QApplication::applicationName() + " - " + kMakerName);

  Step("Prepare Main Module");
  ui_->lblTuned->setText("Tuned at:");
  ui_->edFreq->SetDecimalPlaces(1);
  ui_->edFreq->SetDisplayFormat("#.0");
  ui_->edFreq->SetIncrement(0.1);
  ui_->edFreq->SetMinValue(kBandLowMHz);
  SetFreqEdit(kBandLowMHz);
  ui_->edFreq->SetMaxValue(kBandHighMHz);
  QPushButton* presets[] = {ui_->pr1, ui_->pr2, ui_->pr3, ui_->pr4, ui_->pr5};
  for (int i = 0; i < 5; ++i)
    presets[i]->setText(QString::fromStdString(FormatFreq(ChannelIndexToFreq(Settings.Presets[i]))));
  ui_->pcRDS->setCurrentIndex(0);
  ui_->pbBuffer->setMaximum(1000);
  resize(668, 586);
  LastExtLogTime = clock.Now();
  EnableControls(false);
  ResetDisplay();

  Step("Starting...");
  ProgressForm->setParent(this, ProgressForm->windowFlags());
  groupLighter_->start();
}

void TMainForm::ApplyConfigCodes() {
  // Each code stays within its own commands, whatever the row holds (a stored
  // spacing of 3 must not become the sensitivity command).
  Tuner->SetConfigCodes(ConfigCodesFromSettings(Settings));
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // The reader thread starts when the window is shown for the first time.
  if (!shown_ && ComUSB && !Closing) {
    shown_ = true;
    ComUSB->Start();
  }
}

void TMainForm::closeEvent(QCloseEvent* event) {
  event->accept();
  emit Closed();
}

void TMainForm::FormDestroy() { Teardown(true); }

void TMainForm::Teardown(bool completed) {
  if (destroyed_) return;
  destroyed_ = true;
  TMainThreadInvoker& invoker = devices_.Invoker();

  // Before anything is freed: no timer tick and no message may reach a window
  // that shut-down is taking apart, and every device callback returns at once.
  groupLighter_->stop();
  radioTrackWatch_->stop();
  if (hookInstalled_) {
    bus_->SetHook(std::move(previousHook_));
    hookInstalled_ = false;
  }
  Closing = true;

  if (completed) {
    if (bus_) bus_->Broadcast(RemoteResMessageId, 1, 0);
    hide();
    ownSplash_ = new TSplashForm(nullptr, devices_.Clock());
    splash_ = ownSplash_;
    ownSplash_->show();
  } else {
    splash_ = nullptr;  // a failed start-up reports nothing more
  }

  if (completed) Step("Unloading Modules");
  if (BandAnalyzer) {
    bandLink_->ToggleHandlers(BandAnalyzer->Controller());
    delete BandAnalyzer;
    BandAnalyzer = nullptr;
  }
  bandLink_.reset();
  if (RDSCollector) {
    if (rdsListening_) RDSCollector->RegisterDataChangeListener(TOnDataChangeEvent(this, &TMainForm::RDSDataChange));
    rdsListening_ = false;
    delete RDSCollector;
    RDSCollector = nullptr;
  }
  if (MPXGraph) {
    MPXLink->ToggleHandler(MPXGraph->Controller());
    delete MPXGraph;
    MPXGraph = nullptr;
  }
  delete MPXLink;
  MPXLink = nullptr;
  if (ComUSB && comHandlersRegistered_) {
    ComUSB->RegisterDataHandler(PacketTypes({ptRDS, ptStatus, ptType6}), TOnDataEvent(this, &TMainForm::ComData));
    ComUSB->RegisterStatusHandler(TOnStatusEvent(this, &TMainForm::ComStatus));
    ComUSB->RegisterStatsHandler(TOnStateEvent(this, &TMainForm::ComStats));
    comHandlersRegistered_ = false;
  }

  if (completed) Step("Terminating Tuner");
  if (Tuner) {
    if (tunerListening_) Tuner->RegisterStateListener(TOnTunerEvent(this, &TMainForm::TunerStatus));
    tunerListening_ = false;
    delete Tuner;  // stops the machine, serving its pending GUI calls
    Tuner = nullptr;
  }
  delete BlockError;
  BlockError = nullptr;
  delete FreqDisplay;
  FreqDisplay = nullptr;

  if (completed) Step("Terminating Remote Objects");
  delete RemoteObject;
  RemoteObject = nullptr;

  if (completed) Step("Terminating Communication");
  if (ComUSB) {
    // The tuner is gone, so this is the last command the device receives.
    ComUSB->SendBytes({cmdReset});
    ComUSB->Disconnect();
    ComUSB->TerminateAndWait(&invoker);
    delete ComUSB;
    ComUSB = nullptr;
  }

  replayLog_.reset();  // its attachment would stop the exit restore
  if (completed && DM) LogChange(37, 0, "PROGRAM CLOSED");
  if (DM) {
    // Flushes, closes, backs the database up and restores it, with its
    // progress on the shut-down's splash window.
    TSplashProgress progress(splash_, devices_);
    DM->SetSplash(&progress);
    DM->SetFaultHandler({});
    if (!DM->Close()) {
      devices_.Trace("error", DM->CloseError());
      if (completed) devices_.MessageBox(DM->CloseError(), "Error", IMainDevices::TBoxIcon::Error);
    }
    DM.reset();
  }
  delete GroupAnalyzer;
  GroupAnalyzer = nullptr;
  splash_ = nullptr;
  delete ownSplash_;
  ownSplash_ = nullptr;
  delete ProgressForm;
  ProgressForm = nullptr;

  if (engineDeployed_) {
    // A failed start removes only what it made: the engine files it found
    // may be those of an instance that runs on the same folder.
    if (completed)
      RemoveEmbeddedDatabase(ProgramFolderOf(ExePath.empty() ? devices_.ExePath() : ExePath));
    else
      RemoveCreatedEngineFiles(engineCreated_);
    engineDeployed_ = false;
  }
}

bool TMainForm::MessageHook(uint32_t msg, int64_t wParam, int64_t lParam) {
  if (msg == OneInstanceId) {
    devices_.Trace("message", "RZ4410_ONEINSTANCE");
    ForceForegroundWindow(this);
    return true;
  }
  if (msg == RemoteMessageId && !Closing) return ReplayRequest(wParam, lParam);
  return previousHook_ ? previousHook_(msg, wParam, lParam) : false;
}

// ---- Device callbacks ----------------------------------------------------------

void TMainForm::TunerStatus(TTunerState Status) {
  // During a log replay the window shows the log, not the receiver: a tune
  // still under way when the replay began (a band scan it stopped) must not
  // clear the replayed pages or bring back the controls the replay locked.
  // Leaving the replay reconfigures the tuner, and its states count again.
  if (Closing || ReplayMode || BandAnalyzerBusy() || !Tuner) return;
  switch (Status) {
    case tnsInit:
      EnableControls(false);
      break;
    case tnsTune:
      RDSCollector->SetActive(false);
      ui_->imgTuned->SetEnabled(false);
      break;
    case tnsPostTune: {
      const double target = Tuner->TargetFreq();
      ResetDisplay();
      EnableControls(true);
      FreqDisplay->SetValue(FreqToTenths(target));
      ui_->lblTuned->setText(QString::fromStdString(Format("Tuned at: %3.1f", target)));
      SetTrackPosition(FreqToChannelIndex(target));
      SetFreqEdit(target);
      const uint16_t word = FreqToPLLWord(true, target);
      Settings.PLLHi = static_cast<uint8_t>(word >> 8);
      Settings.PLLLo = static_cast<uint8_t>(word & 0xFF);
      // On the tuner's synchronous call: a failing save must not reach its thread.
      SaveSettings();
      LogChange(8, Tuner->FreqIndex(), "");
      RDSCollector->SetActive(true);
      ui_->imgTuned->SetEnabled(true);
      devices_.Trace("tuned", FormatFreq(target));
      if (RemoteActive) {
        RemoteObject->Clear();
        RemoteObject->SetVar("FREQ", std::to_string(Tuner->FreqTenths()), false);
      }
      break;
    }
    case tnsReadyStatus: {
      ui_->imgStereo->SetEnabled(Tuner->Stereo());
      ui_->imgRDS->SetEnabled(Tuner->RDSPresent());
      ui_->lblTuned->setText(QString::fromStdString(Format("Tuned at: %3.1f", Tuner->CurrentFreq())));
      const int level = std::clamp(static_cast<int>(std::nearbyint(Tuner->LevelAvg() * 10)), 0, 150);
      ui_->pbLevel->setValue(level);
      SetGaugeColor(ui_->pbLevel, Tuner->NoSignal() ? Qt::red : Qt::green);
      if (RemoteActive) {
        RemoteObject->SetVar("LVL", Format("%3.1f", LevelToDbuV(Tuner->Level())), false);
        RemoteObject->SetVar("STEREO", Tuner->Stereo() ? "1" : "0", false);
        RemoteObject->SetVar("RDS", Tuner->RDSPresent() ? "1" : "0", false);
      }
      break;
    }
    case tnsIncompatible:
      devices_.MessageBox(Tuner->Calibration().ErrorText, "Fault", IMainDevices::TBoxIcon::Error);
      break;
    default:
      break;
  }
}

void TMainForm::ComData(const uint8_t* Packet, int High) {
  if (Closing || !Tuner) return;
  if (BandAnalyzerBusy()) {
    // Each packet is of another station: no statistics may take it.
    if (GroupAnalyzer && GroupAnalyzer->isVisible()) GroupAnalyzer->hide();
    if (MPXGraph && MPXGraph->isVisible()) MPXGraph->hide();
    return;
  }
  if (!Tuner->Tuned() || Tuner->Hold()) return;
  const int length = High + 1 - kStampSize;  // device bytes, stamp excluded
  if (length < 1) return;
  if (Packet[0] == ptRDS && length >= 2) {
    BlockError->AddSample(Packet[1] & 3);
    if (RemoteActive) UpdateRemoteRdsVars();
  }
  CheckExtendedLog();
}

void TMainForm::UpdateRemoteRdsVars() {
  TRDSCollector& r = *RDSCollector;
  RemoteObject->SetVar("PS", r.GetPSText(), false);
  RemoteObject->SetVar("RTA", r.GetRTAText(), false);
  RemoteObject->SetVar("RTB", r.GetRTBText(), false);
  RemoteObject->SetVar("TA", r.GetTAText(), false);
  RemoteObject->SetVar("MS", r.GetMSText(), false);
  RemoteObject->SetVar("DI", r.GetDIText(6), false);
  TRDSDateTime ct;
  r.GetCTText(ct);
  RemoteObject->SetVar("CT", ct.Text, false);
  if (r.GetAFCount() < 1) {
    RemoteObject->SetVar("AFN", "NA", false);
    RemoteObject->SetVar("AF", "NA", false);
  } else {
    RemoteObject->SetVar("AFN", std::to_string(r.GetAFCount()) + r.GetAFMethod(), false);
    RemoteObject->SetVar("AF", r.GetAFText(), false);
  }
  RemoteObject->SetVar("PI", r.GetPIText(), false);
  RemoteObject->SetVar("PTY", r.GetPTYText(), false);
  RemoteObject->SetVar("TP", r.GetTPText(), false);
}

void TMainForm::CheckExtendedLog() {
  if (!Settings.ExtLogOn) return;
  const TDateTime now = devices_.Clock().Now();
  const int64_t minutes = dt::MillisecondsBetween(LastExtLogTime, now) / 60000;
  // A stored interval below one minute (by hand or an older version) would
  // write a row for every packet.
  if (minutes < std::max(1, Settings.ExtLogMinutes)) return;
  LastExtLogTime = now;
  TExtRecord rec;
  RDSCollector->GetExtRecord(rec);
  rec.FREQ = Tuner->FreqIndex();
  rec.RDS.assign(1, Tuner->RDSPresent() ? 'Y' : 'N');
  rec.MODE = {Settings.InputAntenna ? 'A' : 'M', Settings.RBDS ? 'B' : 'R'};
  DM->LogExt(rec);
}

void TMainForm::ComStatus(TStatus Status) {
  if (Closing) return;
  if (Status == stConnected) {
    ui_->imgUSB->SetEnabled(true);
    if (RemoteActive) RemoteObject->SetVar("USB", "1", false);
    LogChange(37, 0, "DEVICE CONNECTED");
  } else if (Status == stDisconnected) {
    // Closing the band analyzer ends its scan or analysis, so the next
    // tune after the receiver is back reaches this window again.
    if (BandAnalyzer) BandAnalyzer->close();
    if (MPXGraph) MPXGraph->close();
    ui_->imgUSB->SetEnabled(false);
    if (RemoteActive) {
      RemoteObject->Clear();
      RemoteObject->SetVar("USB", "0", false);
    }
    EnableControls(false);
    LogChange(37, 0, "DEVICE DISCONNECTED");
  }
}

void TMainForm::ComStats(const TState& AState) {
  if (Closing) return;
  // Comes with every packet; the colour follows the value.
  const int value = std::clamp<int32_t>(AState.Backlog, 0, ui_->pbBuffer->maximum());
  if (value == ui_->pbBuffer->value()) return;
  ui_->pbBuffer->setValue(value);
  SetGaugeColor(ui_->pbBuffer, AState.Backlog > 500 ? Qt::red : Qt::green);
}

// ---- Display -------------------------------------------------------------------

void TMainForm::SetDisplayBackground(uint32_t tcolor) {
  QPalette p = ui_->Shape1->palette();
  p.setColor(QPalette::Window, ColorFromTColor(tcolor));
  ui_->Shape1->setPalette(p);
}

void TMainForm::SetFreqEdit(double MHz) { ui_->edFreq->SetValue(MHz); }

bool TMainForm::BandAnalyzerBusy() const { return BandAnalyzer && BandAnalyzer->Busy(); }

bool TMainForm::ControlsHeldOff() const {
  // The tuner's configuration stands for the receiver: a disconnection
  // withdraws it, and it is sent only to a receiver that passed its checks.
  // (The transport's own link state also drops while its buffer is cleared,
  // which every mode command does.)
  return Closing || ReplayMode || BandAnalyzerBusy() || !Tuner || !Tuner->Configured() || Tuner->Hold();
}

void TMainForm::EnableControls(bool Flag) {
  const bool antenna = Settings.InputAntenna != 0;
  // Tuning and the band scan belong to the antenna input; with the MPX input
  // they stay off, and a scan must not sweep the band on the MPX input.
  QWidget* tuning[] = {ui_->edFreq,         ui_->btnSET,     ui_->btnLeft, ui_->btnRight, ui_->btnSearchLeft,
                       ui_->btnSearchRight, ui_->RadioTrack, ui_->pr1,     ui_->pr2,      ui_->pr3,
                       ui_->pr4,            ui_->pr5,        ui_->prs1,    ui_->prs2,     ui_->prs3,
                       ui_->prs4,           ui_->prs5,       ui_->btnBandAnalyzer};
  for (QWidget* w : tuning) w->setEnabled(Flag && antenna);
  if (!antenna && BandAnalyzer && BandAnalyzer->isVisible()) BandAnalyzer->close();
  // The settings dialogs and tool windows act on the receiver or on what it
  // sends; the log viewer, help, about and quit do not and stay as they are.
  for (QWidget* w : {static_cast<QWidget*>(ui_->btnRadioSettings), static_cast<QWidget*>(ui_->btnPresets),
                     static_cast<QWidget*>(ui_->btnLogSettings), static_cast<QWidget*>(ui_->btnMPXGraph),
                     static_cast<QWidget*>(ui_->btnGroupAnalyze), static_cast<QWidget*>(ui_->btnRemote),
                     static_cast<QWidget*>(ui_->rbANT),
                     static_cast<QWidget*>(ui_->rbMPX), static_cast<QWidget*>(ui_->pcRDS),
                     static_cast<QWidget*>(ui_->FreqBox), static_cast<QWidget*>(ui_->imgStereo),
                     static_cast<QWidget*>(ui_->imgRDS), static_cast<QWidget*>(ui_->imgTuned)})
    w->setEnabled(Flag);
  for (TDualImage1* lamp : groupLamps_)
    if (lamp) lamp->setEnabled(Flag);
  if (FreqDisplay) FreqDisplay->SetEnabled(Flag);
  (antenna ? ui_->rbANT : ui_->rbMPX)->setChecked(true);
  SetDisplayBackground(Flag ? kDisplayEnabledColor : kDisplayDisabledColor);
  if (!Flag) ui_->pbLevel->setValue(0);
  (Settings.RBDS ? ui_->rbRBDS : ui_->rbRDS)->setChecked(true);
  if (RDSCollector) RDSCollector->SetRBDSMode(Settings.RBDS ? 1 : 0);
}

void TMainForm::GroupLighterTimer() {
  const TDateTime now = devices_.Clock().Now();
  for (int i = 0; i < 32; ++i) {
    if (!groupLamps_[i]) continue;
    const bool lit = GroupSeen[i] != 0 && dt::MillisecondsBetween(GroupSeen[i], now) < kLampLitMs;
    if (groupLamps_[i]->Enabled() != lit) groupLamps_[i]->SetEnabled(lit);
  }
}

void TMainForm::DatabaseFault(const std::string& what) {
  devices_.Trace("error", what);
  // Shown once the callback that hit the fault has returned.
  QTimer::singleShot(0, this, [this, what] {
    if (!Closing) devices_.MessageBox(what, "Error", IMainDevices::TBoxIcon::Error);
  });
}

void TMainForm::LogChange(int kind, int value, const std::string& text) {
  if (kind == 37) devices_.Trace("system", text);
  if (DM) DM->LogChange(kind, value, text);
}
