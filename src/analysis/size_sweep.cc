#include "analysis/size_sweep.h"

#include <algorithm>
#include <atomic>
#include <bitset>
#include <map>
#include <optional>
#include <vector>

#include "analysis/backtest_plan.h"
#include "analysis/bet_kinds.h"
#include "analysis/chance.h"
#include "analysis/main_analysis.h"
#include "analysis/worker_pool.h"
#include "host/convert.h"
#include "host/error.h"
#include "numbersets/number_sets.h"
#include "numbersets/sha256_lanes.h"

namespace kelvora::analysis {

namespace {

using Goal = std::bitset<1000>;

// The W-digit text of number v.
std::u16string PieceText(int width, int v) {
  std::u16string t(static_cast<size_t>(width), u'0');
  for (int i = width - 1; i >= 0; --i, v /= 10) t[static_cast<size_t>(i)] = u'0' + v % 10;
  return t;
}

// The numbers whose W-digit text holds `pattern` as a run (`any`: holds any
// character of `pattern`). A set text is its numbers' texts joined by
// commas, so without a comma in the pattern, the text of a set contains the
// pattern exactly when one of its numbers does; and a set that contains it
// at size N contains it at every larger size, which keeps the ranks valid.
Goal GoalOf(int width, const std::u16string& pattern, bool any) {
  Goal goal;
  const int universe = width == 1 ? 10 : width == 2 ? 100 : 1000;
  for (int v = 0; v < universe; ++v) {
    const std::u16string text = PieceText(width, v);
    goal[static_cast<size_t>(v)] = TextContains(text, pattern, any);
  }
  return goal;
}

// What decides one tested draw at every size.
struct DrawTest {
  enum { kRank, kBuildEachSize } how = kRank;
  int32_t rank = 0;  // hit at every size >= rank; 0: at none up to the largest
};

// The walk that decides a draw: the numbers looked for, and whether the rank
// it gives is capped at 2.
struct Walk {
  const Goal* goal = nullptr;
  bool capped = false;

  int32_t Rank(int32_t walked) const { return capped && (walked == 0 || walked > 2) ? 2 : walked; }
};

class Sweeper {
 public:
  Sweeper(const BacktestPlan& plan, int32_t max_size) : plan_(plan), max_(max_size) {}

  // What decides draw i of method k when no walk is needed. Otherwise writes
  // the seed to walk into `seed`, the walk into `walk`, and returns nothing;
  // the goal stays valid as long as the sweeper.
  std::optional<DrawTest> DecideWithoutWalk(int k, int32_t i, std::u16string& seed, Walk& walk) {
    const int16_t test = plan_.test[static_cast<size_t>(i - 1)];
    if (test == kAlwaysHit) return DrawTest{DrawTest::kRank, 1};
    plan_.Seed(k, i + 1, seed);
    if (test >= 0) {
      walk = {&NumberGoal(test), false};
      return std::nullopt;
    }
    const std::u16string& pattern = plan_.pattern[static_cast<size_t>(i - 1)];
    const bool comma = pattern.find(u',') != std::u16string::npos;
    if (!plan_.any_character) {
      // A pattern with a comma can span two numbers of the set text, which
      // depends on what stands between them; such a draw is decided by
      // building the set of every size.
      if (comma) return DrawTest{DrawTest::kBuildEachSize, 0};
      const Goal& goal = CachedGoal(pattern);
      if (goal.none()) return DrawTest{DrawTest::kRank, 0};
      walk = {&goal, false};
      return std::nullopt;
    }
    // Any character: a digit of the result among the set's numbers, or a
    // comma, which the set text has from two numbers on.
    walk = {&CachedGoal(pattern), comma && max_ >= 2};
    if (walk.goal->none()) return DrawTest{DrawTest::kRank, walk.Rank(0)};
    return std::nullopt;
  }

  DrawTest Decide(int k, int32_t i, std::u16string& seed) {
    Walk walk;
    if (const auto d = DecideWithoutWalk(k, i, seed, walk)) return *d;
    return {DrawTest::kRank,
            walk.Rank(numbersets::FirstRankIn(plan_.width, seed, max_, *walk.goal))};
  }

