#pragma once
// A clock that tests drive. Two modes:
// - manual (default): SleepMs blocks until Advance() moves fake time past the
//   sleeper's deadline; Sleepers() tells how many threads are parked, so a test
//   can step time deterministically.
// - accelerated: SleepMs advances fake time itself and really sleeps ms/Speedup,
//   for end-to-end runs that must pass seconds of device time quickly.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/Clock.h"

class TFakeClock final : public IClock {
 public:
  explicit TFakeClock(TDateTime start = dt::EncodeDate(2026, 1, 1) + dt::EncodeTime(12, 0, 0, 0));

  TDateTime Now() override;
  int64_t SteadyMs() override;
  void SleepMs(int ms) override;

  // Manual mode: moves time forward and wakes every sleeper whose time has come.
  void Advance(int64_t ms);
  // Advances in steps of `step` ms, letting woken threads run between steps
  // until they park again (or `settle` real time passes).
  void AdvanceInSteps(int64_t totalMs, int64_t stepMs,
                      std::chrono::milliseconds settle = std::chrono::milliseconds(20));
  // Number of threads parked in SleepMs right now.
  int Sleepers() const;
  // Waits (real time) until at least n threads are parked.
  bool WaitForSleepers(int n, std::chrono::milliseconds timeout = std::chrono::seconds(5));

  // Accelerated mode: speedup > 0 lets sleeps advance time by themselves.
  void SetAccelerated(double speedup);
  // Releases every sleeper for good (test tear-down).
  void ReleaseAll();

 private:
  const TDateTime start_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  int64_t nowMs_ = 0;
  int sleepers_ = 0;
  double speedup_ = 0;
  bool released_ = false;
};
