// The statistics run of the Main command and its second stage.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>

#include "analysis/backtest.h"
#include "analysis/book_view.h"
#include "host/layout.h"
#include "host/session.h"

namespace kelvora::analysis {

// Clears the outputs on MainSheet (D3:L5, D9:L11, O3:V10002), reads the store
// and the first parameter block B1:B4, backtests methods 1 to 3 and writes
// the method table D3:L5, the heading D1 and the marks from O3; then, when B6
// holds exactly "ON", the second stage: the parameter block B7:B10, the
// method table D9:L11 and the marks from T3, or its own message when its
// parameters cannot be used. Too few draws (last row below
// 50) or parameters the run cannot use show a message and end the run.
// Screen updating and alerts are off while it runs and on again afterwards,
// also when it fails; a failure is passed on to the caller.
void Main(host::Session& session);

// A stage's parameters as a run reads and checks them, and what the run
// makes of them.
struct StageRun {
  AnalysisParameters params;
  int kind_row = 0;
  int32_t n = 0;  // tested draws: the smaller of the store's rows and the window, less 1
};

// The windows (B4, B10) a run can use: a value that converts to a 32-bit
// whole number (rounded half to even, as a run reads the cell) of at least
// kMinWindow draws, so that at least one draw is tested.
inline constexpr int32_t kMinWindow = 2;
inline constexpr int32_t kMaxWindow = std::numeric_limits<int32_t>::max();
// The window a run reads from `v`; nothing when no run can use it.
std::optional<int32_t> UsableWindow(const host::Value& v);

// Why a stage cannot run.
enum class StageRefusal {
  kNone,
  kUnreadable,      // kind, size or position not a value of its type, or no usable window
  kKindNotListed,   // no KieuDanh row names the kind
  kSizeOutside,     // the size is outside the limits of the kind (SizeFit)
  kTooFewDraws,     // no draw to test: the store or the window holds fewer than two
  kWidthsDiffer,    // the name stands in rows of different widths
  kKindParameters,  // the position cannot be used with the kind
};

struct StagePlan {
  std::optional<StageRun> run;  // set exactly when `refusal` is kNone
  StageRefusal refusal = StageRefusal::kNone;
};

// Checks the stage's parameter cells of `book` against its kind list, for
// its store. With `size`, that size stands in for the size cell. A kind list
// the book could not read fails when the parameters are readable.
StagePlan PrepareStage(const BookView& book, const layout::Stage& cells,
                       std::optional<int16_t> size = std::nullopt);

// The store's rows down to `last_row` as one block (row 1 the newest).
host::Table ReadDrawBlock(host::Worksheet& sheet, int32_t last_row);

}  // namespace kelvora::analysis
