#include "analysis/backtest.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numeric>

#include "analysis/backtest_plan.h"
#include "analysis/bet_kinds.h"
#include "analysis/worker_pool.h"
#include "host/convert.h"
#include "host/error.h"
#include "numbersets/number_sets.h"
#include "numbersets/sha256.h"
#include "numbersets/sha256_lanes.h"

namespace kelvora::analysis {

std::u16string ValueText(const host::Value& v) {
  if (v.IsNumber()) {
    const double d = v.number();
    // Whole numbers, the draw numbers among them, written directly: the same
    // digits as the general conversion gives them.
    if (std::fabs(d) < 1e15 && d == std::trunc(d)) {
      char16_t buf[24];
      char16_t* end = buf + 24;
      char16_t* p = end;
      int64_t x = static_cast<int64_t>(d);
      const bool negative = x < 0;
      uint64_t u = negative ? 0 - static_cast<uint64_t>(x) : static_cast<uint64_t>(x);
      do {
        *--p = static_cast<char16_t>(u'0' + u % 10);
        u /= 10;
      } while (u != 0);
      if (negative) *--p = u'-';
      return std::u16string(p, end);
    }
  }
  return host::ToText(v);
}

namespace {

struct MethodOutcome {
  std::vector<uint8_t> hits;
  std::u16string next_set;
};

// Builds the set of every row 1..n+1 once for each method of `methods`:
// row 1's set is the next-draw set, row i + 1's set decides draw i.
std::vector<MethodOutcome> RunPlan(const BacktestPlan& plan, const std::vector<int>& methods,
                                   int threads, BacktestCost* cost) {
  const int64_t rows = static_cast<int64_t>(plan.n) + 1;
  const int64_t tasks = rows * static_cast<int64_t>(methods.size());
  std::vector<MethodOutcome> out(methods.size());
  for (auto& o : out) o.hits.assign(static_cast<size_t>(plan.n), 0);

  // The digest back ends are picked at their first use; pick them here,
  // before any worker can race for them.
  (void)numbersets::CurrentSha256Backend();
  const numbersets::LaneBackend backend = numbersets::CurrentLaneBackend();

  struct alignas(64) WorkerCost {
    int64_t sets = 0, digests = 0, compressions = 0;
  };
  std::vector<WorkerCost> costs(static_cast<size_t>(threads));

  // Records the set of task t: method index t / rows, block row t % rows + 1.
  auto record = [&](int64_t t, const numbersets::FlagSet& set, WorkerCost& wc) {
    const size_t m = static_cast<size_t>(t / rows);
    const int64_t r = t % rows + 1;
    ++wc.sets;
    wc.digests += set.digests;
    wc.compressions += set.compressions;
    if (r == 1) {
      out[m].next_set = set.Text();
      return;
    }
    const size_t i = static_cast<size_t>(r - 2);  // tested draw r - 1, 0-based
    const int16_t test = plan.test[i];
    bool hit;
    if (test >= 0) {
      hit = set.flags[static_cast<size_t>(test)];
    } else if (test == kAlwaysHit) {
      hit = true;
    } else {
      hit = TextContains(set.Text(), plan.pattern[i], plan.any_character);
    }
    out[m].hits[i] = hit ? 1 : 0;
  };
  auto seed_of = [&](int64_t t, std::u16string& seed) {
    plan.Seed(methods[static_cast<size_t>(t / rows)], t % rows + 1, seed);
  };

  if (backend != numbersets::LaneBackend::kNone) {
    // Each worker builds sets in a batch of its own, taking the tasks as
    // its lanes come free, so that all lanes stay busy to the end. It takes
    // them 64 at a time: the hits of a claim then fill a cache line that the
    // other workers seldom write, and the shared count is seldom touched
    // (with 8, the lines passing between the cores cost about 4 % of a
    // two-thread run), while the last claims still end within a tenth of a
    // millisecond of each other.
    TaskDealer dealer(tasks, 64);
    ParallelFor(threads, 1, threads, [&](int64_t, int64_t, int worker) {
      WorkerCost& wc = costs[static_cast<size_t>(worker)];
      TaskDealer::Claim claim;
      auto next = [&](std::u16string& seed) -> int64_t {
        const int64_t t = dealer.Next(claim);
        if (t >= 0) seed_of(t, seed);
        return t;
      };
      numbersets::BuildSetBatch(
          backend, plan.width, plan.size, next,
          [&](int64_t t, const numbersets::FlagSet& set) { record(t, set, wc); });
    });
  } else {
    ParallelFor(tasks, 64, threads, [&](int64_t begin, int64_t end, int worker) {
      numbersets::FlagSet set;
      std::u16string seed;
      WorkerCost& wc = costs[static_cast<size_t>(worker)];
      for (int64_t t = begin; t < end; ++t) {
        seed_of(t, seed);
        numbersets::BuildSetFlags(plan.width, seed, plan.size, set);
        record(t, set, wc);
      }
    });
  }

  if (cost != nullptr) {
    for (const auto& wc : costs) {
      cost->sets += wc.sets;
      cost->digests += wc.digests;
      cost->compressions += wc.compressions;
    }
  }
  return out;
}

MethodResult MakeResult(int k, MethodOutcome&& outcome) {
  MethodResult result;
  const RunStatistics s = ComputeRunStatistics(outcome.hits);
  result.values[0] = host::Value(k);
  result.values[1] = host::Value(s.longest_hit_run);
  result.values[2] = host::Value(s.current_hit_run);
  result.values[3] = host::Value(s.longest_miss_run);
  if (s.current_miss_run) result.values[4] = host::Value(*s.current_miss_run);
  if (s.hits != 0) result.values[5] = host::Value(s.hits);
  if (s.misses != 0) result.values[6] = host::Value(s.misses);
  if (s.hit_rate) result.values[7] = host::Value(*s.hit_rate);
  result.values[8] = host::Value(std::move(outcome.next_set));
  result.hits = std::move(outcome.hits);
  return result;
}

}  // namespace

bool KindParametersUsable(int kind_row, const AnalysisParameters& params) {
  if (kind_row != 6) return true;
  const auto position = RoundedPosition(params.positionOrSuffix);
  return !position || *position >= 1;
}

std::u16string PickCharacter(std::u16string text, std::u16string position_text) {
  const auto position = RoundedPosition(position_text);
  if (!position) return text;
  if (!(*position >= 1)) ThrowInvalidProcedureCall();
  if (*position > static_cast<double>(text.size())) return {};
  return std::u16string(1, text[static_cast<size_t>(*position) - 1]);
}

bool TextContains(std::u16string_view text, std::u16string_view pattern, bool any_character) {
  if (!any_character) return text.find(pattern) != std::u16string_view::npos;
  for (char16_t c : pattern) {
    if (text.find(c) != std::u16string_view::npos) return true;
  }
  return false;
}

RunStatistics ComputeRunStatistics(std::span<const uint8_t> hits) {
  RunStatistics s;
  const int32_t n = static_cast<int32_t>(hits.size());
  // The current miss run: the misses before the first hit, newest first.
  int32_t current_miss = 0;
  while (current_miss < n && hits[static_cast<size_t>(current_miss)] == 0) ++current_miss;
  if (current_miss < n) s.current_miss_run = current_miss;
  const int32_t c = s.current_miss_run.value_or(0);

  // Hits and misses alternate at random: no branch on them.
  int32_t hit_run = 0, miss_run = 0;
  for (int32_t i = 1; i <= n; ++i) {
    const int32_t hit = hits[static_cast<size_t>(i - 1)] != 0 ? 1 : 0;
    const int32_t on_hit = -hit;  // all bits set on a hit
    s.hits += hit;
    // A miss run closed by this hit counts unless it is the current one.
    const int32_t closed = miss_run & on_hit & -static_cast<int32_t>(i > c + 2);
    s.longest_miss_run = std::max(s.longest_miss_run, closed);
    hit_run = (hit_run + 1) & on_hit;
    miss_run = (miss_run + 1) & ~on_hit;
    s.longest_hit_run = std::max(s.longest_hit_run, hit_run);
  }
  s.misses = n - s.hits;
  // The run still open at the oldest tested draw always counts.
  s.longest_miss_run = std::max(s.longest_miss_run, miss_run);
  while (s.current_hit_run < n && hits[static_cast<size_t>(s.current_hit_run)] != 0) {
    ++s.current_hit_run;
  }
  if (s.hits + s.misses > 0) {
    s.hit_rate = static_cast<double>(s.hits) / static_cast<double>(s.hits + s.misses) * 100.0;
  }
  return s;
}

std::u16string ComingSet(const host::Table& block, const AnalysisParameters& params, int kind_row,
                         int k) {
  const BetKind& kind = BetKindOfRow(kind_row);
  std::u16string seed = u"pp";
  seed.push_back(static_cast<char16_t>(u'0' + k));
  seed += ValueText(block(1, 1)) + ValueText(block(1, 2));
  seed += kind.seed_suffix != nullptr ? std::u16string(kind.seed_suffix) : params.positionOrSuffix;
  numbersets::FlagSet set;
  numbersets::BuildSetFlags(kind.width, seed, params.setSize, set);
  return set.Text();
}

MethodResult BacktestMethod(const host::Table& block, int32_t n, const AnalysisParameters& params,
                            int kind_row, int k, int threads, BacktestCost* cost) {
  if (k < 1 || k > 9) ThrowInvalidProcedureCall();
  threads = ResolveAnalysisThreads(threads);
  const BacktestPlan plan = MakeBacktestPlan(block, n, params, kind_row, threads);
  auto outcomes = RunPlan(plan, {k}, threads, cost);
  return MakeResult(k, std::move(outcomes[0]));
}

std::array<MethodResult, 3> BacktestMethods(const host::Table& block, int32_t n,
                                            const AnalysisParameters& params, int kind_row,
                                            int threads, BacktestCost* cost) {
  threads = ResolveAnalysisThreads(threads);
  const BacktestPlan plan = MakeBacktestPlan(block, n, params, kind_row, threads);
  auto outcomes = RunPlan(plan, {1, 2, 3}, threads, cost);
  return {MakeResult(1, std::move(outcomes[0])), MakeResult(2, std::move(outcomes[1])),
          MakeResult(3, std::move(outcomes[2]))};
}

}  // namespace kelvora::analysis
