// The program as a process: the simulated build run end to end, a second
// start, a missing database, an unplugged receiver and a failed start-up.
#include <signal.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <filesystem>
#include <fstream>

#include "MainWindowSupport.h"
#include "ui/Program.h"

namespace {

using TTrace = std::vector<std::pair<std::string, std::string>>;

std::string SimProgram() {
  if (const char* bin = std::getenv("FW_BIN_DIR"); bin && *bin) return std::string(bin) + "/fenwisk_sim";
  return QCoreApplication::applicationDirPath().toStdString() + "/../bin/fenwisk_sim";
}

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
                        QString::fromStdString(programFolder), "--trace", QString::fromStdString(trace_)};
    proc_.start(QString::fromStdString(SimProgram()), args + extra);
  }
  ~TSimProcess() {
    if (proc_.state() != QProcess::NotRunning) {
      proc_.kill();
      proc_.waitForFinished(10000);
    }
  }

  TTrace Trace() const {
    TTrace t;
    std::ifstream in(trace_);
    std::string line;
    while (std::getline(in, line)) {
      const size_t tab = line.find('\t');
      if (tab == std::string::npos) continue;
      t.emplace_back(line.substr(0, tab), line.substr(tab + 1));
    }
    return t;
  }
  std::vector<std::string> Of(const std::string& what) const {
    std::vector<std::string> out;
    for (const auto& [w, text] : Trace())
      if (w == what) out.push_back(text);
    return out;
  }
  size_t Count(const std::string& what, const std::string& text) const {
    const auto v = Of(what);
    return std::count(v.begin(), v.end(), text);
  }
  bool WaitFor(const std::string& what, const std::string& text, int timeoutMs = 30000) {
    QElapsedTimer t;
    t.start();
    while (Count(what, text) == 0) {
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
class TSession {
 public:
  TSession() { ::chmod(dir_.path().toLocal8Bit().constData(), 0700); }
  QString Path() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
};

std::vector<std::string> Hex(std::initializer_list<const char*> list) { return {list.begin(), list.end()}; }

std::vector<TChangeLogRow> StoredRows(const std::string& folder) {
  std::vector<TChangeLogRow> rows;
  if (!DeployEmbeddedDatabase(folder)) return rows;
  {
    auto db = MakeFbLogDatabase();
    db->Open(folder + kLogDatabaseFile);
    db->ReadChangeLog(TChangeLogView::AsWritten, [&](const TChangeLogRow& r) {
      TChangeLogRow t = r;
      t.STR.erase(t.STR.find_last_not_of(' ') + 1);
      rows.push_back(t);
    });
    db->Close();
  }
  RemoveEmbeddedDatabase(folder);
  return rows;
}

}  // namespace

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
  EXPECT_NE(std::find(splash.begin(), splash.end(), "Clean RDS Database "), splash.end());

  const auto system = sim.Of("system");
  ASSERT_FALSE(system.empty());
  EXPECT_EQ(system.front(), "DEVICE CONNECTED");
  EXPECT_EQ(system.back(), "PROGRAM CLOSED");

  const auto commands = sim.Of("command");
  const auto start = Hex({"09", "20", "00", "03", "11", "17", "15", "30", "08", "06 29 97"});
  ASSERT_GE(commands.size(), start.size() + 1);
  EXPECT_EQ(std::vector<std::string>(commands.begin(), commands.begin() + start.size()), start);
  EXPECT_EQ(commands.back(), "09");

  EXPECT_TRUE(std::filesystem::exists(folder.File("RDSLOG.FDB_")));
  EXPECT_FALSE(std::filesystem::exists(folder.File("firebird.conf")));
  const auto rows = StoredRows(folder.Path());
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.back().STR, "PROGRAM CLOSED");
  EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const auto& r) { return r.STR == "DEVICE CONNECTED"; }), 1);
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

TEST(Program, MissingDatabaseEndsWithoutAnyWindow) {
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
}

TEST(Program, UnplugLogsOneDisconnectionAndFailedStartUpEndsNonZero) {
  EnsureQApplication();
  {
    TSession session;
    TTempProgramFolder folder;
    TSimProcess sim(folder.Path(), session.Path(), "unplug", {"--unplug-after", "100"});
    ASSERT_TRUE(sim.Started());
    ASSERT_TRUE(sim.WaitFor("system", "DEVICE DISCONNECTED"));
    QThread::msleep(2500);  // reconnection attempts fail silently
    sim.Signal(SIGTERM);
    ASSERT_EQ(sim.WaitExit(), kExitOk);
    EXPECT_EQ(sim.Count("system", "DEVICE DISCONNECTED"), 1u);
    const auto rows = StoredRows(folder.Path());
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const auto& r) { return r.STR == "DEVICE DISCONNECTED"; }),
              1);
  }
  {
    // A database file that is no database: the start-up fails, says why,
    // removes the engine files and ends with a non-zero code.
    TSession session;
    TTempProgramFolder folder(false);
    std::ofstream(folder.Database(), std::ios::binary) << std::string(4096, 'x');
    TSimProcess sim(folder.Path(), session.Path(), "corrupt");
    ASSERT_TRUE(sim.Started());
    EXPECT_EQ(sim.WaitExit(), kExitStartupFailed);
    const auto messages = sim.Of("message");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("Error|", 0), 0u);
    EXPECT_GT(messages[0].size(), std::string("Error|").size());
    EXPECT_FALSE(std::filesystem::exists(folder.File("firebird.conf")));
    EXPECT_FALSE(std::filesystem::exists(folder.File("intl")));
    EXPECT_TRUE(sim.Of("command").empty());
  }
}
