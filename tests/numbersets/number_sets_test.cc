#include "numbersets/number_sets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "numbersets/backends.h"
#include "numbersets/set_size_error.h"
#include "numbersets/sha256.h"
#include "text/utf.h"

namespace kelvora::numbersets {
namespace {

std::u16string (*const kBuild[])(std::u16string_view, int32_t) = {nullptr, BuildDigitSet,
                                                                  BuildPairSet, BuildTripleSet};

int32_t Universe(int width) { return width == 1 ? 10 : width == 2 ? 100 : 1000; }

// The set recipe written out step by step with texts and an ordered set, as
// plainly as it reads, including the substring-search sort.
struct LiteralSet {
  std::u16string text;
  int32_t digests = 0, compressions = 0;
};

LiteralSet LiteralBuild(int width, const std::u16string& seed, int32_t size) {
  LiteralSet result;
  std::set<std::u16string> pieces;
  std::u16string list, state = seed;
  while (static_cast<int32_t>(pieces.size()) < size) {
    result.compressions += static_cast<int32_t>((state.size() + 8) / 64 + 1);
    state = CSHA256().DigestHex(state);
    ++result.digests;
    std::u16string digits;
    for (char16_t c : state)
      if (c >= u'0' && c <= u'9') digits += c;
    for (size_t i = 0; i + static_cast<size_t>(width) <= digits.size(); ++i) {
      const std::u16string piece = digits.substr(i, static_cast<size_t>(width));
      if (!pieces.insert(piece).second) continue;
      list += (list.empty() ? u"" : u",") + piece;
      if (static_cast<int32_t>(pieces.size()) == size) break;
    }
  }
  for (int32_t n = 0; n < Universe(width); ++n) {
    const std::u16string padded = Utf8ToUtf16(std::to_string(1000 + n).substr(4 - width));
    if (list.find(padded) != std::u16string::npos)
      result.text += (result.text.empty() ? u"" : u",") + padded;
  }
  return result;
}

// Checks both builders against `expected` for one width, seed and size; returns the flags.
FlagSet ExpectSet(int width, const std::u16string& seed, int32_t size,
                  const std::u16string& expected) {
  EXPECT_EQ(kBuild[width](seed, size), expected) << width << " " << size;
  FlagSet flags;
  BuildSetFlags(width, seed, size, flags);
  EXPECT_EQ(std::tuple(flags.Text(), flags.width, flags.count, flags.flags.count()),
            std::tuple(expected, width, size, static_cast<size_t>(size)));
  return flags;
}

// Checks both builders and their digest work against the literal recipe.
void ExpectLiteral(int width, const std::u16string& seed, int32_t size) {
  const LiteralSet expected = LiteralBuild(width, seed, size);
  const FlagSet flags = ExpectSet(width, seed, size, expected.text);
  EXPECT_EQ(std::pair(flags.digests, flags.compressions),
            std::pair(expected.digests, expected.compressions));
}

TEST(NumberSetsTest, WorkedSetsForAbc) {
  // The first digest gives 30 distinct pairs; the 31st, "72", comes from the
  // digest of the first digest's text.
  const std::tuple<int, int32_t, const char16_t*> cases[] = {
      {1, 1, u"7"},     {2, 1, u"78"},       {3, 1, u"781"},
      {1, 3, u"1,7,8"}, {2, 3, u"16,78,81"}, {3, 3, u"168,781,816"},
  };
  ForEachBackend([&](Sha256Backend) {
    for (const auto& [width, size, expected] : cases) ExpectSet(width, u"abc", size, expected);
    ExpectSet(1, u"abc", 9, u"0,1,2,3,4,5,6,7,8");
    ExpectSet(
        2, u"abc", 31,
        u"00,01,03,05,06,10,12,13,14,15,16,17,20,22,23,30,36,39,40,41,52,61,68,72,77,78,79,80,"
        u"81,94,96");
  });
}

TEST(NumberSetsTest, SizeOutsideTheRangeIsRefused) {
  const std::pair<int, int32_t> cases[] = {{1, 0}, {1, 11},   {2, 0},         {2, 101},
                                           {3, 0}, {3, 1001}, {2, INT32_MIN}, {3, INT32_MAX},
                                           {0, 1}, {4, 1}};
  for (const auto& [width, size] : cases) {
    FlagSet flags;
    flags.count = 7;
    EXPECT_THROW(BuildSetFlags(width, u"abc", size, flags), SetSizeError) << width << " " << size;
    if (width < 1 || width > 3) continue;
    EXPECT_EQ(flags.count, 0) << "left as before";
    EXPECT_THROW(kBuild[width](u"abc", size), SetSizeError) << width << " " << size;
  }
}

// The fast builders against the literal recipe, on seeds of every kind the
// analysis makes and some it never makes, at random sizes.
TEST(NumberSetsTest, BuildersEqualTheLiteralRecipe) {
  std::mt19937 rng(7031);
  const char16_t* suffixes[] = {u"", u"TienNhi", u"TienTam", u"TrungTam", u"7"};
  auto num = [&](uint32_t n) { return Utf8ToUtf16(std::to_string(n)); };
  ForEachBackend([&](Sha256Backend) {
    for (int trial = 0; trial < 120; ++trial) {
      const int width = 1 + trial % 3;
      std::u16string seed;
      if (trial % 4 == 0)  // the analysis's shape: method, draw number, result, suffix
        seed = u"pp" + num(1 + rng() % 3) + num(rng() % 100000) + num(rng() % 100000) +
               suffixes[rng() % 5];
      else if (trial % 4 == 1)  // any code units, up to three blocks
        for (size_t n = rng() % 150; n > 0; --n) seed += static_cast<char16_t>(rng());
      else if (trial % 4 == 2)  // a digest text, which takes the 64-byte path at once
        seed = CSHA256().DigestHex(num(static_cast<uint32_t>(trial)));
      else
        seed = num(rng());
      const int32_t size =
          trial % 10 == 9 ? Universe(width) : 1 + static_cast<int32_t>(rng() % Universe(width));
      ExpectLiteral(width, seed, size);
    }
  });
}

// "s150" and "s349" give 51 digits: at every size up to past their first pass's distinct numbers,
// each window of that pass, the last ones among them, decides the set.
TEST(NumberSetsTest, EveryWindowOfALongPass) {
  ForEachBackend([&](Sha256Backend) {
    for (const char16_t* seed : {u"s150", u"s349"})
      for (int width = 1; width <= 3; ++width)
        for (int32_t size = 1; size <= std::min(Universe(width), 52); ++size)
          ExpectLiteral(width, seed, size);
  });
}

TEST(NumberSetsTest, ExtractDigitsAndSortLists) {
  EXPECT_EQ(ExtractDigits(u"7a8b1/0:9"), u"78109");        // '/' and ':' border the digits
  EXPECT_EQ(ExtractDigits(u"\u0661\uff11\u00b95"), u"5");  // other scripts' digits are not
  EXPECT_EQ(ExtractDigits(u"abcdef"), u"");
  // Any occurrence counts, also inside a longer run of digits.
  std::u16string (*const sort[])(std::u16string_view) = {SortDigitList, SortPairList,
                                                         SortTripleList};
  const std::tuple<int, std::u16string, const char16_t*> cases[] = {
      {1, u"7,1,8", u"1,7,8"},          {1, u"", u""},
      {2, u"81,05,78,05", u"05,78,81"}, {3, u"700,007,070", u"007,070,700"},
      {2, u"1234", u"12,23,34"},        {3, u"12,34", u""},
  };
  for (const auto& [width, list, sorted] : cases) EXPECT_EQ(sort[width - 1](list), sorted) << width;
}

}  // namespace
}  // namespace kelvora::numbersets
