#include "remote/RemoteHandOff.h"

#include <algorithm>

bool TRemoteHandOff::Run(const std::function<void()>& Fn) {
  auto call = std::make_shared<TCall>();
  call->Fn = Fn;
  {
    std::lock_guard<std::mutex> g(Lock_);
    if (Cancelled_) return false;
    Pending_.push_back(call);
  }
  Post_([this, call] {
    {
      std::lock_guard<std::mutex> g(Lock_);
      if (call->Cancelled) return;
    }
    // The worker waits, so its locals stay valid while Fn runs.
    call->Fn();
    std::lock_guard<std::mutex> g(Lock_);
    call->Done = true;
    DoneCv_.notify_all();
  });
  std::unique_lock<std::mutex> g(Lock_);
  DoneCv_.wait(g, [&] { return call->Done || call->Cancelled; });
  Pending_.erase(std::remove(Pending_.begin(), Pending_.end(), call), Pending_.end());
  return call->Done;
}

void TRemoteHandOff::Cancel() {
  std::lock_guard<std::mutex> g(Lock_);
  Cancelled_ = true;
  for (auto& c : Pending_)
    if (!c->Done) c->Cancelled = true;
  DoneCv_.notify_all();
}

void TRemoteHandOff::Resume() {
  std::lock_guard<std::mutex> g(Lock_);
  Cancelled_ = false;
}
