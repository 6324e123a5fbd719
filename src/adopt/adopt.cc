#include "adopt/adopt.h"

#include <algorithm>
#include <map>
#include <optional>

#include "book/workbook_shape.h"
#include "host/cell_ref.h"
#include "host/layout.h"
#include "text/markup_escape.h"
#include "text/utf.h"
#include "xlsx/part_text.h"
#include "xlsx/part_xml.h"
#include "xlsx/workbook_reader.h"
#include "xlsx/xlsx_text.h"

namespace kelvora::adopt {

// Adoption edits the parts of a package with the codec's own tools.
using namespace host::xlsx;
namespace memory = host::memory;
using book::QuotedTab;
using book::WorkbookShapeProblem;
using host::AppendCellRef;

namespace {

constexpr std::array<const char16_t*, 3> kCodes = {layout::kMainSheetCode, layout::kPasteSheetCode,
                                                   layout::kSettingsSheetCode};
constexpr std::array<const char*, 3> kRoleNames = {"main", "paste", "settings"};

// The children of <workbook> that come after <definedNames>, in their order.
constexpr std::array<std::string_view, 10> kAfterDefinedNames = {
    "calcPr",        "oleSize",       "customWorkbookViews", "pivotCaches",       "smartTagPr",
    "smartTagTypes", "webPublishing", "fileRecoveryPr",      "webPublishObjects", "extLst"};

// One <sheet> of the workbook, of any kind.
struct SheetEntry {
  std::u16string tab;
  std::string part;  // empty when the package lacks it
  bool worksheet = false;
  std::u16string code;
};

// Code names are names in the workbook's macro project, where letter case
// does not tell names apart.
std::string Folded(std::u16string_view s) {
  std::string out = Utf16ToUtf8(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string Escaped(std::string_view utf8) {
  std::string out;
  AppendEscapedMarkup(out, utf8);
  return out;
}

std::string TabList(const std::vector<SheetEntry>& sheets) {
  std::string out;
  for (const SheetEntry& s : sheets) {
    if (!s.worksheet) continue;
    if (!out.empty()) out += ", ";
    out += QuotedTab(s.tab);
  }
  return out.empty() ? "none" : out;
}

std::u16string CodeNameOfPart(const ZipPackage& pkg, const std::string& part) {
  pugi::xml_document doc;
  ParsePart(doc, pkg, part);
  return Utf8ToUtf16(Child(doc.document_element(), "sheetPr").attribute("codeName").value());
}

std::vector<SheetEntry> ListSheets(const ZipPackage& pkg, const LoadedWorkbook& loaded,
                                   pugi::xml_node workbook) {
  std::map<std::string, Relationship> rels;
  for (auto& r : ReadRelationships(pkg, loaded.workbook_path)) rels.emplace(r.id, r);
  std::vector<SheetEntry> sheets;
  for (pugi::xml_node s = Child(workbook, "sheets").first_child(); s; s = s.next_sibling()) {
    if (s.type() != pugi::node_element || LocalName(s.name()) != "sheet") continue;
    SheetEntry e;
    e.tab = Utf8ToUtf16(s.attribute("name").value());
    auto rel = rels.find(PrefixedAttribute(s, "id").value());
    if (rel != rels.end() && !rel->second.external) {
      e.part = pkg.Find(rel->second.target).value_or("");
      e.worksheet = TypeEndsWith(rel->second.type, "/worksheet");
    }
    for (const SheetEntry& other : sheets) {
      if (!e.part.empty() && other.part == e.part) {
        throw XlsxError("damaged workbook file (two sheets share " + e.part + ")");
      }
    }
    if (e.worksheet) {
      // As the reader loaded it.
      for (const SheetPart& p : loaded.sheets)
        if (p.path == e.part) e.code = p.sheet->CodeName();
    } else if (!e.part.empty()) {
      e.code = CodeNameOfPart(pkg, e.part);
    }
    sheets.push_back(std::move(e));
  }
  return sheets;
}

// Indexes into `sheets` of the main, paste and settings sheets.
std::array<size_t, 3> ChooseSheets(const std::vector<SheetEntry>& sheets, const SheetTabs& tabs,
                                   bool& by_position) {
  const std::array<const std::u16string*, 3> given = {&tabs.main, &tabs.paste, &tabs.settings};
  const auto count = std::count_if(given.begin(), given.end(), [](auto* t) { return !t->empty(); });
  std::array<size_t, 3> chosen{};
  if (count == 3) {
    for (size_t i = 0; i < 3; ++i) {
      auto it = std::find_if(sheets.begin(), sheets.end(),
                             [&](const SheetEntry& s) { return s.tab == *given[i]; });
      if (it == sheets.end()) {
        throw AdoptRefused("no sheet has the tab " + QuotedTab(*given[i]) + " (given as the " +
                               kRoleNames[i] + " sheet); the worksheets are " + TabList(sheets),
                           true);
      }
      if (!it->worksheet) {
        throw AdoptRefused(QuotedTab(it->tab) + " (given as the " + kRoleNames[i] +
                               " sheet) is not a worksheet but a chart or dialog sheet; the "
                               "worksheets are " +
                               TabList(sheets),
                           true);
      }
      chosen[i] = static_cast<size_t>(it - sheets.begin());
      for (size_t j = 0; j < i; ++j) {
        if (chosen[j] == chosen[i]) {
          throw AdoptRefused(QuotedTab(it->tab) + " is given as both the " + kRoleNames[j] +
                                 " and the " + kRoleNames[i] + " sheet",
                             true);
        }
      }
    }
    return chosen;
  }
  if (count != 0) {
    throw AdoptRefused("give the tabs of all three sheets (main, paste and settings), or none",
                       true);
  }
  // The sheets that carry the code names already, when all three do.
  size_t found = 0;
  for (size_t i = 0; i < 3; ++i) {
    for (size_t j = 0; j < sheets.size(); ++j) {
      if (sheets[j].worksheet && sheets[j].code == kCodes[i]) {
        chosen[i] = j;
        ++found;
        break;
      }
    }
  }
  if (found == 3) return chosen;
  found = 0;
  for (size_t j = 0; j < sheets.size() && found < 3; ++j)
    if (sheets[j].worksheet) chosen[found++] = j;
  if (found < 3) {
    throw AdoptRefused("the workbook has " + std::to_string(found) +
                           " worksheets, and three are needed (main, paste and settings); its "
                           "worksheets are " +
                           TabList(sheets),
                       false);
  }
  by_position = true;
  return chosen;
}

// The part's text with the root's <sheetPr codeName> set to `code`.
std::string WithCodeName(const PartText& p, const std::u16string& code) {
  const std::string value = Escaped(Utf16ToUtf8(code));
  const pugi::xml_node root = p.root();
  if (const pugi::xml_node pr = Child(root, "sheetPr")) {
    const StartTag tag = p.TagOf(pr);
    for (const auto& a : tag.attributes)
      if (a.name == "codeName") return p.Spliced(a.value_begin, a.value_end - a.value_begin, value);
    return p.Spliced(tag.close, 0, " codeName=\"" + value + "\"");
  }
  // <sheetPr> is the first child of a sheet's root.
  const std::string element = "<" + PrefixOf(root.name()) + "sheetPr codeName=\"" + value + "\"/>";
  const StartTag tag = p.TagOf(root);
  if (tag.empty) return p.Spliced(tag.close, 2, ">" + element + "</" + root.name() + ">");
  return p.Spliced(tag.end, 0, element);
}

bool IsKindListElement(pugi::xml_node n) {
  return n.type() == pugi::node_element && LocalName(n.name()) == "definedName" &&
         !n.attribute("localSheetId") &&
         Folded(Utf8ToUtf16(n.attribute("name").value())) == Folded(layout::kKindListName);
}

// The workbook part's text with KieuDanh referring to `reference` (escaped
// already): the text of a workbook-level KieuDanh the part has replaced,
// else a new <definedName> added as the last one, in a new <definedNames>
// at its place among the workbook's children when there is none.
std::string WithKindList(const PartText& p, const std::string& reference) {
  const pugi::xml_node root = p.root();
  const std::string prefix = PrefixOf(root.name());
  const std::string name = Utf16ToUtf8(layout::kKindListName);
  auto wrap = [](const std::string& element_name, const std::string& inner) {
    return "<" + element_name + ">" + inner + "</" + element_name + ">";
  };
  // Fills an element, empty or not, with `inner`.
  auto fill = [&](pugi::xml_node element, const std::string& inner) {
    const StartTag tag = p.TagOf(element);
    if (tag.empty) return p.Spliced(tag.close, 2, ">" + inner + "</" + element.name() + ">");
    return p.Spliced(tag.end, p.EndTagOf(element) - tag.end, inner);
  };
  const std::string defined = "<" + prefix + "definedName name=\"" + name + "\">" + reference +
                              "</" + prefix + "definedName>";
  if (const pugi::xml_node names = Child(root, "definedNames")) {
    for (pugi::xml_node n = names.first_child(); n; n = n.next_sibling())
      if (IsKindListElement(n)) return fill(n, reference);
    const StartTag tag = p.TagOf(names);
    if (tag.empty) return fill(names, defined);
    return p.Spliced(p.EndTagOf(names), 0, defined);
  }
  const std::string names = wrap(prefix + "definedNames", defined);
  for (pugi::xml_node c = root.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_element &&
        std::find(kAfterDefinedNames.begin(), kAfterDefinedNames.end(), LocalName(c.name())) !=
            kAfterDefinedNames.end())
      return p.Spliced(p.StartOf(c), 0, names);
  }
  if (p.TagOf(root).empty) return fill(root, names);
  return p.Spliced(p.EndTagOf(root), 0, names);
}

// 'Cài đặt'!$A$1:$A$6, escaped for element text.
std::string KindListReference(const std::u16string& tab) {
  std::string quoted = "'";
  for (char c : Utf16ToUtf8(tab)) {
    quoted += c;
    if (c == '\'') quoted += c;
  }
  quoted += "'!";
  const layout::Block b = layout::kKindList;
  AppendCellRef(quoted, b.first.row, b.first.col, true);
  quoted += ':';
  AppendCellRef(quoted, b.last.row, b.last.col, true);
  std::string out;
  AppendEscapedText(out, Utf8ToUtf16(quoted));
  return out;
}

std::u16string FreeCodeName(const std::vector<std::string>& used) {
  for (int n = 4;; ++n) {
    const std::u16string name = u"Sheet" + Utf8ToUtf16(std::to_string(n));
    if (std::find(used.begin(), used.end(), Folded(name)) == used.end()) return name;
  }
}

}  // namespace

Adoption AdoptWorkbook(const std::string& bytes, const SheetTabs& tabs,
                       const PackageLimits& limits) {
  const ZipPackage pkg(bytes, limits);
  memory::MemoryApplication app;
  const LoadedWorkbook loaded = ReadWorkbook(pkg, &app);
  const PartText workbook(pkg.Read(loaded.workbook_path), loaded.workbook_path);
  const std::vector<SheetEntry> sheets = ListSheets(pkg, loaded, workbook.root());

  Adoption result;
  const std::array<size_t, 3> chosen = ChooseSheets(sheets, tabs, result.by_position);
  for (size_t i = 0; i < 3; ++i) result.tabs[i] = sheets[chosen[i]].tab;

  // The code name each sheet ends with.
  std::vector<std::u16string> codes;
  for (const SheetEntry& s : sheets) codes.push_back(s.code);
  for (size_t i = 0; i < 3; ++i) codes[chosen[i]] = kCodes[i];
  std::vector<std::string> used;
  used.push_back(Folded(loaded.code_name));
  for (const auto& c : codes) used.push_back(Folded(c));
  for (size_t j = 0; j < sheets.size(); ++j) {
    if (std::find(chosen.begin(), chosen.end(), j) != chosen.end()) continue;
    for (const char16_t* code : kCodes) {
      if (Folded(codes[j]) == Folded(code)) {
        codes[j] = FreeCodeName(used);
        used.push_back(Folded(codes[j]));
      }
    }
  }
  for (size_t j = 0; j < sheets.size(); ++j)
    if (codes[j] != sheets[j].code)
      result.changes.push_back({sheets[j].tab, sheets[j].code, codes[j]});

  // KieuDanh: kept when it refers to a block of a worksheet, which must then
  // be fit.
  const std::u16string& settings = result.tabs[2];
  const memory::DefinedName* list = loaded.book->FindName(layout::kKindListName);
  if (const auto list_sheet = list != nullptr ? list->sheet.lock() : nullptr) {
    const std::string refers = "the name " + Utf16ToUtf8(layout::kKindListName) +
                               " refers to a block of " + QuotedTab(list_sheet->Name());
    if (list_sheet->Name() != settings) {
      throw AdoptRefused(refers + ", and the settings sheet is " + QuotedTab(settings) + "; make " +
                             QuotedTab(list_sheet->Name()) +
                             " the settings sheet, or correct the name in a spreadsheet program",
                         false);
    }
    if (list->area.rows() < layout::kKindList.rows()) {
      throw AdoptRefused(refers + " of " + std::to_string(list->area.rows()) +
                             " rows; correct it in a spreadsheet program so that it holds the "
                             "six bet kinds",
                         false);
    }
  } else {
    result.kind_list_added = true;
  }
  if (result.changes.empty() && !result.kind_list_added) return result;

  std::map<std::string, std::string> replaced;
  for (size_t j = 0; j < sheets.size(); ++j) {
    if (codes[j] == sheets[j].code) continue;
    if (sheets[j].part.empty()) {
      throw XlsxError("damaged workbook file (the part of sheet " + QuotedTab(sheets[j].tab) +
                      " is missing)");
    }
    const PartText part(pkg.Read(sheets[j].part), sheets[j].part);
    replaced[sheets[j].part] = WithCodeName(part, codes[j]);
  }
  if (result.kind_list_added)
    replaced[loaded.workbook_path] = WithKindList(workbook, KindListReference(settings));
  result.bytes = pkg.Rewrite(replaced, {});

  // What was written must bind: a workbook the edit could not give its shape
  // is not handed out.
  const ZipPackage check(result.bytes, limits);
  memory::MemoryApplication check_app;
  const LoadedWorkbook again = ReadWorkbook(check, &check_app);
  if (auto problem = WorkbookShapeProblem(*again.book)) {
    throw XlsxError("cannot adopt the workbook: after the edit, " + problem->description);
  }
  for (size_t i = 0; i < 3; ++i) {
    if (again.book->SheetByCodeName(kCodes[i])->Name() != result.tabs[i])
      throw XlsxError("cannot adopt the workbook: the code names did not reach their sheets");
  }
  return result;
}

}  // namespace kelvora::adopt
