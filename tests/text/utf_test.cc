#include "text/utf.h"

#include <gtest/gtest.h>

namespace kelvora {
namespace {

TEST(UtfTest, RoundTripsAndReplacesInvalidSequences) {
  const std::string samples[] = {"", "abc", "Thông Báo", "Kỳ", "\xF0\x9F\x98\x80"};
  for (const auto& s : samples) EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(s)), s);
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80").size(), 2u);  // a surrogate pair
  EXPECT_EQ(Utf8ToUtf16("a\xFF"
                        "b"),
            u"a\uFFFDb");
  EXPECT_EQ(Utf8ToUtf16("\xE0\x80\x80"), u"\uFFFD");  // overlong
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, 0xD800)), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace kelvora
