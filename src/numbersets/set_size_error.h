// The one failure of the set builders.
#pragma once

#include <stdexcept>

namespace kelvora::numbersets {

// A set width outside 1..3, or a size outside 1..10^W. The builders check
// before they compute: nothing is built and no callback is called.
class SetSizeError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

}  // namespace kelvora::numbersets
