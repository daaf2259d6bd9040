#pragma once
// Running code on the user-interface thread from a worker thread and waiting
// for it (the "synchronous call into the main thread").
//
// The calls wait in a queue of our own rather than inside the GUI toolkit, so
// that a main thread that waits for a worker can keep serving them
// (ServeWhile), and shut-down can cancel them instead of deadlocking.
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class TMainThreadInvoker {
 public:
  TMainThreadInvoker();
  virtual ~TMainThreadInvoker();
  TMainThreadInvoker(const TMainThreadInvoker&) = delete;
  TMainThreadInvoker& operator=(const TMainThreadInvoker&) = delete;

  // Runs fn on the main thread and returns when it has run. On the main thread
  // itself fn runs at once. Returns false, without running fn, once the invoker
  // is cancelled. Exceptions thrown by fn are rethrown on the caller's thread.
  bool Synchronize(const std::function<void()>& fn);

  // As Synchronize, for a caller that waits in a way of its own (the packet
  // delivery waits for its call and its next packet in one sleep): Begin
  // queues fn and returns at once; finished() is called, without the
  // invoker's lock, once fn has run or the call was cancelled, on the thread
  // that ran or cancelled it. After that, Outcome is what Synchronize would
  // have returned (fn's exception rethrown). Begin returns null, calling
  // nothing, once the invoker is cancelled.
  struct TCall;
  using TCallHandle = std::shared_ptr<TCall>;
  TCallHandle Begin(std::function<void()> fn, std::function<void()> finished);
  static bool Outcome(const TCallHandle& call);

  // Main thread: runs every call queued so far. Returns how many ran.
  int ProcessPending();

  // Main thread: keeps serving queued calls until done() is true.
  void ServeWhile(const std::function<bool()>& notDone);

  // Refuses every queued and future call; their Synchronize returns false.
  void Cancel();
  // Accepts calls again after Cancel.
  void Resume();
  bool Cancelled() const;

  bool IsMainThread() const { return std::this_thread::get_id() == mainThread_; }
  std::thread::id MainThreadId() const { return mainThread_; }

 protected:
  // Asks the main thread to call ProcessPending soon. Called without locks held.
  virtual void Wake() = 0;
  void SetMainThread(std::thread::id id) { mainThread_ = id; }

 public:
  struct TCall {
    std::function<void()> fn;
    std::function<void()> finished;
    bool done = false;
    bool cancelled = false;
    std::exception_ptr error;
  };

 private:
  std::thread::id mainThread_;
  mutable std::mutex mutex_;
  std::condition_variable doneCv_;   // a call finished or was cancelled
  std::condition_variable queueCv_;  // a call was queued (for ServeWhile)
  std::deque<std::shared_ptr<TCall>> queue_;
  bool cancelled_ = false;
};

// The invoker of the running program: wakes Qt's event loop on the thread that
// created it (the GUI thread).
std::unique_ptr<TMainThreadInvoker> MakeQtMainThreadInvoker();
