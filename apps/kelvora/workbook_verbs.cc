// The verbs that work on a workbook file: init, adopt (adopt_verb.cc), the
// component's commands, set, show (show.cc) and demo.
#include <algorithm>
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
#include "intake/draw_check.h"
#include "intake/result_store.h"
#include "intake/special_prize_text.h"
#include "parameter_check.h"
#include "report_verb.h"
#include "show.h"
#include "sweep.h"
#include "text/utf.h"
#include "verbs.h"
#include "workbook_session.h"

namespace kelvora::tool {
namespace {

using host::Value;
using layout::Cell;

std::string A1Text(Cell cell) { return Utf16ToUtf8(layout::A1(cell)); }

// The help line of one of the component's commands.
std::string CommandHelp(const Command& command) {
  const std::string name(command.name);
  std::string cells;
  if (command.cells) {
    const layout::Block& b = *command.cells;
    cells = b.first.row == b.last.row && b.first.col == b.last.col ? A1Text(b.first)
                                                                   : Utf16ToUtf8(layout::A1(b));
  }
  if (name == "DanKQXS") return _("Take in a copied table of the last 100 draws");
  if (name == "DanKQXSNgay") return _("Take in a copied table of draws of any length");
  if (name == "DanKQXSDB") return _("Take in the copied text of a special-prize page");
  if (name == "Main") return Fill(_("Run the statistics with the parameters in {1}"), {cells});
  if (name == "XoaDuLieu") return _("Clear the stored draws (asks first)");
  if (name.starts_with("Copy")) return Fill(_("Print (and copy) the set of {1}"), {cells});
  return CommandSummary(command);
}

// ---------------------------------------------------------------------------
// set

// The parameter cells as the user names them: "B1 to B4, B6 to B10".
std::string ParameterCellsText() {
  return Fill(_("{1} to {2}, {3} to {4}"),
              {A1Text(layout::kStage1.kind), A1Text(layout::kStage1.window),
               A1Text(layout::kSecondStageSwitch), A1Text(layout::kStage2.window)});
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
      std::cerr << Fill(_("kelvora: set: {1}: expected CELL=VALUE with CELL one of the "
                          "parameter cells {2}"),
                        {a, ParameterCellsText()})
                << '\n';
      return kExitUsage;
    }
    writes.emplace_back(*cell, a.substr(eq + 1));
  }
  auto book = OpenWorkbook(options.workbook, Access::kWrite);
  if (!book) return kExitFailed;
  try {
    std::vector<ParameterWrite> checked;
    for (const auto& [cell, value] : writes) {
      for (const Cell c : layout::kParameterCells)
        if (A1Text(c) == cell) checked.emplace_back(c, value);
    }
    host::Session session(BindBook(*book, nullptr), {});
    SpellKindsAsListed(session, checked);
    if (const auto refusal = RefusalOf(session, checked)) {
      std::cerr << Fill(_("kelvora: set: {1} (nothing written)"), {*refusal}) << '\n';
      return kExitUsage;
    }
    for (const auto& [cell, value] : checked)
      session.MainSheet().GetRange(layout::A1(cell))->SetValue(Value(Utf8ToUtf16(value)));
  } catch (const CommandError& e) {
    std::cerr << Fill(_("kelvora: set: error {1}: {2}"), {e.number(), e.description()}) << '\n';
    return kExitFailed;
  }
  return SaveBook(*book) ? kExitOk : kExitFailed;
}

// ---------------------------------------------------------------------------
// fix

