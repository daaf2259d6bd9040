// The database file the build makes from schema.sql.
#include <map>

#include "LogStoreTestSupport.h"
#include "logstore/LogFields.h"

using TRows = std::vector<std::vector<std::string>>;

TEST(Schema, BuiltDatabaseHasExactlyTheExpectedMetadata) {
  TDeployedFolder folder;
  TSql sql(folder.Database());
  // Every table and column, text columns in ISO8859_1 (21).
  const std::map<std::string, int> kType{{"SMALLINT", 7}, {"INTEGER", 8}, {"TIMESTAMP", 35}, {"CHAR", 14}};
  TRows columns;
  for (const TLogTable& t : LogTables())
    for (const TLogColumn& c : t.Columns)
      columns.push_back({t.Name, c.Name, std::to_string(kType.at(c.Type)), c.Length ? std::to_string(c.Length) : "<null>",
                         c.NotNull ? "1" : "0", c.Length ? "21" : "<null>"});
  std::stable_sort(columns.begin(), columns.end(), [](const auto& a, const auto& b) { return a[0] < b[0]; });
  EXPECT_EQ(sql.Rows("select trim(rf.RDB$RELATION_NAME), trim(rf.RDB$FIELD_NAME), f.RDB$FIELD_TYPE, "
                     "f.RDB$CHARACTER_LENGTH, coalesce(rf.RDB$NULL_FLAG, f.RDB$NULL_FLAG, 0), "
                     "case when f.RDB$FIELD_TYPE = 14 then f.RDB$CHARACTER_SET_ID end "
                     "from RDB$RELATION_FIELDS rf join RDB$FIELDS f on f.RDB$FIELD_NAME = rf.RDB$FIELD_SOURCE "
                     "where coalesce(rf.RDB$SYSTEM_FLAG, 0) = 0 order by 1, rf.RDB$FIELD_POSITION"),
            columns);

  // A primary key on each log's ID, a plain index on each DT, and for the
  // viewer a descending index on each ID and both directions on the change
  // log's (DT, ID); CONFIG has none. Columns: table, first field, unique,
  // constraint, fields, descending.
  EXPECT_EQ(sql.Rows("select trim(i.RDB$RELATION_NAME), trim(s.RDB$FIELD_NAME), coalesce(i.RDB$UNIQUE_FLAG, 0), "
                     "trim(coalesce(rc.RDB$CONSTRAINT_TYPE, '-')), "
                     "(select count(*) from RDB$INDEX_SEGMENTS x where x.RDB$INDEX_NAME = i.RDB$INDEX_NAME), "
                     "coalesce(i.RDB$INDEX_TYPE, 0) "
                     "from RDB$INDICES i join RDB$INDEX_SEGMENTS s on s.RDB$INDEX_NAME = i.RDB$INDEX_NAME "
                     "and s.RDB$FIELD_POSITION = 0 "
                     "left join RDB$RELATION_CONSTRAINTS rc on rc.RDB$INDEX_NAME = i.RDB$INDEX_NAME "
                     "where coalesce(i.RDB$SYSTEM_FLAG, 0) = 0 order by 1, 2, 5, 6, 3"),
            (TRows{{"LOG_CH", "DT", "0", "-", "1", "0"},           {"LOG_CH", "DT", "0", "-", "2", "0"},
                   {"LOG_CH", "DT", "0", "-", "2", "1"},           {"LOG_CH", "ID", "1", "PRIMARY KEY", "1", "0"},
                   {"LOG_CH", "ID", "0", "-", "1", "1"},           {"LOG_EXT", "DT", "0", "-", "1", "0"},
                   {"LOG_EXT", "ID", "1", "PRIMARY KEY", "1", "0"}, {"LOG_EXT", "ID", "0", "-", "1", "1"},
                   {"LOG_RAW", "DT", "0", "-", "1", "0"},          {"LOG_RAW", "ID", "1", "PRIMARY KEY", "1", "0"},
                   {"LOG_RAW", "ID", "0", "-", "1", "1"}}));

  // Shipped empty, with its generators: the program writes the default
  // settings row itself.
  EXPECT_EQ(sql.Rows("select (select count(*) from CONFIG), (select count(*) from LOG_CH), "
                     "(select count(*) from LOG_RAW), (select count(*) from LOG_EXT), "
                     "gen_id(GEN_LOG_CH_ID, 0), gen_id(GEN_LOG_RAW_ID, 0), gen_id(GEN_LOG_EXT_ID, 0) "
                     "from RDB$DATABASE"),
            (TRows{{"0", "0", "0", "0", "0", "0", "0"}}));
}
