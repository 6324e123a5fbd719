#include "analysis/bet_kinds.h"

#include <cmath>

#include "host/convert.h"
#include "host/error.h"
#include "host/layout.h"

namespace kelvora::analysis {

namespace {

void RequireSixRows(const host::Table& kinds) {
  if (kinds.rows() < 6 || kinds.cols() < 1) ThrowSubscriptOutOfRange();
}

}  // namespace

std::optional<double> RoundedPosition(const std::u16string& position_text) {
  const auto d = host::ParseNumericText(position_text);
  if (!d) return std::nullopt;
  return std::nearbyint(*d);  // the default rounding mode: halves to even
}

std::optional<double> ShareOfNumbers(int width, int32_t size, const std::u16string& /*position*/) {
  return size / std::pow(10.0, width);
}

std::optional<double> OneDigitChance(int /*width*/, int32_t size, const std::u16string& position) {
  const double share = size / 10.0;
  const auto at = RoundedPosition(position);
  if (!at) return 1 - std::pow(1 - share, 5);
  if (*at < 1) return std::nullopt;
  return *at <= 5 ? share : 1.0;
}

std::optional<double> ChanceRate(int kind_row, int32_t size, const std::u16string& position) {
  const BetKind& kind = BetKindOfRow(kind_row);
  return kind.chance_rate(kind.width, size, position);
}

const BetKind& BetKindOfRow(int kind_row) {
  if (kind_row < 1 || kind_row > 6) ThrowInvalidProcedureCall();
  return kBetKinds[static_cast<size_t>(kind_row - 1)];
}

bool KindCellEquals(const host::Value& cell, const std::u16string& kind_name) {
  switch (cell.type()) {
    case host::ValueType::kText:
      return cell.text() == kind_name;
    case host::ValueType::kEmpty:
      return kind_name.empty();
    case host::ValueType::kError:
      return false;
    default:
      return host::ToText(cell) == kind_name;
  }
}

std::optional<int> FindKindRow(const host::Table& kind_texts, const std::u16string& kind_name) {
  for (int row : kKindLookupOrder) {
    if (KindCellEquals(kind_texts.at(row, 1), kind_name)) return row;
  }
  return std::nullopt;
}

std::optional<int> FirstNamingRow(const host::Table& kind_texts, const std::u16string& kind_name) {
  RequireSixRows(kind_texts);
  for (int row = 1; row <= 6; ++row) {
    if (KindCellEquals(kind_texts(row, 1), kind_name)) return row;
  }
  return std::nullopt;
}

host::Table ReadKindList(host::Session& session) {
  std::unique_ptr<host::Range> range = session.SettingsSheet().GetRange(layout::kKindListName);
  if (!range) ThrowObjectRequired("KieuDanh");
  return range->GetValues();
}

SizeFit FitOfSize(const host::Table& kind_texts, const std::u16string& kind_name, double size) {
  const auto row = FirstNamingRow(kind_texts, kind_name);
  if (!row) return SizeFit::kKindNotListed;
  const BetKind& kind = BetKindOfRow(*row);
  return size >= kind.min_size && size <= kind.max_size ? SizeFit::kFits : SizeFit::kOutsideLimits;
}

bool IsSetSizeAllowed(host::Session& session, const std::u16string& kind_name, int32_t size) {
  return FitOfSize(ReadKindList(session), kind_name, size) == SizeFit::kFits;
}

}  // namespace kelvora::analysis
