#include "receiver/RDSshared.h"

#include <cmath>

#include "platform/Format.h"
#include "receiver/AF_Collector.h"
#include "receiver/shared.h"

// ---- Tables ---------------------------------------------------------------

const char* const PTYNamesRDS[32] = {
    "None",           "News",           "Current Affairs",  "Information",
    "Sport",          "Education",      "Drama",            "Culture",
    "Science",        "Varied",         "Pop Music",        "Rock Music",
    "Easy Listening", "Light Classical", "Serious Classical", "Other Music",
    "Weather",        "Finance",        "Children's Progs", "Social Affairs",
    "Religion",       "Phone In",       "Travel",           "Leisure",
    "Jazz Music",     "Country Music",  "National Music",   "Oldies Music",
    "Folk Music",     "Documentary",    "Alarm Test",       "Alarm",
};

const char* const PTYNamesRBDS[32] = {
    "None",       "News",           "Information",      "Sports",
    "Talk",       "Rock",           "Classic Rock",     "Adult Hits",
    "Soft Rock",  "Top 40",         "Country",          "Oldies",
    "Soft",       "Nostalgia",      "Jazz",             "Classical",
    "Rhythm and Blues", "Soft R & B", "Foreign Language", "Religious Music",
    "Religious Talk", "Personality", "Public",          "College",
    "Unassigned", "Unassigned",     "Unassigned",       "Unassigned",
    "Unassigned", "Weather",        "Emergency Test",   "Emergency",
};

const char* const LanguageNames[128] = {
    // 0x00: not applicable; 0x01..0x2B: European languages in Latin script.
    "Unknown/not applicable", "Albanian", "Breton", "Catalan", "Croatian", "Welsh", "Czech",
    "Danish", "German", "English", "Spanish", "Esperanto", "Estonian", "Basque", "Faroese",
    "French", "Frisian", "Irish", "Gaelic", "Galician", "Icelandic", "Italian", "Lappish",
    "Latin", "Latvian", "Luxembourgian", "Lithuanian", "Hungarian", "Maltese", "Dutch",
    "Norwegian", "Occitan", "Polish", "Portuguese", "Romanian", "Romansh", "Serbian", "Slovak",
    "Slovene", "Finnish", "Swedish", "Turkish", "Flemish", "Walloon",
    // 0x2C..0x3F: reserved.
    "N/A", "N/A", "N/A", "N/A", "N/A", "N/A", "N/A", "N/A", "N/A", "N/A",
    "N/A", "N/A", "N/A", "N/A", "N/A", "N/A", "N/A", "N/A", "N/A", "N/A",
    // 0x40: background sound / clean feed; 0x41..0x44: reserved.
    "Bgr sound", "N/A", "N/A", "N/A", "N/A",
    // 0x45..0x7F: other languages, in the standard's (reverse alphabetical) order.
    "Zulu", "Vietnamese", "Uzbek", "Urdu", "Ukrainian", "Thai", "Telugu", "Tatar", "Tamil",
    "Tadzhik", "Swahili", "Sranan Tongo", "Somali", "Sinhalese", "Shona", "Serbo-Croat",
    "Ruthenian", "Russian", "Quechua", "Pushtu", "Punjabi", "Persian", "Papamiento", "Oriya",
    "Nepali", "Ndebele", "Marathi", "Moldavian", "Malaysian", "Malagasay", "Macedonian",
    "Laotian", "Korean", "Khmer", "Kazakh", "Kannada", "Japanese", "Indonesian", "Hindi",
    "Hebrew", "Hausa", "Gurani", "Gujurati", "Greek", "Georgian ", "Fulani", "Dari", "Churash",
    "Chinese", "Burmese", "Bulgarian", "Bengali", "Bielorussian", "Bambora", "Azerbaijan",
    "Assamese", "Armenian", "Arabic", "Amharic",
};

const char* const ECCCountries[4][16] = {
    {"??", "DE", "DZ", "AD", "IL", "IT", "BE", "RU", "PS", "AL", "AT", "HU", "MT", "DE", "??", "EG"},
    {"??", "GR", "CY", "SM", "CH", "JO", "FI", "LU", "BG", "DK", "GI", "IQ", "GB", "LY", "RO", "FR"},
    {"??", "MA", "CZ", "PL", "VA", "SK", "SY", "TN", "??", "LI", "IS", "MC", "LT", "YU", "ES", "NO"},
    {"??", "??", "IE", "TR", "MK", "??", "??", "??", "NL", "LV", "LB", "AZ", "HR", "KZ", "SE", "BY"},
};

