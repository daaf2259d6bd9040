#include "support/TestUIThread.h"

#include <chrono>

TTestUIThread::TTestUIThread() {
  std::mutex started;
  std::condition_variable startedCv;
  bool ready = false;
  thread_ = std::thread([&] {
    SetMainThread(std::this_thread::get_id());
    {
      // Notify under the lock: the constructor's locals die as soon as it sees `ready`.
      std::lock_guard<std::mutex> lock(started);
      ready = true;
      startedCv.notify_all();
    }
    Loop();
  });
  std::unique_lock<std::mutex> lock(started);
  startedCv.wait(lock, [&] { return ready; });
}

TTestUIThread::~TTestUIThread() {
  Cancel();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    stalled_ = false;
  }
  cv_.notify_all();
  thread_.join();
}

void TTestUIThread::Loop() {
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      cv_.wait_for(lock, std::chrono::milliseconds(50), [&] { return (wake_ && !stalled_) || stop_; });
      if (stop_) return;
      if (stalled_) continue;
      wake_ = false;
    }
    ProcessPending();
  }
}

void TTestUIThread::Wake() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    wake_ = true;
  }
  cv_.notify_all();
}

void TTestUIThread::Run(const std::function<void()>& fn) { Synchronize(fn); }

void TTestUIThread::Stall() {
  std::lock_guard<std::mutex> lock(mutex_);
  stalled_ = true;
}

void TTestUIThread::Release() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stalled_ = false;
    wake_ = true;
  }
  cv_.notify_all();
}

bool TTestUIThread::WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    bool ok = false;
    Run([&] { ok = pred(); });
    if (ok) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}
