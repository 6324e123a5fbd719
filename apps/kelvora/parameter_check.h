// What `kelvora set` refuses to write: parameter values that no run could
// use. The rules are the engine's own (the workbook's kind list, the bet-kind
// table's size limits, the second-stage switch).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/layout.h"
#include "host/session.h"

namespace kelvora::tool {

using ParameterWrite = std::pair<layout::Cell, std::string>;  // cell, UTF-8 value

// Kind names (B1, B7) that equal a KieuDanh name only after Unicode
// normalisation to NFC, as a name typed in decomposed form (some keyboards,
// macOS) does, are replaced by that name exactly as the list spells it, so
// that the run's exact comparison finds what is written. Other values stay
// as they are. Host failures are passed on.
void SpellKindsAsListed(host::Session& session, std::vector<ParameterWrite>& writes);

// Why the writes may not be made, naming the first bad one and what it
// takes (the kind names, the size limits, ON or OFF); nothing when all are
// fine. A size is checked against the kind written with it, else the kind in
// the workbook. Host failures are passed on.
std::optional<std::string> RefusalOf(host::Session& session,
                                     const std::vector<ParameterWrite>& writes);

}  // namespace kelvora::tool
