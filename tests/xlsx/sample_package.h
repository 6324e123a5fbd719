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
inline std::map<std::string, std::string> BaseParts(const std::string& sheet1_data,
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

// `text` with its first `from` replaced by `to`.
inline std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// The sample with its KieuDanh definition replaced by `definition`.
inline std::map<std::string, std::string> WithKindList(const std::string& definition) {
  auto p = BaseParts("");
  p["xl/workbook.xml"] =
      Replaced(p["xl/workbook.xml"],
               "<definedName name=\"KieuDanh\">'Cài đặt'!$A$1:$A$6</definedName>", definition);
  return p;
}

inline std::string Pack(const std::map<std::string, std::string>& parts) {
  std::vector<std::pair<std::string, std::string>> v(parts.begin(), parts.end());
  return ZipPackage::Build(v);
}

// A one-row table of `values`.
inline Table Row(std::initializer_list<Value> values) {
  Table t(1, static_cast<int32_t>(values.size()));
  int32_t c = 0;
  for (const Value& v : values) t(1, ++c) = v;
  return t;
}

inline std::map<std::string, std::string> Unpack(const std::string& bytes) {
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

}  // namespace kelvora::host::xlsx
