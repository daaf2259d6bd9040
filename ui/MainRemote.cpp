#include "ui/MainRemote.h"

#include <QEvent>

#include "remote/Remote.h"
#include "remote/RemoteAudio.h"
#include "ui/DialogStyle.h"
#include "ui/DualImage1.h"
#include "ui/Main.h"
#include "ui/RemoteObject.h"
#include "ui/SettingsApply.h"
#include "ui/groupanalyze.h"
#include "ui_Main.h"

TRemoteCapture IMainDevices::RemoteCapture() { return SoundCardCapture(); }

std::string IMainDevices::RemoteAddress() { return GetLocalIP(); }

namespace {

// The remote dialog's view of the main window, its tuner and its settings.
class TMainRemoteHost final : public IRemoteHost {
 public:
  explicit TMainRemoteHost(TMainForm& Main) : M(Main) {}
  ~TMainRemoteHost() override { SetScanHandler(nullptr); }

  int32_t FreqTenths() override { return M.Tuner ? M.Tuner->FreqTenths() : 0; }
  void SetFrequency(double MHz) override {
    if (M.Tuner) M.Tuner->SetFrequency(MHz);
  }
  bool InjectionSide() override { return M.Tuner && M.Tuner->InjectionSide(); }
  std::array<uint8_t, 8> DeviceInfo() override { return M.Tuner ? M.Tuner->Calibration().Info : std::array<uint8_t, 8>{}; }
  void SetHold(bool Value) override { M.SetTunerHold(Value); }
  void SetConfigCode(TCode Which, int32_t Code) override {
    const int index = Which == TCode::StopLevel ? ccStopLevel : Which == TCode::Spacing ? ccSpacing : ccSensitivity;
    if (M.Tuner) M.Tuner->SetConfigCode(index, Code);
  }
  void Send(const std::vector<uint8_t>& Bytes) override {
    if (M.ComUSB && !Bytes.empty()) M.ComUSB->Send(Bytes.data(), static_cast<int>(Bytes.size()) - 1);
  }
  void SetScanHandler(std::function<void(const uint8_t*, int)> Handler) override {
    if (!M.ComUSB) return;
    // Registering the same code again takes the handler off the list.
    if (scanRegistered_) M.ComUSB->RegisterDataHandler(PacketTypes({3}), TOnDataEvent(std::string(kScanCode), nullptr));
    scanRegistered_ = static_cast<bool>(Handler);
    if (Handler) M.ComUSB->RegisterDataHandler(PacketTypes({3}), TOnDataEvent(std::string(kScanCode), std::move(Handler)));
  }
  TSettingsRecord& Settings() override { return M.Settings; }
  void SaveSettings() override { M.SaveSettings(); }
  void SelectInput(bool Antenna) override {
    (Antenna ? M.Form()->rbANT : M.Form()->rbMPX)->setChecked(true);
    Antenna ? M.rbANTClick() : M.rbMPXClick();
  }
  void SelectRBDS(bool RBDS) override {
    (RBDS ? M.Form()->rbRBDS : M.Form()->rbRDS)->setChecked(true);
    RBDS ? M.rbRBDSClick() : M.rbRDSClick();
  }
  void Step(char Direction) override {
    switch (Direction) {
      case 'L': return M.btnLeftClick();
      case 'R': return M.btnRightClick();
      case 'B': return M.btnSearchLeftClick();
      case 'F': return M.btnSearchRightClick();
    }
  }
  void EnableControls(bool Flag) override {
    // Handing the controls back waits for whatever else holds them off.
    if (!Flag || !M.ControlsHeldOff()) M.EnableControls(Flag);
  }
  bool UsbLampOn() override { return M.Form()->imgUSB->Enabled(); }
  void SetRemoteActive(bool Active) override { M.RemoteActive = Active; }
  void ClearRemoteVars() override {
    if (M.RemoteObject) M.RemoteObject->Clear();
  }
  std::string TakeRemoteChanges() override { return M.RemoteObject ? M.RemoteObject->GetChanges(true) : ""; }
  void SetRemoteVar(const std::string& Name, const std::string& Value, bool ClearAfterSend) override {
    if (M.RemoteObject) M.RemoteObject->SetVar(Name, Value, ClearAfterSend);
  }
  void AppendRemoteVar(const std::string& Name, const std::string& Value) override {
    if (M.RemoteObject) M.RemoteObject->AppendVar(Name, Value);
  }
  TMainThreadInvoker& Invoker() override { return M.Devices().Invoker(); }
  TRemoteCapture CaptureDevices() override { return M.Devices().RemoteCapture(); }
  std::string LocalAddress() override { return M.Devices().RemoteAddress(); }
  TRemotePorts ServerPorts() override { return M.Devices().RemotePorts(); }
  void ShowError(const std::string& Text) override {
    M.Devices().MessageBox(Text, "Remote Control", IMainDevices::TBoxIcon::Error);
  }

 private:
  static constexpr const char* kScanCode = "TRemoteForm::ComData";
  TMainForm& M;
  bool scanRegistered_ = false;
};

// Centres a window on the desktop each time it is shown.
class TCenterOnShow final : public QObject {
 public:
  explicit TCenterOnShow(QWidget* Window) : window_(Window) { Window->installEventFilter(this); }
  ~TCenterOnShow() override { window_->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Watched == window_ && Event->type() == QEvent::Show) CenterWindow(window_);
    return false;
  }

 private:
  QWidget* window_;
};

}  // namespace

void ShowRemoteDialog(TMainForm& Main) {
  if (Main.GroupAnalyzer) Main.GroupAnalyzer->hide();
  TMainRemoteHost host(Main);
  try {
    TRemoteForm form(&Main, host, ProgramFolderOf(Main.ExePath));
    Main.RemoteDialog = &form;
    // Centred on the desktop, not on the main window, once its layout has
    // given it its size.
    TCenterOnShow centred(&form);
    form.exec();
    Main.RemoteDialog = nullptr;
  } catch (const std::exception&) {
    // The resource file went missing or is corrupt.
    Main.Devices().MessageBox(kResourceFileMessage, "Remote Control", IMainDevices::TBoxIcon::Information);
  }
}

void EndRemoteDialog(TMainForm& Main) {
  // The modal result "abort".
  constexpr int kModalAbort = 3;
  if (Main.RemoteDialog) Main.RemoteDialog->done(kModalAbort);
}
