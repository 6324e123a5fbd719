#include "text/clipboard.h"

#include "host/error.h"
#include "host/platform.h"

namespace kelvora {

void SetClipboardText(const std::u16string& text) {
  host::Clipboard* clip = host::CurrentPlatform().clipboard;
  if (clip == nullptr) ThrowObjectRequired("clipboard");
  clip->SetText(text);
}

std::u16string GetClipboardText() {
  host::Clipboard* clip = host::CurrentPlatform().clipboard;
  if (clip == nullptr) return {};
  try {
    return clip->GetText();
  } catch (...) {
    return {};
  }
}

}  // namespace kelvora
