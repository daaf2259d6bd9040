#include "logstore/LogWriter.h"

#include <exception>

TLogWriter::TLogWriter(ILogDatabase& Db) : db_(Db) { Start(); }

TLogWriter::~TLogWriter() { Stop(); }

void TLogWriter::Post(int64_t NowMs, TInsert Insert) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (stopped_) {
    lock.unlock();
    const std::lock_guard<std::mutex> db(dbMutex_);
    Run({NowMs, std::move(Insert)});
    return;
  }
  room_.wait(lock, [&] { return queue_.size() < kMaxQueued; });
  queue_.push_back({NowMs, std::move(Insert)});
  lock.unlock();
  work_.notify_one();
}

void TLogWriter::Tick(int64_t NowMs) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (stopped_) return;
    queue_.push_back({NowMs, {}});
  }
  work_.notify_one();
}

void TLogWriter::Exclusive(const std::function<void(ILogDatabase&)>& Fn) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [&] { return queue_.empty() && !busy_; });
  }
  // Only the caller hands rows over, so none can come in between.
  const std::lock_guard<std::mutex> db(dbMutex_);
  Fn(db_);
}

void TLogWriter::Committed() {
  pending_ = false;
  durable_.store(written_);
  ++commits_;
  suspended_.store(false);
}

void TLogWriter::CommitFailed(int64_t NowMs, const std::string& What) { Fault(NowMs, What); }

void TLogWriter::Stop() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (stopped_) return;
  }
  TerminateAndWait();
  const std::lock_guard<std::mutex> lock(mutex_);
  stopped_ = true;
}

std::string TLogWriter::TakeFault() {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::string f;
  f.swap(fault_);
  return f;
}

void TLogWriter::TerminatedSet() {
  { const std::lock_guard<std::mutex> lock(mutex_); }
  work_.notify_all();
}

void TLogWriter::Execute() {
  for (;;) {
    TJob job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      busy_ = false;
      if (queue_.empty()) idle_.notify_all();
      // Rows handed over before the stop are still written.
      work_.wait(lock, [&] { return !queue_.empty() || Terminated(); });
      if (queue_.empty()) return;
      job = std::move(queue_.front());
      queue_.pop_front();
      busy_ = true;
    }
    room_.notify_one();
    if (takenHook_) takenHook_();
    const std::lock_guard<std::mutex> db(dbMutex_);
    Run(job);
  }
}

void TLogWriter::Run(const TJob& Job) {
  if (Job.Insert) {
    if (suspended_ && Job.Stamp < retryAtMs_) {
      ++dropped_;
      return;
    }
    try {
      Job.Insert(db_);
    } catch (const std::exception& e) {
      ++dropped_;
      Fault(Job.Stamp, e.what());
      return;
    }
    ++written_;
    if (!pending_) {
      pending_ = true;
      oldestPendingMs_ = Job.Stamp;
    }
    // A suspended log resumes only once a commit went through again.
    if (suspended_) return CommitPending(Job.Stamp);
  }
  CommitIfDue(Job.Stamp);
}

void TLogWriter::CommitIfDue(int64_t NowMs) {
  if (!pending_) return;
  if (suspended_ && NowMs < retryAtMs_) return;
  if (NowMs - oldestPendingMs_ >= kCommitAgeMs) CommitPending(NowMs);
}

void TLogWriter::CommitPending(int64_t NowMs) {
  if (!pending_) return;
  try {
    db_.Commit();
  } catch (const std::exception& e) {
    Fault(NowMs, e.what());
    return;
  }
  Committed();
}

void TLogWriter::Fault(int64_t NowMs, const std::string& What) {
  retryAtMs_ = NowMs + kRetryMs;
  if (suspended_) return;
  suspended_.store(true);
  const std::lock_guard<std::mutex> lock(mutex_);
  fault_ = "Writing the log database failed; logging is suspended and retried: " + What;
}
