#include <gtest/gtest.h>

#include <string>

#include "controls/CalculatorModel.h"
#include "controls/ExLibVCL.h"

namespace {
void Keys(TCalculatorModel& c, const std::string& keys) {
  for (char k : keys) c.KeyPress(k);
}
}  // namespace

TEST(CalculatorModel, ArithmeticScriptsAndEqualCaption) {
  TCalculatorModel c;
  EXPECT_EQ(c.DisplayText(), "0");
  EXPECT_EQ(c.EqualCaption(), "Ok");
  Keys(c, "2+");
  EXPECT_EQ(c.EqualCaption(), "Ok");
  Keys(c, "3");
  EXPECT_EQ(c.EqualCaption(), "=");  // an addition waits for its second number
  Keys(c, "=");
  EXPECT_EQ(c.DisplayText(), "5");
  EXPECT_EQ(c.EqualCaption(), "Ok");
  EXPECT_EQ(c.Value(), 5.0);

  Keys(c, "C200+10%");
  EXPECT_EQ(c.DisplayText(), "220");  // ten per cent of 200 added
  Keys(c, "=");
  EXPECT_EQ(c.DisplayText(), "220");

  Keys(c, "c200*10%");
  EXPECT_EQ(c.DisplayText(), "20");
  Keys(c, "C50/4\r");  // Enter acts as '='
  EXPECT_EQ(c.DisplayText(), "12.5");
  Keys(c, "C10-1*3=");  // left to right, no precedence
  EXPECT_EQ(c.DisplayText(), "27");
  Keys(c, "C1/3=");
  EXPECT_EQ(c.DisplayText(), "0.333333333333333");
  Keys(c, "C0+3");
  EXPECT_EQ(c.EqualCaption(), "Ok");  // a zero operand shows "Ok"
  Keys(c, "CA");                      // the Cancel key's character does nothing
  EXPECT_EQ(c.DisplayText(), "0");
}

TEST(CalculatorModel, ErrorsStickUntilClear) {
  TCalculatorModel c;
  Keys(c, "0R");
  EXPECT_EQ(c.DisplayText(), "Error");
  EXPECT_EQ(c.Status(), TCalculatorModel::csError);
  EXPECT_FALSE(c.Value().has_value());
  Keys(c, "5+3=\x1bI\b");
  c.Wheel(true);
  EXPECT_EQ(c.DisplayText(), "Error");
  EXPECT_EQ(c.EqualCaption(), "Ok");
  Keys(c, "c");
  EXPECT_EQ(c.DisplayText(), "0");
  EXPECT_EQ(c.Status(), TCalculatorModel::csFirst);

  Keys(c, "8/0=");
  EXPECT_EQ(c.DisplayText(), "Error");
  Keys(c, "C4IS");  // square root of -4
  EXPECT_EQ(c.DisplayText(), "Error");
  Keys(c, "C16S");
  EXPECT_EQ(c.DisplayText(), "4");
  Keys(c, "4R");
  EXPECT_EQ(c.DisplayText(), "0.25");

  // A result beyond the double range is an error, not an unreadable display.
  c.SetValue(1e308);
  Keys(c, "*10=");
  EXPECT_EQ(c.DisplayText(), "Error");
  EXPECT_FALSE(c.Value().has_value());
  Keys(c, "C");
  EXPECT_EQ(c.DisplayText(), "0");
}

TEST(CalculatorModel, TypingEditingAndDisplayLimits) {
  TCalculatorModel c;
  Keys(c, "123456789012345");
  EXPECT_EQ(c.DisplayText(), "123456789012345");
  Keys(c, "6");  // a sixteenth digit is refused
  EXPECT_EQ(c.DisplayText(), "123456789012345");
  Keys(c, "I");  // a minus sign gets its own place
  EXPECT_EQ(c.DisplayText(), "-123456789012345");
  EXPECT_EQ(c.Status(), TCalculatorModel::csTyping);

  Keys(c, "C.");
  EXPECT_EQ(c.DisplayText(), "0.");
  Keys(c, "5.,7");
  EXPECT_EQ(c.DisplayText(), "0.57");
  Keys(c, "\b");
  EXPECT_EQ(c.DisplayText(), "0.5");
  Keys(c, "C5I\b");
  EXPECT_EQ(c.DisplayText(), "0");
  Keys(c, "C7\b");
  EXPECT_EQ(c.DisplayText(), "0");
  Keys(c, "C5I3");  // negation keeps the number being typed
  EXPECT_EQ(c.DisplayText(), "-53");

  c.SetValue(98.5);
  EXPECT_EQ(c.DisplayText(), "98.5");
  EXPECT_EQ(c.Status(), TCalculatorModel::csFirst);
  Keys(c, "7");  // the first digit replaces a shown value
  EXPECT_EQ(c.DisplayText(), "7");
  c.SetValue(12.5);
  Keys(c, "\b");  // so does Backspace
  EXPECT_EQ(c.DisplayText(), "0");

  c.SetValue(4);
  c.Wheel(true);
  c.Wheel(true);
  c.Wheel(false);
  EXPECT_EQ(c.DisplayText(), "5");

  // A display in exponent form takes neither digits nor a separator.
  Keys(c, "C999999999999999");
  c.Wheel(true);
  EXPECT_EQ(c.DisplayText(), "1E15");
  Keys(c, ".5");
  EXPECT_EQ(c.DisplayText(), "1E15");
  Keys(c, "+1=");
  EXPECT_EQ(c.DisplayText(), "1E15");  // 1E15 + 1 at fifteen digits

  c.Paste(" 12.5 ");
  EXPECT_EQ(c.DisplayText(), "12.5");
  EXPECT_THROW(c.Paste("abc"), EConvertError);
  EXPECT_EQ(c.DisplayText(), "12.5");

  TFormatSettings fs;
  fs.DecimalSeparator = ',';
  fs.ThousandSeparator = '.';
  TFormatSettingsScope scope(fs);
  Keys(c, "C1.5+1,25=");
  EXPECT_EQ(c.DisplayText(), "2,75");
  EXPECT_EQ(c.Value(), 2.75);
}
