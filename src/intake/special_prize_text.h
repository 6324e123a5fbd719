// Reading the plain text of a special-prize result page: a heading part, then
// one block per draw, each block starting right after the word "Kỳ" (K and
// the precomposed U+1EF3). A block's first line gives the draw key, its
// second line the result (the first word of the second tab-separated field).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/value.h"

namespace kelvora::intake {

// The word that starts every draw block: "Kỳ".
inline constexpr char16_t kDrawWord[] = u"K\u1EF3";
// Fewer blocks than this is not a copied special-prize page.
inline constexpr int32_t kMinSpecialPrizeBlocks = 50;

struct SpecialPrizeBlock {
  // The first 10 characters of the trimmed first line (all of it when
  // shorter). The carriage return of a Windows line break is not part of it.
  std::u16string key;
  // The first word of the second line's second tab-separated field, where
  // "-" and carriage returns count as spaces. Nothing when the block has no
  // second line, the line no tab, or the field no word.
  std::optional<std::u16string> result;
};

struct SpecialPrizeText {
  std::u16string heading;  // everything before the first "Kỳ"
  std::vector<SpecialPrizeBlock> blocks;
};

// Spaces-only trimming, the host's worksheet TRIM.
using TrimFunction = std::function<std::u16string(const std::u16string&)>;

// Cuts the text into its heading and blocks. Never fails.
SpecialPrizeText ReadSpecialPrizeText(std::u16string_view text, const TrimFunction& trim);

// True when the heading's last pair of adjacent characters that reads as a
// number above 10 is exactly "27", scanning from the end (a heading ending
// in 127 passes, one ending in 2710 fails on the pair 71). False when no
// pair qualifies.
bool IsTwentySevenPrizeHeader(std::u16string_view heading);

// The value under which a draw number is looked up among the stored ones:
// a text that the host would store as a number (decimal, as cell entry
// reads it) becomes that number, every other value stays as it is. Stored
// draw numbers and keys from the text then compare by the number they read
// as.
host::Value DrawLookupValue(const host::Value& v);

}  // namespace kelvora::intake
