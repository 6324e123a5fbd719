#include "text/telex.h"

#include <gtest/gtest.h>

#include "text/utf.h"

namespace kelvora {
namespace {

std::string Decode(const char* utf8) { return Utf16ToUtf8(TelexToUnicode(Utf8ToUtf16(utf8))); }

TEST(TelexTest, StoredTextsOfTheEngine) {
  struct Case {
    const char* stored;
    const char* shown;
  } cases[] = {
      {"Thoong Baso", "Thông Báo"},
      {"Bajn cos chawsc muoosn xosa taast car duwx lieeju cux",
       "Bạn có chắc muốn xóa tất cả dữ liệu cũ"},
      {"Ddax Copy PP1", "Đã Copy PP1"},
      {"Vui Lofng Copy Ddusng Barng Keest Quar", "Vui Lòng Copy Đúng Bảng Kết Quả"},
      {"KEEST QUAR DUWJ DDOASN CHO KIF: ", "KẾT QUẢ DỰ ĐOÁN CHO KÌ: "},
      {"Khoong ddur duwx lieeju ddeer thoosng kee", "Không đủ dữ liệu để thống kê"},
      {"Bajn Chuwa Chojn 100 Kyf Keest Quar!\r\nVui Lofng Chojn 100 Kyf Vaf Copy Laji",
       "Bạn Chưa Chọn 100 Kỳ Kết Quả!\r\nVui Lòng Chọn 100 Kỳ Và Copy Lại"},
      {"Vui Lofng Kieerm Tra Laji Casc Thoong Soos Xuwr Lys 2",
       "Vui Lòng Kiểm Tra Lại Các Thông Số Xử Lý 2"},
  };
  for (const auto& c : cases) EXPECT_EQ(Decode(c.stored), c.shown) << c.stored;
}

TEST(TelexTest, OrderCaseAndTildeRules) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"", ""},
      {"aaf", "ầ"},  // three-letter key before the two-letter one it contains
      {"AAF", "Ầ"},
      {"Aaf", "Ầ"},
      {"AaF", "ÂF"},  // other mixed cases: only the "aa" row matches
      {"aaF", "âF"},
      {"DDeer", "Để"},
      {"dduwowjc", "được"},
      {"class", "clás"},
      {"cla~ss", "class"},
      {"a~s", "as"},
      {"as~", "á~"},
      {"a~~", "a~"},
      {"Thông Báo", "Thông Báo"},  // already Unicode
      {"xyz 123", "xyz 123"},
      {"A~", "A"},
      {"uwx UWX Uwx", "ữ Ữ Ữ"},
      {"dd DD Dd dD", "đ Đ Đ dD"},
  };
  for (const auto& c : cases) EXPECT_EQ(Decode(c.in), c.out) << c.in;
}

TEST(TelexTest, EveryRowInAllThreeCases) {
  struct Row {
    const char* key;
    char16_t lower;
  } rows[] = {
      {"aaf", 0x1EA7}, {"aaj", 0x1EAD}, {"aar", 0x1EA9}, {"aas", 0x1EA5}, {"aax", 0x1EAB},
      {"awf", 0x1EB1}, {"awj", 0x1EB7}, {"awr", 0x1EB3}, {"aws", 0x1EAF}, {"awx", 0x1EB5},
      {"eef", 0x1EC1}, {"eej", 0x1EC7}, {"eer", 0x1EC3}, {"ees", 0x1EBF}, {"eex", 0x1EC5},
      {"oof", 0x1ED3}, {"ooj", 0x1ED9}, {"oor", 0x1ED5}, {"oos", 0x1ED1}, {"oox", 0x1ED7},
      {"owf", 0x1EDD}, {"owj", 0x1EE3}, {"owr", 0x1EDF}, {"ows", 0x1EDB}, {"owx", 0x1EE1},
      {"uwf", 0x1EEB}, {"uwj", 0x1EF1}, {"uwr", 0x1EED}, {"uws", 0x1EE9}, {"uwx", 0x1EEF},
      {"aa", 0xE2},    {"af", 0xE0},    {"aj", 0x1EA1},  {"ar", 0x1EA3},  {"as", 0xE1},
      {"aw", 0x103},   {"ax", 0xE3},    {"dd", 0x111},   {"ee", 0xEA},    {"ef", 0xE8},
      {"ej", 0x1EB9},  {"er", 0x1EBB},  {"es", 0xE9},    {"ex", 0x1EBD},  {"if", 0xEC},
      {"ij", 0x1ECB},  {"ir", 0x1EC9},  {"is", 0xED},    {"ix", 0x129},   {"of", 0xF2},
      {"oj", 0x1ECD},  {"oo", 0xF4},    {"or", 0x1ECF},  {"os", 0xF3},    {"ow", 0x1A1},
      {"ox", 0xF5},    {"uf", 0xF9},    {"uj", 0x1EE5},  {"ur", 0x1EE7},  {"us", 0xFA},
      {"uw", 0x1B0},   {"ux", 0x169},   {"yf", 0x1EF3},  {"yj", 0x1EF5},  {"yr", 0x1EF7},
      {"ys", 0xFD},    {"yx", 0x1EF9},
  };
  for (const auto& r : rows) {
    const std::string key(r.key);
    std::string upper = key, first = key;
    for (auto& ch : upper) ch = static_cast<char>(ch - 32);
    first[0] = static_cast<char>(first[0] - 32);
    const char16_t big = r.lower < 0x100 ? static_cast<char16_t>(r.lower - 0x20)
                                         : static_cast<char16_t>(r.lower - 1);
    EXPECT_EQ(TelexToUnicode(Ascii(key)), std::u16string(1, r.lower)) << key;
    EXPECT_EQ(TelexToUnicode(Ascii(upper)), std::u16string(1, big)) << upper;
    EXPECT_EQ(TelexToUnicode(Ascii(first)), std::u16string(1, big)) << first;
  }
}

}  // namespace
}  // namespace kelvora
