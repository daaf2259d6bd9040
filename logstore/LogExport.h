#pragma once
// The CSV export of the chosen logs on a thread of its own, so the program
// stays live (decoding, logging, painting) however long the logs are. Each
// log is read through a pager of its own attachment while the writers go on,
// and each file appears only once complete.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "logstore/LogCsv.h"

class TLogExport {
 public:
  struct TFile {
    TLogView View;
    std::string Name;
  };
  using TOpenLog = std::function<std::unique_ptr<ILogPager>(TLogView)>;

  // Starts writing Files in their order.
  TLogExport(std::vector<TFile> Files, TOpenLog Open, TDateTimeFormat Format);
  // Cancels what is still running and waits for it.
  ~TLogExport();

  // Stops at the next row; the file being written is dropped, the files
  // already complete stay.
  void Cancel();
  // Waits for the end (a cancel ends it within a row).
  void Wait();

  bool Done() const { return done_.load(); }
  // Rows written so far, and about how many there are in all (known once
  // every log was counted, 0 before).
  int64_t RowsWritten() const { return progress_.Rows.load(); }
  int64_t RowsTotal() const { return total_.load(); }
  // The file being written (its index in Files).
  size_t Current() const { return current_.load(); }
  // Once done: why it stopped early ("" when it ran to the end or was cancelled).
  std::string Error() const;

 private:
  void Run(std::vector<TFile> Files, TOpenLog Open, TDateTimeFormat Format);

  TCsvProgress progress_;
  std::atomic<int64_t> total_{0};
  std::atomic<size_t> current_{0};
  std::atomic<bool> done_{false};
  mutable std::mutex mutex_;
  std::string error_;
  std::thread worker_;
};
