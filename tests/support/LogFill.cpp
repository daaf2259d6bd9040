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

}  // namespace

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
