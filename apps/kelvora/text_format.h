// A line of the tool's own with values in it: a printf format (a whole
// sentence, passed through _() so that a translation may reorder its values
// with %1$s, %2$d ...) filled in.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

namespace kelvora::tool {

inline std::string Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(out.data(), out.size() + 1, format, again);
  va_end(again);
  return out;
}

}  // namespace kelvora::tool
