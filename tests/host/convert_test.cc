#include "host/convert.h"

#include <gtest/gtest.h>

#include <cstring>

#include "host/cell_ref.h"
#include "host/error.h"
#include "host/keyed_set.h"
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

TEST(KeyedSetTest, KeysCompareByTypeAndValue) {
  KeyedSet s;
  s.Add(Value(24123));
  s.Add(Value(u"abc"));
  s.Add(Value());
  EXPECT_TRUE(s.Exists(Value(24123.0)));
  EXPECT_FALSE(s.Exists(Value(u"24123")));  // a text is not the number it reads as
  EXPECT_FALSE(s.Exists(Value(u"ABC")));    // case-sensitive
  EXPECT_TRUE(s.Exists(Value()));           // the empty value is a key
  EXPECT_FALSE(s.Exists(Value(u"")));       // the empty text is another key
  EXPECT_TRUE(s.Exists(Value(u"abc")));
  EXPECT_EQ(s.Count(), 3u);
  EXPECT_THROW(s.Add(Value(24123)), CommandError);
  EXPECT_FALSE(s.Insert(Value(u"abc")));
  EXPECT_TRUE(s.Insert(Value(-0.0)));
  EXPECT_FALSE(s.Insert(Value(0.0)));
  ASSERT_EQ(s.Keys().size(), 4u);
  EXPECT_EQ(s.Keys()[1], Value(u"abc"));  // insertion order
}

TEST(CellRefTest, ParsesCellsAndBlocksInBothEncodings) {
  // Alike from UTF-8 and UTF-16; a single cell parses as a cell too, and a
  // failure leaves row and column as they were.
  auto check = [](const char* text, std::optional<Area> area) {
    EXPECT_EQ(ParseA1Area(std::string_view(text)), area) << text;
    EXPECT_EQ(ParseA1Area(Ascii(text)), area) << text;
    const bool cell = area && std::strchr(text, ':') == nullptr;
    int32_t row = -1, col = -1;
    EXPECT_EQ(ParseCellRef(std::string_view(text), &row, &col), cell) << text;
    EXPECT_EQ(std::make_pair(row, col),
              cell ? std::make_pair(area->top, area->left) : std::make_pair(-1, -1));
  };
  check("A1", Area{1, 1, 1, 1});
  check("$V$10002", Area{10002, 22, 10002, 22});
  check("xfd1048576", Area{1048576, 16384, 1048576, 16384});
  check("A17:B65016", Area{17, 1, 65016, 2});
  check("D3:b1", Area{1, 2, 3, 4});  // corners in any order
  for (const char* bad : {"XFE1", "A1048577", "A0", "A00000001", "1A", "A", "", "ABCD1", "KieuDanh",
                          "A1:", "A1:B2:C3", "A:B"})
    check(bad, std::nullopt);
}

// The letters and references of real columns are pinned where they are
// written: the layout, formula shift and adopt tests.
TEST(CellRefTest, WritesColumnLettersAndReferences) { EXPECT_EQ(ColumnLetters(0), u""); }

}  // namespace
}  // namespace kelvora::host
