#include "intake/result_store.h"

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/convert.h"
#include "host/error.h"
#include "host/keyed_set.h"
#include "host/message.h"
#include "intake/draw_check.h"

namespace kelvora::intake {

int32_t StoreLastRow(host::Worksheet& sheet, int32_t start_row) {
  return sheet.GetRange(layout::A1(layout::Cell{start_row, layout::kStoreDrawCol}))
      ->End(host::kXlUp)
      ->Row();
}

bool IsNumericValue(const host::Value& v) { return host::IsNumericValue(v); }

double LeadingNumber(const host::Value& v) { return host::LeadingNumberOfText(host::ToText(v)); }

bool IsNotEmpty(const host::Value& v) {
  if (v.IsEmpty()) return false;
  if (v.IsText()) return !v.text().empty();
  return true;
}

void PasteResultTable(host::Session& session) {
  session.ExcelApp().SetScreenUpdating(false);
  try {
    host::Worksheet& paste = session.PasteSheet();
    const std::u16string top = layout::A1(layout::kPasteTop);
    paste.Activate();
    // The whole used area, not only the scratch block: rows an earlier,
    // longer table left would otherwise be read with the new one.
    paste.UsedRange()->ClearContents();
    paste.GetRange(top)->Select();
    paste.PasteSpecial(u"HTML", false, false, true);
  } catch (const CommandError&) {
    StopByCheck(session, u"Vui Lofng Copy Ddusng Barng Keest Quar", kMbIconInformation);
    session.paste_failed = true;
  }
  session.MainSheet().Activate();
  session.ExcelApp().SetScreenUpdating(true);
}

void MergeDraws(host::Session& session, host::Table new_rows) {
  host::KeyedSet taken;
  std::vector<std::pair<host::Value, host::Value>> rows;
  auto take = [&](const host::Value& draw, const host::Value& result) {
    if (static_cast<int32_t>(rows.size()) >= layout::kStoreCapacity) ThrowSubscriptOutOfRange();
    taken.Add(draw);
    rows.emplace_back(draw, result);
  };

  // The row taken for each draw number, and whether it was stored: a page
  // that contradicts a result it meets there is refused before any write.
  struct Seen {
    size_t row;         // in `rows`
    int32_t store_row;  // on the main sheet; 0 for a row of the page
  };
  std::unordered_map<double, Seen> seen;
  host::Worksheet& main = session.MainSheet();
  const int32_t last = StoreLastRow(main);
  if (last != layout::kEmptyStoreLastRow) {
    const host::Table stored = main.GetRange(layout::A1(layout::StoreRows(last)))->GetValues();
    for (int32_t i = 1; i <= stored.rows(); ++i) {
      const host::Value& draw = stored(i, 1);
      if (intake::IsNumericValue(draw) && IsNotEmpty(stored(i, 2)) && !taken.Exists(draw)) {
        if (IsDrawNumber(draw))
          seen.emplace(host::ToDouble(draw), Seen{rows.size(), layout::kStoreFirstRow + i - 1});
        take(draw, stored(i, 2));
      }
    }
  }
  for (int32_t i = 1; i <= new_rows.rows(); ++i) {
    const host::Value& draw = new_rows.at(i, 1);
    if (!intake::IsNumericValue(draw) || !IsNotEmpty(draw)) continue;
    const auto at = IsDrawNumber(draw) ? seen.find(host::ToDouble(draw)) : seen.end();
    if (at != seen.end()) {
      const std::u16string before = ResultText(rows[at->second.row].second);
      const std::u16string now = ResultText(new_rows.at(i, 2));
      if (before == now) continue;
      if (at->second.store_row != 0) {
        RefuseChangedResult(session, host::ToText(draw), before, now, at->second.store_row);
      } else {
        RefuseConflictingDraw(session, host::ToText(draw), before, now);
      }
      return;
    }
    if (taken.Exists(draw)) continue;
    if (IsDrawNumber(draw)) seen.emplace(host::ToDouble(draw), Seen{rows.size(), 0});
    take(draw, new_rows.at(i, 2));
  }

  const auto n = static_cast<int32_t>(rows.size());
  const std::u16string top = layout::A1(layout::kStoreTop);
  main.GetRange(top)->Resize(layout::kStore.rows(), layout::kStore.cols())->ClearContents();
  if (n > 0) {
    host::Table w(n, 2);
    for (int32_t i = 1; i <= n; ++i) {
      w(i, 1) = std::move(rows[static_cast<size_t>(i - 1)].first);
      w(i, 2) = std::move(rows[static_cast<size_t>(i - 1)].second);
    }
    auto block = main.GetRange(top)->Resize(n, layout::kStore.cols());
    block->SetValues(w);
    block->Sort(*main.GetRange(layout::A1(layout::kMergeSortKey)), host::kXlDescending);
  }
  main.GetRange(layout::A1(layout::kStoreCount))->SetValue(host::Value(static_cast<double>(n)));
}

}  // namespace kelvora::intake
