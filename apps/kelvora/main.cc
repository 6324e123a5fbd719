// kelvora: the command-line face of the engine.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <string>

#include "text/telex.h"
#include "text/utf.h"

namespace {

constexpr int kExitUsage = 2;

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"kelvora: statistics for the special prize of the Vietnamese lottery"};
  app.set_version_flag("--version", std::string("kelvora 1.00"));
  app.require_subcommand(1);

  std::string telex_text;
  auto* telex = app.add_subcommand("telex", "Print a stored Telex text decoded to Unicode");
  telex->add_option("TEXT", telex_text, "the Telex text")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? 0 : kExitUsage;
  }

  if (*telex) {
    std::cout << kelvora::Utf16ToUtf8(kelvora::TelexToUnicode(kelvora::Utf8ToUtf16(telex_text)))
              << '\n';
  }
  return 0;
}
