// The batch builder and the batch rank walk against the one-set builder and
// the one-seed walk, on every multi-chain back end this processor offers: a
// digest of any lane that went wrong would give another set.
#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "numbersets/number_sets.h"
#include "numbersets/set_size_error.h"
#include "numbersets/sha256.h"
#include "numbersets/sha256_lanes.h"

namespace kelvora::numbersets {
namespace {

int32_t Universe(int width) { return width == 1 ? 10 : width == 2 ? 100 : 1000; }

// Runs body(backend) once with each multi-chain back end this processor offers.
template <typename F>
void ForEachLaneBackend(F&& body) {
  for (LaneBackend b : {LaneBackend::kShaNi, LaneBackend::kAvx2, LaneBackend::kAvx512}) {
    if (!LaneBackendAvailable(b)) continue;
    SCOPED_TRACE(static_cast<int>(b));
    body(b);
  }
}

// Each seed's set from one batch against the one-set builder's; fails the test when a set comes
// twice or never.
void ExpectSameSets(LaneBackend backend, int width, int32_t size,
                    const std::vector<std::u16string>& seeds) {
  std::vector<FlagSet> sets(seeds.size());
  std::vector<int> seen(seeds.size(), 0);
  size_t next = 0;
  BuildSetBatch(
      backend, width, size,
      [&](std::u16string& seed) -> int64_t {
        if (next == seeds.size()) return -1;
        seed = seeds[next];
        return static_cast<int64_t>(next++);
      },
      [&](int64_t key, const FlagSet& set) {
        sets[static_cast<size_t>(key)] = set;
        ++seen[static_cast<size_t>(key)];
      });
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), static_cast<long>(seeds.size()));
  for (size_t i = 0; i < seeds.size(); ++i) {
    FlagSet one;
    BuildSetFlags(width, seeds[i], size, one);
    ASSERT_EQ(sets[i].flags, one.flags) << width << " " << size << " seed " << i;
    EXPECT_EQ(std::tuple(sets[i].width, sets[i].count, sets[i].digests, sets[i].compressions),
              std::tuple(width, size, one.digests, one.compressions));
  }
}

// Seeds of the analysis's shape, of any code units (some past one block),
// and digest texts; sizes from 1 to all numbers.
TEST(SetBatchTest, SameSetsAsOneByOne) {
  std::mt19937 rng(4242);
  std::vector<std::u16string> seeds = {u"abc", std::u16string(200, u'\u0141')};
  for (size_t length : {0, 1, 55, 56, 63, 64, 119, 120})  // at the blocks' bounds
    seeds.push_back(std::u16string(length, u'x'));
  for (int i = 0; i < 60; ++i) {
    std::u16string s = u"pp" + std::u16string(1, u'1' + i % 3);
    for (char c : std::to_string(rng() % 100000) + std::to_string(rng() % 100000)) s += c;
    seeds.push_back(s + (i % 2 ? u"TienTam" : u""));
    std::u16string any;
    for (size_t n = rng() % 140; n > 0; --n) any += static_cast<char16_t>(rng());
    seeds.push_back(any);
    seeds.push_back(CSHA256().DigestHex(s));
  }
  int backends = 0;
  ForEachLaneBackend([&](LaneBackend b) {
    ++backends;
    for (int width = 1; width <= 3; ++width) {
      const int32_t universe = Universe(width);
      for (int32_t size : {1, 2, universe / 2 + 1, universe - 1, universe,
                           1 + static_cast<int32_t>(rng() % static_cast<uint32_t>(universe))})
        ExpectSameSets(b, width, size, seeds);
    }
  });
  EXPECT_EQ(CurrentLaneBackend() == LaneBackend::kNone, backends == 0);
}

// The first uses pick the back ends by trial batches, in a process of their
// own here; those are not the caller's and must not be counted.
TEST(SetBatchTest, PickingTheBackEndCountsNoCompressions) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        const int64_t before = CompressionsCounted();
        (void)CurrentLaneBackend(BatchWork::kSets);
        (void)CurrentLaneBackend(BatchWork::kWalks);
        std::exit(CompressionsCounted() == before ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// Walks to goals of every kind (none, one number, many) against FirstRankIn,
// at limits from 1 to all numbers.
TEST(SetBatchTest, SameRanksAsOneByOne) {
  std::mt19937 rng(90210);
  ForEachLaneBackend([&](LaneBackend b) {
    for (int width = 1; width <= 3; ++width) {
      const int32_t universe = Universe(width);
      for (int32_t limit : {1, universe / 3, universe}) {
        std::vector<std::u16string> seeds;
        std::vector<std::bitset<1000>> goals;
        for (int i = 0; i < 60; ++i) {
          seeds.push_back(u"pp" + std::u16string(1, u'0' + i % 10) + (i % 2 ? u"TienNhi" : u""));
          std::bitset<1000>& goal = goals.emplace_back();
          const int numbers = i % 4 < 2 ? i % 4 : 1 + static_cast<int>(rng() % 30);
          for (int k = 0; k < numbers; ++k) goal.set(rng() % static_cast<uint32_t>(universe));
        }
        std::vector<int32_t> ranks(seeds.size(), -1);
        size_t next = 0;
        FirstRankBatch(
            b, width, limit,
            [&](std::u16string& seed, const std::bitset<1000>*& goal) -> int64_t {
              if (next == seeds.size()) return -1;
              seed = seeds[next];
              goal = &goals[next];
              return static_cast<int64_t>(next++);
            },
            [&](int64_t key, int32_t rank) { ranks[static_cast<size_t>(key)] = rank; });
        for (size_t i = 0; i < seeds.size(); ++i)
          ASSERT_EQ(ranks[i], FirstRankIn(width, seeds[i], limit, goals[i])) << width << " " << i;
      }
    }
  });
}

TEST(SetBatchTest, RefusesBeforeAnyCall) {
  int calls = 0;
  auto call = [&](auto&&...) { return ++calls, int64_t{-1}; };
  for (const auto& [width, size] : {std::pair{1, 0}, {1, 11}, {3, 1001}, {0, 1}, {4, 1}}) {
    EXPECT_THROW(BuildSetBatch(CurrentLaneBackend(), width, size, call, call), SetSizeError);
    EXPECT_THROW(FirstRankBatch(CurrentLaneBackend(), width, size, call, call), SetSizeError);
  }
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace kelvora::numbersets
