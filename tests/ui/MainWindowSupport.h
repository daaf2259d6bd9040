#pragma once
// A main window built in the test's own process over the simulated receiver,
// in a throw-away program folder with a copy of the built database.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "logstore/LogDatabase.h"
#include "support/TestPaths.h"
#include "logstore/fb_embedded.h"
#include "support/QtApp.h"
#include "support/SimMainDevices.h"
#include "support/TempProgramFolder.h"
#include "ui/Main.h"

// Waits (serving the GUI thread's events) until done() or the time-out.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > timeoutMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// Serves events for a while (to show that something does not happen).
inline void PumpFor(int ms) {
  PumpUntil([] { return false; }, ms);
}

// The failures the running test has recorded so far.
inline int RecordedFailures() {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  if (!test) return 0;
  int failed = 0;
  for (int i = 0; i < test->result()->total_part_count(); ++i) failed += test->result()->GetTestPartResult(i).failed();
  return failed;
}

// Ends a modal window that is still open, so the loop that shows it returns.
inline void EndModal(QWidget* window) {
  auto* dialog = qobject_cast<QDialog*>(window);
  if (dialog) dialog->reject();
  if (window->isVisible()) window->close();
  if (dialog && dialog->isVisible()) dialog->QDialog::done(QDialog::Rejected);
}

// Runs Act on the modal dialog (a T) that Run opens, once it is shown, and
// returns what Run returns. Polls, so it does not depend on when it opens.
// Whatever happens inside Act (a failed assertion returns from it early, an
// exception leaves it), the dialog is closed after it, so the test goes on
// and ends with its failures instead of waiting on the dialog for ever; a
// dialog that Act left open without any failure is a failure too.
template <typename T, typename TRun>
auto WithModal(const std::function<void(T*)>& Act, TRun Run) {
  struct TShown {
    bool Done = false;
    ~TShown() { EXPECT_TRUE(Done) << "the dialog was never shown"; }
  } shown;
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!dialog || shown.Done || !dialog->isVisible()) return;
    shown.Done = true;
    poll.stop();
    const QPointer<QWidget> window(dialog);
    const int failedBefore = RecordedFailures();
    try {
      Act(dialog);
    } catch (const std::exception& e) {
      ADD_FAILURE() << "inside the dialog: " << e.what();
    } catch (...) {
      ADD_FAILURE() << "inside the dialog: an exception";
    }
    if (!window || !window->isVisible()) return;
    if (RecordedFailures() == failedBefore) ADD_FAILURE() << "the dialog was still open after Act (closed now)";
    EndModal(window);
  });
  poll.start();
  return Run();
}

inline std::string DataFile(const std::string& name) { return TestSourceDir() + "/tests/ui/data/" + name; }

// The change log rows in the order written, STR trimmed.
template <typename TSource>
std::vector<TChangeLogRow> TrimmedChangeRows(TSource& source) {
  std::vector<TChangeLogRow> rows;
  source.ReadChangeLog(TChangeLogView::AsWritten, [&](const TChangeLogRow& r) {
    rows.push_back(r);
    rows.back().STR.erase(rows.back().STR.find_last_not_of(' ') + 1);
  });
  return rows;
}

// The change log stored in a program folder while no program runs.
inline std::vector<TChangeLogRow> StoredChangeLog(const std::string& folder) {
  if (!DeployEmbeddedDatabase(folder)) return {};
  auto db = MakeFbLogDatabase();
  db->Open(folder + kLogDatabaseFile);
  const auto rows = TrimmedChangeRows(*db);
  db->Close();
  db.reset();
  RemoveEmbeddedDatabase(folder);
  return rows;
}

class TMainWindowHarness {
 public:
  explicit TMainWindowHarness(bool withDatabase = true) : folder_(withDatabase) {
    EnsureQApplication();
    QApplication::setApplicationName("Fenwisk");
    devices = std::make_unique<TSimMainDevices>(folder_.Path() + "fenwisk_sim");
  }
  ~TMainWindowHarness() {
    form.reset();
    devices.reset();
  }

  // Builds and shows the window (the start-up runs in the constructor).
  void Start(const std::string& scenario = DataFile("scenario.txt"), TMessageBus* bus = nullptr) {
    if (!scenario.empty()) devices->Receiver.LoadScenario(scenario);
    form = std::make_unique<TMainForm>(*devices, nullptr, bus);
    form->show();
  }
  bool WaitTuned(const std::string& freq = "87.0", size_t times = 1) {
    return PumpUntil([&] { return devices->CountOf("tuned", freq) >= times; });
  }
  // Destroys the window: the whole shut-down.
  void Stop() { form.reset(); }
  // Closes the program and starts it again in the same folder.
  void Restart() {
    Stop();
    devices = std::make_unique<TSimMainDevices>(folder_.Path() + "fenwisk_sim");
    Start();
  }

  const std::string& Folder() const { return folder_.Path(); }

  // The change log rows (SIG, INTD, STR trimmed), read while the window runs,
  // and how many of them are of a kind (with a text).
  std::vector<TChangeLogRow> ChangeRows() { return TrimmedChangeRows(*form->DM); }
  size_t CountSig(int sig, const std::optional<std::string>& str = std::nullopt) {
    const auto rows = ChangeRows();
    return std::count_if(rows.begin(), rows.end(),
                         [&](const TChangeLogRow& r) { return r.SIG == sig && (!str || r.STR == *str); });
  }

  std::unique_ptr<TSimMainDevices> devices;
  std::unique_ptr<TMainForm> form;

 private:
  TTempProgramFolder folder_;
};

template <typename T>
T* Find(QWidget* parent, const char* name) {
  T* w = parent->findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(w, nullptr) << name;
  return w;
}
