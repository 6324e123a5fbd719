#include "adopt/adopt.h"

#include <gtest/gtest.h>

#include "text/utf.h"
#include "xlsx/part_xml.h"
#include "xlsx/sample_package.h"

namespace kelvora::host::xlsx {
namespace {

using adopt::Adoption;
using adopt::AdoptRefused;
using adopt::AdoptWorkbook;
using adopt::SheetTabs;

const std::string kWorkbook = "xl/workbook.xml";
const std::string kPaste = "xl/worksheets/sheet2.xml";
const std::string kHead = std::string(kDecl) + "<worksheet " + kNs + ">";

// The sample with a chart sheet 'Biểu đồ' of code name `code` at the end.
Parts WithChartSheet(const std::string& code) {
  auto p = BaseParts("");
  p[kWorkbook] = Replaced(p[kWorkbook], "</sheets>",
                          "<sheet name=\"Biểu đồ\" sheetId=\"5\" r:id=\"rId9\"/></sheets>");
  p["xl/_rels/workbook.xml.rels"] =
      Replaced(p["xl/_rels/workbook.xml.rels"], "</Relationships>",
               std::string("<Relationship Id=\"rId9\" Type=\"") + kRelType +
                   "chartsheet\" Target=\"chartsheets/sheet1.xml\"/></Relationships>");
  p["xl/chartsheets/sheet1.xml"] = std::string(kDecl) + "<chartsheet " + kNs +
                                   "><sheetPr codeName=\"" + code + "\"/></chartsheet>";
  return p;
}

// Each case edits one part of the sample, which lacks a code name or
// KieuDanh; adopting it must give exactly `after` for that part and leave
// every other entry as it was.
TEST(AdoptTest, EditsOnlyWhatIsMissingInPlace) {
  const std::string wb = BaseParts("")[kWorkbook];
  const std::string kind_list = "<definedName name=\"KieuDanh\">'Cài đặt'!$A$1:$A$6</definedName>";
  const std::string print_area =
      "<definedName name=\"_xlnm.Print_Area\" localSheetId=\"0\">Main!$A$1:$B$2</definedName>";
  const std::string no_names =
      Replaced(wb, "<definedNames>" + kind_list + print_area + "</definedNames>", "");
  const std::tuple<const char*, std::string, std::string, std::string> cases[] = {
      {"no <sheetPr>", kPaste, Sheet("", ""), Sheet("Sheet2", "")},
      {"<sheetPr> with children, as LibreOffice writes it", kPaste,
       kHead + "<sheetPr filterMode=\"false\"><pageSetUpPr fitToPage=\"false\"/></sheetPr>"
               "<sheetData/></worksheet>",
       kHead + "<sheetPr filterMode=\"false\" codeName=\"Sheet2\"><pageSetUpPr "
               "fitToPage=\"false\"/></sheetPr><sheetData/></worksheet>"},
      {"another code name in single quotes", kPaste,
       kHead + "<sheetPr codeName = 'Other' >\r\n</sheetPr><sheetData/></worksheet>",
       kHead + "<sheetPr codeName = 'Sheet2' >\r\n</sheetPr><sheetData/></worksheet>"},
      {"a prefixed namespace, a comment", kPaste,
       std::string(kDecl) + "<x:worksheet xmlns:x=\"" + kMainNs +
           "\"><!-- <sheetPr/> --><x:sheetData/></x:worksheet>",
       std::string(kDecl) + "<x:worksheet xmlns:x=\"" + kMainNs +
           "\"><x:sheetPr codeName=\"Sheet2\"/><!-- <sheetPr/> --><x:sheetData/></x:worksheet>"},
      {"no KieuDanh", kWorkbook, Replaced(wb, kind_list, ""),
       Replaced(wb, kind_list + print_area, print_area + kind_list)},
      {"KieuDanh refers to #REF!", kWorkbook,
       Replaced(wb, "'Cài đặt'!$A$1:$A$6", "#REF!<!-- </definedName> -->"), wb},
      {"no <definedNames>", kWorkbook, no_names,
       Replaced(no_names, "<calcPr", "<definedNames>" + kind_list + "</definedNames><calcPr")},
      {"an empty <definedNames/>", kWorkbook,
       Replaced(no_names, "<calcPr", "<definedNames/><calcPr"),
       Replaced(no_names, "<calcPr", "<definedNames>" + kind_list + "</definedNames><calcPr")},
  };
  for (const auto& [what, part, before, after] : cases) {
    auto parts = BaseParts("");
    parts[part] = before;
    const Adoption a = AdoptWorkbook(Pack(parts), {});
    EXPECT_EQ(a.kind_list_added, part == kWorkbook) << what;
    // The first three worksheets are the sheets that carry the other two code names.
    EXPECT_EQ(a.by_position, part != kWorkbook) << what;
    parts[part] = after;
    EXPECT_EQ(Unpack(a.bytes), parts) << what;
  }
}

TEST(AdoptTest, GivesTheCodeNamesByTabOrPositionAndMovesOthersAway) {
  using Changes = std::vector<std::tuple<std::string, std::string, std::string>>;  // tab, from, to
  auto stripped = BaseParts("");
  for (int i = 1; i <= 3; ++i)
    stripped["xl/worksheets/sheet" + std::to_string(i) + ".xml"] = Sheet("", "");
  const std::tuple<const char*, Parts, SheetTabs, bool, Changes> cases[] = {
      {"in shape", BaseParts(""), {}, false, {}},
      {"no code names, by position", stripped, SheetTabs{}, true,
       Changes{{"Main", "", "Sheet1"}, {"Paste", "", "Sheet2"}, {"Cài đặt", "", "Sheet3"}}},
      {"Notes made the main sheet; a chart sheet holds Sheet4", WithChartSheet("Sheet4"),
       SheetTabs{u"Notes", u"Paste", u"Cài đặt"}, false,
       Changes{{"Main", "Sheet1", "Sheet5"}, {"Notes", "", "Sheet1"}}},
      {"a chart sheet holds sheet2", WithChartSheet("sheet2"),
       SheetTabs{u"Main", u"Notes", u"Cài đặt"}, false,
       Changes{{"Paste", "Sheet2", "Sheet4"},
               {"Notes", "", "Sheet2"},
               {"Biểu đồ", "sheet2", "Sheet5"}}},
  };
  for (const auto& [what, parts, tabs, by_position, expected] : cases) {
    const Adoption a = AdoptWorkbook(Pack(parts), tabs);
    EXPECT_EQ(a.by_position, by_position) << what;
    Changes changes;
    for (const auto& ch : a.changes)
      changes.emplace_back(Utf16ToUtf8(ch.tab), Utf16ToUtf8(ch.from), Utf16ToUtf8(ch.to));
    EXPECT_EQ(changes, expected) << what;
    EXPECT_EQ(a.bytes.empty(), expected.empty()) << what;
  }
}

TEST(AdoptTest, RefusalsNameTheTabs) {
  auto two_sheets = BaseParts("");
  two_sheets[kPaste] = Sheet("", "");
  two_sheets[kWorkbook] = Replaced(two_sheets[kWorkbook],
                                   R"(<sheet name="Cài đặt" sheetId="3" r:id="rId3"/>)"
                                   R"(<sheet name="Notes" sheetId="4" r:id="rId4"/>)",
                                   "");
  const std::tuple<Parts, SheetTabs, bool, std::string> cases[] = {
      {BaseParts(""), SheetTabs{u"Main", u"Paste", u"Nope"}, true,
       "no sheet has the tab 'Nope' (given as the settings sheet); the worksheets are 'Main', "
       "'Paste', 'Cài đặt', 'Notes'"},
      {BaseParts(""), SheetTabs{u"Main", u"Main", u"Notes"}, true,
       "'Main' is given as both the main and the paste sheet"},
      {BaseParts(""), SheetTabs{u"Main", u"", u""}, true, "all three"},
      {WithChartSheet("Chart1"), SheetTabs{u"Main", u"Paste", u"Biểu đồ"}, true,
       "'Biểu đồ' (given as the settings sheet) is not a worksheet"},
      {two_sheets, {}, false, "the workbook has 2 worksheets"},
      {WithKindList("<definedName name=\"KieuDanh\">Notes!$A$1:$A$6</definedName>"), SheetTabs{},
       false, "KieuDanh refers to a block of 'Notes', and the settings sheet is 'Cài đặt'"},
      {WithKindList("<definedName name=\"KieuDanh\">'Cài đặt'!$A$1:$A$5</definedName>"),
       SheetTabs{}, false, "KieuDanh refers to a block of 'Cài đặt' of 5 rows"},
  };
  for (const auto& [parts, tabs, tabs_given_wrong, message] : cases) {
    try {
      AdoptWorkbook(Pack(parts), tabs);
      ADD_FAILURE() << "adopted: " << message;
    } catch (const AdoptRefused& e) {
      EXPECT_EQ(e.tabs_given_wrong(), tabs_given_wrong) << message;
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(AdoptWorkbook("not a zip", {}), XlsxError);
}

}  // namespace
}  // namespace kelvora::host::xlsx
