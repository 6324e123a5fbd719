// A small pool of worker threads for the per-draw work of the analysis. Only
// pure computation runs on the workers; every host call stays on the thread
// that runs the command.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <system_error>

namespace kelvora::analysis {

// The number of threads the analysis uses when asked for `requested`:
// `requested` when it is above 0, else the environment variable
// KELVORA_THREADS when it holds a positive whole number, else the machine's
// hardware threads (at least 1). Never more than kMaxAnalysisThreads.
inline constexpr int kMaxAnalysisThreads = 256;
int ResolveAnalysisThreads(int requested);

// Splits [0, count) into chunks of `chunk` items (the last may be shorter)
// and runs fn(begin, end, worker) for each chunk on up to `threads` threads,
// the calling thread included; `worker` is in [0, threads) and no two calls
// with the same worker run at the same time. Returns when every chunk has
// run. When chunks throw, the chunks after the first failing one may be
// skipped, and the exception of the lowest failing chunk is rethrown on the
// calling thread, so which failure is reported does not depend on timing.
void ParallelFor(int64_t count, int64_t chunk, int threads,
                 const std::function<void(int64_t begin, int64_t end, int worker)>& fn);

// Runs fn(args...) on a thread of its own; when no thread can be had, it
// runs on the thread that takes its result, when it is taken.
template <class Fn, class... Args>
auto StartTask(const Fn& fn, const Args&... args) {
  try {
    return std::async(std::launch::async, fn, args...);
  } catch (const std::system_error&) {
    return std::async(std::launch::deferred, fn, args...);
  }
}

// Deals the tasks [0, count) to workers `take` at a time, so that workers
// whose work ends early take more. Each worker keeps a Claim of its own.
class TaskDealer {
 public:
  struct Claim {
    int64_t next = 0, end = 0;
  };
  TaskDealer(int64_t count, int64_t take) : count_(count), take_(take) {}
  // The next task of `claim`, claiming a new run when it is used up; -1 when
  // every task has been dealt.
  int64_t Next(Claim& claim) {
    if (claim.next == claim.end) {
      claim.next = next_.fetch_add(take_, std::memory_order_relaxed);
      claim.end = std::min(count_, claim.next + take_);
      if (claim.next >= claim.end) {
        claim.next = claim.end;
        return -1;
      }
    }
    return claim.next++;
  }

 private:
  std::atomic<int64_t> next_{0};
  int64_t count_, take_;
};

}  // namespace kelvora::analysis
