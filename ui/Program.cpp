#include "ui/Program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "chart/ChartToolRegistration.h"
#include "controls/ToolCtrlsEx.h"
#include "logstore/FbShutdown.h"
#include "logstore/LogDatabase.h"
#include "ui/Main.h"
#include "ui/SingleInstance.h"
#include "ui/Splash.h"

namespace {

// SIGTERM and SIGINT close the main window the normal way, so the shut-down
// runs in full: the handler only writes a byte that the GUI thread reads.
int gSignalFds[2] = {-1, -1};

void OnSignal(int) {
  const char b = 1;
  [[maybe_unused]] ssize_t n = ::write(gSignalFds[0], &b, 1);
}

class TSignalCloser {
 public:
  explicit TSignalCloser(std::function<void()> onSignal) : onSignal_(std::move(onSignal)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalFds) != 0) return;
    ::fcntl(gSignalFds[0], F_SETFL, O_NONBLOCK);
    ::fcntl(gSignalFds[1], F_SETFL, O_NONBLOCK);
    notifier_ = std::make_unique<QSocketNotifier>(gSignalFds[1], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
      char buf[16];
      while (::read(gSignalFds[1], buf, sizeof buf) > 0) {
      }
      onSignal_();
    });
    Install();
  }
  // The database engine puts its own handlers in place when it first
  // attaches (they would cut its connections before the shut-down could log
  // and back up); installing ours again afterwards keeps the normal close.
  void Install() {
    if (!notifier_) return;
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
  }
  ~TSignalCloser() {
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    notifier_.reset();
    for (int& fd : gSignalFds) {
      if (fd >= 0) ::close(fd);
      fd = -1;
    }
  }

 private:
  std::function<void()> onSignal_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

// Errors that reach the event loop are shown through the program's own
// message box, which the simulated build records instead of showing.
class TErrorReportScope {
 public:
  explicit TErrorReportScope(IMainDevices& devices) {
    SetControlExceptionHandler([&devices](const std::exception& e) {
      devices.MessageBox(e.what(), QApplication::applicationDisplayName().toStdString(),
                         IMainDevices::TBoxIcon::Error);
    });
  }
  ~TErrorReportScope() { SetControlExceptionHandler(nullptr); }
  TErrorReportScope(const TErrorReportScope&) = delete;
  TErrorReportScope& operator=(const TErrorReportScope&) = delete;
};

}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  std::setlocale(LC_NUMERIC, "C");
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowControlException(e);
  } catch (...) {
    ShowControlException(std::runtime_error("Unknown error"));
  }
  return false;
}

int RunProgram(int& argc, char** argv, const TDevicesFactory& makeDevices, const TProgramHooks& hooks) {
  TApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);

  // One instance per session: a second start hands over and ends.
  TNamedMutex mutex(kOneInstanceName);
  if (mutex.AlreadyExists()) {
    RegisterWindowMessage(kOneInstanceName);
    TMessageBus::SendToRunning(TMessageBus::DefaultSocketPath(), kOneInstanceName, 0, 0, 3000);
    return kExitOk;
  }

  const std::string exePath =
      hooks.ExePath.empty() ? QCoreApplication::applicationFilePath().toStdString() : hooks.ExePath;
  std::unique_ptr<IMainDevices> devices = makeDevices(exePath);
  TErrorReportScope errorReports(*devices);

  // The database lies beside the program file, whatever the current folder.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(ProgramFolderOf(exePath) + kLogDatabaseFile, ec)) {
    devices->MessageBox(kDatabaseMissingText, "Error", IMainDevices::TBoxIcon::Error);
    return kExitNoDatabase;
  }

  TMessageBus bus;
  TMainForm* form = nullptr;
  bool closeRequested = false;
  bool shuttingDown = false;
  TSignalCloser signalCloser([&] {
    if (shuttingDown) return;
    if (form)
      form->close();
    else
      closeRequested = true;  // still starting: close as soon as the window exists
  });

  auto* splash = new TSplashForm(nullptr, devices->Clock());
  splash->show();
  splash->repaint();
  QApplication::processEvents();

  QApplication::setApplicationName("Fenwisk");
  // The chart tool classes are registered while the windows live.
  RegisterChartToolTypes();

  try {
    form = new TMainForm(*devices, splash, &bus);
  } catch (const std::exception& e) {
    // The window cleaned up after itself (device objects, engine files).
    delete splash;
    RemoveChartToolTypes();
    devices->MessageBox(e.what(), "Error", IMainDevices::TBoxIcon::Error);
    fb::ShutdownClient();
    return kExitStartupFailed;
  }
  splash->hide();
  delete splash;
  signalCloser.Install();

  QObject::connect(form, &TMainForm::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
  form->show();
  if (hooks.MainShown) hooks.MainShown(*form, *devices);
  if (closeRequested) form->close();
  app.exec();

  shuttingDown = true;
  form->hide();
  delete form;
  RemoveChartToolTypes();
  if (hooks.Finished) hooks.Finished(*devices);
  fb::ShutdownClient();
  return kExitOk;
}
