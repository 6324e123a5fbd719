// Helpers of the intake tests: store set-up and snapshots, result pages.
#pragma once

#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host/layout.h"
#include "host/value.h"
#include "support/bound_workbook.h"

namespace kelvora::host {
// Readable values in the intake tests' failure messages.
inline void PrintTo(const Value& v, std::ostream* os) {
  if (v.IsEmpty()) *os << "<empty>";
  if (v.IsNumber()) *os << v.number();
  if (v.IsText()) *os << '"' << Utf16ToUtf8(v.text()) << '"';
  if (!v.IsEmpty() && !v.IsNumber() && !v.IsText()) *os << "<type " << int(v.type()) << ">";
}
}  // namespace kelvora::host

namespace kelvora::testing {

using StoreRow = std::pair<host::Value, host::Value>;

// The rows from the store's top down to the last row with anything in them.
inline std::vector<StoreRow> StoreRows(BoundWorkbook& w) {
  using namespace layout;  // NOLINT(build/namespaces)
  auto& m = w.main();
  std::vector<StoreRow> out;
  const int32_t end = std::max(m.ColumnLength(kStoreDrawCol), m.ColumnLength(kStoreResultCol));
  for (int32_t r = kStoreFirstRow; r <= end; ++r)
    out.emplace_back(m.cell(r, kStoreDrawCol).value, m.cell(r, kStoreResultCol).value);
  while (!out.empty() && out.back() == StoreRow()) out.pop_back();
  return out;
}

inline auto Snapshot(BoundWorkbook& w) {
  return std::pair{StoreRows(w), w.At(layout::kStoreCount)};
}

// Draws numbered from `newest` down, results "d1d2d3d4d5" from a simple
// deterministic sequence.
inline std::vector<StoreRow> Draws(int count, int newest) {
  std::vector<StoreRow> out;
  for (int draw = newest; draw > newest - count; --draw)
    out.emplace_back(host::Value(draw),
                     host::Value(FiveDigits(static_cast<uint32_t>(draw) * 7919)));
  return out;
}

// The rows as a table of `cols` columns, draw and result in the first two.
inline host::Table ToTable(const std::vector<StoreRow>& rows, int32_t cols = 2) {
  host::Table t(static_cast<int32_t>(rows.size()), cols);
  for (int32_t i = 1; i <= t.rows(); ++i)
    std::tie(t(i, 1), t(i, 2)) = rows[static_cast<size_t>(i - 1)];
  return t;
}

inline std::string TestData(const std::string& name) {
  std::ifstream in(std::string(KELVORA_TEST_DATA) + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace kelvora::testing
