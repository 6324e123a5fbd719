#include "host_conformance.h"

#include <sstream>
#include <string>
#include <vector>

#include "book/workbook_template.h"
#include "host/error.h"
#include "support/error_number.h"
#include "text/utf.h"

namespace kelvora::testing {
namespace {

using host::Table;
using host::Value;

// The template's sheets in workbook order.
constexpr size_t kMain = 0, kPaste = 1, kSettings = 2;

std::shared_ptr<host::Worksheet> Sheet(HostUnderTest& h, size_t index) {
  return h.book->Worksheets().at(index);
}

std::u16string At(const char* column, int32_t row) { return Ascii(column + std::to_string(row)); }

// A block of `rows` x `cols` filled row by row with `cells`.
Table Grid(int32_t rows, int32_t cols, const std::vector<Value>& cells) {
  Table t(rows, cols);
  for (size_t i = 0; i < cells.size(); ++i)
    t(static_cast<int32_t>(i) / cols + 1, static_cast<int32_t>(i) % cols + 1) = cells[i];
  return t;
}

// A block as text for readable failures: per cell a type letter (- n t b d e
// in ValueType order) and the content, cells parted by "|", rows by "/".
std::string Cells(const Table& t) {
  std::ostringstream out;
  out.precision(17);
  for (int32_t r = 1; r <= t.rows(); ++r) {
    for (int32_t c = 1; c <= t.cols(); ++c) {
      const Value& v = t(r, c);
      out << (c > 1 ? "|" : r > 1 ? "/" : "") << "-ntbde"[static_cast<int>(v.type())];
      if (v.IsNumber() || v.IsDate()) out << (v.IsDate() ? v.date_serial() : v.number());
      if (v.IsBoolean() || v.IsError()) out << (v.IsError() ? v.error_code() : v.boolean());
      if (v.IsText()) out << Utf16ToUtf8(v.text());
    }
  }
  return out.str();
}

// Column A of the main sheet is General, column B of the store Text ("@").
void ValueWritesCoerceNumericTextExceptInTextCells(HostUnderTest& h) {
  const Value yes = Value::Boolean(true), na = Value::Error(2042), day = Value::Date(45000);
  // (written, as Cells shows it stored in General | in Text)
  const std::pair<Value, std::string> cases[] = {
      {u"01234", "n1234|t01234"}, {u"123,456", "n123456|t123,456"},
      {u" 42 ", "n42|t 42 "},     {u"&H10", "t&H10|t&H10"},
      {u"1D5", "t1D5|t1D5"},      {u"", "-|-"},
      {Value(), "-|-"},           {2.5, "n2.5|n2.5"},
      {day, "d45000|d45000"},     {yes, "b1|b1"},
      {na, "e2042|e2042"},        {u"Đề", "tĐề|tĐề"}};
  auto main = Sheet(h, kMain);
  int32_t row = 17;
  for (const auto& [written, stored] : cases) {
    SCOPED_TRACE(row);
    // Cell by cell in one row, with one block write in the next.
    auto rows = main->GetRange(At("A", row))->Resize(2, 2);
    rows->SetValue(Value(u"earlier"));
    main->GetRange(At("A", row))->SetValue(written);
    main->GetRange(At("B", row))->SetValue(written);
    main->GetRange(At("A", row + 1))->Resize(1, 2)->SetValues(Grid(1, 2, {written, written}));
    EXPECT_EQ(Cells(rows->GetValues()), stored + "/" + stored);
    EXPECT_EQ(Cells(Grid(1, 1, {main->GetRange(At("B", row))->GetValue()})),
              stored.substr(stored.find('|') + 1));
    row += 2;
  }
  // The template's set cells are Text too.
  main->GetRange(u"L3")->SetValue(Value(u"01,02"));
  EXPECT_EQ(main->GetRange(u"L3")->GetValue(), Value(u"01,02"));
}

void BlocksAreReadWrittenAndResizedWhole(HostUnderTest& h) {
  auto paste = Sheet(h, kPaste);
  const Table t = Grid(2, 3, {1, Value(), u"c", Value::Boolean(false), 5.5, u"x"});
  paste->GetRange(u"C5")->Resize(2, 3)->SetValues(t);
  EXPECT_EQ(Cells(paste->GetRange(u"C5:E6")->GetValues()), Cells(t));
  EXPECT_EQ(paste->GetRange(u"C5:E6")->GetValue(), Value(1));  // the top-left cell
  EXPECT_EQ(Cells(paste->GetRange(u"E6")->GetValues()), "tx");
  EXPECT_EQ(ErrorNumberOf([&] { paste->GetRange(u"C5:E7")->SetValues(t); }), 1004);
  EXPECT_EQ(ErrorNumberOf([&] { paste->GetRange(u"C5")->SetValues(t); }), 1004);
  // (top-left cell, rows, columns, error number): empty and off-sheet blocks
  // are refused.
  const std::tuple<const char16_t*, int32_t, int32_t, int32_t> sizes[] = {
      {u"A17", 65000, 2, 0}, {u"A1048576", 1, 16384, 0}, {u"A1", 0, 1, 1004},
      {u"A1", 1, 0, 1004},   {u"A1048576", 2, 1, 1004},  {u"XFD1", 1, 2, 1004}};
  for (const auto& [from, rows, cols, error] : sizes) {
    SCOPED_TRACE(Utf16ToUtf8(from) + " " + std::to_string(rows) + "x" + std::to_string(cols));
    Table read;
    EXPECT_EQ(ErrorNumberOf([&] { read = paste->GetRange(from)->Resize(rows, cols)->GetValues(); }),
              error);
    EXPECT_EQ(read.rows() * read.cols(), error ? 0 : rows * cols);
  }
}

void ClearContentsKeepsNumberFormats(HostUnderTest& h) {
  auto block = Sheet(h, kMain)->GetRange(u"A17:B18");
  const std::string written = Cells(Grid(2, 2, {7, u"007", 7, u"007"}));
  block->SetValue(Value(u"007"));
  block->ClearContents();
  EXPECT_EQ(Cells(block->GetValues()), Cells(Table(2, 2)));
  block->SetValue(Value(u"007"));
  EXPECT_EQ(Cells(block->GetValues()), written);
}

void EndUpFollowsTheHostRules(HostUnderTest& h) {
  // Column A of the paste sheet: rows 1 to 10 but 5, and 17 to 20.
  auto paste = Sheet(h, kPaste);
  for (int32_t r : {1, 2, 3, 4, 6, 7, 8, 9, 10, 17, 18, 19, 20})
    paste->GetRange(At("A", r))->SetValue(Value(r));
  // (sheet, from, the row End reaches): from an empty cell the nearest
  // filled cell above; from a filled cell under a filled one the top of the
  // run; from a filled cell under a gap the next filled cell above; row 1 when
  // there is none. The template's labels end in A10 of the main sheet.
  const std::tuple<size_t, const char16_t*, int32_t> cases[] = {
      {kPaste, u"A1048576", 20}, {kPaste, u"A16", 10}, {kPaste, u"A20", 17},
      {kPaste, u"A17", 10},      {kPaste, u"A6", 4},   {kPaste, u"A5", 4},
      {kPaste, u"A1", 1},        {kPaste, u"B100", 1}, {kMain, u"A65016", 10}};
  for (const auto& [sheet, from, row] : cases) {
    SCOPED_TRACE(Utf16ToUtf8(from));
    EXPECT_EQ(Sheet(h, sheet)->GetRange(from)->End(host::kXlUp)->Row(), row);
  }
}

void SortOrdersTypesLikeTheHostBothWays(HostUnderTest& h) {
  const Value blank, yes = Value::Boolean(true), no = Value::Boolean(false);
  const Value keys[] = {u"b", 3,     blank, yes,  u"A", Value::Error(2042),
                        -1,   blank, no,    u"a", 3,    Value::Date(2)};
  // The rows' old places after the sort: numbers and dates, texts without
  // regard to case, truth values, errors; blank keys last both ways and
  // equal keys in their old order.
  const std::pair<int, std::vector<int>> cases[] = {
      {host::kXlAscending, {6, 11, 1, 10, 4, 9, 0, 8, 3, 5, 2, 7}},
      {host::kXlDescending, {5, 3, 8, 0, 4, 9, 1, 10, 11, 6, 2, 7}}};
  auto paste = Sheet(h, kPaste);
  auto block = paste->GetRange(u"A1:B12");
  for (const auto& [order, places] : cases) {
    SCOPED_TRACE(order);
    Table before(12, 2), after(12, 2);
    for (int32_t i = 0; i < 12; ++i) {
      const int place = places[static_cast<size_t>(i)];
      before(i + 1, 1) = keys[i];
      before(i + 1, 2) = Value(i);
      after(i + 1, 1) = keys[place];
      after(i + 1, 2) = Value(place);
    }
    block->SetValues(before);
    block->Sort(*paste->GetRange(u"A1"), order);
    EXPECT_EQ(Cells(block->GetValues()), Cells(after));
  }
  // The key must be a column of the block.
  EXPECT_EQ(ErrorNumberOf([&] { block->Sort(*paste->GetRange(u"D1"), 1); }), 1004);
  EXPECT_EQ(ErrorNumberOf([&] { block->Sort(*Sheet(h, kMain)->GetRange(u"A1"), 1); }), 1004);
}

void SelectOnlyOnTheActiveSheet(HostUnderTest& h) {
  for (size_t active : {kSettings, kMain}) {
    Sheet(h, active)->Activate();
    for (size_t sheet : {kMain, kSettings}) {
      SCOPED_TRACE("sheet " + std::to_string(sheet) + ", active " + std::to_string(active));
      EXPECT_EQ(ErrorNumberOf([&] { Sheet(h, sheet)->GetRange(u"C3")->Select(); }),
                sheet == active ? 0 : 1004);
    }
  }
}

void RangesByAddressAndByName(HostUnderTest& h) {
  auto main = Sheet(h, kMain), settings = Sheet(h, kSettings);
  const Table kinds = settings->GetRange(u"A1:A6")->GetValues();
  EXPECT_EQ(Cells(settings->GetRange(u"KieuDanh")->GetValues()), Cells(kinds));
  EXPECT_FALSE(kinds(6, 1).IsEmpty());
  auto named = settings->GetRange(u"kieudanh");
  named->SetValues(Grid(6, 1, {u"f", u"e", u"d", u"c", u"b", u"a"}));
  EXPECT_EQ(Cells(settings->GetRange(u"A1:A6")->GetValues()), "tf/te/td/tc/tb/ta");
  EXPECT_EQ(ErrorNumberOf([&] { named->SetValues(Table(6, 2)); }), 1004);
  EXPECT_EQ(main->GetRange(u"$B$7")->GetValue(), main->GetRange(u"B7")->GetValue());
  EXPECT_EQ(Cells(main->GetRange(u"D3:b1")->GetValues()),
            Cells(main->GetRange(u"B1:D3")->GetValues()));
  // Another sheet's name, unknown names and malformed addresses.
  for (const char16_t* unknown : {u"KieuDanh", u"NoSuchName", u"", u"A0", u"A1:", u"XFE1"}) {
    SCOPED_TRACE(Utf16ToUtf8(unknown));
    EXPECT_EQ(ErrorNumberOf([&] { main->GetRange(unknown); }), 1004);
  }
}

void WorksheetsInOrderWithCodeNames(HostUnderTest& h) {
  host::memory::MemoryWorkbook tmpl;
  FillTemplateWorkbook(tmpl);
  const auto sheets = h.book->Worksheets();
  ASSERT_EQ(sheets.size(), tmpl.sheets().size());
  for (size_t i = 0; i < sheets.size(); ++i) {
    EXPECT_EQ(sheets[i]->CodeName(), u"Sheet" + Ascii(std::to_string(i + 1)));
    EXPECT_EQ(sheets[i]->Name(), tmpl.sheets()[i]->Name());
  }
}

void WorksheetFunctionMinAndTrim(HostUnderTest& h) {
  auto f = h.app->GetWorksheetFunction();
  EXPECT_EQ(f->Min(65000, 100), 100);
  EXPECT_EQ(f->Min(-1.5, 2), -1.5);
  const std::pair<const char16_t*, const char16_t*> trims[] = {
      {u"  a \t  b  ", u"a \t b"}, {u"   ", u""}, {u"Đề  đầu ", u"Đề đầu"}, {u"", u""}};
  for (const auto& [text, trimmed] : trims) EXPECT_EQ(f->Trim(text), trimmed);
}

void ApplicationSettingsReachTheHost(HostUnderTest& h) {
  h.settings->clear_property_log();
  h.app->SetScreenUpdating(false);
  h.app->SetDisplayAlerts(true);
  h.app->SetCutCopyMode(false);
  h.app->SetCellDragAndDrop(true);
  EXPECT_EQ(h.settings->property_log(),
            (std::vector<std::string>{"ScreenUpdating=false", "DisplayAlerts=true",
                                      "CutCopyMode=false", "CellDragAndDrop=true"}));
}

// UsedRange spans the first to the last row and column that hold anything;
// on a sheet that holds nothing it is A1.
void UsedRangeSpansWhatTheSheetHolds(HostUnderTest& h) {
  auto paste = Sheet(h, kPaste);
  EXPECT_EQ(std::pair(paste->UsedRange()->Row(), Cells(paste->UsedRange()->GetValues())),
            std::pair(1, std::string("-")));
  paste->GetRange(u"C4")->SetValue(Value(u"x"));
  paste->GetRange(u"E302")->SetValue(Value(7));
  auto used = paste->UsedRange();
  const Table t = used->GetValues();
  EXPECT_EQ(Cells(Grid(1, 5, {used->Row(), t.rows(), t.cols(), t(1, 1), t(299, 3)})),
            "n4|n299|n3|tx|n7");
  used->ClearContents();
  EXPECT_EQ(Cells(paste->GetRange(u"C4:E302")->GetValues()), Cells(Table(299, 3)));
}

#define KELVORA_CASE(name) \
  ConformanceCase { #name, &name }
const ConformanceCase kCases[] = {
    KELVORA_CASE(ValueWritesCoerceNumericTextExceptInTextCells),
    KELVORA_CASE(BlocksAreReadWrittenAndResizedWhole),
    KELVORA_CASE(ClearContentsKeepsNumberFormats),
    KELVORA_CASE(EndUpFollowsTheHostRules),
    KELVORA_CASE(SortOrdersTypesLikeTheHostBothWays),
    KELVORA_CASE(SelectOnlyOnTheActiveSheet),
    KELVORA_CASE(RangesByAddressAndByName),
    KELVORA_CASE(WorksheetsInOrderWithCodeNames),
    KELVORA_CASE(WorksheetFunctionMinAndTrim),
    KELVORA_CASE(ApplicationSettingsReachTheHost),
    KELVORA_CASE(UsedRangeSpansWhatTheSheetHolds),
};
#undef KELVORA_CASE

}  // namespace

void RunConformanceCase(const ConformanceCase& c, const std::function<HostUnderTest()>& factory) {
  HostUnderTest host = factory();
  c.run(host);
}

INSTANTIATE_TEST_SUITE_P(Template, HostConformanceTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace kelvora::testing
