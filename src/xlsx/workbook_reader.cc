#include "xlsx/workbook_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>

#include "host/cell_ref.h"
#include "text/utf.h"
#include "xlsx/part_xml.h"
#include "xlsx/sheet_chunks.h"
#include "xlsx/xlsx_text.h"

namespace kelvora::host::xlsx {

using memory::Cell;
using memory::MemoryWorksheet;

uint32_t ColumnStyles::At(int32_t col) const {
  for (const auto& s : spans)
    if (col >= s.first && col <= s.last) return s.style;
  return 0;
}

namespace {

// Cell records the memory workbook may hold for one file (16 bytes each):
// 8M, over five times a full store with its outputs.
constexpr uint64_t kMaxCellSlots = uint64_t{8} << 20;

// Text of a <si> or <is>: its <t>, or the <t> of every run; phonetic runs
// are not part of the text.
std::u16string RichText(pugi::xml_node node) {
  std::u16string out;
  for (pugi::xml_node n = node.first_child(); n; n = n.next_sibling()) {
    const std::string_view name = LocalName(n.name());
    if (name == "t") {
      out += Utf8ToUtf16(n.child_value());
    } else if (name == "r") {
      for (pugi::xml_node t = n.first_child(); t; t = t.next_sibling())
        if (LocalName(t.name()) == "t") out += Utf8ToUtf16(t.child_value());
    }
  }
  return DecodeEscapes(out);
}

std::optional<double> ParseDouble(const char* s) {
  if (s == nullptr || *s == 0) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const double d = std::strtod(s, &end);
  while (end != nullptr && (*end == ' ' || *end == '\t' || *end == '\n' || *end == '\r')) ++end;
  if (end == s || *end != 0) return std::nullopt;
  return d;
}

// Serial day number (1900 system) of an ISO 8601 date-time, for cells of
// type "d".
std::optional<double> IsoDateSerial(std::string_view s) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0;
  double sec = 0;
  const std::string str(s);
  const int n = std::sscanf(str.c_str(), "%d-%d-%dT%d:%d:%lf", &y, &mo, &d, &h, &mi, &sec);
  if (n < 3 || mo < 1 || mo > 12 || d < 1 || d > 31 || y < 1900 || y > 9999) return std::nullopt;
  // Days from civil (proleptic Gregorian), 1899-12-30 as day 0, with the
  // 1900 leap-year slot before March 1900.
  auto days_from_civil = [](int64_t yy, int64_t mm, int64_t dd) {
    yy -= mm <= 2;
    const int64_t era = (yy >= 0 ? yy : yy - 399) / 400;
    const int64_t yoe = yy - era * 400;
    const int64_t doy = (153 * (mm + (mm > 2 ? -3 : 9)) + 2) / 5 + dd - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
  };
  double serial = static_cast<double>(days_from_civil(y, mo, d) - days_from_civil(1899, 12, 30));
  if (serial < 61) serial -= 1;
  serial += (h * 3600 + mi * 60 + sec) / 86400.0;
  return serial;
}

ColumnStyles ReadColumnStyles(pugi::xml_node worksheet, size_t style_count) {
  ColumnStyles styles;
  pugi::xml_node cols = Child(worksheet, "cols");
  for (pugi::xml_node c = cols.first_child(); c; c = c.next_sibling()) {
    if (LocalName(c.name()) != "col") continue;
    const uint32_t style = c.attribute("style").as_uint(0);
    const int32_t first = c.attribute("min").as_int(0);
    const int32_t last = std::min(c.attribute("max").as_int(0), kMaxCols);
    if (style == 0 || style >= style_count || first < 1 || last < first) continue;
    styles.spans.push_back({first, last, style});
  }
  return styles;
}

// The number format of every cellXfs entry of the styles part; General
// alone when there is none.
std::vector<std::u16string> ReadNumberFormats(const ZipPackage& pkg, const std::string& path) {
  std::vector<std::u16string> formats;
  if (!path.empty()) {
    pugi::xml_document sdoc;
    ParsePart(sdoc, pkg, path);
    std::map<uint32_t, std::u16string> custom;
    if (pugi::xml_node nf = Child(sdoc.document_element(), "numFmts")) {
      for (pugi::xml_node n = nf.first_child(); n; n = n.next_sibling())
        if (LocalName(n.name()) == "numFmt")
          custom[n.attribute("numFmtId").as_uint()] =
              Utf8ToUtf16(n.attribute("formatCode").value());
    }
    if (pugi::xml_node xfs = Child(sdoc.document_element(), "cellXfs")) {
      for (pugi::xml_node n = xfs.first_child(); n; n = n.next_sibling()) {
        if (LocalName(n.name()) != "xf") continue;
        const uint32_t id = n.attribute("numFmtId").as_uint();
        auto it = custom.find(id);
        if (it != custom.end()) {
          formats.push_back(it->second);
        } else {
          formats.push_back(BuiltinNumberFormat(id).value_or(u"General"));
        }
      }
    }
  }
  if (formats.empty()) formats.push_back(u"General");
  return formats;
}

// Reads the cells of one worksheet into `sheet`. `cell_slots` counts the
// cell records of the whole workbook so far.
class CellReader {
 public:
  CellReader(const std::vector<std::u16string>& formats, const std::vector<std::u16string>& shared,
             bool date1904)
      : formats_(formats), shared_(shared), date1904_(date1904), is_date_(formats.size()) {
    for (size_t i = 0; i < formats.size(); ++i) is_date_[i] = IsDateFormat(formats[i]);
  }

