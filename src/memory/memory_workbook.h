// The in-memory back end of the host layer: a workbook that behaves like the
// spreadsheet host for every member the engine uses (value coercion on write,
// number formats, End, Sort order, ClearContents, HTML paste, Min, Trim).
// It is the test double of the engine and the model under the workbook-file
// back end, which loads a file into it and saves it back.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/cell_ref.h"
#include "host/host.h"
#include "host/platform.h"
#include "memory/cell_store.h"

namespace kelvora::host::memory {

// The grid, its blocks and their A1 addresses are the host's (cell_ref.h);
// the memory workbook and the code written against it name them here too.
using host::Area;
using host::ColumnLetters;
using host::kMaxCols;
using host::kMaxRows;
using host::ParseA1Area;

class MemoryWorkbook;
class MemoryApplication;

class MemoryWorksheet : public Worksheet, public std::enable_shared_from_this<MemoryWorksheet> {
 public:
  MemoryWorksheet(MemoryWorkbook* book, std::u16string code_name, std::u16string name);

  // Worksheet
  std::u16string CodeName() override { return code_name_; }
  std::u16string Name() override { return name_; }
  std::unique_ptr<Range> GetRange(const std::u16string& address_or_name) override;
  std::unique_ptr<Range> UsedRange() override;
  void Activate() override;
  void PasteSpecial(const std::u16string& format, bool link, bool display_as_icon,
                    bool no_html_formatting) override;

  // Direct access for back ends and tests. Cells outside the sheet's grid are
  // a programming error; reading an untouched cell gives an empty cell.
  // A copy of the cell.
  Cell CellAt(int32_t row, int32_t col) const { return cells_.Get(row, col); }
  // The value of that copy, read without building the cell.
  Value ValueAt(int32_t row, int32_t col) const { return cells_.ValueAt(row, col); }
  // Stores a cell as it is given (no coercion; `written` as set in it).
  void PutCell(int32_t row, int32_t col, const Cell& cell) { cells_.Set(row, col, cell); }
  // The cell by reference, for reading it or editing it in place; the
  // reference stays valid, and shows the cell's later changes, as long as
  // the sheet. A cell so used takes a whole cell's memory from then on
  // (cell_store.h), and these are not to be called while another thread
  // uses the sheet: loaders and the engine go through CellAt and PutCell.
  const Cell& cell(int32_t row, int32_t col) const { return cells_.View(row, col); }
  Cell& MutableCell(int32_t row, int32_t col);
  // Raw write of a value, without coercion and without marking it written
  // (used by loaders and test set-up).
  void PutValue(int32_t row, int32_t col, Value v);
  // The cell's style and written flag, read without building the cell.
  uint32_t CellStyle(int32_t row, int32_t col) const { return cells_.Style(row, col); }
  bool CellWritten(int32_t row, int32_t col) const { return cells_.Written(row, col); }
  // Sets the number format of a block ("@" for Text, "General", "0.00", ...).
  void SetNumberFormat(const Area& area, const std::u16string& format);
  // Room for records down to the block's last row in each of its columns
  // (an optimisation for loaders and block writes; nothing visible changes).
  void ReserveCells(const Area& area);
  // The style a column gives to cells that have no record of their own (a
  // file's column format): new cells in the column take it.
  void SetColumnStyle(int32_t col, uint32_t style);
  std::u16string NumberFormat(int32_t row, int32_t col) const;

  // Highest row / column holding any cell record (0 when none).
  int32_t UsedRows() const;
  int32_t UsedCols() const { return cells_.cols(); }
  // The block UsedRange gives: the cells with a value, a formula or a style
  // other than General; A1 alone when there are none.
  Area UsedArea() const;
  // Rows of column `col` that hold a record (0 when none).
  int32_t ColumnLength(int32_t col) const;

  void set_code_name(std::u16string c) { code_name_ = std::move(c); }
  void set_name(std::u16string n) { name_ = std::move(n); }
  MemoryWorkbook* book() const { return book_; }
  // The selected cell (row, col) of this sheet.
  std::pair<int32_t, int32_t> selection() const { return selection_; }
  void set_selection(int32_t row, int32_t col) { selection_ = {row, col}; }

  // Helpers for MemoryRange.
  bool IsFilled(int32_t row, int32_t col) const;
  void WriteCoerced(int32_t row, int32_t col, const Value& v);
  void ClearCell(int32_t row, int32_t col);
  void SortArea(const Area& area, int32_t key_col, int order);

