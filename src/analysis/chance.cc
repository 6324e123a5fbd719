#include "analysis/chance.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace kelvora::analysis {

namespace {

// log P(X = i) for X ~ Binomial(n, p), 0 < p < 1.
struct LogBinomial {
  LogBinomial(int64_t n, double p)
      : n(n), log_p(std::log(p)), log_q(std::log1p(-p)), log_n_fact(std::lgamma(n + 1.0)) {}
  double operator()(int64_t i) const {
    const double x = static_cast<double>(i);
    const double m = static_cast<double>(n - i);
    return log_n_fact - std::lgamma(x + 1.0) - std::lgamma(m + 1.0) + x * log_p + m * log_q;
  }
  int64_t n;
  double log_p, log_q, log_n_fact;
};

// log of the sum of P(X = i) from i = `from` on, stepping by `step` (+1 or
// -1) while the terms fall away from the mode: each term comes from the one
// before by the ratio of neighbouring probabilities, and the walk stops when
// the terms no longer change the sum.
double LogTailSum(const LogBinomial& pmf, int64_t from, int step) {
  const double odds = std::exp(pmf.log_p - pmf.log_q);  // p / q
  double term = 1, sum = 1;                             // relative to P(X = from)
  for (int64_t i = from; step > 0 ? i < pmf.n : i > 0; i += step) {
    const double x = static_cast<double>(i);
    const double n = static_cast<double>(pmf.n);
    term *= step > 0 ? (n - x) / (x + 1) * odds : x / (n - x + 1) / odds;
    sum += term;
    if (term < sum * 1e-18) break;
  }
  return pmf(from) + std::log(sum);
}

// The indexes of `values` from the smallest value up; ties keep their order.
std::vector<size_t> AscendingOrder(std::span<const double> values) {
  std::vector<size_t> order(values.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return values[a] < values[b]; });
  return order;
}

}  // namespace

double BinomialTwoSidedP(int64_t hits, int64_t n, double p0) {
  if (n <= 0) return 1;
  if (p0 >= 1) return hits == n ? 1 : 0;
  const LogBinomial pmf(n, p0);
  const double expected = static_cast<double>(n) * p0;
  const double k = static_cast<double>(hits);
  if (k == expected) return 1;
  // The other tail: every draw count on the far side of the expectation
  // whose probability is at most that of the observed count.
  const double limit = pmf(hits) + std::log1p(1e-7);
  double log_near, log_far;
  bool far_empty;
  if (k < expected) {
    log_near = LogTailSum(pmf, hits, -1);
    // The first count above the expectation at or below the limit; the
    // probabilities fall from there on.
    int64_t lo = static_cast<int64_t>(std::ceil(expected)), hi = n + 1;
    while (lo < hi) {
      const int64_t mid = lo + (hi - lo) / 2;
      if (pmf(mid) <= limit) {
        hi = mid;
      } else {
        lo = mid + 1;
      }
    }
    far_empty = lo > n;
    log_far = far_empty ? 0 : LogTailSum(pmf, lo, +1);
  } else {
    log_near = LogTailSum(pmf, hits, +1);
    // The last count below the expectation at or below the limit.
    int64_t lo = -1, hi = static_cast<int64_t>(std::floor(expected));
    while (lo < hi) {
      const int64_t mid = hi - (hi - lo) / 2;
      if (pmf(mid) <= limit) {
        lo = mid;
      } else {
        hi = mid - 1;
      }
    }
    far_empty = lo < 0;
    log_far = far_empty ? 0 : LogTailSum(pmf, lo, -1);
  }
  const double p = std::exp(log_near) + (far_empty ? 0.0 : std::exp(log_far));
  return std::min(1.0, p);
}

Interval WilsonInterval95(int64_t hits, int64_t n) {
  if (n <= 0) return {0, 1};
  constexpr double z = 1.959963984540054;  // the 97.5 % point of the normal
  const double k = static_cast<double>(hits);
  const double m = static_cast<double>(n);
  const double z2 = z * z;
  const double center = (k + z2 / 2) / (m + z2);
  const double half = z * std::sqrt(k * (m - k) / m + z2 / 4) / (m + z2);
  return {std::max(0.0, center - half), std::min(1.0, center + half)};
}

