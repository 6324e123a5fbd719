#include "numbersets/sha256_lanes.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "numbersets/sha256.h"
#include "numbersets/sha256_lane_kernels.h"

#if KELVORA_SHA_X86
#include <cpuid.h>
#endif

namespace kelvora::numbersets {
namespace {

struct Features {
  bool popcnt = false;  // the builders count digits with it
  bool avx2 = false;
  bool avx512 = false;
};

#if KELVORA_SHA_X86
Features DetectFeatures() {
  Features f;
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return f;
  f.popcnt = (ecx & (1u << 23)) != 0;
  const bool osxsave = (ecx & (1u << 27)) != 0, avx = (ecx & (1u << 28)) != 0;
  if (!osxsave || !avx) return f;
  unsigned xcr0_low = 0, xcr0_high = 0;
  __asm__("xgetbv" : "=a"(xcr0_low), "=d"(xcr0_high) : "c"(0));
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return f;
  // The system must save the registers: the vector halves, and for AVX-512
  // the mask registers and the upper vector registers too.
  f.avx2 = (xcr0_low & 0x06u) == 0x06u && (ebx & (1u << 5)) != 0;
  const bool avx512f = (ebx & (1u << 16)) != 0, avx512bw = (ebx & (1u << 30)) != 0;
  const bool avx512vl = (ebx & (1u << 31)) != 0, avx512vbmi2 = (ecx & (1u << 6)) != 0;
  f.avx512 =
      f.avx2 && (xcr0_low & 0xe6u) == 0xe6u && avx512f && avx512bw && avx512vl && avx512vbmi2;
  return f;
}
#else
Features DetectFeatures() { return {}; }
#endif

const Features& CpuFeatures() {
  static const Features f = DetectFeatures();
  return f;
}

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
      return ShaNiAvailable() && CpuFeatures().popcnt;
    case LaneBackend::kAvx2:
      return CpuFeatures().avx2 && CpuFeatures().popcnt;
    case LaneBackend::kAvx512:
      return CpuFeatures().avx512 && CpuFeatures().popcnt;
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
