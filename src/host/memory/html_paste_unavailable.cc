// Builds without an HTML parser (the Windows component, where the spreadsheet
// pastes for itself): the in-memory workbook has nothing it can paste.
#include "host/memory/memory_workbook.h"

namespace kelvora::host::memory {

std::optional<Table> ConvertClipboardHtml(std::string_view) { return std::nullopt; }

}  // namespace kelvora::host::memory
