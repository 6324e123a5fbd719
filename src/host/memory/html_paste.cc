#include "host/memory/memory_workbook.h"

namespace kelvora::host::memory {

// The HTML conversion is not built yet: nothing can be pasted.
std::optional<Table> ConvertClipboardHtml(std::string_view) { return std::nullopt; }

}  // namespace kelvora::host::memory
