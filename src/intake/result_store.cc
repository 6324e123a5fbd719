#include "intake/result_store.h"

#include <string>

#include "host/convert.h"
#include "text/utf.h"

namespace kelvora::intake {

int32_t StoreLastRow(host::Worksheet& main_sheet, int32_t start_row) {
  return main_sheet.GetRange(u"A" + Ascii(std::to_string(start_row)))->End(host::kXlUp)->Row();
}

bool IsNumericValue(const host::Value& v) { return host::IsNumericValue(v); }

double LeadingNumber(const host::Value& v) {
  return host::LeadingNumberOfText(host::ToText(v));
}

bool IsNotEmpty(const host::Value& v) {
  if (v.IsEmpty()) return false;
  if (v.IsText()) return !v.text().empty();
  return true;
}

}  // namespace kelvora::intake
