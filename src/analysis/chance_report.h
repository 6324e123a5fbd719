// The analysis outputs of a workbook measured against chance. Everything is
// computed from what Main wrote (the method tables) and the parameters and
// store it ran on; no cell is written. When the parameters or the store have
// changed since Main ran, a stage's outputs no longer say anything about the
// parameters shown, and the report says so instead of mixing the two.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/book_view.h"
#include "analysis/chance.h"
#include "analysis/store_quality.h"
#include "host/value.h"

namespace kelvora::analysis {

// One method's record beside chance.
struct MethodChance {
  int method = 0;
  int64_t hits = 0;
  int64_t tested = 0;
  std::optional<double> rate;                // hits / tested; none when nothing was tested
  double chance_rate = 0;                    // p0
  double expected_hits = 0;                  // tested * p0
  double p_value = 1;                        // exact two-sided binomial test
  double p_value_holm = 1;                   // adjusted over every method shown
  Interval interval95;                       // Wilson
  std::optional<double> longest_miss_run_p;  // P(longest miss run >= observed)
  std::optional<double> current_miss_run_p;  // P(the current miss run), none without a hit
};

enum class StageState {
  kNotRun,   // the stage's method table is empty
  kCurrent,  // the outputs are those of the parameters and store shown
  kStale,    // parameters or store changed since Main ran: Main must run again
};

struct StageChance {
  StageState state = StageState::kNotRun;
  std::array<MethodChance, 3> methods;  // meaningful when kCurrent
};

struct ChanceReport {
  StoreQuality quality;
  std::array<StageChance, 2> stages;
  // The methods of every current stage, in order, tested together.
  int methods_tested = 0;
};

// Measures every current stage of the book against chance; the Holm
// adjustment runs over all methods of the current stages. A book whose
// outputs cannot be matched to its parameters gets stale stages, never an
// error.
ChanceReport AssessAgainstChance(const BookView& book);

// One short neutral line on a method, in Unicode: its figures say nothing
// beyond chance, or they differ from chance (with the adjusted p), or, on a
// store not comparable with chance, NotComparableVerdict().
std::u16string ChanceVerdict(const MethodChance& method, const StoreQuality& quality);

// The line said when a stage's outputs no longer match its parameters.
std::u16string StaleStageNotice();

}  // namespace kelvora::analysis
