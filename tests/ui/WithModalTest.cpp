// The modal-dialog helper of the window tests: whatever goes wrong inside the
// dialog, the dialog closes and the failure is reported, instead of the test
// waiting on the open dialog until ctest gives up.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QDialog>
#include <QTimer>
#include <stdexcept>
#include <string>

#include "MainWindowSupport.h"

namespace {

struct TOutcome {
  bool WatchdogFired = false;
  int Result = -2;
  std::vector<std::string> Failures;
};

// Runs Act inside a modal dialog, its failures captured. A watchdog ends the
// dialog if nothing else does, so a helper that leaves it open fails this
// test instead of hanging it.
TOutcome RunInDialog(const std::function<void(QDialog*)>& Act) {
  EnsureQApplication();
  TOutcome out;
  QTimer watchdog;
  watchdog.setSingleShot(true);
  watchdog.setInterval(30000);
  QObject::connect(&watchdog, &QTimer::timeout, [&] {
    out.WatchdogFired = true;
    if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->done(-1);
  });
  ::testing::TestPartResultArray failures;
  {
    ::testing::ScopedFakeTestPartResultReporter capture(
        ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
    QDialog dialog;
    watchdog.start();
    out.Result = WithModal<QDialog>(Act, [&] { return dialog.exec(); });
  }
  watchdog.stop();
  for (int i = 0; i < failures.size(); ++i) out.Failures.push_back(failures.GetTestPartResult(i).message());
  return out;
}

TEST(WithModal, WhateverHappensInsideTheDialogItClosesAndTheFailureIsTold) {
  const std::pair<const char*, std::function<void(QDialog*)>> cases[] = {
      {"a failed assertion", [](QDialog*) { ASSERT_EQ(1, 2) << "deliberate failure"; }},
      {"an exception", [](QDialog*) { throw std::runtime_error("deliberate exception"); }},
      {"a dialog left open", [](QDialog*) {}},
  };
  const char* told[] = {"deliberate failure", "deliberate exception", "still open after Act"};
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].first);
    const TOutcome out = RunInDialog(cases[i].second);
    EXPECT_FALSE(out.WatchdogFired) << "the dialog stayed open";
    EXPECT_EQ(out.Result, QDialog::Rejected);
    ASSERT_FALSE(out.Failures.empty());
    EXPECT_NE(out.Failures[0].find(told[i]), std::string::npos) << out.Failures[0];
  }
  // Closed by Act itself, nothing is added.
  const TOutcome ok = RunInDialog([](QDialog* d) { d->accept(); });
  EXPECT_FALSE(ok.WatchdogFired);
  EXPECT_EQ(ok.Result, QDialog::Accepted);
  EXPECT_TRUE(ok.Failures.empty());
}

}  // namespace
