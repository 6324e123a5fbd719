// The JSON that the tool prints and the report embeds: texts, cell values
// and numbers as JSON tokens, and the method tables with their record
// against chance, written the same way for both.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

// A member of a JSON object: its name and its value as JSON text.
using JsonMember = std::pair<std::string, std::string>;

// What heads the JSON of a book.
struct BookJsonHead {
  std::u16string title;  // "workbook"
  host::Value heading;
  int64_t stored_draws = 0;
  host::Value newest_draw;
  std::array<host::Table, 2> method_tables;  // each 3 by 9, as Main wrote it
};

// The object of a book that both `kelvora show --json` and the report's data
// block are: "workbook", "heading", "stored_draws" and "newest_draw", then
// the view's own `after_newest`, then "methods", "methods_2", "rerun_main"
// and "store_quality", then the view's own `after_quality`. One member a
// line, indented by two spaces; no newline after the closing brace.
std::string BookJson(const BookJsonHead& head, const analysis::ChanceReport& chance,
                     const std::vector<JsonMember>& after_newest,
                     const std::vector<JsonMember>& after_quality);

}  // namespace kelvora::report
