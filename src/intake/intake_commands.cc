#include "intake/intake_commands.h"

#include <string>
#include <vector>

#include "entry/host_state.h"
#include "host/convert.h"
#include "host/error.h"
#include "host/keyed_set.h"
#include "intake/result_store.h"
#include "intake/special_prize_text.h"
#include "text/clipboard.h"
#include "text/message.h"
#include "text/utf.h"

namespace kelvora::intake {
namespace {

std::u16string RowText(int32_t row) { return Ascii(std::to_string(row)); }

// The sheet's last row.
constexpr int32_t kSheetRows = 1048576;

// The hundred-draw check failed.
constexpr char16_t kNotHundredDraws[] =
    u"Bajn Chuwa Chojn 100 Kyf Keest Quar!\r\nVui Lofng Chojn 100 Kyf Vaf Copy Laji";
// Special-prize text: nothing copied, or copied in the wrong form.
constexpr char16_t kWrongCopy[] = u"Bajn chuwa copy hoawjc copy sai ddijnh dajng";
// Special-prize text: a page of another game.
constexpr char16_t kNotTwentySevenPrizes[] =
    u"Chuwsc nawng nafy chir hoox trowj kieeru choi 27 giari\r\nVui lofng kieerm tra laji";
// Special-prize text: every draw is already stored.
constexpr char16_t kNothingNew[] = u"Khoong cos duwx lieeju mowsi dduowjc theem vafo";
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
  constexpr int32_t kSearchStart = 100000;
  if (!sheet.GetRange(u"A" + RowText(kSearchStart))->GetValue().IsEmpty()) {
    auto bottom = sheet.GetRange(u"A" + RowText(kSheetRows));
    if (!bottom->GetValue().IsEmpty()) return kSheetRows;
    return bottom->End(host::kXlUp)->Row();
  }
  return StoreLastRow(sheet, kSearchStart);
}

// The common start of the table intakes: screen updating and the host's
// copy mode off, then the paste. False when the paste failed (its message
// has been shown).
bool PasteForIntake() {
  ExcelApp().SetScreenUpdating(false);
  ExcelApp().SetCutCopyMode(false);
  PasteFailed = false;
  PasteResultTable();
  return !PasteFailed;
}

}  // namespace

void DanKQXS() {
  if (!PasteForIntake()) return;

  host::Worksheet& paste = PasteSheet();
  paste.GetRange(u"A14:F113")->Sort(*paste.GetRange(u"A14"), host::kXlDescending);
  const host::Value top = paste.GetRange(u"A14")->GetValue();
  if (!intake::IsNumericValue(top) || !(host::ToDouble(top) > 0)) {
    ShowStoredMessage(kNotHundredDraws, kMbIconInformation);
    return;
  }

  host::Table t = paste.GetRange(u"A14:F113")->GetValues();
  int16_t numbered = 0;
  for (int32_t i = 1; i <= t.rows(); ++i) {
    if (intake::IsNumericValue(t(i, 1)) && IsNotEmpty(t(i, 1))) ++numbered;
    const std::u16string draw = host::ToText(t(i, 1));
    if (draw.size() == 10) t(i, 1) = host::Value(draw.substr(0, 6) + draw.substr(7, 3));
    t(i, 1) = host::Value(LeadingNumber(t(i, 1)));
    t(i, 2) = host::Value(JoinedResult(t, i, 2, 6));
  }
  if (numbered == t.rows()) {
    MergeDraws(std::move(t));
  } else {
    ShowStoredMessage(kNotHundredDraws, kMbIconInformation);
  }
}

void DanKQXSNgay() {
  if (!PasteForIntake()) return;

  host::Worksheet& paste = PasteSheet();
  const int32_t last = PastedTableLastRow(paste);
  auto table = paste.GetRange(u"A1:K" + RowText(last));
  table->Sort(*paste.GetRange(u"A1"), host::kXlAscending);
  host::Table t = table->GetValues();
  for (int32_t i = 1; i <= t.rows(); ++i) {
    if (!intake::IsNumericValue(t(i, 1)) || !IsNotEmpty(t(i, 1))) continue;
    t(i, 1) = host::Value(LeadingNumber(t(i, 1)));
    t(i, 2) = host::Value(JoinedResult(t, i, 3, 7));
  }
  MergeDraws(std::move(t));
}

void DanKQXSDB() {
  host::Worksheet& main = MainSheet();
  host::KeyedSet stored;
  const int32_t last = StoreLastRow(main);
  if (last == kEmptyStoreLastRow) {
    stored.Insert(host::Value());
  } else {
    const host::Table keys = main.GetRange(u"A17:A" + RowText(last))->GetValues();
    for (int32_t i = 1; i <= keys.rows(); ++i) stored.Insert(DrawLookupValue(keys(i, 1)));
  }

  const std::u16string text = GetClipboardText();
  if (text.empty()) {
    ShowStoredMessage(kWrongCopy, kMbIconInformation);
    return;
  }
  host::WorksheetFunction& functions = WorksheetFunc();
  const SpecialPrizeText page =
      ReadSpecialPrizeText(text, [&](const std::u16string& s) { return functions.Trim(s); });
  if (static_cast<int64_t>(page.blocks.size()) < kMinSpecialPrizeBlocks) {
    ShowStoredMessage(kWrongCopy, kMbIconInformation);
    return;
  }
  if (!IsTwentySevenPrizeHeader(page.heading)) {
    ShowStoredMessage(kNotTwentySevenPrizes, kMbIconError);
    return;
  }

  constexpr int32_t kMaxNewDraws = 50000;
  std::vector<const SpecialPrizeBlock*> fresh;
  for (const SpecialPrizeBlock& block : page.blocks) {
    if (stored.Exists(DrawLookupValue(host::Value(block.key)))) continue;
    if (!block.result.has_value()) {
      // A block without its result line: the page was not copied whole.
      ShowStoredMessage(kWrongCopy, kMbIconInformation);
      return;
    }
    if (static_cast<int32_t>(fresh.size()) >= kMaxNewDraws) ThrowSubscriptOutOfRange();
    fresh.push_back(&block);
  }
  const auto n = static_cast<int32_t>(fresh.size());
  if (n == 0) {
    ShowStoredMessage(kNothingNew, kMbIconInformation);
    return;
  }

  const int32_t last_now = StoreLastRow(main);
  const int32_t first_row = last_now == kEmptyStoreLastRow ? kStoreFirstRow : last_now + 1;
  const int64_t count = int64_t{first_row} + n - kStoreFirstRow;
  if (count > kStoreCapacity) {
    ShowStoredMessage(kStoreFull, kMbIconInformation);
    return;
  }
  host::Table rows(n, 2);
  for (int32_t i = 1; i <= n; ++i) {
    rows(i, 1) = host::Value(fresh[static_cast<size_t>(i - 1)]->key);
    rows(i, 2) = host::Value(*fresh[static_cast<size_t>(i - 1)]->result);
  }
  main.GetRange(u"A" + RowText(first_row))->Resize(n, 2)->SetValues(rows);
  main.GetRange(u"A17:B" + RowText(first_row + n - 1))
      ->Sort(*main.GetRange(u"A17"), host::kXlDescending);
  main.GetRange(u"B15")->SetValue(host::Value(static_cast<double>(count)));
}

}  // namespace kelvora::intake
