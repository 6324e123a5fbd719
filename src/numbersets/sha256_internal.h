// The digest engine's fast paths, shared by the digest and the set builders.
// Not for use outside the number sets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "numbersets/sha256.h"

namespace kelvora::numbersets::detail {

// The hash words H0..H7 of `message` taken one byte per code unit (low 8
// bits). Returns the number of block compressions run.
int32_t DigestWords(Sha256Backend backend, std::u16string_view message, uint32_t h[8]);

// The 64 lowercase hexadecimal digits of H0..H7, H0 first, as ASCII bytes.
void WordsToHex(const uint32_t h[8], uint8_t hex[64]);

// The digest of a 64-byte message (two compressions, the second block being
// the fixed padding) written as 64 lowercase hexadecimal ASCII digits into
// `hex`. `message` and `hex` may be the same buffer.
void DigestHexOf64(Sha256Backend backend, const uint8_t message[64], uint8_t hex[64]);

}  // namespace kelvora::numbersets::detail
