// The multi-chain back ends against the one-stream digest: NIST's messages
// and random chains of random lengths, run through the lanes of every back
// end this processor offers, lanes starting and ending at different steps.
#include "numbersets/sha256_lanes.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "numbersets/nist_vectors.h"
#include "numbersets/sha256.h"
#include "numbersets/sha256_internal.h"
#include "numbersets/sha256_kernels.h"

namespace kelvora::numbersets {
namespace {

// A message, and how many times the digest of its digest text follows.
struct Chain {
  std::u16string message;
  int steps = 0;
};

std::u16string OneStream(const Chain& chain) {
  std::u16string text = CSHA256().DigestHex(chain.message);
  for (int i = 0; i < chain.steps; ++i) text = CSHA256().DigestHex(text);
  return text;
}

// The message's bytes padded to whole blocks.
std::vector<uint8_t> Padded(const std::u16string& message) {
  std::vector<uint8_t> bytes(message.begin(), message.end());
  const uint64_t bits = uint64_t{bytes.size()} * 8;
  bytes.push_back(0x80);
  while (bytes.size() % 64 != 56) bytes.push_back(0);
  for (int i = 7; i >= 0; --i) bytes.push_back(static_cast<uint8_t>(bits >> (8 * i)));
  return bytes;
}

// Each chain's last digest text, the chains run through the lanes of
// `backend`: each lane takes the next chain as soon as its own ends.
std::vector<std::u16string> InLanes(LaneBackend backend, const std::vector<Chain>& chains) {
  struct Slot {
    size_t chain = SIZE_MAX;
    std::vector<uint8_t> padded;
    size_t block = 0;
    int steps = 0;
  };
  DigestLanes io{};
  std::vector<Slot> slots(static_cast<size_t>(LaneCount(backend)));
  std::vector<std::u16string> out(chains.size());
  size_t next = 0, busy = 0;
  auto start = [&](size_t l) {
    Slot& s = slots[l];
    io.block[l] = nullptr;
    s.chain = next < chains.size() ? next++ : SIZE_MAX;
    if (s.chain == SIZE_MAX) return;
    ++busy;
    s.padded = Padded(chains[s.chain].message);
    s.block = 0;
    s.steps = chains[s.chain].steps;
    for (int w = 0; w < 8; ++w) io.h[w][l] = kernels::kInitialHash[w];
    io.block[l] = s.padded.data();
  };
  for (size_t l = 0; l < slots.size(); ++l) start(l);
  while (busy > 0) {
    StepLanes(backend, io);
    for (size_t l = 0; l < slots.size(); ++l) {
      Slot& s = slots[l];
      if (s.chain == SIZE_MAX) continue;
      if (io.block[l] != nullptr) {
        if (64 * ++s.block < s.padded.size()) {
          io.block[l] = s.padded.data() + 64 * s.block;
          continue;
        }
        io.block[l] = nullptr;
      } else {
        --s.steps;
      }
      if (s.steps > 0) continue;
      uint32_t h[8];
      uint8_t hex[64];
      for (int w = 0; w < 8; ++w) h[w] = io.h[w][l];
      detail::WordsToHex(h, hex);
      out[s.chain] = std::u16string(hex, hex + 64);
      --busy;
      start(l);
    }
  }
  return out;
}

std::vector<LaneBackend> Available() {
  std::vector<LaneBackend> backends;
  for (LaneBackend b : {LaneBackend::kShaNi, LaneBackend::kAvx2, LaneBackend::kAvx512})
    if (LaneBackendAvailable(b)) backends.push_back(b);
  return backends;
}

TEST(Sha256LanesTest, NistMessagesOnEveryBackend) {
  std::vector<Chain> chains;
  std::vector<std::u16string> digests;
  for (const char* file : {"SHA256ShortMsg.rsp", "SHA256LongMsg.rsp"}) {
    for (const std::string& m : ResponseValues(file, "Msg")) chains.push_back({FromHex(m)});
    for (const std::string& d : ResponseValues(file, "MD")) digests.push_back(U16(d));
  }
  ASSERT_EQ(chains.size(), digests.size());
  for (LaneBackend b : Available()) EXPECT_EQ(InLanes(b, chains), digests) << static_cast<int>(b);
}

TEST(Sha256LanesTest, RandomChainsAgreeWithOneStream) {
  std::mt19937 rng(1711);
  std::vector<Chain> chains;
  for (size_t length : {0, 1, 55, 56, 63, 64, 119, 120, 200})
    chains.push_back({std::u16string(length, u'x'), 3});
  for (int i = 0; i < 300; ++i) {
    Chain c;
    for (size_t n = rng() % 150; n > 0; --n) c.message += static_cast<char16_t>(rng());
    c.steps = static_cast<int>(rng() % 40);
    chains.push_back(c);
  }
  std::vector<std::u16string> expected;
  for (const Chain& c : chains) expected.push_back(OneStream(c));
  const auto backends = Available();
  for (LaneBackend b : backends) {
    EXPECT_GE(LaneCount(b), 2);
    EXPECT_EQ(InLanes(b, chains), expected) << static_cast<int>(b);
  }
  EXPECT_EQ(CurrentLaneBackend() == LaneBackend::kNone, backends.empty());
}

}  // namespace
}  // namespace kelvora::numbersets
