#pragma once
// Texts of decoded RDS/RBDS values: PI (hex or RBDS call letters), programme
// type names, flags, decoder identification, PIN, clock time, countries,
// languages, EON variants and AF codes. Every text the RDS pages, the change
// records and the logs show is made here, so the decoder's getters only pick
// their fields and call these functions.
//
// Conventions: a 16-bit value of 0xFFFF means "not received"; Mode 0 is RDS,
// Mode 1 is RBDS. Texts are raw bytes (std::string).
#include <cstdint>
#include <string>

inline constexpr uint16_t kRdsUnknown = 0xFFFF;

inline constexpr int kModeRDS = 0;
inline constexpr int kModeRBDS = 1;

// ---- Tables ---------------------------------------------------------------

// Programme type names by PTY code 0..31.
extern const char* const PTYNamesRDS[32];
extern const char* const PTYNamesRBDS[32];

// Language names by language code 0..127.
extern const char* const LanguageNames[128];

// Countries by extended country code E0..E3 (row) and the PI's country
// nibble (column 0..15; column 0 is never a country). "??" marks a free cell.
extern const char* const ECCCountries[4][16];

// ---- Value texts ------------------------------------------------------------

// 0xFFFF -> "----"; RBDS -> PIToCallLetters; RDS -> 4 upper-case hex digits.
std::string PIText(int Mode, uint16_t PI);
// RBDS call letters of a PI code, "----" when the code has none.
std::string PIToCallLetters(uint16_t PI);
// 0xFFFF (or any code outside 0..31) -> "Unknown"; else the mode's table.
std::string PTYName(int Mode, uint16_t PTY);
// "MUSIC"/"SPEECH", "ON"/"OFF"; empty for 0xFFFF.
std::string MSText(uint16_t v);
std::string TPText(uint16_t v);
std::string TAText(uint16_t v);
// One decoder-identification flag of a 4-bit DI value: Index 0 reads bit 3
// ("Dynamic"/"Static"), 1 bit 2 ("Compressed"/"Not Compressed"), 2 bit 1
// ("AH"/"Not AH"), 3 bit 0 ("STEREO"/"MONO"). Other indexes: empty.
std::string DIBitText(int Index, uint16_t DI);
// Decoder identification held as one bit per segment (segment 0 dynamic
// PTY, 1 compression, 2 artificial head, 3 stereo; 0xFFFF = not received):
// Index 0..3 -> that segment's flag text (empty when unknown);
// 5 -> the DI number in decimal ("??" unless all four are known);
// 6 -> the known flag texts joined by ", " (stereo, AH, compression, dynamic);
// other indexes -> empty.
std::string DIText(int Index, const uint16_t Segments[4]);
// The DI number (segment 3 x1 + 2 x2 + 1 x4 + 0 x8), -1 unless all are known.
int DINumber(const uint16_t Segments[4]);

// Clock time of a Modified Julian Date and the 17-bit time word.
// MJD 0 -> "not transmitted"; a date or time that cannot be real -> kCTInvalid.
std::string CTText(uint32_t MJD, uint32_t TimeWord);
inline constexpr const char* kCTNotTransmitted = "not transmitted";
inline constexpr const char* kCTInvalid = "invalid date/time";

// AF code: 0 -> empty; 205 -> "Filler"; else "%3.1f" of (Code + 875) / 10 MHz.
std::string AFCodeText(int Code);

// Deviation between unit modes 0 and 1 (factor 0.75: 0 -> 1 divides,
// 1 -> 0 multiplies, equal modes unchanged).
double ConvertDeviationUnits(double Value, int From, int To);

// PIN: decimal, empty when unknown.
std::string PINText(uint16_t PIN);
// "Day:%d, Hour:%d, Minute:%d" of PIN bits 15..11, 10..6, 5..0; empty for 0
// or unknown.
std::string PINTimeText(uint16_t PIN);

// Slow labelling (block C of group 1A).
// Country of variant 0: ECC = low byte of block C, row E0..E3 at the PI's
// country nibble; "??" otherwise, or when either value is unknown.
std::string ECCCountryText(uint16_t BlockC, uint16_t PI);
// Operator code of variant 0: bits 11..8 in decimal, "??" when unknown.
std::string OPCText(uint16_t BlockC);
// Language of variant 3: the language name at (block C & 0xFF), "??" when
// unknown or above 127.
std::string LanguageText(uint16_t BlockC);
// Language name of a code 0..127, "??" for any other code.
std::string LanguageName(int Code);

// EON (14A) variant name: 0..3 "PS", 4 "AF - A", 5..8 "AF - B FM", 9 "AF - B
// AM", 12 "Linkage Information", 13 "PTY + TA", 14 "PIN", otherwise empty.
std::string EONVariantText(uint16_t Variant);

// A raw RDS character buffer as text: exactly Len bytes, a 0 byte as a blank.
std::string BufferText(const uint8_t* Buffer, size_t Len);
// The same written into Dst, reusing its storage.
void AssignBufferText(std::string& Dst, const uint8_t* Buffer, size_t Len);

// ---- Clock time record -------------------------------------------------------

// The clock time split into the texts the RDS page and the change records
// show, in this order.
struct TRDSDateTime {
  std::string Day;      // "%02d"
  std::string Month;    // month name
  std::string Year;     // "%04d"
  std::string WeekDay;  // day name
  std::string Week;     // "%02d"
  std::string Spare;    // always empty
  std::string Hour;     // "%-2u"
  std::string Minute;   // "%-2u"
  std::string Offset;   // "%s%2d:%-2d" of sign, hours, minutes
  std::string Text;     // the full text, as CTText

  // The ten texts by position 0..9 (empty outside).
  const std::string& operator[](int Index) const;
};

// The record of a clock time as the decoder's getter shows it: when MJD or
// the time word is 0, Text is "not transmitted" and the other nine are empty;
// when the date or time cannot be real, Text is kCTInvalid and the others are
// empty; else every field is filled.
TRDSDateTime CTRecord(uint32_t MJD, uint32_t TimeWord);

// Calendar fields of a Modified Julian Date by the broadcast standard's
// conversion (valid from 1900-03-01, MJD 15079). False when the MJD is below
// that or gives no real date.
struct TMJDDate {
  int Year = 0, Month = 0, Day = 0;
  int WeekDay = 0;  // 1 = Monday .. 7 = Sunday
  int Week = 0;     // week number
};
bool DecodeMJD(uint32_t MJD, TMJDDate& Out);
