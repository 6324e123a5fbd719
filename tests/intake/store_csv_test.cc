#include "intake/store_csv.h"

#include <gtest/gtest.h>

#include <vector>

#include "intake/intake_test_support.h"

namespace kelvora::intake {
namespace {

using host::Table;
using Kind = StoreCsvProblem::Kind;
using testing::ToTable;

TEST(StoreCsvTest, WritesFieldsAsStored) {
  const Table block = ToTable(
      {{24100, u"06235"}, {24099, 1234}, {24098, u"a,\"b\""}, {host::Value(), host::Value()}});
  EXPECT_EQ(StoreCsv(block), "draw,result\n24100,06235\n24099,1234\n24098,\"a,\"\"b\"\"\"\n,\n");
}

TEST(StoreCsvTest, ReadsTheFormsUsersHandIt) {
  const Table expected = ToTable({{24100, u"06235"}, {24099, u"99999"}});
  std::string utf16("\xFF\xFE", 2);
  for (char c : std::string("24100,06235\n24099,99999")) utf16 += {c, '\0'};
  for (const std::string& text : std::vector<std::string>{
           "draw,result\n24100,06235\n24099,99999\n",
           "\xEF\xBB\xBF"
           "DRAW,Result\r\n24100,06235\r\n\r\n24099,99999",    // BOM, CRLF, blank line
           "24100,06235\r24099,99999\r",                       // no header, CR alone
           "\"24100\",\"06235\"\n24099,99999\n24100,06235\n",  // quoted; repeated alike
           utf16,
       }) {
    const StoreCsvRows got = ReadStoreCsv(text);
    EXPECT_FALSE(got.problem) << text;
    EXPECT_EQ(got.rows, expected) << text;
  }
}

TEST(StoreCsvTest, OneBadRowRefusesTheFileNamingIt) {
  std::string too_many;
  for (int i = 1; i <= 65001; ++i) too_many += std::to_string(i) + ",12345\n";
  struct Case {
    std::string text;
    Kind kind;
    int64_t line, earlier_line;
    std::string record;
  } cases[] = {
      {"draw,result\n24100,06235\n24099,6235\n", Kind::kResult, 3, 0, "24099,6235"},
      {"draw,result\r\n\r\n0,12345\r\n", Kind::kDraw, 3, 0, "0,12345"},
      {"24100.5,12345\n", Kind::kDraw, 1, 0, "24100.5,12345"},
      {"24100,12345,x\n", Kind::kFields, 1, 0, "24100,12345,x"},
      {"draw;result\n", Kind::kFields, 1, 0, "draw;result"},
      {"24100,\"12345\nx", Kind::kQuote, 1, 0, "24100,\"12345\nx"},
      {"24100,\"12345\"x\n", Kind::kQuote, 1, 0, "24100,\"12345\"x"},
      {"24100,\"1\n2\"\n24099,12345\n24100,12346\n", Kind::kResult, 1, 0, "24100,\"1\n2\""},
      {"24100,12345\n\n24100,12346\n", Kind::kConflict, 3, 1, "24100,12346"},
      {"24100,12345\n\xC3(,x", Kind::kEncoding, 0, 0, ""},
      {too_many, Kind::kTooMany, 65001, 0, "65001,12345"},
  };
  for (const Case& c : cases) {
    const StoreCsvRows got = ReadStoreCsv(c.text);
    ASSERT_TRUE(got.problem) << c.record;
    EXPECT_EQ(got.problem->kind, c.kind) << c.record;
    EXPECT_EQ(got.problem->line, c.line) << c.record;
    EXPECT_EQ(got.problem->record, c.record);
    EXPECT_EQ(got.problem->earlier_line, c.earlier_line) << c.record;
    EXPECT_EQ(got.rows.rows(), 0) << c.record;
  }
}

}  // namespace
}  // namespace kelvora::intake
