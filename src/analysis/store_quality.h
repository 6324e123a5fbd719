// Whether the store's results can be compared with chance at all. Every
// figure against chance (the methods' rates, every set size at once, the
// gans and frequencies) assumes results of exactly five digits; a result
// that is not (a number that lost its leading zero, "1234" for "01234")
// makes patterns shorter and drops or shifts draws, so that no figure drawn
// from such a store compares with chance. Each view of the store checks it
// here, warns with the same line and gives no verdict against chance.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/value.h"

namespace kelvora::analysis {

struct StoreQuality {
  int64_t draws = 0;  // rows of the store
  int64_t results_not_five_digits = 0;
  std::vector<host::Value> examples;  // the first few such results, newest first

  // True when every stored result is five digits: only then does a verdict
  // against chance hold.
  bool comparable_with_chance() const { return results_not_five_digits == 0; }
};
inline constexpr size_t kStoreQualityExamples = 5;

// Counts the results (column 2) of a draw block that are not five digits by
// the intakes' own rule.
StoreQuality CheckStoreQuality(const host::Table& block);

// The warning on a store whose results are not all five digits, in Unicode,
// with how many of how many and the first few as found; empty for a store
// that is comparable with chance.
std::u16string StoreQualityWarning(const StoreQuality& quality);

// What is said in place of a verdict against chance on such a store.
std::u16string NotComparableVerdict();

}  // namespace kelvora::analysis
