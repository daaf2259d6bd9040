#include "controls/CalculatorModel.h"

#include <cctype>
#include <cmath>

#include "platform/ExLibVCL.h"
#include "platform/Format.h"

namespace {
bool IsArithmetic(char op) { return op == '*' || op == '+' || op == '-' || op == '/'; }
}  // namespace

TCalculatorModel::TCalculatorModel() { Clear(); }

void TCalculatorModel::Clear() {
  status_ = csFirst;
  display_ = "0";
  operator_ = '=';
  operand_ = 0;
  UpdateEqualCaption();
}

void TCalculatorModel::StartInput() {
  if (status_ == csFirst) {
    status_ = csTyping;
    display_ = "0";
  }
}

void TCalculatorModel::Show(double v) {
  // An overflow would otherwise put "INF" on the display, which no later key
  // could read back as a number.
  if (!std::isfinite(v)) {
    Error();
    return;
  }
  display_ = FloatToStr(v);
}

void TCalculatorModel::Error() {
  status_ = csError;
  display_ = "Error";
}

double TCalculatorModel::DisplayValue() {
  double v = 0;
  if (!TryStrToFloat(display_, v)) {
    Error();
    return 0;
  }
  return v;
}

std::optional<double> TCalculatorModel::Value() const {
  double v = 0;
  if (status_ == csError || !TryStrToFloat(display_, v)) return std::nullopt;
  return v;
}

void TCalculatorModel::SetValue(double value) {
  Clear();
  Show(value);
  UpdateEqualCaption();
}

void TCalculatorModel::Paste(const std::string& text) {
  const double v = StrToFloat(Trim(text));
  Show(v);
  UpdateEqualCaption();
}

void TCalculatorModel::Wheel(bool up) {
  if (status_ == csError) return;
  const double v = DisplayValue();
  if (status_ != csError) Show(up ? v + 1 : v - 1);
  UpdateEqualCaption();
}

void TCalculatorModel::KeyPress(char key) {
  char c = static_cast<char>(std::toupper(static_cast<unsigned char>(key)));
  if (c == kEnter) c = '=';
  const char ds = FormatSettings().DecimalSeparator;
  if (status_ == csError && c != 'C') {
    UpdateEqualCaption();
    return;
  }
  if (c == ds || c == ',' || c == '.') {
    StartInput();
    // A display in exponent form takes no further digits, and no separator
    // either, so that it always stays a readable number.
    if (display_.find(ds) == std::string::npos && display_.find('E') == std::string::npos) display_ += ds;
  } else if (c >= '0' && c <= '9') {
    StartInput();
    if (display_ == "0") {
      display_ = std::string(1, c);
    } else if (display_.find('E') == std::string::npos) {
      const size_t room = display_.find('-') != std::string::npos ? 16 : 15;
      if (display_.size() < room) display_ += c;
    }
  } else if (c == 'C' || c == kEscape) {
    Clear();
  } else if (c == 'I') {
    const double v = DisplayValue();
    if (status_ != csError) Show(-v);
  } else if (c == 'R') {
    status_ = csFirst;
    const double v = DisplayValue();
    if (status_ != csError) {
      if (v == 0)
        Error();
      else
        Show(1.0 / v);
    }
  } else if (c == 'S') {
    status_ = csFirst;
    const double v = DisplayValue();
    if (status_ != csError) {
      if (v < 0)
        Error();
      else
        Show(std::sqrt(v));
    }
  } else if (c == kBackspace) {
    StartInput();
    if (display_.size() == 1 || (display_.size() == 2 && display_[0] == '-'))
      display_ = "0";
    else
      display_.pop_back();
  } else if (c == '+' || c == '-' || c == '*' || c == '/' || c == '%' || c == '=') {
    if (status_ == csTyping) {
      status_ = csFirst;
      double r = DisplayValue();
      if (status_ != csError) {
        if (c == '%') {
          if (operator_ == '*' || operator_ == '/')
            r = r / 100;
          else if (operator_ == '+' || operator_ == '-')
            r = operand_ * r / 100;
        }
        switch (operator_) {
          case '*': Show(operand_ * r); break;
          case '+': Show(operand_ + r); break;
          case '-': Show(operand_ - r); break;
          case '/':
            if (r == 0)
              Error();
            else
              Show(operand_ / r);
            break;
          default: break;
        }
      }
    }
    if (status_ != csError) {
      operator_ = c;
      operand_ = DisplayValue();
    }
  }
  UpdateEqualCaption();
}

void TCalculatorModel::UpdateEqualCaption() {
  const bool pending = operand_ != 0 && status_ == csTyping && IsArithmetic(operator_);
  equalCaption_ = pending ? "=" : "Ok";
}
