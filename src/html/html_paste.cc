// The HTML paste of the in-memory workbook: clipboard HTML becomes a grid of
// typed cell values, laid out the way the spreadsheet host pastes a web page
// without its formatting.
//
// Layout rules (the page is read as html_text.h describes):
// - Pieces stack downward from the grid's first row, in page order.
// - A block line outside tables (heading, paragraph, list item, div, a line
//   ended by <br>) takes one row, in the first column.
// - Every table row takes one row; every cell (td or th) one cell, in the
//   column a browser gives it: a colspan cell takes its first column and
//   leaves the columns it spans empty; a rowspan cell keeps its columns
//   occupied in the rows below (to the end of its row group, rowspan="0" to
//   the end of the group), so later cells of those rows move right.
//   colspan is clamped to 1..1000, rowspan to 0..65534, as browsers do.
// - A <br> inside a cell moves what follows to the cell below; the table
//   row then takes as many rows as its tallest cell, and the next table row
//   starts below them. When a style sheet of the page sets
//   mso-data-placement:same-cell (or the br carries it in its own style),
//   the line break stays inside the cell as a line feed.
// - A nested table's text belongs to the outer cell (see html_text.h).
// - Cell text is whitespace-collapsed and trimmed (no-break spaces too); an
//   empty text leaves an empty cell.
// - A text that reads wholly as a decimal number (optional sign, digits with
//   optional thousands groups of three, optional fraction and E exponent)
//   becomes that number, so leading zeros are lost; no hexadecimal, octal or
//   D-exponent forms, no blanks inside. Unless the cell, its row, row group or
//   table carries mso-number-format:"\@" (or \@): then it stays text.
//   Dates, percentages and everything else stay text. Block lines follow the
//   same number rule.
// - The grid is clamped to the sheet (1048576 rows, 16384 columns); cells
//   past that are dropped.
// - HTML without any text gives nothing (the paste fails), and so does a grid
//   of more than kMaxPasteCells cells, which this host will not allocate.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "host/cell_ref.h"
#include "host/convert.h"
#include "html/html_paste.h"
#include "html/html_text.h"
#include "text/utf.h"

namespace kelvora::html {

using host::kMaxCols;
using host::kMaxRows;
using host::ParseNumericText;
using host::Table;
using host::Value;

namespace {

// About 170 MB of cell values; far above any result page.
constexpr int64_t kMaxPasteCells = int64_t{1} << 22;

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The integer part of a number with thousands separators must be grouped by
// threes: "1,234,567" reads, "1,2" and "12,34" do not.
bool ThousandsGroupsValid(std::u16string_view t) {
  size_t i = 0;
  if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) ++i;
  size_t end = i;
  while (end < t.size() && (IsDigit(t[end]) || t[end] == u',')) ++end;
  const std::u16string_view integer = t.substr(i, end - i);
  if (integer.find(u',') == std::u16string_view::npos) return true;
  const size_t first = integer.find(u',');
  if (first == 0 || first > 3) return false;
  for (size_t p = first; p < integer.size(); p += 4) {
    if (integer[p] != u',' || p + 4 > integer.size()) return false;
    for (size_t k = 1; k <= 3; ++k)
      if (!IsDigit(integer[p + k])) return false;
  }
  return true;
}

std::optional<double> ReadDecimalNumber(std::u16string_view t) {
  for (char16_t c : t) {
    if (c == u'&' || c == u'D' || c == u'd' || c == u' ' || c == u'\t' || c == u'\n') {
      return std::nullopt;
    }
  }
  if (!ThousandsGroupsValid(t)) return std::nullopt;
  return ParseNumericText(t);
}

Value CellValue(const std::string& utf8, bool as_text) {
  if (utf8.empty()) return Value();
  std::u16string text = Utf8ToUtf16(utf8);
  if (!as_text) {
    if (auto d = ReadDecimalNumber(text)) return Value(*d);
  }
  return Value(std::move(text));
}

struct Entry {
  int32_t row;
  int32_t col;
  Value value;
};

class GridBuilder {
 public:
  explicit GridBuilder(bool br_same_cell) : br_same_cell_(br_same_cell) {}

