#include "platform/ExLibVCL.h"

#include "platform/DateTime.h"

#include <charconv>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

TFormatSettings& GlobalSettings() {
  static TFormatSettings settings;
  return settings;
}

// A non-negative finite value as decimal digits: value = 0.D1D2...Dn x 10^Exp,
// D1 non-zero, no trailing zeros; zero has no digits.
struct TDecimal {
  std::string Digits;
  int Exp = 0;
  bool IsZero() const { return Digits.empty(); }
};

void StripTrailingZeros(TDecimal& d) {
  while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
  if (d.Digits.empty()) d.Exp = 0;
}

// Fifteen significant digits: what a double reliably carries, so that values
// such as 87.05 or 0.1 + 0.2 format as the decimal number they stand for.
TDecimal ToDecimal(double absValue) {
  TDecimal d;
  if (absValue == 0) return d;
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, absValue, std::chars_format::scientific, 14);
  const std::string s(buf, res.ptr);  // "d.dddddddddddddde+XX"
  const size_t e = s.find('e');
  d.Digits.push_back(s[0]);
  for (size_t i = 2; i < e; ++i) d.Digits.push_back(s[i]);
  d.Exp = std::atoi(s.c_str() + e + 1) + 1;
  StripTrailingZeros(d);
  return d;
}

// Keeps the first `keep` digits, rounding half away from zero.
void RoundDigits(TDecimal& d, int keep) {
  if (d.IsZero() || keep >= static_cast<int>(d.Digits.size())) return;
  if (keep < 0) {
    d.Digits.clear();
    d.Exp = 0;
    return;
  }
  const bool up = d.Digits[static_cast<size_t>(keep)] >= '5';
  d.Digits.resize(static_cast<size_t>(keep));
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.Digits[static_cast<size_t>(i)] == '9') d.Digits[static_cast<size_t>(i--)] = '0';
    if (i < 0) {
      d.Digits.insert(d.Digits.begin(), '1');
      ++d.Exp;
    } else {
      ++d.Digits[static_cast<size_t>(i)];
    }
  }
  StripTrailingZeros(d);
}

char DigitAt(const TDecimal& d, int index) {
  return index >= 0 && index < static_cast<int>(d.Digits.size()) ? d.Digits[static_cast<size_t>(index)] : '0';
}

// One parsed section of a format string.
struct TToken {
  enum Kind { Literal, IntDigit, FracDigit, Point, Exponent } kind;
  std::string text;  // Literal: the text; Exponent: "E" or "e"
  int index = 0;     // IntDigit / FracDigit: placeholder number from the left
  bool expPlus = false;
  int expDigits = 0;
};

struct TSection {
  std::vector<TToken> tokens;
  int intPlaceholders = 0;
  int fracPlaceholders = 0;
  int minInt = 0;   // from the leftmost integer '0' to the point
  int minFrac = 0;  // up to the rightmost fraction '0'
  bool grouping = false;
  bool scientific = false;
  bool hasPoint = false;
};

std::vector<std::string> SplitSections(const std::string& format) {
  std::vector<std::string> sections(1);
  char quote = 0;
  for (char c : format) {
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ';') {
      if (sections.size() == 3) break;
      sections.emplace_back();
      continue;
    }
    sections.back().push_back(c);
  }
  return sections;
}

TSection ParseSection(const std::string& s) {
  TSection sec;
  int firstIntZero = -1;
  auto literal = [&](const std::string& t) {
    if (!sec.tokens.empty() && sec.tokens.back().kind == TToken::Literal)
      sec.tokens.back().text += t;
    else
      sec.tokens.push_back({TToken::Literal, t});
  };
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"' || c == '\'') {
      const size_t end = s.find(c, i + 1);
      literal(s.substr(i + 1, (end == std::string::npos ? s.size() : end) - i - 1));
      i = end == std::string::npos ? s.size() : end;
    } else if ((c == '0' || c == '#') && !sec.scientific) {
      if (!sec.hasPoint) {
        if (c == '0' && firstIntZero < 0) firstIntZero = sec.intPlaceholders;
        sec.tokens.push_back({TToken::IntDigit, "", sec.intPlaceholders++});
      } else {
        sec.tokens.push_back({TToken::FracDigit, "", sec.fracPlaceholders++});
        if (c == '0') sec.minFrac = sec.fracPlaceholders;
      }
    } else if (c == '.' && !sec.scientific) {
      if (!sec.hasPoint) {
        sec.hasPoint = true;
        sec.tokens.push_back({TToken::Point, ""});
      }
    } else if (c == ',' && !sec.scientific) {
      sec.grouping = true;
    } else if ((c == 'E' || c == 'e') && !sec.scientific && i + 1 < s.size() &&
               (s[i + 1] == '+' || s[i + 1] == '-')) {
      TToken t{TToken::Exponent, std::string(1, c)};
      t.expPlus = s[i + 1] == '+';
      i += 2;
      while (i < s.size() && s[i] == '0') {
        if (t.expDigits < 4) ++t.expDigits;
        ++i;
      }
      --i;
      sec.scientific = true;
      sec.tokens.push_back(t);
    } else {
      literal(std::string(1, c));
    }
  }
  if (firstIntZero >= 0) sec.minInt = sec.intPlaceholders - firstIntZero;
  return sec;
}

