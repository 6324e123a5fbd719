#include "numbersets/number_sets.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <type_traits>

#include "numbersets/cpu_features.h"
#include "numbersets/number_sets_internal.h"
#include "numbersets/set_kernels.h"
#include "numbersets/set_size_error.h"
#include "numbersets/sha256.h"
#include "numbersets/sha256_internal.h"
#include "numbersets/sha256_kernels.h"

namespace kelvora::numbersets {
namespace {

using detail::kNoPiece;
using detail::Universe;

// Membership of the numbers 0..999, one bit each.
struct SetBits {
  uint64_t words[16] = {};
};

// Each number n < 1000 as the W digits of its set-text element followed by
// ",", padded to four code units so that one 8-byte copy writes it.
struct PieceTexts {
  char16_t units[3][1000][4];
};
constexpr PieceTexts MakePieceTexts() {
  PieceTexts t{};
  for (int w = 1; w <= 3; ++w) {
    for (int n = 0; n < Universe(w); ++n) {
      int v = n;
      for (int k = w - 1; k >= 0; --k) {
        t.units[w - 1][n][k] = static_cast<char16_t>(u'0' + v % 10);
        v /= 10;
      }
      t.units[w - 1][n][w] = u',';
    }
  }
  return t;
}
constexpr PieceTexts kPieceTexts = MakePieceTexts();

// Whether the vector forms of the builders' steps are used: together with the
// SHA-extension back end, so that tests that run both back ends cover both.
bool UseVectorSteps(Sha256Backend backend) {
#if KELVORA_SHA_X86
  return backend == Sha256Backend::kShaNi;
#else
  (void)backend;
  return false;
#endif
}

// The set text of the numbers in `bits`, ascending, each with exactly
// `width` digits, joined by ",". `count` is the number of bits set; the text
// never takes more numbers than that.
std::u16string SetText(int width, const SetBits& bits, int32_t count, bool vector_steps) {
  if (count <= 0) return {};
  const size_t stride = static_cast<size_t>(width) + 1;
  // Each number is copied as four code units; the copies may reach past the
  // text by up to 3 of them, the vector form by up to 64 numbers.
  std::u16string text(static_cast<size_t>(count) * stride + 4 * 64 + 16, u'\0');
  char16_t* out = text.data();
  const char16_t* const end = out + static_cast<size_t>(count) * stride;
#if KELVORA_SHA_X86
  if (width == 3 && vector_steps && Cpu().avx2) {
    out = set_kernels::WriteTripleTextAvx2(bits.words, kPieceTexts.units[2], out, end);
    if (out == end) {
      text.resize(static_cast<size_t>(count) * stride - 1);
      return text;
    }
    out = text.data();  // `count` was not the number of bits: take the careful way
  }
#else
  (void)vector_steps;
#endif
  const auto& pieces = kPieceTexts.units[width - 1];
  for (int k = 0; k < 16; ++k) {
    const auto* word_pieces = pieces + 64 * k;
    for (uint64_t w = bits.words[k]; w != 0 && out != end; w &= w - 1) {
      std::memcpy(out, word_pieces[std::countr_zero(w)], sizeof pieces[0]);
      out += stride;
    }
  }
  text.resize(static_cast<size_t>(out - text.data()) - 1);  // without the last ","
  return text;
}

struct CoreResult {
  SetBits bits;
  int32_t count = 0;
  int32_t digests = 0;
  int32_t compressions = 0;
};

// The decimal digits of a 64-character hexadecimal digest, as values 0..9,
// into `digits` (at least 72 bytes). Returns how many there are.
inline int ExtractDigitValues(const uint8_t hex[64], uint8_t digits[72]) {
  int n = 0;
  for (int i = 0; i < 64; ++i) {
    const uint8_t c = hex[i];
    digits[n] = static_cast<uint8_t>(c - '0');
    n += c <= '9' ? 1 : 0;
  }
  return n;
}

// The digit extraction of the chosen steps: SSSE3 with the SHA extensions.
template <bool kSimd>
inline int ExtractDigitValuesFor(const uint8_t hex[64], uint8_t digits[72]) {
#if KELVORA_SHA_X86
  if constexpr (kSimd) return set_kernels::DigitValuesSsse3(hex, digits);
#endif
  return ExtractDigitValues(hex, digits);
}

template <int W>
inline unsigned PieceAt(const uint8_t* d) {
  if constexpr (W == 1) return d[0];
  if constexpr (W == 2) return d[0] * 10u + d[1];
  if constexpr (W == 3) return d[0] * 100u + d[1] * 10u + d[2];
}

// Membership during a build: one byte per number, turned into bits at the end.
struct SeenTable {
  alignas(16) uint8_t seen[1024];
};

// Adds the windows of one pass; stops as soon as the set holds `size`
// numbers and returns true.
template <int W>
inline bool AddWindows(const uint8_t* digits, int n, int32_t size, SeenTable& t, int32_t& count) {
  int32_t c = count;
  for (int i = 0; i + W <= n; ++i) {
    const unsigned p = PieceAt<W>(digits + i);
    c += t.seen[p] ^ 1;
    t.seen[p] = 1;
    if (c == size) {
      count = c;
      return true;
    }
  }
  count = c;
  return false;
}

// Eight 0/1 bytes as eight bits, byte j in bit j.
inline uint64_t EightFlags(const uint8_t* bytes) {
  uint64_t x;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&x, bytes, 8);
  } else {
    x = 0;
    for (int j = 0; j < 8; ++j) x |= uint64_t{bytes[j]} << (8 * j);
  }
  // Multiplying gathers byte j's low bit into bit 56 + j, without carries.
  return (x * 0x0102040810204080ULL) >> 56;
}

