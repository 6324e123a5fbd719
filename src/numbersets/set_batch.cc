// The batch builder: the sets of many seeds, their digest chains advanced
// together in the lanes of a multi-chain back end.
//
// Each lane builds one set at a time. After a step, the lane's new digest is
// turned into digits and windows. When those windows cannot fill the set,
// they are taken during the next step, a fixed share between each group of
// rounds, where the scalar work runs in the shadow of the digest work; the
// order in which a pass's windows join does not matter then, and they only
// mark their numbers, without counting. The lane counts its numbers only when
// the windows it has taken since it last counted could have filled the set.
// When a pass's windows could fill it, they are taken at once, in order,
// stopping at the last number the set needs, and the lane starts its next
// seed with the next step. A walk to one number needs no order: it ends
// where that number first comes, so the windows before it are marked at
// once and then counted.
#include <algorithm>
#include <bit>
#include <bitset>
#include <cstring>
#include <vector>

#include "numbersets/number_sets.h"
#include "numbersets/number_sets_internal.h"
#include "numbersets/set_kernels.h"
#include "numbersets/sha256.h"
#include "numbersets/sha256_lane_kernels.h"
#include "numbersets/sha256_lanes.h"

namespace kelvora::numbersets {
namespace {

#if KELVORA_SHA_X86

using detail::kNoPiece;
using set_kernels::LaneDigits;
using set_kernels::LanePieces;
using Goal = std::bitset<1000>;

constexpr int kSlots = 48;  // windows of a pass taken between the rounds of the next step

// The windows deferred from the previous step, taken between its round
// groups: each group takes a fixed share of one lane's kSlots windows (with
// 2 lanes, every other group takes twice as many). They only mark: reading a
// mark first, to count, makes every read wait on the group's earlier writes
// to the same table, which with the AVX-512 back end costs more than the
// counts the lanes make later (measured: the step takes about twice as long).
template <int L>
struct DeferredWindows {
  static constexpr int kActiveGroups = (L * kSlots) % lanes::kHookGroups == 0 ? 32 : 16;
  static constexpr int kPerGroup = L * kSlots / kActiveGroups;
  static_assert(kSlots % kPerGroup == 0, "a group's windows belong to one lane");

  LanePieces* pieces;
  uint8_t (*seen)[1024];

