#include "host/layout.h"

namespace kelvora::layout {

namespace {

void AppendCell(Cell cell, std::u16string& out) {
  char16_t letters[4];
  int n = 0;
  for (int32_t c = cell.col; c > 0; c = (c - 1) / 26)
    letters[n++] = static_cast<char16_t>(u'A' + (c - 1) % 26);
  while (n > 0) out.push_back(letters[--n]);
  const std::string row = std::to_string(cell.row);
  out.append(row.begin(), row.end());
}

}  // namespace

std::u16string A1(Cell cell) {
  std::u16string out;
  AppendCell(cell, out);
  return out;
}

std::u16string A1(Block block) {
  std::u16string out;
  AppendCell(block.first, out);
  out.push_back(u':');
  AppendCell(block.last, out);
  return out;
}

}  // namespace kelvora::layout
