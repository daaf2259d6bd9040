#pragma once
// The number rules of the numeric edit box, free of any widget: limits and
// rounding, stepping, the typing test, normalising and regrouping of the text,
// the display and edit texts of the value, and parsing the text back.
#include <optional>
#include <string>

#include "platform/ExLibVCL.h"

// v rounded to `places` decimals: round(v * 10^places) / 10^places with ties
// to even; places 0 rounds to an integer; places below 0 or above 37 leave v
// alone, and so does a value whose scaled form does not fit a 64-bit integer.
double RoundToDecimalPlaces(double v, int places);

// The limits of a box: equal limits (both 0 by default) do not clamp; Min >
// Max keeps only the lower bound when Max is 0, only the upper bound when Min
// is 0, and nothing when both are set.
double ClampToLimits(double v, double minValue, double maxValue);

// The edit-time format derived from a display format: the digit pattern of
// its positive section (only '#', ',', '.', '0'; quoted text and exponent
// digits dropped).
std::string EditFormatOf(const std::string& displayFormat);

class TNumberEditModel {
 public:
  // Flags of the properties that were given a value (an unassigned one reads
  // its default).
  enum TAssigned { avDisplayFormat = 1, avCurrency = 2, avMaxValue = 4, avMinValue = 8 };

  // What a change of the box's text did to the value.
  enum class TParse { Number, Empty, NotANumber };

  std::optional<double> Value() const { return value_; }
  // Stores as given: no clamping, no rounding.
  void StoreValue(std::optional<double> v) { value_ = v; }

  double MinValue() const { return (assigned_ & avMinValue) ? minValue_ : 0.0; }
  double MaxValue() const { return (assigned_ & avMaxValue) ? maxValue_ : 0.0; }
  int DecimalPlaces() const { return decimalPlaces_; }
  double Increment() const { return increment_; }
  std::string DisplayFormat() const { return (assigned_ & avDisplayFormat) ? displayFormat_ : std::string(); }
  bool Currency() const { return (assigned_ & avCurrency) ? currency_ : false; }
  bool IsAssigned(TAssigned flag) const { return (assigned_ & flag) != 0; }

  // Each returns whether the stored property changed.
  bool SetMinValue(double v);
  bool SetMaxValue(double v);
  bool SetDecimalPlaces(int v);
  bool SetIncrement(double v);
  bool SetDisplayFormat(const std::string& v);
  bool SetCurrency(bool v);

  // Limit check and rounding, as applied after typing and stepping.
  double CheckValue(double v) const;

  // The value after one step up or down (null steps to +Increment either
  // way), checked; nothing when Increment is 0.
  std::optional<double> StepValue(bool up) const;

  std::string EditFormat() const;
  // The text of the value: edit format while focused, display text otherwise.
  std::string ValueText(bool focused) const;

  // Typing test for character c replacing the selection [selStart,
  // selStart + selLength) of text.
  bool IsValidChar(const std::string& text, int selStart, int selLength, char c) const;
  // The same test on a whole candidate text (typed, pasted or dropped).
  bool IsValidText(const std::string& candidate) const;

  static std::string Normalize(const std::string& text);
  // Normalises and re-inserts thousands separators while the edit format
  // groups.
  std::string Regroup(const std::string& text) const;

  // After the user changed the text: empty gives null, a lone sign 0 and a
  // number their checked value; a text that does not convert leaves the value.
  TParse ParseBack(const std::string& text);

  // The Text property: trimmed, normalised, stored unchecked; empty gives
  // null; throws EConvertError for a text that is not a number.
  void SetText(const std::string& text);

 private:
  std::optional<double> value_;
  unsigned assigned_ = 0;
  double minValue_ = 0;
  double maxValue_ = 0;
  int decimalPlaces_ = 2;
  double increment_ = 1.0;
  std::string displayFormat_;
  bool currency_ = false;
};
