// The simulated build: the real program with the simulated receiver in place
// of libusb. A test tool; the product itself takes no options.
//
//   fenwisk_sim SCENARIO [--program-folder DIR] [--trace FILE]
//               [--screenshots DIR] [--quit-after MS] [--unplug-after MS]
//               [--remote] [--remote-address ADDR] [--remote-ports H,C,A]
//
// --program-folder  the folder taken as the program's own (RDSLOG.FDB, the
//                   engine files); default: the folder of this program file
// --trace FILE      writes every splash step, message box, system event,
//                   the number of registered chart tool classes (when the
//                   window is shown and at the end) and, at the end, every
//                   command the device received, one "what<TAB>text" line each; message boxes are then only
//                   written, not shown (without it they are shown as the
//                   product shows them)
// --screenshots DIR waits for live data, photographs every window into DIR
//                   and closes the program
// --quit-after MS   closes the main window after MS milliseconds
// --unplug-after MS unplugs the simulated receiver MS milliseconds after it
//                   was first tuned
// --remote          opens the remote dialog and starts the server on
//                   127.0.0.2, recording a simulated tone
// --remote-address ADDR  the same on ADDR (a loopback address of the test's
//                   own, so runs side by side do not share the ports)
// --remote-ports H,C,A  the HTTP, command and audio ports in place of the
//                   fixed ones, 0 for one the system picks (so the fixed
//                   ones may be held by anything else); once the server
//                   runs, the trace gets a "remote" line with the address
//                   the dialog shows
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <mutex>
#include <stdexcept>
#include <string>

#include "chart/Chart.h"
#include "support/SimMainDevices.h"
#include "support/SimRemote.h"
#include "ui/Main.h"
#include "ui/mpx/MPXGraph.h"
#include "ui/Program.h"
#include "ui/Splash.h"
#include "ui/about.h"
#include "ui/groupanalyze.h"
#include "ui/progress.h"

namespace {

struct TSimOptions {
  std::string Scenario;
  std::string ProgramFolder;
  std::string TraceFile;
  std::string ScreenshotDir;
  int QuitAfterMs = -1;
  int UnplugAfterMs = -1;
  bool Remote = false;
  std::string RemoteAddress = "127.0.0.2";
  TRemotePorts RemotePorts;
};

// "H,C,A": three port numbers of 0 to 65535.
bool ParsePorts(const std::string& Text, TRemotePorts& Ports) {
  char rest;
  if (std::sscanf(Text.c_str(), "%d,%d,%d%c", &Ports.Http, &Ports.Command, &Ports.Audio, &rest) != 3) return false;
  for (int p : {Ports.Http, Ports.Command, Ports.Audio})
    if (p < 0 || p > 65535) return false;
  return true;
}

bool ParseOptions(int argc, char** argv, TSimOptions& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--program-folder") {
      if (!value(o.ProgramFolder)) return false;
    } else if (a == "--trace") {
      if (!value(o.TraceFile)) return false;
    } else if (a == "--screenshots") {
      if (!value(o.ScreenshotDir)) return false;
    } else if (a == "--quit-after") {
      if (!value(v)) return false;
      o.QuitAfterMs = std::atoi(v.c_str());
    } else if (a == "--unplug-after") {
      if (!value(v)) return false;
      o.UnplugAfterMs = std::atoi(v.c_str());
    } else if (a == "--remote") {
      o.Remote = true;
    } else if (a == "--remote-address") {
      if (!value(o.RemoteAddress)) return false;
      o.Remote = true;
    } else if (a == "--remote-ports") {
      if (!value(v) || !ParsePorts(v, o.RemotePorts)) return false;
      o.Remote = true;
    } else if (!a.empty() && a[0] == '-') {
      return false;
    } else if (o.Scenario.empty()) {
      o.Scenario = a;
    } else {
      return false;
    }
  }
  return !o.Scenario.empty();
}

