// The main window's controls: tuning entry, channel steps, seek, the slider,
// the presets, the input and presentation buttons, the settings dialogs, the
// tool buttons and the window's own move and maximise handling.
#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMoveEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <cstdlib>
#include <exception>
#include <filesystem>

#include "controls/DBCtrlsEx.h"
#include "logstore/logview.h"
#include "platform/Format.h"
#include "receiver/DeviceProtocol.h"
#include "receiver/shared.h"
#include "ui/band/BandAnalyzer.h"
#include "ui/ColorButton.h"
#include "ui/DialogStyle.h"
#include "ui/ImageEx.h"
#include "ui/Main.h"
#include "ui/mpx/MPXGraph.h"
#include "ui/MainRemote.h"
#include "ui/RadioSettings.h"
#include "ui/SettingsApply.h"
#include "ui/about.h"
#include "ui/groupanalyze.h"
#include "ui/log_settings.h"
#include "ui/presets.h"
#include "ui_Main.h"

using namespace proto;

namespace {

constexpr const char* kHelpMissingText = "Unable to Locate Help File!";
constexpr const char* kRemoteFileName = "fw.rrf";
constexpr const char* kRemoteMissingText = "Remote Resource File missing or corrupt!\nUnable to Proceed.";

// A frequency text as the preset buttons show it, read with the same decimal
// separator it was written with.
double FreqOfText(const std::string& text) {
  const std::string normal = NormalizeFreqText(text);
  char* end = nullptr;
  const double value = std::strtod(normal.c_str(), &end);
  return end == normal.c_str() ? kBandLowMHz : value;
}

}  // namespace

void TMainForm::ConnectControls() {
  ui_->edFreq->OnKeyUp = [this](QObject* sender, int& key, Qt::KeyboardModifiers shift) {
    edFreqKeyUp(sender, key, shift);
  };
  connect(ui_->btnSET, &QPushButton::clicked, this, [this] { btnSETClick(); });
  ui_->btnLeft->OnClick = [this](QObject*) { btnLeftClick(); };
  ui_->btnRight->OnClick = [this](QObject*) { btnRightClick(); };
  ui_->btnSearchLeft->OnClick = [this](QObject*) { btnSearchLeftClick(); };
  ui_->btnSearchRight->OnClick = [this](QObject*) { btnSearchRightClick(); };
  connect(ui_->RadioTrack, &QSlider::valueChanged, this, [this] { RadioTrackChange(); });
  connect(radioTrackWatch_, &QTimer::timeout, this, [this] { RadioTrackWatchTimer(); });

  for (QPushButton* pr : {ui_->pr1, ui_->pr2, ui_->pr3, ui_->pr4, ui_->pr5})
    connect(pr, &QPushButton::clicked, this, [this, pr] { PresetRecall(pr); });
  for (QToolButton* prs : {ui_->prs1, ui_->prs2, ui_->prs3, ui_->prs4, ui_->prs5})
    connect(prs, &QToolButton::clicked, this, [this, prs] { PresetSave(prs); });

  connect(ui_->rbANT, &QRadioButton::clicked, this, [this] { rbANTClick(); });
  connect(ui_->rbMPX, &QRadioButton::clicked, this, [this] { rbMPXClick(); });
  connect(ui_->rbRDS, &QRadioButton::clicked, this, [this] { rbRDSClick(); });
  connect(ui_->rbRBDS, &QRadioButton::clicked, this, [this] { rbRBDSClick(); });

  const std::pair<QPushButton*, void (TMainForm::*)()> buttons[] = {
      {ui_->btnQuit, &TMainForm::btnQuitClick},
      {ui_->btnHelp, &TMainForm::btnHelpClick},
      {ui_->btnAbout, &TMainForm::btnAboutClick},
      {ui_->btnRadioSettings, &TMainForm::btnRadioSettingsClick},
      {ui_->btnPresets, &TMainForm::btnPresetsClick},
      {ui_->btnLogSettings, &TMainForm::btnLogSettingsClick},
      {ui_->btnLogView, &TMainForm::btnLogViewClick},
      {ui_->btnBandAnalyzer, &TMainForm::btnBandAnalyzerClick},
      {ui_->btnMPXGraph, &TMainForm::btnMPXGraphClick},
      {ui_->btnGroupAnalyze, &TMainForm::btnGroupAnalyzeClick},
      {ui_->btnRemote, &TMainForm::btnRemoteClick}};
  for (const auto& [button, handler] : buttons)
    connect(button, &QPushButton::clicked, this, [this, handler = handler] { (this->*handler)(); });

  ui_->ImageEx1->OnMouseUp = [this](QObject* sender, Qt::MouseButton button, QPoint pos) {
    ImageEx1MouseUp(sender, button, pos);
  };
  ui_->ImageEx1->OnMouseEnter = [this](QObject* sender) { ImageEx1MouseEnter(sender); };
  ui_->ImageEx1->OnMouseLeave = [this](QObject* sender) { ImageEx1MouseLeave(sender); };
}

