#include "logstore/LogTexts.h"

#include <QDate>
#include <QLocale>
#include <algorithm>
#include <cmath>

#include "logstore/LogFields.h"

namespace {

bool IsChangeView(TLogView v) { return v != TLogView::Raw && v != TLogView::Ext; }

// Qt's long time format carries the time zone, which the log's local stamps
// do not have.
std::string WithoutZone(QString format) {
  format.remove(QLatin1Char('t'));
  return format.trimmed().toStdString();
}

}  // namespace

TDateTimeFormat SystemDateTimeFormat() {
  const QLocale locale = QLocale::system();
  return {locale.dateFormat(QLocale::ShortFormat).toStdString(), WithoutZone(locale.timeFormat(QLocale::LongFormat))};
}

namespace {

void TwoDigits(std::string& out, int v) {
  out += static_cast<char>('0' + v / 10 % 10);
  out += static_cast<char>('0' + v % 10);
}

// A Qt time pattern (H, HH, h, hh, m, mm, s, ss, z, zzz, AP, ap, quoted
// text) applied without a locale lookup per row: exports format a time for
// every row.
std::string TimeText(const std::string& pattern, int hour, int minute, int second, int ms) {
  const bool twelve = pattern.find_first_of("Aa") != std::string::npos;
  std::string out;
  for (size_t i = 0; i < pattern.size();) {
    const char c = pattern[i];
    size_t n = 1;
    while (i + n < pattern.size() && pattern[i + n] == c) ++n;
    if (c == '\'') {
      const size_t end = pattern.find('\'', i + 1);
      out += pattern.substr(i + 1, (end == std::string::npos ? pattern.size() : end) - i - 1);
      i = end == std::string::npos ? pattern.size() : end + 1;
      continue;
    }
    auto number = [&](int v) { n >= 2 ? TwoDigits(out, v) : void(out += std::to_string(v)); };
    switch (c) {
      case 'H': number(hour); n = std::min<size_t>(n, 2); break;
      case 'h': number(twelve ? (hour + 11) % 12 + 1 : hour); n = std::min<size_t>(n, 2); break;
      case 'm': number(minute); n = std::min<size_t>(n, 2); break;
      case 's': number(second); n = std::min<size_t>(n, 2); break;
      case 'z':
        if (n >= 3) {
          out += static_cast<char>('0' + ms / 100);
          TwoDigits(out, ms % 100);
          n = 3;
        } else {
          out += std::to_string(ms);
          n = 1;
        }
        break;
      case 'A':
      case 'a':
        out += hour < 12 ? (c == 'A' ? "AM" : "am") : (c == 'A' ? "PM" : "pm");
        n = i + 1 < pattern.size() && (pattern[i + 1] == 'P' || pattern[i + 1] == 'p') ? 2 : 1;
        break;
      default: out.append(n, c); break;
    }
    i += n;
  }
  return out;
}

}  // namespace

std::string DateTimeText(TDateTime T, const TDateTimeFormat& Format) {
  if (T == 0) return {};
  const dt::TDateParts p = dt::Decode(T);
  // The date of the row before is usually the date of this one.
  thread_local std::string lastPattern, lastDate;
  thread_local int lastDay = -1;
  const int day = static_cast<int>(std::floor(T));
  if (day != lastDay || lastPattern != Format.ShortDate) {
    lastDate = QLocale::c().toString(QDate(p.Year, p.Month, p.Day), QString::fromStdString(Format.ShortDate)).toStdString();
    lastDay = day;
    lastPattern = Format.ShortDate;
  }
  std::string text = lastDate;
  if (p.Hour || p.Minute || p.Second || p.MilliSecond)
    text += " " + TimeText(Format.LongTime, p.Hour, p.Minute, p.Second, p.MilliSecond);
  return text;
}

const std::vector<std::string>& LogColumnTitles(TLogView View) {
  static const std::vector<std::string> change = {"Date/Time", "What", "Changed to"};
  static const std::vector<std::string> raw = {"GRP", "FREQ", "BL 0", "BL 1", "BL 2", "BL 3"};
  static const std::vector<std::string> ext = {"Date/Time", "MODE", "RDS", "FREQ", "PI/CALL", "TP", "TA", "MS",
                                               "PTY",       "PS",   "DI",  "RTA",  "RTB",     "Total AF", "AF", "CT"};
  return View == TLogView::Raw ? raw : View == TLogView::Ext ? ext : change;
}

const std::vector<std::string>& LogCsvHeader(TLogView View) {
  static const std::vector<std::string> change = {"Date/Time", "What", "Changed to"};
  static const std::vector<std::string> raw = {"Group", "Freq", "Block 0", "Block 1", "Block 2", "Block 3"};
  static const std::vector<std::string> ext = {"Date/Time", "Mode", "RDS Present", "Freq", "PI",  "TP",
                                               "TA",        "MS",   "PTY",         "PS",   "DI",  "RTA",
                                               "RTB",       "Total AFs", "AF",     "CT"};
  return View == TLogView::Raw ? raw : View == TLogView::Ext ? ext : change;
}

void LogRowTexts(TLogView View, const TLogRecord& Row, const TDateTimeFormat& Format, std::vector<std::string>& Out) {
  Out.clear();
  if (IsChangeView(View)) {
    TChangeLogFields f = ChangeLogFields(Row.Ch);
    Out = {DateTimeText(Row.Ch.DT, Format), std::move(f.SIGSTR), std::move(f.VL)};
  } else if (View == TLogView::Raw) {
    TRawLogFields f = RawLogFields(Row.Raw);
    Out = {std::move(f.grp), std::move(f.FREQ1), std::move(f.b0), std::move(f.b1), std::move(f.b2), std::move(f.b3)};
  } else {
    const TExtLogRow& r = Row.Ext;
    TExtLogFields f = ExtLogFields(r);
    Out = {DateTimeText(r.DT, Format), f._MODE, r.RDS, f._FREQ, f._PI, f._TP, f._TA, f._MS, f._PTY,
           r.PS, f._DI, r.RTA, r.RTB, f._AFS, f._AF, f._CTHMS};
  }
}