// The membership table as bits: bit n set when number n is in the set.
void SeenToBits(const SeenTable& t, int32_t universe, SetBits& bits) {
  for (int32_t w = 0; 64 * w < universe; ++w) {
    const int32_t groups = std::min<int32_t>(8, (universe - 64 * w + 7) / 8);
    uint64_t word = 0;
    for (int32_t j = 0; j < groups; ++j) word |= EightFlags(t.seen + 64 * w + 8 * j) << (8 * j);
    bits.words[w] = word;
  }
}

// Takes the windows of a pass into the set, without early stop: records
// which windows added a number so that a pass that overfills can be undone.
template <int W>
struct WindowTaker {
  uint8_t* digits;
  uint8_t* seen;
  int32_t count;
  uint64_t fresh = 0;  // bit i: window i added its number
  int n = 0;
  int windows = 0;

  __attribute__((always_inline)) inline void Take(int i, unsigned piece) {
    const uint32_t is_new = seen[piece] ^ 1u;
    seen[piece] = 1;
    count += static_cast<int32_t>(is_new);
    fresh |= uint64_t{is_new} << i;
  }
  __attribute__((always_inline)) inline void TakeIfInPass(int i) {
    const unsigned piece = PieceAt<W>(digits + i);
    Take(i, i < windows ? piece : kNoPiece);
  }
  void SetDigitCount(int digit_count) {
    n = digit_count;
    windows = n >= W ? n - W + 1 : 0;
  }
};

