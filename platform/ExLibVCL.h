#pragma once
// Number and text helpers shared by the edit controls and the charts: float
// formatting with format strings, the general 15-digit output, strict
// text-to-float, currency output, and the separators they use.
//
// Everything here works on Latin-1 byte strings and is independent of the C
// library's locale (Qt switches LC_NUMERIC to the user's locale, so printf and
// strtod would follow it); the separators come only from TFormatSettings.
#include <cstdint>
#include <stdexcept>
#include <string>

struct TFormatSettings {
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';  // 0: the locale has none
  std::string CurrencyString = "$";
  // Position of the currency symbol: 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $".
  uint8_t CurrencyFormat = 0;
  // Negative currency pattern 0..15, from "($1)" to "(1 $)".
  uint8_t NegCurrFormat = 0;
  uint8_t CurrencyDecimals = 2;
  char DateSeparator = '/';
  char TimeSeparator = ':';
  std::string ShortDateFormat = "dd/mm/yyyy";
  std::string ShortTimeFormat = "hh:nn";
};

// The settings every helper uses unless it is given its own. The program sets
// them once at start; tests swap them with TFormatSettingsScope.
TFormatSettings& FormatSettings();

// Replaces the program-wide settings for the lifetime of the object.
class TFormatSettingsScope {
 public:
  explicit TFormatSettingsScope(const TFormatSettings& settings);
  ~TFormatSettingsScope();
  TFormatSettingsScope(const TFormatSettingsScope&) = delete;
  TFormatSettingsScope& operator=(const TFormatSettingsScope&) = delete;

 private:
  TFormatSettings saved_;
};

// A text that is not a number.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "'<text>' is not a valid floating point value"
std::string InvalidFloatMessage(const std::string& text);

// General format: up to `precision` significant digits (15 by default),
// trailing zeros dropped, scientific ("1.5E20", "1E-5") when the exponent is
// below -4 or not below the precision; "NAN", "INF", "-INF" for non-finite.
std::string FloatToStr(double value, const TFormatSettings& fs, int precision = 15);
std::string FloatToStr(double value, int precision = 15);

// Formats by a format string of up to three sections "positive;negative;zero":
// '0' digit or zero, '#' digit or nothing, '.' the decimal point (first one),
// ',' anywhere: group thousands, "E+0"/"E-0"/"e+0"/"e-0" scientific with at
// least as many exponent digits as '0's (up to four), '...' and "..." literal
// text, any other character (including '%') literal. An empty format gives
// the general format. The value is taken to 15 significant digits and then
// rounded half away from zero at the last shown digit.
std::string FormatFloat(const std::string& format, double value, const TFormatSettings& fs);
std::string FormatFloat(const std::string& format, double value);

// Date-time text by a format: d dd (day), m mm (month; minutes right after
// an hour), yy yyyy, h hh, n nn, s ss, z zzz (milliseconds), '/' and ':' the
// separators, "..." and '...' literal, "c" short date and time; anything
// else literal. The time is taken to the nearest millisecond first.
std::string FormatDateTime(const std::string& format, double dateTime, const TFormatSettings& fs);
std::string FormatDateTime(const std::string& format, double dateTime);

// Currency text: grouped, CurrencyDecimals decimals, symbol placed by
// CurrencyFormat / NegCurrFormat.
std::string CurrToStrF(double value, const TFormatSettings& fs);
std::string CurrToStrF(double value);

// Strict conversion: optional blanks, optional sign, digits with at most one
// decimal separator (at least one digit), optional exponent "E[+|-]digits",
// optional blanks, nothing else; the result must be a finite double.
bool TryStrToFloat(const std::string& text, double& value, const TFormatSettings& fs);
bool TryStrToFloat(const std::string& text, double& value);
// As TryStrToFloat; throws EConvertError with InvalidFloatMessage(text).
double StrToFloat(const std::string& text, const TFormatSettings& fs);
double StrToFloat(const std::string& text);
