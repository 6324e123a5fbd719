#include "parameter_check.h"

#include <uninorm.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "analysis/bet_kinds.h"
#include "analysis/main_analysis.h"
#include "host/convert.h"
#include "i18n.h"
#include "text/utf.h"

namespace kelvora::tool {

namespace {

bool Same(layout::Cell a, layout::Cell b) { return a.row == b.row && a.col == b.col; }

std::string A1Text(layout::Cell c) { return Utf16ToUtf8(layout::A1(c)); }

// "12,5" or "0,75": digits, one comma, digits.
bool DecimalComma(const std::string& v) {
  const size_t comma = v.find(',');
  if (comma == std::string::npos || comma == 0 || comma + 1 == v.size()) return false;
  if (v.find(',', comma + 1) != std::string::npos) return false;
  for (size_t i = 0; i < v.size(); ++i)
    if (i != comma && (v[i] < '0' || v[i] > '9')) return false;
  return true;
}

// `text` in Unicode normal form C; `text` itself when it cannot be
// normalised (a lone surrogate).
std::u16string Nfc(const std::u16string& text) {
  size_t length = 0;
  const std::unique_ptr<uint16_t, decltype(&std::free)> nfc(
      u16_normalize(UNINORM_NFC, reinterpret_cast<const uint16_t*>(text.data()), text.size(),
                    nullptr, &length),
      &std::free);
  if (!nfc) return text;
  return std::u16string(reinterpret_cast<const char16_t*>(nfc.get()), length);
}

std::string KindNames(const host::Table& kinds) {
  std::string names;
  for (int32_t r = 1; r <= std::min<int32_t>(kinds.rows(), 6); ++r) {
    const host::Value& v = kinds(r, 1);
    names += (r > 1 ? ", \"" : "\"") +
             (v.IsError() ? std::string("#ERROR") : Utf16ToUtf8(host::ToText(v))) + "\"";
  }
  return names;
}

}  // namespace

void SpellKindsAsListed(host::Session& session, std::vector<ParameterWrite>& writes) {
  const host::Table kinds = analysis::ReadKindList(session);
  for (auto& [cell, value] : writes) {
    if (!Same(cell, layout::kStage1.kind) && !Same(cell, layout::kStage2.kind)) continue;
    const std::u16string typed = Utf8ToUtf16(value);
    if (analysis::FirstNamingRow(kinds, typed)) continue;
    const std::u16string wanted = Nfc(typed);
    for (int32_t r = 1; r <= std::min<int32_t>(kinds.rows(), 6); ++r) {
      const host::Value& name = kinds(r, 1);
      if (name.IsText() && Nfc(name.text()) == wanted) {
        value = Utf16ToUtf8(name.text());
        break;
      }
    }
  }
}

std::optional<std::string> RefusalOf(host::Session& session,
                                     const std::vector<ParameterWrite>& writes) {
  const host::Table kinds = analysis::ReadKindList(session);
  auto value_of = [&](layout::Cell cell) -> std::u16string {
    for (const auto& [c, v] : writes)
      if (Same(c, cell)) return Utf8ToUtf16(v);
    const host::Value current = session.MainSheet().GetRange(layout::A1(cell))->GetValue();
    return current.IsError() ? u"" : host::ToText(current);
  };
  for (const auto& [cell, value] : writes) {
    const std::string where = A1Text(cell) + "=" + value;
    if (Same(cell, layout::kSecondStageSwitch)) {
      if (value != "ON" && value != "OFF")
        return Fill(_("{1}: the second stage is switched by ON or OFF, in capitals"), {where});
      continue;
    }
    for (const layout::Stage* stage : {&layout::kStage1, &layout::kStage2}) {
      const bool number_cell =
          Same(cell, stage->size) || Same(cell, stage->window) || Same(cell, stage->position);
      if (number_cell && DecimalComma(value)) {
        return Fill(
            _("{1}: write the number with a decimal point, not a comma ({2})"),
            {where, value.substr(0, value.find(',')) + "." + value.substr(value.find(',') + 1)});
      }
      if (Same(cell, stage->window) && !analysis::UsableWindow(host::Value(Utf8ToUtf16(value)))) {
        return Fill(_("{1}: the window is a number of draws from {2} to {3}"),
                    {where, static_cast<int>(analysis::kMinWindow),
                     static_cast<int>(analysis::kMaxWindow)});
      }
      if (Same(cell, stage->kind) &&
          !analysis::FirstNamingRow(kinds, Utf8ToUtf16(value)).has_value()) {
        return Fill(_("{1}: the kind must be one of the KieuDanh names, exactly: {2}"),
                    {where, KindNames(kinds)});
      }
      // A size must fit its kind, whichever of the two is written.
      if (Same(cell, stage->size) || Same(cell, stage->kind)) {
        const std::u16string kind = value_of(stage->kind);
        const std::u16string size = value_of(stage->size);
        // Only a whole number is written as a size; anything else fits no kind.
        const auto n = host::ParseNumericText(size);
        const double whole = n && *n == std::floor(*n) ? *n : std::nan("");
        const analysis::SizeFit fit = analysis::FitOfSize(kinds, kind, whole);
        if (fit == analysis::SizeFit::kKindNotListed) {
          return Fill(_("{1}: the kind in {2} (\"{3}\") is not one of the KieuDanh names, so no "
                        "size fits it"),
                      {where, A1Text(stage->kind), Utf16ToUtf8(kind)});
        }
        if (fit != analysis::SizeFit::kFits) {
          const analysis::BetKind& k =
              analysis::BetKindOfRow(*analysis::FirstNamingRow(kinds, kind));
          return Fill(_("{1}: the size for \"{2}\" is a whole number from {3} to {4} ({5} "
                        "holds \"{6}\")"),
                      {where, Utf16ToUtf8(kind), k.min_size, k.max_size, A1Text(stage->size),
                       Utf16ToUtf8(size)});
        }
      }
    }
  }
  return std::nullopt;
}

}  // namespace kelvora::tool