// One pass with the next digest: hashes the 64-character digest text in
// `hex` in place and adds the windows of that text's digits. With the SHA
// extensions the windows are taken in the shadow of the rounds; the portable
// rounds keep every register busy, so there the windows follow them. When
// the set fills up, only its first `size` numbers are kept and true is
// returned; the new digest is then not needed.
template <int W, bool kSimd>
bool HashAndAddWindows(Sha256Backend backend, uint8_t hex[64], uint8_t digits[72], int32_t size,
                       SeenTable& t, int32_t& count) {
#if KELVORA_SHA_X86
  if constexpr (kSimd) {
    const int32_t before = count;
    WindowTaker<W> taker = set_kernels::HashAndTake<WindowTaker<W>>(hex, digits, t.seen, count);
    for (int i = set_kernels::kWindowsInRounds; i < taker.windows; ++i)
      taker.Take(i, PieceAt<W>(digits + i));
    count = taker.count;
    if (count < size) return false;
    int32_t k = before;
    for (int i = 0; i < taker.windows; ++i) {
      if (((taker.fresh >> i) & 1) != 0 && ++k > size) t.seen[PieceAt<W>(digits + i)] = 0;
    }
    count = size;
    return true;
  }
#endif
  const int n = ExtractDigitValues(hex, digits);
  detail::DigestHexOf64(backend, hex, hex);
  return AddWindows<W>(digits, n, size, t, count);
}

// The set of `size` distinct W-digit numbers drawn from the digest chain of
// `seed`: each pass hashes the previous digest text (the first the seed), and
// the overlapping W-digit windows of its decimal digits join the set until it
// is full. The caller has checked 1 <= size <= 10^W.
template <int W, bool kSimd>
void BuildCore(Sha256Backend backend, std::u16string_view seed, int32_t size, CoreResult& r) {
  constexpr int32_t kUniverse = Universe(W);
  SeenTable table;
  std::memset(table.seen, 0, (kUniverse + 7) & ~7);  // SeenToBits reads whole groups of 8
  table.seen[kNoPiece] = 1;
  alignas(16) uint8_t hex[64];
  alignas(16) uint8_t digits[72] = {};  // windows past a pass's digits read old values
  {
    uint32_t h[8];
    r.compressions = detail::DigestWords(backend, seed, h);
    detail::WordsToHex(h, hex);
    r.digests = 1;
  }
  int32_t count = 0;
  for (;;) {
    // When this pass is unlikely to fill the set (judged by the 40 digits of
    // an average digest), the next digest is hashed while its windows are
    // taken, so that the processor overlaps the two; it is wasted when the
    // pass fills the set after all, and is then not counted.
    constexpr int32_t kTypicalWindows = 40 - W + 1;
    const bool ahead =
        int64_t{kTypicalWindows} * (kUniverse - count) < int64_t{size - count} * kUniverse;
    if (ahead) {
      if (HashAndAddWindows<W, kSimd>(backend, hex, digits, size, table, count)) break;
    } else {
      const int n = ExtractDigitValuesFor<kSimd>(hex, digits);
      if (AddWindows<W>(digits, n, size, table, count)) break;
      detail::DigestHexOf64(backend, hex, hex);
    }
    ++r.digests;
    r.compressions += 2;
  }
  r.count = count;
  SeenToBits(table, kUniverse, r.bits);
}

void Build(int width, std::u16string_view seed, int32_t size, CoreResult& r) {
  detail::CheckWidthAndSize(width, size);
  const Sha256Backend backend = CurrentSha256Backend();
#if KELVORA_SHA_X86
  if (backend == Sha256Backend::kShaNi) {
    switch (width) {
      case 1:
        return BuildCore<1, true>(backend, seed, size, r);
      case 2:
        return BuildCore<2, true>(backend, seed, size, r);
      default:
        return BuildCore<3, true>(backend, seed, size, r);
    }
  }
#endif
  switch (width) {
    case 1:
      return BuildCore<1, false>(backend, seed, size, r);
    case 2:
      return BuildCore<2, false>(backend, seed, size, r);
    default:
      return BuildCore<3, false>(backend, seed, size, r);
  }
}

