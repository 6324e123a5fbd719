// The words a shell completion offers for kelvora, taken from the tool's own
// command line and tables. The build writes the bash completion file from
// them (cmake/bash_completion.cmake), so that the two cannot drift apart.
#pragma once

#include <CLI/CLI.hpp>

#include <ostream>

namespace kelvora::tool {

// Writes one line per group, its words separated by tabs:
//   verbs        VERB...           every verb
//   options  -   OPTION...         the options given before the verb
//   options  VERB OPTION...        the options of each verb
//   values   -|VERB OPTION...      those of them that take a value
//   cells        CELL...           the parameter cells that `set` takes
//   kind-cells   CELL...           the cells of them that name a bet kind
//   switch-cells CELL...           the cells of them that take ON or OFF
//   kinds        NAME...           the template's bet-kind names (UTF-8)
void WriteCompletionWords(const CLI::App& app, std::ostream& out);

}  // namespace kelvora::tool
