// The texts the log viewer shows for stored rows.
#include <gtest/gtest.h>

#include "logstore/LogFields.h"

namespace {

TChangeLogFields Ch(int sig, int intd, const std::string& str) { return ChangeLogFields({0, 0, sig, intd, str}); }

}  // namespace

TEST(LogFields, ChangeLogWhatAndChangedTo) {
  struct {
    int Sig, Intd;
    std::string Str, What, To;
  } const cases[] = {
      // Kinds whose value is decoded from INTD by the mode or list in STR.
      {0, 0xD3C2, "R", "PI", "D3C2"},
      {0, 0x54A6, "B", "CALL", "KZZY"},
      {0, 0x1234, std::string(64, ' '), "", ""},  // no mode text (as the fixed column returns it): nothing shown
      {2, 10, "R", "PTY", "Pop Music"},
      {2, 10, "B", "PTY", "Country"},
      {5, 9, "whatever", "DI", ""},
      {8, 210, "", "Freq Change", "108.0"},
      {9, 3, std::string("A") + char(1) + char(115) + char(204), "AF", "3A 87.6 99.0 107.9"},
      {9, 3, "", "", ""},
      // A count beyond the stored codes stops at the text's end.
      {9, 5, std::string("B") + char(115), "AF", "5B 99.0"},
      // Kinds shown as stored, the mode change named by its own text.
      {1, 1, "ON", "TP", "ON"},
      {11, 0, "World", "RTB", "World"},
      {12, 0, "MPX RDS", "MPX RDS", "MPX RDS"},
      {200, 0, "DEVICE CONNECTED", "SYSTEM", "DEVICE CONNECTED"},
      // Kinds never logged.
      {13, 1, "x", "", ""},
      {37, 1, "x", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "SIG " << c.Sig << " INTD " << c.Intd);
    const TChangeLogFields f = Ch(c.Sig, c.Intd, c.Str);
    EXPECT_EQ(f.SIGSTR, c.What);
    EXPECT_EQ(f.VL, c.To);
  }
  // Cut to the display lengths.
  EXPECT_EQ(Ch(12, 0, std::string(64, 'm')).SIGSTR.size(), 20u);
  EXPECT_EQ(Ch(10, 0, std::string(64, 'r')).VL.size(), 50u);
  EXPECT_EQ(Ch(9, 25, "A" + std::string(25, char(115))).VL.size(), 50u);
}

TEST(LogFields, ExtendedLogTexts) {
  // DI 9: stereo, dynamic.
  TExtLogRow r{0, 0, 115, 1, 0, 65535, 0x54A6, 10, "", "", "", 45218, (13 << 12) | (5 << 6) | 2, 3, 9, "MB ", "",
               std::string("A") + char(1) + char(115) + char(204) + std::string(251, ' ')};
  TExtLogFields f = ExtLogFields(r);
  // The RBDS table (PTY), chosen by the mode.
  EXPECT_EQ(f._MODE + "|" + f._FREQ + "|" + f._PI + "|" + f._PTY + "|" + f._TP + "|" + f._TA + "|" + f._MS,
            "MPX+RBDS|98.5|KZZY|Country|ON|OFF|");
  EXPECT_EQ(f._DI, "Dynamic,Not Compressed,Not AH,STEREO");
  EXPECT_EQ(f._AFS + " " + f._AF, "3 Method A 87.6 99.0 107.9");
  EXPECT_EQ(f._CTHMS.substr(0, 17), "06 Sep 1982, Mon,");

  // An empty mode shows "??" and counts as RDS.
  for (auto [mode, shown] : {std::pair{"AR ", "ANT+RDS 54A6 Pop Music"}, {"   ", "?? 54A6 Pop Music"}}) {
    r.MODE = mode;
    f = ExtLogFields(r);
    EXPECT_EQ(f._MODE + " " + f._PI + " " + f._PTY, shown);
  }

  r.PI = r.PTY = r.TP = r.TA = 65535;
  r.CT = 0;
  f = ExtLogFields(r);
  EXPECT_EQ(f._PI + "|" + f._PTY + "|" + f._TP + f._TA + "|" + f._CTHMS, "----|Unknown||not transmitted");

  // The AF count's special values, and a count with no list.
  struct {
    int Afs;
    std::string Af, Shown;
  } const afs[] = {{0, "A", "not transmitted|"}, {255, "A", "unknown|"}, {5, std::string(255, ' '), "|"},
                   {26, "Axxxxxxxxxxxxxxxxxxxxxxxxxxx", "|"}, {-1, "A", "|"}};
  for (const auto& c : afs) {
    r.AFS = c.Afs;
    r.AF = c.Af;
    f = ExtLogFields(r);
    EXPECT_EQ(f._AFS + "|" + f._AF, c.Shown) << c.Afs;
  }
  // RBDS call letters longer than the field are cut to it.
  r.MODE = "AB ";
  r.PI = 49160;  // CJBC-1
  EXPECT_EQ(ExtLogFields(r)._PI, "CJBC");
}
