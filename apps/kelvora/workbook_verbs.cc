// The verbs that work on a workbook file: init, the component's commands,
// set, show and demo.
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cmath>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "demo_data.h"
#include "entry/sub.h"
#include "host/convert.h"
#include "host/error.h"
#include "host/xlsx/xlsx_text.h"
#include "text/utf.h"
#include "verbs.h"
#include "workbook_session.h"

namespace kelvora::tool {
namespace {

using host::Value;
using host::memory::MemoryWorksheet;

struct GlobalOptions {
  std::string workbook;
};

GlobalOptions& Globals() {
  static GlobalOptions g;
  return g;
}

// ---------------------------------------------------------------------------
// set

constexpr const char* kParameterCells[] = {"B1", "B2", "B3", "B4", "B6", "B7", "B8", "B9", "B10"};

std::optional<std::string> ParameterCell(std::string cell) {
  for (char& c : cell) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const char* p : kParameterCells)
    if (cell == p) return cell;
  return std::nullopt;
}

int RunSet(const std::vector<std::string>& assignments) {
  std::vector<std::pair<std::string, std::string>> writes;
  for (const auto& a : assignments) {
    const size_t eq = a.find('=');
    const auto cell = eq == std::string::npos ? std::nullopt : ParameterCell(a.substr(0, eq));
    if (!cell) {
      std::cerr << "kelvora: set: " << a
                << ": expected CELL=VALUE with CELL one of the parameter cells B1 to B4, B6 to "
                   "B10\n";
      return kExitUsage;
    }
    writes.emplace_back(*cell, a.substr(eq + 1));
  }
  auto book = OpenWorkbook(Globals().workbook, true);
  if (!book) return kExitFailed;
  auto main = book->file->book()->SheetByCodeName(u"Sheet1");
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

std::u16string CellText(const MemoryWorksheet& s, int32_t row, int32_t col) {
  const Value& v = s.cell(row, col).value;
  if (v.IsError()) return u"#ERROR";
  return host::ToText(v);
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

void PrintText(const std::string& path, const MemoryWorksheet& m) {
  std::ostringstream out;
  out << "Workbook: " << path << '\n';
  const std::u16string heading = CellText(m, 1, 4);
  out << (heading.empty() ? "(no analysis yet)" : Utf16ToUtf8(heading)) << '\n';
  out << "Stored draws: " << Utf16ToUtf8(CellText(m, 15, 2));
  if (!m.cell(17, 1).value.IsEmpty()) {
    out << "  (newest " << Utf16ToUtf8(CellText(m, 17, 1)) << ": "
        << Utf16ToUtf8(CellText(m, 17, 2)) << ")";
  }
  out << "\n";
  size_t label_width = 0;
  for (int32_t r = 1; r <= 10; ++r)
    label_width = std::max(label_width, DisplayWidth(CellText(m, r, 1)));
  auto block = [&](const char* title, std::initializer_list<int32_t> rows) {
    out << '\n' << title << '\n';
    for (int32_t r : rows) {
      out << "  B" << r << (r < 10 ? "  " : " ") << Pad(CellText(m, r, 1), label_width) << "  "
          << Utf16ToUtf8(CellText(m, r, 2)) << '\n';
    }
  };
  block("Parameters 1:", {1, 2, 3, 4, 6});
  block("Parameters 2:", {7, 8, 9, 10});
  auto table = [&](const char* title, int32_t first) {
    out << '\n' << title << '\n';
    std::vector<size_t> widths(8);
    for (int32_t c = 0; c < 8; ++c) {
      widths[c] = DisplayWidth(CellText(m, 2, 4 + c));
      for (int32_t r = first; r < first + 3; ++r)
        widths[c] = std::max(widths[c], DisplayWidth(ShortNumber(m.cell(r, 4 + c).value)));
    }
    if (m.cell(first, 4).value.IsEmpty()) {
      out << "  (empty)\n";
      return;
    }
    out << ' ';
    for (int32_t c = 0; c < 8; ++c) out << ' ' << Pad(CellText(m, 2, 4 + c), widths[c]);
    out << '\n';
    for (int32_t r = first; r < first + 3; ++r) {
      out << ' ';
      for (int32_t c = 0; c < 8; ++c)
        out << ' ' << Pad(ShortNumber(m.cell(r, 4 + c).value), widths[c]);
      out << '\n';
    }
    out << "  " << Utf16ToUtf8(CellText(m, 2, 12)) << ":\n";
    for (int32_t r = first; r < first + 3; ++r) {
      const int32_t copy = first == 3 ? r - 2 : r - 5;
      out << "    PP" << copy << " (L" << r << "): " << Utf16ToUtf8(CellText(m, r, 12)) << '\n';
    }
  };
  table("Methods 1 (D3:L5):", 3);
  table("Methods 2 (D9:L11):", 9);
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
  o << "  \"heading\": " << JsonValue(m.cell(1, 4).value) << ",\n";
  o << "  \"stored_draws\": " << JsonValue(m.cell(15, 2).value) << ",\n";
  o << "  \"newest_draw\": " << JsonValue(m.cell(17, 1).value) << ",\n";
  o << "  \"newest_result\": " << JsonValue(m.cell(17, 2).value) << ",\n";
  auto params = [&](int32_t first) {
    std::string s = "{";
    for (int i = 0; i < 4; ++i) {
      s += std::string(i ? ", " : "") + "\"" + kParameterKeys[i] +
           "\": " + JsonValue(m.cell(first + i, 2).value);
    }
    return s + "}";
  };
  o << "  \"parameters\": " << params(1) << ",\n";
  o << "  \"second_stage\": " << JsonValue(m.cell(6, 2).value) << ",\n";
  o << "  \"parameters_2\": " << params(7) << ",\n";
  auto methods = [&](int32_t first) {
    std::string s = "[";
    for (int32_t r = first; r < first + 3; ++r) {
      s += r == first ? "\n    {" : ",\n    {";
      for (int c = 0; c < 9; ++c) {
        s += std::string(c ? ", " : "") + "\"" + kMethodKeys[c] +
             "\": " + JsonValue(m.cell(r, 4 + c).value);
      }
      s += "}";
    }
    return s + "\n  ]";
  };
  o << "  \"methods\": " << methods(3) << ",\n";
  o << "  \"methods_2\": " << methods(9) << "\n}\n";
  std::cout << o.str();
}

int RunShow(bool json) {
  auto book = OpenWorkbook(Globals().workbook, false);
  if (!book) return kExitFailed;
  const auto main = book->file->book()->SheetByCodeName(u"Sheet1");
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
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string dir = "build";
  if (n > 0) {
    buf[n] = 0;
    dir = buf;
    dir = dir.substr(0, dir.rfind('/'));
  }
  return dir + "/demo/kelvora-demo.xlsx";
}

int RunDemo() {
  const std::string path = Globals().workbook.empty() ? DefaultDemoPath() : Globals().workbook;
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos) {
    const std::string dir = path.substr(0, slash);
    for (size_t i = 1; i <= dir.size(); ++i) {
      if (i == dir.size() || dir[i] == '/') mkdir(dir.substr(0, i).c_str(), 0777);
    }
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
    const int rc = RunWorkbookCommand(*book, s.command, clip, Answer::kNo);
    if (rc == kExitFailed) return rc;
  }
  std::cerr << "== show\n";
  std::string saved = Globals().workbook;
  Globals().workbook = path;
  const int rc = RunShow(false);
  Globals().workbook = saved;
  return rc;
}

}  // namespace

void AddWorkbookVerbs(CLI::App& app, int& exit_status) {
  app.add_option("-w,--workbook", Globals().workbook,
                 "the workbook file (.xlsx or .xlsm); default ./kelvora.xlsx");

  auto* init = app.add_subcommand("init", "Create a workbook from the built-in template");
  auto init_path = std::make_shared<std::string>(kDefaultBook);
  auto force = std::make_shared<bool>(false);
  init->add_option("BOOK", *init_path, "the file to create (default kelvora.xlsx)");
  init->add_flag("--force", *force, "replace an existing file");
  init->callback([&exit_status, init_path, force] {
    std::string path = *init_path;
    if (path == kDefaultBook && !Globals().workbook.empty()) path = Globals().workbook;
    exit_status = RunInit(path, *force);
  });

  for (size_t i = 1; i < Sub::kMethodNames.size(); ++i) {
    const std::string name(Sub::kMethodNames[i]);
    std::string help;
    if (name == "DanKQXS") help = "Take in a copied table of the last 100 draws";
    if (name == "DanKQXSNgay") help = "Take in a copied table of draws of any length";
    if (name == "DanKQXSDB") help = "Take in the copied text of a special-prize page";
    if (name == "Main") help = "Run the statistics with the parameters in B1:B10";
    if (name == "XoaDuLieu") help = "Clear the stored draws (asks first)";
    if (name.rfind("Copy", 0) == 0) {
      const char* cells[] = {"L3", "L4", "L5", "L9", "L10", "L11"};
      help = std::string("Print (and copy) the set of ") + cells[name[4] - '1'];
    }
    auto* cmd = app.add_subcommand(name, help);
    cmd->ignore_case();
    cmd->fallthrough();
    auto clipboard = std::make_shared<std::string>();
    auto yes = std::make_shared<bool>(false);
    auto no = std::make_shared<bool>(false);
    auto* clip_opt = cmd->add_option("--clipboard", *clipboard,
                                     "what the clipboard holds: an HTML page or text file, - "
                                     "for standard input");
    (void)clip_opt;
    auto* yes_flag = cmd->add_flag("--yes", *yes, "answer Yes to the question");
    auto* no_flag = cmd->add_flag("--no", *no, "answer No to the question");
    yes_flag->excludes(no_flag);
    cmd->callback([&exit_status, name, clipboard, yes, no] {
      std::optional<ClipboardInput> clip = ClipboardInput{};
      if (!clipboard->empty()) clip = ReadClipboardInput(*clipboard);
      if (!clip) {
        exit_status = kExitFailed;
        return;
      }
      auto book = OpenWorkbook(Globals().workbook, true);
      if (!book) {
        exit_status = kExitFailed;
        return;
      }
      const Answer answer = *yes ? Answer::kYes : (*no ? Answer::kNo : Answer::kAsk);
      exit_status = RunWorkbookCommand(*book, name, *clip, answer);
    });
  }

  auto* set = app.add_subcommand("set", "Write parameter cells: set B1=\"Đề đuôi\" B2=40 ...");
  auto assignments = std::make_shared<std::vector<std::string>>();
  set->add_option("CELL=VALUE", *assignments, "B1 to B4, B6 to B10 of the main sheet")->required();
  set->fallthrough();
  set->callback([&exit_status, assignments] { exit_status = RunSet(*assignments); });

  auto* show = app.add_subcommand("show", "Print the heading, store, parameters and results");
  auto json = std::make_shared<bool>(false);
  show->add_flag("--json", *json, "print JSON");
  show->fallthrough();
  show->callback([&exit_status, json] { exit_status = RunShow(*json); });

  auto* demo = app.add_subcommand(
      "demo",
      "Take the bundled sample pages into a fresh demo workbook (demo/kelvora-demo.xlsx beside "
      "the tool, or -w BOOK), run Main and show it");
  demo->fallthrough();
  demo->callback([&exit_status] { exit_status = RunDemo(); });
}

}  // namespace kelvora::tool
