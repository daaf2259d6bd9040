#include "logstore/LogExport.h"

TLogExport::TLogExport(std::vector<TFile> Files, TOpenLog Open, TDateTimeFormat Format)
    : worker_(&TLogExport::Run, this, std::move(Files), std::move(Open), std::move(Format)) {}

TLogExport::~TLogExport() {
  Cancel();
  Wait();
}

void TLogExport::Cancel() { progress_.Cancel = true; }

void TLogExport::Wait() {
  if (worker_.joinable()) worker_.join();
}

std::string TLogExport::Error() const {
  std::lock_guard lock(mutex_);
  return error_;
}

void TLogExport::Run(std::vector<TFile> Files, TOpenLog Open, TDateTimeFormat Format) {
  try {
    // Each log is opened (and its rows fixed) first, for the total; rows
    // logged during the export go to the next one.
    std::vector<std::unique_ptr<ILogPager>> logs;
    int64_t total = 0;
    for (const TFile& f : Files) {
      logs.push_back(Open(f.View));
      total += logs.back()->Count();
    }
    total_ = total;
    for (size_t i = 0; i < Files.size(); ++i) {
      current_ = i;
      WriteLogCsv(*logs[i], Files[i].Name, Format, &progress_);
      logs[i].reset();
    }
  } catch (const ECsvCancelled&) {
  } catch (const std::exception& e) {
    std::lock_guard lock(mutex_);
    error_ = e.what();
  }
  done_ = true;
}
