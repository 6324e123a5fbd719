#include "workbook_session.h"

#include <cctype>
#include <iostream>
#include <utility>

#include "adopt_verb.h"
#include "book/workbook_shape.h"
#include "book/workbook_template.h"
#include "command_summary.h"
#include "entry/binding.h"
#include "exit_status.h"
#include "host/error.h"
#include "host/files.h"
#include "html/html_text.h"
#include "i18n.h"
#include "text/telex.h"
#include "text/utf.h"
#include "xlsx/zip_package.h"

namespace kelvora::tool {
namespace {

bool EndsWithNoCase(const std::string& s, const std::string& suffix) {
  if (s.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(s[s.size() - suffix.size() + i])) !=
        std::tolower(static_cast<unsigned char>(suffix[i])))
      return false;
  }
  return true;
}

// The text a browser puts on the clipboard when the page is selected and
// copied.
std::u16string ClipboardTextOfHtml(std::string_view html) {
  return html::HtmlToClipboardText(html);
}

std::string StripBom(std::string s) {
  if (s.rfind("\xEF\xBB\xBF", 0) == 0) s.erase(0, 3);
  return s;
}

}  // namespace

std::u16string FixRemedy(const std::string& path, const std::u16string& draw,
                         const std::u16string& result) {
  const std::string book = path == kDefaultBook ? "" : "-w " + path + " ";
  return TelexToUnicode(u"Neesu trang mowsi ddusng, haxy suwra bawfng leejnh: ") +
         Utf8ToUtf16("kelvora " + book + "fix ") + draw + u"=" + result +
         TelexToUnicode(u", hoawjc xosa duwx lieeju (") + u"XoaDuLieu" +
         TelexToUnicode(u") roofi nhaajp laji.");
}

bool HasWorkbookExtension(const std::string& path) {
  return EndsWithNoCase(path, ".xlsx") || EndsWithNoCase(path, ".xlsm");
}

std::optional<std::string> DanglingLinkNotice(const std::string& path) {
  const auto target = host::DanglingLinkTarget(path);
  if (!target) return std::nullopt;
  return Fill(_("kelvora: {1} is a symbolic link to {2}, which does not exist; nothing was "
                "read or written."),
              {path, target->c_str()});
}

OutputClash ClashOf(const std::string& output, const OpenBook& book) {
  if (!host::Exists(output)) return OutputClash::kNone;
  const auto id = host::IdentityOf(output);
  if (id && id == host::IdentityOf(book.path)) return OutputClash::kTheWorkbook;
  if (!host::IsRegularFile(output)) return OutputClash::kNotRegularFile;
  if (host::xlsx::LooksLikeZipPackage(host::ReadFileStart(output, 4)))
    return OutputClash::kZipPackage;
  return OutputClash::kNone;
}

OpenBook NewBookFromTemplate(const std::string& path) {
  OpenBook b;
  b.path = path;
  b.app = std::make_shared<host::memory::MemoryApplication>();
  host::memory::MemoryWorkbook tmpl;
  FillTemplateWorkbook(tmpl);
  b.file = host::xlsx::XlsxWorkbook::Create(tmpl, TemplateSheetLayouts(),
                                            EndsWithNoCase(path, ".xlsm"), b.app.get());
  return b;
}

