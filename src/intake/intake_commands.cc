#include "intake/intake_commands.h"

#include <map>
#include <string>
#include <vector>

#include "host/clipboard_text.h"
#include "host/convert.h"
#include "host/error.h"
#include "host/keyed_set.h"
#include "host/layout.h"
#include "host/message.h"
#include "intake/draw_check.h"
#include "intake/result_store.h"
#include "intake/special_prize_text.h"

namespace kelvora::intake {
namespace {

// The hundred-draw check failed.
constexpr char16_t kNotHundredDraws[] =
    u"Bajn Chuwa Chojn 100 Kyf Keest Quar!\r\nVui Lofng Chojn 100 Kyf Vaf Copy Laji";
// Special-prize text: nothing copied, or copied in the wrong form.
constexpr char16_t kWrongCopy[] = u"Bajn chuwa copy hoawjc copy sai ddijnh dajng";
// Special-prize text: a page of another game.
constexpr char16_t kNotTwentySevenPrizes[] =
    u"Chuwsc nawng nafy chir hoox trowj kieeru choi 27 giari\r\nVui lofng kieerm tra laji";
// Special-prize text: the new draws would carry the store past its capacity.
constexpr char16_t kStoreFull[] =
    u"Kho duwx lieeju chir chuwsa dduwowjc 65000 kyf, khoong theer theem casc kyf mowsi.\r\n"
    u"Vui lofng xosa bowst duwx lieeju cux roofi thuwr laji";

// The result text of a draw row: the text forms of its result cells joined.
std::u16string JoinedResult(const host::Table& t, int32_t row, int32_t first_col,
                            int32_t last_col) {
  std::u16string out;
  for (int32_t c = first_col; c <= last_col; ++c) out += host::ToText(t(row, c));
  return out;
}

// The last non-empty row of column A of the pasted table, searching upward
// from A100000; a table that reaches that row is searched from the sheet's
// last row instead, so that a longer table is read whole.
int32_t PastedTableLastRow(host::Worksheet& sheet) {
  if (!sheet.GetRange(layout::A1(layout::Cell{layout::kByDateSearchRow, 1}))
           ->GetValue()
           .IsEmpty()) {
    auto bottom = sheet.GetRange(layout::A1(layout::Cell{layout::kSheetRows, 1}));
    if (!bottom->GetValue().IsEmpty()) return layout::kSheetRows;
    return bottom->End(host::kXlUp)->Row();
  }
  return StoreLastRow(sheet, layout::kByDateSearchRow);
}

// The common start of the table intakes: screen updating and the host's
// copy mode off, then the paste. False when the paste failed (its message
// has been shown).
bool PasteForIntake(host::Session& session) {
  session.ExcelApp().SetScreenUpdating(false);
  session.ExcelApp().SetCutCopyMode(false);
  session.paste_failed = false;
  PasteResultTable(session);
  return !session.paste_failed;
}

}  // namespace

void DanKQXS(host::Session& session) {
  if (!PasteForIntake(session)) return;

  host::Worksheet& paste = session.PasteSheet();
  const std::u16string table = layout::A1(layout::kHundredDraws);
  const std::u16string top_cell = layout::A1(layout::kHundredDraws.first);
  paste.GetRange(table)->Sort(*paste.GetRange(top_cell), host::kXlDescending);
  const host::Value top = paste.GetRange(top_cell)->GetValue();
  if (!intake::IsNumericValue(top) || !(host::ToDouble(top) > 0)) {
    StopByCheck(session, kNotHundredDraws, kMbIconInformation);
    return;
  }

  host::Table t = paste.GetRange(table)->GetValues();
  int16_t numbered = 0;
  for (int32_t i = 1; i <= t.rows(); ++i) {
    if (intake::IsNumericValue(t(i, 1)) && IsNotEmpty(t(i, 1))) ++numbered;
    const std::u16string draw = host::ToText(t(i, 1));
    if (draw.size() == 10) t(i, 1) = host::Value(draw.substr(0, 6) + draw.substr(7, 3));
    t(i, 1) = host::Value(LeadingNumber(t(i, 1)));
    t(i, 2) = host::Value(JoinedResult(t, i, 2, layout::kHundredDraws.cols()));
  }
  if (numbered != t.rows()) {
    StopByCheck(session, kNotHundredDraws, kMbIconInformation);
    return;
  }
  // Numbered draws above or below the rows read: not the page's layout, and
  // taking the rest would drop them without a word.
  const int32_t last = PastedTableLastRow(paste);
  const layout::Block& rows = layout::kHundredDraws;
  for (const auto& [from, to] : {std::pair{1, rows.first.row - 1}, {rows.last.row + 1, last}}) {
    if (from > to) continue;
    const host::Table outside =
        paste.GetRange(layout::A1(layout::Block{{from, 1}, {to, 1}}))->GetValues();
    for (int32_t i = 1; i <= outside.rows(); ++i) {
      if (IsDrawNumber(outside(i, 1))) {
        RefuseHundredDrawLayout(session, from + i - 1, outside(i, 1));
        return;
      }
    }
  }
  for (int32_t i = 1; i <= t.rows(); ++i) {
    if (const auto bad = CheckDraw(t(i, 1), t(i, 2), rows.first.row + i - 1)) {
      RefuseMalformedDraw(session, *bad);
      return;
    }
  }
  MergeDraws(session, std::move(t));
}

void DanKQXSNgay(host::Session& session) {
  if (!PasteForIntake(session)) return;

  host::Worksheet& paste = session.PasteSheet();
  const int32_t last = PastedTableLastRow(paste);
  auto table = paste.GetRange(layout::A1(layout::ByDateRows(last)));
  table->Sort(*paste.GetRange(layout::A1(layout::kPasteTop)), host::kXlAscending);
  host::Table t = table->GetValues();
  for (int32_t i = 1; i <= t.rows(); ++i) {
    if (!intake::IsNumericValue(t(i, 1)) || !IsNotEmpty(t(i, 1))) continue;
    t(i, 1) = host::Value(LeadingNumber(t(i, 1)));
    t(i, 2) = host::Value(
        JoinedResult(t, i, layout::kByDateFirstResultCol, layout::kByDateLastResultCol));
    if (const auto bad = CheckDraw(t(i, 1), t(i, 2), i)) {
      RefuseMalformedDraw(session, *bad);
      return;
    }
  }
  MergeDraws(session, std::move(t));
}

void DanKQXSDB(host::Session& session) {
  host::Worksheet& main = session.MainSheet();
  host::KeyedSet stored;
  // The stored result of each draw number and its row: a text that
  // contradicts one is refused.
  std::map<double, std::pair<host::Value, int32_t>> stored_results;
  const int32_t last = StoreLastRow(main);
  if (last == layout::kEmptyStoreLastRow) {
    stored.Insert(host::Value());
  } else {
    const host::Table rows = main.GetRange(layout::A1(layout::StoreRows(last)))->GetValues();
    for (int32_t i = 1; i <= rows.rows(); ++i) {
      const host::Value draw = DrawLookupValue(rows(i, 1));
      stored.Insert(draw);
      if (IsDrawNumber(draw) && IsNotEmpty(rows(i, 2)))
        stored_results.emplace(host::ToDouble(draw),
                               std::pair{rows(i, 2), layout::kStoreFirstRow + i - 1});
    }
  }

  const std::u16string text = GetClipboardText(session);
  if (text.empty()) {
    StopByCheck(session, kWrongCopy, kMbIconInformation);
    return;
  }
  host::WorksheetFunction& functions = session.WorksheetFunc();
  const SpecialPrizeText page =
      ReadSpecialPrizeText(text, [&](const std::u16string& s) { return functions.Trim(s); });
  if (static_cast<int64_t>(page.blocks.size()) < kMinSpecialPrizeBlocks) {
    StopByCheck(session, kWrongCopy, kMbIconInformation);
    return;
  }
  if (!IsTwentySevenPrizeHeader(page.heading)) {
    StopByCheck(session, kNotTwentySevenPrizes, kMbIconError);
    return;
  }

  constexpr int32_t kMaxNewDraws = 50000;
  std::vector<const SpecialPrizeBlock*> fresh;
  std::map<double, const std::u16string*> taken;  // the draws of this text, by number
  for (const SpecialPrizeBlock& block : page.blocks) {
    const host::Value draw = DrawLookupValue(host::Value(block.key));
    if (stored.Exists(draw)) {
      const auto at = IsDrawNumber(draw) && block.result.has_value()
                          ? stored_results.find(host::ToDouble(draw))
                          : stored_results.end();
      if (at == stored_results.end() || ResultText(at->second.first) == *block.result) continue;
      if (const auto bad = CheckDraw(draw, host::Value(*block.result), std::nullopt)) {
        RefuseMalformedDraw(session, *bad);
      } else {
        RefuseChangedResult(session, host::ToText(draw), ResultText(at->second.first),
                            *block.result, at->second.second);
      }
      return;
    }
    if (!block.result.has_value()) {
      // A block without its result line: the page was not copied whole.
      StopByCheck(session, kWrongCopy, kMbIconInformation);
      return;
    }
    if (const auto bad = CheckDraw(draw, host::Value(*block.result), std::nullopt)) {
      RefuseMalformedDraw(session, *bad);
      return;
    }
    // A draw the text repeats is taken once; with another result it is a
    // contradiction nothing can settle.
    const auto [at, first_time] = taken.emplace(host::ToDouble(draw), &*block.result);
    if (!first_time) {
      if (*at->second == *block.result) continue;
      RefuseConflictingDraw(session, block.key, *at->second, *block.result);
      return;
    }
    if (static_cast<int32_t>(fresh.size()) >= kMaxNewDraws) ThrowSubscriptOutOfRange();
    fresh.push_back(&block);
  }
  const auto n = static_cast<int32_t>(fresh.size());
  if (n == 0) {
    StopByCheck(session, kNothingNew, kMbIconInformation);
    return;
  }

  const int32_t last_now = StoreLastRow(main);
  const int32_t first_row =
      last_now == layout::kEmptyStoreLastRow ? layout::kStoreFirstRow : last_now + 1;
  const int64_t count = int64_t{first_row} + n - layout::kStoreFirstRow;
  if (count > layout::kStoreCapacity) {
    StopByCheck(session, kStoreFull, kMbIconInformation);
    return;
  }
  host::Table rows(n, 2);
  for (int32_t i = 1; i <= n; ++i) {
    rows(i, 1) = host::Value(fresh[static_cast<size_t>(i - 1)]->key);
    rows(i, 2) = host::Value(*fresh[static_cast<size_t>(i - 1)]->result);
  }
  main.GetRange(layout::A1(layout::Cell{first_row, layout::kStoreDrawCol}))
      ->Resize(n, layout::kStore.cols())
      ->SetValues(rows);
  main.GetRange(layout::A1(layout::StoreRows(first_row + n - 1)))
      ->Sort(*main.GetRange(layout::A1(layout::kStoreTop)), host::kXlDescending);
  main.GetRange(layout::A1(layout::kStoreCount))->SetValue(host::Value(static_cast<double>(count)));
}

}  // namespace kelvora::intake