std::vector<double> HolmAdjust(std::span<const double> p_values) {
  const size_t m = p_values.size();
  const std::vector<size_t> order = AscendingOrder(p_values);
  std::vector<double> adjusted(m);
  double running = 0;
  for (size_t j = 0; j < m; ++j) {
    const double scaled = std::min(1.0, static_cast<double>(m - j) * p_values[order[j]]);
    running = std::max(running, scaled);
    adjusted[order[j]] = running;
  }
  return adjusted;
}

std::vector<double> BenjaminiHochbergAdjust(std::span<const double> p_values) {
  const size_t m = p_values.size();
  const std::vector<size_t> order = AscendingOrder(p_values);
  std::vector<double> adjusted(m);
  double running = 1;
  for (size_t j = m; j-- > 0;) {
    const double scaled = static_cast<double>(m) / static_cast<double>(j + 1) * p_values[order[j]];
    running = std::min(running, scaled);
    adjusted[order[j]] = running;
  }
  return adjusted;
}

double LongestMissRunTail(int64_t n, double p0, int64_t run, bool leave_out_current) {
  if (run <= 0) return 1;
  if (n < run) return 0;
  if (p0 >= 1) return 0;
  const double p = p0;
  const double q = 1 - p0;
  const double log_q = std::log1p(-p0);
  const double q_run = std::exp(static_cast<double>(run) * log_q);
  // The oldest `run` draws all miss: that run counts whatever follows, since
  // it is either closed by a hit or the whole record.
  double tail = q_run;
  // Walk the draws from the oldest on. h[t]: the chance that draw t is a hit
  // and no run of `run` misses has been closed before it, with a hit before
  // it or the misses before it fewer than `run`. S: the chance of being at t
  // after such a hit with fewer than `run` misses since; F: with `run` or
  // more misses since, so that the next hit closes a long run.
  std::vector<double> h(static_cast<size_t>(n) + 1, 0.0);
  double s = 0, f = 0;
  double q_before = 1;  // q^(t-1): every draw before t missed
  for (int64_t t = 1; t <= n; ++t) {
    const size_t ti = static_cast<size_t>(t);
    double ht = p * s;
    if (t - 1 < run) ht += p * q_before;
    tail += p * f;  // a hit now closes a long run
    f *= q;
    if (t - run >= 1) f += q_run * h[ti - static_cast<size_t>(run)];
    h[ti] = ht;
    s = ht + q * s;
    if (t - run >= 1) s -= q_run * h[ti - static_cast<size_t>(run)];
    s = std::max(0.0, s);
    q_before *= q;
  }
  // A long run still open at the newest end counts only without the rule.
  if (!leave_out_current) tail += f;
  return std::min(1.0, tail);
}

double ChiSquareTail(double x, int dof) {
  if (x <= 0 || dof <= 0) return 1;
  // The regularized upper incomplete gamma Q(a, z), a = dof / 2, z = x / 2:
  // its series below a + 1, its continued fraction (modified Lentz) above,
  // both scaled by exp(-z) z^a / Gamma(a) in log space.
  const double a = dof / 2.0, z = x / 2.0;
  const double log_scale = a * std::log(z) - z - std::lgamma(a);
  if (z < a + 1) {
    double term = 1 / a, sum = term;
    for (int n = 1; n < 100000; ++n) {
      term *= z / (a + n);
      sum += term;
      if (term < sum * 1e-17) break;
    }
    return std::max(0.0, 1 - std::exp(log_scale + std::log(sum)));
  }
  constexpr double kTiny = 1e-300;
  double b = z + 1 - a, c = 1 / kTiny, d = 1 / b, h = d;
  for (int n = 1; n < 100000; ++n) {
    const double an = -n * (n - a);
    b += 2;
    d = an * d + b;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = b + an / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1 / d;
    const double step = d * c;
    h *= step;
    if (std::fabs(step - 1) < 1e-16) break;
  }
  return std::min(1.0, std::exp(log_scale + std::log(h)));
}

double MissRunTail(int64_t run, double p0) {
  if (run <= 0) return 1;
  if (p0 >= 1) return 0;
  return std::exp(static_cast<double>(run) * std::log1p(-p0));
}

}  // namespace kelvora::analysis
