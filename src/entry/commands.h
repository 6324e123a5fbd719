// The component's commands by name: the one table the Windows class, the
// command-line tool and the tests resolve a command name through.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "host/layout.h"
#include "host/session.h"

namespace kelvora {

struct Command {
  std::string_view name;  // as the interface spells it
  void (*run)(host::Session&);
  // One line of help; the cells it speaks of, when any, follow it.
  std::string_view summary;
  std::optional<layout::Block> cells;
};

// The workbook commands of the interface: every method but Sup and BaoCao,
// in its order. The command-line tool offers each as a verb.
extern const std::array<Command, 11> kCommands;

// BaoCao, the interface's last method: the report page shown in the
// desktop's browser. The tool writes the same page with its verb `report`
// and does not offer this one.
extern const Command kReportCommand;

// The help line of a command: its summary and the cells it speaks of.
std::string CommandSummary(const Command& command);

// The command (of kCommands, or kReportCommand) whose name equals `name`
// without regard to letter case; null when there is none.
const Command* FindCommand(std::string_view name);

}  // namespace kelvora
