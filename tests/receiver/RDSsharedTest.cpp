// The RDS/RBDS text tables and value texts.
#include <gtest/gtest.h>

#include <ctime>
#include <set>

#include "receiver/RDSshared.h"

namespace {

// Civil date of a Modified Julian Date (MJD 40587 = 1970-01-01), from the C
// library's proleptic Gregorian calendar.
struct tm CivilDate(uint32_t mjd) {
  const time_t t = (static_cast<time_t>(mjd) - 40587) * 86400;
  struct tm out {};
  gmtime_r(&t, &out);
  return out;
}

uint32_t TimeWord(unsigned hour, unsigned minute, bool negative, unsigned halfHours) {
  return (hour << 12) | (minute << 6) | (negative ? 32u : 0u) | halfHours;
}

}  // namespace

TEST(RDSsharedTest, ProgrammeTypePIAndCallLetters) {
  // Each mode reads its own table; a value that is no 5-bit code never reads past it.
  EXPECT_EQ(PTYName(kModeRBDS, 2) + "|" + PTYName(kModeRDS, 31) + "|" + PTYName(kModeRDS, 32) + "|" +
                PTYName(kModeRBDS, 0x8000),
            "Information|Alarm|Unknown|Unknown");
  EXPECT_EQ(PIText(kModeRDS, 0x00ab) + PIText(kModeRBDS, kRdsUnknown), "00AB----");

  // The four-letter ranges are walked whole below; here their borders.
  // The W range ends at WZZZ inclusive; the three-letter calls follow; codes
  // from there on without a call of their own have none; AF xy is xy 00.
  const std::pair<uint16_t, const char*> calls[] = {
      {0x54A7, "KZZZ"}, {0x54A8, "WAAA"}, {0x994F, "WZZZ"}, {0x9950, "KEX"}, {0x996B, "KYW"}, {39353, "WRC"},
      {39265, "----"},  {0x0FFF, "----"}, {0xFFFE, "----"}, {0xAF12, "KATS"}, {49160, "CJBC-1"}};
  for (const auto& [pi, call] : calls) EXPECT_EQ(PIToCallLetters(pi), call) << pi;
  // Short form A x yz is x 0 yz.
  EXPECT_EQ(PIToCallLetters(0xA123), PIToCallLetters(0x1023));
  EXPECT_EQ(PIToCallLetters(0xA54A), PIToCallLetters(0x504A));
  EXPECT_EQ(PIToCallLetters(0xAFA1), PIToCallLetters(0x1000));
}

TEST(RDSsharedTest, EveryFourLetterCallHasExactlyOneCode) {
  // Walking the K and W ranges gives every four-letter call once, in
  // alphabetical order (the fixed calls inside the ranges agree with it).
  std::set<std::string> seen;
  std::string previous;
  for (unsigned pi = 4096; pi <= 39247; ++pi) {
    const std::string call = PIToCallLetters(static_cast<uint16_t>(pi));
    ASSERT_EQ(call.size(), 4u) << pi;
    ASSERT_EQ(call[0], pi < 21672 ? 'K' : 'W') << pi;
    for (char c : call.substr(1)) ASSERT_TRUE(c >= 'A' && c <= 'Z') << pi << " " << call;
    ASSERT_LT(previous, call) << pi;
    previous = call;
    seen.insert(call);
  }
  EXPECT_EQ(seen.size(), 2u * 26 * 26 * 26);
}

TEST(RDSsharedTest, FlagAndDecoderIdentificationTexts) {
  EXPECT_EQ(MSText(2) + MSText(kRdsUnknown), "MUSIC");  // any non-zero value
  // Each index reads its own bit of the 4-bit value.
  EXPECT_EQ(DIBitText(0, 8) + DIBitText(0, 7) + DIBitText(3, 1) + DIBitText(4, 0xF), "DynamicStaticSTEREO");

  const uint16_t di[4] = {1, 0, 0, 1};  // dynamic, not compressed, not AH, stereo
  EXPECT_EQ(DINumber(di), 9);
  EXPECT_EQ(DIText(5, di) + "|" + DIText(6, di) + "|" + DIText(4, di), "9|STEREO, Not AH, Not Compressed, Dynamic|");

  const uint16_t partial[4] = {kRdsUnknown, 1, kRdsUnknown, 0};
  EXPECT_EQ(DINumber(partial), -1);
  EXPECT_EQ(DIText(5, partial) + "|" + DIText(0, partial) + "|" + DIText(6, partial), "??||MONO, Compressed");
  const uint16_t none[4] = {kRdsUnknown, kRdsUnknown, kRdsUnknown, kRdsUnknown};
  EXPECT_EQ(DIText(6, none), "");
}

TEST(RDSsharedTest, ClockTimeOfTheWorkedExample) {
  const uint32_t word = TimeWord(13, 5, false, 3);  // 13:05, +1:30
  EXPECT_EQ(CTText(45218, word), "06 Sep 1982, Mon, week 36, 13:5  + 1:30");
  // Indexed in field order, the text last; beyond it nothing.
  const TRDSDateTime r = CTRecord(45218, word);
  std::string fields;
  for (int i = 0; i <= 10; ++i) fields += r[i] + "|";
  EXPECT_EQ(fields, "06|Sep|1982|Mon|36||13|5 |+ 1:30|" + CTText(45218, word) + "||");

  // A negative whole-hour offset, single-digit hour.
  EXPECT_EQ(CTText(45218, TimeWord(7, 59, true, 10)), "06 Sep 1982, Mon, week 36, 7 :59 - 5:0 ");
  // 23:59 on the last day of a leap February.
  EXPECT_EQ(CTText(60369, TimeWord(23, 59, false, 0)), "29 Feb 2024, Thu, week 09, 23:59 + 0:0 ");
}

