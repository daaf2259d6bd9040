#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

#include "platform/DateTime.h"
#include "platform/Format.h"
#include "platform/MessageQueue.h"
#include "platform/Thread.h"
#include "support/TestUIThread.h"

TEST(DateTime, EpochAndKnownDates) {
  EXPECT_DOUBLE_EQ(dt::EncodeDate(1899, 12, 30), 0.0);
  EXPECT_DOUBLE_EQ(dt::EncodeDate(1900, 1, 1), 2.0);
  EXPECT_DOUBLE_EQ(dt::EncodeDate(2000, 1, 1), 36526.0);
  dt::TDateParts p = dt::Decode(dt::EncodeDate(2024, 2, 29) + dt::EncodeTime(23, 59, 59, 999));
  EXPECT_EQ(p.Year, 2024);
  EXPECT_EQ(p.Month, 2);
  EXPECT_EQ(p.Day, 29);
  EXPECT_EQ(p.Hour, 23);
  EXPECT_EQ(p.Minute, 59);
  EXPECT_EQ(p.Second, 59);
  EXPECT_EQ(p.MilliSecond, 999);
  EXPECT_EQ(dt::DayOfWeek(dt::EncodeDate(2026, 12, 6)), 1);  // a Sunday
}

TEST(DateTime, StampBytesRoundTripAndTimePoint) {
  const TDateTime t = dt::EncodeDate(2026, 12, 6) + dt::EncodeTime(17, 30, 1, 250);
  uint8_t b[8];
  dt::StampToBytes(t, b);
  EXPECT_EQ(dt::StampFromBytes(b), t);
  EXPECT_EQ(dt::Decode(dt::FromTimePoint(dt::ToTimePoint(t))).MilliSecond, 250);
  EXPECT_EQ(dt::MillisecondsBetween(t, dt::AddMilliseconds(t, 1500)), 1500);
}

TEST(Format, PrintfHexAndTrim) {
  EXPECT_EQ(Format("%3.1f", 87.0), "87.0");
  EXPECT_EQ(Format("%s", std::string(300, 'x').c_str()).size(), 300u);
  EXPECT_EQ(IntToHex(0x6204, 4), "6204");
  EXPECT_EQ(IntToHex(0xA, 2), "0A");
  EXPECT_EQ(Trim("  ab \r\n"), "ab");
}

TEST(MessageQueue, OrderWakeAndTimeout) {
  TThreadMessageQueue<int> q;
  q.Post(1);
  q.Post(2);
  EXPECT_EQ(*q.Wait(), 1);
  EXPECT_EQ(*q.Peek(), 2);
  EXPECT_FALSE(q.Peek().has_value());
  EXPECT_FALSE(q.WaitFor(std::chrono::milliseconds(1)).has_value());
  std::thread t([&] { q.Wake(); });
  EXPECT_FALSE(q.Wait().has_value());
  t.join();
}

namespace {
class TCounterThread : public TThread {
 public:
  explicit TCounterThread(TMainThreadInvoker* ui) : ui_(ui) {}
  ~TCounterThread() override { TerminateAndWait(); }
  std::atomic<int> calls{0};
  std::atomic<bool> lastRefused{false};

 protected:
  void Execute() override {
    while (!Terminated()) {
      if (!ui_->Synchronize([&] { ++calls; })) lastRefused = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

 private:
  TMainThreadInvoker* ui_;
};
}  // namespace

TEST(MainThreadInvoker, WorkerCallsRunOnTheUIThread) {
  TTestUIThread ui;
  std::thread::id seen;
  std::thread worker([&] { ui.Synchronize([&] { seen = std::this_thread::get_id(); }); });
  worker.join();
  EXPECT_EQ(seen, ui.MainThreadId());
  EXPECT_THROW(ui.Synchronize([] { throw std::runtime_error("x"); }), std::runtime_error);
}

TEST(MainThreadInvoker, WaitingOnTheUIThreadKeepsServingCalls) {
  TTestUIThread ui;
  TCounterThread worker(&ui);
  worker.Start();
  ASSERT_TRUE(ui.WaitUntil([&] { return worker.calls > 3; }));
  // The UI thread waits for the worker while the worker is inside Synchronize:
  // no deadlock, because waiting serves the pending calls.
  ui.Run([&] { worker.TerminateAndWait(&ui); });
  EXPECT_TRUE(worker.Finished());
}

TEST(MainThreadInvoker, CancelReleasesABlockedCaller) {
  TTestUIThread ui;
  ui.Stall();
  std::atomic<bool> result{true};
  std::thread worker([&] { result = ui.Synchronize([] {}); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ui.Cancel();
  worker.join();
  EXPECT_FALSE(result);
  ui.Release();
}

// A call begun from a worker that waits for it together with its next
// message: the call's end alone does not wake the worker while nothing is
// queued; a message does. A cancelled call finishes too, and refuses.
TEST(MainThreadInvoker, BegunCallIsWaitedForWithTheNextMessage) {
  TTestUIThread ui;
  TThreadMessageQueue<int> q;
  bool finished = false;  // guarded by q's lock
  std::atomic<bool> ran{false}, awake{false};
  std::thread worker([&] {
    auto call = ui.Begin([&] { ran = true; }, [&] { q.SetAndNotify(finished, false); });
    q.WaitForFlag(finished, true);
    awake = true;
    EXPECT_TRUE(TMainThreadInvoker::Outcome(call));
    EXPECT_EQ(q.Peek(), std::optional<int>(7));
  });
  ASSERT_TRUE(ui.WaitUntil([&] { return ran.load(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(awake);
  q.Post(7);
  worker.join();
  EXPECT_TRUE(awake);

  ui.Stall();
  bool refused = false;
  std::thread stalled([&] {
    auto call = ui.Begin([] {}, [&] { q.SetAndNotify(refused, true); });
    if (call) q.WaitForFlag(refused, false);
    EXPECT_FALSE(TMainThreadInvoker::Outcome(call));
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ui.Cancel();
  stalled.join();
  EXPECT_EQ(ui.Begin([] {}, [] {}), nullptr);
  ui.Release();
}
