// Main on the in-memory host with a 65000-draw store: stage 1 on kind row 5,
// stage 2 on kind row 3, sets of 520, window 65000. Beside it, the floor of
// that run: the digest compressions it needs times the time of one
// compression with the SHA extensions (one stream), spread over the threads
// of the run (at most the machine's cores).
// Counters of BM_Main: floor_s (that floor), ratio (run time / floor),
// compressions (per run), cpu_s (process CPU time per run), cpu_ratio
// (cpu_s / the compressions' time on one core), which other load on the
// machine disturbs less than the run time, and load1 (the machine's load
// average over the last minute, as the run ends).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include <time.h>

#include "analysis/backtest.h"
#include "analysis/chance.h"
#include "analysis/chance_report.h"
#include "analysis/gan.h"
#include "analysis/main_analysis.h"
#include "analysis/size_sweep.h"
#include "analysis/worker_pool.h"
#include "book/workbook_template.h"
#include "host/layout.h"
#include "memory/memory_workbook.h"
#include "numbersets/number_sets.h"
#include "numbersets/sha256.h"
#include "numbersets/sha256_lanes.h"
#include "support/bound_workbook.h"
#include "text/utf.h"

namespace kelvora {
namespace {

using host::Value;

constexpr int kDraws = 65000;

// The bound template workbook with a full store and both parameter blocks
// set for the run.
struct Workbook : testing::BoundWorkbook {
  Workbook() {
    auto& m = main();
    auto put = [&](layout::Cell c, Value v) { m.PutValue(c.row, c.col, std::move(v)); };
    uint32_t x = 2024;
    for (int i = 0; i < kDraws; ++i) {
      x = x * 1664525u + 1013904223u;
      char buf[8];
      std::snprintf(buf, sizeof buf, "%05u", (x >> 7) % 100000u);
      m.PutValue(layout::kStoreFirstRow + i, layout::kStoreDrawCol, Value(100000 - i));
      m.PutValue(layout::kStoreFirstRow + i, layout::kStoreResultCol, Value(Ascii(buf)));
    }
    put(layout::kStoreCount, Value(kDraws));
    put(layout::kStage1.kind, Value(Utf8ToUtf16(kTemplateKindNames[4])));  // kind row 5
    put(layout::kStage1.size, Value(520));
    put(layout::kStage1.window, Value(kDraws));
    put(layout::kSecondStageSwitch, Value(u"ON"));
    put(layout::kStage2.kind, Value(Utf8ToUtf16(kTemplateKindNames[2])));  // kind row 3
    put(layout::kStage2.size, Value(520));
    put(layout::kStage2.window, Value(kDraws));
  }
  host::Table Store() { return main().GetRange(layout::A1(layout::kStore))->GetValues(); }
};

Workbook& Shared() {
  static Workbook* w = new Workbook();
  return *w;
}

// CPU time of the calling thread, or of the whole process.
double CpuSeconds(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Seconds per compression with the SHA extensions (the portable back end
// where the processor has none), over a few million blocks, as the thread's
// CPU time, so that other load on the machine does not inflate it.
double CompressionSeconds() {
  static const double seconds = [] {
    if (numbersets::ShaNiAvailable())
      numbersets::SetSha256Backend(numbersets::Sha256Backend::kShaNi);
    uint32_t state[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                         0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    uint8_t block[64] = {};
    const int kBlocks = 4'000'000;
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
      const double t0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
      for (int i = 0; i < kBlocks; ++i) {
        block[0] = static_cast<uint8_t>(state[0]);  // a dependency chain, as in a digest chain
        numbersets::Sha256Compress(state, block);
      }
      best = std::min(best, (CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - t0) / kBlocks);
    }
    benchmark::DoNotOptimize(state);
    return best;
  }();
  return seconds;
}

// The compressions of one Main run: both stages' sets, counted by the engine.
int64_t RunCompressions() {
  static const int64_t total = [] {
    Workbook& w = Shared();
    const host::Table block = w.Store();
    analysis::BacktestCost cost;
    analysis::AnalysisParameters p1{Utf8ToUtf16(kTemplateKindNames[4]), 520, u"", kDraws};
    analysis::AnalysisParameters p2{Utf8ToUtf16(kTemplateKindNames[2]), 520, u"", kDraws};
    analysis::BacktestMethods(block, kDraws - 1, p1, 5, 0, &cost);
    analysis::BacktestMethods(block, kDraws - 1, p2, 3, 0, &cost);
    return cost.compressions;
  }();
  return total;
}

void BM_Sha256Compress(benchmark::State& state) {
  if (numbersets::ShaNiAvailable()) numbersets::SetSha256Backend(numbersets::Sha256Backend::kShaNi);
  uint32_t h[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  uint8_t block[64] = {};
  for (auto _ : state) {
    block[0] = static_cast<uint8_t>(h[0]);
    numbersets::Sha256Compress(h, block);
  }
  benchmark::DoNotOptimize(h);
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(numbersets::CurrentSha256Backend() == numbersets::Sha256Backend::kShaNi
                     ? "sha-ni"
                     : "portable");
}
BENCHMARK(BM_Sha256Compress);

// The engine alone on the same block and parameters, without the host's
// reads and writes. Argument: worker threads (0: the default).
void BM_BacktestBothStages(benchmark::State& state) {
  Workbook& w = Shared();
  const host::Table block = w.Store();
  const analysis::AnalysisParameters p1{Utf8ToUtf16(kTemplateKindNames[4]), 520, u"", kDraws};
  const analysis::AnalysisParameters p2{Utf8ToUtf16(kTemplateKindNames[2]), 520, u"", kDraws};
  const int threads = static_cast<int>(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(analysis::BacktestMethods(block, kDraws - 1, p1, 5, threads));
    benchmark::DoNotOptimize(analysis::BacktestMethods(block, kDraws - 1, p2, 3, threads));
  }
}
BENCHMARK(BM_BacktestBothStages)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

// Arguments: worker threads; the set builders' multi-chain back end (-1: the
// one picked for this processor, 0: none, one set at a time with the
// one-stream back end, 1: SHA extensions, 2: AVX2, 3: AVX-512).
void BM_Main(benchmark::State& state) {
  const double compress = CompressionSeconds();
  const int64_t compressions = RunCompressions();
  Workbook& w = Shared();
  const numbersets::LaneBackend picked = numbersets::CurrentLaneBackend();
  if (state.range(1) >= 0 &&
      !numbersets::SetLaneBackend(static_cast<numbersets::LaneBackend>(state.range(1)))) {
    return state.SkipWithError("back end not on this processor");
  }
  state.SetLabel(numbersets::CurrentLaneBackend() == numbersets::LaneBackend::kNone ? "one-stream"
                 : numbersets::CurrentLaneBackend() == numbersets::LaneBackend::kShaNi ? "sha-ni"
                 : numbersets::CurrentLaneBackend() == numbersets::LaneBackend::kAvx2  ? "avx2"
                                                                                       : "avx-512");
  w.workers = static_cast<int>(state.range(0));
  const int threads = analysis::ResolveAnalysisThreads(w.workers);
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  double total = 0;
  const double cpu0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    w.Run(analysis::Main);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  const double cpu = (CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0) / state.iterations();
  w.workers = 0;
  numbersets::SetLaneBackend(picked);
  const double floor = static_cast<double>(compressions) * compress / std::min(threads, cores);
  const double mean = total / static_cast<double>(state.iterations());
  state.counters["threads"] = threads;
  state.counters["compressions"] = static_cast<double>(compressions);
  state.counters["compress_ns"] = compress * 1e9;
  state.counters["floor_s"] = floor;
  state.counters["ratio"] = mean / floor;
  // The work of a run on all threads beside the compressions it needs: the
  // ratio a machine with no other load would reach with perfect scaling.
  state.counters["cpu_s"] = cpu;
  state.counters["cpu_ratio"] = cpu / (static_cast<double>(compressions) * compress);
  double load[1] = {0};
  if (getloadavg(load, 1) == 1) state.counters["load1"] = load[0];
}
BENCHMARK(BM_Main)
    ->Args({2, -1})
    ->Args({1, -1})
    ->Args({2, 0})
    ->Args({2, 1})
    ->Args({2, 2})
    ->Args({2, 3})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

// The peers of the size sweep on the same store: one stage's backtest at
// size 520 (kind row 5, window 65000), and the sweep of every size 1..520 of
// that kind. Argument: worker threads (0: the default).
void BM_OneStageAt520(benchmark::State& state) {
  const host::Table block = Shared().Store();
  const analysis::AnalysisParameters p{Utf8ToUtf16(kTemplateKindNames[4]), 520, u"", kDraws};
  const int threads = static_cast<int>(state.range(0));
  for (auto _ : state)
    benchmark::DoNotOptimize(analysis::BacktestMethods(block, kDraws - 1, p, 5, threads));
}
BENCHMARK(BM_OneStageAt520)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_SweepEverySize(benchmark::State& state) {
  const host::Table block = Shared().Store();
  const analysis::AnalysisParameters p{Utf8ToUtf16(kTemplateKindNames[4]), 520, u"", kDraws};
  const int threads = static_cast<int>(state.range(0));
  for (auto _ : state)
    benchmark::DoNotOptimize(analysis::HitsAtEverySize(block, kDraws - 1, p, 5, 520, threads));
}
BENCHMARK(BM_SweepEverySize)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Gans, frequencies and digit tables of the 65000 stored draws, with every
// chance figure (target: under 50 ms).
void BM_Gan(benchmark::State& state) {
  const host::Table block = Shared().Store();
  for (auto _ : state) benchmark::DoNotOptimize(analysis::AssessGan(block, 100));
}
BENCHMARK(BM_Gan)->Unit(benchmark::kMillisecond);

// The workbook analysed once by Main, for the benchmarks that read its
// outputs.
Workbook& Analysed() {
  static Workbook& w = []() -> Workbook& {
    Workbook& s = Shared();
    if (s.main().cell(layout::kStage1.table.row, layout::kStage1.table.col).value.IsEmpty())
      s.Run(analysis::Main);
    return s;
  }();
  return w;
}

// The chance statistics of six methods at n = 64999 alone: the binomial
// test, the interval, both run tails and the Holm adjustment.
void BM_ChanceStatistics(benchmark::State& state) {
  const analysis::ChanceReport report = [] {
    host::Session s = Analysed().NewSession();
    return analysis::AssessAgainstChance(analysis::ReadBook(s));
  }();
  if (report.methods_tested != 6) state.SkipWithError("the stages are not current");
  for (auto _ : state) {
    std::vector<double> p;
    for (const auto& stage : report.stages) {
      for (const auto& m : stage.methods) {
        const int64_t longest = 40;  // the tail costs the same for every run length
        p.push_back(analysis::BinomialTwoSidedP(m.hits, m.tested, m.chance_rate));
        benchmark::DoNotOptimize(analysis::WilsonInterval95(m.hits, m.tested));
        benchmark::DoNotOptimize(
            analysis::LongestMissRunTail(m.tested, m.chance_rate, longest, true));
        benchmark::DoNotOptimize(analysis::MissRunTail(3, m.chance_rate));
      }
    }
    benchmark::DoNotOptimize(analysis::HolmAdjust(p));
  }
}
BENCHMARK(BM_ChanceStatistics)->Unit(benchmark::kMillisecond);

// The whole assessment as show runs it: the store, parameters and tables
// read from the workbook, the stages matched to them, the statistics.
void BM_AssessAgainstChance(benchmark::State& state) {
  Workbook& w = Analysed();
  for (auto _ : state) {
    host::Session s = w.NewSession();
    benchmark::DoNotOptimize(analysis::AssessAgainstChance(analysis::ReadBook(s)));
  }
}
BENCHMARK(BM_AssessAgainstChance)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvora

BENCHMARK_MAIN();
