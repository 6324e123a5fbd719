#include "xlsx/sheet_chunks.h"

#include <gtest/gtest.h>

#include "sample_package.h"
#include "xlsx/part_xml.h"

namespace kelvora::host::xlsx {
namespace {

// What a cutting gives: the table's elements as its pieces hold them and
// then the skeleton; or why there are none.
std::string Outcome(std::optional<SheetChunks> chunks) {
  if (!chunks) return "not cut";
  std::string out;
  try {
    pugi::xml_document piece;
    while (chunks->Next(piece, "sheet"))
      for (pugi::xml_node n = piece.first_child(); n; n = n.next_sibling())
        if (n.type() == pugi::node_element) AppendNode(out, n);
  } catch (const XlsxError&) {
    return "refused";
  }
  return out + "|" + chunks->Skeleton();
}

// Odd-but-legal parts and parts not plain enough to cut: the whole-text cut
// gives the skeleton, and cutting as the text is read (sources that stop
// mid-tag, mid-attribute and inside a character of several bytes; pieces
// from one row to every row) gives what the whole-text cut gives, or
// refuses a table whose markup only the whole text shows.
TEST(SheetChunksTest, CutsAsItReadsAsFromTheWholeText) {
  const std::string rows =
      "<x:row r=\"1\" spans=\"1:2\"><x:c r=\"A1\" t=\"inlineStr\"><x:is><x:t>Giải "
      "đặc biệt</x:t></x:is></x:c></x:row>\n<x:row r=\"2\"><x:c r=\"B2\" s=\"1\"><x:v>"
      "12345</x:v></x:c></x:row><x:row r=\"3\"/>";
  const std::string head =
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?><x:w a=\"<!-- >\"><!-- "
      "<x:sheetData> --><x:sheetData>";
  const std::string tail = "</x:sheetData><x:merge>Đ</x:merge></x:w>";
  // (part, its skeleton or "" when it is not cut, what a streamed cut gives or nullptr: the same)
  const std::tuple<std::string, std::string, const char*> cases[] = {
      {head + rows + tail, head + tail, nullptr},
      {"<w><a x='>'/><sheetData><row r=\"1\"/>\n</sheetData><b/></w>",
       "<w><a x='>'/><sheetData></sheetData><b/></w>", nullptr},
      {"<w><sheetData/><p>ế</p></w>", "<w><sheetData/><p>ế</p></w>", nullptr},
      {head + rows + "<!-- </x:row> -->" + rows + tail, "", "refused"},
      {"<w><sheetData><row><c><is><t><![CDATA[</row>]]></t></is></c></row></sheetData></w>", "",
       "refused"},
      {"<w><sheetData><?pi </row>?></sheetData></w>", "", "refused"},
      {head + rows, "", "refused"},
      {head + rows + "</x:sheetData><x:sheetData>" + rows + tail, head + tail, "refused"},
      {"<!DOCTYPE w><w><sheetData/></w>", "", "not cut"},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><w><sheetData/></w>", "", "not cut"},
      {"<?xml version=\"1.0\" a=\"\"/><v/>?><w><sheetData/></w>", "", "not cut"},
      {"<w><p><sheetData/></p></w>", "", "not cut"},
      {"<w><p/></w>", "", "not cut"},
      {"<v/><w><sheetData/></w>", "", "not cut"},
  };
  for (const auto& [xml, skeleton, streamed] : cases) {
    const auto whole = SheetChunks::Cut(xml);
    EXPECT_EQ(whole ? whole->Skeleton() : "", skeleton) << xml;
    const std::string want = streamed ? streamed : Outcome(SheetChunks::Cut(xml, 1));
    ASSERT_EQ(want.find('|') != std::string::npos, streamed == nullptr) << want;
    for (const size_t piece : {1u, 40u, 4096u}) {
      for (const size_t step : {1u, 2u, 3u, 5u, 4096u}) {
        size_t at = 0;
        auto source = [&](char* out, size_t n) {
          n = std::min({n, step, xml.size() - at});
          xml.copy(out, n, at);
          at += n;
          return n;
        };
        EXPECT_EQ(Outcome(SheetChunks::Stream(source, piece)), want)
            << xml << " " << piece << " " << step;
      }
    }
  }
}

// A cell table of `rows` rows (several pieces long): numbers, texts in the
// Text style and members of a shared formula whose first cell is C1.
std::string BigTable(int rows) {
  std::string t;
  for (int r = 1; r <= rows; ++r) {
    const std::string n = std::to_string(r);
    t += "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + n + "</v></c><c r=\"B" + n +
         "\" s=\"2\" t=\"inlineStr\"><is><t>0" + n + "</t></is></c><c r=\"C" + n + "\">" +
         (r == 1 ? "<f t=\"shared\" ref=\"C1:C" + std::to_string(rows) + "\" si=\"0\">A1*2</f>"
                 : "<f t=\"shared\" si=\"0\"/>") +
         "<v>" + std::to_string(2 * r) + "</v></c></row>";
  }
  return t;
}

TEST(SheetChunksTest, ReadingAndSavingInPiecesMatchTheWholeDocument) {
  constexpr int kRows = 20000;
  const std::string table = BigTable(kRows);
  ASSERT_GT(table.size(), 2 * SheetChunks::kPieceBytes);
  // The same cells as the whole document reads them: a comment keeps the
  // table from being cut, and rows out of order need the whole document.
  const size_t row2 = table.find("<row r=\"2\"");
  const size_t row3 = table.find("<row r=\"3\"");
  const size_t row4 = table.find("<row r=\"4\"");
  const std::string swapped = table.substr(0, row2) + table.substr(row3, row4 - row3) +
                              table.substr(row2, row3 - row2) + table.substr(row4);
  const std::string variants[] = {table, "<!-- whole -->" + table, swapped};
  std::string first_saved;
  for (const std::string& data : variants) {
    MemoryApplication app;
    auto wb = XlsxWorkbook::Load(Pack(BaseParts(data)), &app);
    MemoryWorksheet& main = *wb->book()->sheets()[0];
    ASSERT_EQ(main.UsedRows(), kRows);
    EXPECT_EQ(main.cell(kRows, 1).value, Value(kRows));
    EXPECT_EQ(main.cell(kRows, 2).value, Value(u"020000"));
    EXPECT_EQ(main.cell(3, 3).formula, u"=");
    // The first cell of the shared formula goes: its members get their own.
    main.GetRange(u"C1")->SetValue(Value(7));
    main.GetRange(u"A20002:B20002")->SetValues(Row({Value(1), Value(u"x")}));
    const std::string saved = Unpack(wb->SaveToBytes()).at("xl/worksheets/sheet1.xml");
    EXPECT_NE(saved.find("<c r=\"C3\"><f>A3*2</f><v>6</v></c>"), std::string::npos);
    EXPECT_EQ(saved.find("si=\"0\""), std::string::npos);
    EXPECT_NE(saved.find("<dimension ref=\"A1:C20002\"/>"), std::string::npos);
    if (first_saved.empty()) first_saved = saved;
    EXPECT_EQ(saved, first_saved);
  }
}

}  // namespace
}  // namespace kelvora::host::xlsx
