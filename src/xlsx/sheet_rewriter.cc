#include "xlsx/sheet_rewriter.h"

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "host/cell_ref.h"
#include "text/markup_escape.h"
#include "xlsx/formula_shift.h"
#include "xlsx/part_xml.h"
#include "xlsx/sheet_chunks.h"
#include "xlsx/xlsx_text.h"

namespace kelvora::host::xlsx {

using memory::Cell;
using memory::MemoryWorksheet;

namespace {

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

// `f` is the cell's formula element, null when it has none.
void UpdateKeptCell(pugi::xml_node orig, pugi::xml_node f, const MemoryWorksheet& sheet,
                    const Cell& cell, int32_t r, int32_t c,
                    const std::map<std::string, SharedMaster>& masters) {
  if (cell.style != orig.attribute("s").as_uint(0)) {
    if (cell.style == 0) {
      orig.remove_attribute("s");
    } else {
      pugi::xml_attribute s = orig.attribute("s");
      if (!s) s = orig.append_attribute("s");
      s.set_value(cell.style);
    }
  }
  if (!f || std::string_view(f.attribute("t").value()) != "shared") return;
  auto m = masters.find(f.attribute("si").value());
  if (m == masters.end() || !sheet.CellWritten(m->second.row, m->second.col)) return;
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
    AppendEscapedMarkup(attrs, a.value());
    attrs += '"';
  }
  return attrs;
}

}  // namespace

bool SheetHasWrites(const MemoryWorksheet& s) {
  for (int32_t c = 1; c <= s.UsedCols(); ++c) {
    const int32_t len = s.ColumnLength(c);
    for (int32_t r = 1; r <= len; ++r)
      if (s.CellWritten(r, c)) return true;
  }
  return false;
}

bool SheetUsesStyleFrom(const MemoryWorksheet& s, size_t first) {
  for (int32_t c = 1; c <= s.UsedCols(); ++c) {
    const int32_t len = s.ColumnLength(c);
    for (int32_t r = 1; r <= len; ++r)
      if (s.CellStyle(r, c) >= first) return true;
  }
  return false;
}

namespace {

// A cell of the file: its column, element and formula element (null when
// it has none).
struct FileCell {
  int32_t col;
  pugi::xml_node node;
  pugi::xml_node f;
};

// Writes the new cell table row by row, each row merging the cells of the
// memory sheet with the file's own, and keeps the used range. The table is
// deflated as it is written; the part around it, which holds the used
// range, is deflated when the table is done.
class CellTableWriter {
 public:
  CellTableWriter(const SheetPart& part, std::string px, bool date1904, bool* formula_overwritten)
      : part_(part),
        sheet_(*part.sheet),
        px_(std::move(px)),
        date1904_(date1904),
        formula_overwritten_(formula_overwritten),
        used_cols_(sheet_.UsedCols()),
        col_len_(static_cast<size_t>(used_cols_) + 1) {
    for (int32_t c = 1; c <= used_cols_; ++c)
      col_len_[static_cast<size_t>(c)] = sheet_.ColumnLength(c);
  }

  std::map<std::string, SharedMaster>& masters() { return masters_; }

  // Row `r`: its element in the file (null when none) and the file's cells
  // of that row in column order, one per column.
  void Row(int32_t r, pugi::xml_node row_node, const std::vector<FileCell>& file_cells) {
    row_cells_.clear();
    // Columns to visit: the memory sheet's, and beyond them the file's own.
    const int32_t file_last = file_cells.empty() ? 0 : file_cells.back().col;
    const int32_t last_col = std::max(used_cols_, file_last);
    uint32_t row_style = 0;
    if (row_node) {
      const std::string_view custom = row_node.attribute("customFormat").value();
      if (custom == "1" || custom == "true") row_style = row_node.attribute("s").as_uint(0);
    }
    size_t next_file = 0;
    for (int32_t c = 1; c <= last_col; ++c) {
      const bool in_memory = c <= used_cols_ && r <= col_len_[static_cast<size_t>(c)];
      pugi::xml_node orig, orig_f;
      if (next_file < file_cells.size() && file_cells[next_file].col == c) {
        orig = file_cells[next_file].node;
        orig_f = file_cells[next_file++].f;
      }
      if (!in_memory && !orig) continue;
      const Cell cell = sheet_.CellAt(r, c);
      bool emitted = false;
      if (orig && !cell.written) {
        // Kept as it stood, with its formula.
        UpdateKeptCell(orig, orig_f, sheet_, cell, r, c, masters_);
        AppendNode(row_cells_, orig);
        emitted = true;
      } else {
        if (orig_f) *formula_overwritten_ = true;
        const uint32_t implicit = row_style != 0 ? row_style : part_.column_styles.At(c);
        if (!orig && cell.style == 0 && cell.value.IsEmpty()) {
          emitted = false;  // nothing was there and nothing is
        } else if (!orig && cell.style == 0 && implicit != 0) {
          // A new cell shows its row's or column's style.
          Cell styled = cell;
          styled.style = implicit;
          emitted = AppendCell(row_cells_, px_, r, c, styled, implicit, date1904_);
        } else {
          emitted = AppendCell(row_cells_, px_, r, c, cell, implicit, date1904_);
        }
      }
      if (emitted) {
        if (top_ == 0) top_ = r;
        bottom_ = r;
        if (left_ == 0 || c < left_) left_ = c;
        right_ = std::max(right_, c);
      }
    }
    const std::string attrs = row_node ? RowAttributes(row_node) : std::string();
    if (row_cells_.empty() && attrs.empty()) return;
    Append(out_, '<', px_, "row r=\"", r, '"', attrs);
    if (row_cells_.empty()) {
      out_ += "/>";
    } else {
      Append(out_, '>', row_cells_, "</", px_, "row>");
    }
    if (out_.size() >= kDeflateBytes) {
      deflater_.Append(kTable, out_);
      out_.clear();
    }
  }

