#include "text/telex.h"

#include <array>
#include <string_view>

namespace kelvora {
namespace {

struct Row {
  const char* key;  // lower case ASCII
  char16_t letter;  // lower-case letter
};

// The order matters: three-letter keys come before the two-letter keys they
// contain, and the tilde escapes come last.
constexpr std::array<Row, 73> kTable = {{
    {"aaf", 0x1EA7}, {"aaj", 0x1EAD}, {"aar", 0x1EA9}, {"aas", 0x1EA5}, {"aax", 0x1EAB},
    {"awf", 0x1EB1}, {"awj", 0x1EB7}, {"awr", 0x1EB3}, {"aws", 0x1EAF}, {"awx", 0x1EB5},
    {"eef", 0x1EC1}, {"eej", 0x1EC7}, {"eer", 0x1EC3}, {"ees", 0x1EBF}, {"eex", 0x1EC5},
    {"oof", 0x1ED3}, {"ooj", 0x1ED9}, {"oor", 0x1ED5}, {"oos", 0x1ED1}, {"oox", 0x1ED7},
    {"owf", 0x1EDD}, {"owj", 0x1EE3}, {"owr", 0x1EDF}, {"ows", 0x1EDB}, {"owx", 0x1EE1},
    {"uwf", 0x1EEB}, {"uwj", 0x1EF1}, {"uwr", 0x1EED}, {"uws", 0x1EE9}, {"uwx", 0x1EEF},
    {"aa", 0x00E2},  {"af", 0x00E0},  {"aj", 0x1EA1},  {"ar", 0x1EA3},  {"as", 0x00E1},
    {"aw", 0x0103},  {"ax", 0x00E3},  {"dd", 0x0111},  {"ee", 0x00EA},  {"ef", 0x00E8},
    {"ej", 0x1EB9},  {"er", 0x1EBB},  {"es", 0x00E9},  {"ex", 0x1EBD},  {"if", 0x00EC},
    {"ij", 0x1ECB},  {"ir", 0x1EC9},  {"is", 0x00ED},  {"ix", 0x0129},  {"of", 0x00F2},
    {"oj", 0x1ECD},  {"oo", 0x00F4},  {"or", 0x1ECF},  {"os", 0x00F3},  {"ow", 0x01A1},
    {"ox", 0x00F5},  {"uf", 0x00F9},  {"uj", 0x1EE5},  {"ur", 0x1EE7},  {"us", 0x00FA},
    {"uw", 0x01B0},  {"ux", 0x0169},  {"yf", 0x1EF3},  {"yj", 0x1EF5},  {"yr", 0x1EF7},
    {"ys", 0x00FD},  {"yx", 0x1EF9},  {"a~", u'a'},    {"e~", u'e'},    {"i~", u'i'},
    {"o~", u'o'},    {"u~", u'u'},    {"y~", u'y'},
}};

char16_t UpperLetter(char16_t c) {
  return c < 0x100 ? static_cast<char16_t>(c - 0x20) : static_cast<char16_t>(c - 1);
}

char16_t UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char16_t>(c - 32) : static_cast<char16_t>(c);
}

// One replace-all pass: scan from the start, resume behind every match.
void ReplaceAll(std::u16string& text, const std::u16string& key, char16_t letter) {
  if (text.size() < key.size()) return;
  size_t pos = text.find(key);
  if (pos == std::u16string::npos) return;
  std::u16string out;
  out.reserve(text.size());
  size_t from = 0;
  while (pos != std::u16string::npos) {
    out.append(text, from, pos - from);
    out.push_back(letter);
    from = pos + key.size();
    pos = text.find(key, from);
  }
  out.append(text, from, std::u16string::npos);
  text.swap(out);
}

}  // namespace

std::u16string TelexToUnicode(std::u16string text) {
  for (const Row& row : kTable) {
    const std::string_view key(row.key);
    std::u16string lower(key.begin(), key.end());
    std::u16string upper, first_upper = lower;
    for (char c : key) upper.push_back(UpperAscii(c));
    first_upper[0] = UpperAscii(key[0]);
    const char16_t big = UpperLetter(row.letter);
    ReplaceAll(text, lower, row.letter);
    ReplaceAll(text, upper, big);
    ReplaceAll(text, first_upper, big);
  }
  return text;
}

}  // namespace kelvora
