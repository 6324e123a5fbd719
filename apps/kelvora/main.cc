// kelvora: the command-line face of the engine. A thin shell: parse the
// arguments, call the engine, map its outcome to an exit status.
#include <CLI/CLI.hpp>

#include "verbs.h"

int main(int argc, char** argv) {
  using namespace kelvora::tool;
  CLI::App app{"kelvora: statistics for the special prize of the Vietnamese lottery"};
  app.set_version_flag("--version", std::string("kelvora 1.00"));
  app.require_subcommand(1);
  int exit_status = kExitOk;
  AddTextVerbs(app, exit_status);
  AddNumberVerbs(app, exit_status);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? 0 : kExitUsage;
  }
  return exit_status;
}
