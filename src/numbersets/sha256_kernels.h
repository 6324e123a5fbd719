// The compression kernels of the digest engine: the constants, the fixed
// padding block of 64-byte messages, and the x86 SHA-extension kernel with a
// hook that lets a caller run its own scalar work between the rounds, in the
// shadow of their latency. Not for use outside the number sets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// KELVORA_NO_X86_SHA builds the portable code alone, as on other processors.
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__)) && \
    !defined(KELVORA_NO_X86_SHA)
#define KELVORA_SHA_X86 1
#include <immintrin.h>
#else
#define KELVORA_SHA_X86 0
#endif

namespace kelvora::numbersets::kernels {

constexpr uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr uint32_t kInitialHash[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                      0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

constexpr uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
constexpr uint32_t BigSigma0(uint32_t x) { return Rotr(x, 2) ^ Rotr(x, 13) ^ Rotr(x, 22); }
constexpr uint32_t BigSigma1(uint32_t x) { return Rotr(x, 6) ^ Rotr(x, 11) ^ Rotr(x, 25); }
constexpr uint32_t SmallSigma0(uint32_t x) { return Rotr(x, 7) ^ Rotr(x, 18) ^ (x >> 3); }
constexpr uint32_t SmallSigma1(uint32_t x) { return Rotr(x, 17) ^ Rotr(x, 19) ^ (x >> 10); }
constexpr uint32_t Ch(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
constexpr uint32_t Maj(uint32_t x, uint32_t y, uint32_t z) { return (x & (y ^ z)) ^ (y & z); }

// The schedule of the block that pads a 64-byte message (0x80, zeros, bit
// length 512), with the round constants added: the same for every such message.
struct PadSchedule {
  uint32_t wk[64];
};
constexpr PadSchedule MakePadSchedule() {
  PadSchedule s{};
  uint32_t w[64] = {};
  w[0] = 0x80000000u;
  w[15] = 512;
  for (int t = 16; t < 64; ++t)
    w[t] = SmallSigma1(w[t - 2]) + w[t - 7] + SmallSigma0(w[t - 15]) + w[t - 16];
  for (int t = 0; t < 64; ++t) s.wk[t] = w[t] + kRoundConstants[t];
  return s;
}
alignas(16) constexpr PadSchedule kPad64 = MakePadSchedule();

inline uint32_t LoadBigEndian(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

// A hook that does nothing.
struct NoRoundHook {
  void operator()(int) const {}
};

#define KELVORA_SHA_ROUND(a, b, c, d, e, f, g, h, wk)                  \
  do {                                                                 \
    const uint32_t t1 = (h) + BigSigma1(e) + Ch((e), (f), (g)) + (wk); \
    const uint32_t t2 = BigSigma0(a) + Maj((a), (b), (c));             \
    (d) += t1;                                                         \
    (h) = t1 + t2;                                                     \
  } while (0)

#define KELVORA_SHA_EIGHT(wk, t)                        \
  KELVORA_SHA_ROUND(a, b, c, d, e, f, g, h, wk(t + 0)); \
  KELVORA_SHA_ROUND(h, a, b, c, d, e, f, g, wk(t + 1)); \
  KELVORA_SHA_ROUND(g, h, a, b, c, d, e, f, wk(t + 2)); \
  KELVORA_SHA_ROUND(f, g, h, a, b, c, d, e, wk(t + 3)); \
  KELVORA_SHA_ROUND(e, f, g, h, a, b, c, d, wk(t + 4)); \
  KELVORA_SHA_ROUND(d, e, f, g, h, a, b, c, wk(t + 5)); \
  KELVORA_SHA_ROUND(c, d, e, f, g, h, a, b, wk(t + 6)); \
  KELVORA_SHA_ROUND(b, c, d, e, f, g, h, a, wk(t + 7))

#define KELVORA_WK_FIRST(t) (w[t] + kRoundConstants[t])
#define KELVORA_WK_NEXT(t)                                                               \
  (w[(t)&15] +=                                                                          \
   SmallSigma1(w[((t) + 14) & 15]) + w[((t) + 9) & 15] + SmallSigma0(w[((t) + 1) & 15]), \
   w[(t)&15] + kRoundConstants[t])
#define KELVORA_WK_PAD(t) kPad64.wk[t]

// Compresses one block with portable code. After each group of eight rounds
// it calls hook(group_base + group), group = 0..7.
template <class Hook>
inline void CompressBlockPortable(uint32_t state[8], const uint8_t* block, Hook& hook,
                                  int group_base) {
  uint32_t w[16];
  for (int i = 0; i < 16; ++i) w[i] = LoadBigEndian(block + 4 * i);
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
  KELVORA_SHA_EIGHT(KELVORA_WK_FIRST, 0);
  hook(group_base + 0);
  KELVORA_SHA_EIGHT(KELVORA_WK_FIRST, 8);
  hook(group_base + 1);
  for (int t = 16; t < 64; t += 16) {
    KELVORA_SHA_EIGHT(KELVORA_WK_NEXT, t);
    hook(group_base + t / 8);
    KELVORA_SHA_EIGHT(KELVORA_WK_NEXT, t + 8);
    hook(group_base + t / 8 + 1);
  }
  state[0] += a, state[1] += b, state[2] += c, state[3] += d;
  state[4] += e, state[5] += f, state[6] += g, state[7] += h;
}

// Compresses the fixed padding block of a 64-byte message, with the hook as
// in CompressBlockPortable.
template <class Hook>
inline void CompressPad64Portable(uint32_t state[8], Hook& hook, int group_base) {
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
  for (int t = 0; t < 64; t += 8) {
    KELVORA_SHA_EIGHT(KELVORA_WK_PAD, t);
    hook(group_base + t / 8);
  }
  state[0] += a, state[1] += b, state[2] += c, state[3] += d;
  state[4] += e, state[5] += f, state[6] += g, state[7] += h;
}

#undef KELVORA_WK_PAD
#undef KELVORA_WK_NEXT
#undef KELVORA_WK_FIRST
#undef KELVORA_SHA_EIGHT
#undef KELVORA_SHA_ROUND

inline void CompressPortable(uint32_t state[8], const uint8_t* blocks, size_t count) {
  NoRoundHook none;
  for (; count > 0; --count, blocks += 64) CompressBlockPortable(state, blocks, none, 0);
}

// Two ASCII hexadecimal digits per byte value, high nibble first.
struct HexTable {
  char pairs[256][2];
};
constexpr HexTable MakeHexTable() {
  HexTable t{};
  constexpr char kDigits[] = "0123456789abcdef";
  for (int i = 0; i < 256; ++i) {
    t.pairs[i][0] = kDigits[i >> 4];
    t.pairs[i][1] = kDigits[i & 15];
  }
  return t;
}
inline constexpr HexTable kHex = MakeHexTable();

inline void WordsToHexPortable(const uint32_t h[8], uint8_t hex[64]) {
  for (int i = 0; i < 8; ++i) {
    const uint32_t v = h[i];
    std::memcpy(hex + 8 * i + 0, kHex.pairs[(v >> 24) & 0xff], 2);
    std::memcpy(hex + 8 * i + 2, kHex.pairs[(v >> 16) & 0xff], 2);
    std::memcpy(hex + 8 * i + 4, kHex.pairs[(v >> 8) & 0xff], 2);
    std::memcpy(hex + 8 * i + 6, kHex.pairs[v & 0xff], 2);
  }
}

// The digest of a 64-byte message as 64 lowercase hexadecimal ASCII digits,
// portable code; `message` and `hex` may be the same buffer. The hook runs
// between the round groups, hook(0..15).
template <class Hook>
inline void DigestHexOf64Portable(const uint8_t message[64], uint8_t hex[64], Hook& hook) {
  uint32_t h[8];
  std::memcpy(h, kInitialHash, sizeof kInitialHash);
  CompressBlockPortable(h, message, hook, 0);
  CompressPad64Portable(h, hook, 8);
  WordsToHexPortable(h, hex);
}

#if KELVORA_SHA_X86

#define KELVORA_SHA_TARGET __attribute__((target("sha,sse4.1")))

// State layout of the SHA instructions: ABEF and CDGH.
struct ShaNiState {
  __m128i abef;
  __m128i cdgh;
};

KELVORA_SHA_TARGET inline ShaNiState LoadShaNiState(const uint32_t state[8]) {
  const __m128i dcba_in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));  // A B C D
  const __m128i hgfe_in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
  const __m128i cdab = _mm_shuffle_epi32(dcba_in, 0xB1);
  const __m128i efgh = _mm_shuffle_epi32(hgfe_in, 0x1B);
  return {_mm_alignr_epi8(cdab, efgh, 8), _mm_blend_epi16(efgh, cdab, 0xF0)};
}

// Back to H0..H7 in lane order: first H0..H3, then H4..H7.
KELVORA_SHA_TARGET inline void UnpackShaNiState(const ShaNiState& s, __m128i& h03, __m128i& h47) {
  const __m128i feba = _mm_shuffle_epi32(s.abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(s.cdgh, 0xB1);
  h03 = _mm_blend_epi16(feba, dchg, 0xF0);
  h47 = _mm_alignr_epi8(dchg, feba, 8);
}

// Four rounds. Each instruction runs two; what was ABEF before it is CDGH
// after it, so the two halves of the state trade places twice.
KELVORA_SHA_TARGET inline void FourRounds(ShaNiState& s, __m128i wk) {
  s.cdgh = _mm_sha256rnds2_epu32(s.cdgh, s.abef, wk);
  s.abef = _mm_sha256rnds2_epu32(s.abef, s.cdgh, _mm_shuffle_epi32(wk, 0x0E));
}

KELVORA_SHA_TARGET inline __m128i RoundConstants(int group) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRoundConstants + 4 * group));
}

