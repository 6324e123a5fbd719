#include "analysis/book_view.h"

#include <algorithm>

#include "analysis/bet_kinds.h"
#include "analysis/main_analysis.h"
#include "host/error.h"
#include "intake/result_store.h"

namespace kelvora::analysis {

namespace {

constexpr layout::Block kTop = BookView::TopBlock();

// The first column of a stage's hit marks (method 1).
constexpr int32_t FirstMarkCol(const layout::Stage& s) {
  return s.marks_with_draw_numbers ? s.marks.col + 1 : s.marks.col;
}

// The columns of both stages' marks, read as one block.
constexpr int32_t kMarksFirstCol =
    std::min(FirstMarkCol(layout::kStage1), FirstMarkCol(layout::kStage2));
constexpr int32_t kMarksLastCol =
    std::max(FirstMarkCol(layout::kStage1), FirstMarkCol(layout::kStage2)) + layout::kMethods - 1;
constexpr int32_t kMarksFirstRow = layout::kStage1.marks.row;
static_assert(layout::kStage1.marks.row == layout::kStage2.marks.row);

// The tested draws of the larger of the two stages' windows on a store of
// `rows` draws; 0 when neither window is usable.
int32_t MarkRows(const BookView& view, int32_t rows) {
  int32_t most = 0;
  for (const layout::Stage* stage : {&layout::kStage1, &layout::kStage2}) {
    if (const auto window = UsableWindow(view.At(stage->window)))
      most = std::max(most, std::min(rows, *window) - 1);
  }
  return most;
}

}  // namespace

const host::Value& BookView::At(layout::Cell cell) const {
  return top_.at(cell.row - kTop.first.row + 1, cell.col - kTop.first.col + 1);
}

host::Table BookView::Block(const layout::Block& block) const {
  host::Table t(block.rows(), block.cols());
  for (int32_t r = 1; r <= block.rows(); ++r)
    for (int32_t c = 1; c <= block.cols(); ++c)
      t(r, c) = At({block.first.row + r - 1, block.first.col + c - 1});
  return t;
}

bool BookView::SecondStageOn() const {
  const host::Value& v = At(layout::kSecondStageSwitch);
  return v.IsText() && v.text() == u"ON";
}

const host::Table& BookView::Kinds() const {
  if (kinds_failure_) std::rethrow_exception(kinds_failure_);
  return kinds_;
}

bool MarkedIn(const host::Table& marks, const layout::Stage& stage, int k, int32_t i) {
  if (i < 1 || i > marks.rows()) return false;
  const host::Value& v = marks(i, FirstMarkCol(stage) + k - kMarksFirstCol);
  return v.IsText() && v.text() == u"X";
}

BookView BookView::Of(host::Table store, host::Table top, host::Table kinds) {
  if (top.rows() != kTop.rows() || top.cols() != kTop.cols()) ThrowInvalidProcedureCall();
  BookView v;
  if (store.rows() > 0)
    for (int32_t c = 1; c <= 2; ++c) v.newest_(1, c) = store.at(1, c);
  v.store_ = std::move(store);
  v.top_ = std::move(top);
  v.kinds_ = std::move(kinds);
  return v;
}

BookView ReadBook(host::Session& session) {
  return ReadBook(session, intake::StoreLastRow(session.MainSheet()));
}

BookView ReadBook(host::Session& session, int32_t store_last_row) {
  host::Worksheet& sheet = session.MainSheet();
  BookView v;
  // An empty store's first row is read too: it may hold a result alone.
  host::Table stored = ReadDrawBlock(sheet, std::max(store_last_row, layout::kStoreFirstRow));
  for (int32_t c = 1; c <= 2; ++c) v.newest_(1, c) = stored(1, c);
  if (store_last_row >= layout::kStoreFirstRow) v.store_ = std::move(stored);
  v.top_ = sheet.GetRange(layout::A1(kTop))->GetValues();
  try {
    v.kinds_ = ReadKindList(session);
  } catch (...) {
    v.kinds_failure_ = std::current_exception();
  }
  return v;
}

host::Table ReadMarks(host::Session& session, const BookView& book) {
  const int32_t rows = MarkRows(book, book.store().rows());
  if (rows <= 0) return host::Table(0, 0);
  const layout::Block block{{kMarksFirstRow, kMarksFirstCol},
                            {kMarksFirstRow + rows - 1, kMarksLastCol}};
  return session.MainSheet().GetRange(layout::A1(block))->GetValues();
}

}  // namespace kelvora::analysis
