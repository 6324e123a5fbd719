#include "analysis/chance_report.h"

#include <gtest/gtest.h>

#include "analysis/backtest.h"
#include "book/workbook_template.h"
#include "support/book_values.h"

namespace kelvora::analysis {
namespace {

using host::Value, testing::U;

// 120 stored draws and the method tables of a run on them: the first stage
// "Đề đuôi", 40 numbers (p0 = 0.4), the second "Ba càng đuôi", 300 numbers
// (p0 = 0.3), both with window 200, so 119 draws tested.
struct Analysed : testing::BookValues {
  Analysed() {
    FillStore(120, 30000, 99);
    Put(layout::kSecondStageSwitch, Value(u"ON"));
    WriteTable(layout::kStage1, 2, 40, {50, 40, 60});
    WriteTable(layout::kStage2, 5, 300, {38, 30, 45});
  }
  void WriteTable(const layout::Stage& stage, int kind_row, int16_t size,
                  const std::array<int, 3>& hits) {
    const AnalysisParameters params{U(kTemplateKindNames[static_cast<size_t>(kind_row - 1)]), size,
                                    u"", 200};
    for (int k = 1; k <= 3; ++k) {
      const int32_t row = stage.table.row + k - 1, col = stage.table.col;
      const int h = hits[static_cast<size_t>(k - 1)];
      for (const auto& [offset, v] : {std::pair{0, k}, {3, 6}, {4, 2}, {5, h}, {6, 119 - h}})
        Put({row, col + offset}, Value(v));
      Put({row, col + 8}, Value(ComingSet(store, params, kind_row, k)));
    }
  }
  ChanceReport Assess() const { return AssessAgainstChance(View()); }
};

TEST(ChanceReportTest, CurrentStagesAgainstExactBinomialTests) {
  // Exact two-sided binomial p-values (the R rule: every outcome no more
  // likely than the observed one) computed once in rational arithmetic with
  // Python's fractions, and Holm's adjustment of the six by hand.
  const double p[6] = {0.7083623698130712, 0.16153639646681314, 0.02437002700925769,
                       0.6891132993185184, 0.2725556149506512,  0.07138546834274861};
  const double holm[6] = {1, 0.6461455858672526, 0.14622016205554614,
                          1, 0.8176668448519537, 0.3569273417137431};
  const ChanceReport r = Analysed().Assess();
  ASSERT_EQ(std::tuple(r.stages[0].state, r.stages[1].state, r.methods_tested),
            std::tuple(StageState::kCurrent, StageState::kCurrent, 6));
  for (size_t i = 0; i < 6; ++i) {
    const MethodChance& m = r.stages[i / 3].methods[i % 3];
    EXPECT_EQ(m.method, static_cast<int>(i % 3) + 1);
    EXPECT_DOUBLE_EQ(m.chance_rate, i < 3 ? 0.4 : 0.3);
    EXPECT_DOUBLE_EQ(m.expected_hits, 119 * m.chance_rate);
    EXPECT_NEAR(m.p_value, p[i], 1e-12 * p[i]) << i;
    EXPECT_NEAR(m.p_value_holm, holm[i], 1e-12) << i;
    // The runs written (longest 6, current 2): the longest's tail worked
    // forward over the states of the run in progress, in fractions.
    EXPECT_NEAR(*m.longest_miss_run_p, i < 3 ? 0.9105181971417757 : 0.9954681230444518, 1e-12);
    EXPECT_NEAR(*m.current_miss_run_p, i < 3 ? 0.36 : 0.49, 1e-15);
    EXPECT_TRUE(m.interval95.low < *m.rate && *m.rate < m.interval95.high) << i;
  }
  EXPECT_EQ(ChanceVerdict(r.stages[0].methods[0], r.quality).substr(0, 5), U("không"));
  // No verdict on a store not comparable with chance.
  MethodChance m;
  m.p_value_holm = 0.001;
  EXPECT_EQ(ChanceVerdict(m, {1, 1, {}}), NotComparableVerdict());
  EXPECT_EQ(ChanceVerdict(m, {}), U("khác ngẫu nhiên (p = 0.001)"));
}

TEST(ChanceReportTest, OutputsThatNoLongerMatchTheBookAreStale) {
  const layout::Cell misses{layout::kStage2.table.row, layout::kStage2.table.col + 6};
  const std::tuple<const char*, layout::Cell, Value, bool, bool> cases[] = {
      {"size", layout::kStage1.size, Value(41), true, false},
      {"kind, same width", layout::kStage1.kind, Value(U(kTemplateKindNames[0])), true, false},
      {"window", layout::kStage1.window, Value(60), true, false},
      {"second size", layout::kStage2.size, Value(301), false, true},
      {"second stage off", layout::kSecondStageSwitch, Value(u"OFF"), false, true},
      {"hits and misses that do not add up", misses, Value(1), false, true},
  };
  for (const auto& [change, cell, value, first_stale, second_stale] : cases) {
    Analysed w;
    w.Put(cell, value);
    const ChanceReport r = w.Assess();
    EXPECT_EQ(r.stages[0].state == StageState::kStale, first_stale) << change;
    EXPECT_EQ(r.stages[1].state == StageState::kStale, second_stale) << change;
    // Only the current stage's methods are adjusted together.
    EXPECT_EQ(r.methods_tested, 3) << change;
  }
  Analysed newer;
  newer.store(1, 2) = Value(u"12345");
  EXPECT_EQ(newer.Assess().methods_tested, 0);
  EXPECT_EQ(AssessAgainstChance(testing::BookValues().View()).stages[0].state, StageState::kNotRun);
}

}  // namespace
}  // namespace kelvora::analysis
