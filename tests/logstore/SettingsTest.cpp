// The settings row: defaults on first start, the encoding of every field,
// and the row being found and rewritten whatever it holds.
#include <random>

#include "LogStoreTestSupport.h"
#include "logstore/DModule.h"
#include "support/FakeClock.h"

namespace {

using TRows = std::vector<std::vector<std::string>>;

std::vector<std::string> RowText(const TConfigRow& r) {
  std::vector<std::string> v;
  for (int32_t x : r.Col) v.push_back(std::to_string(x));
  return v;
}

std::string ConfigSelect() {
  std::string s = "select ";
  for (int c = 0; c < TConfigRow::kCount; ++c) s += std::string(c ? ", " : "") + TConfigRow::Names[c];
  return s + " from CONFIG";
}

// Any stored row decodes to a valid record; random rows give random records.
TSettingsRecord RandomRecord(std::mt19937& rng) {
  TConfigRow row;
  for (int c = 0; c < TConfigRow::kCount; ++c)
    row.Col[c] = TConfigRow::IsSmallInt(c) ? static_cast<int16_t>(rng()) : static_cast<int32_t>(rng());
  return DecodeConfig(row);
}

}  // namespace

TEST(SettingsRecord, DefaultRowDecodesToTheFirstStartSettings) {
  const TSettingsRecord s = DecodeConfig(DefaultConfigRow());
  EXPECT_EQ(s.PLLHi * 256 + s.PLLLo, 10647);
  EXPECT_EQ(s.InputAntenna, 1);
  EXPECT_EQ(s.RBDS, 0);
  EXPECT_EQ(s.SearchStopLevel, 1);
  EXPECT_EQ(s.SensitivityDX, 1);
  EXPECT_EQ(s.RawLogOn + s.ExtLogOn + s.ChangeLogOn, 0);
  EXPECT_EQ(s.ExtLogMinutes, 1);
  for (uint8_t f : {s.LogFreqChange, s.LogTP, s.LogTA, s.LogMS, s.LogPI, s.LogPTY, s.LogDI, s.LogCT, s.LogRT,
                    s.LogPS, s.LogAF})
    EXPECT_EQ(f, 1);
  EXPECT_EQ(s.DeEmphasis, 0);
  EXPECT_EQ(s.Spacing, 1);
  for (uint8_t p : s.Presets) EXPECT_EQ(p, 0);
  EXPECT_EQ(s.KeepDays, 1);
  EXPECT_EQ(s.ZoomFromMarker + s.UserRange + s.ShowDiscrete, 0);
  EXPECT_EQ(s.ShowSmooth + s.ShowFill + s.ShowSearchBand, 3);
  EXPECT_EQ(s.SmoothColor, 0xFF0000);
  EXPECT_EQ(s.BandColor, 0x808040);
  EXPECT_EQ(s.Opt10, 0xFF00FF);
  // And back again bit for bit.
  EXPECT_EQ(EncodeConfig(s), DefaultConfigRow());
}

TEST(SettingsRecord, EncodingMasksClampsAndDropsSpareBits) {
  // Out-of-range stored values decode bit by bit, without range checks.
  TConfigRow row = DefaultConfigRow();
  row.Col[TConfigRow::ELO2] = 0xFF;        // spacing 3, spare bits 3-4 set
  row.Col[TConfigRow::OPT1] = 0xFF;        // spare bits 0-1 set
  row.Col[TConfigRow::PRESET1] = 0x1234;   // bytes take the low 8 bits
  row.Col[TConfigRow::OPT6] = 0x7FFF;
  TSettingsRecord s = DecodeConfig(row);
  EXPECT_EQ(s.Spacing, 3);
  EXPECT_EQ(s.Presets[0], 0x34);
  EXPECT_EQ(s.Opt6A, 3);
  EXPECT_EQ(s.Opt6C, 3);
  const TConfigRow back = EncodeConfig(s);
  EXPECT_EQ(back.Col[TConfigRow::ELO2], 0xFF & ~0x18);
  EXPECT_EQ(back.Col[TConfigRow::OPT1], 0xFC);
  EXPECT_EQ(back.Col[TConfigRow::OPT6], 0x3F);

  // A flag byte of any non-zero value is one bit; 2-bit values are masked.
  s = TSettingsRecord{};
  s.RBDS = 7;
  s.SearchStopLevel = 6;
  s.Spacing = 5;
  s.Opt6B = 9;
  const TConfigRow r = EncodeConfig(s);
  EXPECT_EQ(r.Col[TConfigRow::INF], 1 | (2 << 5));
  EXPECT_EQ(r.Col[TConfigRow::ELO2], 1 << 6);
  EXPECT_EQ(r.Col[TConfigRow::OPT6], 1 << 2);

  // Too large for a 16-bit column: clamped, never an error on save.
  s.ExtLogMinutes = 100000;
  s.KeepDays = -70000;
  EXPECT_EQ(EncodeConfig(s).Col[TConfigRow::ELOGTIME], 32767);
  EXPECT_EQ(EncodeConfig(s).Col[TConfigRow::LOGLIVE], -32768);
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

TEST(SettingsRow, FirstStartWritesAndCommitsExactlyTheDefaultRow) {
  TDeployedFolder folder;
  TFakeClock clock;
  TDModule dm(folder.Path(), clock);
  TSettingsRecord s;
  dm.LoadConfig(s);
  EXPECT_EQ(s, DecodeConfig(DefaultConfigRow()));
  // Committed: another attachment sees it.
  {
    TSql sql(folder.Database());
    EXPECT_EQ(sql.Rows(ConfigSelect()), TRows{RowText(DefaultConfigRow())});
  }
  // A second load reads it and writes nothing.
  TSettingsRecord again;
  dm.LoadConfig(again);
  EXPECT_EQ(again, s);
  EXPECT_EQ(dm.CountRows().Config, 1);
}

TEST(SettingsRow, SaveAndLoadRoundTripEveryFieldAcrossRestarts) {
  TDeployedFolder folder;
  TFakeClock clock;
  std::mt19937 rng(20261206);
  TSettingsRecord last;
  {
    TDModule dm(folder.Path(), clock);
    TSettingsRecord s;
    dm.LoadConfig(s);
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
  EXPECT_EQ(s.PLLHi + s.Opt11, 0);
  EXPECT_EQ(s.KeepDays, 1);
  EXPECT_EQ(s.ShowSmooth, 1);
  EXPECT_EQ(dm.CountRows().Config, 2);

  s.PLLHi = 41;
  s.PLLLo = 151;
  s.KeepDays = 3;
  s.ExtLogMinutes = 50000;  // clamped, not an error
  dm.SaveConfig(s);
  {
    // The settings were not silently lost, only the row read was changed,
    // and bits 0-1 of OPT1 and 3-4 of ELO2 are written as 0.
    TSql sql(folder.Database());
    EXPECT_EQ(sql.Rows("select PLLHI, PLLLO, LOGLIVE, ELOGTIME, OPT1, ELO2 from CONFIG order by PLLHI"),
              (TRows{{"7", "<null>", "<null>", "<null>", "0", "<null>"}, {"41", "151", "3", "32767", "28", "0"}}));
  }

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
