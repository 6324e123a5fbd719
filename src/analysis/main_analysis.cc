#include "analysis/main_analysis.h"

#include <optional>
#include <string>

#include "analysis/backtest.h"
#include "entry/host_state.h"
#include "host/convert.h"
#include "host/error.h"
#include "intake/result_store.h"
#include "numbersets/number_sets.h"
#include "text/message.h"
#include "text/telex.h"
#include "text/utf.h"

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

// Where a stage reads its parameters and writes its results.
struct StageCells {
  const char16_t* kind;
  const char16_t* size;
  const char16_t* position;
  const char16_t* window;
  const char16_t* table;    // top-left cell of the 3 by 9 method table
  const char16_t* marks;    // top-left cell of the mark block
  bool with_draw_numbers;   // first mark column holds the tested draw's number
  const char16_t* message;  // stored text of the stage's parameter message
};

constexpr StageCells kStage1{u"B1", u"B2", u"B3", u"B4", u"D3", u"O3", true, kCheckParameters};
constexpr StageCells kStage2{u"B7", u"B8", u"B9", u"B10", u"D9", u"T3", false, kCheckParameters2};

template <typename Convert>
auto TryConvert(const host::Value& v, Convert convert) -> std::optional<decltype(convert(v))> {
  try {
    return convert(v);
  } catch (const CommandError&) {
    return std::nullopt;
  }
}

// The width of the builder that the size check of the set size applies to
// (rows 1-2, then 3-5, then 6 are tried); 0 when no row holds the name.
int SizeCheckWidth(const host::Table& kinds, const std::u16string& name) {
  const struct { int first, last, width; } groups[] = {{1, 2, 2}, {3, 5, 3}, {6, 6, 1}};
  for (const auto& g : groups) {
    for (int r = g.first; r <= g.last; ++r) {
      if (KindCellEquals(kinds.at(r, 1), name)) return g.width;
    }
  }
  return 0;
}

struct StageRun {
  AnalysisParameters params;
  int kind_row = 0;
  int32_t n = 0;
};

// Reads and checks a stage's parameters; nothing when the run cannot use
// them (the caller then shows the stage's message and writes nothing).
std::optional<StageRun> PrepareStage(host::Worksheet& sheet, int32_t block_rows,
                                     const StageCells& cells) {
  const auto kind = TryConvert(sheet.GetRange(cells.kind)->GetValue(), host::ToText);
  const auto size = TryConvert(sheet.GetRange(cells.size)->GetValue(), host::ToInt16);
  const auto position = TryConvert(sheet.GetRange(cells.position)->GetValue(), host::ToText);
  const auto window = TryConvert(sheet.GetRange(cells.window)->GetValue(), host::ToInt32);
  if (!kind || !size || !position || !window) return std::nullopt;

  StageRun run;
  run.params = AnalysisParameters{*kind, *size, *position, *window};
  if (!numbersets::IsSetSizeAllowed(run.params.kindName, run.params.setSize)) return std::nullopt;
  if (run.params.window < 2) return std::nullopt;

  const double smaller = ExcelApp().GetWorksheetFunction()->Min(
      static_cast<double>(block_rows), static_cast<double>(run.params.window));
  run.n = host::DoubleToInt32(smaller) - 1;
  if (run.n < 1) return std::nullopt;

  const host::Table kinds = SettingsSheet().GetRange(u"KieuDanh")->GetValues();
  const auto kind_row = FindKindRow(kinds, run.params.kindName);
  if (!kind_row) return std::nullopt;
  run.kind_row = *kind_row;
  // A name that stands in rows of different widths would have its size
  // checked against one builder and be built by another.
  if (SizeCheckWidth(kinds, run.params.kindName) != KindWidth(run.kind_row)) return std::nullopt;
  if (!KindParametersUsable(run.kind_row, run.params)) return std::nullopt;
  return run;
}

std::u16string RowAddress(const char16_t* prefix, int32_t last_row) {
  return prefix + Ascii(std::to_string(last_row));
}

// Runs one stage on the draw block and writes its method table and marks.
// False when its parameters cannot be used (message shown, nothing written).
bool RunStage(host::Worksheet& sheet, const host::Table& block, const StageCells& cells) {
  const auto run = PrepareStage(sheet, block.rows(), cells);
  if (!run) {
    ShowStoredMessage(cells.message, kMbIconInformation);
    return false;
  }
  const int32_t n = run->n;
  const int32_t mark_cols = cells.with_draw_numbers ? 4 : 3;
  const int32_t first_mark_col = cells.with_draw_numbers ? 2 : 1;
  host::Table marks(n, mark_cols);
  if (cells.with_draw_numbers) {
    for (int32_t i = 1; i <= n; ++i) marks(i, 1) = block(i, 1);
  }

  const auto results = BacktestMethods(block, n, run->params, run->kind_row);
  host::Table table(3, 9);
  for (int32_t k = 1; k <= 3; ++k) {
    const MethodResult& r = results[static_cast<size_t>(k - 1)];
    for (int32_t c = 1; c <= 9; ++c) table(k, c) = r.values[static_cast<size_t>(c - 1)];
    const host::Value hit(u"X"), miss(u"");
    for (int32_t i = 1; i <= n; ++i) {
      marks(i, first_mark_col + k - 1) = r.hits[static_cast<size_t>(i - 1)] != 0 ? hit : miss;
    }
  }

  sheet.GetRange(cells.table)->Resize(3, 9)->SetValues(table);
  if (cells.with_draw_numbers) {
    // The coming draw: the newest draw's number plus one.
    const host::Value& newest = block(1, 1);
    const std::u16string coming = newest.IsDate() ? host::DateToText(newest.date_serial() + 1)
                                                  : host::NumberToText(host::ToDouble(newest) + 1);
    sheet.GetRange(u"D1")->SetValue(host::Value(TelexToUnicode(kHeading) + coming));
  }
  sheet.GetRange(cells.marks)->Resize(n, mark_cols)->SetValues(marks);
  return true;
}

host::Table ReadDrawBlock(host::Worksheet& sheet, int32_t last_row) {
  return sheet.GetRange(RowAddress(u"A17:B", last_row))->GetValues();
}

}  // namespace

void Main() {
  host::Application& app = ExcelApp();
  ScreenGuard screen(app);
  host::Worksheet& sheet = MainSheet();
  sheet.GetRange(u"D3")->Resize(3, 9)->ClearContents();
  sheet.GetRange(u"D9")->Resize(3, 9)->ClearContents();
  sheet.GetRange(u"O3")->Resize(10000, 8)->ClearContents();

  const int32_t last = intake::StoreLastRow(sheet);
  if (last < kMinimumLastRow) {
    ShowStoredMessage(kNotEnoughData, kMbIconInformation);
    screen.Restore();
    return;
  }
  const host::Table block = ReadDrawBlock(sheet, last);
  if (RunStage(sheet, block, kStage1)) {
    const host::Value second = sheet.GetRange(u"B6")->GetValue();
    if (second.IsText() && second.text() == u"ON") SecondAnalysis();
  }
  screen.Restore();
}

void SecondAnalysis() {
  host::Worksheet& sheet = MainSheet();
  // The same last-row rule as every other reader of the store, so that a
  // store filled down to its last row is still found whole.
  const int32_t last = intake::StoreLastRow(sheet);
  if (last < intake::kStoreFirstRow + 1) {
    ShowStoredMessage(kCheckParameters2, kMbIconInformation);
    return;
  }
  const host::Table block = ReadDrawBlock(sheet, last);
  RunStage(sheet, block, kStage2);
}

}  // namespace kelvora::analysis
