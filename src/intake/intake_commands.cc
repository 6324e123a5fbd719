#include "intake/intake_commands.h"

#include "host/error.h"

namespace kelvora::intake {

// The intake bodies are not built yet: each fails clearly.
void DanKQXS() { throw CommandError(err::kNotImplemented, "DanKQXS is not available yet"); }
void DanKQXSNgay() { throw CommandError(err::kNotImplemented, "DanKQXSNgay is not available yet"); }
void DanKQXSDB() { throw CommandError(err::kNotImplemented, "DanKQXSDB is not available yet"); }

}  // namespace kelvora::intake
