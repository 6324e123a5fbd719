#include "analysis/gan.h"

#include <gtest/gtest.h>

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/special_functions/binomial.hpp>
#include <cmath>
#include <random>

#include "support/bound_workbook.h"

namespace kelvora::analysis {
namespace {

using host::Value;

// Newest first: endings 07, 12, 07, (a four-digit result), 99, 12, 07.
TEST(GanTest, HandWorkedGansAndCounts) {
  const GanReport g = AssessGan(
      testing::StoreOf({u"12307", u"55512", u"00007", u"1234", u"12399", 12312, u"88807"}, 1000),
      4);
  EXPECT_EQ(std::tuple(g.draws, g.quality.results_not_five_digits, g.last), std::tuple(6, 1, 4));
  EXPECT_EQ(g.verdict, NotComparableVerdict());  // the four-digit result
  const std::tuple<size_t, int64_t, int64_t, int64_t> cases[] = {
      {7, 0, 2, 2}, {12, 1, 2, 1}, {99, 3, 3, 1}, {0, 6, 6, 0}, {55, 6, 6, 0}};
  for (const auto& [ending, current, longest, count] : cases) {
    const EndingStats& s = g.endings[ending];
    EXPECT_EQ(std::tuple(s.current_gan, s.longest_gan, s.count),
              std::tuple(current, longest, count))
        << ending;
    EXPECT_DOUBLE_EQ(s.gan_p, std::pow(0.99, static_cast<double>(current))) << ending;
  }
  EXPECT_EQ(g.dau.counts, (std::array<int64_t, 10>{2, 1, 0, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(g.duoi.counts, (std::array<int64_t, 10>{0, 0, 1, 0, 0, 0, 0, 2, 0, 1}));
  EXPECT_EQ(g.tong.counts, (std::array<int64_t, 10>{0, 0, 0, 1, 0, 0, 0, 2, 1, 0}));
  EXPECT_DOUBLE_EQ(g.expected, 0.04);
  // The uniformity statistics by hand (0.4 expected a digit, 0.04 an ending),
  // their tails from Boost at 9 and 99 degrees of freedom.
  auto tail = [](double x, int dof) {
    return boost::math::cdf(
        boost::math::complement(boost::math::chi_squared_distribution<double>(dof), x));
  };
  for (const DigitTable* t : {&g.dau, &g.duoi, &g.tong}) {
    EXPECT_NEAR(t->chi2, 11, 1e-9);
    EXPECT_NEAR(t->chi2_p, tail(11, 9), 1e-12);
  }
  EXPECT_NEAR(g.chi2, 146, 1e-9);
  EXPECT_NEAR(g.chi2_p, tail(146, 99), 1e-12);
  EXPECT_EQ(g.max_current_gan_p, 1.0);  // six draws cannot show all 100 endings
}

// Inclusion and exclusion over the endings that stay absent, in long double
// with Boost's binomial coefficients; sound where the terms fall fast.
TEST(GanTest, SomeEndingAbsentAgreesWithInclusionExclusion) {
  for (int64_t draws : {350, 500, 900, 1500}) {
    long double sum = 0;
    for (int j = 1; j <= 100; ++j) {
      const long double term = boost::math::binomial_coefficient<long double>(100, j) *
                               std::pow(1.0L - j / 100.0L, static_cast<long double>(draws));
      sum += (j % 2 == 1 ? term : -term);
    }
    EXPECT_NEAR(SomeEndingAbsentP(draws), static_cast<double>(sum), 1e-12 + 1e-9 * sum) << draws;
  }
  EXPECT_EQ(SomeEndingAbsentP(99), 1.0);
}

// The chance that one ending's longest gan over m draws reaches `run`, by a
// walk over the misses since its last hit (capped at `run`): a gan closed by
// a hit counts, the one still open counts only when it is the whole store.
double GanReachesByWalk(int64_t m, size_t run) {
  std::vector<double> open(run + 1, 0.0);
  open[0] = 1;
  double reached = 0;
  for (int64_t t = 0; t < m; ++t) {
    reached += 0.01 * open[run];
    double hit = 0;
    for (size_t k = 0; k < run; ++k) hit += 0.01 * open[k];
    open[run] = 0.99 * (open[run] + open[run - 1]);
    for (size_t k = run - 1; k >= 1; --k) open[k] = 0.99 * open[k - 1];
    open[0] = hit;
  }
  return reached + std::pow(0.99, static_cast<double>(m));
}

TEST(GanTest, ALargeRandomStoreIsWithinChance) {
  std::mt19937 rng(20240601);
  std::vector<Value> results;
  for (int i = 0; i < 20000; ++i) results.push_back(Value(testing::FiveDigits(rng())));
  const GanReport g = AssessGan(testing::StoreOf(results, 1000), 1000);
  EXPECT_GE(g.smallest_p_holm, 0.05);
  EXPECT_EQ(Utf16ToUtf8(g.verdict), "Không có gì khác ngẫu nhiên (sau hiệu chỉnh Holm)");
  // The 95 % range of the longest gan: reached with chance >= 97.5 % at its
  // low end and not one past, beaten with chance <= 2.5 % at its high end.
  const auto low = static_cast<size_t>(g.longest_gan_low);
  const auto high = static_cast<size_t>(g.longest_gan_high);
  EXPECT_GE(GanReachesByWalk(20000, low), 0.975);
  EXPECT_LT(GanReachesByWalk(20000, low + 1), 0.975);
  EXPECT_LE(GanReachesByWalk(20000, high + 1), 0.025);
  EXPECT_GT(GanReachesByWalk(20000, high), 0.025);
  // A store where one ending never comes is not.
  for (Value& v : results)
    if (v.text().substr(3) == u"42") v = Value(v.text().substr(0, 3) + u"43");
  const GanReport skewed = AssessGan(testing::StoreOf(results, 1000), 1000);
  EXPECT_LT(skewed.smallest_p_holm, 0.05);
  EXPECT_EQ(Utf16ToUtf8(skewed.verdict).substr(0, 19), "Khác ngẫu nhiên");
}

}  // namespace
}  // namespace kelvora::analysis
