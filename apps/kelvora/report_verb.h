// `kelvora report`: the workbook's report as one self-contained HTML page.
#pragma once

#include <string>

namespace kelvora::tool {

// Writes the report of `workbook` (the default book when empty) to `output`
// (by default beside the workbook as BOOK-report.html) and prints the page's
// path on standard output; with `open`, opens it in the desktop's browser
// where there is one. The workbook is only read. Returns kExitOk;
// kExitStopped when the workbook has no analysis results yet (the message
// says to run Main); kExitFailed when the book cannot be read or the page
// cannot be written.
int RunReport(const std::string& workbook, const std::string& output, bool open);

// The default page of a workbook: its path without the extension, then
// "-report.html".
std::string DefaultReportPath(const std::string& workbook);

}  // namespace kelvora::tool
