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
  // The template's top block and kind list: stage 1 "Đề đuôi" (row 2), 40
  // numbers, window 200; the second stage off, on "Ba càng đuôi" (row 5), 300, 200.
  BookValues() {
    host::memory::MemoryWorkbook book;
    FillTemplateWorkbook(book);
    auto block = [&](const char16_t* sheet, layout::Block b) {
      return book.SheetByCodeName(sheet)->GetRange(layout::A1(b))->GetValues();
    };
    top = block(layout::kMainSheetCode, analysis::BookView::TopBlock());
    kinds = block(layout::kSettingsSheetCode, layout::kKindList);
  }

  void Put(layout::Cell c, host::Value v) { top(c.row, c.col) = std::move(v); }

  // The store of StoreRows(count, newest, seed), as BoundWorkbook::FillStore.
  void FillStore(int count, int newest, uint32_t seed) { store = StoreRows(count, newest, seed); }

  analysis::BookView View() const { return analysis::BookView::Of(store, top, kinds); }

  host::Table store{0, 2};
  host::Table top, kinds;
};

}  // namespace kelvora::testing
