// What results sites show users about the endings (the last two digits of
// the special prize): how long each has been absent ("gan"), how often each
// came up lately, and the first digit, last digit and digit sum of the
// ending ("đầu", "đuôi", "tổng"); each beside what chance gives when every
// draw is uniform and independent. Read from the store; nothing is written.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/store_quality.h"
#include "host/value.h"

namespace kelvora::analysis {

struct EndingStats {
  int64_t current_gan = 0;  // draws newer than its newest appearance; the whole store if none
  int64_t longest_gan = 0;  // longest absence, the current one counted, none past the oldest draw
  int64_t count = 0;        // appearances among the newest `last` draws
  double gan_p = 1;         // chance that one named ending is absent that long: 0.99^gan
};

struct DigitTable {
  std::array<int64_t, 10> counts{};
  double chi2 = 0;
  double chi2_p = 1;  // 9 degrees of freedom
};

struct GanReport {
  int64_t draws = 0;     // five-digit results in the store
  StoreQuality quality;  // the results left out: those not exactly five digits
  int64_t last = 0;      // the newest draws counted (at most `draws`)
  std::array<EndingStats, 100> endings;
  double expected = 0;           // last / 100: an ending's expected count
  double chi2 = 0, chi2_p = 1;   // uniformity of the ending counts (99 degrees of freedom)
  double max_current_gan_p = 1;  // chance that the largest current gan of the 100 is this long
  int64_t longest_gan_low = 0, longest_gan_high = 0;  // 95 % range of one ending's longest gan
  DigitTable dau, duoi, tong;
  // Holm over the four chi-square tests and the largest current gan.
  double smallest_p_holm = 1;
  // One plain line, Unicode; NotComparableVerdict() when results were left
  // out.
  std::u16string verdict;
};

// The endings (0..99) of the block's five-digit results (column 2), newest
// first; other results are left out.
std::vector<int8_t> EndingsOf(const host::Table& block);

// One pass over a draw block (row 1 the newest; column 2 the result), with
// the counts over the newest `last` five-digit results (last >= 1). All
// chance figures are exact.
GanReport AssessGan(const host::Table& block, int64_t last);

// Under chance (each draw one of 100 endings, uniform and independent): the
// probability that some ending is absent from `draws` draws in a row, i.e.
// that the largest current gan is at least `draws`. Exact, by the number of
// distinct endings seen.
double SomeEndingAbsentP(int64_t draws);

}  // namespace kelvora::analysis
