// Text laid out for a terminal: widths that count what a terminal shows,
// columns aligned.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kelvora::tool {

// Columns a text takes on a terminal: one per character, none for
// combining marks or the second half of a surrogate pair.
size_t DisplayWidth(const std::u16string& s);

// `s` in UTF-8, followed by blanks up to `width` columns.
std::string Pad(const std::u16string& s, size_t width);

// The rows as aligned columns, each line indented by `indent` blanks, with
// no blanks at line ends.
void PrintTable(std::ostream& out, const std::vector<std::vector<std::u16string>>& rows,
                int indent);

}  // namespace kelvora::tool