// ---- Tuning ----------------------------------------------------------------------

void TMainForm::TuneTo(double MHz) {
  if (Tuner) Tuner->SetFrequency(MHz);
}

void TMainForm::edFreqKeyUp(QObject*, int& Key, Qt::KeyboardModifiers) {
  if (Key == Qt::Key_Return || Key == Qt::Key_Enter) btnSETClick();
}

void TMainForm::btnSETClick() {
  TDBNumberEditEx* ed = ui_->edFreq;
  if (!ed->Value()) ed->SetValue(kBandLowMHz);
  const double mhz = ClampFreq(*ed->Value());
  ed->SetValue(mhz);
  TuneTo(mhz);
}

void TMainForm::StepChannel(int Direction) {
  if (!Tuner || !Tuner->Tuned()) return;
  const int step = Settings.Spacing;
  int t = FreqToTenths(Tuner->TargetFreq()) + Direction * step;
  if (Direction > 0 ? t > FreqToTenths(kBandHighMHz) : t < FreqToTenths(kBandLowMHz)) return;
  // With the 200 kHz step the receiver stays on odd tenths.
  if (t % 2 == 0 && step == 2) t -= Direction;
  TuneTo(t / 10.0);
}

void TMainForm::btnLeftClick() { StepChannel(-1); }

void TMainForm::btnRightClick() { StepChannel(+1); }

void TMainForm::btnSearchLeftClick() {
  if (Tuner && Tuner->Tuned()) Tuner->SeekDown();
}

void TMainForm::btnSearchRightClick() {
  if (Tuner && Tuner->Tuned()) Tuner->SeekUp();
}

// ---- Slider ----------------------------------------------------------------------

void TMainForm::SetTrackPosition(int Index) {
  // The tuner reporting where it is, not the user moving the slider.
  const QSignalBlocker block(ui_->RadioTrack);
  ui_->RadioTrack->setValue(Index);
}

void TMainForm::RadioTrackChange() {
  SetFreqEdit(ChannelIndexToFreq(ui_->RadioTrack->value()));
  // A running timer keeps its rhythm: the tune follows 2 to 4 s after the
  // last move.
  if (!radioTrackWatch_->isActive()) radioTrackWatch_->start();
  LastTrackMoveMs = devices_.Clock().SteadyMs();
}

bool TMainForm::RadioTrackWatchActive() const { return radioTrackWatch_->isActive(); }

void TMainForm::DropTrackMove() {
  if (!radioTrackWatch_->isActive()) return;
  radioTrackWatch_->stop();
  // The slider and the frequency box show where the receiver is again, not
  // a frequency it will not go to.
  if (!Tuner) return;
  SetTrackPosition(FreqToChannelIndex(Tuner->TargetFreq()));
  SetFreqEdit(Tuner->TargetFreq());
}

void TMainForm::RadioTrackWatchTimer() {
  // A move made before the replay began or the MPX input was chosen is void:
  // neither may move the receiver.
  if (ReplayMode || !Settings.InputAntenna) {
    DropTrackMove();
    return;
  }
  // A scan, an analysis or a remote scan's hold: the tune waits for its end.
  if (ControlsHeldOff() || !Tuner->Tuned()) return;
  const int position = ui_->RadioTrack->value();
  if (position == FreqToChannelIndex(Tuner->TargetFreq())) {
    // Back where the receiver is: nothing left to do. A timer left running
    // would later pull the receiver back to this position once something
    // else has tuned it elsewhere.
    radioTrackWatch_->stop();
    return;
  }
  if (devices_.Clock().SteadyMs() - LastTrackMoveMs < kTrackSettleMs) return;
  TuneTo(ChannelIndexToFreq(position));
  radioTrackWatch_->stop();
}

// ---- Presets ---------------------------------------------------------------------

void TMainForm::PresetRecall(QObject* Sender) {
  auto* button = qobject_cast<QPushButton*>(Sender);
  if (!button) return;
  TuneTo(FreqOfText(button->text().toStdString()));
}

