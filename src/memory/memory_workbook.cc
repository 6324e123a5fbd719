#include "memory/memory_workbook.h"

#include <algorithm>
#include <cassert>
#include <utility>

#include "host/convert.h"
#include "host/error.h"
#include "html/html_paste.h"
#include "text/utf.h"

namespace kelvora::host::memory {
namespace {

char16_t FoldCase(char16_t c) {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
  // Latin Extended-A and Latin Extended Additional pair upper (even) and
  // lower (odd) case letters; this covers every Vietnamese letter.
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177) || (c >= 0x1E00 && c <= 0x1EFF)) {
    return static_cast<char16_t>(c | 1);
  }
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
    return (c & 1) ? static_cast<char16_t>(c + 1) : c;
  }
  if (c == 0x1A0 || c == 0x1AF) return static_cast<char16_t>(c + 1);  // Ơ, Ư
  if (c == 0x110) return 0x111;                                       // Đ
  return c;
}

int CompareTextNoCase(const std::u16string& a, const std::u16string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const char16_t x = FoldCase(a[i]), y = FoldCase(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

// Rank of a value's type in the ascending sort order.
int TypeRank(const Value& v) {
  switch (v.type()) {
    case ValueType::kNumber:
    case ValueType::kDate:
      return 0;
    case ValueType::kText:
      return 1;
    case ValueType::kBoolean:
      return 2;
    case ValueType::kError:
      return 3;
    case ValueType::kEmpty:
      return 4;
  }
  return 4;
}

double SortNumber(const Value& v) { return v.IsDate() ? v.date_serial() : v.number(); }

// Three-way comparison of two non-blank keys in ascending order.
int CompareAscending(const Value& a, const Value& b) {
  const int ra = TypeRank(a), rb = TypeRank(b);
  if (ra != rb) return ra < rb ? -1 : 1;
  switch (ra) {
    case 0: {
      const double x = SortNumber(a), y = SortNumber(b);
      return x < y ? -1 : (x > y ? 1 : 0);
    }
    case 1:
      return CompareTextNoCase(a.text(), b.text());
    case 2:
      return a.boolean() == b.boolean() ? 0 : (a.boolean() ? 1 : -1);
    case 3:
      return a.error_code() == b.error_code() ? 0 : (a.error_code() < b.error_code() ? -1 : 1);
  }
  return 0;
}

bool IsBlankKey(const Cell& c) { return c.value.IsEmpty() && c.formula.empty(); }

[[noreturn]] void RangeFailed(const char* member) {
  ThrowHostRefused(std::string(member) + " method of Range class failed");
}

class MemoryRange : public Range {
 public:
  MemoryRange(std::shared_ptr<MemoryWorksheet> sheet, Area area)
      : sheet_(std::move(sheet)), area_(area) {}

  Value GetValue() override { return sheet_->ValueAt(area_.top, area_.left); }

  Table GetValues() override {
    Table t(area_.rows(), area_.cols());
    for (int32_t c = 0; c < area_.cols(); ++c) {
      const int32_t col = area_.left + c;
      const int32_t len = std::min(sheet_->ColumnLength(col), area_.bottom);
      for (int32_t r = area_.top; r <= len; ++r) {
        Value v = sheet_->ValueAt(r, col);
        if (!v.IsEmpty()) t(r - area_.top + 1, c + 1) = std::move(v);
      }
    }
    return t;
  }

  void SetValue(const Value& v) override {
    for (int32_t c = area_.left; c <= area_.right; ++c)
      for (int32_t r = area_.top; r <= area_.bottom; ++r) sheet_->WriteCoerced(r, c, v);
  }

  void SetValues(const Table& values) override {
    if (values.rows() != area_.rows() || values.cols() != area_.cols()) {
      RangeFailed("Value");
    }
    sheet_->ReserveCells(area_);
    // Row by row, in the order the table keeps its values.
    for (int32_t r = 1; r <= values.rows(); ++r)
      for (int32_t c = 1; c <= values.cols(); ++c)
        sheet_->WriteCoerced(area_.top + r - 1, area_.left + c - 1, values(r, c));
  }

  std::unique_ptr<Range> Resize(int32_t rows, int32_t cols) override {
    if (rows < 1 || cols < 1 || area_.top + rows - 1 > kMaxRows ||
        area_.left + cols - 1 > kMaxCols) {
      ThrowHostRefused("Application-defined or object-defined error");
    }
    return std::make_unique<MemoryRange>(
        sheet_, Area{area_.top, area_.left, area_.top + rows - 1, area_.left + cols - 1});
  }

  void ClearContents() override {
    for (int32_t c = area_.left; c <= area_.right; ++c) {
      const int32_t len = std::min(sheet_->ColumnLength(c), area_.bottom);
      for (int32_t r = area_.top; r <= len; ++r) sheet_->ClearCell(r, c);
    }
  }

  std::unique_ptr<Range> End(int direction) override {
    if (direction != kXlUp) ThrowHostRefused("End: only the upward direction is supported");
    const int32_t col = area_.left;
    int32_t r = area_.top;
    if (r > 1 && sheet_->IsFilled(r, col) && sheet_->IsFilled(r - 1, col)) {
      while (r > 1 && sheet_->IsFilled(r - 1, col)) --r;
    } else {
      r = std::min(r - 1, sheet_->ColumnLength(col));
      while (r >= 1 && !sheet_->IsFilled(r, col)) --r;
      if (r < 1) r = 1;
    }
    return std::make_unique<MemoryRange>(sheet_, Area{r, col, r, col});
  }

  int32_t Row() override { return area_.top; }
  int32_t Column() override { return area_.left; }

  void Sort(Range& key1, int order1) override {
    auto* key = dynamic_cast<MemoryRange*>(&key1);
    if (key == nullptr || (order1 != kXlAscending && order1 != kXlDescending)) RangeFailed("Sort");
    if (key->sheet_ != sheet_ || key->area_.left < area_.left || key->area_.left > area_.right) {
      RangeFailed("Sort");
    }
    sheet_->SortArea(area_, key->area_.left, order1);
  }

  void Select() override {
    if (sheet_->book()->active_sheet() != sheet_.get()) RangeFailed("Select");
    sheet_->set_selection(area_.top, area_.left);
  }

 private:
  std::shared_ptr<MemoryWorksheet> sheet_;
  Area area_;
};

}  // namespace

// ---------------------------------------------------------------------------
// MemoryWorksheet

MemoryWorksheet::MemoryWorksheet(MemoryWorkbook* book, std::u16string code_name,
                                 std::u16string name)
    : book_(book), code_name_(std::move(code_name)), name_(std::move(name)) {}

std::unique_ptr<Range> MemoryWorksheet::GetRange(const std::u16string& address_or_name) {
  if (auto area = ParseA1Area(address_or_name)) {
    return std::make_unique<MemoryRange>(shared_from_this(), *area);
  }
  if (const DefinedName* dn = book_->FindName(address_or_name)) {
    auto sheet = dn->sheet.lock();
    if (sheet.get() == this) return std::make_unique<MemoryRange>(shared_from_this(), dn->area);
  }
  ThrowHostRefused("Method 'Range' of object '_Worksheet' failed");
}

std::unique_ptr<Range> MemoryWorksheet::UsedRange() {
  return std::make_unique<MemoryRange>(shared_from_this(), UsedArea());
}

Area MemoryWorksheet::UsedArea() const {
  Area used{kMaxRows + 1, kMaxCols + 1, 0, 0};
  for (int32_t col = 1; col <= cells_.cols(); ++col) {
    const int32_t len = cells_.ColumnLength(col);
    for (int32_t row = 1; row <= len; ++row) {
      if (!cells_.Used(row, col)) continue;
      used = {std::min(used.top, row), std::min(used.left, col), std::max(used.bottom, row),
              std::max(used.right, col)};
    }
  }
  return used.bottom == 0 ? Area{1, 1, 1, 1} : used;
}

void MemoryWorksheet::Activate() { book_->set_active_sheet(this); }

void MemoryWorksheet::PasteSpecial(const std::u16string& format, bool /*link*/,
                                   bool /*display_as_icon*/, bool /*no_html_formatting*/) {
  MemoryApplication* app = book_->app();
  std::optional<Table> grid;
  if (format == u"HTML" && app != nullptr && app->clipboard() != nullptr) {
    if (const std::optional<std::string> html = app->clipboard()->GetHtml())
      grid = html::ConvertClipboardHtml(*html);
  }
  if (!grid.has_value() || grid->rows() == 0 || grid->cols() == 0) {
    ThrowHostRefused("PasteSpecial method of Worksheet class failed");
  }
  const auto [top, left] = selection_;
  const int32_t rows = std::min(grid->rows(), kMaxRows - top + 1);
  const int32_t cols = std::min(grid->cols(), kMaxCols - left + 1);
  for (int32_t c = 1; c <= cols; ++c) {
    for (int32_t r = 1; r <= rows; ++r) {
      Cell cell = CellAt(top + r - 1, left + c - 1);
      cell.value = std::move((*grid)(r, c));
      cell.formula.clear();
      cell.written = true;
      PutCell(top + r - 1, left + c - 1, cell);
    }
  }
}

Cell& MemoryWorksheet::MutableCell(int32_t row, int32_t col) {
  assert(row >= 1 && row <= kMaxRows && col >= 1 && col <= kMaxCols);
  return cells_.Whole(row, col);
}

void MemoryWorksheet::PutValue(int32_t row, int32_t col, Value v) {
  Cell cell = CellAt(row, col);
  cell.value = std::move(v);
  PutCell(row, col, cell);
}

void MemoryWorksheet::SetNumberFormat(const Area& area, const std::u16string& format) {
  for (int32_t c = area.left; c <= area.right; ++c) {
    for (int32_t r = area.top; r <= area.bottom; ++r) {
      cells_.SetStyle(r, c, book_->StyleWithNumberFormat(format, cells_.Style(r, c)));
    }
  }
}

void MemoryWorksheet::ReserveCells(const Area& area) {
  for (int32_t c = area.left; c <= area.right; ++c) cells_.Reserve(c, area.bottom);
}

void MemoryWorksheet::SetColumnStyle(int32_t col, uint32_t style) {
  assert(col >= 1 && col <= kMaxCols);
  cells_.SetColumnStyle(col, style);
}

std::u16string MemoryWorksheet::NumberFormat(int32_t row, int32_t col) const {
  return book_->StyleNumberFormat(cells_.Style(row, col));
}

int32_t MemoryWorksheet::UsedRows() const {
  int32_t rows = 0;
  for (int32_t c = 1; c <= cells_.cols(); ++c) rows = std::max(rows, cells_.ColumnLength(c));
  return rows;
}

int32_t MemoryWorksheet::ColumnLength(int32_t col) const { return cells_.ColumnLength(col); }

bool MemoryWorksheet::IsFilled(int32_t row, int32_t col) const { return cells_.Filled(row, col); }

void MemoryWorksheet::WriteCoerced(int32_t row, int32_t col, const Value& v) {
  // Writing nothing or an empty text leaves an empty cell.
  if (v.IsEmpty() || (v.IsText() && v.text().empty())) {
    cells_.WriteValue(row, col, Value());
    return;
  }
  if (v.IsText() && book_->StyleNumberFormat(cells_.Style(row, col)) != u"@") {
    if (auto d = ParseNumericText(v.text())) {
      // The host's cell entry reads decimal numbers only; "&H10" and "1D5"
      // stay text.
      const auto& t = v.text();
      const bool radix_or_d = t.find(u'&') != std::u16string::npos ||
                              t.find(u'D') != std::u16string::npos ||
                              t.find(u'd') != std::u16string::npos;
      if (!radix_or_d) {
        cells_.WriteValue(row, col, Value(*d));
        return;
      }
    }
  }
  cells_.WriteValue(row, col, v);
}

void MemoryWorksheet::ClearCell(int32_t row, int32_t col) { cells_.WriteValue(row, col, Value()); }

void MemoryWorksheet::SortArea(const Area& area, int32_t key_col, int order) {
  const int32_t rows = area.rows();
  std::vector<int32_t> idx(static_cast<size_t>(rows));
  for (int32_t i = 0; i < rows; ++i) idx[static_cast<size_t>(i)] = i;
  std::vector<Cell> keys(static_cast<size_t>(rows));
  for (int32_t i = 0; i < rows; ++i) keys[static_cast<size_t>(i)] = CellAt(area.top + i, key_col);
  std::stable_sort(idx.begin(), idx.end(), [&](int32_t a, int32_t b) {
    const Cell& x = keys[static_cast<size_t>(a)];
    const Cell& y = keys[static_cast<size_t>(b)];
    const bool bx = IsBlankKey(x), by = IsBlankKey(y);
    if (bx || by) return !bx && by;  // blanks last in both directions
    const int cmp = CompareAscending(x.value, y.value);
    return order == kXlDescending ? cmp > 0 : cmp < 0;
  });
  bool identity = true;
  for (int32_t i = 0; i < rows; ++i) identity = identity && idx[static_cast<size_t>(i)] == i;
  if (identity) return;
  for (int32_t c = area.left; c <= area.right; ++c) {
    if (ColumnLength(c) < area.top) {
      continue;  // nothing stored in this column of the block
    }
    std::vector<Cell> moved(static_cast<size_t>(rows));
    for (int32_t i = 0; i < rows; ++i)
      moved[static_cast<size_t>(i)] = CellAt(area.top + idx[static_cast<size_t>(i)], c);
    for (int32_t i = 0; i < rows; ++i) {
      Cell& moved_cell = moved[static_cast<size_t>(i)];
      moved_cell.written = true;
      PutCell(area.top + i, c, moved_cell);
    }
  }
}

// ---------------------------------------------------------------------------
// MemoryWorkbook

MemoryWorkbook::MemoryWorkbook(MemoryApplication* app) : app_(app) {}

std::vector<std::shared_ptr<Worksheet>> MemoryWorkbook::Worksheets() {
  return {sheets_.begin(), sheets_.end()};
}

std::shared_ptr<MemoryWorksheet> MemoryWorkbook::AddSheet(const std::u16string& code_name,
                                                          const std::u16string& name) {
  auto s = std::make_shared<MemoryWorksheet>(this, code_name, name);
  sheets_.push_back(s);
  if (active_ == nullptr) active_ = s.get();
  return s;
}

std::shared_ptr<MemoryWorksheet> MemoryWorkbook::SheetByCodeName(
    const std::u16string& code_name) const {
  for (const auto& s : sheets_)
    if (s->CodeName() == code_name) return s;
  return nullptr;
}

void MemoryWorkbook::DefineName(const std::u16string& name,
                                const std::shared_ptr<MemoryWorksheet>& sheet, const Area& area) {
  for (auto& dn : names_) {
    if (CompareTextNoCase(dn.name, name) == 0) {
      dn.sheet = sheet;
      dn.area = area;
      return;
    }
  }
  names_.push_back({name, sheet, area});
}

const DefinedName* MemoryWorkbook::FindName(const std::u16string& name) const {
  for (const auto& dn : names_)
    if (CompareTextNoCase(dn.name, name) == 0) return &dn;
  return nullptr;
}

uint32_t MemoryWorkbook::StyleWithNumberFormat(const std::u16string& format, uint32_t based_on) {
  if (StyleNumberFormat(based_on) == format) return based_on;
  auto key = std::make_pair(based_on, format);
  auto it = derived_.find(key);
  if (it != derived_.end()) return it->second;
  style_formats_.push_back(format);
  const auto id = static_cast<uint32_t>(style_formats_.size() - 1);
  derived_.emplace(key, id);
  return id;
}

const std::u16string& MemoryWorkbook::StyleNumberFormat(uint32_t style) const {
  if (style >= style_formats_.size()) return style_formats_[0];
  return style_formats_[style];
}

void MemoryWorkbook::SetStyleTable(std::vector<std::u16string> number_formats) {
  if (number_formats.empty()) number_formats.push_back(u"General");
  style_formats_ = std::move(number_formats);
  derived_.clear();
}

// ---------------------------------------------------------------------------
// MemoryApplication

MemoryApplication::MemoryApplication() : function_(std::make_shared<MemoryWorksheetFunction>()) {}

std::shared_ptr<WorksheetFunction> MemoryApplication::GetWorksheetFunction() { return function_; }

void MemoryApplication::SetScreenUpdating(bool on) {
  screen_updating_ = on;
  property_log_.push_back(std::string("ScreenUpdating=") + (on ? "true" : "false"));
}
void MemoryApplication::SetDisplayAlerts(bool on) {
  display_alerts_ = on;
  property_log_.push_back(std::string("DisplayAlerts=") + (on ? "true" : "false"));
}
void MemoryApplication::SetCutCopyMode(bool on) {
  property_log_.push_back(std::string("CutCopyMode=") + (on ? "true" : "false"));
}
void MemoryApplication::SetCellDragAndDrop(bool on) {
  cell_drag_and_drop_ = on;
  property_log_.push_back(std::string("CellDragAndDrop=") + (on ? "true" : "false"));
}

}  // namespace kelvora::host::memory
