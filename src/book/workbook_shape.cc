#include "book/workbook_shape.h"

#include <array>

#include "host/error.h"
#include "host/layout.h"
#include "memory/memory_workbook.h"
#include "text/utf.h"

namespace kelvora::book {
namespace {

struct Role {
  const char16_t* code;
  const char* what;
};
constexpr std::array<Role, 3> kRoles = {{
    {layout::kMainSheetCode, "the main sheet"},
    {layout::kPasteSheetCode, "the paste sheet"},
    {layout::kSettingsSheetCode, "the settings sheet"},
}};

std::string AreaText(const host::Area& a) {
  std::string out = host::CellRef(a.top, a.left);
  if (a.rows() > 1 || a.cols() > 1) out += ":" + host::CellRef(a.bottom, a.right);
  return out;
}

// The index of the first worksheet with `code`, or the number of sheets.
size_t SheetWithCode(const WorkbookFacts& facts, const std::u16string& code) {
  size_t i = 0;
  while (i < facts.worksheets.size() && facts.worksheets[i].code_name != code) ++i;
  return i;
}

}  // namespace

WorkbookFacts FactsOf(const host::memory::MemoryWorkbook& book) {
  WorkbookFacts facts;
  const auto& sheets = book.sheets();
  for (const auto& sheet : sheets) facts.worksheets.push_back({sheet->Name(), sheet->CodeName()});
  if (const host::memory::DefinedName* list = book.FindName(layout::kKindListName)) {
    const auto target = list->sheet.lock();
    for (size_t i = 0; i < sheets.size(); ++i)
      if (target != nullptr && sheets[i] == target) facts.kind_list = {i, list->area};
  }
  return facts;
}

WorkbookFacts FactsOf(host::Workbook& book) {
  WorkbookFacts facts;
  const auto sheets = book.Worksheets();
  for (size_t i = 0; i < sheets.size(); ++i) {
    host::Worksheet& sheet = *sheets[i];
    facts.worksheets.push_back({sheet.Name(), sheet.CodeName()});
    if (facts.kind_list) continue;
    std::unique_ptr<host::Range> list;
    try {
      list = sheet.GetRange(layout::kKindListName);
    } catch (const CommandError&) {
      continue;  // no such name, or it refers to another sheet
    }
    const host::Table values = list->GetValues();
    const int32_t top = list->Row(), left = list->Column();
    facts.kind_list = {i, {top, left, top + values.rows() - 1, left + values.cols() - 1}};
  }
  return facts;
}

std::string QuotedTab(const std::u16string& tab) { return "'" + Utf16ToUtf8(tab) + "'"; }

std::string WorksheetsText(const WorkbookFacts& facts) {
  std::string out;
  for (const auto& sheet : facts.worksheets) {
    if (!out.empty()) out += ", ";
    out += QuotedTab(sheet.tab) + " (" +
           (sheet.code_name.empty() ? std::string("no code name") : Utf16ToUtf8(sheet.code_name)) +
           ")";
  }
  return out;
}

std::optional<ShapeProblem> WorkbookShapeProblem(const WorkbookFacts& facts) {
  std::vector<const Role*> missing;
  for (const Role& role : kRoles)
    if (SheetWithCode(facts, role.code) == facts.worksheets.size()) missing.push_back(&role);
  if (!missing.empty()) {
    std::string text = missing.size() == 1 ? "no worksheet has the code name "
                                           : "no worksheet has the code names ";
    for (size_t i = 0; i < missing.size(); ++i) {
      if (i > 0) text += i + 1 == missing.size() ? " or " : ", ";
      text += Utf16ToUtf8(missing[i]->code) + " (" + missing[i]->what + ")";
    }
    text += facts.worksheets.empty() ? "; the workbook has no worksheets"
                                     : "; its worksheets are " + WorksheetsText(facts);
    ShapeProblem problem{ShapeProblem::Kind::kMissingCodeNames, std::move(text), {}};
    for (const Role* role : missing) problem.missing_code_names.push_back(role->code);
    return problem;
  }

  const size_t settings = SheetWithCode(facts, layout::kSettingsSheetCode);
  const std::string settings_tab = QuotedTab(facts.worksheets[settings].tab);
  const std::string kinds = Utf16ToUtf8(layout::kKindListName);
  if (!facts.kind_list.has_value()) {
    return ShapeProblem{ShapeProblem::Kind::kNoKindList,
                        "the workbook has no name " + kinds +
                            " for the six bet kinds (a block of six rows on the settings sheet " +
                            settings_tab + ")",
                        {}};
  }
  const WorkbookFacts::Block& list = *facts.kind_list;
  const std::string refers = "the name " + kinds + " refers to " +
                             QuotedTab(facts.worksheets.at(list.sheet).tab) + "!" +
                             AreaText(list.area);
  if (list.sheet != settings) {
    return ShapeProblem{ShapeProblem::Kind::kKindListElsewhere,
                        refers + ", not to the settings sheet " + settings_tab + " (code name " +
                            Utf16ToUtf8(layout::kSettingsSheetCode) + ")",
                        {}};
  }
  if (list.area.rows() < layout::kKindList.rows()) {
    return ShapeProblem{ShapeProblem::Kind::kKindListTooShort,
                        refers + ": " + std::to_string(list.area.rows()) +
                            " rows, but the six bet kinds need " +
                            std::to_string(layout::kKindList.rows()),
                        {}};
  }
  return std::nullopt;
}

std::optional<ShapeProblem> WorkbookShapeProblem(const host::memory::MemoryWorkbook& book) {
  return WorkbookShapeProblem(FactsOf(book));
}

}  // namespace kelvora::book