void TMainForm::PresetSave(QObject* Sender) {
  QToolButton* stores[] = {ui_->prs1, ui_->prs2, ui_->prs3, ui_->prs4, ui_->prs5};
  QPushButton* recalls[] = {ui_->pr1, ui_->pr2, ui_->pr3, ui_->pr4, ui_->pr5};
  if (!Tuner) return;
  for (int n = 0; n < 5; ++n) {
    if (stores[n] != Sender) continue;
    const double target = Tuner->TargetFreq();
    Settings.Presets[n] = static_cast<uint8_t>(FreqToChannelIndex(target));
    recalls[n]->setText(QString::fromStdString(FormatFreq(target)));
    SaveSettings();
    return;
  }
}

// ---- Input and presentation ------------------------------------------------------

void TMainForm::SendModeCommand(int CodeIndex, uint8_t Command) {
  if (Tuner) Tuner->SetConfigCode(CodeIndex, Command);
  if (ComUSB) {
    ComUSB->ClearBuffer();
    ComUSB->SendBytes({Command});
  }
  ResetDisplay();
  // Whatever keeps the controls off keeps them off: a mode switched during a
  // scan, a replay or without a receiver must not hand out the receiver.
  if (!ControlsHeldOff()) EnableControls(true);
}

void TMainForm::rbANTClick() {
  if (Settings.InputAntenna) return;
  Settings.InputAntenna = 1;
  SaveSettings();
  SendModeCommand(ccInput, cmdInputAntenna);
  LogChange(TDModule::kModeChange, 0, "MODE=ANT");
}

void TMainForm::rbMPXClick() {
  if (!Settings.InputAntenna) return;
  Settings.InputAntenna = 0;
  DropTrackMove();  // the MPX input has no frequency to tune
  SaveSettings();
  SendModeCommand(ccInput, cmdInputMPX);
  LogChange(TDModule::kModeChange, 1, "MODE=MPX");
}

void TMainForm::rbRDSClick() {
  if (RDSCollector) RDSCollector->SetRBDSMode(0);
  if (!Settings.RBDS) return;
  ui_->lblPICaption->setText("PI");
  if (MPXGraph) MPXGraph->SetDeviationUnits(0);
  Settings.RBDS = 0;
  SaveSettings();
  SendModeCommand(ccMode, cmdModeRDS);
  LogChange(TDModule::kModeChange, 2, "MODE=RDS");
}

void TMainForm::rbRBDSClick() {
  if (RDSCollector) RDSCollector->SetRBDSMode(1);
  if (Settings.RBDS) return;
  ui_->lblPICaption->setText("CALL");
  // A replayed log is only shown in the other presentation.
  if (ReplayMode) return;
  if (MPXGraph) MPXGraph->SetDeviationUnits(1);
  Settings.RBDS = 1;
  SaveSettings();
  SendModeCommand(ccMode, cmdModeRBDS);
  LogChange(TDModule::kModeChange, 3, "MODE=RBDS");
}

// ---- Dialogs ---------------------------------------------------------------------

void TMainForm::btnRadioSettingsClick() {
  const uint8_t firmware = Tuner ? Tuner->Calibration().Firmware() : 0;
  TSettingsOutlet out;
  out.Send = [this](uint8_t command) {
    if (ComUSB) ComUSB->SendBytes({command});
  };
  out.SetConfigCode = [this](int index, int32_t code) {
    if (Tuner) Tuner->SetConfigCode(index, code);
  };
  out.Save = [this](const TSettingsRecord&) { SaveSettings(); };
  // The level buttons preview their level on the band analyzer's chart.
  TRadioSettingsForm::Execute(this, Settings, firmware, out, [this](int level) {
    if (BandAnalyzer) BandAnalyzer->SetSearchBandStart(level);
  });
}

void TMainForm::btnPresetsClick() {
  const auto captions = TPresetsForm::Execute(this, Settings, [this](const TSettingsRecord&) { SaveSettings(); });
  if (!captions) return;
  QPushButton* recalls[] = {ui_->pr1, ui_->pr2, ui_->pr3, ui_->pr4, ui_->pr5};
  for (int n = 0; n < 5; ++n) recalls[n]->setText(QString::fromStdString((*captions)[n]));
}

void TMainForm::btnLogSettingsClick() {
  // A changed keep time takes effect at the next start.
  TLogSettingsForm::Execute(this, Settings, [this](const TSettingsRecord&) { SaveSettings(); });
}

void TMainForm::btnAboutClick() {
  TDeviceInfoBytes info{};
  if (Tuner) info = Tuner->Calibration().Info;
  TAboutForm about(this, info);
  about.exec();
}

