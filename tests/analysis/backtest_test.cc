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
  struct Case {
    std::u16string text, pattern;
    bool any, expected;
  } cases[] = {
      {u"07,23,81", u"23", false, true},
      {u"07,23,81", u"3,8", false, true},  // a plain run of characters
      {u"07,23,81", u"70", false, false},
      {u"07,23,81", u"", false, true},  // an empty pattern always occurs
      {u"", u"", false, true},
      {u"", u"1", false, false},
      {u"1,7,8", u"95", true, false},
      {u"1,7,8", u"58", true, true},
      {u"1,7,8", u"", true, false},  // nothing to find
      {u"1,7,8", u",", true, true},
      {u"abc", u"ABC", true, false},  // case-sensitive
      // Patterns of any length, found or not: no overflow.
      {u"1,7,8", std::u16string(255, u'a'), true, false},
      {u"1,7,8", long_miss, true, false},
      {u"1,7,8", long_miss + u"7", true, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextContains(c.text, c.pattern, c.any), c.expected)
        << Utf16ToUtf8(c.text) << " / " << Utf16ToUtf8(c.pattern).substr(0, 20) << " " << c.any;
  }
}

TEST(ValueTextTest, SameAsTheHostConversion) {
  for (const Value& v :
       {Value(0), Value(-0.0), Value(7), Value(24123), Value(-24123), Value(999999999999999.0),
        Value(1e15), Value(-1e15), Value(2.5), Value(1e-7), Value(u"00123"), Value(),
        Value::Boolean(true), Value::Date(45000)}) {
    EXPECT_EQ(ValueText(v), host::ToText(v));
  }
  EXPECT_EQ(ValueText(Value(-24123)), u"-24123");
  EXPECT_EQ(ErrorNumberOf([] { ValueText(Value::Error(2042)); }), err::kTypeMismatch);
}

TEST(PickCharacterTest, PositionsAndNonNumericTexts) {
  struct Case {
    const char16_t* position;
    const char16_t* expected;
  } cases[] = {
      {u"3", u"4"},       {u"1", u"5"},      {u"5", u"2"}, {u"7", u""},  // past the end
      {u"2.5", u"0"},      // halves to the even neighbour: 2
      {u"3.5", u"1"},      // 4
      {u" 1 ", u"5"},      // blanks around a number
      {u"1e30", u""},      // far past the end, no overflow
      {u"abc", u"50412"},  // not a number: the text unchanged
      {u"", u"50412"},    {u"3x", u"50412"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PickCharacter(u"50412", c.position), c.expected) << Utf16ToUtf8(c.position);
  }
  for (const char16_t* below : {u"0", u"0.5", u"-2"}) {
    EXPECT_EQ(ErrorNumberOf([&] { PickCharacter(u"50412", below); }), err::kInvalidProcedureCall)
        << Utf16ToUtf8(below);
  }
}

Table Kinds(std::initializer_list<Value> names) {
  Table t(static_cast<int32_t>(names.size()), 1);
  int32_t r = 1;
  for (const auto& v : names) t(r++, 1) = v;
  return t;
}

TEST(FindKindRowTest, TriesRowsSixTwoOneFiveThreeFour) {
  const Table distinct = Kinds({u"a", u"b", u"c", u"d", u"e", u"f"});
  const Table repeated = Kinds({u"x", u"y", u"x", u"z", u"x", u"y"});
  struct Case {
    const Table* table;
    const char16_t* name;
    std::optional<int> row;
  } cases[] = {
      {&distinct, u"a", 1},           {&distinct, u"d", 4},
      {&distinct, u"f", 6},           {&distinct, u"A", std::nullopt},  // case-sensitive
      {&distinct, u"", std::nullopt}, {&repeated, u"y", 6},             // rows 2 and 6: 6 first
      {&repeated, u"x", 1},  // rows 1, 3, 5: 1 before 5 and 3
  };
  for (const auto& c : cases) EXPECT_EQ(FindKindRow(*c.table, c.name), c.row);
  const Table numbers = Kinds({Value(12), Value(), u"c", u"d", u"e", Value::Error(2042)});
  EXPECT_EQ(FindKindRow(numbers, u"12"), 1);
  EXPECT_EQ(FindKindRow(numbers, u""), 2);
  EXPECT_EQ(ErrorNumberOf([] {
              FindKindRow(Kinds({u"a", u"b"}), u"z");
            }),
            err::kSubscriptOutOfRange);
}

// Outcomes written newest first: 'H' a hit, 'M' a miss.
std::vector<uint8_t> Outcomes(const char* s) {
  std::vector<uint8_t> v;
  for (; *s != '\0'; ++s) v.push_back(*s == 'H' ? 1 : 0);
  return v;
}

