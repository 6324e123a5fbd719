// Rewriting the cell table of a changed worksheet. Everything of the sheet
// part but its <sheetData> stays as it was; the cell table is written anew in
// row and column order: cells the engine wrote come from the memory
// workbook (texts as inline strings), every other cell is kept as it stood,
// formula included. The <dimension> is set to the used range.
#pragma once

#include <cstddef>
#include <string>

#include "memory/memory_workbook.h"
#include "xlsx/workbook_reader.h"
#include "xlsx/zip_package.h"

namespace kelvora::host::xlsx {

// True when the engine wrote or cleared a cell of `sheet` since it was
// loaded.
bool SheetHasWrites(const memory::MemoryWorksheet& sheet);
// True when a cell of `sheet` has a style numbered `first` or above.
bool SheetUsesStyleFrom(const memory::MemoryWorksheet& sheet, size_t first);

// The new bytes of `part`, read from `package`, with the cells of its memory
// sheet, deflated as they are written; `date1904` is the file's date system. Sets
// *formula_overwritten when a cell that held a formula was written (it is left alone otherwise). A
// member of a shared formula whose first cell was written gets the formula moved to its own place.
// Throws XlsxError when the part is damaged or has no cell table.
DeflatedEntry RewriteSheet(const ZipPackage& package, const SheetPart& part, bool date1904,
                           bool* formula_overwritten);

}  // namespace kelvora::host::xlsx
