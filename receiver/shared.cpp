#include "receiver/shared.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <istream>
#include <iterator>
#include <ostream>

#include "platform/Format.h"

const char* const DayNames[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char* const MonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

namespace {

constexpr double kIfOffsetHz = 225000.0;
constexpr double kPllStepHz = 8192.0;

// Reads a number written with the given decimal separator; the whole text
// must be the number. Returns false otherwise.
bool ParseNumber(const std::string& text, char sep, double& value) {
  std::string s = Trim(text);
  if (sep != '.') {
    if (s.find('.') != std::string::npos) return false;
    std::replace(s.begin(), s.end(), sep, '.');
  }
  if (!s.empty() && s[0] == '+') s.erase(0, 1);
  if (s.empty()) return false;
  const char* end = s.data() + s.size();
  auto [ptr, ec] = std::from_chars(s.data(), end, value, std::chars_format::fixed);
  if (ptr != end) return false;
  if (ec == std::errc::result_out_of_range) {
    // A number written too long for a double is still a number: beyond the
    // largest one when a digit before the point is not 0, else below the
    // smallest.
    const bool negative = s[0] == '-';
    const std::string whole = s.substr(negative ? 1 : 0, s.find('.') - (negative ? 1 : 0));
    const double size = whole.find_first_not_of('0') == std::string::npos ? 0.0 : HUGE_VAL;
    value = negative ? -size : size;
    return true;
  }
  return ec == std::errc();
}

}  // namespace

char DecimalSeparator() {
  const std::lconv* lc = std::localeconv();
  return lc && lc->decimal_point && lc->decimal_point[0] ? lc->decimal_point[0] : '.';
}

uint16_t FreqToPLLWord(bool HighSide, double MHz) {
  const double hz = MHz * 1000000.0;
  const double word = std::trunc((HighSide ? hz + kIfOffsetHz : hz - kIfOffsetHz) * 4.0 / 32768.0);
  if (!(word > 0)) return 0;  // NaN included
  return word >= 65535.0 ? 65535 : static_cast<uint16_t>(word);
}

uint16_t FreqTextToPLLWord(const std::string& Text, bool HighSide) {
  double mhz = 0;
  if (!ParseNumber(Text, DecimalSeparator(), mhz)) mhz = 0;
  return FreqToPLLWord(HighSide, mhz);
}

double PLLWordToFreq(uint16_t Word, bool Side) {
  const double hz = Word * kPllStepHz + (Side ? -kIfOffsetHz : kIfOffsetHz);
  return std::nearbyint(hz / 1000000.0 * 10.0) / 10.0;
}

std::string NormalizeFreqText(const std::string& Text) {
  const char sep = DecimalSeparator();
  std::string kept;
  bool haveSep = false;
  for (char c : Text) {
    if (c >= '0' && c <= '9') {
      kept += c;
    } else if (c == sep && !haveSep) {
      kept += c;
      haveSep = true;
    }
  }
  double value = 0;
  const bool number = ParseNumber(kept, sep, value);
  if (kept.empty() || (kept.size() == 1 && haveSep) || !number || value < kBandLowMHz)
    return FormatFreq(kBandLowMHz);
  if (value > kBandHighMHz) return FormatFreq(kBandHighMHz);
  return kept;
}

double ClampFreq(double MHz) {
  if (std::isnan(MHz) || MHz < kBandLowMHz) return kBandLowMHz;
  if (MHz > kBandHighMHz) return kBandHighMHz;
  return MHz;
}

int FreqToTenths(double MHz) { return static_cast<int>(std::trunc(ClampFreq(MHz) * 10.0)); }

int FreqToChannelIndex(double MHz) {
  return static_cast<int>(std::nearbyint(ClampFreq(MHz) * 10.0)) - 870;
}

double ChannelIndexToFreq(int Index) { return (Index + 870) / 10.0; }

std::string FormatFreq(double MHz) { return Format("%3.1f", MHz); }

double LevelToDbuV(double Level) {
  const double v = Level;
  if (v < 1) return 1.9 * v;
  if (v <= 2) return 6 * v - 4.1;
  if (v < 14) return 3.7583 * v + 0.3833;
  return 7 * v - 45;
}

double InterpolateTable(double X, const std::vector<double>& Xs, const std::vector<double>& Ys) {
  const size_t n = std::min(Xs.size(), Ys.size());
  if (n == 0) return 0.0;
  if (n == 1) return Ys[0];
  for (size_t i = 0; i + 1 < n; ++i) {
    if (X >= Xs[i + 1]) {
      const double dx = Xs[i] - Xs[i + 1];
      if (dx == 0) return Ys[i];
      return Ys[i + 1] + (X - Xs[i + 1]) * (Ys[i] - Ys[i + 1]) / dx;
    }
  }
  return Ys[n - 1];
}

TRect InflateRectBy(const TRect& Rect, int D) {
  return {Rect.Left - D, Rect.Top - D, Rect.Right + D, Rect.Bottom + D};
}

bool IsXPOrLater() { return true; }

bool CompressStream(std::istream& Source, std::ostream& Dest) {
  Source.clear();
  Source.seekg(0, std::ios::beg);
  if (!Source) return false;
  const std::string in((std::istreambuf_iterator<char>(Source)), std::istreambuf_iterator<char>());
  uLongf size = compressBound(static_cast<uLong>(in.size()));
  std::string out(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                reinterpret_cast<const Bytef*>(in.data()), static_cast<uLong>(in.size()),
                Z_BEST_COMPRESSION) != Z_OK)
    return false;
  Dest.write(out.data(), static_cast<std::streamsize>(size));
  return static_cast<bool>(Dest);
}

bool DecompressStream(std::istream& Source, std::iostream& Dest, size_t MaxSize) {
  const std::string in((std::istreambuf_iterator<char>(Source)), std::istreambuf_iterator<char>());
  bool ok = true;
  if (!in.empty()) {
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) return false;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    zs.avail_in = static_cast<uInt>(in.size());
    std::string out;
    char chunk[16384];
    int rc = Z_OK;
    while (rc == Z_OK) {
      zs.next_out = reinterpret_cast<Bytef*>(chunk);
      zs.avail_out = sizeof chunk;
      rc = inflate(&zs, Z_NO_FLUSH);
      out.append(chunk, sizeof chunk - zs.avail_out);
      // A bomb stops here instead of filling the memory.
      if (out.size() > MaxSize) break;
      // No progress with input left means the data ends early.
      if (rc == Z_BUF_ERROR && zs.avail_in == 0) break;
    }
    inflateEnd(&zs);
    ok = rc == Z_STREAM_END && out.size() <= MaxSize;
    if (ok) Dest.write(out.data(), static_cast<std::streamsize>(out.size()));
  }
  Dest.clear();
  Dest.seekg(0, std::ios::beg);
  Dest.seekp(0, std::ios::beg);
  return ok && static_cast<bool>(Dest);
}
