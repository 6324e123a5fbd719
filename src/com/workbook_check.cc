#include "workbook_check.h"

#include "book/workbook_shape.h"
#include "excel/excel_host.h"
#include "host/error.h"
#include "host/layout.h"
#include "text/utf.h"

namespace kelvora::com {

namespace {

constexpr char kNotKelvora[] = "Sổ tính đang mở chưa có dạng của Kelvora: ";
constexpr char kWayOut[] =
    "\n\nHãy bấm \"Sổ mới\" trên thẻ Kelvora để mở một sổ tính đúng dạng rồi làm lại.";

std::string Utf8(std::u16string_view s) { return Utf16ToUtf8(s); }

// What is missing, in words.
std::string Missing(const book::ShapeProblem& problem, const book::WorkbookFacts& facts) {
  const std::string kinds = Utf8(layout::kKindListName);
  const std::string settings = Utf8(layout::kSettingsSheetCode);
  switch (problem.kind) {
    case book::ShapeProblem::Kind::kMissingCodeNames: {
      std::string names;
      for (const std::u16string& code : problem.missing_code_names)
        names += (names.empty() ? "" : ", ") + Utf8(code);
      return "không trang tính nào có tên mã " + names + ".";
    }
    case book::ShapeProblem::Kind::kNoKindList:
      return "thiếu tên " + kinds + " (sáu kiểu dàn trên trang có tên mã " + settings + ").";
    case book::ShapeProblem::Kind::kKindListElsewhere:
      return "tên " + kinds + " không trỏ vào trang có tên mã " + settings + ".";
    case book::ShapeProblem::Kind::kKindListTooShort:
      break;
  }
  const int32_t rows = facts.kind_list ? facts.kind_list->area.rows() : 0;
  return "tên " + kinds + " chỉ có " + std::to_string(rows) + " dòng, cần " +
         std::to_string(layout::kKindList.rows()) + " dòng cho sáu kiểu dàn.";
}

}  // namespace

host::excel::DispatchPtr ActiveWorkbook(IDispatch* app) {
  if (app == nullptr) ThrowObjectRequired("Application");
  const host::excel::Variant active = host::excel::Call(app, L"ActiveWorkbook");
  const VARIANT* v = active.get();
  if (V_VT(v) == VT_EMPTY || V_VT(v) == VT_NULL) return {};
  if (V_VT(v) == VT_DISPATCH && V_DISPATCH(v) == nullptr) return {};
  return active.AsDispatch();
}

std::optional<std::u16string> ShapeRefusal(IDispatch* book) {
  if (book == nullptr) return Utf8ToUtf16(std::string("Chưa có sổ tính nào đang mở.") + kWayOut);
  const auto workbook = host::excel::WrapWorkbook(book);
  const book::WorkbookFacts facts = book::FactsOf(*workbook);
  const std::optional<book::ShapeProblem> problem = book::WorkbookShapeProblem(facts);
  if (!problem) return std::nullopt;
  return Utf8ToUtf16(kNotKelvora + Missing(*problem, facts) + kWayOut);
}

std::u16string ShapeConfirmation() {
  return Utf8ToUtf16("Sổ tính đang mở có đủ dạng của Kelvora: ba trang có tên mã " +
                     Utf8(layout::kMainSheetCode) + ", " + Utf8(layout::kPasteSheetCode) + ", " +
                     Utf8(layout::kSettingsSheetCode) + " và tên " + Utf8(layout::kKindListName) +
                     ".");
}

}  // namespace kelvora::com