  // Reads the rows among `first` and its following siblings. `row` is the
  // number of the row read last (0 before the first). Returns true when
  // some cell carries a formula.
  bool Read(pugi::xml_node first, MemoryWorksheet& sheet, uint64_t& cell_slots,
            int32_t& row) const {
    bool has_formulas = false;
    for (pugi::xml_node rn = first; rn; rn = rn.next_sibling()) {
      if (LocalName(rn.name()) != "row") continue;
      const int32_t declared = rn.attribute("r").as_int(0);
      row = declared > 0 ? declared : row + 1;
      if (row < 1 || row > kMaxRows) throw XlsxError("damaged workbook file (bad row number)");
      int32_t col = 0;
      for (pugi::xml_node cn = rn.first_child(); cn; cn = cn.next_sibling()) {
        if (LocalName(cn.name()) != "c") continue;
        const CellElement e = ReadCellElement(cn);
        int32_t r = row, c = col + 1;
        if (const char* ref = e.r.value(); *ref != 0) {
          if (!ParseCellRef(std::string_view(ref), &r, &c)) {
            throw XlsxError(std::string("damaged workbook file (bad cell reference ") + ref + ")");
          }
        }
        if (c > kMaxCols) throw XlsxError("damaged workbook file (bad cell reference)");
        col = c;
        // The memory sheet keeps each column dense down to its last cell;
        // cells far down many columns would take more memory than any real
        // workbook needs.
        const int32_t length = sheet.ColumnLength(c);
        if (r > length) {
          cell_slots += static_cast<uint64_t>(r - length);
          if (cell_slots > kMaxCellSlots) {
            throw XlsxError("the workbook's cells reach too far to be loaded");
          }
        }
        Cell cell = sheet.CellAt(r, c);
        has_formulas |= ReadCell(e, cell);
        sheet.PutCell(r, c, cell);
      }
    }
    return has_formulas;
  }

 private:
  // Returns true when the cell carries a formula.
  bool ReadCell(const CellElement& e, Cell& cell) const {
    bool formula = false;
    cell.style = e.s.as_uint(0);
    if (cell.style >= formats_.size()) cell.style = 0;
    const std::string_view t = e.t.value();
    const pugi::xml_node v = e.v;
    const char* vtext = v.child_value();
    if (pugi::xml_node f = e.f) {
      formula = true;
      cell.formula = Utf8ToUtf16(f.child_value());
      if (cell.formula.empty()) cell.formula = u"=";  // a member of a shared formula
    }
    if (t == "s") {
      const auto idx = ParseDouble(vtext);
      if (idx && *idx >= 0 && *idx < static_cast<double>(shared_.size())) {
        cell.value = host::Value(shared_[static_cast<size_t>(*idx)]);
      } else if (v) {
        throw XlsxError("damaged workbook file (shared string index out of range)");
      }
    } else if (t == "inlineStr") {
      if (pugi::xml_node is = e.is) cell.value = host::Value(RichText(is));
    } else if (t == "str") {
      if (v) cell.value = host::Value(DecodeEscapes(Utf8ToUtf16(vtext)));
    } else if (t == "b") {
      if (v)
        cell.value = host::Value::Boolean(std::string_view(vtext) == "1" ||
                                          std::string_view(vtext) == "true");
    } else if (t == "e") {
      if (v) cell.value = host::Value::Error(ErrorCodeOfLiteral(vtext).value_or(2042));
    } else if (t == "d") {
      if (auto serial = IsoDateSerial(vtext)) cell.value = host::Value::Date(*serial);
    } else if (v) {
      if (auto d = ParseDouble(vtext)) {
        if (is_date_[cell.style]) {
          cell.value = host::Value::Date(date1904_ ? *d + k1904Offset : *d);
        } else {
          cell.value = host::Value(*d);
        }
      }
    }
    return formula;
  }

