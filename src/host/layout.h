// Where everything lives in the workbook: every cell and block the commands,
// the template, the tool and the tests read or write. Moving a block means
// changing it here and nowhere else.
//
// Cells are numbered as the host numbers them: row 1 and column 1 (A) are the
// top-left cell. A1() turns a cell or block into the address text the host's
// Range member takes; the texts it gives are exactly the ones the engine has
// always passed ("A17:B65016", "B15").
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kelvora::layout {

struct Cell {
  int32_t row;
  int32_t col;
};

// A block from `first` to `last`, both included.
struct Block {
  Cell first;
  Cell last;
  constexpr int32_t rows() const { return last.row - first.row + 1; }
  constexpr int32_t cols() const { return last.col - first.col + 1; }
};

// "B15" for {15, 2}; "A17:B65016" for a block.
std::u16string A1(Cell cell);
std::u16string A1(Block block);

// The sheet's last row, the bottom of every upward search that must find
// everything.
inline constexpr int32_t kSheetRows = 1048576;

// ---------------------------------------------------------------------------
// The result store on the main sheet: draw number in column A, result in
// column B, newest first from row 17; the count of stored draws in B15.
// A10 is never empty and A11:A16 always are, so an empty store has its last
// row at 10.

inline constexpr int32_t kStoreFirstRow = 17;
inline constexpr int32_t kStoreCapacity = 65000;
inline constexpr int32_t kEmptyStoreLastRow = 10;
inline constexpr int32_t kStoreDrawCol = 1;
inline constexpr int32_t kStoreResultCol = 2;
inline constexpr Cell kStoreTop{kStoreFirstRow, kStoreDrawCol};
inline constexpr Block kStore{kStoreTop, {kStoreFirstRow + kStoreCapacity - 1, kStoreResultCol}};
inline constexpr Cell kStoreCount{15, 2};
// The key cell of the merge's sort: only its column (A) matters.
inline constexpr Cell kMergeSortKey{11, 1};
// Where the store's upward search for its last row starts.
inline constexpr int32_t kStoreSearchRow = 1000000;

// The store's rows from its top down to `last_row`, draw and result columns.
constexpr Block StoreRows(int32_t last_row) { return {kStoreTop, {last_row, kStoreResultCol}}; }
// The draw-number column of the store's rows down to `last_row`.
constexpr Block StoreDrawColumn(int32_t last_row) { return {kStoreTop, {last_row, kStoreDrawCol}}; }

// ---------------------------------------------------------------------------
// The paste sheet: a copied table is pasted at A1 after the sheet's used
// area is cleared.

inline constexpr Cell kPasteTop{1, 1};
// The hundred-draw table: draw numbers in column A, the five result digits
// in columns B to F, rows 14 to 113.
inline constexpr Block kHundredDraws{{14, 1}, {113, 6}};
// The table by date: columns A to K from row 1, draw number in A, the five
// result digits in C to G; its last row is searched upward from A100000.
inline constexpr int32_t kByDateCols = 11;
inline constexpr int32_t kByDateSearchRow = 100000;
inline constexpr int32_t kByDateFirstResultCol = 3;
inline constexpr int32_t kByDateLastResultCol = 7;
constexpr Block ByDateRows(int32_t last_row) { return {kPasteTop, {last_row, kByDateCols}}; }

// ---------------------------------------------------------------------------
// The analysis on the main sheet.

// One stage's parameters, its 3 by 9 method table (one row per method), its
// mark block and the message shown when its parameters cannot be used.
struct Stage {
  Cell kind;
  Cell size;
  Cell position;
  Cell window;
  Cell table;  // top-left cell of the method table
  Cell marks;  // top-left cell of the mark block
  // The first mark column holds the tested draw's number (stage 1 only).
  bool marks_with_draw_numbers;
};
inline constexpr int32_t kMethods = 3;
inline constexpr int32_t kMethodTableCols = 9;
inline constexpr Stage kStage1{{1, 2}, {2, 2}, {3, 2}, {4, 2}, {3, 4}, {3, 15}, true};
inline constexpr Stage kStage2{{7, 2}, {8, 2}, {9, 2}, {10, 2}, {9, 4}, {3, 20}, false};
// "ON" here runs the second stage after the first.
inline constexpr Cell kSecondStageSwitch{6, 2};
// The heading with the coming draw's number.
inline constexpr Cell kHeading{1, 4};
// The block Main clears before it runs: the marks of both stages.
inline constexpr Block kMarksCleared{{3, 15}, {10002, 22}};
// Every parameter cell the user sets, in sheet order.
inline constexpr std::array<Cell, 9> kParameterCells = {Cell{1, 2}, Cell{2, 2}, Cell{3, 2},
                                                        Cell{4, 2}, Cell{6, 2}, Cell{7, 2},
                                                        Cell{8, 2}, Cell{9, 2}, Cell{10, 2}};

constexpr Block MethodTable(const Stage& s) {
  return {s.table, {s.table.row + kMethods - 1, s.table.col + kMethodTableCols - 1}};
}
// The row of the method table that holds method k (1..3).
constexpr int32_t MethodRow(const Stage& s, int k) { return s.table.row + k - 1; }
// Column of the method table that holds the set for the coming draw.
constexpr int32_t SetColumn(const Stage& s) { return s.table.col + kMethodTableCols - 1; }

// The six sets that Copy1 to Copy6 copy: L3, L4, L5, L9, L10, L11.
// The number of method `method` (1 to 3) of stage `stage` (1 or 2) as the
// copies number them: 1 to 3, and 4 to 6 for the second stage.
constexpr int MethodNumber(int stage, int method) { return (stage - 1) * kMethods + method; }

constexpr Cell OutputCell(int index) {
  const Stage& s = index <= kMethods ? kStage1 : kStage2;
  return {MethodRow(s, (index - 1) % kMethods + 1), SetColumn(s)};
}

// ---------------------------------------------------------------------------
// The settings sheet: the bet-kind names, rows 1 to 6 of column A, under the
// workbook name KieuDanh.

inline constexpr char16_t kKindListName[] = u"KieuDanh";
inline constexpr Block kKindList{{1, 1}, {6, 1}};

// The sheets, found by their code names.
inline constexpr char16_t kMainSheetCode[] = u"Sheet1";
inline constexpr char16_t kPasteSheetCode[] = u"Sheet2";
inline constexpr char16_t kSettingsSheetCode[] = u"Sheet3";

}  // namespace kelvora::layout
