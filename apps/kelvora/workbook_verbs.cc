// The verbs that work on a workbook file: init, the component's commands,
// set, show and demo.
#include <sys/stat.h>

#include <cctype>
#include <cmath>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "demo_data.h"
#include "entry/commands.h"
#include "host/convert.h"
#include "host/error.h"
#include "host/layout.h"
#include "host/xlsx/xlsx_text.h"
#include "text/utf.h"
#include "verbs.h"
#include "workbook_session.h"

namespace kelvora::tool {
namespace {

using host::Value;
using host::memory::MemoryWorksheet;
using layout::Cell;

std::string A1Text(Cell cell) { return Utf16ToUtf8(layout::A1(cell)); }
std::string A1Text(layout::Block block) { return Utf16ToUtf8(layout::A1(block)); }

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
  auto book = OpenWorkbook(options.workbook, true);
  if (!book) return kExitFailed;
  auto main = book->file->book()->SheetByCodeName(layout::kMainSheetCode);
  try {
    for (const auto& [cell, value] : writes)
      main->GetRange(Ascii(cell))->SetValue(Value(Utf8ToUtf16(value)));
  } catch (const CommandError& e) {
    std::cerr << "kelvora: set: error " << e.number() << ": " << e.description() << '\n';
    return kExitFailed;
  }
  return SaveBook(*book) ? kExitOk : kExitFailed;
}

// ---------------------------------------------------------------------------
// show

// Columns a text takes on a terminal: one per character, none for
// combining marks.
size_t DisplayWidth(const std::u16string& s) {
  size_t w = 0;
  for (char16_t c : s) {
    if ((c >= 0x300 && c <= 0x36F) || (c >= 0xDC00 && c <= 0xDFFF)) continue;
    ++w;
  }
  return w;
}

std::string Pad(const std::u16string& s, size_t width) {
  std::string out = Utf16ToUtf8(s);
  for (size_t w = DisplayWidth(s); w < width; ++w) out.push_back(' ');
  return out;
}

std::u16string CellText(const MemoryWorksheet& s, Cell cell) {
  const Value& v = s.cell(cell.row, cell.col).value;
  if (v.IsError()) return u"#ERROR";
  return host::ToText(v);
}

const Value& CellValue(const MemoryWorksheet& s, Cell cell) {
  return s.cell(cell.row, cell.col).value;
}

std::string JsonString(const std::u16string& s) {
  std::string out = "\"";
  for (char c : Utf16ToUtf8(s)) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out.push_back(c);
        }
    }
  }
  return out + "\"";
}

std::string JsonValue(const Value& v) {
  switch (v.type()) {
    case host::ValueType::kEmpty:
      return "null";
    case host::ValueType::kNumber:
      if (!std::isfinite(v.number())) return "null";
      return host::xlsx::NumberText(v.number());
    case host::ValueType::kBoolean:
      return v.boolean() ? "true" : "false";
    case host::ValueType::kDate:
    case host::ValueType::kText:
      return JsonString(host::ToText(v));
    case host::ValueType::kError:
      return "\"#ERROR\"";
  }
  return "null";
}

// Rate cells show two decimals in the text view.
std::u16string ShortNumber(const Value& v) {
  if (v.IsNumber() && v.number() != std::floor(v.number())) {
    std::ostringstream o;
    o << std::fixed << std::setprecision(2) << v.number();
    return Utf8ToUtf16(o.str());
  }
  return v.IsError() ? u"#ERROR" : host::ToText(v);
}

constexpr const char* kMethodKeys[] = {"method",           "longest_hit_run",  "current_hit_run",
                                       "longest_miss_run", "current_miss_run", "hits",
                                       "misses",           "hit_rate",         "next_set"};
constexpr const char* kParameterKeys[] = {"kind", "set_size", "position_or_suffix", "window"};

// The label left of a cell.
constexpr Cell LabelOf(Cell cell) { return {cell.row, cell.col - 1}; }

const layout::Stage* const kStages[] = {&layout::kStage1, &layout::kStage2};

