#include "entry/workbook_template.h"

#include "text/utf.h"

namespace kelvora {

const std::array<const char*, 6> kTemplateKindNames = {
    "Đề đầu", "Đề đuôi", "Ba càng đầu", "Ba càng giữa", "Ba càng đuôi", "Một số",
};

namespace {

using host::Value;
using host::memory::Area;
using host::memory::MemoryWorksheet;

void Put(MemoryWorksheet& s, int32_t row, int32_t col, const char* utf8) {
  s.PutValue(row, col, Value(Utf8ToUtf16(utf8)));
}

void PutMethodHeadings(MemoryWorksheet& s, int32_t row, const char* title) {
  Put(s, row - 1, 4, title);
  const char* headings[] = {"PP",
                            "Chuỗi trúng dài nhất",
                            "Chuỗi trúng hiện tại",
                            "Chuỗi trượt dài nhất",
                            "Chuỗi trượt hiện tại",
                            "Số lần trúng",
                            "Số lần trượt",
                            "Tỉ lệ trúng (%)",
                            "Dàn số kỳ tới"};
  for (int i = 0; i < 9; ++i) Put(s, row, 4 + i, headings[i]);
}

}  // namespace

void FillTemplateWorkbook(host::memory::MemoryWorkbook& book) {
  auto main = book.AddSheet(u"Sheet1", Utf8ToUtf16("Thống kê"));
  auto paste = book.AddSheet(u"Sheet2", Utf8ToUtf16("Dán kết quả"));
  auto settings = book.AddSheet(u"Sheet3", Utf8ToUtf16("Cài đặt"));
  (void)paste;

  for (int i = 0; i < 6; ++i) Put(*settings, i + 1, 1, kTemplateKindNames[static_cast<size_t>(i)]);
  book.DefineName(u"KieuDanh", settings, Area{1, 1, 6, 1});

  MemoryWorksheet& m = *main;
  // Parameter block of the first stage (B1:B4) and the switch (B6).
  Put(m, 1, 1, "Kiểu đánh");
  Put(m, 2, 1, "Số lượng số");
  Put(m, 3, 1, "Vị trí / hậu tố");
  Put(m, 4, 1, "Số kỳ xét");
  Put(m, 5, 1, "Xử lý 2");
  Put(m, 6, 1, "Bật xử lý 2 (ON)");
  // Second parameter block (B7:B10).
  Put(m, 7, 1, "Kiểu đánh 2");
  Put(m, 8, 1, "Số lượng số 2");
  Put(m, 9, 1, "Vị trí / hậu tố 2");
  Put(m, 10, 1, "Số kỳ xét 2");
  Put(m, 1, 2, kTemplateKindNames[1]);
  m.PutValue(2, 2, Value(40));
  m.PutValue(4, 2, Value(200));
  m.PutValue(6, 2, Value(u"OFF"));
  Put(m, 7, 2, kTemplateKindNames[4]);
  m.PutValue(8, 2, Value(300));
  m.PutValue(10, 2, Value(200));
  // The store: count in B15 (label beside it), draws from row 17.
  Put(m, 15, 3, "← Số kỳ đã lưu");
  Put(m, 16, 2, "Giải đặc biệt");
  Put(m, 16, 3, "← Kỳ quay ở cột A, mới nhất ở trên");
  PutMethodHeadings(m, 2, "Kết quả xử lý 1");
  PutMethodHeadings(m, 8, "Kết quả xử lý 2");
  Put(m, 1, 15, "Đánh dấu trúng");
  const char* marks[] = {"Kỳ", "PP1", "PP2", "PP3", nullptr, "PP1 (2)", "PP2 (2)", "PP3 (2)"};
  for (int i = 0; i < 8; ++i)
    if (marks[i] != nullptr) Put(m, 2, 15 + i, marks[i]);
  // Texts that must stay text: set texts and results with leading zeros.
  m.SetNumberFormat(Area{3, 12, 5, 12}, u"@");
  m.SetNumberFormat(Area{9, 12, 11, 12}, u"@");
  m.SetNumberFormat(Area{17, 2, 65016, 2}, u"@");
  m.SetNumberFormat(Area{3, 2, 3, 2}, u"@");
  m.SetNumberFormat(Area{9, 2, 9, 2}, u"@");
  book.set_active_sheet(main.get());
}

std::vector<host::xlsx::SheetLayout> TemplateSheetLayouts() {
  using host::xlsx::ColumnWidth;
  host::xlsx::SheetLayout main{u"Sheet1", {}, {}};
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
  main.list_validations = {{"B1 B7", "KieuDanh"}};
  host::xlsx::SheetLayout paste{u"Sheet2", {}, {}};
  host::xlsx::SheetLayout settings{u"Sheet3", {ColumnWidth{1, 1, 18}}, {}};
  return {main, paste, settings};
}

}  // namespace kelvora
