#include "support/FakeClock.h"

#include <thread>

TFakeClock::TFakeClock(TDateTime start) : start_(start) {}

TDateTime TFakeClock::Now() {
  std::lock_guard<std::mutex> lock(mutex_);
  return dt::AddMilliseconds(start_, nowMs_);
}

int64_t TFakeClock::SteadyMs() {
  std::lock_guard<std::mutex> lock(mutex_);
  return nowMs_;
}

void TFakeClock::SleepMs(int ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (speedup_ > 0 || released_) {
    nowMs_ += ms > 0 ? ms : 0;
    const double speedup = speedup_ > 0 ? speedup_ : 1e9;
    lock.unlock();
    const auto real = std::chrono::microseconds(static_cast<int64_t>(ms * 1000.0 / speedup));
    if (real.count() > 0) std::this_thread::sleep_for(real);
    else std::this_thread::yield();
    return;
  }
  const int64_t deadline = nowMs_ + (ms > 0 ? ms : 0);
  ++sleepers_;
  cv_.notify_all();
  cv_.wait(lock, [&] { return nowMs_ >= deadline || released_ || speedup_ > 0; });
  --sleepers_;
  cv_.notify_all();
}

void TFakeClock::Advance(int64_t ms) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    nowMs_ += ms;
  }
  cv_.notify_all();
}

void TFakeClock::AdvanceInSteps(int64_t totalMs, int64_t stepMs, std::chrono::milliseconds settle) {
  for (int64_t done = 0; done < totalMs; done += stepMs) {
    int parked;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      parked = sleepers_;
    }
    Advance(std::min(stepMs, totalMs - done));
    // Give the woken threads the chance to run and park again.
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, std::chrono::milliseconds(1));
    cv_.wait_for(lock, settle, [&] { return sleepers_ >= parked; });
  }
}

int TFakeClock::Sleepers() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sleepers_;
}

bool TFakeClock::WaitForSleepers(int n, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, timeout, [&] { return sleepers_ >= n; });
}

void TFakeClock::SetAccelerated(double speedup) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    speedup_ = speedup;
  }
  cv_.notify_all();
}

void TFakeClock::ReleaseAll() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
  }
  cv_.notify_all();
}
