#include "text/telex.h"

#include <gtest/gtest.h>

#include <cctype>

#include "text/utf.h"

namespace kelvora {
namespace {

std::string Decode(const std::string& utf8) {
  return Utf16ToUtf8(TelexToUnicode(Utf8ToUtf16(utf8)));
}

TEST(TelexTest, StoredTextsOrderCaseAndTildeRules) {
  const std::pair<const char*, const char*> cases[] = {
      {"Thoong Baso", "Thông Báo"},
      {"KEEST QUAR!\r\nVui Lofng", "KẾT QUẢ!\r\nVui Lòng"},
      {"", ""},
      {"AaF", "ÂF"},  // mixed cases other than title case: only the "aa" row matches
      {"aaF", "âF"},
      {"dduwowjc", "được"},
      {"class", "clás"},
      {"cla~ss", "class"},
      {"as~", "á~"},
      {"a~~", "a~"},
      {"Thông Báo", "Thông Báo"},  // already Unicode
      {"xyz 123", "xyz 123"},
      {"dD", "dD"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(Decode(in), out) << in;
}

TEST(TelexTest, EveryKeyInAllThreeCases) {
  const std::tuple<std::string, const char*, const char*> rows[] = {
      {"aaf aaj aar aas aax", "ầ ậ ẩ ấ ẫ", "Ầ Ậ Ẩ Ấ Ẫ"},
      {"awf awj awr aws awx", "ằ ặ ẳ ắ ẵ", "Ằ Ặ Ẳ Ắ Ẵ"},
      {"eef eej eer ees eex", "ề ệ ể ế ễ", "Ề Ệ Ể Ế Ễ"},
      {"oof ooj oor oos oox", "ồ ộ ổ ố ỗ", "Ồ Ộ Ổ Ố Ỗ"},
      {"owf owj owr ows owx", "ờ ợ ở ớ ỡ", "Ờ Ợ Ở Ớ Ỡ"},
      {"uwf uwj uwr uws uwx", "ừ ự ử ứ ữ", "Ừ Ự Ử Ứ Ữ"},
      {"aa af aj ar as aw ax", "â à ạ ả á ă ã", "Â À Ạ Ả Á Ă Ã"},
      {"dd ee ef ej er es ex", "đ ê è ẹ ẻ é ẽ", "Đ Ê È Ẹ Ẻ É Ẽ"},
      {"if ij ir is ix", "ì ị ỉ í ĩ", "Ì Ị Ỉ Í Ĩ"},
      {"of oj oo or os ow ox", "ò ọ ô ỏ ó ơ õ", "Ò Ọ Ô Ỏ Ó Ơ Õ"},
      {"uf uj ur us uw ux", "ù ụ ủ ú ư ũ", "Ù Ụ Ủ Ú Ư Ũ"},
      {"yf yj yr ys yx", "ỳ ỵ ỷ ý ỹ", "Ỳ Ỵ Ỷ Ý Ỹ"},
      {"a~ e~ i~ o~ u~ y~", "a e i o u y", "A E I O U Y"},
  };
  for (const auto& [keys, lower, upper_and_title] : rows) {
    std::string upper = keys, title = keys;
    for (size_t i = 0; i < upper.size(); ++i) {
      upper[i] = static_cast<char>(std::toupper(upper[i]));
      if (i == 0 || title[i - 1] == ' ') title[i] = upper[i];
    }
    EXPECT_EQ(Decode(keys), lower);
    EXPECT_EQ(Decode(upper), upper_and_title);
    EXPECT_EQ(Decode(title), upper_and_title);
  }
}

}  // namespace
}  // namespace kelvora