bool HasPlaceholders(const TSection& sec) { return sec.intPlaceholders + sec.fracPlaceholders > 0; }

// Formats a non-negative value by one section; `zero` tells whether every
// shown digit came out zero.
std::string FormatSection(const TSection& sec, double absValue, const TFormatSettings& fs, bool& zero) {
  TDecimal d = ToDecimal(absValue);
  std::string intDigits, fracDigits;
  int exponent = 0;
  if (sec.scientific) {
    const int sig = std::max(1, sec.intPlaceholders + sec.fracPlaceholders);
    RoundDigits(d, sig);
    const int intCount = sec.intPlaceholders;
    if (!d.IsZero()) exponent = d.Exp - intCount;
    for (int i = 0; i < intCount && !d.IsZero(); ++i) intDigits.push_back(DigitAt(d, i));
    for (int i = 0; i < sec.fracPlaceholders; ++i) fracDigits.push_back(DigitAt(d, intCount + i));
  } else {
    RoundDigits(d, d.Exp + sec.fracPlaceholders);
    for (int i = 0; i < d.Exp; ++i) intDigits.push_back(DigitAt(d, i));
    for (int i = 0; i < sec.fracPlaceholders; ++i) fracDigits.push_back(DigitAt(d, d.Exp + i));
  }
  zero = d.IsZero();
  while (static_cast<int>(fracDigits.size()) > sec.minFrac && fracDigits.back() == '0') fracDigits.pop_back();
  while (static_cast<int>(intDigits.size()) < sec.minInt) intDigits.insert(intDigits.begin(), '0');

  std::string out;
  const int intLen = static_cast<int>(intDigits.size());
  auto emitInt = [&](int from, int to) {  // digits [from, to]
    for (int k = from; k <= to; ++k) {
      out.push_back(intDigits[static_cast<size_t>(k)]);
      const int left = intLen - 1 - k;
      if (sec.grouping && fs.ThousandSeparator && left > 0 && left % 3 == 0) out.push_back(fs.ThousandSeparator);
    }
  };
  bool intDone = false;
  for (const TToken& t : sec.tokens) {
    switch (t.kind) {
      case TToken::Literal:
        out += t.text;
        break;
      case TToken::IntDigit: {
        // Placeholders take digits right-aligned; the first takes any excess.
        const int j = intLen - (sec.intPlaceholders - t.index);
        if (t.index == 0) {
          if (j >= 0) emitInt(0, j);
        } else if (j >= 0) {
          emitInt(j, j);
        }
        intDone = true;
        break;
      }
      case TToken::Point:
        if (!intDone && sec.intPlaceholders == 0) {
          emitInt(0, intLen - 1);
          intDone = true;
        }
        if (!fracDigits.empty()) out.push_back(fs.DecimalSeparator);
        break;
      case TToken::FracDigit:
        if (t.index < static_cast<int>(fracDigits.size())) out.push_back(fracDigits[static_cast<size_t>(t.index)]);
        break;
      case TToken::Exponent: {
        out += t.text;
        if (exponent < 0)
          out.push_back('-');
        else if (t.expPlus)
          out.push_back('+');
        std::string e = std::to_string(std::abs(exponent));
        while (static_cast<int>(e.size()) < std::max(1, t.expDigits)) e.insert(e.begin(), '0');
        out += e;
        break;
      }
    }
  }
  return out;
}

}  // namespace

