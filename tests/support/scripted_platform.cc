#include "support/scripted_platform.h"

#include "host/error.h"

namespace kelvora::host {

void ScriptedClipboard::SetText(const std::u16string& text) {
  if (fail_writes_) throw CommandError(521, "Can't open Clipboard");
  text_ = text;
}

int32_t ScriptedMessageBox::Show(const std::u16string& text, const std::u16string& caption,
                                 int32_t style) {
  shown_.push_back({text, caption, style});
  if (!answers_.empty()) {
    const int32_t a = answers_.front();
    answers_.pop_front();
    return a;
  }
  const int32_t buttons = style & 0xF;
  return buttons == 4 || buttons == 3 ? 7 : 1;
}

}  // namespace kelvora::host
