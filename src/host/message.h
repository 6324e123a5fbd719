// The one way the engine talks to the user: a message box, shown through the
// session's platform.
#pragma once

#include <cstdint>
#include <string>

#include "host/session.h"

namespace kelvora {

// Button codes a message box returns.
inline constexpr int32_t kIdOk = 1;
inline constexpr int32_t kIdYes = 6;
inline constexpr int32_t kIdNo = 7;
// Message-box flags the engine passes.
inline constexpr int32_t kMbYesNo = 4;
inline constexpr int32_t kMbIconError = 16;
inline constexpr int32_t kMbIconInformation = 64;
inline constexpr int32_t kMbSystemModal = 4096;

// The title every message of the engine carries, as stored.
inline constexpr char16_t kMessageTitle[] = u"Thoong Baso";

// Shows `text` (already Unicode) with the title decoded from Telex, style
// flags + 4096 (an addition: a sum beyond the 32-bit range is an overflow
// error and nothing is shown). Returns the button code unchanged. A session
// without a message box fails (error 91).
int32_t ShowMessage(host::Session& session, const std::u16string& text, int32_t flags,
                    const std::u16string& title);

// Decodes a stored Telex message and shows it with the engine's title.
int32_t ShowStoredMessage(host::Session& session, const std::u16string& stored_text, int32_t flags);

// A check of the command failed: shows the stored message (an OK box with
// the given icon) and records in the session that the check stopped the
// command. The caller returns without writing what the check guards.
void StopByCheck(host::Session& session, const std::u16string& stored_text, int32_t flags);

}  // namespace kelvora
