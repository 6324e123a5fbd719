// kelvora: the command-line face of the engine. A thin shell: parse the
// arguments, call the engine, map its outcome to an exit status.
#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>
#include <string>
#include <string_view>

#include "host/error.h"
#include "host/files.h"
#include "i18n.h"
#include "verbs.h"

namespace {

constexpr char kFooter[] =
    R"(Commands run on the workbook BOOK (-w/--workbook, default ./kelvora.xlsx).
Only the default ./kelvora.xlsx is made from the built-in template when
missing; a BOOK named with -w must exist (make one with: kelvora init BOOK):
  kelvora [-w BOOK] DanKQXS|DanKQXSNgay|DanKQXSDB|Main|XoaDuLieu|Copy1..Copy6
          [--clipboard FILE] [--yes|--no]
Command names may be written in any letter case.

Every command first checks the workbook's shape: worksheets with the code
names Sheet1 (main), Sheet2 (paste) and Sheet3 (settings), and the name
KieuDanh on six rows of the settings sheet. A workbook saved by LibreOffice
loses the code names; give them back with
  kelvora adopt BOOK [--main TAB --paste TAB --settings TAB] [--yes]
which names the sheets by their tabs, or else takes the first three
worksheets after asking, and adds KieuDanh (A1:A6 of the settings sheet)
when it is missing. Nothing else of the file changes.

--clipboard FILE is what the clipboard holds (- reads standard input): an HTML
page or fragment for DanKQXS and DanKQXSNgay, text for DanKQXSDB (an HTML file
gives the text a browser would copy from it), in UTF-8 or in UTF-16 with a
byte-order mark (other encodings exit 1). Without it the desktop
clipboard is read where xclip, xsel or wl-clipboard and a display are present;
otherwise the clipboard is empty. Messages go to standard error as
"Thông Báo: ...". The question of XoaDuLieu is answered by --yes or --no, else
asked when standard input is a terminal, else answered No. Copy1 to Copy6
print the set on standard output (and copy it to the desktop clipboard).

One command at a time writes a workbook: a second one on the same file waits
for the first to end. Nothing is saved (status 1) while Excel or LibreOffice
has the workbook open (~$BOOK or .~lock.BOOK# beside it), nor over a
read-only workbook or one another program changed meanwhile.

Exit status:
  0  the command ran to its end; what it changed is saved
  1  it failed (error number and description on standard error); the
     workbook is left exactly as it was
  2  usage error (unknown command or option, an empty -w, init of a name not
     ending in .xlsx or .xlsm, set on a non-parameter cell or with a value no
     run could use, adopt given tabs that do not fit the workbook)
  3  one of its checks stopped it with a notice (wrong table, nothing new,
     not enough data, parameters, paste failed): every notice other than the
     confirmation of Copy1..Copy6 counts; what it changed is saved. import:
     a bad row, no new draw or too many draws; nothing is saved)";

// The command a command line names: its first word that is neither an
// option nor the value of -w; empty when there is none.
std::string NamedCommand(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-w" || arg == "--workbook") {
      ++i;
    } else if (!arg.empty() && arg[0] != '-') {
      return std::string(arg);
    }
  }
  return {};
}

const CLI::App* FindVerb(const CLI::App& app, const std::string& name) {
  for (const CLI::App* sub : app.get_subcommands({})) {
    if (sub->check_name(name)) return sub;
  }
  return nullptr;
}

std::string VerbNames(const CLI::App& app) {
  std::string names;
  for (const CLI::App* sub : app.get_subcommands({}))
    names += (names.empty() ? "" : ", ") + sub->get_name();
  return names;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kelvora::tool;
  // An interrupted save leaves no temporary file beside the workbook.
  kelvora::host::RemoveTemporaryFileOnInterrupt();
  CLI::App app{"kelvora: statistics for the special prize of the Vietnamese lottery", "kelvora"};
  app.set_version_flag("--version", std::string("kelvora 1.00"));
  app.require_subcommand(1);
  app.footer(kFooter);
  ToolOptions options;
  app.add_option("-w,--workbook", options.workbook,
                 "the workbook file (.xlsx or .xlsm); default ./kelvora.xlsx")
      ->check(CLI::Validator(
          [](const std::string& path) {
            return path.empty() ? std::string(_("the workbook's name is empty")) : std::string();
          },
          ""))
      ->type_name("BOOK");
  int exit_status = kExitOk;
  AddTextVerbs(app, exit_status);
  AddNumberVerbs(app, exit_status);
  AddWorkbookVerbs(app, options, exit_status);
  AddStoreVerbs(app, options, exit_status);
  // A verb's help shows what that verb takes; the overview is the tool's.
  for (CLI::App* sub : app.get_subcommands({})) sub->footer("");

  const std::string named = NamedCommand(argc, argv);
  if (named == "help") {
    // kelvora help [VERB]
    const std::string verb = argc > 0 ? NamedCommand(argc - 1, argv + 1) : std::string();
    const CLI::App* sub = verb.empty() ? nullptr : FindVerb(app, verb);
    std::cout << (sub != nullptr ? sub->help() : app.help());
    return verb.empty() || sub != nullptr ? kExitOk : kExitUsage;
  }
  if (!named.empty() && FindVerb(app, named) == nullptr) {
    std::cerr << "kelvora: unknown command " << named << "; the commands are: " << VerbNames(app)
              << " and help\n";
    return kExitUsage;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? 0 : kExitUsage;
  } catch (const kelvora::CommandError& e) {
    // Verbs report their own failures; this is the last line for any that
    // escapes, so that no failure ends the tool abnormally.
    std::cerr << "kelvora: error " << e.number() << ": " << e.what() << '\n';
    return kExitFailed;
  } catch (const std::exception& e) {
    std::cerr << "kelvora: " << e.what() << '\n';
    return kExitFailed;
  }
  return exit_status;
}
