// The pick of the batch builders' back end.
#include <algorithm>
#include <chrono>
#include <string>

#include "numbersets/number_sets.h"
#include "numbersets/sha256.h"
#include "numbersets/sha256_lanes.h"

namespace kelvora::numbersets {
namespace {

// Microseconds per set of `backend` in a steady stream of three-digit sets of
// 500 (a backtest's common load), the best of a few trials after a warm-up.
// Each trial stops its clock when its last wanted set is done and deals no
// more seeds from then on, so that the lanes left draining do not count: a
// long run keeps every lane busy.
double TrialMicroseconds(LaneBackend backend) {
  using Clock = std::chrono::steady_clock;
  constexpr int kWanted = 64;
  double best = 1e300;
  int64_t compressions = 0;
  for (int trial = 0; trial < 4; ++trial) {
    int64_t dealt = 0, done = 0;
    Clock::time_point end{};
    const auto start = Clock::now();
    BuildSetBatch(
        backend, 3, 500,
        [&](std::u16string& seed) -> int64_t {
          if (done >= kWanted) return -1;
          seed = u"trial" + std::u16string(1, static_cast<char16_t>(u'0' + dealt % 10)) +
                 std::u16string(1, static_cast<char16_t>(u'0' + dealt / 10 % 10));
          return dealt++;
        },
        [&](int64_t, const FlagSet& set) {
          compressions += set.compressions;
          if (++done == kWanted) end = Clock::now();
        });
    // The first trial warms the vector units up.
    if (trial > 0)
      best =
          std::min(best, std::chrono::duration<double, std::micro>(end - start).count() / kWanted);
  }
  CountCompressions(-compressions);
  return best;
}

LaneBackend FastestBackend() {
  LaneBackend fastest = LaneBackend::kNone;
  double best = 1e300;
  for (LaneBackend b : {LaneBackend::kAvx512, LaneBackend::kShaNi, LaneBackend::kAvx2}) {
    if (!LaneBackendAvailable(b)) continue;
    const double us = TrialMicroseconds(b);
    if (us < best) best = us, fastest = b;
  }
  return fastest;
}

LaneBackend& Slot() {
  static LaneBackend backend = FastestBackend();
  return backend;
}

}  // namespace

LaneBackend CurrentLaneBackend() { return Slot(); }

bool SetLaneBackend(LaneBackend backend) {
  if (backend != LaneBackend::kNone && !LaneBackendAvailable(backend)) return false;
  Slot() = backend;
  return true;
}

}  // namespace kelvora::numbersets
