// `kelvora sweep`: the hit record of each method of a stage at every set
// size the stage's kind allows, beside chance, with the tests adjusted for
// looking at every size at once. The workbook is read, never written.
#pragma once

#include <string>

namespace kelvora::tool {

enum class SweepFormat { kText, kJson, kCsv };

// `stage` is 1 or 2; `sizes` is "" (every allowed size), "N" or "A..B".
// Returns the exit status: kExitOk; kExitUsage for bad arguments (a message
// says which); kExitStopped when the store has no draws or the stage's
// parameters cannot run; kExitFailed when the book cannot be opened.
int RunSweep(const std::string& workbook, int stage, const std::string& sizes, SweepFormat format);

}  // namespace kelvora::tool