// ---- Tool buttons ----------------------------------------------------------------

void TMainForm::btnQuitClick() { close(); }

std::string TMainForm::HelpFileName() const {
  return std::filesystem::path(ExePath).replace_extension(".chm").string();
}

void TMainForm::btnHelpClick() {
  const std::string help = HelpFileName();
  if (QFileInfo(QString::fromStdString(help)).isFile()) {
    devices_.OpenUrl(QUrl::fromLocalFile(QString::fromStdString(help)).toString().toStdString());
  } else {
    devices_.MessageBox(kHelpMissingText, "Error", IMainDevices::TBoxIcon::Error);
  }
}

void TMainForm::btnLogViewClick() {
  if (!DM) return;
  DM->Commit();  // the viewer reads what is committed
  try {
    TLogViewForm viewer(this, DM->DatabaseName());
    viewer.exec();
  } catch (const std::exception& e) {
    devices_.MessageBox(std::string("The log cannot be shown: ") + e.what(), "Error", IMainDevices::TBoxIcon::Error);
  }
}

void TMainForm::btnBandAnalyzerClick() {
  if (!BandAnalyzer) return;
  if (BandAnalyzer->isVisible()) {
    BandAnalyzer->close();
    return;
  }
  BandAnalyzer->show();
  BandAnalyzer->raise();
}

void TMainForm::btnMPXGraphClick() {
  if (!MPXGraph) return;
  MPXGraph->setVisible(!MPXGraph->isVisible());
}

void TMainForm::btnRemoteClick() {
  const std::string file = ProgramFolderOf(ExePath) + kRemoteFileName;
  if (!QFileInfo(QString::fromStdString(file)).isFile()) {
    devices_.MessageBox(kRemoteMissingText, QApplication::applicationName().toStdString(),
                        IMainDevices::TBoxIcon::Information);
    return;
  }
  // Closed, not hidden: a scan or an analysis stops and Band Info goes too.
  if (BandAnalyzer) BandAnalyzer->close();
  if (MPXGraph) MPXGraph->close();
  ShowRemoteDialog(*this);
}

void TMainForm::btnGroupAnalyzeClick() {
  if (!GroupAnalyzer) return;
  if (GroupAnalyzer->isVisible()) {
    GroupAnalyzer->hide();
    return;
  }
  PlaceBeside(GroupAnalyzer, this);
  GroupAnalyzer->show();
  // Its frame's size is known only once shown.
  PlaceBeside(GroupAnalyzer, this);
}

// ---- Logo ------------------------------------------------------------------------

void TMainForm::ImageEx1MouseUp(QObject*, Qt::MouseButton Button, QPoint Pos) {
  if (Button != Qt::LeftButton || !ui_->ImageEx1->rect().contains(Pos)) return;
  devices_.OpenUrl(kMakerWebPage);
}

void TMainForm::ImageEx1MouseEnter(QObject*) { ui_->ImageEx1->setCursor(Qt::PointingHandCursor); }

void TMainForm::ImageEx1MouseLeave(QObject*) { ui_->ImageEx1->unsetCursor(); }

// ---- Window ----------------------------------------------------------------------

bool TMainForm::WMSysCommand(Qt::WindowStates Requested) {
  if (!(Requested & Qt::WindowMaximized)) return false;
  setWindowState(Requested & ~Qt::WindowMaximized);
  QScreen* s = screen();
  if (!s) return true;
  const QRect work = s->availableGeometry();
  move(s->geometry().left(), work.bottom() + 1 - frameGeometry().height());
  return true;
}

void TMainForm::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || !(windowState() & Qt::WindowMaximized)) return;
  // Undone once the platform has finished maximising.
  QTimer::singleShot(0, this, [this] { WMSysCommand(windowState()); });
}

void TMainForm::WMMove() {
  if (GroupAnalyzer && GroupAnalyzer->isVisible()) PlaceBeside(GroupAnalyzer, this);
}

void TMainForm::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  WMMove();
}

// ---- Settings row ----------------------------------------------------------------

bool TMainForm::SaveSettings() {
  if (!DM) return false;
  std::string error;
  try {
    DM->SaveConfig(Settings);
    settingsFaultReported_ = false;
    return true;
  } catch (const std::exception& e) {
    error = e.what();
  } catch (...) {
    error = "unknown error";
  }
  const std::string text = "Saving the settings failed: " + error;
  if (settingsFaultReported_) {
    devices_.Trace("error", text);
    return false;
  }
  settingsFaultReported_ = true;
  DatabaseFault(text);
  return false;
}
