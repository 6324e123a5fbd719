// Conversions between the engine's UTF-16 texts and UTF-8 at the edges
// (files, the terminal, command-line arguments).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvora {

// Invalid UTF-8 sequences become U+FFFD; nothing is dropped silently.
std::u16string Utf8ToUtf16(std::string_view utf8);
// Lone surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// The text of a file's bytes: UTF-16 when they begin with a byte-order mark
// (FF FE little-endian, FE FF big-endian), else UTF-8; the mark is dropped.
// Nothing when the bytes are not valid in that encoding: a UTF-8 sequence
// that Utf8ToUtf16 would replace, or for UTF-16 an odd number of bytes or a
// lone surrogate.
std::optional<std::u16string> DecodeTextFile(std::string_view bytes);

// Appends one code point (below U+110000, not a surrogate) as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

// ASCII-only helper for literals in code: every byte becomes one code unit.
std::u16string Ascii(std::string_view ascii);

}  // namespace kelvora
