// Seeded number sets: a chain of SHA-256 digests turned into a set of
// distinct one-, two- or three-digit numbers. Pure computation: nothing here
// reads the workbook.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvora::numbersets {

// The set texts: the numbers in ascending order, each with exactly W digits,
// joined by "," without blanks. A size outside 1..10^W fails with
// SetSizeError (set_size_error.h); it never loops.
std::u16string BuildDigitSet(std::u16string_view seed, int32_t size);   // W = 1
std::u16string BuildPairSet(std::u16string_view seed, int32_t size);    // W = 2
std::u16string BuildTripleSet(std::u16string_view seed, int32_t size);  // W = 3

// The characters "0" to "9" of `text`, in order.
std::u16string ExtractDigits(std::u16string_view text);
// A comma-joined list of W-digit pieces as a set text.
std::u16string SortDigitList(std::u16string_view list);
std::u16string SortPairList(std::u16string_view list);
std::u16string SortTripleList(std::u16string_view list);

}  // namespace kelvora::numbersets

#include <bitset>
#include <functional>

#include "numbersets/sha256_lanes.h"

namespace kelvora::numbersets {

// The fast form of the builders for callers that build many sets: the same
// set, as a table of 10^W flags, plus what it cost.
struct FlagSet {
  int width = 0;
  int32_t count = 0;         // numbers in the set (= the size asked for)
  int32_t digests = 0;       // digests computed (passes)
  int32_t compressions = 0;  // SHA-256 block compressions those digests ran
  std::bitset<1000> flags;   // flags[n] is set when n is in the set
  // The set text, equal to what BuildDigitSet/BuildPairSet/BuildTripleSet
  // return for the same seed and size.
  std::u16string Text() const;
};

// Builds the set of width 1, 2 or 3 into `out` (cleared first). A size
// outside 1..10^W fails like the builders.
void BuildSetFlags(int width, std::u16string_view seed, int32_t size, FlagSet& out);

// What a batch computes: sets (BuildSetBatch) or walks (FirstRankBatch).
enum class BatchWork { kSets, kWalks };

// The multi-chain back end for batches of `work`: among those this processor
// offers, the one that ran a short trial batch of that work fastest, measured
// once at its first use; kNone when there is none. The trial runs the
// batch rather than a bare step: a back end with fewer lanes does more of
// the batch's work per chain, which a step alone does not show. Its
// compressions are not counted (sha256.h). Call it before starting threads
// that use it.
LaneBackend CurrentLaneBackend(BatchWork work = BatchWork::kSets);
// Forces a back end for every kind of batch, or kNone (not thread-safe; for
// tests and benchmarks). Returns false and changes nothing when `backend` is
// not available.
bool SetLaneBackend(LaneBackend backend);

// Builds many sets of one width and size at once on the multi-chain digest
// back end `backend` (sha256_lanes.h; available, not kNone), several seeds'
// chains advanced together. Each call of `next` names the next set to build:
// it writes the set's seed into its argument and returns the set's key, a
// number of the caller's choice, or a negative number when there are no
// more. `done` receives each set with the key `next` gave it, as soon as the
// set is complete, in no particular order; the set and its counts equal what
// BuildSetFlags gives for the same seed and size, and the reference is valid
// during the call only. Both callbacks run on the calling thread; an
// exception they throw ends the batch and reaches the caller. A width or
// size outside 1..10^W fails like the builders before any callback runs.
void BuildSetBatch(LaneBackend backend, int width, int32_t size,
                   const std::function<int64_t(std::u16string& seed)>& next,
                   const std::function<void(int64_t key, const FlagSet& set)>& done);

// The sets of one seed are nested: the set of size N is the first N distinct
// numbers of the seed's chain, in the order the builders meet them. The rank
// of a number is its place in that order (1 for the first).
//
// Walks the chain of `seed` as the builders of width 1, 2 or 3 do and returns
// the rank of the first number that is in `goal`; 0 when none is among the
// first `limit` distinct numbers. So the set of size N holds a number of
// `goal` exactly when the rank is between 1 and N (N <= limit). The walk
// stops at that number. `digests`, when given, receives the digests
// computed. A limit outside 1..10^W fails like the builders.
int32_t FirstRankIn(int width, std::u16string_view seed, int32_t limit,
                    const std::bitset<1000>& goal, int32_t* digests = nullptr);
// The same for the one number `number` (0..10^W - 1).
int32_t RankOf(int width, std::u16string_view seed, int32_t limit, int32_t number,
               int32_t* digests = nullptr);

// FirstRankIn for many seeds at once on the multi-chain back end `backend`
// (available, not kNone), as BuildSetBatch builds sets: each call of `next`
// writes the next walk's seed into its first argument, points its second at
// the numbers looked for (which must stay as they are until `done` has the
// walk's rank) and returns the walk's key, or a negative number when there
// are no more; `done` receives each walk's key and the rank FirstRankIn gives
// for its seed, `limit` and goal. A limit outside 1..10^W fails like
// FirstRankIn before any callback runs.
void FirstRankBatch(
    LaneBackend backend, int width, int32_t limit,
    const std::function<int64_t(std::u16string& seed, const std::bitset<1000>*& goal)>& next,
    const std::function<void(int64_t key, int32_t rank)>& done);

}  // namespace kelvora::numbersets
