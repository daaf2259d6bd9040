#include <gtest/gtest.h>

#include <cmath>
#include <vector>
#include <utility>

#include "controls/NumberEditModel.h"

namespace {
TNumberEditModel Box(double minValue, double maxValue, int places, double increment = 1.0) {
  TNumberEditModel m;
  m.SetMinValue(minValue);
  m.SetMaxValue(maxValue);
  m.SetDecimalPlaces(places);
  m.SetIncrement(increment);
  return m;
}

TNumberEditModel FrequencyBox() {
  TNumberEditModel m = Box(87.0, 108.0, 1, 0.1);
  m.SetDisplayFormat("#.0");
  return m;
}
}  // namespace

TEST(NumberLimits, ClampMatrix) {
  const struct {
    double v, min, max, held;
  } cases[] = {{-5, 0, 0, -5},         {1e9, 5, 5, 1e9},  // equal limits, 0/0 included: no clamp
               {50, 87, 108, 87},      {150, 87, 108, 108},       {98.5, 87, 108, 98.5},  // Min < Max: both bounds
               {1, 5, 0, 5},           {1e9, 5, 0, 1e9},             // Min > Max, Max 0: only the lower bound
               {3, 0, -5, -5},         {-100, 0, -5, -100},          // Min > Max, Min 0: only the upper bound
               {100, 9000, 8000, 100}, {65000, 9000, 8000, 65000}};  // both set, Min > Max: nothing (the port box)
  for (const auto& c : cases)
    EXPECT_EQ(ClampToLimits(c.v, c.min, c.max), c.held) << c.v << " in " << c.min << ".." << c.max;
}

TEST(NumberLimits, RoundingTiesToEvenAndOutOfRange) {
  // Exact ties go to even (2.675 scales to the tie 267.5, 0.145 to just
  // below it); 38 places and more, or scaled values beyond a 64-bit integer,
  // leave the value as it is; just inside that range still rounds.
  const struct {
    double v;
    int places;
    double rounded;
  } cases[] = {{0.125, 2, 0.12}, {0.375, 2, 0.38}, {-2.5, 0, -2.0}, {2.675, 2, 2.68}, {0.145, 2, 0.14},
               {1.23456, 38, 1.23456}, {1.23456, -1, 1.23456}, {123456789.123456789, 15, 123456789.123456789},
               {-1e30, 0, -1e30}, {4503599627370495.5, 0, 4503599627370496.0}};
  for (const auto& c : cases) EXPECT_EQ(RoundToDecimalPlaces(c.v, c.places), c.rounded) << c.v << " to " << c.places;
  EXPECT_NEAR(RoundToDecimalPlaces(1.5e-30, 37), 1.5e-30, 1e-44);
  EXPECT_TRUE(std::isnan(RoundToDecimalPlaces(std::nan(""), 2)));

  // The clamp comes first and a clamped bound is rounded too.
  TNumberEditModel m = Box(0.125, 1, 2);
  EXPECT_EQ(m.CheckValue(0), 0.12);
}

TEST(NumberEditModel, SteppingAtBoundsAndFromEmpty) {
  // From empty a step is +Increment either way, held to the limits; a value
  // set by code is kept unrounded until a step rounds it (ties to even).
  const TNumberEditModel f = FrequencyBox(), free = Box(0, 0, 2), port = Box(9000, 8000, 0);
  const struct {
    TNumberEditModel box;
    std::optional<double> from;
    bool up;
    std::optional<double> to;
  } cases[] = {{f, {}, true, 87.0},     {f, {}, false, 87.0},    {f, 108.0, true, 108.0},  {f, 87.0, false, 87.0},
               {f, 98.0, true, 98.1},   {f, 98.0, false, 97.9},  {free, {}, false, 1.0},   {free, 0.125, true, 1.12},
               {free, 0.375, true, 1.38}, {port, 8000, true, 8001}, {port, 100, false, 99},
               {Box(1, 30, 0, 0), 5, true, std::nullopt}};  // no increment: no step
  for (auto c : cases) {
    if (c.from) c.box.StoreValue(*c.from);
    EXPECT_EQ(c.box.StepValue(c.up), c.to) << (c.from ? *c.from : -1) << (c.up ? " up" : " down");
  }
}

TEST(NumberEditModel, TypingTest) {
  TNumberEditModel f = FrequencyBox();
  // Too big is clamped, not refused; 0 is not negative; decimals are counted
  // up to the exponent; the sign alone is allowed where a negative number is not.
  const struct {
    TNumberEditModel box;
    std::vector<const char*> valid, refused;
  } cases[] = {
      {f, {"0", "9", "98", "98.", "98.5", "", "-", "+", "1e5", "150"}, {"98.55", "-5", "a", "1e", "9 8", "98.5x"}},
      {Box(0, 20, 0), {"0", "25", "12."}, {"12.5"}},
      {Box(1, 30, 2), {"-", "2.34", "2.34e1"}, {"-3", "2.345", "2.345e1"}},
      {Box(0, 0, 2), {"-3"}, {}},          // no lower limit in force
      {Box(9000, 8000, 0), {}, {"-3"}},    // non-negative limits
  };
  for (const auto& c : cases) {
    for (const char* t : c.valid) EXPECT_TRUE(c.box.IsValidText(t)) << t;
    for (const char* t : c.refused) EXPECT_FALSE(c.box.IsValidText(t)) << t;
  }

  // The character replaces the selection.
  EXPECT_TRUE(f.IsValidChar("98.5", 0, 4, '7'));
  EXPECT_FALSE(f.IsValidChar("98.5", 4, 0, '1'));
  EXPECT_TRUE(f.IsValidChar("98.5", 3, 1, '1'));
  EXPECT_FALSE(f.IsValidChar("98", 0, 0, '-'));
  EXPECT_TRUE(f.IsValidChar("", 0, 0, '-'));
  // Grouping separators do not count.
  EXPECT_TRUE(Box(0, 0, 2).IsValidChar("1,234", 5, 0, '5'));
}

