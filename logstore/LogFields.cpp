#include "logstore/LogFields.h"

#include "platform/Format.h"
#include "receiver/RDSshared.h"
#include "receiver/shared.h"

namespace {

std::string Cut(std::string s, size_t len) {
  if (s.size() > len) s.resize(len);
  return s;
}

// A fixed-length column that holds only its blank padding was written empty.
bool Blank(const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; }

std::string ChannelText(int32_t index) { return FormatFreq(ChannelIndexToFreq(index)); }

std::string AFCodeFreq(unsigned char code) { return FormatFreq((code + 875) / 10.0); }

// The frequency codes at characters 2 .. count+1 of an AF text, each after a blank.
std::string AFList(const std::string& text, int32_t count) {
  std::string out;
  for (int32_t k = 1; k <= count && static_cast<size_t>(k) < text.size(); ++k)
    out += " " + AFCodeFreq(static_cast<unsigned char>(text[static_cast<size_t>(k)]));
  return out;
}

uint16_t Word(int32_t v) { return static_cast<uint16_t>(v); }

// Flag texts: 65535 is "not received"; any other non-zero value is on.
uint16_t FlagValue(int32_t v) { return v == 0xFFFF ? kRdsUnknown : (v != 0 ? 1 : 0); }

}  // namespace

TChangeLogFields ChangeLogFields(const TChangeLogRow& row) {
  TChangeLogFields f;
  const std::string& s = row.STR;
  const bool empty = Blank(s);
  const bool rds = !s.empty() && s[0] == 'R';
  switch (row.SIG) {
    case 0:
      if (!empty) {
        f.SIGSTR = rds ? "PI" : "CALL";
        f.VL = PIText(rds ? kModeRDS : kModeRBDS, Word(row.INTD));
      }
      break;
    case 1: f.SIGSTR = "TP"; f.VL = s; break;
    case 2:
      if (!empty) {
        f.SIGSTR = "PTY";
        f.VL = PTYName(rds ? kModeRDS : kModeRBDS, Word(row.INTD));
      }
      break;
    case 3: f.SIGSTR = "TA"; f.VL = s; break;
    case 4: f.SIGSTR = "MS"; f.VL = s; break;
    case 5: f.SIGSTR = "DI"; break;
    case 6: f.SIGSTR = "PS"; f.VL = s; break;
    case 7: f.SIGSTR = "CT"; f.VL = s; break;
    case 8: f.SIGSTR = "Freq Change"; f.VL = ChannelText(row.INTD); break;
    case 9:
      if (!empty) {
        f.SIGSTR = "AF";
        f.VL = std::to_string(row.INTD) + s[0] + AFList(s, row.INTD);
      }
      break;
    case 10: f.SIGSTR = "RTA"; f.VL = s; break;
    case 11: f.SIGSTR = "RTB"; f.VL = s; break;
    case 12: f.SIGSTR = s; f.VL = s; break;
    case 200: f.SIGSTR = "SYSTEM"; f.VL = s; break;
    default: break;
  }
  f.SIGSTR = Cut(f.SIGSTR, logfield::kSIGSTR);
  f.VL = Cut(f.VL, logfield::kVL);
  return f;
}

TRawLogFields RawLogFields(const TRawLogRow& row) {
  TRawLogFields f;
  f.b0 = Cut(IntToHex(row.BLOCK[0] & 0xFFFF, 4), logfield::kBlock);
  f.b1 = Cut(IntToHex(row.BLOCK[1] & 0xFFFF, 4), logfield::kBlock);
  f.b2 = Cut(IntToHex(row.BLOCK[2] & 0xFFFF, 4), logfield::kBlock);
  f.b3 = Cut(IntToHex(row.BLOCK[3] & 0xFFFF, 4), logfield::kBlock);
  const int32_t b = row.BLOCK[1];
  f.grp = Cut(Format("%02d", (b >> 12) & 15) + ((b & 0x800) ? "B" : "A"), logfield::kGrp);
  f.FREQ1 = Cut(row.FREQ == 255 ? std::string("MPX") : ChannelText(row.FREQ), logfield::kFREQ1);
  return f;
}