  __attribute__((always_inline)) inline void operator()(int group) {
    constexpr int kStride = lanes::kHookGroups / kActiveGroups;
    if (group % kStride != 0) return;
    const int first = group / kStride * kPerGroup;
    const uint16_t* p = pieces[first / kSlots] + first % kSlots;
    uint8_t* s = seen[first / kSlots];
#pragma GCC unroll 24
    for (int k = 0; k < kPerGroup; ++k) s[p[k]] = 1;
  }
};

// The one engine of every multi-chain back end B: its step, with a hook run
// between the round groups, and its forms of the steps of set_kernels.h.
template <LaneBackend B>
struct LaneEngine {
  static_assert(B != LaneBackend::kNone);
  static constexpr int kLanes = B == LaneBackend::kShaNi  ? lanes::kShaNiLanes
                                : B == LaneBackend::kAvx2 ? lanes::avx2::kLanes
                                                          : lanes::avx512::kLanes;
  template <class Hook>
  static void Step(DigestLanes& io, Hook& hook) {
    if constexpr (B == LaneBackend::kShaNi)
      lanes::StepShaNi(io, hook);
    else if constexpr (B == LaneBackend::kAvx2)
      lanes::avx2::Step(io, hook);
    else
      lanes::avx512::Step(io, hook);
  }
  // Every lane's pieces and windows; the digits only where the pieces are
  // made from them.
  template <int W>
  static void Extract(const DigestLanes& io, LaneDigits* d, LanePieces* p, int* windows) {
    if constexpr (B == LaneBackend::kAvx512)
      set_kernels::ExtractAvx512<W>(io, kLanes, p, windows);
    else
      set_kernels::ExtractSse41<W>(io, kLanes, d, p, windows);
  }
  static int32_t Marked(const uint8_t* seen, int bytes, uint64_t* words) {
    if constexpr (B == LaneBackend::kShaNi)
      return set_kernels::MarkedSse2(seen, bytes, words);
    else if constexpr (B == LaneBackend::kAvx2)
      return set_kernels::MarkedAvx2(seen, bytes, words);
    else
      return set_kernels::MarkedAvx512(seen, bytes, words);
  }
};

// How many numbers of width W `seen` marks, and unless `words` is null,
// which (see MarkedSse2).
template <int W, class Engine>
int32_t Marked(const uint8_t* seen, uint64_t* words) {
  constexpr int kBytes = (detail::Universe(W) + 63) / 64 * 64;
  int32_t count = Engine::Marked(seen, kBytes, words);
  if constexpr (kBytes > static_cast<int>(kNoPiece)) {
    if (words != nullptr) words[kNoPiece / 64] &= ~(uint64_t{1} << (kNoPiece % 64));
    --count;
  }
  return count;
}

// Clears the bytes of the numbers of width W in `seen` (64-byte aligned),
// with plain vector stores: as a memset (which a plain loop becomes), it
// took `rep stos`, slow to start for so few bytes.
template <int W>
__attribute__((target("sse2"))) void ClearNumbers(uint8_t* seen) {
  constexpr int kVectors = (detail::Universe(W) + 15) / 16;
  static_assert(16 * kVectors <= static_cast<int>(kNoPiece), "kNoPiece stays marked");
  __m128i* p = reinterpret_cast<__m128i*>(seen);
#pragma GCC unroll 8
  for (int i = 0; i < kVectors; ++i) {
    _mm_store_si128(p + i, _mm_setzero_si128());
    __asm__("" : : "r"(p + i));  // keeps the loop a loop of stores
  }
}

// Takes the windows of a pass in order; true as soon as the set holds
// `size` numbers.
template <int W>
bool TakeUntilFull(const uint16_t* pieces, int windows, int32_t size, uint8_t* seen,
                   int32_t& count) {
  // Whether a window brings a new number is not predictable: count without
  // a branch.
  for (int i = 0; i < windows; ++i) {
    count += seen[pieces[i]] ^ 1;
    seen[pieces[i]] = 1;
    if (count == size) return true;
  }
  return false;
}

// The message's bytes (the low byte of each code unit), padded to whole
// blocks.
void PadMessage(std::u16string_view message, std::vector<uint8_t>& padded) {
  const size_t length = message.size();
  padded.assign(64 * ((length + 8) / 64 + 1), 0);
  for (size_t i = 0; i < length; ++i) padded[i] = static_cast<uint8_t>(message[i]);
  padded[length] = 0x80;
  const uint64_t bits = static_cast<uint64_t>(length) * 8u;
  for (int i = 0; i < 8; ++i) padded[padded.size() - 1 - i] = static_cast<uint8_t>(bits >> (8 * i));
}

// The sets of BuildSetBatch.
template <int W, class Engine>
class SetJob {
 public:
  SetJob(int32_t size, const std::function<int64_t(std::u16string&)>& next,
         const std::function<void(int64_t, const FlagSet&)>& done)
      : size_(size), next_(next), done_(done) {
    set_.width = W;
    set_.count = size;
  }
  int32_t Limit() const { return size_; }
  int64_t Next(int, std::u16string& seed) { return next_(seed); }
  // Whether a pass's windows can end the build before it reaches the limit.
  bool MayEndEarly(int, const uint16_t*, int) const { return false; }
  // Takes a pass's windows in order; true when the build ends.
  bool Recounts(int) const { return false; }
  bool Walk(int, const LanePieces& pieces, int windows, uint8_t* seen, int32_t& count) {
    return TakeUntilFull<W>(pieces, windows, size_, seen, count);
  }
  void Finish(int, int64_t key, int32_t digests, int32_t compressions, const uint8_t* seen) {
    set_.digests = digests;
    set_.compressions = compressions;
    uint64_t words[16];
    Marked<W, Engine>(seen, words);
    detail::SetFlagsFromWords(words, set_);
    done_(key, set_);
  }

