// The HTML paste of the in-memory workbook: clipboard HTML as the grid of
// typed cell values the spreadsheet host pastes for a web page without its
// formatting (the layout rules are html_paste.cc's).
#pragma once

#include <optional>
#include <string_view>

#include "host/value.h"

namespace kelvora::html {

// Converts clipboard HTML into the grid of typed values that a paste puts at
// the selection (numbers where the text reads as one, texts otherwise, empty
// cells where the table has none). Nothing when the HTML holds nothing
// pasteable, and always nothing in a build without the HTML reader.
std::optional<host::Table> ConvertClipboardHtml(std::string_view html);

}  // namespace kelvora::html
