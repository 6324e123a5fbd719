// The cells of one memory sheet, column by column, in 16 bytes a cell.
//
// A loaded sheet can hold hundreds of thousands of cells, nearly all of them
// numbers and short texts. A record keeps the value's bits (a number, a
// date, a truth value, an error code, a text of up to four code units, or
// where a longer text starts in the sheet's text arena), the style, the
// value's type, the written flag and a text's length. Cells that do not fit
// (a formula, a text of 16M code units or more) and cells handed out for
// editing in place are kept whole, in a table of their own, and their record
// points there; so are cells read by reference, which keeps the reference
// valid and up to date as long as the store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "host/value.h"
#include "memory/text_arena.h"

namespace kelvora::host::memory {

// One cell, whole. `style` indexes the workbook's style table (0 is
// General). `formula` is kept as loaded (without "="); the engine never
// writes one.
struct Cell {
  Value value;
  std::u16string formula;
  uint32_t style = 0;
  // Set when the engine wrote or cleared the cell since the workbook was
  // loaded; the file back end rewrites only such cells.
  bool written = false;
};

class CellStore {
 public:
  // Columns holding any record, and the rows of column `col` that hold one
  // (each column is dense down to its last record).
  int32_t cols() const { return static_cast<int32_t>(columns_.size()); }
  int32_t ColumnLength(int32_t col) const;

  // The cell at (row, col), both from 1; a cell without a record is empty
  // with its column's style.
  Cell Get(int32_t row, int32_t col) const;
  // Its value alone, as Get(row, col).value, without building the cell.
  Value ValueAt(int32_t row, int32_t col) const;
  // Stores `cell` at (row, col), creating the records down to it.
  void Set(int32_t row, int32_t col, const Cell& cell);
  // Stores `value` as the cell's value, written and without a formula,
  // keeping its style: Set of Get's cell so changed, without building it.
  void WriteValue(int32_t row, int32_t col, const Value& value);
  // The cell by reference, valid as long as the store and showing the
  // cell's later changes: the cell is kept whole from then on. Reading does
  // not create a record; a cell without one is its column's blank cell. Not
  // to be called while another thread uses the store.
  const Cell& View(int32_t row, int32_t col) const;
  // The same for editing in place, creating the records down to it.
  Cell& Whole(int32_t row, int32_t col);

  // Parts of a cell, read without building it.
  uint32_t Style(int32_t row, int32_t col) const;
  bool Written(int32_t row, int32_t col) const;
  // A value or a formula.
  bool Filled(int32_t row, int32_t col) const;
  // A value, a formula or a style other than General.
  bool Used(int32_t row, int32_t col) const;
  void SetStyle(int32_t row, int32_t col, uint32_t style);

  // Room for records down to row `rows` of column `col`, taken at once so
  // that a column filled row by row is not moved (and its memory touched
  // anew) each time it grows. Only an optimisation: nothing visible changes.
  void Reserve(int32_t col, int32_t rows);

  // The style of cells of column `col` that have no record of their own.
  void SetColumnStyle(int32_t col, uint32_t style);
  uint32_t ColumnStyle(int32_t col) const;

 private:
  struct Record {
    uint64_t bits = 0;
    uint32_t style = 0;
    uint32_t meta = 0;  // kind (3 bits), written (1 bit), text length (24 bits from bit 8)
  };
  static_assert(sizeof(Record) == 16);

  Record* Find(int32_t row, int32_t col) const;
  Record& Slot(int32_t row, int32_t col);
  // Keeps the record's cell whole and returns it.
  Cell& KeepWhole(Record& r) const;
  // The value of a record that is not a whole cell.
  Value ValueOf(const Record& r) const;
  Cell Unpack(const Record& r) const;
  // Puts `v` and the written flag into a record that holds its value itself.
  void Encode(Record& r, const Value& v, bool written);

  // Mutable: a cell read by reference is kept whole from then on, which
  // changes how it is held, not what it is.
  mutable std::vector<std::vector<Record>> columns_;  // columns_[col-1][row-1]
  mutable std::deque<Cell> whole_;
  std::deque<Cell> column_blanks_;  // a column's cell without a record
  TextArena texts_;
};

}  // namespace kelvora::host::memory
