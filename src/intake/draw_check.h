// What the intakes let into the store: every row they would store must have
// a whole, positive draw number and a result of exactly five decimal digits.
// A page or text with any row that fails is refused as a whole, so that the
// store holds only draws that every statistic can stand on.
#pragma once

#include <optional>
#include <string>

#include "host/session.h"
#include "host/value.h"

namespace kelvora::intake {

// A whole number above 0 (a number, or a text that reads as one).
bool IsDrawNumber(const host::Value& v);
// Exactly five characters, each 0 to 9 (a number counts by its text form).
bool IsFiveDigitResult(const host::Value& v);

// The first row found that may not be stored: where it is on the page, in
// Unicode (its draw number, or its row when the draw number itself is
// wrong), and what was found there.
struct MalformedDraw {
  std::u16string where;
  std::u16string found;
};

// The check of one row: nothing when the draw and result may be stored.
// `page_row`, when given, names the row when the draw number is what is
// wrong; otherwise the draw is named by what was found.
std::optional<MalformedDraw> CheckDraw(const host::Value& draw, const host::Value& result,
                                       std::optional<int32_t> page_row);

// Refusals: each shows its message (an OK box with the information icon)
// and records that a check stopped the command; the caller writes nothing.
void RefuseMalformedDraw(host::Session& session, const MalformedDraw& bad);
// The same draw twice in one text with different results.
void RefuseConflictingDraw(host::Session& session, const std::u16string& draw,
                           const std::u16string& first, const std::u16string& second);
// A hundred-draw page with numbered draws outside the rows that are read.
void RefuseHundredDrawLayout(host::Session& session, int32_t row, const host::Value& found);

}  // namespace kelvora::intake
