// Assembling the package of a workbook to be saved.
//
// Saving a loaded workbook keeps every part that no command changed byte for
// byte (macros, themes, drawings, comments, custom parts, untouched sheets).
// Changed sheets get a new cell table (sheet_rewriter.h). Styles derived in
// memory become new cellXfs in styles.xml. When a formula cell was
// overwritten, the calculation chain goes with its relationship and content
// type. When a workbook that holds formulas changes, its <calcPr> asks for a
// full recalculation on load, since cached formula results may now be stale.
//
// A new workbook's package holds its sheets (with their layouts), names,
// styles and document properties but no cells: those are written into the
// loaded package as any command writes them.
#pragma once

#include <string>
#include <vector>

#include "memory/memory_workbook.h"
#include "memory/sheet_layout.h"
#include "xlsx/workbook_reader.h"
#include "xlsx/zip_package.h"

namespace kelvora::host::xlsx {

// The bytes of `package` with the changes of `wb`'s memory workbook, where
// `wb` is what ReadWorkbook read from `package`; the package's own bytes
// when nothing changed. Neither is modified. Throws XlsxError when a part to
// be changed is damaged.
std::string SavePackage(const ZipPackage& package, const LoadedWorkbook& wb);

// A new package with the sheets, names and active sheet of `source` and the
// given layouts (matched by code name). `macro_enabled` gives it the
// content type of an .xlsm file.
std::string NewPackage(const memory::MemoryWorkbook& source,
                       const std::vector<memory::SheetLayout>& layouts, bool macro_enabled);

}  // namespace kelvora::host::xlsx
