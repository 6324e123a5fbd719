// SHA-256 (FIPS 180-4) of a UTF-16 text taken one byte per code unit (its low
// 8 bits), as 64 lowercase hexadecimal digits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvora::numbersets {

class CSHA256 {
 public:
  // The digest of `message` as 64 lowercase hex digits, H0 first.
  std::u16string DigestHex(std::u16string_view message) const;
};

}  // namespace kelvora::numbersets
