#include "analysis/bet_kinds.h"

#include <gtest/gtest.h>

#include <climits>
#include <utility>

#include "book/workbook_template.h"
#include "host/error.h"
#include "host/layout.h"
#include "support/bound_workbook.h"
#include "support/error_number.h"
#include "text/utf.h"

namespace kelvora::analysis {
namespace {

using host::Table;
using host::Value;
using kelvora::testing::BoundWorkbook;
using kelvora::testing::ErrorNumberOf;
using kelvora::testing::U;

Table Kinds(std::initializer_list<Value> names) {
  Table t(static_cast<int32_t>(names.size()), 1);
  int32_t r = 1;
  for (const auto& v : names) t(r++, 1) = v;
  return t;
}

TEST(BetKindsTest, FindKindRowTriesRowsSixTwoOneFiveThreeFour) {
  const Table distinct = Kinds({u"a", u"b", u"c", u"d", u"e", u"f"});
  EXPECT_EQ(FindKindRow(distinct, u"d"), 4);
  EXPECT_EQ(FindKindRow(distinct, u"A"), std::nullopt);  // case-sensitive
  const Table repeated = Kinds({u"x", u"y", u"x", u"z", u"x", u"y"});
  EXPECT_EQ(FindKindRow(repeated, u"y"), 6);  // rows 2 and 6: 6 first
  EXPECT_EQ(FindKindRow(repeated, u"x"), 1);  // rows 1, 3, 5: 1 before 5 and 3
  const Table numbers = Kinds({Value(12), Value(), u"c", u"d", u"e", Value::Error(2042)});
  EXPECT_EQ(FindKindRow(numbers, u"12"), 1);
  EXPECT_EQ(FindKindRow(numbers, u""), 2);
  const Table short_list = Kinds({u"a", u"b"});
  EXPECT_EQ(ErrorNumberOf([&] { FindKindRow(short_list, u"z"); }), err::kSubscriptOutOfRange);
}

// The bounds of one kind, inclusive; the first row in sheet order that names
// a kind decides its limits, whatever the cells hold.
TEST(BetKindsTest, SetSizeLimitsByKindRow) {
  BoundWorkbook wb;
  host::Session session = wb.NewSession();
  const std::u16string third = U(kTemplateKindNames[2]);
  const std::pair<int32_t, bool> bounds[] = {{1, true},    {520, true},        {0, false},
                                             {521, false}, {INT32_MIN, false}, {INT32_MAX, false}};
  for (const auto& [size, allowed] : bounds)
    EXPECT_EQ(IsSetSizeAllowed(session, third, size), allowed) << size;
  for (const char* unknown : {"", "đề đầu", "x"})
    EXPECT_FALSE(IsSetSizeAllowed(session, U(unknown), 1)) << unknown;
  const Value cells[] = {Value(7), Value::Error(2042), Value::Boolean(true),
                         Value(),  Value(u"Chung"),    Value(u"Chung")};
  for (int32_t i = 0; i < 6; ++i)
    wb.settings().PutValue(layout::kKindList.first.row + i, layout::kKindList.first.col, cells[i]);
  const std::tuple<const char16_t*, int32_t, bool> named[] = {
      {u"7", 65, true},     {u"7", 66, false}, {u"7.0", 1, false},    {u"#N/A", 1, false},
      {u"True", 520, true}, {u"", 520, true},  {u"Chung", 520, true}, {u"Chung", 521, false},
  };
  for (const auto& [name, size, allowed] : named)
    EXPECT_EQ(IsSetSizeAllowed(session, name, size), allowed) << Utf16ToUtf8(name) << " " << size;
}

TEST(BetKindsTest, KindListOfFewerThanSixRowsFails) {
  BoundWorkbook wb;
  host::Session session = wb.NewSession();
  auto settings = wb.book->SheetByCodeName(u"Sheet3");
  const std::u16string first = U(kTemplateKindNames[0]);
  for (int32_t bottom : {1, 5}) {
    wb.book->DefineName(u"KieuDanh", settings, host::memory::Area{1, 1, bottom, 1});
    EXPECT_EQ(ErrorNumberOf([&] { IsSetSizeAllowed(session, first, 1); }),
              err::kSubscriptOutOfRange)
        << bottom;
  }
  wb.book->DefineName(u"KieuDanh", settings, host::memory::Area{1, 1, 7, 2});
  EXPECT_TRUE(IsSetSizeAllowed(session, first, 65));
  // A list that is not on the settings sheet is not found there.
  wb.book->DefineName(u"KieuDanh", wb.book->SheetByCodeName(u"Sheet1"),
                      host::memory::Area{1, 1, 6, 1});
  EXPECT_THROW(IsSetSizeAllowed(session, first, 1), CommandError);
}

}  // namespace
}  // namespace kelvora::analysis
