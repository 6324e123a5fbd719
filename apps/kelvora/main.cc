// kelvora: the command-line face of the engine. A thin shell: parse the
// arguments, call the engine, map its outcome to an exit status.
#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>
#include <regex>
#include <string>
#include <string_view>

#include "completion_words.h"
#include "host/error.h"
#include "host/files.h"
#include "i18n.h"
#include "run_counters.h"
#include "terminal_platform.h"
#include "terminal_table.h"
#include "text/utf.h"
#include "verbs.h"

namespace {

using kelvora::tool::_;
using kelvora::tool::DisplayWidth;
using kelvora::tool::Fill;

std::string Footer() {
  return _(R"(Commands run on the workbook BOOK (-w/--workbook, default ./kelvora.xlsx).
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
  2  usage error (no command, an unknown command or option, a missing
     argument, an empty -w, init of a name not ending in .xlsx or .xlsm, set
     on a non-parameter cell or with a value no run could use, fix without a
     draw number and a five-digit result, adopt given tabs that do not fit the
     workbook, a --stage or --sizes sweep cannot take, a --last of gan that is
     not a whole number above 0, report -o - with --open)
  3  one of its checks stopped it with a notice (wrong table, a special-prize
     text too short, a result that differs from the store, nothing new, not
     enough data, parameters, paste failed, an import file with a bad row, no
     new draw or too many draws; sweep, gan or report without the draws or
     the analysis they read): every notice other than the confirmation of
     Copy1..Copy6 counts; the workbook is left exactly as it was, except that
     Main saves what it wrote before its check stopped it)");
}

// A parse error of CLI11 in the user's language: its English wording matched
// against the shapes CLI11 writes, the parts it names put into the
// translation; a shape not listed here keeps CLI11's words.
std::string ParseErrorText(const std::string& what) {
  const std::pair<const char*, const char*> shapes[] = {
      {"The following argument was not expected: (.*)",
       _("The following argument was not expected: {1}")},
      {"The following arguments were not expected: (.*)",
       _("The following arguments were not expected: {1}")},
      {"A subcommand is required", _("A subcommand is required")},
      {"(.*) is required", _("{1} is required")},
      {"(.*) excludes (.*)", _("{1} excludes {2}")},
      {"Could not convert: (.*) = (.*)", _("Could not convert: {1} = {2}")},
      {"(.*): ([0-9]+) required (.*) missing", _("{1}: {2} required {3} missing")},
      {"Expected exactly ([0-9]+) arguments to (.*), got ([0-9]+)",
       _("Expected exactly {1} arguments to {2}, got {3}")},
      {"(.*): Should be true/false or a number", _("{1}: Should be true/false or a number")},
  };
  for (const auto& [shape, text] : shapes) {
    std::smatch m;
    if (std::regex_match(what, m, std::regex(shape))) {
      auto part = [&m](size_t i) { return i < m.size() ? m[i].str() : std::string(); };
      return Fill(text, {part(1), part(2), part(3)});
    }
  }
  return what;
}

// CLI11's help texts with the option column aligned by what a terminal
// shows: a translated label ("VĂN BẢN") has more bytes than columns.
class TerminalFormatter : public CLI::Formatter {
 public:
  std::string make_option(const CLI::Option* opt, bool is_positional) const override {
    const std::string name = "  " + make_option_name(opt, is_positional) + make_option_opts(opt);
    const size_t width = get_column_width();
    const size_t shown = DisplayWidth(kelvora::Utf8ToUtf16(name));
    std::string out = name;
    const std::string description = make_option_desc(opt);
    if (!description.empty()) {
      out += shown >= width ? "\n" + std::string(width, ' ') : std::string(width - shown, ' ');
      for (const char c : description) {
        out += c;
        if (c == '\n') out += std::string(width, ' ');
      }
    }
    return out + "\n";
  }
};

// CLI11's own words, in the user's language: the labels of its help texts
// and its parse errors (its English wording is each message's msgid).
void TranslateParser(CLI::App& app) {
  app.formatter(std::make_shared<TerminalFormatter>());
  const std::pair<const char*, const char*> labels[] = {
      {"Usage", _("Usage")},
      {"OPTIONS", _("OPTIONS")},
      {"SUBCOMMAND", _("SUBCOMMAND")},
      {"SUBCOMMANDS", _("SUBCOMMANDS")},
      {"Positionals", _("Positionals")},
      {"REQUIRED", _("REQUIRED")},
      {"Excludes", _("Excludes")},
      {"Needs", _("Needs")},
      {"TEXT", _("TEXT")},
      {"INT", _("INT")},
  };
  for (const auto& [key, label] : labels) app.get_formatter()->label(key, label);
  // The groups of the help texts: subcommands take theirs from the tool.
  app.group(_("Subcommands"));
  app.option_defaults()->group(_("Options"));
  app.set_help_flag("-h,--help", _("Print this help message and exit"));
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return Fill(_("{1}\nRun with --help for more information.\n"), {ParseErrorText(e.what())});
  });
}

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
  const RunCounters counters;
  KeepFreedMemoryForTheRun();
  StartLanguage();
  // An interrupted save leaves no temporary file beside the workbook.
  kelvora::host::RemoveTemporaryFileOnInterrupt();
  CLI::App app{_("kelvora: statistics for the special prize of the Vietnamese lottery"), "kelvora"};
  TranslateParser(app);
  app.set_version_flag("--version", std::string("kelvora 1.00"),
                       _("Display program version information and exit"));
  app.require_subcommand(1);
  app.footer(Footer());
  ToolOptions options;
  app.add_option("-w,--workbook", options.workbook,
                 _("the workbook file (.xlsx or .xlsm); default ./kelvora.xlsx"))
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
  for (CLI::App* sub : app.get_subcommands({})) {
    sub->footer("");
    // Made before the group of options was inherited.
    sub->get_help_ptr()->group(app.get_help_ptr()->get_group());
  }
  // For the build, which writes the bash completion from these words.
  if (argc == 2 && std::string_view(argv[1]) == "--completion-words") {
    WriteCompletionWords(app, std::cout);
    return kExitOk;
  }

  const std::string named = NamedCommand(argc, argv);
  auto unknown = [&app](const std::string& verb) {
    std::cerr << Fill(_("kelvora: unknown command {1}; the commands are: {2} and help"),
                      {verb, VerbNames(app)})
              << '\n';
    return kExitUsage;
  };
  if (named == "help") {
    // kelvora help [VERB]
    const std::string verb = argc > 0 ? NamedCommand(argc - 1, argv + 1) : std::string();
    const CLI::App* sub = verb.empty() ? nullptr : FindVerb(app, verb);
    if (!verb.empty() && sub == nullptr) return unknown(verb);
    std::cout << (sub != nullptr ? sub->help() : app.help());
    return kExitOk;
  }
  if (!named.empty() && FindVerb(app, named) == nullptr) return unknown(named);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? 0 : kExitUsage;
  } catch (const kelvora::CommandError& e) {
    // Verbs report their own failures; this is the last line for any that
    // escapes, so that no failure ends the tool abnormally.
    std::cerr << Fill(_("kelvora: error {1}: {2}"), {e.number(), e.what()}) << '\n';
    return kExitFailed;
  } catch (const std::exception& e) {
    std::cerr << "kelvora: " << e.what() << '\n';
    return kExitFailed;
  }
  return exit_status;
}
