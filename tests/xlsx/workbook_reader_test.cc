#include "xlsx/workbook_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "book/workbook_shape.h"
#include "book/workbook_template.h"
#include "sample_package.h"
#include "xlsx/package_writer.h"

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

TEST(PackageWriterTest, OverwrittenFormulaTakesTheCalculationChainAlong) {
  MemoryApplication app;
  auto wb = XlsxWorkbook::Load(Pack(BaseParts(kCells)), &app);
  wb->book()->sheets()[0]->GetRange(u"C1")->SetValue(Value(1));
  const auto after = Unpack(wb->SaveToBytes());
  EXPECT_EQ(after.count("xl/calcChain.xml"), 0u);
  EXPECT_EQ(after.at("xl/_rels/workbook.xml.rels").find("calcChain"), std::string::npos);
  EXPECT_EQ(after.at("[Content_Types].xml").find("calcChain"), std::string::npos);
  EXPECT_NE(after.at("[Content_Types].xml").find("macroEnabled"), std::string::npos);
  EXPECT_NE(after.at("xl/_rels/workbook.xml.rels").find("vbaProject"), std::string::npos);
  // A write elsewhere keeps the chain.
  auto other = XlsxWorkbook::Load(Pack(BaseParts(kCells)), &app);
  other->book()->sheets()[0]->GetRange(u"E5")->SetValue(Value(1));
  EXPECT_EQ(Unpack(other->SaveToBytes()).count("xl/calcChain.xml"), 1u);
}

TEST(PackageWriterTest, DerivedStylesBecomeNewCellFormats) {
  MemoryApplication app;
  auto wb = XlsxWorkbook::Load(Pack(BaseParts(kCells)), &app);
  MemoryWorksheet& main = *wb->book()->sheets()[0];
  main.SetNumberFormat(memory::Area{5, 1, 5, 1}, u"0.000");  // based on xf 0
  main.SetNumberFormat(memory::Area{3, 1, 3, 1}, u"@");      // based on the date xf 1
  main.GetRange(u"A5")->SetValue(Value(1.5));
  const auto after = Unpack(wb->SaveToBytes());
  const std::string& styles = after.at("xl/styles.xml");
  EXPECT_NE(styles.find("<cellXfs count=\"5\">"), std::string::npos) << styles;
  EXPECT_NE(styles.find("<numFmt numFmtId=\"165\" formatCode=\"0.000\"/>"), std::string::npos);
  auto reread = XlsxWorkbook::Load(Pack(after), &app);
  const MemoryWorksheet& r = *reread->book()->sheets()[0];
  EXPECT_EQ(r.NumberFormat(5, 1), u"0.000");
  EXPECT_EQ(r.NumberFormat(3, 1), u"@");
  EXPECT_EQ(r.cell(3, 1).value, Value(45292));  // no longer a date format
  EXPECT_EQ(r.cell(5, 1).value, Value(1.5));
}

TEST(PackageWriterTest, TemplateFileBindsAndKeepsItsCells) {
  MemoryApplication app;
  memory::MemoryWorkbook tmpl;
  FillTemplateWorkbook(tmpl);
  const std::string created =
      XlsxWorkbook::Create(tmpl, TemplateSheetLayouts(), false, &app)->SaveToBytes();
  auto wb = XlsxWorkbook::Load(created, &app);
  const auto problem = book::WorkbookShapeProblem(*wb->book());
  EXPECT_FALSE(problem) << problem->description;
  EXPECT_FALSE(wb->macro_enabled());
  const auto& a = tmpl.sheets();
  const auto& b = wb->book()->sheets();
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i)
    for (int32_t c = 1; c <= a[i]->UsedCols(); ++c)
      for (int32_t r = 1; r <= a[i]->ColumnLength(c); ++r)
        ASSERT_EQ(std::pair(a[i]->cell(r, c).value, a[i]->NumberFormat(r, c)),
                  std::pair(b[i]->cell(r, c).value, b[i]->NumberFormat(r, c)))
            << i << ":" << r << "," << c;
  const auto parts = Unpack(created);
  EXPECT_NE(parts.at("xl/worksheets/sheet1.xml").find("sqref=\"B1 B7\""), std::string::npos);
  EXPECT_NE(parts.at("xl/worksheets/sheet1.xml").find("<dimension ref=\"A1:V65016\"/>"),
            std::string::npos);
}

TEST(XlsxWorkbookTest, FileErrorsBecomeWorkbookFileErrorsWithTheirMessages) {
  using ::testing::StartsWith, ::testing::ThrowsMessage;
  MemoryApplication app;
  const std::string path = ::testing::TempDir() + "/no-such-folder/book.xlsx";
  EXPECT_THAT([&] { XlsxWorkbook::Open(path, &app); },
              ThrowsMessage<XlsxError>(StartsWith("cannot open " + path)));
  auto wb = XlsxWorkbook::Load(Pack(BaseParts(kCells)), &app);
  EXPECT_THAT([&] { wb->Save(path); }, ThrowsMessage<XlsxError>(StartsWith("cannot write in ")));
}

}  // namespace
}  // namespace kelvora::host::xlsx
