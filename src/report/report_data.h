// What the report shows, gathered from a read book: the
// store, each stage's method table and record against chance, the hit marks
// that Main wrote, the last two digits of the stored results and the sets
// for the coming draw. Nothing is written to the workbook.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "analysis/book_view.h"
#include "analysis/chance_report.h"
#include "analysis/gan.h"
#include "analysis/size_sweep.h"
#include "host/session.h"
#include "host/value.h"

namespace kelvora::report {

// The last two digits of the stored five-digit results, first digit by
// second, with the chi-square test of uniformity.
struct EndingGrid {
  std::array<int64_t, 100> counts{};  // [10 * first + second]
  int64_t total = 0;
  double expected = 0;  // total / 100
  double chi2 = 0;
  double chi2_p = 1;  // 99 degrees of freedom
};

struct StageReport {
  host::Table table;  // the 3 by 9 method table as Main wrote it
  // Hits of each method, oldest tested draw first: '1' a hit, '0' a miss;
  // empty unless the stage is current.
  std::array<std::string, 3> hits;
  std::u16string kind;
  host::Value size;
  host::Value position;
  // Every size of the stage's kind at once, when the stage is current.
  std::optional<analysis::SizeSweep> sweep;
};

struct ReportData {
  std::u16string title;  // the workbook's name
  host::Value heading;
  int64_t draws = 0;
  host::Value newest_draw, oldest_draw;
  analysis::ChanceReport chance;
  std::array<StageReport, 2> stages;
  EndingGrid endings;
  analysis::GanReport gan;          // over the newest kGanLast draws
  std::array<host::Value, 6> sets;  // the six sets for the coming draw (L3..L5, L9..L11)
};

// The newest draws the report's frequency tables count.
inline constexpr int64_t kGanLast = 100;

// The report of the session's book; nothing when it has no analysis results
// yet (the first stage's method table is empty). The book's marks are read
// while the sweeps run, so that the host read and the computing overlap;
// the sweeps use the session's workers.
std::optional<ReportData> GatherReport(host::Session& session, const std::u16string& title);

// The figures of the report as one JSON object; its "methods", "methods_2",
// "rerun_main" and "store_quality" are what `kelvora show --json` gives.
std::string ReportDataJson(const ReportData& data);

// The grid of the last two digits of a draw block's five-digit results.
EndingGrid CountEndings(const host::Table& block);

}  // namespace kelvora::report