// Compresses one block. After each group of four rounds it calls
// hook(group_base + group), group = 0..15, so that the hook's work stands
// between the rounds in the instruction stream.
template <class Hook>
KELVORA_SHA_TARGET inline void CompressBlockShaNi(ShaNiState& s, const uint8_t* block, Hook& hook,
                                                  int group_base) {
  const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  const ShaNiState saved = s;
  __m128i m[4];
#pragma GCC unroll 4
  for (int i = 0; i < 4; ++i) {
    m[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * i)),
                            byte_swap);
    FourRounds(s, _mm_add_epi32(m[i], RoundConstants(i)));
    hook(group_base + i);
  }
#pragma GCC unroll 12
  for (int i = 4; i < 16; ++i) {
    __m128i& w = m[i & 3];  // holds W[4i-16 .. 4i-13] until replaced
    __m128i next = _mm_sha256msg1_epu32(w, m[(i + 1) & 3]);
    next = _mm_add_epi32(next, _mm_alignr_epi8(m[(i + 3) & 3], m[(i + 2) & 3], 4));
    w = _mm_sha256msg2_epu32(next, m[(i + 3) & 3]);
    FourRounds(s, _mm_add_epi32(w, RoundConstants(i)));
    hook(group_base + i);
  }
  s.abef = _mm_add_epi32(s.abef, saved.abef);
  s.cdgh = _mm_add_epi32(s.cdgh, saved.cdgh);
}

