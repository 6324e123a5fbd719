// SHA-256 digest tests. The message/digest vectors are NIST's Secure Hash
// Algorithm Validation System (SHAVS) response files SHA256ShortMsg.rsp,
// SHA256LongMsg.rsp and SHA256Monte.rsp, as shipped by the Debian package
// python3-cryptography-vectors (installed by scripts/install-deps). Every
// vector runs on each compression back end that this processor offers.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "numbersets/sha256.h"
#include "numbersets/sha256_internal.h"

namespace kelvora::numbersets {
namespace {

#ifndef KELVORA_NIST_SHA2_DIR
#error "KELVORA_NIST_SHA2_DIR must name the directory of the NIST SHA-2 response files"
#endif

std::vector<Sha256Backend> AvailableBackends() {
  std::vector<Sha256Backend> backends{Sha256Backend::kPortable};
  if (ShaNiAvailable()) backends.push_back(Sha256Backend::kShaNi);
  return backends;
}

const char* BackendName(Sha256Backend b) {
  return b == Sha256Backend::kShaNi ? "SHA extensions" : "portable";
}

// Selects a back end for the life of the guard, then restores the previous one.
class BackendGuard {
 public:
  explicit BackendGuard(Sha256Backend b) : saved_(CurrentSha256Backend()) {
    EXPECT_TRUE(SetSha256Backend(b));
  }
  ~BackendGuard() { SetSha256Backend(saved_); }

 private:
  Sha256Backend saved_;
};

// Bytes as a text of characters U+0000..U+00FF, one per byte.
std::u16string Latin1(const std::vector<uint8_t>& bytes) {
  return std::u16string(bytes.begin(), bytes.end());
}

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return out;
}

std::u16string U16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

struct KeyValue {
  std::string key, value;
};

// The "Key = Value" lines of a response file, in order. Fails the test when
// the file cannot be read.
std::vector<KeyValue> ReadResponseFile(const std::string& name) {
  const std::string path = std::string(KELVORA_NIST_SHA2_DIR) + "/" + name;
  std::ifstream in(path);
  EXPECT_TRUE(in.good()) << "cannot read " << path
                         << " (install python3-cryptography-vectors: scripts/install-deps)";
  std::vector<KeyValue> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t eq = line.find(" = ");
    if (line.empty() || line[0] == '#' || line[0] == '[' || eq == std::string::npos) continue;
    lines.push_back({line.substr(0, eq), line.substr(eq + 3)});
  }
  return lines;
}

struct MessageVector {
  std::vector<uint8_t> message;
  std::string digest;
};

std::vector<MessageVector> ReadMessageVectors(const std::string& name) {
  std::vector<MessageVector> vectors;
  size_t bits = 0;
  std::string msg;
  for (const KeyValue& kv : ReadResponseFile(name)) {
    if (kv.key == "Len") {
      bits = std::stoul(kv.value);
    } else if (kv.key == "Msg") {
      msg = kv.value;
    } else if (kv.key == "MD") {
      std::vector<uint8_t> bytes = FromHex(msg);
      bytes.resize(bits / 8);  // "Len = 0" comes with a placeholder byte
      vectors.push_back({std::move(bytes), kv.value});
    }
  }
  return vectors;
}

class NistMessageTest : public ::testing::TestWithParam<const char*> {};

