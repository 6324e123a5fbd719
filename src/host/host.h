// The host layer: the spreadsheet objects every command reaches the workbook
// through. Each interface offers the members the engine uses, member for
// member, so that a back end can implement them by late-bound automation calls
// into the running spreadsheet (src/excel/), over an in-memory workbook
// (src/memory/) or over a workbook file loaded into memory
// (src/xlsx/). Nothing in the engine depends on which back end it runs on.
//
// Objects are shared (std::shared_ptr): holding one is holding a counted
// reference to the host object, releasing it gives the count back.
//
// Every member may fail. A failure is thrown as kelvora::CommandError with the
// error number and description the host reported (1004 for a member the host
// refused, such as a protected sheet or a paste with nothing to paste).
// Values move as whole tables: one range read and one range write per block.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/value.h"

namespace kelvora::host {

class Range;
class Worksheet;

// Direction value of Range::End that the engine uses: up.
inline constexpr int kXlUp = 3;
// Sort orders of Range::Sort.
inline constexpr int kXlAscending = 1;
inline constexpr int kXlDescending = 2;

// A block of cells on one worksheet, at least one cell.
class Range {
 public:
  virtual ~Range() = default;

  // The value of the top-left cell.
  virtual Value GetValue() = 0;
  // The values of the whole block, rows and columns counted from 1. A one-cell
  // range gives a 1 by 1 table.
  virtual Table GetValues() = 0;
  // Writes one value into every cell of the block. A text that reads as a
  // number is stored as that number, except in a cell whose number format is
  // Text ("@"); an empty text leaves the cell empty.
  virtual void SetValue(const Value& v) = 0;
  // Writes a table of the block's shape (same coercion as SetValue). A table
  // of another shape fails.
  virtual void SetValues(const Table& values) = 0;

  // The block of rows x cols cells that starts at this range's top-left cell.
  // A size below 1 fails (1004).
  virtual std::unique_ptr<Range> Resize(int32_t rows, int32_t cols) = 0;
  // Removes values and formulas; number formats and other formatting stay.
  virtual void ClearContents() = 0;
  // Only kXlUp is used: from an empty cell, the nearest non-empty cell above
  // it, or the cell in row 1 when there is none; from a non-empty cell whose
  // upper neighbour is non-empty, the top cell of that run; from a non-empty
  // cell whose upper neighbour is empty, the nearest non-empty cell above that
  // gap (row 1 when there is none).
  virtual std::unique_ptr<Range> End(int direction) = 0;
  // Row number of the first cell.
  virtual int32_t Row() = 0;
  // Column number of the first cell.
  virtual int32_t Column() = 0;
  // Reorders the block's rows by the column of `key1` (only its column
  // matters), no header row. Ascending: numbers (and dates) smallest first,
  // then texts compared without regard to case, then truth values (false
  // first), then errors; descending reverses that order. Blank cells come
  // last in both directions; rows that compare equal keep their order.
  virtual void Sort(Range& key1, int order1) = 0;
  // Selects the block as the target of the next paste. Its sheet must be the
  // active sheet, else the host refuses (1004).
  virtual void Select() = 0;
};

class Worksheet {
 public:
  virtual ~Worksheet() = default;
  // The sheet's programmatic name ("Sheet1"), which does not change when the
  // user renames the tab.
  virtual std::u16string CodeName() = 0;
  // The tab name the user sees.
  virtual std::u16string Name() = 0;
  // A range by A1 address text ("A17:B65016", "D3", "A:A" is not used) or by
  // a defined name ("KieuDanh") that refers to a block on this sheet.
  // An address or name the host does not know fails (1004).
  virtual std::unique_ptr<Range> GetRange(const std::u16string& address_or_name) = 0;
  // The block from the first to the last row and column that hold anything
  // (a value, a formula or formatting), as the host's UsedRange gives it; A1
  // alone on a sheet that holds nothing.
  virtual std::unique_ptr<Range> UsedRange() = 0;
  // Makes the sheet the workbook's active sheet.
  virtual void Activate() = 0;
  // Pastes the clipboard at the selection of the sheet. The engine passes
  // format "HTML", link false, display-as-icon false, no HTML formatting
  // true. Fails (1004) when the clipboard holds nothing the host can paste.
  virtual void PasteSpecial(const std::u16string& format, bool link, bool display_as_icon,
                            bool no_html_formatting) = 0;
};

class Workbook {
 public:
  virtual ~Workbook() = default;
  // The worksheets in the workbook's order.
  virtual std::vector<std::shared_ptr<Worksheet>> Worksheets() = 0;
};

class WorksheetFunction {
 public:
  virtual ~WorksheetFunction() = default;
  virtual double Min(double a, double b) = 0;
  // Removes spaces (code 32 only) at both ends and reduces every inner run of
  // spaces to one.
  virtual std::u16string Trim(const std::u16string& text) = 0;
};

class Application {
 public:
  virtual ~Application() = default;
  virtual std::shared_ptr<WorksheetFunction> GetWorksheetFunction() = 0;
  virtual void SetScreenUpdating(bool on) = 0;
  virtual void SetDisplayAlerts(bool on) = 0;
  // The engine only ever passes false: the pending cut or copy is ended.
  virtual void SetCutCopyMode(bool on) = 0;
  virtual void SetCellDragAndDrop(bool on) = 0;
  // The handle of the host's main window, for the system calls that want an
  // owner window (the clipboard); 0 when the host has no window, as the
  // in-memory and workbook-file hosts have none.
  virtual std::intptr_t Hwnd() = 0;
};

// The host's TRIM rule, shared by back ends that compute it themselves.
std::u16string TrimSpaces(const std::u16string& text);

}  // namespace kelvora::host
