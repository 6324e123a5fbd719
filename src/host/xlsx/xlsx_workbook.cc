#include "host/xlsx/xlsx_workbook.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pugixml.hpp>
#include <sstream>
#include <unordered_map>

#include "host/cell_ref.h"
#include "host/files.h"
#include "host/xlsx/formula_shift.h"
#include "host/xlsx/xlsx_text.h"
#include "text/utf.h"

namespace kelvora::host::xlsx {

using memory::Area;
using memory::Cell;
using memory::MemoryWorkbook;
using memory::MemoryWorksheet;

namespace {

constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_declaration;
constexpr char kMainNs[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr char kRelNs[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr char kCalcChainType[] =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/calcChain";

std::string_view LocalName(const char* name) {
  std::string_view n(name);
  const size_t colon = n.find(':');
  return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

std::string PrefixOf(const char* name) {
  std::string_view n(name);
  const size_t colon = n.find(':');
  return colon == std::string_view::npos ? std::string() : std::string(n.substr(0, colon + 1));
}

pugi::xml_node Child(pugi::xml_node parent, std::string_view local) {
  for (pugi::xml_node n = parent.first_child(); n; n = n.next_sibling())
    if (n.type() == pugi::node_element && LocalName(n.name()) == local) return n;
  return {};
}

// Attribute by local name ("r:id" is found as "id" when `local` is "id" and
// the attribute carries a prefix).
pugi::xml_attribute PrefixedAttribute(pugi::xml_node node, std::string_view local) {
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    std::string_view n(a.name());
    const size_t colon = n.find(':');
    if (colon != std::string_view::npos && n.substr(colon + 1) == local &&
        n.substr(0, colon) != "xmlns")
      return a;
  }
  return {};
}

void ParseXml(pugi::xml_document& doc, const std::string& bytes, const std::string& part) {
  const pugi::xml_parse_result r = doc.load_buffer(bytes.data(), bytes.size(), kParseOptions);
  if (!r) {
    throw XlsxError("damaged workbook file (" + part + ": " + r.description() + ")");
  }
  if (!doc.document_element()) throw XlsxError("damaged workbook file (" + part + " is empty)");
}

struct StringWriter : pugi::xml_writer {
  std::string out;
  void write(const void* data, size_t size) override {
    out.append(static_cast<const char*>(data), size);
  }
};

std::string Print(const pugi::xml_node& node) {
  StringWriter w;
  node.print(w, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return std::move(w.out);
}

std::string PrintDocument(const pugi::xml_document& doc) {
  StringWriter w;
  doc.save(w, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return std::move(w.out);
}

// "xl/workbook.xml" + "worksheets/sheet1.xml" -> "xl/worksheets/sheet1.xml";
// absolute targets start at the package root.
std::string ResolveTarget(const std::string& source_part, const std::string& target) {
  if (!target.empty() && target[0] == '/') return target.substr(1);
  std::string base = source_part.substr(0, source_part.rfind('/') + 1);
  std::string t = target;
  while (t.rfind("../", 0) == 0) {
    t = t.substr(3);
    if (!base.empty()) base.pop_back();
    base = base.substr(0, base.rfind('/') + 1);
  }
  if (t.rfind("./", 0) == 0) t = t.substr(2);
  return base + t;
}

std::string RelsPathOf(const std::string& part) {
  const size_t slash = part.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : part.substr(0, slash + 1);
  const std::string file = slash == std::string::npos ? part : part.substr(slash + 1);
  return dir + "_rels/" + file + ".rels";
}

struct Relationship {
  std::string id, type, target;  // target resolved to a part name
  bool external = false;
};

bool TypeEndsWith(const std::string& type, std::string_view suffix) {
  return type.size() >= suffix.size() &&
         std::string_view(type).substr(type.size() - suffix.size()) == suffix;
}

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
  if (n < 3 || mo < 1 || mo > 12 || d < 1 || d > 31 || y < 1900 || y > 9999) {
    if (n >= 1 && str.find('T') == 0) return std::nullopt;
    return std::nullopt;
  }
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

struct CellPos {
  int32_t row, col;
};

uint64_t Key(int32_t row, int32_t col) {
  return (static_cast<uint64_t>(row) << 15) | static_cast<uint64_t>(col);
}

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

// Styles of whole columns (<cols><col min max style>).
struct ColumnStyles {
  struct Span {
    int32_t first, last;
    uint32_t style;
  };
  std::vector<Span> spans;
  uint32_t At(int32_t col) const {
    for (const auto& s : spans)
      if (col >= s.first && col <= s.last) return s.style;
    return 0;
  }
};

ColumnStyles ReadColumnStyles(pugi::xml_node worksheet, size_t style_count) {
  ColumnStyles styles;
  pugi::xml_node cols = Child(worksheet, "cols");
  for (pugi::xml_node c = cols.first_child(); c; c = c.next_sibling()) {
    if (LocalName(c.name()) != "col") continue;
    const uint32_t style = c.attribute("style").as_uint(0);
    const int32_t first = c.attribute("min").as_int(0);
    const int32_t last = std::min(c.attribute("max").as_int(0), memory::kMaxCols);
    if (style == 0 || style >= style_count || first < 1 || last < first) continue;
    styles.spans.push_back({first, last, style});
  }
  return styles;
}

// Cell records the memory workbook may hold for one file (about 80 bytes
// each): 8M, over five times a full store with its outputs.
constexpr uint64_t kMaxCellSlots = uint64_t{8} << 20;

void AppendUint(std::string& out, uint64_t v) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, res.ptr);
}

// Appends the cell as the engine left it; false when nothing is to be
// written (an empty cell without a style).
// `implicit_style` is the style a cell without a record shows (its row's or
// column's); an empty cell of that style needs no record.
bool AppendCell(std::string& out, const std::string& px, int32_t row, int32_t col, const Cell& cell,
                uint32_t implicit_style, bool date1904) {
  const host::Value& v = cell.value;
  if (v.IsEmpty() && cell.style == implicit_style) return false;
  out += '<';
  out += px;
  out += "c r=\"";
  AppendCellRef(out, row, col);
  out += '"';
  if (cell.style != 0) {
    out += " s=\"";
    AppendUint(out, cell.style);
    out += '"';
  }
  auto value_element = [&](const std::string& text) {
    out += "><" + px + "v>";
    out += text;
    out += "</" + px + "v></" + px + "c>";
  };
  switch (v.type()) {
    case host::ValueType::kEmpty:
      out += "/>";
      break;
    case host::ValueType::kNumber:
      if (std::isfinite(v.number())) {
        value_element(NumberText(v.number()));
      } else {
        out += " t=\"e\"";
        value_element("#NUM!");
      }
      break;
    case host::ValueType::kDate:
      value_element(NumberText(date1904 ? v.date_serial() - k1904Offset : v.date_serial()));
      break;
    case host::ValueType::kBoolean:
      out += " t=\"b\"";
      value_element(v.boolean() ? "1" : "0");
      break;
    case host::ValueType::kError:
      out += " t=\"e\"";
      value_element(ErrorLiteral(v.error_code()));
      break;
    case host::ValueType::kText: {
      const std::u16string& t = v.text();
      out += " t=\"inlineStr\"><" + px + "is><" + px + "t";
      if (!t.empty() &&
          (t.front() == u' ' || t.back() == u' ' || t.front() == u'\t' || t.back() == u'\t' ||
           t.front() == u'\n' || t.back() == u'\n' || t.front() == u'\r' || t.back() == u'\r')) {
        out += " xml:space=\"preserve\"";
      }
      out += '>';
      AppendEscapedText(out, t);
      out += "</" + px + "t></" + px + "is></" + px + "c>";
      break;
    }
  }
  return true;
}

}  // namespace

struct XlsxWorkbook::SheetPart {
  std::string path;
  std::shared_ptr<MemoryWorksheet> sheet;
  ColumnStyles column_styles;
};

XlsxWorkbook::XlsxWorkbook() = default;
XlsxWorkbook::~XlsxWorkbook() = default;

std::unique_ptr<XlsxWorkbook> XlsxWorkbook::Load(std::string bytes, memory::MemoryApplication* app,
                                                 const PackageLimits& limits) {
  std::unique_ptr<XlsxWorkbook> wb(new XlsxWorkbook());
  wb->package_ = std::make_unique<ZipPackage>(std::move(bytes), limits);
  wb->Parse(app);
  return wb;
}

std::unique_ptr<XlsxWorkbook> XlsxWorkbook::Open(const std::string& path,
                                                 memory::MemoryApplication* app,
                                                 const PackageLimits& limits) {
  std::string bytes;
  try {
    bytes = ReadFile(path, limits.max_file_size);
  } catch (const FileError& e) {
    throw XlsxError(e.what());
  }
  return Load(std::move(bytes), app, limits);
}

namespace {

std::vector<Relationship> ReadRelationships(const ZipPackage& pkg, const std::string& part) {
  std::vector<Relationship> rels;
  const auto name = pkg.Find(RelsPathOf(part));
  if (!name) return rels;
  pugi::xml_document doc;
  ParseXml(doc, pkg.Read(*name), *name);
  for (pugi::xml_node n = doc.document_element().first_child(); n; n = n.next_sibling()) {
    if (LocalName(n.name()) != "Relationship") continue;
    Relationship r;
    r.id = n.attribute("Id").value();
    r.type = n.attribute("Type").value();
    r.external = std::string_view(n.attribute("TargetMode").value()) == "External";
    r.target = r.external ? n.attribute("Target").value()
                          : ResolveTarget(part, n.attribute("Target").value());
    rels.push_back(std::move(r));
  }
  return rels;
}

}  // namespace

void XlsxWorkbook::Parse(memory::MemoryApplication* app) {
  const ZipPackage& pkg = *package_;
  if (!pkg.Find("[Content_Types].xml")) {
    throw XlsxError("not a workbook file (no [Content_Types].xml)");
  }
  // The main part.
  for (const auto& r : ReadRelationships(pkg, "")) {
    if (!r.external && TypeEndsWith(r.type, "/officeDocument")) workbook_path_ = r.target;
  }
  if (workbook_path_.empty()) throw XlsxError("not a workbook file (no main document)");
  const auto wb_name = pkg.Find(workbook_path_);
  if (!wb_name) throw XlsxError("damaged workbook file (missing " + workbook_path_ + ")");
  workbook_path_ = *wb_name;
  workbook_rels_path_ = RelsPathOf(workbook_path_);
  {
    pugi::xml_document ct;
    ParseXml(ct, pkg.Read(*pkg.Find("[Content_Types].xml")), "[Content_Types].xml");
    for (pugi::xml_node n = ct.document_element().first_child(); n; n = n.next_sibling()) {
      if (LocalName(n.name()) == "Override" &&
          std::string_view(n.attribute("ContentType").value()).find("macroEnabled") !=
              std::string_view::npos &&
          ResolveTarget("", n.attribute("PartName").value()) == workbook_path_)
        macro_enabled_ = true;
    }
  }

  pugi::xml_document wbdoc;
  ParseXml(wbdoc, pkg.Read(workbook_path_), workbook_path_);
  const pugi::xml_node wbroot = wbdoc.document_element();
  if (LocalName(wbroot.name()) != "workbook") throw XlsxError("not a workbook file (no workbook)");
  if (pugi::xml_node pr = Child(wbroot, "workbookPr")) {
    code_name_ = Utf8ToUtf16(pr.attribute("codeName").value());
    const std::string_view d = pr.attribute("date1904").value();
    date1904_ = d == "1" || d == "true";
  }

  std::map<std::string, Relationship> rels;
  for (auto& r : ReadRelationships(pkg, workbook_path_)) {
    if (TypeEndsWith(r.type, "/styles") && !r.external) styles_path_ = r.target;
    if (r.type == kCalcChainType && !r.external) calc_chain_path_ = r.target;
    rels.emplace(r.id, r);
  }
  auto find_part = [&](std::string& path) {
    if (path.empty()) return;
    auto found = pkg.Find(path);
    path = found ? *found : std::string();
  };
  find_part(styles_path_);
  find_part(calc_chain_path_);

  // Number formats of the cell styles.
  std::vector<std::u16string> formats;
  if (!styles_path_.empty()) {
    pugi::xml_document sdoc;
    ParseXml(sdoc, pkg.Read(styles_path_), styles_path_);
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
  file_style_count_ = formats.size();
  std::vector<bool> is_date(formats.size());
  for (size_t i = 0; i < formats.size(); ++i) is_date[i] = IsDateFormat(formats[i]);

  // Shared strings.
  std::vector<std::u16string> shared;
  for (const auto& [id, r] : rels) {
    if (!TypeEndsWith(r.type, "/sharedStrings") || r.external) continue;
    const auto name = pkg.Find(r.target);
    if (!name) continue;
    pugi::xml_document sst;
    ParseXml(sst, pkg.Read(*name), *name);
    for (pugi::xml_node n = sst.document_element().first_child(); n; n = n.next_sibling())
      if (LocalName(n.name()) == "si") shared.push_back(RichText(n));
  }

  book_ = std::make_shared<MemoryWorkbook>(app);
  book_->SetStyleTable(formats);

  const pugi::xml_node sheets = Child(wbroot, "sheets");
  uint64_t cell_slots = 0;
  for (pugi::xml_node s = sheets.first_child(); s; s = s.next_sibling()) {
    if (LocalName(s.name()) != "sheet") continue;
    auto rel = rels.find(PrefixedAttribute(s, "id").value());
    if (rel == rels.end() || rel->second.external || !TypeEndsWith(rel->second.type, "/worksheet"))
      continue;  // chart sheets and dialog sheets are not worksheets
    const auto path = pkg.Find(rel->second.target);
    if (!path) throw XlsxError("damaged workbook file (missing " + rel->second.target + ")");
    pugi::xml_document sdoc;
    ParseXml(sdoc, pkg.Read(*path), *path);
    const pugi::xml_node root = sdoc.document_element();
    std::u16string code;
    if (pugi::xml_node pr = Child(root, "sheetPr"))
      code = Utf8ToUtf16(pr.attribute("codeName").value());
    auto sheet = book_->AddSheet(code, Utf8ToUtf16(s.attribute("name").value()));
    ColumnStyles column_styles = ReadColumnStyles(root, formats.size());
    // New cells in a Text column keep texts as texts, as the host does.
    for (const auto& span : column_styles.spans) {
      if (formats[span.style] != u"@") continue;
      for (int32_t c = span.first; c <= span.last; ++c) sheet->SetColumnStyle(c, span.style);
    }
    sheets_.push_back({*path, sheet, std::move(column_styles)});

    const pugi::xml_node data = Child(root, "sheetData");
    int32_t row = 0;
    for (pugi::xml_node rn = data.first_child(); rn; rn = rn.next_sibling()) {
      if (LocalName(rn.name()) != "row") continue;
      const int32_t declared = rn.attribute("r").as_int(0);
      row = declared > 0 ? declared : row + 1;
      if (row < 1 || row > memory::kMaxRows)
        throw XlsxError("damaged workbook file (bad row number)");
      int32_t col = 0;
      for (pugi::xml_node cn = rn.first_child(); cn; cn = cn.next_sibling()) {
        if (LocalName(cn.name()) != "c") continue;
        int32_t r = row, c = col + 1;
        if (const char* ref = cn.attribute("r").value(); *ref != 0) {
          if (!ParseCellRef(std::string_view(ref), &r, &c)) {
            throw XlsxError(std::string("damaged workbook file (bad cell reference ") + ref + ")");
          }
        }
        if (c > memory::kMaxCols) throw XlsxError("damaged workbook file (bad cell reference)");
        col = c;
        // The memory sheet keeps each column dense down to its last cell;
        // cells far down many columns would take more memory than any real
        // workbook needs.
        const int32_t length = sheet->ColumnLength(c);
        if (r > length) {
          cell_slots += static_cast<uint64_t>(r - length);
          if (cell_slots > kMaxCellSlots) {
            throw XlsxError("the workbook's cells reach too far to be loaded");
          }
        }
        Cell& cell = sheet->MutableCell(r, c);
        cell.style = cn.attribute("s").as_uint(0);
        if (cell.style >= formats.size()) cell.style = 0;
        const std::string_view t = cn.attribute("t").value();
        const pugi::xml_node v = Child(cn, "v");
        const char* vtext = v.child_value();
        if (pugi::xml_node f = Child(cn, "f")) {
          has_formulas_ = true;
          cell.formula = Utf8ToUtf16(f.child_value());
          if (cell.formula.empty()) cell.formula = u"=";  // a member of a shared formula
        }
        if (t == "s") {
          const auto idx = ParseDouble(vtext);
          if (idx && *idx >= 0 && *idx < static_cast<double>(shared.size())) {
            cell.value = host::Value(shared[static_cast<size_t>(*idx)]);
          } else if (v) {
            throw XlsxError("damaged workbook file (shared string index out of range)");
          }
        } else if (t == "inlineStr") {
          if (pugi::xml_node is = Child(cn, "is")) cell.value = host::Value(RichText(is));
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
            if (is_date[cell.style]) {
              cell.value = host::Value::Date(date1904_ ? *d + k1904Offset : *d);
            } else {
              cell.value = host::Value(*d);
            }
          }
        }
      }
    }
  }

  // Names that refer to one block of one sheet.
  if (pugi::xml_node names = Child(wbroot, "definedNames")) {
    for (pugi::xml_node n = names.first_child(); n; n = n.next_sibling()) {
      if (LocalName(n.name()) != "definedName" || n.attribute("localSheetId")) continue;
      const std::string name = n.attribute("name").value();
      if (name.empty() || name.rfind("_xlnm.", 0) == 0) continue;
      std::string ref = n.child_value();
      while (!ref.empty() && ref.front() == '=') ref.erase(0, 1);
      const size_t bang = ref.rfind('!');
      if (bang == std::string::npos) continue;
      std::string sheet_name = ref.substr(0, bang);
      if (sheet_name.size() >= 2 && sheet_name.front() == '\'' && sheet_name.back() == '\'') {
        std::string unq;
        for (size_t i = 1; i + 1 < sheet_name.size(); ++i) {
          unq.push_back(sheet_name[i]);
          if (sheet_name[i] == '\'' && i + 2 < sheet_name.size() && sheet_name[i + 1] == '\'') ++i;
        }
        sheet_name = unq;
      }
      const auto area = ParseA1Area(std::string_view(ref).substr(bang + 1));
      if (!area) continue;
      for (const auto& part : sheets_) {
        if (part.sheet->Name() == Utf8ToUtf16(sheet_name)) {
          book_->DefineName(Utf8ToUtf16(name), part.sheet, *area);
          break;
        }
      }
    }
  }

  // The active sheet.
  if (pugi::xml_node views = Child(wbroot, "bookViews")) {
    const uint32_t tab = Child(views, "workbookView").attribute("activeTab").as_uint(0);
    size_t index = 0;
    for (pugi::xml_node s = sheets.first_child(); s; s = s.next_sibling()) {
      if (LocalName(s.name()) != "sheet") continue;
      if (index == tab) {
        for (const auto& part : sheets_)
          if (part.sheet->Name() == Utf8ToUtf16(s.attribute("name").value()))
            book_->set_active_sheet(part.sheet.get());
        break;
      }
      ++index;
    }
  }
}

void XlsxWorkbook::RequireBoundSheets() const {
  std::string missing;
  for (const char16_t* code : {u"Sheet1", u"Sheet2", u"Sheet3"}) {
    if (book_->SheetByCodeName(code) == nullptr) {
      if (!missing.empty()) missing += ", ";
      missing += Utf16ToUtf8(code);
    }
  }
  if (!missing.empty()) {
    throw XlsxError(
        "the workbook has no worksheet with the code name " + missing +
        " (the three sheets Sheet1, Sheet2 and Sheet3 are required; kelvora init makes a workbook "
        "that has them)");
  }
}

bool XlsxWorkbook::HasChanges() const {
  if (book_->style_count() > file_style_count_) return true;
  for (const auto& part : sheets_)
    if (SheetHasWrites(*part.sheet)) return true;
  return false;
}

std::string XlsxWorkbook::RewriteSheet(const SheetPart& part, bool* formula_overwritten) const {
  const MemoryWorksheet& sheet = *part.sheet;
  pugi::xml_document doc;
  ParseXml(doc, package_->Read(part.path), part.path);
  const pugi::xml_node root = doc.document_element();
  const std::string px = PrefixOf(root.name());
  pugi::xml_node data = Child(root, "sheetData");
  if (!data) throw XlsxError("damaged workbook file (" + part.path + " has no cell table)");

  // The cells as they stand in the file.
  std::map<int32_t, pugi::xml_node> rows;
  std::unordered_map<uint64_t, pugi::xml_node> cells;
  cells.reserve(static_cast<size_t>(sheet.UsedRows()) * 2 + 64);
  struct SharedMaster {
    int32_t row, col;
    std::string text;
  };
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
        // Kept as it stood, with its formula; only a changed style and the
        // shared-formula text of an overwritten master are brought up to date.
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
        if (f && std::string_view(f.attribute("t").value()) == "shared") {
          auto m = masters.find(f.attribute("si").value());
          if (m != masters.end() && sheet.cell(m->second.row, m->second.col).written) {
            const std::string moved =
                ShiftFormula(m->second.text, r - m->second.row, c - m->second.col);
            f.remove_attribute("t");
            f.remove_attribute("si");
            f.remove_attribute("ref");
            while (f.first_child()) f.remove_child(f.first_child());
            f.append_child(pugi::node_pcdata).set_value(moved.c_str());
          }
        }
        row_cells += Print(orig);
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
          emitted = AppendCell(row_cells, px, r, c, styled, implicit, date1904_);
        } else {
          emitted = AppendCell(row_cells, px, r, c, cell, implicit, date1904_);
        }
      }
      if (emitted) {
        if (top == 0) top = r;
        bottom = r;
        if (left == 0 || c < left) left = c;
        right = std::max(right, c);
      }
    }
    // The row element keeps its own attributes (height, style, outline);
    // the span hint is dropped since the cells may have changed.
    bool row_attrs = false;
    std::string attrs;
    if (row_node) {
      for (pugi::xml_attribute a = row_node.first_attribute(); a; a = a.next_attribute()) {
        const std::string_view n = a.name();
        if (n == "r" || n == "spans") continue;
        row_attrs = true;
        attrs += ' ';
        attrs += a.name();
        attrs += "=\"";
        AppendEscapedAttribute(attrs, a.value());
        attrs += '"';
      }
    }
    if (row_cells.empty() && !row_attrs) continue;
    out += '<';
    out += px;
    out += "row r=\"";
    AppendUint(out, static_cast<uint64_t>(r));
    out += '"';
    out += attrs;
    if (row_cells.empty()) {
      out += "/>";
    } else {
      out += '>';
      out += row_cells;
      out += "</" + px + "row>";
    }
  }

  if (pugi::xml_node dim = Child(root, "dimension")) {
    std::string ref = "A1";
    if (top != 0) {
      ref = CellRef(top, left);
      if (bottom != top || right != left) ref += ":" + CellRef(bottom, right);
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

std::string XlsxWorkbook::RewriteStyles() const {
  pugi::xml_document doc;
  ParseXml(doc, package_->Read(styles_path_), styles_path_);
  pugi::xml_node root = doc.document_element();
  const std::string px = PrefixOf(root.name());
  pugi::xml_node xfs = Child(root, "cellXfs");
  if (!xfs) throw XlsxError("damaged workbook file (styles without cell formats)");
  std::vector<pugi::xml_node> existing;
  for (pugi::xml_node n = xfs.first_child(); n; n = n.next_sibling())
    if (LocalName(n.name()) == "xf") existing.push_back(n);
  pugi::xml_node numfmts = Child(root, "numFmts");
  uint32_t next_id = 164;
  std::map<std::u16string, uint32_t> custom;
  if (numfmts) {
    for (pugi::xml_node n = numfmts.first_child(); n; n = n.next_sibling()) {
      if (LocalName(n.name()) != "numFmt") continue;
      const uint32_t id = n.attribute("numFmtId").as_uint();
      custom.emplace(Utf8ToUtf16(n.attribute("formatCode").value()), id);
      next_id = std::max(next_id, id + 1);
    }
  }
  std::map<uint32_t, std::pair<uint32_t, std::u16string>> by_id;
  for (const auto& [key, id] : book_->derived_styles()) by_id[id] = key;
  for (size_t id = file_style_count_; id < book_->style_count(); ++id) {
    auto it = by_id.find(static_cast<uint32_t>(id));
    const uint32_t base = it == by_id.end() ? 0 : it->second.first;
    const std::u16string& format = book_->StyleNumberFormat(static_cast<uint32_t>(id));
    uint32_t fmt_id;
    if (auto builtin = BuiltinNumberFormatId(format)) {
      fmt_id = *builtin;
    } else if (auto c = custom.find(format); c != custom.end()) {
      fmt_id = c->second;
    } else {
      if (!numfmts) {
        numfmts = root.prepend_child((px + "numFmts").c_str());
        numfmts.append_attribute("count") = 0;
      }
      pugi::xml_node nf = numfmts.append_child((px + "numFmt").c_str());
      nf.append_attribute("numFmtId") = next_id;
      nf.append_attribute("formatCode") = Utf16ToUtf8(format).c_str();
      custom.emplace(format, next_id);
      fmt_id = next_id++;
    }
    pugi::xml_node src = base < existing.size() ? existing[base] : existing.at(0);
    pugi::xml_node xf = xfs.append_copy(src);
    existing.push_back(xf);
    pugi::xml_attribute a = xf.attribute("numFmtId");
    if (!a) a = xf.append_attribute("numFmtId");
    a.set_value(fmt_id);
    pugi::xml_attribute apply = xf.attribute("applyNumberFormat");
    if (!apply) apply = xf.append_attribute("applyNumberFormat");
    apply.set_value("1");
  }
  auto recount = [](pugi::xml_node n, std::string_view child) {
    if (!n) return;
    uint32_t count = 0;
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
      if (LocalName(c.name()) == child) ++count;
    pugi::xml_attribute a = n.attribute("count");
    if (!a) a = n.append_attribute("count");
    a.set_value(count);
  };
  recount(xfs, "xf");
  recount(numfmts, "numFmt");
  return PrintDocument(doc);
}

std::string XlsxWorkbook::SaveToBytes() const {
  std::map<std::string, std::string> replaced;
  std::vector<std::string> removed;
  const bool new_styles = book_->style_count() > file_style_count_;
  bool formula_overwritten = false;
  for (const auto& part : sheets_) {
    if (SheetHasWrites(*part.sheet) ||
        (new_styles && SheetUsesStyleFrom(*part.sheet, file_style_count_))) {
      replaced[part.path] = RewriteSheet(part, &formula_overwritten);
    }
  }
  if (new_styles) {
    if (styles_path_.empty()) throw XlsxError("the workbook has no styles part to extend");
    replaced[styles_path_] = RewriteStyles();
  }
  if (formula_overwritten && !calc_chain_path_.empty()) {
    // The chain lists formula cells; one of them is gone, so the chain goes
    // and the host rebuilds it.
    removed.push_back(calc_chain_path_);
    if (const auto rels_name = package_->Find(workbook_rels_path_)) {
      pugi::xml_document rels;
      ParseXml(rels, package_->Read(*rels_name), *rels_name);
      for (pugi::xml_node n = rels.document_element().first_child(); n;) {
        pugi::xml_node next = n.next_sibling();
        if (std::string_view(n.attribute("Type").value()) == kCalcChainType)
          rels.document_element().remove_child(n);
        n = next;
      }
      replaced[*rels_name] = PrintDocument(rels);
    }
    const std::string ct_name = *package_->Find("[Content_Types].xml");
    pugi::xml_document ct;
    ParseXml(ct, package_->Read(ct_name), ct_name);
    for (pugi::xml_node n = ct.document_element().first_child(); n;) {
      pugi::xml_node next = n.next_sibling();
      if (LocalName(n.name()) == "Override" &&
          ResolveTarget("", n.attribute("PartName").value()) == calc_chain_path_)
        ct.document_element().remove_child(n);
      n = next;
    }
    replaced[ct_name] = PrintDocument(ct);
  }
  if (has_formulas_ && !replaced.empty()) {
    // Formulas elsewhere may depend on the changed cells; their cached
    // results are recalculated when the file is opened.
    pugi::xml_document wb;
    ParseXml(wb, package_->Read(workbook_path_), workbook_path_);
    pugi::xml_node root = wb.document_element();
    pugi::xml_node calc = Child(root, "calcPr");
    if (!calc) {
      // calcPr follows the sheets and the names that come after them.
      pugi::xml_node after;
      for (pugi::xml_node n = root.first_child(); n; n = n.next_sibling()) {
        const std::string_view name = LocalName(n.name());
        if (name == "sheets" || name == "functionGroups" || name == "externalReferences" ||
            name == "definedNames")
          after = n;
      }
      const std::string name = PrefixOf(root.name()) + "calcPr";
      calc = after ? root.insert_child_after(name.c_str(), after) : root.append_child(name.c_str());
    }
    const std::string_view full = calc.attribute("fullCalcOnLoad").value();
    if (full != "1" && full != "true") {
      pugi::xml_attribute a = calc.attribute("fullCalcOnLoad");
      if (!a) a = calc.append_attribute("fullCalcOnLoad");
      a.set_value("1");
      replaced[workbook_path_] = PrintDocument(wb);
    }
  }
  if (replaced.empty() && removed.empty()) return package_->bytes();
  return package_->Rewrite(replaced, removed);
}

void XlsxWorkbook::Save(const std::string& path) const {
  const std::string bytes = SaveToBytes();
  try {
    WriteFileAtomically(path, bytes);
  } catch (const FileError& e) {
    throw XlsxError(e.what());
  }
}

// ---------------------------------------------------------------------------
// A new workbook file.

namespace {

std::string Attr(std::string_view utf8) {
  std::string s;
  AppendEscapedAttribute(s, utf8);
  return s;
}

std::string QuoteSheetName(const std::string& name) {
  std::string q = "'";
  for (char c : name) {
    q.push_back(c);
    if (c == '\'') q.push_back('\'');
  }
  return q + "'";
}

constexpr char kDecl[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

}  // namespace

std::unique_ptr<XlsxWorkbook> XlsxWorkbook::Create(const MemoryWorkbook& source,
                                                   const std::vector<SheetLayout>& layouts,
                                                   bool macro_enabled,
                                                   memory::MemoryApplication* app) {
  std::vector<std::pair<std::string, std::string>> parts;
  const auto& sheets = source.sheets();
  std::string ct = std::string(kDecl) +
                   "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                   "<Default Extension=\"rels\" "
                   "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                   "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                   "<Override PartName=\"/xl/workbook.xml\" ContentType=\"";
  ct += macro_enabled
            ? "application/vnd.ms-excel.sheet.macroEnabled.main+xml"
            : "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
  ct += "\"/>";
  for (size_t i = 0; i < sheets.size(); ++i) {
    ct += "<Override PartName=\"/xl/worksheets/sheet" + std::to_string(i + 1) +
          ".xml\" ContentType=\"application/"
          "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
  }
  ct +=
      "<Override PartName=\"/xl/styles.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
      "<Override PartName=\"/docProps/core.xml\" "
      "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
      "<Override PartName=\"/docProps/app.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>"
      "</Types>";
  parts.emplace_back("[Content_Types].xml", ct);
  parts.emplace_back(
      "_rels/.rels",
      std::string(kDecl) +
          "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId1\" "
          "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
          "officeDocument\" Target=\"xl/workbook.xml\"/>"
          "<Relationship Id=\"rId2\" "
          "Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/"
          "core-properties\" Target=\"docProps/core.xml\"/>"
          "<Relationship Id=\"rId3\" "
          "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
          "extended-properties\" Target=\"docProps/app.xml\"/>"
          "</Relationships>");
  parts.emplace_back(
      "docProps/app.xml",
      std::string(kDecl) +
          "<Properties "
          "xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\">"
          "<Application>Kelvora</Application></Properties>");
  parts.emplace_back(
      "docProps/core.xml",
      std::string(kDecl) +
          "<cp:coreProperties "
          "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
          "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title>Kelvora</dc:title>"
          "</cp:coreProperties>");

  size_t active = 0;
  for (size_t i = 0; i < sheets.size(); ++i)
    if (sheets[i].get() == source.active_sheet()) active = i;
  std::string wb = std::string(kDecl) + "<workbook xmlns=\"" + kMainNs + "\" xmlns:r=\"" + kRelNs +
                   "\"><workbookPr codeName=\"ThisWorkbook\"/><bookViews><workbookView "
                   "activeTab=\"" +
                   std::to_string(active) + "\"/></bookViews><sheets>";
  std::string wb_rels =
      std::string(kDecl) +
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  for (size_t i = 0; i < sheets.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    wb += "<sheet name=\"" + Attr(Utf16ToUtf8(sheets[i]->Name())) + "\" sheetId=\"" + n +
          "\" r:id=\"rId" + n + "\"/>";
    wb_rels += "<Relationship Id=\"rId" + n +
               "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
               "worksheet\" Target=\"worksheets/sheet" +
               n + ".xml\"/>";

    const SheetLayout* layout = nullptr;
    for (const auto& l : layouts)
      if (l.code_name == sheets[i]->CodeName()) layout = &l;
    std::string ws = std::string(kDecl) + "<worksheet xmlns=\"" + kMainNs + "\" xmlns:r=\"" +
                     kRelNs + "\"><sheetPr codeName=\"" + Attr(Utf16ToUtf8(sheets[i]->CodeName())) +
                     "\"/><dimension ref=\"A1\"/><sheetViews><sheetView " +
                     (i == active ? "tabSelected=\"1\" " : "") +
                     "workbookViewId=\"0\"/></sheetViews><sheetFormatPr defaultRowHeight=\"15\"/>";
    if (layout != nullptr && !layout->column_widths.empty()) {
      ws += "<cols>";
      for (const auto& w : layout->column_widths) {
        ws += "<col min=\"" + std::to_string(w.first) + "\" max=\"" + std::to_string(w.last) +
              "\" width=\"" + NumberText(w.width) + "\" customWidth=\"1\"/>";
      }
      ws += "</cols>";
    }
    ws += "<sheetData/>";
    if (layout != nullptr && !layout->list_validations.empty()) {
      ws += "<dataValidations count=\"" + std::to_string(layout->list_validations.size()) + "\">";
      for (const auto& v : layout->list_validations) {
        ws +=
            "<dataValidation type=\"list\" allowBlank=\"1\" showInputMessage=\"1\" "
            "showErrorMessage=\"1\" sqref=\"" +
            Attr(v.sqref) + "\"><formula1>";
        AppendEscapedText(ws, Utf8ToUtf16(v.source));
        ws += "</formula1></dataValidation>";
      }
      ws += "</dataValidations>";
    }
    ws +=
        "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
        "footer=\"0.3\"/></worksheet>";
    parts.emplace_back("xl/worksheets/sheet" + n + ".xml", ws);
  }
  wb += "</sheets>";
  std::string names;
  for (const auto& dn : source.names()) {
    auto sheet = dn.sheet.lock();
    if (!sheet) continue;
    std::string ref;
    AppendCellRef(ref, dn.area.top, dn.area.left, true);
    if (dn.area.rows() > 1 || dn.area.cols() > 1) {
      ref += ':';
      AppendCellRef(ref, dn.area.bottom, dn.area.right, true);
    }
    names += "<definedName name=\"" + Attr(Utf16ToUtf8(dn.name)) + "\">";
    AppendEscapedText(names, Utf8ToUtf16(QuoteSheetName(Utf16ToUtf8(sheet->Name())) + "!" + ref));
    names += "</definedName>";
  }
  if (!names.empty()) wb += "<definedNames>" + names + "</definedNames>";
  wb += "<calcPr calcId=\"191029\"/></workbook>";
  wb_rels += "<Relationship Id=\"rId" + std::to_string(sheets.size() + 1) +
             "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
             "styles\" Target=\"styles.xml\"/></Relationships>";
  parts.emplace_back("xl/workbook.xml", wb);
  parts.emplace_back("xl/_rels/workbook.xml.rels", wb_rels);
  parts.emplace_back(
      "xl/styles.xml",
      std::string(kDecl) + "<styleSheet xmlns=\"" + kMainNs +
          "\"><fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family "
          "val=\"2\"/></font></fonts><fills count=\"2\"><fill><patternFill "
          "patternType=\"none\"/></fill><fill><patternFill patternType=\"gray125\"/></fill></"
          "fills><borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></"
          "borders><cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
          "borderId=\"0\"/></cellStyleXfs><cellXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" "
          "fillId=\"0\" borderId=\"0\" xfId=\"0\"/></cellXfs><cellStyles count=\"1\"><cellStyle "
          "name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles></styleSheet>");

  auto wbk = Load(ZipPackage::Build(parts), app);
  // The cells, as written by the engine; their styles are derived anew from
  // their number formats.
  MemoryWorkbook& book = *wbk->book_;
  for (size_t i = 0; i < sheets.size(); ++i) {
    const MemoryWorksheet& from = *sheets[i];
    MemoryWorksheet& to = *book.sheets()[i];
    for (int32_t c = 1; c <= from.UsedCols(); ++c) {
      for (int32_t r = 1; r <= from.ColumnLength(c); ++r) {
        const Cell& src = from.cell(r, c);
        if (src.value.IsEmpty() && src.formula.empty() && src.style == 0) continue;
        Cell& dst = to.MutableCell(r, c);
        dst.value = src.value;
        dst.formula = src.formula;
        dst.style = book.StyleWithNumberFormat(source.StyleNumberFormat(src.style), 0);
        dst.written = true;
      }
    }
  }
  return wbk;
}

}  // namespace kelvora::host::xlsx
