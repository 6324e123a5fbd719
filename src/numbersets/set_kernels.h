// The x86 kernels of the set builders: the vector forms of their steps (the
// decimal digits of a digest text, the windows of a pass, the membership
// table as bits, the set text), and the hook that takes a pass's windows in
// the shadow of the next digest's rounds. Each gives what the portable step
// of number_sets.cc or set_batch.cc gives for the same input. Not for use
// outside the number sets; empty on a build without the x86 kernels.
#pragma once

#include <bit>
#include <cstdint>

#include "numbersets/number_sets_internal.h"
#include "numbersets/sha256_kernels.h"
#include "numbersets/sha256_lanes.h"

#if KELVORA_SHA_X86

namespace kelvora::numbersets::set_kernels {

using detail::kNoPiece;

// ---- The steps of the one-set builders ----

// For each 8-bit mask: the byte indexes of its set bits, in order, and their
// count.
struct CompactTable {
  uint8_t index[256][8];
  uint8_t count[256];
};
constexpr CompactTable MakeCompactTable() {
  CompactTable t{};
  for (int m = 0; m < 256; ++m) {
    int n = 0;
    for (int i = 0; i < 8; ++i)
      if (m & (1 << i)) t.index[m][n++] = static_cast<uint8_t>(i);
    for (int i = n; i < 8; ++i) t.index[m][i] = 0x80;  // shuffle in a zero
    t.count[m] = static_cast<uint8_t>(n);
  }
  return t;
}
alignas(64) inline constexpr CompactTable kCompact = MakeCompactTable();

// The digit extraction with SSSE3, for processors with the SHA extensions
// (which all have it), in two stages so that a caller can spread it between
// the rounds of a digest. First: the digit mask of the 64 characters of
// `hex`, and their values (character - '0') into `values`.
__attribute__((target("ssse3"), always_inline)) inline uint64_t PrepareDigits(const uint8_t hex[64],
                                                                              uint8_t values[64]) {
  const __m128i zero_char = _mm_set1_epi8('0');
  const __m128i after_nine = _mm_set1_epi8(':');
  uint64_t mask = 0;
  for (int k = 0; k < 4; ++k) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hex + 16 * k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(values + 16 * k), _mm_sub_epi8(c, zero_char));
    mask |= static_cast<uint64_t>(
                static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmplt_epi8(c, after_nine))))
            << (16 * k);
  }
  return mask;
}

// Second: appends the digits of the 8-character chunks [first, last) to
// `digits`, which holds `n` digits; returns the new count. `digits` needs 8
// bytes of room past the last digit.
__attribute__((target("ssse3"), always_inline)) inline int CompactDigits(const uint8_t values[64],
                                                                         uint64_t mask,
                                                                         uint8_t* digits, int n,
                                                                         int first, int last) {
  for (int j = first; j < last; ++j) {
    const unsigned m = static_cast<unsigned>(mask >> (8 * j)) & 0xff;
    const __m128i chunk = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(values + 8 * j));
    const __m128i order = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kCompact.index[m]));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(digits + n), _mm_shuffle_epi8(chunk, order));
    n += kCompact.count[m];
  }
  return n;
}

// The decimal digits of a 64-character hexadecimal digest, as values 0..9,
// into `digits` (at least 72 bytes). Returns how many there are.
__attribute__((target("ssse3"))) inline int DigitValuesSsse3(const uint8_t hex[64],
                                                             uint8_t digits[72]) {
  alignas(16) uint8_t values[64];
  const uint64_t mask = PrepareDigits(hex, values);
  return CompactDigits(values, mask, digits, 0, 0, 8);
}

// The windows of a pass taken between the rounds of the next digest.
inline constexpr int kWindowsInRounds = 48;

// The work of one pass, done between the 32 round groups of the digest of
// that pass's text: its digits (groups 0 to 2), then two windows per group
// (groups 3 to 26). `Taker` offers `digits` (72 bytes), `n`,
// SetDigitCount(n) and TakeIfInPass(window).
template <class Taker>
struct PassHook : Taker {
  const uint8_t* text;
  uint64_t mask = 0;
  alignas(16) uint8_t values[64];

  KELVORA_SHA_TARGET __attribute__((always_inline)) inline void operator()(int group) {
    if (group == 0) {
      mask = PrepareDigits(text, values);
    } else if (group < 3) {
      const int n = CompactDigits(values, mask, this->digits, group == 1 ? 0 : this->n,
                                  4 * (group - 1), 4 * group);
      this->SetDigitCount(n);
    } else if (group < 3 + kWindowsInRounds / 2) {
      const int i = 2 * (group - 3);
      this->TakeIfInPass(i);
      this->TakeIfInPass(i + 1);
    }
  }
};

