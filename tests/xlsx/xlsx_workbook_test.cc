#include "host/xlsx/xlsx_workbook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "entry/workbook_template.h"
#include "host/cell_ref.h"
#include "text/utf.h"

namespace kelvora::host::xlsx {
namespace {

using memory::MemoryApplication;
using memory::MemoryWorksheet;

constexpr char kDecl[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr char kNs[] =
    "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
constexpr char kRelType[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string Sheet(const std::string& code, const std::string& data, const std::string& after = "") {
  std::string pr = code.empty() ? "" : "<sheetPr codeName=\"" + code + "\"/>";
  return std::string(kDecl) + "<worksheet " + kNs + ">" + pr +
         "<dimension ref=\"A1\"/><cols><col min=\"1\" max=\"1\" width=\"30\" "
         "customWidth=\"1\"/></cols><sheetData>" +
         data + "</sheetData>" + after + "</worksheet>";
}

// A package as a spreadsheet program writes it: four sheets, shared
// strings, styles (xf 1 is a date, xf 2 is Text), a calculation chain, a
// macro part and a custom part. Entries can be replaced per test.
std::map<std::string, std::string> BaseParts(const std::string& sheet1_data,
                                             const std::string& workbook_pr = "") {
  std::map<std::string, std::string> p;
  p["[Content_Types].xml"] =
      std::string(kDecl) +
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"rels\" "
      "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
      "<Default Extension=\"bin\" ContentType=\"application/vnd.ms-office.vbaProject\"/>"
      "<Override PartName=\"/xl/workbook.xml\" "
      "ContentType=\"application/vnd.ms-excel.sheet.macroEnabled.main+xml\"/>"
      "<Override PartName=\"/xl/calcChain.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml\"/>"
      "</Types>";
  p["_rels/.rels"] =
      std::string(kDecl) +
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" Type=\"" +
      kRelType + "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
  p["xl/workbook.xml"] =
      std::string(kDecl) + "<workbook " + kNs + ">" +
      (workbook_pr.empty() ? "<workbookPr codeName=\"ThisWorkbook\"/>" : workbook_pr) +
      "<bookViews><workbookView activeTab=\"0\"/></bookViews><sheets>"
      "<sheet name=\"Main\" sheetId=\"1\" r:id=\"rId1\"/>"
      "<sheet name=\"Paste\" sheetId=\"2\" r:id=\"rId2\"/>"
      "<sheet name=\"Cài đặt\" sheetId=\"3\" r:id=\"rId3\"/>"
      "<sheet name=\"Notes\" sheetId=\"4\" r:id=\"rId4\"/></sheets>"
      "<definedNames><definedName name=\"KieuDanh\">'Cài đặt'!$A$1:$A$6"
      "</definedName><definedName name=\"_xlnm.Print_Area\" "
      "localSheetId=\"0\">Main!$A$1:$B$2</definedName></definedNames>"
      "<calcPr calcId=\"191029\"/></workbook>";
  std::string rels = std::string(kDecl) +
                     "<Relationships "
                     "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  for (int i = 1; i <= 4; ++i) {
    rels += "<Relationship Id=\"rId" + std::to_string(i) + "\" Type=\"" + kRelType +
            "worksheet\" Target=\"worksheets/sheet" + std::to_string(i) + ".xml\"/>";
  }
  rels += std::string("<Relationship Id=\"rId5\" Type=\"") + kRelType +
          "styles\" Target=\"styles.xml\"/><Relationship Id=\"rId6\" Type=\"" + kRelType +
          "sharedStrings\" Target=\"sharedStrings.xml\"/><Relationship Id=\"rId7\" Type=\"" +
          kRelType +
          "calcChain\" Target=\"calcChain.xml\"/><Relationship Id=\"rId8\" "
          "Type=\"http://schemas.microsoft.com/office/2006/relationships/vbaProject\" "
          "Target=\"vbaProject.bin\"/></Relationships>";
  p["xl/_rels/workbook.xml.rels"] = rels;
  p["xl/styles.xml"] =
      std::string(kDecl) + "<styleSheet " + kNs +
      "><numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"dd/mm/yyyy\"/></numFmts>"
      "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
      "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill "
      "patternType=\"gray125\"/></fill></fills><borders count=\"1\"><border/></borders>"
      "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
      "</cellStyleXfs><cellXfs count=\"3\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
      "borderId=\"0\" xfId=\"0\"/><xf numFmtId=\"164\" fontId=\"0\" fillId=\"1\" borderId=\"0\" "
      "xfId=\"0\" applyNumberFormat=\"1\"/><xf numFmtId=\"49\" fontId=\"0\" fillId=\"0\" "
      "borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/></cellXfs></styleSheet>";
  p["xl/sharedStrings.xml"] =
      std::string(kDecl) + "<sst " + kNs +
      " count=\"3\" uniqueCount=\"3\"><si><t>plain</t></si><si><r><rPr><b/></rPr><t>rich "
      "</t></r><r><t>runs</t></r><rPh><t>phonetic</t></rPh></si><si><t>two_x000D_\nlines</t>"
      "</si></sst>";
  p["xl/calcChain.xml"] =
      std::string(kDecl) + "<calcChain " + kNs + "><c r=\"C1\" i=\"1\"/></calcChain>";
  p["xl/vbaProject.bin"] = std::string("\xD0\xCF\x11\xE0 macro bytes \x00\x01\x02", 20);
  p["customXml/item1.xml"] = "<custom>kept</custom>";
  p["xl/worksheets/sheet1.xml"] =
      Sheet("Sheet1", sheet1_data,
            "<mergeCells count=\"1\"><mergeCell ref=\"D1:E1\"/></mergeCells>"
            "<dataValidations count=\"1\"><dataValidation type=\"list\" sqref=\"B1\">"
            "<formula1>KieuDanh</formula1></dataValidation></dataValidations>");
  p["xl/worksheets/sheet2.xml"] = Sheet("Sheet2", "");
  p["xl/worksheets/sheet3.xml"] =
      Sheet("Sheet3",
            "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>K1</t></is></c></row>"
            "<row r=\"6\"><c r=\"A6\" t=\"inlineStr\"><is><t>K6</t></is></c></row>");
  p["xl/worksheets/sheet4.xml"] = Sheet("", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
  return p;
}

std::string Pack(const std::map<std::string, std::string>& parts) {
  std::vector<std::pair<std::string, std::string>> v(parts.begin(), parts.end());
  return ZipPackage::Build(v);
}

// A one-row table of `values`.
Table Row(std::initializer_list<Value> values) {
  Table t(1, static_cast<int32_t>(values.size()));
  int32_t c = 0;
  for (const Value& v : values) t(1, ++c) = v;
  return t;
}

std::map<std::string, std::string> Unpack(const std::string& bytes) {
  ZipPackage p(bytes, {});
  std::map<std::string, std::string> out;
  for (const auto& n : p.names()) out[n] = p.Read(n);
  return out;
}

constexpr char kCells[] =
    "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
    "<c r=\"C1\"><f>B2*2</f><v>8</v></c></row>"
    "<row r=\"2\"><c t=\"s\"><v>2</v></c><c><v>4</v></c><c t=\"b\"><v>1</v></c>"
    "<c t=\"e\"><v>#DIV/0!</v></c></row>"
    "<row><c r=\"A3\" s=\"1\"><v>45292</v></c><c r=\"B3\" t=\"inlineStr\"><is><r><t>in</t></r>"
    "<r><t>line</t></r></is></c><c r=\"C3\" t=\"str\"><f>\"x\"&amp;\"y\"</f><v>xy</v></c>"
    "<c r=\"D3\" s=\"2\"/></row>"
    "<row r=\"17\" ht=\"20\" customHeight=\"1\"><c r=\"A17\"><v>24123</v></c>"
    "<c r=\"B17\" s=\"2\" t=\"inlineStr\"><is><t>01234</t></is></c></row>";

TEST(XlsxWorkbookTest, ReadsTheValuesFilesHold) {
  MemoryApplication app;
  auto wb = XlsxWorkbook::Load(Pack(BaseParts(kCells)), &app);
  wb->RequireBoundSheets();
  EXPECT_TRUE(wb->macro_enabled());
  EXPECT_EQ(wb->code_name(), u"ThisWorkbook");
  const auto& sheets = wb->book()->sheets();
  ASSERT_EQ(sheets.size(), 4u);
  EXPECT_EQ(sheets[0]->CodeName(), u"Sheet1");
  EXPECT_EQ(sheets[2]->Name(), Utf8ToUtf16("Cài đặt"));
  EXPECT_EQ(sheets[3]->CodeName(), u"");
  const MemoryWorksheet& s = *sheets[0];
  struct Case {
    int32_t row, col;
    Value value;
  } cases[] = {
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
  for (const auto& c : cases) {
    EXPECT_EQ(s.cell(c.row, c.col).value, c.value) << c.row << "," << c.col;
    EXPECT_FALSE(s.cell(c.row, c.col).written);
  }
  EXPECT_EQ(s.cell(1, 3).formula, u"B2*2");
  EXPECT_EQ(s.NumberFormat(3, 1), u"dd/mm/yyyy");
  EXPECT_EQ(s.NumberFormat(17, 2), u"@");
  const memory::DefinedName* kd = wb->book()->FindName(u"KieuDanh");
  ASSERT_NE(kd, nullptr);
  EXPECT_EQ(kd->sheet.lock(), sheets[2]);
  EXPECT_EQ(kd->area, (memory::Area{1, 1, 6, 1}));
  EXPECT_EQ(wb->book()->FindName(u"_xlnm.Print_Area"), nullptr);
  EXPECT_FALSE(wb->HasChanges());
  // Nothing changed: the very same bytes.
  const std::string bytes = Pack(BaseParts(kCells));
  auto again = XlsxWorkbook::Load(bytes, &app);
  EXPECT_EQ(again->SaveToBytes(), bytes);
}

TEST(XlsxWorkbookTest, DatesOfThe1904System) {
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

TEST(XlsxWorkbookTest, RefusesFilesItCannotUse) {
  MemoryApplication app;
  auto without = [](const char* part) {
    auto p = BaseParts(kCells);
    p.erase(part);
    return Pack(p);
  };
  auto with = [](const char* part, std::string content) {
    auto p = BaseParts(kCells);
    p[part] = std::move(content);
    return Pack(p);
  };
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"not a zip", "<html>a page</html>"},
      {"no content types", without("[Content_Types].xml")},
      {"no package relationships", without("_rels/.rels")},
      {"no workbook", without("xl/workbook.xml")},
      {"missing sheet part", without("xl/worksheets/sheet2.xml")},
      {"broken XML", with("xl/worksheets/sheet1.xml", "<worksheet><sheetData><row>")},
      {"bad cell reference",
       with("xl/worksheets/sheet1.xml", Sheet("Sheet1", "<row><c r=\"A0\"><v>1</v></c></row>"))},
      {"cells too far down too many columns",
       with("xl/worksheets/sheet1.xml", Sheet("Sheet1",
                                              [] {
                                                std::string row = "<row r=\"1048576\">";
                                                for (int c = 1; c <= 12; ++c)
                                                  row += "<c r=\"" + CellRef(1048576, c) +
                                                         "\"><v>1</v></c>";
                                                return row + "</row>";
                                              }()))},
      {"shared string out of range",
       with("xl/worksheets/sheet1.xml",
            Sheet("Sheet1", "<row><c r=\"A1\" t=\"s\"><v>99</v></c></row>"))},
  };
  for (const auto& c : cases) EXPECT_THROW(XlsxWorkbook::Load(c.bytes, &app), XlsxError) << c.what;

  // A readable workbook without the three bound code names is refused by
  // RequireBoundSheets, naming what is missing.
  auto p = BaseParts(kCells);
  p["xl/worksheets/sheet2.xml"] = Sheet("sheet2", "");
  auto wb = XlsxWorkbook::Load(Pack(p), &app);
  EXPECT_THAT([&] { wb->RequireBoundSheets(); },
              ::testing::ThrowsMessage<XlsxError>(::testing::HasSubstr("Sheet2")));
}

TEST(XlsxWorkbookTest, SavingKeepsEveryPartNoCommandChanged) {
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
  const auto before = Unpack(original);
  const auto after = Unpack(wb->SaveToBytes());
  for (const auto& [name, bytes] : before) {
    if (name == "xl/worksheets/sheet1.xml" || name == "xl/workbook.xml") continue;
    ASSERT_TRUE(after.count(name)) << name;
    EXPECT_EQ(after.at(name), bytes) << name << " changed";
  }
  // The workbook holds formulas: it only gains the request to recalculate.
  std::string expected = before.at("xl/workbook.xml");
  expected.erase(expected.find("?>\n") + 2, 1);
  const std::string calc = "<calcPr calcId=\"191029\"/>";
  expected.replace(expected.find(calc), calc.size(),
                   "<calcPr calcId=\"191029\" fullCalcOnLoad=\"1\"/>");
  EXPECT_EQ(after.at("xl/workbook.xml"), expected);
  const std::string& sheet = after.at("xl/worksheets/sheet1.xml");
  // Other elements of the changed sheet stay.
  for (const char* kept : {"<sheetPr codeName=\"Sheet1\"/>", "<mergeCell ref=\"D1:E1\"/>",
                           "<formula1>KieuDanh</formula1>", "<col min=\"1\" max=\"1\""}) {
    EXPECT_NE(sheet.find(kept), std::string::npos) << kept;
  }
  // Untouched cells stay as they were, formula and style included.
  EXPECT_NE(sheet.find("<c r=\"C1\"><f>B2*2</f><v>8</v></c>"), std::string::npos);
  EXPECT_NE(sheet.find("<c r=\"D3\" s=\"2\"/>"), std::string::npos);
  EXPECT_NE(sheet.find("<row r=\"17\" ht=\"20\" customHeight=\"1\"><c r=\"B17\" s=\"2\""),
            std::string::npos)
      << "row attributes kept, cleared A17 gone";
  EXPECT_NE(sheet.find("<dimension ref=\"A1:D20\"/>"), std::string::npos);
  // Reads back with the new values.
  auto reread = XlsxWorkbook::Load(wb->SaveToBytes(), &app);
  const MemoryWorksheet& r = *reread->book()->sheets()[0];
  EXPECT_EQ(r.cell(2, 2).value, Value(42));  // coerced on write, as the host does
  EXPECT_EQ(r.cell(20, 1).value, Value(24124));
  EXPECT_EQ(r.cell(20, 2).value, Value(u" padded "));
  EXPECT_EQ(r.cell(17, 1).value, Value());
  EXPECT_EQ(r.cell(17, 2).value, Value(u"01234"));
  EXPECT_EQ(r.cell(1, 3).formula, u"B2*2");
  EXPECT_TRUE(reread->macro_enabled());
}

TEST(XlsxWorkbookTest, OverwrittenFormulaTakesTheCalculationChainAlong) {
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

TEST(XlsxWorkbookTest, SharedFormulaMembersKeepTheirFormulaWhenTheMasterGoes) {
  MemoryApplication app;
  const std::string cells =
      "<row r=\"1\"><c r=\"B1\"><f t=\"shared\" ref=\"B1:B3\" si=\"0\">A1*2</f><v>2</v></c></row>"
      "<row r=\"2\"><c r=\"B2\"><f t=\"shared\" si=\"0\"/><v>4</v></c></row>"
      "<row r=\"3\"><c r=\"B3\"><f t=\"shared\" si=\"0\"/><v>6</v></c></row>";
  auto wb = XlsxWorkbook::Load(Pack(BaseParts(cells)), &app);
  wb->book()->sheets()[0]->GetRange(u"B1")->SetValue(Value(u"x"));
  const std::string sheet = Unpack(wb->SaveToBytes()).at("xl/worksheets/sheet1.xml");
  EXPECT_NE(sheet.find("<c r=\"B2\"><f>A2*2</f><v>4</v></c>"), std::string::npos) << sheet;
  EXPECT_NE(sheet.find("<c r=\"B3\"><f>A3*2</f><v>6</v></c>"), std::string::npos);
  EXPECT_EQ(sheet.find("si=\"0\""), std::string::npos);
}

TEST(XlsxWorkbookTest, DerivedStylesBecomeNewCellFormats) {
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

TEST(XlsxWorkbookTest, NewCellsTakeTheirColumnsStyle) {
  MemoryApplication app;
  auto parts = BaseParts("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
  std::string& sheet = parts["xl/worksheets/sheet1.xml"];
  const std::string cols = "<col min=\"1\" max=\"1\" width=\"30\" customWidth=\"1\"/>";
  // Column B is Text (xf 2), column C a date (xf 1).
  sheet.replace(sheet.find(cols), cols.size(),
                cols +
                    "<col min=\"2\" max=\"2\" width=\"9\" style=\"2\"/>"
                    "<col min=\"3\" max=\"3\" width=\"9\" style=\"1\"/>");
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
  auto reread = XlsxWorkbook::Load(saved, &app);
  EXPECT_EQ(reread->book()->sheets()[0]->cell(30, 2).value, Value(u"01234"));
  EXPECT_EQ(reread->book()->sheets()[0]->cell(30, 3).value, Value::Date(45000));
}

TEST(XlsxWorkbookTest, TemplateFileBindsAndKeepsItsCells) {
  MemoryApplication app;
  memory::MemoryWorkbook tmpl;
  FillTemplateWorkbook(tmpl);
  const std::string created =
      XlsxWorkbook::Create(tmpl, TemplateSheetLayouts(), false, &app)->SaveToBytes();
  auto wb = XlsxWorkbook::Load(created, &app);
  wb->RequireBoundSheets();
  EXPECT_FALSE(wb->macro_enabled());
  const auto& a = tmpl.sheets();
  const auto& b = wb->book()->sheets();
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i]->CodeName(), b[i]->CodeName());
    EXPECT_EQ(a[i]->Name(), b[i]->Name());
    for (int32_t c = 1; c <= a[i]->UsedCols(); ++c) {
      for (int32_t r = 1; r <= a[i]->ColumnLength(c); ++r) {
        ASSERT_EQ(a[i]->cell(r, c).value, b[i]->cell(r, c).value) << i << ":" << r << "," << c;
        ASSERT_EQ(a[i]->NumberFormat(r, c), b[i]->NumberFormat(r, c)) << i << ":" << r << "," << c;
      }
    }
  }
  EXPECT_NE(wb->book()->FindName(u"KieuDanh"), nullptr);
  const auto parts = Unpack(created);
  EXPECT_NE(parts.at("xl/worksheets/sheet1.xml").find("sqref=\"B1 B7\""), std::string::npos);
  EXPECT_NE(parts.at("xl/worksheets/sheet1.xml").find("<dimension ref=\"A1:V65016\"/>"),
            std::string::npos);
}

TEST(XlsxWorkbookTest, FileErrorsBecomeWorkbookFileErrorsWithTheirMessages) {
  using ::testing::StartsWith;
  using ::testing::ThrowsMessage;
  MemoryApplication app;
  const std::string path = ::testing::TempDir() + "/no-such-folder/book.xlsx";
  EXPECT_THAT([&] { XlsxWorkbook::Open(path, &app); },
              ThrowsMessage<XlsxError>(StartsWith("cannot open " + path)));
  auto wb = XlsxWorkbook::Load(Pack(BaseParts(kCells)), &app);
  EXPECT_THAT([&] { wb->Save(path); }, ThrowsMessage<XlsxError>(StartsWith("cannot write in ")));
}

}  // namespace
}  // namespace kelvora::host::xlsx
