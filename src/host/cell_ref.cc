#include "host/cell_ref.h"

#include <algorithm>
#include <charconv>

namespace kelvora::host {
namespace {

template <typename Char>
bool ParsePart(std::basic_string_view<Char> s, RefPart* p) {
  RefPart part;
  size_t i = 0;
  if (i < s.size() && s[i] == '$') {
    part.col_absolute = true;
    ++i;
  }
  int32_t col = 0;
  size_t letters = 0;
  while (i < s.size() && ((s[i] >= 'A' && s[i] <= 'Z') || (s[i] >= 'a' && s[i] <= 'z'))) {
    if (++letters > 3) return false;
    col = col * 26 + ((s[i] | 0x20) - 'a' + 1);
    ++i;
  }
  if (letters == 0) {
    // A row alone: the "$" was the row's.
    part.row_absolute = part.col_absolute;
    part.col_absolute = false;
  } else {
    if (col > kMaxCols) return false;
    part.col = col;
    if (i < s.size() && s[i] == '$') {
      part.row_absolute = true;
      ++i;
    }
  }
  if (i == s.size()) {
    if (letters == 0 || part.row_absolute) return false;
    *p = part;
    return true;
  }
  int32_t row = 0;
  for (size_t digits = 0; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9' || ++digits > 7) return false;
    row = row * 10 + (s[i] - '0');
  }
  if (row < 1 || row > kMaxRows) return false;
  part.row = row;
  *p = part;
  return true;
}

template <typename Char>
bool ParseCell(std::basic_string_view<Char> s, int32_t* row, int32_t* col) {
  RefPart part;
  if (!ParsePart(s, &part) || part.row == 0 || part.col == 0) return false;
  *row = part.row;
  *col = part.col;
  return true;
}

template <typename Char>
std::optional<Area> ParseBlock(std::basic_string_view<Char> s) {
  const size_t colon = s.find(Char{':'});
  Area a;
  if (colon == s.npos) {
    if (!ParseCell(s, &a.top, &a.left)) return std::nullopt;
    a.bottom = a.top;
    a.right = a.left;
    return a;
  }
  int32_t r1, c1, r2, c2;
  if (!ParseCell(s.substr(0, colon), &r1, &c1) || !ParseCell(s.substr(colon + 1), &r2, &c2)) {
    return std::nullopt;
  }
  return Area{std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)};
}

// The letters of `col` into buf (at least 7 long); returns how many.
size_t WriteLetters(char* buf, int32_t col) {
  char reversed[8];
  size_t n = 0;
  while (col > 0) {
    reversed[n++] = static_cast<char>('A' + (col - 1) % 26);
    col = (col - 1) / 26;
  }
  for (size_t i = 0; i < n; ++i) buf[i] = reversed[n - 1 - i];
  return n;
}

template <typename String>
void AppendLetters(String& out, int32_t col) {
  char buf[8];
  out.append(buf, buf + WriteLetters(buf, col));
}

template <typename String>
void AppendCell(String& out, int32_t row, int32_t col, bool absolute) {
  char buf[24];
  char* at = buf;
  if (absolute) *at++ = '$';
  at += WriteLetters(at, col);
  if (absolute) *at++ = '$';
  at = std::to_chars(at, buf + sizeof buf, row).ptr;
  out.append(buf, at);
}

}  // namespace

bool ParseRefPart(std::string_view text, RefPart* part) { return ParsePart(text, part); }
bool ParseRefPart(std::u16string_view text, RefPart* part) { return ParsePart(text, part); }

bool ParseCellRef(std::string_view text, int32_t* row, int32_t* col) {
  return ParseCell(text, row, col);
}
bool ParseCellRef(std::u16string_view text, int32_t* row, int32_t* col) {
  return ParseCell(text, row, col);
}

std::optional<Area> ParseA1Area(std::string_view text) { return ParseBlock(text); }
std::optional<Area> ParseA1Area(std::u16string_view text) { return ParseBlock(text); }

void AppendColumnLetters(std::string& out, int32_t col) { AppendLetters(out, col); }
void AppendColumnLetters(std::u16string& out, int32_t col) { AppendLetters(out, col); }

std::u16string ColumnLetters(int32_t col) {
  std::u16string s;
  AppendLetters(s, col);
  return s;
}

void AppendCellRef(std::string& out, int32_t row, int32_t col, bool absolute) {
  AppendCell(out, row, col, absolute);
}
void AppendCellRef(std::u16string& out, int32_t row, int32_t col, bool absolute) {
  AppendCell(out, row, col, absolute);
}

std::string CellRef(int32_t row, int32_t col) {
  std::string s;
  AppendCellRef(s, row, col);
  return s;
}

}  // namespace kelvora::host
