#include "host/xlsx/workbook_shape.h"

#include <array>

#include "host/layout.h"
#include "text/utf.h"

namespace kelvora::host::xlsx {
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

std::string AreaText(const Area& a) {
  std::string out = CellRef(a.top, a.left);
  if (a.rows() > 1 || a.cols() > 1) out += ":" + CellRef(a.bottom, a.right);
  return out;
}

}  // namespace

std::string QuotedTab(const std::u16string& tab) { return "'" + Utf16ToUtf8(tab) + "'"; }

std::string WorksheetsText(const memory::MemoryWorkbook& book) {
  std::string out;
  for (const auto& sheet : book.sheets()) {
    if (!out.empty()) out += ", ";
    const std::u16string code = sheet->CodeName();
    out += QuotedTab(sheet->Name()) + " (" +
           (code.empty() ? std::string("no code name") : Utf16ToUtf8(code)) + ")";
  }
  return out;
}

std::optional<ShapeProblem> WorkbookShapeProblem(const memory::MemoryWorkbook& book) {
  std::vector<const Role*> missing;
  for (const Role& role : kRoles)
    if (book.SheetByCodeName(role.code) == nullptr) missing.push_back(&role);
  if (!missing.empty()) {
    std::string text = missing.size() == 1 ? "no worksheet has the code name "
                                           : "no worksheet has the code names ";
    for (size_t i = 0; i < missing.size(); ++i) {
      if (i > 0) text += i + 1 == missing.size() ? " or " : ", ";
      text += Utf16ToUtf8(missing[i]->code) + " (" + missing[i]->what + ")";
    }
    text += book.sheets().empty() ? "; the workbook has no worksheets"
                                  : "; its worksheets are " + WorksheetsText(book);
    return ShapeProblem{ShapeProblem::Kind::kMissingCodeNames, std::move(text)};
  }

  const auto settings = book.SheetByCodeName(layout::kSettingsSheetCode);
  const std::string kinds = Utf16ToUtf8(layout::kKindListName);
  const memory::DefinedName* list = book.FindName(layout::kKindListName);
  const auto list_sheet = list != nullptr ? list->sheet.lock() : nullptr;
  if (list_sheet == nullptr) {
    return ShapeProblem{ShapeProblem::Kind::kNoKindList,
                        "the workbook has no name " + kinds +
                            " for the six bet kinds (a block of six rows on the settings sheet " +
                            QuotedTab(settings->Name()) + ")"};
  }
  const std::string refers = "the name " + kinds + " refers to " + QuotedTab(list_sheet->Name()) +
                             "!" + AreaText(list->area);
  if (list_sheet != settings) {
    return ShapeProblem{ShapeProblem::Kind::kKindListElsewhere,
                        refers + ", not to the settings sheet " + QuotedTab(settings->Name()) +
                            " (code name " + Utf16ToUtf8(layout::kSettingsSheetCode) + ")"};
  }
  if (list->area.rows() < layout::kKindList.rows()) {
    return ShapeProblem{ShapeProblem::Kind::kKindListTooShort,
                        refers + ": " + std::to_string(list->area.rows()) +
                            " rows, but the six bet kinds need " +
                            std::to_string(layout::kKindList.rows())};
  }
  return std::nullopt;
}

}  // namespace kelvora::host::xlsx
