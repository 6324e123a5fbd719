// The small output commands: clearing the result store and copying one of
// the six computed sets to the clipboard.
#pragma once

#include <cstdint>

namespace kelvora::entry {

// Asks the user; on Yes clears A17:B65016 and B15 of MainSheet (values only,
// formats stay). Touches nothing else.
void XoaDuLieu();

// Copies output `index` (1..6: L3, L4, L5, L9, L10, L11 of MainSheet) as text
// to the clipboard and confirms with "Đã Copy PP<index>". An error value in
// the cell fails before anything is copied.
void CopyOutput(int32_t index);

}  // namespace kelvora::entry
