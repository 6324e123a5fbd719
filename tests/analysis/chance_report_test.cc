#include "analysis/chance_report.h"

#include <gtest/gtest.h>

#include "analysis/main_analysis.h"
#include "book/workbook_template.h"
#include "support/bound_workbook.h"

namespace kelvora::analysis {
namespace {

using host::Value;
using testing::BoundWorkbook;
using testing::U;

// A workbook with `draws` stored draws analysed by Main with the template's
// kind "Đề đuôi", 40 numbers, window 200; the second stage on "Ba càng đuôi".
struct Analysed : BoundWorkbook {
  explicit Analysed(int draws = 120, bool second = true) {
    FillStore(draws, 30000, 99);
    main().PutValue(6, 2, Value(second ? u"ON" : u"OFF"));
    Run(analysis::Main);
  }
  ChanceReport Assess() {
    host::Session s = NewSession();
    return AssessAgainstChance(s);
  }
};

TEST(ChanceReportTest, CurrentStagesAreMeasuredFromTheirTables) {
  Analysed w;
  const ChanceReport r = w.Assess();
  ASSERT_EQ(r.stages[0].state, StageState::kCurrent);
  ASSERT_EQ(r.stages[1].state, StageState::kCurrent);
  EXPECT_EQ(r.methods_tested, 6);
  std::vector<double> p;
  for (int s = 0; s < 2; ++s) {
    for (int k = 1; k <= 3; ++k) {
      const MethodChance& m = r.stages[static_cast<size_t>(s)].methods[static_cast<size_t>(k - 1)];
      const int row = (s == 0 ? 3 : 9) + k - 1;
      const int hits = static_cast<int>(w.main().cell(row, 9).value.number());
      EXPECT_EQ(m.hits, hits);
      EXPECT_EQ(m.tested, 119);
      EXPECT_DOUBLE_EQ(m.chance_rate, s == 0 ? 0.40 : 0.30);
      EXPECT_DOUBLE_EQ(m.expected_hits, 119 * m.chance_rate);
      EXPECT_DOUBLE_EQ(m.p_value, BinomialTwoSidedP(hits, 119, m.chance_rate));
      EXPECT_LE(m.interval95.low, *m.rate);
      EXPECT_GE(m.interval95.high, *m.rate);
      p.push_back(m.p_value);
    }
  }
  const std::vector<double> holm = HolmAdjust(p);
  EXPECT_DOUBLE_EQ(r.stages[1].methods[2].p_value_holm, holm[5]);
  EXPECT_EQ(r.quality.results_not_five_digits, 0);
  EXPECT_EQ(ChanceVerdict(r.stages[0].methods[0], r.quality).substr(0, 5), U("không"));
}

TEST(ChanceReportTest, ChangedParametersOrStoreMakeTheStageStale) {
  const struct {
    const char* change;
    int row, col;
    Value value;
    bool first_stale, second_stale;
  } cases[] = {
      {"size", 2, 2, Value(41), true, false},
      {"kind of the same width", 1, 2, Value(U(kTemplateKindNames[0])), true, false},
      {"window", 4, 2, Value(60), true, false},
      {"second size", 8, 2, Value(301), false, true},
      {"second stage off", 6, 2, Value(u"OFF"), false, true},
      {"newest result", 17, 2, Value(u"12345"), true, true},
  };
  for (const auto& c : cases) {
    Analysed w;
    w.main().PutValue(c.row, c.col, c.value);
    const ChanceReport r = w.Assess();
    EXPECT_EQ(r.stages[0].state == StageState::kStale, c.first_stale) << c.change;
    EXPECT_EQ(r.stages[1].state == StageState::kStale, c.second_stale) << c.change;
  }
  Analysed off(120, false);
  EXPECT_EQ(off.Assess().stages[1].state, StageState::kNotRun);
  BoundWorkbook fresh;
  EXPECT_EQ(fresh.Run(analysis::Main), host::Outcome::kStoppedByCheck);
  host::Session session = fresh.NewSession();
  const ChanceReport none = AssessAgainstChance(session);
  EXPECT_EQ(none.stages[0].state, StageState::kNotRun);
  EXPECT_EQ(none.methods_tested, 0);
}

TEST(ChanceReportTest, NoVerdictOnAStoreNotComparableWithChance) {
  MethodChance m;
  m.p_value_holm = 0.001;
  EXPECT_EQ(ChanceVerdict(m, {1, 1, {}}), NotComparableVerdict());
  EXPECT_EQ(ChanceVerdict(m, {}), U("khác ngẫu nhiên (p = 0.001)"));
}

}  // namespace
}  // namespace kelvora::analysis
