#include "xlsx/formula_shift.h"

#include <gtest/gtest.h>

#include <tuple>

namespace kelvora::host::xlsx {
namespace {

// A shared formula's members get their own formulas, moved from the first cell's.
TEST(FormulaShiftTest, MovesRelativeReferences) {
  const std::tuple<const char*, int32_t, int32_t, const char*> cases[] = {
      {"A1+B2", 1, 0, "A2+B3"},
      {"$A$1+A$1+$A1", 2, 1, "$A$1+B$1+$A3"},
      {"SUM(A1:B3)", 1, 1, "SUM(B2:C4)"},
      {"LOG10(A1)", 1, 0, "LOG10(A2)"},
      {"\"A1\"&A1", 1, 0, "\"A1\"&A2"},
      {"'My A1'!A1*Sheet2!B2", 1, 0, "'My A1'!A2*Sheet2!B3"},
      {"SUM(A:A)+SUM(3:3)", 1, 1, "SUM(B:B)+SUM(4:4)"},
      {"A1*2.5+1E5", 0, 1, "B1*2.5+1E5"},
      {"A1", -1, 0, "#REF!"},
      {"XFD1+$C:$D+SUM($3:4)+$c7", 1, 1, "#REF!+$C:$D+SUM($3:5)+$C8"},
      {"Table1[Col A1]+A1", 1, 0, "Table1[Col A1]+A2"},
      {"KieuDanh", 5, 5, "KieuDanh"},
      {"[1]Sheet1!A1", 1, 0, "[1]Sheet1!A2"}};
  for (const auto& [formula, rows, cols, moved] : cases)
    EXPECT_EQ(ShiftFormula(formula, rows, cols), moved) << formula;
}

}  // namespace
}  // namespace kelvora::host::xlsx
