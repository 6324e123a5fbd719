#include "host/memory/memory_workbook.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kelvora::host::memory
