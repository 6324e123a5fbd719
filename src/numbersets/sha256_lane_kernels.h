// The kernels of the multi-chain back ends (sha256_lanes.h), with a hook
// that lets a caller run its own scalar work between the round groups of a
// step, in the shadow of the rounds: hook(0) to hook(31), one call per four
// rounds of every lane. Not for use outside the number sets.
#pragma once

#include <cstdint>

#include "numbersets/sha256_kernels.h"
#include "numbersets/sha256_lanes.h"

#if KELVORA_SHA_X86

namespace kelvora::numbersets::lanes {

inline constexpr int kHookGroups = 32;

// Interleaved chains with the SHA extensions: enough to hide most of the
// rounds' latency, few enough to stay in the vector registers.
#if defined(__x86_64__)
inline constexpr int kShaNiLanes = 4;
#else
inline constexpr int kShaNiLanes = 2;
#endif

template <class Hook>
KELVORA_SHA_TARGET inline void StepShaNi(DigestLanes& io, Hook& hook) {
  using namespace kernels;  // NOLINT(build/namespaces)
  constexpr int N = kShaNiLanes;
  alignas(16) uint8_t text[N][64];
  const uint8_t* message[N];
  ShaNiState s[N];
#pragma GCC unroll 4
  for (int c = 0; c < N; ++c) {
    alignas(16) uint32_t row[8];
    for (int w = 0; w < 8; ++w) row[w] = io.h[w][c];
    if (io.block[c] != nullptr) {
      s[c] = LoadShaNiState(row);
      message[c] = io.block[c];
    } else {
      FourWordsToHex(_mm_load_si128(reinterpret_cast<const __m128i*>(row)), text[c]);
      FourWordsToHex(_mm_load_si128(reinterpret_cast<const __m128i*>(row + 4)), text[c] + 32);
      s[c] = LoadShaNiState(kInitialHash);
      message[c] = text[c];
    }
  }
  const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  ShaNiState saved[N];
  __m128i m[N][4];
#pragma GCC unroll 4
  for (int c = 0; c < N; ++c) saved[c] = s[c];
#pragma GCC unroll 4
  for (int i = 0; i < 4; ++i) {
#pragma GCC unroll 4
    for (int c = 0; c < N; ++c) {
      m[c][i] = _mm_shuffle_epi8(
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(message[c] + 16 * i)), byte_swap);
      FourRounds(s[c], _mm_add_epi32(m[c][i], RoundConstants(i)));
    }
    hook(i);
  }
#pragma GCC unroll 12
  for (int i = 4; i < 16; ++i) {
#pragma GCC unroll 4
    for (int c = 0; c < N; ++c) {
      __m128i& w = m[c][i & 3];
      __m128i next = _mm_sha256msg1_epu32(w, m[c][(i + 1) & 3]);
      next = _mm_add_epi32(next, _mm_alignr_epi8(m[c][(i + 3) & 3], m[c][(i + 2) & 3], 4));
      w = _mm_sha256msg2_epu32(next, m[c][(i + 3) & 3]);
      FourRounds(s[c], _mm_add_epi32(w, RoundConstants(i)));
    }
    hook(i);
  }
#pragma GCC unroll 4
  for (int c = 0; c < N; ++c) {
    s[c].abef = _mm_add_epi32(s[c].abef, saved[c].abef);
    s[c].cdgh = _mm_add_epi32(s[c].cdgh, saved[c].cdgh);
    saved[c] = s[c];
  }
#pragma GCC unroll 16
  for (int i = 0; i < 16; ++i) {
    const __m128i wk = _mm_load_si128(reinterpret_cast<const __m128i*>(kPad64.wk + 4 * i));
#pragma GCC unroll 4
    for (int c = 0; c < N; ++c) FourRounds(s[c], wk);
    hook(16 + i);
  }
#pragma GCC unroll 4
  for (int c = 0; c < N; ++c) {
    s[c].abef = _mm_add_epi32(s[c].abef, saved[c].abef);
    s[c].cdgh = _mm_add_epi32(s[c].cdgh, saved[c].cdgh);
    __m128i h03, h47;
    UnpackShaNiState(io.block[c] != nullptr ? saved[c] : s[c], h03, h47);
    alignas(16) uint32_t row[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(row), h03);
    _mm_store_si128(reinterpret_cast<__m128i*>(row + 4), h47);
    for (int w = 0; w < 8; ++w) io.h[w][c] = row[w];
  }
}

}  // namespace kelvora::numbersets::lanes

