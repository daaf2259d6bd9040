#pragma once
// Frequency, PLL-word and level conversions and a few helpers shared by every
// unit that handles frequencies: the band is 87.0..108.0 MHz in 0.1 MHz
// channels, channel index 0..210 (0 = 87.0 MHz).
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/Rect.h"

inline constexpr double kBandLowMHz = 87.0;
inline constexpr double kBandHighMHz = 108.0;
inline constexpr int kChannelCount = 211;

// Index 0 = Monday; read by the clock-time decoding.
extern const char* const DayNames[7];
// Index 0 = January.
extern const char* const MonthNames[12];

// 14-bit tuner word: trunc((Hz +/- 225000) * 4 / 32768), + for high-side
// injection.
uint16_t FreqToPLLWord(bool HighSide, double MHz);
// The text read as a number with the locale's decimal separator (a text that
// is no number counts as 0), then as FreqToPLLWord.
uint16_t FreqTextToPLLWord(const std::string& Text, bool HighSide);
// Back to MHz rounded to 0.1 MHz (ties to even); Side set = high side.
double PLLWordToFreq(uint16_t Word, bool Side);
// Keeps the digits and the first decimal separator in their order; empty,
// the separator alone, or below 87.0 gives "87.0"; above 108.0 gives "108.0".
std::string NormalizeFreqText(const std::string& Text);
double ClampFreq(double MHz);
int FreqToTenths(double MHz);
int FreqToChannelIndex(double MHz);
double ChannelIndexToFreq(int Index);
// "%3.1f"
std::string FormatFreq(double MHz);
// Receiver level (0..15, or an average) in dBuV by four linear pieces.
double LevelToDbuV(double Level);
// Xs descending, Ys alike. Linear in the first segment whose lower end is not
// above X; above Xs[0] extrapolates along the first segment; below every Xs
// gives the last Y. Fewer than two points: the only Y (or 0 when empty); a
// segment with equal ends gives its first Y.
double InterpolateTable(double X, const std::vector<double>& Xs, const std::vector<double>& Ys);

// The locale's decimal separator ('.' unless the C locale says otherwise).
char DecimalSeparator();

TRect InflateRectBy(const TRect& Rect, int D);

// True on every platform this program runs on now.
bool IsXPOrLater();

// Compresses the whole source, from position 0, at the best level into one
// zlib block appended to Dest. False when a stream fails.
bool CompressStream(std::istream& Source, std::ostream& Dest);
// Inflates everything from the source's position to its end into Dest, then
// positions Dest at 0. No bytes left: nothing is written, true. Corrupt or
// truncated data, or more than MaxSize inflated bytes: nothing is written,
// false.
bool DecompressStream(std::istream& Source, std::iostream& Dest, size_t MaxSize = SIZE_MAX);
