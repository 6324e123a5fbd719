#include "report/json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace kelvora::report {
namespace {

using host::Value;

TEST(JsonTest, StringsEscapeWhatJsonForbids) {
  const struct {
    std::u16string text;
    const char* json;
  } cases[] = {
      {u"", "\"\""},
      {u"a\"b\\c/", "\"a\\\"b\\\\c/\""},
      {u"\n\r\t", "\"\\n\\r\\t\""},
      {std::u16string(1, u'\0') + u"\x01\x1f\x7f", "\"\\u0000\\u0001\\u001f\x7f\""},
      {u"Đề đầu 💰", "\"Đề đầu 💰\""},  // UTF-8 as it is
  };
  for (const auto& c : cases) EXPECT_EQ(JsonString(c.text), c.json) << c.json;
}

// The shortest text that reads back as the same number, in a form JSON
// takes; no number for what JSON has none.
TEST(JsonTest, NumbersAreShortestAndNonFiniteIsNull) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const struct {
    double number;
    const char* json;
  } cases[] = {
      {0, "0"},
      {-0.0, "0"},
      {-42, "-42"},
      {0.1, "0.1"},
      {0.1 + 0.2, "0.30000000000000004"},
      {1e21, "1e+21"},
      {123456789012345680000.0, "123456789012345683968"},  // shorter than 1.2345678901234568e+20
      {5e-324, "5e-324"},
      {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
      {std::nan(""), "null"},
      {kInf, "null"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JsonNumber(c.number), c.json) << c.json;
    EXPECT_EQ(JsonNumber(std::optional<double>(c.number)), c.json);
    EXPECT_EQ(JsonValue(Value(c.number)), c.json);
    if (std::isfinite(c.number)) {
      EXPECT_EQ(std::strtod(c.json, nullptr), c.number) << c.json;
    }
  }
  EXPECT_EQ(JsonNumber(std::optional<double>()), "null");
}

TEST(JsonTest, CellValuesByType) {
  const struct {
    Value value;
    const char* json;
  } cases[] = {
      {Value(), "null"},
      {Value(u"0123"), "\"0123\""},  // a text of digits stays a text
      {Value::Boolean(true), "true"},
      {Value::Boolean(false), "false"},
      {Value::Error(2042), "\"#ERROR\""},
      {Value::Date(45292), "\"01/01/2024\""},
  };
  for (const auto& c : cases) EXPECT_EQ(JsonValue(c.value), c.json) << c.json;
}

}  // namespace
}  // namespace kelvora::report
