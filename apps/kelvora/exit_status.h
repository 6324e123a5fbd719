// The tool's exit statuses, used by every verb.
#pragma once

namespace kelvora::tool {

inline constexpr int kExitOk = 0;      // ran to its end; what it changed is saved
inline constexpr int kExitFailed = 1;  // failed; the workbook is left as it was
inline constexpr int kExitUsage = 2;   // the command line is wrong
// A check stopped it with a notice; the file is left as it was, except that
// Main saves what it wrote before its check stopped it.
inline constexpr int kExitStopped = 3;

}  // namespace kelvora::tool