TEST(RDSsharedTest, ClockTimeNotTransmittedOrInvalid) {
  // MJD 0, or (for the record) a time word of 0, reads "not transmitted".
  EXPECT_EQ(CTText(0, TimeWord(12, 0, false, 2)), "not transmitted");
  const TRDSDateTime zeroWord = CTRecord(45218, 0);
  EXPECT_EQ(zeroWord.Text, "not transmitted");
  for (int i = 0; i < 9; ++i) EXPECT_EQ(zeroWord[i], "") << i;
  // The bare text keeps the date when only the time word is 0.
  EXPECT_EQ(CTText(45218, 0), "06 Sep 1982, Mon, week 36, 0 :0  + 0:0 ");

  // Dates and times that cannot be real give one fixed text, never a table
  // read outside the month or day names.
  const uint32_t noon = TimeWord(12, 0, false, 0);
  for (const auto& [mjd, word] : {std::pair{1u, noon}, {15078u, noon}, {45218u, TimeWord(24, 0, false, 0)},
                                  {45218u, TimeWord(23, 60, false, 0)}, {45218u, 0x20000u}}) {
    EXPECT_EQ(CTText(mjd, word), kCTInvalid) << mjd << " " << word;
    const TRDSDateTime r = CTRecord(mjd, word);
    EXPECT_EQ(r.Text + r.Month + r.Hour, kCTInvalid) << mjd << " " << word;
  }
  EXPECT_NE(CTText(15079, noon), kCTInvalid);  // 1 March 1900
  // The largest MJD a group can carry still gives a date with real names.
  EXPECT_NE(CTText(131071, noon), kCTInvalid);
  EXPECT_EQ(CTText(131071, noon).size(), CTText(45218, noon).size());
}

TEST(RDSsharedTest, DateConversionAgreesWithTheCalendar) {
  // Every day from 1 March 1900 to 28 February 2100: date, weekday and the
  // ISO week number.
  for (uint32_t mjd = 15079; mjd <= 88127; ++mjd) {
    TMJDDate d;
    ASSERT_TRUE(DecodeMJD(mjd, d)) << mjd;
    const struct tm c = CivilDate(mjd);
    ASSERT_EQ(d.Year, c.tm_year + 1900) << mjd;
    ASSERT_EQ(d.Month, c.tm_mon + 1) << mjd;
    ASSERT_EQ(d.Day, c.tm_mday) << mjd;
    ASSERT_EQ(d.WeekDay, c.tm_wday == 0 ? 7 : c.tm_wday) << mjd;
    char iso[4];
    strftime(iso, sizeof iso, "%V", &c);
    ASSERT_EQ(d.Week, std::stoi(iso)) << mjd;
  }
  // Beyond that the conversion still stays inside the tables.
  for (uint32_t mjd = 88128; mjd <= 131071; ++mjd) {
    TMJDDate d;
    ASSERT_TRUE(DecodeMJD(mjd, d)) << mjd;
    ASSERT_TRUE(d.Month >= 1 && d.Month <= 12 && d.Day >= 1 && d.Day <= 31) << mjd;
    ASSERT_TRUE(d.Week >= 1 && d.Week <= 53) << mjd;
  }
}

TEST(RDSsharedTest, CountriesByExtendedCountryCode) {
  // The PI's country nibble picks the column; unassigned cells have no country.
  // Only the low byte of block C is the ECC (the high bits are variant and
  // operator code); country nibble 0 has no country.
  EXPECT_EQ(ECCCountryText(0x00E3, 0xF123) + ECCCountryText(0x00E3, 0x5123) + ECCCountryText(0x0FE1, 0xC201) +
                ECCCountryText(0x00E4, 0x2201) + ECCCountryText(0x00E0, 0x0201) + ECCCountryText(kRdsUnknown, 0xC201),
            "BY??GB??????");
  EXPECT_EQ(OPCText(0x0AE1) + OPCText(kRdsUnknown), "10??");
}

TEST(RDSsharedTest, LanguageNames) {
  // Every code has a name; beyond the table there is none.
  EXPECT_EQ(LanguageName(128) + LanguageName(-1), "????");
  for (int code = 0; code < 128; ++code) EXPECT_FALSE(LanguageName(code).empty()) << code;
  // Variant 3, code 8; code 200.
  EXPECT_EQ(LanguageText(0x3008) + LanguageText(0x30C8) + LanguageText(kRdsUnknown), "German????");
}

TEST(RDSsharedTest, SmallValueTexts) {
  EXPECT_EQ(AFCodeText(0) + AFCodeText(205) + AFCodeText(204), "Filler107.9");

  EXPECT_DOUBLE_EQ(ConvertDeviationUnits(75, 0, 1), 100);
  EXPECT_DOUBLE_EQ(ConvertDeviationUnits(100, 1, 0), 75);

  const uint16_t pin = (15 << 11) | (13 << 6) | 45;
  EXPECT_EQ(PINTimeText(pin), "Day:15, Hour:13, Minute:45");
  EXPECT_EQ(PINTimeText(0xFFFE), "Day:31, Hour:31, Minute:62");
  EXPECT_EQ(PINText(0) + PINTimeText(0) + PINText(kRdsUnknown), "0");
  EXPECT_EQ(EONVariantText(10) + EONVariantText(kRdsUnknown), "");

  const uint8_t ps[8] = {'R', 0, 'D', 'S', 0xE9, 0, 0, 'x'};
  EXPECT_EQ(BufferText(ps, 8) + BufferText(ps, 0), std::string("R DS\xE9  x"));
}
