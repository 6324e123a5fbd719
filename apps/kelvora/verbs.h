// Each family of the tool's verbs registers its subcommands here. A verb's
// callback stores its exit status in `exit_status`.
#pragma once

#include <CLI/CLI.hpp>

namespace kelvora::tool {

// Exit statuses of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitStopped = 3;

void AddTextVerbs(CLI::App& app, int& exit_status);    // telex
void AddNumberVerbs(CLI::App& app, int& exit_status);  // digest, numbers
// -w/--workbook, init, the component's commands, set, show, demo
void AddWorkbookVerbs(CLI::App& app, int& exit_status);

}  // namespace kelvora::tool
