#include "xlsx/xlsx_workbook.h"

#include "host/files.h"
#include "xlsx/package_writer.h"
#include "xlsx/sheet_rewriter.h"

namespace kelvora::host::xlsx {

using memory::Cell;
using memory::MemoryWorkbook;
using memory::MemoryWorksheet;

XlsxWorkbook::XlsxWorkbook(std::unique_ptr<ZipPackage> package, LoadedWorkbook loaded)
    : package_(std::move(package)), loaded_(std::move(loaded)) {}
XlsxWorkbook::~XlsxWorkbook() = default;

std::unique_ptr<XlsxWorkbook> XlsxWorkbook::Load(std::string bytes, memory::MemoryApplication* app,
                                                 const PackageLimits& limits) {
  auto package = std::make_unique<ZipPackage>(std::move(bytes), limits);
  LoadedWorkbook loaded = ReadWorkbook(*package, app);
  return std::unique_ptr<XlsxWorkbook>(new XlsxWorkbook(std::move(package), std::move(loaded)));
}

std::unique_ptr<XlsxWorkbook> XlsxWorkbook::Open(const std::string& path,
                                                 memory::MemoryApplication* app,
                                                 const PackageLimits& limits) {
  std::string bytes;
  try {
    bytes = ReadFile(path, limits.max_file_size);
  } catch (const FileError& e) {
    throw XlsxError(e.what());
  }
  return Load(std::move(bytes), app, limits);
}

std::unique_ptr<XlsxWorkbook> XlsxWorkbook::Create(const MemoryWorkbook& source,
                                                   const std::vector<memory::SheetLayout>& layouts,
                                                   bool macro_enabled,
                                                   memory::MemoryApplication* app) {
  auto wbk = Load(NewPackage(source, layouts, macro_enabled), app);
  // The cells, as written by the engine; their styles are derived anew from
  // their number formats.
  MemoryWorkbook& book = *wbk->loaded_.book;
  const auto& sheets = source.sheets();
  for (size_t i = 0; i < sheets.size(); ++i) {
    const MemoryWorksheet& from = *sheets[i];
    MemoryWorksheet& to = *book.sheets()[i];
    for (int32_t c = 1; c <= from.UsedCols(); ++c) {
      for (int32_t r = 1; r <= from.ColumnLength(c); ++r) {
        Cell cell = from.CellAt(r, c);
        if (cell.value.IsEmpty() && cell.formula.empty() && cell.style == 0) continue;
        cell.style = book.StyleWithNumberFormat(source.StyleNumberFormat(cell.style), 0);
        cell.written = true;
        to.PutCell(r, c, cell);
      }
    }
  }
  return wbk;
}

bool XlsxWorkbook::HasChanges() const {
  if (loaded_.book->style_count() > loaded_.file_style_count) return true;
  for (const auto& part : loaded_.sheets)
    if (SheetHasWrites(*part.sheet)) return true;
  return false;
}

std::string XlsxWorkbook::SaveToBytes() const { return SavePackage(*package_, loaded_); }

void XlsxWorkbook::Save(const std::string& path) const {
  const std::string bytes = SaveToBytes();
  try {
    WriteFileAtomically(path, bytes);
  } catch (const FileError& e) {
    throw XlsxError(e.what());
  }
}

}  // namespace kelvora::host::xlsx
