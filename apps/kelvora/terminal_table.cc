#include "terminal_table.h"

#include <algorithm>

#include "text/utf.h"

namespace kelvora::tool {

size_t DisplayWidth(const std::u16string& s) {
  size_t w = 0;
  for (char16_t c : s) {
    if ((c >= 0x300 && c <= 0x36F) || (c >= 0xDC00 && c <= 0xDFFF)) continue;
    ++w;
  }
  return w;
}

std::string Pad(const std::u16string& s, size_t width) {
  std::string out = Utf16ToUtf8(s);
  for (size_t w = DisplayWidth(s); w < width; ++w) out.push_back(' ');
  return out;
}

void PrintTable(std::ostream& out, const std::vector<std::vector<std::u16string>>& rows,
                int indent) {
  std::vector<size_t> widths;
  for (const auto& row : rows) {
    widths.resize(std::max(widths.size(), row.size()), 0);
    for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], DisplayWidth(row[c]));
  }
  for (const auto& row : rows) {
    std::string line(static_cast<size_t>(indent), ' ');
    for (size_t c = 0; c < row.size(); ++c) line += (c ? " " : "") + Pad(row[c], widths[c]);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << '\n';
  }
}

}  // namespace kelvora::tool
