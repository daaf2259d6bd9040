#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/CalculatorModel.h"
#include "platform/ExLibVCL.h"

namespace {
// One step of a script: keys typed ('W'/'w' turn the wheel up/down), then the
// display they must leave.
struct TStep {
  const char* Keys;
  const char* Display;
};

void Play(TCalculatorModel& c, const std::vector<TStep>& script) {
  for (const TStep& s : script) {
    for (const char* k = s.Keys; *k; ++k) {
      if (*k == 'W' || *k == 'w')
        c.Wheel(*k == 'W');
      else
        c.KeyPress(*k);
    }
    EXPECT_EQ(c.DisplayText(), s.Display) << "after \"" << s.Keys << '"';
  }
}
}  // namespace

TEST(CalculatorModel, ArithmeticScriptsAndEqualCaption) {
  TCalculatorModel c;
  EXPECT_EQ(c.EqualCaption(), "Ok");
  Play(c, {{"2+", "2"}});
  EXPECT_EQ(c.EqualCaption(), "Ok");
  Play(c, {{"3", "3"}});
  EXPECT_EQ(c.EqualCaption(), "=");  // an addition waits for its second number
  Play(c, {{"=", "5"}});
  EXPECT_EQ(c.EqualCaption(), "Ok");
  EXPECT_EQ(c.Value(), 5.0);

  Play(c, {{"C200+10%", "220"},  // ten per cent of 200 added
          {"=", "220"},
          {"c200*10%", "20"},
          {"C50/4\r", "12.5"},  // Enter acts as '='
          {"C10-1*3=", "27"},   // left to right, no precedence
          {"C1/3=", "0.333333333333333"},
          {"C0+3", "3"}});
  EXPECT_EQ(c.EqualCaption(), "Ok");  // a zero operand shows "Ok"
  Play(c, {{"CA", "0"}});               // the Cancel key's character does nothing
}

TEST(CalculatorModel, ErrorsStickUntilClear) {
  TCalculatorModel c;
  Play(c, {{"0R", "Error"}});
  EXPECT_EQ(c.Status(), TCalculatorModel::csError);
  EXPECT_FALSE(c.Value().has_value());
  Play(c, {{"5+3=\x1bI\bW", "Error"}});
  EXPECT_EQ(c.EqualCaption(), "Ok");
  Play(c, {{"c", "0"}});
  EXPECT_EQ(c.Status(), TCalculatorModel::csFirst);
  Play(c, {{"8/0=", "Error"}, {"C4IS", "Error"} /* square root of -4 */, {"C16S", "4"}, {"4R", "0.25"}});

  // A result beyond the double range is an error, not an unreadable display.
  c.SetValue(1e308);
  Play(c, {{"*10=", "Error"}});
  EXPECT_FALSE(c.Value().has_value());
  Play(c, {{"C", "0"}});
}

TEST(CalculatorModel, TypingEditingAndDisplayLimits) {
  TCalculatorModel c;
  Play(c, {{"123456789012345", "123456789012345"},
          {"6", "123456789012345"},    // a sixteenth digit is refused
          {"I", "-123456789012345"}});  // a minus sign gets its own place
  EXPECT_EQ(c.Status(), TCalculatorModel::csTyping);
  Play(c, {{"C.", "0."}, {"5.,7", "0.57"}, {"\b", "0.5"}, {"C5I\b", "0"}, {"C7\b", "0"},
          {"C5I3", "-53"}});  // negation keeps the number being typed

  c.SetValue(98.5);
  EXPECT_EQ(c.DisplayText(), "98.5");
  EXPECT_EQ(c.Status(), TCalculatorModel::csFirst);
  Play(c, {{"7", "7"}});  // the first digit replaces a shown value
  c.SetValue(12.5);
  Play(c, {{"\b", "0"}});  // so does Backspace
  c.SetValue(4);
  // The wheel steps; a display in exponent form takes neither digits nor a
  // separator, and 1E15 + 1 stays 1E15 at fifteen digits.
  Play(c, {{"WWw", "5"}, {"C999999999999999W", "1E15"}, {".5", "1E15"}, {"+1=", "1E15"}});

  c.Paste(" 12.5 ");
  EXPECT_EQ(c.DisplayText(), "12.5");
  EXPECT_THROW(c.Paste("abc"), EConvertError);
  EXPECT_EQ(c.DisplayText(), "12.5");

  TFormatSettings fs;
  fs.DecimalSeparator = ',';
  fs.ThousandSeparator = '.';
  TFormatSettingsScope scope(fs);
  Play(c, {{"C1.5+1,25=", "2,75"}});
  EXPECT_EQ(c.Value(), 2.75);
}
