// `kelvora gan`: how long each ending has been absent, how often each came
// up lately, the first digit, last digit and digit sum of the endings, each
// beside what chance gives. The workbook is only read.
#pragma once

#include <string>

namespace kelvora::tool {

// `last` is the text of --last (the newest draws counted; "" for 100).
// Returns kExitOk; kExitUsage for a bad --last; kExitStopped when the store
// holds no five-digit result; kExitFailed when the book cannot be read.
int RunGan(const std::string& workbook, const std::string& last, bool json);

}  // namespace kelvora::tool
