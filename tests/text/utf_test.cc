#include "text/utf.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kelvora {
namespace {

TEST(UtfTest, RoundTripsAndReplacesInvalidSequences) {
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");  // a surrogate pair
  EXPECT_EQ(Utf8ToUtf16("a\xFF\x62"), u"a\uFFFDb");           // \x62: b
  EXPECT_EQ(Utf8ToUtf16("\xE0\x80\x80"), u"\uFFFD");          // overlong
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, 0xD800)), "\xEF\xBF\xBD");
}

TEST(UtfTest, DecodesTextFilesByTheirMarkAndRefusesInvalidOnes) {
  const std::pair<std::string, std::optional<std::u16string>> cases[] = {
      {"\xEF\xBB\xBFK\xE1\xBB\xB3", u"K\u1EF3"},
      {std::string("\xFF\xFEK\0\xF3\x1E\x3D\xD8\x00\xDE", 10), u"K\u1EF3\U0001F600"},
      {std::string("\xFE\xFF\0K\x1E\xF3", 6), u"K\u1EF3"},
      {"", u""},
      {"\xE1\xBB", std::nullopt},                             // cut short
      {"\xFF\xFEK", std::nullopt},                            // an odd number of bytes
      {std::string("\xFF\xFE\0\xDC", 4), std::nullopt},       // a lone low surrogate
      {std::string("\xFE\xFF\xD8\x3D\0K", 6), std::nullopt},  // a high one without its low one
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(DecodeTextFile(bytes), text) << bytes;
}

}  // namespace
}  // namespace kelvora
