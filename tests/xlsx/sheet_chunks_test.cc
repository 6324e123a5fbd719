#include "xlsx/sheet_chunks.h"

#include <gtest/gtest.h>

#include "sample_package.h"
#include "xlsx/part_xml.h"

namespace kelvora::host::xlsx {
namespace {

TEST(SheetChunksTest, CutsOnlyPlainCellTables) {
  const struct {
    const char* xml;
    const char* skeleton;  // nullptr: not cut
  } cases[] = {
      {"<w><a x='>'/><sheetData><row r=\"1\"/>\n</sheetData><b/></w>",
       "<w><a x='>'/><sheetData></sheetData><b/></w>"},
      {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?><x:w><!-- <sheetData> "
       "--><x:sheetData>"
       "<x:row/></x:sheetData></x:w>",
       "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?><x:w><!-- <sheetData> "
       "--><x:sheetData>"
       "</x:sheetData></x:w>"},
      {"<w><sheetData/><p/></w>", "<w><sheetData/><p/></w>"},
      {"<w><sheetData><!-- </row> --></sheetData></w>", nullptr},
      {"<w><sheetData><row><c><is><t><![CDATA[</row>]]></t></is></c></row></sheetData></w>",
       nullptr},
      {"<w><sheetData><?pi </row>?></sheetData></w>", nullptr},
      {"<!DOCTYPE w><w><sheetData/></w>", nullptr},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><w><sheetData/></w>", nullptr},
      {"<?xml version=\"1.0\" a=\"\"/><v/>?><w><sheetData/></w>", nullptr},
      {"<w><p><sheetData/></p></w>", nullptr},
      {"<w><p/></w>", nullptr},
      {"<v/><w><sheetData/></w>", nullptr},
      {"<w><sheetData><row>", nullptr},
  };
  for (const auto& c : cases) {
    const auto chunks = SheetChunks::Cut(c.xml);
    ASSERT_EQ(chunks.has_value(), c.skeleton != nullptr) << c.xml;
    if (chunks) {
      EXPECT_EQ(chunks->Skeleton(), c.skeleton) << c.xml;
    }
  }
}

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

TEST(SheetChunksTest, CutsAsItReadsAsFromTheWholeText) {
  // Sources that stop mid-tag, mid-attribute and inside a character of
  // several bytes; pieces cut from one row to every row.
  const std::string rows =
      "<x:row r=\"1\" spans=\"1:2\"><x:c r=\"A1\" t=\"inlineStr\"><x:is><x:t>Giải "
      "đặc biệt</x:t></x:is></x:c></x:row>\n<x:row r=\"2\"><x:c r=\"B2\" s=\"1\"><x:v>"
      "12345</x:v></x:c></x:row><x:row r=\"3\"/>";
  const std::string head = "\xEF\xBB\xBF<?xml version=\"1.0\"?><x:w a=\"<!-- >\"><x:sheetData>";
  const struct {
    std::string xml;
    const char* outcome;  // nullptr: as the whole text is cut
  } cases[] = {
      {head + rows + "</x:sheetData><x:merge>Đ</x:merge></x:w>", nullptr},
      {"<w><sheetData/><p>ế</p></w>", nullptr},
      {"<!DOCTYPE w><w><sheetData/></w>", "not cut"},
      {"<w><p/></w>", "not cut"},
      {head + rows + "<!-- </x:row> -->" + rows + "</x:sheetData></x:w>", "refused"},
      {head + rows, "refused"},
      {head + rows + "</x:sheetData><x:sheetData>" + rows + "</x:sheetData></x:w>", "refused"},
  };
  for (const auto& c : cases) {
    const std::string want = c.outcome ? c.outcome : Outcome(SheetChunks::Cut(c.xml, 1));
    ASSERT_EQ(want.find('|') != std::string::npos, c.outcome == nullptr) << want;
    for (const size_t piece : {1u, 40u, 4096u}) {
      for (const size_t step : {1u, 2u, 3u, 5u, 4096u}) {
        size_t at = 0;
        auto source = [&](char* out, size_t n) {
          n = std::min({n, step, c.xml.size() - at});
          c.xml.copy(out, n, at);
          at += n;
          return n;
        };
        EXPECT_EQ(Outcome(SheetChunks::Stream(source, piece)), want)
            << c.xml << " " << piece << " " << step;
      }
    }
  }
}

TEST(SheetChunksTest, ASecondCellTableIsNotReadAsPartOfTheFirst) {
  // The cut takes the part's last </sheetData> as the table's end; the piece
  // holding the first one does not parse, and the whole document is read.
  MemoryApplication app;
  auto wb = XlsxWorkbook::Load(
      Pack(BaseParts("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData><sheetData>"
                     "<row r=\"1\"><c r=\"A1\"><v>2</v></c></row>")),
      &app);
  EXPECT_EQ(wb->book()->sheets()[0]->cell(1, 1).value, Value(1));
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
