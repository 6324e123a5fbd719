#include "analysis/size_sweep.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <tuple>

#include "analysis/backtest.h"
#include "support/book_values.h"

namespace kelvora::analysis {
namespace {

using host::Table, host::Value;

// A random store with the results a real store can hold besides five
// digits: shorter texts, letters, a comma, empty cells, numbers.
Table RandomBlock(int rows, uint32_t seed) {
  std::mt19937 rng(seed);
  Table t = testing::StoreRows(rows, 49999, 0);  // draws 49999 down
  for (int r = 1; r <= rows; ++r) t(r, 2) = Value(testing::FiveDigits(rng()));
  const Value odd[] = {Value(u"1234"), Value(u""),    Value(),          Value(u"12a45"),
                       Value(4567),    Value(u"3,8"), Value(u"9,12,0"), Value(u"7")};
  for (size_t i = 0; i < std::size(odd); ++i) t(static_cast<int32_t>(3 + 5 * i), 2) = odd[i];
  return t;
}

// The sweep's count at every sampled size (1, a second pass, the largest) equals the backtest at
// that size, for every kind, mode and method.
TEST(SizeSweepTest, EverySizeEqualsTheBacktestAtThatSize) {
  const Table block = RandomBlock(90, 7);
  constexpr int32_t n = 88;
  const std::tuple<int, const char16_t*, std::vector<int32_t>> cases[] = {
      {1, u"", {1, 2, 31, 45, 65}},
      {2, u"", {1, 33, 65}},
      {3, u"", {1, 39, 200, 520}},
      {4, u"", {1, 45, 520}},
      {5, u"", {1, 2, 41, 333, 520}},
      {6, u"3", {1, 5, 9}},
      {6, u"9", {1, 9}},
      {6, u"any", {1, 2, 3, 7, 9}},
  };
  for (const auto& [kind_row, position, sizes] : cases) {
    const AnalysisParameters params{u"", 1, position, n + 1};
    for (int threads : {1, 3}) {
      const auto every = HitsAtEverySize(block, n, params, kind_row, sizes.back(), threads);
      for (int32_t size : sizes) {
        const AnalysisParameters at{u"", static_cast<int16_t>(size), position, n + 1};
        const auto backtest = BacktestMethods(block, n, at, kind_row, 1);
        for (size_t k = 0; k < 3; ++k) {
          const std::vector<uint8_t>& hits = backtest[k].hits;
          EXPECT_EQ(every[k][static_cast<size_t>(size - 1)],
                    std::accumulate(hits.begin(), hits.end(), int64_t{0}))
              << "kind " << kind_row << " position " << Utf16ToUtf8(position) << " size " << size
              << " method " << k + 1 << " threads " << threads;
        }
      }
    }
  }
}

TEST(SizeSweepTest, SweepsTheStageOverItsSizesWithAdjustedTests) {
  testing::BookValues b;
  b.store = RandomBlock(60, 11);
  b.Put(layout::kStage1.window, Value(40));
  b.Put(layout::kStage1.size, Value(u"not a size"));  // the size cell plays no part
  const BookView book = b.View();
  const SweepOutcome all = SweepStageSizes(book, layout::kStage1, std::nullopt);
  ASSERT_TRUE(all.sweep) << static_cast<int>(*all.refusal);
  EXPECT_EQ(all.sweep->kind_row, 2);
  EXPECT_EQ(all.sweep->tested, 39);
  EXPECT_EQ(all.sweep->quality.results_not_five_digits, 8);  // the odd results of the store
  ASSERT_EQ(all.sweep->rows.size(), 65u * 3);
  for (size_t i = 0; i < all.sweep->rows.size(); ++i) {
    const SweepRow& row = all.sweep->rows[i];
    EXPECT_EQ(std::tuple(row.size, row.method, row.hits + row.misses),
              std::tuple(static_cast<int32_t>(i / 3) + 1, static_cast<int>(i % 3) + 1, 39));
    EXPECT_DOUBLE_EQ(row.chance, row.size / 100.0);
  }
  // Exact two-sided binomial p-values of these counts (39 tested, p0 = size / 100) and Holm's and
  // Benjamini-Hochberg's adjustments over all 195 rows, computed once in rational arithmetic with
  // Python's fractions: the four smallest p-values of the family and three others.
  const std::tuple<size_t, int64_t, double, double, double> pinned[] = {
      {2, 5, 4.3368459397806934e-05, 0.008456849582572352, 0.008456849582572352},
      {63, 19, 0.0002730317806615086, 0.05296816544833267, 0.013590377275067546},
      {16, 9, 0.0004101974235348703, 0.07916810274222998, 0.013590377275067546},
      {66, 19, 0.0004251716327078262, 0.08163295347990263, 0.013590377275067546},
      {0, 4, 0.0006219612230119028, 0.11755067114924962, 0.013590377275067546},
      {100, 19, 0.06241216526538186, 1, 0.11268863172916169},
      {194, 27, 0.6195203623332799, 1, 0.6825224330790371},
  };
  for (const auto& [i, hits, p, holm, q] : pinned) {
    const SweepRow& row = all.sweep->rows[i];
    EXPECT_EQ(row.hits, hits) << i;
    EXPECT_NEAR(row.p_value, p, 1e-12 * p) << i;
    EXPECT_NEAR(row.p_value_holm, holm, 1e-12) << i;
    EXPECT_NEAR(row.q_value, q, 1e-12) << i;
  }
  const SweepOutcome some = SweepStageSizes(book, layout::kStage1, std::pair{10, 12});
  ASSERT_TRUE(some.sweep);
  EXPECT_EQ(some.sweep->rows.size(), 9u);
  EXPECT_EQ(some.sweep->rows[0].hits, all.sweep->rows[27].hits);
  // Sizes beyond either end of the kind's or reversed; a kind or window that
  // cannot run; a store of one draw.
  const std::tuple<std::pair<int32_t, int32_t>, layout::Cell, Value, SweepRefusal> refused[] = {
      {{60, 66}, layout::kStage1.size, Value(1), SweepRefusal::kSizesOutside},
      {{0, 3}, layout::kStage1.size, Value(1), SweepRefusal::kSizesOutside},
      {{5, 4}, layout::kStage1.size, Value(1), SweepRefusal::kSizesOutside},
      {{1, 65}, layout::kStage1.kind, Value(u"no such kind"), SweepRefusal::kParameters},
      {{1, 65}, layout::kStage1.window, Value(1), SweepRefusal::kParameters},
  };
  for (const auto& [sizes, cell, value, refusal] : refused) {
    testing::BookValues r = b;
    r.Put(cell, value);
    EXPECT_EQ(SweepStageSizes(r.View(), layout::kStage1, sizes).refusal, refusal) << sizes.first;
  }
  b.store = Table(1, 2);
  EXPECT_EQ(SweepStageSizes(b.View(), layout::kStage1, std::nullopt).refusal,
            SweepRefusal::kNoDraws);
}

}  // namespace
}  // namespace kelvora::analysis