  const std::vector<std::u16string>& formats_;
  const std::vector<std::u16string>& shared_;
  bool date1904_;
  std::vector<bool> is_date_;
};

// "'Cài đặt'" -> "Cài đặt"; a doubled quote inside stands for one.
std::string UnquoteSheetName(std::string name) {
  if (name.size() < 2 || name.front() != '\'' || name.back() != '\'') return name;
  std::string unquoted;
  for (size_t i = 1; i + 1 < name.size(); ++i) {
    unquoted.push_back(name[i]);
    if (name[i] == '\'' && i + 2 < name.size() && name[i + 1] == '\'') ++i;
  }
  return unquoted;
}

// Workbook-level names that refer to one block of one loaded sheet.
void ReadNames(pugi::xml_node names, LoadedWorkbook& wb) {
  for (pugi::xml_node n = names.first_child(); n; n = n.next_sibling()) {
    if (LocalName(n.name()) != "definedName" || n.attribute("localSheetId")) continue;
    const std::string name = n.attribute("name").value();
    if (name.empty() || name.rfind("_xlnm.", 0) == 0) continue;
    std::string ref = n.child_value();
    while (!ref.empty() && ref.front() == '=') ref.erase(0, 1);
    const size_t bang = ref.rfind('!');
    if (bang == std::string::npos) continue;
    const std::u16string sheet_name = Utf8ToUtf16(UnquoteSheetName(ref.substr(0, bang)));
    const auto area = ParseA1Area(std::string_view(ref).substr(bang + 1));
    if (!area) continue;
    for (const auto& part : wb.sheets) {
      if (part.sheet->Name() == sheet_name) {
        wb.book->DefineName(Utf8ToUtf16(name), part.sheet, *area);
        break;
      }
    }
  }
}

// Thrown when a piece of a cut cell table does not parse: the workbook is
// read again with every sheet parsed whole.
struct PieceRefused {};

LoadedWorkbook Read(const ZipPackage& pkg, memory::MemoryApplication* app, bool cut_sheets) {
  LoadedWorkbook wb;
  if (!pkg.Find("[Content_Types].xml")) {
    throw XlsxError("not a workbook file (no [Content_Types].xml)");
  }
  // The main part.
  for (const auto& r : ReadRelationships(pkg, "")) {
    if (!r.external && TypeEndsWith(r.type, "/officeDocument")) wb.workbook_path = r.target;
  }
  if (wb.workbook_path.empty()) throw XlsxError("not a workbook file (no main document)");
  const auto wb_name = pkg.Find(wb.workbook_path);
  if (!wb_name) throw XlsxError("damaged workbook file (missing " + wb.workbook_path + ")");
  wb.workbook_path = *wb_name;
  wb.workbook_rels_path = RelsPathOf(wb.workbook_path);
  {
    pugi::xml_document ct;
    ParsePart(ct, pkg, *pkg.Find("[Content_Types].xml"));
    for (pugi::xml_node n = ct.document_element().first_child(); n; n = n.next_sibling()) {
      if (LocalName(n.name()) == "Override" &&
          std::string_view(n.attribute("ContentType").value()).find("macroEnabled") !=
              std::string_view::npos &&
          ResolveTarget("", n.attribute("PartName").value()) == wb.workbook_path)
        wb.macro_enabled = true;
    }
  }

  pugi::xml_document wbdoc;
  ParsePart(wbdoc, pkg, wb.workbook_path);
  const pugi::xml_node wbroot = wbdoc.document_element();
  if (LocalName(wbroot.name()) != "workbook") throw XlsxError("not a workbook file (no workbook)");
  if (pugi::xml_node pr = Child(wbroot, "workbookPr")) {
    wb.code_name = Utf8ToUtf16(pr.attribute("codeName").value());
    const std::string_view d = pr.attribute("date1904").value();
    wb.date1904 = d == "1" || d == "true";
  }

  std::map<std::string, Relationship> rels;
  for (auto& r : ReadRelationships(pkg, wb.workbook_path)) {
    if (TypeEndsWith(r.type, "/styles") && !r.external) wb.styles_path = r.target;
    if (r.type == kCalcChainType && !r.external) wb.calc_chain_path = r.target;
    rels.emplace(r.id, r);
  }
  for (std::string* path : {&wb.styles_path, &wb.calc_chain_path}) {
    if (path->empty()) continue;
    auto found = pkg.Find(*path);
    *path = found ? *found : std::string();
  }

  const std::vector<std::u16string> formats = ReadNumberFormats(pkg, wb.styles_path);
  wb.file_style_count = formats.size();

  std::vector<std::u16string> shared;
  for (const auto& [id, r] : rels) {
    if (!TypeEndsWith(r.type, "/sharedStrings") || r.external) continue;
    const auto name = pkg.Find(r.target);
    if (!name) continue;
    pugi::xml_document sst;
    ParsePart(sst, pkg, *name);
    for (pugi::xml_node n = sst.document_element().first_child(); n; n = n.next_sibling())
      if (LocalName(n.name()) == "si") shared.push_back(RichText(n));
  }

  wb.book = std::make_shared<memory::MemoryWorkbook>(app);
  wb.book->SetStyleTable(formats);

  const CellReader cells(formats, shared, wb.date1904);
  const pugi::xml_node sheets = Child(wbroot, "sheets");
  uint64_t cell_slots = 0;
  for (pugi::xml_node s = sheets.first_child(); s; s = s.next_sibling()) {
    if (LocalName(s.name()) != "sheet") continue;
    auto rel = rels.find(PrefixedAttribute(s, "id").value());
    if (rel == rels.end() || rel->second.external || !TypeEndsWith(rel->second.type, "/worksheet"))
      continue;  // chart sheets and dialog sheets are not worksheets
    const auto path = pkg.Find(rel->second.target);
    if (!path) throw XlsxError("damaged workbook file (missing " + rel->second.target + ")");
    // The cell table is read piece by piece, as it is inflated, where it
    // can be cut; the rest of the part is parsed as a document.
    std::optional<SheetChunks> chunks;
    if (cut_sheets) {
      std::shared_ptr<ZipPackage::EntryReader> entry = pkg.Open(*path);
      chunks = SheetChunks::Stream([entry](char* out, size_t n) { return entry->Read(out, n); });
    }
    const std::string text = chunks ? std::string() : pkg.Read(*path);
    pugi::xml_document sdoc;
    if (chunks) {
      if (!ParseSkeleton(*chunks, sdoc, *path)) throw PieceRefused{};
    } else {
      ParseXml(sdoc, text, *path);
    }
    const pugi::xml_node root = sdoc.document_element();
    std::u16string code;
    if (pugi::xml_node pr = Child(root, "sheetPr"))
      code = Utf8ToUtf16(pr.attribute("codeName").value());
    auto sheet = wb.book->AddSheet(code, Utf8ToUtf16(s.attribute("name").value()));
    ColumnStyles column_styles = ReadColumnStyles(root, formats.size());
    // New cells in a Text column keep texts as texts, as the host does.
    for (const auto& span : column_styles.spans) {
      if (formats[span.style] != u"@") continue;
      for (int32_t c = span.first; c <= span.last; ++c) sheet->SetColumnStyle(c, span.style);
    }
    wb.sheets.push_back({*path, sheet, std::move(column_styles)});
    // The used range the file declares, when it is plausible, gives the
    // columns their room before they are filled.
    if (pugi::xml_node dim = Child(root, "dimension")) {
      const auto used = ParseA1Area(std::string_view(dim.attribute("ref").value()));
      if (used && static_cast<uint64_t>(used->rows()) * static_cast<uint64_t>(used->cols()) <=
                      kMaxCellSlots - cell_slots)
        sheet->ReserveCells(*used);
    }
    int32_t row = 0;
    if (!chunks) {
      wb.has_formulas |=
          cells.Read(Child(root, "sheetData").first_child(), *sheet, cell_slots, row);
      continue;
    }
    const bool read = ReadPieces(*chunks, *path, [&](pugi::xml_node first) {
      wb.has_formulas |= cells.Read(first, *sheet, cell_slots, row);
    });
    if (!read) throw PieceRefused{};
    // What follows the table, known only now, must parse as the part's
    // whole reading would have it.
    pugi::xml_document skeleton;
    if (!ParseSkeleton(*chunks, skeleton, *path)) throw PieceRefused{};
  }

  if (pugi::xml_node names = Child(wbroot, "definedNames")) ReadNames(names, wb);

  // The active sheet.
  if (pugi::xml_node views = Child(wbroot, "bookViews")) {
    const uint32_t tab = Child(views, "workbookView").attribute("activeTab").as_uint(0);
    size_t index = 0;
    for (pugi::xml_node s = sheets.first_child(); s; s = s.next_sibling()) {
      if (LocalName(s.name()) != "sheet") continue;
      if (index == tab) {
        for (const auto& part : wb.sheets)
          if (part.sheet->Name() == Utf8ToUtf16(s.attribute("name").value()))
            wb.book->set_active_sheet(part.sheet.get());
        break;
      }
      ++index;
    }
  }
  return wb;
}

}  // namespace

LoadedWorkbook ReadWorkbook(const ZipPackage& pkg, memory::MemoryApplication* app) {
  try {
    return Read(pkg, app, true);
  } catch (const PieceRefused&) {
  } catch (const XlsxError&) {
    // Found while a sheet was read in pieces, some of which may have been
    // damaged: the whole reading tells what is wrong, as it always has.
  }
  return Read(pkg, app, false);
}

}  // namespace kelvora::host::xlsx