// ---- Value texts ------------------------------------------------------------

std::string PIText(int Mode, uint16_t PI) {
  if (PI == kRdsUnknown) return "----";
  if (Mode == kModeRBDS) return PIToCallLetters(PI);
  return IntToHex(PI, 4);
}

namespace {

struct TFixedCall {
  uint16_t PI;
  const char* Letters;
};

// Codes whose call letters do not follow from the K/W arithmetic: the
// three-letter calls, a few stations with their own codes, and Canada.
constexpr TFixedCall kFixedCalls[] = {
    {941, "CKGE"},    {16416, "KSFW"},  {25414, "WFNY"},  {26428, "WHAY"},  {26542, "WHFI"},
    {27382, "WILQ"},  {27424, "WING"},  {28378, "WJXY"},  {39248, "KEX"},   {39249, "KFH"},
    {39250, "KFI"},   {39251, "KGA"},   {39252, "KGO"},   {39253, "KGU"},   {39254, "KGW"},
    {39255, "KGY"},   {39256, "KID"},   {39257, "KIT"},   {39258, "KJR"},   {39259, "KLO"},
    {39260, "KLZ"},   {39261, "KMA"},   {39262, "KMJ"},   {39263, "KNX"},   {39264, "KOA"},
    {39268, "KQV"},   {39269, "KSL"},   {39270, "KUJ"},   {39271, "KVI"},   {39272, "KWG"},
    {39275, "KYW"},   {39277, "WBZ"},   {39278, "WDZ"},   {39279, "WEW"},   {39281, "WGL"},
    {39282, "WGN"},   {39283, "WGR"},   {39285, "WHA"},   {39286, "WHB"},   {39287, "WHK"},
    {39288, "WHO"},   {39290, "WIP"},   {39291, "WJR"},   {39292, "WKY"},   {39293, "WLS"},
    {39294, "WLW"},   {39297, "WOC"},   {39299, "WOL"},   {39300, "WOR"},   {39304, "WWJ"},
    {39305, "WWL"},   {39312, "KDB"},   {39313, "KGB"},   {39314, "KOY"},   {39315, "KPQ"},
    {39316, "KSD"},   {39317, "KUT"},   {39318, "KXL"},   {39319, "KXO"},   {39321, "WBT"},
    {39322, "WGH"},   {39323, "WGY"},   {39324, "WHP"},   {39325, "WIL"},   {39326, "WMC"},
    {39327, "WMT"},   {39328, "WOI"},   {39329, "WOW"},   {39330, "WRR"},   {39331, "WSB"},
    {39332, "WSM"},   {39333, "KBW"},   {39334, "KCY"},   {39335, "KDF"},   {39338, "KHQ"},
    {39339, "KOB"},   {39347, "WIS"},   {39348, "WJW"},   {39349, "WJZ"},   {39353, "WRC"},
    {49158, "CBCK"},  {49160, "CJBC-1"}, {52007, "CBLJ"}, {52009, "CBEB"},  {52010, "CBLG"},
    {52012, "CBQT"},  {52033, "CBA-FM"}, {52034, "CBCT"}, {52045, "CBHM"},
};

constexpr unsigned kFirstK = 4096;   // KAAA
constexpr unsigned kFirstW = 21672;  // WAAA
constexpr unsigned kLastW = 39247;   // WZZZ (0x994F)

}  // namespace

std::string PIToCallLetters(uint16_t PI) {
  unsigned pi = PI;
  // AF xy is the short form of xy 00; A x yz is the short form of x 0 yz.
  if ((pi & 0xFF00) == 0xAF00) pi = (pi * 256) & 0xFFFF;
  if ((pi & 0xF000) == 0xA000) pi = (((pi >> 8) * 4096) + (pi & 0xFF)) & 0xFFFF;

  std::string text = "----";
  if (pi >= kFirstK && pi <= kLastW) {
    unsigned n;
    if (pi < kFirstW) {
      text = "K";
      n = pi - kFirstK;
    } else {
      text = "W";
      n = pi - kFirstW;
    }
    text += static_cast<char>('A' + n / 676);
    text += static_cast<char>('A' + (n % 676) / 26);
    text += static_cast<char>('A' + n % 26);
  }
  for (const TFixedCall& f : kFixedCalls)
    if (f.PI == pi) return f.Letters;
  return text;
}

