#include "analysis/backtest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/worker_pool.h"
#include "host/convert.h"
#include "host/error.h"
#include "numbersets/number_sets.h"
#include "text/utf.h"

namespace kelvora::analysis {
namespace {

using host::Table;
using host::Value;

int ErrorNumberOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const CommandError& e) {
    return e.number();
  }
  return 0;
}

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
        Value(u"00123"), Value(), Value::Boolean(true), Value::Date(45000)}) {
    EXPECT_EQ(ValueText(v), host::ToText(v));
  }
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
  for (const char16_t* below : {u"0", u"0.5", u"-2"}) {
    EXPECT_EQ(ErrorNumberOf([&] { PickCharacter(u"50412", below); }), err::kInvalidProcedureCall)
        << Utf16ToUtf8(below);
  }
}

TEST(RunStatisticsTest, RunsCountsAndRate) {
  const std::optional<int> none;
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
      {"MMMM", 0, 0, 4, none, 0, 4, 0.0},
      {"HHH", 3, 3, 0, 0, 3, 0, 100.0},
      {"MMMHMMHMMM", 1, 0, 3, 3, 2, 8, 20.0},
      {"HHMMHHHMHM", 3, 2, 2, 0, 6, 4, 60.0},
      {"MMMMHMH", 1, 0, 1, 4, 2, 5, 2.0 / 7.0 * 100.0},
      {"HMMMHM", 1, 1, 3, 0, 2, 4, 2.0 / 6.0 * 100.0},
      {"", 0, 0, 0, none, 0, 0, std::nullopt},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> o;
    for (const char* p = c.outcomes; *p != '\0'; ++p) o.push_back(*p == 'H');
    const RunStatistics s = ComputeRunStatistics(o);
    EXPECT_EQ(
        std::tie(s.longest_hit_run, s.current_hit_run, s.longest_miss_run, s.current_miss_run,
                 s.hits, s.misses),
        std::tie(c.longest_hit, c.current_hit, c.longest_miss, c.current_miss, c.hits, c.misses))
        << c.outcomes;
    EXPECT_EQ(s.hit_rate, c.rate) << c.outcomes;
  }
}

// A draw block with ordinary and unusual result texts.
Table MakeBlock(int rows) {
  Table t(rows, 2);
  uint32_t x = 12345;
  for (int r = 1; r <= rows; ++r) {
    x = x * 1103515245u + 12345u;
    char buf[8];
    std::snprintf(buf, sizeof buf, "%05u", (x >> 8) % 100000u);
    t(r, 1) = Value(30000 - r);
    t(r, 2) = Value(Ascii(buf));
  }
  if (rows >= 12) {
    t(3, 2) = Value(u"1234");   // four characters
    t(5, 2) = Value(u"");       // empty result
    t(7, 2) = Value();          // empty cell
    t(8, 2) = Value(u"12a45");  // a letter among the digits
    t(9, 2) = Value(4567);      // a number, not a text
    t(11, 2) = Value(u"7");
  }
  return t;
}

std::u16string TextOf(const Value& v) {
  return v.IsText()    ? v.text()
         : v.IsEmpty() ? u""
                       : Ascii(std::to_string(static_cast<long long>(v.number())));
}

// The set of method `k` built from draw row `row` as text from scratch.
std::u16string ReferenceSet(const Table& block, int row, const AnalysisParameters& p, int kind_row,
                            int k) {
  static const char16_t* suffixes[] = {u"TienNhi", u"", u"TienTam", u"TrungTam", u""};
  const std::u16string seed = u"pp" + Ascii(std::to_string(k)) + TextOf(block(row, 1)) +
                              TextOf(block(row, 2)) +
                              (kind_row == 6 ? p.positionOrSuffix : suffixes[kind_row - 1]);
  if (kind_row == 6) return numbersets::BuildDigitSet(seed, p.setSize);
  return kind_row <= 2 ? numbersets::BuildPairSet(seed, p.setSize)
                       : numbersets::BuildTripleSet(seed, p.setSize);
}

// The outcomes by the plain recipe: every set built as text from scratch.
std::vector<uint8_t> ReferenceOutcomes(const Table& block, int n, const AnalysisParameters& p,
                                       int kind_row, int k) {
  static const int starts[] = {1, 4, 1, 2, 3}, lengths[] = {2, 2, 3, 3, 3};
  std::vector<uint8_t> out;
  for (int i = 1; i <= n; ++i) {
    const std::u16string set = ReferenceSet(block, i + 1, p, kind_row, k);
    const std::u16string result = TextOf(block(i, 2));
    bool hit;
    if (kind_row == 6) {
      const std::string pos = Utf16ToUtf8(p.positionOrSuffix);
      char* end = nullptr;
      const double d = std::strtod(pos.c_str(), &end);
      if (!pos.empty() && *end == '\0') {
        const size_t at = static_cast<size_t>(std::nearbyint(d));
        const std::u16string one = at <= result.size() ? result.substr(at - 1, 1) : u"";
        hit = set.find(one) != std::u16string::npos;
      } else {
        hit = result.find_first_of(set) != std::u16string::npos;
      }
    } else {
      const size_t from = static_cast<size_t>(starts[kind_row - 1] - 1);
      const std::u16string pattern =
          from < result.size() ? result.substr(from, static_cast<size_t>(lengths[kind_row - 1]))
                               : u"";
      hit = set.find(pattern) != std::u16string::npos;
    }
    out.push_back(hit);
  }
  return out;
}

