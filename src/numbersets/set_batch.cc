// The batch builder: the sets of many seeds, their digest chains advanced
// together in the lanes of a multi-chain back end.
//
// Each lane builds one set at a time. After a step, the lane's new digest is
// turned into digits and windows. When those windows cannot fill the set,
// they are taken during the next step, a fixed share between each group of
// rounds, where the scalar work runs in the shadow of the digest work; the
// order in which a pass's windows join does not matter then, and they only
// mark their numbers, without counting. The lane counts its numbers only when
// the windows it has taken since it last counted could have filled the set.
// When a pass's windows could fill it, they are taken at once, in order,
// stopping at the last number the set needs, and the lane starts its next
// seed with the next step.
#include <algorithm>
#include <bit>
#include <bitset>
#include <cstring>
#include <vector>

#include "numbersets/number_sets.h"
#include "numbersets/number_sets_internal.h"
#include "numbersets/sha256_lane_kernels.h"
#include "numbersets/sha256_lanes.h"

namespace kelvora::numbersets {
namespace {

#if KELVORA_SHA_X86

using detail::kNoPiece;
using Goal = std::bitset<1000>;

constexpr int kSlots = 48;  // windows of a pass taken between the rounds of the next step

// The pieces of a pass's windows, kNoPiece from the last window on.
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
      const __m128i order0 =
          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(detail::kCompact.index[m0]));
      const __m128i order1 = _mm_add_epi8(
          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(detail::kCompact.index[m1])), eight);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(digits + n), _mm_shuffle_epi8(values, order0));
      n += std::popcount(m0);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(digits + n), _mm_shuffle_epi8(values, order1));
      n += std::popcount(m1);
    }
  }
  return n;
}

// The pieces of a pass's windows from its digits (80 bytes, the ones past
// the pass's digits of any value 0..9), eight at a time.
template <int W>
__attribute__((target("sse4.1"), always_inline)) inline void PiecesSse41(const uint8_t* digits,
                                                                         int windows,
                                                                         uint16_t* pieces) {
  const __m128i pairs = _mm_setr_epi8(0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8);
  const __m128i weights = _mm_set1_epi16(W == 3 ? 100 | 10 << 8 : 10 | 1 << 8);
  const __m128i no_piece = _mm_set1_epi16(static_cast<int16_t>(kNoPiece));
  const __m128i index = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
  for (int i = 0; i < 64; i += 8) {
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(digits + i));
    __m128i piece = _mm_cvtepu8_epi16(d);
    if constexpr (W > 1) piece = _mm_maddubs_epi16(_mm_shuffle_epi8(d, pairs), weights);
    if constexpr (W == 3) piece = _mm_add_epi16(piece, _mm_cvtepu8_epi16(_mm_srli_si128(d, 2)));
    const __m128i real = _mm_cmpgt_epi16(_mm_set1_epi16(static_cast<int16_t>(windows - i)), index);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pieces + i),
                     _mm_blendv_epi8(no_piece, piece, real));
  }
}