std::optional<OpenBook> OpenWorkbook(const std::string& path, Access access) {
  const bool is_default = path.empty();
  const std::string p = is_default ? kDefaultBook : path;
  try {
    if (is_default && access == Access::kWrite && !host::Exists(p)) {
      // Made only when still missing: a run started together with this one
      // may have made it, and saved its change, meanwhile.
      if (host::CreateFileAtomically(p, NewBookFromTemplate(p).file->SaveToBytes())) {
        std::cerr << Fill(_("kelvora: {1} does not exist; creating it from the built-in "
                            "template"),
                          {p})
                  << '\n';
      }
    }
    if (const auto notice = DanglingLinkNotice(p)) {
      std::cerr << *notice << '\n';
      return std::nullopt;
    }
    if (!host::Exists(p)) {
      std::cerr << Fill(_("kelvora: {1} does not exist (make one with: kelvora init {1})"), {p})
                << '\n';
      return std::nullopt;
    }
    OpenBook b;
    b.path = p;
    b.app = std::make_shared<host::memory::MemoryApplication>();
    if (access == Access::kWrite) {
      b.lock.emplace(p, [&p] { WaitingForAnotherRun(p); });
      b.stamp = b.lock->identity();
      b.file = host::xlsx::XlsxWorkbook::Load(
          b.lock->Read(host::xlsx::PackageLimits{}.max_file_size), b.app.get());
    } else {
      b.stamp = host::IdentityOf(p);
      b.file = host::xlsx::XlsxWorkbook::Open(p, b.app.get());
    }
    if (const auto problem = book::WorkbookShapeProblem(*b.file->book())) {
      std::cerr << Fill(_("kelvora: {1} cannot be used: {2}.\n  {3} ({1} left unchanged)"),
                        {p, problem->description, HowToMend(*problem, p)})
                << '\n';
      return std::nullopt;
    }
    return b;
  } catch (const host::xlsx::XlsxError& e) {
    std::cerr << "kelvora: " << p << ": " << e.what() << '\n';
    return std::nullopt;
  } catch (const host::FileError& e) {
    std::cerr << "kelvora: " << e.what() << '\n';
    return std::nullopt;
  }
}

std::optional<ClipboardInput> ReadClipboardInput(const std::string& file) {
  ClipboardInput in;
  in.given = true;
  const std::string name = file == "-" ? std::string(_("standard input")) : file;
  std::optional<std::u16string> text;
  try {
    constexpr uint64_t kMaxBytes = uint64_t{64} << 20;
    text = DecodeTextFile(file == "-" ? host::ReadStandardInput(kMaxBytes)
                                      : host::ReadFile(file, kMaxBytes));
  } catch (const host::FileError& e) {
    std::cerr << "kelvora: --clipboard: " << e.what() << '\n';
    return std::nullopt;
  }
  if (!text) {
    std::cerr << Fill(_("kelvora: --clipboard: {1} is in a wrong encoding: it is neither UTF-8 "
                        "nor UTF-16 with a byte-order mark; save it in one of these (Notepad: "
                        "UTF-8, or Unicode)"),
                      {name})
              << '\n';
    return std::nullopt;
  }
  // Lines ended by CR alone (old Mac files) end as the intakes read them.
  for (size_t i = 0; i < text->size(); ++i) {
    if ((*text)[i] == u'\r' && (i + 1 == text->size() || (*text)[i + 1] != u'\n'))
      (*text)[i] = u'\n';
  }
  in.bytes = Utf16ToUtf8(*text);
  return in;
}

std::optional<std::string> SpreadsheetHolding(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::pair<const char*, std::string> lock_files[] = {
      {"Excel", "~$" + name},
      {"LibreOffice", ".~lock." + name + "#"},
  };
  for (const auto& [program, lock_file] : lock_files) {
    if (host::Exists(dir + lock_file)) {
      return Fill(_("the workbook is open in {1} (its lock file {2} lies beside it): close the "
                    "workbook in {1} first, then run the command again"),
                  {program, lock_file});
    }
  }
  return std::nullopt;
}

void WaitingForAnotherRun(const std::string& path) {
  std::cerr << Fill(_("kelvora: {1} is in use by another kelvora run; waiting for it to end"),
                    {path})
            << '\n';
}

