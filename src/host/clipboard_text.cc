#include "host/clipboard_text.h"

namespace kelvora {

void SetClipboardText(host::Session& session, const std::u16string& text) {
  session.clipboard().SetText(text);
}

std::u16string GetClipboardText(host::Session& session) {
  host::Clipboard* clip = session.platform().clipboard;
  if (clip == nullptr) return {};
  try {
    return clip->GetText();
  } catch (...) {
    return {};
  }
}

}  // namespace kelvora
