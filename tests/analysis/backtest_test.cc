#include "analysis/backtest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/worker_pool.h"
#include "host/convert.h"
#include "host/error.h"
#include "numbersets/number_sets.h"
#include "support/bound_workbook.h"
#include "support/error_number.h"
#include "text/utf.h"

namespace kelvora::analysis {
namespace {

using host::Table, host::Value, kelvora::testing::ErrorNumberOf;

TEST(TextContainsTest, ContainedAndAnyCharacter) {
  const std::u16string long_miss(300, u'a');
  // An empty pattern always occurs as a run, never as "any character";
  // patterns of any length work without overflow.
  const std::tuple<std::u16string, std::u16string, bool, bool> cases[] = {
      {u"07,23,81", u"3,8", false, true}, {u"07,23,81", u"70", false, false},
      {u"07,23,81", u"", false, true},    {u"", u"1", false, false},
      {u"1,7,8", u"95", true, false},     {u"1,7,8", u"58", true, true},
      {u"1,7,8", u"", true, false},       {u"abc", u"ABC", true, false},
      {u"1,7,8", long_miss, true, false}, {u"1,7,8", long_miss + u"7", true, true},
  };
  for (const auto& [text, pattern, any, expected] : cases)
    EXPECT_EQ(TextContains(text, pattern, any), expected) << Utf16ToUtf8(pattern).substr(0, 9);
}

TEST(ValueTextTest, SameAsTheHostConversion) {
  for (const Value& v :
       {Value(-0.0), Value(-24123), Value(999999999999999.0), Value(1e15), Value(2.5), Value(1e-7),
        Value(u"00123"), Value(), Value::Boolean(true), Value::Date(45000)})
    EXPECT_EQ(ValueText(v), host::ToText(v));
  EXPECT_EQ(ErrorNumberOf([] { ValueText(Value::Error(2042)); }), err::kTypeMismatch);
}

TEST(PickCharacterTest, PositionsAndNonNumericTexts) {
  // Halves go to the even neighbour; a text that is not a number is the
  // result unchanged; below 1 fails.
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"3", u"4"},   {u"1", u"5"},   {u"7", u""},        {u"2.5", u"0"},  {u"3.5", u"1"},
      {u" 1 ", u"5"}, {u"1e30", u""}, {u"abc", u"50412"}, {u"", u"50412"}, {u"3x", u"50412"},
  };
  for (const auto& [position, expected] : cases)
    EXPECT_EQ(PickCharacter(u"50412", position), expected) << Utf16ToUtf8(position);
  for (const char16_t* below : {u"0", u"0.5", u"-2"})
    EXPECT_EQ(ErrorNumberOf([&] { PickCharacter(u"50412", below); }), err::kInvalidProcedureCall)
        << Utf16ToUtf8(below);
}

TEST(RunStatisticsTest, RunsCountsAndRate) {
  // Outcomes newest first. The current miss run is left out of the longest
  // one; a closed run in the middle may beat the open one at the end.
  struct Case {
    const char* outcomes;
    int longest_hit, current_hit, longest_miss;
    std::optional<int> current_miss;
    int hits, misses;
    std::optional<double> rate;
  } cases[] = {
      {"HMMH", 1, 1, 2, 0, 2, 2, 50.0},
      {"MMMM", 0, 0, 4, std::nullopt, 0, 4, 0.0},
      {"HHH", 3, 3, 0, 0, 3, 0, 100.0},
      {"MMMMHMH", 1, 0, 1, 4, 2, 5, 2.0 / 7.0 * 100.0},
      {"HMMMHM", 1, 1, 3, 0, 2, 4, 2.0 / 6.0 * 100.0},
      {"", 0, 0, 0, std::nullopt, 0, 0, std::nullopt},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> o;
    for (const char* p = c.outcomes; *p != '\0'; ++p) o.push_back(*p == 'H');
    const RunStatistics s = ComputeRunStatistics(o);
    EXPECT_EQ(std::tuple(s.longest_hit_run, s.current_hit_run, s.longest_miss_run,
                         s.current_miss_run, s.hits, s.misses, s.hit_rate),
              std::tuple(c.longest_hit, c.current_hit, c.longest_miss, c.current_miss, c.hits,
                         c.misses, c.rate))
        << c.outcomes;
  }
}

// Draws 24123 (row 1) down to 24111, with odd results: four characters, an empty text and cell, a
// letter, a number cell, one character (shorter than the start of the middle three), no digit.
Table PinnedBlock() {
  return kelvora::testing::StoreOf({u"12345", u"1234", u"", Value(), u"12a45", 4567, u"7", u"abc",
                                    u"50412", u"09876", u"31415", u"27182", u"00000"},
                                   24123);
}

