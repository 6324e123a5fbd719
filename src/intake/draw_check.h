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

// The result as the store compares it: a whole number from 0 to 99999 as
// five digits padded with zeros (a stored result that lost its leading zero
// reads as the result in full), any other value as its text form.
std::u16string ResultText(const host::Value& v);

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
// A page whose result for a stored draw differs from the store: names the
// draw and both results and ends with the session's remedy (by default: make
// cell B of `store_row` on the main sheet the page's result).
void RefuseChangedResult(host::Session& session, const std::u16string& draw,
                         const std::u16string& stored, const std::u16string& page,
                         int32_t store_row);
// A hundred-draw page with numbered draws outside the rows that are read.
void RefuseHundredDrawLayout(host::Session& session, int32_t row, const host::Value& found);

}  // namespace kelvora::intake