 private:
  const Goal& CachedGoal(const std::u16string& pattern) {
    auto it = goals_.find(pattern);
    if (it == goals_.end())
      it = goals_.emplace(pattern, GoalOf(plan_.width, pattern, plan_.any_character)).first;
    return it->second;
  }
  // The goal of each single number, shared by every sweeper.
  static const Goal& NumberGoal(int16_t number) {
    static const std::vector<Goal> goals = [] {
      std::vector<Goal> g(1000);
      for (size_t v = 0; v < g.size(); ++v) g[v].set(v);
      return g;
    }();
    return goals[static_cast<size_t>(number)];
  }

  const BacktestPlan& plan_;
  int32_t max_;
  std::map<std::u16string, Goal> goals_;
};

}  // namespace

std::array<std::vector<int64_t>, 3> HitsAtEverySize(const host::Table& block, int32_t n,
                                                    const AnalysisParameters& params, int kind_row,
                                                    int32_t max_size, int threads) {
  const BetKind& kind = BetKindOfRow(kind_row);
  if (max_size < kind.min_size || max_size > kind.max_size) ThrowInvalidProcedureCall();
  threads = ResolveAnalysisThreads(threads);
  AnalysisParameters at_max = params;
  at_max.setSize = static_cast<int16_t>(max_size);
  const BacktestPlan plan = MakeBacktestPlan(block, n, at_max, kind_row, threads);

  // ranks[w][k][rank]: tested draws of method k + 1 first hit at `rank`.
  const size_t slots = static_cast<size_t>(max_size) + 1;
  std::vector<std::array<std::vector<int64_t>, 3>> ranks(static_cast<size_t>(threads));
  for (auto& per_worker : ranks)
    for (auto& r : per_worker) r.assign(slots, 0);
  std::vector<std::vector<std::pair<int, int32_t>>> each_size(static_cast<size_t>(threads));

  const int64_t tasks = int64_t{n} * 3;
  // Records the outcome of task t: method t / n + 1, tested draw t % n + 1.
  auto record = [&](int64_t t, const DrawTest& d, int worker) {
    const int k = static_cast<int>(t / n) + 1;
    const int32_t i = static_cast<int32_t>(t % n) + 1;
    if (d.how == DrawTest::kBuildEachSize) {
      each_size[static_cast<size_t>(worker)].emplace_back(k, i);
    } else {
      ++ranks[static_cast<size_t>(worker)][static_cast<size_t>(k - 1)][static_cast<size_t>(d.rank)];
    }
  };
  const numbersets::LaneBackend backend =
      numbersets::CurrentLaneBackend(numbersets::BatchWork::kWalks);
  if (backend != numbersets::LaneBackend::kNone) {
    // The walks in batches on the multi-chain back end, as the backtest
    // builds its sets; the draws decided without a walk on the way.
    TaskDealer dealer(tasks, 64);
    ParallelFor(threads, 1, threads, [&](int64_t, int64_t, int worker) {
      Sweeper sweeper(plan, max_size);
      TaskDealer::Claim claim;
      auto next = [&](std::u16string& seed, const Goal*& goal) -> int64_t {
        for (;;) {
          const int64_t t = dealer.Next(claim);
          if (t < 0) return -1;
          Walk walk;
          const auto d = sweeper.DecideWithoutWalk(static_cast<int>(t / n) + 1,
                                                   static_cast<int32_t>(t % n) + 1, seed, walk);
          if (!d) {
            goal = walk.goal;
            return 2 * t + (walk.capped ? 1 : 0);  // the key carries the cap
          }
          record(t, *d, worker);
        }
      };
      numbersets::FirstRankBatch(backend, plan.width, max_size, next,
                                 [&](int64_t key, int32_t rank) {
                                   const Walk walk{nullptr, key % 2 == 1};
                                   record(key / 2, {DrawTest::kRank, walk.Rank(rank)}, worker);
                                 });
    });
  } else {
    ParallelFor(tasks, 64, threads, [&](int64_t begin, int64_t end, int worker) {
      Sweeper sweeper(plan, max_size);
      std::u16string seed;
      for (int64_t t = begin; t < end; ++t) {
        record(t,
               sweeper.Decide(static_cast<int>(t / n) + 1, static_cast<int32_t>(t % n) + 1, seed),
               worker);
      }
    });
  }

  std::array<std::vector<int64_t>, 3> hits;
  for (int k = 0; k < 3; ++k) {
    std::vector<int64_t>& h = hits[static_cast<size_t>(k)];
    h.assign(static_cast<size_t>(max_size), 0);
    int64_t running = 0;
    for (int32_t size = 1; size <= max_size; ++size) {
      for (const auto& per_worker : ranks)
        running += per_worker[static_cast<size_t>(k)][static_cast<size_t>(size)];
      h[static_cast<size_t>(size - 1)] = running;
    }
  }
  std::u16string seed;
  numbersets::FlagSet set;
  for (const auto& list : each_size) {
    for (const auto& [k, i] : list) {
      plan.Seed(k, i + 1, seed);
      const std::u16string& pattern = plan.pattern[static_cast<size_t>(i - 1)];
      for (int32_t size = 1; size <= max_size; ++size) {
        numbersets::BuildSetFlags(plan.width, seed, size, set);
        if (TextContains(set.Text(), pattern, plan.any_character))
          ++hits[static_cast<size_t>(k - 1)][static_cast<size_t>(size - 1)];
      }
    }
  }
  return hits;
}

SweepOutcome SweepStageSizes(const BookView& book, const layout::Stage& stage,
                             std::optional<std::pair<int32_t, int32_t>> sizes, int threads) {
  const host::Table& block = book.store();
  if (block.rows() < 2) return {std::nullopt, SweepRefusal::kNoDraws};

  // The kind's limits: those of the first row that names it, as the size
  // check takes them.
  const host::Value& kind_cell = book.At(stage.kind);
  if (kind_cell.IsError()) return {std::nullopt, SweepRefusal::kParameters};
  const std::u16string kind = host::ToText(kind_cell);
  const auto naming_row = FirstNamingRow(book.Kinds(), kind);
  if (!naming_row) return {std::nullopt, SweepRefusal::kParameters};
  const BetKind& limits = BetKindOfRow(*naming_row);
  const auto [first, last_size] = sizes.value_or(std::pair{limits.min_size, limits.max_size});
  if (first < limits.min_size || last_size > limits.max_size || first > last_size)
    return {std::nullopt, SweepRefusal::kSizesOutside, limits.min_size, limits.max_size};

  const auto run = PrepareStage(book, stage, static_cast<int16_t>(last_size)).run;
  if (!run) return {std::nullopt, SweepRefusal::kParameters};
  const auto hits = HitsAtEverySize(block, run->n, run->params, run->kind_row, last_size, threads);

  SizeSweep sweep;
  sweep.kind = kind;
  sweep.kind_row = run->kind_row;
  sweep.window = run->params.window;
  sweep.tested = run->n;
  sweep.min_size = first;
  sweep.max_size = last_size;
  sweep.quality = CheckStoreQuality(block);
  for (int32_t size = first; size <= last_size; ++size) {
    const auto p0 = ChanceRate(run->kind_row, size, run->params.positionOrSuffix);
    if (!p0) return {std::nullopt, SweepRefusal::kParameters};
    for (int k = 1; k <= 3; ++k) {
      SweepRow row;
      row.size = size;
      row.method = k;
      row.hits = hits[static_cast<size_t>(k - 1)][static_cast<size_t>(size - 1)];
      row.misses = run->n - row.hits;
      row.rate = static_cast<double>(row.hits) / run->n;
      row.chance = *p0;
      sweep.rows.push_back(row);
    }
  }
  // Each row's test walks a tail of the binomial: hundreds of sizes take a
  // while, so the rows are shared among the workers.
  ParallelFor(static_cast<int64_t>(sweep.rows.size()), 16, ResolveAnalysisThreads(threads),
              [&](int64_t begin, int64_t end, int) {
                for (int64_t i = begin; i < end; ++i) {
                  SweepRow& row = sweep.rows[static_cast<size_t>(i)];
                  row.p_value = BinomialTwoSidedP(row.hits, run->n, row.chance);
                }
              });
  std::vector<double> p_values;
  for (const SweepRow& row : sweep.rows) p_values.push_back(row.p_value);
  const std::vector<double> holm = HolmAdjust(p_values);
  const std::vector<double> q = BenjaminiHochbergAdjust(p_values);
  for (size_t i = 0; i < sweep.rows.size(); ++i) {
    sweep.rows[i].p_value_holm = holm[i];
    sweep.rows[i].q_value = q[i];
  }
  return {std::move(sweep), std::nullopt};
}

}  // namespace kelvora::analysis
