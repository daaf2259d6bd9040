#include "logstore/LogDatabase.h"

#include "logstore/FbDatabase.h"
#include "logstore/LogRowReader.h"
#include "receiver/RDS_Collector.h"

const char* const TConfigRow::Names[TConfigRow::kCount] = {
    "PLLHI", "PLLLO", "INF",  "ELOGTIME", "ELO1", "ELO2", "PRESET1", "PRESET2",
    "PRESET3", "PRESET4", "PRESET5", "LOGLIVE", "OPT1", "OPT2", "OPT3", "OPT4",
    "OPT5", "OPT6", "OPT7", "OPT8", "OPT9", "OPT10", "OPT11"};

namespace {

std::string ConfigColumnList() {
  std::string s;
  for (int c = 0; c < TConfigRow::kCount; ++c) {
    if (c) s += ", ";
    s += TConfigRow::Names[c];
  }
  return s;
}

const char* const kCountSql =
    "select (select count(*) from CONFIG), (select count(*) from LOG_CH), "
    "(select count(*) from LOG_RAW), (select count(*) from LOG_EXT) from RDB$DATABASE";

TLogRowCounts ReadCounts(fb::TStatement& st) {
  st.Open();
  TLogRowCounts n;
  if (st.Fetch()) {
    n.Config = st.GetInt(0);
    n.Changes = st.GetInt(1);
    n.Raw = st.GetInt(2);
    n.Ext = st.GetInt(3);
    st.CloseCursor();
  }
  return n;
}

class TFbLogDatabase final : public ILogDatabase {
 public:
  ~TFbLogDatabase() override {
    try {
      Close();
    } catch (...) {
      // The handles are released by their own destructors.
    }
  }