void PrintText(const std::string& path, const MemoryWorksheet& m) {
  std::ostringstream out;
  out << "Workbook: " << path << '\n';
  const std::u16string heading = CellText(m, layout::kHeading);
  out << (heading.empty() ? "(no analysis yet)" : Utf16ToUtf8(heading)) << '\n';
  out << "Stored draws: " << Utf16ToUtf8(CellText(m, layout::kStoreCount));
  const Cell newest{layout::kStoreFirstRow, layout::kStoreDrawCol};
  if (!CellValue(m, newest).IsEmpty()) {
    out << "  (newest " << Utf16ToUtf8(CellText(m, newest)) << ": "
        << Utf16ToUtf8(CellText(m, {layout::kStoreFirstRow, layout::kStoreResultCol})) << ")";
  }
  out << "\n";
  size_t label_width = 0;
  for (const Cell c : layout::kParameterCells)
    label_width = std::max(label_width, DisplayWidth(CellText(m, LabelOf(c))));
  auto block = [&](const char* title, std::initializer_list<Cell> cells) {
    out << '\n' << title << '\n';
    for (const Cell c : cells) {
      std::string address = A1Text(c);
      address.resize(std::max<size_t>(address.size(), 4), ' ');
      out << "  " << address << Pad(CellText(m, LabelOf(c)), label_width) << "  "
          << Utf16ToUtf8(CellText(m, c)) << '\n';
    }
  };
  const layout::Stage& one = layout::kStage1;
  const layout::Stage& two = layout::kStage2;
  block("Parameters 1:",
        {one.kind, one.size, one.position, one.window, layout::kSecondStageSwitch});
  block("Parameters 2:", {two.kind, two.size, two.position, two.window});
  constexpr int32_t kFigures = layout::kMethodTableCols - 1;  // all but the set
  for (int stage = 1; stage <= 2; ++stage) {
    const layout::Stage& st = *kStages[stage - 1];
    const int32_t first = st.table.row;
    const int32_t col = st.table.col;
    // The column headings above the first table name the columns of both.
    const int32_t heading_row = layout::kStage1.table.row - 1;
    out << "\nMethods " << stage << " (" << A1Text(layout::MethodTable(st)) << "):\n";
    std::vector<size_t> widths(kFigures);
    for (int32_t c = 0; c < kFigures; ++c) {
      widths[c] = DisplayWidth(CellText(m, {heading_row, col + c}));
      for (int32_t r = first; r < first + layout::kMethods; ++r)
        widths[c] = std::max(widths[c], DisplayWidth(ShortNumber(CellValue(m, {r, col + c}))));
    }
    if (CellValue(m, st.table).IsEmpty()) {
      out << "  (empty)\n";
      continue;
    }
    out << ' ';
    for (int32_t c = 0; c < kFigures; ++c)
      out << ' ' << Pad(CellText(m, {heading_row, col + c}), widths[c]);
    out << '\n';
    for (int32_t r = first; r < first + layout::kMethods; ++r) {
      out << ' ';
      for (int32_t c = 0; c < kFigures; ++c)
        out << ' ' << Pad(ShortNumber(CellValue(m, {r, col + c})), widths[c]);
      out << '\n';
    }
    out << "  " << Utf16ToUtf8(CellText(m, {heading_row, layout::SetColumn(st)})) << ":\n";
    for (int k = 1; k <= layout::kMethods; ++k) {
      const int copy = (stage - 1) * layout::kMethods + k;
      const Cell set = layout::OutputCell(copy);
      out << "    PP" << copy << " (" << A1Text(set) << "): " << Utf16ToUtf8(CellText(m, set))
          << '\n';
    }
  }
  // Aligned columns leave blanks at line ends; the terminal needs none.
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) {
    while (!line.empty() && line.back() == ' ') line.pop_back();
    std::cout << line << '\n';
  }
}

