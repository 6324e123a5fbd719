#include "analysis/bet_kinds.h"

#include <gtest/gtest.h>

#include <climits>

#include "book/workbook_template.h"
#include "host/error.h"
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

TEST(BetKindsTest, SetSizeLimitsByKindRow) {
  BoundWorkbook wb;
  host::Session session = wb.NewSession();
  const std::tuple<int, int32_t, bool> cases[] = {
      {1, 1, true},   {1, 65, true},  {1, 66, false},        {1, 0, false},         {2, 65, true},
      {2, 66, false}, {3, 520, true}, {3, 521, false},       {4, 520, true},        {4, 521, false},
      {5, 520, true}, {5, 0, false},  {6, 1, true},          {6, 9, true},          {6, 10, false},
      {6, 0, false},  {6, -5, false}, {3, INT32_MIN, false}, {6, INT32_MAX, false},
  };
  for (const auto& [row, size, allowed] : cases) {
    EXPECT_EQ(IsSetSizeAllowed(session, U(kTemplateKindNames[static_cast<size_t>(row - 1)]), size),
              allowed)
        << "row " << row << " size " << size;
  }
  for (const char* unknown : {"", "Đề Đầu", "đề đầu", "Đề đầu ", "x"})
    EXPECT_FALSE(IsSetSizeAllowed(session, U(unknown), 1));
  // Cells of other types name their text form; the earlier group decides.
  auto& s = wb.settings();
  s.PutValue(1, 1, host::Value(7));
  s.PutValue(2, 1, host::Value::Error(2042));
  s.PutValue(3, 1, host::Value::Boolean(true));
  s.PutValue(4, 1, host::Value());
  s.PutValue(5, 1, host::Value(u"Chung"));
  s.PutValue(6, 1, host::Value(u"Chung"));
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
