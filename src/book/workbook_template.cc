#include "book/workbook_template.h"

#include "host/layout.h"
#include "text/utf.h"

namespace kelvora {

const std::array<const char*, 6> kTemplateKindNames = {
    "Đề đầu", "Đề đuôi", "Ba càng đầu", "Ba càng giữa", "Ba càng đuôi", "Một số",
};

namespace {

using host::Value;
using host::memory::Area;
using host::memory::MemoryWorksheet;
using layout::Cell;

void Put(MemoryWorksheet& s, Cell cell, const char* utf8) {
  s.PutValue(cell.row, cell.col, Value(Utf8ToUtf16(utf8)));
}

// The label left of a cell.
constexpr Cell LabelOf(Cell cell) { return {cell.row, cell.col - 1}; }
constexpr Area AreaOf(layout::Block b) {
  return Area{b.first.row, b.first.col, b.last.row, b.last.col};
}
constexpr Area AreaOf(Cell c) { return Area{c.row, c.col, c.row, c.col}; }

// Two rows above a stage's method table: its title, then the column
// headings.
void PutMethodHeadings(MemoryWorksheet& s, const layout::Stage& stage, const char* title) {
  const int32_t row = stage.table.row - 1;
  const int32_t col = stage.table.col;
  Put(s, {row - 1, col}, title);
  const char* headings[] = {"PP",
                            "Chuỗi trúng dài nhất",
                            "Chuỗi trúng hiện tại",
                            "Chuỗi trượt dài nhất",
                            "Chuỗi trượt hiện tại",
                            "Số lần trúng",
                            "Số lần trượt",
                            "Tỉ lệ trúng (%)",
                            "Dàn số kỳ tới"};
  for (int i = 0; i < layout::kMethodTableCols; ++i) Put(s, {row, col + i}, headings[i]);
}

}  // namespace

void FillTemplateWorkbook(host::memory::MemoryWorkbook& book) {
  auto main = book.AddSheet(layout::kMainSheetCode, Utf8ToUtf16("Thống kê"));
  auto paste = book.AddSheet(layout::kPasteSheetCode, Utf8ToUtf16("Dán kết quả"));
  auto settings = book.AddSheet(layout::kSettingsSheetCode, Utf8ToUtf16("Cài đặt"));
  (void)paste;

  const layout::Block& kinds = layout::kKindList;
  for (int i = 0; i < kinds.rows(); ++i)
    Put(*settings, {kinds.first.row + i, kinds.first.col},
        kTemplateKindNames[static_cast<size_t>(i)]);
  book.DefineName(layout::kKindListName, settings, AreaOf(kinds));

  MemoryWorksheet& m = *main;
  const layout::Stage& one = layout::kStage1;
  const layout::Stage& two = layout::kStage2;
  // Parameter block of the first stage, the switch and its title.
  Put(m, LabelOf(one.kind), "Kiểu đánh");
  Put(m, LabelOf(one.size), "Số lượng số");
  Put(m, LabelOf(one.position), "Vị trí / hậu tố");
  Put(m, LabelOf(one.window), "Số kỳ xét");
  Put(m, {layout::kSecondStageSwitch.row - 1, layout::kSecondStageSwitch.col - 1}, "Xử lý 2");
  Put(m, LabelOf(layout::kSecondStageSwitch), "Bật xử lý 2 (ON)");
  // Second parameter block.
  Put(m, LabelOf(two.kind), "Kiểu đánh 2");
  Put(m, LabelOf(two.size), "Số lượng số 2");
  Put(m, LabelOf(two.position), "Vị trí / hậu tố 2");
  Put(m, LabelOf(two.window), "Số kỳ xét 2");
  Put(m, one.kind, kTemplateKindNames[1]);
  m.PutValue(one.size.row, one.size.col, Value(40));
  m.PutValue(one.window.row, one.window.col, Value(200));
  m.PutValue(layout::kSecondStageSwitch.row, layout::kSecondStageSwitch.col, Value(u"OFF"));
  Put(m, two.kind, kTemplateKindNames[4]);
  m.PutValue(two.size.row, two.size.col, Value(300));
  m.PutValue(two.window.row, two.window.col, Value(200));
  // The store: its count (label beside it), draws below its headings.
  const Cell count = layout::kStoreCount;
  Put(m, {count.row, count.col + 1}, "← Số kỳ đã lưu");
  Put(m, {layout::kStoreFirstRow - 1, layout::kStoreResultCol}, "Giải đặc biệt");
  Put(m, {layout::kStoreFirstRow - 1, layout::kStoreResultCol + 1},
      "← Kỳ quay ở cột A, mới nhất ở trên");
  PutMethodHeadings(m, one, "Kết quả xử lý 1");
  PutMethodHeadings(m, two, "Kết quả xử lý 2");
  // The marks: a title above, then a heading per column of the two blocks.
  const Cell marks = layout::kMarksCleared.first;
  Put(m, {marks.row - 2, marks.col}, "Đánh dấu trúng");
  const char* headings[] = {"Kỳ", "PP1", "PP2", "PP3", nullptr, "PP1 (2)", "PP2 (2)", "PP3 (2)"};
  for (int i = 0; i < layout::kMarksCleared.cols(); ++i)
    if (headings[i] != nullptr) Put(m, {marks.row - 1, marks.col + i}, headings[i]);
  // Texts that must stay text: set texts and results with leading zeros.
  for (const layout::Stage* stage : {&one, &two}) {
    const int32_t col = layout::SetColumn(*stage);
    m.SetNumberFormat(Area{stage->table.row, col, layout::MethodRow(*stage, layout::kMethods), col},
                      u"@");
  }
  m.SetNumberFormat(Area{layout::kStoreFirstRow, layout::kStoreResultCol, layout::kStore.last.row,
                         layout::kStoreResultCol},
                    u"@");
  m.SetNumberFormat(AreaOf(one.position), u"@");
  m.SetNumberFormat(AreaOf(two.position), u"@");
  book.set_active_sheet(main.get());
}

std::vector<host::memory::SheetLayout> TemplateSheetLayouts() {
  using host::memory::ColumnWidth;
  host::memory::SheetLayout main{layout::kMainSheetCode, {}, {}};
  main.column_widths = {
      ColumnWidth{1, 1, 20},    // labels, draw numbers
      ColumnWidth{2, 2, 16},    // parameters, results
      ColumnWidth{3, 3, 34},    // notes beside the count
      ColumnWidth{4, 4, 6},     // method number
      ColumnWidth{5, 11, 12},   // statistics
      ColumnWidth{12, 12, 60},  // sets for the coming draw
      ColumnWidth{15, 15, 10},  // marked draws
      ColumnWidth{16, 22, 8},   // marks
  };
  const std::u16string kind_cells =
      layout::A1(layout::kStage1.kind) + u" " + layout::A1(layout::kStage2.kind);
  main.list_validations = {{Utf16ToUtf8(kind_cells), Utf16ToUtf8(layout::kKindListName)}};
  host::memory::SheetLayout paste{layout::kPasteSheetCode, {}, {}};
  host::memory::SheetLayout settings{layout::kSettingsSheetCode, {ColumnWidth{1, 1, 18}}, {}};
  return {main, paste, settings};
}

}  // namespace kelvora