  void Open(const std::string& path) override {
    if (att_.Active()) throw fb::EDatabaseError("log database already open");
    att_.Open(path, LogDatabaseConnectParams());
    tra_.Start(att_);
    const std::string cols = ConfigColumnList();
    std::string marks, sets;
    for (int c = 0; c < TConfigRow::kCount; ++c) {
      marks += c ? ", ?" : "?";
      sets += std::string(c ? ", " : "") + TConfigRow::Names[c] + " = ?";
    }
    selConfig_.Prepare(att_, tra_, "select first 1 RDB$DB_KEY, " + cols + " from CONFIG");
    insConfig_.Prepare(att_, tra_,
                       "insert into CONFIG (" + cols + ") values (" + marks + ") returning RDB$DB_KEY");
    updConfig_.Prepare(att_, tra_, "update CONFIG set " + sets + " where RDB$DB_KEY = ?");
    delRaw_.Prepare(att_, tra_, "delete from LOG_RAW where DT < ?");
    delCh_.Prepare(att_, tra_, "delete from LOG_CH where DT < ?");
    delExt_.Prepare(att_, tra_, "delete from LOG_EXT where DT < ?");
    insCh_.Prepare(att_, tra_,
                   "insert into LOG_CH (ID, SIG, INTD, STR) values (next value for GEN_LOG_CH_ID, ?, ?, ?)");
    insRaw_.Prepare(att_, tra_,
                    "insert into LOG_RAW (ID, BLOCK0, BLOCK1, BLOCK2, BLOCK3, BLOCK4, BLOCK5, FREQ) "
                    "values (next value for GEN_LOG_RAW_ID, ?, ?, ?, ?, ?, ?, ?)");
    insExt_.Prepare(att_, tra_,
                    "insert into LOG_EXT (ID, FREQ, TP, TA, MS, PI, PTY, RTA, RTB, PS, CT, HMS, AFS, DI, "
                    "MODE, RDS, AF) values (next value for GEN_LOG_EXT_ID, "
                    "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    count_.Prepare(att_, tra_, kCountSql);
    configKey_.clear();
  }

  void Close() override {
    if (!att_.Active()) return;
    for (fb::TStatement* st : {&selConfig_, &insConfig_, &updConfig_, &delRaw_, &delCh_,
                               &delExt_, &insCh_, &insRaw_, &insExt_, &count_, &reader_})
      st->Free();
    tra_.Commit();
    att_.Close();
  }

  bool IsOpen() const override { return att_.Active(); }

  bool ReadConfig(TConfigRow& row) override {
    selConfig_.Open();
    if (!selConfig_.Fetch()) return false;
    configKey_ = selConfig_.GetText(0);
    for (int c = 0; c < TConfigRow::kCount; ++c)
      row.Col[c] = static_cast<int32_t>(selConfig_.GetInt(static_cast<unsigned>(c + 1)));
    selConfig_.CloseCursor();
    return true;
  }

  void InsertConfig(const TConfigRow& row) override {
    for (int c = 0; c < TConfigRow::kCount; ++c) insConfig_.SetInt(static_cast<unsigned>(c), row.Col[c]);
    insConfig_.Execute();
    configKey_ = insConfig_.GetText(0);
  }

  void UpdateConfig(const TConfigRow& row) override {
    if (configKey_.empty()) throw fb::EDatabaseError("settings row: not read yet");
    for (int c = 0; c < TConfigRow::kCount; ++c) updConfig_.SetInt(static_cast<unsigned>(c), row.Col[c]);
    updConfig_.SetText(TConfigRow::kCount, configKey_);
    const uint64_t n = updConfig_.Execute();
    if (n != 1)
      throw fb::EDatabaseError("settings row: " + std::to_string(n) + " rows changed instead of one");
  }

  void Purge(TDateTime cutoff) override {
    for (fb::TStatement* st : {&delRaw_, &delCh_, &delExt_}) {
      st->SetTimestamp(0, cutoff);
      st->Execute();
    }
  }

  void InsertChange(int32_t sig, int32_t intd, const std::string& str) override {
    insCh_.SetInt(0, sig);
    insCh_.SetInt(1, intd);
    insCh_.SetText(2, str);
    insCh_.Execute();
  }

  void InsertRaw(const TRawRecord& rec) override {
    for (unsigned k = 0; k < 6; ++k) insRaw_.SetInt(k, rec.Words[k]);
    insRaw_.SetInt(6, rec.Freq);
    insRaw_.Execute();
  }

  void InsertExt(const TExtRecord& r) override {
    fb::TStatement& s = insExt_;
    s.SetInt(0, r.FREQ);
    s.SetInt(1, r.TP);
    s.SetInt(2, r.TA);
    s.SetInt(3, r.MS);
    s.SetInt(4, r.PI);
    s.SetInt(5, r.PTY);
    s.SetText(6, r.RTA);
    s.SetText(7, r.RTB);
    s.SetText(8, r.PS);
    s.SetInt(9, r.CT);
    s.SetInt(10, r.HMS);
    s.SetInt(11, r.AFS);
    s.SetInt(12, r.DI);
    s.SetText(13, r.MODE);
    s.SetText(14, r.RDS);
    s.SetText(15, r.AF);
    s.Execute();
  }

  void Commit() override { tra_.CommitRetaining(); }

  TLogRowCounts CountRows() override { return ReadCounts(count_); }

  void ReadChangeLog(TChangeLogView view, const std::function<void(const TChangeLogRow&)>& cb) override {
    const char* rest = " from LOG_CH order by ID";
    if (view == TChangeLogView::NewestFirst)
      rest = " from LOG_CH order by DT desc";
    else if (view == TChangeLogView::NewestFirstHideSystem)
      rest = " from LOG_CH where SIG <> 8 and SIG <> 12 and SIG <> 200 order by DT desc";
    ReadAll<TChangeLogRow>(Select(kChangeLogColumns, rest), ReadChangeRow, cb);
  }

  void ReadRawLog(const std::function<void(const TRawLogRow&)>& cb) override {
    ReadAll<TRawLogRow>(Select(kRawLogColumns, " from LOG_RAW order by ID"), ReadRawRow, cb);
  }

  void ReadExtLog(const std::function<void(const TExtLogRow&)>& cb) override {
    ReadAll<TExtLogRow>(Select(kExtLogColumns, " from LOG_EXT order by ID"), ReadExtRow, cb);
  }

 private:
  static std::string Select(const char* Columns, const char* Rest) {
    std::string sql("select ");
    sql.append(Columns).append(Rest);
    return sql;
  }

  template <typename TRow>
  void ReadAll(const std::string& sql, void (*decode)(const fb::TStatement&, TRow&),
               const std::function<void(const TRow&)>& cb) {
    reader_.Prepare(att_, tra_, sql);
    reader_.Open();
    TRow row;
    while (reader_.Fetch()) {
      decode(reader_, row);
      cb(row);
    }
    reader_.Free();
  }

  fb::TAttachment att_;
  fb::TTransaction tra_;
  fb::TStatement selConfig_, insConfig_, updConfig_;
  fb::TStatement delRaw_, delCh_, delExt_;
  fb::TStatement insCh_, insRaw_, insExt_;
  fb::TStatement count_, reader_;
  std::string configKey_;
};

}  // namespace

fb::TConnectParams LogDatabaseConnectParams() {
  fb::TConnectParams p;
  p.Password = kLogDatabasePassword;
  return p;
}

std::unique_ptr<ILogDatabase> MakeFbLogDatabase() { return std::make_unique<TFbLogDatabase>(); }

TLogRowCounts InspectLogDatabase(const std::string& path) {
  fb::TAttachment att;
  att.Open(path, LogDatabaseConnectParams());
  TLogRowCounts n;
  {
    fb::TTransaction tra;
    tra.Start(att);
    fb::TStatement st;
    st.Prepare(att, tra, kCountSql);
    n = ReadCounts(st);
    st.Free();
    tra.Commit();
  }
  att.Close();
  return n;
}
