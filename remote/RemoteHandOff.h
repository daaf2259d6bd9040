#pragma once
// Hands work from the command socket's workers to the user-interface thread
// and waits for it. Stop cancels every waiting and every later hand-off, so
// the user-interface thread can join the workers without a deadlock.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class TRemoteHandOff {
 public:
  // Post queues a function for the user-interface thread.
  using TPost = std::function<void(std::function<void()>)>;
  explicit TRemoteHandOff(TPost Post) : Post_(std::move(Post)) {}

  // Worker: runs Fn on the user-interface thread; false, without running it,
  // once cancelled.
  bool Run(const std::function<void()>& Fn);
  // Refuses every pending and later call.
  void Cancel();
  // Accepts calls again.
  void Resume();

 private:
  struct TCall {
    std::function<void()> Fn;
    bool Done = false, Cancelled = false;
  };
  TPost Post_;
  std::mutex Lock_;
  std::condition_variable DoneCv_;
  std::vector<std::shared_ptr<TCall>> Pending_;
  bool Cancelled_ = false;
};
