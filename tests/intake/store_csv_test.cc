#include "intake/store_csv.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

#include "intake/intake_test_support.h"

namespace kelvora::intake {
namespace {

using Kind = StoreCsvProblem::Kind;
using testing::ToTable;

TEST(StoreCsvTest, WritesFieldsAsStored) {
  const host::Table block = ToTable(
      {{24100, u"06235"}, {24099, 1234}, {24098, u"a,\"b\""}, {host::Value(), host::Value()}});
  EXPECT_EQ(StoreCsv(block), "draw,result\n24100,06235\n24099,1234\n24098,\"a,\"\"b\"\"\"\n,\n");
}

TEST(StoreCsvTest, ReadsTheFormsUsersHandIt) {
  const host::Table expected = ToTable({{24100, u"06235"}, {24099, u"99999"}});
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
  // The problem's fields in a value a test compares whole.
  auto fields = [](const StoreCsvProblem& p) {
    return std::tuple(p.kind, p.line, p.earlier_line, p.record);
  };
  const std::pair<std::string, StoreCsvProblem> cases[] = {
      {"draw,result\n24100,06235\n24099,6235\n", {Kind::kResult, 3, "24099,6235", 0}},
      {"draw,result\r\n\r\n0,12345\r\n", {Kind::kDraw, 3, "0,12345", 0}},
      {"24100.5,12345\n", {Kind::kDraw, 1, "24100.5,12345", 0}},
      {"24100,12345,x\n", {Kind::kFields, 1, "24100,12345,x", 0}},
      {"draw;result\n", {Kind::kFields, 1, "draw;result", 0}},
      {"24100,\"12345\nx", {Kind::kQuote, 1, "24100,\"12345\nx", 0}},
      {"24100,\"12345\"x\n", {Kind::kQuote, 1, "24100,\"12345\"x", 0}},
      {"24100,\"1\n2\"\n24099,12345\n24100,12346\n", {Kind::kResult, 1, "24100,\"1\n2\"", 0}},
      {"24100,12345\n\n24100,12346\n", {Kind::kConflict, 3, "24100,12346", 1}},
      {"24100,12345\n\xC3(,x", {Kind::kEncoding, 0, "", 0}},
      {too_many, {Kind::kTooMany, 65001, "65001,12345", 0}},
  };
  for (const auto& [text, problem] : cases) {
    const StoreCsvRows got = ReadStoreCsv(text);
    ASSERT_TRUE(got.problem) << problem.record;
    EXPECT_EQ(fields(*got.problem), fields(problem));
    EXPECT_EQ(got.rows.rows(), 0) << problem.record;
  }
}

}  // namespace
}  // namespace kelvora::intake
