// What the tool says around one of the component's commands, so that a user
// sees what happened without opening the workbook: the draws an intake took
// in and the store's size, the stages Main ran and the draws they tested, a
// copy of an empty cell or of a set older than its parameters, why a
// special-prize text was too short. The intakes' "nothing new" is one notice
// in the tool, whichever intake (or import) found it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "entry/commands.h"
#include "host/layout.h"
#include "host/session.h"

namespace kelvora::tool {

// The draws in the store now.
int64_t StoredDraws(host::Session& session);

// Stops the session's command with the notice DanKQXSDB shows when its text
// holds no draw the store lacks ("Không có dữ liệu mới đuợc thêm vào"),
// shown through the session's message box: the one line every intake of the
// tool gives when it stored nothing.
void StopAsNothingNew(host::Session& session);

// Before `command` runs: the cell it copies when it is a copy and that cell
// holds nothing. The tool then shows only that the cell is empty, not the
// command's confirmation, while the command still empties the clipboard.
// Nothing for any other command.
std::optional<layout::Cell> EmptyCopiedCell(host::Session& session, const Command& command);

// After `command` ended as the session records: a table intake (DanKQXS,
// DanKQXSNgay) that ran to its end without adding a draw is stopped with
// StopAsNothingNew, as DanKQXSDB stops itself. `stored_before` is
// StoredDraws before the command.
void StopTableIntakeWithNothingNew(host::Session& session, const Command& command,
                                   int64_t stored_before);

// The line for `command` after it ended as the session records (UTF-8, no
// line break); empty when there is nothing to add:
//  - an intake that ran: the draws it took in and the store's size;
//  - DanKQXSDB refused for a text of fewer draws than a special-prize page
//    holds (intake::kMinSpecialPrizeBlocks): that rule and the count;
//  - Main: what each stage tested;
//  - a copy: that its cell is empty, else, when the stage's outputs are
//    older than its parameters or the store (show's rule,
//    analysis::AssessAgainstChance), that the set is an earlier run's.
// `stored_before` is StoredDraws before the command. Host failures are
// passed on.
std::string CommandSummary(host::Session& session, const Command& command, int64_t stored_before);

}  // namespace kelvora::tool
