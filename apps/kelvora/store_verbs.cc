// The store in and out as data: `export` writes the result store as CSV or
// JSON; `import` takes that CSV back through the intakes' row check and
// merge (intake/store_csv.h).
#include <iostream>
#include <memory>
#include <string>

#include "analysis/main_analysis.h"
#include "command_summary.h"
#include "host/error.h"
#include "host/files.h"
#include "i18n.h"
#include "intake/result_store.h"
#include "intake/store_csv.h"
#include "report/json.h"
#include "verbs.h"
#include "workbook_session.h"

namespace kelvora::tool {
namespace {

constexpr uint64_t kMaxImportBytes = uint64_t{64} << 20;

// The store's rows, row 1 the newest; no rows for an empty store.
host::Table StoreBlock(host::Session& session) {
  host::Worksheet& main = session.MainSheet();
  const int32_t last = intake::StoreLastRow(main);
  if (last < layout::kStoreFirstRow) return host::Table(0, layout::kStore.cols());
  return analysis::ReadDrawBlock(main, last);
}

std::string StoreJson(const host::Table& block) {
  std::string out = "[";
  for (int32_t i = 1; i <= block.rows(); ++i) {
    out += (i == 1 ? "\n  " : ",\n  ");
    out += "{\"draw\": " + report::JsonValue(block(i, 1)) +
           ", \"result\": " + report::JsonValue(block(i, 2)) + "}";
  }
  return out + (block.rows() > 0 ? "\n]\n" : "]\n");
}

// Why `output` may not be replaced by an export of `book`: it is that
// workbook (by another name or a link as well), or another workbook file.
std::optional<std::string> OutputRefusal(const std::string& output, const OpenBook& book) {
  try {
    switch (ClashOf(output, book)) {
      case OutputClash::kTheWorkbook:
        return Fill(_("kelvora: export: {1} is the workbook being exported; nothing was written."),
                    {output});
      case OutputClash::kNotRegularFile:
        return Fill(_("kelvora: export: {1} is not a regular file; nothing was written."),
                    {output});
      case OutputClash::kZipPackage:
        return Fill(_("kelvora: export: {1} is a workbook (a zip package), which an export never "
                      "replaces; nothing was written."),
                    {output});
      case OutputClash::kNone:
        break;
    }
  } catch (const host::FileError& e) {
    return Fill(_("kelvora: export: {1}, so it cannot be told from a workbook; nothing was "
                  "written."),
                {e.what()});
  }
  return std::nullopt;
}

int RunExport(const ToolOptions& options, bool json, const std::string& output) {
  auto book = OpenWorkbook(options.workbook, Access::kRead);
  if (!book) return kExitFailed;
  host::Table block;
  try {
    host::Session session(BindBook(*book, nullptr), {});
    block = StoreBlock(session);
  } catch (const CommandError& e) {
    std::cerr << Fill(_("kelvora: export: error {1}: {2}"),
                      {static_cast<int>(e.number()), e.what()})
              << '\n';
    return kExitFailed;
  }
  const std::string bytes = json ? StoreJson(block) : intake::StoreCsv(block);
  if (output.empty() || output == "-") {
    std::cout << bytes << std::flush;
    return std::cout ? kExitOk : kExitFailed;
  }
  if (const auto refusal = OutputRefusal(output, *book)) {
    std::cerr << *refusal << '\n';
    return kExitFailed;
  }
  try {
    host::WriteFileAtomically(output, bytes);
  } catch (const host::FileError& e) {
    std::cerr << Fill(_("kelvora: export: {1}; nothing was written."), {e.what()}) << '\n';
    return kExitFailed;
  }
  std::cerr << Fill(_n("kelvora: export: {1} draw written to {2}.",
                       "kelvora: export: {1} draws written to {2}.",
                       static_cast<unsigned long>(block.rows())),
                    {block.rows(), output})
            << '\n';
  return kExitOk;
}

// A record as the refusal quotes it: at most 120 bytes, cut between
// characters.
std::string Quoted(std::string record) {
  if (record.size() <= 120) return record;
  size_t cut = 120;
  while (cut > 0 && (static_cast<unsigned char>(record[cut]) & 0xC0) == 0x80) --cut;
  return record.substr(0, cut) + "...";
}

std::string ProblemText(const std::string& name, const intake::StoreCsvProblem& p) {
  using Kind = intake::StoreCsvProblem::Kind;
  const std::string record = Quoted(p.record);
  const auto line = static_cast<long long>(p.line);
  const char* format = nullptr;
  switch (p.kind) {
    case Kind::kEncoding:
      return Fill(_("kelvora: import: {1} is neither UTF-8 nor UTF-16 with a byte-order mark; "
                    "nothing was stored."),
                  {name});
    case Kind::kConflict:
      return Fill(_("kelvora: import: {1}, line {2}: \"{3}\": line {4} gives this draw "
                    "another result; nothing was stored."),
                  {name, line, record, static_cast<long long>(p.earlier_line)});
    case Kind::kQuote:
      format =
          _("kelvora: import: {1}, line {2}: \"{3}\": a quoted field does not end, or "
            "text follows its closing quote; nothing was stored.");
      break;
    case Kind::kFields:
      format =
          _("kelvora: import: {1}, line {2}: \"{3}\": a row holds two fields, the draw "
            "number and the result; nothing was stored.");
      break;
    case Kind::kDraw:
      format =
          _("kelvora: import: {1}, line {2}: \"{3}\": the draw number must be a whole "
            "number above 0; nothing was stored.");
      break;
    case Kind::kResult:
      format =
          _("kelvora: import: {1}, line {2}: \"{3}\": the result must be exactly five "
            "digits (leading zeros included); nothing was stored.");
      break;
    case Kind::kTooMany:
      format =
          _("kelvora: import: {1}, line {2}: \"{3}\": the file holds more draws than "
            "the store's 65000; nothing was stored.");
      break;
  }
  return Fill(format, {name, line, record});
}

int RunImport(const ToolOptions& options, const std::string& file) {
  const std::string name = file == "-" ? _("standard input") : file;
  intake::StoreCsvRows csv;
  try {
    csv = intake::ReadStoreCsv(file == "-" ? host::ReadStandardInput(kMaxImportBytes)
                                           : host::ReadFile(file, kMaxImportBytes));
  } catch (const host::FileError& e) {
    std::cerr << Fill(_("kelvora: import: {1}; nothing was stored."), {e.what()}) << '\n';
    return kExitFailed;
  }
  if (csv.problem) {
    std::cerr << ProblemText(name, *csv.problem) << '\n';
    using Kind = intake::StoreCsvProblem::Kind;
    return csv.problem->kind == Kind::kEncoding ? kExitFailed : kExitStopped;
  }
  auto book = OpenWorkbook(options.workbook, Access::kWrite);
  if (!book) return kExitFailed;
  int64_t before = 0, after = 0;
  bool refused = false;  // a draw's result differs from the stored one
  TerminalMessageBox messages(Answer::kNo);
  try {
    host::Session session(BindBook(*book, nullptr), {nullptr, &messages});
    session.result_remedy = [&book](const std::u16string& draw, const std::u16string& result) {
      return FixRemedy(book->path, draw, result);
    };
    before = StoredDraws(session);
    intake::MergeDraws(session, std::move(csv.rows));
    refused = session.outcome() == host::Outcome::kStoppedByCheck;
    after = StoredDraws(session);
    if (!refused && after <= before) StopAsNothingNew(session);  // as the intakes say it
  } catch (const CommandError& e) {
    if (e.number() == err::kSubscriptOutOfRange) {
      std::cerr << Fill(_("kelvora: import: the store would hold more than {1} draws; nothing "
                          "was stored."),
                        {static_cast<int>(layout::kStoreCapacity)})
                << '\n';
      return kExitStopped;
    }
    std::cerr << Fill(_("kelvora: import: error {1}: {2}; nothing was stored."),
                      {static_cast<int>(e.number()), e.what()})
              << '\n';
    return kExitFailed;
  }
  if (refused) {
    std::cerr << "kelvora: import: " << book->path << ": "
              << _("stopped by a check; the workbook is left as it was.") << '\n';
    return kExitStopped;
  }
  const auto added = static_cast<long long>(after - before);
  if (added <= 0) {
    std::cerr << Fill(_("kelvora: import: {1} holds no new draws; the store holds {2} "
                        "draws as before."),
                      {name, static_cast<long long>(after)})
              << '\n';
    return kExitStopped;
  }
  if (!SaveBook(*book)) return kExitFailed;
  std::cerr << Fill(_n("kelvora: import: {1} new draw taken in from {2}; the store "
                       "holds {3} draws.",
                       "kelvora: import: {1} new draws taken in from {2}; the store "
                       "holds {3} draws.",
                       static_cast<unsigned long>(added)),
                    {added, name, static_cast<long long>(after)})
            << '\n';
  return kExitOk;
}

}  // namespace

void AddStoreVerbs(CLI::App& app, const ToolOptions& options, int& exit_status) {
  auto* exp = app.add_subcommand(
      "export", _("Write the result store as CSV or JSON, newest draw first (the workbook is only "
                  "read)"));
  struct ExportArgs {
    bool csv = false, json = false;
    std::string output;
  };
  auto args = std::make_shared<ExportArgs>();
  auto* csv = exp->add_flag("--csv", args->csv, _("CSV: a header line draw,result (the default)"));
  auto* json = exp->add_flag("--json", args->json, _("JSON: an array of {\"draw\", \"result\"}"));
  csv->excludes(json);
  exp->add_option("-o,--output", args->output,
                  _("the file to write (- or none: standard output); never a workbook"));
  exp->fallthrough();
  exp->callback([&exit_status, &options, args] {
    exit_status = RunExport(options, args->json, args->output);
  });

  auto* imp = app.add_subcommand(
      "import", _("Take the draws of a CSV file as export writes it into the store, checked as the "
                  "intakes check them"));
  auto file = std::make_shared<std::string>();
  imp->add_option("FILE", *file, _("the CSV file (- for standard input)"))->required();
  imp->fallthrough();
  imp->callback([&exit_status, &options, file] { exit_status = RunImport(options, *file); });
}

}  // namespace kelvora::tool
