#include "logstore/LogTexts.h"

#include <QDate>
#include <QLocale>
#include <QTime>

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

std::string DateTimeText(TDateTime T, const TDateTimeFormat& Format) {
  if (T == 0) return {};
  const dt::TDateParts p = dt::Decode(T);
  const QLocale c = QLocale::c();
  std::string text = c.toString(QDate(p.Year, p.Month, p.Day), QString::fromStdString(Format.ShortDate)).toStdString();
  if (p.Hour || p.Minute || p.Second || p.MilliSecond)
    text += " " + c.toString(QTime(p.Hour, p.Minute, p.Second, p.MilliSecond),
                             QString::fromStdString(Format.LongTime)).toStdString();
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
