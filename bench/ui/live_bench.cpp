// The cost of watching a station: the main window over the simulated receiver
// (offscreen, in a throw-away program folder), tuned to a station that sends
// RDS, for a while. The receiver sends its status 50 times a second and RDS
// at the rate it has on air, as the real one does. Prints the process's CPU
// time per second of wall time as its last line, counted from the moment the
// station is tuned and its programme service name shown.
//
//   live_bench [--seconds N] [--scenario FILE] [--mpx] [--band]
//
// --seconds N   how long to watch (default 60)
// --scenario    the simulated band (default: the demo band)
// --mpx         with the MPX analyzer open
// --band        with the band analyzer open
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

#include "BenchRun.h"
#include "support/SimMainDevices.h"
#include "support/TempProgramFolder.h"
#include "support/TestPaths.h"
#include "ui/Main.h"

namespace {

struct TOptions {
  int Seconds = 60;
  std::string Scenario = TestSourceDir() + "/packaging/demo/band.txt";
  bool Mpx = false;
  bool Band = false;
};

bool Parse(int argc, char** argv, TOptions& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--seconds" && hasValue) o.Seconds = std::atoi(argv[++i]);
    else if (a == "--scenario" && hasValue) o.Scenario = argv[++i];
    else if (a == "--mpx") o.Mpx = true;
    else if (a == "--band") o.Band = true;
    else return false;
  }
  return o.Seconds > 0;
}

double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Serves events in the event loop, as the program does, until done() or the
// time-out (processEvents in a loop would spin and count its own time);
// without done() it only waits.
bool Serve(const std::function<bool()>& done, int timeoutMs) {
  QEventLoop loop;
  QTimer poll, limit;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done && done()) loop.quit();
  });
  QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
  if (done) poll.start(50);
  limit.setSingleShot(true);
  limit.setTimerType(Qt::PreciseTimer);
  limit.start(timeoutMs);
  loop.exec();
  return done && done();
}

// A private session folder, as the desktop gives one; inside the run's
// folder, so a killed run leaves none behind.
struct TSessionFolder {
  std::filesystem::path Path;
  TSessionFolder() {
    std::string tmpl = BenchRunFolder() + "/fw-live-bench-XXXXXX";
    Path = mkdtemp(tmpl.data());
    setenv("XDG_RUNTIME_DIR", Path.c_str(), 1);
  }
  ~TSessionFolder() {
    std::error_code ec;
    std::filesystem::remove_all(Path, ec);
  }
};

}  // namespace

int main(int argc, char** argv) {
  TOptions o;
  if (!Parse(argc, argv, o)) {
    std::fprintf(stderr, "usage: live_bench [--seconds N] [--scenario FILE] [--mpx] [--band]\n");
    return 64;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  TSessionFolder session;
  QApplication app(argc, argv);
  QApplication::setApplicationName("Fenwisk");

  TTempProgramFolder folder;
  TSimMainDevices devices(folder.Path() + "fenwisk_sim");
  devices.Receiver.LoadScenario(o.Scenario);
  devices.Receiver.SetStatusIntervalMs(20);
  double cpuMs = 0, wallMs = 0;
  size_t packets = 0;
  {
    TMainForm form(devices, nullptr, nullptr);
    form.show();
    auto* ps = form.findChild<QLabel*>("lblPSConfirmed");
    if (!Serve([&] { return devices.CountOf("tuned", "87.0") > 0 && ps && !ps->text().isEmpty(); }, 60000)) {
      std::fprintf(stderr, "live_bench: the station was not shown\n");
      return 1;
    }
    if (o.Mpx) form.btnMPXGraphClick();
    if (o.Band) form.btnBandAnalyzerClick();
    Serve(nullptr, 1000);  // the analyzers' own start-up

    const size_t packets0 = devices.Receiver.PacketsRead();
    const double cpu0 = CpuMs();
    QElapsedTimer wall;
    wall.start();
    Serve(nullptr, o.Seconds * 1000);
    cpuMs = CpuMs() - cpu0;
    wallMs = static_cast<double>(wall.elapsed());
    packets = devices.Receiver.PacketsRead() - packets0;
  }
  std::printf("seconds=%.1f packets_per_s=%.1f\n", wallMs / 1000, packets * 1000.0 / wallMs);
  std::printf("cpu_ms_per_s=%.2f\n", cpuMs * 1000.0 / wallMs);
  return 0;
}