TExtLogFields ExtLogFields(const TExtLogRow& row) {
  TExtLogFields f;
  const bool noMode = Blank(row.MODE);
  const bool rbds = !noMode && !(row.MODE.size() > 1 && row.MODE[1] == 'R');
  const int mode = rbds ? kModeRBDS : kModeRDS;
  if (noMode)
    f._MODE = "??";
  else
    f._MODE = std::string(row.MODE[0] == 'M' ? "MPX+" : "ANT+") + (rbds ? "RBDS" : "RDS");
  f._FREQ = ChannelText(row.FREQ);
  f._PI = PIText(mode, Word(row.PI));
  f._PTY = PTYName(mode, Word(row.PTY));
  f._TP = TPText(FlagValue(row.TP));
  f._TA = TAText(FlagValue(row.TA));
  f._MS = MSText(FlagValue(row.MS));
  const uint16_t di = Word(row.DI);
  f._DI = DIBitText(0, di) + "," + DIBitText(1, di) + "," + DIBitText(2, di) + "," + DIBitText(3, di);
  if (row.AFS == 0) {
    f._AFS = "not transmitted";
  } else if (row.AFS == 255) {
    f._AFS = "unknown";
  } else if (row.AFS >= 1 && row.AFS <= 25 && !Blank(row.AF)) {
    f._AFS = std::to_string(row.AFS);
    f._AF = std::string("Method ") + row.AF[0] + AFList(row.AF, row.AFS);
  }
  f._CTHMS = CTText(static_cast<uint32_t>(row.CT), static_cast<uint32_t>(row.HMS));

  f._MODE = Cut(f._MODE, logfield::kMODE);
  f._FREQ = Cut(f._FREQ, logfield::kFREQ);
  f._PI = Cut(f._PI, logfield::kPI);
  f._PTY = Cut(f._PTY, logfield::kPTY);
  f._TP = Cut(f._TP, logfield::kTP);
  f._TA = Cut(f._TA, logfield::kTA);
  f._MS = Cut(f._MS, logfield::kMS);
  f._DI = Cut(f._DI, logfield::kDI);
  f._AFS = Cut(f._AFS, logfield::kAFS);
  f._AF = Cut(f._AF, logfield::kAF);
  f._CTHMS = Cut(f._CTHMS, logfield::kCTHMS);
  return f;
}

const std::vector<TLogTable>& LogTables() {
  static const std::vector<TLogTable> tables = [] {
    std::vector<TLogTable> t;
    TLogTable config{"CONFIG", nullptr, {}};
    for (int c = 0; c < TConfigRow::kCount; ++c)
      config.Columns.push_back(
          {TConfigRow::Names[c], TConfigRow::IsSmallInt(c) ? "SMALLINT" : "INTEGER", 0, c == TConfigRow::OPT1});
    t.push_back(config);
    t.push_back({"LOG_CH", "GEN_LOG_CH_ID",
                 {{"ID", "INTEGER", 0, true},
                  {"DT", "TIMESTAMP", 0, false},
                  {"SIG", "INTEGER", 0, false},
                  {"INTD", "INTEGER", 0, false},
                  {"STR", "CHAR", 64, false}}});
    t.push_back({"LOG_RAW", "GEN_LOG_RAW_ID",
                 {{"ID", "INTEGER", 0, true},
                  {"DT", "TIMESTAMP", 0, false},
                  {"BLOCK0", "INTEGER", 0, false},
                  {"BLOCK1", "INTEGER", 0, false},
                  {"BLOCK2", "INTEGER", 0, false},
                  {"BLOCK3", "INTEGER", 0, false},
                  {"BLOCK4", "INTEGER", 0, false},
                  {"BLOCK5", "INTEGER", 0, false},
                  {"FREQ", "INTEGER", 0, false}}});
    t.push_back({"LOG_EXT", "GEN_LOG_EXT_ID",
                 {{"ID", "INTEGER", 0, true},
                  {"DT", "TIMESTAMP", 0, false},
                  {"FREQ", "INTEGER", 0, false},
                  {"TP", "INTEGER", 0, false},
                  {"TA", "INTEGER", 0, false},
                  {"MS", "INTEGER", 0, false},
                  {"PI", "INTEGER", 0, false},
                  {"PTY", "INTEGER", 0, false},
                  {"RTA", "CHAR", 64, false},
                  {"RTB", "CHAR", 64, false},
                  {"PS", "CHAR", 8, false},
                  {"CT", "INTEGER", 0, false},
                  {"HMS", "INTEGER", 0, false},
                  {"AFS", "INTEGER", 0, false},
                  {"DI", "INTEGER", 0, false},
                  {"MODE", "CHAR", 3, false},
                  {"RDS", "CHAR", 1, false},
                  {"AF", "CHAR", 255, false}}});
    return t;
  }();
  return tables;
}
