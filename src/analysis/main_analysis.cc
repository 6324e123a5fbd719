#include "analysis/main_analysis.h"

#include <algorithm>
#include <array>
#include <functional>
#include <future>
#include <optional>
#include <string>

#include "analysis/backtest.h"
#include "analysis/bet_kinds.h"
#include "analysis/worker_pool.h"
#include "host/convert.h"
#include "host/error.h"
#include "host/layout.h"
#include "host/message.h"
#include "intake/result_store.h"
#include "text/telex.h"

namespace kelvora::analysis {

namespace {

constexpr char16_t kNotEnoughData[] = u"Khoong ddur duwx lieeju ddeer thoosng kee";
constexpr char16_t kCheckParameters[] = u"Vui Lofng Kieerm Tra Laji Casc Thoong Soos";
constexpr char16_t kCheckParameters2[] = u"Vui Lofng Kieerm Tra Laji Casc Thoong Soos Xuwr Lys 2";
constexpr char16_t kHeading[] = u"KEEST QUAR DUWJ DDOASN CHO KIF: ";
constexpr int32_t kMinimumLastRow = 50;

// Switches screen updating and alerts off for the run and on again however
// the run ends. On the normal path Restore() reports a refused setting; on
// the way out of a failure the original failure is the one passed on.
class ScreenGuard {
 public:
  explicit ScreenGuard(host::Application& app) : app_(app) {
    app_.SetScreenUpdating(false);
    try {
      app_.SetDisplayAlerts(false);
    } catch (...) {
      try {
        app_.SetScreenUpdating(true);
      } catch (...) {  // NOLINT(bugprone-empty-catch): the first failure is the one reported
      }
      throw;
    }
  }
  ~ScreenGuard() {
    if (armed_) {
      try {
        Restore();
      } catch (...) {  // NOLINT(bugprone-empty-catch): the run's own failure wins
      }
    }
  }
  ScreenGuard(const ScreenGuard&) = delete;
  ScreenGuard& operator=(const ScreenGuard&) = delete;

  void Restore() {
    armed_ = false;
    app_.SetDisplayAlerts(true);
    app_.SetScreenUpdating(true);
  }

