// The error number of a failing call, for the tables of failure cases.
#pragma once

#include <functional>

#include "host/error.h"

namespace kelvora::testing {

// The number of the CommandError that `call` throws; 0 when it returns.
inline int ErrorNumberOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const CommandError& e) {
    return e.number();
  }
  return 0;
}

}  // namespace kelvora::testing
