#include "host/convert.h"

#include <gtest/gtest.h>

#include "host/error.h"
#include "support/error_number.h"
#include "text/utf.h"

namespace kelvora::host {
namespace {

using testing::ErrorNumberOf;

TEST(ConvertTest, NumericTextAndLeadingNumber) {
  const std::pair<const char*, std::optional<double>> numeric[] = {
      {"123", 123}, {" 42 ", 42},  {"-5", -5},     {"+5", 5},    {"1,234", 1234}, {"1.5", 1.5},
      {".5", 0.5},  {"1E3", 1000}, {"1e-2", 0.01}, {"1D2", 100}, {"&H1F", 31},    {"00123", 123},
      {"\t7\t", 7}, {"12a", {}},   {"", {}},       {"   ", {}},  {"-", {}},       {"1E", {}},
      {",5", {}},   {"1.2.3", {}}, {"abc", {}}};
  for (const auto& [text, value] : numeric) EXPECT_EQ(ParseNumericText(Ascii(text)), value) << text;
  const std::pair<const char*, double> leading[] = {
      {"123", 123}, {" 1 2 3", 123}, {"12abc", 12},      {"abc", 0},
      {"", 0},      {"-4.5x", -4.5}, {"1e3", 1000},      {"1e", 1},
      {"\n\t7", 7}, {"1.2.3", 1.2},  {"241234", 241234}, {"3\r5", 3}};
  for (const auto& [text, value] : leading)
    EXPECT_DOUBLE_EQ(LeadingNumberOfText(Ascii(text)), value) << text;
}

TEST(ConvertTest, ValuesAsText) {
  const std::pair<double, const char*> numbers[] = {{-7, "-7"},
                                                    {0.5, "0.5"},
                                                    {1e15, "1E+15"},
                                                    {1.5e20, "1.5E+20"},
                                                    {100.0 / 3, "33.3333333333333"},
                                                    {1e-5, "1E-05"},
                                                    {123456789012345, "123456789012345"}};
  for (const auto& [number, text] : numbers) EXPECT_EQ(Utf16ToUtf8(NumberToText(number)), text);
  // The host's phantom 29 February 1900, and a day before it.
  EXPECT_EQ(ToText(Value::Date(60)), u"29/02/1900");
  EXPECT_EQ(ToText(Value::Date(1)), u"01/01/1900");
}

TEST(ConvertTest, IntegerConversionsRoundHalfToEvenAndCheckRange) {
  const std::pair<Value, int16_t> small[] = {{Value(2.5), 2},
                                             {Value(3.5), 4},
                                             {Value(), 0},
                                             {Value::Boolean(true), -1},
                                             {Value(32767), 32767}};
  for (const auto& [value, number] : small) EXPECT_EQ(ToInt16(value), number);
  EXPECT_EQ(ToInt32(Value(65000)), 65000);
  EXPECT_EQ(ErrorNumberOf([] { ToInt16(Value(32768)); }), err::kOverflow);
  EXPECT_EQ(ErrorNumberOf([] { ToInt32(Value(3e9)); }), err::kOverflow);
  EXPECT_EQ(ErrorNumberOf([] { ToInt32(Value(u"abc")); }), err::kTypeMismatch);
}

// The intake and merge tests cover the other kinds of value.
TEST(ConvertTest, IsNumericValue) { EXPECT_TRUE(IsNumericValue(Value::Boolean(false))); }

}  // namespace
}  // namespace kelvora::host