class BacktestTest : public ::testing::Test {};

TEST_F(BacktestTest, OutcomesAndNextSetFollowThePlainRecipe) {
  const Table block = MakeBlock(40);
  const int n = 38;
  struct Case {
    int kind_row;
    int size;
    const char16_t* position;
  } cases[] = {
      {1, 30, u""}, {2, 65, u"9"}, {2, 1, u""},    {3, 200, u""}, {4, 520, u""},
      {5, 7, u""},  {6, 4, u"3"},  {6, 9, u"1.5"}, {6, 3, u""},   {6, 2, u"x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "kind " << c.kind_row << " size " << c.size);
    const AnalysisParameters p{u"", static_cast<int16_t>(c.size), c.position, 100};
    for (int threads : {1, 2, 7}) {
      const auto all = BacktestMethods(block, n, p, c.kind_row, threads);
      for (int k = 1; k <= 3; ++k) {
        const MethodResult& r = all[static_cast<size_t>(k - 1)];
        EXPECT_EQ(r.hits, ReferenceOutcomes(block, n, p, c.kind_row, k)) << "threads " << threads;
        EXPECT_EQ(r.values[8], Value(ReferenceSet(block, 1, p, c.kind_row, k)));
        EXPECT_EQ(r.values[0], Value(k));
        const MethodResult single = BacktestMethod(block, n, p, c.kind_row, k, threads);
        EXPECT_EQ(std::tie(single.values, single.hits), std::tie(r.values, r.hits));
      }
    }
  }
}

TEST_F(BacktestTest, PatternEdgeCases) {
  Table block(3, 2);
  block(1, 1) = Value(102);
  block(2, 1) = Value(101);
  block(3, 1) = Value(100);
  block(3, 2) = Value(u"50412");
  // The result of the tested draws 1 and 2. An empty pattern counts as
  // contained (empty text, empty cell, shorter than the start, position past
  // the end); any character of nothing or of no digit is a miss.
  struct Case {
    int kind_row;
    const char16_t* position;
    Value result;
    bool hit;
  } cases[] = {{2, u"", Value(u""), 1},       {5, u"", Value(), 1},    {4, u"", Value(u"9"), 1},
               {6, u"7", Value(u"50412"), 1}, {6, u"", Value(u""), 0}, {6, u"", Value(u"abc"), 0}};
  for (const auto& c : cases) {
    block(1, 2) = c.result;
    block(2, 2) = c.result;
    const AnalysisParameters p{u"", 5, c.position, 3};
    const auto r = BacktestMethod(block, 2, p, c.kind_row, 1);
    EXPECT_EQ(r.hits, std::vector<uint8_t>(2, c.hit)) << c.kind_row;
  }
}

TEST_F(BacktestTest, FailuresOfTheEngine) {
  Table block = MakeBlock(5);
  const AnalysisParameters p{u"", 5, u"0", 5};
  EXPECT_EQ(ErrorNumberOf([&] { BacktestMethod(block, 4, p, 6, 1); }), err::kInvalidProcedureCall);
  EXPECT_FALSE(KindParametersUsable(6, p));
  EXPECT_TRUE(KindParametersUsable(5, p));
  EXPECT_TRUE(KindParametersUsable(6, {u"", 5, u"1", 5}));
  EXPECT_TRUE(KindParametersUsable(6, {u"", 5, u"x", 5}));
  block(4, 2) = Value::Error(2042);
  const AnalysisParameters q{u"", 5, u"", 5};
  for (int threads : {1, 2}) {
    EXPECT_EQ(ErrorNumberOf([&] { BacktestMethods(block, 4, q, 2, threads); }), err::kTypeMismatch);
  }
  EXPECT_EQ(ErrorNumberOf([&] { BacktestMethod(block, 5, q, 2, 1); }), err::kSubscriptOutOfRange);
}

TEST(ParallelForTest, EveryItemOnceAndTheLowestFailureReported) {
  for (int threads : {1, 2, 7}) {
    std::vector<int> seen(1000, 0);
    ParallelFor(1000, 7, threads, [&](int64_t b, int64_t e, int) {
      for (int64_t i = b; i < e; ++i) ++seen[static_cast<size_t>(i)];
    });
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 1000) << threads;
    int64_t failed_at = -1;
    try {
      ParallelFor(1000, 10, threads, [&](int64_t b, int64_t, int) {
        if (b >= 500) throw std::runtime_error(std::to_string(b));
      });
    } catch (const std::runtime_error& e) {
      failed_at = std::stoll(e.what());
    }
    EXPECT_EQ(failed_at, 500) << threads;
  }
}

}  // namespace
}  // namespace kelvora::analysis
