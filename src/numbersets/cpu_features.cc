#include "numbersets/cpu_features.h"

#include "numbersets/sha256_kernels.h"

#if KELVORA_SHA_X86
#include <cpuid.h>
#endif

namespace kelvora::numbersets {
namespace {

#if KELVORA_SHA_X86
CpuFeatures Probe() {
  CpuFeatures f;
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return f;
  const bool ssse3 = (ecx & (1u << 9)) != 0, sse41 = (ecx & (1u << 19)) != 0;
  f.popcnt = (ecx & (1u << 23)) != 0;
  const bool osxsave = (ecx & (1u << 27)) != 0, avx = (ecx & (1u << 28)) != 0;
  unsigned xcr0_low = 0, xcr0_high = 0;
  if (osxsave && avx) __asm__("xgetbv" : "=a"(xcr0_low), "=d"(xcr0_high) : "c"(0));
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return f;
  f.sha = ssse3 && sse41 && (ebx & (1u << 29)) != 0;
  // The system must save the registers: the vector halves, and for AVX-512
  // the mask registers and the upper vector registers too.
  f.avx2 = osxsave && avx && (xcr0_low & 0x06u) == 0x06u && (ebx & (1u << 5)) != 0;
  const bool avx512f = (ebx & (1u << 16)) != 0, avx512bw = (ebx & (1u << 30)) != 0;
  const bool avx512vl = (ebx & (1u << 31)) != 0, avx512vbmi2 = (ecx & (1u << 6)) != 0;
  f.avx512 =
      f.avx2 && (xcr0_low & 0xe6u) == 0xe6u && avx512f && avx512bw && avx512vl && avx512vbmi2;
  return f;
}
#else
CpuFeatures Probe() { return {}; }
#endif

}  // namespace

const CpuFeatures& Cpu() {
  static const CpuFeatures features = Probe();
  return features;
}

}  // namespace kelvora::numbersets
