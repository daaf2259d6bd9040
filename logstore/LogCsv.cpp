#include "logstore/LogCsv.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace {

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

struct TFileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

[[noreturn]] void Fail(const char* what, const std::string& file, int error) {
  throw std::runtime_error(std::string(what) + " \"" + file + "\": " + std::strerror(error));
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

int64_t WriteLogCsv(ILogPager& Source, const std::string& File, const TDateTimeFormat& Format) {
  std::unique_ptr<FILE, TFileCloser> out(std::fopen(File.c_str(), "wb"));
  if (!out) Fail("Cannot create file", File, errno);
  const TLogView view = Source.View();
  std::string line = CsvLine(LogCsvHeader(view)) + "\r\n";
  std::vector<std::string> fields;
  int64_t rows = 0;
  auto put = [&](const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), out.get()) != text.size()) Fail("Cannot write file", File, errno);
  };
  put(line);
  Source.ReadAll([&](int64_t, const TLogRecord& row) {
    LogRowTexts(view, row, Format, fields);
    if (view == TLogView::Raw)
      for (size_t k = 2; k < fields.size(); ++k) fields[k] = "$" + fields[k];
    line = CsvLine(fields);
    line += "\r\n";
    put(line);
    ++rows;
  });
  if (std::fflush(out.get()) != 0) Fail("Cannot write file", File, errno);
  FILE* f = out.release();
  if (std::fclose(f) != 0) Fail("Cannot write file", File, errno);
  return rows;
}
