// The JSON that the tool prints and the report embeds: texts, cell values
// and numbers as JSON tokens, and the method tables with their record
// against chance, written the same way for both.
#pragma once

#include <optional>
#include <string>

#include "analysis/chance_report.h"
#include "host/value.h"

namespace kelvora::report {

// A JSON string of `s` (UTF-8, control characters escaped).
std::string JsonString(const std::u16string& s);
// A cell value: null, a number, true/false, or a string (dates and texts by
// their text form, errors as "#ERROR").
std::string JsonValue(const host::Value& v);
// A number in its shortest exact form; null when it is not finite or absent.
std::string JsonNumber(double d);
std::string JsonNumber(const std::optional<double>& d);

// The "store_quality" object: {"results_not_five_digits": N, "examples":
// [the first few as found]}, the same in every view of the store.
std::string StoreQualityJson(const analysis::StoreQuality& quality);

// The "chance" object of method k (1..3) of a stage; null unless the stage's
// outputs are current.
std::string ChanceJson(const analysis::StageChance& stage, int k);

// The three methods of stage `stage` (1 or 2): the nine values of each row of
// its method table (3 by 9) by name, and "chance", as an array laid out one
// method a line, indented for a member of a top-level object. "method"
// numbers the methods as the copies do, 1 to 3 and 4 to 6 for the second
// stage; it is null for an empty row.
std::string MethodsJson(const host::Table& table, const analysis::StageChance& stage,
                        int stage_number);

}  // namespace kelvora::report
