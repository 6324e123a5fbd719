# The report embeds Chart.js (Debian's libjs-chart.js), its own script and
# its style sheet into the library, so that every page it writes is
# self-contained.
find_file(KELVORA_CHART_JS chart.min.js PATHS /usr/share/javascript/chart.js NO_DEFAULT_PATH
          NO_CMAKE_FIND_ROOT_PATH
          DOC "Chart.js 3 (UMD build), from Debian's libjs-chart.js")
if(NOT KELVORA_CHART_JS)
  message(FATAL_ERROR "Chart.js not found: install libjs-chart.js (scripts/install-deps)")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/embed.cmake)
kelvora_embed_files(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/report_assets.cc HEADER report/report_assets.h
                    NAMESPACE kelvora::report
                    FILES kChartJs ${KELVORA_CHART_JS}
                          kReportScript ${CMAKE_CURRENT_LIST_DIR}/report.js
                          kReportStyle ${CMAKE_CURRENT_LIST_DIR}/report.css)
target_sources(kelvora_report PRIVATE
  src/report/json.cc
  src/report/number_format.cc
  src/report/report_data.cc
  src/report/report_page.cc
  ${CMAKE_CURRENT_BINARY_DIR}/report_assets.cc
)