 private:
  host::Application& app_;
  bool armed_ = true;
};

template <typename Convert>
auto TryConvert(const host::Value& v, Convert convert) -> std::optional<decltype(convert(v))> {
  try {
    return convert(v);
  } catch (const CommandError&) {
    return std::nullopt;
  }
}

using StageResults = std::array<MethodResult, layout::kMethods>;

StageResults Backtest(const BookView& book, const StageRun& run, int workers) {
  return BacktestMethods(book.store(), run.n, run.params, run.kind_row, workers);
}

// Writes a stage's method table and marks.
void WriteStage(host::Session& session, const BookView& book, const layout::Stage& cells,
                const StageRun& run, const StageResults& results) {
  const host::Table& block = book.store();
  const int32_t n = run.n;
  const int32_t mark_cols = cells.marks_with_draw_numbers ? 4 : 3;
  const int32_t first_mark_col = cells.marks_with_draw_numbers ? 2 : 1;
  host::Table marks(n, mark_cols);
  if (cells.marks_with_draw_numbers) {
    for (int32_t i = 1; i <= n; ++i) marks(i, 1) = block(i, 1);
  }
  host::Table table(layout::kMethods, layout::kMethodTableCols);
  for (int32_t k = 1; k <= layout::kMethods; ++k) {
    const MethodResult& r = results[static_cast<size_t>(k - 1)];
    for (int32_t c = 1; c <= layout::kMethodTableCols; ++c)
      table(k, c) = r.values[static_cast<size_t>(c - 1)];
    const host::Value hit(u"X"), miss(u"");
    for (int32_t i = 1; i <= n; ++i) {
      marks(i, first_mark_col + k - 1) = r.hits[static_cast<size_t>(i - 1)] != 0 ? hit : miss;
    }
  }

  host::Worksheet& sheet = session.MainSheet();
  sheet.GetRange(layout::A1(cells.table))
      ->Resize(layout::kMethods, layout::kMethodTableCols)
      ->SetValues(table);
  if (cells.marks_with_draw_numbers) {
    // The coming draw: the newest draw's number plus one.
    const host::Value& newest = block(1, 1);
    const std::u16string coming = newest.IsDate() ? host::DateToText(newest.date_serial() + 1)
                                                  : host::NumberToText(host::ToDouble(newest) + 1);
    sheet.GetRange(layout::A1(layout::kHeading))
        ->SetValue(host::Value(TelexToUnicode(kHeading) + coming));
  }
  sheet.GetRange(layout::A1(cells.marks))->Resize(n, mark_cols)->SetValues(marks);
}

// Runs the stages on the book: the first, then, when it ran and the second
// is switched on, the second. A stage whose parameters cannot be used shows
// its message and writes nothing. The second stage reads only the book, so
// its backtest runs while the first stage's results are written; what is
// written, shown or thrown comes in the same order as stage by stage.
void RunStages(host::Session& session, const BookView& book) {
  const auto first = PrepareStage(book, layout::kStage1).run;
  if (!first) {
    StopByCheck(session, kCheckParameters, kMbIconInformation);
    return;
  }
  const StageResults first_results = Backtest(book, *first, session.workers);
  std::optional<StageRun> second;
  std::future<StageResults> second_results;
  if (book.SecondStageOn()) {
    second = PrepareStage(book, layout::kStage2).run;
    if (second) {
      second_results = StartTask(Backtest, std::cref(book), std::cref(*second), session.workers);
    }
  }
  WriteStage(session, book, layout::kStage1, *first, first_results);
  if (!book.SecondStageOn()) return;
  if (!second) {
    StopByCheck(session, kCheckParameters2, kMbIconInformation);
    return;
  }
  WriteStage(session, book, layout::kStage2, *second, second_results.get());
}

}  // namespace

std::optional<int32_t> UsableWindow(const host::Value& v) {
  const auto window = TryConvert(v, host::ToInt32);
  if (!window || *window < kMinWindow) return std::nullopt;
  return window;
}

StagePlan PrepareStage(const BookView& book, const layout::Stage& cells,
                       std::optional<int16_t> size_given) {
  auto refuse = [](StageRefusal why) { return StagePlan{std::nullopt, why}; };
  const auto kind = TryConvert(book.At(cells.kind), host::ToText);
  const auto size = size_given ? size_given : TryConvert(book.At(cells.size), host::ToInt16);
  const auto position = TryConvert(book.At(cells.position), host::ToText);
  const auto window = UsableWindow(book.At(cells.window));
  if (!kind || !size || !position || !window) return refuse(StageRefusal::kUnreadable);

  StageRun run;
  run.params = AnalysisParameters{*kind, *size, *position, *window};
  const host::Table& kinds = book.Kinds();
  switch (FitOfSize(kinds, run.params.kindName, run.params.setSize)) {
    case SizeFit::kKindNotListed:
      return refuse(StageRefusal::kKindNotListed);
    case SizeFit::kOutsideLimits:
      return refuse(StageRefusal::kSizeOutside);
    case SizeFit::kFits:
      break;
  }

  run.n = std::min(book.store().rows(), run.params.window) - 1;
  if (run.n < 1) return refuse(StageRefusal::kTooFewDraws);

  const auto kind_row = FindKindRow(kinds, run.params.kindName);
  if (!kind_row) return refuse(StageRefusal::kKindNotListed);
  run.kind_row = *kind_row;
  // A name that stands in rows of different widths would have its size
  // checked against one builder and be built by another.
  const auto size_row = FirstNamingRow(kinds, run.params.kindName);
  if (!size_row || BetKindOfRow(*size_row).width != BetKindOfRow(run.kind_row).width) {
    return refuse(StageRefusal::kWidthsDiffer);
  }
  if (!KindParametersUsable(run.kind_row, run.params)) return refuse(StageRefusal::kKindParameters);
  return {run, StageRefusal::kNone};
}

host::Table ReadDrawBlock(host::Worksheet& sheet, int32_t last_row) {
  return sheet.GetRange(layout::A1(layout::StoreRows(last_row)))->GetValues();
}

void Main(host::Session& session) {
  ScreenGuard screen(session.ExcelApp());
  host::Worksheet& sheet = session.MainSheet();
  for (const layout::Stage* stage : {&layout::kStage1, &layout::kStage2}) {
    sheet.GetRange(layout::A1(stage->table))
        ->Resize(layout::kMethods, layout::kMethodTableCols)
        ->ClearContents();
  }
  sheet.GetRange(layout::A1(layout::kMarksCleared.first))
      ->Resize(layout::kMarksCleared.rows(), layout::kMarksCleared.cols())
      ->ClearContents();

  const int32_t last = intake::StoreLastRow(sheet);
  if (last < kMinimumLastRow) {
    StopByCheck(session, kNotEnoughData, kMbIconInformation);
    screen.Restore();
    return;
  }
  RunStages(session, ReadBook(session, last));
  screen.Restore();
}

}  // namespace kelvora::analysis
