#pragma once
// The log rows' way into the database, off the UI thread. The UI thread hands
// each row over as it logs it; one writer thread inserts the rows in that
// order and commits them (keeping the transaction's context) once the oldest
// uncommitted row is kCommitAgeMs old. A commit with forced writes takes tens
// of milliseconds on a real disk; here it never stalls the UI thread.
//
// The attachment is used by one thread at a time: the writer thread for the
// rows, or a caller of Exclusive (the settings row, the viewer's reads, the
// shut-down), which first waits until every row handed over is written, so it
// sees them all. A thread that gets the attachment holds its lock.
//
// A failing insert or commit suspends logging: rows are dropped (and counted)
// until kRetryMs have passed; then the next row or tick tries again, and a
// commit that goes through resumes logging. The fault is told once, to
// whoever asks (TakeFault, on the UI thread). All times are the caller's
// clock, stamped when a row or tick is handed over.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "logstore/LogDatabase.h"
#include "platform/Thread.h"

class TLogWriter final : private TThread {
 public:
  // Rows older than this are committed by the next row or tick.
  static constexpr int64_t kCommitAgeMs = 500;
  // A suspended log tries again after this long.
  static constexpr int64_t kRetryMs = 5000;
  // Rows that may wait; a caller handing over more waits for room (the
  // database is then slower than the rows come, and no row is dropped).
  static constexpr size_t kMaxQueued = 4096;

  using TInsert = std::function<void(ILogDatabase&)>;

  explicit TLogWriter(ILogDatabase& Db);
  ~TLogWriter() override;  // Stop

  // Hands one row's insert over, stamped with the caller's time.
  void Post(int64_t NowMs, TInsert Insert);
  // The timer's tick: commits when the oldest waiting row is old enough.
  // Does not wait.
  void Tick(int64_t NowMs);
  // Waits until every row handed over is written, then runs Fn on the
  // calling thread with the attachment to itself. Fn's exceptions pass on.
  void Exclusive(const std::function<void(ILogDatabase&)>& Fn);
  // Inside Exclusive: a commit made there made every written row durable.
  void Committed();
  // Inside Exclusive: a commit made there failed; suspends and tells it
  // like a failing commit of the writer thread.
  void CommitFailed(int64_t NowMs, const std::string& What);
  // Writes every row handed over, then ends the thread. Rows handed over
  // later are written by the caller's thread.
  void Stop();

  // The fault to tell, once; empty when there is none.
  std::string TakeFault();
  uint64_t Commits() const { return commits_.load(); }
  // Rows written and committed since the start.
  uint64_t DurableRows() const { return durable_.load(); }
  uint64_t Dropped() const { return dropped_.load(); }
  bool Suspended() const { return suspended_.load(); }

  // Runs on the writer thread after it took a job off the queue and before
  // it locks the attachment to write it, so a test can hold a row there.
  // Set before the first row is handed over.
  void SetTakenHook(std::function<void()> Hook) { takenHook_ = std::move(Hook); }

 private:
  struct TJob {
    int64_t Stamp = 0;
    TInsert Insert;  // empty: a tick
  };
  void Execute() override;
  void TerminatedSet() override;
  // With the attachment's lock held.
  void Run(const TJob& Job);
  void CommitIfDue(int64_t NowMs);
  void CommitPending(int64_t NowMs);
  void Fault(int64_t NowMs, const std::string& What);

  ILogDatabase& db_;
  std::mutex dbMutex_;  // the attachment's lock

  // The queue, under mutex_.
  std::mutex mutex_;
  std::condition_variable work_, room_, idle_;
  std::deque<TJob> queue_;
  bool busy_ = false;
  bool stopped_ = false;
  std::string fault_;
  std::function<void()> takenHook_;

  // Under dbMutex_.
  bool pending_ = false;
  int64_t oldestPendingMs_ = 0;
  int64_t retryAtMs_ = 0;
  uint64_t written_ = 0;

  std::atomic<uint64_t> commits_{0}, durable_{0}, dropped_{0};
  std::atomic<bool> suspended_{false};
};
