// What chance alone gives a method's record: under the hypothesis that every
// set is a random set of its size, each tested draw is a hit with the kind's
// chance rate p0, independently of the others. These functions measure an
// observed record against that hypothesis. Standard C++ only, so that the
// Windows component carries them too; every figure stays finite and
// accurate up to n = 65000 tested draws.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kelvora::analysis {

// The exact two-sided binomial test of `hits` in `n` draws under rate `p0`
// (0 < p0 <= 1): the sum of P(X = i) over every i with
// P(X = i) <= P(X = hits) * (1 + 1e-7), as R and SciPy define it. 1 when
// n is 0. Requires 0 <= hits <= n.
double BinomialTwoSidedP(int64_t hits, int64_t n, double p0);

struct Interval {
  double low = 0;
  double high = 0;
};

// The 95 % Wilson score interval of the rate hits / n; [0, 1] when n is 0.
Interval WilsonInterval95(int64_t hits, int64_t n);

// Holm's step-down adjustment of a family of p-values, in their order.
std::vector<double> HolmAdjust(std::span<const double> p_values);

// Benjamini and Hochberg's q-values (false discovery rate) of a family of
// p-values, in their order.
std::vector<double> BenjaminiHochbergAdjust(std::span<const double> p_values);

// Under chance, the probability that the longest miss run of n draws is at
// least `run`. With `leave_out_current`, the record's own rule applies:
// when any draw is a hit, the miss run at the newest end (not yet closed by
// a hit) is left out; with no hit at all the whole record is one run.
// Without it every run counts. 1 when run <= 0.
double LongestMissRunTail(int64_t n, double p0, int64_t run, bool leave_out_current);

// The chance that a chi-square variable with `dof` degrees of freedom is at
// least `x` (the p-value of a chi-square test); 1 when x <= 0.
double ChiSquareTail(double x, int dof);

// Under chance, the probability that the newest `run` draws all miss:
// (1 - p0)^run.
double MissRunTail(int64_t run, double p0);

}  // namespace kelvora::analysis