TEST_P(NistMessageTest, EveryMessageOnEveryBackend) {
  const std::vector<MessageVector> vectors = ReadMessageVectors(GetParam());
  ASSERT_GE(vectors.size(), 64u) << GetParam();
  for (Sha256Backend b : AvailableBackends()) {
    BackendGuard guard(b);
    const CSHA256 sha;
    for (const MessageVector& v : vectors) {
      EXPECT_EQ(sha.DigestHex(Latin1(v.message)), U16(v.digest))
          << BackendName(b) << ", " << v.message.size() << " bytes";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Nist, NistMessageTest,
                         ::testing::Values("SHA256ShortMsg.rsp", "SHA256LongMsg.rsp"));

// The SHAVS Monte Carlo procedure: from a seed, 100 checkpoints, each the end
// of 1000 digests of the three preceding digests joined.
TEST(Sha256Test, NistMonteCarlo) {
  std::vector<uint8_t> seed;
  std::vector<std::string> checkpoints;
  for (const KeyValue& kv : ReadResponseFile("SHA256Monte.rsp")) {
    if (kv.key == "Seed") seed = FromHex(kv.value);
    if (kv.key == "MD") checkpoints.push_back(kv.value);
  }
  ASSERT_EQ(seed.size(), 32u);
  ASSERT_EQ(checkpoints.size(), 100u);
  for (Sha256Backend b : AvailableBackends()) {
    BackendGuard guard(b);
    const CSHA256 sha;
    std::u16string md = Latin1(seed);
    for (const std::string& expected : checkpoints) {
      std::u16string m0 = md, m1 = md, m2 = md;
      for (int i = 0; i < 1000; ++i) {
        const std::u16string hex = sha.DigestHex(m0 + m1 + m2);
        m0 = std::move(m1);
        m1 = std::move(m2);
        m2 = Latin1(FromHex(std::string(hex.begin(), hex.end())));
      }
      md = m2;
      const std::vector<uint8_t> bytes(md.begin(), md.end());
      std::string hex;
      for (uint8_t byte : bytes) {
        static const char kDigits[] = "0123456789abcdef";
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
      }
      ASSERT_EQ(hex, expected) << BackendName(b);
    }
  }
}

// Texts whose code units are not all below U+0100: each unit gives its low
// byte. Expected digests from an independent implementation over the bytes.
TEST(Sha256Test, OneBytePerCodeUnit) {
  struct Case {
    std::u16string text;
    std::u16string same_as;
    const char* digest;
  };
  const Case cases[] = {
      {u"abc", u"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {u"", u"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {u"\u0141", u"A", "559aead08264d5795d3909718cdd05abd49572e84fe55590eef31a88a08fdffd"},
      {u"\u1ec7", u"\u00c7", "3340883aad3038dd993b3c94d2d32c3b20e07859969aca411f7f93ab8847c746"},
      // U+1F63D as the surrogate pair D83D DE3D: bytes 3D 3D. A lone high
      // surrogate counts like any other code unit.
      {u"\U0001F63D", u"==", "f16474a9900a44186e87098f5fcb153a1fab2e401e1a6db587168b204761b276"},
      {std::u16string{char16_t{0xD83D}, char16_t{0x0100}}, std::u16string{u'=', u'\0'},
       "e7dac261e841e53eb65ac8c2a0e56544df49c46d71e8002d7764f92c66c4c868"},
  };
  for (Sha256Backend b : AvailableBackends()) {
    BackendGuard guard(b);
    const CSHA256 sha;
    for (const Case& c : cases) {
      EXPECT_EQ(sha.DigestHex(c.text), U16(c.digest)) << BackendName(b);
      EXPECT_EQ(sha.DigestHex(c.text), sha.DigestHex(c.same_as)) << BackendName(b);
    }
  }
}

// Lengths around the block boundaries: 55 bytes fit one padded block, 56 need
// two; a 64-byte message takes the fixed-padding path.
TEST(Sha256Test, PaddingBoundaries) {
  struct Case {
    size_t length;
    int32_t compressions;
    const char* digest;  // of that many "a"
  };
  const Case cases[] = {
      {55, 1, "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {56, 2, "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
      {63, 2, "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
      {64, 2, "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
      {119, 2, "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
      {120, 3, "2f3d335432c70b580af0e8e1b3674a7c020d683aa5f73aaaedfdc55af904c21c"},
  };
  for (Sha256Backend b : AvailableBackends()) {
    BackendGuard guard(b);
    for (const Case& c : cases) {
      const std::u16string text(c.length, u'a');
      EXPECT_EQ(CSHA256().DigestHex(text), U16(c.digest)) << BackendName(b) << " " << c.length;
      uint32_t h[8];
      EXPECT_EQ(detail::DigestWords(b, text, h), c.compressions) << c.length;
    }
  }
}

// Random texts of every length up to three blocks and random 64-byte texts:
// the back ends agree, and the fixed-padding path of 64-byte messages agrees
// with the general one.
TEST(Sha256Test, BackendsAndPathsAgree) {
  std::mt19937 rng(20240601);
  std::uniform_int_distribution<int> unit(0, 0xffff);
  for (size_t length = 0; length <= 192; ++length) {
    std::u16string text;
    for (size_t i = 0; i < length; ++i) text.push_back(static_cast<char16_t>(unit(rng)));
    uint32_t portable[8], other[8];
    detail::DigestWords(Sha256Backend::kPortable, text, portable);
    for (Sha256Backend b : AvailableBackends()) {
      detail::DigestWords(b, text, other);
      EXPECT_EQ(0, std::memcmp(portable, other, sizeof portable)) << BackendName(b) << length;
    }
  }
  for (int round = 0; round < 50; ++round) {
    uint8_t bytes[64], general[64], fixed[64];
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(unit(rng));
    uint32_t h[8];
    detail::DigestWords(Sha256Backend::kPortable, std::u16string(bytes, bytes + 64), h);
    detail::WordsToHex(h, general);
    for (Sha256Backend b : AvailableBackends()) {
      detail::DigestHexOf64(b, bytes, fixed);
      EXPECT_EQ(0, std::memcmp(general, fixed, 64)) << BackendName(b);
      std::memcpy(fixed, bytes, 64);
      detail::DigestHexOf64(b, fixed, fixed);  // in place
      EXPECT_EQ(0, std::memcmp(general, fixed, 64)) << BackendName(b) << " in place";
    }
  }
}

TEST(Sha256Test, CompressOneBlockOnEachBackend) {
  // "abc" padded into one block; the state after it is the digest.
  uint8_t block[64] = {'a', 'b', 'c', 0x80};
  block[63] = 24;
  const uint32_t expected[8] = {0xba7816bf, 0x8f01cfea, 0x414140de, 0x5dae2223,
                                0xb00361a3, 0x96177a9c, 0xb410ff61, 0xf20015ad};
  for (Sha256Backend b : AvailableBackends()) {
    BackendGuard guard(b);
    uint32_t state[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                         0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    Sha256Compress(state, block);
    EXPECT_EQ(0, std::memcmp(state, expected, sizeof state)) << BackendName(b);
  }
}

TEST(Sha256Test, BackendSelection) {
  const Sha256Backend chosen = CurrentSha256Backend();
  EXPECT_EQ(chosen, ShaNiAvailable() ? Sha256Backend::kShaNi : Sha256Backend::kPortable);
  EXPECT_EQ(SetSha256Backend(Sha256Backend::kShaNi), ShaNiAvailable());
  EXPECT_TRUE(SetSha256Backend(Sha256Backend::kPortable));
  EXPECT_EQ(CurrentSha256Backend(), Sha256Backend::kPortable);
  SetSha256Backend(chosen);
}

}  // namespace
}  // namespace kelvora::numbersets
