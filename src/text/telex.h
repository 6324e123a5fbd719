// Decoding of the engine's stored Vietnamese texts, typed in the Telex
// convention ("Thoong Baso" -> "Thông Báo").
#pragma once

#include <string>

namespace kelvora {

// Runs the 73-row conversion table in its fixed order; for every row three
// replace-all passes: the key as stored (lower case), the key all in upper
// case, and the key with only its first character in upper case. Each pass
// scans from the start and resumes behind every match. Every text is
// accepted; a text without keys comes back unchanged.
std::u16string TelexToUnicode(std::u16string text);

}  // namespace kelvora
