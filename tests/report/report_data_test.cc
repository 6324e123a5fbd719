#include "report/report_data.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "analysis/main_analysis.h"
#include "report/report_page.h"
#include "support/bound_workbook.h"

namespace kelvora::report {
namespace {

using host::Value;
using layout::kStage1;
using layout::kStage2;

struct Book : testing::BoundWorkbook {
  explicit Book(int draws) { FillStore(draws, 40000, 5); }
  std::optional<ReportData> Gather() {
    host::Session s = NewSession();
    return GatherReport(s, u"book.xlsx");
  }
};

TEST(ReportDataTest, NothingBeforeMainThenTheMarksOfEveryMethodOfBothStages) {
  // The second stage with a smaller window than the first: each stage's
  // marks are read as far as its own window reaches.
  Book w(80);
  EXPECT_FALSE(w.Gather().has_value());
  w.Put(layout::kSecondStageSwitch, Value(u"ON"));
  w.Put(kStage2.window, Value(30));
  w.Run(analysis::Main);
  const auto d = w.Gather();
  ASSERT_TRUE(d.has_value());
  EXPECT_EQ(d->draws, 80);
  EXPECT_EQ(d->newest_draw, Value(40000));
  EXPECT_EQ(d->oldest_draw, Value(40000 - 79));
  // Each stage's tested draws and first mark; the first stage's marks follow
  // its draw numbers.
  const std::tuple<size_t, size_t, layout::Cell> stages[] = {
      {0, 79, {kStage1.marks.row, kStage1.marks.col + 1}}, {1, 29, kStage2.marks}};
  for (const auto& [i, tested, first_mark] : stages) {
    SCOPED_TRACE(i + 1);
    ASSERT_EQ(d->chance.stages[i].state, analysis::StageState::kCurrent);
    ASSERT_TRUE(d->stages[i].sweep.has_value());
    for (size_t k = 0; k < 3; ++k) {
      const std::string& hits = d->stages[i].hits[k];
      ASSERT_EQ(hits.size(), tested);
      // Oldest first: the first character is the oldest tested draw.
      const int32_t top = first_mark.row;
      for (const int32_t row : {top, top + static_cast<int32_t>(tested) - 1}) {
        const bool hit = w.At({row, first_mark.col + static_cast<int32_t>(k)}) == Value(u"X");
        EXPECT_EQ(hits[tested - 1 - static_cast<size_t>(row - top)] == '1', hit) << row;
      }
      EXPECT_EQ(std::ranges::count(hits, '1'), d->chance.stages[i].methods[k].hits);
    }
  }
  for (const int i : {1, 6})
    EXPECT_EQ(d->sets[static_cast<size_t>(i - 1)], w.At(layout::OutputCell(i))) << i;
}

TEST(ReportDataTest, EndingsCountTheLastTwoDigitsOfFiveDigitResults) {
  const EndingGrid g =
      CountEndings(testing::StoreOf({u"12307", u"99907", u"1207", u"00000", 12399}, 5));
  EXPECT_EQ(g.total, 4);
  EXPECT_EQ(g.counts[7], 2);
  EXPECT_EQ(g.counts[0], 1);
  EXPECT_EQ(g.counts[99], 1);
  EXPECT_DOUBLE_EQ(g.expected, 0.04);
  // 97 empty cells, two cells of 1 and one of 2, each against 0.04.
  EXPECT_NEAR(g.chi2, 97 * 0.04 + 2 * (0.96 * 0.96 / 0.04) + 1.96 * 1.96 / 0.04, 1e-9);
}

TEST(ReportDataTest, ThePageKeepsWorkbookTextsInsideItsElements) {
  Book w(60);
  const Value script(u"</script><script>alert(1)</script>");
  w.Put(kStage1.kind, script);
  w.settings().PutValue(layout::kKindList.first.row + 1, layout::kKindList.first.col, script);
  w.Run(analysis::Main);
  const auto d = w.Gather();
  ASSERT_TRUE(d.has_value());
  const std::string page = RenderReportPage(*d);
  EXPECT_EQ(page.find("<script>alert"), std::string::npos);
  EXPECT_NE(page.find("id=\"kelvora-data\""), std::string::npos);
  EXPECT_EQ(page.find(" src="), std::string::npos);
}

}  // namespace
}  // namespace kelvora::report
