#include "logstore/LogCsv.h"

#include <QString>
#include <stdexcept>

#include "platform/AtomicFile.h"

namespace {

constexpr size_t kChunkBytes = 1 << 16;

bool NeedsQuotes(const std::string& s) {
  for (unsigned char c : s)
    if (c <= 32 || c == '"' || c == ',') return true;
  return false;
}

void AppendField(std::string& line, const std::string& field) {
  if (!NeedsQuotes(field)) {
    line += field;
    return;
  }
  line += '"';
  for (char c : field) {
    if (c == '"') line += '"';
    line += c;
  }
  line += '"';
}

[[noreturn]] void Fail(const char* what, const std::string& file, const QString& reason) {
  throw std::runtime_error(std::string(what) + " \"" + file + "\": " + reason.toStdString());
}

}  // namespace

std::string CsvLine(const std::vector<std::string>& Fields) {
  if (Fields.size() == 1 && Fields[0].empty()) return "\"\"";
  std::string line;
  for (size_t i = 0; i < Fields.size(); ++i) {
    if (i) line += ',';
    AppendField(line, Fields[i]);
  }
  return line;
}

std::string CsvFileName(const std::string& Base, TLogView View) {
  switch (View) {
    case TLogView::Raw: return Base + "_raw_log.csv";
    case TLogView::Ext: return Base + "_extended_log.csv";
    default: return Base + "_change_log.csv";
  }
}

int64_t WriteLogCsv(ILogPager& Source, const std::string& File, const TDateTimeFormat& Format,
                    TCsvProgress* Progress) {
  // Written beside the target and put in place at the end: a cancel or a
  // failure leaves no partial file (and an older file as it was).
  TAtomicFileWriter out(QString::fromStdString(File));
  if (!out.Open()) Fail("Cannot create file", File, out.ErrorString());
  const TLogView view = Source.View();
  std::string chunk = CsvLine(LogCsvHeader(view)) + "\r\n";
  std::vector<std::string> fields;
  int64_t rows = 0;
  auto flush = [&] {
    if (!out.Write(chunk.data(), static_cast<qint64>(chunk.size()))) Fail("Cannot write file", File, out.ErrorString());
    chunk.clear();
  };
  Source.ReadAll([&](int64_t, const TLogRecord& row) {
    if (Progress && Progress->Cancel.load(std::memory_order_relaxed)) throw ECsvCancelled();
    LogRowTexts(view, row, Format, fields);
    if (view == TLogView::Raw)
      for (size_t k = 2; k < fields.size(); ++k) fields[k] = "$" + fields[k];
    chunk += CsvLine(fields);
    chunk += "\r\n";
    if (chunk.size() >= kChunkBytes) flush();
    ++rows;
    if (Progress) Progress->Rows.fetch_add(1, std::memory_order_relaxed);
  });
  flush();
  if (!out.Commit()) Fail("Cannot write file", File, out.ErrorString());
  return rows;
}
