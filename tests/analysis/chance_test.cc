#include "analysis/chance.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <boost/math/distributions/binomial.hpp>
#include <boost/math/distributions/chi_squared.hpp>
#include <cmath>

#include "analysis/backtest.h"
#include "analysis/bet_kinds.h"
#include "support/bound_workbook.h"

namespace kelvora::analysis {
namespace {

using ::testing::AllOf, ::testing::DoubleNear, ::testing::Gt, ::testing::Lt, ::testing::Pointwise;

// Published values (SciPy 1.10: binomtest, proportion_ci(method="wilson")).
TEST(ChanceTest, ReproducesReferenceValues) {
  EXPECT_NEAR(BinomialTwoSidedP(42, 364, 0.1), 0.335795, 0.5e-6);
  EXPECT_NEAR(BinomialTwoSidedP(61, 364, 0.1), 0.000072, 0.5e-6);
  EXPECT_NEAR(WilsonInterval95(42, 364).low, 0.086506, 0.5e-6);
  EXPECT_NEAR(WilsonInterval95(42, 364).high, 0.152296, 0.5e-6);
  EXPECT_NEAR(LongestMissRunTail(364, 0.1, 60, false), 0.0554, 0.5e-4);
}

// The same two-sided rule written plainly, summed over Boost.Math's binomial probabilities.
double BoostTwoSided(int64_t k, int64_t n, double p) {
  const boost::math::binomial_distribution<double> b(static_cast<double>(n), p);
  const double limit = boost::math::pdf(b, static_cast<double>(k)) * (1 + 1e-7);
  double sum = 0;
  for (int64_t i = 0; i <= n; ++i) {
    const double d = boost::math::pdf(b, static_cast<double>(i));
    if (d <= limit) sum += d;
  }
  return std::min(1.0, sum);
}

TEST(ChanceTest, BinomialTestAgreesWithBoost) {
  const std::tuple<int64_t, int64_t, double> cases[] = {
      {0, 10, 0.1},       {10, 10, 0.1},      {3, 10, 0.5},        {38, 99, 0.4},
      {28, 99, 0.4},      {1, 199, 0.001},    {0, 64999, 0.001},   {200, 64999, 0.001},
      {6400, 64999, 0.1}, {6600, 64999, 0.1}, {26000, 64999, 0.4}, {64000, 64999, 0.9854},
      {31, 364, 0.40951}, {5, 20, 0.52},      {0, 10, 0.5},
  };
  for (const auto& [k, n, p] : cases) {
    const double boost = BoostTwoSided(k, n, p);
    EXPECT_NEAR(BinomialTwoSidedP(k, n, p), boost, 1e-9 + 1e-9 * boost)
        << k << "/" << n << " p " << p;
  }
  // Tails far below the smallest double stay finite (0), never NaN.
  EXPECT_EQ(BinomialTwoSidedP(0, 64999, 0.5), 0.0);
  EXPECT_EQ(BinomialTwoSidedP(5, 10, 1.0), 0.0);
  EXPECT_EQ(BinomialTwoSidedP(10, 10, 1.0), 1.0);
  EXPECT_EQ(BinomialTwoSidedP(0, 0, 0.3), 1.0);
}

TEST(ChanceTest, ChiSquareTailAgreesWithBoost) {
  for (int dof : {1, 9, 99}) {
    for (double x : {0.5, 8.0, 99.0, 130.0, 400.0}) {
      const double boost = boost::math::cdf(
          boost::math::complement(boost::math::chi_squared_distribution<double>(dof), x));
      EXPECT_NEAR(ChiSquareTail(x, dof), boost, 1e-12 + 1e-9 * boost) << dof << " " << x;
    }
  }
  EXPECT_EQ(ChiSquareTail(0, 99), 1.0);
}

TEST(ChanceTest, HolmAdjustsInStepsAndKeepsTheOrder) {
  const std::vector<double> p = {0.04, 0.001, 0.03, 0.5, 0.03, 0.9};
  EXPECT_THAT(HolmAdjust(p), Pointwise(DoubleNear(1e-12), {0.15, 0.006, 0.15, 1.0, 0.15, 1.0}));
  EXPECT_TRUE(HolmAdjust({}).empty());
  // Benjamini-Hochberg on the same family: m / rank * p, made monotone from the largest down.
  EXPECT_THAT(BenjaminiHochbergAdjust(p),
              Pointwise(DoubleNear(1e-12), {0.06, 0.006, 0.06, 0.6, 0.06, 0.9}));
}

// Every record of n draws, weighed by its chance, against the record's own
// rule for the longest miss run.
TEST(ChanceTest, LongestMissRunTailMatchesEveryRecordUnderTheRecordsRule) {
  for (int n : {1, 4, 11}) {
    for (double p : {0.1, 0.55}) {
      std::vector<double> tail(static_cast<size_t>(n) + 2, 0.0);
      std::vector<uint8_t> hits(static_cast<size_t>(n));
      for (int mask = 0; mask < (1 << n); ++mask) {
        double chance = 1;
        for (int i = 0; i < n; ++i) {
          hits[static_cast<size_t>(i)] = (mask >> i) & 1;
          chance *= hits[static_cast<size_t>(i)] ? p : 1 - p;
        }
        const int longest = ComputeRunStatistics(hits).longest_miss_run;
        for (int run = 0; run <= longest; ++run) tail[static_cast<size_t>(run)] += chance;
      }
      for (int run = 0; run <= n + 1; ++run)
        EXPECT_NEAR(LongestMissRunTail(n, p, run, true), tail[static_cast<size_t>(run)], 1e-12)
            << "n " << n << " p " << p << " run " << run;
    }
  }
  EXPECT_NEAR(MissRunTail(3, 0.1), 0.729, 1e-15);
  // A long record stays a probability.
  EXPECT_THAT(LongestMissRunTail(64999, 0.001, 9000, true), AllOf(Gt(0.0), Lt(0.01)));
}

// The chance rates against the hit rule itself: random stores backtested hit about p0 of the time.
TEST(ChanceTest, ChanceRatesFollowTheHitRule) {
  constexpr int kDraws = 3000;
  const host::Table block = testing::StoreRows(kDraws + 1, 99999, 2024);
  const std::tuple<int, int16_t, const char16_t*, double> cases[] = {
      {1, 30, u"", 0.30},   {2, 7, u"", 0.07},   {3, 250, u"", 0.25},
      {4, 400, u"", 0.40},  {5, 100, u"", 0.10}, {6, 3, u"2", 0.30},
      {6, 4, u"4.5", 0.40}, {6, 2, u"7", 1.0},   {6, 2, u"any", 1 - std::pow(0.8, 5)},
  };
  for (const auto& [kind_row, size, position, p0] : cases) {
    const AnalysisParameters params{u"", size, position, kDraws + 1};
    ASSERT_NEAR(*ChanceRate(kind_row, size, position), p0, 1e-12) << kind_row;
    for (const MethodResult& m : BacktestMethods(block, kDraws, params, kind_row)) {
      int hits = 0;
      for (uint8_t h : m.hits) hits += h;
      EXPECT_NEAR(static_cast<double>(hits) / kDraws, p0, 4.5 * std::sqrt(p0 * (1 - p0) / kDraws))
          << "kind " << kind_row << " size " << size;
    }
  }
  EXPECT_EQ(ChanceRate(6, 3, u"0.4"), std::nullopt);  // a position the run refuses
}

}  // namespace
}  // namespace kelvora::analysis
