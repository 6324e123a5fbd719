// Seeded number sets: a chain of SHA-256 digests turned into a set of
// distinct one-, two- or three-digit numbers, and the check of a set size
// against the bet kinds of the workbook.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvora::numbersets {

// The set texts: the numbers in ascending order, each with exactly W digits,
// joined by "," without blanks. A size outside 1..10^W fails with a
// CommandError (invalid procedure call, error 5); it never loops.
std::u16string BuildDigitSet(std::u16string_view seed, int32_t size);   // W = 1
std::u16string BuildPairSet(std::u16string_view seed, int32_t size);    // W = 2
std::u16string BuildTripleSet(std::u16string_view seed, int32_t size);  // W = 3

// The characters "0" to "9" of `text`, in order.
std::u16string ExtractDigits(std::u16string_view text);
// A comma-joined list of W-digit pieces as a set text.
std::u16string SortDigitList(std::u16string_view list);
std::u16string SortPairList(std::u16string_view list);
std::u16string SortTripleList(std::u16string_view list);

// True when `kind_name` equals the value of a row of KieuDanh on the
// settings sheet and `size` is within that row's limits (rows 1-2: 1..65,
// rows 3-5: 1..520, row 6: 1..9). Reads the workbook on every call; a
// missing name or a range of fewer than six rows fails (CommandError).
bool IsSetSizeAllowed(const std::u16string& kind_name, int32_t size);

}  // namespace kelvora::numbersets
