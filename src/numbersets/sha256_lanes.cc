#include "numbersets/sha256_lanes.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "numbersets/cpu_features.h"
#include "numbersets/sha256.h"
#include "numbersets/sha256_lane_kernels.h"

namespace kelvora::numbersets {
namespace {

// Nanoseconds per chain step of `backend`, the best of a few short trials
// after a warm-up (the vector units of some processors start slowly).
double TrialNanoseconds(LaneBackend backend) {
  using Clock = std::chrono::steady_clock;
  DigestLanes lanes{};
  for (auto& b : lanes.block) b = nullptr;
  constexpr int kSteps = 16;
  double best = 1e300;
  const auto warm_until = Clock::now() + std::chrono::microseconds(200);
  while (Clock::now() < warm_until) StepLanes(backend, lanes);
  for (int trial = 0; trial < 7; ++trial) {
    const auto t0 = Clock::now();
    for (int i = 0; i < kSteps; ++i) StepLanes(backend, lanes);
    const double ns = std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
    best = std::min(best, ns / (kSteps * LaneCount(backend)));
  }
  return best;
}

LaneBackend FastestBackend() {
  LaneBackend fastest = LaneBackend::kNone;
  double best = 1e300;
  for (LaneBackend b : {LaneBackend::kAvx512, LaneBackend::kShaNi, LaneBackend::kAvx2}) {
    if (!LaneBackendAvailable(b)) continue;
    const double ns = TrialNanoseconds(b);
    if (ns < best) best = ns, fastest = b;
  }
  return fastest;
}

LaneBackend& Slot() {
  static LaneBackend backend = FastestBackend();
  return backend;
}

}  // namespace

bool LaneBackendAvailable(LaneBackend backend) {
  switch (backend) {
    case LaneBackend::kShaNi:
      return ShaNiAvailable() && Cpu().popcnt;
    case LaneBackend::kAvx2:
      return Cpu().avx2 && Cpu().popcnt;
    case LaneBackend::kAvx512:
      return Cpu().avx512 && Cpu().popcnt;
    case LaneBackend::kNone:
      return false;
  }
  return false;
}

int LaneCount(LaneBackend backend) {
#if KELVORA_SHA_X86
  switch (backend) {
    case LaneBackend::kShaNi:
      return lanes::kShaNiLanes;
    case LaneBackend::kAvx2:
      return lanes::avx2::kLanes;
    case LaneBackend::kAvx512:
      return lanes::avx512::kLanes;
    case LaneBackend::kNone:
      return 0;
  }
#endif
  (void)backend;
  return 0;
}

LaneBackend CurrentLaneBackend() { return Slot(); }

bool SetLaneBackend(LaneBackend backend) {
  if (backend != LaneBackend::kNone && !LaneBackendAvailable(backend)) return false;
  Slot() = backend;
  return true;
}

void StepLanes(LaneBackend backend, DigestLanes& lanes) {
#if KELVORA_SHA_X86
  kernels::NoRoundHook none;
  switch (backend) {
    case LaneBackend::kShaNi:
      return lanes::StepShaNi(lanes, none);
    case LaneBackend::kAvx2:
      return lanes::avx2::Step(lanes, none);
    case LaneBackend::kAvx512:
      return lanes::avx512::Step(lanes, none);
    case LaneBackend::kNone:
      return;
  }
#endif
  (void)backend;
  (void)lanes;
}

}  // namespace kelvora::numbersets
