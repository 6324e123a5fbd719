// The pick of the batch builders' back end.
#include <algorithm>
#include <bitset>
#include <chrono>
#include <optional>
#include <string>

#include "numbersets/number_sets.h"
#include "numbersets/sha256.h"
#include "numbersets/sha256_lanes.h"

namespace kelvora::numbersets {
namespace {

using Clock = std::chrono::steady_clock;

// A trial's seeds: a few dozen distinct texts.
void TrialSeed(int64_t i, std::u16string& seed) {
  seed = u"trial";
  seed.push_back(static_cast<char16_t>(u'0' + i % 10));
  seed.push_back(static_cast<char16_t>(u'0' + i / 10 % 10));
}

// Microseconds per set or walk of `backend` in a steady stream of the
// common load of a backtest (three-digit sets of 500) or a size sweep (walks
// to one three-digit number among the first 520), the best of a few trials
// after a warm-up. Each trial stops its clock when its last wanted item is
// done and deals no more seeds from then on, so that the lanes left draining
// do not count: a long run keeps every lane busy.
double TrialMicroseconds(LaneBackend backend, BatchWork work) {
  constexpr int kWanted = 64;
  std::bitset<1000> goal;
  goal[500] = true;
  const std::bitset<1000>* goal_of_every_walk = &goal;
  double best = 1e300;
  int64_t compressions = 0;
  for (int trial = 0; trial < 4; ++trial) {
    int64_t dealt = 0, done = 0;
    Clock::time_point end{};
    auto finished = [&] {
      if (++done == kWanted) end = Clock::now();
    };
    const int64_t before = CompressionsCounted();
    const auto start = Clock::now();
    if (work == BatchWork::kSets) {
      BuildSetBatch(
          backend, 3, 500,
          [&](std::u16string& seed) -> int64_t {
            if (done >= kWanted) return -1;
            TrialSeed(dealt, seed);
            return dealt++;
          },
          [&](int64_t, const FlagSet&) { finished(); });
    } else {
      FirstRankBatch(
          backend, 3, 520,
          [&](std::u16string& seed, const std::bitset<1000>*& g) -> int64_t {
            if (done >= kWanted) return -1;
            TrialSeed(dealt, seed);
            g = goal_of_every_walk;
            return dealt++;
          },
          [&](int64_t, int32_t) { finished(); });
    }
    compressions += CompressionsCounted() - before;
    // The first trial warms the vector units up.
    if (trial > 0) {
      best = std::min(best, std::chrono::duration<double, std::micro>(end - start).count());
    }
  }
  CountCompressions(-compressions);
  return best / kWanted;
}

LaneBackend FastestBackend(BatchWork work) {
  LaneBackend fastest = LaneBackend::kNone;
  double best = 1e300;
  for (LaneBackend b : {LaneBackend::kAvx512, LaneBackend::kShaNi, LaneBackend::kAvx2}) {
    if (!LaneBackendAvailable(b)) continue;
    const double us = TrialMicroseconds(b, work);
    if (us < best) best = us, fastest = b;
  }
  return fastest;
}

std::optional<LaneBackend>& Forced() {
  static std::optional<LaneBackend> forced;
  return forced;
}

}  // namespace

LaneBackend CurrentLaneBackend(BatchWork work) {
  if (Forced()) return *Forced();
  if (work == BatchWork::kSets) {
    static const LaneBackend for_sets = FastestBackend(BatchWork::kSets);
    return for_sets;
  }
  static const LaneBackend for_walks = FastestBackend(BatchWork::kWalks);
  return for_walks;
}

bool SetLaneBackend(LaneBackend backend) {
  if (backend != LaneBackend::kNone && !LaneBackendAvailable(backend)) return false;
  Forced() = backend;
  return true;
}

}  // namespace kelvora::numbersets
