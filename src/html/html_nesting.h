// A bound on how deeply a page's elements nest before it is parsed, as
// browsers bound it (Chromium stops nesting at 512 levels): an element that
// would open past the limit becomes a sibling of the innermost one instead.
// Without it the parse of a page of many nested elements takes time that
// grows much faster than the page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvora::html {

inline constexpr int kMaxHtmlNesting = 512;

// `html` with every element that would open deeper than `max_depth` opened
// as a sibling of the innermost open element: that element's end tag is
// written before it, and its own end tag later is left out. Only elements
// whose end tag may not be omitted count towards the depth (void elements
// and those the parser closes by itself, such as p, li, tr and td, do not);
// comments, declarations and the contents of script, style, textarea and
// title are not tags. Linear time in the size of `html` for well-nested
// pages. Nothing for a page within the limit: it is parsed as it is, without
// a copy.
std::optional<std::string> CapNesting(std::string_view html, int max_depth = kMaxHtmlNesting);

}  // namespace kelvora::html
