// One read of the workbook: the values every analysis, the report and the
// tool's views compute on. A command reads its book once, through a fixed
// number of host calls whatever the size of the store (one range read per
// block), works on the value alone and writes its outputs through the
// session itself.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>

#include "host/layout.h"
#include "host/session.h"
#include "host/value.h"

namespace kelvora::analysis {

class BookView {
 public:
  // The store's rows (row 1 the newest; columns: draw, result); none when
  // the store is empty.
  const host::Table& store() const { return store_; }
  // The store's first row (row 17) as the sheet holds it, also when the
  // store is empty: column `col` (layout::kStoreDrawCol or kStoreResultCol).
  const host::Value& NewestRow(int32_t col) const { return newest_.at(1, col); }

  // The value of a cell of the main sheet's top block (TopBlock()): the
  // parameter cells and their labels, the heading, both method tables with
  // their column headings and the six sets. A cell outside it fails
  // (subscript, error 9).
  const host::Value& At(layout::Cell cell) const;
  // A block inside the top block, as a table.
  host::Table Block(const layout::Block& block) const;
  // The method table of a stage (3 by 9) as Main wrote it.
  host::Table MethodTable(const layout::Stage& stage) const {
    return Block(layout::MethodTable(stage));
  }
  // B6 holds exactly "ON".
  bool SecondStageOn() const;

  // The KieuDanh list as read. When the read failed (no such name, a host
  // failure), that failure is thrown here, where the list is first needed.
  const host::Table& Kinds() const;

  // The main sheet's block that the view holds: from A1 to the last cell of
  // the second method table.
  static constexpr layout::Block TopBlock() {
    return {{1, 1},
            {layout::kStage2.table.row + layout::kMethods - 1, layout::SetColumn(layout::kStage2)}};
  }

  // A view made of values, for computing without a workbook: `top` of the
  // shape of TopBlock().
  static BookView Of(host::Table store, host::Table top, host::Table kinds);

 private:
  friend BookView ReadBook(host::Session& session, int32_t store_last_row);

  host::Table store_{0, 2};
  host::Table newest_{1, 2};
  host::Table top_;
  host::Table kinds_;
  std::exception_ptr kinds_failure_;
};

// Reads the book: the store's last row (one End(xlUp) from the store's
// bottom), the store block, the top block and the kind list. Host failures
// are passed on, except the kind list's (see BookView::Kinds).
BookView ReadBook(host::Session& session);
// The same with the store's last row already found.
BookView ReadBook(host::Session& session, int32_t store_last_row);

// The hit marks of both stages for `book`, as far down as either stage's
// window (as the top block gives it) reaches into the store: one range
// read, none when no window is usable.
host::Table ReadMarks(host::Session& session, const BookView& book);
// Whether `marks`, as ReadMarks reads them, show a hit of method k (1..3)
// of the stage on tested draw i (1: the newest); false beyond them.
bool MarkedIn(const host::Table& marks, const layout::Stage& stage, int k, int32_t i);

}  // namespace kelvora::analysis
