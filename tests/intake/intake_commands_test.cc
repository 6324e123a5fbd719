#include "intake/intake_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/convert.h"
#include "host/error.h"
#include "intake/intake_test_support.h"
#include "intake/special_prize_text.h"
#include "support/error_number.h"

namespace kelvora::intake {
namespace {

using host::Value;
using testing::BoundWorkbook;
using testing::Draws;
using testing::Snapshot;
using testing::StoreRow;
using testing::StoreRows;
using testing::ToTable;

using Message = std::pair<std::string, int32_t>;  // text and style
const Message kPasteFailed{"Vui Lòng Copy Đúng Bảng Kết Quả", 4160};
const Message kNotHundred{"Bạn Chưa Chọn 100 Kỳ Kết Quả!\r\nVui Lòng Chọn 100 Kỳ Và Copy Lại",
                          4160};
const Message kM1{"Bạn chưa copy hoặc copy sai định dạng", 4160};
const Message kM2{"Chức năng này chỉ hỗ trợ kiểu choi 27 giải\r\nVui lòng kiểm tra lại", 16 + 4096};
const Message kM3{"Không có dữ liệu mới đuợc thêm vào", 4160};
const Message kFull{
    "Kho dữ liệu chỉ chứa được 65000 kỳ, không thể thêm các kỳ mới.\r\n"
    "Vui lòng xóa bớt dữ liệu cũ rồi thử lại",
    4160};

std::string Td(const std::string& s) { return "<td>" + s + "</td>"; }
std::string TextTd(const std::string& s) {
  return "<td style='mso-number-format:\"\\@\"'>" + s + "</td>";
}

// A draw row: the draw number cell, `gap` empty cells, then the five digits.
std::string DrawRow(const std::string& draw_cell, const std::u16string& result, int gap) {
  std::string row = "<tr>" + draw_cell;
  for (int i = 0; i < gap; ++i) row += Td("06/12/2024");
  for (char16_t d : result) row += Td(std::string(1, static_cast<char>(d)));
  return row + "</tr>";
}

// Twelve heading blocks and a header row above the draw rows, which then
// land in rows 14 and below.
std::string HundredPage(const std::vector<std::string>& rows) {
  std::string html = "<html><body>";
  for (int i = 1; i <= 12; ++i) html += "<p>Heading " + std::to_string(i) + "</p>";
  html += "<table><tr><th>Kỳ</th><th>1</th><th>2</th><th>3</th><th>4</th><th>5</th></tr>";
  for (const auto& r : rows) html += r;
  return html + "</table></body></html>";
}

std::vector<std::string> DrawRows(const std::vector<StoreRow>& draws, int gap) {
  std::vector<std::string> rows;
  for (const auto& [draw, result] : draws)
    rows.push_back(DrawRow(Td(Utf16ToUtf8(host::NumberToText(draw.number()))), result.text(), gap));
  return rows;
}

// Two heading blocks, a header row, then draw rows with a date in B and the
// digits in C to G.
std::string ByDatePage(const std::vector<std::string>& rows) {
  std::string html =
      "<h1>By date</h1><p>From 01/01 to 06/12</p><table><tr><th>Kỳ</th><th>Ngày</th>"
      "<th colspan=5>Giải</th></tr>";
  for (const auto& r : rows) html += r;
  return html + "</table>";
}

TEST(DanKQXSTest, ReadsDrawNumberCells) {
  // Ten characters: the 7th is dropped; other lengths and numeric texts are
  // read as they are.
  const std::pair<const char*, double> cases[] = {{"1234567890", 123456890},
                                                  {"123456789", 123456789},
                                                  {"12345678901", 12345678901},
                                                  {"00123", 123}};
  BoundWorkbook w;
  auto rows = DrawRows(Draws(100, 24400), 0);
  for (size_t i = 0; i < std::size(cases); ++i)
    rows[i] = DrawRow(TextTd(cases[i].first), u"00007", 0);
  w.platform.clipboard.set_html(HundredPage(rows));
  w.Run(DanKQXS);
  ASSERT_TRUE(w.Shown().empty());
  const auto store = StoreRows(w);
  ASSERT_EQ(store.size(), 100u);
  for (const auto& [cell, stored] : cases)
    EXPECT_EQ(std::ranges::count(store, StoreRow(stored, u"00007")), 1) << cell;
}

// More rows than a 16-bit row counter holds.
TEST(DanKQXSNgayTest, TakesEveryNumberedRow) {
  BoundWorkbook w;
  auto rows = DrawRows(Draws(40000, 140000), 1);
  rows[3] = DrawRow(TextTd("0139997"), u"49749", 1);                   // numeric text
  rows.push_back("<tr><td></td><td>x</td><td>9</td><td>9</td></tr>");  // no draw number
  rows.push_back("<tr><td>Tổng</td><td>40000 kỳ</td></tr>");
  w.platform.clipboard.set_html(ByDatePage(rows));
  w.Run(DanKQXSNgay);
  EXPECT_TRUE(w.Shown().empty());
  auto expected = Draws(40000, 140000);
  expected[3].second = Value(u"49749");
  EXPECT_EQ(StoreRows(w), expected);
  EXPECT_EQ(w.At(layout::kStoreCount), Value(40000));
  // The pasted table is left sorted by column A, numbers first.
  const layout::Cell top = layout::kPasteTop;
  EXPECT_EQ(w.paste().cell(top.row, top.col).value, Value(100001));
  EXPECT_EQ(w.paste().cell(top.row + 39998, top.col).value, Value(140000));
  EXPECT_EQ(w.paste().cell(top.row + 39999, top.col).value, Value(u"0139997"));  // texts last
}

// The plain text of a special-prize page.
std::u16string SpecialText(const std::u16string& heading, const std::vector<StoreRow>& draws) {
  std::u16string text = heading + u"\r\n";
  for (const auto& [draw, result] : draws) {
    text += std::u16string(kDrawWord) + u" " + host::NumberToText(draw.number()) + u"\r\n";
    text += u"Gi\u1EA3i \u0110B\t" + result.text() + u"-AB\t06/12/2024\r\n";
  }
  return text;
}

const std::u16string kHeading = u"K\u1EBET QU\u1EA2 - lo\u1EA1i 27 gi\u1EA3i";

// A page of draws 900 down to 851, then the draw word and `blocks`.
std::u16string AfterFifty(const std::u16string& blocks) {
  return SpecialText(kHeading, Draws(50, 900)) + kDrawWord + blocks;
}

TEST(DanKQXSDBTest, KeysAndResults) {
  BoundWorkbook w;
  // An empty store; a long first line; a block that repeats an earlier
  // block of the same text with the same result is taken once.
  w.platform.clipboard.set_text(
      AfterFifty(u"   24350123456 \r\n\u0110B\t  01234 - 5\r\nK\u1EF3 900\r\n\u0110B\t27100\r\n"));
  w.Run(DanKQXSDB);
  ASSERT_TRUE(w.Shown().empty());
  auto expected = Draws(50, 900);  // draw 900's result is 27100
  expected.insert(expected.begin(), StoreRow(Value(2435012345.0), Value(u"01234")));
  EXPECT_EQ(StoreRows(w), expected);
  EXPECT_EQ(w.At(layout::kStoreCount), Value(51));
  // The same text again: every key compares equal to a stored number.
  const auto once = Snapshot(w);
  w.Run(DanKQXSDB);
  EXPECT_EQ(w.Shown(), (std::vector{kM3}));
  EXPECT_EQ(Snapshot(w), once);

  // A stored draw number kept as text compares by its number too, so does a
  // result that lost its leading zero, and a malformed block whose draw is
  // stored is passed over.
  BoundWorkbook t;
  t.SetStore(ToTable({{Value(u"900"), Draws(1, 900)[0].second}, {Value(2), Value(u"2")}}));
  t.platform.clipboard.set_text(AfterFifty(u" 2\n"));
  t.Run(DanKQXSDB);
  EXPECT_TRUE(t.Shown().empty());
  EXPECT_EQ(t.At(layout::kStoreCount), Value(51));
}

// Every refusal shows one message, ends the command as a check ends it and
// leaves the store as it was; a table intake leaves its scratch area clear.
TEST(IntakeTest, RefusalsLeaveTheStore) {
  auto hundred = [](size_t at, const std::string& row) {
    auto rows = DrawRows(Draws(100, 24400), 0);
    if (row.empty()) rows.pop_back();  // 99 rows
    if (!row.empty()) rows[at] = row;
    return HundredPage(rows);
  };
  auto bad = [](const std::string& start) { return Message{start + "…", 4160}; };
  auto malformed = [&](const std::string& where) { return bad("Dữ liệu không hợp lệ ở " + where); };
  const struct {
    void (*command)(host::Session&);
    Message shown;  // a text ending in "…" is the message's start
    std::optional<std::string> html = std::nullopt;
    std::u16string text = u"";
  } cases[] = {
      // Anything but a hundred numbered rows: 99 rows; a text in column A,
      // which sorts to the top; negative draw numbers.
      {DanKQXS, kNotHundred, hundred(0, "")},
      {DanKQXS, kNotHundred, hundred(40, DrawRow(Td("Kỳ sau"), u"12345", 0))},
      {DanKQXS, kNotHundred, HundredPage(std::vector(100, DrawRow(Td("-5"), u"12345", 0)))},
      // A failed paste: no table on the clipboard.
      {DanKQXS, kPasteFailed},
      {DanKQXSNgay, kPasteFailed, "<p> </p>"},
      // Any row the store may not take refuses the page, naming the row.
      {DanKQXS, malformed("kỳ 24390: «1x228»"),
       hundred(10, "<tr><td>24390</td><td>1</td><td>x</td><td>2</td><td>2</td><td>8</td></tr>")},
      {DanKQXS, malformed("kỳ 24397: «810228»"),
       hundred(3, "<tr><td>24397</td><td>8</td><td>10</td><td>2</td><td>2</td><td>8</td></tr>")},
      {DanKQXS, malformed("kỳ 24301: «8228»"),
       hundred(99, "<tr><td>24301</td><td>8</td><td></td><td>2</td><td>2</td><td>8</td></tr>")},
      {DanKQXS, bad("Bảng không đúng dạng 100 kỳ: có kỳ quay nằm ngoài vùng đọc (dòng 114: 24300)"),
       HundredPage(DrawRows(Draws(101, 24400), 0))},
      {DanKQXSNgay, malformed("kỳ 24301: «9619»"), HundredPage(DrawRows(Draws(100, 24400), 0))},
      {DanKQXSNgay, malformed("dòng 1 của trang: «0»"),
       ByDatePage({DrawRow(Td("0"), u"12345", 1)})},
      // The special-prize text: nothing, 49 blocks, another game, a block
      // without its result, a draw twice, a stored draw with another result.
      {DanKQXSDB, kM1},
      {DanKQXSDB, kM1, std::nullopt, SpecialText(kHeading, Draws(49, 900))},
      {DanKQXSDB, kM2, std::nullopt, SpecialText(u"Lo\u1EA1i 18 gi\u1EA3i", Draws(50, 900))},
      {DanKQXSDB, kM1, std::nullopt, AfterFifty(u" 5000\r\nGi\u1EA3i \u0110B 12345")},
      {DanKQXSDB, bad("Kỳ 899 xuất hiện hai lần với hai kết quả khác nhau (19181, 11111)"),
       std::nullopt, AfterFifty(u" 899\r\n\u0110B\t11111\r\n")},
      {DanKQXSDB, malformed("kỳ 5000: «1234»"), std::nullopt,
       AfterFifty(u" 5000\r\n\u0110B\t1234-5\r\n")},
      {DanKQXSDB, bad("Kỳ 9 đã có trong kho với kết quả 71271, nhưng"), std::nullopt,
       AfterFifty(u" 9\r\n\u0110B\t00001\r\n")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown.first);
    BoundWorkbook w;
    w.SetStore(ToTable(Draws(3, 10)));
    const auto before = Snapshot(w);
    w.platform.clipboard.set_html(c.html);
    w.platform.clipboard.set_text(c.text);
    w.paste().PutValue(500, 20, Value(u"old"));  // beyond any pasted table
    EXPECT_EQ(w.Run(c.command), host::Outcome::kStoppedByCheck);
    auto shown = w.Shown();
    ASSERT_EQ(shown.size(), 1u);
    std::string& text = shown[0].first;
    if (c.shown.first.ends_with("…")) text = text.substr(0, c.shown.first.size() - 3) + "…";
    EXPECT_EQ(shown[0], c.shown);
    EXPECT_EQ(Snapshot(w), before);
    EXPECT_TRUE(w.app->screen_updating());
    EXPECT_EQ(w.book->active_sheet(), &w.main());
    EXPECT_EQ(w.paste().cell(500, 20).value.IsEmpty(), c.command != DanKQXSDB);
  }
}

TEST(DanKQXSDBTest, CapacityOfTheStore) {
  // 10 of the 50 draws are new; 50001 new draws fail with error 9.
  for (int stored : {64990, 64991, 3}) {
    BoundWorkbook w;
    auto rows = Draws(stored - 40, 200000);
    for (const auto& r : Draws(40, 990)) rows.push_back(r);
    w.SetStore(ToTable(stored == 3 ? Draws(3, 10) : rows));
    const auto before = Snapshot(w);
    w.platform.clipboard.set_text(
        SpecialText(kHeading, stored == 3 ? Draws(50001, 100000) : Draws(50, 1000)));
    EXPECT_EQ(testing::ErrorNumberOf([&] { w.Run(DanKQXSDB); }),
              stored == 3 ? err::kSubscriptOutOfRange : 0);
    if (stored == 64990) {
      EXPECT_TRUE(w.Shown().empty());
      EXPECT_EQ(w.At(layout::kStoreCount), Value(65000));
      EXPECT_EQ(w.At({layout::kStore.last.row, layout::kStoreDrawCol}), Value(951));
    } else {
      EXPECT_EQ(w.Shown(), stored == 3 ? decltype(w.Shown()){} : std::vector{kFull});
      EXPECT_EQ(Snapshot(w), before);
    }
  }
}

}  // namespace
}  // namespace kelvora::intake
