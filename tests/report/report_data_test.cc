#include "report/report_data.h"

#include <gtest/gtest.h>

#include "analysis/main_analysis.h"
#include "report/report_page.h"
#include "support/bound_workbook.h"

namespace kelvora::report {
namespace {

using host::Value;

struct Book : testing::BoundWorkbook {
  explicit Book(int draws) { FillStore(draws, 40000, 5); }
  std::optional<ReportData> Gather() {
    host::Session s = NewSession();
    return GatherReport(s, u"book.xlsx");
  }
};

TEST(ReportDataTest, NothingBeforeMainThenTheMarksOfEveryMethod) {
  Book w(80);
  EXPECT_FALSE(w.Gather().has_value());
  w.Run(analysis::Main);
  const auto d = w.Gather();
  ASSERT_TRUE(d.has_value());
  EXPECT_EQ(d->draws, 80);
  EXPECT_EQ(d->newest_draw, Value(40000));
  EXPECT_EQ(d->oldest_draw, Value(40000 - 79));
  ASSERT_EQ(d->chance.stages[0].state, analysis::StageState::kCurrent);
  for (int k = 0; k < 3; ++k) {
    const std::string& hits = d->stages[0].hits[static_cast<size_t>(k)];
    ASSERT_EQ(hits.size(), 79u);
    // Oldest first: the last character is the newest tested draw (row 3).
    const bool newest_hit = w.main().cell(3, 16 + k).value == Value(u"X");
    EXPECT_EQ(hits.back() == '1', newest_hit);
    int64_t count = 0;
    for (char c : hits) count += c == '1';
    EXPECT_EQ(count, d->chance.stages[0].methods[static_cast<size_t>(k)].hits);
  }
  EXPECT_TRUE(d->stages[1].hits[0].empty());  // stage 2 is off in the template
  EXPECT_EQ(d->sets[0], w.main().cell(3, 12).value);
}

TEST(ReportDataTest, EndingsCountTheLastTwoDigitsOfFiveDigitResults) {
  host::Table block(5, 2);
  const Value results[] = {Value(u"12307"), Value(u"99907"), Value(u"1207"), Value(u"00000"),
                           Value(12399)};
  for (int r = 1; r <= 5; ++r) block(r, 2) = results[r - 1];
  const EndingGrid g = CountEndings(block);
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
  w.main().PutValue(1, 2, Value(u"</script><script>alert(1)</script>"));
  w.settings().PutValue(2, 1, Value(u"</script><script>alert(1)</script>"));
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
