// `kelvora report`: the workbook's report as one self-contained HTML page.
#pragma once

#include <string>

namespace kelvora::tool {

// Writes the report of `workbook` (the default book when empty) to `output`
// (by default beside the workbook as BOOK-report.html) and prints the page's
// path on standard output; with `open`, opens it in the desktop's browser
// where there is one. An `output` of "-" writes the page itself on standard
// output. The workbook is only read. The page replaces the file at `output`
// through a temporary file and a rename, and only when that file is a page
// the report wrote (or with `force`); it never replaces a zip package (any
// workbook), nor the workbook it reads, even through a symbolic link.
// Returns kExitOk; kExitStopped when the workbook has no analysis results yet
// (the message says to run Main); kExitFailed when the book cannot be read,
// the page may not replace the file at `output`, or it cannot be written;
// kExitUsage for `open` with the page on standard output.
int RunReport(const std::string& workbook, const std::string& output, bool open, bool force);

// The default page of a workbook: its path without the extension, then
// "-report.html".
std::string DefaultReportPath(const std::string& workbook);

}  // namespace kelvora::tool