class TTraceFile {
 public:
  void Open(const std::string& path) {
    if (!path.empty()) file_ = std::fopen(path.c_str(), "w");
  }
  ~TTraceFile() {
    if (file_) std::fclose(file_);
  }
  void Line(const std::string& what, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_) return;
    // One line per entry: line breaks inside a text are written as "\n".
    std::string t;
    for (char c : text) {
      if (c == '\n') t += "\\n";
      else if (c != '\r') t += c;
    }
    std::fprintf(file_, "%s\t%s\n", what.c_str(), t.c_str());
    std::fflush(file_);
  }

 private:
  std::mutex mutex_;
  FILE* file_ = nullptr;
};

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string s;
  char buf[4];
  for (uint8_t b : bytes) {
    std::snprintf(buf, sizeof buf, s.empty() ? "%02X" : " %02X", b);
    s += buf;
  }
  return s;
}

void Save(QWidget* w, const QString& dir, const QString& name) {
  QApplication::processEvents();
  w->grab().save(QDir(dir).filePath(name + ".png"), "PNG");
}

// Waits (serving events) until done() or the time-out.
bool Wait(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > timeoutMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  return true;
}

// The group analyzer's place: its left edge at the main window's right edge.
// Opened as the user opens it, so it stands where the product puts it.
void GroupAnalyzerBeside(TMainForm& form) {
  if (form.GroupAnalyzer && !form.GroupAnalyzer->isVisible()) form.btnGroupAnalyzeClick();
}

// Photographs every window the program has, with live data on the main
// window's pages and in the group analyzer.
void TakeScreenshots(TMainForm& form, TSimMainDevices& devices, const QString& dir) {
  QDir().mkpath(dir);
  auto* confirmedPS = form.findChild<QLabel*>("lblPSConfirmed");
  auto* rtb = form.findChild<QPlainTextEdit*>("memRTB");
  auto* eonPS = form.findChild<QLabel*>("lbl14PS");
  Wait([&] { return !devices.TracesOf("tuned").empty(); }, 20000);
  GroupAnalyzerBeside(form);
  // One whole loop of the station's groups: PS, both RadioTexts, EON.
  Wait([&] {
    return confirmedPS && !confirmedPS->text().isEmpty() && rtb && !rtb->toPlainText().trimmed().isEmpty() &&
           eonPS && !eonPS->text().trimmed().isEmpty();
  },
       30000);
  Wait([] { return false; }, 1500);  // a few more groups for the statistics

  if (auto* pages = form.findChild<QTabWidget*>("pcRDS")) {
    for (int i = 0; i < pages->count(); ++i) {
      pages->setCurrentIndex(i);
      QString tab = pages->tabText(i);
      tab.replace(' ', "");
      Save(&form, dir, "main_" + tab);
    }
    pages->setCurrentIndex(0);
  }
  Save(&form, dir, "main");
  if (form.GroupAnalyzer) Save(form.GroupAnalyzer, dir, "group_analyzer");
  if (TMPXGraphForm* mpx = form.MPXGraph) {
    // Opened as the user opens it; a few seconds of readings after buffering.
    if (!mpx->isVisible()) form.btnMPXGraphClick();
    Wait([mpx] { return mpx->TimePointCount() >= 40; }, 15000);
    for (int page = 0; page < mpx->pages->count(); ++page) {
      mpx->pages->setCurrentIndex(page);
      Save(mpx, dir, page == 0 ? "mpx_analyzer" : "mpx_analyzer_deviation");
    }
    mpx->pages->setCurrentIndex(0);
  }

  TDeviceInfoBytes info{};
  if (form.Tuner) info = form.Tuner->Calibration().Info;
  {
    TAboutForm about(&form, info);
    about.show();
    Save(&about, dir, "about");
  }
  {
    TSplashForm splash(nullptr, devices.Clock());
    splash.show();
    splash.ShowStatus(std::string("Prepare RDS Module"), 0);
    Save(&splash, dir, "splash");
  }
  {
    TProgressForm progress(nullptr);
    progress.InfoLabel->setText("Processing");
    progress.show();
    Save(&progress, dir, "progress");
    progress.hide();
  }
}

}  // namespace

