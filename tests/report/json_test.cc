#include "report/json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace kelvora::report {
namespace {

using host::Value;

// UTF-8 passes as it is.
TEST(JsonTest, StringsEscapeWhatJsonForbids) {
  const std::pair<std::u16string, const char*> cases[] = {
      {u"", "\"\""},
      {u"a\"b\\c/", "\"a\\\"b\\\\c/\""},
      {u"\n\r\t", "\"\\n\\r\\t\""},
      {std::u16string(1, u'\0') + u"\x01\x1f\x7f", "\"\\u0000\\u0001\\u001f\x7f\""},
      {u"Đề đầu 💰", "\"Đề đầu 💰\""}};
  for (const auto& [text, json] : cases) EXPECT_EQ(JsonString(text), json) << json;
}

// The shortest text that reads back as the same number, in a form JSON
// takes (123456789012345683968 is shorter than 1.2345678901234568e+20); no
// number for what JSON has none.
TEST(JsonTest, NumbersAreShortestAndNonFiniteIsNull) {
  const std::pair<double, const char*> cases[] = {
      {0, "0"},
      {-0.0, "0"},
      {-42, "-42"},
      {0.1, "0.1"},
      {0.1 + 0.2, "0.30000000000000004"},
      {1e21, "1e+21"},
      {123456789012345680000.0, "123456789012345683968"},
      {5e-324, "5e-324"},
      {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
      {std::nan(""), "null"},
      {std::numeric_limits<double>::infinity(), "null"}};
  for (const auto& [number, json] : cases) {
    EXPECT_EQ(JsonNumber(number), json) << json;
    EXPECT_EQ(JsonNumber(std::optional<double>(number)), json);
    EXPECT_EQ(JsonValue(Value(number)), json);
    if (std::isfinite(number)) {
      EXPECT_EQ(std::strtod(json, nullptr), number) << json;
    }
  }
  EXPECT_EQ(JsonNumber(std::optional<double>()), "null");
}

// A text of digits stays a text.
TEST(JsonTest, CellValuesByType) {
  const std::pair<Value, const char*> cases[] = {{Value(), "null"},
                                                 {Value(u"0123"), "\"0123\""},
                                                 {Value::Boolean(true), "true"},
                                                 {Value::Boolean(false), "false"},
                                                 {Value::Error(2042), "\"#ERROR\""},
                                                 {Value::Date(45292), "\"01/01/2024\""}};
  for (const auto& [value, json] : cases) EXPECT_EQ(JsonValue(value), json) << json;
}

}  // namespace
}  // namespace kelvora::report
