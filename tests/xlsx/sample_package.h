// A workbook package as a spreadsheet program writes it, and the helpers the
// tests of the workbook-file back end build their cases from.
#pragma once

#include <map>
#include <string>

#include "xlsx/xlsx_workbook.h"
#include "xlsx/zip_package.h"

namespace kelvora::host::xlsx {

using memory::MemoryApplication;
using memory::MemoryWorksheet;
using Parts = std::map<std::string, std::string>;  // a package's entries by name

constexpr char kDecl[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr char kNs[] =
    "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
constexpr char kRelType[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

inline std::string Sheet(const std::string& code, const std::string& data,
                         const std::string& after = "") {
  std::string pr = code.empty() ? "" : "<sheetPr codeName=\"" + code + "\"/>";
  return std::string(kDecl) + "<worksheet " + kNs + ">" + pr +
         "<dimension ref=\"A1\"/><cols><col min=\"1\" max=\"1\" width=\"30\" "
         "customWidth=\"1\"/></cols><sheetData>" +
         data + "</sheetData>" + after + "</worksheet>";
}

// A package as a spreadsheet program writes it: four sheets, shared
// strings, styles (xf 1 is a date, xf 2 is Text), a calculation chain, a
// macro part and a custom part. Entries can be replaced per test.
inline Parts BaseParts(const std::string& sheet1_data, const std::string& workbook_pr = "") {
  const std::string decl = kDecl, ns = kNs, type = std::string(" Type=\"") + kRelType;
  Parts p;
  p["[Content_Types].xml"] =
      decl + R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
             R"(<Default Extension="rels" )"
             R"(ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
             R"(<Default Extension="xml" ContentType="application/xml"/><Default )"
             R"(Extension="bin" ContentType="application/vnd.ms-office.vbaProject"/>)"
             R"(<Override PartName="/xl/workbook.xml" )"
             R"(ContentType="application/vnd.ms-excel.sheet.macroEnabled.main+xml"/>)"
             R"(<Override PartName="/xl/calcChain.xml" ContentType="application/)"
             R"(vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml"/></Types>)";
  const std::string rels =
      decl + R"(<Relationships )"
             R"(xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
  p["_rels/.rels"] = rels + R"(<Relationship Id="rId1")" + type +
                     R"(officeDocument" Target="xl/workbook.xml"/></Relationships>)";
  p["xl/workbook.xml"] =
      decl + "<workbook " + ns + ">" +
      (workbook_pr.empty() ? R"(<workbookPr codeName="ThisWorkbook"/>)" : workbook_pr) +
      R"(<bookViews><workbookView activeTab="0"/></bookViews><sheets>)"
      R"(<sheet name="Main" sheetId="1" r:id="rId1"/><sheet name="Paste" sheetId="2" r:id="rId2"/>)"
      R"(<sheet name="Cài đặt" sheetId="3" r:id="rId3"/>)"
      R"(<sheet name="Notes" sheetId="4" r:id="rId4"/></sheets><definedNames>)"
      R"(<definedName name="KieuDanh">'Cài đặt'!$A$1:$A$6</definedName><definedName )"
      R"(name="_xlnm.Print_Area" localSheetId="0">Main!$A$1:$B$2</definedName></definedNames>)"
      R"(<calcPr calcId="191029"/></workbook>)";
  std::string& wb_rels = p["xl/_rels/workbook.xml.rels"] = rels;
  for (int i = 1; i <= 4; ++i) {
    const std::string n = std::to_string(i);
    wb_rels += "<Relationship Id=\"rId" + n + "\"" + type +
               "worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
  }
  wb_rels += R"(<Relationship Id="rId5")" + type + R"(styles" Target="styles.xml"/>)" +
             R"(<Relationship Id="rId6")" + type +
             R"(sharedStrings" Target="sharedStrings.xml"/><Relationship Id="rId7")" + type +
             R"(calcChain" Target="calcChain.xml"/><Relationship Id="rId8" )"
             R"(Type="http://schemas.microsoft.com/office/2006/relationships/vbaProject" )"
             R"(Target="vbaProject.bin"/></Relationships>)";
  p["xl/styles.xml"] =
      decl + "<styleSheet " + ns +
      R"(><numFmts count="1"><numFmt numFmtId="164" formatCode="dd/mm/yyyy"/></numFmts>)"
      R"(<fonts count="1"><font><sz val="11"/><name val="Calibri"/></font></fonts><fills )"
      R"(count="2"><fill><patternFill patternType="none"/></fill><fill><patternFill )"
      R"(patternType="gray125"/></fill></fills><borders count="1"><border/></borders>)"
      R"(<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/>)"
      R"(</cellStyleXfs><cellXfs count="3"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" )"
      R"(xfId="0"/><xf numFmtId="164" fontId="0" fillId="1" borderId="0" xfId="0" )"
      R"(applyNumberFormat="1"/><xf numFmtId="49" fontId="0" fillId="0" borderId="0" xfId="0" )"
      R"(applyNumberFormat="1"/></cellXfs></styleSheet>)";
  p["xl/sharedStrings.xml"] =
      decl + "<sst " + ns +
      R"( count="3" uniqueCount="3"><si><t>plain</t></si><si><r><rPr><b/></rPr><t>rich </t></r>)"
      R"(<r><t>runs</t></r><rPh><t>phonetic</t></rPh></si><si><t>two_x000D_)"
      "\n"
      R"(lines</t></si></sst>)";
  p["xl/calcChain.xml"] = decl + "<calcChain " + ns + R"(><c r="C1" i="1"/></calcChain>)";
  p["xl/vbaProject.bin"] = std::string("\xD0\xCF\x11\xE0 macro bytes \x00\x01\x02", 20);
  p["customXml/item1.xml"] = "<custom>kept</custom>";
  p["xl/worksheets/sheet1.xml"] =
      Sheet("Sheet1", sheet1_data,
            R"(<mergeCells count="1"><mergeCell ref="D1:E1"/></mergeCells><dataValidations )"
            R"(count="1"><dataValidation type="list" sqref="B1"><formula1>KieuDanh</formula1>)"
            R"(</dataValidation></dataValidations>)");
  p["xl/worksheets/sheet2.xml"] = Sheet("Sheet2", "");
  p["xl/worksheets/sheet3.xml"] =
      Sheet("Sheet3", R"(<row r="1"><c r="A1" t="inlineStr"><is><t>K1</t></is></c></row>)"
                      R"(<row r="6"><c r="A6" t="inlineStr"><is><t>K6</t></is></c></row>)");
  p["xl/worksheets/sheet4.xml"] = Sheet("", R"(<row r="1"><c r="A1"><v>1</v></c></row>)");
  return p;
}

// `text` with its first `from` replaced by `to`.
inline std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// The sample with its KieuDanh definition replaced by `definition`.
inline Parts WithKindList(const std::string& definition) {
  auto p = BaseParts("");
  p["xl/workbook.xml"] =
      Replaced(p["xl/workbook.xml"],
               "<definedName name=\"KieuDanh\">'Cài đặt'!$A$1:$A$6</definedName>", definition);
  return p;
}

inline std::string Pack(const Parts& parts) {
  std::vector<std::pair<std::string, std::string>> v(parts.begin(), parts.end());
  return ZipPackage::Build(v);
}

inline Table Row(std::initializer_list<Value> values) {
  Table t(1, static_cast<int32_t>(values.size()));
  int32_t c = 0;
  for (const Value& v : values) t(1, ++c) = v;
  return t;
}

inline Parts Unpack(const std::string& bytes) {
  ZipPackage p(bytes, {});
  Parts out;
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

}  // namespace kelvora::host::xlsx
