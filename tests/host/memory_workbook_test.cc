#include "host/memory/memory_workbook.h"

#include <gtest/gtest.h>

#include <vector>

#include "host/error.h"
#include "support/scripted_platform.h"
#include "text/utf.h"

namespace kelvora::host::memory {
namespace {

struct Book {
  Book() : book(&app) { sheet = book.AddSheet(u"Sheet1", u"Main"); }
  MemoryApplication app;
  MemoryWorkbook book;
  std::shared_ptr<MemoryWorksheet> sheet;
};

TEST(MemoryWorkbookTest, ParsesA1Addresses) {
  EXPECT_EQ(ParseA1Area(u"A17:B65016"), (Area{17, 1, 65016, 2}));
  EXPECT_EQ(ParseA1Area(u"$B$7"), (Area{7, 2, 7, 2}));
  EXPECT_EQ(ParseA1Area(u"D3:b1"), (Area{1, 2, 3, 4}));
  EXPECT_EQ(ParseA1Area(u"XFD1048576"), (Area{1048576, 16384, 1048576, 16384}));
  for (const char16_t* bad : {u"", u"A0", u"A1048577", u"XFE1", u"KieuDanh", u"A1:", u"1A"})
    EXPECT_FALSE(ParseA1Area(bad).has_value()) << Utf16ToUtf8(bad);
  EXPECT_EQ(ColumnLetters(70), u"BR");
}

TEST(MemoryWorkbookTest, ValueWriteCoercesNumericTextExceptInTextCells) {
  Book b;
  b.sheet->SetNumberFormat(Area{1, 2, 10, 2}, u"@");
  struct Case {
    const char16_t* written;
    Value in_general;
    Value in_text_cell;
  } cases[] = {
      {u"01234", Value(1234), Value(u"01234")},
      {u"07", Value(7), Value(u"07")},
      {u"123,456", Value(123456), Value(u"123,456")},
      {u" 42 ", Value(42), Value(u" 42 ")},
      {u"abc", Value(u"abc"), Value(u"abc")},
      {u"&H10", Value(u"&H10"), Value(u"&H10")},
      {u"", Value(), Value()},
  };
  int row = 1;
  for (const auto& c : cases) {
    b.sheet->GetRange(u"A" + Ascii(std::to_string(row)))->SetValue(Value(c.written));
    b.sheet->GetRange(u"B" + Ascii(std::to_string(row)))->SetValue(Value(c.written));
    EXPECT_EQ(b.sheet->cell(row, 1).value, c.in_general) << Utf16ToUtf8(c.written);
    EXPECT_EQ(b.sheet->cell(row, 2).value, c.in_text_cell) << Utf16ToUtf8(c.written);
    ++row;
  }
}

TEST(MemoryWorkbookTest, ClearContentsKeepsNumberFormats) {
  Book b;
  b.sheet->SetNumberFormat(Area{1, 1, 1, 1}, u"@");
  b.sheet->GetRange(u"A1")->SetValue(Value(u"007"));
  b.sheet->GetRange(u"A1:B2")->ClearContents();
  EXPECT_TRUE(b.sheet->cell(1, 1).value.IsEmpty());
  EXPECT_EQ(b.sheet->NumberFormat(1, 1), u"@");
  b.sheet->GetRange(u"A1")->SetValue(Value(u"007"));
  EXPECT_EQ(b.sheet->cell(1, 1).value, Value(u"007"));
}

TEST(MemoryWorkbookTest, BlockReadAndWriteAreOneBased) {
  Book b;
  Table t(2, 3);
  t.at(1, 1) = Value(1);
  t.at(2, 3) = Value(u"x");
  b.sheet->GetRange(u"C5")->Resize(2, 3)->SetValues(t);
  EXPECT_EQ(b.sheet->cell(5, 3).value, Value(1));
  EXPECT_EQ(b.sheet->cell(6, 5).value, Value(u"x"));
  EXPECT_EQ(b.sheet->GetRange(u"C5:E6")->GetValues(), t);
  EXPECT_THROW(b.sheet->GetRange(u"C5:E7")->SetValues(t), CommandError);
  EXPECT_THROW(b.sheet->GetRange(u"A1")->Resize(0, 1), CommandError);
  EXPECT_THROW(b.sheet->GetRange(u"A1")->Resize(1, 0), CommandError);
  EXPECT_EQ(b.sheet->GetRange(u"A17")->Resize(65000, 2)->GetValues().rows(), 65000);
}

TEST(MemoryWorkbookTest, EndUpFollowsTheHostRules) {
  Book b;
  // Column A: rows 1..10 filled except 5, row 17..20 filled.
  for (int r : {1, 2, 3, 4, 6, 7, 8, 9, 10, 17, 18, 19, 20}) b.sheet->PutValue(r, 1, Value(r));
  struct Case {
    const char16_t* from;
    int32_t row;
  } cases[] = {
      {u"A1000000", 20},  // empty cell: nearest filled above
      {u"A16", 10},       // empty cell below a run
      {u"A20", 17},       // filled with filled neighbour: top of the run
      {u"A17", 10},       // filled, empty above: next filled above the gap
      {u"A6", 4},         // filled, empty above
      {u"A5", 4},        {u"A1", 1}, {u"B100", 1},  // nothing above: row 1
  };
  for (const auto& c : cases) {
    EXPECT_EQ(b.sheet->GetRange(c.from)->End(3)->Row(), c.row) << Utf16ToUtf8(c.from);
  }
  Book empty;
  EXPECT_EQ(empty.sheet->GetRange(u"A1000000")->End(3)->Row(), 1);
}

std::vector<Value> SortColumn(std::vector<Value> values, int order) {
  Book b;
  for (size_t i = 0; i < values.size(); ++i) {
    b.sheet->PutValue(static_cast<int32_t>(i + 1), 1, values[i]);
    b.sheet->PutValue(static_cast<int32_t>(i + 1), 2, Value(static_cast<int>(i)));
  }
  auto block = b.sheet->GetRange(u"A1")->Resize(static_cast<int32_t>(values.size()), 2);
  block->Sort(*b.sheet->GetRange(u"A1"), order);
  std::vector<Value> out;
  for (size_t i = 0; i < values.size(); ++i)
    out.push_back(b.sheet->cell(static_cast<int32_t>(i + 1), 1).value);
  return out;
}

TEST(MemoryWorkbookTest, SortOrdersTypesLikeTheHost) {
  const std::vector<Value> mixed = {
      Value(u"b"),        Value(3),  Value(), Value::Boolean(true),  Value(u"A"),
      Value::Error(2042), Value(-1), Value(), Value::Boolean(false), Value(u"a")};
  EXPECT_EQ(SortColumn(mixed, 1),
            (std::vector<Value>{Value(-1), Value(3), Value(u"A"), Value(u"a"), Value(u"b"),
                                Value::Boolean(false), Value::Boolean(true), Value::Error(2042),
                                Value(), Value()}));
  EXPECT_EQ(SortColumn(mixed, 2),
            (std::vector<Value>{Value::Error(2042), Value::Boolean(true), Value::Boolean(false),
                                Value(u"b"), Value(u"A"), Value(u"a"), Value(3), Value(-1), Value(),
                                Value()}));
}

TEST(MemoryWorkbookTest, SortIsStableAndMovesWholeRows) {
  Book b;
  const int keys[] = {2, 1, 2, 1};
  for (int i = 0; i < 4; ++i) {
    b.sheet->PutValue(i + 1, 1, Value(keys[i]));
    b.sheet->PutValue(i + 1, 2, Value(i));
  }
  b.sheet->GetRange(u"A1:B4")->Sort(*b.sheet->GetRange(u"A1"), 2);
  const int expected_b[] = {0, 2, 1, 3};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(b.sheet->cell(i + 1, 2).value, Value(expected_b[i]));
  EXPECT_THROW(b.sheet->GetRange(u"A1:B4")->Sort(*b.sheet->GetRange(u"D1"), 1), CommandError);
}

TEST(MemoryWorkbookTest, RangeByNameAndSelection) {
  Book b;
  auto settings = b.book.AddSheet(u"Sheet3", u"Settings");
  b.book.DefineName(u"KieuDanh", settings, Area{1, 1, 6, 1});
  EXPECT_EQ(settings->GetRange(u"kieudanh")->GetValues().rows(), 6);
  EXPECT_THROW(b.sheet->GetRange(u"KieuDanh"), CommandError);  // another sheet's name
  EXPECT_THROW(b.sheet->GetRange(u"NoSuchName"), CommandError);
  settings->Activate();
  EXPECT_THROW(b.sheet->GetRange(u"C3")->Select(), CommandError);  // not the active sheet
  b.sheet->Activate();
  b.sheet->GetRange(u"C3")->Select();
  EXPECT_EQ(b.sheet->selection(), std::make_pair(3, 3));
}

TEST(MemoryWorkbookTest, PasteFailsWhenNothingCanBePasted) {
  Book b;
  EXPECT_THROW(b.sheet->PasteSpecial(u"HTML", false, false, true), CommandError);  // no clipboard
  ScriptedClipboard clipboard;
  b.app.set_clipboard(&clipboard);
  EXPECT_THROW(b.sheet->PasteSpecial(u"HTML", false, false, true), CommandError);  // no HTML
  clipboard.set_html(std::string());
  EXPECT_THROW(b.sheet->PasteSpecial(u"HTML", false, false, true), CommandError);
  clipboard.set_html("<table><tr><td>7</td></tr></table>");
  EXPECT_THROW(b.sheet->PasteSpecial(u"Text", false, false, true), CommandError);
  b.sheet->PasteSpecial(u"HTML", false, false, true);
  EXPECT_EQ(b.sheet->cell(1, 1).value, Value(7));
}

TEST(MemoryWorkbookTest, ApplicationRecordsSettingsAndFunctions) {
  Book b;
  b.app.SetScreenUpdating(false);
  b.app.SetCutCopyMode(false);
  EXPECT_FALSE(b.app.screen_updating());
  EXPECT_EQ(b.app.property_log(),
            (std::vector<std::string>{"ScreenUpdating=false", "CutCopyMode=false"}));
  auto f = b.app.GetWorksheetFunction();
  EXPECT_EQ(f->Min(65000, 100), 100);
  EXPECT_EQ(f->Trim(u"  a \t  b  "), u"a \t b");
  EXPECT_EQ(f->Trim(u"   "), u"");
}

}  // namespace
}  // namespace kelvora::host::memory
