// Every set size at once. The sets one seed gives are nested (the set of
// size N is the first N distinct numbers of its digest chain), so a tested
// draw is a hit at size N exactly when the first number of the chain that
// its pattern matches comes at place N or earlier. One walk of each chain,
// up to the largest size, therefore gives the hit count of every size; the
// walk stops as soon as the pattern is matched.
//
// The sweep computes on a read book and writes nothing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/backtest.h"
#include "analysis/book_view.h"
#include "analysis/store_quality.h"
#include "host/layout.h"

namespace kelvora::analysis {

// Hits of methods 1..3 over draws 1..n of `block` at every size 1..max_size
// for kind row `kind_row` (`params.setSize` is not used): hits[k - 1][N - 1]
// is what BacktestMethod gives for method k at size N. Requirements and
// failures as BacktestMethods, with max_size within the kind's limits.
std::array<std::vector<int64_t>, 3> HitsAtEverySize(const host::Table& block, int32_t n,
                                                    const AnalysisParameters& params, int kind_row,
                                                    int32_t max_size, int threads = 0);

struct SweepRow {
  int32_t size = 0;
  int method = 0;
  int64_t hits = 0;
  int64_t misses = 0;
  double rate = 0;          // hits / (hits + misses)
  double chance = 0;        // p0 at this size
  double p_value = 1;       // exact two-sided binomial test
  double p_value_holm = 1;  // Holm, over every row of the sweep
  double q_value = 1;       // Benjamini-Hochberg, over every row of the sweep
};

struct SizeSweep {
  std::u16string kind;  // the kind name of the stage
  int kind_row = 0;
  int32_t window = 0;                  // the stage's window as the workbook gives it
  int32_t tested = 0;                  // draws tested at every size
  int32_t min_size = 0, max_size = 0;  // the sizes swept
  std::vector<SweepRow> rows;          // by size, then method
  StoreQuality quality;                // of the whole store
};

// Why a sweep could not run.
enum class SweepRefusal {
  kNoDraws,       // the store holds fewer than two draws
  kParameters,    // the stage's kind, position or window cannot run
  kSizesOutside,  // the sizes asked for are outside the kind's limits
};

// Sweeps the stage's kind over the sizes `sizes` (inclusive; all the kind
// allows when not given), with the stage's position or suffix and window.
// A kind list the book could not read fails.
struct SweepOutcome {
  std::optional<SizeSweep> sweep;
  std::optional<SweepRefusal> refusal;
  int32_t kind_min_size = 0, kind_max_size = 0;  // the kind's limits, once known
};
SweepOutcome SweepStageSizes(const BookView& book, const layout::Stage& stage,
                             std::optional<std::pair<int32_t, int32_t>> sizes, int threads = 0);

}  // namespace kelvora::analysis
