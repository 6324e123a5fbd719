// Helpers of the intake tests: store set-up and snapshots, result pages.
#pragma once

#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

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

// Writes the rows from row 17 (raw values, as a loaded workbook holds them)
// and their count into B15.
inline void SetStore(BoundWorkbook& w, const std::vector<StoreRow>& rows) {
  for (size_t i = 0; i < rows.size(); ++i) {
    w.main().PutValue(17 + static_cast<int32_t>(i), 1, rows[i].first);
    w.main().PutValue(17 + static_cast<int32_t>(i), 2, rows[i].second);
  }
  w.main().PutValue(15, 2, host::Value(static_cast<double>(rows.size())));
}

// The rows from row 17 down to the last row with anything in A or B.
inline std::vector<StoreRow> StoreRows(BoundWorkbook& w) {
  auto& m = w.main();
  const int32_t end = std::max(m.ColumnLength(1), m.ColumnLength(2));
  int32_t last = 16;
  for (int32_t r = 17; r <= end; ++r)
    if (!m.cell(r, 1).value.IsEmpty() || !m.cell(r, 2).value.IsEmpty()) last = r;
  std::vector<StoreRow> out;
  for (int32_t r = 17; r <= last; ++r) out.emplace_back(m.cell(r, 1).value, m.cell(r, 2).value);
  return out;
}

struct StoreSnapshot {
  std::vector<StoreRow> rows;
  host::Value count;
  friend bool operator==(const StoreSnapshot&, const StoreSnapshot&) = default;
};

inline StoreSnapshot Snapshot(BoundWorkbook& w) {
  return {StoreRows(w), w.main().cell(15, 2).value};
}

// Draws numbered from `newest` down, results "d1d2d3d4d5" from a simple
// deterministic sequence.
inline std::vector<StoreRow> Draws(int count, int newest) {
  std::vector<StoreRow> out;
  for (int i = 0; i < count; ++i) {
    const int draw = newest - i;
    out.emplace_back(host::Value(draw),
                     host::Value(FiveDigits(static_cast<uint32_t>(draw) * 7919)));
  }
  return out;
}

inline std::string TestData(const std::string& name) {
  std::ifstream in(std::string(KELVORA_TEST_DATA) + "/" + name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The texts of the messages shown so far, in Unicode (UTF-8), with styles.
inline std::vector<std::pair<std::string, int32_t>> Shown(BoundWorkbook& w) {
  std::vector<std::pair<std::string, int32_t>> out;
  for (const auto& m : w.platform.messages.shown()) out.emplace_back(Utf16ToUtf8(m.text), m.style);
  return out;
}

}  // namespace kelvora::testing
