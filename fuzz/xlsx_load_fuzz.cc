// Fuzzes the workbook-file reader: any bytes either load or are refused with
// XlsxError; a loaded workbook saves after a write and loads again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/error.h"
#include "xlsx/xlsx_workbook.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvora::host;
  xlsx::PackageLimits limits;
  limits.max_file_size = 4u << 20;
  limits.max_entry_size = 8u << 20;
  limits.max_total_size = 16u << 20;
  limits.ratio_floor = 1u << 20;
  memory::MemoryApplication app;
  std::unique_ptr<xlsx::XlsxWorkbook> wb;
  try {
    wb = xlsx::XlsxWorkbook::Load(std::string(reinterpret_cast<const char*>(data), size), &app,
                                  limits);
  } catch (const xlsx::XlsxError&) {
    return 0;
  }
  try {
    if (!wb->book()->sheets().empty()) {
      auto sheet = wb->book()->sheets().front();
      sheet->GetRange(u"B2")->SetValue(Value(u"0123"));
      sheet->GetRange(u"A1")->ClearContents();
    }
    auto again = xlsx::XlsxWorkbook::Load(wb->SaveToBytes(), &app, limits);
    (void)again;
  } catch (const xlsx::XlsxError&) {
    // A part that loads but cannot be rewritten (a sheet without a cell
    // table) is refused on save; the loaded bytes stay untouched.
  } catch (const kelvora::CommandError&) {
  }
  return 0;
}