// Compresses the fixed padding block of a 64-byte message, with the hook as
// in CompressBlockShaNi.
template <class Hook>
KELVORA_SHA_TARGET inline void CompressPad64ShaNi(ShaNiState& s, Hook& hook, int group_base) {
  const ShaNiState saved = s;
#pragma GCC unroll 16
  for (int i = 0; i < 16; ++i) {
    FourRounds(s, _mm_load_si128(reinterpret_cast<const __m128i*>(kPad64.wk + 4 * i)));
    hook(group_base + i);
  }
  s.abef = _mm_add_epi32(s.abef, saved.abef);
  s.cdgh = _mm_add_epi32(s.cdgh, saved.cdgh);
}

KELVORA_SHA_TARGET inline void CompressShaNi(uint32_t state[8], const uint8_t* blocks,
                                             size_t count) {
  ShaNiState s = LoadShaNiState(state);
  NoRoundHook none;
  for (; count > 0; --count, blocks += 64) CompressBlockShaNi(s, blocks, none, 0);
  __m128i h03, h47;
  UnpackShaNiState(s, h03, h47);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), h03);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), h47);
}

// Four words (lane order) as 32 lowercase hexadecimal ASCII digits.
KELVORA_SHA_TARGET inline void FourWordsToHex(__m128i words, uint8_t* hex) {
  const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  const __m128i digits =
      _mm_setr_epi8('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a', 'b', 'c', 'd', 'e', 'f');
  const __m128i low_nibble = _mm_set1_epi8(0x0f);
  const __m128i bytes = _mm_shuffle_epi8(words, byte_swap);  // big-endian byte order
  const __m128i hi = _mm_and_si128(_mm_srli_epi16(bytes, 4), low_nibble);
  const __m128i lo = _mm_and_si128(bytes, low_nibble);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(hex),
                   _mm_shuffle_epi8(digits, _mm_unpacklo_epi8(hi, lo)));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(hex + 16),
                   _mm_shuffle_epi8(digits, _mm_unpackhi_epi8(hi, lo)));
}

// The digest of a 64-byte message as 64 lowercase hexadecimal ASCII digits;
// `message` and `hex` may be the same buffer. The hook runs between the
// round groups, hook(0..31).
template <class Hook>
KELVORA_SHA_TARGET inline void DigestHexOf64ShaNi(const uint8_t message[64], uint8_t hex[64],
                                                  Hook& hook) {
  ShaNiState s = LoadShaNiState(kInitialHash);
  CompressBlockShaNi(s, message, hook, 0);
  CompressPad64ShaNi(s, hook, 16);
  __m128i h03, h47;
  UnpackShaNiState(s, h03, h47);
  FourWordsToHex(h03, hex);
  FourWordsToHex(h47, hex + 32);
}

#endif  // KELVORA_SHA_X86

}  // namespace kelvora::numbersets::kernels
