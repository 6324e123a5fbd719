// The JSON the tool prints: texts, cell values and numbers as JSON tokens.
#pragma once

#include <optional>
#include <string>

#include "host/value.h"

namespace kelvora::tool {

// A JSON string of `s` (UTF-8, control characters escaped).
std::string JsonString(const std::u16string& s);
// A cell value: null, a number, true/false, or a string (dates and texts by
// their text form, errors as "#ERROR").
std::string JsonValue(const host::Value& v);
// A number in its shortest exact form; null when it is not finite or absent.
std::string JsonNumber(double d);
std::string JsonNumber(const std::optional<double>& d);

}  // namespace kelvora::tool
