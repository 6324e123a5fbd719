#include "entry/output_commands.h"

#include <gtest/gtest.h>

#include "entry/commands.h"
#include "host/error.h"
#include "host/message.h"
#include "support/bound_workbook.h"

namespace kelvora {
namespace {

using host::Value;
using testing::BoundWorkbook;
using testing::U;

TEST(XoaDuLieuTest, NoKeepsEverythingYesClearsOnlyTheStore) {
  for (int answer : {kIdNo, kIdYes}) {
    BoundWorkbook w;
    auto& m = w.main();
    m.PutValue(17, 1, Value(24123));
    m.PutValue(17, 2, Value(u"01234"));
    m.PutValue(65016, 1, Value(1));
    m.PutValue(65017, 1, Value(2));  // below the store's area
    m.PutValue(15, 2, Value(1));
    w.platform.messages.QueueAnswer(answer);
    w.Run(entry::XoaDuLieu);
    ASSERT_EQ(w.platform.messages.shown().size(), 1u);
    EXPECT_EQ(Utf16ToUtf8(w.platform.messages.shown()[0].text),
              "Bạn có chắc muốn xóa tất cả dữ liệu cũ");
    EXPECT_EQ(w.platform.messages.shown()[0].style, 4 + 4096);
    const bool cleared = answer == kIdYes;
    EXPECT_EQ(m.cell(17, 1).value.IsEmpty(), cleared);
    EXPECT_EQ(m.cell(65016, 1).value.IsEmpty(), cleared);
    EXPECT_EQ(m.cell(15, 2).value.IsEmpty(), cleared);
    EXPECT_EQ(m.cell(65017, 1).value, Value(2));
    EXPECT_FALSE(m.cell(10, 1).value.IsEmpty());
    EXPECT_EQ(m.NumberFormat(17, 2), u"@");  // formats stay
    EXPECT_TRUE(w.app->property_log().empty());
  }
}

TEST(CopyTest, CopiesTheCellAndConfirms) {
  struct Case {
    int index;
    int row;
    Value cell;
    const char16_t* copied;
  } cases[] = {
      {1, 3, Value(u"01,02,03"), u"01,02,03"},
      {1, 3, Value(), u""},
      {2, 4, Value(u"07"), u"07"},
      {3, 5, Value(20.5), u"20.5"},
      {4, 9, Value(u"123,456"), u"123,456"},
      {5, 10, Value(u"5"), u"5"},
      {6, 11, Value::Boolean(true), u"True"},
  };
  for (const auto& c : cases) {
    BoundWorkbook w;
    w.main().PutValue(6, 12, Value(u"row six"));  // Copy4 must not read L6
    w.main().PutValue(c.row, 12, c.cell);
    w.platform.clipboard.set_text(u"old");
    EXPECT_EQ(w.Run(FindCommand("Copy" + std::to_string(c.index))->run), host::Outcome::kRanToEnd);
    EXPECT_EQ(w.platform.clipboard.text(), c.copied) << c.index;
    ASSERT_EQ(w.platform.messages.shown().size(), 1u);
    EXPECT_EQ(Utf16ToUtf8(w.platform.messages.shown()[0].text),
              "Đã Copy PP" + std::to_string(c.index));
    EXPECT_EQ(w.platform.messages.shown()[0].style, 64 + 4096);
  }
}

TEST(CopyTest, ErrorValueOrBusyClipboardFailsWithoutConfirmation) {
  BoundWorkbook w;
  w.main().PutValue(3, 12, Value::Error(2042));
  w.platform.clipboard.set_text(u"old");
  EXPECT_THROW(w.Run(FindCommand("Copy1")->run), CommandError);
  EXPECT_EQ(w.platform.clipboard.text(), u"old");
  w.main().PutValue(3, 12, Value(u"1,2"));
  w.platform.clipboard.set_fail_writes(true);
  EXPECT_THROW(w.Run(FindCommand("Copy1")->run), CommandError);
  EXPECT_TRUE(w.platform.messages.shown().empty());
}

}  // namespace
}  // namespace kelvora