 private:
  int32_t size_;
  const std::function<int64_t(std::u16string&)>& next_;
  const std::function<void(int64_t, const FlagSet&)>& done_;
  FlagSet set_;
};

// The walks of FirstRankBatch.
template <int W, class Engine>
class RankJob {
 public:
  RankJob(int32_t limit, const std::function<int64_t(std::u16string&, const Goal*&)>& next,
          const std::function<void(int64_t, int32_t)>& done)
      : limit_(limit), next_(next), done_(done) {}
  int32_t Limit() const { return limit_; }
  int64_t Next(int l, std::u16string& seed) {
    const int64_t key = next_(seed, goal_[l]);
    // Most walks look for one number, which is then compared with a pass's
    // pieces eight at a time.
    const size_t first = key >= 0 ? goal_[l]->_Find_first() : 1000;
    const bool one = first < 1000 && goal_[l]->_Find_next(first) == 1000;
    target_[l] = one ? static_cast<int32_t>(first) : -1;
    return key;
  }
  bool MayEndEarly(int l, const LanePieces& pieces, int windows) const {
    if (target_[l] >= 0) return set_kernels::HoldsPiece(pieces, static_cast<uint16_t>(target_[l]));
    const Goal& goal = *goal_[l];
    bool any = false;
    for (int i = 0; i < windows; ++i) any |= goal[pieces[i]];
    return any;
  }
  // Whether Walk counts the lane's numbers itself, so that `count` need not
  // be exact when it is called.
  bool Recounts(int l) const { return target_[l] >= 0; }
  bool Walk(int l, const LanePieces& pieces, int windows, uint8_t* seen, int32_t& count) {
    if (target_[l] >= 0) {
      // The one number is new where it first comes (a walk ends there): the
      // windows before it are marked together and then counted, and the
      // limit was met among them exactly when that count reaches it.
      const int at =
          std::min(set_kernels::FirstPiece(pieces, static_cast<uint16_t>(target_[l])), windows);
      for (int i = 0; i < at; ++i) seen[pieces[i]] = 1;
      count = Marked<W, Engine>(seen, nullptr);
      if (count >= limit_) return rank_[l] = 0, true;
      if (at < windows) return rank_[l] = count + 1, true;
      return false;
    }
    const Goal& goal = *goal_[l];
    for (int i = 0; i < windows; ++i) {
      const uint32_t is_new = seen[pieces[i]] ^ 1u;
      seen[pieces[i]] = 1;
      count += static_cast<int32_t>(is_new);
      if (is_new != 0 && goal[pieces[i]]) return rank_[l] = count, true;
      if (count == limit_) return rank_[l] = 0, true;
    }
    return false;
  }
  void Finish(int l, int64_t key, int32_t, int32_t, const uint8_t*) { done_(key, rank_[l]); }