std::string PTYName(int Mode, uint16_t PTY) {
  if (PTY >= 32) return "Unknown";
  return Mode == kModeRBDS ? PTYNamesRBDS[PTY] : PTYNamesRDS[PTY];
}

std::string MSText(uint16_t v) {
  if (v == kRdsUnknown) return std::string();
  return v != 0 ? "MUSIC" : "SPEECH";
}

std::string TPText(uint16_t v) {
  if (v == kRdsUnknown) return std::string();
  return v != 0 ? "ON" : "OFF";
}

std::string TAText(uint16_t v) { return TPText(v); }

std::string DIBitText(int Index, uint16_t DI) {
  switch (Index) {
    case 0: return (DI & 8) ? "Dynamic" : "Static";
    case 1: return (DI & 4) ? "Compressed" : "Not Compressed";
    case 2: return (DI & 2) ? "AH" : "Not AH";
    case 3: return (DI & 1) ? "STEREO" : "MONO";
    default: return std::string();
  }
}

namespace {

// The flag text of one DI segment holding a single bit; empty when unknown.
std::string SegmentText(int Segment, uint16_t Bit) {
  if (Bit == kRdsUnknown) return std::string();
  return DIBitText(Segment, static_cast<uint16_t>((Bit & 1) << (3 - Segment)));
}

}  // namespace

int DINumber(const uint16_t Segments[4]) {
  int n = 0;
  for (int s = 0; s < 4; ++s) {
    if (Segments[s] == kRdsUnknown) return -1;
    n |= (Segments[s] & 1) << (3 - s);
  }
  return n;
}

std::string DIText(int Index, const uint16_t Segments[4]) {
  if (Index >= 0 && Index <= 3) return SegmentText(Index, Segments[Index]);
  if (Index == 5) {
    int n = DINumber(Segments);
    return n < 0 ? "??" : std::to_string(n);
  }
  if (Index == 6) {
    std::string joined;
    for (int s = 3; s >= 0; --s) {
      std::string t = SegmentText(s, Segments[s]);
      if (t.empty()) continue;
      if (!joined.empty()) joined += ", ";
      joined += t;
    }
    return joined;
  }
  return std::string();
}

std::string AFCodeText(int Code) {
  if (Code == 0) return std::string();
  if (Code == 205) return "Filler";
  return FormatFreq(AFCodeToMHz(Code));
}

double ConvertDeviationUnits(double Value, int From, int To) {
  if (From == To) return Value;
  if (From == 0 && To == 1) return Value / 0.75;
  if (From == 1 && To == 0) return Value * 0.75;
  return Value;
}

std::string PINText(uint16_t PIN) {
  if (PIN == kRdsUnknown) return std::string();
  return std::to_string(PIN);
}

std::string PINTimeText(uint16_t PIN) {
  if (PIN == 0 || PIN == kRdsUnknown) return std::string();
  return Format("Day:%d, Hour:%d, Minute:%d", PIN >> 11, (PIN >> 6) & 31, PIN & 63);
}

std::string ECCCountryText(uint16_t BlockC, uint16_t PI) {
  if (BlockC == kRdsUnknown || PI == kRdsUnknown) return "??";
  unsigned ecc = BlockC & 0xFF;
  unsigned country = PI >> 12;
  if (ecc < 0xE0 || ecc > 0xE3 || country == 0) return "??";
  return ECCCountries[ecc - 0xE0][country];
}

std::string OPCText(uint16_t BlockC) {
  if (BlockC == kRdsUnknown) return "??";
  return std::to_string((BlockC >> 8) & 15);
}

std::string LanguageName(int Code) {
  if (Code < 0 || Code > 127) return "??";
  return LanguageNames[Code];
}

std::string LanguageText(uint16_t BlockC) {
  if (BlockC == kRdsUnknown) return "??";
  return LanguageName(BlockC & 0xFF);
}

std::string EONVariantText(uint16_t Variant) {
  switch (Variant) {
    case 0: case 1: case 2: case 3: return "PS";
    case 4: return "AF - A";
    case 5: case 6: case 7: case 8: return "AF - B FM";
    case 9: return "AF - B AM";
    case 12: return "Linkage Information";
    case 13: return "PTY + TA";
    case 14: return "PIN";
    default: return std::string();
  }
}

std::string BufferText(const uint8_t* Buffer, size_t Len) {
  std::string s;
  AssignBufferText(s, Buffer, Len);
  return s;
}

