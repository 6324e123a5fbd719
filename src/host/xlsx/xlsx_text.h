// Small pieces of the workbook-file format shared by the reader and the
// writer: the escapes of text content, error literals,
// number formats (built-in codes and the date test) and number text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvora::host::xlsx {

// Text content of <t> elements carries characters that XML cannot hold as
// "_xHHHH_" escapes; "_x005F_" stands for a literal underscore before such a
// sequence. Decode turns the escapes back into characters, Encode produces
// them (and escapes &, <, > for element content).
std::u16string DecodeEscapes(std::u16string_view text);
void AppendEscapedText(std::string& out, std::u16string_view text);
// Escapes &, <, >, " of a UTF-8 text for an attribute value.
void AppendEscapedAttribute(std::string& out, std::string_view utf8);

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

// Days between the 1900 and the 1904 date systems.
inline constexpr double k1904Offset = 1462;

}  // namespace kelvora::host::xlsx
