// The files the report page carries inline, built into the library.
#pragma once

#include <string_view>

namespace kelvora::report {

extern const std::string_view kChartJs;       // Chart.js, from Debian's libjs-chart.js
extern const std::string_view kReportScript;  // report.js: draws the charts from the data block
extern const std::string_view kReportStyle;   // report.css: screen, phone and print

}  // namespace kelvora::report