  // The rows of the memory sheet from `first` to `last` that the file does
  // not have.
  void MemoryRows(int32_t first, int32_t last) {
    static const std::vector<FileCell> kNone;
    for (int32_t r = first; r <= last; ++r) Row(r, pugi::xml_node(), kNone);
  }

  // The part: `doc` (the part with an empty cell table, which `root` and
  // `data` are of) with the cell table written and the dimension set to the
  // used range.
  DeflatedEntry Finish(const pugi::xml_document& doc, pugi::xml_node root, pugi::xml_node data) {
    if (pugi::xml_node dim = Child(root, "dimension")) {
      std::string ref = "A1";
      if (top_ != 0) {
        ref.clear();
        AppendCellRef(ref, top_, left_);
        if (bottom_ != top_ || right_ != left_) {
          ref += ':';
          AppendCellRef(ref, bottom_, right_);
        }
      }
      pugi::xml_attribute a = dim.attribute("ref");
      if (!a) a = dim.append_attribute("ref");
      a.set_value(ref.c_str());
    }
    while (data.first_child()) data.remove_child(data.first_child());
    data.append_child("kelvora-cell-table");
    const std::string xml = PrintDocument(doc);
    for (const char* marker : {"<kelvora-cell-table />", "<kelvora-cell-table/>"}) {
      const size_t at = xml.find(marker);
      if (at == std::string::npos) continue;
      deflater_.Append(kBefore, std::string_view(xml).substr(0, at));
      deflater_.Append(kTable, out_);
      deflater_.Append(kAfter, std::string_view(xml).substr(at + std::strlen(marker)));
      return deflater_.Finish();
    }
    throw XlsxError("internal error: cannot place the cell table of " + part_.path);
  }

