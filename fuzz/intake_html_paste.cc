// Clipboard HTML into the paste grid and the browser's text copy.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "host/memory/html_text.h"
#include "host/memory/memory_workbook.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view html(reinterpret_cast<const char*>(data), size);
  if (auto grid = kelvora::host::memory::ConvertClipboardHtml(html)) {
    if (grid->rows() < 1 || grid->cols() < 1 || grid->rows() > kelvora::host::memory::kMaxRows ||
        grid->cols() > kelvora::host::memory::kMaxCols) {
      __builtin_trap();
    }
  }
  const std::u16string text = kelvora::host::memory::HtmlToClipboardText(html);
  (void)text;
  return 0;
}
