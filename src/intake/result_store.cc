#include "intake/result_store.h"

#include <string>
#include <utility>
#include <vector>

#include "entry/host_state.h"
#include "host/convert.h"
#include "host/error.h"
#include "host/keyed_set.h"
#include "text/message.h"
#include "text/utf.h"

namespace kelvora::intake {

thread_local bool PasteFailed = false;

int32_t StoreLastRow(host::Worksheet& main_sheet, int32_t start_row) {
  return main_sheet.GetRange(u"A" + Ascii(std::to_string(start_row)))->End(host::kXlUp)->Row();
}

bool IsNumericValue(const host::Value& v) { return host::IsNumericValue(v); }

double LeadingNumber(const host::Value& v) { return host::LeadingNumberOfText(host::ToText(v)); }

bool IsNotEmpty(const host::Value& v) {
  if (v.IsEmpty()) return false;
  if (v.IsText()) return !v.text().empty();
  return true;
}

void PasteResultTable() {
  ExcelApp().SetScreenUpdating(false);
  try {
    host::Worksheet& paste = PasteSheet();
    paste.Activate();
    paste.GetRange(u"A1")->Resize(300, 70)->ClearContents();
    paste.GetRange(u"A1")->Select();
    paste.PasteSpecial(u"HTML", false, false, true);
  } catch (const CommandError&) {
    ShowStoredMessage(u"Vui Lofng Copy Ddusng Barng Keest Quar", kMbIconInformation);
    PasteFailed = true;
  }
  MainSheet().Activate();
  ExcelApp().SetScreenUpdating(true);
}

void MergeDraws(host::Table new_rows) {
  host::KeyedSet taken;
  std::vector<std::pair<host::Value, host::Value>> rows;
  auto take = [&](const host::Value& draw, const host::Value& result) {
    if (static_cast<int32_t>(rows.size()) >= kStoreCapacity) ThrowSubscriptOutOfRange();
    taken.Add(draw);
    rows.emplace_back(draw, result);
  };

  host::Worksheet& main = MainSheet();
  const int32_t last = StoreLastRow(main);
  if (last != kEmptyStoreLastRow) {
    const host::Table stored = main.GetRange(u"A17:B" + Ascii(std::to_string(last)))->GetValues();
    for (int32_t i = 1; i <= stored.rows(); ++i) {
      const host::Value& draw = stored(i, 1);
      if (intake::IsNumericValue(draw) && IsNotEmpty(stored(i, 2)) && !taken.Exists(draw))
        take(draw, stored(i, 2));
    }
  }
  for (int32_t i = 1; i <= new_rows.rows(); ++i) {
    const host::Value& draw = new_rows.at(i, 1);
    if (intake::IsNumericValue(draw) && IsNotEmpty(draw) && !taken.Exists(draw))
      take(draw, new_rows.at(i, 2));
  }

  const auto n = static_cast<int32_t>(rows.size());
  main.GetRange(u"A17")->Resize(kStoreCapacity, 2)->ClearContents();
  if (n > 0) {
    host::Table w(n, 2);
    for (int32_t i = 1; i <= n; ++i) {
      w(i, 1) = std::move(rows[static_cast<size_t>(i - 1)].first);
      w(i, 2) = std::move(rows[static_cast<size_t>(i - 1)].second);
    }
    auto block = main.GetRange(u"A17")->Resize(n, 2);
    block->SetValues(w);
    block->Sort(*main.GetRange(u"A11"), host::kXlDescending);
  }
  main.GetRange(u"B15")->SetValue(host::Value(static_cast<double>(n)));
}

}  // namespace kelvora::intake
