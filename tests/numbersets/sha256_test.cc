// SHA-256 digest tests. The message/digest vectors are NIST's (see
// nist_vectors.h). Every vector runs on each compression back end that this
// processor offers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "numbersets/backends.h"
#include "numbersets/nist_vectors.h"
#include "numbersets/sha256.h"
#include "numbersets/sha256_internal.h"

namespace kelvora::numbersets {
namespace {

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
  EXPECT_EQ(CurrentSha256Backend(),
            ShaNiAvailable() ? Sha256Backend::kShaNi : Sha256Backend::kPortable);
  const Sha256Backend chosen = CurrentSha256Backend();
  EXPECT_EQ(SetSha256Backend(Sha256Backend::kShaNi), ShaNiAvailable());
  EXPECT_TRUE(SetSha256Backend(Sha256Backend::kPortable));
  EXPECT_EQ(CurrentSha256Backend(), Sha256Backend::kPortable);
  SetSha256Backend(chosen);
}

}  // namespace
}  // namespace kelvora::numbersets