int main(int argc, char** argv) {
  TSimOptions options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: fenwisk_sim SCENARIO [--program-folder DIR] [--trace FILE] [--screenshots DIR]"
                 " [--quit-after MS] [--unplug-after MS] [--remote] [--remote-address ADDR]"
                 " [--remote-ports H,C,A]\n");
    return 64;
  }
  if (!options.ScreenshotDir.empty() && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);

  // A bad scenario is a usage error, found before anything starts.
  try {
    std::ifstream in(options.Scenario);
    if (!in) throw std::runtime_error("cannot read " + options.Scenario);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string base = QFileInfo(QString::fromStdString(options.Scenario)).absolutePath().toStdString();
    TSimReceiver::ParseScenario(text, base);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "fenwisk_sim: %s\n", e.what());
    return 65;
  }

  TTraceFile trace;
  trace.Open(options.TraceFile);

  TProgramHooks hooks;
  if (!options.ProgramFolder.empty()) {
    std::string folder = options.ProgramFolder;
    if (folder.back() != '/') folder += '/';
    hooks.ExePath = folder + "fenwisk_sim";
  }
  TSimMainDevices* sim = nullptr;
  // The chart tool classes registered while the windows live.
  auto traceChartTools = [&] { trace.Line("chart tools", std::to_string(ChartToolTypes().Entries().size())); };
  hooks.MainShown = [&](TMainForm& form, IMainDevices&) {
    traceChartTools();
    if (options.UnplugAfterMs >= 0) {
      // Traces of the tuner come on the GUI thread, so the timer may start there.
      auto armed = std::make_shared<bool>(false);
      sim->SetTraceSink([&trace, &form, armed, sim, &options](const std::string& w, const std::string& t) {
        trace.Line(w, t);
        if (w != "tuned" || *armed) return;
        *armed = true;
        QTimer::singleShot(options.UnplugAfterMs, &form, [sim] {
          sim->Trace("sim", "unplug");
          sim->Receiver.Unplug();
        });
      });
    }
    if (options.QuitAfterMs >= 0) QTimer::singleShot(options.QuitAfterMs, &form, [&form] { form.close(); });
    if (options.Remote)
      StartRemoteDialog(form, [&trace](const std::string& Address) { trace.Line("remote", Address); });
    if (!options.ScreenshotDir.empty()) {
      QTimer::singleShot(0, &form, [&form, &options, &sim] {
        TakeScreenshots(form, *sim, QString::fromStdString(options.ScreenshotDir));
        form.close();
      });
    }
  };
  hooks.Finished = [&](IMainDevices&) {
    for (const auto& c : sim->Receiver.Commands()) trace.Line("command", Hex(c));
    traceChartTools();
    trace.Line("sim", "finished");
  };

  return RunProgram(argc, argv,
                    [&](const std::string& exePath) -> std::unique_ptr<IMainDevices> {
                      auto devices = std::make_unique<TSimMainDevices>(exePath);
                      devices->SetTraceSink([&trace](const std::string& w, const std::string& t) { trace.Line(w, t); });
                      devices->Receiver.LoadScenario(options.Scenario);
                      // Run by hand, the help file and the logo open as in the product.
                      devices->OpenUrlsForReal = options.ScreenshotDir.empty() && options.QuitAfterMs < 0;
                      // A run that is traced or photographs itself has no one to close a box.
                      devices->ShowMessageBoxes = options.TraceFile.empty() && options.ScreenshotDir.empty();
                      devices->RemoteBindAddress = options.RemoteAddress;
                      devices->RemoteServerPorts = options.RemotePorts;
                      sim = devices.get();
                      return devices;
                    },
                    hooks);
}
