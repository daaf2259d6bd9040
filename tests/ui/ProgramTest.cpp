// The program as a process: the simulated build run end to end, a second
// start, a missing database and a failed start-up.
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "MainWindowSupport.h"
#include "controls/ToolCtrlsEx.h"
#include "platform/Format.h"
#include "receiver/shared.h"
#include "remote/RemoteHost.h"
#include "support/LogFill.h"
#include "support/LoopbackClient.h"
#include "ui/Program.h"

namespace {

// One run of the simulated build with its own session folder (so runs in
// parallel do not meet) and its own trace file.
class TSimProcess {
 public:
  TSimProcess(const std::string& programFolder, const QString& runtimeDir, const QString& name,
              const QStringList& extra = {}, const QString& workDir = {}) {
    trace_ = QDir(runtimeDir).filePath(name + ".trace").toStdString();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtimeDir);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    proc_.setProcessEnvironment(env);
    if (!workDir.isEmpty()) proc_.setWorkingDirectory(workDir);
    proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    proc_.setStandardOutputFile(QProcess::nullDevice());
    QStringList args = {QString::fromStdString(DataFile("scenario.txt")), "--program-folder",
                        QString::fromStdString(programFolder)};
    if (!name.isEmpty()) args << "--trace" << QString::fromStdString(trace_);  // empty: run as by a person
    proc_.start(QString::fromStdString(TestBinDir() + "/fenwisk_sim"), args + extra);
  }
  ~TSimProcess() {
    if (proc_.state() != QProcess::NotRunning) {
      proc_.kill();
      proc_.waitForFinished(10000);
    }
  }

  // The texts traced as `what`, in order.
  std::vector<std::string> Of(const std::string& what) const {
    std::vector<std::string> out;
    std::ifstream in(trace_);
    for (std::string line; std::getline(in, line);)
      if (line.starts_with(what + '\t')) out.push_back(line.substr(what.size() + 1));
    return out;
  }
  bool WaitFor(const std::string& what, const std::string& text, int timeoutMs = 30000) {
    QElapsedTimer t;
    t.start();
    for (auto seen = Of(what); std::find(seen.begin(), seen.end(), text) == seen.end(); seen = Of(what)) {
      if (t.elapsed() > timeoutMs || proc_.state() == QProcess::NotRunning) return false;
      QThread::msleep(50);
    }
    return true;
  }
  void Signal(int sig) { ::kill(static_cast<pid_t>(proc_.processId()), sig); }
  // The exit code, or -1 when the process did not end in time or crashed.
  int WaitExit(int timeoutMs = 60000) {
    if (!proc_.waitForFinished(timeoutMs)) return -1;
    return proc_.exitStatus() == QProcess::NormalExit ? proc_.exitCode() : -1;
  }
  bool Started() { return proc_.waitForStarted(10000); }

 private:
  QProcess proc_;
  std::string trace_;
};

// A private session folder (the lock file and the message socket live there).
struct TSession {
  QTemporaryDir Dir;
  TSession() { ::chmod(Dir.path().toLocal8Bit().constData(), 0700); }
  QString Path() const { return Dir.path(); }
};

// A folder with a locale whose decimal separator is a comma, compiled for the
// tests (the machine may have none installed); empty when it cannot be made.
std::string CommaLocaleFolder() {
  namespace fs = std::filesystem;
  const std::string dir = QDir::tempPath().toStdString() + "/fenwisk-test-locales";
  if (fs::exists(dir + "/de_DE.UTF-8/LC_NUMERIC")) return dir;
  const std::string building = dir + "." + std::to_string(::getpid());
  std::error_code ec;
  fs::create_directories(building, ec);
  const std::string command = "localedef -i de_DE -f UTF-8 " + building + "/de_DE.UTF-8 >/dev/null 2>&1";
  [[maybe_unused]] const int rc = std::system(command.c_str());
  if (fs::exists(building + "/de_DE.UTF-8/LC_NUMERIC")) fs::rename(building, dir, ec);  // another run may have won
  fs::remove_all(building, ec);
  return fs::exists(dir + "/de_DE.UTF-8/LC_NUMERIC") ? dir : std::string();
}

