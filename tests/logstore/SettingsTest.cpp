// The settings row: the encoding of its fields, and the row being found and
// rewritten whatever it holds.
#include <random>

#include "LogStoreTestSupport.h"
#include "logstore/DModule.h"
#include "support/FakeClock.h"

static std::vector<int32_t> Cols(const TConfigRow& Row, std::initializer_list<int> Which) {
  std::vector<int32_t> v;
  for (int c : Which) v.push_back(Row.Col[c]);
  return v;
}

TEST(SettingsRecord, EncodingMasksClampsAndDropsSpareBits) {
  EXPECT_EQ(EncodeConfig(DecodeConfig(DefaultConfigRow())), DefaultConfigRow());
  // Out-of-range stored values decode bit by bit, without range checks;
  // spare bits (0-1 of OPT1, 3-4 of ELO2) are written back as 0.
  TConfigRow row = DefaultConfigRow();
  row.Col[TConfigRow::ELO2] = row.Col[TConfigRow::OPT1] = 0xFF;
  row.Col[TConfigRow::PRESET1] = 0x1234;  // bytes take the low 8 bits
  row.Col[TConfigRow::OPT6] = 0x7FFF;
  TSettingsRecord s = DecodeConfig(row);
  EXPECT_TRUE(s.Spacing == 3 && s.Presets[0] == 0x34 && s.Opt6A == 3 && s.Opt6C == 3);
  row = EncodeConfig(s);
  EXPECT_EQ(Cols(row, {TConfigRow::ELO2, TConfigRow::OPT1, TConfigRow::OPT6}),
            (std::vector<int32_t>{0xE7, 0xFC, 0x3F}));

  // A flag byte of any non-zero value is one bit; 2-bit values are masked;
  // too large for a 16-bit column is clamped, never an error on save.
  s = TSettingsRecord{};
  s.RBDS = 7;
  s.SearchStopLevel = 6;
  s.Spacing = 5;
  s.Opt6B = 9;
  s.ExtLogMinutes = 100000;
  s.KeepDays = -70000;
  row = EncodeConfig(s);
  EXPECT_EQ(Cols(row, {TConfigRow::INF, TConfigRow::ELO2, TConfigRow::OPT6, TConfigRow::ELOGTIME, TConfigRow::LOGLIVE}),
            (std::vector<int32_t>{1 | (2 << 5), 1 << 6, 1 << 2, 32767, -32768}));

  // Written by an older version or by hand, 0 would mean "delete every log"
  // and an extended row with every data packet: read as 1.
  row.Col[TConfigRow::ELOGTIME] = 0;
  s = DecodeConfig(row);
  EXPECT_TRUE(s.KeepDays == 1 && s.ExtLogMinutes == 1);
}

TEST(SettingsRow, FirstStartWritesTheDefaultsAndEveryFieldRoundTripsAcrossRestarts) {
  TDeployedFolder folder;
  TFakeClock clock;
  std::mt19937 rng(20261206);
  TSettingsRecord got, last;
  {
    TDModule dm(folder.Path(), clock);
    dm.LoadConfig(got);
    EXPECT_EQ(got, DecodeConfig(DefaultConfigRow()));
    EXPECT_EQ(TSql(folder.Database()).Int("select count(*) from CONFIG"), 1);  // committed
    for (int i = 0; i < 200; ++i) {
      // Any stored row decodes to a valid record: random rows, random records.
      TConfigRow row;
      for (int c = 0; c < TConfigRow::kCount; ++c)
        row.Col[c] = TConfigRow::IsSmallInt(c) ? static_cast<int16_t>(rng()) : static_cast<int32_t>(rng());
      last = DecodeConfig(row);
      dm.SaveConfig(last);
      dm.LoadConfig(got);
      ASSERT_EQ(got, last) << "round " << i;
    }
    EXPECT_EQ(dm.CountRows().Config, 1);
  }
  // After the exit backup and restore (a new database key): found and rewritten.
  TDModule dm(folder.Path(), clock);
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
    // A row as an older or damaged file may hold it (NULL but the change log's
    // switch, spare bits set), and a second row nobody should touch.
    TSql sql(folder.Database());
    sql.Exec("insert into CONFIG (INF, OPT1) values (16, 31)");
    sql.Exec("insert into CONFIG (PLLHI, OPT1) values (7, 0)");
  }
  TFakeClock clock;
  TDModule dm(folder.Path(), clock);
  TSettingsRecord s;
  dm.LoadConfig(s);
  // NULL reads as 0 (the keep time as 1): not mistaken for an empty table.
  EXPECT_TRUE(s.PLLHi + s.Opt11 + s.RawLogOn + s.ExtLogOn == 0 && s.ChangeLogOn && s.KeepDays == 1 && s.ShowSmooth);
  EXPECT_EQ(dm.CountRows().Config, 2);

  s.PLLHi = 41;
  s.PLLLo = 151;
  s.KeepDays = 3;
  s.ExtLogMinutes = 50000;  // clamped, not an error
  dm.SaveConfig(s);
  // Only the row read was changed, with the spare bits written as 0.
  EXPECT_EQ(TSql(folder.Database())
                .Rows("select PLLHI, PLLLO, LOGLIVE, ELOGTIME, OPT1, ELO2 from CONFIG order by PLLHI"),
            (std::vector<std::vector<std::string>>{{"7", "<null>", "<null>", "<null>", "0", "<null>"},
                                                   {"41", "151", "3", "32767", "28", "0"}}));

  // The row deleted behind the program's back: an error, not silence.
  auto db = MakeFbLogDatabase();
  db->Open(folder.Database());
  TConfigRow row;
  ASSERT_TRUE(db->ReadConfig(row));
  TSql(folder.Database()).Exec("delete from CONFIG");
  EXPECT_THROW(db->UpdateConfig(row), fb::EDatabaseError);
  db->Close();
}