int RunFix(const ToolOptions& options, const std::string& assignment) {
  const size_t eq = assignment.find('=');
  const host::Value draw = intake::DrawLookupValue(
      Value(Utf8ToUtf16(assignment.substr(0, std::min(eq, assignment.size())))));
  const std::u16string result =
      eq == std::string::npos ? u"" : Utf8ToUtf16(assignment.substr(eq + 1));
  if (eq == std::string::npos || intake::CheckDraw(draw, Value(result), std::nullopt)) {
    std::cerr << "kelvora: fix: " << assignment << ": "
              << _("expected DRAW=RESULT, with a whole draw number above 0 and a result of "
                   "exactly five digits.")
              << '\n';
    return kExitUsage;
  }
  auto book = OpenWorkbook(options.workbook, Access::kWrite);
  if (!book) return kExitFailed;
  const std::string name = Utf16ToUtf8(host::ToText(draw));
  try {
    host::Session session(BindBook(*book, nullptr), {});
    host::Worksheet& main = session.MainSheet();
    const int32_t last = intake::StoreLastRow(main);
    const host::Table rows = last == layout::kEmptyStoreLastRow
                                 ? host::Table(0, 2)
                                 : main.GetRange(layout::A1(layout::StoreRows(last)))->GetValues();
    for (int32_t i = 1; i <= rows.rows(); ++i) {
      const host::Value stored = intake::DrawLookupValue(rows(i, 1));
      if (!intake::IsDrawNumber(stored) || host::ToDouble(stored) != host::ToDouble(draw)) continue;
      const std::string before = Utf16ToUtf8(intake::ResultText(rows(i, 2)));
      if (before == Utf16ToUtf8(result)) {
        std::cerr << "kelvora: fix: " << name << ": " << _("the store already holds this result.")
                  << '\n';
        return kExitOk;
      }
      const int32_t row = layout::kStoreFirstRow + i - 1;
      main.GetRange(layout::A1(Cell{row, layout::kStoreResultCol}))->SetValue(Value(result));
      if (!SaveBook(*book)) return kExitFailed;
      std::cerr << Fill(_("kelvora: fix: {1}: replaced the stored result {2} ({3}) by {4}."),
                        {name, before, A1Text(Cell{row, layout::kStoreResultCol}),
                         Utf16ToUtf8(result)})
                << '\n';
      return kExitOk;
    }
  } catch (const CommandError& e) {
    std::cerr << "kelvora: fix: error " << e.number() << ": " << e.description() << '\n';
    return kExitFailed;
  }
  std::cerr << "kelvora: fix: " << name << ": "
            << _("this draw is not in the store; nothing was changed.") << '\n';
  return kExitFailed;
}

// ---------------------------------------------------------------------------
// init and demo

int RunInit(const std::string& path, bool force) {
  if (!HasWorkbookExtension(path)) {
    std::cerr << Fill(_("kelvora: {1}: a workbook's name ends in .xlsx or .xlsm, else a "
                        "spreadsheet program does not open it as one; nothing was written."),
                      {path})
              << '\n';
    return kExitUsage;
  }
  if (const auto notice = DanglingLinkNotice(path)) {
    std::cerr << *notice << '\n';
    return kExitFailed;
  }
  const std::string refusal =
      Fill(_("kelvora: {1} already exists (use --force to replace it)"), {path});
  if (host::Exists(path) && !force) {
    std::cerr << refusal << '\n';
    return kExitFailed;
  }
  try {
    const std::string bytes = NewBookFromTemplate(path).file->SaveToBytes();
    if (host::Exists(path)) {
      // Replaced as a command saves: after any command running on it.
      const host::FileLock lock(path);
      if (const auto holder = SpreadsheetHolding(path)) {
        std::cerr << Fill(_("kelvora: {1}: not replaced: {2}"), {path, *holder}) << '\n';
        return kExitFailed;
      }
      host::WriteFileAtomically(path, bytes);
    } else if (!host::CreateFileAtomically(path, bytes)) {
      std::cerr << refusal << '\n';
      return kExitFailed;
    }
  } catch (const std::exception& e) {
    std::cerr << "kelvora: " << path << ": " << e.what() << '\n';
    return kExitFailed;
  }
  std::cerr << Fill(_("kelvora: created {1}"), {path}) << '\n';
  return kExitOk;
}

// A tool run from its build tree (its folder holds CMakeCache.txt) writes
// build/<preset>/demo/kelvora-demo.xlsx beside itself; an installed one,
// which cannot write beside /usr/bin/kelvora, writes kelvora-demo.xlsx into
// the current folder.
std::string DefaultDemoPath() {
  const std::string dir = ExecutableDir();
  if (!dir.empty() && host::Exists(dir + "/CMakeCache.txt")) return dir + "/demo/kelvora-demo.xlsx";
  return "kelvora-demo.xlsx";
}