// Runs in a process of its own (the application object is one per process)
// and ends it: code 0 when every check passed.
[[noreturn]] void CheckApplicationObject(const std::string& locales) {
  std::string failures;
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (!locales.empty()) {
    ::setenv("LOCPATH", locales.c_str(), 1);
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    // The environment really asks for a decimal comma.
    if (!std::setlocale(LC_NUMERIC, "") || std::localeconv()->decimal_point[0] != ',')
      failures += "comma locale unusable; ";
    std::setlocale(LC_NUMERIC, "C");
  }
  static int argc = 1;
  static char name[] = "fenwisk";
  static char* argv[] = {name, nullptr};
  TApplication app(argc, argv);
  if (Format("%3.1f", 87.5) != "87.5") failures += "Format gives " + Format("%3.1f", 87.5) + "; ";
  if (DecimalSeparator() != '.') failures += "separator; ";

  std::vector<std::string> reported;
  SetControlExceptionHandler([&](const std::exception& e) { reported.push_back(e.what()); });
  QTimer::singleShot(0, &app, [] { throw std::runtime_error("handler failed"); });
  // Queued behind the throwing one: runs only if the loop survived it.
  QTimer::singleShot(0, &app, [&app] { QTimer::singleShot(0, &app, &QCoreApplication::quit); });
  app.exec();
  if (reported != std::vector<std::string>{"handler failed"}) failures += "exception not reported; ";
  std::fprintf(stderr, "%s\n", failures.c_str());
  std::_Exit(failures.empty() ? 0 : 1);
}

}  // namespace

// The application object in a process of its own: started in a locale that
// writes decimal commas, it still writes and reads numbers with a point; an
// exception thrown by an event handler is reported and the loop goes on.
TEST(Program, ApplicationNumbersIgnoreTheLocaleAndHandlerExceptionsAreReported) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string locales = CommaLocaleFolder();
  if (locales.empty()) std::fprintf(stderr, "no comma locale could be made; only exceptions are checked\n");
  EXPECT_EXIT(CheckApplicationObject(locales), ::testing::ExitedWithCode(0), "");
}

TEST(Program, EndToEndOverTheSimulatedReceiver) {
  EnsureQApplication();
  TSession session;
  TTempProgramFolder folder;
  TSimProcess sim(folder.Path(), session.Path(), "run");
  ASSERT_TRUE(sim.Started());
  ASSERT_TRUE(sim.WaitFor("tuned", "87.0"));
  ASSERT_TRUE(sim.WaitFor("system", "DEVICE CONNECTED"));
  // SIGTERM closes the window the normal way: the whole shut-down runs.
  sim.Signal(SIGTERM);
  ASSERT_EQ(sim.WaitExit(), kExitOk);

  const auto splash = sim.Of("splash");
  const std::vector<std::string> expected = {
      "Prepare Settings",     "Prepare USB Communication", "Initialize Tuner",       "Prepare Remote Objects",
      "Prepare RDS Module",   "Open USB Communication",    "Prepare Group Analyzer", "Prepare Band Analyzer",
      "Prepare MPX Analyzer", "Prepare Main Module",       "Starting...",            "Unloading Modules",
      "Terminating Tuner",    "Terminating Remote Objects", "Terminating Communication", "Backup RDS Database "};
  ASSERT_GE(splash.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(splash.begin(), splash.begin() + expected.size()), expected);

  const auto system = sim.Of("system");
  ASSERT_FALSE(system.empty());
  EXPECT_EQ(system.front(), "DEVICE CONNECTED");
  EXPECT_EQ(system.back(), "PROGRAM CLOSED");

  const auto commands = sim.Of("command");
  const std::vector<std::string> start = {"09", "20", "00", "03", "11", "17", "15", "30", "08", "06 29 97"};
  ASSERT_GE(commands.size(), start.size() + 1);
  EXPECT_EQ(std::vector<std::string>(commands.begin(), commands.begin() + start.size()), start);
  EXPECT_EQ(commands.back(), "09");
  // The sixteen chart tool classes are registered while the window is shown, none after.
  EXPECT_EQ(sim.Of("chart tools"), (std::vector<std::string>{"16", "0"}));

  EXPECT_TRUE(std::filesystem::exists(folder.File("RDSLOG.FDB_")));
  EXPECT_FALSE(std::filesystem::exists(folder.File("firebird.conf")));
  EXPECT_FALSE(std::filesystem::exists(folder.File("intl")));
  const auto rows = StoredChangeLog(folder.Path());
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.back().STR, "PROGRAM CLOSED");
  const auto count = [&](const char* text) {
    return std::count_if(rows.begin(), rows.end(), [&](const auto& r) { return r.STR == text; });
  };
  EXPECT_EQ(count("DEVICE CONNECTED"), 1);
  // The shut-down's own disconnection is not a device event.
  EXPECT_EQ(count("DEVICE DISCONNECTED"), 0);
}

