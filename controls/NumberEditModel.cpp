#include "controls/NumberEditModel.h"

#include <algorithm>
#include <cmath>

#include "platform/Format.h"

double RoundToDecimalPlaces(double v, int places) {
  if (places < 0 || places >= 38 || !std::isfinite(v)) return v;
  double scale = 1.0;
  for (int i = 0; i < places; ++i) scale *= 10.0;
  const double scaled = v * scale;
  // Rounding goes through a 64-bit integer; a value beyond its range keeps
  // all the precision it has rather than turning into garbage.
  constexpr double kInt64Limit = 9223372036854775808.0;  // 2^63
  if (!std::isfinite(scaled) || std::fabs(scaled) >= kInt64Limit) return v;
  return std::nearbyint(scaled) / scale;
}

double ClampToLimits(double v, double minValue, double maxValue) {
  if (minValue == maxValue) return v;
  if (minValue < maxValue) {
    if (v < minValue) return minValue;
    if (v > maxValue) return maxValue;
    return v;
  }
  if (maxValue == 0) return v < minValue ? minValue : v;
  if (minValue == 0) return v > maxValue ? maxValue : v;
  return v;
}

std::string EditFormatOf(const std::string& displayFormat) {
  std::string out;
  const std::string& f = displayFormat;
  for (size_t i = 0; i < f.size(); ++i) {
    const char c = f[i];
    if (c == '"' || c == '\'') {
      const size_t end = f.find(c, i + 1);
      if (end == std::string::npos) break;
      i = end;
    } else if (c == ';') {
      break;
    } else if ((c == 'E' || c == 'e') && i + 1 < f.size() && (f[i + 1] == '+' || f[i + 1] == '-')) {
      ++i;
      for (int zeros = 0; zeros < 4 && i + 1 < f.size() && f[i + 1] == '0'; ++zeros) ++i;
    } else if (c == '#' || c == ',' || c == '.' || c == '0') {
      out.push_back(c);
    }
  }
  return out;
}

bool TNumberEditModel::SetMinValue(double v) {
  if ((assigned_ & avMinValue) && minValue_ == v) return false;
  minValue_ = v;
  assigned_ |= avMinValue;
  return true;
}

bool TNumberEditModel::SetMaxValue(double v) {
  if ((assigned_ & avMaxValue) && maxValue_ == v) return false;
  maxValue_ = v;
  assigned_ |= avMaxValue;
  return true;
}

bool TNumberEditModel::SetDecimalPlaces(int v) {
  if (decimalPlaces_ == v) return false;
  decimalPlaces_ = v;
  return true;
}

bool TNumberEditModel::SetIncrement(double v) {
  if (increment_ == v) return false;
  increment_ = v;
  return true;
}

bool TNumberEditModel::SetDisplayFormat(const std::string& v) {
  if (DisplayFormat() == v) return false;
  displayFormat_ = v;
  assigned_ |= avDisplayFormat;
  return true;
}

bool TNumberEditModel::SetCurrency(bool v) {
  if (Currency() == v) return false;
  currency_ = v;
  assigned_ |= avCurrency;
  return true;
}

double TNumberEditModel::CheckValue(double v) const {
  return RoundToDecimalPlaces(ClampToLimits(v, MinValue(), MaxValue()), decimalPlaces_);
}

std::optional<double> TNumberEditModel::StepValue(bool up) const {
  if (increment_ == 0) return std::nullopt;
  double candidate = increment_;
  if (value_) candidate = up ? *value_ + increment_ : *value_ - increment_;
  return CheckValue(candidate);
}

std::string TNumberEditModel::EditFormat() const {
  if (!DisplayFormat().empty()) return EditFormatOf(DisplayFormat());
  if (Currency()) return ",#." + std::string(FormatSettings().CurrencyDecimals, '0');
  return std::string();
}

