// The method backtest: for one method and one parameter set, the set built
// from every tested draw's predecessor, the hit or miss of the tested draw,
// the run and rate statistics of those outcomes and the set for the coming
// draw. Works on values in memory only; it never touches the workbook.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/value.h"

namespace kelvora::analysis {

// One stage's parameter block (B1:B4 or B7:B10).
struct AnalysisParameters {
  std::u16string kindName;
  int16_t setSize = 0;
  std::u16string positionOrSuffix;
  int32_t window = 0;
};

// False when the parameters cannot run for `kind_row`: kind row 6 with a
// positionOrSuffix that reads as a number below 1 after rounding.
bool KindParametersUsable(int kind_row, const AnalysisParameters& params);

// When `position_text` reads as a number, the one character of `text` at
// that position (rounded half to even, counted from 1; empty past the end);
// otherwise `text` unchanged. A position below 1 fails (invalid procedure
// call, error 5).
std::u16string PickCharacter(std::u16string text, std::u16string position_text);

// anyCharacter false: `pattern` occurs in `text` as a contiguous run (an
// empty pattern always does). anyCharacter true: some character of
// `pattern` occurs in `text` (an empty pattern never does). Any length.
bool TextContains(std::u16string_view text, std::u16string_view pattern, bool any_character);

// The text form of a cell value, as host::ToText gives it (fast for whole
// numbers); an error value fails (type mismatch).
std::u16string ValueText(const host::Value& v);

// The statistics of a sequence of outcomes, newest tested draw first.
struct RunStatistics {
  int32_t longest_hit_run = 0;
  int32_t current_hit_run = 0;
  int32_t longest_miss_run = 0;             // closed runs, plus the run open at the oldest end
  std::optional<int32_t> current_miss_run;  // none when nothing is a hit
  int32_t hits = 0;
  int32_t misses = 0;
  std::optional<double> hit_rate;  // percent; none when nothing was tested
};
RunStatistics ComputeRunStatistics(std::span<const uint8_t> hits);

// What one method gives a stage: the nine values of its row of the method
// table (empty values stay unset) and one outcome per tested draw
// (hits[i - 1] is 1 when draw i is a hit).
struct MethodResult {
  std::array<host::Value, 9> values;
  std::vector<uint8_t> hits;
};

// The digest work a backtest ran.
struct BacktestCost {
  int64_t sets = 0;
  int64_t digests = 0;
  int64_t compressions = 0;
};

// Backtest of method k (1..3) over draws 1..n of `block` (row 1 the newest;
// column 1 draw number, column 2 result text), n >= 1 and at least n + 1
// rows. `kind_row` is 1..6 and `params.setSize` must be allowed for it. A
// value of rows 1..n+1 that has no text form fails (type mismatch); kind
// row 6 with a numeric position below 1 fails (invalid procedure call).
// The work is spread over `threads` threads (0: ResolveAnalysisThreads'
// default); the results never depend on how many.
MethodResult BacktestMethod(const host::Table& block, int32_t n, const AnalysisParameters& params,
                            int kind_row, int k, int threads = 0, BacktestCost* cost = nullptr);

// The set method k (1..3) builds for the coming draw from the newest row of
// `block`: what BacktestMethod gives as the ninth value. Fails as the
// builders fail for a size the kind does not allow.
std::u16string ComingSet(const host::Table& block, const AnalysisParameters& params, int kind_row,
                         int k);

// Methods 1, 2 and 3 at once, with each draw's set built once per method.
// The same results as three calls of BacktestMethod.
std::array<MethodResult, 3> BacktestMethods(const host::Table& block, int32_t n,
                                            const AnalysisParameters& params, int kind_row,
                                            int threads = 0, BacktestCost* cost = nullptr);

}  // namespace kelvora::analysis