void AssignBufferText(std::string& Dst, const uint8_t* Buffer, size_t Len) {
  Dst.assign(Len, ' ');
  for (size_t i = 0; i < Len; ++i)
    if (Buffer[i] != 0) Dst[i] = static_cast<char>(Buffer[i]);
}

// ---- Clock time ------------------------------------------------------------------

namespace {

constexpr uint32_t kFirstValidMJD = 15079;  // 1900-03-01, where the conversion starts

struct TClock {
  TMJDDate Date;
  unsigned Hour = 0, Minute = 0;
  const char* Sign = "+";
  int OffsetHours = 0, OffsetMinutes = 0;
};

bool DecodeClock(uint32_t MJD, uint32_t TimeWord, TClock& c) {
  if (!DecodeMJD(MJD, c.Date)) return false;
  c.Hour = (TimeWord >> 12) & 0x1F;
  c.Minute = (TimeWord >> 6) & 63;
  if (TimeWord > 0x1FFFF || c.Hour > 23 || c.Minute > 59) return false;
  c.Sign = (TimeWord & 32) ? "-" : "+";
  c.OffsetHours = static_cast<int>((TimeWord & 31) >> 1);
  c.OffsetMinutes = static_cast<int>((TimeWord & 1) * 30);
  return true;
}

std::string FullText(const TClock& c) {
  return Format("%02d %s %04d, %s, week %02d, %-2u:%-2u %s%2d:%-2d", c.Date.Day,
                MonthNames[c.Date.Month - 1], c.Date.Year, DayNames[c.Date.WeekDay - 1],
                c.Date.Week, c.Hour, c.Minute, c.Sign, c.OffsetHours, c.OffsetMinutes);
}

}  // namespace

bool DecodeMJD(uint32_t MJD, TMJDDate& Out) {
  Out = TMJDDate();
  if (MJD < kFirstValidMJD) return false;
  const double mjd = MJD;
  const int y = static_cast<int>((mjd - 15078.2) / 365.25);
  const int yDays = static_cast<int>(y * 365.25);
  const int m = static_cast<int>((mjd - 14956.1 - yDays) / 30.6001);
  const int day = static_cast<int>(MJD) - 14956 - yDays - static_cast<int>(m * 30.6001);
  const int k = (m == 14 || m == 15) ? 1 : 0;
  const int month = m - 1 - 12 * k;
  if (month < 1 || month > 12 || day < 1 || day > 31) return false;
  Out.Year = 1900 + y + k;
  Out.Month = month;
  Out.Day = day;
  Out.WeekDay = static_cast<int>((MJD + 2) % 7) + 1;
  const int w = static_cast<int>(mjd / 7 - 2144.64);
  const int wy = static_cast<int>(w * 28 / 1461.0 - 0.0079);
  Out.Week = w - static_cast<int>(wy * 1461 / 28.0 + 0.41);
  return true;
}

std::string CTText(uint32_t MJD, uint32_t TimeWord) {
  if (MJD == 0) return kCTNotTransmitted;
  TClock c;
  if (!DecodeClock(MJD, TimeWord, c)) return kCTInvalid;
  return FullText(c);
}

TRDSDateTime CTRecord(uint32_t MJD, uint32_t TimeWord) {
  TRDSDateTime r;
  if (MJD == 0 || TimeWord == 0) {
    r.Text = kCTNotTransmitted;
    return r;
  }
  TClock c;
  if (!DecodeClock(MJD, TimeWord, c)) {
    r.Text = kCTInvalid;
    return r;
  }
  r.Day = Format("%02d", c.Date.Day);
  r.Month = MonthNames[c.Date.Month - 1];
  r.Year = Format("%04d", c.Date.Year);
  r.WeekDay = DayNames[c.Date.WeekDay - 1];
  r.Week = Format("%02d", c.Date.Week);
  r.Hour = Format("%-2u", c.Hour);
  r.Minute = Format("%-2u", c.Minute);
  r.Offset = Format("%s%2d:%-2d", c.Sign, c.OffsetHours, c.OffsetMinutes);
  r.Text = FullText(c);
  return r;
}

const std::string& TRDSDateTime::operator[](int Index) const {
  static const std::string kEmpty;
  switch (Index) {
    case 0: return Day;
    case 1: return Month;
    case 2: return Year;
    case 3: return WeekDay;
    case 4: return Week;
    case 5: return Spare;
    case 6: return Hour;
    case 7: return Minute;
    case 8: return Offset;
    case 9: return Text;
    default: return kEmpty;
  }
}
