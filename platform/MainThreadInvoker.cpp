#include "platform/MainThreadInvoker.h"

#include "platform/HandOff.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <chrono>

TMainThreadInvoker::TMainThreadInvoker() : mainThread_(std::this_thread::get_id()) {}

TMainThreadInvoker::~TMainThreadInvoker() { Cancel(); }

bool TMainThreadInvoker::Synchronize(const std::function<void()>& fn) {
  if (IsMainThread()) {
    fn();
    return true;
  }
  auto call = std::make_shared<TCall>();
  call->fn = fn;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled_) return false;
    queue_.push_back(call);
  }
  queueCv_.notify_all();
  Wake();
  std::unique_lock<std::mutex> lock(mutex_);
  doneCv_.wait(lock, [&] { return call->done || call->cancelled; });
  if (call->cancelled) return false;
  if (call->error) std::rethrow_exception(call->error);
  return true;
}

int TMainThreadInvoker::ProcessPending() {
  int ran = 0;
  for (;;) {
    std::shared_ptr<TCall> call;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty()) break;
      call = queue_.front();
      queue_.pop_front();
    }
    try {
      call->fn();
    } catch (...) {
      call->error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      call->done = true;
    }
    doneCv_.notify_all();
    ++ran;
  }
  return ran;
}

void TMainThreadInvoker::ServeWhile(const std::function<bool()>& notDone) {
  while (notDone()) {
    ProcessPending();
    std::unique_lock<std::mutex> lock(mutex_);
    queueCv_.wait_for(lock, std::chrono::milliseconds(2), [&] { return !queue_.empty(); });
  }
  ProcessPending();
}

void TMainThreadInvoker::Cancel() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    for (auto& c : queue_) c->cancelled = true;
    queue_.clear();
  }
  doneCv_.notify_all();
}

void TMainThreadInvoker::Resume() {
  std::lock_guard<std::mutex> lock(mutex_);
  cancelled_ = false;
}

bool TMainThreadInvoker::Cancelled() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cancelled_;
}

namespace {

class TQtMainThreadInvoker final : public TMainThreadInvoker {
 public:
  TQtMainThreadInvoker() : target_(new QObject()) {}
  ~TQtMainThreadInvoker() override {
    Cancel();
    delete target_;
  }

 protected:
  void Wake() override {
    QMetaObject::invokeMethod(target_, HandedOff([this] { ProcessPending(); }), Qt::QueuedConnection);
  }

 private:
  QObject* target_;  // lives on the GUI thread; queued calls run there
};

}  // namespace

std::unique_ptr<TMainThreadInvoker> MakeQtMainThreadInvoker() {
  return std::make_unique<TQtMainThreadInvoker>();
}
