#pragma once
// The texts of a log row as the viewer shows them and the CSV export writes
// them, column by column.
#include <string>
#include <vector>

#include "logstore/LogPager.h"

// How dates and times are shown: Qt date and time patterns (by default the
// user's short date and long time formats).
struct TDateTimeFormat {
  std::string ShortDate = "dd.MM.yyyy";
  std::string LongTime = "HH:mm:ss";
};
TDateTimeFormat SystemDateTimeFormat();
// Date, a blank and the time; the time is left out at exactly midnight. A
// stamp of 0 (no time stored) gives an empty text.
std::string DateTimeText(TDateTime T, const TDateTimeFormat& Format);

// The grid's column titles of a view's log, in column order.
const std::vector<std::string>& LogColumnTitles(TLogView View);
// The CSV header fields of a view's log.
const std::vector<std::string>& LogCsvHeader(TLogView View);

// The texts of one row, one per grid column (texts as stored, Latin-1 bytes,
// fixed-length columns with their padding).
void LogRowTexts(TLogView View, const TLogRecord& Row, const TDateTimeFormat& Format,
                 std::vector<std::string>& Out);
