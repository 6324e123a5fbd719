// Running the engine on a workbook file: open or create the book, open a
// session on it with the terminal's platform services, run one command, map
// its outcome to an exit status and save what it changed.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "entry/commands.h"
#include "host/files.h"
#include "host/memory/memory_workbook.h"
#include "host/session.h"
#include "host/xlsx/xlsx_workbook.h"
#include "terminal_platform.h"

namespace kelvora::tool {

inline constexpr char kDefaultBook[] = "kelvora.xlsx";

struct OpenBook {
  std::string path;
  // The file as it was when opened (size, time of change, inode), so that a
  // change by another program meanwhile is not overwritten.
  std::optional<host::FileIdentity> stamp;
  std::shared_ptr<host::memory::MemoryApplication> app;
  std::unique_ptr<host::xlsx::XlsxWorkbook> file;
};

// A new workbook from the built-in template (an .xlsm package when `path`
// ends in .xlsm), not yet saved.
OpenBook NewBookFromTemplate(const std::string& path);

// Opens `path` (or the default book when `path` is empty). When the default
// book is missing and `create_default` is set, it is made from the template
// and saved, with a notice on standard error. Prints the reason and returns
// nothing when the book cannot be used: it cannot be read, or it lacks the
// shape the engine binds (host/xlsx/workbook_shape.h; the message says how to
// mend it).
std::optional<OpenBook> OpenWorkbook(const std::string& path, bool create_default);

// The book's application and workbook, bound as the component binds them.
host::BoundBook BindBook(const OpenBook& book, host::Locale* locale);

// What the clipboard holds for a command.
struct ClipboardInput {
  bool given = false;  // false: the desktop clipboard, or an empty one
  std::string bytes;   // HTML or text, UTF-8
};

// Reads --clipboard FILE ("-" for standard input). Prints the reason and
// returns nothing when it cannot be read.
std::optional<ClipboardInput> ReadClipboardInput(const std::string& file);

// Runs `command` on a session on the book and saves the book when the
// command ran to its end or was stopped by one of its checks. Returns the
// exit status: kExitOk, kExitFailed, or kExitStopped for a stop by a check.
int RunWorkbookCommand(OpenBook& book, const Command& command, const ClipboardInput& clipboard,
                       Answer answer);

// Saves the book when it changed; prints the reason and returns false when
// it cannot.
bool SaveBook(const OpenBook& book);

}  // namespace kelvora::tool
