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
