// The quick fill of large logs for benchmarks: the database comes out as a
// plain fill leaves it (rows, indexes, forced writes), only made faster.
#include "LogStoreTestSupport.h"
#include "support/LogFill.h"

namespace {

using TRows = std::vector<std::vector<std::string>>;

const char* const kIndexes =
    "select trim(RDB$INDEX_NAME), coalesce(RDB$INDEX_INACTIVE, 0) from RDB$INDICES "
    "where coalesce(RDB$SYSTEM_FLAG, 0) = 0 order by 1";
const char* const kForcedWrites = "select MON$FORCED_WRITES from MON$DATABASE";

void FillAll(const std::string& Db) {
  FillRaw(Db, 3000);
  FillChanges(Db, 3000);
  FillExt(Db, 300);
}

// The rows of every log but their time (the time of the fill), and through
// the indexes on time, which must be active and whole.
TRows Contents(const std::string& Db) {
  TSql sql(Db);
  TRows rows = sql.Rows("select ID, BLOCK0, BLOCK1, BLOCK2, BLOCK3, FREQ from LOG_RAW order by ID");
  for (auto& r : sql.Rows("select ID, SIG, INTD, STR from LOG_CH order by ID")) rows.push_back(r);
  for (auto& r : sql.Rows("select ID, FREQ, PI, RTA, PS from LOG_EXT order by ID")) rows.push_back(r);
  rows.push_back(sql.Rows(
      "select (select count(*) from LOG_RAW where DT <= current_timestamp plan (LOG_RAW index (IDX_LOG_RAW_DT))), "
      "(select count(*) from LOG_CH where DT <= current_timestamp plan (LOG_CH index (IDX_LOG_CH_DT))), "
      "(select count(*) from LOG_EXT where DT <= current_timestamp plan (LOG_EXT index (IDX_LOG_EXT_DT))) "
      "from RDB$DATABASE").at(0));
  return rows;
}

TEST(BulkFill, LeavesTheDatabaseAsAPlainFillDoesWithForcedWritesOffMeanwhile) {
  TDeployedFolder plain, bulk;
  FillAll(plain.Database());
  BulkFill(bulk.Database(), [&] {
    FillAll(bulk.Database());
    TSql sql(bulk.Database());
    EXPECT_EQ(sql.Int(kForcedWrites), 0);
    EXPECT_EQ(sql.Int("select count(*) from RDB$INDICES where RDB$INDEX_INACTIVE = 1"), 3);
  });

  const TRows expected = Contents(plain.Database());
  EXPECT_EQ(expected.back(), (std::vector<std::string>{"3000", "3000", "300"}));
  EXPECT_EQ(Contents(bulk.Database()), expected);
  TSql sql(bulk.Database());
  EXPECT_EQ(sql.Rows(kIndexes), TSql(plain.Database()).Rows(kIndexes));
  EXPECT_EQ(sql.Int(kForcedWrites), 1);
}

TEST(BulkFill, ForcedWritesSwitchedOffBeforeStayOff) {
  TDeployedFolder folder;
  fb::TConnectParams off = LogDatabaseConnectParams();
  off.ForcedWrites = 0;
  fb::TAttachment att;
  att.Open(folder.Database(), off);
  att.Close();
  BulkFill(folder.Database(), [&] { FillRaw(folder.Database(), 10); });
  EXPECT_EQ(TSql(folder.Database()).Int(kForcedWrites), 0);
  EXPECT_EQ(TSql(folder.Database()).Int("select count(*) from LOG_RAW"), 10);
}

}  // namespace
