// Digest rate of the two compression back ends beside OpenSSL's one-shot
// SHA256() and of the multi-chain back ends, and the cost of the set
// builders, one set at a time and in batches, beside the digests they need.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/sha.h>

#include <bitset>
#include <string>
#include <vector>

#include "numbersets/number_sets.h"
#include "numbersets/sha256.h"
#include "numbersets/sha256_internal.h"
#include "numbersets/sha256_lanes.h"
#include "text/utf.h"

namespace kelvora::numbersets {
namespace {

// Selects the back end named by the benchmark's first argument (0 portable,
// 1 SHA extensions) and restores the previous one.
class BackendScope {
 public:
  explicit BackendScope(benchmark::State& state) : saved_(CurrentSha256Backend()) {
    const auto wanted = state.range(0) ? Sha256Backend::kShaNi : Sha256Backend::kPortable;
    ok_ = SetSha256Backend(wanted);
    state.SetLabel(state.range(0) ? "sha-ni" : "portable");
    if (!ok_) state.SkipWithError("back end not available on this processor");
  }
  ~BackendScope() { SetSha256Backend(saved_); }
  bool ok() const { return ok_; }

 private:
  Sha256Backend saved_;
  bool ok_ = false;
};

const std::u16string& DigestText() {
  static const std::u16string text = CSHA256().DigestHex(u"pp1123456789TienTam");
  return text;
}

void BM_DigestHex64(benchmark::State& state) {
  BackendScope scope(state);
  if (!scope.ok()) return;
  const CSHA256 sha;
  const std::u16string& text = DigestText();
  for (auto _ : state) benchmark::DoNotOptimize(sha.DigestHex(text));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DigestHex64)->Arg(0)->Arg(1);

void BM_OpenSslSha256_64(benchmark::State& state) {
  const std::u16string& text = DigestText();
  const std::string bytes(text.begin(), text.end());
  unsigned char md[SHA256_DIGEST_LENGTH];
  for (auto _ : state) {
    SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), md);
    benchmark::DoNotOptimize(md);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OpenSslSha256_64);

// OpenSSL without its per-call set-up: one fetched algorithm and one reused
// context, i.e. the rate of its own compression code and padding.
void BM_OpenSslEvpReused_64(benchmark::State& state) {
  const std::u16string& text = DigestText();
  const std::string bytes(text.begin(), text.end());
  EVP_MD* md = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  for (auto _ : state) {
    EVP_DigestInit_ex2(ctx, md, nullptr);
    EVP_DigestUpdate(ctx, bytes.data(), bytes.size());
    EVP_DigestFinal_ex(ctx, out, &length);
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  EVP_MD_CTX_free(ctx);
  EVP_MD_free(md);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OpenSslEvpReused_64);

// The multi-chain back end a benchmark's argument names (1 SHA extensions,
// 2 AVX2, 3 AVX-512), its name set as the benchmark's label.
LaneBackend LabelledBackend(benchmark::State& state) {
  const auto backend = static_cast<LaneBackend>(state.range(0));
  state.SetLabel(backend == LaneBackend::kShaNi  ? "sha-ni"
                 : backend == LaneBackend::kAvx2 ? "avx2"
                                                 : "avx-512");
  return backend;
}

// One step of every chain of a multi-chain back end (argument: 1 SHA
// extensions, 2 AVX2, 3 AVX-512); items are chain steps, each the digest of a
// 64-character digest text, as DigestHex64 computes one.
void BM_DigestLanes(benchmark::State& state) {
  const LaneBackend backend = LabelledBackend(state);
  if (!LaneBackendAvailable(backend)) return state.SkipWithError("not on this processor");
  DigestLanes lanes{};
  for (auto& b : lanes.block) b = nullptr;
  for (auto _ : state) {
    StepLanes(backend, lanes);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * LaneCount(backend));
}
BENCHMARK(BM_DigestLanes)->Arg(1)->Arg(2)->Arg(3);

// Seeds shaped like the analysis's: method, draw number, result, suffix.
std::vector<std::u16string> Seeds(const char* suffix) {
  std::vector<std::u16string> seeds;
  for (int i = 0; i < 256; ++i) {
    seeds.push_back(Utf8ToUtf16("pp" + std::to_string(1 + i % 3) + std::to_string(24000 + i) +
                                std::to_string((i * 7919) % 100000) + suffix));
  }
  return seeds;
}

struct Workload {
  int width;
  int32_t size;
  const char* suffix;
};
constexpr Workload kTriple520{3, 520, "TienTam"};
constexpr Workload kPair65{2, 65, "TienNhi"};

void BuildSets(benchmark::State& state, Workload w) {
  BackendScope scope(state);
  if (!scope.ok()) return;
  const std::vector<std::u16string> seeds = Seeds(w.suffix);
  size_t i = 0;
  for (auto _ : state) {
    const std::u16string& seed = seeds[i++ % seeds.size()];
    benchmark::DoNotOptimize(w.width == 3 ? BuildTripleSet(seed, w.size)
                                          : BuildPairSet(seed, w.size));
  }
  state.SetItemsProcessed(state.iterations());
}

void BuildFlagSets(benchmark::State& state, Workload w) {
  BackendScope scope(state);
  if (!scope.ok()) return;
  const std::vector<std::u16string> seeds = Seeds(w.suffix);
  FlagSet set;
  size_t i = 0;
  for (auto _ : state) {
    BuildSetFlags(w.width, seeds[i++ % seeds.size()], w.size, set);
    benchmark::DoNotOptimize(set);
  }
  state.SetItemsProcessed(state.iterations());
}

// The digest chains alone: for each seed exactly the digests its set needs
// (the seed's, then each 64-character digest text's), nothing else.
void DigestsOfSets(benchmark::State& state, Workload w) {
  BackendScope scope(state);
  if (!scope.ok()) return;
  const std::vector<std::u16string> seeds = Seeds(w.suffix);
  std::vector<int32_t> passes;
  int64_t total = 0;
  for (const std::u16string& seed : seeds) {
    FlagSet set;
    BuildSetFlags(w.width, seed, w.size, set);
    passes.push_back(set.digests);
    total += set.digests;
  }
  const Sha256Backend backend = CurrentSha256Backend();
  size_t i = 0;
  for (auto _ : state) {
    const size_t k = i++ % seeds.size();
    uint32_t h[8];
    alignas(16) uint8_t hex[64];
    detail::DigestWords(backend, seeds[k], h);
    detail::WordsToHex(h, hex);
    for (int32_t p = 1; p < passes[k]; ++p) detail::DigestHexOf64(backend, hex, hex);
    benchmark::DoNotOptimize(hex);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["digests_per_set"] =
      static_cast<double>(total) / static_cast<double>(seeds.size());
}

// The same sets built in batches on a multi-chain back end (argument: 1 SHA
// extensions, 2 AVX2, 3 AVX-512); items are sets.
void BatchSets(benchmark::State& state, Workload w) {
  const LaneBackend backend = LabelledBackend(state);
  if (!LaneBackendAvailable(backend)) return state.SkipWithError("not on this processor");
  const std::vector<std::u16string> seeds = Seeds(w.suffix);
  int64_t built = 0;
  for (auto _ : state) {
    size_t i = 0;
    BuildSetBatch(
        backend, w.width, w.size,
        [&](std::u16string& seed) -> int64_t {
          if (i == seeds.size()) return -1;
          seed = seeds[i];
          return static_cast<int64_t>(i++);
        },
        [&](int64_t, const FlagSet& set) { built += set.count > 0 ? 1 : 0; });
  }
  state.SetItemsProcessed(built);
}

// The walks of the size sweep in batches (argument as for BatchSets): for
// each seed, the rank of one number among the first 520 of width 3; items
// are walks.
void BM_RankBatch(benchmark::State& state) {
  const LaneBackend backend = LabelledBackend(state);
  if (!LaneBackendAvailable(backend)) return state.SkipWithError("not on this processor");
  const std::vector<std::u16string> seeds = Seeds("TienTam");
  std::vector<std::bitset<1000>> goals(seeds.size());
  for (size_t i = 0; i < goals.size(); ++i) goals[i][(i * 7919) % 1000] = true;
  int64_t walks = 0, ranked = 0;
  for (auto _ : state) {
    size_t i = 0;
    FirstRankBatch(
        backend, 3, 520,
        [&](std::u16string& seed, const std::bitset<1000>*& goal) -> int64_t {
          if (i == seeds.size()) return -1;
          seed = seeds[i];
          goal = &goals[i];
          return static_cast<int64_t>(i++);
        },
        [&](int64_t, int32_t rank) { ++walks, ranked += rank > 0 ? 1 : 0; });
  }
  state.SetItemsProcessed(walks);
  state.counters["found"] = static_cast<double>(ranked) / static_cast<double>(walks);
}
BENCHMARK(BM_RankBatch)->Arg(1)->Arg(2)->Arg(3);

BENCHMARK_CAPTURE(BatchSets, triple520, kTriple520)->Arg(1)->Arg(2)->Arg(3);
BENCHMARK_CAPTURE(BatchSets, pair65, kPair65)->Arg(1)->Arg(2)->Arg(3);
BENCHMARK_CAPTURE(BuildSets, triple520, kTriple520)->Arg(0)->Arg(1);
BENCHMARK_CAPTURE(BuildFlagSets, triple520, kTriple520)->Arg(0)->Arg(1);
BENCHMARK_CAPTURE(DigestsOfSets, triple520, kTriple520)->Arg(0)->Arg(1);
BENCHMARK_CAPTURE(BuildSets, pair65, kPair65)->Arg(0)->Arg(1);
BENCHMARK_CAPTURE(BuildFlagSets, pair65, kPair65)->Arg(0)->Arg(1);
BENCHMARK_CAPTURE(DigestsOfSets, pair65, kPair65)->Arg(0)->Arg(1);

}  // namespace
}  // namespace kelvora::numbersets
