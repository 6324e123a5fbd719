// Plain text to and from the clipboard.
#pragma once

#include <string>

namespace kelvora {

// Replaces everything on the clipboard by `text`. Fails (CommandError) when
// the clipboard cannot be opened or written.
void SetClipboardText(const std::u16string& text);

// The clipboard's Unicode text exactly as it stands (line breaks included,
// nothing trimmed); an empty text on every problem. Never fails.
std::u16string GetClipboardText();

}  // namespace kelvora
