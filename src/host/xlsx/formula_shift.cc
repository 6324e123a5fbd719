#include "host/xlsx/formula_shift.h"

#include <cctype>

#include "host/memory/memory_workbook.h"
#include "host/xlsx/xlsx_text.h"
#include "text/utf.h"

namespace kelvora::host::xlsx {
namespace {

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '$' ||
         c == '\\' || static_cast<unsigned char>(c) >= 0x80;
}

struct RefParts {
  bool col_abs = false, row_abs = false;
  int32_t col = 0, row = 0;  // 0 when the part is absent
};

// Parses "$A$1", "A1", "A", "$1"... into its parts. `want_col`/`want_row`
// say which parts must be present.
bool ParseParts(std::string_view s, RefParts* p) {
  size_t i = 0;
  if (i < s.size() && s[i] == '$') {
    p->col_abs = true;
    ++i;
  }
  size_t letters = 0;
  int32_t col = 0;
  while (i < s.size() && std::isalpha(static_cast<unsigned char>(s[i]))) {
    if (++letters > 3) return false;
    col = col * 26 + ((s[i] | 0x20) - 'a' + 1);
    ++i;
  }
  if (letters == 0) {
    // A row-only part: "$1" or "1".
    p->row_abs = p->col_abs;
    p->col_abs = false;
  } else {
    if (col > memory::kMaxCols) return false;
    p->col = col;
    if (i < s.size() && s[i] == '$') {
      p->row_abs = true;
      ++i;
    }
  }
  if (i == s.size()) return letters > 0 && !p->row_abs;
  int64_t row = 0;
  size_t digits = 0;
  for (; i < s.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(s[i])) || ++digits > 7) return false;
    row = row * 10 + (s[i] - '0');
  }
  if (row < 1 || row > memory::kMaxRows) return false;
  p->row = static_cast<int32_t>(row);
  return true;
}

// Appends the moved part; false when it leaves the sheet.
bool AppendMoved(std::string& out, const RefParts& p, int32_t rows, int32_t cols) {
  if (p.col != 0) {
    const int32_t c = p.col_abs ? p.col : p.col + cols;
    if (c < 1 || c > memory::kMaxCols) return false;
    if (p.col_abs) out.push_back('$');
    out += Utf16ToUtf8(memory::ColumnLetters(c));
  }
  if (p.row != 0) {
    const int32_t r = p.row_abs ? p.row : p.row + rows;
    if (r < 1 || r > memory::kMaxRows) return false;
    if (p.row_abs) out.push_back('$');
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
    RefParts p;
    bool is_ref = !sheet_name && !function && ParseParts(token, &p);
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
