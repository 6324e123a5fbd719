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

}  // namespace kelvora::intake
