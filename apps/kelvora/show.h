// `kelvora show`: the heading, store, parameters and results of a workbook,
// each method's record beside what chance gives, as text or JSON.
#pragma once

#include <string>

namespace kelvora::tool {

// Prints the workbook `workbook` (the default book when empty). Returns the
// exit status: kExitOk, or kExitFailed when the book cannot be opened.
int RunShow(const std::string& workbook, bool json);

}  // namespace kelvora::tool
