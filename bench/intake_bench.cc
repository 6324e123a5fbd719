// The table intake on the in-memory host: DanKQXSNgay pasting a 30000-row
// page into a store of 30000 draws (HTML parse, paste, sort, merge, store
// rewrite), and MergeDraws alone over n rows (n/2 stored, n/2 new), whose
// time should grow linearly with n.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "entry/sub.h"
#include "entry/workbook_template.h"
#include "host/memory/memory_workbook.h"
#include "host/scripted_platform.h"
#include "intake/result_store.h"
#include "test_support.h"

namespace kelvora {
namespace {

using host::Value;

// The template workbook bound to a Sub.
struct Workbook : testing::BoundWorkbook {
  // Draws newest, newest-1, ... in A17 down, results in B.
  void FillStore(int count, int newest) {
    for (int i = 0; i < count; ++i) {
      main().PutValue(17 + i, 1, Value(newest - i));
      main().PutValue(17 + i, 2, Value(Result(newest - i)));
    }
    main().PutValue(15, 2, Value(count));
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
    w->app->set_clipboard_html(page);
    state.ResumeTiming();
    w->sub->DanKQXSNgay();
    state.PauseTiming();
    if (w->main().cell(15, 2).value != Value(60000)) state.SkipWithError("wrong store count");
    w.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DanKQXSNgay)->Unit(benchmark::kMillisecond);

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
    state.ResumeTiming();
    intake::MergeDraws(added);
    state.PauseTiming();
    if (w->main().cell(15, 2).value != Value(n)) state.SkipWithError("wrong store count");
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
