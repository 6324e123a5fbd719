#include "intake/special_prize_text.h"

#include <gtest/gtest.h>

#include "host/host.h"
#include "text/utf.h"

namespace kelvora::intake {
namespace {

using host::Value;

TEST(SpecialPrizeTextTest, TwentySevenPrizeHeading) {
  // "b\u1EA3ng 127" has the pair 27 inside a longer number; in "x 27 10" 10 is
  // not above 10; in "b\u1EA3ng 2710" the pair 71 is met first.
  for (const char16_t* passes :
       {u"Lo\u1EA1i v\u00E9: 27 gi\u1EA3i", u"27", u"27\r\n", u"b\u1EA3ng 127", u"x 27 10"})
    EXPECT_TRUE(IsTwentySevenPrizeHeader(passes)) << Utf16ToUtf8(passes);
  for (const char16_t* fails : {u"b\u1EA3ng 2710", u"27 gi\u1EA3i, 06/12/2024",
                                u"mi\u1EC1n b\u1EAFc 28", u"7", u"", u"no digits"})
    EXPECT_FALSE(IsTwentySevenPrizeHeader(fails)) << Utf16ToUtf8(fails);
}

TEST(SpecialPrizeTextTest, CutsBlocksAtTheDrawWord) {
  const std::u16string k = kDrawWord;
  using Blocks = std::vector<std::pair<std::u16string, std::optional<std::u16string>>>;
  const std::tuple<std::u16string, std::u16string, Blocks> cases[] = {
      {u"H\r\n" + k + u" 123\r\n\u0110B\t45678-9\tx\r\n", u"H\r\n", {{u"123", u"45678"}}},
      {u"H\n" + k + u" 123\n\u0110B\t45678-9\tx\n", u"H\n", {{u"123", u"45678"}}},
      {k + u"   1234567890123  \n\u0110B\t  12345   67\t", u"", {{u"1234567890", u"12345"}}},
      {k + u" 12 \r\n\t98765", u"", {{u"12", u"98765"}}},
      {k + u" 5", u"", {{u"5", std::nullopt}}},                    // no second line
      {k + u" 5\n", u"", {{u"5", std::nullopt}}},                  // an empty one
      {k + u" 5\n\u0110B 12345", u"", {{u"5", std::nullopt}}},     // no tab
      {k + u" 5\n\u0110B\t - \r\n", u"", {{u"5", std::nullopt}}},  // no word
      {u"a k\u1EF3 Ky\u0300 " + k + k + u"7\nx\t1",
       u"a k\u1EF3 Ky\u0300 ",
       {{u"", std::nullopt}, {u"7", u"1"}}},
  };
  for (const auto& [text, heading, blocks] : cases) {
    const auto page = ReadSpecialPrizeText(text, host::TrimSpaces);
    EXPECT_EQ(page.heading, heading) << Utf16ToUtf8(text);
    Blocks got;
    for (const auto& b : page.blocks) got.emplace_back(b.key, b.result);
    EXPECT_EQ(got, blocks) << Utf16ToUtf8(text);
  }
}

TEST(SpecialPrizeTextTest, DrawLookupValueReadsDecimalTextsAsNumbers) {
  const std::pair<Value, Value> cases[] = {{Value(u"24350"), Value(24350)},
                                           {Value(u" 0024350 "), Value(24350)},
                                           {Value(24350), Value(24350)},
                                           {Value(u"&H10"), Value(u"&H10")},
                                           {Value(u"1D2"), Value(u"1D2")},
                                           {Value(u"12 ng\u00E0y"), Value(u"12 ng\u00E0y")},
                                           {Value(), Value()}};
  for (const auto& [cell, key] : cases) EXPECT_EQ(DrawLookupValue(cell), key);
}

}  // namespace
}  // namespace kelvora::intake
