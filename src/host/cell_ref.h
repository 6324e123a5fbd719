// Cell references in the A1 style ("B17", "$B$17", blocks such as "A1:B2")
// and the column letters they are made of ("A" = 1 ... "XFD" = 16384). One
// parser and one writer for the whole tree: the memory workbook parses the
// UTF-16 addresses the engine passes, the file back end parses and writes
// the UTF-8 references of a workbook file's cells, names and formulas.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvora::host {

// The sheet grid.
inline constexpr int32_t kMaxRows = 1048576;
inline constexpr int32_t kMaxCols = 16384;

// A rectangle of cells, 1-based and inclusive.
struct Area {
  int32_t top = 1, left = 1, bottom = 1, right = 1;
  int32_t rows() const { return bottom - top + 1; }
  int32_t cols() const { return right - left + 1; }
  friend bool operator==(const Area&, const Area&) = default;
};

// One side of a reference as a formula writes it: a cell ("B17", "$B$17",
// "B$17"), a column alone ("B", "$B") or a row alone ("17", "$17"). An
// absent part is 0.
struct RefPart {
  int32_t row = 0, col = 0;
  bool row_absolute = false, col_absolute = false;
};

// Parses `text` into *part. Returns false for anything else: other
// characters, more than three letters or seven digits, a column or row
// outside the grid, a "$" with nothing after it. Letters may be lower case.
// *part is unspecified after a failure.
bool ParseRefPart(std::string_view text, RefPart* part);
bool ParseRefPart(std::u16string_view text, RefPart* part);

// "B17" or "$B$17" -> (17, 2): a RefPart with both a column and a row. On
// failure returns false and leaves *row and *col as they were.
bool ParseCellRef(std::string_view text, int32_t* row, int32_t* col);
bool ParseCellRef(std::u16string_view text, int32_t* row, int32_t* col);

// "A17:B65016", "$B$7", "D3:b1" (corners in any order) -> the block; nothing
// for anything else (a name, a column or row alone, a third corner).
std::optional<Area> ParseA1Area(std::string_view text);
std::optional<Area> ParseA1Area(std::u16string_view text);

// Appends the letters of column `col` (1 to kMaxCols): 28 -> "AB". Appends
// nothing for 0. Grows `out` only; nothing else is allocated.
void AppendColumnLetters(std::string& out, int32_t col);
void AppendColumnLetters(std::u16string& out, int32_t col);
std::u16string ColumnLetters(int32_t col);
// Appends "B17", or "$B$17" when `absolute`, with the same promise.
void AppendCellRef(std::string& out, int32_t row, int32_t col, bool absolute = false);
void AppendCellRef(std::u16string& out, int32_t row, int32_t col, bool absolute = false);
std::string CellRef(int32_t row, int32_t col);

}  // namespace kelvora::host
