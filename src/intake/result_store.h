// The result store on the main sheet: draws in A17:B65016, newest first,
// the count in B15. A10 is never empty and A11:A16 always are, so an empty
// store is recognised by its last row being 10.
#pragma once

#include <cstdint>

#include "host/host.h"
#include "host/value.h"

namespace kelvora::intake {

inline constexpr int32_t kStoreFirstRow = 17;
inline constexpr int32_t kStoreCapacity = 65000;
inline constexpr int32_t kEmptyStoreLastRow = 10;

// The row of the last non-empty cell of column A, going up from
// A<start_row> (the host's End with the upward direction).
int32_t StoreLastRow(host::Worksheet& main_sheet, int32_t start_row = 1000000);

// Numbers, truth values, the empty value and texts that read wholly as a
// number are numeric; dates, errors and other texts are not.
bool IsNumericValue(const host::Value& v);
// The number at the start of the value's text form (blanks, tabs and line
// feeds skipped anywhere); 0 when there is none.
double LeadingNumber(const host::Value& v);
// Neither the empty text nor an empty cell.
bool IsNotEmpty(const host::Value& v);

// Set by PasteResultTable when a paste fails; never cleared by it. A table
// intake command clears it, pastes, and stops when it is set afterwards.
extern thread_local bool PasteFailed;

// Pastes the clipboard's HTML table onto PasteSheet at A1 after clearing
// A1:BR300 there (cells a longer table covered before, below row 300 or
// right of column BR, stay until overwritten). Screen updating is off while
// it runs. When the paste fails for any reason, shows "Vui Lofng Copy Ddusng
// Barng Keest Quar" and sets PasteFailed; the failure is not passed on. In
// every case MainSheet is made the active sheet again and screen updating is
// switched back on.
void PasteResultTable();

// Merges `new_rows` (column 1 the draw number, column 2 the result, further
// columns ignored; at least two columns) into the store: the stored rows
// with a numeric draw number and a non-empty result come first, then the new
// rows with a non-empty numeric draw number; the first row of each draw
// number wins. The store is rewritten from A17, sorted by draw number
// descending, and B15 receives the count (0 when nothing is left).
// More than kStoreCapacity distinct draws: subscript error (9) before
// anything is written, so the store and B15 stay as they were.
void MergeDraws(host::Table new_rows);

}  // namespace kelvora::intake
