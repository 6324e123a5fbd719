// The workbook-file back end: an .xlsx or .xlsm file loaded into the
// in-memory workbook and saved back, every part that no command changed
// carried over byte for byte. This is its public face; the work is done by
// three parts:
//   workbook_reader.h  loads the package into the memory workbook;
//   sheet_rewriter.h   writes a changed sheet's new cell table, keeping the
//                      rest of the sheet;
//   package_writer.h   assembles the saved package (changed parts, styles,
//                      the calculation chain, content types) and new ones.
// Both the reader and the rewriter take a sheet's cell table in pieces of
// whole rows (sheet_chunks.h), so that no sheet is ever held as one parsed
// document. Files are read and written through host/files.h.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "memory/memory_workbook.h"
#include "memory/sheet_layout.h"
#include "xlsx/workbook_reader.h"
#include "xlsx/zip_package.h"

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
                                              const std::vector<memory::SheetLayout>& layouts,
                                              bool macro_enabled, memory::MemoryApplication* app);

  const std::shared_ptr<memory::MemoryWorkbook>& book() const { return loaded_.book; }
  // The workbook's code name (<workbookPr codeName>), empty when absent.
  const std::u16string& code_name() const { return loaded_.code_name; }
  bool date1904() const { return loaded_.date1904; }
  bool macro_enabled() const { return loaded_.macro_enabled; }

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
  XlsxWorkbook(std::unique_ptr<ZipPackage> package, LoadedWorkbook loaded);

  std::unique_ptr<ZipPackage> package_;
  LoadedWorkbook loaded_;
};

}  // namespace kelvora::host::xlsx
