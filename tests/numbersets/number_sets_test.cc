#include "numbersets/number_sets.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "entry/workbook_template.h"
#include "host/error.h"
#include "numbersets/sha256.h"
#include "test_support.h"

namespace kelvora::numbersets {
namespace {

using kelvora::testing::BoundWorkbook;
using kelvora::testing::U;

std::vector<Sha256Backend> AvailableBackends() {
  std::vector<Sha256Backend> backends{Sha256Backend::kPortable};
  if (ShaNiAvailable()) backends.push_back(Sha256Backend::kShaNi);
  return backends;
}

class BackendGuard {
 public:
  explicit BackendGuard(Sha256Backend b) : saved_(CurrentSha256Backend()) {
    EXPECT_TRUE(SetSha256Backend(b));
  }
  ~BackendGuard() { SetSha256Backend(saved_); }

 private:
  Sha256Backend saved_;
};

std::u16string Build(int width, std::u16string_view seed, int32_t size) {
  switch (width) {
    case 1:
      return BuildDigitSet(seed, size);
    case 2:
      return BuildPairSet(seed, size);
    default:
      return BuildTripleSet(seed, size);
  }
}

int32_t Universe(int width) { return width == 1 ? 10 : width == 2 ? 100 : 1000; }

// The set recipe written out step by step with texts and an ordered set, as
// plainly as it reads, including the substring-search sort.
struct LiteralSet {
  std::u16string text;
  int32_t digests = 0;
  int32_t compressions = 0;
};

LiteralSet LiteralBuild(int width, const std::u16string& seed, int32_t size) {
  LiteralSet result;
  const CSHA256 sha;
  std::set<std::u16string> pieces;
  std::u16string list;
  std::u16string state = seed;
  while (static_cast<int32_t>(pieces.size()) < size) {
    result.compressions += static_cast<int32_t>((state.size() + 8) / 64 + 1);
    state = sha.DigestHex(state);
    ++result.digests;
    std::u16string digits;
    for (char16_t c : state)
      if (c >= u'0' && c <= u'9') digits += c;
    for (size_t i = 0; i + static_cast<size_t>(width) <= digits.size(); ++i) {
      const std::u16string piece = digits.substr(i, static_cast<size_t>(width));
      if (pieces.count(piece)) continue;
      pieces.insert(piece);
      list += (list.empty() ? u"" : u",") + piece;
      if (static_cast<int32_t>(pieces.size()) == size) break;
    }
  }
  std::u16string sorted;
  for (int32_t n = 0; n < Universe(width); ++n) {
    std::u16string t = (width == 3 ? u"000" : u"00") + U(std::to_string(n).c_str());
    t = t.substr(t.size() - static_cast<size_t>(width));
    if (list.find(t) != std::u16string::npos) sorted += u"," + t;
  }
  result.text = sorted.substr(1);
  return result;
}

std::u16string AllNumbers(int width) {
  std::u16string all;
  for (int32_t n = 0; n < Universe(width); ++n) {
    std::string digits = std::to_string(n);
    digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
    all += (n ? u"," : u"") + U(digits.c_str());
  }
  return all;
}

TEST(NumberSetsTest, DigitsOfTheFirstDigestOfAbc) {
  EXPECT_EQ(ExtractDigits(CSHA256().DigestHex(u"abc")),
            u"7816801414140522230036139617794106120015");
}

TEST(NumberSetsTest, WorkedSetsForAbc) {
  struct Case {
    int width;
    int32_t size;
    const char16_t* expected;
  };
  const Case cases[] = {
      {1, 1, u"7"},
      {2, 1, u"78"},
      {3, 1, u"781"},
      {1, 3, u"1,7,8"},
      {2, 3, u"16,78,81"},
      {3, 3, u"168,781,816"},
      {1, 9, u"0,1,2,3,4,5,6,7,8"},
      {2, 10, u"01,05,14,16,40,41,68,78,80,81"},
      // The first digest gives 30 distinct pairs; the 31st, "72", comes from
      // the digest of the first digest's text.
      {2, 31,
       u"00,01,03,05,06,10,12,13,14,15,16,17,20,22,23,30,36,39,40,41,52,61,68,72,77,78,79,80,81,"
       u"94,96"},
  };
  for (Sha256Backend b : AvailableBackends()) {
    BackendGuard guard(b);
    for (const Case& c : cases) {
      EXPECT_EQ(Build(c.width, u"abc", c.size), c.expected) << c.width << " " << c.size;
      FlagSet flags;
      BuildSetFlags(c.width, u"abc", c.size, flags);
      EXPECT_EQ(flags.Text(), c.expected);
      EXPECT_EQ(flags.count, c.size);
    }
  }
  FlagSet flags;
  BuildSetFlags(2, u"abc", 30, flags);
  EXPECT_EQ(flags.digests, 1);
  BuildSetFlags(2, u"abc", 31, flags);
  EXPECT_EQ(flags.digests, 2);
  EXPECT_EQ(flags.compressions, 1 + 2);  // "abc", then a 64-character digest text
  EXPECT_TRUE(flags.flags[72]);
  EXPECT_FALSE(flags.flags[2]);
}

TEST(NumberSetsTest, FullRangesGiveEveryNumber) {
  for (int width = 1; width <= 3; ++width) {
    for (const char16_t* seed : {u"", u"abc", u"pp1123456789TienTam"}) {
      EXPECT_EQ(Build(width, seed, Universe(width)), AllNumbers(width)) << width;
      FlagSet flags;
      BuildSetFlags(width, seed, Universe(width), flags);
      EXPECT_EQ(static_cast<int32_t>(flags.flags.count()), Universe(width));
    }
  }
}

TEST(NumberSetsTest, SizeOutsideTheRangeIsRefused) {
  struct Case {
    int width;
    int32_t size;
  };
  const Case cases[] = {{1, 0},    {1, 11}, {2, 0},         {2, 101},       {3, 0},
                        {3, 1001}, {3, -1}, {2, INT32_MIN}, {3, INT32_MAX}, {1, -10}};
  for (const Case& c : cases) {
    try {
      Build(c.width, u"abc", c.size);
      ADD_FAILURE() << "size " << c.size << " accepted for width " << c.width;
    } catch (const CommandError& e) {
      EXPECT_EQ(e.number(), err::kInvalidProcedureCall);
    }
    FlagSet flags;
    flags.count = 7;
    EXPECT_THROW(BuildSetFlags(c.width, u"abc", c.size, flags), CommandError);
    EXPECT_EQ(flags.count, 0) << "left as before";
  }
  FlagSet flags;
  for (int width : {0, 4, -1}) EXPECT_THROW(BuildSetFlags(width, u"abc", 1, flags), CommandError);
}

// The fast builders against the literal recipe, on seeds of every kind the
// analysis makes and some it never makes, at random sizes.
TEST(NumberSetsTest, BuildersEqualTheLiteralRecipe) {
  std::mt19937 rng(7031);
  const std::vector<std::u16string> suffixes = {u"", u"TienNhi", u"TienTam", u"TrungTam", u"7"};
  for (Sha256Backend b : AvailableBackends()) {
    BackendGuard guard(b);
    for (int trial = 0; trial < 120; ++trial) {
      const int width = 1 + trial % 3;
      std::u16string seed;
      switch (trial % 4) {
        case 0:  // the analysis's shape: method, draw number, result, suffix
          seed = u"pp" + U(std::to_string(1 + rng() % 3).c_str()) +
                 U(std::to_string(rng() % 100000).c_str()) +
                 U(std::to_string(rng() % 100000).c_str()) + suffixes[rng() % suffixes.size()];
          break;
        case 1:  // any code units, up to three blocks
          for (size_t n = rng() % 150; n > 0; --n) seed += static_cast<char16_t>(rng() & 0xffff);
          break;
        case 2:  // a digest text, which takes the 64-byte path at once
          seed = CSHA256().DigestHex(U(std::to_string(trial).c_str()));
          break;
        default:
          seed = U(std::to_string(rng()).c_str());
      }
      const int32_t size =
          trial % 10 == 9 ? Universe(width) : 1 + static_cast<int32_t>(rng() % Universe(width));
      const LiteralSet expected = LiteralBuild(width, seed, size);
      EXPECT_EQ(Build(width, seed, size), expected.text) << width << " " << size;
      FlagSet flags;
      BuildSetFlags(width, seed, size, flags);
      EXPECT_EQ(flags.Text(), expected.text);
      EXPECT_EQ(flags.width, width);
      EXPECT_EQ(flags.count, size);
      EXPECT_EQ(static_cast<int32_t>(flags.flags.count()), size);
      EXPECT_EQ(flags.digests, expected.digests);
      EXPECT_EQ(flags.compressions, expected.compressions);
    }
  }
}

TEST(NumberSetsTest, ExtractDigits) {
  struct Case {
    std::u16string text, digits;
  };
  const Case cases[] = {
      {u"", u""},
      {u"abcdef", u""},
      {u"7a8b1", u"781"},
      {u"0123456789", u"0123456789"},
      {u"/0:9", u"09"},  // neighbours of the digits in code order
      {u"\u0661\uff11\u00b9"
       u"5",
       u"5"},  // other scripts' digits are not decimal digits here
  };
  for (const Case& c : cases) EXPECT_EQ(ExtractDigits(c.text), c.digits) << Utf16ToUtf8(c.text);
}

TEST(NumberSetsTest, SortLists) {
  struct Case {
    int width;
    const char16_t* list;
    const char16_t* sorted;
  };
  const Case cases[] = {
      {1, u"7,1,8", u"1,7,8"},
      {1, u"", u""},
      {2, u"81,05,78,05", u"05,78,81"},
      {2, u"99,00", u"00,99"},
      {3, u"700,007,070", u"007,070,700"},
      {3, u"999", u"999"},
      // Any occurrence counts, also inside a longer run of digits.
      {2, u"1234", u"12,23,34"},
      {3, u"12,34", u""},
  };
  for (const Case& c : cases) {
    const std::u16string list = c.list;
    const std::u16string got = c.width == 1   ? SortDigitList(list)
                               : c.width == 2 ? SortPairList(list)
                                              : SortTripleList(list);
    EXPECT_EQ(got, c.sorted) << c.width;
  }
}

TEST(NumberSetsTest, SetSizeLimitsByKindRow) {
  BoundWorkbook wb;
  struct Case {
    int row;
    int32_t size;
    bool allowed;
  };
  const Case cases[] = {
      {1, 1, true},          {1, 65, true},         {1, 66, false}, {1, 0, false},   {2, 65, true},
      {2, 66, false},        {2, -1, false},        {3, 520, true}, {3, 521, false}, {4, 1, true},
      {4, 520, true},        {4, 521, false},       {5, 520, true}, {5, 521, false}, {5, 0, false},
      {6, 9, true},          {6, 1, true},          {6, 10, false}, {6, 0, false},   {6, -5, false},
      {3, INT32_MIN, false}, {6, INT32_MAX, false},
  };
  for (const Case& c : cases) {
    const std::u16string name = U(kTemplateKindNames[static_cast<size_t>(c.row - 1)]);
    EXPECT_EQ(IsSetSizeAllowed(name, c.size), c.allowed) << "row " << c.row << " size " << c.size;
  }
  for (const std::u16string& unknown :
       {std::u16string(u""), U("Đề Đầu"), U("đề đầu"), U("Đề đầu "), std::u16string(u"x")}) {
    EXPECT_FALSE(IsSetSizeAllowed(unknown, 1));
  }
}

TEST(NumberSetsTest, SetSizeCellsOfOtherTypes) {
  BoundWorkbook wb;
  auto& s = wb.settings();
  s.PutValue(1, 1, host::Value(7));            // a number names its text form
  s.PutValue(2, 1, host::Value::Error(2042));  // an error names nothing
  s.PutValue(3, 1, host::Value::Boolean(true));
  s.PutValue(4, 1, host::Value());  // an empty cell reads as ""
  s.PutValue(5, 1, host::Value(u"Chung"));
  s.PutValue(6, 1, host::Value(u"Chung"));  // in two groups: the earlier group decides
  EXPECT_TRUE(IsSetSizeAllowed(u"7", 65));
  EXPECT_FALSE(IsSetSizeAllowed(u"7", 66));
  EXPECT_FALSE(IsSetSizeAllowed(u"7.0", 1));
  EXPECT_FALSE(IsSetSizeAllowed(u"#N/A", 1));
  EXPECT_TRUE(IsSetSizeAllowed(u"True", 520));
  EXPECT_TRUE(IsSetSizeAllowed(u"", 520));
  EXPECT_TRUE(IsSetSizeAllowed(u"Chung", 10));
  EXPECT_TRUE(IsSetSizeAllowed(u"Chung", 520));
  EXPECT_FALSE(IsSetSizeAllowed(u"Chung", 521));
}

TEST(NumberSetsTest, KindListOfFewerThanSixRowsFails) {
  BoundWorkbook wb;
  auto settings = wb.book->SheetByCodeName(u"Sheet3");
  for (int32_t bottom : {1, 5}) {
    wb.book->DefineName(u"KieuDanh", settings, host::memory::Area{1, 1, bottom, 1});
    try {
      IsSetSizeAllowed(U(kTemplateKindNames[0]), 1);
      ADD_FAILURE() << "accepted a list of " << bottom << " rows";
    } catch (const CommandError& e) {
      EXPECT_EQ(e.number(), err::kSubscriptOutOfRange);
    }
  }
  wb.book->DefineName(u"KieuDanh", settings, host::memory::Area{1, 1, 7, 2});
  EXPECT_TRUE(IsSetSizeAllowed(U(kTemplateKindNames[0]), 65));
  // A list that is not on the settings sheet is not found there.
  wb.book->DefineName(u"KieuDanh", wb.book->SheetByCodeName(u"Sheet1"),
                      host::memory::Area{1, 1, 6, 1});
  EXPECT_THROW(IsSetSizeAllowed(U(kTemplateKindNames[0]), 1), CommandError);
}

}  // namespace
}  // namespace kelvora::numbersets
