#include "memory/memory_workbook.h"

#include <gtest/gtest.h>

#include "host/error.h"
#include "support/scripted_platform.h"

namespace kelvora::host::memory {
namespace {

// A paste reads the HTML of the application's clipboard. The rest of the workbook as a
// host is checked by host_conformance.cc, a failed paste by the intake tests.
TEST(MemoryWorkbookTest, PastesTheHtmlOfItsClipboard) {
  MemoryApplication app;
  MemoryWorkbook book(&app);
  auto sheet = book.AddSheet(u"Sheet1", u"Main");
  auto paste = [&](const char16_t* format) { sheet->PasteSpecial(format, false, false, true); };
  EXPECT_THROW(paste(u"HTML"), CommandError);  // no clipboard
  ScriptedClipboard clipboard;
  app.set_clipboard(&clipboard);
  EXPECT_THROW(paste(u"HTML"), CommandError);  // no HTML on it
  clipboard.set_html(std::string());
  EXPECT_THROW(paste(u"HTML"), CommandError);
  clipboard.set_html("<table><tr><td>7</td></tr></table>");
  EXPECT_THROW(paste(u"Text"), CommandError);
  paste(u"HTML");
  EXPECT_EQ(sheet->cell(1, 1).value, Value(7));
  EXPECT_TRUE(sheet->CellWritten(1, 1));  // else a save keeps what the file held there
}

}  // namespace
}  // namespace kelvora::host::memory
