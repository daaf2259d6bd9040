#pragma once
// The pocket calculator behind the numeric edit's drop-down, as a state
// machine driven by key characters, free of any widget.
#include <optional>
#include <string>

class TCalculatorModel {
 public:
  enum TStatus { csFirst = 0, csTyping = 1, csError = 2 };

  static constexpr char kBackspace = '\b';
  static constexpr char kEscape = '\x1b';
  static constexpr char kEnter = '\r';

  TCalculatorModel();

  // One key: digits, the decimal separator, ',' or '.', the operators
  // + - * / % = and Enter, 'C' or Esc (clear), 'I' (+/-), 'R' (1/x),
  // 'S' (sqrt), Backspace. Letters are taken in either case; in the error
  // status only 'C' is accepted; anything else changes nothing.
  void KeyPress(char c);
  // One notch of the mouse wheel: the display value plus or minus one.
  void Wheel(bool up);
  // Clears, then shows the value.
  void SetValue(double value);
  // Shows the trimmed text as a number; throws EConvertError for a text that
  // is not one, leaving the display as it was.
  void Paste(const std::string& text);
  void Clear();

  // The display as a number; nothing in the error status.
  std::optional<double> Value() const;
  const std::string& DisplayText() const { return display_; }
  // "=" while an operation waits for the typed number, else "Ok".
  const std::string& EqualCaption() const { return equalCaption_; }
  TStatus Status() const { return status_; }
  char PendingOperator() const { return operator_; }
  double Operand() const { return operand_; }

 private:
  void StartInput();
  void Show(double v);
  void Error();
  double DisplayValue();
  void UpdateEqualCaption();

  TStatus status_ = csFirst;
  char operator_ = '=';
  double operand_ = 0;
  std::string display_ = "0";
  std::string equalCaption_ = "Ok";
};
