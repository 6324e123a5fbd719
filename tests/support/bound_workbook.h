// Shared set-up for engine tests: an in-memory application and workbook made
// from the built-in template, bound as a session would bind it, with scripted
// clipboard, message box and locale.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "book/workbook_template.h"
#include "entry/binding.h"
#include "host/layout.h"
#include "host/session.h"
#include "host/value.h"
#include "memory/memory_workbook.h"
#include "support/scripted_platform.h"
#include "text/utf.h"

namespace kelvora::testing {

// `n` modulo 100000 as a result text of five digits.
inline std::u16string FiveDigits(uint32_t n) {
  return Ascii(std::to_string(100000u + n % 100000u).substr(1));  // "1ddddd" less its 1
}

// The store's rows (draw, result; the newest first) of `count` draws numbered
// from `newest` down, with results from a congruential sequence that starts
// at `seed`.
inline host::Table StoreRows(int count, int newest, uint32_t seed) {
  host::Table rows(count, 2);
  for (int i = 1; i <= count; ++i) {
    seed = seed * 1664525u + 1013904223u;
    rows(i, 1) = host::Value(newest - i + 1);
    rows(i, 2) = host::Value(FiveDigits(seed >> 7));
  }
  return rows;
}

// The store's rows of `results` (the newest first), numbered from `newest`
// down.
inline host::Table StoreOf(const std::vector<host::Value>& results, int newest) {
  host::Table rows(static_cast<int32_t>(results.size()), 2);
  for (int32_t i = 1; i <= rows.rows(); ++i) {
    rows(i, 1) = host::Value(newest - i + 1);
    rows(i, 2) = results[static_cast<size_t>(i - 1)];
  }
  return rows;
}

struct BoundWorkbook {
  BoundWorkbook()
      : app(std::make_shared<host::memory::MemoryApplication>()),
        book(std::make_shared<host::memory::MemoryWorkbook>(app.get())) {
    FillTemplateWorkbook(*book);
    app->set_clipboard(&platform.clipboard);
    Bind(app, book);
    app->clear_property_log();
  }

  // Binds the sessions to `application` and `workbook` from now on (for
  // example wrappers that inject faults around the memory workbook).
  void Bind(std::shared_ptr<host::Application> application, std::shared_ptr<host::Workbook> wb) {
    bound = {};
    bound.ExcelApp = std::move(application);
    bound.ThisWorkBook = std::move(wb);
    BindWorkbook(bound, &platform.locale);
  }

  host::memory::MemoryWorksheet& main() { return *book->SheetByCodeName(u"Sheet1"); }
  host::memory::MemoryWorksheet& paste() { return *book->SheetByCodeName(u"Sheet2"); }
  host::memory::MemoryWorksheet& settings() { return *book->SheetByCodeName(u"Sheet3"); }

  // A cell of the main sheet.
  void Put(layout::Cell c, host::Value v) { main().PutValue(c.row, c.col, std::move(v)); }
  const host::Value& At(layout::Cell c) { return main().cell(c.row, c.col).value; }

  // Writes `rows` (draw, result) from the store's top, raw as a loaded
  // workbook holds them, and their count.
  void SetStore(const host::Table& rows) {
    using namespace layout;  // NOLINT(build/namespaces)
    for (int32_t i = 1; i <= rows.rows(); ++i) {
      main().PutValue(kStoreFirstRow + i - 1, kStoreDrawCol, rows(i, 1));
      main().PutValue(kStoreFirstRow + i - 1, kStoreResultCol, rows(i, 2));
    }
    main().PutValue(kStoreCount.row, kStoreCount.col, host::Value(rows.rows()));
  }
  void FillStore(int count, int newest, uint32_t seed) { SetStore(StoreRows(count, newest, seed)); }

  // The messages shown so far, in UTF-8, with their styles.
  std::vector<std::pair<std::string, int32_t>> Shown() const {
    std::vector<std::pair<std::string, int32_t>> out;
    for (const auto& m : platform.messages.shown()) out.emplace_back(Utf16ToUtf8(m.text), m.style);
    return out;
  }

  // A fresh session on the workbook, as each call of the component gets.
  host::Session NewSession() {
    host::Session s(bound, platform.services());
    s.workers = workers;
    return s;
  }
  // Runs a command on a fresh session; returns how it ended.
  host::Outcome Run(void (*command)(host::Session&)) {
    host::Session s = NewSession();
    command(s);
    return s.outcome();
  }

  host::ScriptedPlatform platform;  // first: outlives the workbook's use of it
  std::shared_ptr<host::memory::MemoryApplication> app;
  std::shared_ptr<host::memory::MemoryWorkbook> book;
  host::BoundBook bound;
  int workers = 0;  // analysis threads of the sessions; 0: the default
};

inline std::u16string U(const char* utf8) { return Utf8ToUtf16(utf8); }

}  // namespace kelvora::testing
