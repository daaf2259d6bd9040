#include "support/LogFill.h"

#include "logstore/FbDatabase.h"
#include "logstore/LogDatabase.h"

namespace {

void RunBlock(const std::string& database, int rows, const std::string& insert) {
  fb::TAttachment att;
  att.Open(database, LogDatabaseConnectParams());
  fb::TTransaction tra;
  tra.Start(att);
  fb::TStatement st;
  st.Prepare(att, tra,
             "execute block as declare i integer = 0; begin while (i < " + std::to_string(rows) +
                 ") do begin " + insert + "; i = i + 1; end end");
  st.Execute();
  st.Free();
  tra.Commit();
  att.Close();
}

// The logs' indexes on DT alone. The rows of a fill arrive in the order of
// these keys, so a rebuild in one pass leaves each index as adding the rows
// one by one does (the same pages, as full); the indexes on the key
// descending and on (DT, ID) come out denser or deeper from a rebuild and
// are kept up to date during the fill instead.
const char* const kAgeIndexes[] = {"IDX_LOG_RAW_DT", "IDX_LOG_CH_DT", "IDX_LOG_EXT_DT"};

void SetAgeIndexes(const std::string& database, bool active) {
  fb::TAttachment att;
  att.Open(database, LogDatabaseConnectParams());
  fb::TTransaction tra;
  tra.Start(att);
  for (const char* index : kAgeIndexes) {
    fb::TStatement st;
    st.Prepare(att, tra, std::string("alter index ") + index + (active ? " active" : " inactive"));
    st.Execute();
    st.Free();
  }
  tra.Commit();  // the rebuild runs here
  att.Close();
}

// Switches the database's forced writes as asked (-1: leaves them) and
// tells whether they are on.
bool SwitchForcedWrites(const std::string& database, int forcedWrites) {
  fb::TConnectParams params = LogDatabaseConnectParams();
  params.ForcedWrites = forcedWrites;
  fb::TAttachment att;
  att.Open(database, params);
  fb::TTransaction tra;
  tra.Start(att);
  fb::TStatement st;
  st.Prepare(att, tra, "select MON$FORCED_WRITES from MON$DATABASE");
  st.Open();
  const bool on = st.Fetch() && st.GetInt(0) != 0;
  st.CloseCursor();
  st.Free();
  tra.Commit();
  att.Close();
  return on;
}

}  // namespace

void BulkFill(const std::string& Database, const std::function<void()>& Fill) {
  const bool forcedWrites = SwitchForcedWrites(Database, -1);
  // With forced writes on, every page the engine writes out of its cache
  // waits for the disk; a fill that fails half-way is thrown away anyway.
  if (forcedWrites) SwitchForcedWrites(Database, 0);
  SetAgeIndexes(Database, false);
  Fill();
  SetAgeIndexes(Database, true);
  if (forcedWrites) SwitchForcedWrites(Database, 1);
}

void FillRaw(const std::string& Database, int Rows) {
  RunBlock(Database, Rows,
           "insert into LOG_RAW (ID, BLOCK0, BLOCK1, BLOCK2, BLOCK3, BLOCK4, BLOCK5, FREQ) "
           "values (next value for GEN_LOG_RAW_ID, :i, 9248, 57549, 16706, 0, 0, mod(:i, 211))");
}

void FillChanges(const std::string& Database, int Rows) {
  RunBlock(Database, Rows,
           "insert into LOG_CH (ID, SIG, INTD, STR) values (next value for GEN_LOG_CH_ID, "
           "iif(mod(:i, 14) = 13, 200, mod(:i, 14)), mod(:i, 211), 'RDS value ' || :i)");
}

void FillExt(const std::string& Database, int Rows) {
  RunBlock(Database, Rows,
           "insert into LOG_EXT (ID, FREQ, TP, TA, MS, PI, PTY, RTA, RTB, PS, CT, HMS, AFS, DI, MODE, RDS, AF) "
           "values (next value for GEN_LOG_EXT_ID, mod(:i, 211), 1, 0, 1, 25282, 10, 'Radiotext ' || :i, '', "
           "'STATION ', 0, 0, 0, 1, 'AR', 'Y', '')");
}

void FillTwoStationRaw(const std::string& Database) {
  std::string rows;
  const int ps[4] = {0x5354, 0x4154, 0x494F, 0x4E41};
  auto row = [&](int a, int b, int c, int d, int freq) {
    rows += "insert into LOG_RAW (ID, BLOCK0, BLOCK1, BLOCK2, BLOCK3, BLOCK4, BLOCK5, FREQ) values "
            "(next value for GEN_LOG_RAW_ID, " + std::to_string(a) + ", " + std::to_string(b) + ", " +
            std::to_string(c) + ", " + std::to_string(d) + ", 0, 0, " + std::to_string(freq) + "); ";
  };
  for (int n = 0; n < 8; ++n) row(0xD3C2, 0x0400 | (n % 4), 0xE0CD, ps[n % 4], 0);
  row(0x5555, 0x2000, 0x4142, 0x4344, 115);
  RunBlock(Database, 1, rows.substr(0, rows.size() - 2));
}

void AppendMpxInputRaw(const std::string& Database) {
  RunBlock(Database, 1,
           "insert into LOG_RAW (ID, BLOCK0, BLOCK1, BLOCK2, BLOCK3, BLOCK4, BLOCK5, FREQ) values "
           "(next value for GEN_LOG_RAW_ID, " + std::to_string(0x7777) + ", 0, " + std::to_string(0xE0CD) +
               ", " + std::to_string(0x4D50) + ", 0, 0, 255)");
}
