#pragma once
// The main window's device objects over the simulated receiver, for the
// simulated build of the program and for tests that build a main window in
// their own process. Message boxes are recorded (and shown only when
// ShowMessageBoxes is set), and every trace the program gives is kept (and,
// when a sink is set, passed on).
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "support/SimReceiver.h"
#include "ui/MainDevices.h"

class TSimMainDevices final : public IMainDevices {
 public:
  // Call on the GUI thread (the invoker belongs to it).
  explicit TSimMainDevices(std::string exePath, IClock& clock = SystemClock());
  ~TSimMainDevices() override;

  TSimReceiver Receiver;

  IUsbPipes& UsbPipes() override { return Receiver; }
  IClock& Clock() override { return clock_; }
  TMainThreadInvoker& Invoker() override { return *invoker_; }
  std::string ExePath() override { return exePath_; }
  void MessageBox(const std::string& text, const std::string& caption, TBoxIcon icon) override;
  // Set for the simulated program run by a person, who must see what the
  // product would show instead of a window that never comes.
  bool ShowMessageBoxes = false;
  // Recorded as an "open" trace; passed to the desktop only when
  // OpenUrlsForReal is set (the simulated program run by hand).
  void OpenUrl(const std::string& url) override;
  bool OpenUrlsForReal = false;
  void Trace(const std::string& what, const std::string& text) override;
  // The remote server records the tone and binds RemoteBindAddress.
  TRemoteCapture RemoteCapture() override;
  std::string RemoteAddress() override { return RemoteBindAddress; }
  std::string RemoteBindAddress = "127.0.0.2";
  // The fixed ports unless a test asks for free ones ({0, 0, 0}).
  TRemotePorts RemotePorts() override { return RemoteServerPorts; }
  TRemotePorts RemoteServerPorts;

  using TTraceSink = std::function<void(const std::string& what, const std::string& text)>;
  void SetTraceSink(TTraceSink sink);
  std::vector<std::pair<std::string, std::string>> Traces() const;
  // The texts of every trace of one kind, in order.
  std::vector<std::string> TracesOf(const std::string& what) const;
  size_t CountOf(const std::string& what, const std::string& text) const;

 private:
  std::string exePath_;
  IClock& clock_;
  std::unique_ptr<TMainThreadInvoker> invoker_;
  mutable std::mutex mutex_;
  std::vector<std::pair<std::string, std::string>> traces_;
  TTraceSink sink_;
};
