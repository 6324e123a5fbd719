// The workbook-file back end: an .xlsx or .xlsm file loaded into the
// in-memory workbook and saved back.
//
// Loading reads every worksheet's cells (shared, inline and rich texts,
// numbers, truth values, errors, cached formula results, dates through their
// number formats in the 1900 and 1904 systems), the sheets' and the
// workbook's code names, the number formats of the file's cell styles (style
// ids of the memory workbook are the file's cellXfs indexes) and the
// workbook's names that refer to one block of one sheet.
//
// Saving keeps every part of the package that no command changed byte for
// byte (macros, themes, drawings, comments, custom parts, untouched sheets).
// A changed sheet keeps everything but its cell table, which is rewritten in
// row and column order: cells the engine wrote come from the memory workbook
// (texts as inline strings), every other cell is kept as it stood, formula
// included. Its <dimension> is set to the used range. When a formula cell was
// overwritten, the calculation chain goes with its relationship and content
// type. Styles derived in memory become new cellXfs in styles.xml. When a
// workbook that holds formulas changes, its <calcPr> asks for a full
// recalculation on load, since cached formula results may now be stale.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/memory/memory_workbook.h"
#include "host/xlsx/sheet_layout.h"
#include "host/xlsx/zip_package.h"

namespace kelvora::host::xlsx {

class XlsxWorkbook {
 public:
  ~XlsxWorkbook();

  // Loads a workbook from a file's bytes. Throws XlsxError for anything that
  // is not a readable workbook file (the message says what is wrong).
  static std::unique_ptr<XlsxWorkbook> Load(std::string bytes, memory::MemoryApplication* app,
                                            const PackageLimits& limits = {});
  // Reads the file at `path` (host::ReadFile, at most limits.max_file_size
  // bytes) and loads it. Throws XlsxError, with the file module's message
  // when the file cannot be read.
  static std::unique_ptr<XlsxWorkbook> Open(const std::string& path, memory::MemoryApplication* app,
                                            const PackageLimits& limits = {});
  // A new workbook file holding the sheets, cells, number formats and names
  // of `source`, with the given layouts. The result's memory workbook is a
  // copy; saving writes every cell. `macro_enabled` gives the package the
  // content type of an .xlsm file.
  static std::unique_ptr<XlsxWorkbook> Create(const memory::MemoryWorkbook& source,
                                              const std::vector<SheetLayout>& layouts,
                                              bool macro_enabled, memory::MemoryApplication* app);

  const std::shared_ptr<memory::MemoryWorkbook>& book() const { return book_; }
  // The workbook's code name (<workbookPr codeName>), empty when absent.
  const std::u16string& code_name() const { return code_name_; }
  bool date1904() const { return date1904_; }
  bool macro_enabled() const { return macro_enabled_; }

  // Throws XlsxError naming the code names among Sheet1, Sheet2 and Sheet3
  // that no worksheet carries.
  void RequireBoundSheets() const;

  // True when a cell was written or cleared, or a style was derived, since
  // the workbook was loaded.
  bool HasChanges() const;

  // The file's bytes with the changes of the memory workbook; the loaded
  // bytes themselves when nothing changed.
  std::string SaveToBytes() const;
  // Writes SaveToBytes() to `path` atomically (host::WriteFileAtomically:
  // a temporary file in the same folder, flushed, then renamed over `path`;
  // a symbolic link is followed). On failure the file at `path` is
  // unchanged. Throws XlsxError.
  void Save(const std::string& path) const;

 private:
  struct SheetPart;
  XlsxWorkbook();

  void Parse(memory::MemoryApplication* app);
  std::string RewriteSheet(const SheetPart& part, bool* formula_overwritten) const;
  std::string RewriteStyles() const;

  std::unique_ptr<ZipPackage> package_;
  std::shared_ptr<memory::MemoryWorkbook> book_;
  std::vector<SheetPart> sheets_;
  std::u16string code_name_;
  bool date1904_ = false;
  bool macro_enabled_ = false;
  std::string workbook_path_;
  std::string workbook_rels_path_;
  std::string styles_path_;
  std::string calc_chain_path_;
  size_t file_style_count_ = 1;
  bool has_formulas_ = false;
};

}  // namespace kelvora::host::xlsx
