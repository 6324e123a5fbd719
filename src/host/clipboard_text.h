// Plain text to and from the session's clipboard.
#pragma once

#include <string>

#include "host/session.h"

namespace kelvora {

// Replaces everything on the clipboard by `text`. Fails (CommandError) when
// the clipboard cannot be opened or written, or the session has none.
void SetClipboardText(host::Session& session, const std::u16string& text);

// The clipboard's Unicode text exactly as it stands (line breaks included,
// nothing trimmed); an empty text on every problem, a missing clipboard
// included. Never fails.
std::u16string GetClipboardText(host::Session& session);

}  // namespace kelvora