// The walk of FirstRankIn; `is_goal(piece)` tells the numbers looked for.
// Whether a window brings a new number is not predictable, so it is counted
// without a branch; the goal and the limit are met once per walk.
template <int W, bool kSimd, typename IsGoal>
int32_t FirstRankCore(Sha256Backend backend, std::u16string_view seed, int32_t limit,
                      const IsGoal& is_goal, int32_t& digests) {
  SeenTable table;
  std::memset(table.seen, 0, sizeof table.seen);
  alignas(16) uint8_t hex[64];
  alignas(16) uint8_t digits[72] = {};
  {
    uint32_t h[8];
    detail::DigestWords(backend, seed, h);
    detail::WordsToHex(h, hex);
    digests = 1;
  }
  int32_t count = 0;
  for (;;) {
    const int n = ExtractDigitValuesFor<kSimd>(hex, digits);
    for (int i = 0; i + W <= n; ++i) {
      const unsigned piece = PieceAt<W>(digits + i);
      const uint32_t is_new = table.seen[piece] ^ 1u;
      table.seen[piece] = 1;
      count += static_cast<int32_t>(is_new);
      if ((is_new & static_cast<uint32_t>(is_goal(piece))) != 0) return count;
      if (count == limit) return 0;
    }
    detail::DigestHexOf64(backend, hex, hex);
    ++digests;
  }
}

template <bool kSimd, typename IsGoal>
int32_t FirstRankOfWidth(int width, Sha256Backend backend, std::u16string_view seed, int32_t limit,
                         const IsGoal& is_goal, int32_t& used) {
  return width == 1   ? FirstRankCore<1, kSimd>(backend, seed, limit, is_goal, used)
         : width == 2 ? FirstRankCore<2, kSimd>(backend, seed, limit, is_goal, used)
                      : FirstRankCore<3, kSimd>(backend, seed, limit, is_goal, used);
}

template <typename IsGoal>
int32_t FirstRank(int width, std::u16string_view seed, int32_t limit, const IsGoal& is_goal,
                  int32_t* digests) {
  detail::CheckWidthAndSize(width, limit);
  const Sha256Backend backend = CurrentSha256Backend();
  int32_t used = 0;
#if KELVORA_SHA_X86
  const int32_t rank = backend == Sha256Backend::kShaNi
                           ? FirstRankOfWidth<true>(width, backend, seed, limit, is_goal, used)
                           : FirstRankOfWidth<false>(width, backend, seed, limit, is_goal, used);
#else
  const int32_t rank = FirstRankOfWidth<false>(width, backend, seed, limit, is_goal, used);
#endif
  if (digests != nullptr) *digests = used;
  // The seed's blocks (its bytes, 0x80 and the 8-byte length), then two
  // for each digest after it.
  CountCompressions(static_cast<int64_t>((seed.size() + 9 + 63) / 64) + 2 * int64_t{used - 1});
  return rank;
}

std::u16string BuildSetText(int width, std::u16string_view seed, int32_t size) {
  CoreResult r;
  Build(width, seed, size, r);
  CountCompressions(r.compressions);
  return SetText(width, r.bits, r.count, UseVectorSteps(CurrentSha256Backend()));
}

// The set text of every W-digit number that occurs anywhere in `list`.
std::u16string SortList(int width, std::u16string_view list) {
  SetBits bits;
  int32_t count = 0;
  int run = 0;  // digits ending at the current position, up to `width`
  unsigned value = 0;
  const unsigned modulus = static_cast<unsigned>(Universe(width));
  for (const char16_t c : list) {
    if (c >= u'0' && c <= u'9') {
      value = (value * 10 + static_cast<unsigned>(c - u'0')) % modulus;
      if (run < width) ++run;
      if (run == width) {
        uint64_t& word = bits.words[value >> 6];
        const uint64_t bit = uint64_t{1} << (value & 63);
        count += (word & bit) == 0 ? 1 : 0;
        word |= bit;
      }
    } else {
      run = 0;
      value = 0;
    }
  }
  return SetText(width, bits, count, UseVectorSteps(CurrentSha256Backend()));
}

using FlagBits = decltype(FlagSet::flags);

