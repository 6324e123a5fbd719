#include "analysis/backtest_plan.h"

#include <algorithm>

#include "analysis/bet_kinds.h"
#include "analysis/worker_pool.h"
#include "host/convert.h"
#include "host/error.h"

namespace kelvora::analysis {

namespace {

// The characters from position `start` (1-based) on, `length` of them;
// fewer when the text ends earlier, none when it is shorter than `start`.
std::u16string Mid(const std::u16string& text, int start, int length) {
  const size_t from = static_cast<size_t>(start - 1);
  if (from >= text.size()) return {};
  return text.substr(from, static_cast<size_t>(length));
}

// The rows whose middle texts share one buffer.
constexpr int64_t kRowsPerPiece = 1024;

// The hit test of block row r (1..n+1) of `plan`; its middle text is
// appended to `text`.
void PlanRow(const host::Table& block, const AnalysisParameters& params, const BetKind& rule,
             int64_t row, BacktestPlan& plan, std::vector<char16_t>& text) {
  const int32_t r = static_cast<int32_t>(row);
  const std::u16string draw = ValueText(block(r, 1));
  const std::u16string result = ValueText(block(r, 2));
  text.insert(text.end(), draw.begin(), draw.end());
  text.insert(text.end(), result.begin(), result.end());
  if (r > plan.n) return;
  std::u16string pattern;
  if (rule.seed_suffix != nullptr) {
    pattern = Mid(result, rule.pattern_start, rule.pattern_length);
  } else if (!plan.any_character) {
    pattern = PickCharacter(result, params.positionOrSuffix);
  } else {
    pattern = result;
  }
  int16_t test = kCompareText;
  if (!plan.any_character) {
    if (pattern.empty()) {
      test = kAlwaysHit;
    } else if (pattern.size() == static_cast<size_t>(plan.width) &&
               std::all_of(pattern.begin(), pattern.end(),
                           [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
      // A set text is W-digit numbers joined by commas, so a run of W digits
      // occurs in it exactly when it is one of its numbers.
      int16_t value = 0;
      for (char16_t c : pattern) value = static_cast<int16_t>(value * 10 + (c - u'0'));
      test = value;
    }
  }
  plan.test[static_cast<size_t>(r - 1)] = test;
  if (test == kCompareText) plan.pattern[static_cast<size_t>(r - 1)] = std::move(pattern);
}

// Rows p * kRowsPerPiece + 1 on (to row n + 1) of `plan`, their middle
// texts into piece p's buffer.
void PlanPiece(const host::Table& block, const AnalysisParameters& params, const BetKind& rule,
               int64_t p, BacktestPlan& plan) {
  std::vector<char16_t>& text = plan.middle_texts[static_cast<size_t>(p)];
  const int64_t first = p * kRowsPerPiece + 1;
  const int64_t last = std::min<int64_t>(plan.n + 1, first + kRowsPerPiece - 1);
  // The views are taken once the buffer has stopped growing.
  size_t starts[kRowsPerPiece + 1];
  for (int64_t r = first; r <= last; ++r) {
    starts[r - first] = text.size();
    PlanRow(block, params, rule, r, plan, text);
  }
  starts[last - first + 1] = text.size();
  for (int64_t r = first; r <= last; ++r) {
    const size_t at = starts[r - first];
    plan.middle[static_cast<size_t>(r)] =
        std::u16string_view(text.data() + at, starts[r - first + 1] - at);
  }
}

}  // namespace

BacktestPlan MakeBacktestPlan(const host::Table& block, int32_t n, const AnalysisParameters& params,
                              int kind_row, int threads) {
  const BetKind& rule = BetKindOfRow(kind_row);
  if (n < 1 || block.rows() < n + 1 || block.cols() < 2) ThrowSubscriptOutOfRange();
  BacktestPlan plan;
  plan.width = rule.width;
  plan.size = params.setSize;
  plan.n = n;
  plan.suffix =
      rule.seed_suffix != nullptr ? std::u16string(rule.seed_suffix) : params.positionOrSuffix;
  const bool numeric_position =
      rule.seed_suffix == nullptr && host::ParseNumericText(params.positionOrSuffix).has_value();
  plan.any_character = rule.seed_suffix == nullptr && !numeric_position;

  const int64_t rows = static_cast<int64_t>(n) + 1;
  plan.middle.resize(static_cast<size_t>(rows) + 1);
  plan.middle_texts.resize(static_cast<size_t>((rows + kRowsPerPiece - 1) / kRowsPerPiece));
  plan.test.resize(static_cast<size_t>(n));
  plan.pattern.resize(static_cast<size_t>(n));
  // The rows are independent; their texts are made on the workers too, a
  // piece of rows into one buffer. A value without a text form fails the
  // same way on every thread count.
  ParallelFor(static_cast<int64_t>(plan.middle_texts.size()), 1, threads,
              [&](int64_t begin, int64_t end, int) {
                for (int64_t p = begin; p < end; ++p) PlanPiece(block, params, rule, p, plan);
              });
  return plan;
}

}  // namespace kelvora::analysis
