#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/ExLibVCL.h"

namespace {
TFormatSettings German() {
  TFormatSettings fs;
  fs.DecimalSeparator = ',';
  fs.ThousandSeparator = '.';
  fs.CurrencyString = "\x80";  // the euro sign in the Windows-1252 code page
  fs.CurrencyFormat = 3;
  fs.NegCurrFormat = 8;
  return fs;
}
}  // namespace

TEST(FormatFloat, DigitPlaceholdersRoundingAndSeparators) {
  EXPECT_EQ(FormatFloat("#.0", 98.5), "98.5");
  EXPECT_EQ(FormatFloat("#.0", 87.0), "87.0");
  EXPECT_EQ(FormatFloat("#.0", 0.5), ".5");  // '#' shows no lone integer zero
  EXPECT_EQ(FormatFloat("#.0", 0.0), ".0");
  EXPECT_EQ(FormatFloat("#.0", 100.05), "100.1");  // the decimal number, not its binary neighbour
  EXPECT_EQ(FormatFloat("#.0", -3.25), "-3.3");    // halves away from zero
  EXPECT_EQ(FormatFloat("0.00", 0.125), "0.13");
  EXPECT_EQ(FormatFloat("0.00", -0.001), "0.00");  // rounds to zero: no sign
  EXPECT_EQ(FormatFloat("0.##", 5.0), "5");        // no separator without digits after it
  EXPECT_EQ(FormatFloat("0.##", 5.126), "5.13");
  EXPECT_EQ(FormatFloat("000", 7.0), "007");
  EXPECT_EQ(FormatFloat("#", 0.0), "");
  EXPECT_EQ(FormatFloat("#0#", 5.0), "05");  // the leftmost '0' fixes the minimum width
  EXPECT_EQ(FormatFloat(".00", 12.5), "12.50");
  EXPECT_EQ(FormatFloat("#,##0.00", 1234567.891), "1,234,567.89");
  EXPECT_EQ(FormatFloat("#,##0", 999999.5), "1,000,000");  // carry into a new group
  EXPECT_EQ(FormatFloat("#,##0", 12.0), "12");
  EXPECT_EQ(FormatFloat("0,0", 1234.0), "1,234");
  EXPECT_EQ(FormatFloat("#,##0.00", 1234.5, German()), "1.234,50");
}

TEST(FormatFloat, SectionsLiteralsAndExponents) {
  EXPECT_EQ(FormatFloat("0.0;(0.0);\"zero\"", 1.25), "1.3");
  EXPECT_EQ(FormatFloat("0.0;(0.0);\"zero\"", -1.25), "(1.3)");
  EXPECT_EQ(FormatFloat("0.0;(0.0);\"zero\"", 0.0), "zero");
  EXPECT_EQ(FormatFloat("0.0;(0.0);\"zero\"", -0.01), "zero");  // rounds to zero
  EXPECT_EQ(FormatFloat("0.0;", -2.0), "-2.0");                 // empty negative section
  EXPECT_EQ(FormatFloat("0.0;;", 0.0), "0.0");
  EXPECT_EQ(FormatFloat("0.0 'MHz'", 98.5), "98.5 MHz");
  EXPECT_EQ(FormatFloat("0.0\"#0;\"", 1.0), "1.0#0;");  // quoted text may hold anything
  EXPECT_EQ(FormatFloat("0%", 5.0), "5%");  // a plain literal: no scaling
  EXPECT_EQ(FormatFloat("0.00E+00", 12345.0), "1.23E+04");
  EXPECT_EQ(FormatFloat("0.00E+00", 0.000123), "1.23E-04");
  EXPECT_EQ(FormatFloat("0.0E-0", 12345.0), "1.2E4");
  EXPECT_EQ(FormatFloat("0.0E-0", 0.00012), "1.2E-4");
  EXPECT_EQ(FormatFloat("0.0e+000", 0.0), "0.0e+000");
  EXPECT_EQ(FormatFloat("00.0E+0", 12345.0), "12.3E+3");
  EXPECT_EQ(FormatFloat("0.0E+00", 9.99), "1.0E+01");
  EXPECT_EQ(FormatFloat("0.0E", 2.0), "2.0E");  // no sign after E: just a letter
  EXPECT_EQ(FormatFloat("", 2.5), "2.5");       // empty format: general
  EXPECT_EQ(FormatFloat("0.0", std::numeric_limits<double>::quiet_NaN()), "NAN");
  EXPECT_EQ(FormatFloat("0.0", -std::numeric_limits<double>::infinity()), "-INF");
}

