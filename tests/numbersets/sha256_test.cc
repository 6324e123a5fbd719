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

#include "numbersets/backends.h"
#include "numbersets/sha256.h"
#include "numbersets/sha256_internal.h"

namespace kelvora::numbersets {
namespace {

#ifndef KELVORA_NIST_SHA2_DIR
#error "KELVORA_NIST_SHA2_DIR must name the directory of the NIST SHA-2 response files"
#endif

// Hex digits as a text of characters U+0000..U+00FF, one per byte.
std::u16string FromHex(const std::string& hex) {
  std::u16string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<char16_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return out;
}

std::u16string U16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// The values of the "Key = Value" lines of a response file whose key is
// `key`, in order; a "Msg" is cut to its "Len" bits ("Len = 0" comes with a
// placeholder byte).
std::vector<std::string> ResponseValues(const std::string& name, const std::string& key) {
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

class NistMessageTest : public ::testing::TestWithParam<const char*> {};

TEST_P(NistMessageTest, EveryMessageOnEveryBackend) {
  const auto messages = ResponseValues(GetParam(), "Msg");
  const auto digests = ResponseValues(GetParam(), "MD");
  ASSERT_GE(messages.size(), 64u);
  ASSERT_EQ(messages.size(), digests.size());
  ForEachBackend([&](Sha256Backend) {
    for (size_t i = 0; i < messages.size(); ++i)
      EXPECT_EQ(CSHA256().DigestHex(FromHex(messages[i])), U16(digests[i])) << i;
  });
}

INSTANTIATE_TEST_SUITE_P(Nist, NistMessageTest,
                         ::testing::Values("SHA256ShortMsg.rsp", "SHA256LongMsg.rsp"));

// The SHAVS Monte Carlo procedure: from a seed, 100 checkpoints, each the end
// of 1000 digests of the three preceding digests joined.
TEST(Sha256Test, NistMonteCarlo) {
  const auto seeds = ResponseValues("SHA256Monte.rsp", "Seed");
  const auto checkpoints = ResponseValues("SHA256Monte.rsp", "MD");
  ASSERT_EQ(seeds.size(), 1u);
  ASSERT_EQ(checkpoints.size(), 100u);
  ForEachBackend([&](Sha256Backend) {
    std::u16string md = FromHex(seeds[0]);
    for (const std::string& expected : checkpoints) {
      std::u16string m0 = md, m1 = md, m2 = md;
      for (int i = 0; i < 1000; ++i) {
        const std::u16string hex = CSHA256().DigestHex(m0 + m1 + m2);
        m0 = std::move(m1);
        m1 = std::move(m2);
        m2 = FromHex(std::string(hex.begin(), hex.end()));
      }
      md = m2;
      ASSERT_EQ(md, FromHex(expected));
    }
  });
}

// Each code unit gives its low byte. Expected digests from an independent
// implementation over the bytes; 55 bytes fit one padded block, 56 need two,
// 64 take the fixed-padding path.
TEST(Sha256Test, OneBytePerCodeUnitAndPadding) {
  struct Case {
    std::u16string text, same_as;
    const char* digest;
    int32_t compressions;
  } cases[] = {
      {u"abc", u"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", 1},
      {u"", u"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", 1},
      {u"\u0141", u"A", "559aead08264d5795d3909718cdd05abd49572e84fe55590eef31a88a08fdffd", 1},
      {u"\u1ec7", u"\u00c7", "3340883aad3038dd993b3c94d2d32c3b20e07859969aca411f7f93ab8847c746", 1},
      // U+1F63D as the surrogate pair D83D DE3D: bytes 3D 3D.
      {u"\U0001F63D", u"==", "f16474a9900a44186e87098f5fcb153a1fab2e401e1a6db587168b204761b276", 1},
      {std::u16string(55, u'a'), std::u16string(55, u'a'),
       "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318", 1},
      {std::u16string(56, u'a'), std::u16string(56, u'a'),
       "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a", 2},
      {std::u16string(64, u'a'), std::u16string(64, u'a'),
       "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb", 2},
      {std::u16string(120, u'a'), std::u16string(120, u'a'),
       "2f3d335432c70b580af0e8e1b3674a7c020d683aa5f73aaaedfdc55af904c21c", 3},
  };
  ForEachBackend([&](Sha256Backend b) {
    for (const Case& c : cases) {
      EXPECT_EQ(CSHA256().DigestHex(c.text), U16(c.digest)) << c.text.size();
      EXPECT_EQ(CSHA256().DigestHex(c.text), CSHA256().DigestHex(c.same_as));
      uint32_t h[8];
      EXPECT_EQ(detail::DigestWords(b, c.text, h), c.compressions) << c.text.size();
    }
  });
}

// Random texts of every length up to three blocks and random 64-byte texts:
// the back ends agree, and the fixed-padding path (also in place) agrees
// with the general one.
TEST(Sha256Test, BackendsAndPathsAgree) {
  std::mt19937 rng(20240601);
  for (size_t length = 0; length <= 192; ++length) {
    std::u16string text;
    for (size_t i = 0; i < length; ++i) text.push_back(static_cast<char16_t>(rng()));
    uint32_t portable[8], other[8];
    detail::DigestWords(Sha256Backend::kPortable, text, portable);
    ForEachBackend([&](Sha256Backend b) {
      detail::DigestWords(b, text, other);
      EXPECT_EQ(0, std::memcmp(portable, other, sizeof portable)) << length;
    });
  }
  for (int round = 0; round < 50; ++round) {
    uint8_t bytes[64], general[64], fixed[64];
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(rng());
    uint32_t h[8];
    detail::DigestWords(Sha256Backend::kPortable, std::u16string(bytes, bytes + 64), h);
    detail::WordsToHex(h, general);
    ForEachBackend([&](Sha256Backend b) {
      detail::DigestHexOf64(b, bytes, fixed);
      EXPECT_EQ(0, std::memcmp(general, fixed, 64));
      std::memcpy(fixed, bytes, 64);
      detail::DigestHexOf64(b, fixed, fixed);
      EXPECT_EQ(0, std::memcmp(general, fixed, 64)) << "in place";
    });
  }
}

TEST(Sha256Test, BackendSelectionAndOneBlock) {
  EXPECT_EQ(CurrentSha256Backend(),
            ShaNiAvailable() ? Sha256Backend::kShaNi : Sha256Backend::kPortable);
  // "abc" padded into one block; the state after it is the digest.
  uint8_t block[64] = {'a', 'b', 'c', 0x80};
  block[63] = 24;
  const uint32_t expected[8] = {0xba7816bf, 0x8f01cfea, 0x414140de, 0x5dae2223,
                                0xb00361a3, 0x96177a9c, 0xb410ff61, 0xf20015ad};
  ForEachBackend([&](Sha256Backend) {
    uint32_t state[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                         0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    Sha256Compress(state, block);
    EXPECT_EQ(0, std::memcmp(state, expected, sizeof state));
  });
  const Sha256Backend chosen = CurrentSha256Backend();
  EXPECT_EQ(SetSha256Backend(Sha256Backend::kShaNi), ShaNiAvailable());
  EXPECT_TRUE(SetSha256Backend(Sha256Backend::kPortable));
  EXPECT_EQ(CurrentSha256Backend(), Sha256Backend::kPortable);
  SetSha256Backend(chosen);
}

}  // namespace
}  // namespace kelvora::numbersets
