// What a backtest prepares before it builds any set: every row's seed text
// and how the hit of every tested draw is decided. Shared by the backtest at
// one size and the sweep over every size; not for use elsewhere.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/backtest.h"
#include "host/value.h"

namespace kelvora::analysis {

// How the hit of one tested draw is decided once its set is built: a flag
// index (0..999) when the pattern is exactly W digits, or one of these.
enum : int16_t {
  kAlwaysHit = -1,    // the pattern is empty: contained in every set text
  kCompareText = -2,  // any other pattern: searched in the set text
};

struct BacktestPlan {
  // `middle` points into `middle_texts`: a plan moves, never copies.
  BacktestPlan() = default;
  BacktestPlan(BacktestPlan&&) = default;
  BacktestPlan& operator=(BacktestPlan&&) = default;
  BacktestPlan(const BacktestPlan&) = delete;
  BacktestPlan& operator=(const BacktestPlan&) = delete;

  int width = 0;
  int32_t size = 0;
  int32_t n = 0;
  std::u16string suffix;
  bool any_character = false;               // kind row 6 without a numeric position
  std::vector<std::u16string_view> middle;  // [r]: draw text + result text of row r (1..n+1)
  std::vector<std::vector<char16_t>> middle_texts;  // the texts of `middle`, rows in pieces
  std::vector<int16_t> test;            // [i - 1]: flag index, kAlwaysHit or kCompareText
  std::vector<std::u16string> pattern;  // [i - 1]: the pattern where test is kCompareText

  // The seed of method k for block row r: "pp", the method digit, the draw
  // and result texts, the suffix.
  void Seed(int k, int64_t r, std::u16string& seed) const {
    seed.assign(u"pp");
    seed.push_back(static_cast<char16_t>(u'0' + k));
    seed.append(middle[static_cast<size_t>(r)]);
    seed.append(suffix);
  }
};

// Prepares the backtest of draws 1..n of `block` (see BacktestMethod for
// what it requires and how it fails), on `threads` threads.
BacktestPlan MakeBacktestPlan(const host::Table& block, int32_t n, const AnalysisParameters& params,
                              int kind_row, int threads);

}  // namespace kelvora::analysis
