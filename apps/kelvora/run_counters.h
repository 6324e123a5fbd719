// The work a run did, for the benchmarks: when the environment variable
// KELVORA_COUNTERS names a file, the run writes to it at its end, as one JSON
// object, the bytes it inflated and deflated and the digest compressions it
// counted. Nothing is written otherwise.
#pragma once

namespace kelvora::tool {

class RunCounters {
 public:
  RunCounters() = default;
  ~RunCounters();
  RunCounters(const RunCounters&) = delete;
  RunCounters& operator=(const RunCounters&) = delete;
};

}  // namespace kelvora::tool
