#include "entry/ribbon.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

#include "host/layout.h"
#include "text/markup_escape.h"
#include "text/utf.h"

namespace kelvora {

namespace {

constexpr std::array<RibbonGroup, 4> kGroups = {{
    {"kelvoraResults", "Kết quả", "ZQ"},
    {"kelvoraStatistics", "Thống kê", "ZT"},
    {"kelvoraCopies", "Sao chép dàn", "ZC"},
    {"kelvoraWorkbook", "Sổ tính", "ZS"},
}};

// "PP1 (L3)": the method a Copy button copies and the cell of its set.
std::string CopyCell(int index) { return Utf16ToUtf8(layout::A1(layout::OutputCell(index))); }

RibbonButton CopyButton(int index, std::string_view id, std::string_view callback,
                        std::string_view keytip) {
  const std::string method = "PP" + std::to_string(index);
  return {"kelvoraCopies",
          id,
          method + " (" + CopyCell(index) + ")",
          callback,
          RibbonAction::kCommand,
          "Copy",
          "Sao chép dàn " + method,
          "Ghi dàn của phương pháp " + std::to_string(index) + " (ô " + CopyCell(index) +
              " trên trang chính) vào bộ nhớ tạm để dán vào nơi khác.",
          keytip};
}

std::vector<RibbonButton> MakeButtons() {
  using A = RibbonAction;
  return {
      {"kelvoraResults", "kelvoraDanKQXS", "Dán 100 kỳ", "DanKQXS", A::kCommand, "Paste",
       "Dán 100 kỳ",
       "Lấy bảng kết quả 100 kỳ gần nhất đã sao chép từ trang web và ghi vào kho kết quả của "
       "sổ.",
       "D"},
      {"kelvoraResults", "kelvoraDanKQXSNgay", "Dán theo ngày", "DanKQXSNgay", A::kCommand,
       "PasteSpecialDialog", "Dán theo ngày",
       "Lấy bảng kết quả theo ngày (dài bao nhiêu kỳ cũng được) đã sao chép từ trang web và ghi "
       "vào kho kết quả.",
       "N"},
      {"kelvoraResults", "kelvoraDanKQXSDB", "Dán giải ĐB", "DanKQXSDB", A::kCommand, "PasteValues",
       "Dán giải đặc biệt",
       "Lấy văn bản của trang giải đặc biệt đã sao chép và ghi các kỳ vào kho kết quả.", "B"},
      {"kelvoraResults", "kelvoraXoaDuLieu", "Xoá dữ liệu", "XoaDuLieu", A::kCommand, "ClearAll",
       "Xoá dữ liệu", "Xoá mọi kỳ đã lưu trong sổ; hỏi lại trước khi xoá.", "X"},
      {"kelvoraStatistics", "kelvoraMain", "Chạy thống kê", "Main", A::kCommand, "CalculateNow",
       "Chạy thống kê",
       "Chạy thống kê với các tham số trên trang chính và ghi dàn của từng phương pháp.", "T"},
      {"kelvoraStatistics", "kelvoraBaoCao", "Báo cáo", "BaoCao", A::kCommand, "ChartInsert",
       "Báo cáo",
       "Ghi trang báo cáo của lần thống kê vừa chạy vào thư mục tạm và mở bằng trình "
       "duyệt.",
       "R"},
      CopyButton(1, "kelvoraCopy1", "Copy1", "C1"),
      CopyButton(2, "kelvoraCopy2", "Copy2", "C2"),
      CopyButton(3, "kelvoraCopy3", "Copy3", "C3"),
      CopyButton(4, "kelvoraCopy4", "Copy4", "C4"),
      CopyButton(5, "kelvoraCopy5", "Copy5", "C5"),
      CopyButton(6, "kelvoraCopy6", "Copy6", "C6"),
      {"kelvoraWorkbook", "kelvoraSoMoi", "Sổ mới", "SoMoi", A::kNewWorkbook, "FileNew", "Sổ mới",
       "Mở một sổ tính mới, chưa lưu, từ mẫu của Kelvora: đủ các trang, tên KieuDanh và bố cục.",
       "M"},
      {"kelvoraWorkbook", "kelvoraKiemTraSo", "Kiểm tra sổ", "KiemTraSo", A::kCheckWorkbook,
       "DataValidation", "Kiểm tra sổ",
       "Kiểm tra sổ tính đang mở có đủ dạng của Kelvora không và cho biết còn thiếu gì.", "K"},
  };
}

bool SameName(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

void Attribute(std::string& out, std::string_view name, std::string_view value) {
  out += ' ';
  out += name;
  out += "=\"";
  AppendEscapedMarkup(out, value);
  out += '"';
}

}  // namespace

std::span<const RibbonGroup> RibbonGroups() { return kGroups; }

std::span<const RibbonButton> RibbonButtons() {
  static const std::vector<RibbonButton> buttons = MakeButtons();
  return buttons;
}

const RibbonButton* FindRibbonButton(std::string_view name) {
  for (const RibbonButton& b : RibbonButtons())
    if (SameName(b.callback, name)) return &b;
  return nullptr;
}

std::string RibbonMarkup() {
  std::string out =
      "<customUI xmlns=\"http://schemas.microsoft.com/office/2009/07/customui\">"
      "<ribbon><tabs><tab id=\"kelvoraTab\" label=\"Kelvora\" keytip=\"KV\">";
  for (const RibbonGroup& g : RibbonGroups()) {
    out += "<group";
    Attribute(out, "id", g.id);
    Attribute(out, "label", g.label);
    Attribute(out, "keytip", g.keytip);
    out += '>';
    for (const RibbonButton& b : RibbonButtons()) {
      if (b.group != g.id) continue;
      out += "<button";
      Attribute(out, "id", b.id);
      Attribute(out, "label", b.label);
      Attribute(out, "size", b.group == "kelvoraCopies" ? "normal" : "large");
      Attribute(out, "imageMso", b.image);
      Attribute(out, "screentip", b.screentip);
      Attribute(out, "supertip", b.supertip);
      Attribute(out, "keytip", b.keytip);
      Attribute(out, "onAction", b.callback);
      out += "/>";
    }
    out += "</group>";
  }
  out += "</tab></tabs></ribbon></customUI>";
  return out;
}

}  // namespace kelvora
