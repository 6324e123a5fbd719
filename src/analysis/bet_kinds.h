// The six bet kinds: everything the engine knows about a row of the
// workbook's kind list KieuDanh, in one table. A kind is named by the user in
// the list; its row decides how wide its numbers are, which set sizes it
// allows, what a seed ends with and which digits of a result it bets on.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "host/session.h"
#include "host/value.h"

namespace kelvora::analysis {

struct BetKind {
  int width;         // digits of each number of its sets: 1, 2 or 3
  int32_t min_size;  // the set sizes it allows
  int32_t max_size;
  // What a seed ends with; null: the stage's position-or-suffix text.
  const char16_t* seed_suffix;
  // The tested digits: `pattern_length` characters of the result from
  // `pattern_start` (1-based). A length of 0 is the one-digit rule: the digit
  // at a numeric position, or any digit of the result when the parameter is
  // not a number.
  int pattern_start;
  int pattern_length;
  // The chance rate p0: the chance that a random set of `size` numbers of
  // `width` digits hits one tested draw of five random digits, given the
  // stage's position-or-suffix text. Nothing when the parameters cannot run.
  std::optional<double> (*chance_rate)(int width, int32_t size, const std::u16string& position);
};

// The tested digits are one of 10^width equally likely numbers, of which a
// set holds `size`: size / 10^width.
std::optional<double> ShareOfNumbers(int width, int32_t size, const std::u16string& position);
// One digit: the digit at a numeric position, size / 10; always a hit past
// the fifth digit (the pattern is empty); without a numeric position a hit
// when any of the five digits is in the set, 1 - (1 - size / 10)^5.
std::optional<double> OneDigitChance(int width, int32_t size, const std::u16string& position);

// p0 of a stage's parameters on kind row `kind_row`.
std::optional<double> ChanceRate(int kind_row, int32_t size, const std::u16string& position);

inline constexpr std::array<BetKind, 6> kBetKinds = {{
    {2, 1, 65, u"TienNhi", 1, 2, ShareOfNumbers},    // 1: first two digits
    {2, 1, 65, u"", 4, 2, ShareOfNumbers},           // 2: last two digits
    {3, 1, 520, u"TienTam", 1, 3, ShareOfNumbers},   // 3: first three digits
    {3, 1, 520, u"TrungTam", 2, 3, ShareOfNumbers},  // 4: middle three digits
    {3, 1, 520, u"", 3, 3, ShareOfNumbers},          // 5: last three digits
    {1, 1, 9, nullptr, 0, 0, OneDigitChance},        // 6: one digit at a position, or any digit
}};

// The order in which a stage looks a kind name up among the rows.
inline constexpr std::array<int, 6> kKindLookupOrder = {6, 2, 1, 5, 3, 4};

// The kind of row 1..6; any other row fails (invalid procedure call, 5).
const BetKind& BetKindOfRow(int kind_row);

// The rounded position of a numeric position text (halves to even), or
// nothing when the text does not read as a number.
std::optional<double> RoundedPosition(const std::u16string& position_text);

// Equality of a KieuDanh cell with a kind name: a text cell compares exactly
// (case-sensitive), an empty cell equals the empty name, a number, truth
// value or date by its text form; an error value equals nothing.
bool KindCellEquals(const host::Value& cell, const std::u16string& kind_name);

// The kind row (1..6) of `kind_name` among the values (r, 1), r = 1..6, of
// the KieuDanh table, tried in kKindLookupOrder; nothing when no row equals
// it. A table of fewer than six rows fails (subscript, error 9).
std::optional<int> FindKindRow(const host::Table& kind_texts, const std::u16string& kind_name);

// The first row, in sheet order, whose name equals `kind_name`: the row
// whose size limits the size check applies. Nothing when no row names it;
// a table of fewer than six rows fails (subscript, error 9).
std::optional<int> FirstNamingRow(const host::Table& kind_texts, const std::u16string& kind_name);

// The KieuDanh list of the settings sheet, read as one block.
host::Table ReadKindList(host::Session& session);

// Whether a set size fits a kind: the size must be within the limits of the
// first row (in sheet order) of the KieuDanh table that names the kind.
enum class SizeFit {
  kFits,
  kKindNotListed,  // no row names the kind
  kOutsideLimits,
};
// A table of fewer than six rows fails (subscript, error 9).
SizeFit FitOfSize(const host::Table& kind_texts, const std::u16string& kind_name, double size);

// FitOfSize on the workbook's list, read on every call: true when it fits.
// A missing list or one of fewer than six rows fails (CommandError).
bool IsSetSizeAllowed(host::Session& session, const std::u16string& kind_name, int32_t size);

}  // namespace kelvora::analysis