// Each lane's pieces into `pieces` and their count into `windows`, its
// digits into `digits`: for the SHA-extension back end (whose processors all
// have SSE4.1) and the AVX2 back end.
template <int W>
__attribute__((target("sse4.1,popcnt"))) void ExtractSse41(const DigestLanes& io, int lanes,
                                                           LaneDigits* digits, LanePieces* pieces,
                                                           int* windows) {
  // All digits first: the pieces read them back only when they are stored.
  for (int l = 0; l < lanes; ++l) {
    const int n = LaneDigitsSsse3(io, l, digits[l]);
    windows[l] = n >= W ? n - W + 1 : 0;
  }
  for (int l = 0; l < lanes; ++l) PiecesSse41<W>(digits[l], windows[l], pieces[l]);
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
constexpr WindowBytes kWindowBytes = MakeWindowBytes();

// The same with AVX-512: VBMI2 compresses the digits, VBMI spreads them
// over the windows. (The masked forms of the intrinsics, every lane set, avoid a
// false uninitialised-operand warning of GCC 12's plain forms.)
template <int W>
__attribute__((target("avx2,avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2"))) void ExtractAvx512(
    const DigestLanes& io, int lanes, LanePieces* pieces, int* windows) {
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
// n, the other words 0. Returns how many are set.
__attribute__((target("sse2"))) int32_t MarkedSse2(const uint8_t* seen, int bytes,
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

__attribute__((target("avx2"))) int32_t MarkedAvx2(const uint8_t* seen, int bytes,
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

__attribute__((target("avx2,avx512f,avx512bw"))) int32_t MarkedAvx512(const uint8_t* seen,
                                                                      int bytes, uint64_t* words) {
  __m512i sum = _mm512_setzero_si512();
  for (int k = 0; k < 16; ++k) {
    if (words != nullptr) words[k] = 0;
    if (64 * k >= bytes) continue;
    const __m512i x = _mm512_load_si512(seen + 64 * k);
    if (words != nullptr) words[k] = _mm512_test_epi8_mask(x, x);
    sum = _mm512_add_epi64(sum, _mm512_sad_epu8(x, _mm512_setzero_si512()));
  }
  alignas(64) uint64_t sums[8];
  _mm512_store_si512(sums, sum);
  uint64_t total = 0;
  for (uint64_t v : sums) total += v;
  return static_cast<int32_t>(total);
}

// The windows deferred from the previous step, taken between its round
// groups: each group takes a fixed share of one lane's kSlots windows (with
// 2 lanes, every other group takes twice as many). They only mark: reading a
// mark first, to count, makes every read wait on the group's earlier writes
// to the same table, which with the AVX-512 back end costs more than the
// counts the lanes make later (measured: the step takes about twice as long).
template <int L>
struct DeferredWindows {
  static constexpr int kActiveGroups = (L * kSlots) % lanes::kHookGroups == 0 ? 32 : 16;
  static constexpr int kPerGroup = L * kSlots / kActiveGroups;
  static_assert(kSlots % kPerGroup == 0, "a group's windows belong to one lane");

  LanePieces* pieces;
  uint8_t (*seen)[1024];

  __attribute__((always_inline)) inline void operator()(int group) {
    constexpr int kStride = lanes::kHookGroups / kActiveGroups;
    if (group % kStride != 0) return;
    const int first = group / kStride * kPerGroup;
    const uint16_t* p = pieces[first / kSlots] + first % kSlots;
    uint8_t* s = seen[first / kSlots];
#pragma GCC unroll 24
    for (int k = 0; k < kPerGroup; ++k) s[p[k]] = 1;
  }
};

struct ShaNiEngine {
  static constexpr int kLanes = lanes::kShaNiLanes;
  template <class Hook>
  static void Step(DigestLanes& io, Hook& hook) {
    lanes::StepShaNi(io, hook);
  }
  template <int W>
  static void Extract(const DigestLanes& io, LaneDigits* d, LanePieces* p, int* windows) {
    ExtractSse41<W>(io, kLanes, d, p, windows);
  }
  static int32_t Marked(const uint8_t* seen, int bytes, uint64_t* words) {
    return MarkedSse2(seen, bytes, words);
  }
};

struct Avx2Engine {
  static constexpr int kLanes = lanes::avx2::kLanes;
  template <class Hook>
  static void Step(DigestLanes& io, Hook& hook) {
    lanes::avx2::Step(io, hook);
  }
  template <int W>
  static void Extract(const DigestLanes& io, LaneDigits* d, LanePieces* p, int* windows) {
    ExtractSse41<W>(io, kLanes, d, p, windows);
  }
  static int32_t Marked(const uint8_t* seen, int bytes, uint64_t* words) {
    return MarkedAvx2(seen, bytes, words);
  }
};

struct Avx512Engine {
  static constexpr int kLanes = lanes::avx512::kLanes;
  template <class Hook>
  static void Step(DigestLanes& io, Hook& hook) {
    lanes::avx512::Step(io, hook);
  }
  template <int W>
  static void Extract(const DigestLanes& io, LaneDigits*, LanePieces* p, int* windows) {
    ExtractAvx512<W>(io, kLanes, p, windows);
  }
  static int32_t Marked(const uint8_t* seen, int bytes, uint64_t* words) {
    return MarkedAvx512(seen, bytes, words);
  }
};

// How many numbers of width W `seen` marks, and unless `words` is null,
// which (see MarkedSse2).
template <int W, class Engine>
int32_t Marked(const uint8_t* seen, uint64_t* words) {
  constexpr int kBytes = (detail::Universe(W) + 63) / 64 * 64;
  int32_t count = Engine::Marked(seen, kBytes, words);
  if constexpr (kBytes > static_cast<int>(kNoPiece)) {
    if (words != nullptr) words[kNoPiece / 64] &= ~(uint64_t{1} << (kNoPiece % 64));
    --count;
  }
  return count;
}

// Takes the windows of a pass in order; true as soon as the set holds
// `size` numbers.
template <int W>
bool TakeUntilFull(const uint16_t* pieces, int windows, int32_t size, uint8_t* seen,
                   int32_t& count) {
  // Whether a window brings a new number is not predictable: count without
  // a branch.
  for (int i = 0; i < windows; ++i) {
    count += seen[pieces[i]] ^ 1;
    seen[pieces[i]] = 1;
    if (count == size) return true;
  }
  return false;
}

// The message's bytes (the low byte of each code unit), padded to whole
// blocks.
void PadMessage(std::u16string_view message, std::vector<uint8_t>& padded) {
  const size_t length = message.size();
  padded.assign(64 * ((length + 8) / 64 + 1), 0);
  for (size_t i = 0; i < length; ++i) padded[i] = static_cast<uint8_t>(message[i]);
  padded[length] = 0x80;
  const uint64_t bits = static_cast<uint64_t>(length) * 8u;
  for (int i = 0; i < 8; ++i) padded[padded.size() - 1 - i] = static_cast<uint8_t>(bits >> (8 * i));
}

// The sets of BuildSetBatch.
template <int W, class Engine>
class SetJob {
 public:
  SetJob(int32_t size, const std::function<int64_t(std::u16string&)>& next,
         const std::function<void(int64_t, const FlagSet&)>& done)
      : size_(size), next_(next), done_(done) {
    set_.width = W;
    set_.count = size;
  }
  int32_t Limit() const { return size_; }
  int64_t Next(int, std::u16string& seed) { return next_(seed); }
  // Whether a pass's windows can end the build before it reaches the limit.
  bool MayEndEarly(int, const uint16_t*, int) const { return false; }
  // Takes a pass's windows in order; true when the build ends.
  bool Walk(int, const uint16_t* pieces, int windows, uint8_t* seen, int32_t& count) {
    return TakeUntilFull<W>(pieces, windows, size_, seen, count);
  }
  void Finish(int, int64_t key, int32_t digests, int32_t compressions, const uint8_t* seen) {
    set_.digests = digests;
    set_.compressions = compressions;
    uint64_t words[16];
    Marked<W, Engine>(seen, words);
    detail::SetFlagsFromWords(words, set_);
    done_(key, set_);
  }

 private:
  int32_t size_;
  const std::function<int64_t(std::u16string&)>& next_;
  const std::function<void(int64_t, const FlagSet&)>& done_;
  FlagSet set_;
};

// The walks of FirstRankBatch.
template <int W, class Engine>
class RankJob {
 public:
  RankJob(int32_t limit, const std::function<int64_t(std::u16string&, const Goal*&)>& next,
          const std::function<void(int64_t, int32_t)>& done)
      : limit_(limit), next_(next), done_(done) {}
  int32_t Limit() const { return limit_; }
  int64_t Next(int l, std::u16string& seed) { return next_(seed, goal_[l]); }
  bool MayEndEarly(int l, const uint16_t* pieces, int windows) const {
    const Goal& goal = *goal_[l];
    bool any = false;
    for (int i = 0; i < windows; ++i) any |= goal[pieces[i]];
    return any;
  }
  bool Walk(int l, const uint16_t* pieces, int windows, uint8_t* seen, int32_t& count) {
    const Goal& goal = *goal_[l];
    for (int i = 0; i < windows; ++i) {
      const uint32_t is_new = seen[pieces[i]] ^ 1u;
      seen[pieces[i]] = 1;
      count += static_cast<int32_t>(is_new);
      if (is_new != 0 && goal[pieces[i]]) return rank_[l] = count, true;
      if (count == limit_) return rank_[l] = 0, true;
    }
    return false;
  }
  void Finish(int l, int64_t key, int32_t, int32_t, const uint8_t*) { done_(key, rank_[l]); }

 private:
  int32_t limit_;
  const std::function<int64_t(std::u16string&, const Goal*&)>& next_;
  const std::function<void(int64_t, int32_t)>& done_;
  const Goal* goal_[DigestLanes::kMaxLanes] = {};
  int32_t rank_[DigestLanes::kMaxLanes] = {};
};

// Runs `job`'s chains through the lanes of `Engine` until `job` has no more.
template <int W, class Engine, class Job>
void RunBatch(Job& job) {
  constexpr int L = Engine::kLanes;
  struct Lane {
    int64_t key = -1;   // -1: nothing left for this lane
    int32_t count = 0;  // the numbers met when the lane last counted
    int32_t taken = 0;  // windows taken since
    int32_t digests = 0, compressions = 0;
    size_t block = 0;
    std::vector<uint8_t> padded;
  };
  Lane lane[L];
  DigestLanes io{};
  alignas(64) uint8_t seen[L][1024];
  alignas(64) LanePieces pieces[L];
  alignas(16) LaneDigits digits[L] = {};
  int windows[L];
  DeferredWindows<L> hook{pieces, seen};
  std::u16string seed;
  const int32_t limit = job.Limit();

  auto clear = [&](int l) {
    std::memset(seen[l], 0, sizeof seen[l]);
    seen[l][kNoPiece] = 1;
  };
  // The lane's next chain: its seed's first block goes in with the next step.
  auto start = [&](int l) {
    Lane& ln = lane[l];
    io.block[l] = nullptr;
    ln.key = job.Next(l, seed);
    if (ln.key < 0) return false;
    ln.count = ln.taken = ln.digests = ln.compressions = 0;
    PadMessage(seed, ln.padded);
    ln.block = 0;
    for (int w = 0; w < 8; ++w) io.h[w][l] = kernels::kInitialHash[w];
    io.block[l] = ln.padded.data();
    return true;
  };
  auto count = [&](int l) {
    lane[l].count = Marked<W, Engine>(seen[l], nullptr);
    lane[l].taken = 0;
  };

  int busy = 0;
  for (int l = 0; l < L; ++l) {
    clear(l);
    std::fill_n(pieces[l], kSlots, kNoPiece);
    busy += start(l) ? 1 : 0;
  }
  while (busy > 0) {
    Engine::Step(io, hook);
    // Every lane's pieces, to be taken during the next step; lanes that do
    // not defer their windows replace them by kNoPiece.
    Engine::template Extract<W>(io, digits, pieces, windows);
    for (int l = 0; l < L; ++l) {
      Lane& ln = lane[l];
      if (ln.key >= 0 && io.block[l] != nullptr) {
        ++ln.compressions;
        if (64 * ++ln.block < ln.padded.size())
          io.block[l] = ln.padded.data() + 64 * ln.block;
        else
          io.block[l] = nullptr, ++ln.digests;
      } else if (ln.key >= 0) {
        ln.compressions += 2;
        ++ln.digests;
      }
      if (ln.key < 0 || io.block[l] != nullptr) {
        std::fill_n(pieces[l], kSlots, kNoPiece);
        continue;
      }
      if (ln.count + ln.taken + windows[l] >= limit) count(l);
      if (ln.count + ln.taken + windows[l] < limit && !job.MayEndEarly(l, pieces[l], windows[l])) {
        for (int i = kSlots; i < windows[l]; ++i) seen[l][pieces[l][i]] = 1;
        ln.taken += windows[l];
        continue;
      }
      if (ln.taken > 0) count(l);
      const bool ended = job.Walk(l, pieces[l], windows[l], seen[l], ln.count);
      std::fill_n(pieces[l], kSlots, kNoPiece);
      if (!ended) continue;
      job.Finish(l, ln.key, ln.digests, ln.compressions, seen[l]);
      clear(l);
      if (!start(l)) --busy;
    }
  }
}

template <template <int, class> class Job, class Engine, class... Args>
void RunJobs(int width, const Args&... args) {
  auto run = [&](auto w) {
    constexpr int kWidth = decltype(w)::value;
    Job<kWidth, Engine> job(args...);
    RunBatch<kWidth, Engine>(job);
  };
  switch (width) {
    case 1:
      return run(std::integral_constant<int, 1>{});
    case 2:
      return run(std::integral_constant<int, 2>{});
    default:
      return run(std::integral_constant<int, 3>{});
  }
}

// Runs the jobs of `Job` on `backend`.
template <template <int, class> class Job, class... Args>
void RunJobsOn(LaneBackend backend, int width, const Args&... args) {
  switch (backend) {
    case LaneBackend::kShaNi:
      return RunJobs<Job, ShaNiEngine>(width, args...);
    case LaneBackend::kAvx2:
      return RunJobs<Job, Avx2Engine>(width, args...);
    case LaneBackend::kAvx512:
      return RunJobs<Job, Avx512Engine>(width, args...);
    case LaneBackend::kNone:
      break;
  }
}

#endif  // KELVORA_SHA_X86

}  // namespace

void BuildSetBatch(LaneBackend backend, int width, int32_t size,
                   const std::function<int64_t(std::u16string&)>& next,
                   const std::function<void(int64_t, const FlagSet&)>& done) {
  detail::CheckWidthAndSize(width, size);
#if KELVORA_SHA_X86
  RunJobsOn<SetJob>(backend, width, size, next, done);
#else
  (void)backend, (void)next, (void)done;
#endif
}

void FirstRankBatch(LaneBackend backend, int width, int32_t limit,
                    const std::function<int64_t(std::u16string&, const std::bitset<1000>*&)>& next,
                    const std::function<void(int64_t, int32_t)>& done) {
  detail::CheckWidthAndSize(width, limit);
#if KELVORA_SHA_X86
  RunJobsOn<RankJob>(backend, width, limit, next, done);
#else
  (void)backend, (void)next, (void)done;
#endif
}

}  // namespace kelvora::numbersets
