#include "xlsx/package_writer.h"

#include <gtest/gtest.h>

#include <utility>

#include "book/workbook_shape.h"
#include "book/workbook_template.h"
#include "sample_package.h"

namespace kelvora::host::xlsx {
namespace {

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

}  // namespace
}  // namespace kelvora::host::xlsx