// The test client run against the program: its printed replies.
std::vector<std::string> ReplayClient(const TSession& session, const QStringList& requests) {
  QProcess client;
  client.start(QCoreApplication::applicationDirPath() + "/replay_client",
               // A loaded machine can take seconds to open the raw log for the first row.
               QStringList{"--socket", session.Path() + "/RZ4410_MESSAGES", "--wait", "15000"} + requests);
  client.waitForFinished(60000);
  std::vector<std::string> lines;
  for (const QByteArray& line : client.readAllStandardOutput().split('\n'))
    if (!line.isEmpty()) lines.push_back(line.toStdString());
  return lines;
}

TEST(Program, LogReplayEndToEndWithTheTestClient) {
  EnsureQApplication();
  TSession session;
  TTempProgramFolder folder;
  ASSERT_TRUE(DeployEmbeddedDatabase(folder.Path()));
  FillTwoStationRaw(folder.Database());
  {  // raw and change logging on: live groups and changes are logged, replayed ones must not be
    auto db = MakeFbLogDatabase();
    db->Open(folder.Database());
    TConfigRow config = DefaultConfigRow();
    config.Col[TConfigRow::INF] |= 4 | 16;
    db->InsertConfig(config);
    db->Close();
  }
  RemoveEmbeddedDatabase(folder.Path());
  TSimProcess sim(folder.Path(), session.Path(), "replay");
  ASSERT_TRUE(sim.WaitFor("tuned", "87.0"));
  const auto count = [&] {
    const auto r = ReplayClient(session, {"1,6"});
    return r.size() == 1 ? std::stoi(r[0].substr(2)) : -1;
  };
  QElapsedTimer wait;
  wait.start();
  while (count() <= 9 && wait.elapsed() < 20000) QThread::msleep(200);  // live rows follow the stored ones

  // One connection for the whole replay (a controller that goes away ends
  // it); no row is written while the replay lasts. The steps themselves are
  // LogReplayTest's.
  const auto replies = ReplayClient(session, {"1,3", "1,6", "1,7", "1,8", "2,0", "1,6", "1,4"});
  ASSERT_GE(replies.size(), 2u);
  const int rows = std::stoi(replies[1].substr(2));
  ASSERT_GT(rows, 9);
  const std::string counted = "6 " + std::to_string(rows);
  EXPECT_EQ(replies, (std::vector<std::string>{"3 3", counted, "7 3", "9 1", "8 3", "9 2", "9 1", counted, "4 3"}));
  // After leaving, live groups are decoded and logged again.
  wait.restart();
  while (count() <= rows && wait.elapsed() < 20000) QThread::msleep(200);
  EXPECT_GT(count(), rows);
  sim.Signal(SIGTERM);
  EXPECT_EQ(sim.WaitExit(), kExitOk);
  // Nothing of the replayed stations reached the change log.
  for (const TChangeLogRow& r : StoredChangeLog(folder.Path()))
    EXPECT_TRUE(r.STR.find("STATIONA") == std::string::npos && !(r.SIG == 0 && r.INTD == 0x5555)) << r.STR;
}

