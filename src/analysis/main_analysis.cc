#include "analysis/main_analysis.h"

#include "host/error.h"

namespace kelvora::analysis {

// The analysis body is not built yet: it fails clearly.
void Main() { throw CommandError(err::kNotImplemented, "Main is not available yet"); }

}  // namespace kelvora::analysis
