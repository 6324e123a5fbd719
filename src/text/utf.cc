#include "text/utf.h"

#include <cstdint>

namespace kelvora {

namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;

// The code point of the UTF-8 sequence at s[i], and its length in `len`;
// kInvalid (length 1) for a byte that begins no valid sequence.
char32_t NextCodePoint(std::string_view s, size_t i, size_t& len) {
  const size_t n = s.size();
  const auto b0 = static_cast<uint8_t>(s[i]);
  auto cont = [&](size_t k) {
    return i + k < n && (static_cast<uint8_t>(s[i + k]) & 0xC0) == 0x80;
  };
  len = 1;
  if (b0 < 0x80) return b0;
  if (b0 >= 0xC2 && b0 < 0xE0 && cont(1)) {
    len = 2;
    return (char32_t(b0 & 0x1F) << 6) | (static_cast<uint8_t>(s[i + 1]) & 0x3F);
  }
  if (b0 >= 0xE0 && b0 < 0xF0 && cont(1) && cont(2)) {
    const char32_t cp = (char32_t(b0 & 0x0F) << 12) |
                        (char32_t(static_cast<uint8_t>(s[i + 1]) & 0x3F) << 6) |
                        (static_cast<uint8_t>(s[i + 2]) & 0x3F);
    len = 3;
    return cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF) ? kInvalid : cp;
  }
  if (b0 >= 0xF0 && b0 < 0xF5 && cont(1) && cont(2) && cont(3)) {
    const char32_t cp = (char32_t(b0 & 0x07) << 18) |
                        (char32_t(static_cast<uint8_t>(s[i + 1]) & 0x3F) << 12) |
                        (char32_t(static_cast<uint8_t>(s[i + 2]) & 0x3F) << 6) |
                        (static_cast<uint8_t>(s[i + 3]) & 0x3F);
    len = 4;
    return cp < 0x10000 || cp > 0x10FFFF ? kInvalid : cp;
  }
  return kInvalid;
}

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(cp));
  }
}

// UTF-16 code units from bytes in the given order; nothing for an odd
// number of bytes or a lone surrogate.
std::optional<std::u16string> Utf16OfBytes(std::string_view s, bool big_endian) {
  if (s.size() % 2 != 0) return std::nullopt;
  std::u16string out;
  out.reserve(s.size() / 2);
  for (size_t i = 0; i < s.size(); i += 2) {
    const auto a = static_cast<uint8_t>(s[i]), b = static_cast<uint8_t>(s[i + 1]);
    out.push_back(static_cast<char16_t>(big_endian ? (a << 8) | b : (b << 8) | a));
  }
  for (size_t i = 0; i < out.size(); ++i) {
    const bool high = out[i] >= 0xD800 && out[i] <= 0xDBFF;
    const bool low_next = i + 1 < out.size() && out[i + 1] >= 0xDC00 && out[i + 1] <= 0xDFFF;
    if (high && low_next) {
      ++i;
    } else if (out[i] >= 0xD800 && out[i] <= 0xDFFF) {
      return std::nullopt;
    }
  }
  return out;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0, len = 0; i < s.size(); i += len) {
    const char32_t cp = NextCodePoint(s, i, len);
    AppendUtf16(out, cp == kInvalid ? 0xFFFD : cp);
  }
  return out;
}

std::optional<std::u16string> DecodeTextFile(std::string_view s) {
  if (s.starts_with("\xFF\xFE")) return Utf16OfBytes(s.substr(2), false);
  if (s.starts_with("\xFE\xFF")) return Utf16OfBytes(s.substr(2), true);
  if (s.starts_with("\xEF\xBB\xBF")) s.remove_prefix(3);
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0, len = 0; i < s.size(); i += len) {
    const char32_t cp = NextCodePoint(s, i, len);
    if (cp == kInvalid) return std::nullopt;
    AppendUtf16(out, cp);
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::u16string Ascii(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

}  // namespace kelvora
