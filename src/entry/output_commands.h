// The small output commands: clearing the result store and copying one of
// the six computed sets to the clipboard.
#pragma once

#include <cstdint>

#include "host/session.h"

namespace kelvora::entry {

// Asks the user; on Yes clears the store (A17:B65016) and its count (B15) on
// MainSheet (values only, formats stay). Touches nothing else.
void XoaDuLieu(host::Session& session);

// Copies output `index` (1..6: L3, L4, L5, L9, L10, L11 of MainSheet) as text
// to the clipboard and confirms with "Đã Copy PP<index>". An error value in
// the cell fails before anything is copied; an index outside 1..6 fails
// (subscript, error 9).
void CopyOutput(host::Session& session, int32_t index);

}  // namespace kelvora::entry
