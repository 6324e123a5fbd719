#include "adopt_verb.h"

#include <iostream>
#include <optional>

#include "adopt/adopt.h"
#include "exit_status.h"
#include "host/files.h"
#include "host/layout.h"
#include "host/message.h"
#include "i18n.h"
#include "terminal_platform.h"
#include "text/utf.h"
#include "workbook_session.h"

namespace kelvora::tool {
namespace {

using book::QuotedTab;

// The part a sheet plays: 0 main, 1 paste, 2 settings.
std::string Role(size_t i) {
  return i == 0 ? _("the main sheet") : i == 1 ? _("the paste sheet") : _("the settings sheet");
}

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
  return code.empty() ? _("no code name") : Utf16ToUtf8(code);
}

void PrintAdoption(const adopt::Adoption& a, const std::string& path) {
  std::cerr << Fill(_("kelvora: adopt {1}:"), {path}) << '\n';
  if (a.by_position) {
    std::cerr << "  "
              << _("not every one of the three code names is there; the first three worksheets "
                   "are taken in order")
              << '\n';
  }
  for (const auto& change : a.changes) {
    std::cerr << "  " << QuotedTab(change.tab) << " (" << CodeNameText(change.from) << ") -> "
              << Utf16ToUtf8(change.to);
    for (size_t i = 0; i < 3; ++i)
      if (change.tab == a.tabs[i]) std::cerr << ", " << Role(i);
    std::cerr << '\n';
  }
  if (a.kind_list_added) {
    std::cerr << "  "
              << Fill(_("{1} -> {2}!{3} (added)"),
                      {Utf16ToUtf8(layout::kKindListName), QuotedTab(a.tabs[2]),
                       Utf16ToUtf8(layout::A1(layout::kKindList))})
              << '\n';
  }
}

}  // namespace

std::string HowToMend(const book::ShapeProblem& problem, const std::string& path) {
  using Kind = book::ShapeProblem::Kind;
  const std::string book = ShellWord(path);
  const std::string name = Utf16ToUtf8(layout::kKindListName);
  const std::string by_tabs = Fill(
      _("kelvora adopt {1} --main TAB --paste TAB --settings TAB (each TAB the tab of that sheet)"),
      {book});
  switch (problem.kind) {
    case Kind::kMissingCodeNames:
      return Fill(_("to give three worksheets these code names, run: {1}, or kelvora adopt {2} to "
                    "take the first three worksheets after a question"),
                  {by_tabs, book});
    case Kind::kNoKindList:
      return Fill(_("to add it, run: kelvora adopt {1}"), {book});
    case Kind::kKindListElsewhere:
      return Fill(_("correct the name {1} in a spreadsheet program (Formulas > Name Manager) so "
                    "that it refers to six rows of the settings sheet, or make its sheet the "
                    "settings sheet: {2}"),
                  {name, by_tabs});
    case Kind::kKindListTooShort:
      break;
  }
  return Fill(_("correct the name {1} in a spreadsheet program (Formulas > Name Manager) so that "
                "it refers to the six rows of bet kinds"),
              {name});
}

int RunAdopt(const std::string& path, const AdoptArgs& args) {
  if (!host::Exists(path)) {
    std::cerr << Fill(_("kelvora: {1} does not exist"), {path}) << '\n';
    return kExitFailed;
  }
  // One writer at a time: the lock is held from the read to the write.
  std::optional<host::FileLock> lock;
  adopt::Adoption adoption;
  try {
    lock.emplace(path, [&path] { WaitingForAnotherRun(path); });
    const std::string bytes = lock->Read(host::xlsx::PackageLimits{}.max_file_size);
    adoption = adopt::AdoptWorkbook(
        bytes, {Utf8ToUtf16(args.main), Utf8ToUtf16(args.paste), Utf8ToUtf16(args.settings)});
  } catch (const adopt::AdoptRefused& e) {
    std::cerr << Fill(_("kelvora: adopt: {1}: {2} (nothing written)"), {path, e.what()}) << '\n';
    return e.tabs_given_wrong() ? kExitUsage : kExitFailed;
  } catch (const std::exception& e) {
    std::cerr << Fill(_("kelvora: adopt: {1}: {2} (nothing written)"), {path, e.what()}) << '\n';
    return kExitFailed;
  }
  if (adoption.bytes.empty()) {
    std::cerr << Fill(_("kelvora: {1} has its shape already: {2} is {3}, {4} is {5}, {6} is {7}, "
                        "{8} is there; nothing written"),
                      {path, QuotedTab(adoption.tabs[0]), Role(0), QuotedTab(adoption.tabs[1]),
                       Role(1), QuotedTab(adoption.tabs[2]), Role(2),
                       Utf16ToUtf8(layout::kKindListName)})
              << '\n';
    return kExitOk;
  }
  PrintAdoption(adoption, path);
  if (adoption.by_position) {
    TerminalMessageBox question(args.yes ? Answer::kYes : Answer::kAsk);
    if (question.Show(Utf8ToUtf16(_("give these worksheets the code names above?")),
                      u"kelvora adopt", kMbSystemModal + kMbYesNo) != kIdYes) {
      std::cerr << _("kelvora: adopt: nothing written; to adopt without a question, give "
                     "--main, --paste and --settings with the sheets' tabs, or --yes")
                << '\n';
      return kExitFailed;
    }
  }
  if (const auto holder = SpreadsheetHolding(path)) {
    std::cerr << Fill(_("kelvora: {1}: not written: {2}"), {path, *holder}) << '\n';
    return kExitFailed;
  }
  if (host::IdentityOf(path) != lock->identity()) {
    std::cerr << Fill(_("kelvora: {1}: not written: another program changed the file meanwhile"),
                      {path})
              << '\n';
    return kExitFailed;
  }
  try {
    host::WriteFileAtomically(path, adoption.bytes);
  } catch (const host::FileError& e) {
    std::cerr << Fill(_("kelvora: {1}: not written: {2}"), {path, e.what()}) << '\n';
    return kExitFailed;
  }
  std::cerr << Fill(_("kelvora: adopted {1}"), {path}) << '\n';
  return kExitOk;
}

}  // namespace kelvora::tool
