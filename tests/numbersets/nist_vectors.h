// The NIST Secure Hash Algorithm Validation System (SHAVS) response files
// SHA256ShortMsg.rsp and SHA256LongMsg.rsp, as shipped by the Debian package
// python3-cryptography-vectors (installed by scripts/install-deps), read for
// the digest tests.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#ifndef KELVORA_NIST_SHA2_DIR
#error "KELVORA_NIST_SHA2_DIR must name the directory of the NIST SHA-2 response files"
#endif

namespace kelvora::numbersets {

// Hex digits as a text of characters U+0000..U+00FF, one per byte.
inline std::u16string FromHex(const std::string& hex) {
  std::u16string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<char16_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return out;
}

inline std::u16string U16(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

// The values of the "Key = Value" lines of a response file whose key is
// `key`, in order; a "Msg" is cut to its "Len" bits ("Len = 0" comes with a
// placeholder byte).
inline std::vector<std::string> ResponseValues(const std::string& name, const std::string& key) {
  const std::string path = std::string(KELVORA_NIST_SHA2_DIR) + "/" + name;
  std::ifstream in(path);
  EXPECT_TRUE(in.good()) << "cannot read " << path << " (scripts/install-deps)";
  std::vector<std::string> values;
  std::string line;
  size_t bits = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("Len = ", 0) == 0) bits = std::stoul(line.substr(6));
    if (line.rfind(key + " = ", 0) != 0) continue;
    values.push_back(line.substr(key.size() + 3));
    if (key == "Msg") values.back().resize(bits / 4);
  }
  return values;
}

}  // namespace kelvora::numbersets
