#pragma once
// A thread's message queue: any thread posts, the owning thread takes.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

template <typename T>
class TThreadMessageQueue {
 public:
  void Post(T msg) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      items_.push_back(std::move(msg));
    }
    cv_.notify_one();
  }

  // Non-blocking take.
  std::optional<T> Peek() {
    std::lock_guard<std::mutex> lock(mutex_);
    return PopLocked();
  }

  // Blocks until a message arrives or Wake() is called; nullopt when woken empty.
  std::optional<T> Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [&] { return !items_.empty() || woken_; });
    woken_ = false;
    return PopLocked();
  }

  // As Wait, but gives up after the time-out.
  std::optional<T> WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, timeout, [&] { return !items_.empty() || woken_; });
    woken_ = false;
    return PopLocked();
  }

  // Blocks until flag is set (by SetAndNotify) and, with andMessage, then
  // until a message is queued or Wake() was called; takes nothing and leaves
  // the wake-up for the next Wait. One sleep for "my call is done and there
  // is more to do".
  void WaitForFlag(const bool& flag, bool andMessage) {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [&] { return flag && (!andMessage || !items_.empty() || woken_); });
  }

  // Sets flag under the queue's lock. Unless always, the waiter is woken only
  // if it can go on now (WaitForFlag with andMessage): otherwise the next
  // Post or Wake wakes it.
  // The notification is given under the lock: this runs on another thread,
  // and a waiter that sees the flag (woken by Wake, say) may go on to destroy
  // the queue the moment the lock is free.
  void SetAndNotify(bool& flag, bool always) {
    std::lock_guard<std::mutex> lock(mutex_);
    flag = true;
    if (always || !items_.empty() || woken_) cv_.notify_all();
  }

  // Releases one waiter even if nothing was posted (termination, flush requests).
  void Wake() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      woken_ = true;
    }
    cv_.notify_all();
  }

  size_t Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_.size();
  }

  // Takes everything queued at once.
  std::deque<T> TakeAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::deque<T> out;
    out.swap(items_);
    return out;
  }

 private:
  std::optional<T> PopLocked() {
    if (items_.empty()) return std::nullopt;
    T v = std::move(items_.front());
    items_.pop_front();
    return v;
  }

  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<T> items_;
  bool woken_ = false;
};