TEST(Program, SecondStartHandsOverAndEndsWithZero) {
  EnsureQApplication();
  TSession session;
  TTempProgramFolder folder;
  TSimProcess first(folder.Path(), session.Path(), "first");
  ASSERT_TRUE(first.Started());
  ASSERT_TRUE(first.WaitFor("tuned", "87.0"));

  TTempProgramFolder other;
  TSimProcess second(other.Path(), session.Path(), "second");
  ASSERT_TRUE(second.Started());
  EXPECT_EQ(second.WaitExit(20000), kExitOk);
  EXPECT_TRUE(second.Of("splash").empty());
  EXPECT_TRUE(first.WaitFor("message", "RZ4410_ONEINSTANCE", 10000));

  // From another session on the same folder the database is in use: that
  // start fails, with no word of restoring, and leaves the running
  // instance's engine files alone.
  TSession elsewhere;
  std::ofstream(folder.File("RDSLOG.FDB_")) << "backup";
  TSimProcess intruder(folder.Path(), elsewhere.Path(), "intruder");
  EXPECT_EQ(intruder.WaitExit(), kExitStartupFailed);
  EXPECT_EQ(intruder.Of("message").at(0).find("RDSLOG.FDB_"), std::string::npos);
  for (const char* file : {"firebird.conf", "databases.conf", "udf/fbudf.so", "intl/libfbintl.so"})
    EXPECT_TRUE(std::filesystem::exists(folder.File(file))) << file;

  // SIGINT closes as SIGTERM does.
  first.Signal(SIGINT);
  EXPECT_EQ(first.WaitExit(), kExitOk);
  EXPECT_EQ(first.Of("system").back(), "PROGRAM CLOSED");

  // The lock died with its process: the next start runs.
  TSimProcess third(folder.Path(), session.Path(), "third", {"--quit-after", "500"});
  ASSERT_TRUE(third.Started());
  EXPECT_EQ(third.WaitExit(), kExitOk);
  EXPECT_FALSE(third.Of("splash").empty());
}

TEST(Program, MissingDatabaseIsReportedAndNoWindowOpens) {
  EnsureQApplication();
  TSession session;
  TTempProgramFolder folder(false);
  // A database in the current folder does not count: it must lie beside the program.
  TTempProgramFolder cwd;
  TSimProcess sim(folder.Path(), session.Path(), "nodb", {}, QString::fromStdString(cwd.Path()));
  ASSERT_TRUE(sim.Started());
  EXPECT_EQ(sim.WaitExit(20000), kExitNoDatabase);
  EXPECT_EQ(sim.Of("message"), std::vector<std::string>{"Error|RDS Database missing or corrupt!"});
  EXPECT_TRUE(sim.Of("splash").empty());
  EXPECT_TRUE(sim.Of("command").empty());
  // Run by a person (no trace file), the simulated build shows that box as
  // the product does and waits for it instead of ending unseen.
  TSimProcess person(folder.Path(), session.Path(), "");
  ASSERT_TRUE(person.Started());
  EXPECT_EQ(person.WaitExit(3000), -1) << "ended without showing its box";
}