TEST(FloatToStr, GeneralFifteenDigits) {
  EXPECT_EQ(FloatToStr(0.1 + 0.2), "0.3");
  EXPECT_EQ(FloatToStr(1.0 / 3.0), "0.333333333333333");
  EXPECT_EQ(FloatToStr(123456789012345.0), "123456789012345");
  EXPECT_EQ(FloatToStr(1e15), "1E15");
  EXPECT_EQ(FloatToStr(0.0001), "0.0001");
  EXPECT_EQ(FloatToStr(0.00001), "1E-5");
  EXPECT_EQ(FloatToStr(-2.5e-7), "-2.5E-7");
  EXPECT_EQ(FloatToStr(-0.0), "0");
  EXPECT_EQ(FloatToStr(98.5, German()), "98,5");
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::infinity()), "INF");
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::quiet_NaN()), "NAN");
}

TEST(StrToFloat, StrictConversion) {
  double v = 0;
  const struct {
    const char* text;
    double value;
  } good[] = {{"1.5", 1.5}, {" 12 ", 12}, {"+3", 3}, {"-.5", -0.5}, {"5.", 5}, {"1e3", 1000},
              {"1E-2", 0.01}, {"-0", 0}, {"1e-400", 0}, {"0.0000", 0}};
  for (const auto& g : good) {
    ASSERT_TRUE(TryStrToFloat(g.text, v)) << g.text;
    EXPECT_DOUBLE_EQ(v, g.value) << g.text;
  }
  for (const char* bad : {"", " ", ".", "-", "+", "1e", "1e+", "abc", "1.2.3", "0x10", "inf", "nan", "1e400",
                          "1,5", "1 000", "--1", "1-", "1e5.5", "12a"}) {
    v = 42;
    EXPECT_FALSE(TryStrToFloat(bad, v)) << bad;
    EXPECT_EQ(v, 42) << bad;
  }
  // Only the settings' separator is a decimal point.
  ASSERT_TRUE(TryStrToFloat("1,5", v, German()));
  EXPECT_DOUBLE_EQ(v, 1.5);
  EXPECT_FALSE(TryStrToFloat("1.5", v, German()));
  // The program-wide settings are the default and can be swapped.
  {
    TFormatSettingsScope scope(German());
    EXPECT_DOUBLE_EQ(StrToFloat("2,25"), 2.25);
    EXPECT_EQ(FloatToStr(2.25), "2,25");
  }
  EXPECT_DOUBLE_EQ(StrToFloat("2.25"), 2.25);

  try {
    StrToFloat("abc");
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'abc' is not a valid floating point value");
  }
}

TEST(CurrToStrF, SymbolPlacementAndSign) {
  EXPECT_EQ(CurrToStrF(1234.5), "$1,234.50");
  EXPECT_EQ(CurrToStrF(-1234.5), "($1,234.50)");
  EXPECT_EQ(CurrToStrF(-0.001), "$0.00");
  EXPECT_EQ(CurrToStrF(1234.5, German()), "1.234,50 \x80");
  EXPECT_EQ(CurrToStrF(-1234.5, German()), "-1.234,50 \x80");
  TFormatSettings none;
  none.CurrencyDecimals = 0;
  none.NegCurrFormat = 1;
  EXPECT_EQ(CurrToStrF(-7.6, none), "-$8");
}
