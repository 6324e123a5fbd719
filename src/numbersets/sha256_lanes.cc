#include "numbersets/sha256_lanes.h"

#include "numbersets/cpu_features.h"
#include "numbersets/sha256.h"
#include "numbersets/sha256_lane_kernels.h"

namespace kelvora::numbersets {

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
