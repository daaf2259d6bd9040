#include "receiver/GPS_Message.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <utility>

namespace {

bool IsBlank(char c) { return c >= 1 && c <= ' '; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::vector<std::string> SplitDelimitedText(const std::string& Text, char Delimiter, char Quote) {
  std::vector<std::string> fields;
  // A NUL byte ends the text, as it ends a C string.
  const size_t end = std::min(Text.size(), Text.find('\0'));
  size_t p = 0;
  while (p < end && IsBlank(Text[p])) ++p;
  while (p < end) {
    std::string field;
    if (Text[p] == Quote) {
      ++p;
      while (p < end) {
        if (Text[p] == Quote) {
          if (p + 1 < end && Text[p + 1] == Quote) {
            field += Quote;
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        field += Text[p++];
      }
    } else {
      const size_t start = p;
      while (p < end && !IsBlank(Text[p]) && Text[p] != Delimiter) ++p;
      field.assign(Text, start, p - start);
    }
    fields.push_back(std::move(field));
    while (p < end && IsBlank(Text[p])) ++p;
    if (p < end && Text[p] == Delimiter) {
      if (p + 1 == end) fields.emplace_back();
      do ++p;
      while (p < end && IsBlank(Text[p]));
    }
  }
  return fields;
}

TGPSMessage::TGPSMessage(std::string ID, const std::string& Text)
    : ID(std::move(ID)), Fields(SplitDelimitedText(Text)) {}

int TGPSMessage::MessageType() const {
  static const char* const kTypes[] = {"GPZDA", "GPGGA", "GPGLL", "GPGSA",
                                       "GPGSV", "GPRMC", "GPVTG", "PUBX"};
  for (int i = 0; i < 8; ++i)
    if (ID == kTypes[i]) return i + 1;
  return 0;
}

std::string TGPSMessage::Field(int Index) const {
  if (Index < 0 || static_cast<size_t>(Index) >= Fields.size()) return std::string();
  return Fields[static_cast<size_t>(Index)];
}

std::string TGPSMessage::PositionField(int Index) const {
  if (MessageType() != 6 || Field(1) != "A") return std::string();
  return Field(Index);
}

std::string TGPSMessage::Latitude() const { return PositionField(2); }
std::string TGPSMessage::LatitudeHemisphere() const { return PositionField(3); }
std::string TGPSMessage::Longitude() const { return PositionField(4); }
std::string TGPSMessage::LongitudeHemisphere() const { return PositionField(5); }

namespace {

// True when Fmt holds at most three conversions, each an int conversion
// (d, i, u, o, x, X) with optional flags, width and precision, so it can be
// given three ints safely. "%%" is a literal percent sign.
bool IsIntFormat(const std::string& Fmt) {
  int conversions = 0;
  for (size_t i = 0; i < Fmt.size(); ++i) {
    if (Fmt[i] != '%') continue;
    if (++i >= Fmt.size()) return false;
    if (Fmt[i] == '%') continue;
    while (i < Fmt.size() && std::string_view("-+ #0").find(Fmt[i]) != std::string_view::npos) ++i;
    while (i < Fmt.size() && IsDigit(Fmt[i])) ++i;
    if (i < Fmt.size() && Fmt[i] == '.') {
      ++i;
      while (i < Fmt.size() && IsDigit(Fmt[i])) ++i;
    }
    if (i >= Fmt.size() || std::string_view("diouxX").find(Fmt[i]) == std::string_view::npos)
      return false;
    if (++conversions > 3) return false;
  }
  return true;
}

std::string FormatThreeInts(const std::string& Fmt, int a, int b, int c) {
  if (!IsIntFormat(Fmt)) return std::string();
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  const int n = std::snprintf(nullptr, 0, Fmt.c_str(), a, b, c);
  if (n < 0) return std::string();
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(out.data(), out.size(), Fmt.c_str(), a, b, c);
#pragma GCC diagnostic pop
  out.resize(static_cast<size_t>(n));
  return out;
}

// "d..dmm.f..f" with DegreeDigits degree digits.
std::string FormatCoordinate(const std::string& Text, const std::string& Fmt, size_t DegreeDigits) {
  const size_t dot = DegreeDigits + 2;
  if (Text.size() < dot + 5 || Text[dot] != '.') return std::string();
  for (size_t i = 0; i < Text.size(); ++i)
    if (i != dot && !IsDigit(Text[i])) return std::string();

  int degrees = 0, minutes = 0;
  for (size_t i = 0; i < DegreeDigits; ++i) degrees = degrees * 10 + (Text[i] - '0');
  for (size_t i = DegreeDigits; i < dot; ++i) minutes = minutes * 10 + (Text[i] - '0');

  // "0.<fraction>" read without the locale, so a decimal comma cannot break it.
  const std::string fraction = "0" + Text.substr(dot);
  double f = 0;
  if (std::from_chars(fraction.data(), fraction.data() + fraction.size(), f).ec != std::errc())
    return std::string();
  int seconds = static_cast<int>(std::nearbyint(f * 60));
  if (seconds >= 60) {
    seconds -= 60;
    if (++minutes == 60) {
      minutes -= 60;
      ++degrees;
    }
  }
  return FormatThreeInts(Fmt, degrees, minutes, seconds);
}

}  // namespace

std::string FormatLatitude(const std::string& Text, const std::string& Format) {
  return FormatCoordinate(Text, Format, 2);
}

std::string FormatLongitude(const std::string& Text, const std::string& Format) {
  return FormatCoordinate(Text, Format, 3);
}
