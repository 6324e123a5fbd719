// Clipboard HTML into the paste grid and the browser's text copy.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "host/cell_ref.h"
#include "html/html_paste.h"
#include "html/html_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view html(reinterpret_cast<const char*>(data), size);
  if (auto grid = kelvora::html::ConvertClipboardHtml(html)) {
    if (grid->rows() < 1 || grid->cols() < 1 || grid->rows() > kelvora::host::kMaxRows ||
        grid->cols() > kelvora::host::kMaxCols) {
      __builtin_trap();
    }
  }
  const std::u16string text = kelvora::html::HtmlToClipboardText(html);
  (void)text;
  return 0;
}
