#include "xlsx/xlsx_text.h"

#include <array>
#include <charconv>
#include <cmath>

#include "text/utf.h"

namespace kelvora::host::xlsx {
namespace {

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// The value of an "_xHHHH_" escape starting at text[i], or -1.
int32_t EscapeAt(std::u16string_view text, size_t i) {
  if (i + 7 > text.size() || text[i] != u'_' || text[i + 1] != u'x' || text[i + 6] != u'_') {
    return -1;
  }
  int32_t v = 0;
  for (size_t k = 2; k < 6; ++k) {
    const int d = HexDigit(text[i + k]);
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

bool NeedsEscape(char16_t c) {
  return (c < 0x20 && c != u'\t' && c != u'\n') || c == 0xFFFE || c == 0xFFFF;
}

struct ErrorName {
  int32_t code;
  const char* literal;
};
constexpr std::array<ErrorName, 10> kErrors = {{{2000, "#NULL!"},
                                                {2007, "#DIV/0!"},
                                                {2015, "#VALUE!"},
                                                {2023, "#REF!"},
                                                {2029, "#NAME?"},
                                                {2036, "#NUM!"},
                                                {2042, "#N/A"},
                                                {2043, "#GETTING_DATA"},
                                                {2045, "#SPILL!"},
                                                {2050, "#CALC!"}}};

struct BuiltinFormat {
  uint32_t id;
  const char16_t* code;
};
constexpr std::array<BuiltinFormat, 28> kBuiltinFormats = {{
    {0, u"General"},
    {1, u"0"},
    {2, u"0.00"},
    {3, u"#,##0"},
    {4, u"#,##0.00"},
    {9, u"0%"},
    {10, u"0.00%"},
    {11, u"0.00E+00"},
    {12, u"# ?/?"},
    {13, u"# ?\?/??"},
    {14, u"mm-dd-yy"},
    {15, u"d-mmm-yy"},
    {16, u"d-mmm"},
    {17, u"mmm-yy"},
    {18, u"h:mm AM/PM"},
    {19, u"h:mm:ss AM/PM"},
    {20, u"h:mm"},
    {21, u"h:mm:ss"},
    {22, u"m/d/yy h:mm"},
    {37, u"#,##0 ;(#,##0)"},
    {38, u"#,##0 ;[Red](#,##0)"},
    {39, u"#,##0.00;(#,##0.00)"},
    {40, u"#,##0.00;[Red](#,##0.00)"},
    {45, u"mm:ss"},
    {46, u"[h]:mm:ss"},
    {47, u"mmss.0"},
    {48, u"##0.0E+0"},
    {49, u"@"},
}};

}  // namespace

std::u16string DecodeEscapes(std::u16string_view text) {
  if (text.find(u"_x") == std::u16string_view::npos) return std::u16string(text);
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const int32_t v = EscapeAt(text, i);
    if (v >= 0) {
      out.push_back(static_cast<char16_t>(v));
      i += 7;
    } else {
      out.push_back(text[i++]);
    }
  }
  return out;
}

void AppendEscapedText(std::string& out, std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'&') {
      out += "&amp;";
    } else if (c == u'<') {
      out += "&lt;";
    } else if (c == u'>') {
      out += "&gt;";
    } else if (c == u'\r') {
      out += "_x000D_";
    } else if (NeedsEscape(c) || (c == u'_' && EscapeAt(text, i) >= 0)) {
      static const char kHex[] = "0123456789ABCDEF";
      out += "_x";
      for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(c >> shift) & 0xF]);
      out.push_back('_');
    } else if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
               text[i + 1] <= 0xDFFF) {
      const char32_t cp = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) +
                          (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      AppendUtf8(out, cp);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, c);
    }
  }
}

std::optional<int32_t> ErrorCodeOfLiteral(std::string_view literal) {
  for (const auto& e : kErrors)
    if (literal == e.literal) return e.code;
  return std::nullopt;
}

std::string ErrorLiteral(int32_t code) {
  for (const auto& e : kErrors)
    if (code == e.code) return e.literal;
  return "#N/A";
}

std::optional<std::u16string> BuiltinNumberFormat(uint32_t id) {
  for (const auto& f : kBuiltinFormats)
    if (f.id == id) return std::u16string(f.code);
  // Ids 27 to 36 and 50 to 58 are locale-dependent date formats.
  if ((id >= 27 && id <= 36) || (id >= 50 && id <= 58)) return std::u16string(u"mm-dd-yy");
  return std::nullopt;
}

std::optional<uint32_t> BuiltinNumberFormatId(std::u16string_view code) {
  for (const auto& f : kBuiltinFormats)
    if (code == f.code) return f.id;
  return std::nullopt;
}

bool IsDateFormat(std::u16string_view code) {
  // Only the first section counts (the one positive numbers use).
  bool in_quotes = false;
  for (size_t i = 0; i < code.size(); ++i) {
    const char16_t c = code[i];
    if (in_quotes) {
      if (c == u'"') in_quotes = false;
      continue;
    }
    switch (c) {
      case u'"':
        in_quotes = true;
        break;
      case u'\\':
      case u'_':
      case u'*':
        ++i;  // the next character is literal or a fill
        break;
      case u';':
        return false;
      case u'[': {
        // [h], [mm], [ss] are elapsed times; colours and locales are not.
        const size_t end = code.find(u']', i);
        if (end == std::u16string_view::npos) return false;
        const char16_t first = i + 1 < end ? static_cast<char16_t>(code[i + 1] | 0x20) : 0;
        if (first == u'h' || first == u'm' || first == u's') return true;
        i = end;
        break;
      }
      default: {
        const char16_t lower = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c | 0x20) : c;
        if (lower == u'd' || lower == u'm' || lower == u'y' || lower == u'h' || lower == u's') {
          // "General" holds none of these letters; anything else with them
          // is a date or time code.
          return true;
        }
      }
    }
  }
  return false;
}

std::string NumberText(double number) {
  std::string s;
  AppendNumberText(s, number);
  return s;
}

void AppendNumberText(std::string& out, double number) {
  if (number == 0) {
    out.push_back('0');
    return;
  }
  char buf[64];
  out.append(buf, std::to_chars(buf, buf + sizeof buf, number).ptr);
}

}  // namespace kelvora::host::xlsx
