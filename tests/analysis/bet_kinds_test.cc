#include "analysis/bet_kinds.h"

#include <gtest/gtest.h>

#include <climits>
#include <utility>

#include "host/error.h"
#include "support/book_values.h"
#include "support/error_number.h"
#include "text/utf.h"

namespace kelvora::analysis {
namespace {

using host::Table, host::Value, kelvora::testing::ErrorNumberOf, kelvora::testing::U;

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

// The bounds of a kind, inclusive; the first row in sheet order that names
// a kind decides its limits, whatever the cells hold.
TEST(BetKindsTest, SizeFitsTheLimitsOfTheFirstNamingRow) {
  constexpr SizeFit kIn = SizeFit::kFits, kOut = SizeFit::kOutsideLimits,
                    kNone = SizeFit::kKindNotListed;
  const Table tmpl = testing::BookValues().kinds;
  const std::u16string third = U(kTemplateKindNames[2]);
  const std::pair<double, SizeFit> bounds[] = {{1, kIn},      {520, kIn},  {0, kOut},
                                               {520.5, kOut}, {521, kOut}, {INT32_MIN, kOut}};
  for (const auto& [size, fit] : bounds) EXPECT_EQ(FitOfSize(tmpl, third, size), fit) << size;
  EXPECT_EQ(FitOfSize(tmpl, U(kTemplateKindNames[5]), 10), kOut);
  for (const char* unknown : {"", "đề đầu", "x"})
    EXPECT_EQ(FitOfSize(tmpl, U(unknown), 1), kNone) << unknown;
  const Table odd = Kinds({Value(7), Value::Error(2042), Value::Boolean(true), Value(),
                           Value(u"Chung"), Value(u"Chung")});
  const std::tuple<const char16_t*, int32_t, SizeFit> named[] = {
      {u"7", 65, kIn},     {u"7", 66, kOut}, {u"7.0", 1, kNone},   {u"#N/A", 1, kNone},
      {u"True", 520, kIn}, {u"", 520, kIn},  {u"Chung", 520, kIn}, {u"Chung", 521, kOut},
  };
  for (const auto& [name, size, fit] : named)
    EXPECT_EQ(FitOfSize(odd, name, size), fit) << Utf16ToUtf8(name) << " " << size;
  const Table five = Kinds({u"a", u"b", u"c", u"d", u"e"});
  EXPECT_EQ(ErrorNumberOf([&] { FitOfSize(five, third, 1); }), err::kSubscriptOutOfRange);
}

// The list is read through the name KieuDanh, on the settings sheet only.
TEST(BetKindsTest, ReadKindListFindsTheNameOnTheSettingsSheet) {
  testing::BoundWorkbook wb;
  host::Session session = wb.NewSession();
  auto settings = wb.book->SheetByCodeName(layout::kSettingsSheetCode);
  wb.book->DefineName(layout::kKindListName, settings, host::memory::Area{1, 1, 7, 2});
  EXPECT_EQ(ReadKindList(session).rows(), 7);
  EXPECT_EQ(ReadKindList(session)(6, 1), Value(U(kTemplateKindNames[5])));
  wb.book->DefineName(layout::kKindListName, wb.book->SheetByCodeName(layout::kMainSheetCode),
                      host::memory::Area{1, 1, 6, 1});
  EXPECT_THROW(ReadKindList(session), CommandError);
}

}  // namespace
}  // namespace kelvora::analysis
