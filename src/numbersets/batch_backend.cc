// The pick of the batch builders' back end.
#include <algorithm>
#include <bitset>
#include <chrono>
#include <iterator>
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

constexpr int kWanted = 32;  // items timed in a trial

// Microseconds of `backend` for kWanted items of a steady stream of the
// common load of a backtest (three-digit sets of 500) or a size sweep (walks
// to one three-digit number among the first 520). The trial stops its clock
// when its last wanted item is done and deals no more seeds from then on,
// so that the lanes left draining do not count: a long run keeps every lane
// busy. Adds the compressions it ran to `compressions`.
double TrialMicroseconds(LaneBackend backend, BatchWork work, int64_t& compressions) {
  static const std::bitset<1000> goal = std::bitset<1000>().set(500);
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
          g = &goal;
          return dealt++;
        },
        [&](int64_t, int32_t) { finished(); });
  }
  compressions += CompressionsCounted() - before;
  return std::chrono::duration<double, std::micro>(end - start).count();
}

// The back ends take turns, round after round, so that a burst of other load
// on the machine slows them alike; each keeps its best round. The first
// round warms the vector units up and is not counted.
LaneBackend FastestBackend(BatchWork work) {
  constexpr LaneBackend kCandidates[] = {LaneBackend::kAvx512, LaneBackend::kShaNi,
                                         LaneBackend::kAvx2};
  double best[std::size(kCandidates)];  // stays above any time for a back end not offered
  std::fill(std::begin(best), std::end(best), 1e300);
  int64_t compressions = 0;
  for (int round = 0; round < 4; ++round) {
    for (size_t i = 0; i < std::size(kCandidates); ++i) {
      if (!LaneBackendAvailable(kCandidates[i])) continue;
      const double us = TrialMicroseconds(kCandidates[i], work, compressions);
      if (round > 0) best[i] = std::min(best[i], us);
    }
  }
  CountCompressions(-compressions);
  LaneBackend fastest = LaneBackend::kNone;
  double fastest_us = 1e300;
  for (size_t i = 0; i < std::size(kCandidates); ++i) {
    if (best[i] < fastest_us) fastest_us = best[i], fastest = kCandidates[i];
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
