#include "intake/result_store.h"

#include <gtest/gtest.h>

#include "intake/intake_test_support.h"

namespace kelvora::intake {
namespace {

using host::Value;
using testing::BoundWorkbook;
using testing::StoreRow;
using testing::StoreRows;
using testing::ToTable;

StoreRow R(Value draw, Value result) { return {std::move(draw), std::move(result)}; }

void Merge(BoundWorkbook& w, host::Table rows) {
  host::Session session = w.NewSession();
  MergeDraws(session, std::move(rows));
}

TEST(MergeDrawsTest, MergesWithoutDuplicates) {
  const Value e;
  using Rows = std::vector<StoreRow>;
  const std::tuple<const char*, Rows, Rows, Rows> cases[] = {
      {"a new row that repeats a stored draw or an earlier new row, result and all, is passed",
       {R(3, u"33333"), R(6, 1234)},
       {R(3, 33333), R(4, u"44444"), R(4, u"44444"), R(6, u"01234")},
       {R(6, 1234), R(4, u"44444"), R(3, u"33333")}},
      {"a stored row with an empty result disappears",
       {R(8, u"88888"), R(6, e), R(5, u"")},
       {},
       {R(8, u"88888")}},
      {"a new row with an empty draw number is skipped, an empty result is taken",
       {},
       {R(e, u"11111"), R(u"", u"2"), R(2, e)},
       {R(2, e)}},
      {"non-numeric draw numbers are not taken, numeric texts are",
       {R(u"Kỳ", u"1"), R(4, u"44444")},
       {R(u"abc", u"1"), R(u" 12 ", u"12121"), R(Value::Date(45000), u"1"),
        R(Value::Error(2042), u"1")},
       {R(12, u"12121"), R(4, u"44444")}},
      {"a stored row without a draw number is kept once, below the numbered rows",
       {R(9, u"9"), R(e, u"first"), R(e, u"second"), R(7, u"7")},
       {},
       {R(9, u"9"), R(7, u"7"), R(e, u"first")}},
      {"nothing at all leaves an empty store counted 0", {}, {R(u"x", u"1")}, {}},
  };
  for (const auto& [name, stored, added, expected] : cases) {
    BoundWorkbook w;
    w.SetStore(ToTable(stored));
    w.Put(layout::kStoreCount, Value(u"stale"));  // the merge counts the rows itself
    Merge(w, ToTable(added, 6));
    EXPECT_EQ(StoreRows(w), expected) << name;
    EXPECT_EQ(w.At(layout::kStoreCount), Value(static_cast<double>(expected.size()))) << name;
    EXPECT_EQ(StoreLastRow(w.main()) == layout::kEmptyStoreLastRow, expected.empty()) << name;
  }
}

// A page that contradicts the store (results compared as five digits), or
// itself, is refused before anything is written.
TEST(MergeDrawsTest, AResultThatDiffersRefusesTheWholeMerge) {
  const std::pair<std::vector<StoreRow>, std::string> cases[] = {
      {{R(9, u"99999"), R(5, 1234), R(4, u"44444"), R(5, u"01235")},
       "Kỳ 5 đã có trong kho với kết quả 01234, nhưng trang mới ghi 01235.\r\nKhông có kỳ nào "
       "được thêm vào kho.\r\nNếu trang mới đúng, hãy sửa ô B18 của trang chính thành 01235 rồi "
       "chạy lại lệnh."},
      {{R(9, u"99999"), R(8, u"88888"), R(4, u"44444"), R(4, u"44445")},
       "Kỳ 4 xuất hiện hai lần với hai kết quả khác nhau (44444, 44445)\r\nKhông có kỳ nào "
       "được thêm vào kho"},
  };
  for (const auto& [rows, message] : cases) {
    BoundWorkbook w;
    w.SetStore(ToTable({rows.begin(), rows.begin() + 2}));  // the rest is the page
    const auto before = testing::Snapshot(w);
    Merge(w, ToTable({rows.begin() + 2, rows.end()}));
    EXPECT_EQ(w.Shown(), (std::vector{std::pair{message, 4160}})) << message;
    EXPECT_EQ(testing::Snapshot(w), before) << message;
  }
}

// A stored row whose draw number was cleared is kept under the blank key and
// sorts below the numbered rows, outside the rows the next merge reads.
TEST(MergeDrawsTest, TheMergeAfterABlankKeyDropsIt) {
  BoundWorkbook w;
  auto rows = testing::Draws(5, 100);
  rows[2].first = Value();
  w.SetStore(ToTable(rows));
  Merge(w, ToTable({}));
  EXPECT_EQ(StoreRows(w).back(), rows[2]);
  EXPECT_EQ(w.At(layout::kStoreCount), Value(5));
  Merge(w, ToTable({}));
  EXPECT_EQ(StoreRows(w).size(), 4u);
  EXPECT_EQ(w.At(layout::kStoreCount), Value(4));
}

}  // namespace
}  // namespace kelvora::intake
