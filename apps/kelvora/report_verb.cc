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

int RunReport(const std::string& workbook, const std::string& output, bool open) {
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
  const std::string path = output.empty() ? DefaultReportPath(book->path) : output;
  try {
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
