// Builds without an HTML parser (the Windows component, where the spreadsheet
// pastes for itself): the in-memory workbook has nothing it can paste.
#include "html/html_paste.h"

namespace kelvora::html {

std::optional<host::Table> ConvertClipboardHtml(std::string_view) { return std::nullopt; }

}  // namespace kelvora::html
