// Moves a formula the way copying its cell does: relative cell references
// shift by the distance, "$"-anchored parts stay. Used to give the members
// of a shared formula their own formula when the cell that carried the shared
// text is overwritten.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvora::host::xlsx {

// The formula (without "=") moved by `rows` and `cols`. References that move
// off the sheet become #REF!. Texts in quotes, quoted sheet names, bracketed
// parts and function names are left alone.
std::string ShiftFormula(std::string_view formula, int32_t rows, int32_t cols);

}  // namespace kelvora::host::xlsx
