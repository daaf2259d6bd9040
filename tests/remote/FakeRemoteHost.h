#pragma once
// The remote dialog's host without a main window: records what the dialog
// asks of the receiver and the main window. (Also the command fuzz target's.)
#include <map>
#include <vector>

#include "remote/RemoteHost.h"

class TFakeRemoteHost : public IRemoteHost {
 public:
  int32_t Tenths = 1015;
  bool Injection = false;
  std::array<uint8_t, 8> Info{0x21, 3, 0xDE, 0xAD, 0xBE, 0xEF, 0, 0};
  bool Held = false, Controls = true, Usb = true, Active = false;
  std::vector<double> Tuned;
  std::vector<std::vector<uint8_t>> Sent;
  std::map<TCode, int32_t> Codes;
  std::string Steps, Errors;
  int Saves = 0, Clears = 0;
  TSettingsRecord Record{};
  std::string Changes;  // what TakeRemoteChanges hands out next
  std::map<std::string, std::string> Vars;
  std::function<void(const uint8_t*, int)> Scan;
  TMainThreadInvoker* Owner = nullptr;
  TRemoteCapture Capture;
  TRemotePorts Ports;
  IClock* Time = nullptr;  // the system's clock when none

  int32_t FreqTenths() override { return Tenths; }
  void SetFrequency(double MHz) override { Tuned.push_back(MHz); }
  bool InjectionSide() override { return Injection; }
  std::array<uint8_t, 8> DeviceInfo() override { return Info; }
  void SetHold(bool Value) override { Held = Value; }
  void SetConfigCode(TCode Which, int32_t Code) override { Codes[Which] = Code; }
  void Send(const std::vector<uint8_t>& Bytes) override { Sent.push_back(Bytes); }
  void SetScanHandler(std::function<void(const uint8_t*, int)> H) override { Scan = std::move(H); }
  TSettingsRecord& Settings() override { return Record; }
  void SaveSettings() override { ++Saves; }
  void SelectInput(bool Antenna) override { Record.InputAntenna = Antenna; }
  void SelectRBDS(bool RBDS) override { Record.RBDS = RBDS; }
  void Step(char Direction) override { Steps += Direction; }
  void EnableControls(bool Flag) override { Controls = Flag; }
  bool UsbLampOn() override { return Usb; }
  void SetRemoteActive(bool A) override { Active = A; }
  void ClearRemoteVars() override { ++Clears; }
  std::string TakeRemoteChanges() override { return std::exchange(Changes, ""); }
  void SetRemoteVar(const std::string& N, const std::string& V, bool) override { Vars[N] = V; }
  void AppendRemoteVar(const std::string& N, const std::string& V) override {
    Vars[N] += (Vars[N].empty() ? "" : "!") + V;
  }
  TMainThreadInvoker& Invoker() override { return *Owner; }
  TRemoteCapture CaptureDevices() override { return Capture; }
  std::string LocalAddress() override { return "127.0.0.2"; }
  TRemotePorts ServerPorts() override { return Ports; }
  IClock& Clock() override { return Time ? *Time : SystemClock(); }
  void ShowError(const std::string& Text) override { Errors += Text; }
};
