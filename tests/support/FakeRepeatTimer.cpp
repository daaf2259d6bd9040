#include "support/FakeRepeatTimer.h"

#include <algorithm>
#include <memory>

TFakeRepeatTimer::~TFakeRepeatTimer() {
  if (owner_) owner_->Forget(this);
}

TFakeRepeatTimers::TFakeRepeatTimers() {
  SetRepeatTimerFactory([this]() -> std::unique_ptr<TRepeatTimer> {
    auto timer = std::make_unique<TFakeRepeatTimer>(this);
    timers_.push_back(timer.get());
    return timer;
  });
}

TFakeRepeatTimers::~TFakeRepeatTimers() {
  SetRepeatTimerFactory(nullptr);
  for (TFakeRepeatTimer* t : timers_) t->Detach();
}

void TFakeRepeatTimers::Forget(TFakeRepeatTimer* timer) {
  timers_.erase(std::remove(timers_.begin(), timers_.end(), timer), timers_.end());
}
