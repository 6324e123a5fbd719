// Each family of the tool's verbs registers its subcommands here. A verb's
// callback stores its exit status in `exit_status`.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "exit_status.h"

namespace kelvora::tool {

// Options that every workbook verb shares; filled by the parser before any
// verb runs.
struct ToolOptions {
  std::string workbook;  // -w/--workbook; empty: the default book
};

void AddTextVerbs(CLI::App& app, int& exit_status);    // telex
void AddNumberVerbs(CLI::App& app, int& exit_status);  // digest, numbers
// init, the component's commands, set, show, demo
void AddWorkbookVerbs(CLI::App& app, const ToolOptions& options, int& exit_status);
// export, import: the store in and out as data
void AddStoreVerbs(CLI::App& app, const ToolOptions& options, int& exit_status);

}  // namespace kelvora::tool
