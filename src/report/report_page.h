// The report as one self-contained HTML page: styles, Chart.js and the
// page's own script inline, the figures in a JSON data block
// (<script type="application/json" id="kelvora-data">). It loads nothing
// from the network and reads well on a phone and on paper.
#pragma once

#include <string>
#include <string_view>

#include "report/report_data.h"

namespace kelvora::report {

// The page, UTF-8.
std::string RenderReportPage(const ReportData& data);

// True when `bytes` hold a page that RenderReportPage wrote: they hold its
// data block.
bool IsReportPage(std::string_view bytes);

}  // namespace kelvora::report
