// The settings row: the encoding of every field, and the row being found and
// rewritten whatever it holds.
#include <random>

#include "LogStoreTestSupport.h"
#include "logstore/DModule.h"
#include "support/FakeClock.h"

namespace {

using TRows = std::vector<std::vector<std::string>>;

// Any stored row decodes to a valid record; random rows give random records.
TSettingsRecord RandomRecord(std::mt19937& rng) {
  TConfigRow row;
  for (int c = 0; c < TConfigRow::kCount; ++c)
    row.Col[c] = TConfigRow::IsSmallInt(c) ? static_cast<int16_t>(rng()) : static_cast<int32_t>(rng());
  return DecodeConfig(row);
}

}  // namespace

TEST(SettingsRecord, EncodingMasksClampsAndDropsSpareBits) {
  EXPECT_EQ(EncodeConfig(DecodeConfig(DefaultConfigRow())), DefaultConfigRow());
  // Out-of-range stored values decode bit by bit, without range checks.
  TConfigRow row = DefaultConfigRow();
  row.Col[TConfigRow::ELO2] = 0xFF;        // spacing 3, spare bits 3-4 set
  row.Col[TConfigRow::OPT1] = 0xFF;        // spare bits 0-1 set
  row.Col[TConfigRow::PRESET1] = 0x1234;   // bytes take the low 8 bits
  row.Col[TConfigRow::OPT6] = 0x7FFF;
  TSettingsRecord s = DecodeConfig(row);
  EXPECT_TRUE(s.Spacing == 3 && s.Presets[0] == 0x34 && s.Opt6A == 3 && s.Opt6C == 3);
  const TConfigRow back = EncodeConfig(s);
  EXPECT_EQ(back.Col[TConfigRow::ELO2], 0xFF & ~0x18);
  EXPECT_EQ(back.Col[TConfigRow::OPT1], 0xFC);
  EXPECT_EQ(back.Col[TConfigRow::OPT6], 0x3F);

  // A flag byte of any non-zero value is one bit; 2-bit values are masked;
  // too large for a 16-bit column is clamped, never an error on save.
  s = TSettingsRecord{};
  s.RBDS = 7;
  s.SearchStopLevel = 6;
  s.Spacing = 5;
  s.Opt6B = 9;
  s.ExtLogMinutes = 100000;
  s.KeepDays = -70000;
  const TConfigRow r = EncodeConfig(s);
  EXPECT_EQ(r.Col[TConfigRow::INF], 1 | (2 << 5));
  EXPECT_EQ(r.Col[TConfigRow::ELO2], 1 << 6);
  EXPECT_EQ(r.Col[TConfigRow::OPT6], 1 << 2);
  EXPECT_EQ(r.Col[TConfigRow::ELOGTIME], 32767);
  EXPECT_EQ(r.Col[TConfigRow::LOGLIVE], -32768);
}

TEST(SettingsRecord, KeepTimeAndExtendedIntervalNeverReadBelowOne) {
  // Written by an older version or by hand: 0 would mean "delete every log"
  // and an extended row with every data packet.
  for (int32_t stored : {0, -1, -32768}) {
    TConfigRow row = DefaultConfigRow();
    row.Col[TConfigRow::LOGLIVE] = row.Col[TConfigRow::ELOGTIME] = stored;
    EXPECT_EQ(DecodeConfig(row).KeepDays, 1) << stored;
    EXPECT_EQ(DecodeConfig(row).ExtLogMinutes, 1) << stored;
  }
}

TEST(SettingsRow, FirstStartWritesTheDefaultsAndEveryFieldRoundTripsAcrossRestarts) {
  TDeployedFolder folder;
  TFakeClock clock;
  std::mt19937 rng(20261206);
  TSettingsRecord last;
  {
    TDModule dm(folder.Path(), clock);
    TSettingsRecord s;
    dm.LoadConfig(s);
    EXPECT_EQ(s, DecodeConfig(DefaultConfigRow()));
    EXPECT_EQ(TSql(folder.Database()).Int("select count(*) from CONFIG"), 1);  // committed
    for (int i = 0; i < 200; ++i) {
      const TSettingsRecord want = RandomRecord(rng);
      dm.SaveConfig(want);
      TSettingsRecord got;
      dm.LoadConfig(got);
      ASSERT_EQ(got, want) << "round " << i;
      last = want;
    }
    EXPECT_EQ(dm.CountRows().Config, 1);
  }
  // After the exit backup and restore the row (with a new database key) is
  // still found and rewritten.
  TDModule dm(folder.Path(), clock);
  TSettingsRecord got;
  dm.LoadConfig(got);
  EXPECT_EQ(got, last);
  last.PLLLo ^= 0xFF;
  dm.SaveConfig(last);
  dm.LoadConfig(got);
  EXPECT_EQ(got, last);
}

TEST(SettingsRow, RowIsFoundByItsKeyWhateverItHolds) {
  TDeployedFolder folder;
  {
    // A row as an older or damaged file may hold it: NULL in every
    // nullable column, spare bits set; and a second row nobody should touch.
    TSql sql(folder.Database());
    sql.Exec("insert into CONFIG (OPT1) values (31)");
    sql.Exec("insert into CONFIG (PLLHI, OPT1) values (7, 0)");
  }
  TFakeClock clock;
  TDModule dm(folder.Path(), clock);
  TSettingsRecord s;
  dm.LoadConfig(s);
  // NULL reads as 0 (the keep time as 1), and the row is not mistaken for
  // an empty table.
  EXPECT_TRUE(s.PLLHi + s.Opt11 == 0 && s.KeepDays == 1 && s.ShowSmooth == 1);
  EXPECT_EQ(dm.CountRows().Config, 2);

  s.PLLHi = 41;
  s.PLLLo = 151;
  s.KeepDays = 3;
  s.ExtLogMinutes = 50000;  // clamped, not an error
  dm.SaveConfig(s);
  // Only the row read was changed, and bits 0-1 of OPT1 and 3-4 of ELO2 are
  // written as 0.
  EXPECT_EQ(TSql(folder.Database())
                .Rows("select PLLHI, PLLLO, LOGLIVE, ELOGTIME, OPT1, ELO2 from CONFIG order by PLLHI"),
            (TRows{{"7", "<null>", "<null>", "<null>", "0", "<null>"}, {"41", "151", "3", "32767", "28", "0"}}));

  // The row deleted behind the program's back: the update changes nothing,
  // which is an error, not silence.
  auto db = MakeFbLogDatabase();
  db->Open(folder.Database());
  TConfigRow row;
  ASSERT_TRUE(db->ReadConfig(row));
  TSql(folder.Database()).Exec("delete from CONFIG");
  EXPECT_THROW(db->UpdateConfig(row), fb::EDatabaseError);
  db->Close();
}
