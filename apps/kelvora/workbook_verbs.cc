// The verbs that work on a workbook file: init, adopt (adopt_verb.cc), the
// component's commands, set, show (show.cc) and demo.
#include <cctype>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "adopt_verb.h"
#include "demo_data.h"
#include "entry/commands.h"
#include "gan_verb.h"
#include "host/convert.h"
#include "host/error.h"
#include "host/files.h"
#include "host/layout.h"
#include "i18n.h"
#include "parameter_check.h"
#include "report_verb.h"
#include "show.h"
#include "sweep.h"
#include "text/utf.h"
#include "text_format.h"
#include "verbs.h"
#include "workbook_session.h"

namespace kelvora::tool {
namespace {

using host::Value;
using layout::Cell;

std::string A1Text(Cell cell) { return Utf16ToUtf8(layout::A1(cell)); }

// ---------------------------------------------------------------------------
// set

// The parameter cells as the user names them: "B1 to B4, B6 to B10".
std::string ParameterCellsText() {
  return A1Text(layout::kStage1.kind) + " to " + A1Text(layout::kStage1.window) + ", " +
         A1Text(layout::kSecondStageSwitch) + " to " + A1Text(layout::kStage2.window);
}

std::optional<std::string> ParameterCell(std::string cell) {
  for (char& c : cell) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const Cell p : layout::kParameterCells)
    if (cell == A1Text(p)) return cell;
  return std::nullopt;
}

int RunSet(const ToolOptions& options, const std::vector<std::string>& assignments) {
  std::vector<std::pair<std::string, std::string>> writes;
  for (const auto& a : assignments) {
    const size_t eq = a.find('=');
    const auto cell = eq == std::string::npos ? std::nullopt : ParameterCell(a.substr(0, eq));
    if (!cell) {
      std::cerr << "kelvora: set: " << a
                << ": expected CELL=VALUE with CELL one of the parameter cells "
                << ParameterCellsText() << "\n";
      return kExitUsage;
    }
    writes.emplace_back(*cell, a.substr(eq + 1));
  }
  auto book = OpenWorkbook(options.workbook, Access::kWrite);
  if (!book) return kExitFailed;
  auto main = book->file->book()->SheetByCodeName(layout::kMainSheetCode);
  try {
    std::vector<ParameterWrite> checked;
    for (const auto& [cell, value] : writes) {
      for (const Cell c : layout::kParameterCells)
        if (A1Text(c) == cell) checked.emplace_back(c, value);
    }
    host::Session session(BindBook(*book, nullptr), {});
    if (const auto refusal = RefusalOf(session, checked)) {
      std::cerr << "kelvora: set: " << *refusal << " (nothing written)\n";
      return kExitUsage;
    }
    for (const auto& [cell, value] : writes)
      main->GetRange(Ascii(cell))->SetValue(Value(Utf8ToUtf16(value)));
  } catch (const CommandError& e) {
    std::cerr << "kelvora: set: error " << e.number() << ": " << e.description() << '\n';
    return kExitFailed;
  }
  return SaveBook(*book) ? kExitOk : kExitFailed;
}

// ---------------------------------------------------------------------------
// init and demo

int RunInit(const std::string& path, bool force) {
  if (!HasWorkbookExtension(path)) {
    std::cerr << Printf(_("kelvora: %s: a workbook's name ends in .xlsx or .xlsm, else a "
                          "spreadsheet program does not open it as one; nothing was written."),
                        path.c_str())
              << '\n';
    return kExitUsage;
  }
  if (const auto notice = DanglingLinkNotice(path)) {
    std::cerr << *notice << '\n';
    return kExitFailed;
  }
  const std::string refusal = path + " already exists (use --force to replace it)";
  if (host::Exists(path) && !force) {
    std::cerr << "kelvora: " << refusal << '\n';
    return kExitFailed;
  }
  try {
    const std::string bytes = NewBookFromTemplate(path).file->SaveToBytes();
    if (host::Exists(path)) {
      // Replaced as a command saves: after any command running on it.
      const host::FileLock lock(path);
      if (const auto holder = SpreadsheetHolding(path)) {
        std::cerr << "kelvora: " << path << ": not replaced: " << *holder << '\n';
        return kExitFailed;
      }
      host::WriteFileAtomically(path, bytes);
    } else if (!host::CreateFileAtomically(path, bytes)) {
      std::cerr << "kelvora: " << refusal << '\n';
      return kExitFailed;
    }
  } catch (const std::exception& e) {
    std::cerr << "kelvora: " << path << ": " << e.what() << '\n';
    return kExitFailed;
  }
  std::cerr << "kelvora: created " << path << '\n';
  return kExitOk;
}

// build/<preset>/demo/kelvora-demo.xlsx: beside the tool's own binary.
std::string DefaultDemoPath() {
  std::string dir = ExecutableDir();
  if (dir.empty()) dir = "build";
  return dir + "/demo/kelvora-demo.xlsx";
}

int RunDemo(const ToolOptions& options, bool force) {
  const std::string path = options.workbook.empty() ? DefaultDemoPath() : options.workbook;
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos) {
    std::error_code ignored;  // a folder that cannot be made fails at the save
    std::filesystem::create_directories(path.substr(0, slash), ignored);
  }
  std::cerr << "== demo workbook " << path << " (from the built-in template)\n";
  {
    const int rc = RunInit(path, force);
    if (rc != kExitOk) return rc;
  }
  struct Step {
    const char* command;
    std::string_view clipboard;
    const char* source;
  };
  const Step steps[] = {
      {"DanKQXSDB", kDemoSpecialPrize, "sample_special_prize.txt"},
      {"DanKQXS", kDemoHundredDraws, "sample_100_draws.html"},
      {"DanKQXSNgay", kDemoByDate, "sample_by_date.html"},
      {"Main", {}, nullptr},
  };
  // A step stopped by a check is part of the demonstration; only a failure
  // ends it.
  for (const Step& s : steps) {
    if (s.source != nullptr && s.clipboard.empty()) {
      std::cerr << "== " << s.command << ": skipped (this build has no " << s.source << ")\n";
      continue;
    }
    std::cerr << "== " << s.command;
    if (s.source != nullptr) std::cerr << " with " << s.source;
    std::cerr << '\n';
    auto book = OpenWorkbook(path, Access::kWrite);
    if (!book) return kExitFailed;
    ClipboardInput clip;
    clip.given = true;
    clip.bytes = std::string(s.clipboard);
    const int rc = RunWorkbookCommand(*book, *FindCommand(s.command), clip, Answer::kNo);
    if (rc == kExitFailed) return rc;
  }
  std::cerr << "== show\n";
  if (const int rc = RunShow(path, false); rc != kExitOk) return rc;
  std::cerr << "== report\n";
  return RunReport(path, "", false);
}

}  // namespace