  void AddBlock(const std::string& text) {
    if (next_row_ > kMaxRows) return;
    Put(next_row_, 1, CellValue(text, false));
    width_ = std::max(width_, 1);
    ++next_row_;
  }

  void AddTable(const std::vector<HtmlTableRow>& rows) {
    // pending[c]: further table rows in which column c is still covered by a
    // rowspan cell of a row above.
    std::vector<int32_t> pending;
    std::vector<char> occupied;
    int32_t group = std::numeric_limits<int32_t>::min();
    for (const HtmlTableRow& row : rows) {
      if (next_row_ > kMaxRows) return;
      if (row.group != group) {
        std::fill(pending.begin(), pending.end(), 0);  // rowspans end with their group
        group = row.group;
      }
      occupied.assign(pending.size(), 0);
      for (size_t c = 0; c < pending.size(); ++c) {
        if (pending[c] > 0) {
          occupied[c] = 1;
          --pending[c];
        }
      }
      int32_t col = 0;  // 0-based
      int32_t height = 1;
      for (const HtmlCell& cell : row.cells) {
        while (static_cast<size_t>(col) < occupied.size() && occupied[static_cast<size_t>(col)])
          ++col;
        if (col >= kMaxCols) break;
        const int32_t span = std::min(cell.colspan, kMaxCols - col);
        const int32_t below =
            cell.rowspan == 0 ? std::numeric_limits<int32_t>::max() : cell.rowspan - 1;
        if (below > 0) {
          if (pending.size() < static_cast<size_t>(col + span))
            pending.resize(static_cast<size_t>(col + span), 0);
          for (int32_t c = col; c < col + span; ++c)
            pending[static_cast<size_t>(c)] = std::max(pending[static_cast<size_t>(c)], below);
        }
        height = std::max(height, PlaceCell(cell, col + 1));
        width_ = std::max(width_, col + span);
        col += span;
      }
      next_row_ += height;
    }
  }

  std::optional<Table> Finish() {
    if (!any_text_) return std::nullopt;
    const int32_t rows = std::min(next_row_ - 1, kMaxRows);
    if (rows < 1 || width_ < 1) return std::nullopt;
    if (int64_t{rows} * width_ > kMaxPasteCells) return std::nullopt;
    Table grid(rows, width_);
    for (Entry& e : entries_) grid(e.row, e.col) = std::move(e.value);
    return grid;
  }

 private:
  // Places a cell's lines from the current row down; returns the rows used.
  int32_t PlaceCell(const HtmlCell& cell, int32_t col) {
    int32_t used = 0;
    std::string text;
    auto emit = [&] {
      if (next_row_ + used <= kMaxRows) Put(next_row_ + used, col, CellValue(text, cell.as_text));
      ++used;
      text.clear();
    };
    for (size_t i = 0; i < cell.lines.size(); ++i) {
      const HtmlCellLine& line = cell.lines[i];
      if (i > 0) {
        if (br_same_cell_ || line.same_cell_break) {
          text += '\n';
        } else {
          emit();
        }
      }
      text += line.text;
    }
    emit();
    return used;
  }

  void Put(int32_t row, int32_t col, Value v) {
    if (v.IsEmpty()) return;
    any_text_ = true;
    entries_.push_back({row, col, std::move(v)});
  }

  bool br_same_cell_;
  int32_t next_row_ = 1;
  int32_t width_ = 0;
  bool any_text_ = false;
  std::vector<Entry> entries_;
};

}  // namespace

std::optional<Table> ConvertClipboardHtml(std::string_view html) {
  const HtmlDocument doc = ReadClipboardHtml(html);
  GridBuilder grid(doc.br_same_cell);
  for (const HtmlPiece& piece : doc.pieces) {
    if (piece.is_table) {
      grid.AddTable(piece.rows);
    } else {
      grid.AddBlock(piece.text);
    }
  }
  return grid.Finish();
}

}  // namespace kelvora::html
