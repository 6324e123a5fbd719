#include "workbook_session.h"

#include <cctype>
#include <iostream>
#include <iterator>

#include "adopt_verb.h"
#include "command_summary.h"
#include "entry/binding.h"
#include "entry/workbook_template.h"
#include "exit_status.h"
#include "host/error.h"
#include "host/files.h"
#include "host/xlsx/workbook_shape.h"
#include "text/utf.h"

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

std::optional<OpenBook> OpenWorkbook(const std::string& path, bool create_default) {
  const bool is_default = path.empty();
  const std::string p = is_default ? kDefaultBook : path;
  try {
    if (is_default && create_default && !host::Exists(p)) {
      std::cerr << "kelvora: " << p << " does not exist; creating it from the built-in template\n";
      OpenBook b = NewBookFromTemplate(p);
      b.file->Save(p);
      // Continue on the saved file, as a later run would.
      b.stamp = host::IdentityOf(p);
      b.file = host::xlsx::XlsxWorkbook::Open(p, b.app.get());
      return b;
    }
    if (!host::Exists(p)) {
      std::cerr << "kelvora: " << p << " does not exist (make one with: kelvora init " << p
                << ")\n";
      return std::nullopt;
    }
    OpenBook b;
    b.path = p;
    b.app = std::make_shared<host::memory::MemoryApplication>();
    b.stamp = host::IdentityOf(p);
    b.file = host::xlsx::XlsxWorkbook::Open(p, b.app.get());
    if (const auto problem = host::xlsx::WorkbookShapeProblem(*b.file->book())) {
      std::cerr << "kelvora: " << p << " cannot be used: " << problem->description << ".\n  "
                << HowToMend(*problem, p) << " (" << p << " left unchanged)\n";
      return std::nullopt;
    }
    return b;
  } catch (const host::xlsx::XlsxError& e) {
    std::cerr << "kelvora: " << p << ": " << e.what() << '\n';
    return std::nullopt;
  }
}

std::optional<ClipboardInput> ReadClipboardInput(const std::string& file) {
  ClipboardInput in;
  in.given = true;
  if (file == "-") {
    in.bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return in;
  }
  try {
    in.bytes = host::ReadFile(file, uint64_t{64} << 20);
  } catch (const host::FileError& e) {
    std::cerr << "kelvora: --clipboard: " << e.what() << '\n';
    return std::nullopt;
  }
  return in;
}

bool SaveBook(const OpenBook& book) {
  if (!book.file->HasChanges()) return true;
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
