#include "intake/result_store.h"

#include <gtest/gtest.h>

#include "host/error.h"
#include "intake/intake_test_support.h"

namespace kelvora::intake {
namespace {

using host::Table;
using host::Value;
using testing::BoundWorkbook;
using testing::Draws;
using testing::SetStore;
using testing::Snapshot;
using testing::StoreRow;
using testing::StoreRows;

Table ToTable(const std::vector<StoreRow>& rows, int32_t cols = 2) {
  Table t(static_cast<int32_t>(rows.size()), cols);
  for (int32_t i = 1; i <= t.rows(); ++i) {
    t(i, 1) = rows[static_cast<size_t>(i - 1)].first;
    t(i, 2) = rows[static_cast<size_t>(i - 1)].second;
  }
  return t;
}

TEST(MergeDrawsTest, MergesWithoutDuplicates) {
  const Value e;
  struct Case {
    const char* name;
    std::vector<StoreRow> stored;
    std::vector<StoreRow> added;
    std::vector<StoreRow> expected;
  } cases[] = {
      {"empty store takes the new draws, newest first",
       {},
       {{Value(5), Value(u"00005")}, {Value(9), Value(u"99999")}, {Value(7), Value(u"7")}},
       {{Value(9), Value(u"99999")}, {Value(7), Value(u"7")}, {Value(5), Value(u"00005")}}},
      {"the stored result wins over a new row with the same number",
       {{Value(3), Value(u"33333")}},
       {{Value(3), Value(u"00000")}, {Value(4), Value(u"44444")}},
       {{Value(4), Value(u"44444")}, {Value(3), Value(u"33333")}}},
      {"the first new row of a number wins",
       {},
       {{Value(3), Value(u"first")}, {Value(3), Value(u"second")}},
       {{Value(3), Value(u"first")}}},
      {"a stored row with an empty result disappears",
       {{Value(8), Value(u"88888")}, {Value(6), e}, {Value(5), Value(u"")}},
       {},
       {{Value(8), Value(u"88888")}}},
      {"a new row with an empty draw number is skipped, an empty result is taken",
       {},
       {{e, Value(u"11111")}, {Value(u""), Value(u"2")}, {Value(2), e}},
       {{Value(2), e}}},
      {"non-numeric draw numbers are not taken, numeric texts are",
       {{Value(u"Kỳ"), Value(u"1")}, {Value(4), Value(u"44444")}},
       {{Value(u"abc"), Value(u"1")},
        {Value(u" 12 "), Value(u"12121")},
        {Value::Date(45000), Value(u"1")},
        {Value::Error(2042), Value(u"1")}},
       {{Value(12), Value(u"12121")}, {Value(4), Value(u"44444")}}},
      {"a stored row without a draw number is kept once, below the numbered rows",
       {{Value(9), Value(u"9")},
        {e, Value(u"first")},
        {e, Value(u"second")},
        {Value(7), Value(u"7")}},
       {},
       {{Value(9), Value(u"9")}, {Value(7), Value(u"7")}, {e, Value(u"first")}}},
  };
  for (const auto& c : cases) {
    BoundWorkbook w;
    SetStore(w, c.stored);
    MergeDraws(ToTable(c.added, 6));
    EXPECT_EQ(StoreRows(w), c.expected) << c.name;
    EXPECT_EQ(w.main().cell(15, 2).value, Value(static_cast<double>(c.expected.size()))) << c.name;
  }
}

TEST(MergeDrawsTest, MergingTwiceChangesNothingAndTheNextMergeDropsTheBlankKey) {
  BoundWorkbook w;
  MergeDraws(ToTable(Draws(100, 24400)));
  const auto once = Snapshot(w);
  ASSERT_EQ(once.rows.size(), 100u);
  EXPECT_EQ(once.rows.front().first, Value(24400));
  EXPECT_EQ(once.count, Value(100));
  MergeDraws(ToTable(Draws(100, 24400)));
  EXPECT_EQ(Snapshot(w), once);

  // A stored row whose draw number was cleared is kept under the blank key
  // and sorts below the numbered rows, outside the rows the next merge reads.
  const Value orphan = w.main().cell(50, 2).value;
  w.main().PutValue(50, 1, Value());
  MergeDraws(ToTable({}));
  auto rows = StoreRows(w);
  ASSERT_EQ(rows.size(), 100u);
  EXPECT_EQ(rows.back(), StoreRow(Value(), orphan));
  EXPECT_EQ(w.main().cell(15, 2).value, Value(100));
  MergeDraws(ToTable({}));
  EXPECT_EQ(StoreRows(w).size(), 99u);
  EXPECT_EQ(w.main().cell(15, 2).value, Value(99));
}

TEST(MergeDrawsTest, CapacityIsSixtyFiveThousandDraws) {
  for (int extra : {0, 1}) {
    BoundWorkbook w;
    SetStore(w, Draws(64000, 200000));
    const auto before = Snapshot(w);
    try {
      MergeDraws(ToTable(Draws(1000 + extra, 100000)));
      EXPECT_EQ(extra, 0);
      EXPECT_EQ(w.main().cell(15, 2).value, Value(65000));
      EXPECT_EQ(w.main().cell(65016, 1).value, Value(100000 - 999));
    } catch (const CommandError& e) {
      EXPECT_EQ(extra, 1);
      EXPECT_EQ(e.number(), err::kSubscriptOutOfRange);
      EXPECT_EQ(Snapshot(w), before);
    }
  }
}

TEST(MergeDrawsTest, NothingAtAllLeavesAnEmptyStoreCountedZero) {
  BoundWorkbook w;
  w.main().PutValue(15, 2, Value(u"stale"));
  MergeDraws(ToTable({{Value(u"x"), Value(u"1")}}));
  EXPECT_TRUE(StoreRows(w).empty());
  EXPECT_EQ(w.main().cell(15, 2).value, Value(0));
  EXPECT_EQ(StoreLastRow(w.main()), kEmptyStoreLastRow);
}

TEST(PasteResultTableTest, FailedPasteTellsTheUserAndRestoresTheSheet) {
  for (const char* clipboard :
       {static_cast<const char*>(""), "<p>  </p>", static_cast<const char*>(nullptr)}) {
    BoundWorkbook w;
    SetStore(w, Draws(3, 10));
    const auto before = Snapshot(w);
    if (clipboard != nullptr) w.app->set_clipboard_html(std::string(clipboard));
    w.paste().PutValue(5, 5, Value(u"old"));
    PasteFailed = false;
    PasteResultTable();
    EXPECT_TRUE(PasteFailed);
    ASSERT_EQ(testing::Shown(w).size(), 1u);
    EXPECT_EQ(testing::Shown(w)[0],
              std::make_pair(std::string("Vui Lòng Copy Đúng Bảng Kết Quả"), 64 + 4096));
    EXPECT_EQ(w.book->active_sheet(), &w.main());
    EXPECT_TRUE(w.app->screen_updating());
    EXPECT_EQ(w.app->property_log(),
              (std::vector<std::string>{"ScreenUpdating=false", "ScreenUpdating=true"}));
    EXPECT_EQ(Snapshot(w), before);
    EXPECT_TRUE(w.paste().cell(5, 5).value.IsEmpty());  // the scratch area was cleared
  }
}

TEST(PasteResultTableTest, PastesAtA1AfterClearingTheScratchArea) {
  BoundWorkbook w;
  auto& p = w.paste();
  p.PutValue(300, 70, Value(u"in the area"));
  p.PutValue(301, 1, Value(u"below"));
  p.PutValue(1, 71, Value(u"right"));
  w.app->set_clipboard_html("<table><tr><td>1</td><td>a</td></tr></table>");
  PasteFailed = true;  // never cleared by the paste itself
  PasteResultTable();
  EXPECT_TRUE(PasteFailed);
  PasteFailed = false;
  PasteResultTable();
  EXPECT_FALSE(PasteFailed);
  EXPECT_TRUE(w.platform.messages.shown().empty());
  EXPECT_EQ(p.cell(1, 1).value, Value(1));
  EXPECT_EQ(p.cell(1, 2).value, Value(u"a"));
  EXPECT_TRUE(p.cell(300, 70).value.IsEmpty());
  EXPECT_EQ(p.cell(301, 1).value, Value(u"below"));
  EXPECT_EQ(p.cell(1, 71).value, Value(u"right"));
  EXPECT_EQ(w.book->active_sheet(), &w.main());
  EXPECT_TRUE(w.app->screen_updating());
}

}  // namespace
}  // namespace kelvora::intake
