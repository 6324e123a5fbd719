// The one line the tool writes after a command, so that a user sees what
// happened without opening the workbook: the draws an intake took in and the
// store's size, the stages Main ran and the draws they tested, an empty cell
// a copy found.
#pragma once

#include <cstdint>
#include <string>

#include "entry/commands.h"
#include "host/session.h"

namespace kelvora::tool {

// The draws in the store now.
int64_t StoredDraws(host::Session& session);

// The line for `command` after it ended with `outcome` (UTF-8, no line
// break); empty when there is nothing to add. `stored_before` is
// StoredDraws before the command. Host failures are passed on.
std::string CommandSummary(host::Session& session, const Command& command, host::Outcome outcome,
                           int64_t stored_before);

}  // namespace kelvora::tool
