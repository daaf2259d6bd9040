#pragma once
// The CSV export of one log: a header line, then one line per row of the
// view in its order, read through a cursor of the writer's own.
#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "logstore/LogPager.h"
#include "logstore/LogTexts.h"

// One CSV line without its end: the fields joined by commas; a field holding
// a character of code 32 or below, a double quote or a comma is quoted with
// inner quotes doubled; a line of one empty field is two double quotes.
std::string CsvLine(const std::vector<std::string>& Fields);

// The file a log is exported to: Base (the chosen folder and name as typed)
// followed by "_change_log.csv", "_raw_log.csv" or "_extended_log.csv".
std::string CsvFileName(const std::string& Base, TLogView View);

// An export watched and stopped from another thread.
struct TCsvProgress {
  std::atomic<int64_t> Rows{0};     // lines written so far, headers left out
  std::atomic<bool> Cancel{false};  // set to stop the export
};

// Thrown by WriteLogCsv when its progress was cancelled.
class ECsvCancelled : public std::runtime_error {
 public:
  ECsvCancelled() : std::runtime_error("cancelled") {}
};

// Writes the view's log to File (created or replaced once complete), lines
// ending in CR LF, texts as their stored bytes. Throws std::runtime_error
// with a clear message when the file cannot be created or written, and
// ECsvCancelled on a cancel; either leaves no file. Returns the rows written.
int64_t WriteLogCsv(ILogPager& Source, const std::string& File, const TDateTimeFormat& Format,
                    TCsvProgress* Progress = nullptr);
