// Stored setting texts read back as numbers, switches, check boxes and levels.
#include <gtest/gtest.h>

#include "settings/number_text.h"

using namespace settings;

namespace {

struct Reading {
  const char16_t* text;
  double number;
  int32_t rounded;  // RoundedNumber: what every whole-number setting reads as
};

const Reading kReadings[] = {
    {u"1", 1, 1},
    {u"1.0", 1, 1},
    {u"1abc", 1, 1},
    {u"0.6", 0.6, 1},
    {u"0.5", 0.5, 0},
    {u"1.5", 1.5, 2},
    {u"2.5", 2.5, 2},
    {u"-0.5", -0.5, 0},
    {u"-1.5", -1.5, -2},
    {u"2", 2, 2},
    {u"", 0, 0},
    {u"abc", 0, 0},
    {u"   1", 1, 1},
    {u"\t 2", 2, 2},
    {u"-1", -1, -1},
    {u"+1", 1, 1},
    {u".5", 0.5, 0},
    {u"1.", 1, 1},
    {u"1e1", 10, 10},
    {u"1E+2x", 100, 100},
    {u"1e", 1, 1},
    {u"1 2", 1, 1},
    {u"- 1", 0, 0},
    {u"1,5", 1, 1},
    {u"2147483647", 2147483647.0, 2147483647},
    {u"-2147483648", -2147483648.0, INT32_MIN},
};

TEST(TextToNumber, LeadingDecimalNumberAndRounding) {
  for (const auto& r : kReadings) {
    SCOPED_TRACE(common::ToUtf8(r.text));
    EXPECT_EQ(TextToNumber(r.text), r.number);
    EXPECT_EQ(RoundedNumber(r.text), r.rounded);
  }
}

TEST(TextToNumber, NumbersOutsideThe32BitRangeCountAsZero) {
  for (const char16_t* text : {u"2147483648", u"-2147483649", u"1e10", u"-1e300", u"1e999", u"-1e999"}) {
    SCOPED_TRACE(common::ToUtf8(text));
    EXPECT_EQ(RoundedNumber(text), 0);
  }
  EXPECT_EQ(TextToNumber(u"1e-999"), 0.0);
  EXPECT_EQ(RoundedNumber(u"2147483647.4"), 2147483647);
}

TEST(SinkSwitch, OnOnlyWhenTheRoundedValueIsOne) {
  EXPECT_TRUE(SwitchIsOn(RoundedNumber(u"1")));
  EXPECT_TRUE(SwitchIsOn(RoundedNumber(u"1.0")));
  EXPECT_TRUE(SwitchIsOn(RoundedNumber(u"1abc")));
  EXPECT_TRUE(SwitchIsOn(RoundedNumber(u"0.6")));
  EXPECT_FALSE(SwitchIsOn(RoundedNumber(u"0.5")));
  EXPECT_FALSE(SwitchIsOn(RoundedNumber(u"1.5")));
  EXPECT_FALSE(SwitchIsOn(RoundedNumber(u"2")));
  EXPECT_FALSE(SwitchIsOn(RoundedNumber(u"-1")));
  EXPECT_FALSE(SwitchIsOn(RoundedNumber(u"")));
}

TEST(NumberEquals, ComparesWithoutRounding) {
  EXPECT_TRUE(NumberEquals(u"1.0", 1));
  EXPECT_FALSE(NumberEquals(u"0.6", 1));
  EXPECT_FALSE(NumberEquals(u"1.4", 1));
  EXPECT_FALSE(NumberEquals(u"1.5", 2));  // shown as level 2, but no message of level 2 passes
  EXPECT_TRUE(NumberEquals(u"", 0));      // no level stored: level 0 passes
  EXPECT_TRUE(NumberEquals(u"x", 0));
  EXPECT_TRUE(NumberEquals(u" 2", 2));
}

TEST(NumberText, WholeNumbersWithoutDecimalPoint) {
  EXPECT_EQ(NumberText(0), u"0");
  EXPECT_EQ(NumberText(1), u"1");
  EXPECT_EQ(NumberText(100000), u"100000");
  EXPECT_EQ(NumberText(-3), u"-3");
  EXPECT_EQ(NumberText(1.5), u"1.5");
}

}  // namespace
