// What this processor offers the digest and set code, probed once. On a
// build without the x86 kernels every feature is false.
#pragma once

namespace kelvora::numbersets {

struct CpuFeatures {
  bool sha = false;     // the SHA extensions, with the SSSE3 and SSE4.1 they need
  bool popcnt = false;  // the builders count digits with it
  bool avx2 = false;    // and the system saves the vector registers
  bool avx512 = false;  // F, BW, VL and VBMI2, with the mask and upper registers saved
};

// The features of the processor the program runs on; thread-safe.
const CpuFeatures& Cpu();

}  // namespace kelvora::numbersets
