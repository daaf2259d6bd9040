#pragma once
// What the remote dialog needs from the rest of the program: the receiver,
// the main window, the stored settings, the remote variable table, the
// capture devices and the thread the dialog lives on. The main window
// implements it; tests hand in a fake. Every call is made on the
// user-interface thread.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "logstore/SettingsRecord.h"
#include "platform/Clock.h"
#include "platform/MainThreadInvoker.h"

class IWaveInBackend;
using TWaveInBackendFactory = std::function<std::unique_ptr<IWaveInBackend>()>;

struct TRemoteCaptureDevice {
  std::string Name;
  uint8_t Id = 0;
};

// The capture devices and what records from them (empty: the sound cards).
struct TRemoteCapture {
  std::vector<TRemoteCaptureDevice> Devices;
  TWaveInBackendFactory Backend;
};

// The ports of the HTTP pages, the command socket and the audio stream.
struct TRemotePorts {
  int Http = 8080;
  int Command = 8001;
  int Audio = 8000;
};

class IRemoteHost {
 public:
  virtual ~IRemoteHost() = default;

  // ---- The tuner
  virtual int32_t FreqTenths() = 0;
  virtual void SetFrequency(double MHz) = 0;
  virtual bool InjectionSide() = 0;
  // Firmware, hardware type, the 4-byte device ID and two more.
  virtual std::array<uint8_t, 8> DeviceInfo() = 0;
  // Set while a remote band scan runs; cleared, the receiver is tuned back
  // to the frequency it had.
  virtual void SetHold(bool Value) = 0;
  enum class TCode { StopLevel, Sensitivity, Spacing };
  virtual void SetConfigCode(TCode Which, int32_t Code) = 0;
  // One device command.
  virtual void Send(const std::vector<uint8_t>& Bytes) = 0;
  // The handler of packet type 3 (band-scan points); empty unregisters.
  virtual void SetScanHandler(std::function<void(const uint8_t* Packet, int High)> Handler) = 0;

  // ---- The settings
  virtual TSettingsRecord& Settings() = 0;
  virtual void SaveSettings() = 0;

  // ---- The main window
  virtual void SelectInput(bool Antenna) = 0;
  virtual void SelectRBDS(bool RBDS) = 0;
  // 'L'/'R': channel step down/up; 'B'/'F': seek down/up.
  virtual void Step(char Direction) = 0;
  virtual void EnableControls(bool Flag) = 0;
  virtual bool UsbLampOn() = 0;
  virtual void SetRemoteActive(bool Active) = 0;

  // ---- The remote variable table
  virtual void ClearRemoteVars() = 0;
  // The changed variables as text, clearing the marks.
  virtual std::string TakeRemoteChanges() = 0;
  virtual void SetRemoteVar(const std::string& Name, const std::string& Value, bool ClearAfterSend) = 0;
  virtual void AppendRemoteVar(const std::string& Name, const std::string& Value) = 0;

  // ---- Audio and network
  virtual TMainThreadInvoker& Invoker() = 0;
  virtual TRemoteCapture CaptureDevices() = 0;
  // The address the servers bind and the playlist names.
  virtual std::string LocalAddress() = 0;
  // The ports the servers listen on (the audio port is the dialog's initial
  // value).
  virtual TRemotePorts ServerPorts() { return {}; }
  // What the session limit and the log-in lock-out are measured with.
  virtual IClock& Clock() { return SystemClock(); }
  // Tells the user why something failed.
  virtual void ShowError(const std::string& Text) = 0;
};
