#include "host/xlsx/sheet_rewriter.h"

#include <cmath>
#include <cstring>
#include <map>
#include <unordered_map>

#include "host/cell_ref.h"
#include "host/xlsx/formula_shift.h"
#include "host/xlsx/part_xml.h"
#include "host/xlsx/xlsx_text.h"

namespace kelvora::host::xlsx {

using memory::Cell;
using memory::MemoryWorksheet;

namespace {

uint64_t Key(int32_t row, int32_t col) {
  return (static_cast<uint64_t>(row) << 15) | static_cast<uint64_t>(col);
}

bool IsXmlSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

// Appends the cell as the engine left it; false when nothing is to be
// written (an empty cell without a style).
// `implicit_style` is the style a cell without a record shows (its row's or
// column's); an empty cell of that style needs no record.
bool AppendCell(std::string& out, const std::string& px, int32_t row, int32_t col, const Cell& cell,
                uint32_t implicit_style, bool date1904) {
  const host::Value& v = cell.value;
  if (v.IsEmpty() && cell.style == implicit_style) return false;
  Append(out, '<', px, "c r=\"");
  AppendCellRef(out, row, col);
  out += '"';
  if (cell.style != 0) Append(out, " s=\"", cell.style, '"');
  // The type attribute, then the value element and the cell's end.
  auto value = [&](std::string_view type, auto&& append_text) {
    Append(out, type, "><", px, "v>");
    append_text();
    Append(out, "</", px, "v></", px, "c>");
  };
  switch (v.type()) {
    case host::ValueType::kEmpty:
      out += "/>";
      break;
    case host::ValueType::kNumber:
      if (std::isfinite(v.number())) {
        value("", [&] { AppendNumberText(out, v.number()); });
      } else {
        value(" t=\"e\"", [&] { out += "#NUM!"; });
      }
      break;
    case host::ValueType::kDate:
      value("", [&] {
        AppendNumberText(out, date1904 ? v.date_serial() - k1904Offset : v.date_serial());
      });
      break;
    case host::ValueType::kBoolean:
      value(" t=\"b\"", [&] { out += v.boolean() ? '1' : '0'; });
      break;
    case host::ValueType::kError:
      value(" t=\"e\"", [&] { out += ErrorLiteral(v.error_code()); });
      break;
    case host::ValueType::kText: {
      const std::u16string& t = v.text();
      Append(out, " t=\"inlineStr\"><", px, "is><", px, 't');
      if (!t.empty() && (IsXmlSpace(t.front()) || IsXmlSpace(t.back()))) {
        out += " xml:space=\"preserve\"";
      }
      out += '>';
      AppendEscapedText(out, t);
      Append(out, "</", px, "t></", px, "is></", px, "c>");
      break;
    }
  }
  return true;
}

// A cell kept as it stood: brings its style up to date, and gives a member
// of a shared formula whose first cell was written its own formula.
struct SharedMaster {
  int32_t row, col;
  std::string text;
};

void UpdateKeptCell(pugi::xml_node orig, const MemoryWorksheet& sheet, const Cell& cell, int32_t r,
                    int32_t c, const std::map<std::string, SharedMaster>& masters) {
  if (cell.style != orig.attribute("s").as_uint(0)) {
    if (cell.style == 0) {
      orig.remove_attribute("s");
    } else {
      pugi::xml_attribute s = orig.attribute("s");
      if (!s) s = orig.append_attribute("s");
      s.set_value(cell.style);
    }
  }
  pugi::xml_node f = Child(orig, "f");
  if (!f || std::string_view(f.attribute("t").value()) != "shared") return;
  auto m = masters.find(f.attribute("si").value());
  if (m == masters.end() || !sheet.cell(m->second.row, m->second.col).written) return;
  const std::string moved = ShiftFormula(m->second.text, r - m->second.row, c - m->second.col);
  f.remove_attribute("t");
  f.remove_attribute("si");
  f.remove_attribute("ref");
  while (f.first_child()) f.remove_child(f.first_child());
  f.append_child(pugi::node_pcdata).set_value(moved.c_str());
}

// The row element's own attributes (height, style, outline) as written; the
// span hint is dropped since the cells may have changed.
std::string RowAttributes(pugi::xml_node row_node) {
  std::string attrs;
  for (pugi::xml_attribute a = row_node.first_attribute(); a; a = a.next_attribute()) {
    const std::string_view n = a.name();
    if (n == "r" || n == "spans") continue;
    Append(attrs, ' ', n, "=\"");
    AppendEscapedAttribute(attrs, a.value());
    attrs += '"';
  }
  return attrs;
}

}  // namespace

bool SheetHasWrites(const MemoryWorksheet& s) {
  for (int32_t c = 1; c <= s.UsedCols(); ++c) {
    const int32_t len = s.ColumnLength(c);
    for (int32_t r = 1; r <= len; ++r)
      if (s.cell(r, c).written) return true;
  }
  return false;
}

bool SheetUsesStyleFrom(const MemoryWorksheet& s, size_t first) {
  for (int32_t c = 1; c <= s.UsedCols(); ++c) {
    const int32_t len = s.ColumnLength(c);
    for (int32_t r = 1; r <= len; ++r)
      if (s.cell(r, c).style >= first) return true;
  }
  return false;
}

std::string RewriteSheet(const ZipPackage& package, const SheetPart& part, bool date1904,
                         bool* formula_overwritten) {
  const MemoryWorksheet& sheet = *part.sheet;
  pugi::xml_document doc;
  ParsePart(doc, package, part.path);
  const pugi::xml_node root = doc.document_element();
  const std::string px = PrefixOf(root.name());
  pugi::xml_node data = Child(root, "sheetData");
  if (!data) throw XlsxError("damaged workbook file (" + part.path + " has no cell table)");

  // The cells as they stand in the file.
  std::map<int32_t, pugi::xml_node> rows;
  std::unordered_map<uint64_t, pugi::xml_node> cells;
  cells.reserve(static_cast<size_t>(sheet.UsedRows()) * 2 + 64);
  std::map<std::string, SharedMaster> masters;
  std::unordered_map<int32_t, int32_t> last_file_col;
  int32_t row = 0;
  for (pugi::xml_node rn = data.first_child(); rn; rn = rn.next_sibling()) {
    if (LocalName(rn.name()) != "row") continue;
    const int32_t declared = rn.attribute("r").as_int(0);
    row = declared > 0 ? declared : row + 1;
    rows[row] = rn;
    int32_t col = 0;
    for (pugi::xml_node cn = rn.first_child(); cn; cn = cn.next_sibling()) {
      if (LocalName(cn.name()) != "c") continue;
      int32_t r = row, c = col + 1;
      if (const char* ref = cn.attribute("r").value(); *ref != 0) {
        ParseCellRef(std::string_view(ref), &r, &c);
      }
      col = c;
      if (r != row) rows.emplace(r, pugi::xml_node());
      cells[Key(r, c)] = cn;
      int32_t& last = last_file_col[r];
      last = std::max(last, c);
      pugi::xml_node f = Child(cn, "f");
      if (f && std::string_view(f.attribute("t").value()) == "shared" && f.attribute("ref") &&
          *f.child_value() != 0) {
        masters[f.attribute("si").value()] = {r, c, f.child_value()};
      }
    }
  }

  const int32_t used_rows = std::max(sheet.UsedRows(), rows.empty() ? 0 : rows.rbegin()->first);
  const int32_t used_cols = sheet.UsedCols();
  std::string out;
  out.reserve(static_cast<size_t>(used_rows) * 64);
  int32_t top = 0, left = 0, bottom = 0, right = 0;
  std::string row_cells;
  std::vector<int32_t> col_len(static_cast<size_t>(used_cols) + 1);
  for (int32_t c = 1; c <= used_cols; ++c) col_len[static_cast<size_t>(c)] = sheet.ColumnLength(c);

  for (int32_t r = 1; r <= used_rows; ++r) {
    auto row_it = rows.find(r);
    const pugi::xml_node row_node = row_it == rows.end() ? pugi::xml_node() : row_it->second;
    row_cells.clear();
    // Columns to visit: the memory sheet's, and beyond them the file's own.
    auto file_cols = last_file_col.find(r);
    const int32_t file_last = file_cols == last_file_col.end() ? 0 : file_cols->second;
    const int32_t last_col = std::max(used_cols, file_last);
    uint32_t row_style = 0;
    if (row_node) {
      const std::string_view custom = row_node.attribute("customFormat").value();
      if (custom == "1" || custom == "true") row_style = row_node.attribute("s").as_uint(0);
    }
    for (int32_t c = 1; c <= last_col; ++c) {
      const bool in_memory = c <= used_cols && r <= col_len[static_cast<size_t>(c)];
      pugi::xml_node orig;
      if (c <= file_last) {
        auto it = cells.find(Key(r, c));
        if (it != cells.end()) orig = it->second;
      }
      if (!in_memory && !orig) continue;
      const Cell& cell = sheet.cell(r, c);
      bool emitted = false;
      if (orig && !cell.written) {
        // Kept as it stood, with its formula.
        UpdateKeptCell(orig, sheet, cell, r, c, masters);
        row_cells += PrintNode(orig);
        emitted = true;
      } else {
        if (orig && Child(orig, "f")) *formula_overwritten = true;
        const uint32_t implicit = row_style != 0 ? row_style : part.column_styles.At(c);
        if (!orig && cell.style == 0 && cell.value.IsEmpty()) {
          emitted = false;  // nothing was there and nothing is
        } else if (!orig && cell.style == 0 && implicit != 0) {
          // A new cell shows its row's or column's style.
          Cell styled = cell;
          styled.style = implicit;
          emitted = AppendCell(row_cells, px, r, c, styled, implicit, date1904);
        } else {
          emitted = AppendCell(row_cells, px, r, c, cell, implicit, date1904);
        }
      }
      if (emitted) {
        if (top == 0) top = r;
        bottom = r;
        if (left == 0 || c < left) left = c;
        right = std::max(right, c);
      }
    }
    const std::string attrs = row_node ? RowAttributes(row_node) : std::string();
    if (row_cells.empty() && attrs.empty()) continue;
    Append(out, '<', px, "row r=\"", r, '"', attrs);
    if (row_cells.empty()) {
      out += "/>";
    } else {
      Append(out, '>', row_cells, "</", px, "row>");
    }
  }

  if (pugi::xml_node dim = Child(root, "dimension")) {
    std::string ref = "A1";
    if (top != 0) {
      ref.clear();
      AppendCellRef(ref, top, left);
      if (bottom != top || right != left) {
        ref += ':';
        AppendCellRef(ref, bottom, right);
      }
    }
    pugi::xml_attribute a = dim.attribute("ref");
    if (!a) a = dim.append_attribute("ref");
    a.set_value(ref.c_str());
  }
  while (data.first_child()) data.remove_child(data.first_child());
  data.append_child("kelvora-cell-table");
  std::string xml = PrintDocument(doc);
  for (const char* marker : {"<kelvora-cell-table />", "<kelvora-cell-table/>"}) {
    const size_t at = xml.find(marker);
    if (at != std::string::npos) {
      xml.replace(at, std::strlen(marker), out);
      return xml;
    }
  }
  throw XlsxError("internal error: cannot place the cell table of " + part.path);
}

}  // namespace kelvora::host::xlsx