bool SaveBook(const OpenBook& book) {
  if (!book.file->HasChanges()) return true;
  if (const auto holder = SpreadsheetHolding(book.path)) {
    std::cerr << Fill(_("kelvora: {1}: not saved: {2}"), {book.path, *holder}) << '\n';
    return false;
  }
  if (book.stamp && host::IdentityOf(book.path) != book.stamp) {
    std::cerr << Fill(_("kelvora: {1}: not saved: another program changed the file while the "
                        "command ran"),
                      {book.path})
              << '\n';
    return false;
  }
  try {
    book.file->Save(book.path);
    return true;
  } catch (const std::exception& e) {
    std::cerr << Fill(_("kelvora: {1}: not saved: {2}"), {book.path, e.what()}) << '\n';
    return false;
  }
}

host::BoundBook BindBook(const OpenBook& book, host::Locale* locale) {
  host::BoundBook bound;
  bound.ExcelApp = book.app;
  bound.ThisWorkBook = book.file->book();
  BindWorkbook(bound, locale);
  return bound;
}

int RunWorkbookCommand(OpenBook& book, const Command& command, const ClipboardInput& clipboard,
                       Answer answer) {
  DesktopClipboard desktop;
  TerminalClipboard clip(clipboard.given || !desktop.Available() ? nullptr : &desktop);
  TerminalMessageBox messages(answer);
  QuietLocale locale;
  if (clipboard.given) {
    std::string bytes = StripBom(clipboard.bytes);
    if (LooksLikeHtml(bytes)) {
      clip.set_html(std::move(bytes));
      clip.set_text_of_html(ClipboardTextOfHtml);
    } else {
      clip.set_html(std::nullopt);
      clip.set_text(Utf8ToUtf16(bytes));
    }
  }
  // The workbook's pastes read the same clipboard as the commands.
  book.app->set_clipboard(&clip);
  struct Detach {
    host::memory::MemoryApplication& app;
    ~Detach() { app.set_clipboard(nullptr); }
  } detach{*book.app};

  host::Outcome outcome = host::Outcome::kRanToEnd;
  std::string summary;
  try {
    host::Session session(BindBook(book, &locale), {&clip, &messages, &locale});
    session.result_remedy = [&book](const std::u16string& draw, const std::u16string& result) {
      return FixRemedy(book.path, draw, result);
    };
    const int64_t stored_before = StoredDraws(session);
    messages.set_quiet(EmptyCopiedCell(session, command).has_value());
    command.run(session);
    StopTableIntakeWithNothingNew(session, command, stored_before);
    outcome = session.outcome();
    summary = CommandSummary(session, command, stored_before);
  } catch (const CommandError& e) {
    std::cerr << Fill(_("kelvora: {1} failed: error {2}: {3} ({4} left unchanged)"),
                      {command.name, e.number(), e.description(), book.path})
              << '\n';
    return kExitFailed;
  } catch (const std::exception& e) {
    std::cerr << Fill(_("kelvora: {1} failed: {2} ({3} left unchanged)"),
                      {command.name, e.what(), book.path})
              << '\n';
    return kExitFailed;
  }
  // An empty cell's copy empties the clipboard; the summary says so.
  if (clip.written() && !clip.written()->empty()) std::cout << Utf16ToUtf8(*clip.written()) << '\n';
  const bool stopped = outcome == host::Outcome::kStoppedByCheck;
  auto say_summary = [&summary] {
    if (!summary.empty()) std::cerr << "kelvora: " << summary << '\n';
  };
  // A command its check refused leaves the file byte for byte as it was: an
  // intake refuses its page whole, and what it pasted to read the page is
  // no change of the user's. Main is the exception: what it wrote before its
  // check stopped it (its outputs cleared, the first stage's results when
  // the second stage's parameters stop it) is its result, as in Excel.
  if (stopped && command.name != "Main") {
    say_summary();  // next to the notice it explains
    std::cerr << "kelvora: " << command.name << ": " << book.path << ": "
              << _("stopped by a check; the workbook is left as it was.") << '\n';
    return kExitStopped;
  }
  if (!SaveBook(book)) return kExitFailed;
  say_summary();
  return stopped ? kExitStopped : kExitOk;
}

}  // namespace kelvora::tool
