// Several independent digest chains advanced together. One chain of SHA-256
// compressions waits on its own latency; advancing 2 to 16 chains at once
// keeps the SHA units or the vector units busy. The batch set builder
// (number_sets.h) uses it for the many sets of a backtest; single digests and
// single sets keep the one-stream back ends of sha256.h.
#pragma once

#include <cstdint>

namespace kelvora::numbersets {

// kShaNi: the SHA extensions, 4 chains interleaved (2 on 32-bit x86).
// kAvx2: 8 chains in the lanes of AVX2 vectors.
// kAvx512: 16 chains in the lanes of AVX-512 vectors (F, BW, VL, VBMI, VBMI2).
// kNone: none; the builders build one set at a time.
enum class LaneBackend { kNone, kShaNi, kAvx2, kAvx512 };

// Whether this processor offers `backend` (never kNone).
bool LaneBackendAvailable(LaneBackend backend);
// The chains a step of `backend` advances (0 for kNone).
int LaneCount(LaneBackend backend);

// The chains of one step. Lane l holds hash words h[0][l]..h[7][l] and, when
// block[l] is set, the 64-byte message block it compresses next.
struct DigestLanes {
  static constexpr int kMaxLanes = 16;
  alignas(64) uint32_t h[8][kMaxLanes];
  const uint8_t* block[kMaxLanes];
};

// Advances the first LaneCount(backend) lanes of `lanes` by one step each:
// a lane with a block compresses that block into its words (one
// compression); a lane without one replaces its words by the digest of their
// 64 lowercase hexadecimal digits, H0 first (two compressions). The blocks
// are read, never kept. `backend` must be available and not kNone.
void StepLanes(LaneBackend backend, DigestLanes& lanes);

}  // namespace kelvora::numbersets