// Hashes the 64-character digest text `hex` in place with the SHA
// extensions while a Taker{fields...} takes the digits and the first
// kWindowsInRounds windows of the text it had; returns the taker as the pass
// left it.
template <class Taker, class... Fields>
KELVORA_SHA_TARGET Taker HashAndTake(uint8_t hex[64], Fields... fields) {
  PassHook<Taker> hook;
  static_cast<Taker&>(hook) = Taker{fields...};
  hook.text = hex;
  kernels::DigestHexOf64ShaNi(hex, hex, hook);
  return hook;
}

// For each 4-bit mask: the 32-bit lanes that bring the 8-byte entries of its
// set bits to the front, in order, and how many there are.
struct GroupOrder {
  alignas(32) uint32_t lanes[16][8];
  uint8_t count[16];
};
constexpr GroupOrder MakeGroupOrder() {
  GroupOrder g{};
  for (uint32_t m = 0; m < 16; ++m) {
    uint32_t k = 0;
    for (uint32_t e = 0; e < 4; ++e) {
      if ((m & (1u << e)) == 0) continue;
      g.lanes[m][2 * k] = 2 * e;
      g.lanes[m][2 * k + 1] = 2 * e + 1;
      ++k;
    }
    g.count[m] = static_cast<uint8_t>(k);
  }
  return g;
}
alignas(32) inline constexpr GroupOrder kGroupOrder = MakeGroupOrder();

// Writes the entries[n] (four code units each, the text of number n and its
// ",") of the numbers n < 1000 whose bit n % 64 of words[n / 64] is set, in
// ascending order, four numbers at a time. Writes at most 64 numbers past
// `end` (the caller's room); returns the end of the text written, past `end`
// when the words hold more numbers than the caller counted.
__attribute__((target("avx2"))) inline char16_t* WriteTripleTextAvx2(const uint64_t words[16],
                                                                     const char16_t (*entries)[4],
                                                                     char16_t* out,
                                                                     const char16_t* end) {
  for (int k = 0; k < 16 && out <= end; ++k) {
    uint64_t word = words[k];
    const int groups = k < 15 ? 16 : 10;  // 1000 numbers
    const char16_t(*group)[4] = entries + 64 * k;
    for (int g = 0; g < groups; ++g, word >>= 4, group += 4) {
      const unsigned m = static_cast<unsigned>(word) & 15;
      const __m256i four = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(group));
      const __m256i order =
          _mm256_load_si256(reinterpret_cast<const __m256i*>(kGroupOrder.lanes[m]));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                          _mm256_permutevar8x32_epi32(four, order));
      out += 4 * kGroupOrder.count[m];
    }
  }
  return out;
}

// ---- The steps of the batch builder ----

// The pieces of a pass's windows, kNoPiece (number_sets_internal.h) from the
// last window on.
using LanePieces = uint16_t[64];
// Room for a pass's digits (whole vectors are written and read past them).
using LaneDigits = uint8_t[80];

// The digit values (0..9) of lane l's 64 hexadecimal digits into `digits`,
// which needs 72 bytes; returns how many there are.
__attribute__((target("ssse3,popcnt"), always_inline)) inline int LaneDigitsSsse3(
    const DigestLanes& io, int l, uint8_t* digits) {
  const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  const __m128i low = _mm_set1_epi8(0x0f), ten = _mm_set1_epi8(10), eight = _mm_set1_epi8(8);
  alignas(16) uint32_t row[8];
  for (int w = 0; w < 8; ++w) row[w] = io.h[w][l];
  int n = 0;
  for (int half = 0; half < 2; ++half) {
    const __m128i bytes = _mm_shuffle_epi8(
        _mm_load_si128(reinterpret_cast<const __m128i*>(row + 4 * half)), byte_swap);
    const __m128i high_nibbles = _mm_and_si128(_mm_srli_epi16(bytes, 4), low);
    const __m128i low_nibbles = _mm_and_si128(bytes, low);
    // Sixteen characters' values each, in text order; eight at a time, the
    // digits among them are moved to the front and stored after the last.
    for (const __m128i values : {_mm_unpacklo_epi8(high_nibbles, low_nibbles),
                                 _mm_unpackhi_epi8(high_nibbles, low_nibbles)}) {
      const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(values, ten)));
      const unsigned m0 = mask & 0xff, m1 = mask >> 8;
      const __m128i order0 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kCompact.index[m0]));
      const __m128i order1 = _mm_add_epi8(
          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kCompact.index[m1])), eight);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(digits + n), _mm_shuffle_epi8(values, order0));
      n += std::popcount(m0);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(digits + n), _mm_shuffle_epi8(values, order1));
      n += std::popcount(m1);
    }
  }
  return n;
}