TFormatSettings& FormatSettings() { return GlobalSettings(); }

TFormatSettingsScope::TFormatSettingsScope(const TFormatSettings& settings) : saved_(GlobalSettings()) {
  GlobalSettings() = settings;
}

TFormatSettingsScope::~TFormatSettingsScope() { GlobalSettings() = saved_; }

std::string InvalidFloatMessage(const std::string& text) { return "'" + text + "' is not a valid floating point value"; }

std::string FloatToStr(double value, const TFormatSettings& fs, int precision) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, precision);
  const std::string s(buf, res.ptr);
  const size_t e = s.find('e');
  std::string out = s.substr(0, e);
  for (char& c : out)
    if (c == '.') c = fs.DecimalSeparator;
  if (e != std::string::npos) {
    const int exp = std::atoi(s.c_str() + e + 1);
    out += 'E';
    out += std::to_string(exp);
  }
  return out;
}

std::string FloatToStr(double value, int precision) { return FloatToStr(value, GlobalSettings(), precision); }

std::string FormatFloat(const std::string& format, double value, const TFormatSettings& fs) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  const std::vector<std::string> sections = SplitSections(format);
  auto usable = [&](size_t i) { return i < sections.size() && !sections[i].empty(); };
  if (!usable(0) && !usable(1) && !usable(2)) return FloatToStr(value, fs);

  auto zeroText = [&]() {
    const std::string& s = usable(2) ? sections[2] : sections[0];
    if (s.empty()) return FloatToStr(0.0, fs);
    bool zero = true;
    return FormatSection(ParseSection(s), 0.0, fs, zero);
  };
  if (value == 0) return zeroText();

  size_t idx = 0;
  bool minus = false;
  if (value < 0) {
    if (usable(1))
      idx = 1;
    else
      minus = true;
  }
  if (sections[idx].empty()) return FloatToStr(value, fs);
  const TSection sec = ParseSection(sections[idx]);
  bool zero = false;
  std::string out = FormatSection(sec, std::fabs(value), fs, zero);
  // A value that rounds to nothing is shown as zero, without a sign.
  if (zero && HasPlaceholders(sec)) return zeroText();
  return minus ? "-" + out : out;
}

std::string FormatFloat(const std::string& format, double value) { return FormatFloat(format, value, GlobalSettings()); }

std::string CurrToStrF(double value, const TFormatSettings& fs) {
  std::string fmt = ",0.";
  fmt.append(fs.CurrencyDecimals, '0');
  std::string n = FormatFloat(fmt, value, fs);
  const bool negative = !n.empty() && n[0] == '-';
  if (negative) n.erase(0, 1);
  const std::string& c = fs.CurrencyString;
  if (!negative) {
    switch (fs.CurrencyFormat) {
      case 1: return n + c;
      case 2: return c + " " + n;
      case 3: return n + " " + c;
      default: return c + n;
    }
  }
  switch (fs.NegCurrFormat) {
    case 1: return "-" + c + n;
    case 2: return c + "-" + n;
    case 3: return c + n + "-";
    case 4: return "(" + n + c + ")";
    case 5: return "-" + n + c;
    case 6: return n + "-" + c;
    case 7: return n + c + "-";
    case 8: return "-" + n + " " + c;
    case 9: return "-" + c + " " + n;
    case 10: return n + " " + c + "-";
    case 11: return c + " " + n + "-";
    case 12: return c + " -" + n;
    case 13: return n + "- " + c;
    case 14: return "(" + c + " " + n + ")";
    case 15: return "(" + n + " " + c + ")";
    default: return "(" + c + n + ")";
  }
}

std::string CurrToStrF(double value) { return CurrToStrF(value, GlobalSettings()); }

