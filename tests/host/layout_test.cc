#include "host/layout.h"

#include <gtest/gtest.h>

#include "text/utf.h"

namespace kelvora::layout {
namespace {

// The addresses workbooks in use rely on, written out: a wrong entry in the
// layout shows here rather than as data in the wrong cells.
TEST(LayoutTest, NamesTheCellsWorkbooksRelyOn) {
  const std::pair<std::u16string, const char*> cases[] = {
      {A1(kStore), "A17:B65016"},
      {A1(StoreRows(123)), "A17:B123"},
      {A1(StoreDrawColumn(40)), "A17:A40"},
      {A1(kStoreCount), "B15"},
      {A1(kMergeSortKey), "A11"},
      {A1(Cell{kStoreSearchRow, kStoreDrawCol}), "A1000000"},
      {A1(kHundredDraws), "A14:F113"},
      {A1(ByDateRows(250)), "A1:K250"},
      {A1(Cell{kSheetRows, 1}), "A1048576"},
      {A1(Block{kStage1.kind, kStage1.window}), "B1:B4"},
      {A1(Block{kStage2.kind, kStage2.window}), "B7:B10"},
      {A1(kSecondStageSwitch), "B6"},
      {A1(MethodTable(kStage1)), "D3:L5"},
      {A1(MethodTable(kStage2)), "D9:L11"},
      {A1(kStage1.marks), "O3"},
      {A1(kStage2.marks), "T3"},
      {A1(kMarksCleared), "O3:V10002"},
      {A1(kHeading), "D1"},
      {A1(OutputCell(1)) + A1(OutputCell(2)) + A1(OutputCell(3)), "L3L4L5"},
      {A1(OutputCell(4)) + A1(OutputCell(5)) + A1(OutputCell(6)), "L9L10L11"},
      {A1(kKindList), "A1:A6"},
      {A1(Cell{1, 16384}), "XFD1"},
      {A1(Cell{1, 27}) + A1(Cell{1, 702}) + A1(Cell{1, 703}), "AA1ZZ1AAA1"},
  };
  for (const auto& [actual, expected] : cases) EXPECT_EQ(Utf16ToUtf8(actual), expected);
}

}  // namespace
}  // namespace kelvora::layout