 private:
  const SheetPart& part_;
  const MemoryWorksheet& sheet_;
  const std::string px_;
  const bool date1904_;
  bool* const formula_overwritten_;
  const int32_t used_cols_;
  std::vector<int32_t> col_len_;
  std::map<std::string, SharedMaster> masters_;
  // The part's text before the table, the table's, and after it.
  enum { kBefore, kTable, kAfter };
  // The table's text held before it is deflated.
  static constexpr size_t kDeflateBytes = size_t{256} << 10;
  EntryDeflater deflater_{3};
  std::string out_, row_cells_;
  int32_t top_ = 0, left_ = 0, bottom_ = 0, right_ = 0;
};

// The shared formula whose first cell has the formula element `f`, if it
// is one.
std::optional<std::pair<std::string, std::string>> MasterOf(pugi::xml_node f) {
  if (f && std::string_view(f.attribute("t").value()) == "shared" && f.attribute("ref") &&
      *f.child_value() != 0)
    return std::make_pair(std::string(f.attribute("si").value()), std::string(f.child_value()));
  return std::nullopt;
}

// The rewrite from the whole part parsed as one document; it takes cells
// in any order.
DeflatedEntry RewriteWhole(const std::string& text, const SheetPart& part, bool date1904,
                           bool* formula_overwritten) {
  const MemoryWorksheet& sheet = *part.sheet;
  pugi::xml_document doc;
  ParseXml(doc, text, part.path);
  const pugi::xml_node root = doc.document_element();
  pugi::xml_node data = Child(root, "sheetData");
  if (!data) throw XlsxError("damaged workbook file (" + part.path + " has no cell table)");
  CellTableWriter writer(part, PrefixOf(root.name()), date1904, formula_overwritten);

  // The cells as they stand in the file; a later element of the same row or
  // cell counts.
  struct FileRow {
    pugi::xml_node node;
    std::map<int32_t, FileCell> cells;
  };
  std::map<int32_t, FileRow> rows;
  int32_t row = 0;
  for (pugi::xml_node rn = data.first_child(); rn; rn = rn.next_sibling()) {
    if (LocalName(rn.name()) != "row") continue;
    const int32_t declared = rn.attribute("r").as_int(0);
    row = declared > 0 ? declared : row + 1;
    rows[row].node = rn;
    int32_t col = 0;
    for (pugi::xml_node cn = rn.first_child(); cn; cn = cn.next_sibling()) {
      if (LocalName(cn.name()) != "c") continue;
      const CellElement e = ReadCellElement(cn);
      int32_t r = row, c = col + 1;
      if (const char* ref = e.r.value(); *ref != 0) {
        ParseCellRef(std::string_view(ref), &r, &c);
      }
      col = c;
      rows[r].cells[c] = {c, cn, e.f};
      if (auto m = MasterOf(e.f)) writer.masters()[m->first] = {r, c, std::move(m->second)};
    }
  }

  const int32_t used_rows = std::max(sheet.UsedRows(), rows.empty() ? 0 : rows.rbegin()->first);
  std::vector<FileCell> cells;
  int32_t next = 1;
  for (const auto& [r, file_row] : rows) {
    if (r > used_rows) break;
    writer.MemoryRows(next, r - 1);
    cells.clear();
    for (const auto& [c, cell] : file_row.cells) cells.push_back(cell);
    writer.Row(r, file_row.node, cells);
    next = r + 1;
  }
  writer.MemoryRows(next, used_rows);
  return writer.Finish(doc, root, data);
}

// Thrown by the piecewise rewrite when the file's cells need the whole
// document: rows or cells out of order, or a member of a shared formula
// met before its first cell.
struct NeedsWhole {};

// The rewrite from the cell table read piece by piece, for rows and cells
// in order (as spreadsheet programs write them).
DeflatedEntry RewriteInPieces(SheetChunks& chunks, const SheetPart& part, bool date1904,
                              bool* formula_overwritten) {
  const MemoryWorksheet& sheet = *part.sheet;
  pugi::xml_document head;
  if (!ParseSkeleton(chunks, head, part.path)) throw NeedsWhole{};
  CellTableWriter writer(part, PrefixOf(head.document_element().name()), date1904,
                         formula_overwritten);

  std::vector<FileCell> cells;
  int32_t row = 0, next = 1;
  const bool read = ReadPieces(chunks, part.path, [&](pugi::xml_node first) {
    for (pugi::xml_node rn = first; rn; rn = rn.next_sibling()) {
      if (LocalName(rn.name()) != "row") continue;
      const int32_t declared = rn.attribute("r").as_int(0);
      const int32_t r = declared > 0 ? declared : row + 1;
      if (r <= row) throw NeedsWhole{};
      row = r;
      cells.clear();
      for (pugi::xml_node cn = rn.first_child(); cn; cn = cn.next_sibling()) {
        if (LocalName(cn.name()) != "c") continue;
        const CellElement e = ReadCellElement(cn);
        int32_t cr = row, c = cells.empty() ? 1 : cells.back().col + 1;
        if (const char* ref = e.r.value(); *ref != 0) {
          if (!ParseCellRef(std::string_view(ref), &cr, &c)) throw NeedsWhole{};
        }
        if (cr != row || (!cells.empty() && c <= cells.back().col)) throw NeedsWhole{};
        cells.push_back({c, cn, e.f});
        if (auto m = MasterOf(e.f)) {
          if (!writer.masters().emplace(m->first, SharedMaster{r, c, std::move(m->second)}).second)
            throw NeedsWhole{};
        }
      }
      // A kept member of a shared formula needs its first cell seen.
      for (const FileCell& fc : cells) {
        if (fc.f && std::string_view(fc.f.attribute("t").value()) == "shared" &&
            !writer.masters().count(fc.f.attribute("si").value()))
          throw NeedsWhole{};
      }
      writer.MemoryRows(next, row - 1);
      writer.Row(row, rn, cells);
      next = row + 1;
    }
  });
  if (!read) throw NeedsWhole{};
  writer.MemoryRows(next, sheet.UsedRows());
  // The part around the table, now read to its end.
  pugi::xml_document doc;
  if (!ParseSkeleton(chunks, doc, part.path)) throw NeedsWhole{};
  const pugi::xml_node root = doc.document_element();
  return writer.Finish(doc, root, Child(root, "sheetData"));
}

}  // namespace

DeflatedEntry RewriteSheet(const ZipPackage& package, const SheetPart& part, bool date1904,
                           bool* formula_overwritten) {
  // The part is read piece by piece as it is inflated where it can be cut;
  // else, or when the pieces do not do, it is read again whole.
  try {
    std::shared_ptr<ZipPackage::EntryReader> entry = package.Open(part.path);
    auto chunks = SheetChunks::Stream([entry](char* out, size_t n) { return entry->Read(out, n); });
    if (chunks) {
      bool overwritten = false;
      DeflatedEntry sheet = RewriteInPieces(*chunks, part, date1904, &overwritten);
      *formula_overwritten |= overwritten;
      return sheet;
    }
  } catch (const NeedsWhole&) {
  } catch (const XlsxError&) {
    // A damaged part: the whole reading tells what is wrong, as it always has.
  }
  return RewriteWhole(package.Read(part.path), part, date1904, formula_overwritten);
}

}  // namespace kelvora::host::xlsx