bool TryStrToFloat(const std::string& text, double& value, const TFormatSettings& fs) {
  size_t i = 0, n = text.size();
  while (i < n && static_cast<unsigned char>(text[i]) <= ' ') ++i;
  while (n > i && static_cast<unsigned char>(text[n - 1]) <= ' ') --n;
  std::string canon;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') canon.push_back('-');
    ++i;
  }
  std::string intDigits, fracDigits;
  while (i < n && text[i] >= '0' && text[i] <= '9') intDigits.push_back(text[i++]);
  if (i < n && text[i] == fs.DecimalSeparator) {
    ++i;
    while (i < n && text[i] >= '0' && text[i] <= '9') fracDigits.push_back(text[i++]);
  }
  if (intDigits.empty() && fracDigits.empty()) return false;
  long long exp = 0;
  bool hasExp = false;
  if (i < n && (text[i] == 'E' || text[i] == 'e')) {
    ++i;
    bool negExp = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negExp = text[i++] == '-';
    if (i >= n || text[i] < '0' || text[i] > '9') return false;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
      if (exp < 100000) exp = exp * 10 + (text[i] - '0');
      ++i;
    }
    if (negExp) exp = -exp;
    hasExp = true;
  }
  if (i != n) return false;
  canon += intDigits.empty() ? "0" : intDigits;
  canon += '.';
  canon += fracDigits.empty() ? "0" : fracDigits;
  if (hasExp) canon += "e" + std::to_string(exp);
  double v = 0;
  auto res = std::from_chars(canon.data(), canon.data() + canon.size(), v);
  if (res.ec == std::errc::result_out_of_range) {
    // Too small for a double is zero; too large is not a value.
    const std::string all = intDigits + fracDigits;
    const size_t first = all.find_first_not_of('0');
    if (first == std::string::npos) {
      v = 0;
    } else {
      const long long magnitude = static_cast<long long>(intDigits.size()) - static_cast<long long>(first) + exp;
      if (magnitude > 0) return false;
      v = 0;
    }
  } else if (res.ec != std::errc() || res.ptr != canon.data() + canon.size() || !std::isfinite(v)) {
    return false;
  }
  value = v;
  return true;
}

bool TryStrToFloat(const std::string& text, double& value) { return TryStrToFloat(text, value, GlobalSettings()); }

double StrToFloat(const std::string& text, const TFormatSettings& fs) {
  double v = 0;
  if (!TryStrToFloat(text, v, fs)) throw EConvertError(InvalidFloatMessage(text));
  return v;
}

double StrToFloat(const std::string& text) { return StrToFloat(text, GlobalSettings()); }

std::string FormatDateTime(const std::string& format, double dateTime, const TFormatSettings& fs) {
  const dt::TDateParts p = dt::Decode(dateTime);
  std::string out;
  auto number = [&out](int v, size_t digits) {
    std::string t = std::to_string(v);
    if (t.size() < digits) out.append(digits - t.size(), '0');
    out += t;
  };
  bool afterHour = false;
  for (size_t i = 0; i < format.size();) {
    const char c = format[i];
    const char lc = char(std::tolower(static_cast<unsigned char>(c)));
    size_t run = 1;
    while (i + run < format.size() && std::tolower(static_cast<unsigned char>(format[i + run])) == lc) ++run;
    switch (lc) {
      case '"':
      case '\'': {
        const size_t end = format.find(c, i + 1);
        out += format.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
        i = end == std::string::npos ? format.size() : end + 1;
        continue;
      }
      case 'c':
        out += FormatDateTime(fs.ShortDateFormat + " " + fs.ShortTimeFormat, dateTime, fs);
        run = 1;
        break;
      case 'd': number(p.Day, run >= 2 ? 2 : 1), run = std::min<size_t>(run, 2); break;
      case 'y':
        if (run >= 4) number(p.Year, 4), run = 4;
        else number(p.Year % 100, 2), run = std::min<size_t>(run, 2);
        break;
      case 'm':
        run = std::min<size_t>(run, 2);
        number(afterHour ? p.Minute : p.Month, run);
        afterHour = false;
        break;
      case 'h': run = std::min<size_t>(run, 2), number(p.Hour, run), afterHour = true; break;
      case 'n': run = std::min<size_t>(run, 2), number(p.Minute, run), afterHour = false; break;
      case 's': run = std::min<size_t>(run, 2), number(p.Second, run); break;
      case 'z': run = run >= 3 ? 3 : 1, number(p.MilliSecond, run); break;
      case '/': out += fs.DateSeparator, run = 1; break;
      case ':': out += fs.TimeSeparator, run = 1; break;
      default: out += c, run = 1; break;
    }
    i += run;
  }
  return out;
}

std::string FormatDateTime(const std::string& format, double dateTime) {
  return FormatDateTime(format, dateTime, FormatSettings());
}
