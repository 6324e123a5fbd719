#include "xlsx/package_writer.h"

#include <algorithm>
#include <map>
#include <optional>

#include "host/cell_ref.h"
#include "text/markup_escape.h"
#include "text/utf.h"
#include "xlsx/part_xml.h"
#include "xlsx/sheet_rewriter.h"
#include "xlsx/xlsx_text.h"

namespace kelvora::host::xlsx {
namespace {

// styles.xml with a new cellXfs entry for every style the memory workbook
// derived: a copy of the style it was based on with the new number format
// (a built-in id, a custom format the file has, or a new one).
std::string RewriteStyles(const ZipPackage& package, const LoadedWorkbook& wb) {
  const memory::MemoryWorkbook& book = *wb.book;
  pugi::xml_document doc;
  ParsePart(doc, package, wb.styles_path);
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
  for (const auto& [key, id] : book.derived_styles()) by_id[id] = key;
  for (size_t id = wb.file_style_count; id < book.style_count(); ++id) {
    auto it = by_id.find(static_cast<uint32_t>(id));
    const uint32_t base = it == by_id.end() ? 0 : it->second.first;
    const std::u16string& format = book.StyleNumberFormat(static_cast<uint32_t>(id));
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

// Takes the calculation chain out of the package: the part, its
// relationship and its content type.
void RemoveCalcChain(const ZipPackage& package, const LoadedWorkbook& wb,
                     std::map<std::string, std::string>& replaced,
                     std::vector<std::string>& removed) {
  removed.push_back(wb.calc_chain_path);
  if (const auto rels_name = package.Find(wb.workbook_rels_path)) {
    pugi::xml_document rels;
    ParsePart(rels, package, *rels_name);
    for (pugi::xml_node n = rels.document_element().first_child(); n;) {
      pugi::xml_node next = n.next_sibling();
      if (std::string_view(n.attribute("Type").value()) == kCalcChainType)
        rels.document_element().remove_child(n);
      n = next;
    }
    replaced[*rels_name] = PrintDocument(rels);
  }
  const std::string ct_name = *package.Find("[Content_Types].xml");
  pugi::xml_document ct;
  ParsePart(ct, package, ct_name);
  for (pugi::xml_node n = ct.document_element().first_child(); n;) {
    pugi::xml_node next = n.next_sibling();
    if (LocalName(n.name()) == "Override" &&
        ResolveTarget("", n.attribute("PartName").value()) == wb.calc_chain_path)
      ct.document_element().remove_child(n);
    n = next;
  }
  replaced[ct_name] = PrintDocument(ct);
}

// The workbook part with fullCalcOnLoad set on its <calcPr>; nothing when it
// is set already.
std::optional<std::string> RequestFullCalculation(const ZipPackage& package,
                                                  const std::string& workbook_path) {
  pugi::xml_document wb;
  ParsePart(wb, package, workbook_path);
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
  if (full == "1" || full == "true") return std::nullopt;
  pugi::xml_attribute a = calc.attribute("fullCalcOnLoad");
  if (!a) a = calc.append_attribute("fullCalcOnLoad");
  a.set_value("1");
  return PrintDocument(wb);
}

}  // namespace

std::string SavePackage(const ZipPackage& package, const LoadedWorkbook& wb) {
  std::map<std::string, std::string> replaced;
  std::map<std::string, DeflatedEntry> sheets;  // deflated as they were written
  std::vector<std::string> removed;
  const bool new_styles = wb.book->style_count() > wb.file_style_count;
  bool formula_overwritten = false;
  for (const auto& part : wb.sheets) {
    if (SheetHasWrites(*part.sheet) ||
        (new_styles && SheetUsesStyleFrom(*part.sheet, wb.file_style_count))) {
      sheets[part.path] = RewriteSheet(package, part, wb.date1904, &formula_overwritten);
    }
  }
  if (new_styles) {
    if (wb.styles_path.empty()) throw XlsxError("the workbook has no styles part to extend");
    replaced[wb.styles_path] = RewriteStyles(package, wb);
  }
  if (formula_overwritten && !wb.calc_chain_path.empty()) {
    // The chain lists formula cells; one of them is gone, so the chain goes
    // and the host rebuilds it.
    RemoveCalcChain(package, wb, replaced, removed);
  }
  if (wb.has_formulas && (!replaced.empty() || !sheets.empty())) {
    // Formulas elsewhere may depend on the changed cells; their cached
    // results are recalculated when the file is opened.
    if (auto part = RequestFullCalculation(package, wb.workbook_path)) {
      replaced[wb.workbook_path] = std::move(*part);
    }
  }
  if (replaced.empty() && removed.empty() && sheets.empty()) return package.bytes();
  return package.Rewrite(replaced, removed, std::move(sheets));
}

// ---------------------------------------------------------------------------
// A new package.

namespace {

constexpr char kDecl[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr char kPackageRelNs[] = "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr char kSheetType[] = "application/vnd.openxmlformats-officedocument.spreadsheetml";

void AppendSheet(std::string& ws, memory::MemoryWorksheet& sheet, const memory::SheetLayout* layout,
                 bool active) {
  Append(ws, kDecl, "<worksheet xmlns=\"", kMainNs, "\" xmlns:r=\"", kRelNs,
         "\"><sheetPr codeName=\"");
  AppendEscapedMarkup(ws, Utf16ToUtf8(sheet.CodeName()));
  Append(ws, "\"/><dimension ref=\"A1\"/><sheetViews><sheetView ",
         active ? "tabSelected=\"1\" " : "",
         "workbookViewId=\"0\"/></sheetViews><sheetFormatPr defaultRowHeight=\"15\"/>");
  if (layout != nullptr && !layout->column_widths.empty()) {
    ws += "<cols>";
    for (const auto& w : layout->column_widths) {
      Append(ws, "<col min=\"", w.first, "\" max=\"", w.last, "\" width=\"");
      AppendNumberText(ws, w.width);
      ws += "\" customWidth=\"1\"/>";
    }
    ws += "</cols>";
  }
  ws += "<sheetData/>";
  if (layout != nullptr && !layout->list_validations.empty()) {
    Append(ws, "<dataValidations count=\"", layout->list_validations.size(), "\">");
    for (const auto& v : layout->list_validations) {
      ws +=
          "<dataValidation type=\"list\" allowBlank=\"1\" showInputMessage=\"1\" "
          "showErrorMessage=\"1\" sqref=\"";
      AppendEscapedMarkup(ws, v.sqref);
      ws += "\"><formula1>";
      AppendEscapedText(ws, Utf8ToUtf16(v.source));
      ws += "</formula1></dataValidation>";
    }
    ws += "</dataValidations>";
  }
  ws +=
      "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
      "footer=\"0.3\"/></worksheet>";
}

// <definedNames> of the names whose sheet is alive; nothing when none is.
void AppendNames(std::string& wb, const memory::MemoryWorkbook& source) {
  std::string names;
  for (const auto& dn : source.names()) {
    auto sheet = dn.sheet.lock();
    if (!sheet) continue;
    // 'Sheet name'!$A$1:$B$2, a quote inside the name doubled.
    std::u16string ref = u"'";
    for (char16_t c : sheet->Name()) {
      ref += c;
      if (c == u'\'') ref += c;
    }
    ref += u"'!";
    std::string cells;
    AppendCellRef(cells, dn.area.top, dn.area.left, true);
    if (dn.area.rows() > 1 || dn.area.cols() > 1) {
      cells += ':';
      AppendCellRef(cells, dn.area.bottom, dn.area.right, true);
    }
    ref += Utf8ToUtf16(cells);
    names += "<definedName name=\"";
    AppendEscapedMarkup(names, Utf16ToUtf8(dn.name));
    names += "\">";
    AppendEscapedText(names, ref);
    names += "</definedName>";
  }
  if (!names.empty()) Append(wb, "<definedNames>", names, "</definedNames>");
}

}  // namespace

std::string NewPackage(const memory::MemoryWorkbook& source,
                       const std::vector<memory::SheetLayout>& layouts, bool macro_enabled) {
  std::vector<std::pair<std::string, std::string>> parts;
  const auto& sheets = source.sheets();
  std::string ct;
  Append(ct, kDecl,
         "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"rels\" "
         "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
         "<Override PartName=\"/xl/workbook.xml\" ContentType=\"",
         macro_enabled
             ? "application/vnd.ms-excel.sheet.macroEnabled.main+xml"
             : "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",
         "\"/>");
  for (size_t i = 0; i < sheets.size(); ++i) {
    Append(ct, "<Override PartName=\"/xl/worksheets/sheet", i + 1, ".xml\" ContentType=\"",
           kSheetType, ".worksheet+xml\"/>");
  }
  Append(ct, "<Override PartName=\"/xl/styles.xml\" ContentType=\"", kSheetType,
         ".styles+xml\"/>"
         "<Override PartName=\"/docProps/core.xml\" "
         "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
         "<Override PartName=\"/docProps/app.xml\" "
         "ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>"
         "</Types>");
  parts.emplace_back("[Content_Types].xml", std::move(ct));
  std::string rels;
  Append(rels, kDecl, "<Relationships xmlns=\"", kPackageRelNs,
         "\"><Relationship Id=\"rId1\" Type=\"", kRelNs,
         "/officeDocument\" Target=\"xl/workbook.xml\"/>"
         "<Relationship Id=\"rId2\" Type=\"",
         kPackageRelNs,
         "/metadata/core-properties\" Target=\"docProps/core.xml\"/>"
         "<Relationship Id=\"rId3\" Type=\"",
         kRelNs, "/extended-properties\" Target=\"docProps/app.xml\"/></Relationships>");
  parts.emplace_back("_rels/.rels", std::move(rels));
  std::string app;
  Append(app, kDecl,
         "<Properties "
         "xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\">"
         "<Application>Kelvora</Application></Properties>");
  parts.emplace_back("docProps/app.xml", std::move(app));
  std::string core;
  Append(core, kDecl,
         "<cp:coreProperties "
         "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
         "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title>Kelvora</dc:title>"
         "</cp:coreProperties>");
  parts.emplace_back("docProps/core.xml", std::move(core));

  size_t active = 0;
  for (size_t i = 0; i < sheets.size(); ++i)
    if (sheets[i].get() == source.active_sheet()) active = i;
  std::string wb;
  Append(wb, kDecl, "<workbook xmlns=\"", kMainNs, "\" xmlns:r=\"", kRelNs,
         "\"><workbookPr codeName=\"ThisWorkbook\"/><bookViews><workbookView activeTab=\"", active,
         "\"/></bookViews><sheets>");
  std::string wb_rels;
  Append(wb_rels, kDecl, "<Relationships xmlns=\"", kPackageRelNs, "\">");
  for (size_t i = 0; i < sheets.size(); ++i) {
    const size_t n = i + 1;
    wb += "<sheet name=\"";
    AppendEscapedMarkup(wb, Utf16ToUtf8(sheets[i]->Name()));
    Append(wb, "\" sheetId=\"", n, "\" r:id=\"rId", n, "\"/>");
    Append(wb_rels, "<Relationship Id=\"rId", n, "\" Type=\"", kRelNs,
           "/worksheet\" Target=\"worksheets/sheet", n, ".xml\"/>");
    const memory::SheetLayout* layout = nullptr;
    for (const auto& l : layouts)
      if (l.code_name == sheets[i]->CodeName()) layout = &l;
    std::string ws;
    AppendSheet(ws, *sheets[i], layout, i == active);
    std::string name;
    Append(name, "xl/worksheets/sheet", n, ".xml");
    parts.emplace_back(std::move(name), std::move(ws));
  }
  wb += "</sheets>";
  AppendNames(wb, source);
  wb += "<calcPr calcId=\"191029\"/></workbook>";
  Append(wb_rels, "<Relationship Id=\"rId", sheets.size() + 1, "\" Type=\"", kRelNs,
         "/styles\" Target=\"styles.xml\"/></Relationships>");
  parts.emplace_back("xl/workbook.xml", std::move(wb));
  parts.emplace_back("xl/_rels/workbook.xml.rels", std::move(wb_rels));
  std::string styles;
  Append(styles, kDecl, "<styleSheet xmlns=\"", kMainNs,
         "\"><fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family "
         "val=\"2\"/></font></fonts><fills count=\"2\"><fill><patternFill "
         "patternType=\"none\"/></fill><fill><patternFill patternType=\"gray125\"/></fill></"
         "fills><borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></"
         "borders><cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
         "borderId=\"0\"/></cellStyleXfs><cellXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" "
         "fillId=\"0\" borderId=\"0\" xfId=\"0\"/></cellXfs><cellStyles count=\"1\"><cellStyle "
         "name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles></styleSheet>");
  parts.emplace_back("xl/styles.xml", std::move(styles));
  return ZipPackage::Build(parts);
}

}  // namespace kelvora::host::xlsx
