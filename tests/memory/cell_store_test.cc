#include "memory/cell_store.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace kelvora::host::memory {
namespace {

// Every kind of cell comes back as it was stored, whichever way it is held:
// in the record (texts of up to four code units), in the text arena or
// whole (formulas).
TEST(CellStoreTest, GivesBackWhatWasStored) {
  const Cell cases[] = {
      {Value(), u"", 0, true},
      {Value(-2.5), u"", 3, false},
      {Value(u""), u"", 0, true},
      {Value(u"abcd"), u"", 0, false},
      {Value(u"abcde"), u"", 1, true},
      {Value(u"Ba càng đuôi, a longer text"), u"", 2, false},
      {Value::Boolean(true), u"", 0, false},
      {Value::Date(45292), u"", 4, true},
      {Value::Error(2042), u"", 0, false},
      {Value(7), u"B2*2", 5, false},
  };
  CellStore store;
  int32_t row = 0;
  for (const Cell& c : cases) store.Set(++row, 2, c);
  // Later texts in the arena leave the earlier ones alone.
  store.Set(++row, 2, {Value(u"xyzzy-after"), u"", 0, false});
  row = 0;
  for (const Cell& c : cases) {
    const Cell got = store.Get(++row, 2);
    EXPECT_EQ(std::tie(got.value, got.formula, got.style, got.written),
              std::tie(c.value, c.formula, c.style, c.written))
        << row;
    EXPECT_EQ(store.Filled(row, 2), !c.value.IsEmpty() || !c.formula.empty()) << row;
  }
  EXPECT_EQ(store.ColumnLength(2), row + 1);
  EXPECT_EQ(store.ColumnLength(1), 0);
}

// A written value keeps the cell's style and drops its formula, however the
// cell and the value are held.
TEST(CellStoreTest, WriteValueKeepsTheStyleAndDropsTheFormula) {
  const Cell before[] = {
      {Value(7), u"B2*2", 5, false}, {Value(u"abc"), u"", 6, false}, {Value(u"ab"), u"", 7, false}};
  const Value values[] = {Value(u"X"), Value(std::u16string(size_t{1} << 24, u'x')), Value(2.5)};
  const std::u16string no_formula;
  const bool written = true;
  CellStore store;
  for (int32_t r = 1; r <= 3; ++r) {
    store.Set(r, 1, before[r - 1]);
    store.WriteValue(r, 1, values[r - 1]);
    const Cell got = store.Get(r, 1);
    EXPECT_EQ(std::tie(got.value, got.formula, got.style, got.written),
              std::tie(values[r - 1], no_formula, before[r - 1].style, written))
        << r;
  }
}

// A cell read by reference stays valid and shows later changes; reading
// creates no record, and cells without one show their column's style.
TEST(CellStoreTest, ReferencesFollowTheCell) {
  CellStore store;
  store.SetColumnStyle(3, 9);
  const Cell& blank = store.View(5, 3);
  EXPECT_EQ(blank.style, 9u);
  EXPECT_EQ(store.Style(5, 3), 9u);
  EXPECT_EQ(store.ColumnLength(3), 0);
  store.Set(2, 3, {Value(u"first text"), u"", 0, false});
  EXPECT_EQ(store.Get(1, 3).style, 9u);  // created on the way down
  const Cell& seen = store.View(2, 3);
  store.Set(2, 3, {Value(1), u"", 0, true});
  store.Whole(2, 3).style = 4;
  for (int32_t r = 3; r <= 5000; ++r) store.Set(r, 3, {Value(r), u"", 0, false});
  EXPECT_EQ(seen.value, Value(1));
  EXPECT_EQ(seen.style, 4u);
  EXPECT_TRUE(store.Written(2, 3));
  EXPECT_EQ(store.Get(5000, 3).value, Value(5000));
}

}  // namespace
}  // namespace kelvora::host::memory