 private:
  MemoryWorkbook* book_;
  std::u16string code_name_;
  std::u16string name_;
  CellStore cells_;
  std::pair<int32_t, int32_t> selection_{1, 1};
};

// Defined name: a block of one sheet.
struct DefinedName {
  std::u16string name;
  std::weak_ptr<MemoryWorksheet> sheet;
  Area area;
};

class MemoryWorkbook : public Workbook {
 public:
  explicit MemoryWorkbook(MemoryApplication* app = nullptr);

  std::vector<std::shared_ptr<Worksheet>> Worksheets() override;

  // Adds a sheet at the end and returns it.
  std::shared_ptr<MemoryWorksheet> AddSheet(const std::u16string& code_name,
                                            const std::u16string& name);
  const std::vector<std::shared_ptr<MemoryWorksheet>>& sheets() const { return sheets_; }
  std::shared_ptr<MemoryWorksheet> SheetByCodeName(const std::u16string& code_name) const;

  // Workbook-level names; lookup is case-insensitive as in the host.
  void DefineName(const std::u16string& name, const std::shared_ptr<MemoryWorksheet>& sheet,
                  const Area& area);
  const DefinedName* FindName(const std::u16string& name) const;
  const std::vector<DefinedName>& names() const { return names_; }

  MemoryWorksheet* active_sheet() const { return active_; }
  void set_active_sheet(MemoryWorksheet* s) { active_ = s; }

  // Style table: style 0 is General. A style here only carries its number
  // format; the file back end keeps a style's other formatting itself.
  uint32_t StyleWithNumberFormat(const std::u16string& format, uint32_t based_on = 0);
  const std::u16string& StyleNumberFormat(uint32_t style) const;
  // Replaces the style table (the file back end maps file styles 1:1).
  void SetStyleTable(std::vector<std::u16string> number_formats);
  size_t style_count() const { return style_formats_.size(); }
  // Styles derived by StyleWithNumberFormat: (base style, format) -> style.
  const std::map<std::pair<uint32_t, std::u16string>, uint32_t>& derived_styles() const {
    return derived_;
  }

  MemoryApplication* app() const { return app_; }
  void set_app(MemoryApplication* app) { app_ = app; }

 private:
  MemoryApplication* app_;
  std::vector<std::shared_ptr<MemoryWorksheet>> sheets_;
  std::vector<DefinedName> names_;
  MemoryWorksheet* active_ = nullptr;
  std::vector<std::u16string> style_formats_{u"General"};
  std::map<std::pair<uint32_t, std::u16string>, uint32_t> derived_;
};

class MemoryWorksheetFunction : public WorksheetFunction {
 public:
  double Min(double a, double b) override { return a < b ? a : b; }
  std::u16string Trim(const std::u16string& text) override { return TrimSpaces(text); }
};

// The application: its settings are recorded so that tests can see them, and
// its pastes read the clipboard it is given.
class MemoryApplication : public Application {
 public:
  MemoryApplication();

  std::shared_ptr<WorksheetFunction> GetWorksheetFunction() override;
  void SetScreenUpdating(bool on) override;
  void SetDisplayAlerts(bool on) override;
  void SetCutCopyMode(bool on) override;
  void SetCellDragAndDrop(bool on) override;
  // An in-memory host has no window.
  std::intptr_t Hwnd() override { return 0; }

  bool screen_updating() const { return screen_updating_; }
  bool display_alerts() const { return display_alerts_; }
  bool cell_drag_and_drop() const { return cell_drag_and_drop_; }
  // Every property write in order, as "ScreenUpdating=false".
  const std::vector<std::string>& property_log() const { return property_log_; }
  void clear_property_log() { property_log_.clear(); }

  // The clipboard a paste reads its HTML from, as the host reads the
  // system's; null, or one without HTML, leaves nothing to paste. Not owned:
  // it must outlive the pastes.
  void set_clipboard(Clipboard* clipboard) { clipboard_ = clipboard; }
  Clipboard* clipboard() const { return clipboard_; }

 private:
  bool screen_updating_ = true;
  bool display_alerts_ = true;
  bool cell_drag_and_drop_ = true;
  std::vector<std::string> property_log_;
  Clipboard* clipboard_ = nullptr;
  std::shared_ptr<MemoryWorksheetFunction> function_;
};

}  // namespace kelvora::host::memory
