#include "adopt_verb.h"

#include <iostream>
#include <optional>

#include "exit_status.h"
#include "host/files.h"
#include "host/layout.h"
#include "host/message.h"
#include "host/xlsx/adopt.h"
#include "terminal_platform.h"
#include "text/utf.h"
#include "workbook_session.h"

namespace kelvora::tool {
namespace {

using host::xlsx::QuotedTab;

constexpr const char* kRoles[] = {"the main sheet", "the paste sheet", "the settings sheet"};

// `path` as a shell reads it back: quoted unless it is plain.
std::string ShellWord(const std::string& path) {
  bool plain = !path.empty();
  for (char c : path) {
    plain &= (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
             c == '.' || c == '_' || c == '-' || c == '/';
  }
  if (plain) return path;
  std::string out = "'";
  for (char c : path) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string CodeNameText(const std::u16string& code) {
  return code.empty() ? "no code name" : Utf16ToUtf8(code);
}

void PrintAdoption(const host::xlsx::Adoption& a, const std::string& path) {
  std::cerr << "kelvora: adopt " << path << ":\n";
  if (a.by_position) {
    std::cerr << "  not every one of the three code names is there; the first three worksheets "
                 "are taken in order\n";
  }
  for (const auto& change : a.changes) {
    std::cerr << "  " << QuotedTab(change.tab) << " (" << CodeNameText(change.from) << ") -> "
              << Utf16ToUtf8(change.to);
    for (size_t i = 0; i < 3; ++i)
      if (change.tab == a.tabs[i]) std::cerr << ", " << kRoles[i];
    std::cerr << '\n';
  }
  if (a.kind_list_added) {
    std::cerr << "  " << Utf16ToUtf8(layout::kKindListName) << " -> " << QuotedTab(a.tabs[2]) << "!"
              << Utf16ToUtf8(layout::A1(layout::kKindList)) << " (added)\n";
  }
}

}  // namespace

std::string HowToMend(const host::xlsx::ShapeProblem& problem, const std::string& path) {
  using Kind = host::xlsx::ShapeProblem::Kind;
  const std::string book = ShellWord(path);
  const std::string by_tabs = "kelvora adopt " + book +
                              " --main TAB --paste TAB --settings TAB (each TAB the tab of "
                              "that sheet)";
  switch (problem.kind) {
    case Kind::kMissingCodeNames:
      return "to give three worksheets these code names, run: " + by_tabs + ", or kelvora adopt " +
             book + " to take the first three worksheets after a question";
    case Kind::kNoKindList:
      return "to add it, run: kelvora adopt " + book;
    case Kind::kKindListElsewhere:
      return "correct the name " + Utf16ToUtf8(layout::kKindListName) +
             " in a spreadsheet program (Formulas > Name Manager) so that it refers to six rows of "
             "the settings sheet, or make its sheet the settings sheet: " +
             by_tabs;
    case Kind::kKindListTooShort:
      break;
  }
  return "correct the name " + Utf16ToUtf8(layout::kKindListName) +
         " in a spreadsheet program (Formulas > Name Manager) so that it refers to the six rows of "
         "bet kinds";
}

int RunAdopt(const std::string& path, const AdoptArgs& args) {
  if (!host::Exists(path)) {
    std::cerr << "kelvora: " << path << " does not exist\n";
    return kExitFailed;
  }
  // One writer at a time: the lock is held from the read to the write.
  std::optional<host::FileLock> lock;
  host::xlsx::Adoption adoption;
  try {
    lock.emplace(path, [&path] { WaitingForAnotherRun(path); });
    const std::string bytes = lock->Read(host::xlsx::PackageLimits{}.max_file_size);
    adoption = host::xlsx::AdoptWorkbook(
        bytes, {Utf8ToUtf16(args.main), Utf8ToUtf16(args.paste), Utf8ToUtf16(args.settings)});
  } catch (const host::xlsx::AdoptRefused& e) {
    std::cerr << "kelvora: adopt: " << path << ": " << e.what() << " (nothing written)\n";
    return e.tabs_given_wrong() ? kExitUsage : kExitFailed;
  } catch (const std::exception& e) {
    std::cerr << "kelvora: adopt: " << path << ": " << e.what() << " (nothing written)\n";
    return kExitFailed;
  }
  if (adoption.bytes.empty()) {
    std::cerr << "kelvora: " << path << " has its shape already: ";
    for (size_t i = 0; i < 3; ++i)
      std::cerr << QuotedTab(adoption.tabs[i]) << " is " << kRoles[i] << ", ";
    std::cerr << Utf16ToUtf8(layout::kKindListName) << " is there; nothing written\n";
    return kExitOk;
  }
  PrintAdoption(adoption, path);
  if (adoption.by_position) {
    TerminalMessageBox question(args.yes ? Answer::kYes : Answer::kAsk);
    if (question.Show(u"give these worksheets the code names above?", u"kelvora adopt",
                      kMbSystemModal + kMbYesNo) != kIdYes) {
      std::cerr << "kelvora: adopt: nothing written; to adopt without a question, give --main, "
                   "--paste and --settings with the sheets' tabs, or --yes\n";
      return kExitFailed;
    }
  }
  if (const auto holder = SpreadsheetHolding(path)) {
    std::cerr << "kelvora: " << path << ": not written: " << *holder << '\n';
    return kExitFailed;
  }
  if (host::IdentityOf(path) != lock->identity()) {
    std::cerr << "kelvora: " << path
              << ": not written: another program changed the file meanwhile\n";
    return kExitFailed;
  }
  try {
    host::WriteFileAtomically(path, adoption.bytes);
  } catch (const host::FileError& e) {
    std::cerr << "kelvora: " << path << ": not written: " << e.what() << '\n';
    return kExitFailed;
  }
  std::cerr << "kelvora: adopted " << path << '\n';
  return kExitOk;
}

}  // namespace kelvora::tool
