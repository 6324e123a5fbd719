// A book made of values, for the tests of what computes on one: the
// template's kind list and parameters, a store and the cells a test puts.
#pragma once

#include <cstdint>

#include "analysis/book_view.h"
#include "book/workbook_template.h"
#include "host/layout.h"
#include "host/value.h"
#include "support/bound_workbook.h"

namespace kelvora::testing {

struct BookValues {
  // The template's parameters: stage 1 "Đề đuôi" (row 2), 40 numbers,
  // window 200; the second stage off, on "Ba càng đuôi" (row 5), 300, 200.
  BookValues() {
    for (int r = 1; r <= 6; ++r) kinds(r, 1) = host::Value(U(kTemplateKindNames[r - 1]));
    Put(layout::kStage1.kind, host::Value(U(kTemplateKindNames[1])));
    Put(layout::kStage1.size, host::Value(40));
    Put(layout::kStage1.window, host::Value(200));
    Put(layout::kSecondStageSwitch, host::Value(u"OFF"));
    Put(layout::kStage2.kind, host::Value(U(kTemplateKindNames[4])));
    Put(layout::kStage2.size, host::Value(300));
    Put(layout::kStage2.window, host::Value(200));
  }

  void Put(layout::Cell c, host::Value v) { top(c.row, c.col) = std::move(v); }

  // The store of StoreRows(count, newest, seed), as BoundWorkbook::FillStore.
  void FillStore(int count, int newest, uint32_t seed) { store = StoreRows(count, newest, seed); }

  analysis::BookView View() const { return analysis::BookView::Of(store, top, kinds, marks); }

  host::Table store{0, 2};
  host::Table top{analysis::BookView::TopBlock().last.row, analysis::BookView::TopBlock().last.col};
  host::Table kinds{6, 1};
  host::Table marks{0, 0};
};

}  // namespace kelvora::testing
