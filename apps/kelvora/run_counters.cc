#include "run_counters.h"

#include <cstdlib>
#include <fstream>

#include "numbersets/sha256.h"
#include "xlsx/zip_package.h"

namespace kelvora::tool {

RunCounters::~RunCounters() {
  const char* path = std::getenv("KELVORA_COUNTERS");
  if (path == nullptr || *path == '\0') return;
  const host::xlsx::CodecCounts codec = host::xlsx::CodecCounted();
  std::ofstream out(path, std::ios::trunc);
  out << "{\"inflated_bytes\": " << codec.inflated << ", \"deflated_bytes\": " << codec.deflated
      << ", \"digest_compressions\": " << numbersets::CompressionsCounted() << "}\n";
}

}  // namespace kelvora::tool