void PrintJson(const std::string& path, const MemoryWorksheet& m) {
  std::ostringstream o;
  o << "{\n  \"workbook\": " << JsonString(Utf8ToUtf16(path)) << ",\n";
  o << "  \"heading\": " << JsonValue(CellValue(m, layout::kHeading)) << ",\n";
  o << "  \"stored_draws\": " << JsonValue(CellValue(m, layout::kStoreCount)) << ",\n";
  o << "  \"newest_draw\": "
    << JsonValue(CellValue(m, {layout::kStoreFirstRow, layout::kStoreDrawCol})) << ",\n";
  o << "  \"newest_result\": "
    << JsonValue(CellValue(m, {layout::kStoreFirstRow, layout::kStoreResultCol})) << ",\n";
  auto params = [&](const layout::Stage& st) {
    const Cell cells[] = {st.kind, st.size, st.position, st.window};
    std::string s = "{";
    for (int i = 0; i < 4; ++i) {
      s += std::string(i ? ", " : "") + "\"" + kParameterKeys[i] +
           "\": " + JsonValue(CellValue(m, cells[i]));
    }
    return s + "}";
  };
  o << "  \"parameters\": " << params(layout::kStage1) << ",\n";
  o << "  \"second_stage\": " << JsonValue(CellValue(m, layout::kSecondStageSwitch)) << ",\n";
  o << "  \"parameters_2\": " << params(layout::kStage2) << ",\n";
  auto methods = [&](const layout::Stage& st) {
    std::string s = "[";
    for (int k = 1; k <= layout::kMethods; ++k) {
      const int32_t r = layout::MethodRow(st, k);
      s += k == 1 ? "\n    {" : ",\n    {";
      for (int c = 0; c < layout::kMethodTableCols; ++c) {
        s += std::string(c ? ", " : "") + "\"" + kMethodKeys[c] +
             "\": " + JsonValue(CellValue(m, {r, st.table.col + c}));
      }
      s += "}";
    }
    return s + "\n  ]";
  };
  o << "  \"methods\": " << methods(layout::kStage1) << ",\n";
  o << "  \"methods_2\": " << methods(layout::kStage2) << "\n}\n";
  std::cout << o.str();
}

int RunShow(const std::string& workbook, bool json) {
  auto book = OpenWorkbook(workbook, false);
  if (!book) return kExitFailed;
  const auto main = book->file->book()->SheetByCodeName(layout::kMainSheetCode);
  if (json) {
    PrintJson(book->path, *main);
  } else {
    PrintText(book->path, *main);
  }
  return kExitOk;
}

// ---------------------------------------------------------------------------
// init and demo

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

int RunInit(const std::string& path, bool force) {
  if (Exists(path) && !force) {
    std::cerr << "kelvora: " << path << " already exists (use --force to replace it)\n";
    return kExitFailed;
  }
  try {
    OpenBook b = NewBookFromTemplate(path);
    b.file->Save(path);
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

int RunDemo(const ToolOptions& options) {
  const std::string path = options.workbook.empty() ? DefaultDemoPath() : options.workbook;
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos) {
    std::error_code ignored;  // a folder that cannot be made fails at the save
    std::filesystem::create_directories(path.substr(0, slash), ignored);
  }
  std::cerr << "== demo workbook " << path << " (from the built-in template)\n";
  {
    const int rc = RunInit(path, true);
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
    auto book = OpenWorkbook(path, false);
    if (!book) return kExitFailed;
    ClipboardInput clip;
    clip.given = true;
    clip.bytes = std::string(s.clipboard);
    const int rc = RunWorkbookCommand(*book, *FindCommand(s.command), clip, Answer::kNo);
    if (rc == kExitFailed) return rc;
  }
  std::cerr << "== show\n";
  return RunShow(path, false);
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
      auto book = OpenWorkbook(options.workbook, true);
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

  auto* demo = app.add_subcommand(
      "demo",
      "Take the bundled sample pages into a fresh demo workbook (demo/kelvora-demo.xlsx beside "
      "the tool, or -w BOOK), run Main and show it");
  demo->fallthrough();
  demo->callback([&exit_status, &options] { exit_status = RunDemo(options); });
}

}  // namespace kelvora::tool