int RunDemo(const ToolOptions& options, bool force) {
  const std::string path = options.workbook.empty() ? DefaultDemoPath() : options.workbook;
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos) {
    std::error_code ignored;  // a folder that cannot be made fails at the save
    std::filesystem::create_directories(path.substr(0, slash), ignored);
  }
  std::cerr << Fill(_("== demo workbook {1} (from the built-in template)"), {path}) << '\n';
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
      std::cerr << Fill(_("== {1}: skipped (this build has no {2})"), {s.command, s.source})
                << '\n';
      continue;
    }
    std::cerr << (s.source != nullptr ? Fill(_("== {1} with {2}"), {s.command, s.source})
                                      : "== " + std::string(s.command))
              << '\n';
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
  return RunReport(path, "", false, false);
}

}  // namespace

void AddWorkbookVerbs(CLI::App& app, const ToolOptions& options, int& exit_status) {
  auto* init = app.add_subcommand("init", _("Create a workbook from the built-in template"));
  auto init_path = std::make_shared<std::string>(kDefaultBook);
  auto force = std::make_shared<bool>(false);
  init->add_option("BOOK", *init_path, _("the file to create (default kelvora.xlsx)"));
  init->add_flag("--force", *force, _("replace an existing file"));
  init->callback([&exit_status, &options, init_path, force] {
    std::string path = *init_path;
    if (path == kDefaultBook && !options.workbook.empty()) path = options.workbook;
    exit_status = RunInit(path, *force);
  });

  auto* adopt = app.add_subcommand(
      "adopt",
      _("Give a workbook saved without code names (LibreOffice) the code names Sheet1, Sheet2 "
        "and Sheet3 of its main, paste and settings sheets, and the name KieuDanh when it is "
        "missing"));
  auto adopt_args = std::make_shared<AdoptArgs>();
  adopt->add_option("BOOK", adopt_args->book,
                    _("the workbook (default: -w BOOK, else kelvora.xlsx)"));
  adopt->add_option("--main", adopt_args->main, _("the tab of the main sheet"));
  adopt->add_option("--paste", adopt_args->paste, _("the tab of the paste sheet"));
  adopt->add_option("--settings", adopt_args->settings, _("the tab of the settings sheet"));
  adopt->add_flag("--yes", adopt_args->yes,
                  _("without the three tabs: take the first three worksheets without asking"));
  adopt->fallthrough();
  adopt->callback([&exit_status, &options, adopt_args] {
    if (!adopt_args->book.empty() && !options.workbook.empty() &&
        adopt_args->book != options.workbook) {
      std::cerr << Fill(_("kelvora: adopt: two workbooks given ({1} and -w {2})"),
                        {adopt_args->book, options.workbook})
                << '\n';
      exit_status = kExitUsage;
      return;
    }
    std::string path = adopt_args->book.empty() ? options.workbook : adopt_args->book;
    if (path.empty()) path = kDefaultBook;
    exit_status = RunAdopt(path, *adopt_args);
  });

  for (const Command& command : kCommands) {
    auto* cmd = app.add_subcommand(std::string(command.name), CommandHelp(command));
    cmd->ignore_case();
    cmd->fallthrough();
    auto clipboard = std::make_shared<std::string>();
    auto yes = std::make_shared<bool>(false);
    auto no = std::make_shared<bool>(false);
    cmd->add_option("--clipboard", *clipboard,
                    _("what the clipboard holds: an HTML page or text file, - for standard "
                      "input"));
    auto* yes_flag = cmd->add_flag("--yes", *yes, _("answer Yes to the question"));
    auto* no_flag = cmd->add_flag("--no", *no, _("answer No to the question"));
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
      app.add_subcommand("set", Fill(_("Write parameter cells: set {1}=\"Đề đuôi\" {2}=40 ..."),
                                     {A1Text(layout::kStage1.kind), A1Text(layout::kStage1.size)}));
  auto assignments = std::make_shared<std::vector<std::string>>();
  set->add_option("CELL=VALUE", *assignments,
                  Fill(_("{1} of the main sheet"), {ParameterCellsText()}))
      ->required();
  set->fallthrough();
  set->callback(
      [&exit_status, &options, assignments] { exit_status = RunSet(options, *assignments); });

  auto* fix = app.add_subcommand(
      "fix", _("Replace one stored result: fix DRAW=RESULT (the result a page disagrees with)"));
  auto fix_arg = std::make_shared<std::string>();
  fix->add_option("DRAW=RESULT", *fix_arg, _("the draw number and its five-digit result"))
      ->required();
  fix->fallthrough();
  fix->callback([&exit_status, &options, fix_arg] { exit_status = RunFix(options, *fix_arg); });

  auto* show = app.add_subcommand("show", _("Print the heading, store, parameters and results"));
  auto json = std::make_shared<bool>(false);
  show->add_flag("--json", *json, _("print JSON"));
  show->fallthrough();
  show->callback(
      [&exit_status, &options, json] { exit_status = RunShow(options.workbook, *json); });

  auto* sweep = app.add_subcommand(
      "sweep",
      _("Every set size of a stage's kind at once, beside chance (the workbook is only read)"));
  struct SweepArgs {
    int stage = 1;
    std::string sizes;
    bool json = false, csv = false;
  };
  auto sweep_args = std::make_shared<SweepArgs>();
  sweep->add_option("--stage", sweep_args->stage, _("1 or 2 (default 1)"));
  sweep->add_option("--sizes", sweep_args->sizes,
                    _("N or A..B (default: every size the kind allows)"));
  auto* sweep_json = sweep->add_flag("--json", sweep_args->json, _("print JSON"));
  auto* sweep_csv = sweep->add_flag("--csv", sweep_args->csv, _("print CSV"));
  sweep_json->excludes(sweep_csv);
  sweep->fallthrough();
  sweep->callback([&exit_status, &options, sweep_args] {
    const SweepFormat format = sweep_args->json  ? SweepFormat::kJson
                               : sweep_args->csv ? SweepFormat::kCsv
                                                 : SweepFormat::kText;
    exit_status = RunSweep(options.workbook, sweep_args->stage, sweep_args->sizes, format);
  });

  auto* gan = app.add_subcommand(
      "gan", _("How long each ending has been absent and how often it came, beside chance"));
  auto gan_last = std::make_shared<std::string>();
  auto gan_json = std::make_shared<bool>(false);
  gan->add_option("--last", *gan_last, _("the newest draws counted (default 100)"));
  gan->add_flag("--json", *gan_json, _("print JSON"));
  gan->fallthrough();
  gan->callback([&exit_status, &options, gan_last, gan_json] {
    exit_status = RunGan(options.workbook, *gan_last, *gan_json);
  });

  auto* report = app.add_subcommand(
      "report", _("Write the workbook's report: one self-contained HTML page with charts"));
  auto report_out = std::make_shared<std::string>();
  auto report_open = std::make_shared<bool>(false);
  auto report_force = std::make_shared<bool>(false);
  report->add_option("-o,--output", *report_out,
                     _("the page to write (default BOOK-report.html; - for standard output)"));
  report->add_flag("--open", *report_open, _("open the page in the desktop's browser"));
  report->add_flag("--force", *report_force,
                   _("replace an existing file that is not a report (never a workbook)"));
  report->fallthrough();
  report->callback([&exit_status, &options, report_out, report_open, report_force] {
    exit_status = RunReport(options.workbook, *report_out, *report_open, *report_force);
  });

  auto* demo = app.add_subcommand(
      "demo",
      _("Take the bundled sample pages into a fresh demo workbook (-w BOOK, else "
        "kelvora-demo.xlsx in the current folder, or demo/kelvora-demo.xlsx beside a tool run "
        "from its build tree, whose folder holds CMakeCache.txt), run Main and show it"));
  auto demo_force = std::make_shared<bool>(false);
  demo->add_flag("--force", *demo_force, _("replace an existing file"));
  demo->fallthrough();
  demo->callback(
      [&exit_status, &options, demo_force] { exit_status = RunDemo(options, *demo_force); });
}

}  // namespace kelvora::tool
