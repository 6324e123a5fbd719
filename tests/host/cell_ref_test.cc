#include "host/cell_ref.h"

#include <gtest/gtest.h>

#include <cstring>

#include "text/utf.h"

namespace kelvora::host {
namespace {

TEST(CellRefTest, ParsesCellsAndBlocksInBothEncodings) {
  // Alike from UTF-8 and UTF-16; a single cell parses as a cell too, and a
  // failure leaves row and column as they were.
  auto check = [](const char* text, std::optional<Area> area) {
    EXPECT_EQ(ParseA1Area(std::string_view(text)), area) << text;
    EXPECT_EQ(ParseA1Area(Ascii(text)), area) << text;
    const bool cell = area && std::strchr(text, ':') == nullptr;
    int32_t row = -1, col = -1;
    EXPECT_EQ(ParseCellRef(std::string_view(text), &row, &col), cell) << text;
    EXPECT_EQ(std::make_pair(row, col),
              cell ? std::make_pair(area->top, area->left) : std::make_pair(-1, -1));
  };
  check("A1", Area{1, 1, 1, 1});
  check("$V$10002", Area{10002, 22, 10002, 22});
  check("xfd1048576", Area{1048576, 16384, 1048576, 16384});
  check("A17:B65016", Area{17, 1, 65016, 2});
  check("D3:b1", Area{1, 2, 3, 4});  // corners in any order
  for (const char* bad : {"XFE1", "A1048577", "A0", "A00000001", "1A", "A", "", "ABCD1", "KieuDanh",
                          "A1:", "A1:B2:C3", "A:B"})
    check(bad, std::nullopt);
}

// The letters and references of real columns are pinned where they are
// written: the layout, formula shift and adopt tests.
TEST(CellRefTest, WritesColumnLettersAndReferences) { EXPECT_EQ(ColumnLetters(0), u""); }

}  // namespace
}  // namespace kelvora::host
