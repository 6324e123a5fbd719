#include "xlsx/formula_shift.h"

#include <cctype>

#include "host/cell_ref.h"

namespace kelvora::host::xlsx {
namespace {

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '$' ||
         c == '\\' || static_cast<unsigned char>(c) >= 0x80;
}

// Appends the moved part; false when it leaves the sheet.
bool AppendMoved(std::string& out, const RefPart& p, int32_t rows, int32_t cols) {
  if (p.col != 0) {
    const int32_t c = p.col_absolute ? p.col : p.col + cols;
    if (c < 1 || c > kMaxCols) return false;
    if (p.col_absolute) out.push_back('$');
    AppendColumnLetters(out, c);
  }
  if (p.row != 0) {
    const int32_t r = p.row_absolute ? p.row : p.row + rows;
    if (r < 1 || r > kMaxRows) return false;
    if (p.row_absolute) out.push_back('$');
    out += std::to_string(r);
  }
  return true;
}

}  // namespace

std::string ShiftFormula(std::string_view f, int32_t rows, int32_t cols) {
  std::string out;
  out.reserve(f.size() + 8);
  size_t i = 0;
  while (i < f.size()) {
    const char c = f[i];
    if (c == '"' || c == '\'') {
      // A text or a quoted sheet name; a doubled quote stays inside.
      size_t j = i + 1;
      while (j < f.size()) {
        if (f[j] == c) {
          if (j + 1 < f.size() && f[j + 1] == c) {
            j += 2;
            continue;
          }
          break;
        }
        ++j;
      }
      j = j < f.size() ? j + 1 : j;
      out.append(f.substr(i, j - i));
      i = j;
      continue;
    }
    if (c == '[') {
      int depth = 0;
      size_t j = i;
      for (; j < f.size(); ++j) {
        if (f[j] == '[') ++depth;
        if (f[j] == ']' && --depth == 0) break;
      }
      j = j < f.size() ? j + 1 : j;
      out.append(f.substr(i, j - i));
      i = j;
      continue;
    }
    if (!IsNameChar(c)) {
      out.push_back(c);
      ++i;
      continue;
    }
    size_t j = i;
    while (j < f.size() && IsNameChar(f[j])) ++j;
    const std::string_view token = f.substr(i, j - i);
    const bool sheet_name = j < f.size() && f[j] == '!';
    const bool function = j < f.size() && f[j] == '(';
    const bool after_range = i > 0 && f[i - 1] == ':';
    const bool before_range = j < f.size() && f[j] == ':';
    RefPart p;
    bool is_ref = !sheet_name && !function && ParseRefPart(token, &p);
    // A column alone ("A") or a row alone ("1") is a reference only as one
    // side of a range such as A:C or 3:5.
    if (is_ref && (p.col == 0 || p.row == 0) && !after_range && !before_range) is_ref = false;
    if (is_ref && token.find('.') != std::string_view::npos) is_ref = false;
    if (is_ref) {
      std::string moved;
      if (AppendMoved(moved, p, rows, cols)) {
        out += moved;
      } else {
        out += "#REF!";
      }
    } else {
      out.append(token);
    }
    i = j;
  }
  return out;
}

}  // namespace kelvora::host::xlsx
