// BaoCao: the workbook's report page (the page `kelvora report` writes),
// written into the user's folder for temporary files and shown in the
// default browser, both through the session's desktop service.
#pragma once

#include <cstdint>

#include "host/session.h"

namespace kelvora::entry {

// The page's file in the temporary folder, and the name it gives the
// workbook in its title and data block.
inline constexpr char16_t kReportFileName[] = u"Kelvora-report.html";
inline constexpr char16_t kReportTitle[] = u"Kelvora";

// Error numbers of BaoCao's refusals, beside 91 for an unbound workbook.
inline constexpr int32_t kNoAnalysisYet = 5;  // Main has not run on the workbook
inline constexpr int32_t kPageNotShown = 75;  // the page cannot be written or opened

// Gathers the report of the bound workbook, writes its page as
// kReportFileName into the temporary folder and opens it. The workbook is
// only read. Every refusal is a CommandError with a Vietnamese description:
// 91 when MainSheet or SettingsSheet is not bound; kNoAnalysisYet when the
// first stage's method table is empty; kPageNotShown when the page cannot be
// written, or was written (its path in the description) but could not be
// opened. A session without a desktop fails (91) before anything is read.
// Host failures are passed on as they come.
void BaoCao(host::Session& session);

}  // namespace kelvora::entry
