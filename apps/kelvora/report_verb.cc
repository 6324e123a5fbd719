#include "report_verb.h"

#include <iostream>

#include "exit_status.h"
#include "host/error.h"
#include "host/files.h"
#include "i18n.h"
#include "report/report_data.h"
#include "report/report_page.h"
#include "terminal_platform.h"
#include "text/utf.h"
#include "workbook_session.h"

namespace kelvora::tool {

std::string DefaultReportPath(const std::string& workbook) {
  const size_t slash = workbook.rfind('/');
  const size_t dot = workbook.rfind('.');
  const bool has_extension =
      dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (has_extension ? workbook.substr(0, dot) : workbook) + "-report.html";
}

namespace {

// Why the page must not be written at `path`; nothing when it may.
std::optional<const char*> OutputRefusal(const std::string& path, const OpenBook& book,
                                         bool force) {
  switch (ClashOf(path, book)) {
    case OutputClash::kTheWorkbook:
      return _("it is the workbook the report is made from; choose another file for the page.");
    case OutputClash::kNotRegularFile:
      return _("it is not a regular file; choose another file for the page.");
    case OutputClash::kZipPackage:
      return _(
          "it is a workbook or another zip package, which the report never replaces; choose "
          "another file for the page.");
    case OutputClash::kNone:
      break;
  }
  if (force || !host::Exists(path)) return std::nullopt;
  // A page the report wrote is far smaller than this.
  constexpr uint64_t kMaxPage = uint64_t{256} << 20;
  try {
    if (report::IsReportPage(host::ReadFile(path, kMaxPage))) return std::nullopt;
  } catch (const host::FileError&) {
    // Too large to be a page the report wrote.
  }
  return _("it exists and is not a page the report wrote; use --force to replace it.");
}

}  // namespace

int RunReport(const std::string& workbook, const std::string& output, bool open, bool force) {
  const bool to_stdout = output == "-";
  if (to_stdout && open) {
    std::cerr << "kelvora: report: " << _("--open cannot open a page written to standard output.")
              << '\n';
    return kExitUsage;
  }
  auto book = OpenWorkbook(workbook, Access::kRead);
  if (!book) return kExitFailed;
  const size_t slash = book->path.rfind('/');
  const std::string name = slash == std::string::npos ? book->path : book->path.substr(slash + 1);
  std::optional<report::ReportData> data;
  try {
    host::Session session(BindBook(*book, nullptr), {});
    data = report::GatherReport(session, Utf8ToUtf16(name));
  } catch (const CommandError& e) {
    std::cerr << Fill(_("kelvora: report: error {1}: {2}"), {e.number(), e.description()}) << '\n';
    return kExitFailed;
  }
  if (!data) {
    std::cerr << Fill(_("kelvora: report: {1} has no analysis results yet; run Main first "
                        "(kelvora -w {1} Main)"),
                      {book->path})
              << '\n';
    return kExitStopped;
  }
  if (to_stdout) {
    std::cout << report::RenderReportPage(*data) << std::flush;
    return std::cout ? kExitOk : kExitFailed;
  }
  const std::string path = output.empty() ? DefaultReportPath(book->path) : output;
  try {
    if (const auto refusal = OutputRefusal(path, *book, force)) {
      std::cerr << "kelvora: report: " << path << ": " << _("not written:") << ' ' << *refusal
                << '\n';
      return kExitFailed;
    }
    host::WriteFileAtomically(path, report::RenderReportPage(*data));
  } catch (const std::exception& e) {
    std::cerr << "kelvora: report: " << path << ": " << e.what() << '\n';
    return kExitFailed;
  }
  std::cout << path << '\n';
  if (open && !OpenInBrowser(path))
    std::cerr << Fill(_("kelvora: report: no desktop browser to open {1} with"), {path}) << '\n';
  return kExitOk;
}

}  // namespace kelvora::tool
