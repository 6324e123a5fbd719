// Shared set-up for engine tests: an in-memory application and workbook made
// from the built-in template, bound to a Sub instance, with scripted
// clipboard, message box and locale.
#pragma once

#include <memory>
#include <string>

#include "entry/host_state.h"
#include "entry/sub.h"
#include "entry/workbook_template.h"
#include "host/memory/memory_workbook.h"
#include "host/scripted_platform.h"
#include "text/utf.h"

namespace kelvora::testing {

struct BoundWorkbook {
  BoundWorkbook() {
    app = std::make_shared<host::memory::MemoryApplication>();
    book = std::make_shared<host::memory::MemoryWorkbook>(app.get());
    FillTemplateWorkbook(*book);
    sub = std::make_unique<Sub>();
    sub->Sup(app, book);
    app->clear_property_log();
  }
  ~BoundWorkbook() { sub.reset(); }

  host::memory::MemoryWorksheet& main() { return *book->SheetByCodeName(u"Sheet1"); }
  host::memory::MemoryWorksheet& paste() { return *book->SheetByCodeName(u"Sheet2"); }
  host::memory::MemoryWorksheet& settings() { return *book->SheetByCodeName(u"Sheet3"); }

  host::ScopedScriptedPlatform platform;  // first: outlives the Sub
  std::shared_ptr<host::memory::MemoryApplication> app;
  std::shared_ptr<host::memory::MemoryWorkbook> book;
  std::unique_ptr<Sub> sub;
};

inline std::u16string U(const char* utf8) { return Utf8ToUtf16(utf8); }

}  // namespace kelvora::testing
