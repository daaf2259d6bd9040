#pragma once
// A stand-in for the GUI thread in headless tests: a thread of its own that
// serves synchronous calls, can be stalled to simulate a busy window, and runs
// test code "on the UI thread" (where handler lists may be changed).
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/MainThreadInvoker.h"

class TTestUIThread final : public TMainThreadInvoker {
 public:
  TTestUIThread();
  ~TTestUIThread() override;

  // Runs fn on the UI thread and waits for it.
  void Run(const std::function<void()>& fn);
  // While stalled the UI thread serves nothing; Release lets it go on.
  void Stall();
  void Release();
  // Waits (real time) until pred() holds, checking it on the UI thread after
  // each batch of served calls.
  bool WaitUntil(const std::function<bool()>& pred,
                 std::chrono::milliseconds timeout = std::chrono::seconds(5));

 protected:
  void Wake() override;

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable cv_;
  bool wake_ = false;
  bool stalled_ = false;
  bool stop_ = false;
  std::thread thread_;
};