TEST(NumberEditModel, NormaliseRegroupAndEditFormat) {
  EXPECT_EQ(TNumberEditModel::Normalize("  1,234.5 "), "1234.5");
  {
    TFormatSettings fs;
    fs.DecimalSeparator = ',';
    fs.ThousandSeparator = '.';
    TFormatSettingsScope scope(fs);
    EXPECT_EQ(TNumberEditModel::Normalize("1.234,5"), "1234,5");
  }
  {
    TFormatSettings fs;
    fs.DecimalSeparator = ',';
    fs.ThousandSeparator = ' ';
    TFormatSettingsScope scope(fs);
    EXPECT_EQ(TNumberEditModel::Normalize("1 234.5"), "1234,5");  // '.' typed means the decimal point
    TNumberEditModel m = Box(0, 0, 2);
    EXPECT_TRUE(m.IsValidText("12.5"));
  }

  // Exponent digits are no decimals.
  for (auto [format, edit] : {std::pair{"#.0", "#.0"}, {"#,##0.00 'MHz'", "#,##0.00"}, {"0.0\"k.Hz\";(0.0)", "0.0"},
                              {"0.00E+00", "0.00"}, {"0.0e-000", "0.0"}, {"#.0 dB", "#.0"}})
    EXPECT_EQ(EditFormatOf(format), edit);

  TNumberEditModel g = Box(0, 0, 2);
  g.SetDisplayFormat("#,##0.00");
  for (auto [typed, shown] : {std::pair{"1234567.5", "1,234,567.5"}, {"-1234", "-1,234"}, {"+1234e5", "+1,234e5"},
                              {"1,2,3,4", "1,234"}, {"-", "-"}, {"", ""}})
    EXPECT_EQ(g.Regroup(typed), shown);
  TNumberEditModel f = FrequencyBox();
  EXPECT_EQ(f.Regroup("1,234"), "1234");

  TNumberEditModel c = Box(0, 0, 2);
  c.SetCurrency(true);
  EXPECT_EQ(c.EditFormat(), ",#.00");
  c.StoreValue(1234.5);
  EXPECT_EQ(c.ValueText(false), "$1,234.50");
  EXPECT_EQ(c.ValueText(true), "1,234.50");
}

TEST(NumberEditModel, DisplayTextAndParseBack) {
  TNumberEditModel f = FrequencyBox();
  EXPECT_EQ(f.ValueText(false), "");
  f.StoreValue(98.0);
  EXPECT_EQ(f.ValueText(false), "98.0");
  EXPECT_EQ(f.ValueText(true), "98.0");

  TNumberEditModel plain = Box(0, 0, 2);
  plain.StoreValue(2.675);
  EXPECT_EQ(plain.ValueText(false), "2.675");

  TNumberEditModel z = Box(0, 20, 0);
  EXPECT_EQ(z.ParseBack("25"), TNumberEditModel::TParse::Number);
  EXPECT_EQ(z.Value(), 20.0);
  // A lone sign is 0, held to the limits like any typed number.
  for (auto [box, held] : {std::pair{Box(0, 20, 0), 0.0}, {Box(1, 30, 0), 1.0}, {Box(0, 0, 2), 0.0}}) {
    EXPECT_EQ(box.ParseBack("-"), TNumberEditModel::TParse::Number);
    EXPECT_EQ(box.Value(), held);
  }
  EXPECT_EQ(z.ParseBack("  "), TNumberEditModel::TParse::Empty);
  EXPECT_FALSE(z.Value().has_value());
  z.StoreValue(7);
  EXPECT_EQ(z.ParseBack("e5"), TNumberEditModel::TParse::NotANumber);
  EXPECT_EQ(z.Value(), 7.0);
  EXPECT_EQ(plain.ParseBack("1,234.567"), TNumberEditModel::TParse::Number);
  EXPECT_EQ(plain.Value(), 1234.57);

  // The Text property refuses non-numbers (what it takes: the widget's test).
  f.SetText("");
  EXPECT_FALSE(f.Value().has_value());
  f.StoreValue(98.5);
  EXPECT_THROW(f.SetText("9x"), EConvertError);
  EXPECT_EQ(f.Value(), 98.5);

  // Assigned flags: an unchanged assigned limit does nothing.
  TNumberEditModel a;
  EXPECT_FALSE(a.IsAssigned(TNumberEditModel::avMinValue));
  EXPECT_TRUE(a.SetMinValue(0));
  EXPECT_TRUE(a.IsAssigned(TNumberEditModel::avMinValue));
  EXPECT_FALSE(a.SetMinValue(0));
  EXPECT_FALSE(a.SetDisplayFormat(""));
  EXPECT_FALSE(a.IsAssigned(TNumberEditModel::avDisplayFormat));
}
