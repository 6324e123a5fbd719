#include "analysis/gan.h"

#include <algorithm>
#include <vector>

#include "analysis/chance.h"
#include "host/convert.h"
#include "intake/draw_check.h"
#include "text/telex.h"

namespace kelvora::analysis {

namespace {

constexpr char16_t kNothingBeyondChance[] =
    u"Khoong cos gif khasc ngaaxu nhieen (sau hieeju chirnh Holm)";
constexpr char16_t kBeyondChance[] = u"Khasc ngaaxu nhieen: ";
// The tests, in the order of the Holm family.
constexpr const char16_t* kTests[] = {u"taafn suaast hai soos cuoosi", u"ddaafu", u"dduooi",
                                      u"toorng", u"gan lowsn nhaast"};

template <size_t N>
void ChiSquare(const std::array<int64_t, N>& counts, int64_t total, double& chi2, double& p) {
  chi2 = 0;
  p = 1;
  if (total <= 0) return;
  const double expected = static_cast<double>(total) / N;
  for (int64_t c : counts) {
    const double d = static_cast<double>(c) - expected;
    chi2 += d * d / expected;
  }
  p = ChiSquareTail(chi2, static_cast<int>(N) - 1);
}

void DigitChiSquare(DigitTable& t, int64_t total) { ChiSquare(t.counts, total, t.chi2, t.chi2_p); }

}  // namespace

std::vector<int8_t> EndingsOf(const host::Table& block) {
  std::vector<int8_t> endings;
  endings.reserve(static_cast<size_t>(block.rows()));
  for (int32_t r = 1; r <= block.rows(); ++r) {
    const host::Value& v = block(r, 2);
    if (!intake::IsFiveDigitResult(v)) continue;
    const std::u16string text = host::ToText(v);
    endings.push_back(static_cast<int8_t>((text[3] - u'0') * 10 + (text[4] - u'0')));
  }
  return endings;
}

double SomeEndingAbsentP(int64_t draws) {
  if (draws <= 0) return 1;
  if (draws < 100) return 1;  // fewer draws than endings: some ending is absent
  // dist[k]: the chance of having seen exactly k distinct endings so far.
  std::array<double, 101> dist{};
  dist[0] = 1;
  for (int64_t t = 1; t <= draws; ++t) {
    for (int k = static_cast<int>(std::min<int64_t>(t, 100)); k >= 1; --k)
      dist[k] = dist[k] * k / 100.0 + dist[k - 1] * (101 - k) / 100.0;
    dist[0] = 0;
    double absent = 0;
    for (int k = 0; k < 100; ++k) absent += dist[k];
    if (absent < 1e-300) return 0;
  }
  double absent = 0;
  for (int k = 0; k < 100; ++k) absent += dist[k];
  return std::min(1.0, absent);
}

GanReport AssessGan(const host::Table& block, int64_t last) {
  GanReport g;
  g.quality = CheckStoreQuality(block);
  const std::vector<int8_t> endings = EndingsOf(block);
  const int64_t m = static_cast<int64_t>(endings.size());
  g.draws = m;
  g.last = std::min(std::max<int64_t>(last, 1), m);

  // One pass, newest to oldest: where each ending was seen last (in this
  // order) gives the gaps between its appearances.
  std::array<int64_t, 100> seen_at;
  seen_at.fill(-1);
  for (int64_t i = 0; i < m; ++i) {
    const int e = endings[static_cast<size_t>(i)];
    EndingStats& s = g.endings[static_cast<size_t>(e)];
    const int64_t gap =
        seen_at[static_cast<size_t>(e)] < 0 ? i : i - seen_at[static_cast<size_t>(e)] - 1;
    if (seen_at[static_cast<size_t>(e)] < 0) s.current_gan = i;
    s.longest_gan = std::max(s.longest_gan, gap);
    seen_at[static_cast<size_t>(e)] = i;
    if (i < g.last) {
      ++s.count;
      ++g.dau.counts[static_cast<size_t>(e / 10)];
      ++g.duoi.counts[static_cast<size_t>(e % 10)];
      ++g.tong.counts[static_cast<size_t>((e / 10 + e % 10) % 10)];
    }
  }
  int64_t largest_current = 0;
  std::array<int64_t, 100> counts{};
  for (size_t e = 0; e < 100; ++e) {
    EndingStats& s = g.endings[e];
    if (seen_at[e] < 0) s.current_gan = s.longest_gan = m;  // never seen: the whole store
    s.gan_p = MissRunTail(s.current_gan, 0.01);
    largest_current = std::max(largest_current, s.current_gan);
    counts[e] = s.count;
  }
  g.expected = static_cast<double>(g.last) / 100;
  ChiSquare(counts, g.last, g.chi2, g.chi2_p);
  DigitChiSquare(g.dau, g.last);
  DigitChiSquare(g.duoi, g.last);
  DigitChiSquare(g.tong, g.last);
  g.max_current_gan_p = m > 0 ? SomeEndingAbsentP(largest_current) : 1;

  // The 95 % range of one ending's longest gan: absences of draws that miss
  // it, with the record's own rule for the run at each end.
  if (m > 0) {
    auto at_least = [&](int64_t run) { return LongestMissRunTail(m, 0.01, run, true); };
    int64_t lo = 0, hi = m;
    while (lo < hi) {  // the largest run reached with chance >= 97.5 %
      const int64_t mid = lo + (hi - lo + 1) / 2;
      if (at_least(mid) >= 0.975)
        lo = mid;
      else
        hi = mid - 1;
    }
    g.longest_gan_low = lo;
    lo = 0, hi = m;
    while (lo < hi) {  // the smallest run beaten with chance <= 2.5 %
      const int64_t mid = lo + (hi - lo) / 2;
      if (at_least(mid + 1) <= 0.025)
        hi = mid;
      else
        lo = mid + 1;
    }
    g.longest_gan_high = lo;
  }

  const std::vector<double> p = {g.chi2_p, g.dau.chi2_p, g.duoi.chi2_p, g.tong.chi2_p,
                                 g.max_current_gan_p};
  const std::vector<double> holm = HolmAdjust(p);
  const size_t smallest =
      static_cast<size_t>(std::min_element(holm.begin(), holm.end()) - holm.begin());
  g.smallest_p_holm = holm[smallest];
  if (!g.quality.comparable_with_chance()) {
    g.verdict = NotComparableVerdict();
  } else if (g.smallest_p_holm >= 0.05) {
    g.verdict = TelexToUnicode(kNothingBeyondChance);
  } else {
    char buf[40];
    std::snprintf(buf, sizeof buf, " (p Holm = %.2g)", g.smallest_p_holm);
    g.verdict = TelexToUnicode(kBeyondChance) + TelexToUnicode(kTests[smallest]) +
                std::u16string(buf, buf + std::char_traits<char>::length(buf));
  }
  return g;
}

}  // namespace kelvora::analysis
