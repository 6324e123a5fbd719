#include "xlsx/sheet_rewriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include "sample_package.h"

namespace kelvora::host::xlsx {
namespace {

TEST(SheetRewriterTest, SavingKeepsEveryPartNoCommandChanged) {
  MemoryApplication app;
  const std::string original = Pack(BaseParts(kCells));
  auto wb = XlsxWorkbook::Load(original, &app);
  MemoryWorksheet& main = *wb->book()->sheets()[0];
  // As the engine writes: a value over a formula-free cell, a new cell far
  // below, and a cleared cell.
  main.GetRange(u"B2")->SetValue(Value(u"0042"));
  main.GetRange(u"A20:B20")->SetValues(Row({Value(24124), Value(u" padded ")}));
  main.GetRange(u"A17")->ClearContents();
  ASSERT_TRUE(wb->HasChanges());
  const auto after = Unpack(wb->SaveToBytes());
  const std::string& sheet = after.at("xl/worksheets/sheet1.xml");
  // Other parts stay; the workbook holds formulas, so it gains the request to recalculate.
  auto expected = Unpack(original);
  expected["xl/workbook.xml"] =
      Replaced(Replaced(expected["xl/workbook.xml"], "?>\n", "?>"), "<calcPr calcId=\"191029\"/>",
               "<calcPr calcId=\"191029\" fullCalcOnLoad=\"1\"/>");
  expected["xl/worksheets/sheet1.xml"] = sheet;
  EXPECT_EQ(after, expected);
  // Other elements of the changed sheet stay, and so do untouched cells
  // (formula and style included) and the attributes of a row whose A17 is gone.
  for (const char* kept : {"<sheetPr codeName=\"Sheet1\"/>", "<mergeCell ref=\"D1:E1\"/>",
                           "<formula1>KieuDanh</formula1>", "<col min=\"1\" max=\"1\"",
                           "<c r=\"C1\"><f>B2*2</f><v>8</v></c>", "<c r=\"D3\" s=\"2\"/>",
                           "<row r=\"17\" ht=\"20\" customHeight=\"1\"><c r=\"B17\" s=\"2\"",
                           "<dimension ref=\"A1:D20\"/>"})
    EXPECT_NE(sheet.find(kept), std::string::npos) << kept;
  auto reread = XlsxWorkbook::Load(wb->SaveToBytes(), &app);
  const MemoryWorksheet& r = *reread->book()->sheets()[0];
  EXPECT_EQ(r.cell(2, 2).value, Value(42));  // coerced on write, as the host does
  EXPECT_EQ(r.cell(20, 1).value, Value(24124));
  EXPECT_EQ(r.cell(20, 2).value, Value(u" padded "));
  EXPECT_EQ(r.cell(17, 1).value, Value());
}

TEST(SheetRewriterTest, NewCellsTakeTheirColumnsStyle) {
  MemoryApplication app;
  auto parts = BaseParts("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
  // Column B is Text (xf 2), column C a date (xf 1).
  parts["xl/worksheets/sheet1.xml"] =
      Replaced(parts["xl/worksheets/sheet1.xml"], "</cols>",
               R"(<col min="2" max="2" width="9" style="2"/>)"
               R"(<col min="3" max="3" width="9" style="1"/></cols>)");
  auto wb = XlsxWorkbook::Load(Pack(parts), &app);
  MemoryWorksheet& main = *wb->book()->sheets()[0];
  // A text of digits stays a text in a Text column, as in the host.
  main.GetRange(u"B30:C30")->SetValues(Row({Value(u"01234"), Value(45000)}));
  const std::string saved = wb->SaveToBytes();
  const std::string out = Unpack(saved).at("xl/worksheets/sheet1.xml");
  EXPECT_NE(out.find("<row r=\"30\"><c r=\"B30\" s=\"2\" t=\"inlineStr\"><is><t>01234</t>"
                     "</is></c><c r=\"C30\" s=\"1\"><v>45000</v></c></row>"),
            std::string::npos)
      << out;
  // Without formulas the workbook part stays as it was.
  EXPECT_EQ(Unpack(saved).at("xl/workbook.xml"), parts.at("xl/workbook.xml"));
  // The column's other rows carry no records.
  EXPECT_EQ(out.find("r=\"B31\""), std::string::npos);
  EXPECT_NE(out.find("<dimension ref=\"A1:C30\"/>"), std::string::npos);
}

// A number format alone is enough to save a sheet; a new cell in a row whose
// style counts (customFormat "true" as well as "1") shows the row's style; a
// used range of one column is named by both its ends.
TEST(SheetRewriterTest, FormatOnlyChangesRowStylesAndOneColumnRanges) {
  MemoryApplication app;
  auto wb = XlsxWorkbook::Load(Pack(BaseParts("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"
                                              "<row r=\"3\" s=\"2\" customFormat=\"true\"/>")),
                               &app);
  MemoryWorksheet& main = *wb->book()->sheets()[0];
  main.SetNumberFormat(memory::Area{1, 1, 1, 1}, u"0.000");  // the first new cell format
  EXPECT_EQ(XlsxWorkbook::Load(wb->SaveToBytes(), &app)->book()->sheets()[0]->NumberFormat(1, 1),
            u"0.000");
  main.GetRange(u"A3")->SetValue(Value(7));
  const std::string out = Unpack(wb->SaveToBytes()).at("xl/worksheets/sheet1.xml");
  EXPECT_NE(out.find("<c r=\"A3\" s=\"2\"><v>7</v></c>"), std::string::npos) << out;
  EXPECT_NE(out.find("<dimension ref=\"A1:A3\"/>"), std::string::npos) << out;
}

// The row numbers of the row elements of a sheet part, in order.
std::vector<int> RowNumbers(const std::string& sheet) {
  std::vector<int> rows;
  for (size_t at = sheet.find("<row r=\""); at != std::string::npos;
       at = sheet.find("<row r=\"", at + 1))
    rows.push_back(std::atoi(sheet.c_str() + at + 8));
  return rows;
}

// Cell tables no spreadsheet program writes but the format allows: each is
// read as its cells say, and saved with one row element per row, in order,
// and every cell kept, whether the table is read piece by piece or whole.
TEST(SheetRewriterTest, OddButLegalCellTablesSurviveASave) {
  using Cells = std::vector<std::pair<const char16_t*, Value>>;
  const std::tuple<const char*, std::string, Cells> cases[] = {
      {"a repeated row element",
       "<row r=\"2\"><c r=\"A2\"><v>1</v></c></row><row r=\"2\"><c r=\"B2\"><v>2</v></c></row>",
       {{u"A2", Value(1)}, {u"B2", Value(2)}}},
      {"a repeated cell: the later counts",
       "<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"A1\"><v>3</v></c></row>",
       {{u"A1", Value(3)}}},
      {"rows out of order",
       "<row r=\"3\"><c r=\"A3\"><v>3</v></c></row><row r=\"1\"><c r=\"A1\"><v>1</v></c></row>",
       {{u"A1", Value(1)}, {u"A3", Value(3)}}},
      {"cells out of order",
       "<row r=\"1\"><c r=\"C1\"><v>3</v></c><c r=\"A1\"><v>1</v></c></row>",
       {{u"A1", Value(1)}, {u"C1", Value(3)}}},
      {"rows and cells without numbers",
       "<row><c><v>1</v></c><c><v>2</v></c></row><row><c r=\"B2\"><v>4</v></c><c><v>5</v></c>"
       "</row>",
       {{u"A1", Value(1)}, {u"B1", Value(2)}, {u"B2", Value(4)}, {u"C2", Value(5)}}},
      {"a cell of another row than its element",
       "<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B4\"><v>4</v></c></row>",
       {{u"A1", Value(1)}, {u"B4", Value(4)}}},
      {"empty row elements",
       "<row r=\"1\"/><row r=\"2\" spans=\"1:2\"></row><row r=\"3\"><c r=\"A3\"><v>3</v></c></row>",
       {{u"A3", Value(3)}}},
  };
  for (const auto& [what, data, cells] : cases) {
    MemoryApplication app;
    auto wb = XlsxWorkbook::Load(Pack(BaseParts(data)), &app);
    for (const auto& [cell, value] : cells)
      EXPECT_EQ(wb->book()->sheets()[0]->GetRange(cell)->GetValue(), value) << what;
    wb->book()->sheets()[0]->GetRange(u"E9")->SetValue(Value(9));
    const std::string saved = wb->SaveToBytes();
    const std::vector<int> rows = RowNumbers(Unpack(saved).at("xl/worksheets/sheet1.xml"));
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end()) &&
                std::adjacent_find(rows.begin(), rows.end()) == rows.end())
        << what << ": " << ::testing::PrintToString(rows);
    auto reread = XlsxWorkbook::Load(saved, &app);
    for (const auto& [cell, value] : cells)
      EXPECT_EQ(reread->book()->sheets()[0]->GetRange(cell)->GetValue(), value) << what;
    EXPECT_EQ(reread->book()->sheets()[0]->GetRange(u"E9")->GetValue(), Value(9)) << what;
  }
}

}  // namespace
}  // namespace kelvora::host::xlsx