std::string TNumberEditModel::ValueText(bool focused) const {
  if (!value_) return std::string();
  if (focused) return Regroup(FormatFloat(EditFormat(), *value_));
  if (!DisplayFormat().empty()) return FormatFloat(DisplayFormat(), *value_);
  if (Currency()) return CurrToStrF(*value_);
  return FloatToStr(*value_);
}

std::string TNumberEditModel::Normalize(const std::string& text) {
  const TFormatSettings& fs = FormatSettings();
  const char ds = fs.DecimalSeparator, ts = fs.ThousandSeparator;
  std::string out;
  for (char c : Trim(text)) {
    if (ts && ts != ds && c == ts) continue;
    if (c == '.' && ds != '.' && ts != '.') c = ds;
    if (c == ',' && ds != ',' && ts != ',') c = ds;
    out.push_back(c);
  }
  return out;
}

std::string TNumberEditModel::Regroup(const std::string& text) const {
  if (text.empty() || text == "-") return text;
  const std::string s = Normalize(text);
  const TFormatSettings& fs = FormatSettings();
  if (!fs.ThousandSeparator || EditFormat().find(',') == std::string::npos) return s;
  const size_t start = (!s.empty() && (s[0] == '+' || s[0] == '-')) ? 1 : 0;
  size_t end = start;
  while (end < s.size() && s[end] != fs.DecimalSeparator && s[end] != 'E' && s[end] != 'e') ++end;
  const std::string intPart = s.substr(start, end - start);
  std::string grouped;
  for (size_t i = 0; i < intPart.size(); ++i) {
    const size_t left = intPart.size() - i;
    if (i > 0 && left % 3 == 0) grouped.push_back(fs.ThousandSeparator);
    grouped.push_back(intPart[i]);
  }
  return s.substr(0, start) + grouped + s.substr(end);
}

bool TNumberEditModel::IsValidChar(const std::string& text, int selStart, int selLength, char c) const {
  const size_t n = text.size();
  const size_t a = static_cast<size_t>(std::clamp(selStart, 0, static_cast<int>(n)));
  const size_t b = std::min(n, a + static_cast<size_t>(std::max(selLength, 0)));
  return IsValidText(text.substr(0, a) + c + text.substr(b));
}

bool TNumberEditModel::IsValidText(const std::string& candidate) const {
  const std::string s = Normalize(candidate);
  const char ds = FormatSettings().DecimalSeparator;
  const size_t point = s.find(ds);
  if (point != std::string::npos) {
    size_t end = s.find_first_of("Ee", point + 1);
    if (end == std::string::npos) end = s.size();
    if (static_cast<long>(end - point - 1) > decimalPlaces_) return false;
  }
  if (s.empty()) return true;
  for (char c : s) {
    const bool ok = c == ds || c == '+' || c == '-' || (c >= '0' && c <= '9') || c == 'E' || c == 'e';
    if (!ok) return false;
  }
  if (s == "+" || s == "-") return true;
  double v = 0;
  if (!TryStrToFloat(s.substr(0, 63), v)) return false;
  if (MinValue() >= 0 && MaxValue() > 0 && v < 0) return false;
  return true;
}

TNumberEditModel::TParse TNumberEditModel::ParseBack(const std::string& text) {
  const std::string s = Normalize(text);
  if (s.empty()) {
    value_.reset();
    return TParse::Empty;
  }
  if (s == "+" || s == "-") {
    // A lone sign reads as 0, and 0 is held to the limits like any typed
    // number: a box for 1..30 must never hold 0 because a "-" was typed.
    value_ = CheckValue(0.0);
    return TParse::Number;
  }
  double v = 0;
  if (!TryStrToFloat(s, v)) return TParse::NotANumber;
  value_ = CheckValue(v);
  return TParse::Number;
}

void TNumberEditModel::SetText(const std::string& text) {
  const std::string s = Normalize(text);
  if (s.empty()) {
    value_.reset();
    return;
  }
  value_ = StrToFloat(s);
}