// The pieces of windows i..i + 7 of a pass of `windows` windows from its
// digits, kNoPiece past the last.
template <int W>
__attribute__((target("sse4.1"), always_inline)) inline void EightPiecesSse41(const uint8_t* digits,
                                                                              int windows, int i,
                                                                              uint16_t* pieces) {
  const __m128i pairs = _mm_setr_epi8(0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8);
  const __m128i weights = _mm_set1_epi16(W == 3 ? 100 | 10 << 8 : 10 | 1 << 8);
  const __m128i no_piece = _mm_set1_epi16(static_cast<int16_t>(kNoPiece));
  const __m128i index = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
  const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(digits + i));
  __m128i piece = _mm_cvtepu8_epi16(d);
  if constexpr (W > 1) piece = _mm_maddubs_epi16(_mm_shuffle_epi8(d, pairs), weights);
  if constexpr (W == 3) piece = _mm_add_epi16(piece, _mm_cvtepu8_epi16(_mm_srli_si128(d, 2)));
  const __m128i real = _mm_cmpgt_epi16(_mm_set1_epi16(static_cast<int16_t>(windows - i)), index);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(pieces + i), _mm_blendv_epi8(no_piece, piece, real));
}

// The pieces of a pass's windows from its digits (80 bytes, the ones past
// the pass's digits of any value 0..9), eight at a time.
template <int W>
__attribute__((target("sse4.1"), always_inline)) inline void PiecesSse41(const uint8_t* digits,
                                                                         int windows,
                                                                         uint16_t* pieces) {
#pragma GCC unroll 6
  for (int i = 0; i < 48; i += 8) EightPiecesSse41<W>(digits, windows, i, pieces);
  // Passes of more than 48 windows are rare.
  if (windows > 48) {
    EightPiecesSse41<W>(digits, windows, 48, pieces);
    EightPiecesSse41<W>(digits, windows, 56, pieces);
  } else {
    const __m128i no_piece = _mm_set1_epi16(static_cast<int16_t>(kNoPiece));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pieces + 48), no_piece);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pieces + 56), no_piece);
  }
}

// The pieces of the first `lanes` lanes' digests into `pieces` and their
// count into `windows`, their digits into `digits`: for the SHA-extension
// back end (whose processors all have SSE4.1) and the AVX2 back end.
template <int W>
__attribute__((target("sse4.1,popcnt"))) inline void ExtractSse41(const DigestLanes& io, int lanes,
                                                                  LaneDigits* digits,
                                                                  LanePieces* pieces,
                                                                  int* windows) {
  // All digits first: the pieces read them back only when they are stored.
  for (int l = 0; l < lanes; ++l) {
    const int n = LaneDigitsSsse3(io, l, digits[l]);
    windows[l] = n >= W ? n - W + 1 : 0;
  }
  for (int l = 0; l < lanes; ++l) PiecesSse41<W>(digits[l], windows[l], pieces[l]);
}

// Whether one of a pass's pieces (all 64 of them: kNoPiece past its last
// window, which is never a number) is `number`.
__attribute__((target("sse2"))) inline bool HoldsPiece(const LanePieces& pieces, uint16_t number) {
  const __m128i want = _mm_set1_epi16(static_cast<int16_t>(number));
  __m128i found = _mm_setzero_si128();
  for (int i = 0; i < 64; i += 8) {
    const __m128i eight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pieces + i));
    found = _mm_or_si128(found, _mm_cmpeq_epi16(eight, want));
  }
  return _mm_movemask_epi8(found) != 0;
}

// The index of the first of a pass's pieces that is `number` (a number,
// never kNoPiece), or 64 when none is.
__attribute__((target("sse2"))) inline int FirstPiece(const LanePieces& pieces, uint16_t number) {
  const __m128i want = _mm_set1_epi16(static_cast<int16_t>(number));
  uint64_t found = 0;
  for (int i = 0; i < 64; i += 16) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pieces + i));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pieces + i + 8));
    const __m128i sixteen =
        _mm_packs_epi16(_mm_cmpeq_epi16(low, want), _mm_cmpeq_epi16(high, want));
    found |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(sixteen))} << i;
  }
  return found != 0 ? std::countr_zero(found) : 64;
}

