#include "host/convert.h"

#include <gtest/gtest.h>

#include "host/error.h"
#include "text/utf.h"

namespace kelvora::host {
namespace {

TEST(ConvertTest, NumericText) {
  struct Case {
    const char* text;
    bool numeric;
    double value;
  } cases[] = {
      {"123", true, 123},    {" 42 ", true, 42}, {"-5", true, -5},    {"+5", true, 5},
      {"1,234", true, 1234}, {"1.5", true, 1.5}, {".5", true, 0.5},   {"1E3", true, 1000},
      {"1e-2", true, 0.01},  {"1D2", true, 100}, {"&H1F", true, 31},  {"00123", true, 123},
      {"12a", false, 0},     {"", false, 0},     {"   ", false, 0},   {"-", false, 0},
      {"1E", false, 0},      {",5", false, 0},   {"1.2.3", false, 0}, {"abc", false, 0},
      {"\t7\t", true, 7},
  };
  for (const auto& c : cases) {
    auto v = ParseNumericText(Ascii(c.text));
    EXPECT_EQ(v.has_value(), c.numeric) << c.text;
    if (c.numeric && v) {
      EXPECT_DOUBLE_EQ(*v, c.value) << c.text;
    }
  }
}

TEST(ConvertTest, NumberToText) {
  struct Case {
    double number;
    const char* text;
  } cases[] = {
      {0, "0"},
      {1234, "1234"},
      {-7, "-7"},
      {0.5, "0.5"},
      {24123, "24123"},
      {1e15, "1E+15"},
      {1.5e20, "1.5E+20"},
      {20.0, "20"},
      {100.0 / 3, "33.3333333333333"},
      {1e-5, "1E-05"},
      {123456789012345, "123456789012345"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf16ToUtf8(NumberToText(c.number)), c.text);
}

TEST(ConvertTest, ValueToText) {
  EXPECT_EQ(ToText(Value()), u"");
  EXPECT_EQ(ToText(Value(u"07")), u"07");
  EXPECT_EQ(ToText(Value::Boolean(true)), u"True");
  EXPECT_EQ(ToText(Value::Date(45000)), u"15/03/2023");
  EXPECT_EQ(ToText(Value::Date(60)), u"29/02/1900");
  EXPECT_EQ(ToText(Value::Date(1)), u"01/01/1900");
  EXPECT_THROW(ToText(Value::Error(2042)), CommandError);
}

TEST(ConvertTest, IntegerConversionsRoundHalfToEvenAndCheckRange) {
  EXPECT_EQ(ToInt16(Value(2.5)), 2);
  EXPECT_EQ(ToInt16(Value(3.5)), 4);
  EXPECT_EQ(ToInt16(Value(u" 520 ")), 520);
  EXPECT_EQ(ToInt16(Value()), 0);
  EXPECT_EQ(ToInt16(Value::Boolean(true)), -1);
  EXPECT_EQ(ToInt16(Value(32767)), 32767);
  try {
    ToInt16(Value(32768));
    FAIL();
  } catch (const CommandError& e) {
    EXPECT_EQ(e.number(), err::kOverflow);
  }
  try {
    ToInt32(Value(u"abc"));
    FAIL();
  } catch (const CommandError& e) {
    EXPECT_EQ(e.number(), err::kTypeMismatch);
  }
  EXPECT_EQ(ToInt32(Value(65000)), 65000);
  EXPECT_THROW(ToInt32(Value(3e9)), CommandError);
}

TEST(ConvertTest, IsNumericValue) {
  EXPECT_TRUE(IsNumericValue(Value()));
  EXPECT_TRUE(IsNumericValue(Value(5)));
  EXPECT_TRUE(IsNumericValue(Value::Boolean(false)));
  EXPECT_TRUE(IsNumericValue(Value(u"12 ")));
  EXPECT_FALSE(IsNumericValue(Value(u"Kỳ")));
  EXPECT_FALSE(IsNumericValue(Value::Date(1)));
  EXPECT_FALSE(IsNumericValue(Value::Error(2007)));
}

TEST(ConvertTest, LeadingNumber) {
  struct Case {
    const char* text;
    double value;
  } cases[] = {
      {"123", 123}, {" 1 2 3", 123}, {"12abc", 12},      {"abc", 0},
      {"", 0},      {"-4.5x", -4.5}, {"1e3", 1000},      {"1e", 1},
      {"\n\t7", 7}, {"1.2.3", 1.2},  {"241234", 241234}, {"3\r5", 3},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(LeadingNumberOfText(Ascii(c.text)), c.value) << c.text;
  }
}

}  // namespace
}  // namespace kelvora::host
