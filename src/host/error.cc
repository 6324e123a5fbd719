#include "host/error.h"

namespace kelvora {

void ThrowOverflow() { throw CommandError(err::kOverflow, "Overflow"); }
void ThrowSubscriptOutOfRange() {
  throw CommandError(err::kSubscriptOutOfRange, "Subscript out of range");
}
void ThrowTypeMismatch() { throw CommandError(err::kTypeMismatch, "Type mismatch"); }
void ThrowObjectRequired(const char* what) {
  throw CommandError(err::kObjectRequired,
                     std::string("Object variable or With block variable not set (") + what + ")");
}
void ThrowInvalidProcedureCall() {
  throw CommandError(err::kInvalidProcedureCall, "Invalid procedure call or argument");
}
void ThrowHostRefused(const std::string& description) {
  throw CommandError(err::kHostRefused, description);
}

}  // namespace kelvora