// Byte indexes into a pass's digits for the windows 32 * part + i,
// i = 0..31: pair[part] holds digits i and i + 1 in bytes 2i and 2i + 1;
// single[part][k] digit i + k in byte 2i.
struct WindowBytes {
  alignas(64) uint8_t pair[2][64];
  alignas(64) uint8_t single[2][3][64];
};
constexpr WindowBytes MakeWindowBytes() {
  WindowBytes t{};
  for (int part = 0; part < 2; ++part) {
    for (int i = 0; i < 32; ++i) {
      const int first = 32 * part + i;
      t.pair[part][2 * i] = static_cast<uint8_t>(first % 64);
      t.pair[part][2 * i + 1] = static_cast<uint8_t>((first + 1) % 64);
      for (int k = 0; k < 3; ++k) t.single[part][k][2 * i] = static_cast<uint8_t>((first + k) % 64);
    }
  }
  return t;
}
alignas(64) inline constexpr WindowBytes kWindowBytes = MakeWindowBytes();

// The same for the first `lanes` lanes with AVX-512, without the digits:
// VBMI2 compresses the digits, VBMI spreads them over the windows. (The
// masked forms of the intrinsics, every lane set, avoid a false
// uninitialised-operand warning of GCC 12's plain forms.)
template <int W>
__attribute__((target("avx2,avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2"))) inline void
ExtractAvx512(const DigestLanes& io, int lanes, LanePieces* pieces, int* windows) {
  // The words of lane 4j + m, j = 0..3, from the rows of the 16 lanes: in
  // 128-bit block j of pair[m] (words 0..3) and of pair[4 + m] (words 4..7).
  __m512i row[8], pair[8];
  for (int k = 0; k < 8; ++k) row[k] = _mm512_load_si512(io.h[k]);
  for (int k = 0; k < 2; ++k) {
    const __m512i low01 = _mm512_maskz_unpacklo_epi32(0xffff, row[4 * k], row[4 * k + 1]);
    const __m512i high01 = _mm512_maskz_unpackhi_epi32(0xffff, row[4 * k], row[4 * k + 1]);
    const __m512i low23 = _mm512_maskz_unpacklo_epi32(0xffff, row[4 * k + 2], row[4 * k + 3]);
    const __m512i high23 = _mm512_maskz_unpackhi_epi32(0xffff, row[4 * k + 2], row[4 * k + 3]);
    pair[4 * k + 0] = _mm512_maskz_unpacklo_epi64(0xff, low01, low23);
    pair[4 * k + 1] = _mm512_maskz_unpackhi_epi64(0xff, low01, low23);
    pair[4 * k + 2] = _mm512_maskz_unpacklo_epi64(0xff, high01, high23);
    pair[4 * k + 3] = _mm512_maskz_unpackhi_epi64(0xff, high01, high23);
  }
  // Two lanes per vector, eight words each: two_lanes[2m] holds lanes m and
  // 4 + m, two_lanes[2m + 1] lanes 8 + m and 12 + m.
  const __m512i blocks01 = _mm512_setr_epi64(0, 1, 8, 9, 2, 3, 10, 11);
  const __m512i blocks23 = _mm512_setr_epi64(4, 5, 12, 13, 6, 7, 14, 15);
  __m512i two_lanes[8];
  for (int m = 0; m < 4; ++m) {
    two_lanes[2 * m] = _mm512_maskz_permutex2var_epi64(0xff, pair[m], blocks01, pair[4 + m]);
    two_lanes[2 * m + 1] = _mm512_maskz_permutex2var_epi64(0xff, pair[m], blocks23, pair[4 + m]);
  }

  const __m512i byte_swap = _mm512_maskz_broadcast_i32x4(
      0xffff, _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL));
  const __m512i low = _mm512_set1_epi16(0x0f), ten = _mm512_set1_epi8(10);
  const __m512i no_piece = _mm512_set1_epi16(static_cast<int16_t>(kNoPiece));
  for (int v = 0; v < 8 && 2 * v < lanes; ++v) {
    const __m512i text_order = _mm512_shuffle_epi8(two_lanes[v], byte_swap);
    for (int half = 0; half < 2; ++half) {
      const int l = 8 * (v % 2) + 4 * half + v / 2;
      // Each byte b of the text order as the pair (b >> 4, b & 15).
      const __m512i bytes =
          _mm512_cvtepu8_epi16(half == 0 ? _mm512_maskz_extracti64x4_epi64(0xff, text_order, 0)
                                         : _mm512_maskz_extracti64x4_epi64(0xff, text_order, 1));
      const __m512i values =
          _mm512_or_si512(_mm512_maskz_srli_epi16(~0u, bytes, 4),
                          _mm512_maskz_slli_epi16(~0u, _mm512_and_si512(bytes, low), 8));
      const __mmask64 is_digit = _mm512_cmplt_epu8_mask(values, ten);
      const int n = std::popcount(static_cast<uint64_t>(is_digit));
      windows[l] = n >= W ? n - W + 1 : 0;
      const __m512i digits = _mm512_maskz_compress_epi8(is_digit, values);
      for (int part = 0; part < 2; ++part) {
        // The piece of window 32 * part + i in 16-bit lane i.
        const __m512i single = _mm512_maskz_permutexvar_epi8(
            0x5555555555555555ull, _mm512_load_si512(kWindowBytes.single[part][W == 3 ? 2 : 0]),
            digits);
        __m512i piece = single;
        if constexpr (W > 1) {
          const __m512i pairs = _mm512_maskz_permutexvar_epi8(
              ~0ull, _mm512_load_si512(kWindowBytes.pair[part]), digits);
          const __m512i weights = _mm512_set1_epi16(W == 3 ? 100 | 10 << 8 : 10 | 1 << 8);
          piece = _mm512_maddubs_epi16(pairs, weights);
          if constexpr (W == 3) piece = _mm512_add_epi16(piece, single);
        }
        const int from = 32 * part;
        const __mmask32 real = windows[l] <= from        ? 0
                               : windows[l] >= from + 32 ? ~0u
                                                         : (1u << (windows[l] - from)) - 1;
        _mm512_storeu_si512(pieces[l] + from, _mm512_mask_mov_epi16(no_piece, real, piece));
      }
    }
  }
}

