#pragma once
// The CSV export of one log: a header line, then one line per row of the
// view in its order, read through a cursor of the writer's own.
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

// Writes the view's log to File (created or overwritten), lines ending in
// CR LF, texts as their stored bytes. Throws std::runtime_error with a clear
// message when the file cannot be created or written; returns the rows written.
int64_t WriteLogCsv(ILogPager& Source, const std::string& File, const TDateTimeFormat& Format);
