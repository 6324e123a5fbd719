// What the one-set builders and the batch builder share. Not for use outside
// the number sets.
#pragma once

#include <cstdint>

#include "numbersets/number_sets.h"

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

}  // namespace kelvora::numbersets::detail
