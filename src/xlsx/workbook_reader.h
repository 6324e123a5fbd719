// Reading a workbook package into the memory workbook: every worksheet's
// cells (shared, inline and rich texts, numbers, truth values, errors,
// cached formula results, dates through their number formats in the 1900 and
// 1904 systems), the sheets' and the workbook's code names, the number
// formats of the file's cell styles (style ids of the memory workbook are the
// file's cellXfs indexes), the Text columns, the workbook's names that refer
// to one block of one sheet and the active sheet. What it learns about the
// package's parts is what the writers need to save the workbook back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "memory/memory_workbook.h"
#include "xlsx/zip_package.h"

namespace kelvora::host::xlsx {

// Styles of whole columns (<cols><col min max style>).
struct ColumnStyles {
  struct Span {
    int32_t first, last;
    uint32_t style;
  };
  std::vector<Span> spans;
  // The style of column `col`; 0 when no span holds it.
  uint32_t At(int32_t col) const;
};

// A worksheet part and the memory sheet loaded from it.
struct SheetPart {
  std::string path;
  std::shared_ptr<memory::MemoryWorksheet> sheet;
  ColumnStyles column_styles;
};

struct LoadedWorkbook {
  std::shared_ptr<memory::MemoryWorkbook> book;
  std::u16string code_name;  // <workbookPr codeName>, empty when absent
  bool date1904 = false;
  bool macro_enabled = false;  // the main part has a macro-enabled content type
  bool has_formulas = false;   // some worksheet cell carries a formula
  // Part names as the package spells them; styles and calculation chain are
  // empty when the package has none.
  std::string workbook_path, workbook_rels_path, styles_path, calc_chain_path;
  size_t file_style_count = 1;    // cellXfs in the file (at least the General one)
  std::vector<SheetPart> sheets;  // worksheets in workbook order
};

// Reads `package` into a new memory workbook of `app` (not owned; it must
// outlive the book). The result refers to parts of `package` by name only.
// Throws XlsxError for anything that is not a readable workbook (the message
// says what is wrong); nothing is kept then.
LoadedWorkbook ReadWorkbook(const ZipPackage& package, memory::MemoryApplication* app);

}  // namespace kelvora::host::xlsx
