// Small pieces of the workbook-file format shared by the reader and the
// writers: the escapes of text content, how XML text is written, error
// literals, number formats (built-in codes and the date test) and number
// text.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace kelvora::host::xlsx {

// Text content of <t> elements carries characters that XML cannot hold as
// "_xHHHH_" escapes; "_x005F_" stands for a literal underscore before such a
// sequence. Decode turns the escapes back into characters, Encode produces
// them (and escapes &, <, > for element content).
std::u16string DecodeEscapes(std::u16string_view text);
void AppendEscapedText(std::string& out, std::u16string_view text);

// The one way the file back end writes XML: piece by piece onto the end of
// one output string, texts escaped by the two functions above. Append adds
// each piece in turn: a text or character as it is, an integer in decimal.
// Nothing is allocated but the growth of `out`.
template <typename... Pieces>
void Append(std::string& out, const Pieces&... pieces) {
  auto one = [&out](const auto& piece) {
    using T = std::decay_t<decltype(piece)>;
    if constexpr (std::is_same_v<T, char>) {
      out.push_back(piece);
    } else if constexpr (std::is_integral_v<T>) {
      char buf[24];
      out.append(buf, std::to_chars(buf, buf + sizeof buf, piece).ptr);
    } else {
      out.append(std::string_view(piece));
    }
  };
  (one(pieces), ...);
}

// Error literals ("#N/A") and the host's error numbers (2042).
std::optional<int32_t> ErrorCodeOfLiteral(std::string_view literal);
std::string ErrorLiteral(int32_t code);

// The format code of a built-in number-format id, or nothing for an id with
// no fixed code.
std::optional<std::u16string> BuiltinNumberFormat(uint32_t id);
// The built-in id whose code is `code`, if any.
std::optional<uint32_t> BuiltinNumberFormatId(std::u16string_view code);
// True when a number shown with this format reads as a date or time.
bool IsDateFormat(std::u16string_view code);

// The shortest text that reads back as exactly `number` ("0.1", "24123",
// "1E-07" style exponents as "1e-07").
std::string NumberText(double number);
void AppendNumberText(std::string& out, double number);

// Days between the 1900 and the 1904 date systems.
inline constexpr double k1904Offset = 1462;

}  // namespace kelvora::host::xlsx