void AddWorkbookVerbs(CLI::App& app, const ToolOptions& options, int& exit_status) {
  auto* init = app.add_subcommand("init", "Create a workbook from the built-in template");
  auto init_path = std::make_shared<std::string>(kDefaultBook);
  auto force = std::make_shared<bool>(false);
  init->add_option("BOOK", *init_path, "the file to create (default kelvora.xlsx)");
  init->add_flag("--force", *force, "replace an existing file");
  init->callback([&exit_status, &options, init_path, force] {
    std::string path = *init_path;
    if (path == kDefaultBook && !options.workbook.empty()) path = options.workbook;
    exit_status = RunInit(path, *force);
  });

  auto* adopt = app.add_subcommand(
      "adopt",
      "Give a workbook saved without code names (LibreOffice) the code names Sheet1, Sheet2 and "
      "Sheet3 of its main, paste and settings sheets, and the name KieuDanh when it is missing");
  auto adopt_args = std::make_shared<AdoptArgs>();
  adopt->add_option("BOOK", adopt_args->book, "the workbook (default: -w BOOK, else kelvora.xlsx)");
  adopt->add_option("--main", adopt_args->main, "the tab of the main sheet");
  adopt->add_option("--paste", adopt_args->paste, "the tab of the paste sheet");
  adopt->add_option("--settings", adopt_args->settings, "the tab of the settings sheet");
  adopt->add_flag("--yes", adopt_args->yes,
                  "without the three tabs: take the first three worksheets without asking");
  adopt->fallthrough();
  adopt->callback([&exit_status, &options, adopt_args] {
    if (!adopt_args->book.empty() && !options.workbook.empty() &&
        adopt_args->book != options.workbook) {
      std::cerr << "kelvora: adopt: two workbooks given (" << adopt_args->book << " and -w "
                << options.workbook << ")\n";
      exit_status = kExitUsage;
      return;
    }
    std::string path = adopt_args->book.empty() ? options.workbook : adopt_args->book;
    if (path.empty()) path = kDefaultBook;
    exit_status = RunAdopt(path, *adopt_args);
  });

  for (const Command& command : kCommands) {
    auto* cmd = app.add_subcommand(std::string(command.name), CommandSummary(command));
    cmd->ignore_case();
    cmd->fallthrough();
    auto clipboard = std::make_shared<std::string>();
    auto yes = std::make_shared<bool>(false);
    auto no = std::make_shared<bool>(false);
    cmd->add_option("--clipboard", *clipboard,
                    "what the clipboard holds: an HTML page or text file, - for standard input");
    auto* yes_flag = cmd->add_flag("--yes", *yes, "answer Yes to the question");
    auto* no_flag = cmd->add_flag("--no", *no, "answer No to the question");
    yes_flag->excludes(no_flag);
    cmd->callback([&exit_status, &options, &command, clipboard, yes, no] {
      std::optional<ClipboardInput> clip = ClipboardInput{};
      if (!clipboard->empty()) clip = ReadClipboardInput(*clipboard);
      if (!clip) {
        exit_status = kExitFailed;
        return;
      }
      auto book = OpenWorkbook(options.workbook, Access::kWrite);
      if (!book) {
        exit_status = kExitFailed;
        return;
      }
      const Answer answer = *yes ? Answer::kYes : (*no ? Answer::kNo : Answer::kAsk);
      exit_status = RunWorkbookCommand(*book, command, *clip, answer);
    });
  }

  auto* set =
      app.add_subcommand("set", "Write parameter cells: set " + A1Text(layout::kStage1.kind) +
                                    "=\"Đề đuôi\" " + A1Text(layout::kStage1.size) + "=40 ...");
  auto assignments = std::make_shared<std::vector<std::string>>();
  set->add_option("CELL=VALUE", *assignments, ParameterCellsText() + " of the main sheet")
      ->required();
  set->fallthrough();
  set->callback(
      [&exit_status, &options, assignments] { exit_status = RunSet(options, *assignments); });

  auto* show = app.add_subcommand("show", "Print the heading, store, parameters and results");
  auto json = std::make_shared<bool>(false);
  show->add_flag("--json", *json, "print JSON");
  show->fallthrough();
  show->callback(
      [&exit_status, &options, json] { exit_status = RunShow(options.workbook, *json); });

  auto* sweep = app.add_subcommand(
      "sweep",
      "Every set size of a stage's kind at once, beside chance (the workbook is only read)");
  struct SweepArgs {
    int stage = 1;
    std::string sizes;
    bool json = false, csv = false;
  };
  auto sweep_args = std::make_shared<SweepArgs>();
  sweep->add_option("--stage", sweep_args->stage, "1 or 2 (default 1)");
  sweep->add_option("--sizes", sweep_args->sizes,
                    "N or A..B (default: every size the kind allows)");
  auto* sweep_json = sweep->add_flag("--json", sweep_args->json, "print JSON");
  auto* sweep_csv = sweep->add_flag("--csv", sweep_args->csv, "print CSV");
  sweep_json->excludes(sweep_csv);
  sweep->fallthrough();
  sweep->callback([&exit_status, &options, sweep_args] {
    const SweepFormat format = sweep_args->json  ? SweepFormat::kJson
                               : sweep_args->csv ? SweepFormat::kCsv
                                                 : SweepFormat::kText;
    exit_status = RunSweep(options.workbook, sweep_args->stage, sweep_args->sizes, format);
  });

  auto* gan = app.add_subcommand(
      "gan", "How long each ending has been absent and how often it came, beside chance");
  auto gan_last = std::make_shared<std::string>();
  auto gan_json = std::make_shared<bool>(false);
  gan->add_option("--last", *gan_last, "the newest draws counted (default 100)");
  gan->add_flag("--json", *gan_json, "print JSON");
  gan->fallthrough();
  gan->callback([&exit_status, &options, gan_last, gan_json] {
    exit_status = RunGan(options.workbook, *gan_last, *gan_json);
  });

  auto* report = app.add_subcommand(
      "report", "Write the workbook's report: one self-contained HTML page with charts");
  auto report_out = std::make_shared<std::string>();
  auto report_open = std::make_shared<bool>(false);
  report->add_option("-o,--output", *report_out, "the page to write (default BOOK-report.html)");
  report->add_flag("--open", *report_open, "open the page in the desktop's browser");
  report->fallthrough();
  report->callback([&exit_status, &options, report_out, report_open] {
    exit_status = RunReport(options.workbook, *report_out, *report_open);
  });

  auto* demo = app.add_subcommand(
      "demo",
      "Take the bundled sample pages into a fresh demo workbook (demo/kelvora-demo.xlsx beside "
      "the tool, or -w BOOK), run Main and show it");
  auto demo_force = std::make_shared<bool>(false);
  demo->add_flag("--force", *demo_force, "replace an existing file");
  demo->fallthrough();
  demo->callback(
      [&exit_status, &options, demo_force] { exit_status = RunDemo(options, *demo_force); });
}

}  // namespace kelvora::tool
