// Conversions between cell values, numbers and texts, with the host's rules:
// how a value reads as text, which texts read as numbers, and the checked
// conversions to 16- and 32-bit integers (overflow and type-mismatch errors).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/value.h"

namespace kelvora::host {

// Reads a whole text as a number the way the host's numeric test does: blanks
// (spaces, tabs) around it, an optional sign, digits with optional thousands
// separators (","), at most one decimal point ("."), an optional exponent
// (E or D, optional sign, digits), or a hexadecimal "&H..." / octal "&O..."
// literal. At least one digit is required. Returns nothing when the text does
// not read wholly as a number.
std::optional<double> ParseNumericText(std::u16string_view text);

// The text form of a number: a whole number below 1e15 in magnitude gives its
// plain digits; other numbers give up to 15 significant digits, with an
// exponent ("1.5E+20", "1E-05") only where plain notation would need more.
std::u16string NumberToText(double number);

// The text form of a date serial in the short date format (dd/MM/yyyy), with
// the time of day appended when it is not midnight.
std::u16string DateToText(double serial);

// The text form of any value: empty gives "", texts are unchanged, numbers as
// NumberToText, truth values "True"/"False", dates as DateToText. An error
// value cannot be converted: type mismatch (error 13).
std::u16string ToText(const Value& v);

// The numeric value of a value: empty 0, number itself, truth value -1/0,
// date its serial, a text that ParseNumericText reads; anything else is a
// type mismatch (error 13).
double ToDouble(const Value& v);

// Rounds half to even, then checks the range: overflow (error 6) outside it.
int16_t ToInt16(const Value& v);
int32_t ToInt32(const Value& v);
int16_t DoubleToInt16(double d);
int32_t DoubleToInt32(double d);

// True for numbers, truth values and the empty value, and for texts that
// ParseNumericText reads. Dates, error values and other texts are not numeric.
bool IsNumericValue(const Value& v);

// Reads the number at the start of a text: blanks, tabs and line feeds are
// skipped anywhere; then an optional sign, digits, at most one "." and an
// optional exponent (E, optional sign, digits). Stops at the first other
// character; no leading number gives 0.
double LeadingNumberOfText(std::u16string_view text);

}  // namespace kelvora::host
