// SHA-256 digests against NIST's SHAVS response files SHA256ShortMsg.rsp and SHA256LongMsg.rsp, as
// the Debian package python3-cryptography-vectors ships them (scripts/install-deps installs it),
// each vector on every compression back end this processor offers.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "numbersets/backends.h"
#include "numbersets/sha256.h"
#include "numbersets/sha256_internal.h"

namespace kelvora::numbersets {
namespace {

// Hex digits as a text of characters U+0000..U+00FF, one per byte.
std::u16string FromHex(const std::string& hex) {
  std::u16string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<char16_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return out;
}

std::u16string U16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// The values of a response file's "Key = Value" lines of key `key`, in order; a "Msg" is cut to its
// "Len" bits ("Len = 0" comes with a placeholder byte).
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

// Each code unit gives its low byte. 55 bytes fit one padded block, 56 need
// two; eight blocks are one batch (the NIST vectors check the digests).
TEST(Sha256Test, OneBytePerCodeUnitAndCompressionCounts) {
  const std::pair<std::u16string, std::u16string> same[] = {
      {u"\u0141", u"A"}, {u"\u1ec7", u"\u00c7"}, {u"\U0001F63D", u"=="}};  // D83D DE3D: 3D 3D
  const std::pair<size_t, int32_t> compressions[] = {{0, 1},  {55, 1},  {56, 2},
                                                     {64, 2}, {120, 3}, {512, 9}};
  ForEachBackend([&](Sha256Backend b) {
    for (const auto& [text, bytes] : same)
      EXPECT_EQ(CSHA256().DigestHex(text), CSHA256().DigestHex(bytes));
    for (const auto& [length, count] : compressions) {
      uint32_t h[8];
      EXPECT_EQ(detail::DigestWords(b, std::u16string(length, u'a'), h), count) << length;
    }
  });
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
