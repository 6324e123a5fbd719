#include "analysis/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

namespace kelvora::analysis {

namespace {

int DefaultThreads() {
  if (const char* env = std::getenv("KELVORA_THREADS"); env != nullptr && *env != '\0') {
    char* end = nullptr;
    const long v = std::strtol(env, &end, 10);
    if (*end == '\0' && v > 0) return static_cast<int>(std::min<long>(v, kMaxAnalysisThreads));
  }
  const unsigned hw = std::thread::hardware_concurrency();
  return hw == 0 ? 1 : static_cast<int>(std::min<unsigned>(hw, kMaxAnalysisThreads));
}

}  // namespace

int ResolveAnalysisThreads(int requested) {
  return requested > 0 ? std::min(requested, kMaxAnalysisThreads) : DefaultThreads();
}

void ParallelFor(int64_t count, int64_t chunk, int threads,
                 const std::function<void(int64_t, int64_t, int)>& fn) {
  if (count <= 0) return;
  chunk = std::max<int64_t>(chunk, 1);
  const int64_t chunks = (count + chunk - 1) / chunk;
  const int workers = static_cast<int>(std::clamp<int64_t>(threads, 1, chunks));

  std::atomic<int64_t> next{0};
  std::atomic<int64_t> first_failed{std::numeric_limits<int64_t>::max()};
  std::mutex failure_mutex;
  std::exception_ptr failure;

  auto run = [&](int worker) {
    for (;;) {
      const int64_t c = next.fetch_add(1, std::memory_order_relaxed);
      // Chunks are handed out in increasing order, so once one is past the
      // end or past a failure, every later one is too.
      if (c >= chunks || c > first_failed.load(std::memory_order_relaxed)) return;
      const int64_t begin = c * chunk;
      const int64_t end = std::min(count, begin + chunk);
      try {
        fn(begin, end, worker);
      } catch (...) {
        std::lock_guard<std::mutex> lock(failure_mutex);
        if (c < first_failed.load(std::memory_order_relaxed)) {
          first_failed.store(c, std::memory_order_relaxed);
          failure = std::current_exception();
        }
      }
    }
  };

  std::vector<std::thread> pool;
  pool.reserve(static_cast<size_t>(workers - 1));
  try {
    for (int w = 1; w < workers; ++w) pool.emplace_back(run, w);
  } catch (...) {
    // No more threads to be had: the ones started and this one finish the work.
  }
  run(0);
  for (auto& t : pool) t.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace kelvora::analysis
