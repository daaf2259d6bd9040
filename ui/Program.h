#pragma once
// The program's main block: one instance per session, the database check,
// the splash sequence, the main window and the message loop. Both programs
// (the product over libusb and the simulated build) run it with their own
// device objects.
#include <QApplication>
#include <functional>
#include <memory>
#include <string>

#include "ui/MainDevices.h"

class TMainForm;

// Makes the device objects for the program file `exePath`. Called after the
// application object exists, on the GUI thread.
using TDevicesFactory = std::function<std::unique_ptr<IMainDevices>(const std::string& exePath)>;

struct TProgramHooks {
  // The program file's full name; empty: the running executable's.
  std::string ExePath;
  // Called once the main window is shown, before the message loop runs.
  std::function<void(TMainForm& form, IMainDevices& devices)> MainShown;
  // Called after the main window was destroyed (shut-down done).
  std::function<void(IMainDevices& devices)> Finished;
};

// Exit codes of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitNoDatabase = 2;
inline constexpr int kExitStartupFailed = 3;

inline constexpr const char* kDatabaseMissingText = "RDS Database missing or corrupt!";

// The program's application object.
// - Numbers are written and read with a decimal point whatever the user's
//   locale: the texts go into the log database and to the remote client, and
//   the edit boxes use the point too. (The base class takes the whole C
//   locale from the environment.)
// - An exception that an event handler lets escape is shown
//   (ShowControlException) and the event loop goes on, rather than ending the
//   process without its shut-down.
class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

int RunProgram(int& argc, char** argv, const TDevicesFactory& makeDevices, const TProgramHooks& hooks = {});
