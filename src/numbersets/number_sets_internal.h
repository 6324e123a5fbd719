// What the one-set builders and the batch builder share. Not for use outside
// the number sets.
#pragma once

#include <cstdint>

#include "numbersets/number_sets.h"
#include "numbersets/sha256_kernels.h"

namespace kelvora::numbersets::detail {

// How many numbers of width W there are.
constexpr int32_t Universe(int width) { return width == 1 ? 10 : width == 2 ? 100 : 1000; }

// A piece index of the one-byte-per-number membership tables that is always
// marked seen and never part of a set: windows that do not exist take it.
constexpr unsigned kNoPiece = 1023;

// Fails like the builders (invalid procedure call) unless 1 <= width <= 3
// and 1 <= size <= 10^width.
void CheckWidthAndSize(int width, int32_t size);

// Sets out.flags to the numbers n whose bit n % 64 of words[n / 64] is set.
void SetFlagsFromWords(const uint64_t words[16], FlagSet& out);

#if KELVORA_SHA_X86
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
#endif

}  // namespace kelvora::numbersets::detail