// Whether the flags' storage is exactly SetBits::words (bit n in bit n % 64
// of word n / 64, little-endian), as it is in the common standard libraries;
// checked once with sample bits, so that the set can be copied in one go.
bool BitsetStorageIsWords() {
  if constexpr (!std::is_trivially_copyable_v<FlagBits> ||
                sizeof(FlagBits) != sizeof(SetBits::words)) {
    return false;
  } else {
    static const bool same = [] {
      FlagBits flags;
      SetBits expected;
      for (unsigned n : {0u, 1u, 7u, 8u, 31u, 32u, 63u, 64u, 500u, 998u, 999u}) {
        flags.set(n);
        expected.words[n >> 6] |= uint64_t{1} << (n & 63);
      }
      return std::memcmp(&flags, expected.words, sizeof expected.words) == 0;
    }();
    return same;
  }
}

// Copies `bits` into out.flags.
void SetFlags(const SetBits& bits, FlagSet& out) {
  if (BitsetStorageIsWords()) {
    std::memcpy(static_cast<void*>(&out.flags), bits.words, sizeof bits.words);
    return;
  }
  out.flags.reset();
  for (int k = 0; k < 16; ++k)
    for (uint64_t w = bits.words[k]; w != 0; w &= w - 1)
      out.flags.set(static_cast<size_t>(64 * k + std::countr_zero(w)));
}

}  // namespace

std::u16string BuildDigitSet(std::u16string_view seed, int32_t size) {
  return BuildSetText(1, seed, size);
}
std::u16string BuildPairSet(std::u16string_view seed, int32_t size) {
  return BuildSetText(2, seed, size);
}
std::u16string BuildTripleSet(std::u16string_view seed, int32_t size) {
  return BuildSetText(3, seed, size);
}

std::u16string ExtractDigits(std::u16string_view text) {
  std::u16string digits;
  digits.reserve(text.size());
  for (const char16_t c : text)
    if (c >= u'0' && c <= u'9') digits.push_back(c);
  return digits;
}

std::u16string SortDigitList(std::u16string_view list) { return SortList(1, list); }
std::u16string SortPairList(std::u16string_view list) { return SortList(2, list); }
std::u16string SortTripleList(std::u16string_view list) { return SortList(3, list); }

std::u16string FlagSet::Text() const {
  if (width < 1 || width > 3) return {};
  SetBits bits;
  int32_t count = 0;
  const int32_t universe = Universe(width);
  for (int32_t n = 0; n < universe; ++n) {
    const uint64_t bit = flags[static_cast<size_t>(n)] ? 1 : 0;
    bits.words[n >> 6] |= bit << (n & 63);
    count += static_cast<int32_t>(bit);
  }
  return SetText(width, bits, count, UseVectorSteps(CurrentSha256Backend()));
}

int32_t FirstRankIn(int width, std::u16string_view seed, int32_t limit,
                    const std::bitset<1000>& goal, int32_t* digests) {
  return FirstRank(
      width, seed, limit, [&](unsigned piece) { return goal[piece]; }, digests);
}

int32_t RankOf(int width, std::u16string_view seed, int32_t limit, int32_t number,
               int32_t* digests) {
  const unsigned target = static_cast<unsigned>(number);
  return FirstRank(
      width, seed, limit, [target](unsigned piece) { return piece == target; }, digests);
}

void BuildSetFlags(int width, std::u16string_view seed, int32_t size, FlagSet& out) {
  out = FlagSet{};
  CoreResult r;
  Build(width, seed, size, r);
  out.width = width;
  out.count = r.count;
  out.digests = r.digests;
  out.compressions = r.compressions;
  SetFlags(r.bits, out);
  CountCompressions(r.compressions);
}

namespace detail {

void CheckWidthAndSize(int width, int32_t size) {
  if (width < 1 || width > 3) throw SetSizeError("set width outside 1 to 3");
  if (size < 1 || size > Universe(width)) throw SetSizeError("set size outside its width's range");
}

void SetFlagsFromWords(const uint64_t words[16], FlagSet& out) {
  SetBits bits;
  std::memcpy(bits.words, words, sizeof bits.words);
  SetFlags(bits, out);
}

}  // namespace detail

}  // namespace kelvora::numbersets