TEST(RunStatisticsTest, RunsCountsAndRate) {
  struct Case {
    const char* outcomes;
    int longest_hit, current_hit, longest_miss;
    std::optional<int> current_miss;
    int hits, misses;
    std::optional<double> rate;
  } cases[] = {
      // The newest tested draw is a hit.
      {"HMMH", 1, 1, 2, 0, 2, 2, 50.0},
      // No hit: the whole window is one open miss run.
      {"MMMM", 0, 0, 4, std::nullopt, 0, 4, 0.0},
      // Every draw a hit.
      {"HHH", 3, 3, 0, 0, 3, 0, 100.0},
      // Current run 3 left out; 5-6 shorter than the open run 8-10.
      {"MMMHMMHMMM", 1, 0, 3, 3, 2, 8, 20.0},
      {"HHMMHHHMHM", 3, 2, 2, 0, 6, 4, 60.0},
      // The current run is longer than every closed one and is left out.
      {"MMMMHMH", 1, 0, 1, 4, 2, 5, 2.0 / 7.0 * 100.0},
      // A longer closed run in the middle beats the open one at the end.
      {"HMMMHM", 1, 1, 3, 0, 2, 4, 2.0 / 6.0 * 100.0},
      {"M", 0, 0, 1, std::nullopt, 0, 1, 0.0},
      {"H", 1, 1, 0, 0, 1, 0, 100.0},
      {"", 0, 0, 0, std::nullopt, 0, 0, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.outcomes);
    const auto o = Outcomes(c.outcomes);
    const RunStatistics s = ComputeRunStatistics(o);
    EXPECT_EQ(s.longest_hit_run, c.longest_hit);
    EXPECT_EQ(s.current_hit_run, c.current_hit);
    EXPECT_EQ(s.longest_miss_run, c.longest_miss);
    EXPECT_EQ(s.current_miss_run, c.current_miss);
    EXPECT_EQ(s.hits, c.hits);
    EXPECT_EQ(s.misses, c.misses);
    EXPECT_EQ(s.hit_rate, c.rate);
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

std::u16string ReferenceSet(int kind_row, const std::u16string& seed, int size) {
  if (kind_row == 6) return numbersets::BuildDigitSet(seed, size);
  if (kind_row <= 2) return numbersets::BuildPairSet(seed, size);
  return numbersets::BuildTripleSet(seed, size);
}

std::u16string TextOf(const Value& v) {
  if (v.IsEmpty()) return u"";
  if (v.IsText()) return v.text();
  return Ascii(std::to_string(static_cast<long long>(v.number())));
}

std::u16string ReferenceSeed(const Table& block, int row, const AnalysisParameters& p, int kind_row,
                             int k) {
  static const char16_t* suffixes[] = {u"TienNhi", u"", u"TienTam", u"TrungTam", u""};
  const std::u16string suffix = kind_row == 6 ? p.positionOrSuffix : suffixes[kind_row - 1];
  return u"pp" + Ascii(std::to_string(k)) + TextOf(block(row, 1)) + TextOf(block(row, 2)) + suffix;
}

// The outcomes by the plain recipe: every set built as text from scratch.
std::vector<uint8_t> ReferenceOutcomes(const Table& block, int n, const AnalysisParameters& p,
                                       int kind_row, int k) {
  static const int starts[] = {1, 4, 1, 2, 3}, lengths[] = {2, 2, 3, 3, 3};
  std::vector<uint8_t> out;
  for (int i = 1; i <= n; ++i) {
    const std::u16string set =
        ReferenceSet(kind_row, ReferenceSeed(block, i + 1, p, kind_row, k), p.setSize);
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
    out.push_back(hit ? 1 : 0);
  }
  return out;
}

class BacktestTest : public ::testing::Test {
 protected:
  void TearDown() override { SetAnalysisThreads(0); }
};

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
      SetAnalysisThreads(threads);
      const auto all = BacktestMethods(block, n, p, c.kind_row);
      for (int k = 1; k <= 3; ++k) {
        const MethodResult& r = all[static_cast<size_t>(k - 1)];
        EXPECT_EQ(r.hits, ReferenceOutcomes(block, n, p, c.kind_row, k)) << "threads " << threads;
        EXPECT_EQ(r.values[8], Value(ReferenceSet(
                                   c.kind_row, ReferenceSeed(block, 1, p, c.kind_row, k), c.size)));
        EXPECT_EQ(r.values[0], Value(k));
        const MethodResult single = BacktestMethod(block, n, p, c.kind_row, k);
        EXPECT_EQ(single.values, r.values);
        EXPECT_EQ(single.hits, r.hits);
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
  struct Case {
    int kind_row;
    const char16_t* position;
    Value result;  // of the tested draws 1 and 2
    uint8_t hit;
  } cases[] = {
      {2, u"", Value(u""), 1},        // an empty pattern counts as contained
      {5, u"", Value(), 1},           // an empty cell: nothing from position 3 on
      {4, u"", Value(u"9"), 1},       // shorter than the start position
      {6, u"7", Value(u"50412"), 1},  // a position past the end: empty pattern
      {6, u"", Value(u""), 0},        // any character of nothing: a miss
      {6, u"", Value(u"abc"), 0},     // no digit at all
  };
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
    SetAnalysisThreads(threads);
    EXPECT_EQ(ErrorNumberOf([&] { BacktestMethods(block, 4, q, 2); }), err::kTypeMismatch);
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
