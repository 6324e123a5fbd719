#include "host/host.h"

namespace kelvora::host {

std::u16string TrimSpaces(const std::u16string& text) {
  std::u16string out;
  out.reserve(text.size());
  bool pending_space = false;
  for (char16_t c : text) {
    if (c == u' ') {
      pending_space = !out.empty();
      continue;
    }
    if (pending_space) out.push_back(u' ');
    pending_space = false;
    out.push_back(c);
  }
  return out;
}

}  // namespace kelvora::host
