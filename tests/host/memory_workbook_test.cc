#include "host/memory/memory_workbook.h"

#include <gtest/gtest.h>

#include "host/error.h"
#include "support/scripted_platform.h"
#include "text/utf.h"

namespace kelvora::host::memory {
namespace {

// The workbook's behaviour as a host is checked by the host conformance
// suite (host_conformance.cc), a failed paste by the intake tests.
TEST(MemoryWorkbookTest, ParsesA1Addresses) {
  EXPECT_EQ(ParseA1Area(u"A17:B65016"), (Area{17, 1, 65016, 2}));
  EXPECT_EQ(ParseA1Area(u"$B$7"), (Area{7, 2, 7, 2}));
  EXPECT_EQ(ParseA1Area(u"D3:b1"), (Area{1, 2, 3, 4}));
  EXPECT_EQ(ParseA1Area(u"XFD1048576"), (Area{1048576, 16384, 1048576, 16384}));
  for (const char16_t* bad : {u"", u"A0", u"A1048577", u"XFE1", u"KieuDanh", u"A1:", u"1A"})
    EXPECT_FALSE(ParseA1Area(bad).has_value()) << Utf16ToUtf8(bad);
  EXPECT_EQ(ColumnLetters(70), u"BR");
}

// A paste reads the HTML of the clipboard the application is given.
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
}

}  // namespace
}  // namespace kelvora::host::memory
