// The built-in workbook: three sheets with the code names the component
// binds, the bet-kind list KieuDanh, labels, number formats and default
// parameters. `kelvora init` saves it as a file; tests start from it.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "memory/memory_workbook.h"
#include "memory/sheet_layout.h"

namespace kelvora {

// The six bet-kind names in KieuDanh order (UTF-8).
extern const std::array<const char*, 6> kTemplateKindNames;

// Fills an empty workbook with the template's sheets and cells:
// - "Sheet1" (main): parameter labels in A1:A10 (A10 not empty, A11:A16
//   empty), default parameters in B1:B4, B6 "OFF", B7:B10; the count label
//   beside B15 outside column A; method-table and mark headings; L3:L5,
//   L9:L11 and B17:B65016 in the Text number format;
// - "Sheet2" (paste scratch sheet);
// - "Sheet3" (settings) with the six kind names in A1:A6, named KieuDanh.
void FillTemplateWorkbook(host::memory::MemoryWorkbook& book);

// What the saved template carries beside its cells: column widths, and a
// drop-down of the KieuDanh names on the kind cells B1 and B7 of "Sheet1".
std::vector<host::memory::SheetLayout> TemplateSheetLayouts();

}  // namespace kelvora