// The membership bytes (0 or 1) of seen[0, bytes), `bytes` a multiple of
// 64, as bits, unless `words` is null: bit n % 64 of words[n / 64] for byte
// n, the other words 0. Returns how many are set. One form per vector width.
__attribute__((target("sse2"))) inline int32_t MarkedSse2(const uint8_t* seen, int bytes,
                                                          uint64_t* words) {
  __m128i sum = _mm_setzero_si128();
  for (int k = 0; k < 16; ++k) {
    uint64_t w = 0;
    for (int j = 0; j < 4 && 64 * k < bytes; ++j) {
      const __m128i x = _mm_load_si128(reinterpret_cast<const __m128i*>(seen + 64 * k + 16 * j));
      if (words != nullptr)
        w |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(_mm_slli_epi16(x, 7)))} << (16 * j);
      sum = _mm_add_epi64(sum, _mm_sad_epu8(x, _mm_setzero_si128()));
    }
    if (words != nullptr) words[k] = w;
  }
  return _mm_cvtsi128_si32(sum) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(sum, sum));
}

__attribute__((target("avx2"))) inline int32_t MarkedAvx2(const uint8_t* seen, int bytes,
                                                          uint64_t* words) {
  __m256i sum = _mm256_setzero_si256();
  for (int k = 0; k < 16; ++k) {
    uint64_t w = 0;
    for (int j = 0; j < 2 && 64 * k < bytes; ++j) {
      const __m256i x = _mm256_load_si256(reinterpret_cast<const __m256i*>(seen + 64 * k + 32 * j));
      if (words != nullptr)
        w |= uint64_t{static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_slli_epi16(x, 7)))}
             << (32 * j);
      sum = _mm256_add_epi64(sum, _mm256_sad_epu8(x, _mm256_setzero_si256()));
    }
    if (words != nullptr) words[k] = w;
  }
  const __m128i half = _mm_add_epi64(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
  return _mm_cvtsi128_si32(half) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(half, half));
}

__attribute__((target("avx2,avx512f,avx512bw,popcnt"))) inline int32_t MarkedAvx512(
    const uint8_t* seen, int bytes, uint64_t* words) {
  // A mask per 64 bytes and a scalar count: half the vector work of
  // summing the bytes.
  int32_t total = 0;
  for (int k = 0; k < 16; ++k) {
    uint64_t w = 0;
    if (64 * k < bytes) {
      const __m512i x = _mm512_load_si512(seen + 64 * k);
      w = _mm512_test_epi8_mask(x, x);
      total += std::popcount(w);
    }
    if (words != nullptr) words[k] = w;
  }
  return total;
}

}  // namespace kelvora::numbersets::set_kernels

#endif  // KELVORA_SHA_X86
