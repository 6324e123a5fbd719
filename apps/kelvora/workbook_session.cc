#include "workbook_session.h"

#include <cctype>
#include <iostream>
#include <utility>

#include "adopt_verb.h"
#include "command_summary.h"
#include "entry/binding.h"
#include "entry/workbook_template.h"
#include "exit_status.h"
#include "host/error.h"
#include "host/files.h"
#include "host/xlsx/workbook_shape.h"
#include "i18n.h"
#include "text/utf.h"
#include "text_format.h"

#if __has_include("host/memory/html_text.h")
#include "host/memory/html_text.h"
#define KELVORA_HAVE_HTML_TEXT 1
#endif

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
#ifdef KELVORA_HAVE_HTML_TEXT
  return host::memory::HtmlToClipboardText(html);
#else
  return Utf8ToUtf16(html);
#endif
}

std::string StripBom(std::string s) {
  if (s.rfind("\xEF\xBB\xBF", 0) == 0) s.erase(0, 3);
  return s;
}

}  // namespace

bool HasWorkbookExtension(const std::string& path) {
  return EndsWithNoCase(path, ".xlsx") || EndsWithNoCase(path, ".xlsm");
}

std::optional<std::string> DanglingLinkNotice(const std::string& path) {
  const auto target = host::DanglingLinkTarget(path);
  if (!target) return std::nullopt;
  return Printf(_("kelvora: %1$s is a symbolic link to %2$s, which does not exist; nothing was "
                  "read or written."),
                path.c_str(), target->c_str());
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
        std::cerr << "kelvora: " << p
                  << " does not exist; creating it from the built-in template\n";
      }
    }
    if (const auto notice = DanglingLinkNotice(p)) {
      std::cerr << *notice << '\n';
      return std::nullopt;
    }
    if (!host::Exists(p)) {
      std::cerr << "kelvora: " << p << " does not exist (make one with: kelvora init " << p
                << ")\n";
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
    if (const auto problem = host::xlsx::WorkbookShapeProblem(*b.file->book())) {
      std::cerr << "kelvora: " << p << " cannot be used: " << problem->description << ".\n  "
                << HowToMend(*problem, p) << " (" << p << " left unchanged)\n";
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
  const std::string name = file == "-" ? "standard input" : file;
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
    std::cerr << "kelvora: --clipboard: " << name
              << " is in a wrong encoding: it is neither UTF-8 nor UTF-16 with a byte-order "
                 "mark; save it in one of these (Notepad: UTF-8, or Unicode)\n";
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
      return std::string("the workbook is open in ") + program + " (its lock file " + lock_file +
             " lies beside it): close the workbook in " + program +
             " first, then run the command again";
    }
  }
  return std::nullopt;
}

void WaitingForAnotherRun(const std::string& path) {
  std::cerr << "kelvora: " << path << " is in use by another kelvora run; waiting for it to end\n";
}

bool SaveBook(const OpenBook& book) {
  if (!book.file->HasChanges()) return true;
  if (const auto holder = SpreadsheetHolding(book.path)) {
    std::cerr << "kelvora: " << book.path << ": not saved: " << *holder << '\n';
    return false;
  }
  if (book.stamp && host::IdentityOf(book.path) != book.stamp) {
    std::cerr << "kelvora: " << book.path
              << ": not saved: another program changed the file while the command ran\n";
    return false;
  }
  try {
    book.file->Save(book.path);
    return true;
  } catch (const std::exception& e) {
    std::cerr << "kelvora: " << book.path << ": not saved: " << e.what() << '\n';
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
    const std::string bytes = StripBom(clipboard.bytes);
    if (LooksLikeHtml(bytes)) {
      clip.set_html(bytes);
      clip.set_text(ClipboardTextOfHtml(bytes));
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
    const int64_t stored_before = StoredDraws(session);
    command.run(session);
    outcome = session.outcome();
    summary = CommandSummary(session, command, outcome, stored_before);
  } catch (const CommandError& e) {
    std::cerr << "kelvora: " << command.name << " failed: error " << e.number() << ": "
              << e.description() << " (" << book.path << " left unchanged)\n";
    return kExitFailed;
  } catch (const std::exception& e) {
    std::cerr << "kelvora: " << command.name << " failed: " << e.what() << " (" << book.path
              << " left unchanged)\n";
    return kExitFailed;
  }
  if (clip.written()) std::cout << Utf16ToUtf8(*clip.written()) << '\n';
  if (!SaveBook(book)) return kExitFailed;
  if (!summary.empty()) std::cerr << "kelvora: " << summary << '\n';
  return outcome == host::Outcome::kStoppedByCheck ? kExitStopped : kExitOk;
}

}  // namespace kelvora::tool
