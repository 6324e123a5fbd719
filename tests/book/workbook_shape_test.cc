#include "book/workbook_shape.h"

#include <gtest/gtest.h>

#include "xlsx/sample_package.h"

namespace kelvora::host::xlsx {
namespace {

using book::WorkbookShapeProblem;
using Kind = book::ShapeProblem::Kind;

TEST(WorkbookShapeTest, NamesWhatIsMissingByTab) {
  auto no_sheet2 = BaseParts(kCells);
  no_sheet2["xl/worksheets/sheet2.xml"] = Sheet("sheet2", "");  // the case differs
  auto none = BaseParts(kCells);
  for (int i = 1; i <= 3; ++i)
    none["xl/worksheets/sheet" + std::to_string(i) + ".xml"] = Sheet("", "");
  const std::tuple<const char*, Parts, std::optional<Kind>, std::string> cases[] = {
      {"in shape", BaseParts(kCells), std::nullopt, ""},
      {"Sheet2 in another case", no_sheet2, Kind::kMissingCodeNames,
       "no worksheet has the code name Sheet2 (the paste sheet); its worksheets are 'Main' "
       "(Sheet1), 'Paste' (sheet2), 'Cài đặt' (Sheet3), 'Notes' (no code name)"},
      {"no code names", none, Kind::kMissingCodeNames,
       "no worksheet has the code names Sheet1 (the main sheet), Sheet2 (the paste sheet) or "
       "Sheet3 (the settings sheet); its worksheets are 'Main' (no code name)"},
      {"no KieuDanh", WithKindList(""), Kind::kNoKindList,
       "the workbook has no name KieuDanh for the six bet kinds (a block of six rows on the "
       "settings sheet 'Cài đặt')"},
      {"KieuDanh of a deleted sheet",
       WithKindList("<definedName name=\"KieuDanh\">#REF!$A$1:$A$6</definedName>"),
       Kind::kNoKindList, "no name KieuDanh"},
      {"KieuDanh on the main sheet",
       WithKindList("<definedName name=\"kieudanh\">Main!$A$1:$A$6</definedName>"),
       Kind::kKindListElsewhere,
       "the name KieuDanh refers to 'Main'!A1:A6, not to the settings sheet 'Cài đặt' (code "
       "name Sheet3)"},
      {"KieuDanh of five rows",
       WithKindList("<definedName name=\"KieuDanh\">'Cài đặt'!$A$2:$B$6</definedName>"),
       Kind::kKindListTooShort,
       "the name KieuDanh refers to 'Cài đặt'!A2:B6: 5 rows, but the six bet kinds need 6"},
  };
  for (const auto& [what, parts, kind, message] : cases) {
    MemoryApplication app;
    auto wb = XlsxWorkbook::Load(Pack(parts), &app);
    const auto problem = WorkbookShapeProblem(*wb->book());
    ASSERT_EQ(problem ? std::optional(problem->kind) : std::nullopt, kind) << what;
    if (problem) {
      EXPECT_NE(problem->description.find(message), std::string::npos)
          << what << ": " << problem->description;
    }
  }
}

}  // namespace
}  // namespace kelvora::host::xlsx
