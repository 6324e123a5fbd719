// SHA-256 (FIPS 180-4) of a UTF-16 text taken one byte per code unit (its low
// 8 bits), as 64 lowercase hexadecimal digits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvora::numbersets {

// The block compressions of the digests this process's set builders and
// walks computed, as they count them (the same on every back end); kept for
// the benchmarks, at the cost of one addition per set or walk (per batch for
// the batch builders, as the batch ends).
void CountCompressions(int64_t n);
int64_t CompressionsCounted();

class CSHA256 {
 public:
  // The digest of `message` as 64 lowercase hex digits, H0 first.
  std::u16string DigestHex(std::u16string_view message) const;
};

}  // namespace kelvora::numbersets

namespace kelvora::numbersets {

// Compression back ends: portable C++ and the x86 SHA extensions. The best
// available one is chosen once, at first use; tests may force one.
enum class Sha256Backend { kPortable, kShaNi };
bool ShaNiAvailable();
Sha256Backend CurrentSha256Backend();
// Forces a back end (not thread-safe; for tests and benchmarks). Returns false
// and changes nothing when kShaNi is asked for on a processor without it.
bool SetSha256Backend(Sha256Backend backend);

// One compression of a 64-byte block into `state` with the current back end.
void Sha256Compress(uint32_t state[8], const uint8_t block[64]);

}  // namespace kelvora::numbersets
