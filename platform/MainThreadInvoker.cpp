#include "platform/MainThreadInvoker.h"

#include "platform/HandOff.h"

#include <QCoreApplication>
#include <QEvent>
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

TMainThreadInvoker::TCallHandle TMainThreadInvoker::Begin(std::function<void()> fn, std::function<void()> finished) {
  auto call = std::make_shared<TCall>();
  call->fn = std::move(fn);
  call->finished = std::move(finished);
  if (IsMainThread()) {
    try {
      call->fn();
    } catch (...) {
      call->error = std::current_exception();
    }
    call->done = true;
    if (call->finished) call->finished();
    return call;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled_) return nullptr;
    queue_.push_back(call);
  }
  queueCv_.notify_all();
  Wake();
  return call;
}

bool TMainThreadInvoker::Outcome(const TCallHandle& call) {
  if (!call || call->cancelled || !call->done) return false;
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
    if (call->finished) call->finished();
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
  std::deque<std::shared_ptr<TCall>> refused;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    for (auto& c : queue_) c->cancelled = true;
    refused.swap(queue_);
  }
  doneCv_.notify_all();
  for (auto& c : refused)
    if (c->finished) c->finished();
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

// Receives the wake-ups: a bare event, not a queued call, since one comes
// with every packet and a queued call allocates and frees a slot object too.
class TWakeTarget final : public QObject {
 public:
  static constexpr QEvent::Type kWake = QEvent::User;
  explicit TWakeTarget(TMainThreadInvoker& invoker) : invoker_(invoker) {}
  bool event(QEvent* e) override {
    HandOffReceived(this);  // before the event, which the posting thread made, is read
    if (e->type() != kWake) return QObject::event(e);
    invoker_.ProcessPending();
    return true;
  }

 private:
  TMainThreadInvoker& invoker_;
};

class TQtMainThreadInvoker final : public TMainThreadInvoker {
 public:
  TQtMainThreadInvoker() : target_(new TWakeTarget(*this)) {}
  ~TQtMainThreadInvoker() override {
    Cancel();
    delete target_;
  }

 protected:
  void Wake() override {
    auto* wake = new QEvent(TWakeTarget::kWake);
    HandOffPosted(target_);  // the event included
    QCoreApplication::postEvent(target_, wake);
  }

 private:
  TWakeTarget* target_;  // lives on the GUI thread; queued calls run there
};

}  // namespace

std::unique_ptr<TMainThreadInvoker> MakeQtMainThreadInvoker() {
  return std::make_unique<TQtMainThreadInvoker>();
}
