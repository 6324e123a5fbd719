// The result store on the main sheet (its cells: host/layout.h): draws
// newest first with their count. An empty store is recognised by its last
// row being layout::kEmptyStoreLastRow.
#pragma once

#include <cstdint>

#include "host/host.h"
#include "host/layout.h"
#include "host/session.h"
#include "host/value.h"

namespace kelvora::intake {

// The row of the last non-empty cell of column A, going up from
// A<start_row> (the host's End with the upward direction).
int32_t StoreLastRow(host::Worksheet& sheet, int32_t start_row = layout::kStoreSearchRow);

// Numbers, truth values, the empty value and texts that read wholly as a
// number are numeric; dates, errors and other texts are not.
bool IsNumericValue(const host::Value& v);
// The number at the start of the value's text form (blanks, tabs and line
// feeds skipped anywhere); 0 when there is none.
double LeadingNumber(const host::Value& v);
// Neither the empty text nor an empty cell.
bool IsNotEmpty(const host::Value& v);

// Pastes the clipboard's HTML table onto PasteSheet at A1 after clearing
// the contents of the sheet's whole used area, so that nothing of an
// earlier, longer table stays to be read with it. Screen updating is off while
// it runs. When the paste fails for any reason, shows "Vui Lofng Copy Ddusng
// Barng Keest Quar", sets the session's paste_failed and marks the command
// stopped; the failure is not passed on. In every case MainSheet is made the
// active sheet again and screen updating is switched back on.
void PasteResultTable(host::Session& session);

// Merges `new_rows` (column 1 the draw number, column 2 the result, further
// columns ignored; at least two columns) into the store: the stored rows
// with a numeric draw number and a non-empty result come first, then the new
// rows with a non-empty numeric draw number; the first row of each draw
// number wins. Results compare as ResultText (draw_check.h) does. A new row
// whose result differs from the stored one of its draw, or from an earlier
// new row of the same draw, refuses the whole merge (RefuseChangedResult or
// RefuseConflictingDraw) before anything is written. The store is rewritten from A17, sorted by
// draw number descending, and B15 receives the count (0 when nothing is left). More than
// layout::kStoreCapacity distinct draws: subscript error (9) before anything is written, so the
// store and B15 stay as they were.
void MergeDraws(host::Session& session, host::Table new_rows);

}  // namespace kelvora::intake
