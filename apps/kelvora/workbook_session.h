// Running the engine on a workbook file: open or create the book, open a
// session on it with the terminal's platform services, run one command, map
// its outcome to an exit status and save what it changed.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "entry/commands.h"
#include "host/files.h"
#include "host/session.h"
#include "memory/memory_workbook.h"
#include "terminal_platform.h"
#include "xlsx/xlsx_workbook.h"

namespace kelvora::tool {

inline constexpr char kDefaultBook[] = "kelvora.xlsx";

struct OpenBook {
  std::string path;
  // Held by a book opened for writing, from its load to the end of the verb:
  // another kelvora process on the same file waits until it is released.
  std::optional<host::FileLock> lock;
  // The file as it was when opened (size, time of change, inode), so that a
  // change by another program meanwhile is not overwritten.
  std::optional<host::FileIdentity> stamp;
  std::shared_ptr<host::memory::MemoryApplication> app;
  std::unique_ptr<host::xlsx::XlsxWorkbook> file;
};

// True when `path` ends in .xlsx or .xlsm, in any letter case: the names
// under which a spreadsheet program opens a file as a workbook.
bool HasWorkbookExtension(const std::string& path);

// When `path` is a symbolic link to nothing, the line that says so (no line
// end); nothing otherwise.
std::optional<std::string> DanglingLinkNotice(const std::string& path);

// Why an existing file at `output` may never be replaced by what a verb
// writes from `book`: it is that workbook (by another name or a link as
// well), it is not a regular file, or it is a zip package, as every workbook
// is. kNone when it may be (or does not exist). Throws host::FileError when
// the start of the file cannot be read.
enum class OutputClash { kNone, kTheWorkbook, kNotRegularFile, kZipPackage };
OutputClash ClashOf(const std::string& output, const OpenBook& book);

// A new workbook from the built-in template (an .xlsm package when `path`
// ends in .xlsm), not yet saved.
OpenBook NewBookFromTemplate(const std::string& path);

enum class Access {
  kRead,   // the verb only reads: no lock, and a missing default book is an error
  kWrite,  // the verb may save: the book's lock is taken before it is read, and
           // a missing default book is made from the template
};

// Opens `path` (or the default book when `path` is empty). For kWrite, waits
// for the book's lock (host::FileLock) and reads the book through it; when
// the default book is missing it is made from the template and saved, with a
// notice on standard error. Prints the reason and returns nothing when the
// book cannot be used: it cannot be read, or it lacks the shape the engine
// binds (book/workbook_shape.h; the message says how to mend it).
std::optional<OpenBook> OpenWorkbook(const std::string& path, Access access);

// The book's application and workbook, bound as the component binds them.
host::BoundBook BindBook(const OpenBook& book, host::Locale* locale);

// What the clipboard holds for a command.
struct ClipboardInput {
  bool given = false;  // false: the desktop clipboard, or an empty one
  std::string bytes;   // HTML or text, UTF-8
};

// Reads --clipboard FILE ("-" for standard input; a pipe or /dev/stdin as
// well): UTF-8, or UTF-16 with a byte-order mark, with any line ends (CR
// alone becomes LF). Prints the reason and returns nothing when it cannot be
// read or is in another encoding.
std::optional<ClipboardInput> ReadClipboardInput(const std::string& file);

// The tool's way to mend a stored result that a page (or an import) for the
// book at `path` contradicts, the last line of the intakes' refusal: the fix
// verb with the draw and the page's result, or clearing the store (the
// component's wording says to correct the cell instead). Unicode.
std::u16string FixRemedy(const std::string& path, const std::u16string& draw,
                         const std::u16string& result);

// Runs `command` on a session on the book and saves the book when the
// command ran to its end, or when Main was stopped by one of its checks; any
// other command stopped by a check saves nothing, so the file stays byte for
// byte as it was. Returns the exit status: kExitOk, kExitFailed, or
// kExitStopped for a stop by a check.
int RunWorkbookCommand(OpenBook& book, const Command& command, const ClipboardInput& clipboard,
                       Answer answer);

// Saves the book when it changed; prints the reason and returns false when
// it cannot: it is read-only, another program changed it since it was
// opened, or a spreadsheet program has it open (its lock file lies beside
// it; see SpreadsheetHolding).
bool SaveBook(const OpenBook& book);

// Why the workbook at `path` must not be written now, when a spreadsheet
// program has it open: told by the lock file the program keeps beside it
// ("~$NAME" for Excel, ".~lock.NAME#" for LibreOffice). Nothing otherwise.
std::optional<std::string> SpreadsheetHolding(const std::string& path);

// Says on standard error that the run waits for another run on the workbook
// at `path` to end (it holds the workbook's lock).
void WaitingForAnotherRun(const std::string& path);

}  // namespace kelvora::tool
