// The table intake on the in-memory host: DanKQXSNgay pasting a 30000-row
// page into a store of 30000 draws (HTML parse, paste, sort, merge, store
// rewrite), and MergeDraws alone over n rows (n/2 stored, n/2 new), whose
// time should grow linearly with n.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "book/workbook_template.h"
#include "host/layout.h"
#include "intake/intake_commands.h"
#include "intake/result_store.h"
#include "memory/memory_workbook.h"
#include "support/bound_workbook.h"

namespace kelvora {
namespace {

using host::Value;

// The bound template workbook.
struct Workbook : testing::BoundWorkbook {
  // Draws newest, newest-1, ... from the top of the store down.
  void FillStore(int count, int newest) {
    for (int i = 0; i < count; ++i) {
      main().PutValue(layout::kStoreFirstRow + i, layout::kStoreDrawCol, Value(newest - i));
      main().PutValue(layout::kStoreFirstRow + i, layout::kStoreResultCol,
                      Value(Result(newest - i)));
    }
    main().PutValue(layout::kStoreCount.row, layout::kStoreCount.col, Value(count));
  }
  const Value& Count() {
    return main().cell(layout::kStoreCount.row, layout::kStoreCount.col).value;
  }

  static std::u16string Result(int draw) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%05d", (draw * 7919) % 100000);
    return std::u16string(buf, buf + 5);
  }
};

std::string ByDatePage(int rows, int newest) {
  std::string html =
      "<html><body><h1>Results</h1><p>By date</p><table><tr><th>Draw</th>"
      "<th>Date</th><th colspan=5>Digits</th></tr>\n";
  for (int i = 0; i < rows; ++i) {
    const int draw = newest - i;
    const std::u16string r = Workbook::Result(draw);
    html += "<tr><td>" + std::to_string(draw) + "</td><td>06/12/2024</td>";
    for (char16_t d : r) html += "<td>" + std::string(1, static_cast<char>(d)) + "</td>";
    html += "</tr>\n";
  }
  return html + "</table></body></html>";
}

void BM_DanKQXSNgay(benchmark::State& state) {
  const std::string page = ByDatePage(30000, 60000);  // draws 60000..30001
  for (auto _ : state) {
    state.PauseTiming();
    auto w = std::make_unique<Workbook>();
    w->FillStore(30000, 30000);  // draws 30000..1
    w->platform.clipboard.set_html(page);
    state.ResumeTiming();
    w->Run(intake::DanKQXSNgay);
    state.PauseTiming();
    if (w->Count() != Value(60000)) state.SkipWithError("wrong store count");
    w.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DanKQXSNgay)->Unit(benchmark::kMillisecond);

// A 2.2 MB page of 200000 nested divs around one table: the paste's time
// stays linear in the page (target: under a second).
void BM_DanKQXSNgayDeeplyNestedPage(benchmark::State& state) {
  std::string page;
  for (int i = 0; i < 200000; ++i) page += "<div>";
  page +=
      "<table><tr><td>60001</td><td>06/12/2024</td><td>1</td><td>2</td><td>3</td><td>4</td>"
      "<td>5</td></tr></table>";
  for (int i = 0; i < 200000; ++i) page += "</div>";
  for (auto _ : state) {
    state.PauseTiming();
    auto w = std::make_unique<Workbook>();
    w->platform.clipboard.set_html(page);
    state.ResumeTiming();
    w->Run(intake::DanKQXSNgay);
    state.PauseTiming();
    const bool taken = w->Count() == Value(1);
    w.reset();
    if (!taken) {
      state.SkipWithError("the table's draw was not taken in");
      break;
    }
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DanKQXSNgayDeeplyNestedPage)->Unit(benchmark::kMillisecond);

void BM_MergeDraws(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  host::Table added(n / 2, 2);
  for (int i = 1; i <= n / 2; ++i) {
    added(i, 1) = Value(1000000 - i);
    added(i, 2) = Value(Workbook::Result(i));
  }
  for (auto _ : state) {
    state.PauseTiming();
    auto w = std::make_unique<Workbook>();
    w->FillStore(n / 2, n / 2);
    host::Session session = w->NewSession();
    state.ResumeTiming();
    intake::MergeDraws(session, added);
    state.PauseTiming();
    if (w->Count() != Value(n)) state.SkipWithError("wrong store count");
    w.reset();
    state.ResumeTiming();
  }
  state.SetComplexityN(n);
}
BENCHMARK(BM_MergeDraws)
    ->Arg(15000)
    ->Arg(30000)
    ->Arg(60000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
}  // namespace kelvora
