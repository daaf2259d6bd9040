#pragma once
// What the main window needs from outside to build its device objects: the
// USB pipes behind the transport, the clock, the main-thread invoker, the
// program file's name and the way message boxes are answered. The program
// hands it libusb; the simulated build and the tests hand it a simulated
// receiver, a private program folder and, where they like, their own clock.
#include <memory>
#include <string>

#include "platform/Clock.h"
#include "platform/MainThreadInvoker.h"
#include "platform/UsbPipes.h"
#include "remote/RemoteHost.h"

class IMainDevices {
 public:
  virtual ~IMainDevices() = default;

  virtual IUsbPipes& UsbPipes() = 0;
  virtual IClock& Clock() = 0;
  virtual TMainThreadInvoker& Invoker() = 0;
  // The program file's full name; its folder is the program folder, where
  // RDSLOG.FDB lies and the engine files are deployed.
  virtual std::string ExePath() = 0;
  // A message box: a modal box with one OK button. Headless runs answer it
  // themselves.
  enum class TBoxIcon { Information, Warning, Error };
  virtual void MessageBox(const std::string& text, const std::string& caption, TBoxIcon icon);
  // Opens a document or web address with the desktop's default application
  // (the help file, the maker's web page). Headless runs only record it.
  virtual void OpenUrl(const std::string& url);

  // What the remote server records from (the sound cards; the simulated
  // build offers a tone) and the address it binds (the machine's first
  // non-loopback address; tests pick a loopback one).
  virtual TRemoteCapture RemoteCapture();
  virtual std::string RemoteAddress();
  // Its ports (the fixed ones; tests ask for ports the system picks).
  virtual TRemotePorts RemotePorts() { return {}; }

  // Every splash step, message box and system event passes here, so a test
  // run can follow the program from outside. The product ignores it.
  virtual void Trace(const std::string& what, const std::string& text) {}
};

// The program folder (with a trailing '/') of a program file name.
std::string ProgramFolderOf(const std::string& exePath);
