#include "host/layout.h"

#include "host/cell_ref.h"

namespace kelvora::layout {

std::u16string A1(Cell cell) {
  std::u16string out;
  host::AppendCellRef(out, cell.row, cell.col);
  return out;
}

std::u16string A1(Block block) {
  std::u16string out;
  host::AppendCellRef(out, block.first.row, block.first.col);
  out.push_back(u':');
  host::AppendCellRef(out, block.last.row, block.last.col);
  return out;
}

}  // namespace kelvora::layout
