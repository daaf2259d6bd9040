#include "platform/Thread.h"

#include "platform/MainThreadInvoker.h"

TThread::~TThread() {
  // Derived classes stop their thread in their own destructor (Execute is
  // theirs); this is the last safety net for a thread that never ran.
  Terminate();
  std::lock_guard<std::mutex> lock(joinMutex_);
  if (thread_.joinable()) thread_.join();
}

void TThread::Start() {
  bool expected = false;
  if (!started_.compare_exchange_strong(expected, true)) return;
  thread_ = std::thread([this] { Run(); });
}

void TThread::Run() {
  Execute();
  finished_.store(true);
}

void TThread::Terminate() {
  terminated_.store(true);
  TerminatedSet();
}

void TThread::WaitFor(TMainThreadInvoker* mainThread) {
  if (!started_.load()) return;
  if (mainThread && mainThread->IsMainThread())
    mainThread->ServeWhile([this] { return !finished_.load(); });
  std::lock_guard<std::mutex> lock(joinMutex_);
  if (thread_.joinable()) thread_.join();
}