// The chains in the lanes of vectors: the same kernel for two vector widths,
// each with its own primitives and target.
#define KELVORA_LANE_TARGET __attribute__((target("avx2")))
namespace kelvora::numbersets::lanes::avx2 {

using V = __m256i;
using Mask = __m256i;  // all ones in the lanes that compress a given block
inline constexpr int kLanes = 8;

KELVORA_LANE_TARGET inline V Add(V a, V b) { return _mm256_add_epi32(a, b); }
KELVORA_LANE_TARGET inline V And(V a, V b) { return _mm256_and_si256(a, b); }
KELVORA_LANE_TARGET inline V Or(V a, V b) { return _mm256_or_si256(a, b); }
KELVORA_LANE_TARGET inline V Set1(uint32_t x) { return _mm256_set1_epi32(static_cast<int>(x)); }
KELVORA_LANE_TARGET inline V Load(const uint32_t* p) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(p));
}
KELVORA_LANE_TARGET inline void Store(uint32_t* p, V v) {
  _mm256_store_si256(reinterpret_cast<__m256i*>(p), v);
}
template <int n>
KELVORA_LANE_TARGET inline V Rotr(V x) {
  return _mm256_or_si256(_mm256_srli_epi32(x, n), _mm256_slli_epi32(x, 32 - n));
}
template <int n>
KELVORA_LANE_TARGET inline V Shr(V x) {
  return _mm256_srli_epi32(x, n);
}
KELVORA_LANE_TARGET inline V Xor3(V a, V b, V c) {
  return _mm256_xor_si256(_mm256_xor_si256(a, b), c);
}
KELVORA_LANE_TARGET inline V Ch(V e, V f, V g) {
  return _mm256_xor_si256(g, _mm256_and_si256(e, _mm256_xor_si256(f, g)));
}
KELVORA_LANE_TARGET inline V Maj(V a, V b, V c) {
  return _mm256_or_si256(_mm256_and_si256(a, b), _mm256_and_si256(c, _mm256_or_si256(a, b)));
}
KELVORA_LANE_TARGET inline V Nibbles4(V x) { return _mm256_srli_epi16(x, 4); }
KELVORA_LANE_TARGET inline V PerLane128(__m128i x) { return _mm256_broadcastsi128_si256(x); }
KELVORA_LANE_TARGET inline V ShuffleBytes(V table, V index) {
  return _mm256_shuffle_epi8(table, index);
}
KELVORA_LANE_TARGET inline Mask BlockMask(const DigestLanes& io) {
  alignas(32) int32_t m[kLanes];
  for (int l = 0; l < kLanes; ++l) m[l] = io.block[l] != nullptr ? -1 : 0;
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(m));
}
KELVORA_LANE_TARGET inline bool Any(Mask m) { return _mm256_testz_si256(m, m) == 0; }
KELVORA_LANE_TARGET inline V Select(Mask m, V if_set, V if_clear) {
  return _mm256_blendv_epi8(if_clear, if_set, m);
}

#include "numbersets/sha256_lane_simd.inc"

}  // namespace kelvora::numbersets::lanes::avx2
#undef KELVORA_LANE_TARGET

#define KELVORA_LANE_TARGET __attribute__((target("avx512f,avx512bw")))
namespace kelvora::numbersets::lanes::avx512 {

using V = __m512i;
using Mask = __mmask16;
inline constexpr int kLanes = 16;

KELVORA_LANE_TARGET inline V Add(V a, V b) { return _mm512_add_epi32(a, b); }
KELVORA_LANE_TARGET inline V And(V a, V b) { return _mm512_and_si512(a, b); }
KELVORA_LANE_TARGET inline V Or(V a, V b) { return _mm512_or_si512(a, b); }
KELVORA_LANE_TARGET inline V Set1(uint32_t x) { return _mm512_set1_epi32(static_cast<int>(x)); }
KELVORA_LANE_TARGET inline V Load(const uint32_t* p) { return _mm512_load_si512(p); }
KELVORA_LANE_TARGET inline void Store(uint32_t* p, V v) { _mm512_store_si512(p, v); }
// The masked forms with every lane set: GCC 12's plain forms warn about an
// uninitialised operand.
template <int n>
KELVORA_LANE_TARGET inline V Rotr(V x) {
  return _mm512_maskz_ror_epi32(0xffff, x, n);
}
template <int n>
KELVORA_LANE_TARGET inline V Shr(V x) {
  return _mm512_maskz_srli_epi32(0xffff, x, n);
}
KELVORA_LANE_TARGET inline V Xor3(V a, V b, V c) {
  return _mm512_ternarylogic_epi32(a, b, c, 0x96);
}
KELVORA_LANE_TARGET inline V Ch(V e, V f, V g) { return _mm512_ternarylogic_epi32(e, f, g, 0xCA); }
KELVORA_LANE_TARGET inline V Maj(V a, V b, V c) { return _mm512_ternarylogic_epi32(a, b, c, 0xE8); }
KELVORA_LANE_TARGET inline V Nibbles4(V x) { return _mm512_srli_epi16(x, 4); }
KELVORA_LANE_TARGET inline V PerLane128(__m128i x) {
  return _mm512_maskz_broadcast_i32x4(0xffff, x);
}
KELVORA_LANE_TARGET inline V ShuffleBytes(V table, V index) {
  return _mm512_shuffle_epi8(table, index);
}
KELVORA_LANE_TARGET inline Mask BlockMask(const DigestLanes& io) {
  unsigned m = 0;
  for (int l = 0; l < kLanes; ++l) m |= (io.block[l] != nullptr ? 1u : 0u) << l;
  return static_cast<Mask>(m);
}
KELVORA_LANE_TARGET inline bool Any(Mask m) { return m != 0; }
KELVORA_LANE_TARGET inline V Select(Mask m, V if_set, V if_clear) {
  return _mm512_mask_blend_epi32(m, if_clear, if_set);
}

#include "numbersets/sha256_lane_simd.inc"

}  // namespace kelvora::numbersets::lanes::avx512
#undef KELVORA_LANE_TARGET

#endif  // KELVORA_SHA_X86
