#pragma once
// A worker thread in the style the program's units expect: created suspended,
// started once, asked to terminate, then waited for.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

class TMainThreadInvoker;

class TThread {
 public:
  TThread() = default;
  virtual ~TThread();  // a still-running thread is terminated and waited for
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Starts Execute on its own thread; later calls do nothing.
  void Start();
  // Sets Terminated and calls TerminatedSet so a blocked Execute can wake.
  void Terminate();
  // Waits until Execute has returned. When called on the main thread with its
  // invoker, the main thread keeps serving synchronous calls while it waits,
  // so a worker blocked in Synchronize can still finish.
  void WaitFor(TMainThreadInvoker* mainThread = nullptr);
  void TerminateAndWait(TMainThreadInvoker* mainThread = nullptr) {
    Terminate();
    WaitFor(mainThread);
  }

  bool Terminated() const { return terminated_.load(); }
  bool Started() const { return started_.load(); }
  bool Finished() const { return finished_.load(); }

 protected:
  virtual void Execute() = 0;
  virtual void TerminatedSet() {}

 private:
  void Run();

  std::thread thread_;
  std::atomic<bool> started_{false};
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::mutex joinMutex_;
};
