#include "analysis/size_sweep.h"

#include <gtest/gtest.h>

#include <random>

#include "analysis/chance.h"
#include "analysis/main_analysis.h"
#include "book/workbook_template.h"
#include "support/bound_workbook.h"

namespace kelvora::analysis {
namespace {

using host::Table;
using host::Value;

// A random store with the results a real store can hold besides five
// digits: shorter texts, letters, a comma, empty cells, numbers.
Table RandomBlock(int rows, uint32_t seed) {
  std::mt19937 rng(seed);
  Table t(rows, 2);
  for (int r = 1; r <= rows; ++r) {
    t(r, 1) = Value(50000 - r);
    t(r, 2) = Value(testing::FiveDigits(rng()));
  }
  const Value odd[] = {Value(u"1234"), Value(u""),    Value(),          Value(u"12a45"),
                       Value(4567),    Value(u"3,8"), Value(u"9,12,0"), Value(u"7")};
  for (size_t i = 0; i < std::size(odd); ++i) t(static_cast<int32_t>(3 + 5 * i), 2) = odd[i];
  return t;
}

int64_t HitsOf(const MethodResult& r) {
  int64_t hits = 0;
  for (uint8_t h : r.hits) hits += h;
  return hits;
}

// The sweep's count at every sampled size equals the backtest at that size,
// for every kind and mode and every method.
TEST(SizeSweepTest, EverySizeEqualsTheBacktestAtThatSize) {
  const Table block = RandomBlock(90, 7);
  constexpr int32_t n = 88;
  const struct {
    int kind_row;
    const char16_t* position;
    std::vector<int32_t> sizes;  // 1, a second pass, the largest
  } cases[] = {
      {1, u"", {1, 2, 31, 45, 65}},
      {2, u"", {1, 33, 65}},
      {3, u"", {1, 39, 200, 520}},
      {4, u"", {1, 45, 520}},
      {5, u"", {1, 2, 41, 333, 520}},
      {6, u"3", {1, 5, 9}},
      {6, u"9", {1, 9}},
      {6, u"any", {1, 2, 3, 7, 9}},
  };
  for (const auto& c : cases) {
    const int32_t largest = c.sizes.back();
    const AnalysisParameters params{u"", 1, c.position, n + 1};
    for (int threads : {1, 3}) {
      const auto every = HitsAtEverySize(block, n, params, c.kind_row, largest, threads);
      for (int32_t size : c.sizes) {
        AnalysisParameters at = params;
        at.setSize = static_cast<int16_t>(size);
        const auto backtest = BacktestMethods(block, n, at, c.kind_row, 1);
        for (int k = 0; k < 3; ++k) {
          EXPECT_EQ(every[static_cast<size_t>(k)][static_cast<size_t>(size - 1)],
                    HitsOf(backtest[static_cast<size_t>(k)]))
              << "kind " << c.kind_row << " position " << Utf16ToUtf8(c.position) << " size "
              << size << " method " << k + 1 << " threads " << threads;
        }
      }
    }
  }
}

TEST(SizeSweepTest, SweepsTheStageOverItsSizesWithAdjustedTests) {
  testing::BoundWorkbook w;
  const Table block = RandomBlock(60, 11);
  for (int r = 1; r <= 60; ++r) {
    w.main().PutValue(16 + r, 1, block(r, 1));
    w.main().PutValue(16 + r, 2, block(r, 2));
  }
  w.main().PutValue(4, 2, Value(40));             // window
  w.main().PutValue(2, 2, Value(u"not a size"));  // the size cell plays no part
  host::Session s = w.NewSession();
  const SweepOutcome all = SweepStageSizes(s, layout::kStage1, std::nullopt);
  ASSERT_TRUE(all.sweep) << static_cast<int>(*all.refusal);
  EXPECT_EQ(all.sweep->kind_row, 2);
  EXPECT_EQ(all.sweep->tested, 39);
  EXPECT_EQ(all.sweep->quality.results_not_five_digits, 8);  // the odd results of the store
  ASSERT_EQ(all.sweep->rows.size(), 65u * 3);
  std::vector<double> p;
  for (const SweepRow& row : all.sweep->rows) p.push_back(row.p_value);
  const auto holm = HolmAdjust(p);
  const auto q = BenjaminiHochbergAdjust(p);
  for (size_t i = 0; i < p.size(); ++i) {
    const SweepRow& row = all.sweep->rows[i];
    EXPECT_EQ(row.size, static_cast<int32_t>(i / 3) + 1);
    EXPECT_EQ(row.hits + row.misses, 39);
    EXPECT_DOUBLE_EQ(row.chance, row.size / 100.0);
    EXPECT_DOUBLE_EQ(row.p_value, BinomialTwoSidedP(row.hits, 39, row.chance));
    EXPECT_DOUBLE_EQ(row.p_value_holm, holm[i]);
    EXPECT_DOUBLE_EQ(row.q_value, q[i]);
  }
  const SweepOutcome some = SweepStageSizes(s, layout::kStage1, std::pair{10, 12});
  ASSERT_TRUE(some.sweep);
  EXPECT_EQ(some.sweep->rows.size(), 9u);
  EXPECT_EQ(some.sweep->rows[0].hits, all.sweep->rows[27].hits);
  EXPECT_EQ(SweepStageSizes(s, layout::kStage1, std::pair{60, 66}).refusal,
            SweepRefusal::kSizesOutside);
  w.main().PutValue(1, 2, Value(u"no such kind"));
  EXPECT_EQ(SweepStageSizes(s, layout::kStage1, std::nullopt).refusal, SweepRefusal::kParameters);
  testing::BoundWorkbook empty;
  host::Session e = empty.NewSession();
  EXPECT_EQ(SweepStageSizes(e, layout::kStage1, std::nullopt).refusal, SweepRefusal::kNoDraws);
}

}  // namespace
}  // namespace kelvora::analysis
