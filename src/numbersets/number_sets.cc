#include "numbersets/number_sets.h"

#include <bit>
#include <cstring>
#include <memory>

#include "entry/host_state.h"
#include "host/convert.h"
#include "host/error.h"
#include "numbersets/sha256.h"
#include "numbersets/sha256_internal.h"

namespace kelvora::numbersets {
namespace {

constexpr int32_t Universe(int width) { return width == 1 ? 10 : width == 2 ? 100 : 1000; }

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

// The set text of the numbers in `bits` (`count` of them), ascending, each
// with exactly `width` digits, joined by ",".
std::u16string SetText(int width, const SetBits& bits, int32_t count) {
  if (count <= 0) return {};
  const size_t stride = static_cast<size_t>(width) + 1;
  std::u16string text(static_cast<size_t>(count) * stride + 4, u'\0');
  char16_t* out = text.data();
  const auto& pieces = kPieceTexts.units[width - 1];
  for (int k = 0; k < 16; ++k) {
    for (uint64_t w = bits.words[k]; w != 0; w &= w - 1) {
      const int n = 64 * k + std::countr_zero(w);
      std::memcpy(out, pieces[n], sizeof pieces[n]);
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

// The decimal digits of a 64-character hexadecimal digest, as values 0..9.
inline int ExtractDigitValues(const uint8_t hex[64], uint8_t digits[64]) {
  int n = 0;
  for (int i = 0; i < 64; ++i) {
    const uint8_t c = hex[i];
    digits[n] = static_cast<uint8_t>(c - '0');
    n += c <= '9' ? 1 : 0;
  }
  return n;
}

template <int W>
inline unsigned PieceAt(const uint8_t* d) {
  if constexpr (W == 1) return d[0];
  if constexpr (W == 2) return d[0] * 10u + d[1];
  if constexpr (W == 3) return d[0] * 100u + d[1] * 10u + d[2];
}

// Adds the windows of one pass. With `kMayFinish`, stops as soon as the set
// holds `size` numbers and returns true; without it, the caller knows that
// this pass cannot fill the set and every window is taken.
template <int W, bool kMayFinish>
inline bool AddWindows(const uint8_t* digits, int n, int32_t size, CoreResult& r) {
  int32_t count = r.count;
  for (int i = 0; i + W <= n; ++i) {
    const unsigned p = PieceAt<W>(digits + i);
    uint64_t& word = r.bits.words[p >> 6];
    const uint64_t bit = uint64_t{1} << (p & 63);
    count += (word & bit) == 0 ? 1 : 0;
    word |= bit;
    if constexpr (kMayFinish) {
      if (count == size) {
        r.count = count;
        return true;
      }
    }
  }
  r.count = count;
  return false;
}

// The set of `size` distinct W-digit numbers drawn from the digest chain of
// `seed`: each pass hashes the previous digest text (the first the seed), and
// the overlapping W-digit windows of its decimal digits join the set until it
// is full. The caller has checked 1 <= size <= 10^W.
template <int W>
void BuildCore(std::u16string_view seed, int32_t size, CoreResult& r) {
  const Sha256Backend backend = CurrentSha256Backend();
  alignas(16) uint8_t hex[64];
  alignas(16) uint8_t digits[64];
  {
    uint32_t h[8];
    r.compressions = detail::DigestWords(backend, seed, h);
    detail::WordsToHex(h, hex);
    r.digests = 1;
  }
  for (;;) {
    const int n = ExtractDigitValues(hex, digits);
    const int windows = n >= W ? n - W + 1 : 0;
    if (r.count + windows < size) {
      // This pass cannot fill the set: hash the next digest first so that the
      // processor overlaps it with the windows below.
      detail::DigestHexOf64(backend, hex, hex);
      ++r.digests;
      r.compressions += 2;
      AddWindows<W, false>(digits, n, size, r);
    } else {
      if (AddWindows<W, true>(digits, n, size, r)) return;
      detail::DigestHexOf64(backend, hex, hex);
      ++r.digests;
      r.compressions += 2;
    }
  }
}

void CheckWidthAndSize(int width, int32_t size) {
  if (width < 1 || width > 3) ThrowInvalidProcedureCall();
  if (size < 1 || size > Universe(width)) ThrowInvalidProcedureCall();
}

void Build(int width, std::u16string_view seed, int32_t size, CoreResult& r) {
  CheckWidthAndSize(width, size);
  switch (width) {
    case 1:
      return BuildCore<1>(seed, size, r);
    case 2:
      return BuildCore<2>(seed, size, r);
    default:
      return BuildCore<3>(seed, size, r);
  }
}

std::u16string BuildSetText(int width, std::u16string_view seed, int32_t size) {
  CoreResult r;
  Build(width, seed, size, r);
  return SetText(width, r.bits, r.count);
}

// The set text of every W-digit number that occurs anywhere in `list`.
std::u16string SortList(int width, std::u16string_view list) {
  SetBits bits;
  int32_t count = 0;
  int run = 0;  // digits ending at the current position
  unsigned value = 0;
  const unsigned modulus = static_cast<unsigned>(Universe(width));
  for (const char16_t c : list) {
    if (c >= u'0' && c <= u'9') {
      value = (value * 10 + static_cast<unsigned>(c - u'0')) % modulus;
      if (++run >= width) {
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
  return SetText(width, bits, count);
}

// Whether a cell of the bet-kind list holds `name`: a text cell by exact,
// case-sensitive comparison, any other value by its text form. An error value
// names nothing.
bool CellNames(const host::Value& cell, const std::u16string& name) {
  if (cell.IsText()) return cell.text() == name;
  if (cell.IsError()) return false;
  return host::ToText(cell) == name;
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

bool IsSetSizeAllowed(const std::u16string& kind_name, int32_t size) {
  std::unique_ptr<host::Range> range = SettingsSheet().GetRange(u"KieuDanh");
  if (!range) ThrowObjectRequired("KieuDanh");
  const host::Table kinds = range->GetValues();
  if (kinds.rows() < 6 || kinds.cols() < 1) ThrowSubscriptOutOfRange();
  const auto names_row = [&](int32_t row) { return CellNames(kinds(row, 1), kind_name); };
  if (names_row(1) || names_row(2)) return size > 0 && size < 66;
  if (names_row(3) || names_row(4) || names_row(5)) return size > 0 && size < 521;
  if (names_row(6)) return size > 0 && size < 10;
  return false;
}

std::u16string FlagSet::Text() const {
  if (width < 1 || width > 3) return {};
  SetBits bits;
  int32_t n_set = 0;
  const int32_t universe = Universe(width);
  for (int32_t n = 0; n < universe; ++n) {
    const uint64_t bit = flags[static_cast<size_t>(n)] ? 1 : 0;
    bits.words[n >> 6] |= bit << (n & 63);
    n_set += static_cast<int32_t>(bit);
  }
  return SetText(width, bits, n_set);
}

void BuildSetFlags(int width, std::u16string_view seed, int32_t size, FlagSet& out) {
  out = FlagSet{};
  CoreResult r;
  Build(width, seed, size, r);
  out.width = width;
  out.count = r.count;
  out.digests = r.digests;
  out.compressions = r.compressions;
  for (int k = 0; k < 16; ++k)
    for (uint64_t w = r.bits.words[k]; w != 0; w &= w - 1)
      out.flags.set(static_cast<size_t>(64 * k + std::countr_zero(w)));
}

}  // namespace kelvora::numbersets
