#include "entry/output_commands.h"

#include <gtest/gtest.h>

#include "entry/commands.h"
#include "host/error.h"
#include "host/layout.h"
#include "host/message.h"
#include "support/bound_workbook.h"

namespace kelvora {
namespace {

using host::Value;
using layout::Cell;
using testing::BoundWorkbook;

TEST(XoaDuLieuTest, NoKeepsEverythingYesClearsOnlyTheStore) {
  const Cell top = layout::kStoreTop, last = layout::kStore.last;
  const Cell below{last.row + 1, layout::kStoreDrawCol};
  const Cell store[] = {
      top, {top.row, layout::kStoreResultCol}, {last.row, 1}, layout::kStoreCount};
  for (int answer : {kIdNo, kIdYes}) {
    BoundWorkbook w;
    for (const Cell& c : store) w.Put(c, Value(u"01234"));
    w.Put(below, Value(u"01234"));
    w.platform.messages.QueueAnswer(answer);
    w.Run(entry::XoaDuLieu);
    EXPECT_EQ(w.Shown(),
              (decltype(w.Shown()){{"Bạn có chắc muốn xóa tất cả dữ liệu cũ", 4 + 4096}}));
    for (const Cell& c : store) EXPECT_EQ(w.At(c).IsEmpty(), answer == kIdYes) << c.row;
    EXPECT_EQ(w.At(below), Value(u"01234"));
    EXPECT_FALSE(w.At({layout::kEmptyStoreLastRow, 1}).IsEmpty());  // the template's heading
    EXPECT_EQ(w.main().NumberFormat(top.row, layout::kStoreResultCol), u"@");  // formats stay
  }
}

TEST(CopyTest, CopiesTheCellAndConfirms) {
  // Copy1 to Copy6 in turn; an empty cell copies as nothing.
  const std::pair<Value, const char16_t*> cases[] = {
      {Value(u"01,02,03"), u"01,02,03"}, {Value(u"07"), u"07"}, {Value(20.5), u"20.5"},
      {Value(u"123,456"), u"123,456"},   {Value(), u""},        {Value::Boolean(true), u"True"}};
  for (int index = 1; index <= 6; ++index) {
    const auto& [cell, copied] = cases[index - 1];
    BoundWorkbook w;
    const Cell at = layout::OutputCell(index);
    w.Put({6, at.col}, Value(u"row six"));  // between the stages: Copy4 must not read it
    w.Put(at, cell);
    w.platform.clipboard.set_text(u"old");
    EXPECT_EQ(w.Run(FindCommand("Copy" + std::to_string(index))->run), host::Outcome::kRanToEnd);
    EXPECT_EQ(w.platform.clipboard.text(), copied) << index;
    EXPECT_EQ(w.Shown(), (decltype(w.Shown()){{"Đã Copy PP" + std::to_string(index), 64 + 4096}}));
  }
}

TEST(CopyTest, ErrorValueOrBusyClipboardFailsWithoutConfirmation) {
  BoundWorkbook w;
  const Cell l3 = layout::OutputCell(1);
  w.Put(l3, Value::Error(2042));
  w.platform.clipboard.set_text(u"old");
  EXPECT_THROW(w.Run(FindCommand("Copy1")->run), CommandError);
  EXPECT_EQ(w.platform.clipboard.text(), u"old");
  w.Put(l3, Value(u"1,2"));
  w.platform.clipboard.set_fail_writes(true);
  EXPECT_THROW(w.Run(FindCommand("Copy1")->run), CommandError);
  EXPECT_TRUE(w.platform.messages.shown().empty());
}

}  // namespace
}  // namespace kelvora