// (An unplug is shown in MainWindowTest, in this process.)
TEST(Program, FailedStartUpSaysWhyCleansUpAndEndsNonZero) {
  // A database file that is no database: the start-up fails, says why and
  // how to go back to the backup, removes the engine files and ends with a
  // non-zero code.
  EnsureQApplication();
  TSession session;
  TTempProgramFolder folder(false);
  std::ofstream(folder.Database(), std::ios::binary) << std::string(4096, 'x');
  std::ofstream(folder.File("RDSLOG.FDB_")) << "backup";
  TSimProcess sim(folder.Path(), session.Path(), "corrupt");
  ASSERT_TRUE(sim.Started());
  EXPECT_EQ(sim.WaitExit(), kExitStartupFailed);
  const auto messages = sim.Of("message");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("Error|", 0), 0u);
  EXPECT_NE(messages[0].find("is not a valid database"), std::string::npos) << messages[0];
  EXPECT_NE(messages[0].find("kept: " + folder.File("RDSLOG.FDB_")), std::string::npos) << messages[0];
  EXPECT_NE(messages[0].find("gbak -c \"" + folder.File("RDSLOG.FDB_") + "\""), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(folder.File("firebird.conf")));
  EXPECT_FALSE(std::filesystem::exists(folder.File("intl")));
  EXPECT_TRUE(sim.Of("command").empty());
}

// `make run` without the receiver: the demo's program folder holds what the
// build's has, so the remote dialog finds its resource file and its server
// answers the browser.
TEST(Program, DemoRunWithoutTheReceiverStartsTheRemoteServer) {
  namespace fs = std::filesystem;
  EnsureQApplication();
  TSession session;
  QTemporaryDir build;
  const fs::path root = build.path().toStdString();
  fs::create_directory_symlink(TestBinDir(), root / "bin");
  fs::create_directory_symlink(fs::path(TestDatabaseTemplate()).parent_path(), root / "database");
  fs::create_directory(root / "usb");  // no device plugged in
  const std::string trace = (root / "demo.trace").string();
  const char* kAddress = "127.0.0.13";
  // The fixed ports may be held by anything else on the machine (here they
  // are): the demo's server takes ports the system picks, and says which.
  const THeldPort http(kAddress, TRemotePorts{}.Http), command(kAddress, TRemotePorts{}.Command),
      audio(kAddress, TRemotePorts{}.Audio);

  QProcess run;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_RUNTIME_DIR", session.Path());
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("FW_USB_DEVICES", QString::fromStdString((root / "usb").string()));
  run.setProcessEnvironment(env);
  run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  run.setStandardOutputFile(QProcess::nullDevice());
  run.start("bash", {QString::fromStdString(TestSourceDir() + "/scripts/run.sh"), build.path(), "--trace",
                     QString::fromStdString(trace), "--remote-address", kAddress, "--remote-ports", "0,0,0",
                     "--quit-after", "15000"});
  ASSERT_TRUE(run.waitForStarted(10000));

  // The browser's first request, at the address the remote dialog shows: the
  // client page.
  const std::string shown = Format("remote\thttp://%s:", kAddress);
  std::string page;
  QElapsedTimer t;
  t.start();
  for (int port = 0; page.empty() && t.elapsed() < 14000 && run.state() != QProcess::NotRunning;) {
    QThread::msleep(200);
    if (!port) {
      std::ifstream in(trace);
      for (std::string line; std::getline(in, line);)
        if (line.starts_with(shown)) port = std::atoi(line.c_str() + shown.size());
      continue;
    }
    const int fd = ConnectFrom(kAddress, kAddress, port);
    if (fd < 0) continue;
    const std::string request = "GET / HTTP/1.0\r\n\r\n";
    if (::send(fd, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
      char buf[4096];
      for (ssize_t n; (n = ::recv(fd, buf, sizeof buf, 0)) > 0;) page.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
  }
  EXPECT_TRUE(page.starts_with("HTTP/1.") && page.find(" 200 ") != std::string::npos) << page.substr(0, 200);
  EXPECT_TRUE(run.waitForFinished(30000));
  EXPECT_EQ(run.exitCode(), kExitOk);

  std::ifstream in(trace);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.find("Remote Resource File missing"), std::string::npos);
  EXPECT_NE(text.find("PROGRAM CLOSED"), std::string::npos);
  // Every data file of the program folder, and the demo's own log.
  for (const char* file : {"fw.rrf", "RDSLOG.FDB"}) EXPECT_TRUE(fs::exists(root / "demo" / file)) << file;
}
