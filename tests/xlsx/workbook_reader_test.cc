#include "xlsx/workbook_reader.h"

#include <gtest/gtest.h>

#include "sample_package.h"

namespace kelvora::host::xlsx {
namespace {

TEST(WorkbookReaderTest, ReadsTheValuesFilesHold) {
  MemoryApplication app;
  auto wb = XlsxWorkbook::Load(Pack(BaseParts(kCells)), &app);
  EXPECT_TRUE(wb->macro_enabled());
  EXPECT_EQ(wb->code_name(), u"ThisWorkbook");
  const auto& sheets = wb->book()->sheets();
  ASSERT_EQ(sheets.size(), 4u);
  const MemoryWorksheet& s = *sheets[0];
  const std::tuple<int32_t, int32_t, Value> cases[] = {
      {1, 1, Value(u"plain")},
      {1, 2, Value(u"rich runs")},
      {1, 3, Value(8)},
      {2, 1, Value(u"two\r\nlines")},  // a cell without r follows its row
      {2, 2, Value(4)},
      {2, 3, Value::Boolean(true)},
      {2, 4, Value::Error(2007)},
      {3, 1, Value::Date(45292)},  // a row without r follows the one before
      {3, 2, Value(u"inline")},
      {3, 3, Value(u"xy")},
      {3, 4, Value()},
      {17, 1, Value(24123)},
      {17, 2, Value(u"01234")},
  };
  for (const auto& [row, col, value] : cases) {
    EXPECT_EQ(s.cell(row, col).value, value) << row << "," << col;
    EXPECT_FALSE(s.cell(row, col).written);
  }
  EXPECT_EQ(s.cell(1, 3).formula, u"B2*2");
  EXPECT_EQ(s.NumberFormat(3, 1), u"dd/mm/yyyy");
  EXPECT_EQ(s.NumberFormat(17, 2), u"@");
  EXPECT_EQ(wb->book()->FindName(u"_xlnm.Print_Area"), nullptr);
  EXPECT_FALSE(wb->HasChanges());
  // Nothing changed: the very same bytes.
  const std::string bytes = Pack(BaseParts(kCells));
  auto again = XlsxWorkbook::Load(bytes, &app);
  EXPECT_EQ(again->SaveToBytes(), bytes);
}

TEST(WorkbookReaderTest, DatesOfThe1904System) {
  MemoryApplication app;
  auto wb =
      XlsxWorkbook::Load(Pack(BaseParts("<row r=\"1\"><c r=\"A1\" s=\"1\"><v>0</v></c></row>",
                                        "<workbookPr date1904=\"1\" codeName=\"ThisWorkbook\"/>")),
                         &app);
  EXPECT_TRUE(wb->date1904());
  const MemoryWorksheet& s = *wb->book()->sheets()[0];
  EXPECT_EQ(s.cell(1, 1).value, Value::Date(1462));  // 1904-01-01
  // Written back in the file's own system.
  wb->book()->sheets()[0]->GetRange(u"B1")->SetValue(Value(1));
  auto parts = Unpack(wb->SaveToBytes());
  EXPECT_NE(parts["xl/worksheets/sheet1.xml"].find("<c r=\"A1\" s=\"1\"><v>0</v></c>"),
            std::string::npos);
}

TEST(WorkbookReaderTest, RefusesFilesItCannotUse) {
  MemoryApplication app;
  auto without = [](const char* part) {
    auto p = BaseParts(kCells);
    p.erase(part);
    return Pack(p);
  };
  auto with_sheet1 = [](std::string content) {
    auto p = BaseParts(kCells);
    p["xl/worksheets/sheet1.xml"] = std::move(content);
    return Pack(p);
  };
  std::string far = "<row r=\"1048576\">";
  for (int c = 1; c <= 12; ++c) far += "<c r=\"" + CellRef(1048576, c) + "\"><v>1</v></c>";
  far += "</row>";
  const std::pair<const char*, std::string> cases[] = {
      {"not a zip", "<html>a page</html>"},
      {"no content types", without("[Content_Types].xml")},
      {"no package relationships", without("_rels/.rels")},
      {"no workbook", without("xl/workbook.xml")},
      {"missing sheet part", without("xl/worksheets/sheet2.xml")},
      {"broken XML", with_sheet1("<worksheet><sheetData><row>")},
      {"bad cell reference", with_sheet1(Sheet("", "<row><c r=\"A0\"><v>1</v></c></row>"))},
      {"cells too far down too many columns", with_sheet1(Sheet("", far))},
      {"shared string out of range", with_sheet1(Sheet("", "<row><c t=\"s\"><v>99</v></c></row>"))},
  };
  for (const auto& [what, bytes] : cases)
    EXPECT_THROW(XlsxWorkbook::Load(bytes, &app), XlsxError) << what;
}

}  // namespace
}  // namespace kelvora::host::xlsx
