#pragma once
// Stands in for the auto-repeat timer of the edit buttons: while an instance
// of TFakeRepeatTimers lives, every button gets a timer that fires only when
// the test says so.
#include <vector>

#include "controls/ToolCtrlsEx.h"

class TFakeRepeatTimers;

class TFakeRepeatTimer final : public TRepeatTimer {
 public:
  explicit TFakeRepeatTimer(TFakeRepeatTimers* owner) : owner_(owner) {}
  ~TFakeRepeatTimer() override;
  void Start(int intervalMs) override {
    interval_ = intervalMs;
    active_ = true;
  }
  void SetInterval(int intervalMs) override { interval_ = intervalMs; }
  int Interval() const override { return interval_; }
  void Stop() override { active_ = false; }
  bool IsActive() const override { return active_; }
  // One tick, as the real timer would give after Interval() ms.
  void Fire() {
    if (active_ && OnTimer) OnTimer();
  }
  void Detach() { owner_ = nullptr; }

 private:
  TFakeRepeatTimers* owner_;
  int interval_ = 0;
  bool active_ = false;
};

class TFakeRepeatTimers {
 public:
  TFakeRepeatTimers();
  ~TFakeRepeatTimers();
  TFakeRepeatTimers(const TFakeRepeatTimers&) = delete;
  TFakeRepeatTimers& operator=(const TFakeRepeatTimers&) = delete;
  // The timers created so far that still exist, oldest first.
  const std::vector<TFakeRepeatTimer*>& Timers() const { return timers_; }
  TFakeRepeatTimer* Last() const { return timers_.empty() ? nullptr : timers_.back(); }
  void Forget(TFakeRepeatTimer* timer);

 private:
  std::vector<TFakeRepeatTimer*> timers_;
};
