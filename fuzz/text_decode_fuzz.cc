// The decoding of text files handed to the tool (--clipboard): UTF-8, or
// UTF-16 with a byte-order mark. What it accepts is exact text: written back
// as UTF-8 and read again it is the same, and without a UTF-16 mark it is
// what the lenient decoder makes of the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/utf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvora;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto text = DecodeTextFile(bytes);
  if (!text) return 0;
  // A mark of its own keeps a leading U+FEFF of the text as text.
  if (DecodeTextFile("\xEF\xBB\xBF" + Utf16ToUtf8(*text)) != text) __builtin_trap();
  if (!bytes.starts_with("\xFF\xFE") && !bytes.starts_with("\xFE\xFF")) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    if (Utf8ToUtf16(bytes) != *text) __builtin_trap();
  }
  return 0;
}