// The outcomes of draws 1..12 (X a hit) of methods 1, 2 and 3, pinned from a run that matched an
// independent model of the recipe. An empty pattern is a hit (empty results, position 7 past the
// end); any character of nothing or of "abc" is a miss.
TEST(BacktestTest, PinnedOutcomesAndTheNextSetSeed) {
  const Table block = PinnedBlock();
  const std::tuple<int, int, const char16_t*, const char*> cases[] = {
      {1, 30, u"", "XXXXX.X..XXX XXXXXXX...XX ..XX..X....X"},
      {2, 65, u"9", ".XXXXXXXX.XX XXXXXXXX.XXX .XXXXXXXXXXX"},
      {3, 200, u"", "..XX..X..X.. ..XX.XX..... ..XX..X...X."},
      {4, 520, u"", "XXXX..X.XX.. ..XX.XX...X. .XXX.XX.X.X."},
      {5, 7, u"", "..XX..X..... ..XX..X..... ..XX..X....."},
      {6, 4, u"3", "X.XX..X..... XXXX..X..... .XXX..X..XX."},
      {6, 3, u"", "X...XX..XXX. XX...XX.XXXX XX..XXX.XXXX"},
      {6, 2, u"x", "XX........XX X...XX..XX.X XX..XX..X.X."},
      {6, 5, u"7", "XXXXXXXXXXXX XXXXXXXXXXXX XXXXXXXXXXXX"},
  };
  for (const auto& [kind_row, size, position, expected] : cases) {
    const AnalysisParameters p{u"", static_cast<int16_t>(size), position, 100};
    std::string hits;
    for (const MethodResult& r : BacktestMethods(block, 12, p, kind_row, 1)) {
      hits += hits.empty() ? "" : " ";
      for (uint8_t h : r.hits) hits += h ? 'X' : '.';
    }
    EXPECT_EQ(hits, expected) << "kind " << kind_row << " size " << size;
  }
  // The seed: "pp", the method (2), the draw, the result and the suffix.
  EXPECT_EQ(BacktestMethod(block, 12, {u"", 3, u"", 100}, 1, 2).values[8],
            Value(numbersets::BuildPairSet(u"pp22412312345TienNhi", 3)));
  EXPECT_EQ(BacktestMethod(block, 12, {u"", 3, u"x", 100}, 6, 2).values[8],
            Value(numbersets::BuildDigitSet(u"pp22412312345x", 3)));
}

// A longer block with the same unusual texts spread over it.
Table MakeBlock(int rows) {
  Table t = kelvora::testing::StoreRows(rows, 29999, 12345);
  const Table pinned = PinnedBlock();
  for (int r = 23; r <= rows; r += 23) t(r, 2) = pinned(r / 23 % 13 + 1, 2);
  return t;
}

TEST(BacktestTest, SameResultsWhateverTheThreadCount) {
  const Table block = MakeBlock(300);
  const std::tuple<int, int, const char16_t*> cases[] = {
      {1, 30, u""}, {4, 520, u""}, {6, 4, u"3"}, {6, 3, u"xyz"}};
  for (const auto& [kind_row, size, position] : cases) {
    SCOPED_TRACE(::testing::Message() << "kind " << kind_row);
    const AnalysisParameters p{u"", static_cast<int16_t>(size), position, 100};
    const auto one = BacktestMethods(block, 299, p, kind_row, 1);
    for (int threads : {2, 7}) {
      const auto many = BacktestMethods(block, 299, p, kind_row, threads);
      for (int k = 0; k < 3; ++k) {
        const MethodResult single = BacktestMethod(block, 299, p, kind_row, k + 1, threads);
        for (const MethodResult* r : {&many[k], &single})
          EXPECT_EQ(std::tie(r->values, r->hits), std::tie(one[k].values, one[k].hits));
      }
    }
  }
}

TEST(BacktestTest, FailuresOfTheEngine) {
  Table block = MakeBlock(5);
  const AnalysisParameters p{u"", 5, u"0", 5};
  EXPECT_EQ(ErrorNumberOf([&] { BacktestMethod(block, 4, p, 6, 1); }), err::kInvalidProcedureCall);
  block(4, 2) = Value::Error(2042);
  const AnalysisParameters q{u"", 5, u"", 5};
  for (int threads : {1, 2})
    EXPECT_EQ(ErrorNumberOf([&] { BacktestMethods(block, 4, q, 2, threads); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([&] { BacktestMethod(block, 5, q, 2, 1); }), err::kSubscriptOutOfRange);
}

TEST(ParallelForTest, EveryItemOnceAndTheLowestFailureReported) {
  for (int threads : {1, 2, 7}) {
    std::vector<int> seen(1000, 0);
    ParallelFor(1000, 7, threads, [&](int64_t b, int64_t e, int) {
      for (int64_t i = b; i < e; ++i) ++seen[static_cast<size_t>(i)];
    });
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 1000) << threads;
    const auto fail_from_500 = [&] {
      ParallelFor(1000, 10, threads, [&](int64_t b, int64_t, int) {
        if (b >= 500) throw std::runtime_error(std::to_string(b));
      });
    };
    EXPECT_THAT(fail_from_500, ::testing::ThrowsMessage<std::runtime_error>("500")) << threads;
  }
}

}  // namespace
}  // namespace kelvora::analysis