 private:
  int32_t limit_;
  const std::function<int64_t(std::u16string&, const Goal*&)>& next_;
  const std::function<void(int64_t, int32_t)>& done_;
  const Goal* goal_[DigestLanes::kMaxLanes] = {};
  int32_t rank_[DigestLanes::kMaxLanes] = {};
  int32_t target_[DigestLanes::kMaxLanes] = {};  // the one number looked for, or -1
};

// Runs `job`'s chains through the lanes of `Engine` until `job` has no more.
template <int W, class Engine, class Job>
void RunBatch(Job& job) {
  constexpr int L = Engine::kLanes;
  struct Lane {
    int64_t key = -1;   // -1: nothing left for this lane
    int32_t count = 0;  // the numbers met when the lane last counted
    int32_t taken = 0;  // windows taken since
    int32_t digests = 0, compressions = 0;
    size_t block = 0;
    std::vector<uint8_t> padded;
  };
  Lane lane[L];
  DigestLanes io{};
  alignas(64) uint8_t seen[L][1024];
  alignas(64) LanePieces pieces[L];
  alignas(16) LaneDigits digits[L] = {};
  int windows[L];
  DeferredWindows<L> hook{pieces, seen};
  std::u16string seed;
  const int32_t limit = job.Limit();
  // The compressions of the finished chains, counted once as the batch ends
  // (or a callback's exception ends it): one shared addition per chain costs
  // more than it should when several batches run at once.
  struct Tally {
    int64_t compressions = 0;
    ~Tally() { CountCompressions(compressions); }
  } tally;

  // Only the numbers' bytes are ever marked besides kNoPiece's, which stays
  // marked: they alone are cleared between chains, with whole vectors.
  auto clear = [&](int l) { ClearNumbers<W>(seen[l]); };
  // The lane's next chain: its seed's first block goes in with the next step.
  auto start = [&](int l) {
    Lane& ln = lane[l];
    io.block[l] = nullptr;
    ln.key = job.Next(l, seed);
    if (ln.key < 0) return false;
    ln.count = ln.taken = ln.digests = ln.compressions = 0;
    PadMessage(seed, ln.padded);
    ln.block = 0;
    for (int w = 0; w < 8; ++w) io.h[w][l] = kernels::kInitialHash[w];
    io.block[l] = ln.padded.data();
    return true;
  };
  auto count = [&](int l) {
    lane[l].count = Marked<W, Engine>(seen[l], nullptr);
    lane[l].taken = 0;
  };

  int busy = 0;
  for (int l = 0; l < L; ++l) {
    std::memset(seen[l], 0, sizeof seen[l]);
    seen[l][kNoPiece] = 1;
    std::fill_n(pieces[l], kSlots, kNoPiece);
    busy += start(l) ? 1 : 0;
  }
  while (busy > 0) {
    Engine::Step(io, hook);
    // Every lane's pieces, to be taken during the next step; lanes that do
    // not defer their windows replace them by kNoPiece.
    Engine::template Extract<W>(io, digits, pieces, windows);
    // Lanes that are idle or inside a seed's blocks first: a lane whose
    // seed's last block went in has its first pass.
    uint32_t passes = 0, inside = 0;
    for (int l = 0; l < L; ++l) {
      passes |= uint32_t{lane[l].key >= 0} << l;
      inside |= uint32_t{io.block[l] != nullptr} << l;
    }
    for (uint32_t m = ~passes & ((1u << L) - 1); m != 0; m &= m - 1)
      std::fill_n(pieces[std::countr_zero(m)], kSlots, kNoPiece);
    const uint32_t chained = passes & ~inside;  // two compressions, one digest
    for (int l = 0; l < L; ++l) {
      lane[l].compressions += (chained >> l & 1) * 2;
      lane[l].digests += chained >> l & 1;
    }
    for (uint32_t m = passes & inside; m != 0; m &= m - 1) {
      const int l = std::countr_zero(m);
      Lane& ln = lane[l];
      ++ln.compressions;
      if (64 * ++ln.block < ln.padded.size()) {
        io.block[l] = ln.padded.data() + 64 * ln.block;
        std::fill_n(pieces[l], kSlots, kNoPiece);
        passes &= ~(1u << l);
      } else {
        io.block[l] = nullptr, ++ln.digests;
      }
    }
    // Which passes may fill their sets is not predictable: the lanes are
    // sorted by masks first, without a branch each. A job that recounts on
    // its walk walks as soon as the limit may be met.
    uint32_t counts = 0;
    for (int l = 0; l < L; ++l) {
      const Lane& ln = lane[l];
      counts |= uint32_t{!job.Recounts(l) && ln.count + ln.taken + windows[l] >= limit} << l;
    }
    for (uint32_t m = counts & passes; m != 0; m &= m - 1) count(std::countr_zero(m));
    uint32_t walks = 0;
    for (int l = 0; l < L; ++l) {
      const Lane& ln = lane[l];
      walks |= uint32_t{ln.count + ln.taken + windows[l] >= limit} << l;
    }
    for (uint32_t m = passes & ~walks; m != 0; m &= m - 1) {
      const int l = std::countr_zero(m);
      if (job.MayEndEarly(l, pieces[l], windows[l])) walks |= 1u << l;
    }
    for (int l = 0; l < L; ++l) {
      const uint32_t defer = (passes & ~walks) >> l & 1;
      lane[l].taken += static_cast<int32_t>(defer) * windows[l];
      if (windows[l] > kSlots && defer != 0) {
        for (int i = kSlots; i < windows[l]; ++i) seen[l][pieces[l][i]] = 1;
      }
    }
    for (uint32_t m = passes & walks; m != 0; m &= m - 1) {
      const int l = std::countr_zero(m);
      Lane& ln = lane[l];
      if (ln.taken > 0 && !job.Recounts(l)) count(l);
      const bool ended = job.Walk(l, pieces[l], windows[l], seen[l], ln.count);
      ln.taken = 0;
      std::fill_n(pieces[l], kSlots, kNoPiece);
      if (!ended) continue;
      tally.compressions += ln.compressions;
      job.Finish(l, ln.key, ln.digests, ln.compressions, seen[l]);
      clear(l);
      if (!start(l)) --busy;
    }
  }
}

template <template <int, class> class Job, class Engine, class... Args>
void RunJobs(int width, const Args&... args) {
  auto run = [&](auto w) {
    constexpr int kWidth = decltype(w)::value;
    Job<kWidth, Engine> job(args...);
    RunBatch<kWidth, Engine>(job);
  };
  switch (width) {
    case 1:
      return run(std::integral_constant<int, 1>{});
    case 2:
      return run(std::integral_constant<int, 2>{});
    default:
      return run(std::integral_constant<int, 3>{});
  }
}

// Runs the jobs of `Job` on `backend`.
template <template <int, class> class Job, class... Args>
void RunJobsOn(LaneBackend backend, int width, const Args&... args) {
  switch (backend) {
    case LaneBackend::kShaNi:
      return RunJobs<Job, LaneEngine<LaneBackend::kShaNi>>(width, args...);
    case LaneBackend::kAvx2:
      return RunJobs<Job, LaneEngine<LaneBackend::kAvx2>>(width, args...);
    case LaneBackend::kAvx512:
      return RunJobs<Job, LaneEngine<LaneBackend::kAvx512>>(width, args...);
    case LaneBackend::kNone:
      break;
  }
}

#endif  // KELVORA_SHA_X86

}  // namespace

void BuildSetBatch(LaneBackend backend, int width, int32_t size,
                   const std::function<int64_t(std::u16string&)>& next,
                   const std::function<void(int64_t, const FlagSet&)>& done) {
  detail::CheckWidthAndSize(width, size);
#if KELVORA_SHA_X86
  RunJobsOn<SetJob>(backend, width, size, next, done);
#else
  (void)backend, (void)next, (void)done;
#endif
}

void FirstRankBatch(LaneBackend backend, int width, int32_t limit,
                    const std::function<int64_t(std::u16string&, const std::bitset<1000>*&)>& next,
                    const std::function<void(int64_t, int32_t)>& done) {
  detail::CheckWidthAndSize(width, limit);
#if KELVORA_SHA_X86
  RunJobsOn<RankJob>(backend, width, limit, next, done);
#else
  (void)backend, (void)next, (void)done;
#endif
}

}  // namespace kelvora::numbersets
