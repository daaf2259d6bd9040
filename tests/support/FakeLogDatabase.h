#pragma once
// An in-memory stand-in for the log database: keeps what was written, can be
// told to fail, and remembers the purge cutoffs and the commits.
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "logstore/LogDatabase.h"
#include "receiver/RDS_Collector.h"

class TFakeLogDatabase final : public ILogDatabase {
 public:
  struct TChange {
    int32_t SIG = 0, INTD = 0;
    std::string STR;
  };
  std::vector<TChange> Changes;  // written, committed or not
  std::vector<TRawRecord> Raws;
  std::vector<TExtRecord> Exts;
  std::optional<TConfigRow> Config;
  std::vector<TDateTime> Purges;
  int Commits = 0;
  size_t CommittedRows = 0;  // log rows at the last commit
  int WriteCalls = 0;        // insert calls, failed ones included
  bool FailWrites = false;   // inserts throw while set
  bool FailCommits = false;  // commits throw while set
  std::string Path;

  void Open(const std::string& path) override { Path = path, open_ = true; }
  void Close() override {
    if (open_) Commit();
    open_ = false;
  }
  bool IsOpen() const override { return open_; }
  bool ReadConfig(TConfigRow& row) override { return Config ? (row = *Config, true) : false; }
  void InsertConfig(const TConfigRow& row) override { Config = row; }
  void UpdateConfig(const TConfigRow& row) override {
    if (!Config) throw std::runtime_error("no settings row");
    Config = row;
  }
  void Purge(TDateTime cutoff) override { Purges.push_back(cutoff); }
  void InsertChange(int32_t sig, int32_t intd, const std::string& str) override {
    Written();
    Changes.push_back({sig, intd, str});
  }
  void InsertRaw(const TRawRecord& rec) override { Written(), Raws.push_back(rec); }
  void InsertExt(const TExtRecord& rec) override { Written(), Exts.push_back(rec); }
  void Commit() override {
    if (FailCommits) throw std::runtime_error("disk full");
    ++Commits;
    CommittedRows = Rows();
  }
  TLogRowCounts CountRows() override {
    return {Config ? 1 : 0, static_cast<int64_t>(Changes.size()), static_cast<int64_t>(Raws.size()),
            static_cast<int64_t>(Exts.size())};
  }
  void ReadChangeLog(TChangeLogView, const std::function<void(const TChangeLogRow&)>&) override {}
  void ReadRawLog(const std::function<void(const TRawLogRow&)>&) override {}
  void ReadExtLog(const std::function<void(const TExtLogRow&)>&) override {}

  size_t Rows() const { return Changes.size() + Raws.size() + Exts.size(); }

 private:
  void Written() {
    ++WriteCalls;
    if (FailWrites) throw std::runtime_error("disk full");
  }
  bool open_ = false;
};
